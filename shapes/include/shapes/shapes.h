// The shape codec: the sheet of 256 shapes, the two palettes, the bit-plane
// layout of shapes in disk sectors, the walk over those sectors, and the
// decoder and encoder between sheet and sectors.
//
// A sheet is 256 x 256 one-byte pixels, row 0 at the top, a 16 x 16 grid of
// shapes of 16 x 16 pixels; shape s covers rows (s / 16) * 16 .. + 15 and
// columns (s % 16) * 16 .. + 15. Bits 0 to 2 of a pixel (blue, red, green)
// are what the disks hold.
#pragma once

#include <cstdint>

#include "d88/d88.h"

inline constexpr int SHAPE_SHEET_WIDTH = 256;
inline constexpr int SHAPE_SHEET_HEIGHT = 256;
inline constexpr int SHAPE_SHEET_BYTES = SHAPE_SHEET_WIDTH * SHAPE_SHEET_HEIGHT;

struct ShapeSheet {
  uint8_t pixels[SHAPE_SHEET_BYTES];
};

// Where one run of shapes lies on a disk.
struct ShapeRange {
  int32_t first_shape;
  int32_t last_shape;
  int32_t start_c, start_h, start_r;  // first sector of the run
  int32_t end_c, end_h, end_r;        // last sector of the run
};

// Shapes 0 to 127 (zorvan, far haven) and 128 to 255 (kelmorane, vesto,
// duskhollow).
extern const ShapeRange lower_shape_range;
extern const ShapeRange upper_shape_range;

// 16 entries of blue, green, red, reserved. shape_palette is written into the
// dumped bitmap; shape_match_palette is matched against when loading one
// (its entries 8 to 15 are black, so loaded pixels are always 0 to 7).
extern const uint8_t shape_palette[64];
extern const uint8_t shape_match_palette[64];

// Bit of pixel k (0 = leftmost) of a half row: 0x80 0x20 0x08 0x02 0x40 0x10
// 0x04 0x01.
extern const uint8_t shape_bit_mask[8];

// Decodes the run from the disk's sectors into the sheet, OR-ing plane bits
// into what is there. 0, or -1 (after its error line) when a sector of the
// walk is missing, has a size code other than 1 or holds fewer than 256
// bytes.
int draw_shapes(ShapeSheet* sheet, const Disk* disk, const ShapeRange* range);

// Encodes the run from the sheet into the disk's sectors in place. Only bytes
// that belong to shapes change. 0, or -1 as draw_shapes.
int change_shape_data(const ShapeSheet* sheet, Disk* disk,
                      const ShapeRange* range);

namespace shapes {

// Walks the run's sectors as the decoder and the encoder do, without reading
// a shape or printing anything, to learn whether they would succeed. 0 when
// every sector of the walk is present, has size code 1 and holds at least 256
// bytes; -1 when one is not, with the first such sector's cylinder, head and
// record in *c, *h and *r (each may be null).
int check_shape_sectors(const Disk* disk, const ShapeRange* range, int* c,
                        int* h, int* r);

}  // namespace shapes
