// The tiledump program: reads the shape sectors of two game disks held in D88
// images (shapes 0 to 127 from the zorvan or far haven disk, 128 to 255 from
// the kelmorane, vesto or duskhollow disk) and draws all 256 shapes into one
// 256 x 256 bitmap of 4 bits per pixel.
//
// Everything is printed to standard output. The program is callable in
// process (tiledump_main) so that a harness can run it many times.
#pragma once

#include <cstdint>

#include "d88/d88.h"
#include "shapes/shapes.h"

namespace tiledump {

// The whole program: parses the command line, loads the disks, decodes the
// shapes and writes the bitmap. Returns the exit status: 0 once the bitmap
// has been written, 1 on every failure and after --help.
int tiledump_main(int argc, char** argv);

// Writes the usage text, fourteen lines.
void print_usage();

// Writes width x height one-byte pixels (top row first) as a BMP file of
// bit_count bits per pixel with the given palette. Unless overwrite is set,
// an existing name is only replaced after the user agreed. The file appears
// only once it has been written completely; an existing one is never left
// damaged. 0, or -1 on every failure and when the user refused.
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
