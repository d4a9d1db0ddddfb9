#include "common/confirm.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// Runs confirm_yes_no with the given text on standard input and returns its
// result together with what it printed.
int ask(const std::string& input, std::string* printed) {
  std::FILE* in = std::tmpfile();
  std::fwrite(input.data(), 1, input.size(), in);
  std::rewind(in);
  std::FILE* saved = stdin;
  stdin = in;
  testing::internal::CaptureStdout();
  const int result = confirm_yes_no("overwrite ?");
  *printed = testing::internal::GetCapturedStdout();
  stdin = saved;
  std::fclose(in);
  return result;
}

struct Case {
  const char* input;
  int result;
};

TEST(ConfirmYesNo, FirstDecidingCharacterWins) {
  const Case cases[] = {
      {"y\n", 1}, {"Y", 1},      {"n\n", 0},     {"N", 0},
      {"\n\nxq y", 1}, {"what? no", 0}, {"yes", 1}, {" \tN y", 0},
  };
  for (const Case& c : cases) {
    std::string printed;
    EXPECT_EQ(ask(c.input, &printed), c.result) << c.input;
    EXPECT_EQ(printed, "overwrite ? (Y or N): ") << c.input;
  }
}

TEST(ConfirmYesNo, EndOfInputRefuses) {
  for (const char* input : {"", "\n", "zzz"}) {
    std::string printed;
    EXPECT_EQ(ask(input, &printed), 0) << input;
    EXPECT_EQ(printed, "overwrite ? (Y or N): \n");
  }
}

}  // namespace
