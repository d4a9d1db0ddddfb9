// edit_shapes IN EDITED.PNG EDITED.BMP EXPECTED.BMP: the demo's stand-in for
// a user with a paint program. It loads a shapes bitmap (PNG or BMP), mirrors
// shapes 0 to 15 left to right and shifts the colours of shapes 128 to 143
// (1 -> 2 -> ... -> 7 -> 1), then saves the result three times: as an
// indexed PNG and as a 24-bit bitmap, the ways a paint program might save
// it, and as the 4-bit bitmap that dumping the patched disks must give back
// byte for byte.
#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "bitmap/bitmap.h"
#include "bitmap/png.h"
#include "common/output_file.h"
#include "shapes/shapes.h"
#include "tilepatch/shapes_bitmap.h"

namespace {

constexpr int kShapeSize = 16;

uint8_t* shape_row(ShapeSheet* sheet, int shape, int y) {
  const int top = (shape / 16) * kShapeSize + y;
  return sheet->pixels + top * SHAPE_SHEET_WIDTH + (shape % 16) * kShapeSize;
}

void mirror_shape(ShapeSheet* sheet, int shape) {
  for (int y = 0; y < kShapeSize; ++y) {
    uint8_t* row = shape_row(sheet, shape, y);
    std::reverse(row, row + kShapeSize);
  }
}

void shift_colours(ShapeSheet* sheet, int shape) {
  for (int y = 0; y < kShapeSize; ++y) {
    uint8_t* row = shape_row(sheet, shape, y);
    for (int x = 0; x < kShapeSize; ++x) {
      if (row[x] != 0) row[x] = static_cast<uint8_t>(row[x] % 7 + 1);
    }
  }
}

int save(const char* path, uint16_t bit_count, const uint8_t* palette,
         const uint8_t* pixels, bool png = false) {
  BitmapInfo info;
  common::OutputFile out;
  if (create_bitmap_header(&info, SHAPE_SHEET_WIDTH, SHAPE_SHEET_HEIGHT,
                           bit_count) < 0 ||
      out.open(path) < 0 ||
      (png ? bitmap::write_png(out.stream(), SHAPE_SHEET_WIDTH,
                               SHAPE_SHEET_HEIGHT, bit_count, palette, pixels)
           : write_bitmap(out.stream(), &info, palette, pixels)) < 0 ||
      out.commit() < 0) {
    std::printf("error: write '%s'\n", path);
    return -1;
  }
  std::printf("wrote %s (%d bits per pixel)\n", path, bit_count);
  return 0;
}

ShapeSheet sheet;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::puts("usage: edit_shapes IN EDITED.PNG EDITED.BMP EXPECTED.BMP");
    return 1;
  }
  if (tilepatch::load_shapes_bitmap(&sheet, argv[1]) < 0) return 1;
  for (int shape = 0; shape < 16; ++shape) mirror_shape(&sheet, shape);
  for (int shape = 128; shape < 144; ++shape) shift_colours(&sheet, shape);

  uint8_t* rgb = nullptr;
  if (convert_bit_count(SHAPE_SHEET_WIDTH, SHAPE_SHEET_HEIGHT, 4,
                        shape_palette, sheet.pixels, 24, nullptr, &rgb) < 0) {
    std::puts("error: convert to 24 bits");
    free_bitmap_buffer(rgb);
    return 1;
  }
  const int status = save(argv[2], 4, shape_palette, sheet.pixels, true) < 0 ||
                             save(argv[3], 24, nullptr, rgb) < 0 ||
                             save(argv[4], 4, shape_palette, sheet.pixels) < 0
                         ? 1
                         : 0;
  free_bitmap_buffer(rgb);
  return status;
}
