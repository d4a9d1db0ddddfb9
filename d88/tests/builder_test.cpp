#include <memory>

#include "test_util.h"

using DiskPtr = std::unique_ptr<Disk>;
TEST(Builder, FormatsNamesAndFirstSectorQuirks) {
  const int32_t sizes[D88_FORMAT_COUNT] = {348848,  676528,  761008,  1281968, 1331888,
                                           1498288, 1498288, 1267888, 1521328, 1089776};
  for (int f = 0; f < D88_FORMAT_COUNT; ++f) {
    DiskPtr disk(create_d88_disk("ABC", f));
    EXPECT_EQ(disk->disk_size, sizes[f]) << f;
    EXPECT_EQ(std::string(disk->name), "ABC" + std::string(13, ' '));
  }
  DiskPtr zero(create_d88_disk("ABCDEFGHIJKLMNOPQRST", 0));
  EXPECT_STREQ(zero->name, "ABCDEFGHIJKLMNOP");
  const Sector& s = zero->tracks[79].sectors[15];
  EXPECT_EQ(s.c * 1000 + s.h * 100 + s.r, 39116);
  EXPECT_EQ(s.data[0] + s.data[255], 2 * 0xE5);
  DiskPtr five(create_d88_disk(nullptr, 5)), six(create_d88_disk(nullptr, 6));
  EXPECT_EQ(five->tracks[0].sectors[0].r * 100 + five->tracks[0].sectors[1].r, 111);
  EXPECT_EQ(six->tracks[0].sectors[0].h * 1000 + six->tracks[0].sectors[1].h, 0x80);
}

TEST(Builder, SectorArraysAndRefusals) {
  auto wrapped = create_d88_sectors(81, 0x81, 255, 6, 2, 0x40);
  EXPECT_EQ(wrapped[1].r * 10000 + wrapped[1].size, 8192);
  const uint8_t codes[2] = {1, 3}, records[2] = {9, 200}, bad[2] = {1, 7};
  EXPECT_EQ(create_d88_custom_sectors(0, 0, nullptr, codes, 2, 0)[1].r, 2);
  EXPECT_EQ(create_d88_custom_sectors(0, 0, records, codes, 2, 0)[1].size, 1024);
  EXPECT_EQ(captured([&] {
              EXPECT_EQ(create_d88_disk(nullptr, 10), nullptr);
              EXPECT_EQ(create_d88_sectors(0, 2, 1, 1, 1, 0), nullptr);
              EXPECT_EQ(create_d88_custom_sectors(0, 0, nullptr, bad, 2, 0), nullptr);
            }),
            "create_d88_disk: illegal parameter\ncreate_d88_sectors: illegal parameter\n"
            "create_d88_custom_sectors: illegal parameter\n");
}

// Slot r: count records r, r + 1, ... claiming size bytes each, without data.
static void set_track(Disk* disk, uint8_t c, uint8_t r, int count, int16_t size = 0) {
  Track& track = disk->tracks[r];
  track.sectors = std::make_unique<Sector[]>(static_cast<size_t>(count));
  track.count = count;
  for (int i = 0; i < count; ++i) track.sectors[i] = {c, 0, uint8_t(r + i), 0, 0, 0, 0, 0, {}, size, {}};
}

TEST(Model, LookupsAndSizes) {
  DiskImage* image = create_d88_image();
  image->first = std::make_unique<Disk>().release();
  image->first->next = std::make_unique<Disk>().release();
  image->count = 2;
  Disk& disk = *image->first;
  set_track(&disk, 0x20, 1, 4);
  set_track(&disk, 0x20, 5, 4);
  EXPECT_EQ(get_d88_disk(image, 1), disk.next);
  EXPECT_EQ(find_d88_sector(&disk, 0x20, 0, 2), &disk.tracks[1].sectors[1]);
  EXPECT_EQ(find_d88_sector(&disk, 0x20, 0, 6), nullptr);  // only in slot 5
  EXPECT_EQ(find_d88_track(&disk, 0x20 + 256, 0), nullptr);
  EXPECT_EQ(get_d88_disk_size(&disk), 688 + 8 * 16);
  // Disks that fit alone but not together, and one that does not fit alone.
  set_track(&disk, 0, 0, 40000, 32767);
  set_track(disk.next, 0, 0, 40000, 32767);
  EXPECT_GT(get_d88_disk_size(&disk), 0);
  EXPECT_EQ(get_d88_image_size(image), -1);
  set_track(&disk, 0, 0, 65536, 32767);
  EXPECT_EQ(get_d88_disk_size(&disk), -1);
  free_d88_disk(disk.next, 0);
  EXPECT_EQ(get_d88_disk_size(disk.next), 688);
  free_d88_image(image, 1);
}

// A track is there when its array is, whatever its count says.
TEST(Model, ATrackWithCountZeroIsStillFound) {
  Disk disk;
  set_track(&disk, 0x30, 2, 1);
  disk.tracks[2].count = 0;
  set_track(&disk, 0x30, 6, 2);
  EXPECT_EQ(find_d88_track(&disk, 0x30, 0), &disk.tracks[2]);
  EXPECT_EQ(find_d88_sector(&disk, 0x30, 0, 6), nullptr);
}
