// Calls the library refuses outright: missing records, places or paths, and
// a disk whose sizes no file could hold. Each prints its one line and fails
// without touching anything.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "d88/d88.h"
#include "d88/tests/test_util.h"

namespace {

struct RefusedCall {
  const char* line;  // printed as a whole line
  std::function<int()> call;
};

TEST(RefusedCalls, PrintTheirLineAndFail) {
  static const uint8_t bytes[64] = {};
  Disk disk;
  Track track;
  DiskImage image;
  uint8_t place[D88_HEADER_SIZE];
  uint8_t* end = nullptr;
  const RefusedCall calls[] = {
      {"read_d88_image_from_file: illegal parameter",
       [&] { return read_d88_image_from_file(&image, nullptr); }},
      {"read_d88_disk_from_buffer: illegal parameter",
       [&] { return read_d88_disk_from_buffer(nullptr, bytes, 64); }},
      {"read_d88_disk_from_buffer: illegal parameter",
       [&] { return read_d88_disk_from_buffer(&disk, bytes, 0); }},
      {"read_d88_track_from_buffer: illegal parameter",
       [&] { return read_d88_track_from_buffer(nullptr, bytes, 1, 64); }},
      {"read_d88_track_from_buffer: illegal parameter",
       [&] { return read_d88_track_from_buffer(&track, bytes, 32, 32); }},
      {"write_d88_image_to_file: illegal parameter",
       [&] { return write_d88_image_to_file(&image, nullptr); }},
      {"write_d88_disk_to_file: illegal parameter",
       [&] { return write_d88_disk_to_file(nullptr, "never-written.d88"); }},
      {"write_d88_disk_to_buffer: illegal parameter",
       [&] { return write_d88_disk_to_buffer(&disk, nullptr, &end, 688); }},
      {"write_d88_disk_to_buffer: illegal parameter",
       [&] { return write_d88_disk_to_buffer(&disk, place, nullptr, 688); }},
  };
  for (const RefusedCall& c : calls) {
    int result = 0;
    const std::string out = captured([&] { result = c.call(); });
    EXPECT_EQ(result, -1) << c.line;
    EXPECT_EQ(out, std::string(c.line) + "\n");
  }
  EXPECT_EQ(image.count, 0);
  EXPECT_EQ(end, nullptr);
}

TEST(RefusedCalls, ADiskNoFileCouldHoldIsNotLaidOut) {
  Disk disk;
  disk.tracks[0].count = 1;
  disk.tracks[0].sectors = std::make_unique<Sector[]>(1);
  disk.tracks[0].sectors[0].size = -1;
  uint8_t place[D88_HEADER_SIZE + 64] = {};
  uint8_t* end = nullptr;
  int result = 0;
  const std::string out = captured([&] {
    result = write_d88_disk_to_buffer(&disk, place, &end, sizeof place);
  });
  EXPECT_EQ(result, -1);
  EXPECT_EQ(out, "write_d88_disk_to_buffer: disk size out of range\n");
  EXPECT_EQ(end, nullptr);
  EXPECT_EQ(place[0], 0);
}

}  // namespace
