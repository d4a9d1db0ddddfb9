#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/verbose.h"
#include "shapes/shapes.h"

namespace {

// Cylinders 0 to 39, heads 0 and 1, records 1 to 16 of 256 bytes.
std::unique_ptr<Disk> make_disk(uint8_t fill) {
  auto disk = std::make_unique<Disk>();
  for (int slot = 0; slot < 80; ++slot) {
    Track& track = disk->tracks[slot];
    track.count = 16;
    track.sectors = std::make_unique<Sector[]>(16);
    for (int i = 0; i < 16; ++i) {
      Sector& s = track.sectors[i];
      s.c = static_cast<uint8_t>(slot / 2), s.h = static_cast<uint8_t>(slot % 2);
      s.r = static_cast<uint8_t>(i + 1), s.n = 1, s.sector_count = 16, s.size = 256;
      s.data = std::make_unique<uint8_t[]>(256);
      std::memset(s.data.get(), fill, 256);
    }
  }
  return disk;
}

Sector& sector(Disk* disk, int c, int h, int r) { return disk->tracks[c * 2 + h].sectors[r - 1]; }

int px(int shape, int x, int y) { return ((shape / 16) * 16 + y) * 256 + (shape % 16) * 16 + x; }

std::vector<std::string> lines_of(bool verbose, const std::function<int()>& call, int result) {
  verbose_flag = verbose ? 1 : 0;
  testing::internal::CaptureStdout();
  EXPECT_EQ(call(), result);
  std::istringstream in(testing::internal::GetCapturedStdout());
  verbose_flag = 0;
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The half row, twice, in row 0 of shape 0 (planes 0-2) and of shape 96.
TEST(ShapeBits, BitOrderAndPlanes) {
  const struct { uint8_t pixels[8]; uint8_t bytes[4]; } cases[] = {
      {{1, 1, 1, 1, 0, 0, 0, 0}, {0xAA, 0, 0, 0xAA}},
      {{0, 0, 0, 0, 1, 1, 1, 1}, {0x55, 0, 0, 0x55}},
      {{3, 5, 0, 0, 0, 0, 6, 0}, {0xA0, 0x84, 0x24, 0xA4}},
      {{8, 9, 8, 9, 8, 9, 8, 9}, {0x33, 0, 0, 0x33}},  // bit 3 never reaches the disk
  };
  for (const auto& c : cases) {
    auto sheet = std::make_unique<ShapeSheet>();
    for (int x = 0; x < 16; ++x) sheet->pixels[px(0, x, 0)] = sheet->pixels[px(96, x, 0)] = c.pixels[x % 8];
    auto disk = make_disk(0x5A);
    ASSERT_EQ(change_shape_data(sheet.get(), disk.get(), &lower_shape_range), 0);
    const uint8_t* first = sector(disk.get(), 0x20, 1, 0x10).data.get();
    const uint8_t* single = sector(disk.get(), 0x22, 0, 4).data.get();
    const uint8_t got[] = {first[0], first[32], first[64], single[0]};
    EXPECT_EQ(std::memcmp(got, c.bytes, 4), 0) << int(got[0]) << " " << int(got[1]) << " "
                                               << int(got[2]) << " " << int(got[3]);
    EXPECT_EQ(first[1], first[0]);
  }
}

// One pixel in one plane is one 0x80 byte; upper shapes go four per two sectors.
TEST(ShapeLayout, EachRowInItsPlace) {
  const struct { int shape, plane, row, c, h, r, byte; } places[] = {
      {2, 1, 15, 0x20, 1, 0x10, 254}, {2, 2, 0, 0x21, 0, 1, 0},     {126, 0, 15, 0x22, 0, 7, 222},
      {127, 2, 15, 0x22, 0, 8, 62},   {128, 0, 0, 0x1C, 1, 9, 0},    {131, 2, 15, 0x1C, 1, 10, 126},
      {132, 0, 0, 0x1C, 1, 11, 0},    {255, 2, 15, 0x1E, 1, 8, 126},
  };
  for (const auto& p : places) {
    auto sheet = std::make_unique<ShapeSheet>();
    const bool single = p.shape >= 96 && p.shape <= 126;
    sheet->pixels[px(p.shape, 0, p.row)] = static_cast<uint8_t>(single ? 5 : 1 << p.plane);
    auto disk = make_disk(0);
    ASSERT_EQ(change_shape_data(sheet.get(), disk.get(),
                                p.shape < 128 ? &lower_shape_range : &upper_shape_range), 0);
    int set = 0;
    for (const Track& track : disk->tracks) {
      for (int i = 0; i < track.count * 256; ++i) set += track.sectors[i / 256].data[i % 256] != 0;
    }
    EXPECT_EQ(set, 1) << "shape " << p.shape;
    EXPECT_EQ(sector(disk.get(), p.c, p.h, p.r).data[p.byte], 0x80) << "shape " << p.shape;
  }
}

TEST(ShapeCodec, VerboseTraces) {
  auto disk = make_disk(0);
  uint8_t* first = sector(disk.get(), 0x20, 1, 0x10).data.get();
  first[0] = 0x80, first[1] = 0x01, first[64] = 0xFF;
  uint8_t* single = sector(disk.get(), 0x22, 0, 4).data.get();
  single[2] = single[3] = 0x55;  // shape 96, row 1
  auto sheet = std::make_unique<ShapeSheet>();
  auto lines = lines_of(true, [&] { return draw_shapes(sheet.get(), disk.get(), &lower_shape_range); }, 0);
  ASSERT_EQ(lines.size(), 1 + 41 + 10304 / 2u);
  EXPECT_EQ(lines[0], "20/01/10 - 22/00/08");
  EXPECT_EQ(lines[1], "[20/01/10]");
  EXPECT_EQ(lines[2], "00000000 : 1              1");
  EXPECT_EQ(lines[2 + 32], "00000000 : 44444444        ");
  EXPECT_EQ(lines[130], "[21/00/01]");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "00006100 :     7777    7777"), lines.end());

