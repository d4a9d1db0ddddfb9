// The tilepatch program: puts an edited shapes bitmap back onto the shape
// sectors of one disk of a D88 file, or of up to five disks of a file that
// holds the whole game, and saves the whole image under a new name.
#pragma once

namespace tilepatch {

// Runs the whole program on a command line and returns its exit status: 0
// when the image was saved, 1 on every failure (and after --help), -1 when
// the user refused to overwrite an existing output file. Everything is
// printed to standard output. It keeps nothing between calls, so it can be
// run many times in one process.
int tilepatch_main(int argc, char** argv);

}  // namespace tilepatch
