#include <cstdio>

#include "common/verbose.h"
#include "shapes/shapes.h"
#include "walk.h"

namespace {

// ORs the row's plane bits into the sheet, so a sheet that was not cleared
// keeps what it had.
void draw_row(void* context, const shapes::ShapeRow& row, uint8_t* bytes) {
  uint8_t* pixels = static_cast<ShapeSheet*>(context)->pixels + row.offset;
  if (verbose_flag) std::printf("%08X : ", static_cast<unsigned>(row.offset));
  for (int half = 0; half < 2; ++half) {
    for (int k = 0; k < 8; ++k) {
      const bool set = (bytes[half] & shape_bit_mask[k]) != 0;
      if (set) pixels[half * 8 + k] |= row.bits;
      if (verbose_flag) {
        if (set) {
          std::printf("%d", row.bits);
        } else {
          std::putchar(' ');
        }
      }
    }
  }
  if (verbose_flag) std::putchar('\n');
}

}  // namespace

int draw_shapes(ShapeSheet* sheet, const Disk* disk, const ShapeRange* range) {
  return shapes::walk_shape_sectors(disk, range, draw_row, sheet);
}
