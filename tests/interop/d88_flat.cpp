// d88_flat FILE INDEX: writes to standard output the data of every sector of
// disk INDEX as the project's reader sees it, in cylinder, head, record
// order, to be compared with the flat sector image of another disk tool.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <tuple>
#include <vector>

#include "d88/d88.h"

int main(int argc, char** argv) {
  ScopedDiskImage holder;
  const Disk* disk = nullptr;
  if (argc != 3 || read_d88_image_from_file(&holder.image, argv[1]) < 0 ||
      (disk = get_d88_disk(&holder.image, std::atoi(argv[2]))) == nullptr) {
    return 1;
  }
  std::vector<const Sector*> sectors;
  for (const Track& track : disk->tracks) {
    for (int32_t i = 0; track.sectors && i < track.count; ++i) sectors.push_back(&track.sectors[i]);
  }
  std::stable_sort(sectors.begin(), sectors.end(), [](const Sector* a, const Sector* b) {
    return std::tie(a->c, a->h, a->r) < std::tie(b->c, b->h, b->r);
  });
  for (const Sector* s : sectors) {
    if (s->size > 0) std::fwrite(s->data.get(), 1, static_cast<size_t>(s->size), stdout);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
