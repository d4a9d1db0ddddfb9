// The command line of tilepatch.
#pragma once

#include <cstdint>

#include "disk_type.h"

namespace tilepatch {

inline constexpr int MODE_NONE = -1;        // neither -t nor -D given yet
inline constexpr int MODE_MULTI_DISK = -2;  // -D: up to five disks of one file

// What the command line asks for. The texts point into argv.
struct PatchOptions {
  int mode = MODE_NONE;  // a DiskType, MODE_NONE or MODE_MULTI_DISK
  const char* disk_file = nullptr;
  // One index per DiskType position; the walk stops at the first negative.
  int32_t indexes[DISK_TYPE_COUNT] = {0, -1, -1, -1, -1};
  const char* bitmap_file = nullptr;
  const char* output_file = nullptr;
  bool overwrite = false;
  bool verbose = false;
};

// Takes the arguments from left to right into options, then fills in the
// default disk file. 0 to go on; 1 when the run ends here (after the usage
// text or the one line that names the first error).
int parse_options(int argc, char** argv, PatchOptions* options);

// The shape run for the disk at a position of the walk: zorvan and far haven
// hold the lower shapes, the other disks the upper ones.
const ShapeRange* range_for_position(int mode, int position);

// Writes the usage text to standard output.
void print_usage();

}  // namespace tilepatch
