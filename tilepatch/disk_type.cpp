#include "disk_type.h"

#include <strings.h>

namespace tilepatch {

namespace {

// The short and long -t keyword of each DiskType, matched in any case.
const char* const keywords[DISK_TYPE_COUNT][2] = {
    {"z", "zorvan"},     {"k", "kelmorane"},   {"v", "vesto"},
    {"dh", "duskhollow"}, {"fh", "farhaven"},
};

}  // namespace

const shapes::GameDiskInfo& disk_type_info(int type) {
  return shapes::game_disks[type];
}

int find_disk_type(const char* keyword) {
  for (int type = 0; type < DISK_TYPE_COUNT; ++type) {
    for (const char* known : keywords[type]) {
      if (::strcasecmp(keyword, known) == 0) return type;
    }
  }
  return -1;
}

}  // namespace tilepatch
