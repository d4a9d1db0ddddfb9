// Test helpers that use the programs as a user would: run the built binary in
// a directory of its own, feed its standard input, capture its standard
// output and exit status.
#pragma once

#include <string>
#include <vector>

struct RunResult {
  int status = -1;   // exit status as the shell sees it (0..255); -1 if killed
  std::string out;   // everything written to standard output
  std::string err;   // everything written to standard error
};

// Runs exe with args (argv[0] is exe) in dir, with input as its standard
// input (closed after it, so reading past it is end of input).
RunResult run_program(const std::string& exe,
                      const std::vector<std::string>& args,
                      const std::string& dir, const std::string& input = "");

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes out of scope.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const {
    return path_ + "/" + name;
  }

 private:
  std::string path_;
};

// Whole-file helpers. read_file returns "" for a missing file.
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);

// Names of the entries of a directory, sorted (no "." or "..").
std::vector<std::string> list_dir(const std::string& path);
