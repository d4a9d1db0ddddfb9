#include "common/cli.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

#include "common/confirm.h"

namespace {

TEST(ParseDiskIndex, ReadsLikeUnsigned32BitStrtoul) {
  const struct {
    const char* text;
    int result, index;
  } rows[] = {{"0X1f", 0, 31}, {"010", 0, 8}, {"", 0, 0}, {"  +4", 0, 4}, {"-1", 0, -1},
              {"2147483648", 0, INT32_MIN}, {"4294967296", 0, -1}, {"-4294967295", 0, 1},
              {"08", -1, 0}, {"3 ", -1, 0}, {"+-1", -1, 0}, {"- 1", -1, 0}};
  for (const auto& c : rows) {
    int32_t index = 0;
    EXPECT_EQ(common::parse_disk_index(c.text, &index), c.result) << c.text;
    EXPECT_EQ(index, c.index) << c.text;
  }
}

// Answers with input; what ask(arg) printed, then its result.
std::string answered(const char* input, int (*ask)(const char*), const char* arg) {
  std::FILE* in = std::tmpfile();
  std::fputs(input, in);
  std::rewind(in);
  std::FILE* saved = std::exchange(stdin, in);
  testing::internal::CaptureStdout();
  const int result = ask(arg);
  stdin = saved;
  std::fclose(in);
  return testing::internal::GetCapturedStdout() + std::to_string(result);
}

TEST(Confirm, FirstDecidingCharacterWinsAndEndOfInputRefuses) {
  const std::string prompt = "overwrite ? (Y or N): ";
  EXPECT_EQ(answered("\n\nxq y", confirm_yes_no, "overwrite ?"), prompt + "1");
  EXPECT_EQ(answered(" \tN y", confirm_yes_no, "overwrite ?"), prompt + "0");
  EXPECT_EQ(answered("zzz", confirm_yes_no, "overwrite ?"), prompt + "\n0");
  EXPECT_EQ(answered("", common::ask_overwrite, "/no/such/file"), "1");
  EXPECT_EQ(answered("Y", common::ask_overwrite, "/dev/null"),
            "already exists '/dev/null'\n" + prompt + "1");
}

}  // namespace
