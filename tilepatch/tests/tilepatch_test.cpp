// tilepatch as a user runs it, on a fresh set of sample disks, and together
// with tiledump.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "common/file_ptr.h"
#include "d88/d88.h"
#include "shapes/shapes.h"
#include "support/png_samples.h"
#include "support/run_program.h"
#include "output_name.h"
#include "tilepatch/tilepatch.h"

namespace {

struct Case {
  std::vector<std::string> args;
  std::string out;  // "..." first: only the end of what is printed
};

void expect_out(const RunResult& r, const std::string& out) {
  if (out.rfind("...", 0) == 0) {
    const std::string tail = out.substr(3);
    EXPECT_TRUE(r.out.size() >= tail.size() &&
                r.out.compare(r.out.size() - tail.size(), tail.size(), tail) == 0)
        << r.out;
  } else {
    EXPECT_EQ(r.out, out);
  }
}

TEST(TilepatchCommandLine, EachErrorPrintsItsLineAndEndsWithStatus1) {
  const Case cases[] = {
      {{"shapes.bmp"}, "no disk type\n"},
      {{"-t", "z"}, "no shapes bitmap filename\n"},
      {{"-d"}, "error: no image file name\n"},
      {{"--index"}, "error: no image index\n"},
      {{"-i", "08"}, "error: illegal image index '08'\n"},
      {{"-t"}, "error: no disk type\n"},
      {{"-t", "far haven", "--help"}, "error: illegal disk type 'far haven'\n"},
      {{"-D"}, "error: no disk name\n"},
      {{"-D", "g.d88"}, "error: no image index of zorvan disk\n"},
      {{"-o"}, "error: no output file name\n"},
      {{"-T", "z"}, "unknown option '-T'\n"},
      {{"a.bmp", "b.bmp", "-x"}, "unneeded parameter 'b.bmp'\n"},
      // Arguments of options are taken as they stand, "-" or not.
      {{"-d", "-i", "-t", "Z", "-o", "-o", "x.bmp"}, "error: open 'x.bmp'\n"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    const RunResult r = run_program(TILEPATCH_EXE, c.args, dir.path());
    EXPECT_EQ(r.status, 1) << c.out;
    expect_out(r, c.out);
    EXPECT_TRUE(list_dir(dir.path()).empty()) << c.out;
  }
  const RunResult help = run_program(TILEPATCH_EXE, {"-t", "z", "-?"}, ".");
  EXPECT_EQ(help.status, 1);
  EXPECT_EQ(help.out.rfind("usage: tilepatch [options] SHAPES-BMP\n", 0), 0u);
  EXPECT_EQ(std::count(help.out.begin(), help.out.end(), '\n'), 20);
}

TEST(TilepatchOutputName, PutsNewBeforeTheLastExtension) {
  const char* const cases[][2] = {{"dir/game.old.d88", "dir/game.old.NEW.d88"},
                                  {"dir.old/game", "dir.old/game.NEW"},
                                  {"game", "game.NEW"}};
  for (const auto& c : cases) {
    EXPECT_STREQ(tilepatch::derive_output_name(c[0]).get(), c[1]);
  }
}

class TilepatchRun : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(run_program(MAKE_SAMPLES_EXE, {dir.path()}, ".").status, 0);
  }
  RunResult patch(const std::vector<std::string>& args,
                  const std::string& input = "") {
    return run_program(TILEPATCH_EXE, args, dir.path(), input);
  }
  void dump(const std::vector<std::string>& args) {
    ASSERT_EQ(run_program(TILEDUMP_EXE, args, dir.path()).status, 0);
  }
  // A 4-bit bitmap of width x 256 pixels, all of one shape colour.
  void write_flat_bitmap(const std::string& name, int colour, int width = 256) {
    BitmapInfo info;
    ASSERT_EQ(create_bitmap_header(&info, width, 256, 4), 0);
    const std::vector<uint8_t> pixels(width * 256, uint8_t(colour));
    common::FilePtr file = common::open_file((dir / name).c_str(), "wb");
    ASSERT_EQ(write_bitmap(file.get(), &info, shape_palette, pixels.data()), 0);
  }
  TempDir dir;
};

