// The walk over the sectors that hold a run of shapes, shared by the decoder,
// the encoder and check_shape_sectors so that all visit the same sectors and
// rows in the same order. Internal to the shape codec.
//
// The plane blocks of the run's shapes form one stream that fills the
// sectors from byte 0, two bytes per row of a plane. A sector is left early
// when the next shape is above 127 and divisible by 4, so the upper shapes
// come in groups of four per pair of sectors. Records run 1 to 16, head 0
// before head 1, and the cylinder grows after head 1.
#pragma once

#include <cstdint>

#include "d88/d88.h"
#include "shapes/shapes.h"

namespace shapes {

// Where one row of a plane lies in the sheet, and its plane bits: 1, 2 or 4
// for plane 0, 1 or 2, or 7 for a single-plane shape.
struct ShapeRow {
  int32_t offset;  // sheet byte of the row's leftmost pixel
  uint8_t bits;
};

// What the decoder or the encoder does with one row; bytes are the row's two
// bytes of sector data (left half row, then right half row).
using ShapeRowFunction = void (*)(void* context, const ShapeRow& row,
                                  uint8_t* bytes);

// Shapes 96 to 126 keep a single plane; every other shape has three.
bool is_single_plane_shape(int32_t shape);

// Walks the range's sectors on the disk and hands every row of the run to
// row_function, printing the verbose trace of the range and of each sector.
// The range's shapes lie in 0 to 255 (the two ranges of shapes.h); a run
// whose first shape is above its last looks up nothing.
// 0 when the run or the sectors are done; -1 after the error line when a
// sector of the walk is missing, has a size code other than 1 or holds fewer
// than 256 bytes (checked before any row of it is used).
int walk_shape_sectors(const Disk* disk, const ShapeRange* range,
                       ShapeRowFunction row_function, void* context);

}  // namespace shapes
