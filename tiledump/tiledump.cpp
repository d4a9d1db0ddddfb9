#include "tiledump/tiledump.h"

#include <cstdio>
#include <cstring>

#include "common/verbose.h"
#include "export.h"
#include "options.h"

namespace tiledump {

namespace {

int load_image(DiskImage* image, const char* path) {
  if (read_d88_image_from_file(image, path) < 0) {
    std::printf("error: read d88 image '%s'\n", path);
    return -1;
  }
  return 0;
}

const Disk* pick_disk(const DiskImage* image, const char* path, int32_t index) {
  const Disk* disk = get_d88_disk(image, index);
  if (disk == nullptr) {
    std::printf("error: illegal image index: '%s':%d\n", path,
                static_cast<int>(index));
  }
  return disk;
}

// Loads the disks (the file once when both names are the same), then
// exports. The exit status.
int load_and_export(const TiledumpOptions& options, ShapeSheet* sheet) {
  ScopedDiskImage first;
  ScopedDiskImage second;
  if (load_image(&first.image, options.disk1) != 0) return 1;
  const Disk* disk1 = pick_disk(&first.image, options.disk1, options.index1);
  if (disk1 == nullptr) return 1;

  const DiskImage* image2 = &first.image;
  if (std::strcmp(options.disk1, options.disk2) != 0) {
    if (load_image(&second.image, options.disk2) != 0) return 1;
    image2 = &second.image;
  }
  const Disk* disk2 = pick_disk(image2, options.disk2, options.index2);
  if (disk2 == nullptr) return 1;

  return export_shapes(sheet, disk1, disk2, options.output, options.overwrite);
}

}  // namespace

int tiledump_main(int argc, char** argv) {
  // Each run starts from the process's initial state, so that in-process
  // callers can run it again and again.
  verbose_flag = 0;
  TiledumpOptions options;
  if (parse_tiledump_options(argc, argv, &options) != 0) return 1;
  if (options.output == nullptr) {
    std::puts("no output bitmap filename");
    return 1;
  }
  static ShapeSheet sheet;
  std::memset(sheet.pixels, 0, sizeof sheet.pixels);
  const int status = load_and_export(options, &sheet);
  std::fflush(stdout);
  return status;
}

}  // namespace tiledump
