#include "support/run_program.h"

#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace {

std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? "'\\''" : std::string(1, c);
  return out + "'";
}

}  // namespace

Bytes with(Bytes b, size_t at, uint32_t v, int width) {
  for (int i = 0; i < width; ++i) b.at(at + i) = static_cast<uint8_t>(v >> 8 * i);
  return b;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TempDir::TempDir() {
  char name[] = "/tmp/shapetools_test.XXXXXX";
  path_ = ::mkdtemp(name) != nullptr ? name : throw std::runtime_error("mkdtemp failed");
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string read_file(const std::string& path) {
  return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
}

void write_file(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::vector<std::string> list_dir(const std::string& path) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

std::string contents(std::FILE* f) {
  std::fflush(f);
  return read_file("/proc/self/fd/" + std::to_string(::fileno(f)));
}

std::vector<char*> argv_of(std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  return argv.push_back(nullptr), argv;
}

std::string captured(const std::function<void()>& fn) {
  std::fflush(stdout);
  std::FILE* file = std::tmpfile();
  const int saved = ::dup(1);
  ::dup2(::fileno(file), 1);
  fn();
  std::fflush(stdout), ::dup2(saved, 1), ::close(saved);
  const std::string text = contents(file);
  return std::fclose(file), text;
}

Outcome outcome(const std::function<int()>& fn) {
  int result = 0;
  std::string out = captured([&] { result = fn(); });
  return {result, out};
}

int with_file_limit(const std::function<int()>& fn) {
  std::fflush(stdout);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);  // a failed write instead of the signal
    const rlimit limit = {10000, 10000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const int result = fn();
    std::fflush(stdout);
    ::_exit(result & 0xFF);
  }
  int status = 0;
  return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int refusing(long nr, const std::function<int()>& fn) {
  return with_file_limit([&] {
    sock_filter code[] = {BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
                          BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<uint32_t>(nr), 0, 1),
                          BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM),
                          BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW)};
    const sock_fprog program = {std::size(code), code};
    ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    return ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0 ? NO_FILTERS : fn();
  });
}

Outcome run_program(const std::string& exe, std::vector<std::string> args, const std::string& dir,
                    const std::string& input) {
  const TempDir io;
  write_file(io / "in", input);
  std::string command = "cd " + quoted(dir) + " && exec " + quoted(exe);
  for (const std::string& arg : args) command += " " + quoted(arg);
  const int status = std::system((command + " <" + quoted(io / "in") + " >" + quoted(io / "out") + " 2>&1").c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(io / "out")};
}

void check_runs(const std::string& exe, const std::string& dir, const std::vector<Run>& runs) {
  for (const Run& run : runs) {
    const std::vector<std::string> before = list_dir(dir);
    const auto [status, out] = run_program(exe, run.args, dir, run.input);
    const bool tail = run.out.rfind("...", 0) == 0;
    const size_t keep = std::min(out.size(), run.out.size() - 3);
    EXPECT_EQ(status, run.status) << run.out;
    EXPECT_EQ(tail ? out.substr(out.size() - keep) : out, tail ? run.out.substr(3) : run.out);
    EXPECT_TRUE(run.status == 0 || list_dir(dir) == before) << run.out;
  }
}

std::string device_node(const TempDir& dir, const std::string& kind) {
  const std::string path = dir / kind;
  return ::mknod(path.c_str(), S_IFCHR | 0666, ::makedev(1, kind == "full" ? 7 : 3)) == 0 ? path : "";
}

bool is_char_device(const std::string& path) {
  struct stat status;
  return ::lstat(path.c_str(), &status) == 0 && S_ISCHR(status.st_mode);
}
