// d88_flat FILE INDEX OUTPUT: writes the data of every sector of disk INDEX
// of a D88 file, as the project's reader sees it, one after another in
// cylinder, head, record order, so that it can be compared byte for byte
// with the flat sector image that another disk tool makes of the same disk.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/file_ptr.h"
#include "d88/d88.h"

namespace {

bool before(const Sector* a, const Sector* b) {
  if (a->c != b->c) return a->c < b->c;
  if (a->h != b->h) return a->h < b->h;
  return a->r < b->r;
}

std::vector<const Sector*> sectors_in_chr_order(const Disk* disk) {
  std::vector<const Sector*> sectors;
  for (const Track& track : disk->tracks) {
    if (!track.sectors) continue;
    for (int32_t i = 0; i < track.count; ++i) {
      sectors.push_back(&track.sectors[i]);
    }
  }
  std::stable_sort(sectors.begin(), sectors.end(), before);
  return sectors;
}

int write_sectors(const std::vector<const Sector*>& sectors, const char* path) {
  common::FilePtr out = common::open_file(path, "wb");
  if (!out) {
    std::printf("error: open '%s'\n", path);
    return 1;
  }
  for (const Sector* sector : sectors) {
    if (sector->size <= 0) continue;
    const auto size = static_cast<size_t>(sector->size);
    if (std::fwrite(sector->data.get(), 1, size, out.get()) != size) {
      std::printf("error: write '%s'\n", path);
      return 1;
    }
  }
  if (std::fclose(out.release()) != 0) {
    std::printf("error: write '%s'\n", path);
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::puts("usage: d88_flat FILE INDEX OUTPUT");
    return 1;
  }
  ScopedDiskImage holder;
  if (read_d88_image_from_file(&holder.image, argv[1]) < 0) {
    std::printf("error: read d88 image '%s'\n", argv[1]);
    return 1;
  }
  const Disk* disk =
      get_d88_disk(&holder.image, static_cast<int32_t>(std::atoi(argv[2])));
  if (disk == nullptr) {
    std::printf("error: no disk %s in '%s'\n", argv[2], argv[1]);
    return 1;
  }
  const std::vector<const Sector*> sectors = sectors_in_chr_order(disk);
  if (write_sectors(sectors, argv[3]) != 0) return 1;
  std::printf("%zu sectors\n", sectors.size());
  return 0;
}
