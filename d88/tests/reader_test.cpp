#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "d88/d88.h"
#include "d88/tests/raw_d88.h"
#include "d88/tests/test_util.h"

namespace {

struct FailureRow {
  const char* what;
  std::function<Bytes()> bytes;
  std::string expected;
};

Bytes with(Bytes b, size_t at, uint32_t value, int width = 4) {
  if (width == 1) b.at(at) = static_cast<uint8_t>(value);
  if (width == 2) put16(b, at, value);
  if (width == 4) put32(b, at, value);
  return b;
}

constexpr size_t kSizeAt = 0x1C;
size_t entry_at(int slot) { return 0x20 + 4 * static_cast<size_t>(slot); }

// A track of 16 sectors whose first header asks for 17, followed by pad
// bytes and then a second track that ends its space.
Bytes seventeen_of_sixteen(int pad) {
  RawDisk d("CNT");
  d.add(0, with(track_bytes(0, 0, 16), 4, 17, 2));
  d.append(Bytes(static_cast<size_t>(pad), 0xAA));
  d.add(1, track_bytes(0, 1, 1));
  return d.done();
}

const FailureRow kFailures[] = {
    {"second disk size below a header",
     [] {
       Bytes second = RawDisk("TWO").done();
       second.resize(700);
       return plain_disk() + with(second, kSizeAt, 0x100);
     },
     "illegal data: [TWO] disk size = 0x00000100\nread disk 2 error\n"},
    {"disk size beyond the data",
     [] { return with(plain_disk(), kSizeAt, 0x6F1); },
     "illegal data: [DISK] disk size = 0x000006F1\nread disk 1 error\n"},
    {"write protect flag",
     [] { return with(plain_disk(), 0x1A, 0x01, 1); },
     "illegal data: [DISK] write protect flag = 0x01\nread disk 1 error\n"},
    {"disk type",
     [] { return with(plain_disk(), 0x1B, 0x30, 1); },
     "illegal data: [DISK] disk type = 0x30\nread disk 1 error\n"},
    {"offset between short and full header",
     [] { return with(plain_disk(), entry_at(3), 0x2A4); },
     "illegal data: [DISK] track 3 offset = 0x000002A4\nread disk 1 error\n"},
    {"offset equal to the disk size",
     [] { return with(plain_disk(), entry_at(2), 0x6F0); },
     "illegal data: [DISK] track 2 offset = 0x000006F0\nread disk 1 error\n"},
    {"offset with the top bit set",
     [] { return with(plain_disk(), entry_at(7), 0x80000000); },
     "illegal data: [DISK] track 7 offset = 0x80000000\nread disk 1 error\n"},
    {"short offset in slot 161 of a full header",
     [] { return with(plain_disk(), entry_at(161), 0x2A0); },
     "illegal data: [DISK] track 161 offset = 0x000002A0\nread disk 1 error\n"},
    {"slot 163 at the disk size",
     [] { return with(plain_disk(), entry_at(163), 0x6F0); },
     "illegal data: [DISK] track 163 offset = 0x000006F0\nread disk 1 error\n"},
    {"count asks for a sector past the space",
     [] { return seventeen_of_sixteen(0); },
     "read_d88_sector_from_buffer: illegal parameter\nread sector 16 error\n"
     "read track 0 error [CNT]\nread disk 1 error\n"},
    {"count asks for a sector that does not fit",
     [] { return seventeen_of_sixteen(8); },
     "data error: data size(0x000013B8) < offset(0x000013B0)\n"
     "read sector 16 error\nread track 0 error [CNT]\nread disk 1 error\n"},
    {"count far beyond the data",
     [] { return with(plain_disk(), 0x2B0 + 4, 0xFFFF, 2); },
     "read_d88_sector_from_buffer: illegal parameter\nread sector 2 error\n"
     "read track 0 error [DISK]\nread disk 1 error\n"},
    {"zero count in a header that is not empty",
     [] { return with(with(plain_disk(), 0x2B0 + 4, 0, 2), 0x2B0, 1, 1); },
     "illegal data: # of sectors = 0\nread track 0 error [DISK]\n"
     "read disk 1 error\n"},
    {"sector data past the space",
     [] { return with(plain_disk(), sector_at(0x2B0, 1) + 14, 0x101, 2); },
     "data error: data size(0x000004D0) < offset(0x000003C0) + 0x10 + sector "
     "size(0x0101)\nread sector 1 error\nread track 0 error [DISK]\n"
     "read disk 1 error\n"},
    {"sector size 0x8000",
     [] { return with(plain_disk(), sector_at(0x4D0, 1) + 14, 0x8000, 2); },
     "illegal data: sector size = 0x8000\nread sector 1 error\n"
     "read track 1 error [DISK]\nread disk 1 error\n"},
    {"sector size 0xFFFF",
     [] { return with(plain_disk(), 0x2B0 + 14, 0xFFFF, 2); },
     "illegal data: sector size = 0xFFFF\nread sector 0 error\n"
     "read track 0 error [DISK]\nread disk 1 error\n"},
    {"space shorter than a sector header",
     [] { return with(plain_disk(), entry_at(9), 0x2B8); },
     "data error: data size(0x000002B8) < offset(0x000002B0)\n"
     "read sector 0 error\nread track 0 error [DISK]\nread disk 1 error\n"},
    {"name of 17 bytes without a NUL",
     [] {
       Bytes b = with(plain_disk(), 0x1B, 0x30, 1);
       std::memset(b.data(), 'N', 17);
       return b;
     },
     "illegal data: [NNNNNNNNNNNNNNNNN] disk type = 0x30\nread disk 1 error\n"},
};

class ReaderFailure : public testing::TestWithParam<FailureRow> {};

TEST_P(ReaderFailure, PrintsTheChainAndLeavesTheImageEmpty) {
  const Bytes bytes = GetParam().bytes();
  OwnedImage image;
  int result = 0;
  EXPECT_EQ(captured([&] { result = read_bytes(&image, bytes); }),
            GetParam().expected);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(image.count, 0);
  EXPECT_EQ(image.first, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Rows, ReaderFailure, testing::ValuesIn(kFailures));

TEST(Reader, RefusesMissingArgumentsWithoutTouchingTheImage) {
  const Bytes b = plain_disk();
  DiskImage image{7, nullptr};
  EXPECT_EQ(captured([&] {
              EXPECT_EQ(read_d88_image_from_buffer(&image, b.data(), 0), -1);
              EXPECT_EQ(read_d88_image_from_buffer(&image, nullptr, 1), -1);
              EXPECT_EQ(read_d88_image_from_buffer(nullptr, b.data(), 1), -1);
            }),
            "read_d88_image_from_buffer: illegal parameter\n"
            "read_d88_image_from_buffer: illegal parameter\n"
            "read_d88_image_from_buffer: illegal parameter\n");
  EXPECT_EQ(image.count, 7);
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
  Bytes odd = RawDisk("ODD").done();
  odd.resize(680);
  put32(odd, 0x1C, 680);
  EXPECT_EQ(read_d88_disk_from_buffer(&disk, odd.data(), 680), 0);
  EXPECT_EQ(disk.disk_size, 680);

  // A failed track read leaves no records behind.
  Bytes b = with(plain_disk(), 0x2B0 + 4, 0xFFFF, 2);
  Track track;
  captured([&] {
    EXPECT_EQ(read_d88_track_from_buffer(&track, b.data(), 0x2B0, 0x4D0), -1);
  });
  EXPECT_EQ(track.count, 0);
  EXPECT_EQ(track.sectors, nullptr);
}

TEST(Reader, LoadsEveryFieldOfAPlainDisk) {
  OwnedImage image;
  ASSERT_EQ(read_bytes(&image, plain_disk()), 1);
  const Disk* disk = image.first;
  EXPECT_STREQ(disk->name, "DISK");
  EXPECT_EQ(disk->disk_size, 0x6F0);
  EXPECT_EQ(disk->track_offsets[1], 0x4D0u);
  const Track& track = disk->tracks[1];
  ASSERT_EQ(track.count, 2);
  const Sector& s = track.sectors[1];
  EXPECT_EQ(s.h, 1);
  EXPECT_EQ(s.r, 2);
  EXPECT_EQ(s.size, 256);
  EXPECT_EQ(s.data[255], 1);
  EXPECT_EQ(disk->tracks[2].sectors, nullptr);
}

TEST(Reader, HeaderOnlyFiles) {
  OwnedImage full;
  EXPECT_EQ(read_bytes(&full, RawDisk().done()), 1);
  EXPECT_EQ(full.first->disk_size, 688);

  // Exactly 672 bytes left: a short header of 160 entries.
  OwnedImage short_one;
  EXPECT_EQ(read_bytes(&short_one, RawDisk("S", 672).done()), 1);
  EXPECT_EQ(short_one.first->disk_size, 672);

  OwnedImage garbage;
  EXPECT_EQ(captured([&] { EXPECT_EQ(read_bytes(&garbage, Bytes(100)), 0); }),
            "data size too short ... garbage? ... ignored\n");
  EXPECT_EQ(garbage.first, nullptr);
}

TEST(Reader, ShortHeaderFromATrackAt672IgnoresTheLastFourEntries) {
  RawDisk d("SHORT", D88_SHORT_HEADER_SIZE);
  d.add(0, track_bytes(0, 0, 1));
  d.add(5, track_bytes(2, 1, 1));
  Bytes b = d.done();
  put32(b, 0x20 + 4 * 160, 0xDEADBEEF);  // sector data, not a table entry
  OwnedImage image;
  ASSERT_EQ(read_bytes(&image, b), 1);
  const Disk* disk = image.first;
  EXPECT_EQ(disk->track_offsets[0], 672u);
  EXPECT_EQ(disk->track_offsets[160], 0u);
  EXPECT_NE(find_d88_sector(disk, 2, 1, 1), nullptr);
}

TEST(Reader, TracksInDescendingOrderWithGapsAndEmptyTracks) {
  RawDisk d("ORDER");
  d.add(3, track_bytes(3, 0, 2));
  d.append(Bytes(40, 0x77));  // a gap inside slot 3's space
  d.add(2, Bytes(16, 0));     // an empty track
  d.add(1, track_bytes(1, 0, 3, 0));
  d.add(0, track_bytes(0, 0, 1, 128));
  OwnedImage image;
  ASSERT_EQ(read_bytes(&image, d.done()), 1);
  const Disk* disk = image.first;
  EXPECT_EQ(disk->tracks[3].count, 2);
  EXPECT_EQ(disk->tracks[2].count, 0);
  EXPECT_EQ(disk->tracks[2].sectors, nullptr);
  EXPECT_EQ(disk->tracks[1].count, 3);
  EXPECT_EQ(disk->tracks[1].sectors[2].data, nullptr);  // size 0
  EXPECT_EQ(disk->tracks[0].sectors[0].size, 128);
}

TEST(Reader, TwoDisksAndATail) {
  OwnedImage image;
  const Bytes b = plain_disk("ONE") + plain_disk("TWO") + Bytes(500, 0x55);
  EXPECT_EQ(captured([&] { EXPECT_EQ(read_bytes(&image, b), 2); }),
            "data size too short ... garbage? ... ignored\n");
  ASSERT_EQ(image.count, 2);
  const Disk* two = get_d88_disk(&image, 1);
  EXPECT_STREQ(two->name, "TWO");
  EXPECT_EQ(two->track_offsets[0], 0x2B0u);  // from the disk's own start
  EXPECT_EQ(two->tracks[1].sectors[0].h, 1);
  EXPECT_EQ(two->next, nullptr);
}

TEST(Reader, LaterSectorsMayCarryAnotherCount) {
  Bytes b = plain_disk();
  put16(b, sector_at(0x2B0, 1) + 4, 9);
  OwnedImage image;
  ASSERT_EQ(read_bytes(&image, b), 1);
  const Track& track = image.first->tracks[0];
  EXPECT_EQ(track.count, 2);
  EXPECT_EQ(track.sectors[0].sector_count, 2);
  EXPECT_EQ(track.sectors[1].sector_count, 9);
}

TEST(Reader, ManyDisksReadAndReleased) {
  // 100,000 header-only disks: the list grows at its tail and is released
  // without recursion.
  constexpr int kDisks = 100000;
  Bytes one = RawDisk("", D88_SHORT_HEADER_SIZE).done();
  Bytes all;
  all.reserve(one.size() * kDisks);
  for (int i = 0; i < kDisks; ++i) all.insert(all.end(), one.begin(), one.end());
  DiskImage image;
  ASSERT_EQ(read_bytes(&image, all), kDisks);
  EXPECT_NE(get_d88_disk(&image, kDisks - 1), nullptr);
  free_d88_image(&image, 0);
  EXPECT_EQ(image.count, 0);
  EXPECT_EQ(image.first, nullptr);
}

}  // namespace
