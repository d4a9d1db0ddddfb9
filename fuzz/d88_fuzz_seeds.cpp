// Writes the seed corpus of d88_fuzz: small images made with the builder, and
// a few layouts the writer never produces, derived from them byte by byte.
//   d88_fuzz_seeds DIR
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/le.h"
#include "d88/d88.h"

#include "fuzz/seed_files.h"

namespace {

// A disk of `tracks` tracks of three 256-byte sectors; the second track of
// sectors of 256 and 512 bytes, one sector shrunk to 0 bytes.
Disk* small_disk(const char* name, int tracks) {
  Disk* disk = create_d88_disk(name, 0);
  if (disk == nullptr) return nullptr;
  for (int t = tracks; t < D88_TRACK_MAX; ++t) disk->tracks[t] = Track{};
  const uint8_t codes[3] = {1, 2, 1};
  const uint8_t records[3] = {1, 3, 2};
  for (int t = 0; t < tracks; ++t) {
    Track& track = disk->tracks[t];
    const auto c = static_cast<uint8_t>(t / 2);
    const auto h = static_cast<uint8_t>(t % 2);
    track.sectors = t == 1 ? create_d88_custom_sectors(c, h, records, codes, 3, 0)
                           : create_d88_sectors(c, h, 1, 1, 3, 0x40);
    if (!track.sectors) return nullptr;
    track.count = 3;
  }
  if (tracks > 2) {
    Sector& s = disk->tracks[2].sectors[1];
    s.size = 0;
    s.data.reset();
  }
  return disk;
}

Bytes image_bytes(Disk* first) {
  DiskImage image{0, first};
  for (Disk* d = first; d != nullptr; d = d->next) ++image.count;
  std::unique_ptr<uint8_t[]> buffer;
  int32_t length = 0;
  Bytes out;
  if (write_d88_image_to_buffer(&image, &buffer, &length) == 0) {
    out.assign(buffer.get(), buffer.get() + length);
  }
  free_d88_image(&image, 0);
  return out;
}

// The same disk with the 672-byte header: the 16 bytes where slots 160 to 163
// stand are dropped and every offset moves back by 16.
Bytes with_short_header(Bytes b) {
  b.erase(b.begin() + D88_SHORT_HEADER_SIZE, b.begin() + D88_HEADER_SIZE);
  common::le_put32(&b[0x1C], common::le_get32(&b[0x1C]) - 16);
  for (int i = 0; i < 160; ++i) {
    uint8_t* entry = &b[0x20 + 4 * i];
    if (common::le_get32(entry) != 0) common::le_put32(entry, common::le_get32(entry) - 16);
  }
  return b;
}

// The disk with 16 zero bytes added as an empty track in the given slot.
Bytes with_empty_track(Bytes b, int slot) {
  common::le_put32(&b[0x20 + 4 * slot], static_cast<uint32_t>(b.size()));
  b.resize(b.size() + 16, 0);
  common::le_put32(&b[0x1C], static_cast<uint32_t>(b.size()));
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: d88_fuzz_seeds DIR\n");
    return 1;
  }
  const std::string dir = argv[1];
  const Bytes plain = image_bytes(small_disk("PLAIN", 3));
  Disk* pair = small_disk("ONE", 2);
  if (pair != nullptr) pair->next = small_disk("TWO", 1);
  const Bytes two = image_bytes(pair);
  Bytes tail = plain;
  tail.resize(plain.size() + 100, 0x5A);
  const Bytes header_only = image_bytes(small_disk("EMPTY", 0));

  const struct {
    const char* name;
    Bytes bytes;
  } seeds[] = {
      {"plain.d88", plain},
      {"short_header.d88", with_short_header(plain)},
      {"two_disks.d88", two},
      {"tail.d88", tail},
      {"empty_track.d88", with_empty_track(plain, 7)},
      {"header_only.d88", header_only},
  };
  for (const auto& seed : seeds) {
    if (seed.bytes.empty() || !save_seed(dir + "/" + seed.name, seed.bytes)) {
      std::printf("cannot make '%s'\n", seed.name);
      return 1;
    }
  }
  return 0;
}
