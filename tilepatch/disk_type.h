// The disk types of tilepatch: the five game disks, in the order of the
// indexes of -D. The game's facts about each (default disk file, name in
// messages, run of shapes) come from the shape codec; -t adds its keywords.
#pragma once

#include "shapes/game_disks.h"

namespace tilepatch {

using DiskType = shapes::GameDisk;
inline constexpr int DISK_TYPE_COUNT = shapes::GAME_DISK_COUNT;

// The game disk of a DiskType value (0 to DISK_TYPE_COUNT - 1).
const shapes::GameDiskInfo& disk_type_info(int type);

// The DiskType whose keyword equals the text regardless of case, or -1.
int find_disk_type(const char* keyword);

}  // namespace tilepatch
