#include "png_io.h"

#include <cstdlib>

namespace bitmap::png_io {

namespace {

constexpr png_uint_32 kIdat = 0x49444154;  // "IDAT"

Context* error_context(png_structp png) {
  return static_cast<Context*>(png_get_error_ptr(png));
}

Context* io_context(png_structp png) {
  return static_cast<Context*>(png_get_io_ptr(png));
}

}  // namespace

void on_error(png_structp png, png_const_charp message) {
  Context* context = error_context(png);
  std::snprintf(context->reason, sizeof context->reason, "%s", message);
  png_longjmp(png, 1);
}

void on_warning(png_structp, png_const_charp) {}

png_voidp allocate(png_structp png, png_alloc_size_t size) {
  void* block = std::malloc(size);
  if (block == nullptr) {
    static_cast<Context*>(png_get_mem_ptr(png))->out_of_memory = true;
  }
  return block;
}

void release(png_structp, png_voidp block) { std::free(block); }

void read_bytes(png_structp png, png_bytep data, std::size_t length) {
  Context* context = io_context(png);
  if (context->limit_tail && (png_get_io_state(png) & PNG_IO_CHUNK_DATA) != 0 &&
      png_get_io_chunk_type(png) == kIdat) {
    if (length > context->tail_left) {
      png_error(png, "too much image data after the last row");
    }
    context->tail_left -= length;
  }
  std::FILE* stream = context->stream;
  if (std::fread(data, 1, length, stream) != length) {
    png_error(png, std::ferror(stream) ? "read error" : "file is cut short");
  }
}

void write_bytes(png_structp png, png_bytep data, std::size_t length) {
  if (std::fwrite(data, 1, length, io_context(png)->stream) != length) {
    png_error(png, "can't write data");
  }
}

void flush_nothing(png_structp) {}

}  // namespace bitmap::png_io
