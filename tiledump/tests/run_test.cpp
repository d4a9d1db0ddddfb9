// Whole runs on a fresh set of sample disks: which disks are taken, the
// bitmap written byte for byte, the question before an existing file is
// replaced, and failures that must leave nothing written or damaged.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "d88/d88.h"
#include "samples/sample_sheet.h"
#include "tests/support/run_program.h"

namespace {

const char kOld[] = "an earlier picture, to be kept unless the user agrees";

// The bitmap a run must write when shapes 0 to 127 come from the sample disk
// marked lower_letter and 128 to 255 from the one marked upper_letter (Z, K,
// V, D or F). Built by hand, not through the program's own writer.
std::string expected_bitmap(char lower_letter, char upper_letter) {
  static ShapeSheet lower;
  static ShapeSheet upper;
  draw_sample_sheet(&lower, lower_letter);
  draw_sample_sheet(&upper, upper_letter);
  std::string bytes = "BM";
  auto le = [&](uint32_t value, int count) {
    for (int i = 0; i < count; ++i) bytes.push_back(char(value >> (8 * i)));
  };
  le(32886, 4), le(0, 4), le(118, 4);  // file size, reserved, pixels at
  le(40, 4), le(256, 4), le(256, 4), le(1, 2), le(4, 2);  // info header
  le(0, 4), le(32768, 4);  // no compression, bytes of rows
  bytes.append(16, '\0');  // resolutions and colour counts
  // Blue, green, red, 0: the eight disk colours, the half-bright ones, grey.
  bytes.append(
      "\0\0\0\0\xFF\0\0\0\0\0\xFF\0\xFF\0\xFF\0\0\xFF\0\0\xFF\xFF\0\0"
      "\0\xFF\xFF\0\xFF\xFF\xFF\0\x80\x80\x80\0\x80\0\0\0\0\0\x80\0"
      "\x80\0\x80\0\0\x80\0\0\x80\x80\0\0\0\x80\x80\0\xC0\xC0\xC0\0",
      64);
  // Shapes 96 to 126 keep a single plane: white wherever a colour was.
  auto pixel = [&](int x, int y) -> int {
    const int shape = (y / 16) * 16 + x / 16;
    const int value = (shape < 128 ? lower : upper).pixels[y * 256 + x] & 7;
    return shape >= 96 && shape <= 126 && value != 0 ? 7 : value;
  };
  for (int y = 255; y >= 0; --y) {
    for (int x = 0; x < 256; x += 2) {
      bytes.push_back(static_cast<char>((pixel(x, y) << 4) | pixel(x + 1, y)));
    }
  }
  return bytes;
}

bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// A disk of the given format, or one whose first lower shape sector holds
// only 128 of the 256 bytes its size code promises.
void write_odd_disk(const std::string& path, int format, bool short_sector) {
  Disk* disk = create_d88_disk("ODD", format);
  ASSERT_NE(disk, nullptr);
  if (short_sector) {
    Sector* sector = find_d88_sector(disk, 0x20, 1, 0x10);
    ASSERT_NE(sector, nullptr);
    sector->size = 128;
    sector->data = std::make_unique<uint8_t[]>(128);
  }
  EXPECT_EQ(write_d88_disk_to_file(disk, path.c_str()), 0);
  free_d88_disk(disk, 1);
}

// The sample disks hold zorvan, kelmorane, vesto, duskhollow, far haven;
// kq-game.d88 holds all five in that order.
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

TEST_F(TiledumpRun, TakesTheDisksTheCommandLineNames) {
  const std::string game = "kq-game.d88";
  const struct {
    std::vector<std::string> args;
    char lower, upper;
  } cases[] = {
      {{}, 'Z', 'K'},  // kq-zorvan.d88 and kq-kelmorane.d88
      {{"-D", game, "0", "1"}, 'Z', 'K'},
      {{"--multi-disk", game, "4", "3"}, 'F', 'D'},
      {{"-d1", game, "-d2", game, "-i2", "1"}, 'Z', 'K'},
      {{"-d1", game, "-d2", game, "-i1", "4", "-i2", "2"}, 'F', 'V'},
      {{"--disk1", "kq-farhaven.d88", "--disk2", "kq-vesto.d88"}, 'F', 'V'},
      // A later option replaces what -D set.
      {{"-D", game, "0", "1", "-d2", "kq-duskhollow.d88", "-i2", "0"},
       'Z',
       'D'},
      {{"-D", game, "4", "2", "-d1", "kq-zorvan.d88", "--index1", "0"},
       'Z',
       'V'},
      {{"-d1", "kq-farhaven.d88", "-D", game, "0", "1"}, 'Z', 'K'},
      // Indexes are read as strtoul does with base 0.
      {{"-D", game, "0", "0x1"}, 'Z', 'K'},
      {{"-D", game, "0", "0X01"}, 'Z', 'K'},
      {{"-D", game, "", "1"}, 'Z', 'K'},
      {{"-D", game, "00", "+1"}, 'Z', 'K'},
      {{"-D", game, "4", "1", "-i1", "0"}, 'Z', 'K'},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    args.push_back("out.bmp");
    std::string line;
    for (const std::string& a : args) line += " [" + a + "]";
    std::remove((dir / "out.bmp").c_str());
    const RunResult r = run(args);
    EXPECT_EQ(r.status, 0) << line;
    EXPECT_EQ(r.out, "") << line;
    EXPECT_TRUE(read_file(dir / "out.bmp") == expected_bitmap(c.lower, c.upper))
        << line;
  }
}

// A case's output starting with "..." is only the end of what is printed.
TEST_F(TiledumpRun, EveryFailureLeavesTheDirectoryAsItWas) {
  write_file(dir / "shapes.bmp", kOld);
  write_file(dir / "broken.d88", std::string(1000, '\xFF'));
  write_file(dir / "tiny.d88", "not a disk image");  // an image of no disks
  write_odd_disk(dir / "big.d88", 1, false);
  write_odd_disk(dir / "short.d88", 0, true);
  ASSERT_EQ(::mkdir((dir / "pictures").c_str(), 0755), 0);
  const std::string game = "kq-game.d88";
  const std::string bad = "error: illegal image index: ";
  const std::string draw =
      "error: read d88 image 20/01/10\nerror: draw shapes\n";
  const std::string pictures =
      "error: open 'pictures'\nerror: write bitmap file 'pictures'\n";
  const struct {
    std::vector<std::string> args;
    std::string out;
    std::string input = "";
  } cases[] = {
      {{"-D", game, "0", "010", "o.bmp"}, bad + "'kq-game.d88':8\n"},
      {{"-D", game, "0", "1", "-i2", "-1", "o.bmp"},
       bad + "'kq-game.d88':-1\n"},
      {{"-D", game, "0", "4294967295", "o.bmp"}, bad + "'kq-game.d88':-1\n"},
      {{"-D", game, "0", "2147483648", "o.bmp"},
       bad + "'kq-game.d88':-2147483648\n"},
      {{"-D", game, "0", "99999999999", "o.bmp"}, bad + "'kq-game.d88':-1\n"},
      {{"-D", game, "0x5", "0", "o.bmp"}, bad + "'kq-game.d88':5\n"},
      {{"-i2", "-1", "o.bmp"}, bad + "'kq-kelmorane.d88':-1\n"},
      // One file for both disks is read once: only the lookup's line.
      {{"-D", game, "0", "5", "o.bmp"}, bad + "'kq-game.d88':5\n"},
      {{"-D", game, "0", "1", "-d2", "kq-vesto.d88", "o.bmp"},
       bad + "'kq-vesto.d88':1\n"},
      // A failure with disk 1 ends the run before disk 2 is loaded.
      {{"-i1", "1", "-d2", "absent.d88", "o.bmp"}, bad + "'kq-zorvan.d88':1\n"},
      {{"-d1", "missing.d88", "-d2", "absent.d88", "o.bmp"},
       "...error: read d88 image 'missing.d88'\n"},
      {{"-d2", "absent.d88", "o.bmp"},
       "...error: read d88 image 'absent.d88'\n"},
      // Option arguments are taken as they stand.
      {{"-d1", "--help", "o.bmp"}, "...error: read d88 image '--help'\n"},
      {{"-d1", "broken.d88", "o.bmp"},
       "...error: read d88 image 'broken.d88'\n"},
      {{"-d1", "tiny.d88", "o.bmp"}, "..." + bad + "'tiny.d88':0\n"},
      // Shape sectors of the wrong size; the upper range is not tried once
      // the lower one failed.
      {{"-d1", "big.d88", "o.bmp"}, draw},
      {{"-d1", "short.d88", "o.bmp"}, draw},
      {{"-d2", "big.d88", "o.bmp"},
       "error: read d88 image 1C/01/09\nerror: draw shapes\n"},
      {{"-d1", "big.d88", "-d2", "big.d88", "o.bmp"}, draw},
      {{"-d2", "broken.d88", "--overwrite", "shapes.bmp"},
       "...error: read d88 image 'broken.d88'\n"},
      // Output that cannot be written.
      {{"pictures"},
       "already exists 'pictures'\noverwrite ? (Y or N): " + pictures,
       "y\n"},
      {{"--overwrite", "pictures"}, pictures},
      {{"no/such/shapes.bmp"},
       "error: open 'no/such/shapes.bmp'\n"
       "error: write bitmap file 'no/such/shapes.bmp'\n"},
      {{"--overwrite", "/dev/full"},
       "...error: write bitmap '/dev/full'\n"
       "error: write bitmap file '/dev/full'\n"},
  };
  const std::vector<std::string> before = list_dir(dir.path());
  for (const auto& c : cases) {
    const RunResult r = run(c.args, c.input);
    EXPECT_EQ(r.status, 1) << c.out;
    if (c.out.compare(0, 3, "...") == 0) {
      EXPECT_TRUE(ends_with(r.out, c.out.substr(3))) << r.out;
    } else {
      EXPECT_EQ(r.out, c.out);
    }
    if (c.out.find("absent") == std::string::npos) {
      EXPECT_EQ(r.out.find("absent"), std::string::npos) << r.out;
    }
    EXPECT_EQ(list_dir(dir.path()), before) << c.out;
    EXPECT_EQ(read_file(dir / "shapes.bmp"), kOld) << c.out;
    EXPECT_TRUE(list_dir(dir / "pictures").empty());
  }
}

TEST_F(TiledumpRun, AnExistingFileIsReplacedOnlyAfterYes) {
  const std::string asked =
      "already exists 'shapes.bmp'\noverwrite ? (Y or N): ";
  const std::string refused = "error: write bitmap file 'shapes.bmp'\n";
  const struct {
    std::string input;  // what the user types
    bool force;         // --overwrite given
    bool replaced;
    std::string out;
  } cases[] = {
      {"y\n", false, true, asked},
      {"Y", false, true, asked},
      {"what?\ny\n", false, true, asked},
      {"n\n", false, false, asked + refused},
      {"N\ny\n", false, false, asked + refused},
      // End of input is a refusal: the run neither hangs nor overwrites.
      {"", false, false, asked + "\n" + refused},
      {"whatever\n", false, false, asked + "\n" + refused},
      {"n\n", true, true, ""},
  };
  const std::string expected = expected_bitmap('Z', 'K');
  for (const auto& c : cases) {
    write_file(dir / "shapes.bmp", kOld);
    std::vector<std::string> args = {"shapes.bmp"};
    if (c.force) args.push_back("--overwrite");
    const RunResult r = run(args, c.input);
    EXPECT_EQ(r.status, c.replaced ? 0 : 1) << c.input;
    EXPECT_EQ(r.out, c.out) << c.input;
    EXPECT_TRUE(read_file(dir / "shapes.bmp") == (c.replaced ? expected : kOld))
        << c.input;
  }
}

TEST_F(TiledumpRun, VerboseTracesTheDecoder) {
  const RunResult r = run({"--verbose", "shapes.bmp"});
  EXPECT_EQ(r.status, 0);
  // Shape 0 is bordered in black on a blue ground: its first plane-0 row
  // has no bit, the second one bit in every pixel but the two edges.
  const std::string head =
      "20/01/10 - 22/00/08\n"
      "[20/01/10]\n"
      "00000000 :                 \n"
      "00000100 :  11111111111111 \n";
  EXPECT_EQ(r.out.compare(0, head.size(), head), 0) << r.out.substr(0, 200);
  EXPECT_NE(r.out.find("\n1C/01/09 - 1E/01/08\n[1C/01/09]\n"),
            std::string::npos);
  EXPECT_TRUE(read_file(dir / "shapes.bmp") == expected_bitmap('Z', 'K'));
}

}  // namespace
