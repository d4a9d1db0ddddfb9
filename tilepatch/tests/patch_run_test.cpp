// Whole runs on disks built here: which disks change and with which shapes,
// the output name, the overwrite question, and failures that must leave
// every file as it was.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cstdio>

#include "d88/d88.h"
#include "tests/support/run_program.h"
#include "tilepatch/tests/fixtures.h"

namespace {

const ShapeRange* const lo = &lower_shape_range;
const ShapeRange* const up = &upper_shape_range;

bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class PatchRunTest : public testing::Test {
 protected:
  void SetUp() override { write_picture_bitmap(dir / "sheet.bmp", picture, 4); }
  RunResult run(const std::vector<std::string>& args,
                const std::string& input = "") {
    return run_program(TILEPATCH_EXE, args, dir.path(), input);
  }
  std::string expected(const std::string& image,
                       const std::vector<DiskChange>& changes) {
    return patched_image(image, picture.colours, changes);
  }
  TempDir dir;
  Picture picture = random_shape_picture(2024);
};

TEST_F(PatchRunTest, ChangesTheDisksTheCommandLineNames) {
  const std::string g = "game.d88";
  const struct {
    std::string input;              // the file given or taken by default
    int disks;                      // in the input file
    std::vector<std::string> args;  // before sheet.bmp
    std::vector<DiskChange> changes;
  } cases[] = {
      {"kq-zorvan.d88", 2, {"-t", "z"}, {{0, lo}}},
      {"kq-zorvan.d88", 2, {"-t", "ZORVAN"}, {{0, lo}}},
      {"kq-kelmorane.d88", 2, {"-t", "K"}, {{0, up}}},
      {"kq-kelmorane.d88", 2, {"-t", "Kelmorane"}, {{0, up}}},
      {"kq-vesto.d88", 2, {"-t", "v"}, {{0, up}}},
      {"kq-vesto.d88", 2, {"-t", "VESTO"}, {{0, up}}},
      {"kq-duskhollow.d88", 2, {"-t", "Dh"}, {{0, up}}},
      {"kq-duskhollow.d88", 2, {"-t", "duskHollow"}, {{0, up}}},
      {"kq-farhaven.d88", 2, {"-t", "fH"}, {{0, lo}}},
      {"kq-farhaven.d88", 2, {"-t", "FARHAVEN"}, {{0, lo}}},
      {g, 3, {"-d", g, "--index", "0x2", "--type", "fh"}, {{2, lo}}},
      // A negative index changes nothing, and the image is still saved.
      {"kq-vesto.d88", 1, {"-t", "v", "-i", "-1"}, {}},
      {g,
       5,
       {"-D", g, "0", "1", "2", "3", "4"},
       {{0, lo}, {1, up}, {2, up}, {3, up}, {4, lo}}},
      // The range follows the position, not the disk.
      {g,
       5,
       {"-D", g, "4", "3", "2", "1", "0"},
       {{4, lo}, {3, up}, {2, up}, {1, up}, {0, lo}}},
      // The walk stops at the first negative index.
      {g, 5, {"-D", g, "0", "1", "2", "-1", "4"}, {{0, lo}, {1, up}, {2, up}}},
      {g, 5, {"-D", g, "0", "0xFFFFFFFF", "2", "3", "4"}, {{0, lo}}},
      {g, 5, {"-D", g, "-1", "1", "2", "3", "4"}, {}},
      // A later -t replaces multi-disk mode but keeps the five indexes.
      {g,
       5,
       {"-D", g, "0", "1", "2", "3", "4", "-t", "v"},
       {{0, up}, {1, up}, {2, up}, {3, up}, {4, up}}},
      {g,
       5,
       {"-D", g, "1", "2", "3", "4", "0", "-t", "Z"},
       {{1, lo}, {2, lo}, {3, lo}, {4, lo}, {0, lo}}},
      // -i after -D replaces only the first index.
      {g,
       5,
       {"-D", g, "0", "1", "2", "3", "4", "-i", "3"},
       {{3, lo}, {1, up}, {2, up}, {3, up}, {4, lo}}},
  };
  for (const auto& c : cases) {
    const std::string image = blank_disks(c.disks);
    write_file(dir / c.input, image);
    std::vector<std::string> args = c.args;
    args.push_back("sheet.bmp");
    const RunResult r = run(args);
    EXPECT_EQ(r.out, "") << args[1];
    EXPECT_EQ(r.status, 0) << args[1];
    const std::string output =
        c.input.substr(0, c.input.size() - 4) + ".NEW.d88";
    EXPECT_EQ(read_file(dir / output), expected(image, c.changes)) << args[1];
    EXPECT_EQ(read_file(dir / c.input), image) << args[1];
    std::remove((dir / output).c_str());
  }
}

// A case's output starting with "..." is only the end of what is printed.
TEST_F(PatchRunTest, EveryFailureLeavesTheDirectoryAsItWas) {
  write_file(dir / "kq-zorvan.d88", blank_disks(1));
  write_file(dir / "game.d88", blank_disks(5));
  // Long enough to be read as a disk, whose header then fails the checks.
  write_file(dir / "broken.d88", std::string(1000, 'x'));
  write_picture_bitmap(dir / "narrow.bmp",
                       random_black_white_picture(255, 256, 1), 24);
  // Size code 1 promises 256 bytes; this sector of the walk holds 128.
  DiskImage disks;
  const std::string image = blank_disks(1);
  ASSERT_GE(read_d88_image_from_buffer(
                &disks, reinterpret_cast<const uint8_t*>(image.data()),
                static_cast<int32_t>(image.size())),
            0);
  Sector* sector = find_d88_sector(disks.first, 0x21, 0, 1);
  ASSERT_NE(sector, nullptr);
  sector->size = 128;
  sector->data = std::make_unique<uint8_t[]>(128);
  ASSERT_EQ(write_d88_image_to_file(&disks, (dir / "short.d88").c_str()), 0);
  free_d88_image(&disks, 0);

  const struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"-t", "z", "-i", "1", "sheet.bmp"},
       "error: illegal image index: 'kq-zorvan.d88':1\n"},
      // Even after the earlier disks of the walk were changed.
      {{"-D", "game.d88", "0", "1", "2", "3", "5", "sheet.bmp"},
       "error: illegal image index: 'game.d88':5\n"},
      // A bad bitmap stops the run before the disk file is read.
      {{"-t", "z", "-d", "missing.d88", "narrow.bmp"},
       "error: bmp size error 'narrow.bmp'\n"},
      {{"-t", "z", "-d", "broken.d88", "sheet.bmp"},
       "...error: read d88 image 'broken.d88'\n"},
      {{"-t", "z", "-d", "missing.d88", "sheet.bmp"},
       "...error: read d88 image 'missing.d88'\n"},
      {{"-t", "z", "-d", "short.d88", "sheet.bmp"},
       "...error: change shape data\n"},
      {{"-t", "z", "-o", "/dev/full", "--overwrite", "sheet.bmp"},
       "...error: write d88 image '/dev/full'\n"},
      {{"-t", "z", "-o", "nodir/out.d88", "sheet.bmp"},
       "...error: write d88 image 'nodir/out.d88'\n"},
  };
  const std::vector<std::string> before = list_dir(dir.path());
  for (const auto& c : cases) {
    const RunResult r = run(c.args);
    if (c.out.compare(0, 3, "...") == 0) {
      EXPECT_TRUE(ends_with(r.out, c.out.substr(3))) << r.out;
    } else {
      EXPECT_EQ(r.out, c.out);
    }
    EXPECT_EQ(r.status, 1) << c.out;
    EXPECT_EQ(list_dir(dir.path()), before) << c.out;
  }
}

