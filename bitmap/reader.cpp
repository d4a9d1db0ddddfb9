// Reading a BMP file strictly in sequence: header, palette, rows.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bitmap/bitmap.h"
#include "layout.h"
#include "common/alloc.h"

using namespace bitmap_layout;

namespace {

void say_memory_exhausted() { std::puts("error: memory exhaust!"); }

// Bytes between the stream's position and its end, or -1 when the stream
// cannot tell (a pipe or terminal); the position is left where it was.
long bytes_left(std::FILE* stream) {
  const long here = std::ftell(stream);
  if (here < 0 || std::fseek(stream, 0, SEEK_END) != 0) return -1;
  const long end = std::ftell(stream);
  if (std::fseek(stream, here, SEEK_SET) != 0) return -1;
  return end < here ? -1 : end - here;
}

// A file that cannot hold what its header promises fails before anything
// is allocated from that promise, with the line of the first missing part.
bool long_enough(std::FILE* stream, const BitmapInfo& info,
                 bool want_palette) {
  const long left = bytes_left(stream);
  if (left < 0) return true;
  const uint64_t palette = 4 * uint64_t{palette_entries(info.bit_count)};
  if (want_palette && static_cast<uint64_t>(left) < palette) {
    std::puts("error: read_bitmap() - can't read palette");
    return false;
  }
  const uint64_t rows = data_length(info.width, info.height, info.bit_count);
  if (static_cast<uint64_t>(left) < palette + rows) {
    std::puts("error: read_bitmap() - can't read bitmap data");
    return false;
  }
  return true;
}

// The palette is read, not sought over, so that a pipe also stays in step.
int read_or_skip_palette(std::FILE* stream, uint8_t** palette,
                         uint32_t entries) {
  if (palette == nullptr) {
    uint8_t discard[4 * kMaxPaletteEntries];
    (void)!std::fread(discard, 4, entries, stream);
    return 0;
  }
  if (*palette == nullptr) {
    *palette = static_cast<uint8_t*>(std::malloc(4 * entries));
    if (*palette == nullptr) {
      say_memory_exhausted();
      return -2;
    }
  }
  if (read_bitmap_palette(stream, *palette, static_cast<int>(entries)) != 0) {
    std::puts("error: read_bitmap() - can't read palette");
    return -1;
  }
  return 0;
}

void unpack_row(const uint8_t* stored, uint8_t* out, uint32_t width,
                uint32_t bit_count) {
  if (bit_count == 1) {
    for (uint32_t x = 0; x < width; ++x) {
      out[x] = (stored[x / 8] >> (7 - x % 8)) & 1u;
    }
  } else if (bit_count == 4) {
    for (uint32_t x = 0; x < width; ++x) {
      out[x] = (x % 2 == 0) ? stored[x / 2] >> 4 : stored[x / 2] & 0x0Fu;
    }
  } else {
    std::memcpy(out, stored, packed_row_bytes(width, bit_count));
  }
}

int read_rows(std::FILE* stream, const BitmapInfo& info, uint8_t* pixels) {
  const uint64_t stored_bytes = stored_row_bytes(info.width, info.bit_count);
  // A picture without rows, or with rows of no bytes, has nothing to read.
  // Its row buffer is not made either: with no rows the file backs no part
  // of a row's size, however wide the header says the picture is.
  if (info.height == 0 || stored_bytes == 0) return 0;
  auto row = common::try_make_array<uint8_t>(stored_bytes);
  if (row == nullptr) {
    say_memory_exhausted();
    return -2;
  }
  const uint64_t out_bytes = uint64_t{pixel_bytes(info.bit_count)} * info.width;
  for (uint32_t r = info.height; r-- > 0;) {
    if (std::fread(row.get(), stored_bytes, 1, stream) != 1) {
      std::puts("error: read_bitmap() - can't read bitmap data");
      return -1;
    }
    unpack_row(row.get(), pixels + r * out_bytes, info.width, info.bit_count);
  }
  return 0;
}

}  // namespace

int read_bitmap_header(std::FILE* stream, BitmapInfo* info) {
  if (stream == nullptr || info == nullptr) return -1;
  uint8_t buffer[BITMAP_HEADER_SIZE];
  if (std::fread(buffer, sizeof buffer, 1, stream) != 1) return -1;
  if (buffer[0] != 0x42 || buffer[1] != 0x4D) return -1;
  const uint8_t* p = buffer + 2;
  info->file_size = get_le32(p, &p);
  info->reserved1 = static_cast<uint16_t>(get_le16(p, &p));
  info->reserved2 = static_cast<uint16_t>(get_le16(p, &p));
  info->data_offset = get_le32(p, &p);
  info->header_size = get_le32(p, &p);
  info->width = get_le32(p, &p);
  info->height = get_le32(p, &p);
  info->planes = static_cast<uint16_t>(get_le16(p, &p));
  info->bit_count = static_cast<uint16_t>(get_le16(p, &p));
  info->compression = get_le32(p, &p);
  info->image_size = get_le32(p, &p);
  info->x_pixels_per_meter = get_le32(p, &p);
  info->y_pixels_per_meter = get_le32(p, &p);
  info->colors_used = get_le32(p, &p);
  info->colors_important = get_le32(p, nullptr);
  return check_bitmap_header(info);
}

int read_bitmap_palette(std::FILE* stream, uint8_t* palette, int count) {
  if (count < 1 || count > static_cast<int>(kMaxPaletteEntries) ||
      stream == nullptr || palette == nullptr) {
    return -1;
  }
  uint8_t buffer[4 * kMaxPaletteEntries];
  const auto bytes = static_cast<std::size_t>(count) * 4;
  if (std::fread(buffer, bytes, 1, stream) != 1) return -1;
  std::memcpy(palette, buffer, bytes);
  return 0;
}

// A header handed in as already read is held to the same limits as one read
// here, since the buffers below are sized from it.
int read_bitmap(std::FILE* stream, BitmapInfo* info, uint8_t** palette,
                uint8_t** pixels, int header_already_read) {
  if (pixels == nullptr) return -3;
  const bool header_ok =
      stream != nullptr && info != nullptr &&
      (header_already_read == 0
           ? read_bitmap_header(stream, info) >= 0
           : supported_bit_count(info->bit_count) &&
                 image_fits(info->width, info->height, info->bit_count));
  if (!header_ok) {
    std::puts("error: read_bitmap() - can't read bitmap header");
    return -1;
  }
  const uint32_t entries = palette_entries(info->bit_count);
  if (!long_enough(stream, *info, palette != nullptr && entries > 0)) {
    return -1;
  }
  if (*pixels == nullptr) {
    // At least one byte, so that an empty picture still hands back an array.
    const uint64_t bytes =
        pixel_array_bytes(info->width, info->height, info->bit_count);
    *pixels = static_cast<uint8_t*>(std::malloc(bytes > 0 ? bytes : 1));
    if (*pixels == nullptr) {
      say_memory_exhausted();
      return -2;
    }
  }
  if (entries > 0) {
    const int result = read_or_skip_palette(stream, palette, entries);
    if (result != 0) return result;
  }
  return read_rows(stream, *info, *pixels);
}

void free_bitmap_buffer(uint8_t* buffer) { std::free(buffer); }
