// The decoder's and encoder's work on the sheet: OR-ing, the row trace and
// the round trip through the disk.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/verbose.h"
#include "shapes/shapes.h"
#include "shapes/tests/test_disk.h"

namespace {

// The lines of a verbose run over the lower range, which must succeed.
template <class Call>
std::vector<std::string> trace_lines(Call call) {
  verbose_flag = 1;
  testing::internal::CaptureStdout();
  const int result = call();
  std::istringstream in(testing::internal::GetCapturedStdout());
  verbose_flag = 0;
  EXPECT_EQ(result, 0);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A range line, 41 sector lines and a line for each two-byte row.
constexpr std::size_t kLowerTraceLines = 1 + 41 + 10304 / 2;

bool is_row_line(const std::string& line) {
  return line.size() > 11 && line.compare(8, 3, " : ") == 0;
}

TEST(ShapeDecoder, OrsIntoADirtySheet) {
  auto disk = make_test_disk(0);
  test_sector(disk.get(), 0x20, 1, 0x10)->data[0] = 0xC0;  // pixels 0 and 4
  auto sheet = make_sheet();
  sheet->pixels[pixel_offset(0, 0, 0)] = 8;
  sheet->pixels[pixel_offset(0, 4, 0)] = 2;
  sheet->pixels[pixel_offset(0, 1, 0)] = 12;
  ASSERT_EQ(draw_shapes(sheet.get(), disk.get(), &lower_shape_range), 0);
  EXPECT_EQ(sheet->pixels[pixel_offset(0, 0, 0)], 9);
  EXPECT_EQ(sheet->pixels[pixel_offset(0, 4, 0)], 3);
  EXPECT_EQ(sheet->pixels[pixel_offset(0, 1, 0)], 12);
}

TEST(ShapeDecoder, VerboseTrace) {
  auto disk = make_test_disk(0);
  uint8_t* first = test_sector(disk.get(), 0x20, 1, 0x10)->data.get();
  first[0] = 0x80;  // plane 0, row 0: leftmost and rightmost pixels
  first[1] = 0x01;
  first[64] = 0xFF;  // plane 2, row 0, left half
  uint8_t* single = test_sector(disk.get(), 0x22, 0, 4)->data.get();
  single[2] = single[3] = 0x55;  // shape 96, row 1
  auto sheet = make_sheet();
  const std::vector<std::string> lines =
      trace_lines([&] { return draw_shapes(sheet.get(), disk.get(), &lower_shape_range); });
  ASSERT_EQ(lines.size(), kLowerTraceLines);
  EXPECT_EQ(lines[0], "20/01/10 - 22/00/08");
  EXPECT_EQ(lines[1], "[20/01/10]");
  EXPECT_EQ(lines[2], "00000000 : 1              1");
  EXPECT_EQ(lines[3], "00000100 :                 ");
  EXPECT_EQ(lines[2 + 16], "00000000 :                 ");  // plane 1
  EXPECT_EQ(lines[2 + 32], "00000000 : 44444444        ");  // plane 2
  int offset_zero = 0, shape96_row1 = 0;
  for (const std::string& line : lines) {
    if (!is_row_line(line)) continue;
    EXPECT_EQ(line.size(), 27u) << line;
    offset_zero += line.compare(0, 8, "00000000") == 0;
    // Shape 96 has one plane, drawn as 7; its row 1 lies at (96 + 1) * 256.
    if (line.compare(0, 8, "00006100") != 0) continue;
    ++shape96_row1;
    EXPECT_EQ(line, "00006100 :     7777    7777");
  }
  EXPECT_EQ(offset_zero, 3);
  EXPECT_EQ(shape96_row1, 1);
}

TEST(ShapeEncoder, VerboseTrace) {
  auto sheet = make_sheet();
  sheet->pixels[pixel_offset(0, 0, 0)] = 1;
  sheet->pixels[pixel_offset(0, 15, 0)] = 3;
  sheet->pixels[pixel_offset(0, 7, 0)] = 6;  // even: not in plane 0
  auto disk = make_test_disk(0x5A);
  const std::vector<std::string> lines =
      trace_lines([&] { return change_shape_data(sheet.get(), disk.get(), &lower_shape_range); });
  ASSERT_EQ(lines.size(), kLowerTraceLines);
  EXPECT_EQ(lines[0], "20/01/10 - 22/00/08");
  EXPECT_EQ(lines[1], "[20/01/10]");
  EXPECT_EQ(lines[2], "00000000 : 80 01");
  EXPECT_EQ(lines[3], "00000100 : 00 00");
  EXPECT_EQ(lines[2 + 16], "00000000 : 01 01");  // plane 1
  EXPECT_EQ(lines[2 + 32], "00000000 : 01 00");  // plane 2
  for (const std::string& line : lines) {
    if (is_row_line(line)) {
      EXPECT_EQ(line.size(), 16u) << line;
    }
  }
}

// A sheet of colours 0 to 7 survives encoding and decoding, silently, except
// that a single-plane shape keeps only "set" (white) or "clear".
TEST(ShapeCodec, RoundTrip) {
  std::mt19937 random(12345);
  auto sheet = make_sheet();
  for (uint8_t& pixel : sheet->pixels) pixel = static_cast<uint8_t>(random() % 8);
  auto disk = make_test_disk(0xE5);
  auto back = make_sheet();
  testing::internal::CaptureStdout();
  for (const ShapeRange* range : {&lower_shape_range, &upper_shape_range}) {
    EXPECT_EQ(change_shape_data(sheet.get(), disk.get(), range), 0);
    EXPECT_EQ(draw_shapes(back.get(), disk.get(), range), 0);
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  for (int shape = 0; shape < 256; ++shape) {
    const bool single = shape >= 96 && shape <= 126;
    for (int at = pixel_offset(shape, 0, 0), y = 0; y < 16; ++y, at += SHAPE_SHEET_WIDTH) {
      for (int x = 0; x < 16; ++x) {
        const int expected = single && sheet->pixels[at + x] ? 7 : sheet->pixels[at + x];
        ASSERT_EQ(back->pixels[at + x], expected) << "shape " << shape << " x " << x << " y " << y;
      }
    }
  }
}

}  // namespace
