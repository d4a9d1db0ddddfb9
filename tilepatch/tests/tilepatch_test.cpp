// tilepatch as a user runs it, on a fresh set of sample disks, and together with tiledump.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>

#include "bitmap/bitmap.h"
#include "common/file_ptr.h"
#include "d88/d88.h"
#include "support/png_samples.h"
#include "support/run_program.h"
#include "output_name.h"

namespace {

class Tilepatch : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(run_program(MAKE_SAMPLES_EXE, {dir.path()}, ".").first, 0);
    write_grey_bitmap("s.bmp", 0xF0, 256, 257);  // the top rows count; nearest to white
  }
  // A bitmap width x height of 24 bits, every channel of every pixel at level.
  void write_grey_bitmap(const std::string& name, uint8_t level, int width = 256, int height = 256) {
    BitmapInfo info;
    ASSERT_EQ(create_bitmap_header(&info, width, height, 24), 0);
    const std::vector<uint8_t> pixels(size_t(width) * height * 3, level);
    common::FilePtr file = common::open_file((dir / name).c_str(), "wb");
    ASSERT_EQ(write_bitmap(file.get(), &info, nullptr, pixels.data()), 0);
  }
  TempDir dir;
};

// Every disk takes its own range of shapes, by position with -D and by type with -t (whose
// keyword also names the default file); then the question before an output is replaced.
TEST_F(Tilepatch, PatchesEachDiskWithItsRange) {
  for (const char* name : {"a.bmp", ".PNG"}) {  // a PNG whatever the name's case, even with no stem
    ASSERT_EQ(run_program(TILEDUMP_EXE, {"-D", "kq-game.d88", "0", "1", name}, dir.path()).first, 0);
  }
  write_file(dir / "kq-zorvan.NEW.d88", "earlier output");
  const std::string asked = "already exists 'kq-zorvan.NEW.d88'\noverwrite ? (Y or N): ";
  check_runs(TILEPATCH_EXE, dir.path(), {
      {{"-D", "kq-game.d88", "4", "3", "2", "1", "0", "-o", "a.d88", "a.bmp"}, 0, ""},
      {{"--multi-disk", "kq-game.d88", "4", "3", "2", "1", "0", "-o", "png.d88", ".PNG"}, 0, ""},
      {{"-D", "kq-game.d88", "0", "1", "2", "3", "4", "-o", "white.d88", "s.bmp"}, 0, ""},
      {{"--type", "k", "--disk", "kq-game.d88", "--index", "1", "s.bmp", "--output", "k.d88"}, 0, ""},
      {{"-t", "z", "s.bmp"}, 255, asked, "n\n"}, {{"-t", "Z", "s.bmp"}, 0, asked, "y\n"},
      {{"-t", "zorvan", "-o", "kq-zorvan.d88", "--overwrite", "s.bmp"}, 0, ""}});  // onto the input itself
  for (const auto& [lower, upper] : {std::pair{"4", "3"}, {"0", "2"}, {"4", "1"}}) {
    ASSERT_EQ(run_program(TILEDUMP_EXE, {"-D", "a.d88", lower, upper, "b.bmp", "--overwrite"}, dir.path()).first, 0);
    EXPECT_TRUE(read_file(dir / "b.bmp") == read_file(dir / "a.bmp")) << lower << upper;
  }
  EXPECT_TRUE(read_file(dir / ".PNG").rfind("\x89PNG", 0) == 0 && read_file(dir / "png.d88") == read_file(dir / "a.d88"));
  const std::string game = read_file(dir / "kq-game.d88"), white = read_file(dir / "white.d88");
  const size_t n = 348848;  // bytes of one disk
  EXPECT_TRUE(white != game && read_file(dir / "k.d88") == game.substr(0, n) + white.substr(n, n) + game.substr(2 * n));
  for (const char* f : {"kq-zorvan.NEW.d88", "kq-zorvan.d88"}) EXPECT_TRUE(read_file(dir / f) == white.substr(0, n)) << f;
  const char* const outputs[][2] = {{"dir/game.old.d88", "dir/game.old.NEW.d88"}, {"d.old/game", "d.old/game.NEW"}};
  for (const auto& [disk, output] : outputs) EXPECT_STREQ(tilepatch::derive_output_name(disk).get(), output);
}

