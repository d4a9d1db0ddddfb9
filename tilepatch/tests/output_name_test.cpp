// The default output name, run in this process.
#include <gtest/gtest.h>

#include <cstring>

#include "tilepatch/tilepatch.h"

namespace {

struct NameCase {
  const char* disk_file;
  const char* output;
};

class DeriveOutputNameTest : public testing::TestWithParam<NameCase> {};

TEST_P(DeriveOutputNameTest, PutsNewBeforeTheExtension) {
  const NameCase& c = GetParam();
  const std::unique_ptr<char[]> name = derive_output_name(c.disk_file);
  ASSERT_TRUE(name);
  EXPECT_STREQ(name.get(), c.output);
  // The name always fits the length of the input plus 5 bytes.
  EXPECT_EQ(std::strlen(name.get()), std::strlen(c.disk_file) + 4);
}

INSTANTIATE_TEST_SUITE_P(
    Names, DeriveOutputNameTest,
    testing::Values(NameCase{"kq-zorvan.d88", "kq-zorvan.NEW.d88"},
                    NameCase{"dir/game.old.d88", "dir/game.old.NEW.d88"},
                    NameCase{"/abs/path/game.D88", "/abs/path/game.NEW.D88"},
                    NameCase{"dir.old/game", "dir.old/game.NEW"},
                    NameCase{"../game", "../game.NEW"},
                    NameCase{"game", "game.NEW"},
                    NameCase{"game.", "game.NEW."},
                    NameCase{".d88", ".NEW.d88"},
                    NameCase{"a\\b.c\\d", "a\\b.NEW.c\\d"},
                    NameCase{"dir.d/", "dir.d/.NEW"},
                    NameCase{"", ".NEW"}));

}  // namespace
