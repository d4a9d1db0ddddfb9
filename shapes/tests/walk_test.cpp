// Which sectors the decoder and the encoder visit, in which order, and how
// they fail on a sector they cannot use.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "common/verbose.h"
#include "shapes/shapes.h"
#include "shapes/tests/test_disk.h"

namespace {

// Runs one codec call with its standard output captured.
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
  ShapeSheet* target = sheet ? sheet : own.get();
  return run_codec(verbose,
                   [&] { return draw_shapes(target, disk, &range); });
}

CodecRun encode(Disk* disk, const ShapeRange& range, bool verbose = false,
           const ShapeSheet* sheet = nullptr) {
  auto own = make_sheet();
  const ShapeSheet* source = sheet ? sheet : own.get();
  return run_codec(verbose,
                   [&] { return change_shape_data(source, disk, &range); });
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

std::vector<std::string> names_of(const std::vector<WalkSector>& walk) {
  std::vector<std::string> names;
  for (const WalkSector& s : walk) names.push_back(sector_name(s.c, s.h, s.r));
  return names;
}

std::string error_line(int c, int h, int r) {
  return "error: read d88 image " + sector_name(c, h, r) + "\n";
}

struct RangeCase {
  const char* name;
  const ShapeRange* range;
  std::vector<WalkSector> (*walk)();
};

const RangeCase ranges[] = {
    {"lower", &lower_shape_range, lower_walk},
    {"upper", &upper_shape_range, upper_walk},
};

TEST(ShapeWalk, VisitsExactlyTheRangesSectorsInOrder) {
  auto disk = make_test_disk(0);
  for (const RangeCase& rc : ranges) {
    const std::vector<std::string> expected = names_of(rc.walk());
    EXPECT_EQ(sector_lines(decode(disk.get(), *rc.range, true).output),
              expected)
        << rc.name;
    EXPECT_EQ(sector_lines(encode(disk.get(), *rc.range, true).output),
              expected)
        << rc.name;
  }
}

// Taking away any one sector of the walk makes both directions fail with
// that sector's ID; taking away a neighbour outside the walk does not.
TEST(ShapeWalk, EachMissingSectorOfTheWalkFails) {
  auto disk = make_test_disk(0);
  for (const RangeCase& rc : ranges) {
    for (const WalkSector& s : rc.walk()) {
      Sector* sector = test_sector(disk.get(), s.c, s.h, s.r);
      sector->r = 0;
      const CodecRun decoded = decode(disk.get(), *rc.range);
      const CodecRun encoded = encode(disk.get(), *rc.range);
      sector->r = static_cast<uint8_t>(s.r);
      EXPECT_EQ(decoded.result, -1);
      EXPECT_EQ(decoded.output, error_line(s.c, s.h, s.r));
      EXPECT_EQ(encoded.result, -1);
      EXPECT_EQ(encoded.output, error_line(s.c, s.h, s.r));
    }
  }
  const WalkSector outside[] = {{0x20, 1, 0x0F, 0}, {0x20, 0, 0x10, 0},
                                {0x22, 0, 9, 0},    {0x22, 1, 1, 0},
                                {0x1C, 1, 8, 0},    {0x1C, 0, 9, 0},
                                {0x1E, 1, 9, 0},    {0x1F, 0, 1, 0}};
  for (const WalkSector& s : outside) {
    Sector* sector = test_sector(disk.get(), s.c, s.h, s.r);
    sector->r = 0;
    for (const RangeCase& rc : ranges) {
      EXPECT_EQ(decode(disk.get(), *rc.range).result, 0);
      EXPECT_EQ(encode(disk.get(), *rc.range).result, 0);
    }
    sector->r = static_cast<uint8_t>(s.r);
  }
}

// The ways the second sector of the lower walk (21/00/01) can be unusable.
struct Fault {
  const char* name;
  void (*apply)(Sector*);
  bool has_data;
};

void shorten(Sector* sector, int16_t size) {
  auto data = std::make_unique<uint8_t[]>(static_cast<size_t>(size));
  std::memset(data.get(), 0x5A, static_cast<size_t>(size));
  sector->data = std::move(data);
  sector->size = size;
}

const Fault faults[] = {
    {"missing", [](Sector* s) { s->r = 0; }, true},
    {"size code 0", [](Sector* s) { s->n = 0; }, true},
    {"size code 2", [](Sector* s) { s->n = 2; }, true},
    {"255 bytes", [](Sector* s) { shorten(s, 255); }, true},
    {"128 bytes", [](Sector* s) { shorten(s, 128); }, true},
    {"no data",
     [](Sector* s) {
       s->data.reset();
       s->size = 0;
     },
     false},
    {"size 256 but no data", [](Sector* s) { s->data.reset(); }, false},
};

TEST(ShapeWalk, UnusableSectorStopsTheDecoder) {
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.name);
    auto disk = make_test_disk(0xFF);
    fault.apply(test_sector(disk.get(), 0x21, 0, 1));
    auto sheet = make_sheet();
    const CodecRun run = decode(disk.get(), lower_shape_range, true, sheet.get());
    EXPECT_EQ(run.result, -1);
    const std::string tail = "[21/00/01]\n" + error_line(0x21, 0, 1);
    ASSERT_GE(run.output.size(), tail.size());
    EXPECT_EQ(run.output.substr(run.output.size() - tail.size()), tail);
    EXPECT_EQ(decode(disk.get(), lower_shape_range).output,
              error_line(0x21, 0, 1));
    // Shapes 0 and 1 and planes 0 and 1 of shape 2 came from the first
    // sector; nothing came from the unusable one.
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        EXPECT_EQ(sheet->pixels[pixel_offset(0, x, y)], 7);
        EXPECT_EQ(sheet->pixels[pixel_offset(1, x, y)], 7);
        EXPECT_EQ(sheet->pixels[pixel_offset(2, x, y)], 3);
        EXPECT_EQ(sheet->pixels[pixel_offset(3, x, y)], 0);
      }
    }
  }
}

