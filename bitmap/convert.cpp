// Conversion of pixel arrays between bit counts, with nearest-colour matching
// where the target is indexed.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "bitmap/bitmap.h"
#include "layout.h"

namespace {

struct Rgb {
  int red;
  int green;
  int blue;
};

// Black and white, for a 1-bit side that comes without a palette.
constexpr uint8_t kOneBitPalette[8] = {0, 0, 0, 0, 255, 255, 255, 0};

// One side of a conversion: its bit count, palette and colour count (0 for
// direct colour).
struct Side {
  int32_t bits = 0;
  const uint8_t* palette = nullptr;
  int colors = 0;
};

// Fills side for bit count and palette; false when they cannot be used.
bool make_side(int32_t bits, const uint8_t* palette, Side* side) {
  side->bits = bits;
  side->palette = palette;
  switch (bits) {
    case 1:
      if (palette == nullptr) side->palette = kOneBitPalette;
      side->colors = 2;
      return true;
    case 4:
    case 8:
      side->colors = 1 << bits;
      return palette != nullptr;
    case 16:
    case 24:
    case 32:
      side->colors = 0;
      return true;
    default:
      return false;
  }
}

// The entry a stored index stands for. Indexes at or above the colour count
// cannot come from the reader; they are taken the way the writer would store
// them (any non-zero 1-bit value is 1, a 4-bit value keeps its low four bits)
// so that the palette is never read past its end.
int entry_of(uint8_t value, const Side& side) {
  if (side.bits == 1) return value != 0 ? 1 : 0;
  if (side.bits == 4) return value & 0x0F;
  return value;
}

Rgb palette_color(const Side& side, int index) {
  const uint8_t* entry = side.palette + 4 * index;
  return {entry[2], entry[1], entry[0]};
}

// c x 8 + c / 4 spreads 0..31 over 0..255.
int widen5(uint32_t c) { return static_cast<int>(c * 8 + c / 4); }

Rgb direct_color(const uint8_t* p, int32_t bits) {
  if (bits == 16) {
    const uint32_t v = p[0] | (uint32_t{p[1]} << 8);
    return {widen5((v >> 10) & 0x1F), widen5((v >> 5) & 0x1F),
            widen5(v & 0x1F)};
  }
  return {p[2], p[1], p[0]};
}

void store_direct(uint8_t* out, int32_t bits, Rgb c) {
  if (bits == 16) {
    const auto v = static_cast<uint32_t>((c.red / 8) * 1024 +
                                         (c.green / 8) * 32 + c.blue / 8);
    out[0] = static_cast<uint8_t>(v);
    out[1] = static_cast<uint8_t>(v >> 8);
    return;
  }
  out[0] = static_cast<uint8_t>(c.blue);
  out[1] = static_cast<uint8_t>(c.green);
  out[2] = static_cast<uint8_t>(c.red);
  if (bits == 32) out[3] = 0;
}

// The nearest-colour search of a direct-colour source, run for every pixel:
// the target palette is laid out once, sixteen entries at a time, channel by
// channel, and each pixel gets all sixteen distances of a block worked out
// before the smallest is picked. Loops of a fixed length without a branch on
// the colours let the compiler work on several entries at once; the entry
// found is find_nearest_color's, in about half its time on random colours,
// where a search that branches on every entry keeps stalling.
constexpr int kBlock = 16;
// A channel value that puts a padding entry further from every colour than
// any real entry can be, so that it never wins.
constexpr int16_t kNowhere = 1000;

struct ColorBlock {
  int16_t blue[kBlock];
  int16_t green[kBlock];
  int16_t red[kBlock];
};

// Entries [first, first + 16) of a palette of count entries, those past
// its end padded.
ColorBlock make_block(const uint8_t* palette, int first, int count) {
  ColorBlock block;
  for (int i = 0; i < kBlock; ++i) {
    const bool real = first + i < count;
    const int at = 4 * (first + i);
    block.blue[i] = real ? palette[at] : kNowhere;
    block.green[i] = real ? palette[at + 1] : kNowhere;
    block.red[i] = real ? palette[at + 2] : kNowhere;
  }
  return block;
}

// The nearest entry of a block and its distance as one key, distance x 16
// + place in the block: the smallest key is the nearest entry and, among
// entries at the same distance, the first, as in find_nearest_color (an
// exact match is the smallest distance there is). With channels from 0 to
// 255 the differences fit 16 bits and the keys 32.
int nearest_key(const ColorBlock& block, Rgb c) {
  int lowest = INT32_MAX;
  for (int i = 0; i < kBlock; ++i) {
    const auto db = static_cast<int16_t>(block.blue[i] - c.blue);
    const auto dg = static_cast<int16_t>(block.green[i] - c.green);
    const auto dr = static_cast<int16_t>(block.red[i] - c.red);
    lowest = std::min(lowest, (db * db + dg * dg + dr * dr) * kBlock + i);
  }
  return lowest;
}

// A target palette of up to 256 entries, laid out for nearest_key.
struct PaletteBlocks {
  ColorBlock blocks[bitmap_layout::kMaxPaletteEntries / kBlock];
  int count = 0;

