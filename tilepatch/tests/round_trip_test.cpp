// tilepatch together with tiledump on the sample game disks: what is patched
// is what is dumped, nothing but shape bytes changes, and a dumped bitmap
// patches back to the very same bytes.
#include <gtest/gtest.h>

#include "tests/support/run_program.h"
#include "tilepatch/shapes_bitmap.h"
#include "tilepatch/tests/fixtures.h"

namespace {

class RoundTripTest : public testing::Test {
 protected:
  void SetUp() override {
    const RunResult r = run_program(MAKE_SAMPLES_EXE, {dir.path()}, dir.path());
    ASSERT_EQ(r.status, 0) << r.out;
  }

  void patch(const std::vector<std::string>& args) {
    const RunResult r = run_program(TILEPATCH_EXE, args, dir.path());
    ASSERT_EQ(r.status, 0) << r.out;
  }

  // Dumps two disks and loads the bitmap back as tilepatch does: the
  // colours 0 to 7 of the dump are the first eight the loader matches.
  std::vector<uint8_t> dump(std::vector<std::string> args) {
    args.insert(args.end(), {"--overwrite", "dump.bmp"});
    const RunResult r = run_program(TILEDUMP_EXE, args, dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
    auto sheet = std::make_unique<ShapeSheet>();
    EXPECT_EQ(load_shapes_bitmap(sheet.get(), (dir / "dump.bmp").c_str()), 0);
    return std::vector<uint8_t>(sheet->pixels,
                                sheet->pixels + SHAPE_SHEET_BYTES);
  }

  // Every byte outside the shapes of the changed disks is as it was.
  void expect_only_shapes_changed(const std::string& before_name,
                                  const std::string& after_name,
                                  const std::vector<DiskChange>& changes) {
    const std::string before = read_file(dir / before_name);
    const std::string after = read_file(dir / after_name);
    ASSERT_EQ(before.size(), after.size()) << after_name;
    const std::vector<bool> shape_byte = shape_byte_map(before, changes);
    size_t changed = 0;
    for (size_t i = 0; i < before.size(); ++i) {
      if (shape_byte[i]) {
        changed += before[i] != after[i];
      } else {
        ASSERT_EQ(before[i], after[i]) << after_name << " byte " << i;
      }
    }
    EXPECT_GT(changed, 0u) << after_name;
  }

  TempDir dir;
};

// A 24-bit bitmap onto the five-disk file and onto each single disk; the
// three dumps of each set see every disk.
TEST_F(RoundTripTest, DumpOfThePatchedDisksShowsTheBitmap) {
  const Picture picture = random_shape_picture(77);
  write_picture_bitmap(dir / "sheet.bmp", picture, 24);
  const ShapeRange* const lo = &lower_shape_range;
  const ShapeRange* const up = &upper_shape_range;
  patch({"-D", "kq-game.d88", "0", "1", "2", "3", "4", "-o", "patched.d88",
         "sheet.bmp"});
  expect_only_shapes_changed("kq-game.d88", "patched.d88",
                             {{0, lo}, {1, up}, {2, up}, {3, up}, {4, lo}});
  EXPECT_EQ(dump({"-D", "patched.d88", "0", "1"}), picture.colours);
  EXPECT_EQ(dump({"-D", "patched.d88", "4", "2"}), picture.colours);
  EXPECT_EQ(dump({"-D", "patched.d88", "0", "3"}), picture.colours);

  const struct {
    const char* type;
    std::string disk;
    const ShapeRange* range;
  } disks[] = {{"z", "zorvan", lo},
               {"k", "kelmorane", up},
               {"v", "vesto", up},
               {"dh", "duskhollow", up},
               {"fh", "farhaven", lo}};
  for (const auto& d : disks) {
    patch({"-t", d.type, "sheet.bmp"});
    expect_only_shapes_changed("kq-" + d.disk + ".d88",
                               "kq-" + d.disk + ".NEW.d88", {{0, d.range}});
  }
  const char* const pairs[][2] = {
      {"zorvan", "kelmorane"}, {"farhaven", "vesto"}, {"zorvan", "duskhollow"}};
  for (const auto& p : pairs) {
    EXPECT_EQ(dump({"-d1", std::string("kq-") + p[0] + ".NEW.d88", "-d2",
                    std::string("kq-") + p[1] + ".NEW.d88"}),
              picture.colours)
        << p[0] << " and " << p[1];
  }
}

TEST_F(RoundTripTest, DumpedBitmapPatchesBackToTheSameBytes) {
  dump({"-D", "kq-game.d88", "4", "2"});
  patch({"-D", "kq-game.d88", "-1", "-1", "-1", "-1", "-1", "-i", "4", "-t",
         "fh", "-o", "fh.d88", "dump.bmp"});
  patch({"-d", "kq-game.d88", "-i", "2", "-t", "v", "-o", "v.d88", "dump.bmp"});
  const std::string game = read_file(dir / "kq-game.d88");
  EXPECT_EQ(read_file(dir / "fh.d88"), game);
  EXPECT_EQ(read_file(dir / "v.d88"), game);
}

}  // namespace
