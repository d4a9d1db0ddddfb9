// The constants, the bit order and plane rules, and where each row of a
// shape lies in the sectors.
#include <gtest/gtest.h>

#include <cstring>

#include "shapes/shapes.h"
#include "shapes/tests/test_disk.h"

namespace {

TEST(ShapeConstants, PalettesShareTheDiskColours) {
  for (int i = 0; i < 8; ++i) {
    const uint8_t expected[4] = {
        static_cast<uint8_t>(i & 1 ? 0xFF : 0),  // blue
        static_cast<uint8_t>(i & 4 ? 0xFF : 0),  // green
        static_cast<uint8_t>(i & 2 ? 0xFF : 0),  // red
        0};
    EXPECT_EQ(std::memcmp(shape_palette + i * 4, expected, 4), 0) << i;
    EXPECT_EQ(std::memcmp(shape_match_palette + i * 4, expected, 4), 0) << i;
  }
}

TEST(ShapeConstants, UpperPaletteEntries) {
  const uint8_t dump[32] = {0x80, 0x80, 0x80, 0, 0x80, 0, 0, 0, 0, 0, 0x80,
                            0, 0x80, 0, 0x80, 0, 0, 0x80, 0, 0, 0x80, 0x80,
                            0, 0, 0, 0x80, 0x80, 0, 0xC0, 0xC0, 0xC0, 0};
  const uint8_t black[32] = {};
  EXPECT_EQ(std::memcmp(shape_palette + 32, dump, 32), 0);
  EXPECT_EQ(std::memcmp(shape_match_palette + 32, black, 32), 0);
}

TEST(ShapeConstants, Ranges) {
  const ShapeRange lower = {0, 127, 0x20, 1, 0x10, 0x22, 0, 8};
  const ShapeRange upper = {128, 255, 0x1C, 1, 9, 0x1E, 1, 8};
  EXPECT_EQ(std::memcmp(&lower_shape_range, &lower, sizeof lower), 0);
  EXPECT_EQ(std::memcmp(&upper_shape_range, &upper, sizeof upper), 0);
}

// Eight pixels of a half row and the bytes they give in each plane and in a
// single-plane shape.
struct HalfRowCase {
  uint8_t pixels[8];
  uint8_t plane[3];
  uint8_t single;
};

const HalfRowCase half_rows[] = {
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
    {{9, 9, 9, 9, 9, 9, 9, 9}, {0xFF, 0x00, 0x00}, 0xFF},
    {{8, 9, 8, 9, 8, 9, 8, 9}, {0x33, 0x00, 0x00}, 0x33},
};

// Puts the half row into both halves of row 0 of shape 0 (three planes) and
// shape 96 (one plane), encodes both and checks their first sector bytes.
TEST(ShapeBits, EncoderBitOrderAndPlanes) {
  for (const HalfRowCase& c : half_rows) {
    auto sheet = make_sheet();
    for (int x = 0; x < 16; ++x) {
      sheet->pixels[pixel_offset(0, x, 0)] = c.pixels[x % 8];
      sheet->pixels[pixel_offset(96, x, 0)] = c.pixels[x % 8];
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

// A byte in plane 0, 1 and 2 of shape 0 and in shape 96 is drawn at the
// pixel positions of the bit order with the value of its plane.
TEST(ShapeBits, DecoderBitOrderAndPlanes) {
  const struct {
    uint8_t byte;
    uint8_t set[8];
  } cases[] = {
      {0xAA, {1, 1, 1, 1, 0, 0, 0, 0}}, {0x55, {0, 0, 0, 0, 1, 1, 1, 1}},
      {0x80, {1, 0, 0, 0, 0, 0, 0, 0}}, {0x01, {0, 0, 0, 0, 0, 0, 0, 1}},
      {0x20, {0, 1, 0, 0, 0, 0, 0, 0}}, {0x40, {0, 0, 0, 0, 1, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    for (int p = 0; p < 3; ++p) {
      auto disk = make_test_disk(0);
      uint8_t* first = test_sector(disk.get(), 0x20, 1, 0x10)->data.get();
      first[32 * p + 1] = c.byte;  // right half of row 0
      test_sector(disk.get(), 0x22, 0, 4)->data[0] = c.byte;
      auto sheet = make_sheet();
      ASSERT_EQ(draw_shapes(sheet.get(), disk.get(), &lower_shape_range), 0);
      for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(sheet->pixels[pixel_offset(0, k, 0)], 0);
        EXPECT_EQ(sheet->pixels[pixel_offset(0, 8 + k, 0)],
                  c.set[k] ? 1 << p : 0)
            << int{c.byte} << " k " << k;
        EXPECT_EQ(sheet->pixels[pixel_offset(96, k, 0)], c.set[k] ? 7 : 0);
      }
    }
  }
}

// One row of one plane and where its two bytes lie on the disk.
struct RowPlace {
  int shape, plane, row;
  int c, h, r, byte;
};

const RowPlace row_places[] = {
    {0, 0, 0, 0x20, 1, 0x10, 0},      {1, 0, 0, 0x20, 1, 0x10, 96},
    {2, 1, 15, 0x20, 1, 0x10, 254},   {2, 2, 0, 0x21, 0, 1, 0},
    {5, 0, 0, 0x21, 0, 1, 224},       {5, 1, 0, 0x21, 0, 2, 0},
    {45, 0, 15, 0x21, 0, 16, 254},    {45, 1, 0, 0x21, 1, 1, 0},
    {87, 2, 15, 0x21, 1, 16, 254},    {88, 0, 0, 0x22, 0, 1, 0},
    {95, 2, 15, 0x22, 0, 3, 254},     {96, 0, 0, 0x22, 0, 4, 0},
    {103, 0, 15, 0x22, 0, 4, 254},    {126, 0, 15, 0x22, 0, 7, 222},
    {127, 0, 0, 0x22, 0, 7, 224},     {127, 1, 0, 0x22, 0, 8, 0},
    {127, 2, 15, 0x22, 0, 8, 62},     {128, 0, 0, 0x1C, 1, 9, 0},
    {130, 1, 15, 0x1C, 1, 9, 254},    {130, 2, 0, 0x1C, 1, 10, 0},
    {131, 2, 15, 0x1C, 1, 10, 126},   {132, 0, 0, 0x1C, 1, 11, 0},
    {144, 0, 0, 0x1D, 0, 1, 0},       {159, 0, 0, 0x1D, 0, 8, 32},
    {176, 0, 0, 0x1D, 1, 1, 0},       {208, 0, 0, 0x1E, 0, 1, 0},
    {255, 2, 15, 0x1E, 1, 8, 126},
};

const ShapeRange* range_of(int shape) {
  return shape < 128 ? &lower_shape_range : &upper_shape_range;
}

// Counts the non-zero data bytes of the whole disk; the last one found is
// handed back.
int nonzero_bytes(Disk* disk, const Sector** where, int* at) {
  int count = 0;
  for (Track& track : disk->tracks) {
    for (int i = 0; track.sectors && i < track.count; ++i) {
      const Sector& sector = track.sectors[i];
      for (int b = 0; b < sector.size; ++b) {
        if (sector.data[b] == 0) continue;
        ++count;
        *where = &sector;
        *at = b;
      }
    }
  }
  return count;
}

TEST(ShapeLayout, EncoderPutsEachRowInItsPlace) {
  for (const RowPlace& place : row_places) {
    SCOPED_TRACE(testing::Message() << "shape " << place.shape << " plane "
                                    << place.plane << " row " << place.row);
    auto sheet = make_sheet();
    const int value = place.shape >= 96 && place.shape <= 126
                          ? 5
                          : 1 << place.plane;
    sheet->pixels[pixel_offset(place.shape, 0, place.row)] =
        static_cast<uint8_t>(value);
    auto disk = make_test_disk(0);
    ASSERT_EQ(change_shape_data(sheet.get(), disk.get(), range_of(place.shape)),
              0);
    const Sector* where = nullptr;
    int at = -1;
    ASSERT_EQ(nonzero_bytes(disk.get(), &where, &at), 1);
    EXPECT_EQ(sector_name(where->c, where->h, where->r),
              sector_name(place.c, place.h, place.r));
    EXPECT_EQ(at, place.byte);
    EXPECT_EQ(where->data[at], 0x80);
  }
}

TEST(ShapeLayout, DecoderTakesEachRowFromItsPlace) {
  for (const RowPlace& place : row_places) {
    SCOPED_TRACE(testing::Message() << "shape " << place.shape << " plane "
                                    << place.plane << " row " << place.row);
    auto disk = make_test_disk(0);
    test_sector(disk.get(), place.c, place.h, place.r)->data[place.byte + 1] =
        0x01;
    auto sheet = make_sheet();
    ASSERT_EQ(draw_shapes(sheet.get(), disk.get(), range_of(place.shape)), 0);
    const int expected = place.shape >= 96 && place.shape <= 126
                             ? 7
                             : 1 << place.plane;
    const int offset = pixel_offset(place.shape, 15, place.row);
    for (int i = 0; i < SHAPE_SHEET_BYTES; ++i) {
      ASSERT_EQ(sheet->pixels[i], i == offset ? expected : 0) << "byte " << i;
    }
  }
}

// The bytes after the last row of a sector hold no shape: the decoder must
// not draw them and the encoder must leave them alone.
TEST(ShapeLayout, BytesOfNoShapeAreNeitherReadNorWritten) {
  auto disk = make_test_disk(0xFF);
  for (const auto& walk : {lower_walk(), upper_walk()}) {
    for (const WalkSector& s : walk) {
      std::memset(test_sector(disk.get(), s.c, s.h, s.r)->data.get(), 0,
                  static_cast<size_t>(s.shape_bytes));
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
  auto expected = make_test_disk(0x5A);
  for (const auto& walk : {lower_walk(), upper_walk()}) {
    for (const WalkSector& s : walk) {
      std::memset(test_sector(expected.get(), s.c, s.h, s.r)->data.get(), 0xFF,
                  static_cast<size_t>(s.shape_bytes));
    }
  }
  for (int slot = 0; slot < D88_TRACK_MAX; ++slot) {
    for (int i = 0; i < disk->tracks[slot].count; ++i) {
      const Sector& got = disk->tracks[slot].sectors[i];
      const Sector& want = expected->tracks[slot].sectors[i];
      EXPECT_EQ(std::memcmp(got.data.get(), want.data.get(), 256), 0)
          << sector_name(got.c, got.h, got.r);
    }
  }
}

}  // namespace
