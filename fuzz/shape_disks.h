// Small D88 images for the program fuzz targets and their seeds: game disks
// cut down to the sectors that hold the shapes, so that a two-disk image is
// about 30 KB instead of 700 KB.
#pragma once

#include <cstdint>
#include <vector>

#include "d88/d88.h"

// A disk of the game's geometry that keeps only the sectors of the lower
// and/or upper shape range, every data byte drawn from a generator seeded
// with seed. Null when memory runs out. The caller owns it.
Disk* make_shape_disk(const char* name, bool lower, bool upper, uint32_t seed);

// The file bytes of the disks in order, linked into one image (which takes
// them over and releases them). Empty when the image cannot be laid out.
std::vector<uint8_t> shape_image_bytes(const std::vector<Disk*>& disks);

// The image the program targets use by default: disk 0 with the lower range,
// disk 1 with the upper one.
std::vector<uint8_t> shape_pair_image();
