#include "common/output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>

#include "common/file_ptr.h"
#include "support/run_program.h"

namespace {

int write_whole(const std::string& path, const char* text) {
  common::OutputFile out;
  if (out.open(path.c_str()) != 0) return -9;
  std::fputs(text, out.stream());
  return out.commit();
}

TEST(OutputFile, ReplacesOnlyOnCommitKeepingTheMode) {
  TempDir dir;
  const std::string target = dir / "old";
  ASSERT_EQ(write_whole(target, "old"), 0);
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  {
    common::OutputFile abandoned;
    ASSERT_EQ(abandoned.open(target.c_str()), 0);
    std::fputs("half", abandoned.stream());
  }
  EXPECT_EQ(read_file(target), "old");
  ASSERT_EQ(write_whole(target, "new"), 0);
  struct stat st;
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(read_file(target) + list_dir(dir.path()).at(0), "newold");
}

TEST(OutputFile, OtherTargets) {
  TempDir dir;
  std::filesystem::create_directory(dir / "sub");
  EXPECT_EQ(write_whole(dir / "no/such/x", ""), -9);
  EXPECT_EQ(write_whole(dir / "sub", ""), -9);
  write_file(dir / "real", "old");
  std::filesystem::create_symlink(dir / "real", dir / "link");
  ASSERT_EQ(write_whole(dir / "link", "new"), 0);
  EXPECT_EQ(read_file(dir / "real"), "new");
  EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"link", "real", "sub"}));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link"));
}

// Links that lead to a file not made yet, or to nothing, and hard links.
TEST(OutputFile, LinksAreFollowedToTheirEnd) {
  TempDir dir;
  namespace fs = std::filesystem;
  fs::create_directory(dir / "sub");
  fs::create_symlink("sub/made", dir / "dangling");
  fs::create_symlink(dir / "dangling", dir / "chain");
  fs::create_symlink("loop", dir / "loop");
  ASSERT_EQ(write_whole(dir / "chain", "new"), 0);
  EXPECT_EQ(read_file(dir / "sub/made"), "new");
  EXPECT_TRUE(fs::is_symlink(dir / "chain") && fs::is_symlink(dir / "dangling"));
  EXPECT_EQ(write_whole(dir / "loop", "new"), -9);
  // The name gets a new file; its other links keep the old one.
  write_file(dir / "a", "old");
  fs::create_hard_link(dir / "a", dir / "b");
  ASSERT_EQ(write_whole(dir / "a", "new"), 0);
  EXPECT_EQ(read_file(dir / "a") + read_file(dir / "b"), "newold");
  EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"a", "b", "chain", "dangling", "loop", "sub"}));
  EXPECT_EQ(list_dir(dir / "sub"), std::vector<std::string>{"made"});
}

// Devices are written as they stand, never renamed over; the test makes its
// own full and null devices rather than touch the machine's.
TEST(OutputFile, DevicesAreWrittenDirectly) {
  TempDir dir;
  const std::string full = dir / "full", null = dir / "null";
  if (::mknod(full.c_str(), S_IFCHR | 0666, ::makedev(1, 7)) != 0 ||
      ::mknod(null.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) != 0 ||
      !common::FilePtr(std::fopen(null.c_str(), "wb"))) {
    GTEST_SKIP() << "cannot make and open device nodes in " << dir.path() << " (needs root)";
  }
  EXPECT_EQ(write_whole(full, "data"), -1);
  EXPECT_EQ(write_whole(null, "data"), 0);
  EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"full", "null"}));
}

}  // namespace
