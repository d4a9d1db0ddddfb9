#include "disk_type.h"

#include <strings.h>

namespace tilepatch {

namespace {

const DiskTypeInfo disk_types[DISK_TYPE_COUNT] = {
    {"z", "zorvan", "zorvan", "kq-zorvan.d88", &lower_shape_range},
    {"k", "kelmorane", "kelmorane", "kq-kelmorane.d88", &upper_shape_range},
    {"v", "vesto", "vesto", "kq-vesto.d88", &upper_shape_range},
    {"dh", "duskhollow", "duskhollow", "kq-duskhollow.d88", &upper_shape_range},
    {"fh", "farhaven", "far haven", "kq-farhaven.d88", &lower_shape_range},
};

}  // namespace

const DiskTypeInfo& disk_type_info(int type) { return disk_types[type]; }

int find_disk_type(const char* keyword) {
  for (int type = 0; type < DISK_TYPE_COUNT; ++type) {
    const DiskTypeInfo& info = disk_types[type];
    if (::strcasecmp(keyword, info.short_keyword) == 0 ||
        ::strcasecmp(keyword, info.long_keyword) == 0) {
      return type;
    }
  }
  return -1;
}

}  // namespace tilepatch
