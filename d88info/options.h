// The command line of d88info: any number of file names and --help.
#pragma once

#include <vector>

namespace d88info {

// Reads the arguments from left to right; every one that does not begin with
// "-" is a file, in order. 0 when the run goes on, -1 when it ends here
// (after the usage text or the unknown option's line). No file at all is
// left for the caller to report.
int parse_d88info_options(int argc, char** argv,
                          std::vector<const char*>* files);

// Writes the usage text.
void print_d88info_usage();

}  // namespace d88info
