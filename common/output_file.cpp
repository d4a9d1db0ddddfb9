#include "common/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <new>

namespace common {

namespace {

// The permission bits a newly created file gets from the process umask.
mode_t default_file_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

std::string directory_of(const std::string& path) {
  const std::string::size_type slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string base_of(const std::string& path) {
  const std::string::size_type slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows a symbolic link so that the file it names is replaced, not the link.
std::string resolve_link(const char* path) {
  struct stat link_status;
  if (::lstat(path, &link_status) != 0 || !S_ISLNK(link_status.st_mode)) {
    return path;
  }
  char* resolved = ::realpath(path, nullptr);
  if (resolved == nullptr) return path;
  std::string result(resolved);
  std::free(resolved);
  return result;
}

}  // namespace

OutputFile::~OutputFile() { abandon(); }

int OutputFile::open(const char* path) {
  abandon();
  // The names are built on the heap; every allocation comes before the
  // temporary file is created, so running out of memory leaves nothing.
  try {
    return open_target(path);
  } catch (const std::bad_alloc&) {
    abandon();
    target_.clear();
    return -2;
  }
}

int OutputFile::open_target(const char* path) {
  // Nothing can be opened under an empty name; no temporary file is made.
  if (path == nullptr || *path == '\0') return -1;
  struct stat status;
  const bool exists = ::stat(path, &status) == 0;
  if (exists && !S_ISREG(status.st_mode)) {
    target_ = path;
    stream_ = std::fopen(path, "wb");
    return stream_ != nullptr ? 0 : -1;
  }

  target_ = resolve_link(path);
  std::string name =
      directory_of(target_) + "/." + base_of(target_) + ".XXXXXX";
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return -1;
  temp_.swap(name);

  const mode_t mode =
      exists ? static_cast<mode_t>(status.st_mode & 07777) : default_file_mode();
  if (::fchmod(fd, mode) != 0) {
    ::close(fd);
    ::unlink(temp_.c_str());
    temp_.clear();
    return -1;
  }
  stream_ = ::fdopen(fd, "wb");
  if (stream_ == nullptr) {
    ::close(fd);
    ::unlink(temp_.c_str());
    temp_.clear();
    return -1;
  }
  return 0;
}

int OutputFile::commit() {
  if (stream_ == nullptr) return -1;
  std::FILE* stream = stream_;
  stream_ = nullptr;
  bool ok = std::fflush(stream) == 0 && std::ferror(stream) == 0;
  // Only a file of our own is synced; a device target may refuse it.
  if (ok && !temp_.empty()) ok = ::fsync(::fileno(stream)) == 0;
  if (std::fclose(stream) != 0) ok = false;
  if (temp_.empty()) return ok ? 0 : -1;
  if (ok && std::rename(temp_.c_str(), target_.c_str()) == 0) {
    temp_.clear();
    return 0;
  }
  ::unlink(temp_.c_str());
  temp_.clear();
  return -1;
}

void OutputFile::abandon() {
  if (stream_ != nullptr) {
    std::fclose(stream_);
    stream_ = nullptr;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
}

}  // namespace common
