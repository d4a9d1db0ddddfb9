// Command-line errors, through the program: each ends the run with status 1
// before any file is opened.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/run_program.h"

namespace {

const char kUsage[] =
    "usage: tiledump [options] OUTPUT.BMP\n"
    "option: -d1|--disk1 FILE    specify image file of zorvan/far haven disk\n"
    "                            (default: kq-zorvan.d88)\n"
    "        -d2|--disk2 FILE    specify image file of "
    "kelmorane/vesto/duskhollow\n"
    "                            disk\n"
    "                            (default: kq-kelmorane.d88)\n"
    "        -i1|--index1 INDEX  specify index no of zorvan/far haven disk\n"
    "        -i2|--index2 INDEX  specify index no of "
    "kelmorane/vesto/duskhollow disk\n"
    "        -D |--multi-disk FILE INDEX1 INDEX2\n"
    "                            same as -d1 FILE -i1 INDEX1 -d2 FILE -i2 "
    "INDEX2\n"
    "            --overwrite     overwrite output file\n"
    "            --verbose       verbose mode\n"
    "        -? |--help          print usage\n"
    "supported disk image format is *.D88 only\n";

TEST(TiledumpCommandLine, EachErrorPrintsItsLineAndEndsWithStatus1) {
  const std::string no_disk1 = "error: no disk name (zorvan/far haven disk)\n";
  const std::string no_disk2 =
      "error: no disk name (kelmorane/vesto/duskhollow disk)\n";
  const std::string no_index = "error: no image index\n";
  const struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{}, "no output bitmap filename\n"},
      {{"--overwrite", "--verbose"}, "no output bitmap filename\n"},
      {{"--help"}, kUsage},
      {{"-?"}, kUsage},
      {{"--help", "-x"}, kUsage},
      {{"out.bmp", "--help"}, kUsage},
      {{"-x", "--help"}, "unknown option '-x'\n"},
      {{"-d1"}, no_disk1},
      {{"--disk1"}, no_disk1},
      {{"-d2"}, no_disk2},
      {{"--disk2"}, no_disk2},
      {{"-i1"}, no_index},
      {{"--index1"}, no_index},
      {{"-i2"}, no_index},
      {{"--index2"}, no_index},
      {{"-i1", "x"}, "error: illegal image index 'x'\n"},
      {{"--index2", "1a", "out.bmp"}, "error: illegal image index '1a'\n"},
      {{"-i1", " "}, "error: illegal image index ' '\n"},
      {{"-i1", "08"}, "error: illegal image index '08'\n"},
      {{"-i2", "0x"}, "error: illegal image index '0x'\n"},
      {{"-D"}, "error: no disk name\n"},
      {{"--multi-disk"}, "error: no disk name\n"},
      {{"-D", "g.d88"}, "error: no image index of zorvan/far haven disk\n"},
      {{"-D", "g.d88", "0"},
       "error: no image index of kelmorane/vesto/duskhollow disk\n"},
      {{"-D", "g.d88", "y", "0", "o.bmp"}, "error: illegal image index 'y'\n"},
      {{"-D", "g.d88", "0", "0z", "o.bmp"},
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
  TempDir dir;
  for (const auto& c : cases) {
    const RunResult run = run_program(TILEDUMP_EXE, c.args, dir.path());
    EXPECT_EQ(run.status, 1) << c.out;
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, "") << c.out;
    EXPECT_TRUE(list_dir(dir.path()).empty()) << c.out;
  }
}

}  // namespace