// The shapes of kq-game.d88's first two disks, written onto all five in
// reverse order, dump back to the same bitmap; only shape bytes change.
TEST_F(TilepatchRun, RoundTripChangesOnlyTheShapeBytes) {
  dump({"-D", "kq-game.d88", "0", "1", "a.bmp"});
  write_flat_bitmap("black.bmp", 0);
  write_flat_bitmap("white.bmp", 7);
  const std::vector<std::string> all = {"-D", "kq-game.d88", "4", "3",
                                        "2",  "1",           "0", "-o"};
  for (const std::string name : {"a", "black", "white"}) {
    std::vector<std::string> args = all;
    args.insert(args.end(), {name + ".d88", name + ".bmp"});
    const RunResult r = patch(args);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "");
  }
  dump({"-D", "a.d88", "4", "3", "b.bmp"});
  EXPECT_EQ(read_file(dir / "b.bmp"), read_file(dir / "a.bmp"));
  // The same sheet dumped as a PNG (the name's case does not matter)
  // patches the same bytes.
  dump({"-D", "kq-game.d88", "0", "1", "a.PNG"});
  std::vector<std::string> args = all;
  args.insert(args.end(), {"png.d88", "a.PNG"});
  ASSERT_EQ(patch(args).status, 0);
  EXPECT_EQ(read_file(dir / "png.d88"), read_file(dir / "a.d88"));
  // A byte that black and white leave alike is no shape byte.
  const std::string game = read_file(dir / "kq-game.d88");
  const std::string a = read_file(dir / "a.d88");
  const std::string black = read_file(dir / "black.d88");
  const std::string white = read_file(dir / "white.d88");
  ASSERT_TRUE(a.size() == game.size() && black.size() == game.size() &&
              white.size() == game.size());
  size_t changed = 0;
  for (size_t i = 0; i < game.size(); ++i) {
    ASSERT_TRUE(black[i] != white[i] || a[i] == game[i]) << "byte " << i;
    changed += a[i] != game[i];
  }
  EXPECT_GT(changed, 0u);
}

TEST_F(TilepatchRun, EveryFailureLeavesTheDirectoryAsItWas) {
  write_flat_bitmap("s.bmp", 7);
  write_flat_bitmap("narrow.bmp", 7, 255);
  write_file(dir / "text.bmp", "not a bitmap");
  // Shape sector 21/00/01 holding 128 of the 256 bytes its code promises.
  Disk* disk = create_d88_disk("SHORT", 0);
  ASSERT_NE(disk, nullptr);
  Sector* sector = find_d88_sector(disk, 0x21, 0, 1);
  sector->size = 128;
  sector->data = std::make_unique<uint8_t[]>(128);
  EXPECT_EQ(write_d88_disk_to_file(disk, (dir / "short.d88").c_str()), 0);
  free_d88_disk(disk, 1);
  // Starts like a PNG, is none: refused as any other file not starting "BM".
  write_file(dir / "fake.png", "\x89PNG\r\n\x1A\r");
  std::vector<Case> cases = {
      {{"-t", "z", "fake.png"},
       "error: read_bitmap() - can't read bitmap header\nerror: read bitmap 'fake.png'\n"},
      {{"-t", "z", "text.bmp"}, "...error: read bitmap 'text.bmp'\n"},
      {{"-t", "z", "-d", "missing.d88", "narrow.bmp"},
       "error: bmp size error 'narrow.bmp'\n"},
      {{"-t", "z", "-d", "missing.d88", "s.bmp"},
       "...error: read d88 image 'missing.d88'\n"},
      {{"-t", "z", "-i", "1", "s.bmp"},
       "error: illegal image index: 'kq-zorvan.d88':1\n"},
      {{"-t", "z", "-d", "short.d88", "s.bmp"}, "...error: change shape data\n"},
      {{"-t", "z", "-o", "", "s.bmp"}, "open error ''\nerror: write d88 image ''\n"},
      {{"-t", "z", "-o", "/dev/full", "--overwrite", "s.bmp"},
       "...error: write d88 image '/dev/full'\n"},
  };
  for (const BadPng& bad : bad_pngs()) {
    const std::string name = bad.name + ".png";
    write_file(dir / name, bad.bytes);
    cases.push_back({{"-t", "z", name}, bad.reason.empty()
        ? "error: bmp size error '" + name + "'\n"
        : "error: read_png() - '" + name + "': " + bad.reason + "\n"});
  }
  const std::vector<std::string> before = list_dir(dir.path());
  for (const Case& c : cases) {
    const RunResult r = patch(c.args);
    EXPECT_EQ(r.status, 1) << c.out;
    expect_out(r, c.out);
    EXPECT_EQ(list_dir(dir.path()), before) << c.out;
  }
}

