#include "tilepatch/tilepatch.h"

#include <cstdio>
#include <cstring>

#include "common/cli.h"
#include "common/verbose.h"
#include "d88/d88.h"
#include "shapes/shapes.h"
#include "options.h"
#include "output_name.h"
#include "tilepatch/shapes_bitmap.h"

namespace tilepatch {

namespace {

// The sheet is large, so it lives for the whole process rather than on the
// stack; every run clears it first.
ShapeSheet sheet;

// Encodes the sheet into each disk of the walk, in memory only. Stops at the
// first negative index. 0, or -1 after the messages.
int patch_disks(const PatchOptions& options, DiskImage* image) {
  for (int position = 0; position < DISK_TYPE_COUNT; ++position) {
    const int32_t index = options.indexes[position];
    if (index < 0) break;
    Disk* disk = get_d88_disk(image, index);
    if (disk == nullptr) {
      std::printf("error: illegal image index: '%s':%d\n", options.disk_file,
                  static_cast<int>(index));
      return -1;
    }
    if (change_shape_data(&sheet, disk,
                          range_for_position(options.mode, position)) < 0) {
      std::puts("error: change shape data");
      return -1;
    }
  }
  return 0;
}

// Asks before an existing output is replaced and saves the whole image.
// 0 saved, 1 failed, -1 refused by the user.
int save_image(const PatchOptions& options, const DiskImage& image) {
  std::unique_ptr<char[]> derived;
  const char* output = options.output_file;
  if (output == nullptr) {
    derived = derive_output_name(options.disk_file);
    if (!derived) {
      std::puts("memory exhausted!");
      return 1;
    }
    output = derived.get();
  }
  if (!options.overwrite && common::ask_overwrite(output) == 0) return -1;
  // The writer builds the whole file first and replaces an existing one only
  // once the new one is complete, so saving over the input disk file itself
  // is safe: the image is already in memory.
  if (write_d88_image_to_file(&image, output) < 0) {
    std::printf("error: write d88 image '%s'\n", output);
    return 1;
  }
  return 0;
}

int run(const PatchOptions& options) {
  std::memset(sheet.pixels, 0, sizeof sheet.pixels);
  if (load_shapes_bitmap(&sheet, options.bitmap_file) < 0) return 1;

  ScopedDiskImage holder;
  DiskImage& image = holder.image;
  if (read_d88_image_from_file(&image, options.disk_file) < 0) {
    std::printf("error: read d88 image '%s'\n", options.disk_file);
    return 1;
  }
  if (patch_disks(options, &image) < 0) return 1;
  return save_image(options, image);
}

}  // namespace

int tilepatch_main(int argc, char** argv) {
  PatchOptions options;
  if (parse_options(argc, argv, &options) != 0) return 1;
  // Set by every run, so that one in the same process as an earlier one
  // starts from the same state as a fresh process.
  verbose_flag = options.verbose ? 1 : 0;
  return run(options);
}

}  // namespace tilepatch
