// The palettes, the bit order and plane rules, and where each row of a shape
// lies in the sectors. The encoder is checked byte by byte; the decoder reads
// the same places, as the round trip shows.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "shapes/shapes.h"
#include "shapes/tests/test_disk.h"

namespace {

// Only the disk colours can be matched: entries 8 to 15 of the matching
// palette are black and lose every tie to entry 0.
TEST(ShapeConstants, MatchPaletteHoldsOnlyTheDiskColours) {
  EXPECT_EQ(std::memcmp(shape_palette, shape_match_palette, 32), 0);
  const uint8_t black[32] = {};
  EXPECT_EQ(std::memcmp(shape_match_palette + 32, black, 32), 0);
}

// Puts the half row into both halves of row 0 of shape 0 (three planes) and
// shape 96 (one plane), encodes both and checks their first sector bytes.
TEST(ShapeBits, EncoderBitOrderAndPlanes) {
  const struct {
    uint8_t pixels[8];
    uint8_t plane[3];
    uint8_t single;
  } cases[] = {
      {{7, 7, 7, 7, 7, 7, 7, 7}, {0xFF, 0xFF, 0xFF}, 0xFF},
      {{6, 6, 6, 6, 6, 6, 6, 6}, {0x00, 0xFF, 0xFF}, 0xFF},
      {{1, 1, 1, 1, 0, 0, 0, 0}, {0xAA, 0x00, 0x00}, 0xAA},
      {{0, 0, 0, 0, 1, 1, 1, 1}, {0x55, 0x00, 0x00}, 0x55},
      {{1, 0, 0, 0, 0, 0, 0, 0}, {0x80, 0x00, 0x00}, 0x80},
      {{0, 0, 0, 0, 0, 0, 0, 1}, {0x01, 0x00, 0x00}, 0x01},
      {{0, 2, 0, 0, 0, 0, 0, 0}, {0x00, 0x20, 0x00}, 0x20},
      {{0, 0, 0, 0, 4, 0, 0, 0}, {0x00, 0x00, 0x40}, 0x40},
      {{3, 5, 0, 0, 0, 0, 6, 0}, {0xA0, 0x84, 0x24}, 0xA4},
      {{8, 8, 8, 8, 8, 8, 8, 8}, {0x00, 0x00, 0x00}, 0x00},
      {{8, 9, 8, 9, 8, 9, 8, 9}, {0x33, 0x00, 0x00}, 0x33},
  };
  for (const auto& c : cases) {
    auto sheet = make_sheet();
    for (int x = 0; x < 16; ++x) {
      sheet->pixels[pixel_offset(0, x, 0)] = sheet->pixels[pixel_offset(96, x, 0)] = c.pixels[x % 8];
    }
    auto disk = make_test_disk(0x5A);
    ASSERT_EQ(change_shape_data(sheet.get(), disk.get(), &lower_shape_range), 0);
    const uint8_t* first = test_sector(disk.get(), 0x20, 1, 0x10)->data.get();
    for (int p = 0; p < 3; ++p) {
      EXPECT_EQ(first[32 * p], c.plane[p]) << "plane " << p;
      EXPECT_EQ(first[32 * p + 1], c.plane[p]) << "plane " << p;
    }
    const uint8_t* single = test_sector(disk.get(), 0x22, 0, 4)->data.get();
    EXPECT_EQ(single[0], c.single);
    EXPECT_EQ(single[1], c.single);
  }
}

// A single pixel of a shape's row, set in one plane, is encoded as one 0x80
// byte, and this is where it lies.
TEST(ShapeLayout, EncoderPutsEachRowInItsPlace) {
  const struct {
    int shape, plane, row;
    int c, h, r, byte;
  } places[] = {
      {0, 0, 0, 0x20, 1, 0x10, 0},   {1, 0, 0, 0x20, 1, 0x10, 96},  {2, 1, 15, 0x20, 1, 0x10, 254},
      {2, 2, 0, 0x21, 0, 1, 0},      {5, 0, 0, 0x21, 0, 1, 224},    {5, 1, 0, 0x21, 0, 2, 0},
      {45, 0, 15, 0x21, 0, 16, 254}, {45, 1, 0, 0x21, 1, 1, 0},     {87, 2, 15, 0x21, 1, 16, 254},
      {88, 0, 0, 0x22, 0, 1, 0},     {95, 2, 15, 0x22, 0, 3, 254},  {96, 0, 0, 0x22, 0, 4, 0},
      {103, 0, 15, 0x22, 0, 4, 254}, {126, 0, 15, 0x22, 0, 7, 222}, {127, 0, 0, 0x22, 0, 7, 224},
      {127, 1, 0, 0x22, 0, 8, 0},    {127, 2, 15, 0x22, 0, 8, 62},  {128, 0, 0, 0x1C, 1, 9, 0},
      {130, 1, 15, 0x1C, 1, 9, 254}, {130, 2, 0, 0x1C, 1, 10, 0},   {131, 2, 15, 0x1C, 1, 10, 126},
      {132, 0, 0, 0x1C, 1, 11, 0},   {144, 0, 0, 0x1D, 0, 1, 0},    {159, 0, 0, 0x1D, 0, 8, 32},
      {176, 0, 0, 0x1D, 1, 1, 0},    {208, 0, 0, 0x1E, 0, 1, 0},    {255, 2, 15, 0x1E, 1, 8, 126},
  };
  for (const auto& p : places) {
    SCOPED_TRACE(testing::Message() << "shape " << p.shape << " plane " << p.plane << " row " << p.row);
    auto sheet = make_sheet();
    const bool single = p.shape >= 96 && p.shape <= 126;
    sheet->pixels[pixel_offset(p.shape, 0, p.row)] = static_cast<uint8_t>(single ? 5 : 1 << p.plane);
    auto disk = make_test_disk(0);
    ASSERT_EQ(change_shape_data(sheet.get(), disk.get(),
                                p.shape < 128 ? &lower_shape_range : &upper_shape_range),
              0);
    std::string found;
    for (Track& track : disk->tracks) {
      for (int i = 0; track.sectors && i < track.count; ++i) {
        const Sector& s = track.sectors[i];
        for (int b = 0; b < s.size; ++b) {
          if (s.data[b]) found += sector_name(s.c, s.h, s.r) + " " + std::to_string(b) + "=" +
                                  std::to_string(s.data[b]) + ";";
        }
      }
    }
    EXPECT_EQ(found, sector_name(p.c, p.h, p.r) + " " + std::to_string(p.byte) + "=128;");
  }
}

// The bytes after the last row of a sector hold no shape: the decoder must
// not draw them and the encoder must leave them alone.
TEST(ShapeLayout, BytesOfNoShapeAreNeitherReadNorWritten) {
  auto disk = make_test_disk(0xFF);
  auto expected = make_test_disk(0x5A);
  for (const ShapeRange* range : {&lower_shape_range, &upper_shape_range}) {
    for (const WalkSector& s : walk_of(range)) {
      const auto n = static_cast<std::size_t>(s.shape_bytes);
      std::memset(test_sector(disk.get(), s.c, s.h, s.r)->data.get(), 0, n);
      std::memset(test_sector(expected.get(), s.c, s.h, s.r)->data.get(), 0xFF, n);
    }
  }
  auto sheet = make_sheet();
  ASSERT_EQ(draw_shapes(sheet.get(), disk.get(), &lower_shape_range), 0);
  ASSERT_EQ(draw_shapes(sheet.get(), disk.get(), &upper_shape_range), 0);
  const ShapeSheet clear{};
  EXPECT_EQ(std::memcmp(sheet->pixels, clear.pixels, SHAPE_SHEET_BYTES), 0);

  std::memset(sheet->pixels, 7, SHAPE_SHEET_BYTES);
  disk = make_test_disk(0x5A);
  ASSERT_EQ(change_shape_data(sheet.get(), disk.get(), &lower_shape_range), 0);
  ASSERT_EQ(change_shape_data(sheet.get(), disk.get(), &upper_shape_range), 0);
  for (int slot = 0; slot < D88_TRACK_MAX; ++slot) {
    for (int i = 0; i < disk->tracks[slot].count; ++i) {
      const Sector& got = disk->tracks[slot].sectors[i];
      EXPECT_EQ(std::memcmp(got.data.get(), expected->tracks[slot].sectors[i].data.get(), 256), 0)
          << sector_name(got.c, got.h, got.r);
    }
  }
}

}  // namespace
