// Running tiledump as a user would, on a fresh set of sample disks.
#pragma once

#include <string>
#include <vector>

#include "tests/support/run_program.h"

inline constexpr int kBitmapBytes = 32886;

// A temporary directory holding the sample disks of make_samples.
class SampleDir {
 public:
  SampleDir();
  const std::string& path() const { return dir_.path(); }
  std::string operator/(const std::string& name) const { return dir_ / name; }

 private:
  TempDir dir_;
};

// Runs tiledump with args in dir, feeding input to its console question.
RunResult run_tiledump(const std::string& dir,
                       const std::vector<std::string>& args,
                       const std::string& input = "");

// The bitmap a run must write when shapes 0 to 127 come from the sample disk
// marked lower_letter and shapes 128 to 255 from the one marked upper_letter
// (Z, K, V, D or F). Built from the header fields, the colour table and the
// sheet by hand, not through the program's own writer.
std::string expected_bitmap(char lower_letter, char upper_letter);

// The usage text, as the user sees it.
extern const char kUsage[];
