// The tilepatch program: puts an edited shapes bitmap back onto the shape
// sectors of one disk of a D88 file, or of up to five disks of a file that
// holds the whole game, and saves the whole image under a new name.
#pragma once

#include <memory>

namespace tilepatch {

// Runs the whole program on a command line and returns its exit status: 0
// when the image was saved, 1 on every failure (and after --help), -1 when
// the user refused to overwrite an existing output file. Everything is
// printed to standard output. It keeps nothing between calls, so it can be
// run many times in one process.
int tilepatch_main(int argc, char** argv);

// Writes the usage text to standard output.
void print_usage();

// The default output name of a disk file: ".NEW" put in front of the last
// extension (dir/game.old.d88 gives dir/game.old.NEW.d88), or after the whole
// name when it has no extension of its own (no ".", or a "/" after the last
// "."). The result fits the name's length plus 5 bytes. Null when memory runs
// out.
std::unique_ptr<char[]> derive_output_name(const char* disk_file);

}  // namespace tilepatch
