// tiledump run in process under faults: every allocation of a whole run
// refused in turn, bitmap writes that fail, and disk files that come up
// short. A failed run reports the fault, ends with status 1, creates nothing
// and leaves an existing bitmap as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "shapes/shapes.h"
#include "tests/faults/fault_support.h"
#include "tests/support/run_program.h"
#include "tiledump/tiledump.h"

namespace {

const char kOld[] = "an earlier picture";

class TiledumpFaults : public testing::Test {
 protected:
  void SetUp() override {
    image = shape_disk_image(2);
    ASSERT_FALSE(image.empty());
    write_file(dir / "game.d88", image);
  }

  // Runs tiledump -D on disk with --overwrite, writing output.
  int run(const std::string& disk, const std::string& output,
          std::string* out = nullptr) {
    std::vector<std::string> args = {"tiledump", "--overwrite", "-D", disk,
                                     "0", "1", output};
    std::vector<char*> argv = argv_of(args);
    StdoutCapture capture;
    capture.begin();
    const int status = tiledump_main(static_cast<int>(args.size()), argv.data());
    const std::string text = capture.end();
    if (out != nullptr) *out = text;
    return status;
  }

  // The bitmap a clean run writes.
  std::string reference() {
    std::string out;
    EXPECT_EQ(run(dir / "game.d88", dir / "reference.bmp", &out), 0) << out;
    const std::string bytes = read_file(dir / "reference.bmp");
    ::unlink((dir / "reference.bmp").c_str());
    return bytes;
  }

