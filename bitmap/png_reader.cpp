// Reading a PNG picture into the 24-bit pixel array layout, row by row, so
// that memory stays at the rows asked for whatever height the file claims.
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "bitmap/png.h"
#include "png_io.h"
#include "common/alloc.h"

namespace bitmap {

namespace {

using png_io::Context;

// Image data read from the start of the last row on: the rest of that row,
// with room for the reads in pieces of up to 8 KiB that libpng makes.
constexpr std::size_t kTailBytesMax = 32 * 1024;

// Chunks libpng reads whole into memory are refused above this length; with
// every ancillary chunk skipped, none of the chunks it still reads comes near.
constexpr png_alloc_size_t kChunkBytesMax = 64 * 1024;
constexpr png_uint_32 kChunkCacheMax = 16;

// libpng's read and info structures, created and destroyed together.
class ReadStructs {
 public:
  explicit ReadStructs(Context* context)
      : png_(png_create_read_struct_2(PNG_LIBPNG_VER_STRING, context,
                                      png_io::on_error, png_io::on_warning,
                                      context, png_io::allocate,
                                      png_io::release)),
        info_(png_ != nullptr ? png_create_info_struct(png_) : nullptr) {}
  ~ReadStructs() {
    if (png_ != nullptr) png_destroy_read_struct(&png_, &info_, nullptr);
  }
  ReadStructs(const ReadStructs&) = delete;
  ReadStructs& operator=(const ReadStructs&) = delete;

  png_structp png() const { return png_; }
  png_infop info() const { return info_; }

 private:
  png_structp png_;
  png_infop info_;
};

struct FreeBuffer {
  void operator()(uint8_t* buffer) const noexcept { std::free(buffer); }
};

// Where the rows go: the top rows of the picture into the array, every other
// row into the scratch row.
struct Target {
  uint32_t width;
  uint32_t rows;
  uint8_t* pixels;
  uint8_t* scratch;
};

void limit_what_is_kept(png_structp png) {
  // The size test after the header decides alone, with its own message.
  png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
  png_set_chunk_cache_max(png, kChunkCacheMax);
  png_set_chunk_malloc_max(png, kChunkBytesMax);
  // Every chunk but IHDR, PLTE, tRNS, IDAT and IEND is skipped unread.
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
}

// Asks libpng for 8-bit blue, green, red whatever the file holds.
void ask_for_bgr(png_structp png, png_infop info) {
  const int type = png_get_color_type(png, info);
  const int depth = png_get_bit_depth(png, info);
  if (type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if ((type & PNG_COLOR_MASK_COLOR) == 0) {
    if (depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    png_set_gray_to_rgb(png);
  }
  if (depth == 16) png_set_strip_16(png);
  // Also drops the alpha that the palette expansion makes of a tRNS chunk.
  png_set_strip_alpha(png);
  png_set_bgr(png);
}

// The whole read below the jump point: libpng leaves it by longjmp, so
// nothing here may own anything.
int read_unguarded(png_structp png, png_infop info, const Target& target) {
  limit_what_is_kept(png);
  png_set_read_fn(png, png_get_error_ptr(png), png_io::read_bytes);
  png_set_sig_bytes(png, PNG_SIGNATURE_SIZE);
  png_read_info(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (png_get_image_width(png, info) != target.width ||
      height < target.rows || height > PNG_MAX_HEIGHT) {
    return PNG_WRONG_SIZE;
  }
  ask_for_bgr(png, info);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const std::size_t row_bytes = std::size_t{target.width} * 3;
  if (png_get_rowbytes(png, info) != row_bytes) {
    png_error(png, "unexpected row layout");
  }
  // An interlaced picture fills each row over several passes; a row read
  // again receives only the pixels of the new pass.
  Context* context = static_cast<Context*>(png_get_io_ptr(png));
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 y = 0; y < height; ++y) {
      if (pass == passes - 1 && y == height - 1) {
        context->limit_tail = true;
        context->tail_left = kTailBytesMax;
      }
      png_read_row(png,
                   y < target.rows ? target.pixels + y * row_bytes
                                   : target.scratch,
                   nullptr);
    }
  }
  // The rest of the file up to IEND, so that damage after the rows is found.
  png_read_end(png, nullptr);
  return 0;
}

int read_guarded(png_structp png, png_infop info, const Target& target) {
  if (setjmp(png_jmpbuf(png)) != 0) return -1;
  return read_unguarded(png, info, target);
}

}  // namespace

bool is_png_signature(const uint8_t* bytes) {
  return bytes != nullptr &&
         std::memcmp(bytes, PNG_SIGNATURE, PNG_SIGNATURE_SIZE) == 0;
}

int read_png(std::FILE* stream, const char* name, uint32_t width,
             uint32_t rows, uint8_t** pixels) {
  if (stream == nullptr || name == nullptr || pixels == nullptr ||
      width == 0 || rows == 0 || width > PNG_UINT_31_MAX / 3 ||
      rows > PNG_MAX_HEIGHT) {
    return -1;
  }
  const std::size_t row_bytes = std::size_t{width} * 3;
  std::unique_ptr<uint8_t, FreeBuffer> picture(
      static_cast<uint8_t*>(std::malloc(row_bytes * rows)));
  const auto scratch = common::try_make_array_for_overwrite<uint8_t>(row_bytes);
  Context context;
  context.stream = stream;
  const ReadStructs structs(&context);
  if (picture == nullptr || scratch == nullptr || structs.info() == nullptr) {
    std::puts("error: memory exhaust!");
    return -2;
  }
  const Target target = {width, rows, picture.get(), scratch.get()};
  const int result = read_guarded(structs.png(), structs.info(), target);
  if (result == 0) {
    *pixels = picture.release();
  } else if (result == -1 && context.out_of_memory) {
    std::puts("error: memory exhaust!");
    return -2;
  } else if (result == -1) {
    std::printf("error: read_png() - '%s': %s\n", name, context.reason);
  }
  return result;
}

}  // namespace bitmap
