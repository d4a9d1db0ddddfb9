// d88info as a user runs it, on the sample disks and on disks built here.
#include <gtest/gtest.h>

#include <cstring>

#include "d88/d88.h"
#include "support/run_program.h"

namespace {

// One sample disk exactly; then, in one run, disks built here with unusable shape
// sectors, odd names and sizes, and each file's hint. A bad file stops no other.
TEST(D88info, ReportsEachDiskAndHowToPassIndexes) {
  TempDir dir;
  ASSERT_EQ(run_program(MAKE_SAMPLES_EXE, {dir.path()}, "/").first, 0);
  write_file(dir / "tiny.d88", "too short for a disk");
  const std::string usage = "...option: -? |--help          print usage\nsupported disk image format is *.D88 only\n";
  check_runs(D88INFO_EXE, dir.path(), {
      {{"kq-vesto.d88"}, 0,
       "kq-vesto.d88: 1 disk\n\ndisk 0  \"KQ VESTO\"\n  write protect   no\n  media type      2D (0x00)\n"
       "  disk size       348848 bytes\n  tracks          80\n  sectors         1280\n  sector sizes    256 x 1280\n"
       "  shapes 0-127    ok (zorvan/far haven)\n  shapes 128-255  ok (kelmorane/vesto/duskhollow)\n\n"
       "hint: one disk, index 0, the default: no index to pass\n"},
      {{}, 1, "no disk image filename\n"}, {{"--", "a"}, 1, "unknown option '--'\n"}, {{"a.d88", "-?"}, 1, usage},
      {{"--help"}, 1, usage}, {{"tiny.d88"}, 1, "...ignored\nerror: no disk found in 'tiny.d88'\n"},
  });
  // The disks (made by the builder, or empty for -1) as one file, after change.
  const auto write_image = [&](const std::string& name, const std::vector<int>& formats, void (*change)(Disk**) = nullptr) {
    ScopedDiskImage holder;
    Disk** tail = &holder.image.first;
    std::vector<Disk*> disks;
    for (int format : formats) {
      disks.push_back(*tail = format < 0 ? std::make_unique<Disk>().release() : create_d88_disk("DISK", format));
      tail = &(*tail)->next, ++holder.image.count;
    }
    if (change) change(disks.data());
    EXPECT_EQ(write_d88_image_to_file(&holder.image, (dir / name).c_str()), 0);
  };
  write_image("odd.d88", {0, 0, 9}, [](Disk** d) {
    find_d88_sector(d[0], 0x21, 0, 5)->r = 0x11;
    find_d88_sector(d[1], 0x1C, 1, 9)->n = 2;
    find_d88_sector(d[2], 0x1D, 0, 1)->size = 128;
    d[2]->write_protect = 0x10;
    std::memcpy(d[2]->name, "2HD\tSHORT \"\\\x7F~\x1FXY", 17);  // 16 bytes shown, no NUL
  });
  write_image("misc.d88", {1, -1, 0, 0, 0}, [](Disk** d) {
    std::memcpy(d[0]->name, "   ", 4);
    for (int i = 0; i < 5; ++i) d[2]->tracks[0].sectors[i].size = static_cast<int16_t>(i + 1);
  });
  write_image("it's one.d88", {0, -1});
  write_image("upper.d88", {1, 1});
  write_image("four.d88", {0, 0, 0, 0});
  write_image("lower.d88", {0, 0}, [](Disk** d) { d[0]->tracks[0x1D * 2].sectors[0].n = 3, d[1]->tracks[0x1D * 2] = {}; });
  const auto [status, out] = run_program(D88INFO_EXE, {"kq-game.d88", "odd.d88", "missing.d88", "misc.d88", "it's one.d88",
                                                "upper.d88", "lower.d88", "four.d88"}, dir.path());
  EXPECT_EQ(status, 1);
  size_t at = 0;
  for (const char* line : {
           "kq-game.d88: 5 disks\n", "disk 4  \"KQ FAR HAVEN\"\n",
           "hint: pass the disk numbers as indexes to tiledump (-i1, -i2, -D)\n      and tilepatch (-i, -D), e.g.\n"
           "        tiledump -D kq-game.d88 0 1 shapes.bmp\n        tilepatch -D kq-game.d88 0 1 2 3 4 shapes.bmp\n"
           "      tiledump -D: the disk of shapes 0-127, then that of 128-255\n"
           "      tilepatch -D: zorvan, kelmorane, vesto, duskhollow, far haven\n\n",
           "odd.d88: 3 disks\n", "  shapes 0-127    missing sector 21/00/05 (zorvan/far haven)\n",
           "  shapes 128-255  bad sector 1C/01/09: size code 2, 256 bytes (kelmorane/vesto/duskhollow)\n",
           "disk 2  \"2HD\\x09SHORT \\x22\\x5C\\x7F~\\x1FX\"\n  write protect   yes\n  media type      2HD (0x20)\n",
           "  sector sizes    128 x 1, 256 x 4003\n",
           // Shapes 0-127 first readable on disk 1, 128-255 on disk 0.
           "        tiledump -D odd.d88 1 0 shapes.bmp\n      tiledump -D: the disk of shapes 0-127, then that of "
           "128-255\n\n",
           "error: read d88 image 'missing.d88'\n\n", "misc.d88: 5 disks\n\ndisk 0  \"\"\n", "  media type      2DD (0x10)\n",
           "disk 1  \"\"\n", "  tracks          0\n  sectors         0\n  sector sizes    none\n",
           "  sector sizes    1 x 1, 2 x 1, 3 x 1, 4 x 1, and 2 other sizes\n",
           "        tiledump -D misc.d88 2 3 shapes.bmp\n      tiledump -D: the disk",
           "        tiledump -D 'it'\\''s one.d88' 0 0 shapes.bmp\n",
           "      no disk here has readable shapes 0-127\n", "      no disk here has readable shapes 128-255\n",
           // The game's shapes, yet not its five disks: no tilepatch -D.
           "        tiledump -D four.d88 0 1 shapes.bmp\n      tiledump -D: the disk"}) {
    at = out.find(line, at);
    ASSERT_NE(at, std::string::npos) << line << " in\n" << out;
  }
}

}  // namespace
