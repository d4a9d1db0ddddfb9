// The command line: every refusal before any file is read, the usage text,
// and the default output name.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/run_program.h"
#include "tilepatch/tilepatch.h"

namespace {

const char kUsage[] =
    "usage: tilepatch [options] SHAPES-BMP\n"
    "option: -d|--disk FILE    specify disk image file\n"
    "        -i|--index NUM    specify index of disk image\n"
    "        -t|--type TYPE    specify disk image type\n"
    "                            Z |ZORVAN      zorvan disk     "
    "(kq-zorvan.d88)\n"
    "                            K |KELMORANE   kelmorane disk  "
    "(kq-kelmorane.d88)\n"
    "                            V |VESTO       vesto disk      "
    "(kq-vesto.d88)\n"
    "                            DH|DUSKHOLLOW  duskhollow disk "
    "(kq-duskhollow.d88)\n"
    "                            FH|FARHAVEN    far haven disk  "
    "(kq-farhaven.d88)\n"
    "\n"
    "        -D|--multi-disk FILE INDEX-Z INDEX-K INDEX-V INDEX-DH INDEX-F\n"
    "                          modify all disk in multiple disk image\n"
    "\n"
    "        -o|--output FILE  specify modified disk image file\n"
    "           --overwrite    overwrite output file\n"
    "           --verbose      verbose mode\n"
    "        -?|--help         print usage\n"
    "\n"
    "supported disk image format is *.D88 only\n"
    "write modified disk image to filename.NEW.ext if not specifyed\n";

TEST(TilepatchCommandLine, EachErrorPrintsItsLineAndEndsWithStatus1) {
  const struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"--help"}, kUsage},
      {{"-?"}, kUsage},
      {{"-t", "z", "-?", "-x"}, kUsage},
      {{"a.bmp", "--help", "b.bmp"}, kUsage},
      {{}, "no disk type\n"},
      {{"shapes.bmp"}, "no disk type\n"},
      {{"-t", "z"}, "no shapes bitmap filename\n"},
      {{"-D", "g.d88", "0", "1", "2", "3", "4"}, "no shapes bitmap filename\n"},
      {{"-d"}, "error: no image file name\n"},
      {{"--disk"}, "error: no image file name\n"},
      {{"-i"}, "error: no image index\n"},
      {{"--index"}, "error: no image index\n"},
      {{"-t", "z", "-i", "1a", "x.bmp"}, "error: illegal image index '1a'\n"},
      {{"-i", "x"}, "error: illegal image index 'x'\n"},
      {{"-i", "0x"}, "error: illegal image index '0x'\n"},
      {{"-i", "08"}, "error: illegal image index '08'\n"},
      {{"-t"}, "error: no disk type\n"},
      {{"--type"}, "error: no disk type\n"},
      {{"-t", "zorvan2"}, "error: illegal disk type 'zorvan2'\n"},
      {{"-t", ""}, "error: illegal disk type ''\n"},
      {{"-t", "far haven"}, "error: illegal disk type 'far haven'\n"},
      {{"-D"}, "error: no disk name\n"},
      {{"--multi-disk"}, "error: no disk name\n"},
      {{"-D", "g.d88"}, "error: no image index of zorvan disk\n"},
      {{"-D", "g.d88", "0"}, "error: no image index of kelmorane disk\n"},
      {{"-D", "g.d88", "0", "1"}, "error: no image index of vesto disk\n"},
      {{"-D", "g.d88", "0", "1", "2"},
       "error: no image index of duskhollow disk\n"},
      {{"-D", "g.d88", "0", "1", "2", "3"},
       "error: no image index of far haven disk\n"},
      {{"-D", "g.d88", "0", "1", "2", "3", "4x"},
       "error: illegal image index '4x'\n"},
      {{"-o"}, "error: no output file name\n"},
      {{"--output"}, "error: no output file name\n"},
      {{"-x"}, "unknown option '-x'\n"},
      {{"-"}, "unknown option '-'\n"},
      {{"--"}, "unknown option '--'\n"},
      {{"--HELP"}, "unknown option '--HELP'\n"},
      {{"-T", "z"}, "unknown option '-T'\n"},
      {{"--overwrite=yes"}, "unknown option '--overwrite=yes'\n"},
      {{"a.bmp", "b.bmp"}, "unneeded parameter 'b.bmp'\n"},
      {{"a.bmp", ""}, "unneeded parameter ''\n"},
      // The first error decides; nothing after it is looked at.
      {{"-t", "q", "--help"}, "error: illegal disk type 'q'\n"},
      {{"a.bmp", "b.bmp", "-x"}, "unneeded parameter 'b.bmp'\n"},
      // Arguments of options are taken as they stand, "-" or not.
      {{"-d", "-i", "-t", "z", "x.bmp"}, "error: open 'x.bmp'\n"},
      {{"-t", "z", "-i", "-1", "-o", "-o", "x.bmp"}, "error: open 'x.bmp'\n"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    const RunResult run = run_program(TILEPATCH_EXE, c.args, dir.path());
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.status, 1) << c.out;
    EXPECT_EQ(run.err, "") << c.out;
    EXPECT_TRUE(list_dir(dir.path()).empty()) << c.out;
  }
}

TEST(TilepatchOutputName, PutsNewBeforeTheLastExtension) {
  const char* const cases[][2] = {
      {"kq-zorvan.d88", "kq-zorvan.NEW.d88"},
      {"dir/game.old.d88", "dir/game.old.NEW.d88"},
      {"/abs/path/game.D88", "/abs/path/game.NEW.D88"},
      {"dir.old/game", "dir.old/game.NEW"},
      {"../game", "../game.NEW"},
      {"game", "game.NEW"},
      {"game.", "game.NEW."},
      {".d88", ".NEW.d88"},
      {"a\\b.c\\d", "a\\b.NEW.c\\d"},
      {"dir.d/", "dir.d/.NEW"},
      {"", ".NEW"},
  };
  for (const auto& c : cases) {
    const std::unique_ptr<char[]> name = derive_output_name(c[0]);
    ASSERT_TRUE(name) << c[0];
    EXPECT_STREQ(name.get(), c[1]);
  }
}

}  // namespace
