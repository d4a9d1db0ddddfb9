// The shapes bitmap loader, run in this process.
#include "tilepatch/shapes_bitmap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "bitmap/bitmap.h"
#include "common/file_ptr.h"
#include "tests/support/run_program.h"
#include "tilepatch/tests/fixtures.h"

namespace {

class ShapesBitmapTest : public testing::Test {
 protected:
  // Loads the file into the sheet; the result, and what was printed.
  int load(const std::string& path) {
    testing::internal::CaptureStdout();
    const int result = load_shapes_bitmap(sheet.get(), path.c_str());
    out = testing::internal::GetCapturedStdout();
    return result;
  }
  std::vector<uint8_t> sheet_bytes() const {
    return std::vector<uint8_t>(sheet->pixels,
                                sheet->pixels + SHAPE_SHEET_BYTES);
  }
  TempDir dir;
  std::unique_ptr<ShapeSheet> sheet = std::make_unique<ShapeSheet>();
  std::string out;
};

TEST_F(ShapesBitmapTest, LoadsEveryDepth) {
  for (int bits : {1, 4, 8, 16, 24, 32}) {
    // One bit can show only black and white.
    const Picture picture = bits == 1 ? random_black_white_picture(256, 256, 7)
                                      : random_shape_picture(7);
    write_picture_bitmap(dir / "depth.bmp", picture, bits);
    std::memset(sheet->pixels, 0xEE, sizeof sheet->pixels);
    ASSERT_EQ(load(dir / "depth.bmp"), 0) << bits << " bits: " << out;
    EXPECT_EQ(out, "");
    EXPECT_EQ(sheet_bytes(), picture.colours) << bits << " bits";
  }
}

TEST_F(ShapesBitmapTest, TallBitmapGivesItsTopRows) {
  const Picture picture = random_shape_picture(3);
  Picture tall{256, 300, picture.colours};
  // The rows below the sheet are all white; none of them may show up.
  tall.colours.resize(256 * 300, 7);
  write_picture_bitmap(dir / "tall.bmp", tall, 4);
  ASSERT_EQ(load(dir / "tall.bmp"), 0) << out;
  EXPECT_EQ(sheet_bytes(), picture.colours);
}

TEST_F(ShapesBitmapTest, AnyColourBecomesOneOfTheEight) {
  std::vector<uint8_t> bgr(256 * 256 * 3);
  std::mt19937 random(99);
  for (uint8_t& b : bgr) b = static_cast<uint8_t>(random());
  // Top-left pixels: black, white, the greys of the dump palette, dark blue,
  // dark grey; then the colours each must become.
  const uint8_t fixed[][3] = {{0, 0, 0},       {255, 255, 255}, {128, 128, 128},
                              {192, 192, 192}, {128, 0, 0},     {64, 64, 64}};
  const uint8_t nearest[] = {0, 7, 7, 7, 1, 0};
  for (int i = 0; i < 6; ++i) std::memcpy(&bgr[i * 3], fixed[i], 3);
  BitmapInfo info;
  ASSERT_EQ(create_bitmap_header(&info, 256, 256, 24), 0);
  {
    FilePtr file = open_file((dir / "colours.bmp").c_str(), "wb");
    ASSERT_TRUE(file);
    ASSERT_EQ(write_bitmap(file.get(), &info, nullptr, bgr.data()), 0);
  }
  ASSERT_EQ(load(dir / "colours.bmp"), 0) << out;
  for (int i = 0; i < SHAPE_SHEET_BYTES; ++i) {
    ASSERT_LT(sheet->pixels[i], 8) << "pixel " << i;
  }
  for (int i = 0; i < 6; ++i) EXPECT_EQ(sheet->pixels[i], nearest[i]) << i;
}

// A case's message starting with "..." is only the end of what is printed.
TEST_F(ShapesBitmapTest, RefusesEveryBadFileWithItsMessage) {
  for (const auto& [width, height] :
       {std::pair{255, 256}, {257, 256}, {256, 255}, {512, 512}, {16, 16}}) {
    const std::string path = dir / "size.bmp";
    write_picture_bitmap(path, random_black_white_picture(width, height, 1),
                         24);
    EXPECT_EQ(load(path), -1) << width << " x " << height;
    EXPECT_EQ(out, "error: bmp size error '" + path + "'\n");
  }
  write_picture_bitmap(dir / "whole.bmp", random_shape_picture(5), 8);
  const std::string whole = read_file(dir / "whole.bmp");
  write_file(dir / "text.bmp", "not a bitmap");
  write_file(dir / "palette.bmp", whole.substr(0, 300));
  // The reader has handed over both buffers by the time the rows run out.
  write_file(dir / "rows.bmp", whole.substr(0, whole.size() - 1000));
  const struct {
    std::string name;
    std::string out;
  } cases[] = {
      {"missing.bmp", "error: open '%'\n"},  // and nothing else
      {"text.bmp", "...error: read bitmap '%'\n"},
      {"palette.bmp", "...error: read bitmap '%'\n"},
      {"rows.bmp", "...error: read bitmap '%'\n"},
  };
  for (const auto& c : cases) {
    const std::string path = dir / c.name;
    std::string message = c.out;
    message.replace(message.find('%'), 1, path);
    EXPECT_EQ(load(path), -1) << c.name;
    if (message.compare(0, 3, "...") == 0) {
      message.erase(0, 3);
      ASSERT_GE(out.size(), message.size()) << out;
      EXPECT_EQ(out.substr(out.size() - message.size()), message);
    } else {
      EXPECT_EQ(out, message);
    }
  }
}

}  // namespace