  lines = lines_of(true, [&] { return change_shape_data(sheet.get(), disk.get(), &lower_shape_range); }, 0);
  EXPECT_EQ(lines[2], "00000000 : 80 01");
  EXPECT_EQ(lines[2 + 32], "00000000 : FF 00");
}

// Every way a sector of the walk can be unusable: the check names it
// silently, the decoder and encoder print the error line and write nothing
// into it or past it.
TEST(ShapeWalk, UnusableSectorFails) {
  const std::function<void(Sector&)> faults[] = {
      [](Sector& s) { s.r = 0; },
      [](Sector& s) { s.n = 2; },
      [](Sector& s) { s.size = 255, s.data = std::make_unique<uint8_t[]>(255); },
      [](Sector& s) { s.data.reset(); },
  };
  const std::vector<std::string> error = {"error: read d88 image 21/00/01"};
  for (const auto& fault : faults) {
    auto disk = make_disk(0x5A);
    Sector& bad = sector(disk.get(), 0x21, 0, 1);
    fault(bad);
    int c = 0, h = 0, r = 0;
    EXPECT_EQ(lines_of(true, [&] { return shapes::check_shape_sectors(disk.get(), &lower_shape_range, &c, &h, &r); }, -1),
              std::vector<std::string>{});
    EXPECT_EQ(std::vector<int>({c, h, r}), std::vector<int>({0x21, 0, 1}));
    auto sheet = std::make_unique<ShapeSheet>();
    EXPECT_EQ(lines_of(false, [&] { return draw_shapes(sheet.get(), disk.get(), &lower_shape_range); }, -1), error);
    std::memset(sheet->pixels, 7, SHAPE_SHEET_BYTES);
    EXPECT_EQ(lines_of(false, [&] { return change_shape_data(sheet.get(), disk.get(), &lower_shape_range); }, -1),
              error);
    EXPECT_EQ(sector(disk.get(), 0x20, 1, 0x10).data[0], 0xFF);
    EXPECT_EQ(sector(disk.get(), 0x21, 0, 2).data[0], 0x5A);
    for (int b = 0; bad.data && b < bad.size; ++b) ASSERT_NE(bad.data[b], 0xFF) << b;
  }
  auto disk = make_disk(0);
  EXPECT_EQ(shapes::check_shape_sectors(disk.get(), &upper_shape_range, nullptr, nullptr, nullptr), 0);
}

// Colours 0 to 7 survive, except that a single-plane shape keeps only set
// (7) or clear; decoding ORs into what the sheet held (bit 3 here).
TEST(ShapeCodec, RandomRoundTrip) {
  std::mt19937 random(12345);
  auto sheet = std::make_unique<ShapeSheet>();
  for (uint8_t& pixel : sheet->pixels) pixel = static_cast<uint8_t>(random() % 8);
  auto back = std::make_unique<ShapeSheet>();
  std::memset(back->pixels, 8, SHAPE_SHEET_BYTES);
  auto disk = make_disk(0xE5);
  for (const ShapeRange* range : {&lower_shape_range, &upper_shape_range}) {
    EXPECT_EQ(lines_of(false, [&] { return change_shape_data(sheet.get(), disk.get(), range); }, 0).size(), 0u);
    EXPECT_EQ(lines_of(false, [&] { return draw_shapes(back.get(), disk.get(), range); }, 0).size(), 0u);
  }
  for (int i = 0; i < SHAPE_SHEET_BYTES; ++i) {
    const int shape = (i / 256 / 16) * 16 + (i % 256) / 16;
    const bool single = shape >= 96 && shape <= 126;
    ASSERT_EQ(back->pixels[i], (single && sheet->pixels[i] ? 7 : sheet->pixels[i]) | 8) << "shape " << shape;
  }
}

}  // namespace
