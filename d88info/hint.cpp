#include <cstdio>
#include <cstring>

#include "report.h"
#include "shapes/game_disks.h"

namespace d88info {

namespace {

// The path as a shell word, so that the example commands can be pasted.
void print_shell_word(const char* path) {
  const char* plain =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._/+-";
  if (*path != '\0' && std::strspn(path, plain) == std::strlen(path)) {
    std::fputs(path, stdout);
    return;
  }
  std::putchar('\'');
  for (const char* p = path; *p != '\0'; ++p) {
    if (*p == '\'') {
      std::fputs("'\\''", stdout);
    } else {
      std::putchar(*p);
    }
  }
  std::putchar('\'');
}

// The first disk whose range is usable, skipping index skip; -1 if none.
int first_usable(const DiskImage* image, const ShapeRange* range, int skip) {
  int index = 0;
  for (const Disk* disk = image->first; disk != nullptr;
       disk = disk->next, ++index) {
    if (index != skip && has_shape_sectors(disk, range)) return index;
  }
  return -1;
}

// True when the file looks like the whole game in tilepatch -D's order.
bool is_game_order(const DiskImage* image) {
  if (image->count != shapes::GAME_DISK_COUNT) return false;
  int index = 0;
  for (const Disk* disk = image->first; disk != nullptr;
       disk = disk->next, ++index) {
    if (!has_shape_sectors(disk, shapes::game_disks[index].range)) return false;
  }
  return true;
}

void print_examples(const char* path, const DiskImage* image) {
  const int lower = first_usable(image, &lower_shape_range, -1);
  int upper = first_usable(image, &upper_shape_range, lower);
  if (upper < 0) upper = first_usable(image, &upper_shape_range, -1);
  if (lower < 0 || upper < 0) {
    std::printf("      no disk here has readable shapes %s\n",
                lower < 0 ? "0-127" : "128-255");
    return;
  }
  std::fputs("        tiledump -D ", stdout);
  print_shell_word(path);
  std::printf(" %d %d shapes.bmp\n", lower, upper);
  const bool game = is_game_order(image);
  if (game) {
    std::fputs("        tilepatch -D ", stdout);
    print_shell_word(path);
    std::puts(" 0 1 2 3 4 shapes.bmp");
  }
  std::puts("      tiledump -D: the disk of shapes 0-127, then that of 128-255");
  if (game) {
    std::fputs("      tilepatch -D: ", stdout);
    for (int disk = 0; disk < shapes::GAME_DISK_COUNT; ++disk) {
      std::printf("%s%s", disk == 0 ? "" : ", ", shapes::game_disks[disk].name);
    }
    std::putchar('\n');
  }
}

}  // namespace

void print_index_hint(const char* path, const DiskImage* image) {
  if (image->count == 1) {
    std::puts("hint: one disk, index 0, the default: no index to pass");
    return;
  }
  std::puts("hint: pass the disk numbers as indexes to tiledump (-i1, -i2, -D)");
  std::puts("      and tilepatch (-i, -D), e.g.");
  print_examples(path, image);
}

}  // namespace d88info
