// The five game disks that tilepatch knows, in the order of the indexes of
// -D: each fixes the default disk file, the name in messages and the run of
// shapes that the disk holds.
#pragma once

#include "shapes/shapes.h"

namespace tilepatch {

inline constexpr int DISK_TYPE_COUNT = 5;

enum DiskType {
  DISK_ZORVAN = 0,
  DISK_KELMORANE = 1,
  DISK_VESTO = 2,
  DISK_DUSKHOLLOW = 3,
  DISK_FARHAVEN = 4,
};

struct DiskTypeInfo {
  const char* short_keyword;  // for -t, any case
  const char* long_keyword;   // for -t, any case
  const char* name;           // as messages show it
  const char* default_file;
  const ShapeRange* range;
};

// The entry of a DiskType value (0 to DISK_TYPE_COUNT - 1).
const DiskTypeInfo& disk_type_info(int type);

// The DiskType whose keyword equals the text regardless of case, or -1.
int find_disk_type(const char* keyword);

}  // namespace tilepatch
