#include "samples/sample_disk.h"

void fill_pseudo_random(Disk* disk, uint32_t seed) {
  uint32_t state = seed != 0 ? seed : 1u;  // the generator sticks at zero
  for (Track& track : disk->tracks) {
    for (int32_t i = 0; track.sectors && i < track.count; ++i) {
      Sector& sector = track.sectors[i];
      for (int16_t k = 0; k < sector.size; ++k) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        sector.data[k] = static_cast<uint8_t>(state >> 24);
      }
    }
  }
}
