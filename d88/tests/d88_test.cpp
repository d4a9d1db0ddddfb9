#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include "d88/d88.h"
#include "support/run_program.h"

namespace {

#define CALL(...) [&] { return static_cast<int>(__VA_ARGS__); }

// Records 1..n of cylinder c, head h, of size bytes each; every other field and the data hold values of their own.
Bytes track_bytes(uint8_t c, uint8_t h, int n, uint16_t size = 256) {
  Bytes out;
  for (int i = 0; i < n; ++i) {
    Bytes s(16u + size, static_cast<uint8_t>(0x41 + c * 16 + i));
    for (uint8_t k = 6; k < 14; ++k) s[k] = static_cast<uint8_t>(s[k] + k);
    out = out + with(with(with(s, 0, c | h << 8 | (i + 1) << 16 | 1 << 24), 4, n, 2), 14, size, 2);
  }
  return out;
}

// A disk: a header of this length, reserved bytes 1 to 9, then the pieces in order, each at its slot (-1: loose bytes).
Bytes raw_disk(const char* name, int header = 688, const std::vector<std::pair<int, Bytes>>& pieces = {}) {
  Bytes b(static_cast<size_t>(header), 0);
  std::memcpy(b.data(), name, std::strlen(name));
  for (uint8_t i = 1; i <= 9; ++i) b[0x10 + i] = i;
  for (const auto& [slot, bytes] : pieces) {
    if (slot >= 0) b = with(b, 0x20 + 4u * slot, static_cast<uint32_t>(b.size()));
    b = b + bytes;
  }
  return with(b, 0x1C, static_cast<uint32_t>(b.size()));
}

// Slots 0 and 1 (at 0x2B0 and 0x4D0) of cylinder 0, two sectors each.
const Bytes p = raw_disk("DISK", 688, {{0, track_bytes(0, 0, 2)}, {1, track_bytes(0, 1, 2)}});

struct Image : DiskImage {
  ~Image() { free_d88_image(this, 0); }
};

int read_bytes(DiskImage* image, const Bytes& b) { return read_d88_image_from_buffer(image, b.data(), int32_t(b.size())); }

std::string text(const Bytes& b) { return std::string(b.begin(), b.end()); }

// The writer's layout of the image, as text for short failure reports.
std::string written(const DiskImage& image) {
  std::unique_ptr<uint8_t[]> buffer;
  int32_t length = -1;
  return write_d88_image_to_buffer(&image, &buffer, &length) != 0 ? "" : std::string(buffer.get(), buffer.get() + length);
}

void check(const std::vector<std::pair<std::function<int()>, Outcome>>& calls) {
  for (size_t i = 0; i < calls.size(); ++i) EXPECT_EQ(outcome(calls[i].first), calls[i].second) << "call " << i;
}

// The reader's result and lines, and the layout of what it read; a failed read keeps nothing.
using Reading = std::tuple<int, std::string, std::string>;
Reading reading(const Bytes& b) {
  Image image;
  const auto [result, out] = outcome([&] { return read_bytes(&image, b); });
  EXPECT_EQ(result < 0, image.first == nullptr && image.count == 0);
  return {result, out, written(image)};
}

Reading refused(const std::string& lines) { return {-1, lines + "read disk 1 error\n", ""}; }

TEST(D88, ReadsStrictlyAndLaysOutAgain) {
  const Bytes p688 = raw_disk("E"), at672 = with(track_bytes(1, 0, 1), 0, 0xDEADBEEF);
  const Bytes t0 = track_bytes(0, 0, 1, 128), t1 = track_bytes(1, 0, 3, 0), t2 = track_bytes(2, 0, 2, 1);
  const Bytes kept = with(with(p, 0x1A, 0x10, 1), 0x1B, 0x20, 1) + with(p, 0x1B, 0x10, 1);
  const std::string t = "read track 0 error [DISK]\n", bad = "read_d88_sector_from_buffer: illegal parameter\n";
  const std::pair<Bytes, Reading> rows[] = {
      // The writer's layout: tracks in slot order, a full header, no loose bytes, every count field the track's own.
      {p + kept, {3, "", text(p + kept)}},
      {raw_disk("SHORT", 672, {{159, at672}}), {1, "", text(raw_disk("SHORT", 688, {{159, at672}}))}},
      {raw_disk("D", 688, {{1, t1}, {-1, Bytes(40, 7)}, {2, Bytes(16)}, {0, t0}, {3, t2}}),
       {1, "", text(raw_disk("D", 688, {{0, t0}, {1, t1}, {3, t2}}))}},
      {with(p, 0x5E0 + 4, 0x1234, 2) + Bytes(687, 1), {1, "data size too short ... garbage? ... ignored\n", text(p)}},
      // Refusals, each with its chain of lines.
      {p + with(p, 0x1C, 671), {-1, "illegal data: [DISK] disk size = 0x0000029F\nread disk 2 error\n", ""}},
      {with(p, 0x1A, 1, 1), refused("illegal data: [DISK] write protect flag = 0x01\n")},
      {with(p, 0x1B, 0x30, 1), refused("illegal data: [DISK] disk type = 0x30\n")},
      {with(p, 0x20, 0x6F0), refused("illegal data: [DISK] track 0 offset = 0x000006F0\n")},
      {with(p688, 0x20 + 4 * 161, 0x2A0), refused("illegal data: [E] track 161 offset = 0x000002A0\n")},
      {with(p, 0x20 + 4 * 163, 0x6F0), refused("illegal data: [DISK] track 163 offset = 0x000006F0\n")},
      {with(with(p, 0x2B4, 0, 2), 0x2B0, 1, 1), refused("illegal data: # of sectors = 0\n" + t)},
      {raw_disk("Z", 688, {{0, Bytes(15)}}) + raw_disk(""),  // zeros to the end of the next disk's name
       refused("data error: data size(0x000002BF) < offset(0x000002B0)\nread sector 0 error\nread track 0 error [Z]\n")},
      {with(p, 0x3C0 + 14, 0x101, 2), refused("data error: data size(0x000004D0) < offset(0x000003C0) + 0x10 + "
                                              "sector size(0x0101)\nread sector 1 error\n" + t)},
      {with(p, 0x3C0 + 14, 0x8000, 2), refused("illegal data: sector size = 0x8000\nread sector 1 error\n" + t)},
      // More sectors than the space up to the next track holds.
      {raw_disk("W", 688, {{163, with(t1, 4, 4, 2)}, {4, t0}}),
       refused(bad + "read sector 3 error\nread track 163 error [W]\n")},
      {raw_disk("DISK", 688, {{0, with(track_bytes(0, 0, 2), 4, 3, 2)}, {-1, Bytes(8)}, {1, track_bytes(0, 1, 2)}}),
       refused("data error: data size(0x000004D8) < offset(0x000004D0)\nread sector 2 error\n" + t)}};
  for (const auto& [in, expected] : rows) EXPECT_EQ(reading(in), expected);
  Image image;  // what the writer does not show
  ASSERT_EQ(read_bytes(&image, with(p, 0x5E0 + 4, 9, 2) + raw_disk("Z", 688, {{0, t1}})), 2);
  const Disk& first = *image.first;
  EXPECT_EQ(std::tuple(first.tracks[1].sectors[1].sector_count, first.disk_size, first.track_offsets[1]),
            std::tuple(uint16_t{9}, 0x6F0, 0x4D0u));
}

// Each entry point refuses what it cannot take; records are read into as they stand, so an earlier call's leftovers go.
TEST(D88, ReaderEntryPointsAndFiles) {
  const uint8_t* b = p.data();
  const Bytes empty = raw_disk("E"), short_table = raw_disk("S", 672) + Bytes(4, 1), ones = Bytes(2, 1) + Bytes(32);
  Image image;
  Sector s;
  Track t;
  Disk d;
  DiskImage stale = {5, &d};
  TempDir dir;
  const std::string none = dir / "none", blank = dir / "blank", huge = dir / "huge", junk = dir / "junk", one = dir / "1";
  write_file(blank, "");
  write_file(huge, "");
  ASSERT_EQ(::truncate(huge.c_str(), off_t{1} << 31), 0);  // no blocks
  write_file(junk, std::string(700, 'J'));
  write_file(one, "J");
  write_file(dir / "disks", text(p + p + p + p + p));  // pages of the buffer go back as it is read
  const auto from = [&](const std::string& path) {
    return [&image, path] { return free_d88_image(&image, 0), read_d88_image_from_file(&image, path.c_str()); };
  };
  const auto sector = read_d88_sector_from_buffer;
  const auto track = read_d88_track_from_buffer;
  const auto disk = read_d88_disk_from_buffer;
  const auto bad = [](const std::string& f) { return Outcome(-1, "read_d88_" + f + ": illegal parameter\n"); };
  const Outcome sectors = bad("sector_from_buffer"), tracks = bad("track_from_buffer"), disks = bad("disk_from_buffer");
  check({{CALL(sector(nullptr, b, 1, 17)), sectors}, {CALL(sector(&s, nullptr, 1, 17)), sectors},
         {CALL(sector(&s, b, 0, 17)), sectors}, {CALL(sector(&s, b, 17, 17)), sectors},
         {CALL(sector(&s, b, 0x2B0, 0x3C0)), {0, ""}},
         {CALL(sector(&s, b, 1, 17) - (s.data != nullptr)), {0, ""}},  // the name's bytes: size 0
         {CALL(track(nullptr, b, 1, 17)), tracks}, {CALL(track(&t, b, 0, 17)), tracks}, {CALL(track(&t, b, 17, 17)), tracks},
         {CALL(track(&t, b, 0x2B0, 0x4D0) - (t.count != 2)), {0, ""}},
         {CALL(track(&t, ones.data() + 1, 1, 17) - (t.sectors != nullptr)), {0, ""}},  // zeros from the offset on
         {CALL(track(&t, b, 0x2B0, 0x3C0) - 10 * (t.sectors != nullptr)), {-1, sectors.second + "read sector 1 error\n"}},
         {CALL(disk(nullptr, b, 688)), disks}, {CALL(disk(&d, b, 0)), disks},
         {CALL(disk(&d, b, 1)), {-1, "illegal data: [D] disk size = 0x00000000\n"}}, {CALL(disk(&d, b, 0x6F0)), {0, ""}},
         {CALL(disk(&d, short_table.data(), 676)), {0, ""}},  // 160 slots and no more
         {CALL(disk(&d, empty.data(), 688) - (d.tracks[0].sectors != nullptr)), {0, ""}},
         {CALL(read_d88_image_from_buffer(nullptr, b, 688)), bad("image_from_buffer")},
         {CALL(read_d88_image_from_buffer(&image, b, 0)), bad("image_from_buffer")},
         {CALL(read_d88_image_from_file(&image, nullptr)), bad("image_from_file")},
         {from(none), {-1, "open error '" + none + "'\n"}}, {from(dir.path()), {-1, "not a regular file '" + dir.path() + "'\n"}},
         {from(blank), {-1, "read error '" + blank + "'\n"}}, {from(huge), {-1, "file too large '" + huge + "'\n"}},
         {from(junk), {-1, "illegal data: [JJJJJJJJJJJJJJJJJ] disk size = 0x4A4A4A4A\nread disk 1 error\n"
                           "read image data error '" + junk + "'\n"}},
         {[&] { const int disks = read_d88_image_from_file(&stale, one.c_str()); return disks - 10 * (stale.first != nullptr); },
          {0, "data size too short ... garbage? ... ignored\n"}},
         {from(dir / "disks"), {5, ""}}});
  // A file that cannot be measured or sought is not read.
  const std::pair got(outcome(CALL(refusing(SYS_newfstatat, from(blank)))), outcome(CALL(refusing(SYS_lseek, from(junk)))));
  EXPECT_TRUE(got.first.first == NO_FILTERS || got == std::pair(Outcome(255, "read error '" + blank + "'\n"),
                                                                  Outcome(255, "seek error(SEEK_END) '" + junk + "'\n")));
}

TEST(D88, WriterEntryPointsAndFiles) {
  TempDir dir;
  Image image, big, none;
  ASSERT_EQ(read_bytes(&image, raw_disk("E") + p + p), 3);
  Disk *disk = image.first->next, *last = disk->next;  // the longest is not the first
  last->tracks[0].sectors[0].data.reset();  // zeros, whatever the disk before left
  big.first = create_d88_disk("BIG", 0), big.count = 1;
  Disk mid;  // 11024 bytes: what is left in the stream's buffer fails at the commit
  mid.tracks[0].sectors = create_d88_sectors(0, 0, 1, 1, 38, 0), mid.tracks[0].count = 38;
  Bytes place(0x6F0, 0xAA), zeroed = p;
  std::fill_n(zeroed.begin() + 0x2C0, 256, 0);
  uint8_t* end = nullptr;
  std::unique_ptr<uint8_t[]> buffer;
  int32_t length = -1;
  const std::string all = dir / "all", one = dir / "one", old = dir / "old", empty = dir / "empty", no = dir / "no/x";
  write_file(old, "old");
  const auto bad = [](const std::string& f) { return Outcome(-1, "write_d88_" + f + ": illegal parameter\n"); };
  const std::string too_large = "write_d88_image_to_buffer: image size out of range\n";
  check({{CALL(write_d88_disk_to_buffer(nullptr, place.data(), &end, 0x6F0)), bad("disk_to_buffer")},
         {CALL(write_d88_disk_to_buffer(disk, place.data(), nullptr, 0x6F0)), bad("disk_to_buffer")},
         {CALL(write_d88_disk_to_buffer(disk, place.data(), &end, 0x6EF)),
          {-1, "write d88 disk: buffer size error: 1775 < 1776\n"}},
         {CALL(write_d88_disk_to_buffer(disk, place.data(), &end, 0x6F0) - (end != &*place.end())), {0, ""}},
         {CALL(write_d88_image_to_buffer(nullptr, &buffer, &length)), bad("image_to_buffer")},
         {CALL(write_d88_image_to_buffer(&image, &buffer, nullptr)), {0, ""}},
         {CALL(write_d88_image_to_file(&image, nullptr)), bad("image_to_file")},
         {CALL(write_d88_image_to_file(nullptr, one.c_str())),
          {-1, bad("image_to_buffer").second + "write image data error '" + one + "'\n"}},
         {CALL(write_d88_disk_to_file(nullptr, one.c_str())), bad("disk_to_file")},
         {CALL(write_d88_image_to_file(&image, no.c_str())), {-1, "open error '" + no + "'\n"}},
         {CALL(++image.count, write_d88_image_to_file(&image, all.c_str())), {0, ""}},  // more than the list
         {CALL(write_d88_image_to_file(&none, empty.c_str())), {0, ""}},
         {CALL(write_d88_image_to_buffer(&none, &buffer, &length) - 10 * length), {0, ""}},
         {CALL(with_file_limit([&] { return write_d88_image_to_file(&big, old.c_str()); })),
          {255, "write error '" + old + "'\n"}},
         {CALL(with_file_limit([&] { return write_d88_disk_to_file(&mid, old.c_str()); })), {255, "write error '" + old + "'\n"}},
         // A sector of negative size: no file can hold the disk.
         {CALL(--image.count, last->tracks[0].sectors[0].size = -1, write_d88_disk_to_buffer(last, place.data(), &end, 0x6F0)),
          {-1, "write_d88_disk_to_buffer: disk size out of range\n"}},
         {CALL(write_d88_disk_to_file(disk, one.c_str())), {0, ""}},  // this one alone
         {CALL(write_d88_image_to_buffer(&image, &buffer, &length) - 10 * (buffer != nullptr) - 100 * length), {-1, too_large}},
         {CALL(write_d88_image_to_file(&image, old.c_str())), {-1, too_large + "write image data error '" + old + "'\n"}}});
  EXPECT_TRUE(read_file(all) == text(raw_disk("E") + p + zeroed) && read_file(one) == text(p));
}

// A sector's ID, size code, count, density, size and first and last bytes.
std::string describe(const Sector& s) {
  char line[64];
  std::snprintf(line, sizeof line, "%02X/%02X/%02X n%d c%d d%02X %d %02X..%02X", s.c, s.h, s.r, s.n, s.sector_count,
                s.density, s.size, s.data[0], s.data[s.size - 1]);
  return line;
}

// Per format: type, size, then track 0's first two sectors, track 1's first and the last track's last (the first record
// of formats 5 and 6 is odd).
TEST(D88, BuildsFormattedDisksAndSectors) {
  const char* const formats[D88_FORMAT_COUNT] = {
      "00 348848 00/00/01 00/00/02 00/01/01 27/01/10", "10 676528 00/00/01 00/00/02 00/01/01 4F/01/08",
      "10 761008 00/00/01 00/00/02 00/01/01 4F/01/09", "20 1281968 00/00/01 00/00/02 00/01/01 4C/01/08",
      "20 1331888 00/00/01 00/00/02 00/01/01 4F/01/08", "20 1498288 00/00/01 00/00/0B 00/01/0A 4F/01/12",
      "20 1498288 00/00/01 00/80/02 00/81/01 4F/81/09", "20 1267888 00/00/01 00/00/02 00/01/01 4F/01/0F",
      "20 1521328 00/00/01 00/00/02 00/01/01 4F/01/12", "20 1089776 00/00/01 00/00/02 00/01/01 4C/01/1A"};
  const auto id = [](const Sector& s) { return " " + describe(s).substr(0, 8); };
  for (int f = 0; f < D88_FORMAT_COUNT; ++f) {
    const std::unique_ptr<Disk> disk(create_d88_disk("ABC", f));
    int tracks = 0;
    while (tracks < D88_TRACK_MAX && disk->tracks[tracks].sectors) ++tracks;
    const Track &t0 = disk->tracks[0], &last = disk->tracks[tracks - 1];
    char head[16];
    std::snprintf(head, sizeof head, "%02X %d", disk->disk_type, disk->disk_size);
    EXPECT_EQ(head + id(t0.sectors[0]) + id(t0.sectors[1]) + id(disk->tracks[1].sectors[0]) + id(last.sectors[last.count - 1]),
              formats[f]);
    EXPECT_EQ(std::string(disk->name, 17), std::string("ABC             \0", 17));
  }
  const uint8_t codes[2] = {6, 7}, bad_codes[2] = {7, 1};  // only as many codes as records are looked at
  EXPECT_EQ(describe(create_d88_sectors(0x51, 0x81, 255, 1, 1, 0x40)[0]), "51/81/FF n1 c1 d40 256 E5..E5");
  EXPECT_EQ(describe(create_d88_custom_sectors(0x51, 0x80, nullptr, codes, 1, 0x40)[0]), "51/80/01 n6 c1 d40 8192 E5..E5");
  // Refused: formats -1 and 10; a cylinder past 0x51, heads 2 and 0x82, size codes 0 and 7, no records, density 0x20;
  // the same for records of their own, no size codes, and a size code past 6 among them.
  const std::string is = ": illegal parameter\n", d = "create_d88_disk" + is, s = "create_d88_sectors" + is;
  const std::string c = "create_d88_custom_sectors" + is, lines = d + d + s + s + s + s + s + s + s + c + c + c + c + c + c;
  const auto custom = create_d88_custom_sectors;
  EXPECT_EQ(outcome(CALL(std::vector<bool>{!create_d88_disk("X", -1), !create_d88_disk("X", 10),  // in this order
                                           !create_d88_sectors(0x52, 0, 1, 1, 1, 0), !create_d88_sectors(0, 2, 1, 1, 1, 0),
                                           !create_d88_sectors(0, 0x82, 1, 1, 1, 0), !create_d88_sectors(0, 0, 1, 0, 1, 0),
                                           !create_d88_sectors(0, 0, 1, 7, 1, 0), !create_d88_sectors(0, 0, 1, 1, 0, 0),
                                           !create_d88_sectors(0, 0, 1, 1, 1, 0x20), !custom(0x52, 0, nullptr, codes, 1, 0),
                                           !custom(0, 2, nullptr, codes, 1, 0), !custom(0, 0, nullptr, nullptr, 1, 0),
                                           !custom(0, 0, nullptr, codes, 0, 0), !custom(0, 0, nullptr, codes, 1, 0x20),
                                           !custom(0, 0, nullptr, bad_codes, 2, 0)} == std::vector<bool>(15, true))),
            Outcome(1, lines));
}

// Slot s: count records from first_r of cylinder c, head h, claiming size bytes each without data, in an array with one
// more record (r + count).
void set_track(Disk* disk, int slot, uint8_t c, uint8_t h, uint8_t first_r, int count, int16_t size = 0) {
  Track& track = disk->tracks[slot];
  track.sectors = std::make_unique<Sector[]>(static_cast<size_t>(count) + 1);
  track.count = count;
  for (int i = 0; i <= count; ++i) track.sectors[i] = {c, h, uint8_t(first_r + i), 0, 0, 0, 0, 0, {}, size, {}};
}

// Slot 0: sectors without data that make the disk bytes long.
void fill_to(Disk* disk, int64_t bytes) {
  const int64_t n = (bytes - 688 + 32782) / 32783, data = bytes - 688 - 16 * n;
  set_track(disk, 0, 0, 0, 1, static_cast<int>(n));
  for (int64_t i = 0; i < n; ++i) disk->tracks[0].sectors[i].size = static_cast<int16_t>(data / n + (i < data % n));
}

TEST(D88, ModelLookupsAndSizes) {
  Disk a, b;
  a.next = &b;
  DiskImage image = {2, &a};
  set_track(&a, 0, 0x23, 0, 9, 0);       // found by its array, yet holding no record
  set_track(&a, 1, 0x20, 0, 1, 4, 100);  // records 1 to 4
  set_track(&a, 3, 0x21, 1, 1, 1, 200);
  a.tracks[3].sectors[1].c = 0x22;  // only the first sector names the track
  set_track(&a, 5, 0x20, 0, 5, 4);  // never searched: slot 1 comes first
  a.tracks[7].count = 3;            // no array, no track
  using Found = std::vector<const void*>;
  EXPECT_EQ(Found({find_d88_sector(&a, 0x20, 0, 2), find_d88_sector(&a, 0x21, 1, 1), find_d88_track(&a, 0x23, 0),
                   find_d88_sector(&a, 0x20, 0, 5), find_d88_sector(&a, 0x23, 0, 9), find_d88_sector(&a, 0x20, 0, 6),
                   find_d88_sector(&a, 0x20, 1, 1), find_d88_sector(&a, 0x120, 0, 1), find_d88_sector(nullptr, 0, 0, 1)}),
            Found({&a.tracks[1].sectors[1], &a.tracks[3].sectors[0], &a.tracks[0], nullptr, nullptr, nullptr, nullptr,
                   nullptr, nullptr}));
  EXPECT_EQ(Found({get_d88_disk(nullptr, 0), get_d88_disk(&image, -1), get_d88_disk(&image, 0), get_d88_disk(&image, 1),
                   get_d88_disk(&image, 2)}), Found({nullptr, nullptr, &a, &b, nullptr}));
  const int32_t a_size = 688 + 4 * 116 + 216 + 4 * 16;
  EXPECT_EQ(std::tuple(get_d88_disk_size(&a), get_d88_disk_size(nullptr), get_d88_image_size(nullptr)), std::tuple(a_size, 0, 0));
  // Sizes up to the largest a file can hold; a count past the list's end ends with it.
  const auto sizes = [&](int64_t bytes, int32_t count = 2) {
    fill_to(&b, bytes), image.count = count;
    return std::pair(get_d88_disk_size(&b), get_d88_image_size(&image));
  };
  EXPECT_EQ(sizes(INT32_MAX - a_size, 3), std::pair(INT32_MAX - a_size, INT32_MAX));
  EXPECT_EQ(sizes(INT32_MAX), std::pair(INT32_MAX, -1));
  EXPECT_EQ(sizes(int64_t{INT32_MAX} + 1), std::pair(-1, -1));
  image.count = 1;
  const std::string w = written(image);
  EXPECT_EQ(std::pair(get_d88_image_size(&image), w.size()), std::pair(a_size, size_t{a_size}));
  free_d88_disk(&b, 0);
  EXPECT_EQ(get_d88_disk_size(&b), 688);
  free_d88_disk(nullptr, 0), free_d88_image(nullptr, 1);
}

}  // namespace
