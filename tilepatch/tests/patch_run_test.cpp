// Whole runs of the built program on disks built here: which disks change and
// with which shapes, the output name, the overwrite question, and saving.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include "d88/d88.h"
#include "tests/support/run_program.h"
#include "tilepatch/tests/fixtures.h"

namespace {

const ShapeRange* const lower = &lower_shape_range;
const ShapeRange* const upper = &upper_shape_range;

class PatchRunTest : public testing::Test {
 protected:
  void SetUp() override {
    write_picture_bitmap(dir / "sheet.bmp", picture, 4);
  }

  RunResult run(const std::vector<std::string>& args,
                const std::string& input = "") {
    return run_program(TILEPATCH_EXE, args, dir.path(), input);
  }

  std::string expected(const std::string& image,
                       const std::vector<DiskChange>& changes) {
    return patched_image(image, *sheet, changes);
  }

  TempDir dir;
  Picture picture = random_shape_picture(2024);
  std::unique_ptr<ShapeSheet> sheet = sheet_of(picture);
};

// ---- Disk types -----------------------------------------------------------

struct TypeCase {
  const char* keyword;
  const char* default_file;
  const char* output;
  const ShapeRange* range;
};

class DiskTypeRunTest : public PatchRunTest,
                        public testing::WithParamInterface<TypeCase> {};

TEST_P(DiskTypeRunTest, PatchesDiskZeroOfTheDefaultFile) {
  const TypeCase& c = GetParam();
  const std::string image = blank_disks(2);
  write_file(dir / c.default_file, image);
  const RunResult r = run({"-t", c.keyword, "sheet.bmp"});
  EXPECT_EQ(r.out, "");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(read_file(dir / c.output), expected(image, {{0, c.range}}));
  EXPECT_EQ(read_file(dir / c.default_file), image);
}

INSTANTIATE_TEST_SUITE_P(
    Types, DiskTypeRunTest,
    testing::Values(
        TypeCase{"z", "kq-zorvan.d88", "kq-zorvan.NEW.d88", lower},
        TypeCase{"ZORVAN", "kq-zorvan.d88", "kq-zorvan.NEW.d88", lower},
        TypeCase{"K", "kq-kelmorane.d88", "kq-kelmorane.NEW.d88", upper},
        TypeCase{"Kelmorane", "kq-kelmorane.d88", "kq-kelmorane.NEW.d88",
                 upper},
        TypeCase{"v", "kq-vesto.d88", "kq-vesto.NEW.d88", upper},
        TypeCase{"VESTO", "kq-vesto.d88", "kq-vesto.NEW.d88", upper},
        TypeCase{"Dh", "kq-duskhollow.d88", "kq-duskhollow.NEW.d88", upper},
        TypeCase{"duskHollow", "kq-duskhollow.d88", "kq-duskhollow.NEW.d88",
                 upper},
        TypeCase{"fH", "kq-farhaven.d88", "kq-farhaven.NEW.d88", lower},
        TypeCase{"FARHAVEN", "kq-farhaven.d88", "kq-farhaven.NEW.d88",
                 lower}));

TEST_F(PatchRunTest, IndexAndDiskFileChooseTheDisk) {
  const std::string image = blank_disks(3);
  write_file(dir / "game.d88", image);
  const RunResult r =
      run({"-d", "game.d88", "--index", "0x2", "--type", "fh", "sheet.bmp"});
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(read_file(dir / "game.NEW.d88"), expected(image, {{2, lower}}));
}

TEST_F(PatchRunTest, NegativeIndexSavesTheImageUnchanged) {
  const std::string image = blank_disks(1);
  write_file(dir / "kq-vesto.d88", image);
  const RunResult r = run({"-t", "v", "-i", "-1", "sheet.bmp"});
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(read_file(dir / "kq-vesto.NEW.d88"), image);
}

TEST_F(PatchRunTest, IndexPastTheLastDiskWritesNothing) {
  write_file(dir / "kq-zorvan.d88", blank_disks(1));
  const RunResult r = run({"-t", "z", "-i", "1", "sheet.bmp"});
  EXPECT_EQ(r.out, "error: illegal image index: 'kq-zorvan.d88':1\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(file_exists(dir / "kq-zorvan.NEW.d88"));
}

// ---- Multi-disk walks -----------------------------------------------------

struct WalkCase {
  std::vector<std::string> args;  // after -D game.d88, before sheet.bmp
  std::vector<DiskChange> changes;
};

class MultiDiskRunTest : public PatchRunTest,
                         public testing::WithParamInterface<WalkCase> {};

TEST_P(MultiDiskRunTest, ChangesTheDisksOfTheWalk) {
  const std::string image = blank_disks(5);
  write_file(dir / "game.d88", image);
  std::vector<std::string> args = {"-D", "game.d88"};
  args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
  args.push_back("sheet.bmp");
  const RunResult r = run(args);
  EXPECT_EQ(r.out, "");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(read_file(dir / "game.NEW.d88"),
            expected(image, GetParam().changes));
}

INSTANTIATE_TEST_SUITE_P(
    Walks, MultiDiskRunTest,
    testing::Values(
        WalkCase{{"0", "1", "2", "3", "4"},
                 {{0, lower}, {1, upper}, {2, upper}, {3, upper}, {4, lower}}},
        // The range follows the position, not the disk.
        WalkCase{{"4", "3", "2", "1", "0"},
                 {{4, lower}, {3, upper}, {2, upper}, {1, upper}, {0, lower}}},
        // The walk stops at the first negative index.
        WalkCase{{"0", "1", "2", "-1", "4"},
                 {{0, lower}, {1, upper}, {2, upper}}},
        WalkCase{{"0", "0xFFFFFFFF", "2", "3", "4"}, {{0, lower}}},
        WalkCase{{"-1", "1", "2", "3", "4"}, {}},
        // A later -t replaces multi-disk mode but keeps the five indexes.
        WalkCase{{"0", "1", "2", "3", "4", "-t", "v"},
                 {{0, upper}, {1, upper}, {2, upper}, {3, upper}, {4, upper}}},
        WalkCase{{"1", "2", "3", "4", "0", "-t", "Z"},
                 {{1, lower}, {2, lower}, {3, lower}, {4, lower}, {0, lower}}},
        // -i after -D replaces only the first index.
        WalkCase{{"0", "1", "2", "3", "4", "-i", "3"},
                 {{3, lower}, {1, upper}, {2, upper}, {3, upper}, {4, lower}}}));

TEST_F(PatchRunTest, MultiDiskIndexPastTheLastDiskWritesNothing) {
  write_file(dir / "game.d88", blank_disks(5));
  const RunResult r =
      run({"-D", "game.d88", "0", "1", "2", "3", "5", "sheet.bmp"});
  EXPECT_EQ(r.out, "error: illegal image index: 'game.d88':5\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(list_dir(dir.path()),
            (std::vector<std::string>{"game.d88", "sheet.bmp"}));
}

// ---- Refused inputs -------------------------------------------------------

TEST_F(PatchRunTest, BadBitmapStopsBeforeTheDiskIsRead) {
  write_picture_bitmap(dir / "narrow.bmp",
                       random_black_white_picture(255, 256, 1), 24);
  const RunResult r = run({"-t", "z", "narrow.bmp"});
  EXPECT_EQ(r.out, "error: bmp size error 'narrow.bmp'\n");
  EXPECT_EQ(r.status, 1);
}

TEST_F(PatchRunTest, UnreadableDiskFileIsReported) {
  // Long enough to be read as a disk, whose header then fails the checks.
  write_file(dir / "kq-zorvan.d88", std::string(1000, 'x'));
  for (const char* name : {"kq-zorvan.d88", "missing.d88"}) {
    const RunResult r = run({"-t", "z", "-d", name, "sheet.bmp"});
    const std::string last = std::string("error: read d88 image '") + name +
                             "'\n";
    ASSERT_GE(r.out.size(), last.size());
    EXPECT_EQ(r.out.substr(r.out.size() - last.size()), last);
    EXPECT_EQ(r.status, 1);
  }
  EXPECT_EQ(list_dir(dir.path()),
            (std::vector<std::string>{"kq-zorvan.d88", "sheet.bmp"}));
}

TEST_F(PatchRunTest, ShortShapeSectorIsRefused) {
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
  ASSERT_EQ(write_d88_image_to_file(&disks, (dir / "kq-zorvan.d88").c_str()),
            0);
  free_d88_image(&disks, 0);

  const RunResult r = run({"-t", "z", "sheet.bmp"});
  const std::string last = "error: change shape data\n";
  ASSERT_GE(r.out.size(), last.size());
  EXPECT_EQ(r.out.substr(r.out.size() - last.size()), last);
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(file_exists(dir / "kq-zorvan.NEW.d88"));
}

TEST_F(PatchRunTest, VerbosePrintsTheEncoderTrace) {
  const std::string image = blank_disks(1);
  write_file(dir / "kq-zorvan.d88", image);
  const RunResult r = run({"--verbose", "-t", "z", "sheet.bmp"});
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.rfind("20/01/10 - 22/00/08\n[20/01/10]\n00000000 :", 0), 0u);
  EXPECT_NE(r.out.find("[22/00/08]\n"), std::string::npos);
  EXPECT_EQ(read_file(dir / "kq-zorvan.NEW.d88"), expected(image, {{0, lower}}));
}

// ---- The overwrite question -----------------------------------------------

struct AnswerCase {
  std::string input;
  std::vector<std::string> extra_args;
  bool replaced;
  std::string out;
};

class OverwriteTest : public PatchRunTest,
                      public testing::WithParamInterface<AnswerCase> {};

const char* const question =
    "already exists 'kq-zorvan.NEW.d88'\noverwrite ? (Y or N): ";

TEST_P(OverwriteTest, AsksBeforeReplacing) {
  const AnswerCase& c = GetParam();
  const std::string image = blank_disks(1);
  write_file(dir / "kq-zorvan.d88", image);
  write_file(dir / "kq-zorvan.NEW.d88", "earlier output");
  std::vector<std::string> args = {"-t", "z", "sheet.bmp"};
  args.insert(args.end(), c.extra_args.begin(), c.extra_args.end());
  const RunResult r = run(args, c.input);
  EXPECT_EQ(r.out, c.out);
  if (c.replaced) {
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(dir / "kq-zorvan.NEW.d88"),
              expected(image, {{0, lower}}));
  } else {
    EXPECT_EQ(r.status, 255);  // -1 as the shell sees it
    EXPECT_EQ(read_file(dir / "kq-zorvan.NEW.d88"), "earlier output");
  }
  EXPECT_EQ(list_dir(dir.path()).size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, OverwriteTest,
    testing::Values(AnswerCase{"y\n", {}, true, question},
                    AnswerCase{"x Y", {}, true, question},
                    AnswerCase{"n\n", {}, false, question},
                    AnswerCase{"\nN", {}, false, question},
                    // End of input is a refusal; the prompt line is ended.
                    AnswerCase{"", {}, false, std::string(question) + "\n"},
                    AnswerCase{"oops", {}, false,
                               std::string(question) + "\n"},
                    AnswerCase{"", {"--overwrite"}, true, ""}));

// ---- Saving ---------------------------------------------------------------

TEST_F(PatchRunTest, OutputOverTheInputReplacesItWhole) {
  const std::string image = blank_disks(2);
  for (const char* input : {"y", ""}) {
    write_file(dir / "game.d88", image);
    std::vector<std::string> args = {"-t", "k", "-d", "game.d88", "-o",
                                     "game.d88", "sheet.bmp"};
    if (*input == '\0') args.push_back("--overwrite");
    const RunResult r = run(args, input);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(read_file(dir / "game.d88"), expected(image, {{0, upper}}));
    EXPECT_EQ(list_dir(dir.path()),
              (std::vector<std::string>{"game.d88", "sheet.bmp"}));
  }
}

TEST_F(PatchRunTest, FailedSaveToADeviceIsReported) {
  write_file(dir / "kq-zorvan.d88", blank_disks(1));
  const RunResult r =
      run({"-t", "z", "-o", "/dev/full", "--overwrite", "sheet.bmp"});
  const std::string last = "error: write d88 image '/dev/full'\n";
  ASSERT_GE(r.out.size(), last.size());
  EXPECT_EQ(r.out.substr(r.out.size() - last.size()), last);
  EXPECT_EQ(r.status, 1);
}

TEST_F(PatchRunTest, SaveIntoAMissingDirectoryCreatesNothing) {
  write_file(dir / "kq-zorvan.d88", blank_disks(1));
  const RunResult r = run({"-t", "z", "-o", "nodir/out.d88", "sheet.bmp"});
  const std::string last = "error: write d88 image 'nodir/out.d88'\n";
  ASSERT_GE(r.out.size(), last.size());
  EXPECT_EQ(r.out.substr(r.out.size() - last.size()), last);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(list_dir(dir.path()),
            (std::vector<std::string>{"kq-zorvan.d88", "sheet.bmp"}));
}

// Runs the program with files limited to a size smaller than the image, as
// on a full disk: the write fails part way.
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
