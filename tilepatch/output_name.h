// The default name under which tilepatch saves a patched image.
#pragma once

#include <memory>

namespace tilepatch {

// The default output name of a disk file: ".NEW" put in front of the last
// extension (dir/game.old.d88 gives dir/game.old.NEW.d88), or after the whole
// name when it has no extension of its own (no ".", or a "/" after the last
// "."). The result fits the name's length plus 5 bytes. Null when memory runs
// out.
std::unique_ptr<char[]> derive_output_name(const char* disk_file);

}  // namespace tilepatch
