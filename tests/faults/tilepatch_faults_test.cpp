// tilepatch run in process under faults: every allocation of a whole run
// refused in turn, image writes that fail, and bitmaps or disk files that
// come up short. A failed run reports the fault, ends with status 1, creates
// nothing and leaves an existing image as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "shapes/shapes.h"
#include "tests/faults/fault_support.h"
#include "tests/support/run_program.h"
#include "tilepatch/shapes_bitmap.h"
#include "tilepatch/tilepatch.h"

namespace {

const char kOld[] = "an earlier patched image";

class TilepatchFaults : public testing::Test {
 protected:
  void SetUp() override {
    image = shape_disk_image(2);
    ASSERT_FALSE(image.empty());
    write_file(dir / "game.d88", image);
    write_file(dir / "sheet.bmp", shapes_bitmap_file(4));
  }

  // Runs tilepatch -t k on disk 1 of disk with --overwrite and the extra
  // arguments.
  int run(const std::string& disk, const std::string& bitmap,
          const std::vector<std::string>& extra, std::string* out = nullptr) {
    std::vector<std::string> args = {"tilepatch", "--overwrite", "-t", "k",
                                     "-i", "1", "-d", disk, bitmap};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv = argv_of(args);
    StdoutCapture capture;
    capture.begin();
    const int status =
        tilepatch_main(static_cast<int>(args.size()), argv.data());
    const std::string text = capture.end();
    if (out != nullptr) *out = text;
    return status;
  }

  TempDir dir;
  std::string image;
};

TEST_F(TilepatchFaults, EveryFailedAllocationEndsTheRunCleanly) {
  std::string out;
  ASSERT_EQ(run(dir / "game.d88", dir / "sheet.bmp",
                {"-o", dir / "reference.d88"}, &out),
            0)
      << out;
  const std::string expected = read_file(dir / "reference.d88");
  ASSERT_NE(expected, image);
  ::unlink((dir / "reference.d88").c_str());

  // The output name is derived from the disk file's, on the heap.
  const std::string output = dir / "game.NEW.d88";
  write_file(output, kOld);
  const std::vector<std::string> before = list_dir(dir.path());
  std::vector<std::string> args = {"tilepatch", "--overwrite", "-t",
                                   "k",         "-i",          "1",
                                   "-d",        dir / "game.d88",
                                   dir / "sheet.bmp"};
  std::vector<char*> argv = argv_of(args);
  const long points = walk_allocations(
      [&] {
        return tilepatch_main(static_cast<int>(args.size()), argv.data());
      },
      [&](const Attempt& a) {
        EXPECT_EQ(list_dir(dir.path()), before);
        EXPECT_EQ(read_file(dir / "game.d88"), image);
        if (!a.refused) {
          EXPECT_EQ(a.result, 0);
          EXPECT_EQ(a.out, "");
          EXPECT_TRUE(read_file(output) == expected);
          return;
        }
        EXPECT_EQ(a.result, 1);
        EXPECT_TRUE(has_line(a.out, "memory exhaust!") ||
                    has_line(a.out, "error: memory exhaust!") ||
                    has_line(a.out, "memory exhausted!"))
            << a.out;
        EXPECT_EQ(read_file(output), kOld);
      });
  // The bitmap's buffers, the image, the output name and the file names.
  EXPECT_GE(points, 484);
}

TEST_F(TilepatchFaults, LoadingTheShapesBitmapFailsCleanlyAtEveryAllocation) {
  const struct {
    int bit_count;
    long points;  // pixels, palette, row buffer
  } cases[] = {{4, 3}, {8, 3}, {24, 2}};
  static ShapeSheet sheet;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bit_count);
    const std::string path = dir / "picture.bmp";
    write_file(path, shapes_bitmap_file(c.bit_count));
    const long points = walk_allocations(
        [&] { return load_shapes_bitmap(&sheet, path.c_str()); },
        [&](const Attempt& a) {
          EXPECT_EQ(a.result, a.refused ? -1 : 0);
          EXPECT_EQ(a.out, a.refused ? "error: memory exhaust!\nerror: read "
                                       "bitmap '" + path + "'\n"
                                     : "");
        });
    EXPECT_EQ(points, c.points);
  }
}

struct OutputCase {
  const char* name;  // in the test directory unless absolute
  const char* tail;  // the last lines, %s standing for the name
};

