// Loading the edited shapes bitmap into the shape sheet.
#pragma once

#include "shapes/shapes.h"

namespace tilepatch {

// Reads a BMP file of any supported depth that is exactly 256 pixels wide and
// at least 256 high, and matches its top 256 rows against the shape match
// palette straight into the sheet, so that every pixel becomes 0 to 7.
// 0 on success; -1 on every failure, after printing why (the sheet's contents
// are then undefined). Nothing stays open or allocated.
int load_shapes_bitmap(ShapeSheet* sheet, const char* path);

}  // namespace tilepatch
