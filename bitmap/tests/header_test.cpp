#include <string>

#include "bitmap/tests/test_util.h"

namespace {

// Every header created is one that the validation passes silently.
TEST(CreateBitmapHeader, OffsetsAndSizesByDepth) {
  const struct {
    uint32_t width, height;
    uint16_t bits;
    int result;
    uint32_t data_offset, image_size;
  } cases[] = {
      {256, 256, 4, 0, 118, 0x8000}, {1, 1, 1, 0, 62, 4},  {9, 2, 1, 0, 62, 8},
      {3, 3, 8, 0, 1078, 12},        {3, 1, 16, 0, 54, 8}, {5, 2, 24, 0, 54, 32},
      {3, 2, 32, 0, 54, 24},
      // The largest 8-bit file whose length still fits 32 bits: 2^32 - 2.
      {4, 1073741554u, 8, 0, 1078, 0xFFFFFFFEu - 1078},
      {1, 1, 2, -1, 0, 0}, {1, 1, 15, -1, 0, 0}, {1, 1, 33, -1, 0, 0},
      // Empty pictures and dimensions the 32-bit fields cannot describe.
      {0, 5, 8, -1, 0, 0}, {5, 0, 8, -1, 0, 0}, {1, 0x80000000u, 8, -1, 0, 0},
      {4, 1073741555u, 8, -1, 0, 0}, {60000, 60000, 32, -1, 0, 0},
      {70000, 70000, 1, -1, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + "@" +
                 std::to_string(c.bits));
    BitmapInfo info;
    EXPECT_EQ(captured([&] {
                EXPECT_EQ(create_bitmap_header(&info, c.width, c.height, c.bits), c.result);
                if (c.result == 0) {
                  EXPECT_EQ(check_bitmap_header(&info), 0);
                }
              }),
              "");
    if (c.result != 0) continue;
    EXPECT_EQ(info.data_offset, c.data_offset);
    EXPECT_EQ(info.image_size, c.image_size);
    EXPECT_EQ(info.file_size, c.data_offset + c.image_size);
  }
}

TEST(BitmapRowSize, PaddedToFourBytes) {
  const struct {
    int32_t width, bits, size;
  } cases[] = {
      {3, 4, 4}, {9, 1, 4},  {33, 1, 8},  {1, 24, 4}, {5, 24, 16}, {3, 32, 12},
      {9, 4, 8}, {5, 8, 8},  {3, 16, 8},  {0, 8, 0},  {1, 2, -1},  {1, 0, -1},
      {-1, 8, -1}, {0x7FFFFFFF, 32, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(bitmap_row_size(c.width, c.bits), c.size) << c.width << " @ " << c.bits;
  }
}

const std::string kNotV3 =
    "error: check_bitmap_header() - not supported header type - support only Windows V3\n";
const std::string kCompression = "error: check_bitmap_header() - not support compression\n";
const std::string kBitCount = "error: check_bitmap_header() - unknown bit count\n";
const std::string kCorrected =
    "warning: check_bitmap_header() - data length is 0 ... corrected: 0x8000\n";

// Each case changes a valid 256 x 256, 4-bit header.
TEST(CheckBitmapHeader, StepsMessagesAndWarnings) {
  const struct {
    const char* name;
    void (*change)(BitmapInfo&);
    int result;
    std::string output;
  } cases[] = {
      {"valid", [](BitmapInfo&) {}, 0, ""},
      {"image size 0", [](BitmapInfo& i) { i.image_size = 0; }, 1, kCorrected},
      {"image and file size 0", [](BitmapInfo& i) { i.image_size = 0; i.file_size = 0; }, 2,
       kCorrected + "warning: check_bitmap_header() - file length is 0\n"},
      {"image size corrected, then a failure",
       [](BitmapInfo& i) { i.image_size = 0; i.file_size = 0x100; }, -1,
       kCorrected + "error: check_bitmap_header() - file length 0x100 < 0x8076\n"},
      {"file longer", [](BitmapInfo& i) { i.file_size = 0x9000; }, 1,
       "warning: check_bitmap_header() - file length 0x9000 > 0x8076\n"},
      {"V5 header, checked before all else",
       [](BitmapInfo& i) { i.header_size = 124; i.planes = 2; i.bit_count = 2; }, -1, kNotV3},
      {"core header", [](BitmapInfo& i) { i.header_size = 12; }, -1, kNotV3},
      {"two planes, silent, before compression",
       [](BitmapInfo& i) { i.planes = 2; i.compression = 1; }, -1, ""},
      {"run-length", [](BitmapInfo& i) { i.compression = 2; }, -1, kCompression},
      {"bit count 0", [](BitmapInfo& i) { i.bit_count = 0; }, -1, kBitCount},
      {"bit count 15", [](BitmapInfo& i) { i.bit_count = 15; }, -1, kBitCount},
      {"six-colour palette", [](BitmapInfo& i) { i.data_offset = 0x4E; }, -1,
       "error: check_bitmap_header() - offset size 0x4E != 0x76\n"},
      {"offset checked before image size",
       [](BitmapInfo& i) { i.data_offset = 54; i.image_size = 0; }, -1,
       "error: check_bitmap_header() - offset size 0x36 != 0x76\n"},
      {"data length differs", [](BitmapInfo& i) { i.image_size = 0x7FFF; }, -1,
       "error: check_bitmap_header() - data length 0x7FFF != 0x8000\n"},
      {"24-bit width 5 height 2, one byte short",
       [](BitmapInfo& i) {
         i.bit_count = 24; i.width = 5; i.height = 2; i.data_offset = 54;
         i.image_size = 0x20; i.file_size = 0x55;
       },
       -1, "error: check_bitmap_header() - file length 0x55 < 0x56\n"},
      {"top-down height", [](BitmapInfo& i) { i.height = 0xFFFFFF00u; }, -1,
       "error: check_bitmap_header() - illegal image size 256 x 4294967040\n"},
      {"zero width", [](BitmapInfo& i) { i.width = 0; }, -1,
       "error: check_bitmap_header() - illegal image size 0 x 256\n"},
      {"data length wraps",
       [](BitmapInfo& i) { i.bit_count = 32; i.width = i.height = 60000; i.data_offset = 54; },
       -1, "error: check_bitmap_header() - illegal image size 60000 x 60000\n"},
      {"file length wraps",
       [](BitmapInfo& i) { i.bit_count = 8; i.width = 4; i.height = 1073741555; i.data_offset = 1078; },
       -1, "error: check_bitmap_header() - illegal image size 4 x 1073741555\n"},
      {"pixel array wraps though the rows fit",
       [](BitmapInfo& i) { i.bit_count = 1; i.width = i.height = 70000; i.data_offset = 62; },
       -1, "error: check_bitmap_header() - illegal image size 70000 x 70000\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BitmapInfo info;
    ASSERT_EQ(create_bitmap_header(&info, 256, 256, 4), 0);
    c.change(info);
    const uint32_t file_size = info.file_size;
    int result = 0;
    EXPECT_EQ(captured([&] { result = check_bitmap_header(&info); }), c.output);
    EXPECT_EQ(result, c.result);
    // A zero image size is corrected even when a later step fails; nothing
    // else is rewritten.
    if (c.output.rfind(kCorrected, 0) == 0) {
      EXPECT_EQ(info.image_size, 0x8000u);
    }
    EXPECT_EQ(info.file_size, file_size);
  }
}

}  // namespace