TEST_F(Tilepatch, Failures) {
  write_grey_bitmap("narrow.bmp", 0xFF, 255);
  write_grey_bitmap("low.bmp", 0xFF, 256, 255);
  write_grey_bitmap("one.bmp", 0, 1, 1);  // small enough for a pipe's buffer
  write_file(dir / "text.bmp", "not a bitmap");
  write_file(dir / "tiny.d88", "too short for a disk");
  const std::vector<BadPng> bad = bad_pngs();
  write_file(dir / "wide.png", bad[6].bytes), write_file(dir / "cut.png", bad[0].bytes);
  // A shape sector holding 128 of the 256 bytes its code promises.
  std::unique_ptr<Disk> disk(create_d88_disk("SHORT", 0));
  find_d88_sector(disk.get(), 0x21, 0, 1)->size = 128;
  ASSERT_EQ(write_d88_disk_to_file(disk.get(), (dir / "short.d88").c_str()), 0);
  // Starts like a PNG, is none: read from its start, so refused as any file not starting "BM";
  // from a pipe, which cannot go back, just as well. A BMP from a pipe is read as from a file.
  const std::string fake = "\x89PNG\r\n\x1A\r" + read_file(dir / "one.bmp");
  write_file(dir / "fake.png", fake);
  ASSERT_TRUE(::mkfifo((dir / "pipe.png").c_str(), 0600) == 0 && ::mkfifo((dir / "pipe.bmp").c_str(), 0600) == 0);
  std::thread feed([&] { write_file(dir / "pipe.png", fake), write_file(dir / "pipe.bmp", read_file(dir / "one.bmp")); });
  const std::string index = "error: no image index", size = "error: bmp size error '";
  const std::string header = "error: read_bitmap() - can't read bitmap header\nerror: read bitmap '";
  check_runs(TILEPATCH_EXE, dir.path(), {
      {{"-t", "z", "fake.png"}, 1, header + "fake.png'\n"}, {{"-t", "z", "pipe.png"}, 1, header + "pipe.png'\n"},
      {{"-t", "z", "pipe.bmp"}, 1, size + "pipe.bmp'\n"}, {{"-t", "z", "wide.png"}, 1, size + "wide.png'\n"},
      {{"-t", "z", "cut.png"}, 1, "error: read_png() - 'cut.png': file is cut short\n"},
      {{"-t", "z", "narrow.bmp"}, 1, size + "narrow.bmp'\n"}, {{"-t", "z", "low.bmp"}, 1, size + "low.bmp'\n"},
      {{"-t", "z", "text.bmp"}, 1, "...error: read bitmap 'text.bmp'\n"},
      {{"s.bmp"}, 1, "no disk type\n"}, {{"-t", "z"}, 1, "no shapes bitmap filename\n"},
      {{"-o"}, 1, "error: no output file name\n"}, {{"--index"}, 1, index + "\n"}, {{"-t"}, 1, "error: no disk type\n"},
      {{"-t", "far haven", "--help"}, 1, "error: illegal disk type 'far haven'\n"},
      {{"-D"}, 1, "error: no disk name\n"}, {{"-D", "g.d88", "0", "1", "2", "3"}, 1, index + " of far haven disk\n"},
      {{"-D", "g.d88", "0", "x"}, 1, "error: illegal image index 'x'\n"}, {{"-T", "z"}, 1, "unknown option '-T'\n"},
      {{"a.bmp", "b.bmp", "-x"}, 1, "unneeded parameter 'b.bmp'\n"},
      // Arguments of options are taken as they stand, "-" or not.
      {{"-d", "-i", "-t", "FarHaven", "-o", "-o", "x.bmp"}, 1, "error: open 'x.bmp'\n"},
      {{"-t", "z", "-d", "missing.d88", "s.bmp"}, 1, "...error: read d88 image 'missing.d88'\n"},
      {{"-t", "z", "-d", "tiny.d88", "s.bmp"}, 1, "...ignored\nerror: illegal image index: 'tiny.d88':0\n"},
      {{"-t", "z", "-i", "1", "s.bmp"}, 1, "error: illegal image index: 'kq-zorvan.d88':1\n"},
      {{"-t", "z", "-d", "short.d88", "s.bmp"}, 1, "error: read d88 image 21/00/01\nerror: change shape data\n"},
      {{"-t", "z", "-o", "new/x.d88", "s.bmp"}, 1, "open error 'new/x.d88'\nerror: write d88 image 'new/x.d88'\n"},
      {{"-t", "z", "--verbose", "s.bmp", "--overwrite"}, 0, "...\n00007FF0 : FF FF\n"},
      {{"-?"}, 1, "...supported disk image format is *.D88 only\n"
                  "write modified disk image to filename.NEW.ext if not specifyed\n"},
  });
  feed.join();
}

}  // namespace
