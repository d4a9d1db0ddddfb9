// The five disks of the game: which run of shapes each holds, how messages
// name it and which file holds it by default. The programs take every one of
// these facts from here.
#pragma once

#include "shapes/shapes.h"

namespace shapes {

// In the order in which tilepatch -D takes the disks' indexes.
enum GameDisk {
  DISK_ZORVAN = 0,
  DISK_KELMORANE = 1,
  DISK_VESTO = 2,
  DISK_DUSKHOLLOW = 3,
  DISK_FARHAVEN = 4,
};
inline constexpr int GAME_DISK_COUNT = 5;

struct GameDiskInfo {
  const char* name;          // as messages show it: "far haven"
  const char* default_file;  // in the current directory: "kq-farhaven.d88"
  const ShapeRange* range;   // the run of shapes on the disk
};

extern const GameDiskInfo game_disks[GAME_DISK_COUNT];

// The disks of each run, as messages name them: "zorvan/far haven" and
// "kelmorane/vesto/duskhollow".
extern const char lower_range_disks[];
extern const char upper_range_disks[];

}  // namespace shapes
