// Writes the seed corpus of png_fuzz, and a few PNG seeds for
// shapes_bitmap_fuzz: 256-pixel-wide pictures of every colour type and bit
// depth, some interlaced, some with tRNS, one taller, with rows of every
// filter type. The rows repeat, so that each file stays small.
//   png_fuzz_seeds PNG_DIR SHAPES_BITMAP_DIR
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/seed_files.h"
#include "support/png_samples.h"

namespace {

constexpr int kChannels[7] = {1, 0, 3, 1, 2, 0, 4};

// Adam7: first column, first row, column step, row step of each pass.
constexpr int kPasses[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                               {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

// One row of samples (x * 37 + channel * 91, as many bits as the depth
// holds) at the columns x0, x0 + dx, ..., after filter byte y % 5.
std::string row(int depth, int channels, int x0, int dx, int y) {
  std::string out(1, char(y % 5));
  uint32_t bits = 0;
  int filled = 0;
  for (int x = x0; x < 256; x += dx) {
    for (int c = 0; c < channels; ++c) {
      const uint32_t sample = uint32_t(x * 37 + c * 91) & ((1u << depth) - 1);
      bits = bits << depth | sample;
      for (filled += depth; filled >= 8; filled -= 8) out += char(bits >> (filled - 8));
    }
  }
  if (filled > 0) out += char(bits << (8 - filled));
  return out;
}

std::string picture(int depth, int type, bool interlaced, uint32_t height,
                    const std::string& chunks) {
  std::string raw;
  for (int p = 0; p < (interlaced ? 7 : 1); ++p) {
    const int* pass = interlaced ? kPasses[p] : kPasses[6];
    const int x0 = interlaced ? pass[0] : 0, dx = interlaced ? pass[2] : 1;
    for (uint32_t y = interlaced ? pass[1] : 0; y < height; y += interlaced ? pass[3] : 1) {
      raw += row(depth, kChannels[type], x0, dx, int(y));
    }
  }
  return png_file(256, height, depth, type, raw, chunks, interlaced);
}

Bytes bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::printf("usage: png_fuzz_seeds PNG_DIR SHAPES_BITMAP_DIR\n");
    return 1;
  }
  std::string palette;
  for (int i = 0; i < 256; ++i) palette += {char(i), char(255 - i), char(i * 7)};
  const struct {
    int depth, type;
    bool interlaced;
    uint32_t height;
    std::string chunks, name;
  } seeds[] = {
      {1, 0, false, 256, "", "grey1"},      {2, 0, false, 256, "", "grey2"},
      {4, 0, false, 256, "", "grey4"},      {8, 0, false, 256, "", "grey8"},
      {16, 0, false, 256, "", "grey16"},    {8, 2, false, 256, "", "rgb8"},
      {16, 2, false, 256, "", "rgb16"},     {1, 3, false, 256, "", "p1"},
      {2, 3, false, 256, "", "p2"},         {4, 3, false, 256, "", "p4"},
      {8, 3, false, 256, "", "p8"},         {8, 4, false, 256, "", "ga8"},
      {16, 4, false, 256, "", "ga16"},      {8, 6, false, 256, "", "rgba8"},
      {16, 6, false, 256, "", "rgba16"},    {4, 3, true, 256, "", "p4_interlaced"},
      {8, 2, true, 257, "", "rgb8_interlaced_257"}, {1, 0, true, 256, "", "grey1_interlaced"},
      {8, 3, false, 256, png_chunk("tRNS", std::string("\0\x80\xFF", 3)), "p8_trns"},
      {16, 2, false, 256, png_chunk("tRNS", std::string(6, '\0')), "rgb16_trns"},
      {8, 2, false, 300, png_chunk("gAMA", std::string("\0\0\xB1\x8F", 4)), "rgb8_tall_gama"},
  };
  bool ok = true;
  for (const auto& s : seeds) {
    // Palette pictures carry the whole palette before any tRNS.
    const std::string chunks = s.type == 3 ? png_chunk("PLTE", palette.substr(0, 3u << s.depth)) + s.chunks
                                           : s.chunks;
    const std::string file = picture(s.depth, s.type, s.interlaced, s.height, chunks);
    ok &= save_seed(std::string(argv[1]) + "/" + s.name + ".png", bytes(file));
    if (s.name == "p4" || s.name == "rgba16" || s.name == "p4_interlaced") {
      ok &= save_seed(std::string(argv[2]) + "/" + s.name + ".png", bytes(file));
    }
  }
  return ok ? 0 : 1;
}
