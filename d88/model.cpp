// Release, disk lookup, lengths and sector lookup on the in-memory model.
#include <cstdint>
#include <memory>

#include "d88/d88.h"
#include "detail.h"

void free_d88_disk(Disk* disk, int release) {
  if (disk == nullptr) return;
  if (release != 0) {
    // Disks are made by try_make<Disk>() and handed over with release(); the
    // sector arrays and data blocks go with the record.
    std::unique_ptr<Disk> owned(disk);
    return;
  }
  *disk = Disk{};
}

void free_d88_image(DiskImage* image, int release) {
  if (image == nullptr) return;
  // One disk at a time from the head: a file may hold any number of disks,
  // so the list must never be released by recursion.
  while (Disk* disk = image->first) {
    image->first = disk->next;
    disk->next = nullptr;
    free_d88_disk(disk, 1);
  }
  image->count = 0;
  if (release != 0) std::unique_ptr<DiskImage> owned(image);
}

Disk* get_d88_disk(const DiskImage* image, int32_t index) {
  if (image == nullptr || index < 0) return nullptr;
  Disk* disk = image->first;
  for (int32_t i = 0; disk != nullptr && i < index; ++i) disk = disk->next;
  return disk;
}

int64_t d88_detail::disk_bytes(const Disk* disk) {
  int64_t total = D88_HEADER_SIZE;
  for (const Track& track : disk->tracks) {
    if (!track.sectors) continue;
    for (int32_t i = 0; i < track.count; ++i) {
      const int16_t size = track.sectors[i].size;
      if (size < 0) return -1;
      total += D88_SECTOR_HEADER_SIZE + size;
    }
  }
  return total;
}

int32_t get_d88_disk_size(const Disk* disk) {
  if (disk == nullptr) return 0;
  const int64_t bytes = d88_detail::disk_bytes(disk);
  if (bytes < 0 || bytes > INT32_MAX) return -1;
  return static_cast<int32_t>(bytes);
}

int32_t get_d88_image_size(const DiskImage* image) {
  if (image == nullptr) return 0;
  int64_t total = 0;
  const Disk* disk = image->first;
  for (int32_t i = 0; i < image->count && disk != nullptr; ++i) {
    const int64_t bytes = d88_detail::disk_bytes(disk);
    if (bytes < 0) return -1;
    total += bytes;
    // Checked on every step: a long list of large disks must not wrap.
    if (total > INT32_MAX) return -1;
    disk = disk->next;
  }
  return static_cast<int32_t>(total);
}

Track* find_d88_track(const Disk* disk, int c, int h) {
  if (disk == nullptr) return nullptr;
  for (const Track& track : disk->tracks) {
    // The array decides, not the count: a track whose count is 0 still has
    // its first record and is the one found for that cylinder and head.
    if (!track.sectors) continue;
    const Sector& first = track.sectors[0];
    if (first.c == c && first.h == h) return const_cast<Track*>(&track);
  }
  return nullptr;
}

Sector* find_d88_sector(const Disk* disk, int c, int h, int r) {
  const Track* track = find_d88_track(disk, c, h);
  if (track == nullptr) return nullptr;
  for (int32_t i = 0; i < track->count; ++i) {
    if (track->sectors[i].r == r) return &track->sectors[i];
  }
  return nullptr;
}
