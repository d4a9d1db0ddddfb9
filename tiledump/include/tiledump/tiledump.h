// The tiledump program: reads the shape sectors of two game disks held in D88
// images (shapes 0 to 127 from the zorvan or far haven disk, 128 to 255 from
// the kelmorane, vesto or duskhollow disk) and draws all 256 shapes into one
// 256 x 256 bitmap of 4 bits per pixel (a BMP file, or a PNG file when the
// output name ends in ".png").
//
// Everything is printed to standard output. The program is callable in
// process (tiledump_main) so that a harness can run it many times.
#pragma once

namespace tiledump {

// The whole program: parses the command line, loads the disks, decodes the
// shapes and writes the bitmap. Returns the exit status: 0 once the bitmap
// has been written, 1 on every failure and after --help.
int tiledump_main(int argc, char** argv);

}  // namespace tiledump
