// Helpers shared by the library's own sources; not part of its interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "d88/d88.h"

namespace d88_detail {

// Length of the disk as the writer lays it out, in 64 bits so that no sum of
// sector sizes can overflow; -1 when a sector has a negative size, which no
// file can hold.
int64_t disk_bytes(const Disk* disk);

// A block of n bytes left uninitialised (every caller fills it at once), or
// null when memory runs out.
inline std::unique_ptr<uint8_t[]> try_make_bytes(std::size_t n) noexcept {
  try {
    return std::make_unique_for_overwrite<uint8_t[]>(n);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace d88_detail
