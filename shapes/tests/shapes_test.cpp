#include "shapes/shapes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "bitmap/bitmap.h"
#include "common/verbose.h"
#include "support/run_program.h"

namespace {

// Cylinders 0 to 39, heads 0 and 1, records 1 to 16 of 256 bytes of fill.
std::unique_ptr<Disk> make_disk(uint8_t fill) {
  std::unique_ptr<Disk> disk(create_d88_disk("", 0));
  for (Track& track : disk->tracks) {
    for (int i = 0; i < track.count; ++i) std::memset(track.sectors[i].data.get(), fill, 256);
  }
  return disk;
}

uint8_t* data(Disk* disk, int c, int h, int r) { return find_d88_sector(disk, c, h, r)->data.get(); }
int px(int shape, int x, int y) { return ((shape / 16) * 16 + y) * 256 + (shape % 16) * 16 + x; }
bool single(int shape) { return shape >= 96 && shape <= 126; }

// A codec call's result and what it printed, verbose or not.
std::pair<int, std::string> run(bool verbose, const std::function<int()>& call) {
  verbose_flag = verbose;
  int result = 0;
  const std::string out = captured([&] { result = call(); });
  verbose_flag = 0;
  return {result, out};
}

// One pixel of a colour in a shape sets exactly the listed bytes: a plane's
// row is two bytes, left pixel in the top bit of the odd bits; bit 3 never
// reaches the disk; upper shapes go four to two sectors.
// The match palette's entries 0 to 7 are the corners of the colour cube:
// black goes to 0 (not to the black entries 8 to 15), and a colour a step
// past the middle between two corners to the far one.
TEST(Shapes, MatchPaletteCorners) {
  EXPECT_EQ(find_nearest_color(0, 0, 0, shape_match_palette, 16), 0);
  for (int v = 0; v < 8; ++v) {
    for (int bit = 1; bit < 8; bit <<= 1) {  // blue, red, green
      if (v & bit) continue;
      int c[8] = {};  // a channel's value by its bit
      for (int b = 1; b < 8; b <<= 1) c[b] = v & b ? 255 : 0;
      c[bit] = 128;
      EXPECT_EQ(find_nearest_color(c[2], c[4], c[1], shape_match_palette, 16), v | bit) << v << " " << bit;
    }
  }
}

TEST(Shapes, EachPixelInItsPlace) {
  struct Byte { int c, h, r, at, value; };
  const struct { int shape, x, row, colour; std::vector<Byte> bytes; } cases[] = {
      {2, 0, 15, 2, {{0x20, 1, 0x10, 254, 0x80}}}, {2, 0, 0, 4, {{0x21, 0, 1, 0, 0x80}}},
      {126, 0, 15, 1, {{0x22, 0, 7, 222, 0x80}}}, {127, 0, 15, 4, {{0x22, 0, 8, 62, 0x80}}},
      {128, 0, 0, 1, {{0x1C, 1, 9, 0, 0x80}}}, {131, 0, 15, 4, {{0x1C, 1, 10, 126, 0x80}}},
      {132, 0, 0, 1, {{0x1C, 1, 11, 0, 0x80}}}, {255, 0, 15, 4, {{0x1E, 1, 8, 126, 0x80}}},
      {0, 1, 0, 11, {{0x20, 1, 0x10, 0, 0x20}, {0x20, 1, 0x10, 32, 0x20}}}, {0, 10, 0, 1, {{0x20, 1, 0x10, 1, 0x08}}},
      {96, 3, 0, 6, {{0x22, 0, 4, 0, 0x02}}}, {0, 4, 0, 4, {{0x20, 1, 0x10, 64, 0x40}}},
      {0, 13, 0, 2, {{0x20, 1, 0x10, 33, 0x10}}}, {0, 6, 1, 1, {{0x20, 1, 0x10, 2, 0x04}}},
      {0, 15, 0, 1, {{0x20, 1, 0x10, 1, 0x01}}}};
  for (const auto& c : cases) {
    auto sheet = std::make_unique<ShapeSheet>();
    sheet->pixels[px(c.shape, c.x, c.row)] = static_cast<uint8_t>(c.colour);
    auto disk = make_disk(0);
    const ShapeRange* range = c.shape < 128 ? &lower_shape_range : &upper_shape_range;
    // Quiet, as the verbose flag is off until someone sets it.
    ASSERT_EQ(outcome([&] { return change_shape_data(sheet.get(), disk.get(), range); }), Outcome(0, ""));
    int set = 0;
    for (const Track& t : disk->tracks) {
      for (int i = 0; i < t.count * 256; ++i) set += t.sectors[i / 256].data[i % 256] != 0;
    }
    EXPECT_EQ(set, static_cast<int>(c.bytes.size())) << c.shape << " " << c.x;
    for (const Byte& b : c.bytes) EXPECT_EQ(data(disk.get(), b.c, b.h, b.r)[b.at], b.value) << c.shape << " " << c.x;
  }
}

// Colours 0 to 7 survive, but a single-plane shape keeps only set (7) or
// clear; decoding ORs into what the sheet held (bit 3 here). A run ends at
// its end sector, or at once when it has no shapes.
TEST(Shapes, RoundTripAndRunEnds) {
  std::mt19937 random(12345);
  auto sheet = std::make_unique<ShapeSheet>(), back = std::make_unique<ShapeSheet>();
  for (uint8_t& pixel : sheet->pixels) pixel = static_cast<uint8_t>(random() % 8);
  std::memset(back->pixels, 8, SHAPE_SHEET_BYTES);
  auto disk = make_disk(0xE5);
  for (const ShapeRange* range : {&lower_shape_range, &upper_shape_range}) {
    EXPECT_EQ(run(false, [&] { return change_shape_data(sheet.get(), disk.get(), range); }), std::pair(0, std::string()));
    EXPECT_EQ(run(false, [&] { return draw_shapes(back.get(), disk.get(), range); }), std::pair(0, std::string()));
  }
  const auto expect = [&](int (*pixel)(int shape, int written)) {
    for (int i = 0; i < SHAPE_SHEET_BYTES; ++i) {
      const int shape = (i / 256 / 16) * 16 + (i % 256) / 16;
      ASSERT_EQ(back->pixels[i], pixel(shape, sheet->pixels[i])) << "shape " << shape;
    }
  };
  expect([](int shape, int v) { return (single(shape) && v ? 7 : v) | 8; });
  const ShapeRange one_sector = {0, 127, 0x20, 1, 0x10, 0x20, 1, 0x10}, none = {5, 4, 0, 9, 9, 0, 9, 9};
  std::memset(back->pixels, 0, SHAPE_SHEET_BYTES);
  EXPECT_EQ(draw_shapes(back.get(), disk.get(), &one_sector) + draw_shapes(back.get(), disk.get(), &none), 0);
  expect([](int shape, int v) { return shape < 2 ? v : shape == 2 ? v & 3 : 0; });  // planes 0 and 1 of shape 2
  EXPECT_EQ(shapes::check_shape_sectors(disk.get(), &none, nullptr, nullptr, nullptr), 0);
}

TEST(Shapes, VerboseTraces) {
  auto disk = make_disk(0);
  uint8_t *first = data(disk.get(), 0x20, 1, 0x10), *one = data(disk.get(), 0x22, 0, 4);
  first[0] = 0x80, first[1] = 0x01, first[64] = 0xFF, one[2] = one[3] = 0x55;  // shape 96 row 1
  auto sheet = std::make_unique<ShapeSheet>();
  const std::string head = "20/01/10 - 22/00/08\n[20/01/10]\n00000000 : ";
  std::string out = run(true, [&] { return draw_shapes(sheet.get(), disk.get(), &lower_shape_range); }).second;
  EXPECT_EQ(out.rfind(head + "1              1\n00000100 : " + std::string(16, ' ') + "\n", 0), 0u);
  for (const char* line : {"\n00000000 : 44444444        \n", "\n[21/00/01]\n00000020 :", "\n00006100 :     7777    7777\n"}) {
    EXPECT_NE(out.find(line), std::string::npos) << line;
  }
  out = run(true, [&] { return change_shape_data(sheet.get(), disk.get(), &lower_shape_range); }).second;
  EXPECT_EQ(out.rfind(head + "80 01\n00000100 : 00 00\n", 0), 0u);
  EXPECT_NE(out.find("\n00000000 : FF 00\n"), std::string::npos);
}

// Every way a sector of the walk can be unusable: the check names it
// silently, the decoder and encoder print the error line and write nothing
// into it or past it.
TEST(Shapes, UnusableSectorFails) {
  const std::function<void(Sector&)> faults[] = {[](Sector& s) { s.r = 0; }, [](Sector& s) { s.n = 2; },
      [](Sector& s) { s.size = 255, s.data = std::make_unique<uint8_t[]>(255); }, [](Sector& s) { s.data.reset(); }};
  const std::pair<int, std::string> error(-1, "error: read d88 image 21/00/01\n");
  for (const auto& fault : faults) {
    auto disk = make_disk(0x5A);
    Sector& bad = *find_d88_sector(disk.get(), 0x21, 0, 1);
    fault(bad);
    int c = 0, h = 0, r = 0;
    EXPECT_EQ(run(true, [&] { return shapes::check_shape_sectors(disk.get(), &lower_shape_range, &c, &h, &r); }),
              std::pair(-1, std::string()));
    EXPECT_EQ(std::tuple(c, h, r), std::tuple(0x21, 0, 1));
    EXPECT_EQ(shapes::check_shape_sectors(disk.get(), &lower_shape_range, nullptr, nullptr, nullptr), -1);
    auto sheet = std::make_unique<ShapeSheet>();
    EXPECT_EQ(run(false, [&] { return draw_shapes(sheet.get(), disk.get(), &lower_shape_range); }), error);
    std::memset(sheet->pixels, 7, SHAPE_SHEET_BYTES);
    EXPECT_EQ(run(false, [&] { return change_shape_data(sheet.get(), disk.get(), &lower_shape_range); }), error);
    EXPECT_EQ(Bytes({data(disk.get(), 0x20, 1, 0x10)[0], data(disk.get(), 0x21, 0, 2)[0]}), Bytes({0xFF, 0x5A}));
    for (int b = 0; bad.data && b < bad.size; ++b) ASSERT_NE(bad.data[b], 0xFF) << b;
  }
}

}  // namespace
