#include <cstdint>
#include <cstdio>
#include <map>
#include <new>

#include "report.h"
#include "shapes/game_disks.h"

namespace d88info {

namespace {

// Sector sizes beyond this many are only counted, so that one odd disk
// cannot make a line of any length.
constexpr int kSizesShown = 4;

struct SectorTally {
  int32_t tracks = 0;
  int64_t sectors = 0;
  std::map<int32_t, int64_t> sizes;  // data bytes -> sectors of that size
  bool complete = true;              // false when the map ran out of memory
};

SectorTally tally_sectors(const Disk* disk) {
  SectorTally tally;
  for (const Track& track : disk->tracks) {
    if (!track.sectors) continue;
    ++tally.tracks;
    for (int32_t i = 0; i < track.count; ++i) {
      ++tally.sectors;
      try {
        ++tally.sizes[track.sectors[i].size];
      } catch (const std::bad_alloc&) {
        tally.complete = false;
      }
    }
  }
  return tally;
}

void print_label(const char* label) { std::printf("  %-16s", label); }

// The name as text that is safe on a terminal: the header's bytes up to the
// NUL, trailing blanks dropped, anything unprintable as \xNN.
void print_name(const Disk* disk) {
  int length = 0;
  while (length < 16 && disk->name[length] != '\0') ++length;
  while (length > 0 && disk->name[length - 1] == ' ') --length;
  std::putchar('"');
  for (int i = 0; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(disk->name[i]);
    if (byte < 0x20 || byte > 0x7E || byte == '"' || byte == '\\') {
      std::printf("\\x%02X", byte);
    } else {
      std::putchar(byte);
    }
  }
  std::putchar('"');
}

const char* media_name(uint8_t type) {
  switch (type) {
    case 0x00: return "2D";
    case 0x10: return "2DD";
    case 0x20: return "2HD";
    default: return "unknown";
  }
}

void print_sizes(const SectorTally& tally) {
  print_label("sector sizes");
  if (!tally.complete) {
    std::puts("? (memory exhausted)");
    return;
  }
  if (tally.sizes.empty()) std::fputs("none", stdout);
  int shown = 0;
  for (const auto& [bytes, count] : tally.sizes) {
    if (shown == kSizesShown) {
      const size_t rest = tally.sizes.size() - kSizesShown;
      std::printf(", and %zu other size%s", rest, rest == 1 ? "" : "s");
      break;
    }
    std::printf("%s%d x %lld", shown == 0 ? "" : ", ", static_cast<int>(bytes),
                static_cast<long long>(count));
    ++shown;
  }
  std::putchar('\n');
}

// "ok", or which sector of the walk is missing or unusable and why.
void print_shape_check(const Disk* disk, const ShapeRange* range,
                       const char* label, const char* disks) {
  print_label(label);
  int c = 0;
  int h = 0;
  int r = 0;
  if (shapes::check_shape_sectors(disk, range, &c, &h, &r) == 0) {
    std::printf("ok (%s)\n", disks);
    return;
  }
  const Sector* sector = find_d88_sector(disk, c, h, r);
  if (sector == nullptr) {
    std::printf("missing sector %02X/%02X/%02X (%s)\n", c, h, r, disks);
  } else {
    std::printf("bad sector %02X/%02X/%02X: size code %d, %d bytes (%s)\n", c,
                h, r, sector->n, static_cast<int>(sector->size), disks);
  }
}

}  // namespace

bool has_shape_sectors(const Disk* disk, const ShapeRange* range) {
  return shapes::check_shape_sectors(disk, range, nullptr, nullptr, nullptr) == 0;
}

void print_disk_report(const Disk* disk, int index) {
  std::printf("disk %d  ", index);
  print_name(disk);
  std::putchar('\n');
  print_label("write protect");
  std::printf("%s\n", disk->write_protect != 0 ? "yes" : "no");
  print_label("media type");
  std::printf("%s (0x%02X)\n", media_name(disk->disk_type), disk->disk_type);
  print_label("disk size");
  std::printf("%d bytes\n", static_cast<int>(disk->disk_size));
  const SectorTally tally = tally_sectors(disk);
  print_label("tracks");
  std::printf("%d\n", static_cast<int>(tally.tracks));
  print_label("sectors");
  std::printf("%lld\n", static_cast<long long>(tally.sectors));
  print_sizes(tally);
  print_shape_check(disk, &lower_shape_range, "shapes 0-127",
                    shapes::lower_range_disks);
  print_shape_check(disk, &upper_shape_range, "shapes 128-255",
                    shapes::upper_range_disks);
}

}  // namespace d88info
