#include <cstdio>

#include "export.h"

namespace tiledump {

int export_shapes(ShapeSheet* sheet, const Disk* disk1, const Disk* disk2,
                  const char* output, int overwrite) {
  // The upper range is only decoded when the lower one succeeded.
  if (draw_shapes(sheet, disk1, &lower_shape_range) < 0 ||
      draw_shapes(sheet, disk2, &upper_shape_range) < 0) {
    std::puts("error: draw shapes");
    return 1;
  }
  if (write_bitmap_file(output, SHAPE_SHEET_WIDTH, SHAPE_SHEET_HEIGHT,
                        sheet->pixels, shape_palette, 4, overwrite) < 0) {
    std::printf("error: write bitmap file '%s'\n", output);
    return 1;
  }
  return 0;
}

}  // namespace tiledump
