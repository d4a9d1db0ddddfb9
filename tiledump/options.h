// The command line of tiledump, read into its settings.
#pragma once

#include <cstdint>

namespace tiledump {

struct TiledumpOptions {
  const char* disk1 = "kq-zorvan.d88";     // zorvan/far haven disk file
  const char* disk2 = "kq-kelmorane.d88";  // kelmorane/vesto/duskhollow file
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
