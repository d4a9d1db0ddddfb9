// Sizes that follow from a header's bit count and dimensions, shared by the
// header, writer, reader and conversion code of this library only.
//
// Everything is computed in 64 bits so that nothing wraps; image_fits() is
// the one place that decides which dimensions the 32-bit header fields and
// the pixel array can describe.
#pragma once

#include <cstdint>

namespace bitmap_layout {

inline constexpr uint32_t kMaxPaletteEntries = 256;

inline bool supported_bit_count(uint32_t bit_count) {
  return bit_count == 1 || bit_count == 4 || bit_count == 8 ||
         bit_count == 16 || bit_count == 24 || bit_count == 32;
}

// 2, 16 or 256 for the indexed depths, 0 for direct colour.
inline uint32_t palette_entries(uint32_t bit_count) {
  return bit_count <= 8 ? 1u << bit_count : 0u;
}

// Offset of the first row: both headers plus the full palette.
inline uint32_t data_offset(uint32_t bit_count) {
  return 54 + 4 * palette_entries(bit_count);
}

// Bytes a pixel takes in the in-memory pixel array.
inline uint32_t pixel_bytes(uint32_t bit_count) { return (bit_count + 7) / 8; }

// Bytes a row takes in the file before padding.
inline uint64_t packed_row_bytes(uint64_t width, uint32_t bit_count) {
  if (bit_count == 1) return (width + 7) / 8;
  if (bit_count == 4) return (width + 1) / 2;
  return width * (bit_count / 8);
}

// Bytes a row takes in the file, padded to a multiple of 4.
inline uint64_t stored_row_bytes(uint64_t width, uint32_t bit_count) {
  return (packed_row_bytes(width, bit_count) + 3) & ~uint64_t{3};
}

// True when a picture of these dimensions can be described by the 32-bit
// header fields (row size, data length, file length) and held as a pixel
// array of at most 2^32 - 1 bytes. Dimensions with the top bit set (a
// top-down file's height) are outside the library's model. A picture without
// rows or columns is an ordinary one whose sizes come out as 0.
inline bool image_fits(uint32_t width, uint32_t height, uint32_t bit_count) {
  constexpr uint64_t kLimit = UINT32_MAX;
  if (width > INT32_MAX || height > INT32_MAX) return false;
  // Both factors are below 2^34 and 2^31, so the products cannot wrap.
  const uint64_t data = stored_row_bytes(width, bit_count) * height;
  const uint64_t pixels = uint64_t{pixel_bytes(bit_count)} * width * height;
  return data + data_offset(bit_count) <= kLimit && pixels <= kLimit;
}

inline uint64_t data_length(uint32_t width, uint32_t height,
                            uint32_t bit_count) {
  return stored_row_bytes(width, bit_count) * height;
}

inline uint64_t pixel_array_bytes(uint32_t width, uint32_t height,
                                  uint32_t bit_count) {
  return uint64_t{pixel_bytes(bit_count)} * width * height;
}

}  // namespace bitmap_layout
