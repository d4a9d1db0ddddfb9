// Filling sample disks with recognisable data.
#pragma once

#include <cstdint>

#include "d88/d88.h"

// Overwrites every data byte of the disk with a fixed pseudo-random sequence
// started from seed, so that bytes that belong to no shape differ from the
// builder's 0xE5 fill and from disk to disk, yet are the same on every run.
void fill_pseudo_random(Disk* disk, uint32_t seed);
