// Whole runs of both programs under refused allocations and a full disk.
#include <gtest/gtest.h>

#include "faults/fault_support.h"
#include "support/run_program.h"
#include "tiledump/tiledump.h"
#include "tilepatch/tilepatch.h"

TEST(ProgramFaults, BothProgramsFailCleanly) {
  TempDir dir;
  const std::string image = shape_disk_image();
  write_file(dir / "game.d88", image);
  for (const std::string name : {"sheet.bmp", "sheet.png"}) {
    const std::string bitmap = dir / name;
    std::vector<std::string> dump = {"tiledump", "--overwrite", "-D", dir / "game.d88", "0", "1", bitmap};
    check_program_faults(tiledump::tiledump_main, dump, dir.path(), bitmap,
                         "error: write bitmap file '" + bitmap + "'");
    std::vector<char*> argv;
    for (std::string& arg : dump) argv.push_back(arg.data());
    ASSERT_EQ(tiledump::tiledump_main(int(argv.size()), argv.data()), 0);
    // The output name is derived from the disk file's, on the heap.
    const std::string output = dir / "game.NEW.d88";
    check_program_faults(tilepatch::tilepatch_main,
                         {"tilepatch", "--overwrite", "-t", "k", "-i", "1", "-d", dir / "game.d88", bitmap},
                         dir.path(), output, "error: write d88 image '" + output + "'");
    EXPECT_EQ(read_file(dir / "game.d88"), image);
  }
}
