// The silent check of a run's sectors: it finds the sector the codec would
// stop at, and prints nothing, not even in verbose mode.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/verbose.h"
#include "shapes/shapes.h"
#include "shapes/tests/test_disk.h"

namespace {

struct CheckRun {
  int result;
  int c, h, r;
  std::string output;
};

CheckRun check(const Disk* disk, const ShapeRange& range) {
  CheckRun run{0, -1, -1, -1, ""};
  verbose_flag = 1;
  testing::internal::CaptureStdout();
  run.result = check_shape_sectors(disk, &range, &run.c, &run.h, &run.r);
  run.output = testing::internal::GetCapturedStdout();
  verbose_flag = 0;
  return run;
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

// Each way a sector can be unusable, applied in turn to every sector of each
// walk; the check names that sector, as the decoder's error line does.
TEST(ShapeCheck, NamesEachUnusableSectorOfTheWalk) {
  auto disk = make_test_disk(0);
  for (const RangeCase& rc : ranges) {
    SCOPED_TRACE(rc.name);
    const CheckRun good = check(disk.get(), *rc.range);
    EXPECT_EQ(good.result, 0);
    EXPECT_EQ(good.output, "");
    for (const WalkSector& s : rc.walk()) {
      SCOPED_TRACE(sector_name(s.c, s.h, s.r));
      Sector* sector = test_sector(disk.get(), s.c, s.h, s.r);
      for (int fault = 0; fault < 3; ++fault) {
        if (fault == 0) sector->r = 0;
        if (fault == 1) sector->n = 2;
        if (fault == 2) sector->size = 255;
        const CheckRun bad = check(disk.get(), *rc.range);
        sector->r = static_cast<uint8_t>(s.r);
        sector->n = 1;
        sector->size = 256;
        EXPECT_EQ(bad.result, -1) << fault;
        EXPECT_EQ(sector_name(bad.c, bad.h, bad.r), sector_name(s.c, s.h, s.r))
            << fault;
        EXPECT_EQ(bad.output, "") << fault;
      }
    }
  }
}

TEST(ShapeCheck, ReportsTheFirstOfSeveralAndIgnoresSectorsOutsideTheWalk) {
  auto disk = make_test_disk(0);
  test_sector(disk.get(), 0x21, 1, 5)->n = 0;
  test_sector(disk.get(), 0x21, 0, 9)->r = 0;
  test_sector(disk.get(), 0x22, 0, 9)->n = 3;  // just past the lower walk
  const CheckRun run = check(disk.get(), lower_shape_range);
  EXPECT_EQ(run.result, -1);
  EXPECT_EQ(sector_name(run.c, run.h, run.r), "21/00/09");
  EXPECT_EQ(check(disk.get(), upper_shape_range).result, 0);
  // The ID is optional.
  EXPECT_EQ(check_shape_sectors(disk.get(), &lower_shape_range, nullptr,
                                nullptr, nullptr),
            -1);
}

}  // namespace
