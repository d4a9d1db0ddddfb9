// Inputs of tilepatch tests: pictures of the eight shape colours, bitmaps of
// every depth that show them, blank game disks, and the image that patching
// the disks should give, worked out with the libraries in this process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shapes/shapes.h"

// Colour numbers 0 to 7 (the first eight shape colours), top row first.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> colours;
};

// 256 x 256 random colours; the single-plane shapes 96 to 126 hold only 0
// and 7, the only colours they can keep on disk.
Picture random_shape_picture(uint32_t seed);

// Random colours of only 0 and 7, which a 1-bit bitmap can show too.
Picture random_black_white_picture(int width, int height, uint32_t seed);

// Writes the picture as a BMP file of bit count 1, 4, 8, 16, 24 or 32. An
// 8-bit file keeps colour c at index 255 - c, so that a loader that took
// indexes for colours would be caught.
void write_picture_bitmap(const std::string& path, const Picture& picture,
                          int bit_count);

// A D88 file of count disks of format 0 in the plain layout, their data
// bytes random so that every disk differs.
std::string blank_disks(int count);

// A disk of an image and the run of shapes a patch writes to it.
struct DiskChange {
  int index;
  const ShapeRange* range;
};

// The file tilepatch should write for the image, the 256 x 256 colours and
// the changes.
std::string patched_image(const std::string& image,
                          const std::vector<uint8_t>& colours,
                          const std::vector<DiskChange>& changes);

// For each byte of the image, whether the changes may alter it.
std::vector<bool> shape_byte_map(const std::string& image,
                                 const std::vector<DiskChange>& changes);
