#include "support/run_program.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

// Reads everything from fd until end of file.
std::string drain(int fd) {
  std::string text;
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) {
      text.append(buf, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      return text;
    }
  }
}

}  // namespace

RunResult run_program(const std::string& exe,
                      const std::vector<std::string>& args,
                      const std::string& dir, const std::string& input) {
  // Standard input comes from a file so that the child can read it at its
  // own pace; standard output and error go to files read after it ends.
  char in_name[] = "/tmp/run_program_in.XXXXXX";
  char out_name[] = "/tmp/run_program_out.XXXXXX";
  char err_name[] = "/tmp/run_program_err.XXXXXX";
  const int in_fd = ::mkstemp(in_name);
  const int out_fd = ::mkstemp(out_name);
  const int err_fd = ::mkstemp(err_name);
  if (in_fd < 0 || out_fd < 0 || err_fd < 0) {
    throw std::runtime_error("run_program: mkstemp failed");
  }
  if (::write(in_fd, input.data(), input.size()) !=
      static_cast<ssize_t>(input.size())) {
    throw std::runtime_error("run_program: cannot write input");
  }
  ::lseek(in_fd, 0, SEEK_SET);

  std::vector<std::string> argv_text;
  argv_text.push_back(exe);
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);

  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in_fd, 0);
    ::dup2(out_fd, 1);
    ::dup2(err_fd, 2);
    if (::chdir(dir.c_str()) != 0) _exit(126);
    ::execv(exe.c_str(), argv.data());
    _exit(127);
  }
  RunResult result;
  int status = 0;
  if (pid > 0 && ::waitpid(pid, &status, 0) == pid) {
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  ::lseek(out_fd, 0, SEEK_SET);
  ::lseek(err_fd, 0, SEEK_SET);
  result.out = drain(out_fd);
  result.err = drain(err_fd);
  for (int fd : {in_fd, out_fd, err_fd}) ::close(fd);
  for (const char* name : {in_name, out_name, err_name}) ::unlink(name);
  return result;
}

TempDir::TempDir() {
  char name[] = "/tmp/shapetools_test.XXXXXX";
  if (::mkdtemp(name) == nullptr) {
    throw std::runtime_error("TempDir: mkdtemp failed");
  }
  path_ = name;
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool file_exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> list_dir(const std::string& path) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}