TEST_F(PatchRunTest, VerbosePrintsTheEncoderTrace) {
  const std::string image = blank_disks(1);
  write_file(dir / "kq-zorvan.d88", image);
  const RunResult r = run({"--verbose", "-t", "z", "sheet.bmp"});
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.rfind("20/01/10 - 22/00/08\n[20/01/10]\n00000000 :", 0), 0u);
  EXPECT_NE(r.out.find("[22/00/08]\n"), std::string::npos);
  EXPECT_EQ(read_file(dir / "kq-zorvan.NEW.d88"), expected(image, {{0, lo}}));
}

// The default output, or the input itself named by -o.
TEST_F(PatchRunTest, AnExistingOutputIsReplacedOnlyAfterYes) {
  const std::string q = "overwrite ? (Y or N): ";
  const std::string nq = "already exists 'kq-zorvan.NEW.d88'\n" + q;
  const std::string iq = "already exists 'kq-zorvan.d88'\n" + q;
  const struct {
    std::string input;
    bool force;  // --overwrite given
    bool onto_input;
    bool replaced;
    std::string out;
  } cases[] = {
      {"y\n", false, false, true, nq},
      {"x Y", false, false, true, nq},
      {"n\n", false, false, false, nq},
      {"\nN", false, false, false, nq},
      // End of input is a refusal; the prompt line is ended.
      {"", false, false, false, nq + "\n"},
      {"oops", false, false, false, nq + "\n"},
      {"", true, false, true, ""},
      {"y", false, true, true, iq},
      {"n", false, true, false, iq},
      {"", true, true, true, ""},
  };
  const std::string image = blank_disks(1);
  for (const auto& c : cases) {
    write_file(dir / "kq-zorvan.d88", image);
    write_file(dir / "kq-zorvan.NEW.d88", "earlier output");
    std::vector<std::string> args = {"-t", "z", "sheet.bmp"};
    if (c.force) args.push_back("--overwrite");
    if (c.onto_input) args.insert(args.end(), {"-o", "kq-zorvan.d88"});
    const std::string target =
        c.onto_input ? "kq-zorvan.d88" : "kq-zorvan.NEW.d88";
    const std::string before = read_file(dir / target);
    const RunResult r = run(args, c.input);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.status, c.replaced ? 0 : 255) << c.input;  // 255 is -1
    EXPECT_EQ(read_file(dir / target),
              c.replaced ? expected(image, {{0, lo}}) : before)
        << c.input;
    EXPECT_EQ(list_dir(dir.path()),
              (std::vector<std::string>{"kq-zorvan.NEW.d88", "kq-zorvan.d88",
                                        "sheet.bmp"}));
  }
}

