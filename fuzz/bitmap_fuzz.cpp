// Fuzzes the BMP reader and the conversion to 4 bits. Every file the reader
// accepts is read three ways, into buffers it allocates, into buffers of the
// caller's and after a header read apart, and the three must agree; then it
// is matched against a 16-colour palette, once into a fresh array and once
// into the caller's, and every result must be an index of that palette.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "bitmap/bitmap.h"
#include "fuzz/fuzz_support.h"

namespace {

// Sixteen distinct colours, blue, green, red, reserved.
constexpr uint8_t kPalette[64] = {
    0,   0,   0,   0, 255, 0,   0,   0, 0,   0,   255, 0, 255, 0,   255, 0,
    0,   255, 0,   0, 255, 255, 0,   0, 0,   255, 255, 0, 255, 255, 255, 0,
    64,  64,  64,  0, 128, 0,   0,   0, 0,   0,   128, 0, 128, 0,   128, 0,
    0,   128, 0,   0, 128, 128, 0,   0, 0,   128, 128, 0, 192, 192, 192, 0};

struct Freer {
  void operator()(uint8_t* buffer) const noexcept { free_bitmap_buffer(buffer); }
};
using Buffer = std::unique_ptr<uint8_t, Freer>;

struct Stream {
  std::FILE* file;
  ~Stream() {
    if (file != nullptr) std::fclose(file);
  }
};

// fmemopen refuses an empty buffer; a one-byte stand-in read as zero bytes
// keeps the empty input in play.
Stream open_input(const uint8_t* data, size_t size) {
  static uint8_t empty = 0;
  if (size == 0) {
    std::FILE* f = fmemopen(&empty, 1, "rb");
    if (f != nullptr) std::fgetc(f);
    return {f};
  }
  return {fmemopen(const_cast<uint8_t*>(data), size, "rb")};
}

uint64_t pixel_array_size(const BitmapInfo& info) {
  return uint64_t{(info.bit_count + 7u) / 8u} * info.width * info.height;
}

uint32_t palette_size(const BitmapInfo& info) {
  return info.bit_count <= 8 ? 4u << info.bit_count : 0u;
}

bool same_info(const BitmapInfo& a, const BitmapInfo& b) {
  return a.file_size == b.file_size && a.data_offset == b.data_offset &&
         a.width == b.width && a.height == b.height &&
         a.bit_count == b.bit_count && a.image_size == b.image_size;
}

// Reads again into buffers of the caller's, first from the start of the
// file, then after the header alone; both must equal the first read.
void read_into_caller_buffers(const uint8_t* data, size_t size,
                              const BitmapInfo& info, const uint8_t* palette,
                              const uint8_t* pixels) {
  const uint64_t bytes = pixel_array_size(info);
  const uint32_t palette_bytes = palette_size(info);
  for (int header_apart = 0; header_apart < 2; ++header_apart) {
    // One byte at least: a picture without pixels still gets a buffer of
    // the caller's, which an empty vector would not give.
    std::vector<uint8_t> own_pixels(std::max<uint64_t>(bytes, 1), 0xA5);
    std::vector<uint8_t> own_palette(1024, 0xA5);
    uint8_t* pixel_place = own_pixels.data();
    uint8_t* palette_place = own_palette.data();
    BitmapInfo again{};
    Stream in = open_input(data, size);
    if (in.file == nullptr) fuzz_fail("fmemopen");
    if (header_apart != 0 && read_bitmap_header(in.file, &again) < 0) {
      fuzz_fail("header alone refused");
    }
    if (read_bitmap(in.file, &again, &palette_place, &pixel_place,
                    header_apart) != 0) {
      fuzz_fail("second read failed");
    }
    if (pixel_place != own_pixels.data() || palette_place != own_palette.data()) {
      fuzz_fail("caller's buffer replaced");
    }
    if (!same_info(info, again)) fuzz_fail("header differs");
    if (std::memcmp(own_pixels.data(), pixels, bytes) != 0 ||
        (palette_bytes > 0 &&
         std::memcmp(own_palette.data(), palette, palette_bytes) != 0)) {
      fuzz_fail("caller's buffers hold other values");
    }
  }
}

void check_indexes(const uint8_t* pixels, uint64_t count, unsigned limit,
                   const char* what) {
  for (uint64_t i = 0; i < count; ++i) {
    if (pixels[i] >= limit) fuzz_fail(what);
  }
}

void convert_to_four_bits(const BitmapInfo& info, const uint8_t* palette,
                          const uint8_t* pixels) {
  const auto width = static_cast<int32_t>(info.width);
  const auto height = static_cast<int32_t>(info.height);
  const uint64_t count = uint64_t{info.width} * info.height;
  uint8_t* fresh = nullptr;
  const int result = convert_bit_count(width, height, info.bit_count, palette,
                                       pixels, 4, kPalette, &fresh);
  Buffer fresh_owner(fresh);
  if (result != 0) fuzz_fail("conversion refused");
  check_indexes(fresh, count, 16, "index outside the palette");

  std::vector<uint8_t> own(std::max<uint64_t>(count, 1), 0xEE);
  uint8_t* place = own.data();
  if (convert_bit_count(width, height, info.bit_count, palette, pixels, 4,
                        kPalette, &place) != 0 ||
      place != own.data()) {
    fuzz_fail("conversion into the caller's buffer");
  }
  if (std::memcmp(own.data(), fresh, count) != 0) {
    fuzz_fail("the two conversions differ");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  silence_standard_output();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Stream in = open_input(data, size);
  if (in.file == nullptr) return 0;
  BitmapInfo info{};
  uint8_t* palette = nullptr;
  uint8_t* pixels = nullptr;
  const int result = read_bitmap(in.file, &info, &palette, &pixels, 0);
  Buffer palette_owner(palette);
  Buffer pixels_owner(pixels);
  if (result != 0) {
    if (result != -1) fuzz_fail("unexpected failure result");
    return 0;
  }
  if (pixels == nullptr) fuzz_fail("success without pixels");
  const bool indexed = info.bit_count <= 8;
  if (indexed != (palette != nullptr)) fuzz_fail("palette place");
  if (info.bit_count <= 4) {
    check_indexes(pixels, pixel_array_size(info), 1u << info.bit_count,
                  "pixel beyond its bit count");
  }
  read_into_caller_buffers(data, size, info, palette, pixels);
  convert_to_four_bits(info, palette, pixels);
  return 0;
}
