// Writes the seed corpora of tiledump_fuzz and tilepatch_fuzz: two-disk D88
// images cut down to the shape sectors, one that works and some that fail in
// different places, plus (for tilepatch_fuzz) two shapes bitmaps.
//   shape_disk_fuzz_seeds TILEDUMP_DIR TILEPATCH_DIR
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "d88/d88.h"
#include "fuzz/shape_disks.h"
#include "shapes/shapes.h"

#include "fuzz/seed_files.h"

namespace {

Disk* lower_disk() { return make_shape_disk("SHAPES LOWER", true, false, 1); }
Disk* upper_disk() { return make_shape_disk("SHAPES UPPER", false, true, 2); }

// The pair with one sector of the upper disk's walk changed by change.
template <class Change>
Bytes pair_with(int c, int h, int r, Change change) {
  Disk* upper = upper_disk();
  Sector* sector = upper != nullptr ? find_d88_sector(upper, c, h, r) : nullptr;
  if (sector != nullptr) change(sector);
  return shape_image_bytes({lower_disk(), upper});
}

Bytes sheet_bitmap(uint16_t bits) {
  static uint8_t pixels[SHAPE_SHEET_BYTES];
  for (int i = 0; i < SHAPE_SHEET_BYTES; ++i) {
    pixels[i] = static_cast<uint8_t>((i / 16 + i / 4096) % (bits == 1 ? 2 : 8));
  }
  return encode_bitmap(256, 256, bits, shape_palette, pixels);
}

struct Seed {
  std::string name;
  Bytes bytes;
};

std::vector<Seed> disk_seeds() {
  const Bytes pair = shape_pair_image();
  Bytes cut = pair;
  cut.resize(cut.size() / 2);
  return {
      {"pair.d88", pair},
      {"one_disk.d88",
       shape_image_bytes({make_shape_disk("SHAPES BOTH", true, true, 3)})},
      {"swapped.d88", shape_image_bytes({upper_disk(), lower_disk()})},
      {"size_code.d88",
       pair_with(0x1D, 1, 5, [](Sector* s) { s->n = 2; })},
      {"short_sector.d88",
       pair_with(0x1E, 0, 16, [](Sector* s) { s->size = 128; })},
      {"missing_sector.d88",
       pair_with(0x1C, 1, 12, [](Sector* s) { s->r = 0x42; })},
      {"cut.d88", cut},
  };
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::printf("usage: shape_disk_fuzz_seeds TILEDUMP_DIR TILEPATCH_DIR\n");
    return 1;
  }
  std::vector<Seed> seeds = disk_seeds();
  for (const Seed& seed : seeds) {
    for (int dir = 1; dir <= 2; ++dir) {
      if (!save_seed(std::string(argv[dir]) + "/" + seed.name, seed.bytes)) {
        std::printf("cannot make '%s'\n", seed.name.c_str());
        return 1;
      }
    }
  }
  const Seed bitmaps[] = {{"shapes_4bit.bmp", sheet_bitmap(4)},
                          {"shapes_1bit.bmp", sheet_bitmap(1)}};
  for (const Seed& seed : bitmaps) {
    if (!save_seed(std::string(argv[2]) + "/" + seed.name, seed.bytes)) {
      std::printf("cannot make '%s'\n", seed.name.c_str());
      return 1;
    }
  }
  return 0;
}
