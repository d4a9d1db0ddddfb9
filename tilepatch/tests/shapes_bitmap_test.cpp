// The shapes bitmap loader, run in this process.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "bitmap/bitmap.h"
#include "common/file_ptr.h"
#include "tests/support/run_program.h"
#include "tilepatch/shapes_bitmap.h"
#include "tilepatch/tests/fixtures.h"

namespace {

struct Loaded {
  int result;
  std::string out;
};

Loaded load(ShapeSheet* sheet, const std::string& path) {
  testing::internal::CaptureStdout();
  const int result = load_shapes_bitmap(sheet, path.c_str());
  return {result, testing::internal::GetCapturedStdout()};
}

std::vector<uint8_t> sheet_bytes(const ShapeSheet& sheet) {
  return std::vector<uint8_t>(sheet.pixels, sheet.pixels + SHAPE_SHEET_BYTES);
}

void write_24bit(const std::string& path, int width, int height,
                 const std::vector<uint8_t>& bgr) {
  BitmapInfo info;
  ASSERT_EQ(create_bitmap_header(&info, width, height, 24), 0);
  FilePtr file = open_file(path.c_str(), "wb");
  ASSERT_TRUE(file);
  ASSERT_EQ(write_bitmap(file.get(), &info, nullptr, bgr.data()), 0);
}

class ShapesBitmapTest : public testing::Test {
 protected:
  TempDir dir;
  std::unique_ptr<ShapeSheet> sheet = std::make_unique<ShapeSheet>();
};

struct SizeCase {
  int width;
  int height;
};

class ShapesBitmapSizeTest : public ShapesBitmapTest,
                             public testing::WithParamInterface<SizeCase> {};

TEST_P(ShapesBitmapSizeTest, RefusesWrongSize) {
  const std::string path = dir / "wrong.bmp";
  write_picture_bitmap(
      path, random_black_white_picture(GetParam().width, GetParam().height, 1),
      24);
  const Loaded loaded = load(sheet.get(), path);
  EXPECT_EQ(loaded.result, -1);
  EXPECT_EQ(loaded.out, "error: bmp size error '" + path + "'\n");
}

INSTANTIATE_TEST_SUITE_P(Sizes, ShapesBitmapSizeTest,
                         testing::Values(SizeCase{255, 256}, SizeCase{257, 256},
                                         SizeCase{256, 255}, SizeCase{512, 512},
                                         SizeCase{16, 16}));

class ShapesBitmapDepthTest : public ShapesBitmapTest,
                              public testing::WithParamInterface<int> {};

TEST_P(ShapesBitmapDepthTest, LoadsEveryDepth) {
  const int bits = GetParam();
  // One bit can show only black and white.
  const Picture picture = bits == 1 ? random_black_white_picture(256, 256, 7)
                                    : random_shape_picture(7);
  const std::string path = dir / "depth.bmp";
  write_picture_bitmap(path, picture, bits);
  std::memset(sheet->pixels, 0xEE, sizeof sheet->pixels);
  const Loaded loaded = load(sheet.get(), path);
  ASSERT_EQ(loaded.result, 0) << loaded.out;
  EXPECT_EQ(loaded.out, "");
  EXPECT_EQ(sheet_bytes(*sheet), picture.colours);
}

INSTANTIATE_TEST_SUITE_P(Depths, ShapesBitmapDepthTest,
                         testing::Values(1, 4, 8, 16, 24, 32));

TEST_F(ShapesBitmapTest, TallBitmapGivesItsTopRows) {
  Picture picture = random_shape_picture(3);
  Picture tall{256, 300, picture.colours};
  // The rows below the sheet are all white; none of them may show up.
  tall.colours.resize(256 * 300, 7);
  const std::string path = dir / "tall.bmp";
  write_picture_bitmap(path, tall, 4);
  const Loaded loaded = load(sheet.get(), path);
  ASSERT_EQ(loaded.result, 0) << loaded.out;
  EXPECT_EQ(sheet_bytes(*sheet), picture.colours);
}

TEST_F(ShapesBitmapTest, AnyColourBecomesOneOfTheEight) {
  std::vector<uint8_t> bgr(256 * 256 * 3);
  std::mt19937 random(99);
  for (uint8_t& b : bgr) b = static_cast<uint8_t>(random());
  // Top-left pixels: black, white, the greys of the dump palette, dark blue.
  const uint8_t fixed[][3] = {{0, 0, 0},       {255, 255, 255}, {128, 128, 128},
                              {192, 192, 192}, {128, 0, 0},     {64, 64, 64}};
  for (int i = 0; i < 6; ++i) std::memcpy(&bgr[i * 3], fixed[i], 3);
  const std::string path = dir / "colours.bmp";
  write_24bit(path, 256, 256, bgr);

  const Loaded loaded = load(sheet.get(), path);
  ASSERT_EQ(loaded.result, 0) << loaded.out;
  for (int i = 0; i < SHAPE_SHEET_BYTES; ++i) {
    ASSERT_LT(sheet->pixels[i], 8) << "pixel " << i;
  }
  EXPECT_EQ(sheet->pixels[0], 0);
  EXPECT_EQ(sheet->pixels[1], 7);
  EXPECT_EQ(sheet->pixels[2], 7);  // a shade nearer white than black
  EXPECT_EQ(sheet->pixels[3], 7);
  EXPECT_EQ(sheet->pixels[4], 1);  // dark blue is nearest blue
  EXPECT_EQ(sheet->pixels[5], 0);
}

TEST_F(ShapesBitmapTest, MissingFilePrintsOnlyTheOpenError) {
  const std::string path = dir / "missing.bmp";
  const Loaded loaded = load(sheet.get(), path);
  EXPECT_EQ(loaded.result, -1);
  EXPECT_EQ(loaded.out, "error: open '" + path + "'\n");
}

TEST_F(ShapesBitmapTest, UnreadableFilesAreRefused) {
  write_picture_bitmap(dir / "whole.bmp", random_shape_picture(5), 8);
  const std::string whole = read_file(dir / "whole.bmp");
  // Not a bitmap at all; one cut inside its palette; one cut inside its rows
  // (the reader has handed over both buffers by then).
  const std::string cases[] = {"not a bitmap", whole.substr(0, 300),
                               whole.substr(0, whole.size() - 1000)};
  for (const std::string& bytes : cases) {
    const std::string path = dir / "bad.bmp";
    write_file(path, bytes);
    const Loaded loaded = load(sheet.get(), path);
    EXPECT_EQ(loaded.result, -1);
    const std::string last = "error: read bitmap '" + path + "'\n";
    ASSERT_GE(loaded.out.size(), last.size()) << loaded.out;
    EXPECT_EQ(loaded.out.substr(loaded.out.size() - last.size()), last);
  }
}

}  // namespace
