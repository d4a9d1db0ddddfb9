#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "d88/d88.h"
#include "d88/tests/test_util.h"

namespace {

struct DiskPtr {
  Disk* disk;
  explicit DiskPtr(Disk* d) : disk(d) {}
  ~DiskPtr() { free_d88_disk(disk, 1); }
  Disk* operator->() const { return disk; }
};

TEST(Builder, EveryFormatHasItsSizeAndSlots) {
  const int32_t sizes[D88_FORMAT_COUNT] = {348848,  676528,  761008,  1281968,
                                           1331888, 1498288, 1498288, 1267888,
                                           1521328, 1089776};
  const int slots[D88_FORMAT_COUNT] = {80,  160, 160, 154, 160,
                                       160, 160, 160, 160, 154};
  for (int f = 0; f < D88_FORMAT_COUNT; ++f) {
    DiskPtr disk(create_d88_disk(nullptr, f));
    ASSERT_NE(disk.disk, nullptr) << f;
    EXPECT_EQ(disk->disk_size, sizes[f]) << f;
    EXPECT_EQ(get_d88_disk_size(disk.disk), sizes[f]) << f;
    EXPECT_NE(disk->tracks[slots[f] - 1].sectors, nullptr) << f;
    EXPECT_EQ(disk->tracks[slots[f]].sectors, nullptr) << f;
    EXPECT_EQ(disk->disk_type, d88_formats[f].disk_type) << f;
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
  EXPECT_EQ(std::string(twenty->name, 17), std::string("ABCDEFGHIJKLMNOP") + '\0');
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

TEST(Builder, RecordNumbersWrapPast255) {
  auto s = create_d88_sectors(0, 0, 250, 1, 10, 0);
  ASSERT_NE(s, nullptr);
  const int expected[10] = {250, 251, 252, 253, 254, 255, 0, 1, 2, 3};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(s[i].r, expected[i]);
  EXPECT_EQ(s[9].sector_count, 10);
}

TEST(Builder, CustomSectors) {
  const uint8_t codes[3] = {1, 2, 3};
  auto plain = create_d88_custom_sectors(81, 0x81, nullptr, codes, 3, 0x40);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain[0].r, 1);
  EXPECT_EQ(plain[2].r, 3);
  EXPECT_EQ(plain[1].size, 512);
  EXPECT_EQ(plain[2].size, 1024);
  EXPECT_EQ(plain[2].density, 0x40);

  const uint8_t records[3] = {9, 7, 200};
  auto listed = create_d88_custom_sectors(0, 0, records, codes, 3, 0);
  ASSERT_NE(listed, nullptr);
  EXPECT_EQ(listed[2].r, 200);
}

TEST(Builder, RefusesBadArguments) {
  const uint8_t good[2] = {1, 1};
  const uint8_t zero_late[2] = {1, 0};
  const uint8_t seven[2] = {7, 1};
  const std::string disk = "create_d88_disk: illegal parameter\n";
  const std::string sectors = "create_d88_sectors: illegal parameter\n";
  const std::string custom = "create_d88_custom_sectors: illegal parameter\n";
  struct Row {
    std::function<bool()> fails;
    std::string message;
  } rows[] = {
      {[] { return create_d88_disk(nullptr, 10) == nullptr; }, disk},
      {[] { return create_d88_disk(nullptr, -1) == nullptr; }, disk},
      {[] { return !create_d88_sectors(82, 0, 1, 1, 1, 0); }, sectors},
      {[] { return !create_d88_sectors(0, 2, 1, 1, 1, 0); }, sectors},
      {[] { return !create_d88_sectors(0, 0, 1, 0, 1, 0); }, sectors},
      {[] { return !create_d88_sectors(0, 0, 1, 7, 1, 0); }, sectors},
      {[] { return !create_d88_sectors(0, 0, 1, 1, 0, 0); }, sectors},
      {[] { return !create_d88_sectors(0, 0, 1, 1, 1, 0x20); }, sectors},
      {[&] { return !create_d88_custom_sectors(82, 0, 0, good, 2, 0); }, custom},
      {[&] { return !create_d88_custom_sectors(0, 0x02, 0, good, 2, 0); }, custom},
      {[] { return !create_d88_custom_sectors(0, 0, 0, nullptr, 2, 0); }, custom},
      {[&] { return !create_d88_custom_sectors(0, 0, 0, good, -1, 0); }, custom},
      {[&] { return !create_d88_custom_sectors(0, 0, 0, good, 2, 1); }, custom},
      {[&] { return !create_d88_custom_sectors(0, 0, 0, zero_late, 2, 0); }, custom},
      {[&] { return !create_d88_custom_sectors(0, 0, 0, seven, 2, 0); }, custom},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    bool failed = false;
    EXPECT_EQ(captured([&] { failed = rows[i].fails(); }), rows[i].message)
        << "row " << i;
    EXPECT_TRUE(failed) << "row " << i;
  }
  EXPECT_NE(create_d88_sectors(81, 0x81, 1, 6, 1, 0x40), nullptr);
}

}  // namespace
