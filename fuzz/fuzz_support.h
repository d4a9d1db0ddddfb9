// Small pieces the fuzz harnesses share: silencing the programs' standard
// output, scratch directories in memory-backed storage, whole-file helpers
// and the one way a harness reports a broken property.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Prints "<target>: <what> <detail>" to standard error and aborts, which the
// fuzzer records as a crash with the input that caused it.
[[noreturn]] void fuzz_fail(const char* what, const std::string& detail = "");

// Points standard output at /dev/null for the rest of the process; the
// fuzzer's own report goes to standard error and stays visible.
void silence_standard_output();

// A fresh, empty directory (in /dev/shm when it is usable, so that the
// programs' fsync costs nothing), removed with all its entries when the
// object goes out of scope.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string operator/(const std::string& name) const {
    return path_ + "/" + name;
  }
  // Entry names, sorted, without "." and "..".
  std::vector<std::string> entries() const;

 private:
  std::string path_;
};

bool write_whole_file(const std::string& path, const uint8_t* data,
                      size_t size);
// Empty when the file cannot be read.
std::vector<uint8_t> read_whole_file(const std::string& path);
