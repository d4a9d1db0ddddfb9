// The bitmap library: uncompressed Windows V3 BMP files of 1, 4, 8, 16, 24
// and 32 bits per pixel. Header creation and validation, writing, reading,
// and conversion between bit depths with nearest-colour matching.
//
// In memory a picture is a pixel array of width x height pixels, the top row
// first, with no padding between rows: one byte a pixel (a palette index) for
// 1, 4 and 8 bits, and 2, 3 or 4 bytes a pixel in file byte order for 16, 24
// and 32 bits. A palette is 2^bit_count entries of 4 bytes: blue, green, red,
// reserved.
//
// Results: 0 or more for success, -1 for failure, -2 for a failed allocation,
// -3 for a missing output place. Messages go to standard output. Nothing
// throws. The library keeps no state between calls.
#pragma once

#include <cstdint>
#include <cstdio>

// The 54-byte file and info headers, decoded field by field.
struct BitmapInfo {
  uint32_t file_size = 0;
  uint16_t reserved1 = 0;
  uint16_t reserved2 = 0;
  uint32_t data_offset = 0;
  uint32_t header_size = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  uint16_t planes = 0;
  uint16_t bit_count = 0;
  uint32_t compression = 0;
  uint32_t image_size = 0;
  uint32_t x_pixels_per_meter = 0;
  uint32_t y_pixels_per_meter = 0;
  uint32_t colors_used = 0;
  uint32_t colors_important = 0;
};

inline constexpr int BITMAP_HEADER_SIZE = 54;

// ---- Little-endian fields ------------------------------------------------

uint8_t* put_le32(uint8_t* cursor, uint32_t value);  // returns cursor + 4
uint8_t* put_le16(uint8_t* cursor, uint16_t value);  // returns cursor + 2
// next may be null; otherwise it receives cursor + 4 (or + 2).
uint32_t get_le32(const uint8_t* cursor, const uint8_t** next);
uint32_t get_le16(const uint8_t* cursor, const uint8_t** next);

// ---- Header --------------------------------------------------------------

// Fills info for an uncompressed picture. 0, or -1 for an unsupported bit
// count, a width or height of 2^31 or more, or sizes that do not fit 32
// bits. A width or height of 0 is a picture like any other, with no pixels.
int create_bitmap_header(BitmapInfo* info, uint32_t width, uint32_t height,
                         uint16_t bit_count);

// Bytes of one stored row (padded to 4), or -1 for an unsupported bit count.
int32_t bitmap_row_size(int32_t width, int32_t bit_count);

// Validates a decoded header; may correct image_size. -1 on the first error,
// otherwise the number of warnings printed (0 to 2).
int check_bitmap_header(BitmapInfo* info);

// ---- Writer --------------------------------------------------------------

// Writes header, palette (zeros when palette is null) and rows bottom-up to
// an open binary stream. pixels may be null only for a picture without rows
// or columns. 0 or -1. The caller closes the stream.
int write_bitmap(std::FILE* stream, const BitmapInfo* info,
                 const uint8_t* palette, const uint8_t* pixels);
int write_bitmap_header(std::FILE* stream, const BitmapInfo* info);
int write_bitmap_palette(std::FILE* stream, const uint8_t* palette, int count);

// ---- Reader --------------------------------------------------------------

// Reads a whole file from an open binary stream. palette may be null (the
// palette is skipped); *palette and *pixels are either null (the reader
// allocates and hands the buffer over, also on failure) or a caller's buffer
// to fill. Buffers the reader allocates are released with
// free_bitmap_buffer. 0, -1, -2 or -3.
int read_bitmap(std::FILE* stream, BitmapInfo* info, uint8_t** palette,
                uint8_t** pixels, int header_already_read);
int read_bitmap_header(std::FILE* stream, BitmapInfo* info);
int read_bitmap_palette(std::FILE* stream, uint8_t* palette, int count);

// ---- Depth conversion ----------------------------------------------------

// Converts width x height pixels from one bit count to another, matching
// against target_palette where the target is indexed. *target is either null
// (allocated here; release with free_bitmap_buffer) or a caller's buffer.
// The target is allocated and zero-filled before the bit counts and palettes
// are checked, so after a refusal for those it holds zeros (and a fresh array
// is still the caller's to release). 0, -1 or -2.
int convert_bit_count(int32_t width, int32_t height, int32_t source_bits,
                      const uint8_t* source_palette,
                      const uint8_t* source_pixels, int32_t target_bits,
                      const uint8_t* target_palette, uint8_t** target);

// Index of the palette entry nearest to the colour (exact match first, ties
// to the lowest index, unweighted squared distance); 0 when count is 0.
int find_nearest_color(int red, int green, int blue, const uint8_t* palette,
                       int count);

// Releases a buffer that read_bitmap or convert_bit_count allocated.
void free_bitmap_buffer(uint8_t* buffer);
