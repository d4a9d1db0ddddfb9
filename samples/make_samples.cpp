// make_samples OUTDIR: writes a set of sample game disks, one D88 file per
// disk and one file holding all five, with recognisable shapes on them.
#include <cstdio>
#include <filesystem>
#include <string>

#include "d88/d88.h"
#include "samples/sample_disk.h"
#include "samples/sample_sheet.h"
#include "shapes/game_disks.h"
#include "shapes/shapes.h"

namespace {

// The game disk's default file is the single-disk image's name, and its
// range the shapes that go on it.
struct SampleDisk {
  const shapes::GameDiskInfo& game;
  const char* name;  // disk name in the D88 header
  char letter;       // drawn into every shape
};

// In the order of the five-disk file.
const SampleDisk kDisks[] = {
    {shapes::game_disks[shapes::DISK_ZORVAN], "KQ ZORVAN", 'Z'},
    {shapes::game_disks[shapes::DISK_KELMORANE], "KQ KELMORANE", 'K'},
    {shapes::game_disks[shapes::DISK_VESTO], "KQ VESTO", 'V'},
    {shapes::game_disks[shapes::DISK_DUSKHOLLOW], "KQ DUSKHOLLOW", 'D'},
    {shapes::game_disks[shapes::DISK_FARHAVEN], "KQ FAR HAVEN", 'F'},
};
const char kGameFile[] = "kq-game.d88";

// A formatted disk with its shapes encoded, or null after a message.
Disk* make_disk(const SampleDisk& sample, uint32_t seed) {
  Disk* disk = create_d88_disk(sample.name, 0);
  if (disk == nullptr) return nullptr;
  fill_pseudo_random(disk, seed);
  static ShapeSheet sheet;
  draw_sample_sheet(&sheet, sample.letter);
  if (change_shape_data(&sheet, disk, sample.game.range) < 0) {
    std::printf("error: encode shapes of %s\n", sample.game.default_file);
    free_d88_disk(disk, 1);
    return nullptr;
  }
  return disk;
}

void append_disk(DiskImage* image, Disk* disk) {
  Disk** tail = &image->first;
  while (*tail != nullptr) tail = &(*tail)->next;
  *tail = disk;
  ++image->count;
}

int make_samples(const std::string& dir) {
  DiskImage game;
  int status = 0;
  uint32_t seed = 0x2545F491u;
  for (const SampleDisk& sample : kDisks) {
    Disk* disk = make_disk(sample, seed);
    seed += 0x9E3779B9u;
    if (disk == nullptr) {
      status = 1;
      break;
    }
    append_disk(&game, disk);
    const std::string path = dir + "/" + sample.game.default_file;
    if (write_d88_disk_to_file(disk, path.c_str()) < 0) {
      std::printf("error: write '%s'\n", path.c_str());
      status = 1;
      break;
    }
    std::printf("wrote %s\n", path.c_str());
  }
  if (status == 0) {
    const std::string path = dir + "/" + kGameFile;
    if (write_d88_image_to_file(&game, path.c_str()) < 0) {
      std::printf("error: write '%s'\n", path.c_str());
      status = 1;
    } else {
      std::printf("wrote %s\n", path.c_str());
    }
  }
  free_d88_image(&game, 0);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::puts("usage: make_samples OUTDIR");
    return 1;
  }
  std::error_code error;
  std::filesystem::create_directories(argv[1], error);
  if (error) {
    std::printf("error: cannot make directory '%s'\n", argv[1]);
    return 1;
  }
  return make_samples(argv[1]);
}
