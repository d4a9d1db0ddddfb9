#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "d88/d88.h"
#include "d88/tests/test_util.h"

namespace {

// A track of count sectors of cylinder c, head h, records r, r + 1, ...,
// each claiming size bytes but without a data block.
void set_track(Disk* disk, int slot, uint8_t c, uint8_t h, uint8_t r,
               int count, int16_t size = 0) {
  Track& track = disk->tracks[slot];
  track.sectors = std::make_unique<Sector[]>(static_cast<size_t>(count));
  track.count = count;
  for (int i = 0; i < count; ++i) {
    Sector& s = track.sectors[i];
    s.c = c;
    s.h = h;
    s.r = static_cast<uint8_t>(r + i);
    s.size = size;
  }
}

TEST(Model, HeapImageAndDiskByIndex) {
  DiskImage* image = create_d88_image();
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->count, 0);
  image->first = create_d88_disk(nullptr, 1);
  image->count = 1;
  EXPECT_EQ(get_d88_disk(image, 0), image->first);
  EXPECT_EQ(get_d88_disk(image, -1), nullptr);
  EXPECT_EQ(get_d88_disk(image, 1), nullptr);
  EXPECT_EQ(get_d88_disk(nullptr, 0), nullptr);
  free_d88_image(image, 1);  // no leak under the sanitizers
  free_d88_image(nullptr, 1);
  free_d88_disk(nullptr, 1);
}

TEST(Model, FindSearchesOnlyTheFirstMatchingTrack) {
  Disk disk;
  disk.tracks[1].count = 4;  // no array: not a track
  set_track(&disk, 3, 0x20, 1, 1, 4);
  set_track(&disk, 5, 0x20, 1, 5, 4);
  disk.tracks[3].sectors[3].r = 2;  // record 2 twice in slot 3

  EXPECT_EQ(find_d88_track(&disk, 0x20, 1), &disk.tracks[3]);
  EXPECT_EQ(find_d88_sector(&disk, 0x20, 1, 6), nullptr);  // only in slot 5
  EXPECT_EQ(find_d88_sector(&disk, 0x20, 1, 2), &disk.tracks[3].sectors[1]);
  EXPECT_EQ(find_d88_track(&disk, 0, 0), nullptr);
  EXPECT_EQ(find_d88_track(&disk, 0x20, 0), nullptr);
  EXPECT_EQ(find_d88_track(&disk, 0x20 + 256, 1), nullptr);
  EXPECT_EQ(find_d88_sector(&disk, 0x20, 1, 1 + 256), nullptr);
}

TEST(Model, Sizes) {
  Disk disk;
  set_track(&disk, 0, 0, 0, 1, 16, 256);
  EXPECT_EQ(get_d88_disk_size(&disk), 688 + 16 * 272);

  free_d88_disk(&disk, 0);
  const Disk empty;
  EXPECT_EQ(std::memcmp(&disk.track_offsets, &empty.track_offsets,
                        sizeof empty.track_offsets), 0);
  EXPECT_EQ(disk.tracks[0].sectors, nullptr);
  EXPECT_EQ(get_d88_disk_size(&disk), 688);

  // A negative size cannot be laid out.
  set_track(&disk, 0, 0, 0, 1, 1, -1);
  EXPECT_EQ(get_d88_disk_size(&disk), -1);

  // Sizes beyond two gigabytes are refused too. 65,536 sectors of 32,767 bytes (records only, no data): 2,148,466,688.
  auto big = std::make_unique<Disk>();
  set_track(big.get(), 0, 0, 0, 0, 65536, 32767);
  EXPECT_EQ(get_d88_disk_size(big.get()), -1);

  // Two disks that fit alone but not together.
  OwnedImage image;
  image.first = std::make_unique<Disk>().release();
  image.first->next = std::make_unique<Disk>().release();
  image.count = 2;
  set_track(image.first, 0, 0, 0, 0, 40000, 32767);
  set_track(image.first->next, 0, 0, 0, 0, 40000, 32767);
  EXPECT_GT(get_d88_disk_size(image.first), 0);
  EXPECT_EQ(get_d88_image_size(&image), -1);
  EXPECT_EQ(captured([&] { EXPECT_TRUE(written(image).empty()); }),
            "write_d88_image_to_buffer: image size out of range\n");
}

}  // namespace