// Files limited to a size smaller than the image, as on a full disk: the
// write fails part way.
RunResult run_with_small_file_limit(const std::vector<std::string>& args,
                                    const std::string& dir) {
  struct rlimit saved;
  getrlimit(RLIMIT_FSIZE, &saved);
  struct rlimit limited = saved;
  limited.rlim_cur = 100000;
  // Ignored, the signal turns into a failed write in the child too.
  struct sigaction ignore = {}, old = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &old);
  setrlimit(RLIMIT_FSIZE, &limited);
  RunResult r = run_program(TILEPATCH_EXE, args, dir);
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &old, nullptr);
  return r;
}

TEST_F(PatchRunTest, FailedSaveLeavesTheExistingFileAlone) {
  const std::string image = blank_disks(1);
  write_file(dir / "kq-zorvan.d88", image);
  write_file(dir / "kq-zorvan.NEW.d88", "earlier output");
  RunResult r = run_with_small_file_limit(
      {"-t", "z", "--overwrite", "sheet.bmp"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("error: write d88 image 'kq-zorvan.NEW.d88'\n"),
            std::string::npos);
  EXPECT_EQ(read_file(dir / "kq-zorvan.NEW.d88"), "earlier output");
  // Nor is the input harmed when it is the output.
  r = run_with_small_file_limit(
      {"-t", "z", "--overwrite", "-o", "kq-zorvan.d88", "sheet.bmp"},
      dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(read_file(dir / "kq-zorvan.d88"), image);
  EXPECT_EQ(list_dir(dir.path()),
            (std::vector<std::string>{"kq-zorvan.NEW.d88", "kq-zorvan.d88",
                                      "sheet.bmp"}));
}

}  // namespace
