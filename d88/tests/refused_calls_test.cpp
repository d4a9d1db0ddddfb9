// Calls the library refuses outright: missing records, places or paths, bad
// builder arguments, too little room, and a disk whose sizes no file could
// hold. Each prints its one line and fails without touching anything.
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

// 0 when the builder made something, -1 when it refused.
template <class P>
int made(const P& p) {
  return p ? 0 : -1;
}

int uniform(uint8_t c, uint8_t h, uint8_t n, int32_t count, uint8_t density) {
  return made(create_d88_sectors(c, h, 1, n, count, density));
}

int listed(uint8_t c, uint8_t h, const uint8_t* codes, int32_t count,
           uint8_t density) {
  return made(create_d88_custom_sectors(c, h, nullptr, codes, count, density));
}

TEST(RefusedCalls, PrintTheirLineAndFail) {
  const Bytes b = plain_disk();
  const uint8_t* bytes = b.data();
  Disk disk;
  Track track;
  DiskImage untouched{7, nullptr};
  OwnedImage plain;
  ASSERT_EQ(read_bytes(&plain, b), 1);
  Disk negative;  // a sector size no file could hold
  negative.tracks[0].count = 1;
  negative.tracks[0].sectors = std::make_unique<Sector[]>(1);
  negative.tracks[0].sectors[0].size = -1;
  uint8_t place[D88_HEADER_SIZE + 64] = {};
  uint8_t* end = nullptr;
  std::unique_ptr<uint8_t[]> buffer;
  int32_t length = 0;
  const uint8_t one[2] = {1, 1};
  const uint8_t zero_late[2] = {1, 0};
  const uint8_t seven[2] = {7, 1};
  const char* const sectors = "create_d88_sectors: illegal parameter";
  const char* const custom = "create_d88_custom_sectors: illegal parameter";
  const RefusedCall calls[] = {
      {"read_d88_image_from_file: illegal parameter",
       [&] { return read_d88_image_from_file(&untouched, nullptr); }},
      {"read_d88_image_from_buffer: illegal parameter",
       [&] { return read_d88_image_from_buffer(&untouched, bytes, 0); }},
      {"read_d88_image_from_buffer: illegal parameter",
       [&] { return read_d88_image_from_buffer(&untouched, nullptr, 1); }},
      {"read_d88_image_from_buffer: illegal parameter",
       [&] { return read_d88_image_from_buffer(nullptr, bytes, 1); }},
      {"read_d88_disk_from_buffer: illegal parameter",
       [&] { return read_d88_disk_from_buffer(nullptr, bytes, 64); }},
      {"read_d88_disk_from_buffer: illegal parameter",
       [&] { return read_d88_disk_from_buffer(&disk, bytes, 0); }},
      {"read_d88_track_from_buffer: illegal parameter",
       [&] { return read_d88_track_from_buffer(nullptr, bytes, 1, 64); }},
      {"read_d88_track_from_buffer: illegal parameter",
       [&] { return read_d88_track_from_buffer(&track, bytes, 32, 32); }},
      {"write_d88_image_to_buffer: illegal parameter",
       [&] { return write_d88_image_to_buffer(nullptr, &buffer, &length); }},
      {"write_d88_image_to_buffer: illegal parameter",
       [&] { return write_d88_image_to_buffer(&plain, nullptr, &length); }},
      {"write_d88_image_to_file: illegal parameter",
       [&] { return write_d88_image_to_file(&plain, nullptr); }},
      {"write_d88_disk_to_file: illegal parameter",
       [&] { return write_d88_disk_to_file(nullptr, "never-written.d88"); }},
      {"write_d88_disk_to_buffer: illegal parameter",
       [&] { return write_d88_disk_to_buffer(&disk, nullptr, &end, 688); }},
      {"write_d88_disk_to_buffer: illegal parameter",
       [&] { return write_d88_disk_to_buffer(&disk, place, nullptr, 688); }},
      {"write d88 disk: buffer size error: 100 < 1776",
       [&] { return write_d88_disk_to_buffer(plain.first, place, &end, 100); }},
      {"write_d88_disk_to_buffer: disk size out of range",
       [&] {
         return write_d88_disk_to_buffer(&negative, place, &end, sizeof place);
       }},
      {"create_d88_disk: illegal parameter",
       [] { return made(DiskPtr(create_d88_disk(nullptr, 10))); }},
      {"create_d88_disk: illegal parameter",
       [] { return made(DiskPtr(create_d88_disk(nullptr, -1))); }},
      {sectors, [] { return uniform(82, 0, 1, 1, 0); }},
      {sectors, [] { return uniform(0, 2, 1, 1, 0); }},
      {sectors, [] { return uniform(0, 0, 0, 1, 0); }},
      {sectors, [] { return uniform(0, 0, 7, 1, 0); }},
      {sectors, [] { return uniform(0, 0, 1, 0, 0); }},
      {sectors, [] { return uniform(0, 0, 1, 1, 0x20); }},
      {custom, [&] { return listed(82, 0, one, 2, 0); }},
      {custom, [&] { return listed(0, 2, one, 2, 0); }},
      {custom, [] { return listed(0, 0, nullptr, 2, 0); }},
      {custom, [&] { return listed(0, 0, one, -1, 0); }},
      {custom, [&] { return listed(0, 0, one, 2, 1); }},
      {custom, [&] { return listed(0, 0, zero_late, 2, 0); }},
      {custom, [&] { return listed(0, 0, seven, 2, 0); }},
  };
  for (const RefusedCall& c : calls) {
    int result = 0;
    const std::string out = captured([&] { result = c.call(); });
    EXPECT_EQ(result, -1) << c.line;
    EXPECT_EQ(out, std::string(c.line) + "\n");
  }
  EXPECT_EQ(untouched.count, 7);
  EXPECT_EQ(end, nullptr);
  EXPECT_EQ(std::string(place, place + sizeof place),
            std::string(sizeof place, '\0'));
}

}  // namespace
