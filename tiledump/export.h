// The output side of tiledump: decoding the two shape ranges into the sheet
// and writing it as a bitmap file.
#pragma once

#include <cstdint>

#include "d88/d88.h"
#include "shapes/shapes.h"

namespace tiledump {

// Writes width x height one-byte pixels (top row first) as a BMP file of
// bit_count bits per pixel with the given palette, or, when the name ends in
// ".png" in any case, as an indexed PNG of that bit depth (1, 4 or 8) with
// the palette as its PLTE. Unless overwrite is set, an existing name is only
// replaced after the user agreed. The file appears only once it has been
// written completely; an existing one is never left damaged. 0, or -1 on
// every failure and when the user refused.
int write_bitmap_file(const char* path, int32_t width, int32_t height,
                      const uint8_t* pixels, const uint8_t* palette,
                      uint16_t bit_count, int overwrite);

// Decodes the lower shape range from disk1 and the upper one from disk2 into
// the sheet (which the caller cleared), then writes it as a 4-bit bitmap with
// shape_palette. Returns the exit status: 0 when the bitmap was written,
// otherwise 1 after the messages.
int export_shapes(ShapeSheet* sheet, const Disk* disk1, const Disk* disk2,
                  const char* output, int overwrite);

}  // namespace tiledump
