// Running d88info as a user would, in a directory of sample disks.
#pragma once

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/run_program.h"

// A temporary directory holding the sample disks of make_samples
// (kq-zorvan.d88 ... kq-farhaven.d88 and the five-disk kq-game.d88).
class SampleDir {
 public:
  SampleDir() {
    const RunResult made = run_program(MAKE_SAMPLES_EXE, {dir_.path()}, "/");
    if (made.status != 0) throw std::runtime_error("make_samples: " + made.out);
  }
  const std::string& path() const { return dir_.path(); }
  std::string operator/(const std::string& name) const { return dir_ / name; }

 private:
  TempDir dir_;
};

inline RunResult run_d88info(const std::string& dir,
                             const std::vector<std::string>& args) {
  return run_program(D88INFO_EXE, args, dir);
}

// True when every line of lines occurs in text, as whole lines and in this
// order; a failure names the first line not found.
inline testing::AssertionResult has_lines_in_order(
    const std::string& text, const std::vector<std::string>& lines) {
  size_t from = 0;
  for (const std::string& line : lines) {
    const size_t at = ("\n" + text).find("\n" + line + "\n", from);
    if (at == std::string::npos) {
      return testing::AssertionFailure() << "missing or out of order: [" << line
                                         << "] in\n" << text;
    }
    from = at + line.size() + 1;
  }
  return testing::AssertionSuccess();
}
