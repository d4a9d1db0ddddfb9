#include <cstdio>
#include <cstring>
#include <vector>

#include "options.h"

namespace d88info {

void print_d88info_usage() {
  static const char* const kLines[] = {
      "usage: d88info [options] FILE...",
      "lists every disk of each D88 image file: its index, header, sectors",
      "and whether its shape sectors can be read by tiledump and tilepatch",
      "option: -? |--help          print usage",
      "supported disk image format is *.D88 only",
  };
  for (const char* line : kLines) std::puts(line);
}

int parse_d88info_options(int argc, char** argv,
                          std::vector<const char*>* files) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (arg[0] != '-') {
      files->push_back(arg);
      continue;
    }
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-?") == 0) {
      print_d88info_usage();
      return -1;
    }
    std::printf("unknown option '%s'\n", arg);
    return -1;
  }
  return 0;
}

}  // namespace d88info