  PaletteBlocks(const uint8_t* palette, int colors) {
    for (int first = 0; first < colors; first += kBlock) {
      blocks[count++] = make_block(palette, first, colors);
    }
  }

  // A later block wins only with a smaller distance: ties keep the lower
  // index.
  int nearest(Rgb c) const {
    int best = 0;
    int best_key = INT32_MAX;
    for (int k = 0; k < count; ++k) {
      const int key = nearest_key(blocks[k], c);
      if (key / kBlock < best_key / kBlock) {
        best = k * kBlock + key % kBlock;
        best_key = key;
      }
    }
    return best;
  }
};

// Indexed sources are matched once per entry, then mapped a byte at a time.
void indexed_to_indexed(const Side& from, const Side& to, const uint8_t* in,
                        uint8_t* out, std::size_t count) {
  uint8_t nearest[bitmap_layout::kMaxPaletteEntries] = {};
  for (int i = 0; i < from.colors; ++i) {
    const Rgb c = palette_color(from, i);
    nearest[i] = static_cast<uint8_t>(
        find_nearest_color(c.red, c.green, c.blue, to.palette, to.colors));
  }
  uint8_t map[256];
  for (int v = 0; v < 256; ++v) {
    map[v] = nearest[entry_of(static_cast<uint8_t>(v), from)];
  }
  for (std::size_t i = 0; i < count; ++i) out[i] = map[in[i]];
}

void convert_pixels(const Side& from, const Side& to, const uint8_t* in,
                    uint8_t* out, std::size_t count) {
  const auto in_step = bitmap_layout::pixel_bytes(static_cast<uint32_t>(from.bits));
  const auto out_step = bitmap_layout::pixel_bytes(static_cast<uint32_t>(to.bits));
  // Laid out once here, not for each pixel; every pixel still gets a search
  // of the whole palette.
  const PaletteBlocks palette(to.palette, to.colors);
  for (std::size_t i = 0; i < count; ++i, in += in_step, out += out_step) {
    const Rgb c = from.colors > 0 ? palette_color(from, entry_of(*in, from))
                                  : direct_color(in, from.bits);
    if (to.colors > 0) {
      *out = static_cast<uint8_t>(palette.nearest(c));
    } else {
      store_direct(out, to.bits, c);
    }
  }
}

}  // namespace

int find_nearest_color(int red, int green, int blue, const uint8_t* palette,
                       int count) {
  if (palette == nullptr) return 0;
  int best = 0;
  int best_distance = 0x30000;
  for (int i = 0; i < count; ++i) {
    const uint8_t* entry = palette + 4 * i;
    const int db = entry[0] - blue;
    const int dg = entry[1] - green;
    const int dr = entry[2] - red;
    const int d = db * db + dg * dg + dr * dr;
    if (d == 0) return i;
    if (d < best_distance) {
      best = i;
      best_distance = d;
    }
  }
  return best;
}

// The target is made and zero-filled before the bit counts and palettes are
// looked at, so a refusal for those still leaves it holding zeros; a fresh
// array is then the caller's to release like any other.
int convert_bit_count(int32_t width, int32_t height, int32_t source_bits,
                      const uint8_t* source_palette,
                      const uint8_t* source_pixels, int32_t target_bits,
                      const uint8_t* target_palette, uint8_t** target) {
  if (source_pixels == nullptr || target == nullptr) return -1;
  // Bytes a target pixel takes, as the array size counts them for any bit
  // count. A negative dimension or depth gives no size to allocate or fill.
  const int64_t pixel_size = (int64_t{target_bits} + 7) / 8;
  if (width < 0 || height < 0 || pixel_size < 0) return -1;
  const auto count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (count != 0 && static_cast<uint64_t>(pixel_size) > SIZE_MAX / count) {
    std::puts("error: memory exhaust!");
    return -2;
  }
  const uint64_t bytes = count * static_cast<uint64_t>(pixel_size);
  if (*target == nullptr) {
    // At least one byte, so that an empty picture is not taken for a failure.
    *target = static_cast<uint8_t*>(std::malloc(bytes > 0 ? bytes : 1));
    if (*target == nullptr) {
      std::puts("error: memory exhaust!");
      return -2;
    }
  }
  std::memset(*target, 0, bytes);

  Side from;
  Side to;
  if (!make_side(source_bits, source_palette, &from) ||
      !make_side(target_bits, target_palette, &to)) {
    return -1;
  }
  if (from.colors > 0 && to.colors > 0) {
    indexed_to_indexed(from, to, source_pixels, *target, count);
  } else if (from.colors == 0 && source_bits == target_bits) {
    std::memcpy(*target, source_pixels, bytes);
  } else {
    convert_pixels(from, to, source_pixels, *target, count);
  }
  return 0;
}
