#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include "d88/d88.h"
#include "d88/tests/raw_d88.h"
#include "d88/tests/test_util.h"
#include "tests/support/run_program.h"

namespace {

TEST(ReadFile, LoadsAndReportsWithThePath) {
  TempDir dir;
  const std::string good = dir / "good.d88";
  write_file(good, as_string(plain_disk() + plain_disk()));
  OwnedImage image;
  EXPECT_EQ(read_d88_image_from_file(&image, good.c_str()), 2);

  const std::string bad = dir / "bad.d88";
  Bytes b = plain_disk();
  b[0x1A] = 0x01;
  write_file(bad, as_string(b));
  OwnedImage failed;
  EXPECT_EQ(captured([&] {
              EXPECT_EQ(read_d88_image_from_file(&failed, bad.c_str()), -1);
            }),
            "illegal data: [DISK] write protect flag = 0x01\n"
            "read disk 1 error\nread image data error '" + bad + "'\n");
  EXPECT_EQ(failed.first, nullptr);
}

TEST(ReadFile, InputsThatAreNoImageFile) {
  TempDir dir;
  const std::string empty = dir / "empty.d88";
  write_file(empty, "");
  const std::string missing = dir / "missing.d88";
  // 2 GiB without a single block on the disk.
  const std::string huge = dir / "huge.d88";
  write_file(huge, "");
  ASSERT_EQ(::truncate(huge.c_str(), off_t{1} << 31), 0);
  const struct {
    std::string path;
    std::string message;
  } rows[] = {
      {missing, "open error '" + missing + "'\n"},
      {dir.path(), "not a regular file '" + dir.path() + "'\n"},
      {empty, "read error '" + empty + "'\n"},
      {huge, "file too large '" + huge + "'\n"},
  };
  for (const auto& row : rows) {
    OwnedImage image;
    EXPECT_EQ(captured([&] {
                EXPECT_EQ(read_d88_image_from_file(&image, row.path.c_str()),
                          -1);
              }),
              row.message);
  }
}

// An image of three built disks of formats 0, 9 and 1.
void three_disks(DiskImage* image) {
  Disk** link = &image->first;
  for (int format : {0, 9, 1}) {
    *link = create_d88_disk("T", format);
    link = &(*link)->next;
    ++image->count;
  }
}

TEST(WriteFile, SingleDiskOfAnImage) {
  TempDir dir;
  OwnedImage image;
  three_disks(&image);
  const std::string path = dir / "second.d88";
  ASSERT_EQ(write_d88_disk_to_file(get_d88_disk(&image, 1), path.c_str()), 0);
  EXPECT_EQ(read_file(path).size(), 1089776u);
  EXPECT_EQ(image.count, 3);
}

TEST(WriteFile, MissingDirectoryLeavesNothing) {
  TempDir dir;
  OwnedImage image;
  three_disks(&image);
  const std::string path = dir / "no/such.d88";
  EXPECT_EQ(captured([&] {
              EXPECT_EQ(write_d88_image_to_file(&image, path.c_str()), -1);
            }),
            "open error '" + path + "'\n");
  EXPECT_TRUE(list_dir(dir.path()).empty());
}

TEST(WriteFile, FullDevice) {
  OwnedImage image;
  three_disks(&image);
  EXPECT_EQ(captured([&] {
              EXPECT_EQ(write_d88_image_to_file(&image, "/dev/full"), -1);
            }),
            "write error '/dev/full'\n");
}

TEST(WriteFile, FailedSerialisationLeavesTheTarget) {
  TempDir dir;
  const std::string path = dir / "keep.d88";
  write_file(path, "old contents");
  OwnedImage image;
  three_disks(&image);
  image.first->tracks[0].sectors[0].size = -1;
  EXPECT_EQ(captured([&] {
              EXPECT_EQ(write_d88_image_to_file(&image, path.c_str()), -1);
            }),
            "write_d88_image_to_buffer: image size out of range\n"
            "write image data error '" + path + "'\n");
  EXPECT_EQ(read_file(path), "old contents");
}

TEST(WriteFile, FailedWriteLeavesTheTarget) {
  TempDir dir;
  const std::string path = dir / "keep.d88";
  write_file(path, "old contents");
  // A file size limit makes the write fail halfway; it is set in a child so
  // that nothing else in this process is affected.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{100000, 100000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    DiskImage image;
    three_disks(&image);
    const int result = write_d88_image_to_file(&image, path.c_str());
    free_d88_image(&image, 0);
    ::_exit(result == -1 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(read_file(path), "old contents");
  EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"keep.d88"});
}

}  // namespace
