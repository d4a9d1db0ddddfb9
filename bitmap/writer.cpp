// Writing a pixel array as a BMP file: header, palette, rows bottom-up.
#include <cstdio>

#include "bitmap/bitmap.h"
#include "layout.h"

using namespace bitmap_layout;

namespace {

bool put_byte(std::FILE* stream, uint32_t value) {
  return std::fputc(static_cast<int>(value & 0xFF), stream) != EOF;
}

// Eight pixels a byte, leftmost in bit 7; any non-zero value sets its bit.
bool write_row_1bit(std::FILE* stream, const uint8_t* row, uint32_t width) {
  for (uint32_t x = 0; x < width; x += 8) {
    uint32_t byte = 0;
    for (uint32_t k = 0; k < 8 && x + k < width; ++k) {
      if (row[x + k] != 0) byte |= 0x80u >> k;
    }
    if (!put_byte(stream, byte)) return false;
  }
  return true;
}

// Two pixels a byte, left one high; only the low four bits of a value count.
bool write_row_4bit(std::FILE* stream, const uint8_t* row, uint32_t width) {
  for (uint32_t x = 0; x < width; x += 2) {
    uint32_t byte = (row[x] & 0x0Fu) << 4;
    if (x + 1 < width) byte |= row[x + 1] & 0x0Fu;
    if (!put_byte(stream, byte)) return false;
  }
  return true;
}

bool write_row(std::FILE* stream, const uint8_t* row, uint32_t width,
               uint32_t bit_count) {
  bool ok = true;
  if (bit_count == 1) {
    ok = write_row_1bit(stream, row, width);
  } else if (bit_count == 4) {
    ok = write_row_4bit(stream, row, width);
  } else {
    const uint64_t bytes = packed_row_bytes(width, bit_count);
    ok = std::fwrite(row, 1, bytes, stream) == bytes;
  }
  const uint64_t pad =
      stored_row_bytes(width, bit_count) - packed_row_bytes(width, bit_count);
  for (uint64_t i = 0; ok && i < pad; ++i) ok = put_byte(stream, 0);
  return ok;
}

int write_palette_or_zeros(std::FILE* stream, const uint8_t* palette,
                           uint32_t entries) {
  if (palette != nullptr) {
    return write_bitmap_palette(stream, palette, static_cast<int>(entries));
  }
  static const uint8_t kZeroEntry[4] = {0, 0, 0, 0};
  for (uint32_t i = 0; i < entries; ++i) {
    if (std::fwrite(kZeroEntry, 4, 1, stream) != 1) return -1;
  }
  return 0;
}

}  // namespace

int write_bitmap_header(std::FILE* stream, const BitmapInfo* info) {
  if (stream == nullptr || info == nullptr) return -1;
  uint8_t buffer[BITMAP_HEADER_SIZE];
  uint8_t* p = buffer;
  *p++ = 0x42;
  *p++ = 0x4D;
  p = put_le32(p, info->file_size);
  p = put_le16(p, info->reserved1);
  p = put_le16(p, info->reserved2);
  p = put_le32(p, info->data_offset);
  p = put_le32(p, info->header_size);
  p = put_le32(p, info->width);
  p = put_le32(p, info->height);
  p = put_le16(p, info->planes);
  p = put_le16(p, info->bit_count);
  p = put_le32(p, info->compression);
  p = put_le32(p, info->image_size);
  p = put_le32(p, info->x_pixels_per_meter);
  p = put_le32(p, info->y_pixels_per_meter);
  p = put_le32(p, info->colors_used);
  put_le32(p, info->colors_important);
  return std::fwrite(buffer, sizeof buffer, 1, stream) == 1 ? 0 : -1;
}

int write_bitmap_palette(std::FILE* stream, const uint8_t* palette,
                         int count) {
  if (count < 1 || count > static_cast<int>(kMaxPaletteEntries) ||
      stream == nullptr || palette == nullptr) {
    return -1;
  }
  const auto bytes = static_cast<std::size_t>(count) * 4;
  return std::fwrite(palette, bytes, 1, stream) == 1 ? 0 : -1;
}

// Dimensions the header fields cannot describe are refused like an
// unsupported bit count: silently, before anything is written. A picture
// without rows or columns reads no pixels, so it needs no pixel array.
int write_bitmap(std::FILE* stream, const BitmapInfo* info,
                 const uint8_t* palette, const uint8_t* pixels) {
  if (stream == nullptr || info == nullptr) return -1;
  const uint32_t bits = info->bit_count;
  if (!supported_bit_count(bits)) return -1;
  if (!image_fits(info->width, info->height, bits)) return -1;
  if (pixels == nullptr &&
      pixel_array_bytes(info->width, info->height, bits) != 0) {
    return -1;
  }

  if (write_bitmap_header(stream, info) != 0) {
    std::puts("error: write_bitmap() - can't write bitmap header");
    return -1;
  }
  const uint32_t entries = palette_entries(bits);
  if (entries > 0 && write_palette_or_zeros(stream, palette, entries) != 0) {
    std::puts("error: write_bitmap() - can't write palette");
    return -1;
  }
  const uint64_t row_bytes = uint64_t{pixel_bytes(bits)} * info->width;
  for (uint32_t r = info->height; r-- > 0;) {
    if (!write_row(stream, pixels + r * row_bytes, info->width, bits)) {
      std::puts("error: write_bitmap() - can't write bitmap data");
      return -1;
    }
  }
  return 0;
}
