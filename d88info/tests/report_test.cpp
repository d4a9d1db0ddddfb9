// d88info as a user runs it, on the sample disks and on disks built here.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "d88/d88.h"
#include "support/run_program.h"

namespace {

TEST(D88infoCommandLine, EachErrorPrintsItsLineAndEndsWithStatus1) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, "no disk image filename\n"}, {{"--", "a"}, "unknown option '--'\n"}};
  for (const auto& [args, out] : cases) {
    const RunResult r = run_program(D88INFO_EXE, args, ".");
    EXPECT_EQ(r.status, 1) << out;
    EXPECT_EQ(r.out, out);
  }
  const RunResult help = run_program(D88INFO_EXE, {"a.d88", "-?"}, ".");
  EXPECT_EQ(help.status, 1);
  EXPECT_EQ(help.out.rfind("usage: d88info [options] FILE...\n", 0), 0u);
  EXPECT_EQ(std::count(help.out.begin(), help.out.end(), '\n'), 5);
}

class D88infoReport : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(run_program(MAKE_SAMPLES_EXE, {dir.path()}, "/").status, 0);
  }
  TempDir dir;
};

TEST_F(D88infoReport, ASingleSampleDisk) {
  const RunResult r = run_program(D88INFO_EXE, {"kq-vesto.d88"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "kq-vesto.d88: 1 disk\n\n"
            "disk 0  \"KQ VESTO\"\n"
            "  write protect   no\n"
            "  media type      2D (0x00)\n"
            "  disk size       348848 bytes\n"
            "  tracks          80\n"
            "  sectors         1280\n"
            "  sector sizes    256 x 1280\n"
            "  shapes 0-127    ok (zorvan/far haven)\n"
            "  shapes 128-255  ok (kelmorane/vesto/duskhollow)\n\n"
            "hint: one disk, index 0, the default: no index to pass\n");
}

// odd.d88: disk 0 lacks a sector of the lower walk, disk 1 has a wrong size
// code in the upper one, disk 2 is a write-protected 2HD disk with an upper
// sector cut short. An unreadable file does not stop the others.
TEST_F(D88infoReport, NamesUnusableShapeSectorsAndUnreadableFiles) {
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
  EXPECT_EQ(write_d88_image_to_file(&image, (dir / "odd.d88").c_str()), 0);
  free_d88_image(&image, 0);
  write_file(dir / "tiny.d88", "too short for a disk");
  const RunResult r = run_program(
      D88INFO_EXE, {"kq-game.d88", "odd.d88", "missing.d88", "tiny.d88"},
      dir.path());
  EXPECT_EQ(r.status, 1);
  size_t at = 0;
  for (const char* line : {
           "kq-game.d88: 5 disks\n", "disk 4  \"KQ FAR HAVEN\"\n",
           "hint: pass the disk numbers as indexes to tiledump (-i1, -i2, -D)\n",
           "        tiledump -D kq-game.d88 0 1 shapes.bmp\n",
           "        tilepatch -D kq-game.d88 0 1 2 3 4 shapes.bmp\n",
           "      tilepatch -D: zorvan, kelmorane, vesto, duskhollow, far haven\n",
           "  shapes 0-127    missing sector 21/00/05 (zorvan/far haven)\n",
           "  shapes 128-255  bad sector 1C/01/09: size code 2, 256 bytes "
           "(kelmorane/vesto/duskhollow)\n",
           "disk 2  \"2HD\\x09SHORT\"\n  write protect   yes\n"
           "  media type      2HD (0x20)\n",
           "  sector sizes    128 x 1, 256 x 4003\n",
           // Shapes 0-127 first readable on disk 1, 128-255 on disk 0.
           "        tiledump -D odd.d88 1 0 shapes.bmp\n"
           "      tiledump -D: the disk of shapes 0-127, then that of 128-255\n\n",
           "error: read d88 image 'missing.d88'\n\n",
           "error: no disk found in 'tiny.d88'\n"}) {
    at = r.out.find(line, at);
    ASSERT_NE(at, std::string::npos) << line << " in\n" << r.out;
  }
  EXPECT_EQ(run_program(D88INFO_EXE, {"tiny.d88"}, dir.path()).status, 1);
}

}  // namespace
