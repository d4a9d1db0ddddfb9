// The d88info program: lists every disk of one or more D88 image files with
// its index, its header fields, its tracks and sectors and whether the shape
// sectors that tiledump and tilepatch use are there, then tells which
// indexes to pass to those two programs.
//
// Everything is printed to standard output. The program is callable in
// process (d88info_main) so that a harness can run it many times.
#pragma once

#include "d88/d88.h"
#include "shapes/shapes.h"

namespace d88info {

// The whole program. Returns the exit status: 0 when every file was read, 1
// when any file could not be read (the others are still listed), on a
// command-line error and after --help.
int d88info_main(int argc, char** argv);

// Writes the usage text.
void print_d88info_usage();

// Writes the block of lines that describes one disk, headed by its index.
void print_disk_report(const Disk* disk, int index);

// Writes the closing hint for the file at path: which index each disk has
// and how tiledump and tilepatch take them.
void print_index_hint(const char* path, const DiskImage* image);

// True when the range's shape sectors on the disk can all be decoded.
bool has_shape_sectors(const Disk* disk, const ShapeRange* range);

}  // namespace d88info