  TempDir dir;
  std::string image;
};

TEST_F(TiledumpFaults, EveryFailedAllocationEndsTheRunCleanly) {
  const std::string expected = reference();
  ASSERT_EQ(expected.size(), 32886u);
  const std::string output = dir / "shapes-of-the-whole-game.bmp";
  write_file(output, kOld);
  const std::vector<std::string> before = list_dir(dir.path());
  std::vector<std::string> args = {"tiledump", "--overwrite", "-D",
                                   dir / "game.d88", "0", "1", output};
  std::vector<char*> argv = argv_of(args);
  const long points = walk_allocations(
      [&] { return tiledump_main(static_cast<int>(args.size()), argv.data()); },
      [&](const Attempt& a) {
        EXPECT_EQ(list_dir(dir.path()), before);
        if (!a.refused) {
          EXPECT_EQ(a.result, 0);
          EXPECT_EQ(a.out, "");
          EXPECT_TRUE(read_file(output) == expected);
          return;
        }
        EXPECT_EQ(a.result, 1);
        EXPECT_TRUE(has_line(a.out, "memory exhaust!") ||
                    has_line(a.out, "error: memory exhaust!"))
            << a.out;
        EXPECT_EQ(read_file(output), kOld);
      });
  // Buffer, disk records, track arrays and sectors of the image, then the
  // names of the output file.
  EXPECT_GE(points, 480);
}

TEST_F(TiledumpFaults, WritingTheBitmapFileFailsCleanlyAtEveryAllocation) {
  static ShapeSheet sheet;
  const std::string output = dir / "a-long-name-for-the-bitmap.bmp";
  write_file(output, kOld);
  const long points = walk_allocations(
      [&] {
        return write_bitmap_file(output.c_str(), 256, 256, sheet.pixels,
                                 shape_palette, 4, 1);
      },
      [&](const Attempt& a) {
        if (!a.refused) {
          EXPECT_EQ(a.result, 0);
          EXPECT_EQ(read_file(output).size(), 32886u);
          return;
        }
        EXPECT_EQ(a.result, -1);
        EXPECT_EQ(a.out, "error: memory exhaust!\nerror: open '" + output +
                             "'\n");
        EXPECT_EQ(read_file(output), kOld);
      });
  EXPECT_GE(points, 1);
}

TEST_F(TiledumpFaults, ABitmapThatCannotBeDescribedIsNotStarted) {
  static ShapeSheet sheet;
  const std::string output = dir / "never.bmp";
  const struct {
    int32_t width;
    uint16_t bit_count;
  } cases[] = {{256, 3}, {-1, 4}, {0, 4}};
  for (const auto& c : cases) {
    StdoutCapture capture;
    capture.begin();
    const int result = write_bitmap_file(output.c_str(), c.width, 256,
                                         sheet.pixels, shape_palette,
                                         c.bit_count, 0);
    EXPECT_EQ(capture.end(), "error: create bitmap header\n");
    EXPECT_EQ(result, -1);
  }
  EXPECT_FALSE(file_exists(output));
}

struct OutputCase {
  const char* name;  // in the test directory unless absolute
  const char* tail;  // the last lines, %s standing for the name
};

TEST_F(TiledumpFaults, FailedWritesAreReportedAndLeaveNothingBehind) {
  ASSERT_EQ(::mkdir((dir / "a-directory").c_str(), 0755), 0);
  write_file(dir / "a-file", kOld);
  const OutputCase cases[] = {
      {"/dev/full",
       "error: write_bitmap() - can't write bitmap data\n"
       "error: write bitmap '%s'\nerror: write bitmap file '%s'\n"},
      {"a-directory", "error: open '%s'\nerror: write bitmap file '%s'\n"},
      {"a-file/shapes.bmp",
       "error: open '%s'\nerror: write bitmap file '%s'\n"},
  };
  const std::vector<std::string> before = list_dir(dir.path());
  for (const OutputCase& c : cases) {
    const std::string output = c.name[0] == '/' ? c.name : dir / c.name;
    std::string out;
    EXPECT_EQ(run(dir / "game.d88", output, &out), 1) << c.name;
    char expected[1024];
    std::snprintf(expected, sizeof expected, c.tail, output.c_str(),
                  output.c_str());
    EXPECT_EQ(out, expected);
    EXPECT_EQ(list_dir(dir.path()), before);
  }
  EXPECT_TRUE(list_dir(dir / "a-directory").empty());
  EXPECT_EQ(read_file(dir / "a-file"), kOld);

  // Also through write_bitmap_file alone.
  static ShapeSheet sheet;
  StdoutCapture capture;
  capture.begin();
  const int result = write_bitmap_file("/dev/full", 256, 256, sheet.pixels,
                                       shape_palette, 4, 1);
  EXPECT_EQ(capture.end(),
            "error: write_bitmap() - can't write bitmap data\n"
            "error: write bitmap '/dev/full'\n");
  EXPECT_EQ(result, -1);
}

TEST_F(TiledumpFaults, ABitmapThatRunsOutOfRoomKeepsTheOldFile) {
  const std::string output = dir / "shapes.bmp";
  write_file(output, kOld);
  const std::vector<std::string> before = list_dir(dir.path());
  const std::string disk = dir / "game.d88";
  const ChildResult child = run_with_file_limit(10000, [&] {
    std::string out;
    const int status = run(disk, output, &out);
    std::fputs(out.c_str(), stdout);
    return status;
  });
  EXPECT_EQ(child.status, 1);
  EXPECT_TRUE(ends_with(child.out, "error: write bitmap '" + output +
                                       "'\nerror: write bitmap file '" +
                                       output + "'\n"))
      << child.out;
  EXPECT_EQ(read_file(output), kOld);
  EXPECT_EQ(list_dir(dir.path()), before);
}

TEST_F(TiledumpFaults, ShortDiskFilesWriteNothing) {
  const std::string output = dir / "shapes.bmp";
  write_file(output, kOld);
  const std::string cut = dir / "cut.d88";
  write_file(cut, image.substr(0, image.size() / 2 + 5000));
  const std::vector<std::string> before = list_dir(dir.path());
  std::string out;
  EXPECT_EQ(run(cut, output, &out), 1);
  EXPECT_TRUE(ends_with(out, "read disk 2 error\nread image data error '" +
                                 cut + "'\nerror: read d88 image '" + cut +
                                 "'\n"))
      << out;
  EXPECT_EQ(read_file(output), kOld);
  EXPECT_EQ(list_dir(dir.path()), before);

  const std::string fifo = dir / "pipe.d88";
  const pid_t feeder = feed_fifo(fifo, image);
  ASSERT_GT(feeder, 0);
  const int status = run(fifo, output, &out);
  finish_feeding(fifo, feeder);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(out, "not a regular file '" + fifo + "'\nerror: read d88 image '" +
                     fifo + "'\n");
  EXPECT_EQ(read_file(output), kOld);
  EXPECT_EQ(list_dir(dir.path()), before);
}

}  // namespace
