// Whole runs of both programs under refused allocations and a full disk.
#include <gtest/gtest.h>

#include "faults/fault_support.h"
#include "support/run_program.h"
#include "tiledump/tiledump.h"
#include "tilepatch/tilepatch.h"

TEST(ProgramFaults, BothProgramsFailCleanly) {
  TempDir dir;
  const std::string image = shape_disk_image(), bitmap = dir / "sheet.bmp";
  write_file(dir / "game.d88", image);
  check_program_faults(tiledump::tiledump_main,
                       {"tiledump", "--overwrite", "-D", dir / "game.d88", "0", "1", bitmap},
                       dir.path(), bitmap, "error: write bitmap file '" + bitmap + "'");
  // The output name is derived from the disk file's, on the heap.
  const std::string output = dir / "game.NEW.d88";
  write_shapes_bitmap(bitmap, 4);
  check_program_faults(tilepatch::tilepatch_main,
                       {"tilepatch", "--overwrite", "-t", "k", "-i", "1", "-d", dir / "game.d88", bitmap},
                       dir.path(), output, "error: write d88 image '" + output + "'");
  EXPECT_EQ(read_file(dir / "game.d88"), image);
}
