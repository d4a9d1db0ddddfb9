// Building the inputs of tilepatch tests: sheets of colours, bitmaps of every
// depth that show them, blank game disks, and the image that patching the
// disks should give, worked out with the libraries in this process.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "shapes/shapes.h"

// A picture of colour numbers 0 to 7 (the first eight shape colours), top
// row first.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> colours;
};

// 256 x 256 random colours 0 to 7; the single-plane shapes 96 to 126 hold
// only 0 and 7, the only colours they can keep on disk.
Picture random_shape_picture(uint32_t seed);

// Random colours of only 0 and 7, which a 1-bit bitmap can show too.
Picture random_black_white_picture(int width, int height, uint32_t seed);

// The picture as the sheet that loading it should give.
std::unique_ptr<ShapeSheet> sheet_of(const Picture& picture);

// Writes the picture as a BMP file of bit count 1, 4, 8, 16, 24 or 32 with
// the bitmap library. Indexed depths store each colour at an index of their
// own palette (for 8 bits not the colour's own number).
void write_picture_bitmap(const std::string& path, const Picture& picture,
                          int bit_count);

// A D88 file of count disks of format 0 (40 x 2 x 16 sectors of 256 bytes)
// in the plain layout, their data bytes random so that every disk differs.
std::string blank_disks(int count);

// Which disks a patch changes: disk index and the run written to it.
struct DiskChange {
  int index;
  const ShapeRange* range;
};

// The file that tilepatch should write for the input image bytes, the sheet
// and the changes.
std::string patched_image(const std::string& image, const ShapeSheet& sheet,
                          const std::vector<DiskChange>& changes);

// For each byte of the image, whether patching some disk with its run may
// change it (the shape bytes of those disks).
std::vector<bool> shape_byte_map(const std::string& image,
                                 const std::vector<DiskChange>& changes);

// Reads a BMP file as the bitmap library does; the pixel array, or empty.
std::vector<uint8_t> read_bitmap_pixels(const std::string& path,
                                        int* bit_count);
