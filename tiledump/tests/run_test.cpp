// Loading the disks and decoding the shapes: which files are read, which
// disks are taken, and how each failure ends the run.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "d88/d88.h"
#include "tiledump/tests/harness.h"

namespace {

bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(TiledumpRun, DefaultsReadZorvanAndKelmoraneFromTheCurrentDirectory) {
  const SampleDir samples;
  const RunResult run = run_tiledump(samples.path(), {"shapes.bmp"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "");
  const std::string bitmap = read_file(samples / "shapes.bmp");
  EXPECT_EQ(bitmap.size(), static_cast<size_t>(kBitmapBytes));
  EXPECT_TRUE(bitmap == expected_bitmap('Z', 'K'));
}

struct DiskChoice {
  std::vector<std::string> args;
  char lower;
  char upper;
};

TEST(TiledumpRun, TakesTheDisksTheCommandLineNames) {
  const DiskChoice cases[] = {
      {{"-D", "kq-game.d88", "0", "1"}, 'Z', 'K'},
      {{"--multi-disk", "kq-game.d88", "4", "3"}, 'F', 'D'},
      {{"-d1", "kq-game.d88", "-d2", "kq-game.d88", "-i2", "1"}, 'Z', 'K'},
      {{"-d1", "kq-game.d88", "-d2", "kq-game.d88", "-i1", "4", "-i2", "2"},
       'F',
       'V'},
      {{"--disk1", "kq-farhaven.d88", "--disk2", "kq-vesto.d88"}, 'F', 'V'},
      // A later option replaces what -D set: two files are read.
      {{"-D", "kq-game.d88", "0", "1", "-d2", "kq-duskhollow.d88", "-i2", "0"},
       'Z',
       'D'},
      {{"-D", "kq-game.d88", "4", "2", "-d1", "kq-zorvan.d88", "--index1", "0"},
       'Z',
       'V'},
      {{"-d1", "kq-farhaven.d88", "-D", "kq-game.d88", "0", "1"}, 'Z', 'K'},
  };
  const SampleDir samples;
  for (const DiskChoice& c : cases) {
    std::vector<std::string> args = c.args;
    args.push_back("out.bmp");
    args.push_back("--overwrite");
    std::string line;
    for (const std::string& a : args) line += " [" + a + "]";
    const RunResult run = run_tiledump(samples.path(), args);
    EXPECT_EQ(run.status, 0) << line << "\n" << run.out;
    EXPECT_TRUE(read_file(samples / "out.bmp") ==
                expected_bitmap(c.lower, c.upper))
        << line;
  }
}

TEST(TiledumpRun, OneFileForBothDisksIsLookedUpInTheSameImage) {
  const SampleDir samples;
  // The second index is refused against the one image read: only the
  // lookup's line, never a second load.
  const RunResult run =
      run_tiledump(samples.path(), {"-D", "kq-game.d88", "0", "5", "o.bmp"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "error: illegal image index: 'kq-game.d88':5\n");
  // -D then -d2: the second file is read, and its single disk has no
  // index 1.
  const RunResult two = run_tiledump(
      samples.path(),
      {"-D", "kq-game.d88", "0", "1", "-d2", "kq-vesto.d88", "o.bmp"});
  EXPECT_EQ(two.status, 1);
  EXPECT_EQ(two.out, "error: illegal image index: 'kq-vesto.d88':1\n");
  EXPECT_FALSE(file_exists(samples / "o.bmp"));
}

TEST(TiledumpRun, AFailureWithDisk1EndsTheRunBeforeDisk2IsLoaded) {
  const SampleDir samples;
  const RunResult missing = run_tiledump(
      samples.path(), {"-d1", "missing.d88", "-d2", "absent.d88", "o.bmp"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(ends_with(missing.out, "error: read d88 image 'missing.d88'\n"))
      << missing.out;
  EXPECT_EQ(missing.out.find("absent.d88"), std::string::npos);

  const RunResult index =
      run_tiledump(samples.path(), {"-i1", "1", "-d2", "absent.d88", "o.bmp"});
  EXPECT_EQ(index.status, 1);
  EXPECT_EQ(index.out, "error: illegal image index: 'kq-zorvan.d88':1\n");

  const RunResult second =
      run_tiledump(samples.path(), {"-d2", "absent.d88", "o.bmp"});
  EXPECT_EQ(second.status, 1);
  EXPECT_TRUE(ends_with(second.out, "error: read d88 image 'absent.d88'\n"))
      << second.out;
  EXPECT_FALSE(file_exists(samples / "o.bmp"));
}

TEST(TiledumpRun, ABrokenOrEmptyImageEndsTheRun) {
  const SampleDir samples;
  // A disk header whose size field cannot be right: the load fails.
  write_file(samples / "kq-zorvan.d88", std::string(1000, '\xFF'));
  const RunResult broken = run_tiledump(samples.path(), {"o.bmp"});
  EXPECT_EQ(broken.status, 1);
  EXPECT_TRUE(ends_with(broken.out, "error: read d88 image 'kq-zorvan.d88'\n"))
      << broken.out;
  // Too short to hold a disk: an image of no disks, so index 0 finds none.
  write_file(samples / "kq-zorvan.d88", "not a disk image");
  const RunResult empty = run_tiledump(samples.path(), {"o.bmp"});
  EXPECT_EQ(empty.status, 1);
  EXPECT_TRUE(
      ends_with(empty.out, "error: illegal image index: 'kq-zorvan.d88':0\n"))
      << empty.out;
  EXPECT_FALSE(file_exists(samples / "o.bmp"));
}

// Writes a disk of the given format, optionally with the first sector of
// the lower shape range cut short (size code 1, only 128 bytes).
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

TEST(TiledumpRun, ADiskWithoutGoodShapeSectorsWritesNoBitmap) {
  const SampleDir samples;
  write_odd_disk(samples / "big-sectors.d88", 1, false);
  write_odd_disk(samples / "short-sector.d88", 0, true);
  struct Case {
    std::vector<std::string> args;
    std::string out;
  };
  const Case cases[] = {
      {{"-d1", "big-sectors.d88"},
       "error: read d88 image 20/01/10\nerror: draw shapes\n"},
      {{"-d1", "short-sector.d88"},
       "error: read d88 image 20/01/10\nerror: draw shapes\n"},
      {{"-d2", "big-sectors.d88"},
       "error: read d88 image 1C/01/09\nerror: draw shapes\n"},
      // The upper range is not tried once the lower one failed.
      {{"-d1", "big-sectors.d88", "-d2", "big-sectors.d88"},
       "error: read d88 image 20/01/10\nerror: draw shapes\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.push_back("o.bmp");
    const RunResult run = run_tiledump(samples.path(), args);
    EXPECT_EQ(run.status, 1) << c.out;
    EXPECT_EQ(run.out, c.out);
    EXPECT_FALSE(file_exists(samples / "o.bmp"));
  }
}

TEST(TiledumpRun, VerboseTracesTheDecoder) {
  const SampleDir samples;
  const RunResult run =
      run_tiledump(samples.path(), {"--verbose", "shapes.bmp"});
  EXPECT_EQ(run.status, 0);
  // Shape 0 is bordered in black on a blue ground: its first plane-0 row
  // has no bit, the second one bit in every pixel but the two edges.
  const std::string head =
      "20/01/10 - 22/00/08\n"
      "[20/01/10]\n"
      "00000000 :                 \n"
      "00000100 :  11111111111111 \n";
  EXPECT_EQ(run.out.compare(0, head.size(), head), 0) << run.out.substr(0, 200);
  EXPECT_NE(run.out.find("\n1C/01/09 - 1E/01/08\n[1C/01/09]\n"),
            std::string::npos);
  EXPECT_TRUE(read_file(samples / "shapes.bmp") == expected_bitmap('Z', 'K'));
}

}  // namespace
