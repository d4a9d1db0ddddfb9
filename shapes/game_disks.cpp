#include "shapes/game_disks.h"

namespace shapes {

const GameDiskInfo game_disks[GAME_DISK_COUNT] = {
    {"zorvan", "kq-zorvan.d88", &lower_shape_range},
    {"kelmorane", "kq-kelmorane.d88", &upper_shape_range},
    {"vesto", "kq-vesto.d88", &upper_shape_range},
    {"duskhollow", "kq-duskhollow.d88", &upper_shape_range},
    {"far haven", "kq-farhaven.d88", &lower_shape_range},
};

const char lower_range_disks[] = "zorvan/far haven";
const char upper_range_disks[] = "kelmorane/vesto/duskhollow";

}  // namespace shapes
