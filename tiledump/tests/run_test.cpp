// tiledump as a user runs it, on a fresh set of sample disks.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "d88/d88.h"
#include "samples/sample_sheet.h"
#include "export.h"
#include "support/run_program.h"

namespace {

const char kOld[] = "an earlier picture";

// The bitmap for shapes 0-127 from the sample disk lower and 128-255 from
// upper (letters Z, K, V, D, F), built by hand rather than by the writer.
std::string expected_bitmap(char lower, char upper) {
  static ShapeSheet sheets[2];
  draw_sample_sheet(&sheets[0], lower);
  draw_sample_sheet(&sheets[1], upper);
  std::string b = "BM";
  auto le = [&](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(char(v >> (8 * i)));
  };
  le(32886, 4), le(0, 4), le(118, 4), le(40, 4), le(256, 4), le(256, 4);
  le(1, 2), le(4, 2), le(0, 4), le(32768, 4);
  b.append(16, '\0');
  b.append("\0\0\0\0\xFF\0\0\0\0\0\xFF\0\xFF\0\xFF\0\0\xFF\0\0\xFF\xFF\0\0"
           "\0\xFF\xFF\0\xFF\xFF\xFF\0\x80\x80\x80\0\x80\0\0\0\0\0\x80\0"
           "\x80\0\x80\0\0\x80\0\0\x80\x80\0\0\0\x80\x80\0\xC0\xC0\xC0\0",
           64);
  // Shapes 96 to 126 keep a single plane: white wherever a colour was.
  auto pixel = [&](int x, int y) {
    const int shape = (y / 16) * 16 + x / 16;
    const int v = sheets[shape < 128 ? 0 : 1].pixels[y * 256 + x] & 7;
    return shape >= 96 && shape <= 126 && v != 0 ? 7 : v;
  };
  for (int y = 255; y >= 0; --y)
    for (int x = 0; x < 256; x += 2)
      b.push_back(char(pixel(x, y) << 4 | pixel(x + 1, y)));
  return b;
}

struct Case {
  std::vector<std::string> args;
  std::string out;  // "..." first: only the end of what is printed
  std::string input = "";
};

void expect_out(const RunResult& r, const Case& c) {
  if (c.out.rfind("...", 0) == 0) {
    const std::string tail = c.out.substr(3);
    EXPECT_TRUE(r.out.size() >= tail.size() &&
                r.out.compare(r.out.size() - tail.size(), tail.size(), tail) == 0)
        << r.out;
  } else {
    EXPECT_EQ(r.out, c.out);
  }
}

TEST(TiledumpCommandLine, EachErrorPrintsItsLineAndEndsWithStatus1) {
  const Case cases[] = {
      {{}, "no output bitmap filename\n"},
      {{"-d1"}, "error: no disk name (zorvan/far haven disk)\n"},
      {{"--disk2"}, "error: no disk name (kelmorane/vesto/duskhollow disk)\n"},
      {{"-i1"}, "error: no image index\n"},
      {{"--index2", "08", "o.bmp"}, "error: illegal image index '08'\n"},
      {{"-D"}, "error: no disk name\n"},
      {{"-D", "g.d88"}, "error: no image index of zorvan/far haven disk\n"},
      {{"-D", "g.d88", "0"},
       "error: no image index of kelmorane/vesto/duskhollow disk\n"},
      {{"-x", "--help"}, "unknown option '-x'\n"},
      {{"a.bmp", "b.bmp"}, "unneeded parameter 'b.bmp'\n"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    const RunResult r = run_program(TILEDUMP_EXE, c.args, dir.path());
    EXPECT_EQ(r.status, 1) << c.out;
    expect_out(r, c);
    EXPECT_TRUE(list_dir(dir.path()).empty()) << c.out;
  }
  const RunResult help = run_program(TILEDUMP_EXE, {"o.bmp", "-?"}, dir.path());
  EXPECT_EQ(help.status, 1);
  EXPECT_EQ(help.out.rfind("usage: tiledump [options] OUTPUT.BMP\n", 0), 0u);
  EXPECT_EQ(std::count(help.out.begin(), help.out.end(), '\n'), 14);
}

class TiledumpRun : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(run_program(MAKE_SAMPLES_EXE, {dir.path()}, ".").status, 0);
  }
  RunResult run(const std::vector<std::string>& args,
                const std::string& input = "") {
    return run_program(TILEDUMP_EXE, args, dir.path(), input);
  }
  TempDir dir;
};

