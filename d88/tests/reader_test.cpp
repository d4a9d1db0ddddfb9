#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "d88/d88.h"
#include "d88/tests/test_util.h"

namespace {

Bytes with(Bytes b, size_t at, uint32_t value, int width = 4) {
  if (width == 1) b.at(at) = static_cast<uint8_t>(value);
  if (width == 2) put16(b, at, value);
  if (width == 4) put32(b, at, value);
  return b;
}

size_t entry_at(int slot) { return 0x20 + 4 * static_cast<size_t>(slot); }

// A track of 16 sectors whose first header asks for 17, followed by pad
// bytes and then a second track that ends its space.
Bytes seventeen_of_sixteen(int pad) {
  return raw_disk("CNT", D88_HEADER_SIZE,
                  {{0, with(track_bytes(0, 0, 16), 4, 17, 2)},
                   {-1, Bytes(static_cast<size_t>(pad), 0xAA)},
                   {1, track_bytes(0, 1, 1)}});
}

TEST(Reader, FailurePrintsTheChainAndLeavesTheImageEmpty) {
  Bytes second = raw_disk("TWO");
  second.resize(700);
  Bytes long_name = with(plain_disk(), 0x1B, 0x30, 1);
  std::memset(long_name.data(), 'N', 17);
  const std::string sector1 = "read sector 1 error\n";
  const std::string track0 = "read track 0 error [DISK]\n";
  const struct {
    Bytes bytes;
    std::string expected;  // all but the closing "read disk N error"
    int disk = 1;
  } rows[] = {
      {plain_disk() + with(second, 0x1C, 0x100),
       "illegal data: [TWO] disk size = 0x00000100\n", 2},
      {with(plain_disk(), 0x1C, 0x6F1),
       "illegal data: [DISK] disk size = 0x000006F1\n"},
      {with(plain_disk(), 0x1A, 0x01, 1),
       "illegal data: [DISK] write protect flag = 0x01\n"},
      {with(plain_disk(), 0x1B, 0x30, 1),
       "illegal data: [DISK] disk type = 0x30\n"},
      {long_name, "illegal data: [NNNNNNNNNNNNNNNNN] disk type = 0x30\n"},
      // Offsets between the headers, at the size, negative, and a short
      // header's offset in a slot only a full header has.
      {with(plain_disk(), entry_at(3), 0x2A4),
       "illegal data: [DISK] track 3 offset = 0x000002A4\n"},
      {with(plain_disk(), entry_at(2), 0x6F0),
       "illegal data: [DISK] track 2 offset = 0x000006F0\n"},
      {with(plain_disk(), entry_at(7), 0x80000000),
       "illegal data: [DISK] track 7 offset = 0x80000000\n"},
      {with(plain_disk(), entry_at(161), 0x2A0),
       "illegal data: [DISK] track 161 offset = 0x000002A0\n"},
      {with(plain_disk(), entry_at(163), 0x6F0),
       "illegal data: [DISK] track 163 offset = 0x000006F0\n"},
      // A count asking for a sector past the space, or one that cannot fit.
      {seventeen_of_sixteen(0),
       "read_d88_sector_from_buffer: illegal parameter\nread sector 16 error\n"
       "read track 0 error [CNT]\n"},
      {seventeen_of_sixteen(8),
       "data error: data size(0x000013B8) < offset(0x000013B0)\n"
       "read sector 16 error\nread track 0 error [CNT]\n"},
      {with(plain_disk(), 0x2B0 + 4, 0xFFFF, 2),
       "read_d88_sector_from_buffer: illegal parameter\nread sector 2 error\n" +
           track0},
      {with(with(plain_disk(), 0x2B0 + 4, 0, 2), 0x2B0, 1, 1),
       "illegal data: # of sectors = 0\n" + track0},
      {with(plain_disk(), sector_at(0x2B0, 1) + 14, 0x101, 2),
       "data error: data size(0x000004D0) < offset(0x000003C0) + 0x10 + "
       "sector size(0x0101)\n" + sector1 + track0},
      {with(plain_disk(), sector_at(0x4D0, 1) + 14, 0x8000, 2),
       "illegal data: sector size = 0x8000\n" + sector1 +
           "read track 1 error [DISK]\n"},
      {with(plain_disk(), 0x2B0 + 14, 0xFFFF, 2),
       "illegal data: sector size = 0xFFFF\nread sector 0 error\n" + track0},
      {with(plain_disk(), entry_at(9), 0x2B8),
       "data error: data size(0x000002B8) < offset(0x000002B0)\n"
       "read sector 0 error\n" + track0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.expected);
    OwnedImage image;
    int result = 0;
    EXPECT_EQ(captured([&] { result = read_bytes(&image, row.bytes); }),
              row.expected + "read disk " + std::to_string(row.disk) +
                  " error\n");
    EXPECT_EQ(result, -1);
    EXPECT_EQ(image.count, 0);
    EXPECT_EQ(image.first, nullptr);
  }
}

TEST(Reader, ShortBuffersAreNeverOverrun) {
  // Exactly as many bytes as the calls are given, so that the sanitizers see
  // any read past them.
  Disk disk;
  Bytes tiny(20, 'A');
  EXPECT_EQ(captured([&] {
              EXPECT_EQ(read_d88_disk_from_buffer(&disk, tiny.data(), 20), -1);
            }),
            "illegal data: [AAAAAAAAAAAAAAAAA] disk size = 0x00000000\n");
  // 680 bytes: too short for a full table, not a short header either.
  Bytes odd = raw_disk("ODD");
  odd.resize(680);
  put32(odd, 0x1C, 680);
  EXPECT_EQ(read_d88_disk_from_buffer(&disk, odd.data(), 680), 0);
  EXPECT_EQ(disk.disk_size, 680);
}

TEST(Reader, TwoDisksAndATail) {
  Bytes one = plain_disk("ONE");
  put16(one, sector_at(0x4D0, 1) + 4, 9);  // later headers may say otherwise
  OwnedImage image;
  const Bytes b = one + plain_disk("TWO") + Bytes(500, 0x55);
  EXPECT_EQ(captured([&] { EXPECT_EQ(read_bytes(&image, b), 2); }),
            "data size too short ... garbage? ... ignored\n");
  ASSERT_EQ(image.count, 2);
  const Disk* disk = image.first;
  EXPECT_STREQ(disk->name, "ONE");
  EXPECT_EQ(disk->disk_size, 0x6F0);
  EXPECT_EQ(disk->tracks[2].sectors, nullptr);
  const Track& track = disk->tracks[1];
  ASSERT_EQ(track.count, 2);
  const Sector& s = track.sectors[1];
  EXPECT_EQ(s.h, 1);
  EXPECT_EQ(s.r, 2);
  EXPECT_EQ(s.size, 256);
  EXPECT_EQ(s.data[255], 1);
  EXPECT_EQ(s.sector_count, 9);
  EXPECT_EQ(track.sectors[0].sector_count, 2);

  const Disk* two = get_d88_disk(&image, 1);
  EXPECT_STREQ(two->name, "TWO");
  EXPECT_EQ(two->track_offsets[1], 0x4D0u);  // from the disk's own start
  EXPECT_EQ(two->tracks[1].sectors[0].h, 1);
  EXPECT_EQ(two->next, nullptr);
}

TEST(Reader, NothingButATailIsAnEmptySuccess) {
  OwnedImage image;
  EXPECT_EQ(captured([&] { EXPECT_EQ(read_bytes(&image, Bytes(100)), 0); }),
            "data size too short ... garbage? ... ignored\n");
  EXPECT_EQ(image.first, nullptr);
}

TEST(Reader, ManyDisksReadAndReleased) {
  // 100,000 header-only disks: the list grows at its tail and is released
  // without recursion.
  constexpr int kDisks = 100000;
  const Bytes one = raw_disk("", D88_SHORT_HEADER_SIZE);
  Bytes all;
  all.reserve(one.size() * kDisks);
  for (int i = 0; i < kDisks; ++i) all = std::move(all) + one;
  DiskImage image;
  ASSERT_EQ(read_bytes(&image, all), kDisks);
  EXPECT_NE(get_d88_disk(&image, kDisks - 1), nullptr);
  free_d88_image(&image, 0);
  EXPECT_EQ(image.count, 0);
  EXPECT_EQ(image.first, nullptr);
}

}  // namespace
