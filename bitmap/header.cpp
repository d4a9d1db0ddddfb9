// Little-endian fields, header creation and header validation.
#include <cstdio>

#include "bitmap/bitmap.h"
#include "layout.h"
#include "common/le.h"

using namespace bitmap_layout;

uint8_t* put_le32(uint8_t* cursor, uint32_t value) {
  return common::le_put32(cursor, value);
}

uint8_t* put_le16(uint8_t* cursor, uint16_t value) {
  return common::le_put16(cursor, value);
}

uint32_t get_le32(const uint8_t* cursor, const uint8_t** next) {
  if (next != nullptr) *next = cursor + 4;
  return common::le_get32(cursor);
}

uint32_t get_le16(const uint8_t* cursor, const uint8_t** next) {
  if (next != nullptr) *next = cursor + 2;
  return common::le_get16(cursor);
}

int create_bitmap_header(BitmapInfo* info, uint32_t width, uint32_t height,
                         uint16_t bit_count) {
  if (info == nullptr) return -1;
  info->reserved1 = 0;
  info->reserved2 = 0;
  info->header_size = 40;
  info->width = width;
  info->height = height;
  info->planes = 1;
  info->bit_count = bit_count;
  info->compression = 0;
  info->x_pixels_per_meter = 0;
  info->y_pixels_per_meter = 0;
  info->colors_used = 0;
  info->colors_important = 0;
  if (!supported_bit_count(bit_count)) return -1;
  if (!image_fits(width, height, bit_count)) return -1;
  info->data_offset = data_offset(bit_count);
  info->image_size =
      static_cast<uint32_t>(data_length(width, height, bit_count));
  info->file_size = info->image_size + info->data_offset;
  return 0;
}

// A negative width, or a row that does not fit the result, gives -1 like an
// unsupported bit count: there is no such row.
int32_t bitmap_row_size(int32_t width, int32_t bit_count) {
  if (width < 0 || bit_count < 0) return -1;
  if (!supported_bit_count(static_cast<uint32_t>(bit_count))) return -1;
  const uint64_t row = stored_row_bytes(static_cast<uint64_t>(width),
                                        static_cast<uint32_t>(bit_count));
  return row > INT32_MAX ? -1 : static_cast<int32_t>(row);
}

int check_bitmap_header(BitmapInfo* info) {
  if (info == nullptr) return -1;
  if (info->header_size != 40) {
    std::puts(
        "error: check_bitmap_header() - not supported header type - support "
        "only Windows V3");
    return -1;
  }
  if (info->planes != 1) return -1;
  if (info->compression != 0) {
    std::puts("error: check_bitmap_header() - not support compression");
    return -1;
  }
  if (!supported_bit_count(info->bit_count)) {
    std::puts("error: check_bitmap_header() - unknown bit count");
    return -1;
  }
  // Everything below is 32-bit arithmetic on the header's own fields, and
  // the reader allocates from these dimensions: refuse what would wrap.
  if (!image_fits(info->width, info->height, info->bit_count)) {
    std::printf("error: check_bitmap_header() - illegal image size %u x %u\n",
                info->width, info->height);
    return -1;
  }
  const uint32_t offset = data_offset(info->bit_count);
  const auto length = static_cast<uint32_t>(
      data_length(info->width, info->height, info->bit_count));
  const uint32_t file_length = offset + length;

  if (info->data_offset != offset) {
    std::printf("error: check_bitmap_header() - offset size 0x%X != 0x%X\n",
                info->data_offset, offset);
    return -1;
  }
  int warnings = 0;
  if (info->image_size == 0) {
    info->image_size = length;
    std::printf(
        "warning: check_bitmap_header() - data length is 0 ... corrected: "
        "0x%X\n",
        length);
    ++warnings;
  }
  if (info->image_size != length) {
    std::printf("error: check_bitmap_header() - data length 0x%X != 0x%X\n",
                info->image_size, length);
    return -1;
  }
  if (info->file_size == 0) {
    std::puts("warning: check_bitmap_header() - file length is 0");
    ++warnings;
  } else if (info->file_size > file_length) {
    std::printf("warning: check_bitmap_header() - file length 0x%X > 0x%X\n",
                info->file_size, file_length);
    ++warnings;
  } else if (info->file_size < file_length) {
    std::printf("error: check_bitmap_header() - file length 0x%X < 0x%X\n",
                info->file_size, file_length);
    return -1;
  }
  return warnings;
}
