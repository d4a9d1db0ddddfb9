// The libraries under refused allocations, a full disk and short reads.
#include <gtest/gtest.h>
#include <unistd.h>

#include "bitmap/bitmap.h"
#include "bitmap/png.h"
#include "common/file_ptr.h"
#include "d88/d88.h"
#include "shapes/shapes.h"
#include "faults/fault_alloc.h"
#include "faults/fault_support.h"
#include "support/png_samples.h"
#include "support/run_program.h"

namespace {

bool says_no_memory(const std::string& out) {
  return ("\n" + out).find("\nmemory exhaust!\n") != std::string::npos;
}

TEST(LibraryFaults, D88ReadAndSaveFailCleanlyAtEveryAllocation) {
  TempDir dir;
  const std::string path = dir / "game.d88", bytes = shape_disk_image();
  write_file(path, bytes);
  ScopedDiskImage loaded;
  bool emptied = false;
  long points = walk_allocations(
      [&] {
        const int disks = read_d88_image_from_file(&loaded.image, path.c_str());
        emptied = loaded.image.first == nullptr && loaded.image.count == 0;
        free_d88_image(&loaded.image, 0);
        return disks;
      },
      [&](const Attempt& a) {
        EXPECT_EQ(a.result, a.refused ? -1 : 2);
        EXPECT_EQ(says_no_memory(a.out), a.refused) << a.out;
        EXPECT_EQ(emptied, a.refused);
      });
  // The buffer, two disk records, 28 track arrays and 448 data blocks.
  EXPECT_EQ(points, 479);
  ASSERT_EQ(read_d88_image_from_file(&loaded.image, path.c_str()), 2);

  // A long name, so that the temporary file's name needs the heap.
  const std::string target = dir / "a-rather-long-output-name.d88";
  write_file(target, "old");
  const std::vector<std::string> before = list_dir(dir.path());
  points = walk_allocations(
      [&] { return write_d88_image_to_file(&loaded.image, target.c_str()); },
      [&](const Attempt& a) {
        EXPECT_EQ(list_dir(dir.path()), before);
        EXPECT_EQ(a.result, a.refused ? -1 : 0);
        EXPECT_EQ(says_no_memory(a.out), a.refused) << a.out;
        EXPECT_TRUE(read_file(target) == (a.refused ? "old" : bytes));
      });
  EXPECT_GE(points, 2);

  // Out of room: the old file stays and no temporary file is left.
  write_file(target, "old");
  std::string out;
  EXPECT_EQ(run_with_file_limit([&] { return -write_d88_image_to_file(&loaded.image, target.c_str()); }, &out), 1);
  EXPECT_EQ(out, "write error '" + target + "'\n");
  EXPECT_EQ(read_file(target), "old");
  EXPECT_EQ(list_dir(dir.path()), before);
}

TEST(LibraryFaults, BuildingFailsCleanlyAtEveryAllocation) {
  const uint8_t records[3] = {7, 1, 200}, size_codes[3] = {1, 2, 3};
  const long points = walk_allocations(
      [&] {
        DiskImage* image = create_d88_image();
        Disk* disk = image ? create_d88_disk("BLANK", 9) : nullptr;
        const bool made = disk && create_d88_custom_sectors(0, 0, records, size_codes, 3, 0);
        free_d88_disk(disk, 1);
        free_d88_image(image, 1);
        return made ? 0 : -1;
      },
      [&](const Attempt& a) {
        EXPECT_EQ(a.result, a.refused ? -1 : 0);
        EXPECT_EQ(says_no_memory(a.out), a.refused) << a.out;
      });
  // Image, disk record, 154 tracks of an array and 26 sectors, custom sectors.
  EXPECT_EQ(points, 1 + 1 + 154 * 27 + 4);
}

TEST(LibraryFaults, BitmapReadAndConvertFailCleanlyAtEveryAllocation) {
  TempDir dir;
  const auto memory = [](const Attempt& a) {
    EXPECT_EQ(a.result, a.refused ? -2 : 0);
    EXPECT_EQ(a.out, a.refused ? "error: memory exhaust!\n" : "");
  };
  // Allocations: pixels, palette (when asked for), row buffer.
  for (const auto& [bits, with_palette, points] :
       {std::tuple{4, true, 3}, {4, false, 2}, {8, true, 3}, {24, true, 2}}) {
    SCOPED_TRACE(bits);
    write_shapes_bitmap(dir / "picture.bmp", bits);
    common::FilePtr file = common::open_file((dir / "picture.bmp").c_str(), "rb");
    BitmapInfo info;
    uint8_t *palette = nullptr, *pixels = nullptr;
    EXPECT_EQ(walk_allocations(
                  [&, with_palette = with_palette] {
                    std::rewind(file.get());
                    const int result = read_bitmap(file.get(), &info,
                                                   with_palette ? &palette : nullptr, &pixels, 0);
                    free_bitmap_buffer(palette), free_bitmap_buffer(pixels);
                    palette = pixels = nullptr;
                    return result;
                  },
                  memory),
              points);
  }
  const std::vector<uint8_t> source(3 * 16 * 16, 0x80);
  uint8_t* target = nullptr;
  const auto convert = [&] {
    const int result =
        convert_bit_count(16, 16, 24, nullptr, source.data(), 4, shape_match_palette, &target);
    free_bitmap_buffer(target);
    return result;
  };
  EXPECT_EQ(walk_allocations(convert, memory), 1);
}

TEST(LibraryFaults, PngWriteAndReadFailCleanlyAtEveryAllocationAndStaySmall) {
  const auto memory = [](const Attempt& a) {
    EXPECT_EQ(a.result, a.refused ? -2 : 0);
    EXPECT_EQ(a.out, a.refused ? "error: memory exhaust!\n" : "");
  };
  std::vector<uint8_t> indexes(SHAPE_SHEET_BYTES);
  for (size_t i = 0; i < indexes.size(); ++i) indexes[i] = uint8_t(i * 7 % 13);
  common::FilePtr file(std::tmpfile());
  EXPECT_GE(walk_allocations(
                [&] {
                  std::rewind(file.get());
                  return bitmap::write_png(file.get(), 256, 256, 4, shape_palette, indexes.data());
                },
                memory),
            8);  // libpng's records, zlib's state, row buffers
  const auto read_from = [](std::FILE* f) {
    uint8_t* pixels = nullptr;
    std::fseek(f, bitmap::PNG_SIGNATURE_SIZE, SEEK_SET);
    const int result = bitmap::read_png(f, "p.png", 256, 256, &pixels);
    free_bitmap_buffer(pixels);
    return result;
  };
  EXPECT_GE(walk_allocations([&] { return read_from(file.get()); }, memory), 8);
  // Whatever a damaged file claims, nothing above the picture's own size.
  for (const BadPng& bad : bad_pngs()) {
    common::FilePtr f(std::tmpfile());
    std::fwrite(bad.bytes.data(), 1, bad.bytes.size(), f.get());
    take_largest_allocation();
    std::string out;
    EXPECT_NE(capture_stdout([&] { return read_from(f.get()); }, &out), 0) << bad.name;
    EXPECT_LE(take_largest_allocation(), 256u * 256 * 3) << bad.name;
  }
}

// A pipe cannot be measured first: the palette or a row read comes up short.
TEST(LibraryFaults, ABitmapCutShortInAPipeNamesTheMissingPart) {
  TempDir dir;
  write_shapes_bitmap(dir / "full.bmp", 4);
  const std::string bytes = read_file(dir / "full.bmp");
  for (const auto& [length, part] : {std::pair{84, "palette"}, {5118, "bitmap data"}}) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ASSERT_EQ(::write(ends[1], bytes.data(), length), length);
    ::close(ends[1]);
    common::FilePtr stream(::fdopen(ends[0], "rb"));
    BitmapInfo info;
    uint8_t *palette = nullptr, *pixels = nullptr;
    std::string out;
    EXPECT_EQ(capture_stdout([&] { return read_bitmap(stream.get(), &info, &palette, &pixels, 0); }, &out), -1);
    EXPECT_EQ(out, std::string("error: read_bitmap() - can't read ") + part + "\n");
    free_bitmap_buffer(palette), free_bitmap_buffer(pixels);
  }
}

}  // namespace
