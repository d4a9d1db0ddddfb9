// Compares two models as the writer sees them: every field that is written
// back unchanged. The fields it works out anew (disk_size, track_offsets and
// each sector's own count) are left out.
#pragma once

#include <cstring>
#include <string>

#include "d88/d88.h"

// "" when equal, else where the first difference lies.
inline std::string d88_difference(const Sector& a, const Sector& b) {
  if (a.c != b.c || a.h != b.h || a.r != b.r || a.n != b.n) return "id";
  if (a.density != b.density || a.deleted != b.deleted ||
      a.status != b.status ||
      std::memcmp(a.reserved, b.reserved, sizeof a.reserved) != 0) {
    return "flags";
  }
  if (a.size != b.size || !a.data != !b.data) return "size";
  if (a.data && std::memcmp(a.data.get(), b.data.get(),
                            static_cast<size_t>(a.size)) != 0) {
    return "data";
  }
  return "";
}

inline std::string d88_difference(const Disk& a, const Disk& b) {
  if (std::memcmp(a.name, b.name, sizeof a.name) != 0 ||
      std::memcmp(a.reserved, b.reserved, sizeof a.reserved) != 0 ||
      a.write_protect != b.write_protect || a.disk_type != b.disk_type) {
    return "header";
  }
  for (int t = 0; t < D88_TRACK_MAX; ++t) {
    const Track& x = a.tracks[t];
    const Track& y = b.tracks[t];
    const std::string where = "track " + std::to_string(t);
    if (!x.sectors != !y.sectors) return where + " presence";
    if (!x.sectors) continue;
    if (x.count != y.count) return where + " count";
    for (int i = 0; i < x.count; ++i) {
      const std::string d = d88_difference(x.sectors[i], y.sectors[i]);
      if (!d.empty()) return where + " sector " + std::to_string(i) + " " + d;
    }
  }
  return "";
}

inline std::string d88_difference(const DiskImage& a, const DiskImage& b) {
  if (a.count != b.count) return "disk count";
  const Disk* x = a.first;
  const Disk* y = b.first;
  for (int i = 0; x != nullptr || y != nullptr; ++i) {
    if (x == nullptr || y == nullptr) return "list length";
    const std::string d = d88_difference(*x, *y);
    if (!d.empty()) return "disk " + std::to_string(i) + " " + d;
    x = x->next;
    y = y->next;
  }
  return "";
}
