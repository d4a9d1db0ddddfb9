// The d88info program: lists every disk of one or more D88 image files with
// its index, its header fields, its tracks and sectors and whether the shape
// sectors that tiledump and tilepatch use are there, then tells which
// indexes to pass to those two programs.
//
// Everything is printed to standard output. The program is callable in
// process (d88info_main) so that a harness can run it many times.
#pragma once

namespace d88info {

// The whole program. Returns the exit status: 0 when every file was read, 1
// when any file could not be read (the others are still listed), on a
// command-line error and after --help.
int d88info_main(int argc, char** argv);

}  // namespace d88info
