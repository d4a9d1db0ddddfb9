#include "common/output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

class OutputFileTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("output_file_test." + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const char* name) const { return (dir_ / name).string(); }

  static std::string slurp(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static void spit(const std::string& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
  }
  // Names in the test directory; a leftover temporary file shows up here.
  size_t entries() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir_),
                                             fs::directory_iterator()));
  }

  fs::path dir_;
};

TEST_F(OutputFileTest, CreatesNewFile) {
  OutputFile out;
  ASSERT_EQ(out.open(path("new.bin").c_str()), 0);
  std::fputs("hello", out.stream());
  ASSERT_EQ(out.commit(), 0);
  EXPECT_EQ(slurp(path("new.bin")), "hello");
  EXPECT_EQ(entries(), 1u);
}

TEST_F(OutputFileTest, ReplacesExistingFileKeepingItsMode) {
  spit(path("old.bin"), "old contents");
  ASSERT_EQ(::chmod(path("old.bin").c_str(), 0640), 0);
  OutputFile out;
  ASSERT_EQ(out.open(path("old.bin").c_str()), 0);
  std::fputs("new", out.stream());
  // Until the commit the old file is untouched.
  EXPECT_EQ(slurp(path("old.bin")), "old contents");
  ASSERT_EQ(out.commit(), 0);
  EXPECT_EQ(slurp(path("old.bin")), "new");
  struct stat st;
  ASSERT_EQ(::stat(path("old.bin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(entries(), 1u);
}

TEST_F(OutputFileTest, AbandonedWriteLeavesTargetAndNoTemporary) {
  spit(path("keep.bin"), "precious");
  {
    OutputFile out;
    ASSERT_EQ(out.open(path("keep.bin").c_str()), 0);
    std::fputs("half", out.stream());
  }  // destroyed without commit
  EXPECT_EQ(slurp(path("keep.bin")), "precious");
  EXPECT_EQ(entries(), 1u);
}

TEST_F(OutputFileTest, MissingDirectoryFailsToOpenAndCreatesNothing) {
  OutputFile out;
  EXPECT_EQ(out.open(path("no/such/dir/x.bin").c_str()), -1);
  EXPECT_EQ(entries(), 0u);
}

TEST_F(OutputFileTest, DirectoryTargetFailsToOpen) {
  fs::create_directory(path("sub"));
  OutputFile out;
  EXPECT_EQ(out.open(path("sub").c_str()), -1);
  EXPECT_TRUE(fs::is_directory(path("sub")));
}

TEST_F(OutputFileTest, DeviceIsWrittenDirectlyAndFailureIsReported) {
  OutputFile full;
  ASSERT_EQ(full.open("/dev/full"), 0);
  std::fputs("data", full.stream());
  EXPECT_EQ(full.commit(), -1);

  OutputFile null;
  ASSERT_EQ(null.open("/dev/null"), 0);
  std::fputs("data", null.stream());
  EXPECT_EQ(null.commit(), 0);
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST_F(OutputFileTest, SymbolicLinkIsFollowed) {
  spit(path("real.bin"), "old");
  fs::create_symlink(path("real.bin"), path("link.bin"));
  OutputFile out;
  ASSERT_EQ(out.open(path("link.bin").c_str()), 0);
  std::fputs("new", out.stream());
  ASSERT_EQ(out.commit(), 0);
  EXPECT_TRUE(fs::is_symlink(path("link.bin")));
  EXPECT_EQ(slurp(path("real.bin")), "new");
}

}  // namespace
