#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "d88/d88.h"
#include "d88/tests/test_util.h"

namespace {

TEST(Builder, EveryFormatHasItsSizeAndSlots) {
  const int32_t sizes[D88_FORMAT_COUNT] = {348848,  676528,  761008,  1281968,
                                           1331888, 1498288, 1498288, 1267888,
                                           1521328, 1089776};
  const int slots[D88_FORMAT_COUNT] = {80,  160, 160, 154, 160,
                                       160, 160, 160, 160, 154};
  for (int f = 0; f < D88_FORMAT_COUNT; ++f) {
    SCOPED_TRACE(f);
    DiskPtr disk(create_d88_disk(nullptr, f));
    ASSERT_NE(disk, nullptr);
    EXPECT_EQ(disk->disk_size, sizes[f]);
    EXPECT_EQ(get_d88_disk_size(disk.get()), sizes[f]);
    EXPECT_NE(disk->tracks[slots[f] - 1].sectors, nullptr);
    EXPECT_EQ(disk->tracks[slots[f]].sectors, nullptr);
    EXPECT_EQ(disk->disk_type, d88_formats[f].disk_type);
  }
}

TEST(Builder, FormatZeroLayout) {
  DiskPtr disk(create_d88_disk(nullptr, 0));
  EXPECT_EQ(std::string(disk->name, 17), std::string(16, ' ') + '\0');
  for (int t : {0, 1, 2, 79}) {
    const Track& track = disk->tracks[t];
    ASSERT_EQ(track.count, 16);
    for (int i = 0; i < 16; ++i) {
      const Sector& s = track.sectors[i];
      EXPECT_EQ(s.c, t / 2);
      EXPECT_EQ(s.h, t % 2);
      EXPECT_EQ(s.r, i + 1);
      EXPECT_EQ(s.size, 256);
      EXPECT_EQ(s.data[0], 0xE5);
      EXPECT_EQ(s.data[255], 0xE5);
    }
  }
}

TEST(Builder, NamesArePaddedOrCut) {
  DiskPtr three(create_d88_disk("ABC", 0));
  EXPECT_EQ(std::string(three->name, 17), "ABC" + std::string(13, ' ') + '\0');
  DiskPtr twenty(create_d88_disk("ABCDEFGHIJKLMNOPQRST", 0));
  EXPECT_EQ(std::string(twenty->name, 17),
            std::string("ABCDEFGHIJKLMNOP") + '\0');
}

TEST(Builder, FormatsFiveAndSixChangeOnlyTheFirstSector) {
  DiskPtr five(create_d88_disk(nullptr, 5));
  EXPECT_EQ(five->tracks[0].sectors[0].r, 1);
  EXPECT_EQ(five->tracks[0].sectors[1].r, 11);
  EXPECT_EQ(five->tracks[0].sectors[8].r, 18);
  EXPECT_EQ(five->tracks[1].sectors[0].r, 10);

  DiskPtr six(create_d88_disk(nullptr, 6));
  EXPECT_EQ(six->tracks[0].sectors[0].h, 0x00);
  EXPECT_EQ(six->tracks[0].sectors[1].h, 0x80);
  EXPECT_EQ(six->tracks[1].sectors[0].h, 0x81);
  EXPECT_EQ(six->tracks[2].sectors[0].h, 0x80);
}

TEST(Builder, SectorArrays) {
  // Record numbers wrap past 255.
  auto wrapped = create_d88_sectors(0, 0, 250, 1, 10, 0);
  ASSERT_NE(wrapped, nullptr);
  std::vector<int> records;
  for (int i = 0; i < 10; ++i) records.push_back(wrapped[i].r);
  EXPECT_EQ(records,
            (std::vector<int>{250, 251, 252, 253, 254, 255, 0, 1, 2, 3}));
  EXPECT_EQ(wrapped[9].sector_count, 10);
  // The highest cylinder, head and size code and the other density.
  EXPECT_NE(create_d88_sectors(81, 0x81, 1, 6, 1, 0x40), nullptr);

  const uint8_t codes[3] = {1, 2, 3};
  auto plain = create_d88_custom_sectors(81, 0x81, nullptr, codes, 3, 0x40);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain[0].r, 1);
  EXPECT_EQ(plain[2].r, 3);
  EXPECT_EQ(plain[1].size, 512);
  EXPECT_EQ(plain[2].size, 1024);
  EXPECT_EQ(plain[2].density, 0x40);

  const uint8_t records_given[3] = {9, 7, 200};
  auto listed = create_d88_custom_sectors(0, 0, records_given, codes, 3, 0);
  ASSERT_NE(listed, nullptr);
  EXPECT_EQ(listed[2].r, 200);
}

}  // namespace
