// Command-line errors: each ends the run with status 1 before any file is
// read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "d88info/tests/harness.h"

namespace {

const char kUsage[] =
    "usage: d88info [options] FILE...\n"
    "lists every disk of each D88 image file: its index, header, sectors\n"
    "and whether its shape sectors can be read by tiledump and tilepatch\n"
    "option: -? |--help          print usage\n"
    "supported disk image format is *.D88 only\n";

TEST(D88infoCommandLine, EachErrorPrintsItsLineAndEndsWithStatus1) {
  struct Case {
    std::vector<std::string> args;
    std::string out;
  };
  // The files named do not exist: had any been read, its open error would
  // show.
  const Case cases[] = {
      {{}, "no disk image filename\n"},
      {{"--help"}, kUsage},
      {{"-?"}, kUsage},
      {{"a.d88", "--help", "b.d88"}, kUsage},
      {{"--help", "-x"}, kUsage},
      {{"-x", "--help"}, "unknown option '-x'\n"},
      {{"a.d88", "-"}, "unknown option '-'\n"},
      {{"--", "a.d88"}, "unknown option '--'\n"},
      {{"--HELP"}, "unknown option '--HELP'\n"},
  };
  for (const Case& c : cases) {
    std::string line;
    for (const std::string& a : c.args) line += " [" + a + "]";
    TempDir dir;
    const RunResult run = run_d88info(dir.path(), c.args);
    EXPECT_EQ(run.status, 1) << line;
    EXPECT_EQ(run.out, c.out) << line;
    EXPECT_EQ(run.err, "") << line;
  }
}

}  // namespace
