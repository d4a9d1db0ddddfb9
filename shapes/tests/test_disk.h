// Disks and helpers for the shape codec tests. Disks are built record by
// record so that a test can also remove a sector, give it a wrong size code
// or cut its data short.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "d88/d88.h"
#include "shapes/shapes.h"

// The game disks' geometry: cylinders 0 to 39, heads 0 and 1, records 1 to
// 16 of 256 bytes (size code 1), every data byte set to fill.
inline std::unique_ptr<Disk> make_test_disk(uint8_t fill) {
  auto disk = std::make_unique<Disk>();
  for (int slot = 0; slot < 80; ++slot) {
    Track& track = disk->tracks[slot];
    track.count = 16;
    track.sectors = std::make_unique<Sector[]>(16);
    for (int i = 0; i < 16; ++i) {
      Sector& s = track.sectors[i];
      s.c = static_cast<uint8_t>(slot / 2);
      s.h = static_cast<uint8_t>(slot % 2);
      s.r = static_cast<uint8_t>(i + 1);
      s.n = 1;
      s.sector_count = 16;
      s.size = 256;
      s.data = std::make_unique<uint8_t[]>(256);
      std::memset(s.data.get(), fill, 256);
    }
  }
  return disk;
}

// The sector with this ID, found by scanning the tracks directly.
inline Sector* test_sector(Disk* disk, int c, int h, int r) {
  for (Track& track : disk->tracks) {
    for (int i = 0; track.sectors && i < track.count; ++i) {
      Sector& s = track.sectors[i];
      if (s.c == c && s.h == h && s.r == r) return &s;
    }
  }
  return nullptr;
}

// One sector of a range's walk and how many of its bytes hold shapes.
struct WalkSector {
  int c, h, r;
  int shape_bytes;
};

// The sectors that each range walks, in order.
inline std::vector<WalkSector> walk_of(const ShapeRange* range) {
  struct Run {
    int c, h, first_r, last_r;
  };
  const bool lower = range == &lower_shape_range;
  const std::vector<Run> runs =
      lower ? std::vector<Run>{{0x20, 1, 16, 16}, {0x21, 0, 1, 16}, {0x21, 1, 1, 16},
                               {0x22, 0, 1, 8}}
            : std::vector<Run>{{0x1C, 1, 9, 16}, {0x1D, 0, 1, 16}, {0x1D, 1, 1, 16},
                               {0x1E, 0, 1, 16}, {0x1E, 1, 1, 8}};
  std::vector<WalkSector> walk;
  for (const Run& run : runs) {
    for (int r = run.first_r; r <= run.last_r; ++r) walk.push_back({run.c, run.h, r, 256});
  }
  // The lower run ends 64 bytes into its last sector; the upper shapes come
  // four to a pair of sectors, leaving half of the second empty.
  if (lower) walk.back().shape_bytes = 64;
  for (std::size_t i = 1; !lower && i < walk.size(); i += 2) walk[i].shape_bytes = 128;
  return walk;
}

// "CC/HH/RR" as the codec prints sector IDs.
inline std::string sector_name(int c, int h, int r) {
  char text[16];
  std::snprintf(text, sizeof text, "%02X/%02X/%02X", c, h, r);
  return text;
}

inline std::unique_ptr<ShapeSheet> make_sheet() { return std::make_unique<ShapeSheet>(); }

// Sheet offset of pixel x of row y of a shape.
inline int pixel_offset(int shape, int x, int y) {
  return ((shape / 16) * 16 + y) * SHAPE_SHEET_WIDTH + (shape % 16) * 16 + x;
}
