// "" when two images agree in every field the writer copies unchanged, else
// where they first differ.
#pragma once

#include <cstring>
#include <string>

#include "d88/d88.h"

inline bool d88_same(const Sector& p, const Sector& q) {
  return p.c == q.c && p.h == q.h && p.r == q.r && p.n == q.n &&
         p.density == q.density && p.deleted == q.deleted &&
         p.status == q.status && !std::memcmp(p.reserved, q.reserved, 5) &&
         p.size == q.size && !p.data == !q.data &&
         (!p.data || !std::memcmp(p.data.get(), q.data.get(), p.size));
}

inline std::string d88_difference(const DiskImage& a, const DiskImage& b) {
  if (a.count != b.count) return "disk count";
  int d = 0;
  for (const Disk *x = a.first, *y = b.first; x || y; ++d, x = x->next, y = y->next) {
    const std::string where = "disk " + std::to_string(d);
    if (!x || !y || std::memcmp(x->name, y->name, 17) ||
        std::memcmp(x->reserved, y->reserved, 9) ||
        x->write_protect != y->write_protect || x->disk_type != y->disk_type) {
      return where;
    }
    for (int t = 0; t < D88_TRACK_MAX; ++t) {
      const Track &s = x->tracks[t], &u = y->tracks[t];
      bool same = !s.sectors == !u.sectors && (!s.sectors || s.count == u.count);
      for (int i = 0; same && s.sectors && i < s.count; ++i) {
        same = d88_same(s.sectors[i], u.sectors[i]);
      }
      if (!same) return where + " track " + std::to_string(t);
    }
  }
  return "";
}
