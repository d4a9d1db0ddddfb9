// d88info as a user runs it: command-line errors, the report of the sample
// disks and of disks whose shape sectors are missing or unusable, and files
// that cannot be read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "d88/d88.h"
#include "tests/support/run_program.h"

namespace {

RunResult run_d88info(const std::string& dir,
                      const std::vector<std::string>& args) {
  return run_program(D88INFO_EXE, args, dir);
}

// Succeeds when every line occurs in text as a whole line, in this order.
testing::AssertionResult has_lines_in_order(
    const std::string& text, const std::vector<std::string>& lines) {
  size_t from = 0;
  for (const std::string& line : lines) {
    const size_t at = ("\n" + text).find("\n" + line + "\n", from);
    if (at == std::string::npos) {
      return testing::AssertionFailure()
             << "missing or out of order: [" << line << "] in\n"
             << text;
    }
    from = at + line.size() + 1;
  }
  return testing::AssertionSuccess();
}

const char kUsage[] =
    "usage: d88info [options] FILE...\n"
    "lists every disk of each D88 image file: its index, header, sectors\n"
    "and whether its shape sectors can be read by tiledump and tilepatch\n"
    "option: -? |--help          print usage\n"
    "supported disk image format is *.D88 only\n";
const char kLowerOk[] = "  shapes 0-127    ok (zorvan/far haven)";
const char kUpperOk[] = "  shapes 128-255  ok (kelmorane/vesto/duskhollow)";

// The files named do not exist: had any been read, its error would show.
TEST(D88infoCommandLine, EachErrorPrintsItsLineAndEndsWithStatus1) {
  const struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
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
  TempDir dir;
  for (const auto& c : cases) {
    const RunResult run = run_d88info(dir.path(), c.args);
    EXPECT_EQ(run.status, 1) << c.out;
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, "") << c.out;
  }
}

class D88infoReport : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(run_program(MAKE_SAMPLES_EXE, {dir.path()}, "/").status, 0);
  }
  TempDir dir;
};

TEST_F(D88infoReport, ASingleSampleDisk) {
  const RunResult run = run_d88info(dir.path(), {"kq-vesto.d88"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, std::string("kq-vesto.d88: 1 disk\n\n"
                                 "disk 0  \"KQ VESTO\"\n"
                                 "  write protect   no\n"
                                 "  media type      2D (0x00)\n"
                                 "  disk size       348848 bytes\n"
                                 "  tracks          80\n"
                                 "  sectors         1280\n"
                                 "  sector sizes    256 x 1280\n") +
                         kLowerOk + "\n" + kUpperOk +
                         "\n\nhint: one disk, index 0, the default: no index "
                         "to pass\n");
}

TEST_F(D88infoReport, TheFiveDiskGameFile) {
  const RunResult run = run_d88info(dir.path(), {"kq-game.d88"});
  EXPECT_EQ(run.status, 0);
  std::vector<std::string> lines = {"kq-game.d88: 5 disks"};
  for (const char* name :
       {"0  \"KQ ZORVAN\"", "1  \"KQ KELMORANE\"", "2  \"KQ VESTO\"",
        "3  \"KQ DUSKHOLLOW\"", "4  \"KQ FAR HAVEN\""}) {
    lines.insert(lines.end(),
                 {std::string("disk ") + name, kLowerOk, kUpperOk});
  }
  lines.insert(
      lines.end(),
      {"hint: pass the disk numbers as indexes to tiledump (-i1, -i2, -D)",
       "        tiledump -D kq-game.d88 0 1 shapes.bmp",
       "        tilepatch -D kq-game.d88 0 1 2 3 4 shapes.bmp",
       "      tilepatch -D: zorvan, kelmorane, vesto, duskhollow, far haven"});
  EXPECT_TRUE(has_lines_in_order(run.out, lines));
  // The hint is the end of the output.
  EXPECT_EQ(run.out.substr(run.out.size() - 10), "far haven\n");
}

// Disk 0 lacks a sector of the lower walk, disk 1 has a wrong size code in
// the upper walk, disk 2 is a write-protected 2HD disk of 26 records per
// track with one upper sector cut short.
void write_odd_image(const std::string& path) {
  DiskImage image;
  Disk* disks[3] = {create_d88_disk("NO 21/00/05", 0),
                    create_d88_disk("CODE 2", 0),
                    create_d88_disk("2HD\tSHORT", 9)};
  for (Disk* disk : disks) ASSERT_NE(disk, nullptr);
  find_d88_sector(disks[0], 0x21, 0, 5)->r = 0x11;
  find_d88_sector(disks[1], 0x1C, 1, 9)->n = 2;
  Sector* cut = find_d88_sector(disks[2], 0x1D, 0, 1);
  cut->size = 128;
  cut->data = std::make_unique<uint8_t[]>(128);
  disks[2]->write_protect = 0x10;
  image.first = disks[0];
  disks[0]->next = disks[1];
  disks[1]->next = disks[2];
  image.count = 3;
  EXPECT_EQ(write_d88_image_to_file(&image, path.c_str()), 0);
  free_d88_image(&image, 0);
}

TEST_F(D88infoReport, NamesTheFirstMissingOrUnusableShapeSector) {
  write_odd_image(dir / "odd.d88");
  const RunResult run = run_d88info(dir.path(), {"odd.d88"});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(has_lines_in_order(
      run.out, {"disk 0  \"NO 21/00/05\"",
                "  shapes 0-127    missing sector 21/00/05 (zorvan/far haven)",
                kUpperOk, "disk 1  \"CODE 2\"", kLowerOk,
                "  shapes 128-255  bad sector 1C/01/09: size code 2, 256 bytes "
                "(kelmorane/vesto/duskhollow)",
                "disk 2  \"2HD\\x09SHORT\"", "  write protect   yes",
                "  media type      2HD (0x20)", "  tracks          154",
                "  sectors         4004",
                "  sector sizes    128 x 1, 256 x 4003", kLowerOk,
                "  shapes 128-255  bad sector 1D/00/01: size code 1, 128 bytes "
                "(kelmorane/vesto/duskhollow)",
                // Shapes 0-127 first readable on disk 1, 128-255 on disk 0.
                "        tiledump -D odd.d88 1 0 shapes.bmp"}));
  EXPECT_EQ(run.out.find("tilepatch -D"), std::string::npos);
}

TEST_F(D88infoReport, AnUnreadableFileIsReportedAndTheOthersStillListed) {
  write_file(dir / "broken.d88", std::string(1000, '\xFF'));
  write_file(dir / "tiny.d88", "too short for a disk");
  const RunResult run =
      run_d88info(dir.path(), {"kq-zorvan.d88", "missing.d88", "broken.d88",
                               "tiny.d88", "kq-vesto.d88"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(has_lines_in_order(
      run.out, {"kq-zorvan.d88: 1 disk", "", "open error 'missing.d88'",
                "error: read d88 image 'missing.d88'", "",
                "error: read d88 image 'broken.d88'", "",
                "data size too short ... garbage? ... ignored",
                "tiny.d88: 0 disks", "", "hint: this file holds no disk", "",
                "kq-vesto.d88: 1 disk", "disk 0  \"KQ VESTO\""}));
}

}  // namespace
