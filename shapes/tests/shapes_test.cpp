#include "shapes/shapes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "bitmap/bitmap.h"
#include "common/verbose.h"
#include "support/run_program.h"

namespace {

uint8_t* data(Disk* disk, int c, int h, int r) { return find_d88_sector(disk, c, h, r)->data.get(); }

// A codec call's result and what it printed, verbose or not.
Outcome run(bool verbose, const std::function<int()>& call) {
  verbose_flag = verbose;
  const Outcome got = outcome(call);
  return verbose_flag = 0, got;
}

// Pixels of one colour each set exactly the byte listed: a plane's row is two bytes, left pixel in
// the top bit of the odd bits; bit 3 never reaches the disk; upper shapes go four to two sectors.
// The traces show each row's bytes, and the pixels they set with their plane bits (7: single plane).
TEST(Shapes, EachPixelInItsPlace) {
  const struct { int shape, x, row, colour, c, h, r, at, value; } pixels[] = {
      {2, 0, 15, 2, 0x20, 1, 0x10, 254, 0x80}, {2, 0, 0, 4, 0x21, 0, 1, 0, 0x80},
      {126, 0, 15, 1, 0x22, 0, 7, 222, 0x80}, {127, 0, 15, 4, 0x22, 0, 8, 62, 0x80},
      {128, 0, 0, 1, 0x1C, 1, 9, 0, 0x80}, {131, 0, 15, 4, 0x1C, 1, 10, 126, 0x80},
      {132, 0, 0, 1, 0x1C, 1, 11, 0, 0x80}, {255, 0, 15, 4, 0x1E, 1, 8, 126, 0x80},
      {96, 3, 0, 6, 0x22, 0, 4, 0, 0x02}, {0, 10, 0, 1, 0x20, 1, 0x10, 1, 0x08}, {0, 4, 0, 4, 0x20, 1, 0x10, 64, 0x40},
      {0, 13, 0, 2, 0x20, 1, 0x10, 33, 0x10}, {0, 6, 1, 1, 0x20, 1, 0x10, 2, 0x04}, {0, 15, 2, 1, 0x20, 1, 0x10, 5, 0x01},
      {0, 1, 3, 1, 0x20, 1, 0x10, 6, 0x20}, {1, 0, 0, 8, 0x20, 1, 0x10, 96, 0}};
  auto sheet = std::make_unique<ShapeSheet>();
  for (const auto& p : pixels) sheet->pixels[(p.shape / 16 * 16 + p.row) * 256 + p.shape % 16 * 16 + p.x] = uint8_t(p.colour);
  std::unique_ptr<Disk> disk(create_d88_disk("", 0));  // records 1 to 16 of 256 bytes, cleared here
  for (Track& t : disk->tracks) {
    for (int i = 0; i < t.count; ++i) std::memset(t.sectors[i].data.get(), 0, 256);
  }
  // Quiet, as the verbose flag is off until someone sets it.
  ASSERT_EQ(outcome([&] { return change_shape_data(sheet.get(), disk.get(), &upper_shape_range); }), Outcome(0, ""));
  const std::string head = "20/01/10 - 22/00/08\n[20/01/10]\n00000000 : ";
  const std::string coded = run(true, [&] { return change_shape_data(sheet.get(), disk.get(), &lower_shape_range); }).second;
  EXPECT_EQ(coded.rfind(head + "00 08\n00000100 : 04 00\n00000200 : 00 01\n00000300 : 20 00\n", 0), 0u);
  int set = 0;
  for (const Track& t : disk->tracks) {
    for (int i = 0; i < t.count * 256; ++i) set += t.sectors[i / 256].data[i % 256] != 0;
  }
  EXPECT_EQ(set, 15);
  for (const auto& p : pixels) EXPECT_EQ(data(disk.get(), p.c, p.h, p.r)[p.at], p.value) << p.shape << " " << p.x;
  const std::string drawn = run(true, [&] { return draw_shapes(sheet.get(), disk.get(), &lower_shape_range); }).second;
  EXPECT_EQ(drawn.rfind(head + "          1     \n00000100 :       1         \n", 0), 0u);
  EXPECT_NE(drawn.find("\n[21/00/01]\n00000020 : 4               \n"), std::string::npos);
  EXPECT_NE(drawn.find("\n00006000 :    7            \n"), std::string::npos);
  const auto upper = [&] { return draw_shapes(sheet.get(), disk.get(), &upper_shape_range); };
  EXPECT_EQ(run(true, upper).second.rfind("1C/01/09 - 1E/01/08\n[1C/01/09]\n", 0), 0u);
}

// The match palette's entries 0 to 7 are the corners of the colour cube: black goes to 0 (not to
// the black entries 8 to 15), a colour a step past the middle between two corners to the far one.
TEST(Shapes, MatchPaletteCorners) {
  EXPECT_EQ(find_nearest_color(0, 0, 0, shape_match_palette, 16), 0);
  for (int v = 0; v < 8; ++v) {
    for (int bit = 1; bit < 8; bit <<= 1) {  // blue, red, green: 128 is nearer to 255 than to 0
      const auto level = [&](int b) { return b == bit ? 128 : v & b ? 255 : 0; };
      EXPECT_EQ(find_nearest_color(level(2), level(4), level(1), shape_match_palette, 16), v | bit) << v << bit;
    }
  }
}

// Every way a sector of the walk can be unusable: the check fails silently, the decoder and the
// encoder with the error line, the encoder having filled the sectors before it and none after. A
// run ends at its end sector, so one ending before the bad sector succeeds; one with no shapes at once.
TEST(Shapes, UnusableSectorFails) {
  const std::function<void(Sector&)> faults[] = {[](Sector& s) { s.r = 0; }, [](Sector& s) { s.n = 2; },
      [](Sector& s) { s.size = 255, s.data = std::make_unique<uint8_t[]>(255); }, [](Sector& s) { s.data.reset(); }};
  const Outcome error(-1, "error: read d88 image 21/00/01\n");
  for (const auto& fault : faults) {
    std::unique_ptr<Disk> disk(create_d88_disk("", 0));  // every byte 0xE5
    fault(*find_d88_sector(disk.get(), 0x21, 0, 1));
    const auto check = [&] { return shapes::check_shape_sectors(disk.get(), &lower_shape_range, nullptr, nullptr, nullptr); };
    EXPECT_EQ(run(true, check), Outcome(-1, ""));
    auto sheet = std::make_unique<ShapeSheet>();
    EXPECT_EQ(outcome([&] { return draw_shapes(sheet.get(), disk.get(), &lower_shape_range); }), error);
    std::memset(sheet->pixels, 7, SHAPE_SHEET_BYTES);
    EXPECT_EQ(outcome([&] { return change_shape_data(sheet.get(), disk.get(), &lower_shape_range); }), error);
    EXPECT_EQ(Bytes({data(disk.get(), 0x20, 1, 0x10)[0], data(disk.get(), 0x21, 0, 2)[0]}), Bytes({0xFF, 0xE5}));
    const ShapeRange one_sector = {0, 127, 0x20, 1, 0x10, 0x20, 1, 0x10}, none = {5, 4, 0, 9, 9, 0, 9, 9};
    EXPECT_EQ(draw_shapes(sheet.get(), disk.get(), &one_sector) + draw_shapes(sheet.get(), disk.get(), &none), 0);
  }
}

}  // namespace
