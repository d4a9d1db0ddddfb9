#include <cstdint>
#include <stdexcept>

#include "samples/sample_sheet.h"
#include "tiledump/tests/harness.h"

namespace {

// File header and info header of a 256 x 256, 4-bit bitmap, byte by byte.
const uint8_t kHeader[54] = {
    'B',  'M',                           // magic
    0x76, 0x80, 0x00, 0x00,              // file size 32886
    0x00, 0x00, 0x00, 0x00,              // reserved
    0x76, 0x00, 0x00, 0x00,              // pixel data at 118
    0x28, 0x00, 0x00, 0x00,              // info header of 40 bytes
    0x00, 0x01, 0x00, 0x00,              // width 256
    0x00, 0x01, 0x00, 0x00,              // height 256
    0x01, 0x00,                          // one plane
    0x04, 0x00,                          // 4 bits per pixel
    0x00, 0x00, 0x00, 0x00,              // no compression
    0x00, 0x80, 0x00, 0x00,              // 32768 bytes of rows
    0,    0,    0,    0,    0, 0, 0, 0,  // resolutions
    0,    0,    0,    0,    0, 0, 0, 0,  // colour counts
};

// Blue, green, red, 0: the eight disk colours, then the half-bright ones,
// grey and light grey.
const uint8_t kPalette[64] = {
    0x00, 0x00, 0x00, 0,    0xFF, 0x00, 0x00, 0,    0x00, 0x00, 0xFF,
    0,    0xFF, 0x00, 0xFF, 0,    0x00, 0xFF, 0x00, 0,    0xFF, 0xFF,
    0x00, 0,    0x00, 0xFF, 0xFF, 0,    0xFF, 0xFF, 0xFF, 0,    0x80,
    0x80, 0x80, 0,    0x80, 0x00, 0x00, 0,    0x00, 0x00, 0x80, 0,
    0x80, 0x00, 0x80, 0,    0x00, 0x80, 0x00, 0,    0x80, 0x80, 0x00,
    0,    0x00, 0x80, 0x80, 0,    0xC0, 0xC0, 0xC0, 0,
};

}  // namespace

SampleDir::SampleDir() {
  const RunResult made = run_program(MAKE_SAMPLES_EXE, {dir_.path()}, ".");
  if (made.status != 0) {
    throw std::runtime_error("make_samples failed: " + made.out);
  }
}

RunResult run_tiledump(const std::string& dir,
                       const std::vector<std::string>& args,
                       const std::string& input) {
  return run_program(TILEDUMP_EXE, args, dir, input);
}

std::string expected_bitmap(char lower_letter, char upper_letter) {
  static ShapeSheet lower;
  static ShapeSheet upper;
  draw_sample_sheet(&lower, lower_letter);
  draw_sample_sheet(&upper, upper_letter);

  // What the disks give back: shapes 0 to 127 from the lower disk, 128 to
  // 255 from the upper one; a single-plane shape comes back white where any
  // colour was drawn.
  auto pixel = [&](int x, int y) -> uint8_t {
    const int shape = (y / 16) * 16 + x / 16;
    const ShapeSheet& source = shape < 128 ? lower : upper;
    const uint8_t value = source.pixels[y * 256 + x] & 7;
    if (shape >= 96 && shape <= 126) return value != 0 ? 7 : 0;
    return value;
  };

  std::string bytes(reinterpret_cast<const char*>(kHeader), sizeof kHeader);
  bytes.append(reinterpret_cast<const char*>(kPalette), sizeof kPalette);
  for (int y = 255; y >= 0; --y) {
    for (int x = 0; x < 256; x += 2) {
      bytes.push_back(static_cast<char>((pixel(x, y) << 4) | pixel(x + 1, y)));
    }
  }
  return bytes;
}

const char kUsage[] =
    "usage: tiledump [options] OUTPUT.BMP\n"
    "option: -d1|--disk1 FILE    specify image file of zorvan/far haven disk\n"
    "                            (default: kq-zorvan.d88)\n"
    "        -d2|--disk2 FILE    specify image file of "
    "kelmorane/vesto/duskhollow\n"
    "                            disk\n"
    "                            (default: kq-kelmorane.d88)\n"
    "        -i1|--index1 INDEX  specify index no of zorvan/far haven disk\n"
    "        -i2|--index2 INDEX  specify index no of "
    "kelmorane/vesto/duskhollow disk\n"
    "        -D |--multi-disk FILE INDEX1 INDEX2\n"
    "                            same as -d1 FILE -i1 INDEX1 -d2 FILE -i2 "
    "INDEX2\n"
    "            --overwrite     overwrite output file\n"
    "            --verbose       verbose mode\n"
    "        -? |--help          print usage\n"
    "supported disk image format is *.D88 only\n";
