#include <cstdio>

#include "common/verbose.h"
#include "shapes/shapes.h"
#include "walk.h"

namespace {

struct EncodeJob {
  const ShapeSheet* sheet;
};

// Overwrites the row's two bytes whole; bit 3 of a pixel never reaches the
// disk.
void encode_row(void* context, const shapes::ShapeRow& row, uint8_t* bytes) {
  const uint8_t* pixels =
      static_cast<const EncodeJob*>(context)->sheet->pixels + row.offset;
  if (verbose_flag) std::printf("%08X :", static_cast<unsigned>(row.offset));
  for (int half = 0; half < 2; ++half) {
    uint8_t byte = 0;
    for (int k = 0; k < 8; ++k) {
      if (pixels[half * 8 + k] & row.bits) byte |= shape_bit_mask[k];
    }
    bytes[half] = byte;
    if (verbose_flag) std::printf(" %02X", byte);
  }
  if (verbose_flag) std::putchar('\n');
}

}  // namespace

int change_shape_data(const ShapeSheet* sheet, Disk* disk,
                      const ShapeRange* range) {
  EncodeJob job{sheet};
  return shapes::walk_shape_sectors(disk, range, encode_row, &job);
}
