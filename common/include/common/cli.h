// Command-line pieces that both programs share.
#pragma once

#include <cstdint>

namespace common {

// Reads a disk index the way strtoul with base 0 reads an unsigned 32-bit
// number (leading blanks, an optional sign, decimal, 0x hexadecimal or
// leading-0 octal; a minus sign negates in unsigned arithmetic; a value too
// large becomes 0xFFFFFFFF) and takes the result as signed, so -1 and every
// value from 2147483648 up are negative. The whole text must be used up; an
// empty text is 0. Returns 0 with *index set, or -1 when the text is refused.
int parse_disk_index(const char* text, int32_t* index);

// Asks before an existing output file is replaced: when anything of that name
// exists, prints "already exists '<path>'" and asks "overwrite ?". Returns 1
// when the name may be written (nothing there, or the answer was yes) and 0
// when the user refused.
int ask_overwrite(const char* path);

}  // namespace common
