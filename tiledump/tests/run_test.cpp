// tiledump as a user runs it, on a fresh set of sample disks.
#include <gtest/gtest.h>
#include <unistd.h>

#include "d88/d88.h"
#include "samples/sample_sheet.h"
#include "support/run_program.h"
#include "tiledump/tiledump.h"
#include "export.h"

namespace {

// The bitmap of shapes 0-127 from sample disk lower and 128-255 from upper (letters Z, K, V, D,
// F), built by hand rather than by the writer.
std::string expected_bitmap(char lower, char upper) {
  static ShapeSheet sheets[2];
  draw_sample_sheet(&sheets[0], lower), draw_sample_sheet(&sheets[1], upper);
  std::string b("BM\x76\x80\0\0\0\0\0\0\x76\0\0\0\x28\0\0\0\0\x01\0\0\0\x01\0\0\x01\0\x04\0\0\0\0\0\0\x80", 36);
  b.append(18, '\0');  // the rest of the image size, and the fields that are 0
  b.append("\0\0\0\0\xFF\0\0\0\0\0\xFF\0\xFF\0\xFF\0\0\xFF\0\0\xFF\xFF\0\0\0\xFF\xFF\0\xFF\xFF\xFF\0\x80\x80\x80\0\x80\0\0\0"
           "\0\0\x80\0\x80\0\x80\0\0\x80\0\0\x80\x80\0\0\0\x80\x80\0\xC0\xC0\xC0\0", 64);
  // Shapes 96 to 126 keep a single plane: white wherever a colour was.
  const auto pixel = [](int x, int y) {
    const int shape = (y / 16) * 16 + x / 16, v = sheets[shape < 128 ? 0 : 1].pixels[y * 256 + x] & 7;
    return shape >= 96 && shape <= 126 && v != 0 ? 7 : v;
  };
  for (int y = 255; y >= 0; --y) {
    for (int x = 0; x < 256; x += 2) b.push_back(static_cast<char>(pixel(x, y) << 4 | pixel(x + 1, y)));
  }
  return b;
}

// kq-game.d88 holds zorvan, kelmorane, vesto, duskhollow, far haven. The runs share one process,
// so each must start from a clear sheet and quiet.
TEST(Tiledump, WritesTheShapesOfTheDisksNamed) {
  TempDir dir;
  ASSERT_EQ(run_program(MAKE_SAMPLES_EXE, {dir.path()}, ".").first, 0);
  ASSERT_EQ(::chdir(dir.path().c_str()), 0);
  const auto dump = [](std::vector<std::string> args) {
    args.insert(args.begin(), {"tiledump", "--overwrite", "out.bmp"});
    return outcome([&] { return tiledump::tiledump_main(static_cast<int>(args.size()), argv_of(args).data()); });
  };
  const std::string trace = dump({"--verbose"}).second;  // each range's walk, the lower first
  EXPECT_EQ(trace.rfind("20/01/10 - 22/00/08\n[20/01/10]\n00000000 : ", 0), 0u);
  EXPECT_NE(trace.find("\n1C/01/09 - 1E/01/08\n[1C/01/09]\n00008000 :                 \n00008100 :  11111111111111 \n"),
            std::string::npos);
  const std::string g = "kq-game.d88";
  write_file("b.d88", read_file("kq-farhaven.d88")), write_file("a.d88", read_file(g));  // names comparing as 1
  const struct { std::vector<std::string> args; char lower, upper; } cases[] = {
      {{}, 'Z', 'K'}, {{"-D", g, "4", "3"}, 'F', 'D'}, {{"--multi-disk", g, "0x4", "2"}, 'F', 'V'},
      {{"-d1", g, "--disk2", g, "--index1", "4", "-i2", "2"}, 'F', 'V'},
      {{"--disk1", "b.d88", "-d2", "a.d88", "-i1", "0", "--index2", "3"}, 'F', 'D'}};
  for (const auto& c : cases) {
    EXPECT_EQ(dump(c.args), Outcome(0, "")) << c.lower << c.upper;
    EXPECT_TRUE(read_file(dir / "out.bmp") == expected_bitmap(c.lower, c.upper)) << c.lower << c.upper;
  }
}

TEST(Tiledump, FailuresAndQuestions) {
  TempDir dir;
  ASSERT_EQ(run_program(MAKE_SAMPLES_EXE, {dir.path()}, ".").first, 0);
  const std::string old = "an earlier picture", asked = "already exists 'old.bmp'\noverwrite ? (Y or N): ";
  write_file(dir / "old.bmp", old);
  // Shape sectors holding 255 of the 256 bytes their code promises.
  std::unique_ptr<Disk> disk(create_d88_disk("ODD", 0));
  find_d88_sector(disk.get(), 0x20, 1, 0x10)->size = find_d88_sector(disk.get(), 0x1E, 1, 8)->size = 255;
  ASSERT_EQ(write_d88_disk_to_file(disk.get(), (dir / "odd.d88").c_str()), 0);
  write_file(dir / "tiny.d88", "too short for a disk");
  const std::string none = "error: no disk name", index = "error: no image index";
  const std::string upper = "kelmorane/vesto/duskhollow", lower = "zorvan/far haven";
  check_runs(TILEDUMP_EXE, dir.path(), {
      {{}, 1, "no output bitmap filename\n"}, {{"--index2"}, 1, index + "\n"},
      {{"-d1"}, 1, none + " (" + lower + " disk)\n"}, {{"--disk2"}, 1, none + " (" + upper + " disk)\n"},
      {{"-D"}, 1, none + "\n"}, {{"-D", "g.d88"}, 1, index + " of " + lower + " disk\n"},
      {{"-D", "g.d88", "0"}, 1, index + " of " + upper + " disk\n"}, {{"-x", "--help"}, 1, "unknown option '-x'\n"},
      {{"-D", "g.d88", "0", "-", "o.bmp"}, 1, "error: illegal image index '-'\n"},  // an argument, not an option
      {{"a.bmp", "b.bmp"}, 1, "unneeded parameter 'b.bmp'\n"},
      {{"-D", "kq-game.d88", "5", "1", "o.bmp"}, 1, "error: illegal image index: 'kq-game.d88':5\n"},
      {{"-D", "kq-game.d88", "0", "-1", "o.bmp"}, 1, "error: illegal image index: 'kq-game.d88':-1\n"},
      {{"-d1", "absent.d88", "o.bmp"}, 1, "open error 'absent.d88'\nerror: read d88 image 'absent.d88'\n"},
      {{"-d2", "absent.d88", "o.bmp"}, 1, "...error: read d88 image 'absent.d88'\n"},
      {{"-d1", "tiny.d88", "o.bmp"}, 1, "...ignored\nerror: illegal image index: 'tiny.d88':0\n"},
      {{"-d1", "odd.d88", "o.bmp"}, 1, "error: read d88 image 20/01/10\nerror: draw shapes\n"},
      {{"-d2", "odd.d88", "o.bmp"}, 1, "error: read d88 image 1E/01/08\nerror: draw shapes\n"},
      {{"old.bmp"}, 1, asked + "error: write bitmap file 'old.bmp'\n", "n\n"},
      {{"--overwrite", "absent/o.png"}, 1, "error: open 'absent/o.png'\nerror: write bitmap file 'absent/o.png'\n"},
      {{"-?", "old.bmp"}, 1, "...        -? |--help          print usage\nsupported disk image format is *.D88 only\n"},
  });
  EXPECT_EQ(read_file(dir / "old.bmp"), old);
  check_runs(TILEDUMP_EXE, dir.path(), {{{"old.bmp"}, 0, asked, "y\n"}});
  EXPECT_NE(read_file(dir / "old.bmp"), old);
  // A size or depth the file cannot describe is refused before anything is asked or opened; one
  // without columns or rows is a bitmap like any other.
  const std::vector<uint8_t> zeros(1024);  // pixels and palette
  const struct { const char* name; int w, h, bits, result; } writes[] = {
      {"b", -1, 2, 4, -1}, {"b", 2, -1, 4, -1}, {"b", 0, 0, 24, 0}, {"p.png", 2, 2, 24, -1}, {"p.png", 2, 2, 8, 0}};
  for (const auto& c : writes) {
    const std::string path = dir / c.name;
    const auto write = [&] { return tiledump::write_bitmap_file(path.c_str(), c.w, c.h, zeros.data(), zeros.data(),
                                                                 uint16_t(c.bits), 1); };
    EXPECT_EQ(outcome(write), Outcome(c.result, c.result ? "error: create bitmap header\n" : "")) << c.name << c.w;
  }
}

}  // namespace
