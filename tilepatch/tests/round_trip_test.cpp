// tilepatch together with tiledump on the sample game disks: what is patched
// is what is dumped, nothing but shape bytes changes, and every bitmap depth
// showing the same colours gives the same disks.
#include <gtest/gtest.h>

#include "tests/support/run_program.h"
#include "tilepatch/tests/fixtures.h"

namespace {

const char* const single_disks[] = {"kq-zorvan.d88", "kq-kelmorane.d88",
                                    "kq-vesto.d88", "kq-duskhollow.d88",
                                    "kq-farhaven.d88"};

const std::vector<DiskChange> whole_game = {{0, &lower_shape_range},
                                            {1, &upper_shape_range},
                                            {2, &upper_shape_range},
                                            {3, &upper_shape_range},
                                            {4, &lower_shape_range}};

class RoundTripTest : public testing::Test {
 protected:
  void SetUp() override {
    const RunResult r = run_program(MAKE_SAMPLES_EXE, {dir.path()}, dir.path());
    ASSERT_EQ(r.status, 0) << r.out;
  }

  RunResult patch(const std::vector<std::string>& args) {
    return run_program(TILEPATCH_EXE, args, dir.path());
  }

  // Dumps two disks and returns the bitmap's pixels (4 bits, one a byte).
  std::vector<uint8_t> dump(const std::vector<std::string>& disks) {
    std::vector<std::string> args = disks;
    args.push_back("--overwrite");
    args.push_back("dump.bmp");
    const RunResult r = run_program(TILEDUMP_EXE, args, dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
    int bits = 0;
    std::vector<uint8_t> pixels = read_bitmap_pixels(dir / "dump.bmp", &bits);
    EXPECT_EQ(bits, 4);
    return pixels;
  }

  // Every byte outside the shapes of the changed disks is as it was.
  void expect_only_shapes_changed(const std::string& before,
                                  const std::string& after,
                                  const std::vector<DiskChange>& changes) {
    ASSERT_EQ(before.size(), after.size());
    const std::vector<bool> shape_byte = shape_byte_map(before, changes);
    size_t changed = 0;
    for (size_t i = 0; i < before.size(); ++i) {
      if (shape_byte[i]) {
        changed += before[i] != after[i];
      } else {
        ASSERT_EQ(before[i], after[i]) << "byte " << i;
      }
    }
    EXPECT_GT(changed, 0u);
  }

  TempDir dir;
};

TEST_F(RoundTripTest, DumpOfThePatchedGameShowsTheBitmap) {
  const Picture picture = random_shape_picture(77);
  write_picture_bitmap(dir / "sheet.bmp", picture, 4);
  const RunResult r = patch({"-D", "kq-game.d88", "0", "1", "2", "3", "4", "-o",
                             "patched.d88", "sheet.bmp"});
  ASSERT_EQ(r.status, 0) << r.out;
  for (const char* lower : {"0", "4"}) {
    for (const char* upper : {"1", "2", "3"}) {
      EXPECT_EQ(dump({"-D", "patched.d88", lower, upper}), picture.colours)
          << "disks " << lower << " and " << upper;
    }
  }
  expect_only_shapes_changed(read_file(dir / "kq-game.d88"),
                             read_file(dir / "patched.d88"), whole_game);
}

TEST_F(RoundTripTest, EachSingleDiskTakesItsOwnShapes) {
  const Picture picture = random_shape_picture(78);
  write_picture_bitmap(dir / "sheet.bmp", picture, 24);
  const char* const types[] = {"z", "k", "v", "dh", "fh"};
  for (int t = 0; t < 5; ++t) {
    const RunResult r = patch({"-t", types[t], "sheet.bmp"});
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string name = single_disks[t];
    const std::string output = name.substr(0, name.size() - 4) + ".NEW.d88";
    expect_only_shapes_changed(read_file(dir / name), read_file(dir / output),
                               {{0, whole_game[t].range}});
  }
  for (const char* lower : {"kq-zorvan.NEW.d88", "kq-farhaven.NEW.d88"}) {
    for (const char* upper : {"kq-kelmorane.NEW.d88", "kq-vesto.NEW.d88",
                              "kq-duskhollow.NEW.d88"}) {
      EXPECT_EQ(dump({"-d1", lower, "-d2", upper}), picture.colours)
          << lower << " and " << upper;
    }
  }
}

TEST_F(RoundTripTest, DumpedBitmapPatchesBackToTheSameBytes) {
  dump({"-D", "kq-game.d88", "4", "2"});
  RunResult r = patch({"-D", "kq-game.d88", "-1", "-1", "-1", "-1", "-1", "-i",
                       "4", "-t", "fh", "-o", "fh.d88", "dump.bmp"});
  ASSERT_EQ(r.status, 0) << r.out;
  r = patch({"-d", "kq-game.d88", "-i", "2", "-t", "v", "-o", "v.d88",
             "dump.bmp"});
  ASSERT_EQ(r.status, 0) << r.out;
  const std::string game = read_file(dir / "kq-game.d88");
  EXPECT_EQ(read_file(dir / "fh.d88"), game);
  EXPECT_EQ(read_file(dir / "v.d88"), game);
}

struct DepthSet {
  bool black_white;
  std::vector<int> depths;
};

class SameColoursTest : public RoundTripTest,
                        public testing::WithParamInterface<DepthSet> {};

TEST_P(SameColoursTest, EveryDepthPatchesTheSameBytes) {
  const Picture picture = GetParam().black_white
                              ? random_black_white_picture(256, 256, 79)
                              : random_shape_picture(79);
  std::string first;
  for (int bits : GetParam().depths) {
    const std::string bmp = "sheet" + std::to_string(bits) + ".bmp";
    const std::string out = "out" + std::to_string(bits) + ".d88";
    write_picture_bitmap(dir / bmp, picture, bits);
    const RunResult r = patch(
        {"-D", "kq-game.d88", "0", "1", "2", "3", "4", "-o", out, bmp});
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string image = read_file(dir / out);
    if (first.empty()) {
      first = image;
      EXPECT_EQ(dump({"-D", out, "0", "1"}), picture.colours);
    } else {
      EXPECT_TRUE(image == first) << bits << " bits differ";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Depths, SameColoursTest,
    testing::Values(DepthSet{false, {4, 8, 16, 24, 32}},
                    DepthSet{true, {1, 4, 8, 16, 24, 32}}));

}  // namespace
