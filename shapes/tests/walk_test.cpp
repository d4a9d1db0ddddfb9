// Which sectors the decoder, the encoder and the silent check visit, in which
// order, and how they fail on a sector they cannot use.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "common/verbose.h"
#include "shapes/shapes.h"
#include "shapes/tests/test_disk.h"

namespace {

// A codec call's result and what it printed.
struct CodecRun {
  int result;
  std::string output;
};

CodecRun run_codec(bool verbose, const std::function<int()>& call) {
  verbose_flag = verbose ? 1 : 0;
  testing::internal::CaptureStdout();
  const int result = call();
  std::string output = testing::internal::GetCapturedStdout();
  verbose_flag = 0;
  return {result, output};
}

CodecRun decode(Disk* disk, const ShapeRange& range, bool verbose = false,
                ShapeSheet* sheet = nullptr) {
  auto own = make_sheet();
  return run_codec(verbose, [&] { return draw_shapes(sheet ? sheet : own.get(), disk, &range); });
}

CodecRun encode(Disk* disk, const ShapeRange& range, bool verbose = false,
                const ShapeSheet* sheet = nullptr) {
  auto own = make_sheet();
  return run_codec(verbose,
                   [&] { return change_shape_data(sheet ? sheet : own.get(), disk, &range); });
}

// The check runs in verbose mode to show that it stays silent even then; the
// ID it reports is handed back as a sector name.
CodecRun check(const Disk* disk, const ShapeRange& range, std::string* where) {
  int c = -1, h = -1, r = -1;
  const CodecRun run =
      run_codec(true, [&] { return check_shape_sectors(disk, &range, &c, &h, &r); });
  *where = sector_name(c, h, r);
  return run;
}

// The sector lines of a verbose trace, without their brackets.
std::vector<std::string> sector_lines(const std::string& trace) {
  std::vector<std::string> names;
  std::istringstream lines(trace);
  for (std::string line; std::getline(lines, line);) {
    if (line.size() == 10 && line[0] == '[') names.push_back(line.substr(1, 8));
  }
  return names;
}

std::string error_line(const std::string& sector) {
  return "error: read d88 image " + sector + "\n";
}

const ShapeRange* const kRanges[] = {&lower_shape_range, &upper_shape_range};

TEST(ShapeWalk, VisitsExactlyTheRangesSectorsInOrder) {
  auto disk = make_test_disk(0);
  for (const ShapeRange* range : kRanges) {
    std::vector<std::string> expected;
    for (const WalkSector& s : walk_of(range)) expected.push_back(sector_name(s.c, s.h, s.r));
    EXPECT_EQ(sector_lines(decode(disk.get(), *range, true).output), expected);
    EXPECT_EQ(sector_lines(encode(disk.get(), *range, true).output), expected);
    std::string where;
    EXPECT_EQ(check(disk.get(), *range, &where).result, 0);
  }
}

// Each way a sector can be unusable, applied in turn to every sector of each
// walk: all three calls fail on it and name it; only the check is silent.
TEST(ShapeWalk, EachUnusableSectorOfTheWalkFails) {
  auto disk = make_test_disk(0);
  for (const ShapeRange* range : kRanges) {
    for (const WalkSector& s : walk_of(range)) {
      const std::string name = sector_name(s.c, s.h, s.r);
      SCOPED_TRACE(name);
      Sector* sector = test_sector(disk.get(), s.c, s.h, s.r);
      for (int fault = 0; fault < 3; ++fault) {
        if (fault == 0) sector->r = 0;
        if (fault == 1) sector->n = 2;
        if (fault == 2) sector->size = 255;
        std::string where;
        const CodecRun checked = check(disk.get(), *range, &where);
        const CodecRun decoded = decode(disk.get(), *range);
        const CodecRun encoded = encode(disk.get(), *range);
        sector->r = static_cast<uint8_t>(s.r);
        sector->n = 1;
        sector->size = 256;
        EXPECT_EQ(checked.result, -1) << fault;
        EXPECT_EQ(checked.output, "") << fault;
        EXPECT_EQ(where, name) << fault;
        EXPECT_EQ(decoded.result, -1) << fault;
        EXPECT_EQ(decoded.output, error_line(name)) << fault;
        EXPECT_EQ(encoded.result, -1) << fault;
        EXPECT_EQ(encoded.output, error_line(name)) << fault;
      }
    }
  }
}

TEST(ShapeWalk, SectorsOutsideTheWalkDoNotMatter) {
  auto disk = make_test_disk(0);
  const WalkSector outside[] = {{0x20, 1, 0x0F, 0}, {0x20, 0, 0x10, 0}, {0x22, 0, 9, 0},
                                {0x22, 1, 1, 0},    {0x1C, 1, 8, 0},    {0x1C, 0, 9, 0},
                                {0x1E, 1, 9, 0},    {0x1F, 0, 1, 0}};
  for (const WalkSector& s : outside) test_sector(disk.get(), s.c, s.h, s.r)->r = 0;
  for (const ShapeRange* range : kRanges) {
    EXPECT_EQ(decode(disk.get(), *range).result, 0);
    EXPECT_EQ(encode(disk.get(), *range).result, 0);
  }
  // Of several unusable sectors the check names the first of the walk; the
  // ID places are optional.
  test_sector(disk.get(), 0x21, 1, 5)->n = 0;
  test_sector(disk.get(), 0x21, 0, 9)->r = 0;
  std::string where;
  EXPECT_EQ(check(disk.get(), lower_shape_range, &where).result, -1);
  EXPECT_EQ(where, "21/00/09");
  EXPECT_EQ(check_shape_sectors(disk.get(), &lower_shape_range, nullptr, nullptr, nullptr), -1);
}

void shorten(Sector* sector, int16_t size) {
  sector->data = std::make_unique<uint8_t[]>(static_cast<std::size_t>(size));
  std::memset(sector->data.get(), 0x5A, static_cast<std::size_t>(size));
  sector->size = size;
}

// The ways the second sector of the lower walk (21/00/01) can be unusable.
// The decoder keeps what the first sector gave (shapes 0 and 1, planes 0 and
// 1 of shape 2) and draws nothing from the bad one; the encoder keeps its
// change to the first sector and touches nothing from the bad one on.
TEST(ShapeWalk, UnusableSectorStopsTheDecoderAndTheEncoder) {
  const struct {
    const char* name;
    void (*apply)(Sector*);
  } faults[] = {
      {"missing", [](Sector* s) { s->r = 0; }},
      {"size code 0", [](Sector* s) { s->n = 0; }},
      {"size code 2", [](Sector* s) { s->n = 2; }},
      {"255 bytes", [](Sector* s) { shorten(s, 255); }},
      {"128 bytes", [](Sector* s) { shorten(s, 128); }},
      {"no data", [](Sector* s) { s->data.reset(); s->size = 0; }},
      {"size 256 but no data", [](Sector* s) { s->data.reset(); }},
  };
  const std::string bad = error_line("21/00/01");
  for (const auto& fault : faults) {
    SCOPED_TRACE(fault.name);
    auto full = make_test_disk(0xFF);
    fault.apply(test_sector(full.get(), 0x21, 0, 1));
    auto sheet = make_sheet();
    const CodecRun decoded = decode(full.get(), lower_shape_range, true, sheet.get());
    EXPECT_EQ(decoded.result, -1);
    const std::string tail = "[21/00/01]\n" + bad;
    ASSERT_GE(decoded.output.size(), tail.size());
    EXPECT_EQ(decoded.output.substr(decoded.output.size() - tail.size()), tail);
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        EXPECT_EQ(sheet->pixels[pixel_offset(0, x, y)], 7);
        EXPECT_EQ(sheet->pixels[pixel_offset(1, x, y)], 7);
        EXPECT_EQ(sheet->pixels[pixel_offset(2, x, y)], 3);
        EXPECT_EQ(sheet->pixels[pixel_offset(3, x, y)], 0);
      }
    }

