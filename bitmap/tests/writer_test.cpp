#include <string>

#include "bitmap/tests/test_util.h"

namespace {

// Every field of the header byte by byte, low byte first: this also pins the
// little-endian field routines that encode them.
TEST(WriteBitmapHeader, SheetHeaderBytes) {
  BitmapInfo info;
  ASSERT_EQ(create_bitmap_header(&info, 256, 256, 4), 0);
  FilePtr f = scratch_stream();
  ASSERT_EQ(write_bitmap_header(f.get(), &info), 0);
  const Bytes expected = {
      0x42, 0x4D, 0x76, 0x80, 0, 0, 0, 0, 0, 0, 0x76, 0, 0, 0,  // file header
      40, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 1, 0, 4, 0,          // size .. bits
      0, 0, 0, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,        // .. x res
      0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(stream_bytes(f.get()), expected);
}

// The palette goes out unchanged and in full, as zeros when none is given;
// the rows bottom-up, packed and padded to four bytes.
TEST(WriteBitmap, PacksPadsAndStoresBottomUp) {
  const struct {
    const char* name;
    uint32_t width, height;
    uint16_t bits;
    Bytes pixels;  // top row first
    Bytes rows;    // as stored: bottom row first, padded
  } cases[] = {
      {"1 bit, any non-zero sets its bit", 10, 2, 1,
       {0, 5, 0, 1, 0, 0, 0, 0, 1, 1, /**/ 1, 0, 0, 0, 0, 0, 0, 0, 0, 1},
       {0x80, 0x40, 0, 0, 0x50, 0xC0, 0, 0}},
      {"1 bit, full byte", 8, 1, 1, {1, 1, 1, 1, 1, 1, 1, 0}, {0xFE, 0, 0, 0}},
      {"4 bit, odd width, low nibbles only", 3, 2, 4, {0x1, 0x2, 0x13, /**/ 0xF, 0x0, 0xA},
       {0xF0, 0xA0, 0, 0, 0x12, 0x30, 0, 0}},
      {"8 bit", 5, 2, 8, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
       {6, 7, 8, 9, 10, 0, 0, 0, 1, 2, 3, 4, 5, 0, 0, 0}},
      {"16 bit", 3, 1, 16, {1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6, 0, 0}},
      {"24 bit, width 5", 5, 1, 24, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0}},
      {"32 bit, never padded", 1, 2, 32, {1, 2, 3, 4, 5, 6, 7, 8}, {5, 6, 7, 8, 1, 2, 3, 4}},
  };
  const Bytes ramp = ramp_palette(256), zeros(1024, 0);
  for (const auto& c : cases) {
    for (const bool with_palette : {true, false}) {
      SCOPED_TRACE(testing::Message() << c.name << (with_palette ? "" : ", no palette"));
      Bytes file;
      EXPECT_EQ(captured([&] {
                  file = bitmap_file(c.width, c.height, c.bits, with_palette ? ramp.data() : nullptr,
                                     c.pixels);
                }),
                "");
      const uint32_t offset = get_le32(file.data() + 10, nullptr);
      ASSERT_EQ(file.size(), offset + c.rows.size());
      EXPECT_EQ(get_le32(file.data() + 2, nullptr), file.size());
      EXPECT_EQ(Bytes(file.begin() + offset, file.end()), c.rows);
      const Bytes& palette = with_palette ? ramp : zeros;
      EXPECT_EQ(Bytes(file.begin() + 54, file.begin() + offset),
                Bytes(palette.begin(), palette.begin() + (offset - 54)));
    }
  }
}

// An unsupported depth and dimensions the fields cannot describe.
TEST(WriteBitmap, RefusedRecordsWriteNothing) {
  const Bytes pixels(64, 1);
  BitmapInfo two_bits, huge, empty;
  create_bitmap_header(&two_bits, 4, 4, 2);
  create_bitmap_header(&huge, 4, 4, 32);
  huge.width = huge.height = 60000;
  create_bitmap_header(&empty, 4, 4, 8);
  empty.height = 0;
  for (const BitmapInfo* info : {&two_bits, &huge, &empty}) {
    FilePtr f = scratch_stream();
    EXPECT_EQ(captured([&] { EXPECT_EQ(write_bitmap(f.get(), info, nullptr, pixels.data()), -1); }),
              "");
    EXPECT_TRUE(stream_bytes(f.get()).empty());
  }
}

TEST(BitmapPalette, CountOutsideOneTo256IsRefused) {
  const Bytes palette = ramp_palette(256);
  FilePtr f = scratch_stream();
  EXPECT_EQ(write_bitmap_palette(f.get(), palette.data(), 0), -1);
  EXPECT_EQ(write_bitmap_palette(f.get(), palette.data(), 257), -1);
  EXPECT_TRUE(stream_bytes(f.get()).empty());
  EXPECT_EQ(write_bitmap_palette(f.get(), palette.data(), 3), 0);
  EXPECT_EQ(stream_bytes(f.get()), Bytes(palette.begin(), palette.begin() + 12));

  std::rewind(f.get());
  Bytes read(1024, 0xEE);
  EXPECT_EQ(read_bitmap_palette(f.get(), read.data(), 0), -1);
  EXPECT_EQ(read_bitmap_palette(f.get(), read.data(), 257), -1);
  EXPECT_EQ(std::ftell(f.get()), 0);
  EXPECT_EQ(read_bitmap_palette(f.get(), read.data(), 3), 0);
  EXPECT_EQ(Bytes(read.begin(), read.begin() + 12), Bytes(palette.begin(), palette.begin() + 12));
  EXPECT_EQ(read_bitmap_palette(f.get(), read.data(), 1), -1);  // short
}

// /dev/full fails every write that reaches it: unbuffered, the header is the
// first to get there; buffered, the rows are.
TEST(WriteBitmap, FailedWritesAreReported) {
  const struct {
    int mode;
    std::size_t buffer;
    const char* output;
  } cases[] = {
      {_IONBF, 0, "error: write_bitmap() - can't write bitmap header\n"},
      {_IOFBF, 4096, "error: write_bitmap() - can't write bitmap data\n"},
  };
  const Bytes pixels(256 * 256, 3);
  BitmapInfo info;
  ASSERT_EQ(create_bitmap_header(&info, 256, 256, 4), 0);
  for (const auto& c : cases) {
    FilePtr f(std::fopen("/dev/full", "wb"));
    if (!f) GTEST_SKIP() << "no /dev/full";
    std::setvbuf(f.get(), nullptr, c.mode, c.buffer);
    EXPECT_EQ(captured([&] { EXPECT_EQ(write_bitmap(f.get(), &info, nullptr, pixels.data()), -1); }),
              c.output);
  }
}

}  // namespace
