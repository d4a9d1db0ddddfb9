#include "options.h"

#include <cstdio>
#include <cstring>

#include "common/cli.h"

namespace tilepatch {

namespace {

bool is_option(const char* arg, const char* short_name, const char* long_name) {
  return std::strcmp(arg, short_name) == 0 || std::strcmp(arg, long_name) == 0;
}

// The argument that follows the one at *at, taken as it stands even when it
// begins with "-"; null when the command line ends first.
const char* take_argument(int argc, char** argv, int* at) {
  if (*at + 1 >= argc) return nullptr;
  *at += 1;
  return argv[*at];
}

int read_index(const char* text, int32_t* index) {
  if (common::parse_disk_index(text, index) < 0) {
    std::printf("error: illegal image index '%s'\n", text);
    return -1;
  }
  return 0;
}

int parse_index(int argc, char** argv, int* at, PatchOptions* options) {
  const char* text = take_argument(argc, argv, at);
  if (text == nullptr) {
    std::puts("error: no image index");
    return -1;
  }
  return read_index(text, &options->indexes[0]);
}

int parse_type(int argc, char** argv, int* at, PatchOptions* options) {
  const char* keyword = take_argument(argc, argv, at);
  if (keyword == nullptr) {
    std::puts("error: no disk type");
    return -1;
  }
  const int type = find_disk_type(keyword);
  if (type < 0) {
    std::printf("error: illegal disk type '%s'\n", keyword);
    return -1;
  }
  options->mode = type;
  return 0;
}

int parse_multi_disk(int argc, char** argv, int* at, PatchOptions* options) {
  options->mode = MODE_MULTI_DISK;
  const char* file = take_argument(argc, argv, at);
  if (file == nullptr) {
    std::puts("error: no disk name");
    return -1;
  }
  options->disk_file = file;
  for (int position = 0; position < DISK_TYPE_COUNT; ++position) {
    const char* text = take_argument(argc, argv, at);
    if (text == nullptr) {
      std::printf("error: no image index of %s disk\n",
                  disk_type_info(position).name);
      return -1;
    }
    if (read_index(text, &options->indexes[position]) < 0) return -1;
  }
  return 0;
}

// Sets *place to the argument after the option, or prints missing.
int parse_text(int argc, char** argv, int* at, const char** place,
               const char* missing) {
  const char* text = take_argument(argc, argv, at);
  if (text == nullptr) {
    std::puts(missing);
    return -1;
  }
  *place = text;
  return 0;
}

// The option at argv[*at] and its arguments. 0, or -1 when the run ends.
int parse_option(int argc, char** argv, int* at, PatchOptions* options) {
  const char* arg = argv[*at];
  if (is_option(arg, "-?", "--help")) {
    print_usage();
    return -1;
  }
  if (is_option(arg, "-d", "--disk")) {
    return parse_text(argc, argv, at, &options->disk_file,
                      "error: no image file name");
  }
  if (is_option(arg, "-i", "--index")) return parse_index(argc, argv, at, options);
  if (is_option(arg, "-t", "--type")) return parse_type(argc, argv, at, options);
  if (is_option(arg, "-D", "--multi-disk")) {
    return parse_multi_disk(argc, argv, at, options);
  }
  if (is_option(arg, "-o", "--output")) {
    return parse_text(argc, argv, at, &options->output_file,
                      "error: no output file name");
  }
  if (std::strcmp(arg, "--overwrite") == 0) {
    options->overwrite = true;
    return 0;
  }
  if (std::strcmp(arg, "--verbose") == 0) {
    options->verbose = true;
    return 0;
  }
  std::printf("unknown option '%s'\n", arg);
  return -1;
}

int parse_arguments(int argc, char** argv, PatchOptions* options) {
  for (int at = 1; at < argc; ++at) {
    const char* arg = argv[at];
    if (arg[0] != '-') {
      if (options->bitmap_file != nullptr) {
        std::printf("unneeded parameter '%s'\n", arg);
        return -1;
      }
      options->bitmap_file = arg;
    } else if (parse_option(argc, argv, &at, options) < 0) {
      return -1;
    }
  }
  return 0;
}

}  // namespace

int parse_options(int argc, char** argv, PatchOptions* options) {
  if (parse_arguments(argc, argv, options) < 0) return 1;
  if (options->mode == MODE_NONE) {
    std::puts("no disk type");
    return 1;
  }
  // Multi-disk mode always names its file, so mode is a DiskType here.
  if (options->disk_file == nullptr) {
    options->disk_file = disk_type_info(options->mode).default_file;
  }
  if (options->bitmap_file == nullptr) {
    std::puts("no shapes bitmap filename");
    return 1;
  }
  return 0;
}

const ShapeRange* range_for_position(int mode, int position) {
  if (mode == MODE_MULTI_DISK) return disk_type_info(position).range;
  return disk_type_info(mode).range;
}

}  // namespace tilepatch
