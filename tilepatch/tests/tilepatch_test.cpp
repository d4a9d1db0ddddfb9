// tilepatch as a user runs it, on a fresh set of sample disks, and together
// with tiledump.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>

#include "bitmap/bitmap.h"
#include "common/file_ptr.h"
#include "d88/d88.h"
#include "shapes/shapes.h"
#include "support/png_samples.h"
#include "support/run_program.h"
#include "output_name.h"

namespace {

class Tilepatch : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(run_program(MAKE_SAMPLES_EXE, {dir.path()}, ".").status, 0); }
  void dump(std::vector<std::string> args) {
    args.insert(args.begin(), "--overwrite");
    ASSERT_EQ(run_program(TILEDUMP_EXE, args, dir.path()).status, 0);
  }
  // A bitmap width x height of 24 bits, every pixel of one colour.
  void write_flat_bitmap(const std::string& name, uint32_t colour, int width = 256, int height = 256) {
    BitmapInfo info;
    ASSERT_EQ(create_bitmap_header(&info, width, height, 24), 0);
    std::vector<uint8_t> pixels;
    for (int i = 0; i < width * height; ++i) pixels.insert(pixels.end(), {uint8_t(colour), uint8_t(colour >> 8), uint8_t(colour >> 16)});
    common::FilePtr file = common::open_file((dir / name).c_str(), "wb");
    ASSERT_EQ(write_bitmap(file.get(), &info, nullptr, pixels.data()), 0);
  }
  TempDir dir;
};

// Every disk takes its own range of shapes, by position with -D and by type
// with -t (whose keyword also names the default file), and only shape bytes
// change; then the questions before an output is replaced.
TEST_F(Tilepatch, PatchesEachDiskWithItsRange) {
  dump({"-D", "kq-game.d88", "0", "1", "a.bmp"});
  dump({"-D", "kq-game.d88", "0", "1", "a.PNG"});  // a PNG whatever the name's case
  write_flat_bitmap("black.bmp", 0);
  write_flat_bitmap("s.bmp", 0xF0F0F0, 256, 257);  // the top rows count; nearest to white
  const std::string q = "overwrite ? (Y or N): ", asked = "already exists 'kq-zorvan.NEW.d88'\n" + q;
  check_runs(TILEPATCH_EXE, dir.path(), {
      {{"-D", "kq-game.d88", "4", "3", "2", "1", "0", "-o", "a.d88", "a.bmp"}, 0, ""},
      {{"-D", "kq-game.d88", "4", "3", "2", "1", "0", "-o", "png.d88", "a.PNG"}, 0, ""},
      {{"--multi-disk", "kq-game.d88", "0", "1", "2", "3", "4", "--output", "black.d88", "black.bmp"}, 0, ""},
      {{"-D", "kq-game.d88", "0", "1", "2", "3", "4", "-o", "white.d88", "s.bmp"}, 0, ""},
      {{"-t", "Z", "s.bmp"}, 0, ""}, {{"--type", "KELMORANE", "s.bmp"}, 0, ""}, {{"-t", "vesto", "s.bmp"}, 0, ""},
      {{"-t", "dh", "s.bmp"}, 0, ""}, {{"-t", "FarHaven", "s.bmp"}, 0, ""},
      {{"-t", "fh", "--disk", "kq-farhaven.d88", "--index", "0", "s.bmp", "-o", "f.d88"}, 0, ""},
      {{"-t", "k", "-d", "kq-game.d88", "-i", "1", "-o", "k.d88", "s.bmp"}, 0, ""},
      {{"-t", "z", "s.bmp"}, 255, asked, "n\n"}, {{"-t", "z", "s.bmp"}, 255, asked + "\n"}});
  for (const auto& [lower, upper] : {std::pair{"4", "3"}, {"0", "2"}, {"4", "1"}}) {
    dump({"-D", "a.d88", lower, upper, "b.bmp"});
    EXPECT_TRUE(read_file(dir / "b.bmp") == read_file(dir / "a.bmp")) << lower << upper;
  }
  EXPECT_TRUE(read_file(dir / "png.d88") == read_file(dir / "a.d88"));
  // A byte that black and white leave alike is no shape byte.
  const std::string game = read_file(dir / "kq-game.d88"), a = read_file(dir / "a.d88");
  const std::string black = read_file(dir / "black.d88"), white = read_file(dir / "white.d88");
  ASSERT_TRUE(a.size() == game.size() && black.size() == game.size() && white.size() == game.size());
  size_t changed = 0;
  for (size_t i = 0; i < game.size(); ++i) {
    ASSERT_TRUE(black[i] != white[i] || a[i] == game[i]) << "byte " << i;
    changed += a[i] != game[i];
  }
  EXPECT_GT(changed, 0u);
  // The single-disk files are the game file's disks.
  const char* const names[] = {"zorvan", "kelmorane", "vesto", "duskhollow", "farhaven"};
  for (int d = 0; d < 5; ++d) {
    EXPECT_TRUE(read_file(dir / ("kq-" + std::string(names[d]) + ".NEW.d88")) == white.substr(d * 348848, 348848)) << names[d];
  }
  EXPECT_TRUE(read_file(dir / "f.d88") == read_file(dir / "kq-farhaven.NEW.d88"));
  EXPECT_TRUE(read_file(dir / "k.d88") == game.substr(0, 348848) + white.substr(348848, 348848) + game.substr(2 * 348848));
  const std::string patched = read_file(dir / "kq-zorvan.NEW.d88");
  write_file(dir / "kq-zorvan.NEW.d88", "earlier output");
  check_runs(TILEPATCH_EXE, dir.path(), {{{"-t", "z", "s.bmp"}, 0, asked, "y"},
                                         {{"-t", "z", "-o", "kq-zorvan.d88", "--overwrite", "s.bmp"}, 0, ""}});  // onto the input
  EXPECT_TRUE(read_file(dir / "kq-zorvan.NEW.d88") == patched && read_file(dir / "kq-zorvan.d88") == patched);
  const char* const outputs[][2] = {{"dir/game.old.d88", "dir/game.old.NEW.d88"}, {"d.old/game", "d.old/game.NEW"}};
  for (const auto& [disk, output] : outputs) EXPECT_STREQ(tilepatch::derive_output_name(disk).get(), output);
}

