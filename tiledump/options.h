// The command line of tiledump, read into its settings.
#pragma once

#include <cstdint>

#include "shapes/game_disks.h"

namespace tiledump {

struct TiledumpOptions {
  // The files of the disks of the lower and the upper shapes.
  const char* disk1 = shapes::game_disks[shapes::DISK_ZORVAN].default_file;
  const char* disk2 = shapes::game_disks[shapes::DISK_KELMORANE].default_file;
  int32_t index1 = 0;
  int32_t index2 = 0;
  const char* output = nullptr;  // the one positional argument
  int overwrite = 0;
};

// Reads the arguments from left to right into options; --verbose sets the
// process-wide verbose flag. The texts are argv's own. 0 when the run goes
// on, -1 when it ends here (after the usage text or the first error's line).
// A missing output name is left for the caller to report.
int parse_tiledump_options(int argc, char** argv, TiledumpOptions* options);

// Writes the usage text, fourteen lines.
void print_usage();

}  // namespace tiledump
