#include "png_io.h"

#include <cstdlib>

namespace bitmap::png_io {

namespace {

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
  std::FILE* stream = io_context(png)->stream;
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
