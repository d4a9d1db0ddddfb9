#include "d88info/d88info.h"

#include <cstdio>
#include <new>
#include <vector>

#include "options.h"
#include "report.h"

namespace d88info {

namespace {

// Lists one file; -1 when it cannot be read, after the reader's lines, or
// holds no disk at all (the reader takes a file shorter than one disk header
// as the end of the image, so junk would otherwise pass as an empty image).
int report_file(const char* path) {
  ScopedDiskImage holder;
  if (read_d88_image_from_file(&holder.image, path) < 0) {
    std::printf("error: read d88 image '%s'\n", path);
    return -1;
  }
  if (holder.image.count == 0) {
    std::printf("error: no disk found in '%s'\n", path);
    return -1;
  }
  const int count = holder.image.count;
  std::printf("%s: %d disk%s\n", path, count, count == 1 ? "" : "s");
  int index = 0;
  for (const Disk* disk = holder.image.first; disk != nullptr;
       disk = disk->next) {
    std::putchar('\n');
    print_disk_report(disk, index++);
  }
  std::putchar('\n');
  print_index_hint(path, &holder.image);
  return 0;
}

}  // namespace

int d88info_main(int argc, char** argv) {
  std::vector<const char*> files;
  try {
    files.reserve(static_cast<size_t>(argc));
  } catch (const std::bad_alloc&) {
    std::puts("memory exhausted!");
    return 1;
  }
  if (parse_d88info_options(argc, argv, &files) != 0) return 1;
  if (files.empty()) {
    std::puts("no disk image filename");
    return 1;
  }
  int status = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    // A blank line parts the files; a failed one does not stop the rest.
    if (i > 0) std::putchar('\n');
    if (report_file(files[i]) != 0) status = 1;
  }
  std::fflush(stdout);
  return status;
}

}  // namespace d88info
