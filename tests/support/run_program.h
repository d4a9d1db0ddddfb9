// What the tests share: byte strings, temporary folders and files, standard
// output captured from a call or a program, and device nodes of their own.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;
Bytes with(Bytes b, size_t at, uint32_t v, int width = 4);  // v little-endian in width bytes at at
Bytes operator+(Bytes a, const Bytes& b);

// A fresh folder under /tmp, removed with all it holds when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string read_file(const std::string& path);  // "" when missing
void write_file(const std::string& path, const std::string& bytes);
std::vector<std::string> list_dir(const std::string& path);  // sorted names
std::string contents(std::FILE* f);  // all the stream holds, after a flush
std::vector<char*> argv_of(std::vector<std::string>& args);  // as main gets them, ending in a null pointer

// What fn wrote to descriptor 1 (so children's output too); a call's result and what it printed.
std::string captured(const std::function<void()>& fn);
using Outcome = std::pair<int, std::string>;
Outcome outcome(const std::function<int()>& fn);

// fn's result (low byte) in a child process whose files cannot grow past 10000 bytes, as on a full disk.
int with_file_limit(const std::function<int()>& fn);
// The same with the system call nr always failing (EPERM); NO_FILTERS where such filters are not allowed.
constexpr int NO_FILTERS = 99;
int refusing(long nr, const std::function<int()>& fn);

// The exit status (-1 when killed) and standard output and error together.
Outcome run_program(const std::string& exe, std::vector<std::string> args, const std::string& dir,
                    const std::string& input = "");

// A run of exe in dir as a table row; an out that begins with "..." is the end of what is printed. A
// failed run must leave dir as it was.
struct Run {
  std::vector<std::string> args;
  int status;
  std::string out;
  std::string input = "";
};
void check_runs(const std::string& exe, const std::string& dir, const std::vector<Run>& runs);

// A character device of the test's own in dir (mknod, root only): "full" refuses every write, "null" takes
// them all; "" when it cannot be made.
std::string device_node(const TempDir& dir, const std::string& kind);
bool is_char_device(const std::string& path);  // also after a run: nothing replaced it
