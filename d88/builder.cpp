// Freshly formatted disks in memory, in the same form as the reader makes.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/alloc.h"
#include "d88/d88.h"
#include "detail.h"

// disk_type, cylinders, heads, sectors_per_track, head_base, first_record,
// size_code, density
const D88Format d88_formats[D88_FORMAT_COUNT] = {
    {0x00, 40, 2, 16, 0x00, 1, 1, 0x00},  // 0: 256-byte sectors
    {0x10, 80, 2, 8, 0x00, 1, 2, 0x00},   // 1
    {0x10, 80, 2, 9, 0x00, 1, 2, 0x00},   // 2
    {0x20, 77, 2, 8, 0x00, 1, 3, 0x00},   // 3
    {0x20, 80, 2, 8, 0x00, 1, 3, 0x00},   // 4
    {0x20, 80, 2, 9, 0x00, 10, 3, 0x00},  // 5: first sector renumbered 1
    {0x20, 80, 2, 9, 0x80, 1, 3, 0x00},   // 6: first sector on head 0x00
    {0x20, 80, 2, 15, 0x00, 1, 2, 0x00},  // 7
    {0x20, 80, 2, 18, 0x00, 1, 2, 0x00},  // 8
    {0x20, 77, 2, 26, 0x00, 1, 1, 0x00},  // 9
};

namespace {

constexpr uint8_t kFillByte = 0xE5;
constexpr int kNameLength = 16;
constexpr uint8_t kMaxCylinder = 0x51;

bool valid_head(uint8_t h) {
  return h == 0x00 || h == 0x01 || h == 0x80 || h == 0x81;
}

bool valid_size_code(uint8_t n) { return n >= 1 && n <= 6; }

bool valid_density(uint8_t density) {
  return density == 0x00 || density == 0x40;
}

// Fills sector i of a new track; false (after "memory exhaust!") when its
// data block cannot be had.
bool fill_sector(Sector* sector, uint8_t c, uint8_t h, uint8_t r, uint8_t n,
                 int32_t count, uint8_t density) {
  sector->c = c;
  sector->h = h;
  sector->r = r;
  sector->n = n;
  sector->sector_count = static_cast<uint16_t>(count);
  sector->density = density;
  sector->size = static_cast<int16_t>(128 << n);
  sector->data = common::try_make_array_for_overwrite<uint8_t>(static_cast<size_t>(sector->size));
  if (!sector->data) {
    std::puts("memory exhaust!");
    return false;
  }
  std::memset(sector->data.get(), kFillByte, static_cast<size_t>(sector->size));
  return true;
}

void set_name(Disk* disk, const char* name) {
  std::memset(disk->name, ' ', kNameLength);
  if (name != nullptr) {
    const size_t length = strnlen(name, kNameLength);
    std::memcpy(disk->name, name, length);
  }
  disk->name[kNameLength] = '\0';
}

}  // namespace

DiskImage* create_d88_image() {
  std::unique_ptr<DiskImage> image = common::try_make<DiskImage>();
  if (!image) {
    std::puts("memory exhaust!");
    return nullptr;
  }
  return image.release();
}

Disk* create_d88_disk(const char* name, int format) {
  if (format < 0 || format >= D88_FORMAT_COUNT) {
    std::puts("create_d88_disk: illegal parameter");
    return nullptr;
  }
  const D88Format& row = d88_formats[format];
  std::unique_ptr<Disk> disk = common::try_make<Disk>();
  if (!disk) {
    std::puts("memory exhaust!");
    return nullptr;
  }
  set_name(disk.get(), name);
  disk->disk_type = row.disk_type;
  int t = 0;
  for (int32_t cyl = 0; cyl < row.cylinders; ++cyl) {
    for (int32_t head = 0; head < row.heads && t < D88_TRACK_MAX; ++head) {
      Track& track = disk->tracks[t];
      track.sectors = create_d88_sectors(
          static_cast<uint8_t>(cyl), static_cast<uint8_t>(row.head_base + head),
          row.first_record, row.size_code, row.sectors_per_track, row.density);
      if (!track.sectors) {
        std::puts("create sector error");
        return nullptr;
      }
      track.count = row.sectors_per_track;
      if (t == 0 && format == 5) track.sectors[0].r = 1;
      if (t == 0 && format == 6) track.sectors[0].h = 0x00;
      ++t;
    }
  }
  disk->disk_size = get_d88_disk_size(disk.get());
  return disk.release();
}

namespace {

// A zero-filled array of count sectors, or null after "memory exhaust!".
std::unique_ptr<Sector[]> new_sector_array(int32_t count) {
  std::unique_ptr<Sector[]> sectors =
      common::try_make_array<Sector>(static_cast<size_t>(count));
  if (!sectors) std::puts("memory exhaust!");
  return sectors;
}

}  // namespace

std::unique_ptr<Sector[]> create_d88_sectors(uint8_t c, uint8_t h,
                                             uint8_t first_r, uint8_t n,
                                             int32_t count, uint8_t density) {
  if (c > kMaxCylinder || !valid_head(h) || !valid_size_code(n) || count < 1 ||
      !valid_density(density)) {
    std::puts("create_d88_sectors: illegal parameter");
    return nullptr;
  }
  std::unique_ptr<Sector[]> sectors = new_sector_array(count);
  if (!sectors) return nullptr;
  for (int32_t i = 0; i < count; ++i) {
    const auto r = static_cast<uint8_t>(first_r + i);  // wraps past 255
    if (!fill_sector(&sectors[i], c, h, r, n, count, density)) return nullptr;
  }
  return sectors;
}

std::unique_ptr<Sector[]> create_d88_custom_sectors(
    uint8_t c, uint8_t h, const uint8_t* records, const uint8_t* size_codes,
    int32_t count, uint8_t density) {
  bool valid = c <= kMaxCylinder && valid_head(h) && size_codes != nullptr &&
               count >= 1 && valid_density(density);
  for (int32_t i = 0; valid && i < count; ++i) {
    valid = valid_size_code(size_codes[i]);
  }
  if (!valid) {
    std::puts("create_d88_custom_sectors: illegal parameter");
    return nullptr;
  }
  std::unique_ptr<Sector[]> sectors = new_sector_array(count);
  if (!sectors) return nullptr;
  for (int32_t i = 0; i < count; ++i) {
    const auto r = records != nullptr ? records[i] : static_cast<uint8_t>(i + 1);
    if (!fill_sector(&sectors[i], c, h, r, size_codes[i], count, density)) {
      return nullptr;
    }
  }
  return sectors;
}
