#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include "d88/d88.h"
#include "d88/tests/model_equal.h"
#include "d88/tests/test_util.h"
#include "tests/support/run_program.h"

namespace {

TEST(ReadFile, FailuresNameThePathAndLeaveTheImageEmpty) {
  TempDir dir;
  const std::string missing = dir / "missing.d88";
  const std::string empty = dir / "empty.d88";
  write_file(empty, "");
  // 2 GiB without a single block on the disk.
  const std::string huge = dir / "huge.d88";
  write_file(huge, "");
  ASSERT_EQ(::truncate(huge.c_str(), off_t{1} << 31), 0);
  const std::string bad = dir / "bad.d88";
  Bytes b = plain_disk() + plain_disk();
  b[0x6F0 + 0x1A] = 0x01;
  write_file(bad, std::string(b.begin(), b.end()));
  const struct {
    std::string path;
    std::string message;
  } rows[] = {
      {missing, "open error '" + missing + "'\n"},
      {dir.path(), "not a regular file '" + dir.path() + "'\n"},
      {empty, "read error '" + empty + "'\n"},
      {huge, "file too large '" + huge + "'\n"},
      {bad, "illegal data: [DISK] write protect flag = 0x01\n"
            "read disk 2 error\nread image data error '" + bad + "'\n"},
  };
  for (const auto& row : rows) {
    OwnedImage image;
    EXPECT_EQ(captured([&] {
                EXPECT_EQ(read_d88_image_from_file(&image, row.path.c_str()),
                          -1);
              }),
              row.message);
    EXPECT_EQ(image.first, nullptr);
    EXPECT_EQ(image.count, 0);
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

TEST(WriteFile, SingleDiskAndWholeImageReadBack) {
  TempDir dir;
  OwnedImage image;
  three_disks(&image);
  const std::string second = dir / "second.d88";
  ASSERT_EQ(write_d88_disk_to_file(get_d88_disk(&image, 1), second.c_str()), 0);
  EXPECT_EQ(read_file(second).size(), 1089776u);

  const std::string all = dir / "all.d88";
  ASSERT_EQ(write_d88_image_to_file(&image, all.c_str()), 0);
  OwnedImage back;
  EXPECT_EQ(read_d88_image_from_file(&back, all.c_str()), 3);
  EXPECT_EQ(d88_difference(image, back), "");  // nothing lost or changed
}

TEST(WriteFile, FailuresLeaveTheTargetAsItWas) {
  TempDir dir;
  const std::string keep = dir / "keep.d88";
  const std::string nowhere = dir / "no/such.d88";
  write_file(keep, "old contents");
  OwnedImage good;
  three_disks(&good);
  OwnedImage bad;
  three_disks(&bad);
  bad.first->tracks[0].sectors[0].size = -1;
  const struct {
    const DiskImage* image;
    std::string path;
    std::string message;
  } rows[] = {
      {&good, nowhere, "open error '" + nowhere + "'\n"},
      {&good, "/dev/full", "write error '/dev/full'\n"},
      {&bad, keep, "write_d88_image_to_buffer: image size out of range\n"
                   "write image data error '" + keep + "'\n"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(captured([&] {
                EXPECT_EQ(write_d88_image_to_file(row.image, row.path.c_str()),
                          -1);
              }),
              row.message);
  }

  // A file size limit makes the write fail halfway; it is set in a child so
  // that nothing else in this process is affected.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{100000, 100000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::_exit(write_d88_image_to_file(&good, keep.c_str()) == -1 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(read_file(keep), "old contents");
  EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"keep.d88"});
}

}  // namespace
