// The libraries under run-time faults: a heap that gives out at any one
// allocation, writes that fail, and reads that come up short. Every failure
// must be reported with its message and result, leave no file behind and
// leave an existing target as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "common/file_ptr.h"
#include "d88/d88.h"
#include "shapes/shapes.h"
#include "tests/faults/fault_support.h"
#include "tests/support/run_program.h"

namespace {

class LibraryFaults : public testing::Test {
 protected:
  void SetUp() override {
    image_bytes = shape_disk_image(2);
    ASSERT_FALSE(image_bytes.empty());
    write_file(dir / "game.d88", image_bytes);
  }

  // Loads game.d88 into image; fails the test when it cannot.
  void load(DiskImage* image) {
    StdoutCapture quiet;
    quiet.begin();
    const int disks = read_d88_image_from_file(image, (dir / "game.d88").c_str());
    quiet.end();
    ASSERT_EQ(disks, 2);
  }

  TempDir dir;
  std::string image_bytes;
};

// ---- Running out of memory -------------------------------------------------

TEST_F(LibraryFaults, ReadingAnImageFailsCleanlyAtEveryAllocation) {
  const std::string path = dir / "game.d88";
  DiskImage image;
  int32_t count_after = -1;
  bool list_after = true;
  const long points = walk_allocations(
      [&] {
        const int disks = read_d88_image_from_file(&image, path.c_str());
        count_after = image.count;
        list_after = image.first != nullptr;
        free_d88_image(&image, 0);
        return disks;
      },
      [&](const Attempt& a) {
        if (!a.refused) {
          EXPECT_EQ(a.result, 2);
          EXPECT_EQ(a.out, "");
          return;
        }
        EXPECT_EQ(a.result, -1);
        EXPECT_TRUE(has_line(a.out, "memory exhaust!")) << a.out;
        EXPECT_EQ(count_after, 0);
        EXPECT_FALSE(list_after);
      });
  // The buffer, two disk records, 28 track arrays and 448 data blocks.
  EXPECT_EQ(points, 479);
}

TEST_F(LibraryFaults, WritingAnImageToABufferFailsCleanly) {
  DiskImage image;
  load(&image);
  std::unique_ptr<uint8_t[]> buffer;
  int32_t length = 0;
  const long points = walk_allocations(
      [&] {
        const int result = write_d88_image_to_buffer(&image, &buffer, &length);
        const bool handed = buffer != nullptr;
        buffer.reset();
        return handed ? result : result - 10;
      },
      [&](const Attempt& a) {
        EXPECT_EQ(length, static_cast<int32_t>(image_bytes.size()));
        if (!a.refused) {
          EXPECT_EQ(a.result, 0);
          return;
        }
        EXPECT_EQ(a.result, -11);  // -1, and no buffer handed back
        EXPECT_EQ(a.out, "memory exhaust!\n");
      });
  EXPECT_EQ(points, 1);
  free_d88_image(&image, 0);
}

TEST_F(LibraryFaults, SavingAnImageKeepsTheOldFileAtEveryAllocation) {
  DiskImage image;
  load(&image);
  // A long name, so that the temporary file's name needs the heap.
  const std::string target = dir / "a-rather-long-output-name.d88";
  const std::string old = "the previous contents";
  write_file(target, old);
  const std::vector<std::string> before = list_dir(dir.path());
  const long points = walk_allocations(
      [&] { return write_d88_image_to_file(&image, target.c_str()); },
      [&](const Attempt& a) {
        EXPECT_EQ(list_dir(dir.path()), before);
        if (!a.refused) {
          EXPECT_EQ(a.result, 0);
          EXPECT_TRUE(read_file(target) == image_bytes);
          return;
        }
        EXPECT_EQ(a.result, -1);
        EXPECT_TRUE(has_line(a.out, "memory exhaust!")) << a.out;
        EXPECT_EQ(read_file(target), old);
      });
  EXPECT_GE(points, 2);
  free_d88_image(&image, 0);
}

TEST_F(LibraryFaults, BuildingDisksFailsCleanlyAtEveryAllocation) {
  long points = walk_allocations(
      [&] {
        Disk* disk = create_d88_disk("BLANK", 9);
        const bool made = disk != nullptr;
        free_d88_disk(disk, 1);
        return made ? 0 : -1;
      },
      [&](const Attempt& a) {
        if (!a.refused) {
          EXPECT_EQ(a.result, 0);
          return;
        }
        EXPECT_EQ(a.result, -1);
        // The record itself, or one of the sectors of a track.
        if (a.n > 1) {
          EXPECT_TRUE(ends_with(a.out, "memory exhaust!\ncreate sector error\n"))
              << a.out;
        } else {
          EXPECT_EQ(a.out, "memory exhaust!\n");
        }
      });
  // The record, then per track of 77 x 2 its array and 26 data blocks.
  EXPECT_EQ(points, 1 + 154 * 27);

  const uint8_t records[3] = {7, 1, 200};
  const uint8_t size_codes[3] = {1, 2, 3};
  points = walk_allocations(
      [&] {
        return create_d88_custom_sectors(0, 0, records, size_codes, 3, 0)
                   ? 0
                   : -1;
      },
      [&](const Attempt& a) {
        EXPECT_EQ(a.result, a.refused ? -1 : 0);
        EXPECT_EQ(a.out, a.refused ? "memory exhaust!\n" : "");
      });
  EXPECT_EQ(points, 4);

  points = walk_allocations(
      [&] {
        DiskImage* image = create_d88_image();
        const bool made = image != nullptr;
        free_d88_image(image, 1);
        return made ? 0 : -1;
      },
      [&](const Attempt& a) {
        EXPECT_EQ(a.result, a.refused ? -1 : 0);
        EXPECT_EQ(a.out, a.refused ? "memory exhaust!\n" : "");
      });
  EXPECT_EQ(points, 1);
}

struct BitmapAllocationCase {
  int bit_count;
  bool want_palette;
  long points;  // pixels, palette, row buffer
};

TEST_F(LibraryFaults, ReadingABitmapFailsCleanlyAtEveryAllocation) {
  const BitmapAllocationCase cases[] = {
      {4, true, 3}, {4, false, 2}, {8, true, 3}, {24, true, 2}};
  for (const BitmapAllocationCase& c : cases) {
    SCOPED_TRACE(c.bit_count);
    const std::string path = dir / "picture.bmp";
    write_file(path, shapes_bitmap_file(c.bit_count));
    FilePtr file = open_file(path.c_str(), "rb");
    ASSERT_TRUE(file);
    const long points = walk_allocations(
        [&] {
          std::rewind(file.get());
          BitmapInfo info;
          uint8_t* palette = nullptr;
          uint8_t* pixels = nullptr;
          const int result = read_bitmap(
              file.get(), &info, c.want_palette ? &palette : nullptr, &pixels,
              0);
          free_bitmap_buffer(palette);
          free_bitmap_buffer(pixels);
          return result;
        },
        [&](const Attempt& a) {
          EXPECT_EQ(a.result, a.refused ? -2 : 0);
          EXPECT_EQ(a.out, a.refused ? "error: memory exhaust!\n" : "");
        });
    EXPECT_EQ(points, c.points);
  }
}

TEST_F(LibraryFaults, ConvertingIntoANewArrayFailsCleanly) {
  const std::vector<uint8_t> source(3 * 16 * 16, 0x80);
  uint8_t* target = nullptr;
  const long points = walk_allocations(
      [&] {
        return convert_bit_count(16, 16, 24, nullptr, source.data(), 4,
                                 shape_match_palette, &target);
      },
      [&](const Attempt& a) {
        EXPECT_EQ(a.result, a.refused ? -2 : 0);
        EXPECT_EQ(a.out, a.refused ? "error: memory exhaust!\n" : "");
        EXPECT_EQ(target != nullptr, !a.refused);
        free_bitmap_buffer(target);
        target = nullptr;
      });
  EXPECT_EQ(points, 1);
}

// ---- Writes that fail ------------------------------------------------------

struct SaveCase {
  const char* name;    // the target, in the test directory unless absolute
  const char* output;  // the message, %s standing for the target
};

TEST_F(LibraryFaults, FailedSavesAreReportedAndLeaveNothingBehind) {
  DiskImage image;
  load(&image);
  ASSERT_EQ(::mkdir((dir / "a-directory").c_str(), 0755), 0);
  write_file(dir / "a-file", "kept");
  const SaveCase cases[] = {
      {"/dev/full", "write error '%s'\n"},
      {"a-directory", "open error '%s'\n"},
      {"a-file/inside.d88", "open error '%s'\n"},
      {"no-such-directory/out.d88", "open error '%s'\n"},
  };
  const std::vector<std::string> before = list_dir(dir.path());
  for (const SaveCase& c : cases) {
    const std::string target = c.name[0] == '/' ? c.name : dir / c.name;
    StdoutCapture capture;
    capture.begin();
    const int result = write_d88_image_to_file(&image, target.c_str());
    const std::string out = capture.end();
    char expected[512];
    std::snprintf(expected, sizeof expected, c.output, target.c_str());
    EXPECT_EQ(result, -1) << c.name;
    EXPECT_EQ(out, expected);
    EXPECT_EQ(list_dir(dir.path()), before);
  }
  EXPECT_TRUE(list_dir(dir / "a-directory").empty());
  EXPECT_EQ(read_file(dir / "a-file"), "kept");
  free_d88_image(&image, 0);
}

TEST_F(LibraryFaults, ASaveThatRunsOutOfRoomKeepsTheOldFile) {
  DiskImage image;
  load(&image);
  const std::string target = dir / "saved.d88";
  write_file(target, "the previous contents");
  const std::vector<std::string> before = list_dir(dir.path());
  for (const int whole_disk : {0, 1}) {
    const ChildResult child = run_with_file_limit(10000, [&] {
      const int result =
          whole_disk ? write_d88_disk_to_file(image.first, target.c_str())
                     : write_d88_image_to_file(&image, target.c_str());
      return result < 0 ? 1 : 0;
    });
    EXPECT_EQ(child.status, 1);
    EXPECT_EQ(child.out, "write error '" + target + "'\n");
    EXPECT_EQ(read_file(target), "the previous contents");
    EXPECT_EQ(list_dir(dir.path()), before);
  }
  free_d88_image(&image, 0);
}

// An unbuffered stream into a fixed block of memory fails in the write of
// the very part that crosses the block's end.
TEST_F(LibraryFaults, ABitmapWriteThatRunsOutOfRoomNamesThePart) {
  const struct {
    size_t room;
    const char* out;
  } cases[] = {
      {40, "error: write_bitmap() - can't write bitmap header\n"},
      {54 + 10, "error: write_bitmap() - can't write palette\n"},
      {54 + 64 + 300, "error: write_bitmap() - can't write bitmap data\n"},
  };
  const std::vector<uint8_t> pixels(SHAPE_SHEET_BYTES, 5);
  BitmapInfo info;
  ASSERT_EQ(create_bitmap_header(&info, 256, 256, 4), 0);
  for (const auto& c : cases) {
    std::vector<char> block(c.room);
    FilePtr stream(::fmemopen(block.data(), block.size(), "wb"));
    ASSERT_TRUE(stream);
    std::setvbuf(stream.get(), nullptr, _IONBF, 0);
    StdoutCapture capture;
    capture.begin();
    const int result =
        write_bitmap(stream.get(), &info, shape_palette, pixels.data());
    EXPECT_EQ(capture.end(), c.out);
    EXPECT_EQ(result, -1) << c.room;
  }
}

// ---- Reads that come up short ----------------------------------------------

TEST_F(LibraryFaults, ACutImageFileLoadsNothing) {
  const std::string path = dir / "cut.d88";
  const std::string one_disk = image_bytes.substr(0, image_bytes.size() / 2);
  char size_line[128];
  std::snprintf(size_line, sizeof size_line,
                "illegal data: [SHAPES          ] disk size = 0x%08X\n",
                static_cast<unsigned>(one_disk.size()));
  struct CutCase {
    size_t length;
    std::string out;  // before "read image data error"
  };
  const CutCase cases[] = {
      // Inside a sector of the first disk.
      {688 + 16 + 100, std::string(size_line) + "read disk 1 error\n"},
      // Inside the data of the second disk, past its header.
      {one_disk.size() + 3000, std::string(size_line) + "read disk 2 error\n"},
      // Nothing at all: the one read finds no bytes.
      {0, ""},
  };
  for (const CutCase& c : cases) {
    write_file(path, image_bytes.substr(0, c.length));
    DiskImage image;
    StdoutCapture capture;
    capture.begin();
    const int result = read_d88_image_from_file(&image, path.c_str());
    const std::string out = capture.end();
    EXPECT_EQ(result, -1);
    EXPECT_EQ(image.count, 0);
    EXPECT_EQ(image.first, nullptr);
    const std::string last = c.length == 0 ? "read error '" + path + "'\n"
                                           : "read image data error '" + path +
                                                 "'\n";
    EXPECT_EQ(out, c.out + last) << c.length;
  }
}

TEST_F(LibraryFaults, AFifoIsNotLoadedAsAnImage) {
  const std::string path = dir / "pipe.d88";
  const pid_t feeder = feed_fifo(path, image_bytes);
  ASSERT_GT(feeder, 0);
  DiskImage image;
  StdoutCapture capture;
  capture.begin();
  const int result = read_d88_image_from_file(&image, path.c_str());
  const std::string out = capture.end();
  finish_feeding(path, feeder);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(out, "not a regular file '" + path + "'\n");
  EXPECT_EQ(image.first, nullptr);
}

struct ShortBitmapCase {
  int bit_count;
  size_t length;  // bytes of the file that are there
  bool through_pipe;
  const char* out;
};

// A regular file is measured before anything is allocated; a pipe cannot
// be, so there the palette or a row read itself comes up short.
TEST_F(LibraryFaults, ACutBitmapIsRefusedWithTheMissingPart) {
  const ShortBitmapCase cases[] = {
      {4, 54 + 30, false, "error: read_bitmap() - can't read palette\n"},
      {4, 54 + 64 + 5000, false,
       "error: read_bitmap() - can't read bitmap data\n"},
      {4, 54 + 30, true, "error: read_bitmap() - can't read palette\n"},
      {4, 54 + 64 + 5000, true,
       "error: read_bitmap() - can't read bitmap data\n"},
      {24, 54 + 767, true, "error: read_bitmap() - can't read bitmap data\n"},
      {8, 20, true, "error: read_bitmap() - can't read bitmap header\n"},
  };
  for (const ShortBitmapCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.bit_count) + " bits, " +
                 std::to_string(c.length) + " bytes");
    const std::string bytes = shapes_bitmap_file(c.bit_count).substr(0, c.length);
    FilePtr stream;
    if (c.through_pipe) {
      int ends[2];
      ASSERT_EQ(::pipe(ends), 0);
      ASSERT_EQ(::write(ends[1], bytes.data(), bytes.size()),
                static_cast<ssize_t>(bytes.size()));
      ::close(ends[1]);
      stream.reset(::fdopen(ends[0], "rb"));
    } else {
      stream.reset(std::tmpfile());
      std::fwrite(bytes.data(), 1, bytes.size(), stream.get());
      std::rewind(stream.get());
    }
    ASSERT_TRUE(stream);
    BitmapInfo info;
    uint8_t* palette = nullptr;
    uint8_t* pixels = nullptr;
    StdoutCapture capture;
    capture.begin();
    const int result = read_bitmap(stream.get(), &info, &palette, &pixels, 0);
    const std::string out = capture.end();
    free_bitmap_buffer(palette);
    free_bitmap_buffer(pixels);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(out, c.out);
  }
}

}  // namespace