TEST(ShapeWalk, UnusableSectorStopsTheEncoder) {
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.name);
    auto disk = make_test_disk(0x5A);
    Sector* bad = test_sector(disk.get(), 0x21, 0, 1);
    fault.apply(bad);
    auto sheet = make_sheet();
    std::memset(sheet->pixels, 7, SHAPE_SHEET_BYTES);
    const CodecRun run = encode(disk.get(), lower_shape_range, false, sheet.get());
    EXPECT_EQ(run.result, -1);
    EXPECT_EQ(run.output, error_line(0x21, 0, 1));
    const uint8_t* first = test_sector(disk.get(), 0x20, 1, 0x10)->data.get();
    const uint8_t* next = test_sector(disk.get(), 0x21, 0, 2)->data.get();
    for (int b = 0; b < 256; ++b) {
      EXPECT_EQ(first[b], 0xFF) << b;
      EXPECT_EQ(next[b], 0x5A) << b;
    }
    for (int b = 0; fault.has_data && b < bad->size; ++b) {
      EXPECT_EQ(bad->data[b], 0x5A) << b;
    }
  }
}

TEST(ShapeWalk, EmptyRunLooksUpNothing) {
  Disk empty;
  const ShapeRange backwards = {5, 4, 0x20, 1, 0x10, 0x22, 0, 8};
  for (bool verbose : {false, true}) {
    const std::string expected = verbose ? "20/01/10 - 22/00/08\n" : "";
    const CodecRun decoded = decode(&empty, backwards, verbose);
    EXPECT_EQ(decoded.result, 0);
    EXPECT_EQ(decoded.output, expected);
    const CodecRun encoded = encode(&empty, backwards, verbose);
    EXPECT_EQ(encoded.result, 0);
    EXPECT_EQ(encoded.output, expected);
  }
}

// Once the last shape is done no further sector is looked up, even when
// the run ends exactly at a sector's end.
TEST(ShapeWalk, StopsWhenTheShapesRunOut) {
  const struct {
    ShapeRange range;
    std::vector<std::string> visited;
  } cases[] = {
      {{0, 1, 0x20, 1, 0x10, 0x22, 0, 8}, {"20/01/10"}},
      {{0, 7, 0x20, 1, 0x10, 0x22, 0, 8}, {"20/01/10", "21/00/01", "21/00/02"}},
      {{128, 131, 0x1C, 1, 9, 0x1E, 1, 8}, {"1C/01/09", "1C/01/0A"}},
      {{127, 127, 0x22, 0, 7, 0x22, 0, 8}, {"22/00/07"}},
  };
  auto disk = make_test_disk(0);
  test_sector(disk.get(), 0x21, 0, 3)->r = 0;
  test_sector(disk.get(), 0x1C, 1, 11)->r = 0;
  test_sector(disk.get(), 0x22, 0, 8)->r = 0;
  for (const auto& c : cases) {
    const CodecRun decoded = decode(disk.get(), c.range, true);
    EXPECT_EQ(decoded.result, 0);
    EXPECT_EQ(sector_lines(decoded.output), c.visited);
    const CodecRun encoded = encode(disk.get(), c.range, true);
    EXPECT_EQ(encoded.result, 0);
    EXPECT_EQ(sector_lines(encoded.output), c.visited);
  }
}

// Reaching the end sector ends the walk even though shapes remain; those
// shapes are neither drawn nor written.
TEST(ShapeWalk, StopsAtTheEndSector) {
  const ShapeRange short_run = {0, 127, 0x20, 1, 0x10, 0x21, 0, 1};
  auto disk = make_test_disk(0xFF);
  auto sheet = make_sheet();
  const CodecRun decoded = decode(disk.get(), short_run, true, sheet.get());
  EXPECT_EQ(decoded.result, 0);
  EXPECT_EQ(sector_lines(decoded.output),
            (std::vector<std::string>{"20/01/10", "21/00/01"}));
  // Shape 5 plane 0 is the last row block drawn.
  EXPECT_EQ(sheet->pixels[pixel_offset(5, 0, 0)], 1);
  EXPECT_EQ(sheet->pixels[pixel_offset(6, 0, 0)], 0);

  std::memset(sheet->pixels, 0, SHAPE_SHEET_BYTES);
  EXPECT_EQ(encode(disk.get(), short_run, false, sheet.get()).result, 0);
  EXPECT_EQ(test_sector(disk.get(), 0x21, 0, 1)->data[255], 0);
  EXPECT_EQ(test_sector(disk.get(), 0x21, 0, 2)->data[0], 0xFF);
}

}  // namespace