TEST_F(Tilepatch, Failures) {
  write_flat_bitmap("s.bmp", 0xFFFFFF);
  write_flat_bitmap("narrow.bmp", 0xFFFFFF, 255);
  write_flat_bitmap("low.bmp", 0xFFFFFF, 256, 255);
  write_file(dir / "text.bmp", "not a bitmap");
  write_file(dir / "tiny.d88", "too short for a disk");
  // Shape sectors holding 128 of the 256 bytes their code promises.
  for (const auto& [name, c] : {std::pair{"low.d88", 0x21}, {"high.d88", 0x1D}}) {
    std::unique_ptr<Disk> disk(create_d88_disk("SHORT", 0));
    find_d88_sector(disk.get(), c, 0, 1)->size = 128;
    ASSERT_EQ(write_d88_disk_to_file(disk.get(), (dir / name).c_str()), 0);
  }
  // Starts like a PNG, is none: refused as any other file not starting "BM".
  write_file(dir / "fake.png", "\x89PNG\r\n\x1A\r");
  // So from a pipe, which cannot seek back to the BMP that follows here.
  write_flat_bitmap("one.bmp", 0, 1, 1);
  ASSERT_EQ(::mkfifo((dir / "pipe.png").c_str(), 0600), 0);
  std::thread feed([&] { write_file(dir / "pipe.png", "\x89PNG\r\n\x1A\r" + read_file(dir / "one.bmp")); });
  std::vector<::Run> pngs;
  for (const char* name : {"fake.png", "pipe.png"}) {
    pngs.push_back({{"-t", "z", name}, 1, "error: read_bitmap() - can't read bitmap header\nerror: read bitmap '" + std::string(name) + "'\n"});
  }
  for (const BadPng& bad : bad_pngs()) {
    const std::string name = bad.name + ".png";
    write_file(dir / name, bad.bytes);
    pngs.push_back({{"-t", "z", name}, 1, bad.reason.empty() ? "error: bmp size error '" + name + "'\n"
                                                             : "error: read_png() - '" + name + "': " + bad.reason + "\n"});
  }
  check_runs(TILEPATCH_EXE, dir.path(), pngs);
  feed.join();
  const std::string index = "error: no image index";
  check_runs(TILEPATCH_EXE, dir.path(), {
      {{"s.bmp"}, 1, "no disk type\n"}, {{"-t", "z"}, 1, "no shapes bitmap filename\n"},
      {{"-d"}, 1, "error: no image file name\n"}, {{"--index"}, 1, index + "\n"},
      {{"-i", "08"}, 1, "error: illegal image index '08'\n"}, {{"-t"}, 1, "error: no disk type\n"},
      {{"-t", "far haven", "--help"}, 1, "error: illegal disk type 'far haven'\n"},
      {{"-D"}, 1, "error: no disk name\n"}, {{"-D", "g.d88"}, 1, index + " of zorvan disk\n"},
      {{"-D", "g.d88", "0", "1", "2", "3"}, 1, index + " of far haven disk\n"},
      {{"-D", "g.d88", "0", "x"}, 1, "error: illegal image index 'x'\n"},
      {{"-o"}, 1, "error: no output file name\n"}, {{"-T", "z"}, 1, "unknown option '-T'\n"},
      {{"a.bmp", "b.bmp", "-x"}, 1, "unneeded parameter 'b.bmp'\n"},
      // Arguments of options are taken as they stand, "-" or not.
      {{"-d", "-i", "-t", "Z", "-o", "-o", "x.bmp"}, 1, "error: open 'x.bmp'\n"},
      {{"-t", "z", "text.bmp"}, 1, "...error: read bitmap 'text.bmp'\n"},
      {{"-t", "z", "-d", "missing.d88", "narrow.bmp"}, 1, "error: bmp size error 'narrow.bmp'\n"},
      {{"-t", "z", "-d", "missing.d88", "low.bmp"}, 1, "error: bmp size error 'low.bmp'\n"},
      {{"-t", "z", "-d", "missing.d88", "s.bmp"}, 1, "...error: read d88 image 'missing.d88'\n"},
      {{"-t", "z", "-i", "1", "s.bmp"}, 1, "error: illegal image index: 'kq-zorvan.d88':1\n"},
      {{"-t", "z", "-d", "tiny.d88", "s.bmp"}, 1, "data size too short ... garbage? ... ignored\nerror: illegal image index: 'tiny.d88':0\n"},
      {{"-D", "kq-game.d88", "0", "1", "2", "3", "5", "s.bmp"}, 1, "error: illegal image index: 'kq-game.d88':5\n"},
      {{"-t", "z", "-d", "low.d88", "s.bmp"}, 1, "error: read d88 image 21/00/01\nerror: change shape data\n"},
      {{"-t", "v", "-d", "high.d88", "s.bmp"}, 1, "error: read d88 image 1D/00/01\nerror: change shape data\n"},
      {{"-t", "z", "-o", "", "s.bmp"}, 1, "open error ''\nerror: write d88 image ''\n"},
      {{"-t", "z", "-o", "new/x.d88", "s.bmp"}, 1, "open error 'new/x.d88'\nerror: write d88 image 'new/x.d88'\n"},
      {{"-t", "z", "--verbose", "-o", "new/x.d88", "s.bmp"}, 1, "...error: write d88 image 'new/x.d88'\n"},
      {{"-?"}, 1, "...supported disk image format is *.D88 only\nwrite modified disk image to filename.NEW.ext if not specifyed\n"},
  });
  const RunResult verbose = run_program(TILEPATCH_EXE, {"--verbose", "-t", "z", "s.bmp"}, dir.path());
  EXPECT_EQ(verbose.out.rfind("20/01/10 - 22/00/08\n[20/01/10]\n00000000 : FF FF\n", 0), 0u);
}

}  // namespace
