#include "shapes/shapes.h"

#include <gtest/gtest.h>

#include "bitmap/bitmap.h"

namespace {

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

}  // namespace
