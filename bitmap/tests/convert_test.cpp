#include <string>

#include "bitmap/tests/test_util.h"

namespace {

Bytes entry(uint8_t blue, uint8_t green, uint8_t red) { return {blue, green, red, 0}; }

Bytes join(std::initializer_list<Bytes> entries) {
  Bytes out;
  for (const auto& e : entries) out.insert(out.end(), e.begin(), e.end());
  return out;
}

// Eight colours at the corners of the cube (bit 0 blue, bit 1 red, bit 2
// green), then eight more blacks, reachable only as exact duplicates.
Bytes corner_palette() {
  Bytes p;
  for (int i = 0; i < 16; ++i) {
    const auto on = [i](int bit) { return static_cast<uint8_t>(i < 8 && (i & bit) ? 255 : 0); };
    p.insert(p.end(), {on(1), on(4), on(2), 0});
  }
  return p;
}

TEST(FindNearestColor, ExactFirstThenNearestLowestIndexWins) {
  const Bytes four = join({entry(0, 0, 0), entry(10, 10, 10), entry(0, 0, 0), entry(9, 9, 9)});
  // Red 40 away (1600) against green 39 away (1521): no channel weighs more.
  const Bytes unweighted = join({entry(0, 0, 40), entry(0, 39, 0)});
  const Bytes grey = entry(200, 200, 200);  // entries 3 (red 100) and 7 (blue 100) tie
  const Bytes tie = join({grey, grey, grey, entry(0, 0, 100), grey, grey, grey, entry(100, 0, 0)});
  const Bytes white = entry(255, 255, 255);
  const struct {
    int red, green, blue;
    const Bytes* palette;
    int count, index;
  } cases[] = {
      {0, 0, 0, &four, 4, 0},       {10, 10, 10, &four, 4, 1},  {9, 9, 9, &four, 4, 3},
      {20, 0, 0, &four, 3, 1},      {255, 255, 255, &four, 0, 0},
      {0, 0, 0, &unweighted, 2, 1}, {50, 0, 50, &tie, 8, 3},
      {0, 0, 0, &white, 1, 0},  // the largest possible distance still finds it
  };
  for (const auto& c : cases) {
    EXPECT_EQ(find_nearest_color(c.red, c.green, c.blue, c.palette->data(), c.count), c.index)
        << c.red << "," << c.green << "," << c.blue;
  }
}

const uint8_t* or_null(const Bytes& b) { return b.empty() ? nullptr : b.data(); }

TEST(ConvertBitCount, ConversionTable) {
  const Bytes corners = corner_palette();
  Bytes duplicated = corners;  // entry 5 repeats entry 2 (red)
  std::copy(corners.begin() + 8, corners.begin() + 12, duplicated.begin() + 20);
  Bytes eight_bit = join({entry(1, 2, 3), entry(4, 5, 6), entry(255, 128, 8)});
  eight_bit.resize(1024, 0);

  const struct {
    const char* name;
    int32_t width, source_bits;
    Bytes source_palette;  // empty: none
    Bytes source;
    int32_t target_bits;
    Bytes target_palette;  // empty: none
    Bytes expected;
  } cases[] = {
      {"4 to 4, same palette keeps indexes", 8, 4, corners, {0, 1, 2, 3, 4, 5, 6, 7}, 4, corners,
       {0, 1, 2, 3, 4, 5, 6, 7}},
      {"4 to 4, duplicates go to the lowest index", 4, 4, duplicated, {2, 5, 9, 15}, 4, duplicated,
       {2, 2, 0, 0}},
      {"1 without palette, black and white", 4, 1, {}, {0, 1, 1, 0}, 4, corners, {0, 7, 7, 0}},
      {"8 to 24", 3, 8, eight_bit, {2, 0, 1}, 24, {}, {255, 128, 8, 1, 2, 3, 4, 5, 6}},
      {"8 to 32", 2, 8, eight_bit, {1, 2}, 32, {}, {4, 5, 6, 0, 255, 128, 8, 0}},
      // red 8/8 = 1, green 128/8 = 16, blue 255/8 = 31: 0x061F
      {"8 to 16", 1, 8, eight_bit, {2}, 16, {}, {0x1F, 0x06}},
      {"24 to 16", 1, 24, {}, {0x10, 0x20, 0x30}, 16, {}, {0x82, 0x18}},
      {"32 to 16 skips the fourth byte", 1, 32, {}, {0x10, 0x20, 0x30, 0xFF}, 16, {}, {0x82, 0x18}},
      {"16 to 24 widens", 3, 16, {}, {0xFF, 0x7F, 0x1F, 0x00, 0x21, 0x04}, 24, {},
       {255, 255, 255, 255, 0, 0, 8, 8, 8}},
      {"16 to 32", 1, 16, {}, {0x1F, 0x00}, 32, {}, {255, 0, 0, 0}},
      {"32 to 24 drops every fourth byte", 2, 32, {}, {1, 2, 3, 4, 5, 6, 7, 8}, 24, {},
       {1, 2, 3, 5, 6, 7}},
      {"24 to 32 inserts a zero", 2, 24, {}, {1, 2, 3, 5, 6, 7}, 32, {}, {1, 2, 3, 0, 5, 6, 7, 0}},
      {"32 to 32 copies", 1, 32, {}, {1, 2, 3, 4}, 32, {}, {1, 2, 3, 4}},
      {"16 to 16 keeps bit 15", 1, 16, {}, {0x34, 0x92}, 16, {}, {0x34, 0x92}},
      {"24 to 4, per pixel", 3, 24, {}, {0, 0, 250, 240, 250, 10, 1, 1, 1}, 4, corners, {2, 5, 0}},
      {"32 to 4", 1, 32, {}, {255, 255, 255, 0}, 4, corners, {7}},
      {"16 to 4", 2, 16, {}, {0xFF, 0x7F, 0x00, 0x7C}, 4, corners, {7, 2}},
      {"24 to 1 without palette", 2, 24, {}, {200, 200, 200, 20, 20, 20}, 1, {}, {1, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    uint8_t* target = nullptr;
    EXPECT_EQ(captured([&] {
                EXPECT_EQ(convert_bit_count(c.width, 1, c.source_bits, or_null(c.source_palette),
                                            c.source.data(), c.target_bits,
                                            or_null(c.target_palette), &target),
                          0);
              }),
              "");
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(Bytes(target, target + c.expected.size()), c.expected);
    free_bitmap_buffer(target);
  }
}

TEST(ConvertBitCount, RefusalsLeaveTheTargetPlaceEmpty) {
  const Bytes palette = corner_palette();
  const uint8_t* p = palette.data();
  const Bytes pixels(16, 1);
  const struct {
    int32_t width, source_bits;
    const uint8_t* source_palette;
    int32_t target_bits;
    const uint8_t* target_palette;
  } cases[] = {
      {2, 2, p, 4, p},        {2, 15, nullptr, 4, p},  {2, 24, nullptr, 2, p},
      {2, 24, nullptr, 15, nullptr}, {2, 24, nullptr, 4, nullptr}, {2, 8, nullptr, 24, nullptr},
      {2, 4, nullptr, 4, p},  {-1, 24, nullptr, 24, nullptr},
  };
  for (const auto& c : cases) {
    uint8_t* target = nullptr;
    EXPECT_EQ(convert_bit_count(c.width, 2, c.source_bits, c.source_palette, pixels.data(),
                                c.target_bits, c.target_palette, &target),
              -1)
        << c.source_bits << " -> " << c.target_bits;
    EXPECT_EQ(target, nullptr);
  }
  uint8_t* target = nullptr;
  EXPECT_EQ(convert_bit_count(2, 2, 24, nullptr, nullptr, 24, nullptr, &target), -1);
  EXPECT_EQ(convert_bit_count(2, 2, 24, nullptr, pixels.data(), 24, nullptr, nullptr), -1);
  EXPECT_EQ(target, nullptr);
  // An empty picture is no refusal.
  EXPECT_EQ(convert_bit_count(0, 5, 24, nullptr, pixels.data(), 32, nullptr, &target), 0);
  EXPECT_NE(target, nullptr);
  free_bitmap_buffer(target);
}

// Only indexes below the colour count come from the reader; larger ones are
// taken as the writer would store them and never reach past the palette.
TEST(ConvertBitCount, OutOfRangeIndexesStayInsideThePalette) {
  const Bytes palette = corner_palette();
  const Bytes black_white = join({entry(0, 0, 0), entry(255, 255, 255)});
  const struct {
    int32_t bits;
    const Bytes* source_palette;
    Bytes source, expected_4bit;
  } cases[] = {
      {4, &palette, {0x12, 0xF7, 0xFF}, {2, 7, 0}},
      {1, &black_white, {0, 5, 255}, {0, 7, 7}},
  };
  for (const auto& c : cases) {
    for (const int32_t target_bits : {4, 24}) {
      uint8_t* target = nullptr;
      ASSERT_EQ(convert_bit_count(3, 1, c.bits, c.source_palette->data(), c.source.data(),
                                  target_bits, palette.data(), &target),
                0);
      if (target_bits == 4) {
        EXPECT_EQ(Bytes(target, target + 3), c.expected_4bit) << c.bits;
      }
      free_bitmap_buffer(target);
    }
  }
}

TEST(ConvertBitCount, CallerBufferOnlyItsSizeIsTouched) {
  // A 4 x 4 array converted as 4 x 2: the top half, and not a byte more.
  Bytes source(4 * 4 * 3, 0);
  std::fill(source.begin(), source.begin() + 24, 255);
  const Bytes palette = corner_palette();
  Bytes target(12, 0xAA);
  uint8_t* place = target.data();
  ASSERT_EQ(convert_bit_count(4, 2, 24, nullptr, source.data(), 4, palette.data(), &place), 0);
  EXPECT_EQ(place, target.data());
  EXPECT_EQ(target, (Bytes{7, 7, 7, 7, 7, 7, 7, 7, 0xAA, 0xAA, 0xAA, 0xAA}));
}

}  // namespace