// Onto the default output name, or onto the input itself named by -o.
TEST_F(TilepatchRun, AnExistingOutputIsReplacedOnlyAfterYes) {
  write_flat_bitmap("s.bmp", 7);
  const std::string image = read_file(dir / "kq-zorvan.d88");
  ASSERT_EQ(patch({"-t", "z", "s.bmp"}).status, 0);
  const std::string patched = read_file(dir / "kq-zorvan.NEW.d88");
  const std::string q = "overwrite ? (Y or N): ";
  const std::string nq = "already exists 'kq-zorvan.NEW.d88'\n" + q;
  const struct {
    std::string input;
    std::vector<std::string> extra;
    bool replaced;
    std::string out;
  } cases[] = {
      {"y\n", {}, true, nq},
      {"n\n", {}, false, nq},
      // End of input is a refusal; the prompt line is ended.
      {"", {}, false, nq + "\n"},
      {"", {"--overwrite"}, true, ""},
      {"y", {"-o", "kq-zorvan.d88"}, true, "already exists 'kq-zorvan.d88'\n" + q},
  };
  for (const auto& c : cases) {
    write_file(dir / "kq-zorvan.d88", image);
    write_file(dir / "kq-zorvan.NEW.d88", "earlier output");
    const std::string target =
        dir / (c.extra.size() == 2 ? "kq-zorvan.d88" : "kq-zorvan.NEW.d88");
    const std::string before = read_file(target);
    std::vector<std::string> args = {"-t", "z", "s.bmp"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const RunResult r = patch(args, c.input);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.status, c.replaced ? 0 : 255) << c.input;  // 255 is -1
    EXPECT_EQ(read_file(target), c.replaced ? patched : before) << c.input;
  }
}

// Files limited to a size smaller than the image, as on a full disk: the
// write fails part way, and the input named as output is left whole.
TEST_F(TilepatchRun, FailedSaveLeavesTheExistingFileAlone) {
  write_flat_bitmap("s.bmp", 7);
  const std::string image = read_file(dir / "kq-zorvan.d88");
  const std::vector<std::string> before = list_dir(dir.path());
  struct rlimit saved;
  getrlimit(RLIMIT_FSIZE, &saved);
  const struct rlimit limited = {100000, saved.rlim_max};
  struct sigaction ignore = {}, old = {};
  ignore.sa_handler = SIG_IGN;  // a failed write instead of the signal
  sigaction(SIGXFSZ, &ignore, &old);
  setrlimit(RLIMIT_FSIZE, &limited);
  const RunResult r =
      patch({"-t", "z", "--overwrite", "-o", "kq-zorvan.d88", "s.bmp"});
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &old, nullptr);
  EXPECT_EQ(r.status, 1);
  expect_out(r, "...error: write d88 image 'kq-zorvan.d88'\n");
  EXPECT_EQ(read_file(dir / "kq-zorvan.d88"), image);
  EXPECT_EQ(list_dir(dir.path()), before);
}

}  // namespace
