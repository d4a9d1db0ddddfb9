#include "shapes/tests/test_disk.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int CYLINDERS = 40;
constexpr int HEADS = 2;
constexpr int RECORDS = 16;
constexpr int SECTOR_BYTES = 256;

void add_track(std::vector<WalkSector>* walk, int c, int h, int first_r,
               int last_r) {
  for (int r = first_r; r <= last_r; ++r) {
    walk->push_back({c, h, r, SECTOR_BYTES});
  }
}

}  // namespace

std::unique_ptr<Disk> make_test_disk(uint8_t fill) {
  auto disk = std::make_unique<Disk>();
  for (int slot = 0; slot < CYLINDERS * HEADS; ++slot) {
    Track& track = disk->tracks[slot];
    track.count = RECORDS;
    track.sectors = std::make_unique<Sector[]>(RECORDS);
    for (int i = 0; i < RECORDS; ++i) {
      Sector& sector = track.sectors[i];
      sector.c = static_cast<uint8_t>(slot / HEADS);
      sector.h = static_cast<uint8_t>(slot % HEADS);
      sector.r = static_cast<uint8_t>(i + 1);
      sector.n = 1;
      sector.sector_count = RECORDS;
      sector.size = SECTOR_BYTES;
      sector.data = std::make_unique<uint8_t[]>(SECTOR_BYTES);
      std::memset(sector.data.get(), fill, SECTOR_BYTES);
    }
  }
  return disk;
}

Sector* test_sector(Disk* disk, int c, int h, int r) {
  for (Track& track : disk->tracks) {
    for (int i = 0; track.sectors && i < track.count; ++i) {
      Sector& sector = track.sectors[i];
      if (sector.c == c && sector.h == h && sector.r == r) return &sector;
    }
  }
  return nullptr;
}

std::vector<WalkSector> lower_walk() {
  std::vector<WalkSector> walk;
  add_track(&walk, 0x20, 1, 0x10, 0x10);
  add_track(&walk, 0x21, 0, 1, 16);
  add_track(&walk, 0x21, 1, 1, 16);
  add_track(&walk, 0x22, 0, 1, 8);
  walk.back().shape_bytes = 64;
  return walk;
}

std::vector<WalkSector> upper_walk() {
  std::vector<WalkSector> walk;
  add_track(&walk, 0x1C, 1, 9, 16);
  add_track(&walk, 0x1D, 0, 1, 16);
  add_track(&walk, 0x1D, 1, 1, 16);
  add_track(&walk, 0x1E, 0, 1, 16);
  add_track(&walk, 0x1E, 1, 1, 8);
  for (size_t i = 1; i < walk.size(); i += 2) walk[i].shape_bytes = 128;
  return walk;
}

std::string sector_name(int c, int h, int r) {
  char text[16];
  std::snprintf(text, sizeof text, "%02X/%02X/%02X", c, h, r);
  return text;
}

std::unique_ptr<ShapeSheet> make_sheet() {
  return std::make_unique<ShapeSheet>();
}

int pixel_offset(int shape, int x, int y) {
  return ((shape / 16) * 16 + y) * SHAPE_SHEET_WIDTH + (shape % 16) * 16 + x;
}
