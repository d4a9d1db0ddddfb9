#include <gtest/gtest.h>

#include <vector>

#include "d88/d88.h"
#include "d88/tests/model_equal.h"
#include "d88/tests/test_util.h"

namespace {

TEST(Writer, LaysOutPlainBytesAndKeepsTheModel) {
  const Bytes plain = plain_disk();
  const Bytes short_plain = raw_disk("DISK", D88_SHORT_HEADER_SIZE,
                                     {{0, track_bytes(0, 0, 2)},
                                      {1, track_bytes(0, 1, 2)}});
  // In a short header these bytes stand where slots 160 to 163 would be; as
  // table entries they would be out of range.
  Bytes at672 = track_bytes(0, 0, 1);
  put32(at672, 0, 0xDEADBEEF);
  const Bytes at_end = track_bytes(2, 1, 1);
  Bytes other_counts = plain;
  put16(other_counts, sector_at(0x4D0, 1) + 4, 0x1234);
  const Bytes t0 = track_bytes(0, 0, 1, 128);
  const Bytes t1 = track_bytes(1, 0, 3, 0);
  const Bytes t3 = track_bytes(3, 0, 2);
  const Bytes sparse = raw_disk("SPARSE", D88_HEADER_SIZE,
                                {{4, track_bytes(2, 0, 3, 0)},
                                 {90, track_bytes(45, 0, 1, 1024)},
                                 {163, track_bytes(81, 1, 2, 128)}});
  const struct {
    const char* what;
    Bytes input;
    Bytes expected;  // what the writer must make of it
  } rows[] = {
      // Layouts the writer normalises.
      {"short header", raw_disk("S", 672, {{0, at672}, {5, at_end}}),
       raw_disk("S", 688, {{0, at672}, {5, at_end}})},
      {"short header only", raw_disk("S", 672), raw_disk("S")},
      {"descending tracks, gaps, an empty track, bytes after the last",
       raw_disk("D", 688,
                {{3, t3}, {-1, Bytes(40, 0x77)}, {2, Bytes(16)}, {1, t1},
                 {0, t0}, {-1, Bytes(50, 0x99)}}),
       raw_disk("D", 688, {{0, t0}, {1, t1}, {3, t3}})},
      {"differing sector counts", other_counts, plain},
      {"tail after the last disk", plain + Bytes(300, 1), plain},
      {"second disk short", plain + short_plain, plain + plain},
      // Plain layouts come out byte for byte.
      {"two plain disks", plain + plain_disk("TWO"), plain + plain_disk("TWO")},
      {"sparse slots and sizes", sparse, sparse},
      {"header only", raw_disk("EMPTY"), raw_disk("EMPTY")},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    OwnedImage image;
    captured([&] { ASSERT_GT(read_bytes(&image, row.input), 0); });
    const Bytes out = written(image);
    EXPECT_EQ(out, row.expected);

    OwnedImage again;
    ASSERT_GT(read_bytes(&again, out), 0);
    EXPECT_EQ(d88_difference(image, again), "");
  }
}

}  // namespace
