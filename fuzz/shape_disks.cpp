#include "fuzz/shape_disks.h"

#include <memory>

#include "common/alloc.h"
#include "samples/sample_disk.h"
#include "shapes/shapes.h"

namespace {

// Orders sector IDs the way the shape walk visits them: cylinder, then
// head, then record.
int64_t walk_key(int c, int h, int r) { return (c * 2 + h) * 256 + r; }

bool in_range(const Sector& s, const ShapeRange& range) {
  const int64_t key = walk_key(s.c, s.h, s.r);
  return key >= walk_key(range.start_c, range.start_h, range.start_r) &&
         key <= walk_key(range.end_c, range.end_h, range.end_r);
}

// Moves the kept sectors of a track into a new array; a track that keeps
// none is removed.
bool trim_track(Track* track, bool lower, bool upper) {
  int32_t kept = 0;
  for (int32_t i = 0; i < track->count; ++i) {
    const Sector& s = track->sectors[i];
    if ((lower && in_range(s, lower_shape_range)) ||
        (upper && in_range(s, upper_shape_range))) {
      ++kept;
    }
  }
  if (kept == 0) {
    *track = Track{};
    return true;
  }
  std::unique_ptr<Sector[]> sectors = common::try_make_array<Sector>(kept);
  if (!sectors) return false;
  int32_t at = 0;
  for (int32_t i = 0; i < track->count; ++i) {
    Sector& s = track->sectors[i];
    if ((lower && in_range(s, lower_shape_range)) ||
        (upper && in_range(s, upper_shape_range))) {
      sectors[at++] = std::move(s);
    }
  }
  track->sectors = std::move(sectors);
  track->count = kept;
  return true;
}

}  // namespace

Disk* make_shape_disk(const char* name, bool lower, bool upper, uint32_t seed) {
  Disk* disk = create_d88_disk(name, 0);
  if (disk == nullptr) return nullptr;
  fill_pseudo_random(disk, seed | 1u);
  for (Track& track : disk->tracks) {
    if (track.sectors && !trim_track(&track, lower, upper)) {
      free_d88_disk(disk, 1);
      return nullptr;
    }
  }
  return disk;
}

std::vector<uint8_t> shape_image_bytes(const std::vector<Disk*>& disks) {
  DiskImage image;
  Disk** tail = &image.first;
  for (Disk* disk : disks) {
    if (disk == nullptr) continue;
    *tail = disk;
    tail = &disk->next;
    ++image.count;
  }
  std::vector<uint8_t> bytes;
  std::unique_ptr<uint8_t[]> buffer;
  int32_t length = 0;
  if (image.count == static_cast<int32_t>(disks.size()) &&
      write_d88_image_to_buffer(&image, &buffer, &length) == 0) {
    bytes.assign(buffer.get(), buffer.get() + length);
  }
  free_d88_image(&image, 0);
  return bytes;
}

std::vector<uint8_t> shape_pair_image() {
  return shape_image_bytes({make_shape_disk("SHAPES LOWER", true, false, 1),
                            make_shape_disk("SHAPES UPPER", false, true, 2)});
}