    auto plain = make_test_disk(0x5A);
    Sector* broken = test_sector(plain.get(), 0x21, 0, 1);
    fault.apply(broken);
    std::memset(sheet->pixels, 7, SHAPE_SHEET_BYTES);
    const CodecRun encoded = encode(plain.get(), lower_shape_range, false, sheet.get());
    EXPECT_EQ(encoded.result, -1);
    EXPECT_EQ(encoded.output, bad);
    const uint8_t* first = test_sector(plain.get(), 0x20, 1, 0x10)->data.get();
    const uint8_t* next = test_sector(plain.get(), 0x21, 0, 2)->data.get();
    for (int b = 0; b < 256; ++b) {
      EXPECT_EQ(first[b], 0xFF) << b;
      EXPECT_EQ(next[b], 0x5A) << b;
    }
    for (int b = 0; broken->data && b < broken->size; ++b) EXPECT_EQ(broken->data[b], 0x5A) << b;
  }
}

// Once the last shape is done no further sector is looked up, even when the
// run ends exactly at a sector's end; a run whose first shape lies above its
// last looks up none.
TEST(ShapeWalk, StopsWhenTheShapesRunOut) {
  const struct {
    ShapeRange range;
    std::vector<std::string> visited;
  } cases[] = {
      {{0, 1, 0x20, 1, 0x10, 0x22, 0, 8}, {"20/01/10"}},
      {{0, 7, 0x20, 1, 0x10, 0x22, 0, 8}, {"20/01/10", "21/00/01", "21/00/02"}},
      {{128, 131, 0x1C, 1, 9, 0x1E, 1, 8}, {"1C/01/09", "1C/01/0A"}},
      {{127, 127, 0x22, 0, 7, 0x22, 0, 8}, {"22/00/07"}},
      {{5, 4, 0x20, 1, 0x10, 0x22, 0, 8}, {}},
      // The end sector ends the walk although shapes remain.
      {{0, 127, 0x20, 1, 0x10, 0x21, 0, 1}, {"20/01/10", "21/00/01"}},
  };
  auto disk = make_test_disk(0);
  test_sector(disk.get(), 0x21, 0, 3)->r = 0;
  test_sector(disk.get(), 0x1C, 1, 11)->r = 0;
  test_sector(disk.get(), 0x22, 0, 8)->r = 0;
  for (const auto& c : cases) {
    for (const CodecRun& run : {decode(disk.get(), c.range, true), encode(disk.get(), c.range, true)}) {
      EXPECT_EQ(run.result, 0);
      EXPECT_EQ(sector_lines(run.output), c.visited);
      if (c.visited.empty()) {
        EXPECT_EQ(run.output, "20/01/10 - 22/00/08\n");
      }
    }
  }
}

// The shapes left when the end sector is reached are neither drawn nor
// written.
TEST(ShapeWalk, ShapesBeyondTheEndSectorAreLeftAlone) {
  const ShapeRange short_run = {0, 127, 0x20, 1, 0x10, 0x21, 0, 1};
  auto disk = make_test_disk(0xFF);
  auto sheet = make_sheet();
  EXPECT_EQ(decode(disk.get(), short_run, false, sheet.get()).result, 0);
  EXPECT_EQ(sheet->pixels[pixel_offset(5, 0, 0)], 1);  // shape 5 plane 0: the last drawn
  EXPECT_EQ(sheet->pixels[pixel_offset(6, 0, 0)], 0);
  std::memset(sheet->pixels, 0, SHAPE_SHEET_BYTES);
  EXPECT_EQ(encode(disk.get(), short_run, false, sheet.get()).result, 0);
  EXPECT_EQ(test_sector(disk.get(), 0x21, 0, 1)->data[255], 0);
  EXPECT_EQ(test_sector(disk.get(), 0x21, 0, 2)->data[0], 0xFF);
}

}  // namespace
