#include <gtest/gtest.h>

#include <string>

#include "common/le.h"
#include "d88/d88.h"
#include "d88/tests/model_equal.h"
#include "d88/tests/raw_d88.h"
#include "d88/tests/test_util.h"

namespace {

struct NormaliseRow {
  const char* what;
  Bytes input;
  Bytes plain;  // what the writer must make of it
};

Bytes short_header_disk() {
  RawDisk d("DISK", D88_SHORT_HEADER_SIZE);
  d.add(0, track_bytes(0, 0, 2));
  d.add(1, track_bytes(0, 1, 2));
  return d.done();
}

Bytes descending_disk() {
  RawDisk d("DISK");
  d.add(1, track_bytes(0, 1, 2));
  d.add(0, track_bytes(0, 0, 2));
  return d.done();
}

Bytes gaps_disk() {
  RawDisk d("DISK");
  d.add(0, track_bytes(0, 0, 2));
  d.append(Bytes(100, 0x99));
  d.add(1, track_bytes(0, 1, 2));
  d.append(Bytes(50, 0x99));
  return d.done();
}

Bytes empty_track_disk() {
  RawDisk d("DISK");
  d.add(0, track_bytes(0, 0, 2));
  d.add(2, Bytes(16, 0));
  d.add(1, track_bytes(0, 1, 2));
  return d.done();
}

Bytes other_counts_disk() {
  Bytes b = plain_disk();
  put16(b, sector_at(0x4D0, 1) + 4, 0x1234);
  return b;
}

std::vector<NormaliseRow> normalise_rows() {
  return {
      {"short header", short_header_disk(), plain_disk()},
      {"descending tracks", descending_disk(), plain_disk()},
      {"gaps and bytes after the last track", gaps_disk(), plain_disk()},
      {"empty track", empty_track_disk(), plain_disk()},
      {"differing sector counts", other_counts_disk(), plain_disk()},
      {"tail after the last disk", plain_disk() + Bytes(300, 1), plain_disk()},
      {"second disk short", plain_disk() + short_header_disk(),
       plain_disk() + plain_disk()},
  };
}

TEST(Writer, NormalisesAndKeepsTheModel) {
  for (const NormaliseRow& row : normalise_rows()) {
    OwnedImage image;
    captured([&] { ASSERT_GT(read_bytes(&image, row.input), 0) << row.what; });
    const std::string out = written(image);
    EXPECT_EQ(out, as_string(row.plain)) << row.what;

    OwnedImage again;
    ASSERT_GT(read_bytes(&again, Bytes(out.begin(), out.end())), 0);
    EXPECT_EQ(d88_difference(image, again), "") << row.what;
  }
}

TEST(Writer, PlainLayoutComesOutByteIdentical) {
  RawDisk sparse("SPARSE");
  sparse.add(4, track_bytes(2, 0, 3, 0));
  sparse.add(90, track_bytes(45, 0, 1, 1024));
  sparse.add(163, track_bytes(81, 1, 2, 128));
  const Bytes inputs[] = {plain_disk() + plain_disk("TWO"), sparse.done(),
                          RawDisk("EMPTY").done()};
  for (const Bytes& input : inputs) {
    OwnedImage image;
    ASSERT_GT(read_bytes(&image, input), 0);
    EXPECT_EQ(written(image), as_string(input));
  }
}

TEST(Writer, BuiltDiskLayout) {
  OwnedImage image;
  image.first = create_d88_disk(nullptr, 9);
  image.count = 1;
  const std::string out = written(image);
  ASSERT_EQ(out.size(), 1089776u);
  const auto* p = reinterpret_cast<const uint8_t*>(out.data());
  EXPECT_EQ(le_get32(p + 0x1C), 1089776u);
  EXPECT_EQ(le_get32(p + 0x20), 0x2B0u);
  EXPECT_EQ(le_get32(p + 0x24), 0x2B0u + 26 * 272);
  EXPECT_EQ(le_get32(p + 0x20 + 4 * 154), 0u);

  OwnedImage again;
  ASSERT_EQ(read_bytes(&again, Bytes(out.begin(), out.end())), 1);
  EXPECT_EQ(d88_difference(image, again), "");
  EXPECT_EQ(written(again), out);
}

TEST(Writer, DiskBufferTooSmall) {
  OwnedImage image;
  ASSERT_EQ(read_bytes(&image, plain_disk()), 1);
  uint8_t room[100] = {};
  uint8_t* end = nullptr;
  EXPECT_EQ(captured([&] {
              EXPECT_EQ(write_d88_disk_to_buffer(image.first, room, &end, 100),
                        -1);
            }),
            "write d88 disk: buffer size error: 100 < 1776\n");
  EXPECT_EQ(end, nullptr);
  EXPECT_EQ(room[0], 0);
}

TEST(Writer, RefusesMissingArguments) {
  std::unique_ptr<uint8_t[]> buffer;
  int32_t length = 0;
  const DiskImage image;
  EXPECT_EQ(captured([&] {
              EXPECT_EQ(write_d88_image_to_buffer(nullptr, &buffer, &length),
                        -1);
              EXPECT_EQ(write_d88_image_to_buffer(&image, nullptr, &length),
                        -1);
            }),
            "write_d88_image_to_buffer: illegal parameter\n"
            "write_d88_image_to_buffer: illegal parameter\n");
}

TEST(Writer, NegativeSectorSizeIsRefused) {
  OwnedImage image;
  ASSERT_EQ(read_bytes(&image, plain_disk()), 1);
  image.first->tracks[1].sectors[0].size = -5;
  EXPECT_EQ(captured([&] { EXPECT_EQ(written(image), ""); }),
            "write_d88_image_to_buffer: image size out of range\n");
}

}  // namespace
