// Writes the seed corpora of bitmap_fuzz and shapes_bitmap_fuzz with the
// library's own writer: small pictures of every depth and some odd widths,
// two without pixels, each also with its data length left 0, and
// shapes-sized pictures of the common depths, one taller and one too short.
//   bitmap_fuzz_seeds BITMAP_DIR SHAPES_BITMAP_DIR
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"

#include "fuzz/seed_files.h"

namespace {

// A 256-entry palette: a grey ramp with a few pure colours at its start.
std::vector<uint8_t> make_palette() {
  std::vector<uint8_t> palette(1024);
  for (int i = 0; i < 256; ++i) {
    palette[4 * i + 0] = static_cast<uint8_t>(i & 1 ? 255 - i : i);
    palette[4 * i + 1] = static_cast<uint8_t>(i);
    palette[4 * i + 2] = static_cast<uint8_t>(i * 37);
  }
  return palette;
}

// Pixels of the in-memory layout that use many colours of the depth.
std::vector<uint8_t> make_pixels(uint32_t width, uint32_t height, int bits) {
  const uint32_t step = (bits + 7) / 8;
  std::vector<uint8_t> pixels(step * width * height);
  const unsigned limit = bits <= 8 ? 1u << bits : 256u;
  for (size_t i = 0; i < pixels.size(); ++i) {
    const size_t x = (i / step) % width;
    const size_t y = (i / step) / width;
    pixels[i] = static_cast<uint8_t>((x * 7 + y * 3 + (x ^ y) + i % step * 85) %
                                     limit);
  }
  return pixels;
}

Bytes bitmap_bytes(uint32_t width, uint32_t height, uint16_t bits) {
  const std::vector<uint8_t> palette = make_palette();
  const std::vector<uint8_t> pixels = make_pixels(width, height, bits);
  return encode_bitmap(width, height, bits, palette.data(), pixels.data());
}

// The same file with its data length field (and file length) set to 0.
Bytes without_lengths(Bytes b) {
  if (b.size() < 54) return {};
  put_le32(&b[2], 0);
  put_le32(&b[34], 0);
  return b;
}

bool write_small_seeds(const std::string& dir) {
  const struct {
    uint32_t width, height;
    uint16_t bits;
  } shapes[] = {{13, 5, 1}, {9, 4, 1},  {7, 3, 4},  {16, 4, 4},
                {5, 3, 8},  {3, 7, 16}, {5, 3, 24}, {4, 2, 32},
                // No pixels: no columns, and a row wider than any file
                // could back, but no rows.
                {0, 3, 24}, {0x40000000, 0, 16}};
  for (const auto& s : shapes) {
    const std::string name = dir + "/" + std::to_string(s.bits) + "bit_" +
                              std::to_string(s.width) + "x" +
                              std::to_string(s.height);
    const Bytes b = bitmap_bytes(s.width, s.height, s.bits);
    if (!save_seed(name + ".bmp", b) || !save_seed(name + "_nolen.bmp", without_lengths(b))) {
      std::printf("cannot make '%s'\n", name.c_str());
      return false;
    }
  }
  return true;
}

bool write_sheet_seeds(const std::string& dir) {
  const struct {
    const char* name;
    uint32_t height;
    uint16_t bits;
  } sheets[] = {{"1bit.bmp", 256, 1},        {"4bit.bmp", 256, 4},
                {"8bit.bmp", 256, 8},        {"24bit.bmp", 256, 24},
                {"1bit_tall.bmp", 260, 1},   {"1bit_short.bmp", 255, 1}};
  for (const auto& s : sheets) {
    if (!save_seed(dir + "/" + s.name, bitmap_bytes(256, s.height, s.bits))) {
      std::printf("cannot make '%s'\n", s.name);
      return false;
    }
  }
  return save_seed(dir + "/4bit_nolen.bmp", without_lengths(bitmap_bytes(256, 256, 4)));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::printf("usage: bitmap_fuzz_seeds BITMAP_DIR SHAPES_BITMAP_DIR\n");
    return 1;
  }
  return write_small_seeds(argv[1]) && write_sheet_seeds(argv[2]) ? 0 : 1;
}