TEST_F(TilepatchFaults, FailedSavesAreReportedAndLeaveNothingBehind) {
  ASSERT_EQ(::mkdir((dir / "a-directory").c_str(), 0755), 0);
  write_file(dir / "a-file", kOld);
  const OutputCase cases[] = {
      {"/dev/full", "write error '%s'\nerror: write d88 image '%s'\n"},
      {"a-directory", "open error '%s'\nerror: write d88 image '%s'\n"},
      {"a-file/patched.d88", "open error '%s'\nerror: write d88 image '%s'\n"},
  };
  const std::vector<std::string> before = list_dir(dir.path());
  for (const OutputCase& c : cases) {
    const std::string output = c.name[0] == '/' ? c.name : dir / c.name;
    std::string out;
    EXPECT_EQ(run(dir / "game.d88", dir / "sheet.bmp", {"-o", output}, &out),
              1)
        << c.name;
    char expected[1024];
    std::snprintf(expected, sizeof expected, c.tail, output.c_str(),
                  output.c_str());
    EXPECT_EQ(out, expected);
    EXPECT_EQ(list_dir(dir.path()), before);
  }
  EXPECT_TRUE(list_dir(dir / "a-directory").empty());
  EXPECT_EQ(read_file(dir / "a-file"), kOld);
  EXPECT_EQ(read_file(dir / "game.d88"), image);
}

TEST_F(TilepatchFaults, AnImageThatRunsOutOfRoomKeepsTheOldFiles) {
  const std::string output = dir / "game.NEW.d88";
  write_file(output, kOld);
  const std::vector<std::string> before = list_dir(dir.path());
  const std::string disk = dir / "game.d88";
  const std::string bitmap = dir / "sheet.bmp";
  // Into the usual output, then over the input itself.
  for (const std::string& target : {output, disk}) {
    const ChildResult child = run_with_file_limit(
        10000, [&] {
          std::string out;
          const int status = run(disk, bitmap, {"-o", target}, &out);
          std::fputs(out.c_str(), stdout);
          return status;
        });
    EXPECT_EQ(child.status, 1);
    EXPECT_EQ(child.out, "write error '" + target +
                             "'\nerror: write d88 image '" + target + "'\n");
    EXPECT_EQ(read_file(output), kOld);
    EXPECT_EQ(read_file(disk), image);
    EXPECT_EQ(list_dir(dir.path()), before);
  }
}

TEST_F(TilepatchFaults, ShortInputsWriteNothing) {
  const std::string output = dir / "game.NEW.d88";
  write_file(output, kOld);
  const std::string bitmap = shapes_bitmap_file(4);
  const std::string disk = dir / "game.d88";
  write_file(dir / "cut.bmp", bitmap.substr(0, 20000));
  write_file(dir / "cut.d88", image.substr(0, image.size() / 2 + 5000));
  const std::vector<std::string> before = list_dir(dir.path());
  const std::string rows_short = "error: read_bitmap() - can't read bitmap data\n";

  std::string out;
  EXPECT_EQ(run(disk, dir / "cut.bmp", {}, &out), 1);
  EXPECT_EQ(out, rows_short + "error: read bitmap '" + (dir / "cut.bmp") + "'\n");

  EXPECT_EQ(run(dir / "cut.d88", dir / "sheet.bmp", {}, &out), 1);
  EXPECT_TRUE(ends_with(out, "read disk 2 error\nread image data error '" +
                                 (dir / "cut.d88") +
                                 "'\nerror: read d88 image '" +
                                 (dir / "cut.d88") + "'\n"))
      << out;

  // Through a FIFO the bitmap cannot be measured first: a row read fails.
  const std::string fifo = dir / "pipe.bmp";
  pid_t feeder = feed_fifo(fifo, bitmap.substr(0, 20000));
  ASSERT_GT(feeder, 0);
  int status = run(disk, fifo, {}, &out);
  finish_feeding(fifo, feeder);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(out, rows_short + "error: read bitmap '" + fifo + "'\n");

  // A whole bitmap through a FIFO is read as from a file.
  feeder = feed_fifo(fifo, bitmap);
  ASSERT_GT(feeder, 0);
  status = run(disk, fifo, {"-o", dir / "from-pipe.d88"}, &out);
  finish_feeding(fifo, feeder);
  EXPECT_EQ(status, 0) << out;
  EXPECT_TRUE(file_exists(dir / "from-pipe.d88"));
  ::unlink((dir / "from-pipe.d88").c_str());

  feeder = feed_fifo(fifo, image);
  ASSERT_GT(feeder, 0);
  status = run(fifo, dir / "sheet.bmp", {}, &out);
  finish_feeding(fifo, feeder);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(out, "not a regular file '" + fifo + "'\nerror: read d88 image '" +
                     fifo + "'\n");

  EXPECT_EQ(read_file(output), kOld);
  EXPECT_EQ(read_file(disk), image);
  EXPECT_EQ(list_dir(dir.path()), before);
}

}  // namespace
