// What d88info prints about the disks of one file.
#pragma once

#include "d88/d88.h"
#include "shapes/shapes.h"

namespace d88info {

// Writes the block of lines that describes one disk, headed by its index.
void print_disk_report(const Disk* disk, int index);

// Writes the closing hint for the file at path: which index each disk has
// and how tiledump and tilepatch take them.
void print_index_hint(const char* path, const DiskImage* image);

// True when the range's shape sectors on the disk can all be decoded.
bool has_shape_sectors(const Disk* disk, const ShapeRange* range);

}  // namespace d88info
