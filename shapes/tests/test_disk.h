// Disks for the shape codec tests, built record by record so that a test can
// also remove a sector, give it a wrong size code or cut its data short.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "d88/d88.h"
#include "shapes/shapes.h"

// The game disks' geometry: cylinders 0 to 39, heads 0 and 1, records 1 to
// 16 of 256 bytes (size code 1), every data byte set to fill.
std::unique_ptr<Disk> make_test_disk(uint8_t fill);

// The sector with this ID, found by scanning the tracks directly; null when
// absent.
Sector* test_sector(Disk* disk, int c, int h, int r);

// One sector of a range's walk and how many of its bytes hold shapes.
struct WalkSector {
  int c, h, r;
  int shape_bytes;
};

// The sectors that each range walks, in order.
std::vector<WalkSector> lower_walk();
std::vector<WalkSector> upper_walk();

// "CC/HH/RR" as the codec prints sector IDs.
std::string sector_name(int c, int h, int r);

// A zero-filled sheet on the heap.
std::unique_ptr<ShapeSheet> make_sheet();

// Sheet offset of pixel x of row y of a shape.
int pixel_offset(int shape, int x, int y);
