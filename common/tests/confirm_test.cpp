#include "common/confirm.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

TEST(ConfirmYesNo, FirstDecidingCharacterWinsAndEndOfInputRefuses) {
  const struct {
    std::string input;
    int result;
    const char* after_prompt;  // printed after the question
  } cases[] = {
      {"y\n", 1, ""},      {"Y", 1, ""},        {"n\n", 0, ""},
      {"N", 0, ""},        {"\n\nxq y", 1, ""}, {"what? no", 0, ""},
      {"yes", 1, ""},      {" \tN y", 0, ""},   {"", 0, "\n"},
      {"\n", 0, "\n"},     {"zzz", 0, "\n"},
  };
  for (const auto& c : cases) {
    std::FILE* in = std::tmpfile();
    std::fwrite(c.input.data(), 1, c.input.size(), in);
    std::rewind(in);
    std::FILE* saved = stdin;
    stdin = in;
    testing::internal::CaptureStdout();
    const int result = confirm_yes_no("overwrite ?");
    const std::string printed = testing::internal::GetCapturedStdout();
    stdin = saved;
    std::fclose(in);
    EXPECT_EQ(result, c.result) << c.input;
    EXPECT_EQ(printed, std::string("overwrite ? (Y or N): ") + c.after_prompt)
        << c.input;
  }
}

}  // namespace