// kq-game.d88 holds zorvan, kelmorane, vesto, duskhollow, far haven.
TEST_F(TiledumpRun, WritesTheShapesOfTheDisksNamed) {
  const std::string g = "kq-game.d88";
  const struct {
    std::vector<std::string> args;
    char lower, upper;
    std::string out_head;
  } cases[] = {
      {{}, 'Z', 'K', ""},
      {{"--verbose"}, 'Z', 'K', "20/01/10 - 22/00/08\n[20/01/10]\n"},
      {{"-D", g, "4", "3"}, 'F', 'D', ""},
      {{"-d1", g, "-d2", g, "-i1", "4", "-i2", "2"}, 'F', 'V', ""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--overwrite", "out.bmp"});
    const RunResult r = run(args);
    EXPECT_EQ(r.status, 0) << c.lower << c.upper;
    EXPECT_TRUE(c.out_head.empty() ? r.out.empty()
                                   : r.out.rfind(c.out_head, 0) == 0);
    EXPECT_TRUE(read_file(dir / "out.bmp") == expected_bitmap(c.lower, c.upper))
        << c.lower << c.upper;
  }
}

TEST_F(TiledumpRun, EveryFailureLeavesTheDirectoryAsItWas) {
  write_file(dir / "shapes.bmp", kOld);
  // Shape sector 20/01/10 holding 128 of the 256 bytes its code promises.
  Disk* disk = create_d88_disk("ODD", 0);
  ASSERT_NE(disk, nullptr);
  Sector* sector = find_d88_sector(disk, 0x20, 1, 0x10);
  sector->size = 128;
  sector->data = std::make_unique<uint8_t[]>(128);
  EXPECT_EQ(write_d88_disk_to_file(disk, (dir / "short.d88").c_str()), 0);
  free_d88_disk(disk, 1);
  ASSERT_EQ(::mkdir((dir / "pictures").c_str(), 0755), 0);
  const std::string pictures =
      "error: open 'pictures'\nerror: write bitmap file 'pictures'\n";
  const Case cases[] = {
      {{"-D", "kq-game.d88", "0", "5", "o.bmp"},
       "error: illegal image index: 'kq-game.d88':5\n"},
      {{"-d2", "absent.d88", "o.bmp"},
       "...error: read d88 image 'absent.d88'\n"},
      {{"-d1", "short.d88", "o.bmp"},
       "error: read d88 image 20/01/10\nerror: draw shapes\n"},
      // An existing target that cannot be replaced, after a yes.
      {{"pictures"},
       "already exists 'pictures'\noverwrite ? (Y or N): " + pictures, "y\n"},
      {{""}, "error: open ''\nerror: write bitmap file ''\n"},  // no such name
      {{"--overwrite", "absent/o.png"},
       "error: open 'absent/o.png'\nerror: write bitmap file 'absent/o.png'\n"},
      {{"--overwrite", "/dev/full"},
       "...error: write bitmap '/dev/full'\n"
       "error: write bitmap file '/dev/full'\n"},
  };
  const std::vector<std::string> before = list_dir(dir.path());
  for (const Case& c : cases) {
    const RunResult r = run(c.args, c.input);
    EXPECT_EQ(r.status, 1) << c.out;
    expect_out(r, c);
    EXPECT_EQ(list_dir(dir.path()), before) << c.out;
    EXPECT_TRUE(list_dir(dir / "pictures").empty());
    EXPECT_EQ(read_file(dir / "shapes.bmp"), kOld) << c.out;
  }
}

// The palette file for paint programs holds entries 0 to 7 of the dump.
TEST(ShapeColours, ThePaletteFileHoldsTheEightDiskColours) {
  std::istringstream in(read_file(SHAPE_COLOURS_GPL));
  std::string line;
  std::vector<int> found, wanted;
  while (std::getline(in, line)) {
    int r, g, b;
    if (std::sscanf(line.c_str(), "%d %d %d", &r, &g, &b) == 3) found.insert(found.end(), {r, g, b});
  }
  for (int i = 0; i < 8; ++i) {
    wanted.insert(wanted.end(), {shape_palette[4 * i + 2], shape_palette[4 * i + 1], shape_palette[4 * i]});
  }
  EXPECT_EQ(found, wanted);
}

TEST_F(TiledumpRun, AnExistingFileIsReplacedOnlyAfterYes) {
  const std::string asked = "already exists 's.bmp'\noverwrite ? (Y or N): ";
  const std::string refused = "error: write bitmap file 's.bmp'\n";
  const struct {
    std::string input;
    bool replaced;
    std::string out;
  } cases[] = {
      {"y\n", true, asked},
      {"n\n", false, asked + refused},
      // End of input is a refusal: the run neither hangs nor overwrites.
      {"", false, asked + "\n" + refused},
  };
  for (const auto& c : cases) {
    write_file(dir / "s.bmp", kOld);
    const RunResult r = run({"s.bmp"}, c.input);
    EXPECT_EQ(r.status, c.replaced ? 0 : 1) << c.input;
    EXPECT_EQ(r.out, c.out) << c.input;
    EXPECT_TRUE(read_file(dir / "s.bmp") ==
                (c.replaced ? expected_bitmap('Z', 'K') : kOld))
        << c.input;
  }
}

}  // namespace

// A depth the bitmap library cannot describe is refused before anything is
// asked or opened.
TEST(WriteBitmapFile, UnsupportedDepthIsRefusedUntouched) {
  TempDir dir;
  const uint8_t pixels[4] = {};
  testing::internal::CaptureStdout();
  EXPECT_EQ(tiledump::write_bitmap_file((dir / "x.bmp").c_str(), 2, 2, pixels, nullptr, 2, 0), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "error: create bitmap header\n");
  EXPECT_TRUE(list_dir(dir.path()).empty());
}
