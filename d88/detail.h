// Helpers shared by the library's own sources; not part of its interface.
#pragma once

#include <cstdint>

#include "d88/d88.h"

namespace d88_detail {

// Length of the disk as the writer lays it out, in 64 bits so that no sum of
// sector sizes can overflow; -1 when a sector has a negative size, which no
// file can hold.
int64_t disk_bytes(const Disk* disk);

}  // namespace d88_detail
