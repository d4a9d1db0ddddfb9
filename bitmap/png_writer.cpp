// Writing an indexed PNG: IHDR, PLTE, the rows, IEND, and nothing else.
#include <png.h>

#include <cstdio>

#include "bitmap/png.h"
#include "png_io.h"

namespace bitmap {

namespace {

using png_io::Context;

// libpng's write and info structures, created and destroyed together.
class WriteStructs {
 public:
  explicit WriteStructs(Context* context)
      : png_(png_create_write_struct_2(PNG_LIBPNG_VER_STRING, context,
                                       png_io::on_error, png_io::on_warning,
                                       context, png_io::allocate,
                                       png_io::release)),
        info_(png_ != nullptr ? png_create_info_struct(png_) : nullptr) {}
  ~WriteStructs() {
    if (png_ != nullptr) png_destroy_write_struct(&png_, &info_);
  }
  WriteStructs(const WriteStructs&) = delete;
  WriteStructs& operator=(const WriteStructs&) = delete;

  png_structp png() const { return png_; }
  png_infop info() const { return info_; }

 private:
  png_structp png_;
  png_infop info_;
};

struct Picture {
  uint32_t width;
  uint32_t height;
  int bit_depth;
  const uint8_t* palette;
  const uint8_t* pixels;
};

// The whole write below the jump point: libpng leaves it by longjmp, so
// nothing here may own anything.
void write_unguarded(png_structp png, png_infop info, const Picture& p) {
  png_set_write_fn(png, png_get_error_ptr(png), png_io::write_bytes,
                   png_io::flush_nothing);
  png_set_IHDR(png, info, p.width, p.height, p.bit_depth,
               PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_color colors[PNG_MAX_PALETTE_LENGTH];
  const int entries = 1 << p.bit_depth;
  for (int i = 0; i < entries; ++i) {
    const uint8_t* entry = p.palette + 4 * i;
    colors[i] = {entry[2], entry[1], entry[0]};
  }
  png_set_PLTE(png, info, colors, entries);
  png_write_info(png, info);
  if (p.bit_depth < 8) png_set_packing(png);
  for (uint32_t y = 0; y < p.height; ++y) {
    png_write_row(png, p.pixels + std::size_t{y} * p.width);
  }
  png_write_end(png, nullptr);
}

int write_guarded(png_structp png, png_infop info, const Picture& picture) {
  if (setjmp(png_jmpbuf(png)) != 0) return -1;
  write_unguarded(png, info, picture);
  return 0;
}

}  // namespace

int write_png(std::FILE* stream, uint32_t width, uint32_t height,
              int bit_depth, const uint8_t* palette, const uint8_t* pixels) {
  if (stream == nullptr || palette == nullptr || pixels == nullptr ||
      width == 0 || height == 0 || width > PNG_UINT_31_MAX ||
      height > PNG_UINT_31_MAX ||
      (bit_depth != 1 && bit_depth != 2 && bit_depth != 4 && bit_depth != 8)) {
    return -1;
  }
  Context context;
  context.stream = stream;
  const WriteStructs structs(&context);
  if (structs.info() == nullptr) {
    std::puts("error: memory exhaust!");
    return -2;
  }
  const Picture picture = {width, height, bit_depth, palette, pixels};
  if (write_guarded(structs.png(), structs.info(), picture) == 0) return 0;
  if (context.out_of_memory) {
    std::puts("error: memory exhaust!");
    return -2;
  }
  std::printf("error: write_png() - %s\n", context.reason);
  return -1;
}

}  // namespace bitmap
