// The output bitmap: the question before an existing name is replaced, and
// failures that must leave nothing damaged or half written behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "tiledump/tests/harness.h"

namespace {

const char kOld[] = "an earlier picture, to be kept unless the user agrees";

struct AnswerCase {
  std::string input;  // what the user types
  bool replaced;
  std::string after_prompt;  // output following the prompt
};

TEST(TiledumpOutput, AnExistingFileIsReplacedOnlyAfterYes) {
  const AnswerCase cases[] = {
      {"y\n", true, ""},
      {"Y", true, ""},
      {"what?\ny\n", true, ""},
      {"n\n", false, "error: write bitmap file 'shapes.bmp'\n"},
      {"N\ny\n", false, "error: write bitmap file 'shapes.bmp'\n"},
      // End of input is a refusal: the run neither hangs nor overwrites.
      {"", false, "\nerror: write bitmap file 'shapes.bmp'\n"},
      {"whatever\n", false, "\nerror: write bitmap file 'shapes.bmp'\n"},
  };
  const SampleDir samples;
  const std::string expected = expected_bitmap('Z', 'K');
  for (const AnswerCase& c : cases) {
    write_file(samples / "shapes.bmp", kOld);
    const RunResult run = run_tiledump(samples.path(), {"shapes.bmp"}, c.input);
    EXPECT_EQ(run.status, c.replaced ? 0 : 1) << c.input;
    EXPECT_EQ(run.out, "already exists 'shapes.bmp'\noverwrite ? (Y or N): " +
                           c.after_prompt)
        << c.input;
    const std::string now = read_file(samples / "shapes.bmp");
    if (c.replaced) {
      EXPECT_TRUE(now == expected) << c.input;
    } else {
      EXPECT_TRUE(now == kOld) << c.input;
    }
  }
}

TEST(TiledumpOutput, OverwriteReplacesWithoutAsking) {
  const SampleDir samples;
  write_file(samples / "shapes.bmp", kOld);
  const RunResult run =
      run_tiledump(samples.path(), {"--overwrite", "shapes.bmp"}, "n\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(read_file(samples / "shapes.bmp") == expected_bitmap('Z', 'K'));
}

TEST(TiledumpOutput, ADirectoryAsOutputNameCannotBeOpened) {
  const SampleDir samples;
  ASSERT_EQ(::mkdir((samples / "pictures").c_str(), 0755), 0);
  const RunResult asked = run_tiledump(samples.path(), {"pictures"}, "y\n");
  EXPECT_EQ(asked.status, 1);
  EXPECT_EQ(asked.out,
            "already exists 'pictures'\noverwrite ? (Y or N): "
            "error: open 'pictures'\n"
            "error: write bitmap file 'pictures'\n");
  const RunResult forced =
      run_tiledump(samples.path(), {"--overwrite", "pictures"});
  EXPECT_EQ(forced.status, 1);
  EXPECT_EQ(forced.out,
            "error: open 'pictures'\nerror: write bitmap file 'pictures'\n");
  EXPECT_TRUE(list_dir(samples / "pictures").empty());
}

TEST(TiledumpOutput, AMissingDirectoryLeavesNothingBehind) {
  const SampleDir samples;
  const std::vector<std::string> before = list_dir(samples.path());
  const RunResult run = run_tiledump(samples.path(), {"no/such/shapes.bmp"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "error: open 'no/such/shapes.bmp'\n"
            "error: write bitmap file 'no/such/shapes.bmp'\n");
  EXPECT_EQ(list_dir(samples.path()), before);
}

// Writes that fail late (a full device) are reported, never taken for a
// written file.
TEST(TiledumpOutput, AFullDeviceIsAWriteFailure) {
  struct stat status;
  if (::stat("/dev/full", &status) != 0) GTEST_SKIP() << "no /dev/full";
  const SampleDir samples;
  const RunResult run =
      run_tiledump(samples.path(), {"--overwrite", "/dev/full"});
  EXPECT_EQ(run.status, 1);
  const std::string tail =
      "error: write bitmap '/dev/full'\n"
      "error: write bitmap file '/dev/full'\n";
  ASSERT_GE(run.out.size(), tail.size());
  EXPECT_EQ(run.out.substr(run.out.size() - tail.size()), tail) << run.out;
}

TEST(TiledumpOutput, AFailedRunKeepsTheExistingFileAndLeavesNoTemporary) {
  const SampleDir samples;
  write_file(samples / "shapes.bmp", kOld);
  write_file(samples / "kq-kelmorane.d88", "broken");
  const std::vector<std::string> before = list_dir(samples.path());
  const RunResult run =
      run_tiledump(samples.path(), {"--overwrite", "shapes.bmp"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(read_file(samples / "shapes.bmp"), kOld);
  EXPECT_EQ(list_dir(samples.path()), before);
}

}  // namespace
