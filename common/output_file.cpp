#include "common/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
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

// As many links in a row as the system itself follows before it gives up.
constexpr int kMaxLinkHops = 40;

// What the symbolic link points to, as a name that holds from here (a
// relative target is taken from the link's own directory); empty when the
// link cannot be read.
std::string link_target(const std::string& link) {
  std::string target(256, '\0');
  for (;;) {
    const ssize_t n = ::readlink(link.c_str(), target.data(), target.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < target.size()) {
      target.resize(static_cast<std::size_t>(n));
      break;
    }
    target.resize(2 * target.size());  // it may have been cut short
  }
  if (target.empty() || target[0] == '/') return target;
  return directory_of(link) + "/" + target;
}

// Follows symbolic links to the file they lead to, so that this file is
// replaced and the links stay links, also when it does not exist yet (opening
// the name for writing would create it there). Empty when the links go round
// in a loop or cannot be read.
std::string resolve_links(const char* path) {
  std::string name = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat status;
    if (::lstat(name.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
      return name;
    }
    name = link_target(name);  // empty when unreadable: then lstat fails
  }
  return {};
}

// Makes the rename itself survive a crash, as the fsync before it did for
// the bytes. A failure here is not reported: the rename has happened, so the
// complete new file is in place under its name and the old one is gone.
// Reporting a write error would tell the user that the old file is still
// there, and there is nothing left to undo or retry; what is lost is only the
// promise that the new name outlives a crash in the next moments. For the
// same reason file systems that cannot sync a directory are passed over.
void sync_directory(const std::string& directory) {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
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
    return -2;
  }
}

int OutputFile::open_target(const char* path) {
  // Nothing can be opened under an empty name; no temporary file is made.
  if (path == nullptr || *path == '\0') return -1;
  struct stat status;
  const bool exists = ::stat(path, &status) == 0;
  if (exists && !S_ISREG(status.st_mode)) {
    stream_ = std::fopen(path, "wb");
    return stream_ != nullptr ? 0 : -1;
  }

  target_ = resolve_links(path);
  if (target_.empty()) return -1;
  directory_ = directory_of(target_);
  std::string name = directory_ + "/." + base_of(target_) + ".XXXXXX";
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

void OutputFile::start_writeback() {
  // A device target is not ours to push; a failed flush stays in the
  // stream's error flag for commit to find.
  if (stream_ == nullptr || temp_.empty() || std::fflush(stream_) != 0) return;
  (void)::sync_file_range(::fileno(stream_), 0, 0, SYNC_FILE_RANGE_WRITE);
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
    sync_directory(directory_);
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
