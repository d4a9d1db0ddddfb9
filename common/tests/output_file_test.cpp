#include "common/output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/run_program.h"

namespace fs = std::filesystem;

namespace {

using Names = std::vector<std::string>;

// Opens path, writes text and commits: the commit's result.
int write_whole(const std::string& path, const char* text) {
  OutputFile out;
  if (out.open(path.c_str()) != 0) return -9;
  std::fputs(text, out.stream());
  return out.commit();
}

TEST(OutputFile, CreatesThenReplacesOnlyOnCommitKeepingTheMode) {
  TempDir dir;
  const std::string target = dir / "old.bin";
  ASSERT_EQ(write_whole(target, "old contents"), 0);
  EXPECT_EQ(read_file(target), "old contents");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  {
    OutputFile abandoned;
    ASSERT_EQ(abandoned.open(target.c_str()), 0);
    std::fputs("half", abandoned.stream());
  }  // destroyed without commit
  EXPECT_EQ(list_dir(dir.path()), Names{"old.bin"});

  OutputFile out;
  ASSERT_EQ(out.open(target.c_str()), 0);
  std::fputs("new", out.stream());
  EXPECT_EQ(read_file(target), "old contents");
  ASSERT_EQ(out.commit(), 0);
  EXPECT_EQ(read_file(target), "new");
  struct stat st;
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(list_dir(dir.path()), Names{"old.bin"});
}

TEST(OutputFile, UnopenableTargetsCreateNothing) {
  TempDir dir;
  fs::create_directory(dir / "sub");
  for (const std::string& path : {dir / "no/such/dir/x.bin", dir / "sub"}) {
    OutputFile out;
    EXPECT_EQ(out.open(path.c_str()), -1) << path;
  }
  EXPECT_EQ(list_dir(dir.path()), Names{"sub"});
  EXPECT_TRUE(list_dir(dir / "sub").empty());
}

TEST(OutputFile, DeviceIsWrittenDirectlyAndFailureIsReported) {
  EXPECT_EQ(write_whole("/dev/full", "data"), -1);
  EXPECT_EQ(write_whole("/dev/null", "data"), 0);
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST(OutputFile, SymbolicLinkIsFollowed) {
  TempDir dir;
  write_file(dir / "real.bin", "old");
  fs::create_symlink(dir / "real.bin", dir / "link.bin");
  ASSERT_EQ(write_whole(dir / "link.bin", "new"), 0);
  EXPECT_TRUE(fs::is_symlink(dir / "link.bin"));
  EXPECT_EQ(read_file(dir / "real.bin"), "new");
}

}  // namespace
