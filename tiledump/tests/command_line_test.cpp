// Command-line errors and disk index texts, through the program.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tiledump/tests/harness.h"

namespace {

struct ErrorCase {
  std::vector<std::string> args;
  std::string out;  // the whole standard output
};

// Every case ends the run with status 1 before any file is opened, so the
// empty directory stays empty.
TEST(TiledumpCommandLine, EachErrorPrintsItsLineAndEndsWithStatus1) {
  const std::string usage = kUsage;
  const ErrorCase cases[] = {
      {{}, "no output bitmap filename\n"},
      {{"--overwrite", "--verbose"}, "no output bitmap filename\n"},
      {{"--help"}, usage},
      {{"-?"}, usage},
      {{"--help", "-x"}, usage},
      {{"out.bmp", "--help"}, usage},
      {{"-x", "--help"}, "unknown option '-x'\n"},
      {{"-d1"}, "error: no disk name (zorvan/far haven disk)\n"},
      {{"--disk1"}, "error: no disk name (zorvan/far haven disk)\n"},
      {{"-d2"}, "error: no disk name (kelmorane/vesto/duskhollow disk)\n"},
      {{"--disk2"}, "error: no disk name (kelmorane/vesto/duskhollow disk)\n"},
      {{"-i1"}, "error: no image index\n"},
      {{"--index1"}, "error: no image index\n"},
      {{"-i2"}, "error: no image index\n"},
      {{"--index2"}, "error: no image index\n"},
      {{"-i1", "x"}, "error: illegal image index 'x'\n"},
      {{"--index2", "1a", "out.bmp"}, "error: illegal image index '1a'\n"},
      {{"-i1", " "}, "error: illegal image index ' '\n"},
      {{"-D"}, "error: no disk name\n"},
      {{"--multi-disk"}, "error: no disk name\n"},
      {{"-D", "g.d88"}, "error: no image index of zorvan/far haven disk\n"},
      {{"-D", "g.d88", "0"},
       "error: no image index of kelmorane/vesto/duskhollow disk\n"},
      {{"-D", "g.d88", "y", "0", "out.bmp"},
       "error: illegal image index 'y'\n"},
      {{"-D", "g.d88", "0", "0z", "out.bmp"},
       "error: illegal image index '0z'\n"},
      {{"-x"}, "unknown option '-x'\n"},
      {{"-"}, "unknown option '-'\n"},
      {{"--"}, "unknown option '--'\n"},
      {{"--HELP"}, "unknown option '--HELP'\n"},
      {{"-d1=a.d88"}, "unknown option '-d1=a.d88'\n"},
      {{"--overwrite=yes"}, "unknown option '--overwrite=yes'\n"},
      {{"a.bmp", "b.bmp"}, "unneeded parameter 'b.bmp'\n"},
      {{"a.bmp", "b.bmp", "--help"}, "unneeded parameter 'b.bmp'\n"},
      {{"", "b.bmp"}, "unneeded parameter 'b.bmp'\n"},
      {{"a.bmp", ""}, "unneeded parameter ''\n"},
  };
  for (const ErrorCase& c : cases) {
    TempDir dir;
    const RunResult run = run_tiledump(dir.path(), c.args);
    std::string line;
    for (const std::string& a : c.args) line += " [" + a + "]";
    EXPECT_EQ(run.status, 1) << line;
    EXPECT_EQ(run.out, c.out) << line;
    EXPECT_EQ(run.err, "") << line;
    EXPECT_TRUE(list_dir(dir.path()).empty()) << line;
  }
}

// The arguments of an option are taken as they stand, even when they look
// like options themselves.
TEST(TiledumpCommandLine, OptionArgumentsMayBeginWithADash) {
  TempDir dir;
  RunResult run = run_tiledump(dir.path(), {"-d1", "--help", "out.bmp"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("error: read d88 image '--help'\n"), std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("usage:"), std::string::npos);
}

struct IndexCase {
  std::vector<std::string> args;
  std::string out;  // empty: the run succeeds with zorvan + kelmorane
};

// The game file holds zorvan, kelmorane, vesto, duskhollow, far haven.
TEST(TiledumpCommandLine, DiskIndexesAreReadLikeStrtoulWithBase0) {
  const std::string game = "kq-game.d88";
  const IndexCase cases[] = {
      {{"-D", game, "0", "0x1"}, ""},
      {{"-D", game, "0", "0X01"}, ""},
      {{"-D", game, "", "1"}, ""},
      {{"-D", game, "00", "+1"}, ""},
      {{"-D", game, "4", "1", "-i1", "0"}, ""},
      {{"-D", game, "0", "010"},
       "error: illegal image index: 'kq-game.d88':8\n"},
      {{"-D", game, "0", "1", "-i2", "-1"},
       "error: illegal image index: 'kq-game.d88':-1\n"},
      {{"-D", game, "0", "4294967295"},
       "error: illegal image index: 'kq-game.d88':-1\n"},
      {{"-D", game, "0", "2147483648"},
       "error: illegal image index: 'kq-game.d88':-2147483648\n"},
      {{"-D", game, "0", "99999999999"},
       "error: illegal image index: 'kq-game.d88':-1\n"},
      {{"-D", game, "0x5", "0"},
       "error: illegal image index: 'kq-game.d88':5\n"},
      {{"-i2", "-1"}, "error: illegal image index: 'kq-kelmorane.d88':-1\n"},
      {{"-D", game, "0", "1a"}, "error: illegal image index '1a'\n"},
      {{"-D", game, "x", "1"}, "error: illegal image index 'x'\n"},
      {{"-D", game, "0", "08"}, "error: illegal image index '08'\n"},
      {{"-D", game, "0", "0x"}, "error: illegal image index '0x'\n"},
  };
  const SampleDir samples;
  const std::string expected = expected_bitmap('Z', 'K');
  for (const IndexCase& c : cases) {
    std::vector<std::string> args = c.args;
    args.push_back("out.bmp");
    std::string line;
    for (const std::string& a : args) line += " [" + a + "]";
    const RunResult run = run_tiledump(samples.path(), args);
    EXPECT_EQ(run.out, c.out) << line;
    if (c.out.empty()) {
      EXPECT_EQ(run.status, 0) << line;
      EXPECT_TRUE(read_file(samples / "out.bmp") == expected) << line;
    } else {
      EXPECT_EQ(run.status, 1) << line;
      EXPECT_FALSE(file_exists(samples / "out.bmp")) << line;
    }
    std::remove((samples / "out.bmp").c_str());
  }
}

}  // namespace
