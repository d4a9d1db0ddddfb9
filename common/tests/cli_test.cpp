#include "common/cli.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

struct IndexCase {
  const char* text;
  int result;
  int32_t index;
};

TEST(ParseDiskIndex, ReadsLikeUnsigned32BitStrtoul) {
  const IndexCase cases[] = {
      {"0", 0, 0},
      {"7", 0, 7},
      {"0x1", 0, 1},
      {"0X1f", 0, 31},
      {"010", 0, 8},
      {"", 0, 0},
      {"  3", 0, 3},
      {"+4", 0, 4},
      {"-1", 0, -1},
      {"4294967295", 0, -1},
      {"2147483647", 0, 2147483647},
      {"2147483648", 0, INT32_MIN},
      {"4294967296", 0, -1},          // too large saturates
      {"99999999999999999999", 0, -1},
      {"-4294967295", 0, 1},          // negated in unsigned arithmetic
      {"-4294967296", 0, -1},
      {"1a", -1, 0},
      {"x", -1, 0},
      {"0x", -1, 0},
      {"08", -1, 0},
      {" ", -1, 0},
      {"3 ", -1, 0},
      {"+", -1, 0},
      {"--1", -1, 0},
      {"+-1", -1, 0},
      {"- 1", -1, 0},
  };
  for (const IndexCase& c : cases) {
    int32_t index = 12345;
    EXPECT_EQ(parse_disk_index(c.text, &index), c.result) << '"' << c.text << '"';
    if (c.result == 0) {
      EXPECT_EQ(index, c.index) << '"' << c.text << '"';
    }
  }
}

}  // namespace
