#include "common/cli.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(ParseDiskIndex, ReadsLikeUnsigned32BitStrtoul) {
  const struct {
    const char* text;
    int32_t index;
  } accepted[] = {
      {"0", 0},
      {"7", 7},
      {"0x1", 1},
      {"0X1f", 31},
      {"010", 8},
      {"", 0},
      {"  3", 3},
      {"+4", 4},
      {"-1", -1},
      {"4294967295", -1},
      {"2147483647", 2147483647},
      {"2147483648", INT32_MIN},
      {"4294967296", -1},  // too large saturates
      {"99999999999999999999", -1},
      {"-4294967295", 1},  // negated in unsigned arithmetic
      {"-4294967296", -1},
  };
  for (const auto& c : accepted) {
    int32_t index = 12345;
    EXPECT_EQ(parse_disk_index(c.text, &index), 0) << '"' << c.text << '"';
    EXPECT_EQ(index, c.index) << '"' << c.text << '"';
  }
  for (const char* text :
       {"1a", "x", "0x", "08", " ", "3 ", "+", "--1", "+-1", "- 1"}) {
    int32_t index = 0;
    EXPECT_EQ(parse_disk_index(text, &index), -1) << '"' << text << '"';
  }
}

}  // namespace
