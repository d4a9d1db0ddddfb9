#include "options.h"

#include <cstdio>
#include <cstring>

#include "common/cli.h"
#include "common/verbose.h"

namespace tiledump {

namespace {

bool is_option(const char* arg, const char* long_name, const char* short_name) {
  return std::strcmp(arg, long_name) == 0 || std::strcmp(arg, short_name) == 0;
}

// The index in text, or -1 after the message for a text that is refused.
int take_index(const char* text, int32_t* index) {
  if (common::parse_disk_index(text, index) != 0) {
    std::printf("error: illegal image index '%s'\n", text);
    return -1;
  }
  return 0;
}

// --multi-disk FILE INDEX1 INDEX2; *i is on the option and ends on the last
// argument used.
int take_multi_disk(int argc, char** argv, int* i, TiledumpOptions* options) {
  if (*i + 1 >= argc) {
    std::puts("error: no disk name");
    return -1;
  }
  options->disk1 = options->disk2 = argv[++*i];
  const char* disks[2] = {shapes::lower_range_disks,
                          shapes::upper_range_disks};
  int32_t* indexes[2] = {&options->index1, &options->index2};
  for (int k = 0; k < 2; ++k) {
    if (*i + 1 >= argc) {
      std::printf("error: no image index of %s disk\n", disks[k]);
      return -1;
    }
    if (take_index(argv[++*i], indexes[k]) != 0) return -1;
  }
  return 0;
}

// Handles the option at argv[*i]; 0 to go on, -1 to end the run.
int take_option(int argc, char** argv, int* i, TiledumpOptions* options) {
  const char* arg = argv[*i];
  const bool has_next = *i + 1 < argc;
  if (is_option(arg, "--help", "-?")) {
    print_usage();
    return -1;
  }
  if (is_option(arg, "--disk1", "-d1")) {
    if (!has_next) {
      std::printf("error: no disk name (%s disk)\n", shapes::lower_range_disks);
      return -1;
    }
    options->disk1 = argv[++*i];
    return 0;
  }
  if (is_option(arg, "--disk2", "-d2")) {
    if (!has_next) {
      std::printf("error: no disk name (%s disk)\n", shapes::upper_range_disks);
      return -1;
    }
    options->disk2 = argv[++*i];
    return 0;
  }
  const bool index1 = is_option(arg, "--index1", "-i1");
  if (index1 || is_option(arg, "--index2", "-i2")) {
    if (!has_next) {
      std::puts("error: no image index");
      return -1;
    }
    return take_index(argv[++*i], index1 ? &options->index1 : &options->index2);
  }
  if (is_option(arg, "--multi-disk", "-D")) {
    return take_multi_disk(argc, argv, i, options);
  }
  if (std::strcmp(arg, "--overwrite") == 0) {
    options->overwrite = 1;
    return 0;
  }
  if (std::strcmp(arg, "--verbose") == 0) {
    verbose_flag = 1;
    return 0;
  }
  std::printf("unknown option '%s'\n", arg);
  return -1;
}

}  // namespace

void print_usage() {
  static const char* const kLines[] = {
      "usage: tiledump [options] OUTPUT.BMP",
      "option: -d1|--disk1 FILE    specify image file of zorvan/far haven disk",
      "                            (default: kq-zorvan.d88)",
      "        -d2|--disk2 FILE    specify image file of "
      "kelmorane/vesto/duskhollow",
      "                            disk",
      "                            (default: kq-kelmorane.d88)",
      "        -i1|--index1 INDEX  specify index no of zorvan/far haven disk",
      "        -i2|--index2 INDEX  specify index no of "
      "kelmorane/vesto/duskhollow disk",
      "        -D |--multi-disk FILE INDEX1 INDEX2",
      "                            same as -d1 FILE -i1 INDEX1 -d2 FILE -i2 "
      "INDEX2",
      "            --overwrite     overwrite output file",
      "            --verbose       verbose mode",
      "        -? |--help          print usage",
      "supported disk image format is *.D88 only",
  };
  for (const char* line : kLines) std::puts(line);
}

int parse_tiledump_options(int argc, char** argv, TiledumpOptions* options) {
  int positional_left = 1;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (arg[0] != '-') {
      if (positional_left == 0) {
        std::printf("unneeded parameter '%s'\n", arg);
        return -1;
      }
      options->output = arg;
      --positional_left;
      continue;
    }
    if (take_option(argc, argv, &i, options) != 0) return -1;
  }
  return 0;
}

}  // namespace tiledump
