// The command line of the built program: every refusal before any file is
// read, and the usage text.
#include <gtest/gtest.h>

#include "tests/support/run_program.h"

namespace {

struct LineCase {
  std::vector<std::string> args;
  std::string out;
};

void PrintTo(const LineCase& c, std::ostream* os) {
  for (const std::string& a : c.args) *os << '[' << a << ']';
}

class CommandLineErrorTest : public testing::TestWithParam<LineCase> {};

TEST_P(CommandLineErrorTest, PrintsOneLineAndFails) {
  TempDir dir;
  const RunResult run = run_program(TILEPATCH_EXE, GetParam().args, dir.path());
  EXPECT_EQ(run.out, GetParam().out);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(list_dir(dir.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Errors, CommandLineErrorTest,
    testing::Values(
        LineCase{{}, "no disk type\n"},
        LineCase{{"shapes.bmp"}, "no disk type\n"},
        LineCase{{"-t", "z"}, "no shapes bitmap filename\n"},
        LineCase{{"-D", "g.d88", "0", "1", "2", "3", "4"},
                 "no shapes bitmap filename\n"},
        LineCase{{"-d"}, "error: no image file name\n"},
        LineCase{{"--disk"}, "error: no image file name\n"},
        LineCase{{"-i"}, "error: no image index\n"},
        LineCase{{"--index"}, "error: no image index\n"},
        LineCase{{"-t", "z", "-i", "1a", "x.bmp"},
                 "error: illegal image index '1a'\n"},
        LineCase{{"-i", "x"}, "error: illegal image index 'x'\n"},
        LineCase{{"-i", "0x"}, "error: illegal image index '0x'\n"},
        LineCase{{"-i", "08"}, "error: illegal image index '08'\n"},
        LineCase{{"-t"}, "error: no disk type\n"},
        LineCase{{"--type"}, "error: no disk type\n"},
        LineCase{{"-t", "zorvan2"}, "error: illegal disk type 'zorvan2'\n"},
        LineCase{{"-t", ""}, "error: illegal disk type ''\n"},
        LineCase{{"-t", "far haven"}, "error: illegal disk type 'far haven'\n"},
        LineCase{{"-D"}, "error: no disk name\n"},
        LineCase{{"--multi-disk"}, "error: no disk name\n"},
        LineCase{{"-D", "g.d88"}, "error: no image index of zorvan disk\n"},
        LineCase{{"-D", "g.d88", "0"},
                 "error: no image index of kelmorane disk\n"},
        LineCase{{"-D", "g.d88", "0", "1"},
                 "error: no image index of vesto disk\n"},
        LineCase{{"-D", "g.d88", "0", "1", "2"},
                 "error: no image index of duskhollow disk\n"},
        LineCase{{"-D", "g.d88", "0", "1", "2", "3"},
                 "error: no image index of far haven disk\n"},
        LineCase{{"-D", "g.d88", "0", "1", "2", "3", "4x"},
                 "error: illegal image index '4x'\n"},
        LineCase{{"-o"}, "error: no output file name\n"},
        LineCase{{"--output"}, "error: no output file name\n"},
        LineCase{{"-x"}, "unknown option '-x'\n"},
        LineCase{{"-"}, "unknown option '-'\n"},
        LineCase{{"--"}, "unknown option '--'\n"},
        LineCase{{"--HELP"}, "unknown option '--HELP'\n"},
        LineCase{{"-T", "z"}, "unknown option '-T'\n"},
        LineCase{{"--overwrite=yes"}, "unknown option '--overwrite=yes'\n"},
        LineCase{{"a.bmp", "b.bmp"}, "unneeded parameter 'b.bmp'\n"},
        LineCase{{"a.bmp", ""}, "unneeded parameter ''\n"},
        // The first error decides; nothing after it is looked at.
        LineCase{{"-t", "q", "--help"}, "error: illegal disk type 'q'\n"},
        LineCase{{"a.bmp", "b.bmp", "-x"}, "unneeded parameter 'b.bmp'\n"},
        // Arguments of options are taken as they stand, "-" or not.
        LineCase{{"-d", "-i", "-t", "z", "x.bmp"}, "error: open 'x.bmp'\n"},
        LineCase{{"-t", "z", "-i", "-1", "-o", "-o", "x.bmp"},
                 "error: open 'x.bmp'\n"},
        LineCase{{"-t", "z", "missing.bmp"}, "error: open 'missing.bmp'\n"}));

const char* const usage_text =
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

class UsageTest
    : public testing::TestWithParam<std::vector<std::string>> {};

TEST_P(UsageTest, PrintsUsageAndFails) {
  TempDir dir;
  const RunResult run = run_program(TILEPATCH_EXE, GetParam(), dir.path());
  EXPECT_EQ(run.out, usage_text);
  EXPECT_EQ(run.status, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Help, UsageTest,
    testing::Values(std::vector<std::string>{"--help"},
                    std::vector<std::string>{"-?"},
                    std::vector<std::string>{"-t", "z", "-?", "-x"},
                    std::vector<std::string>{"a.bmp", "--help", "b.bmp"}));

}  // namespace
