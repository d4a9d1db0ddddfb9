// The callbacks through which libpng reports to this library, shared by the
// PNG reader and writer only.
//
// libpng leaves a failing call by longjmp back to the setjmp of the frame
// that called it. The callbacks below record why and where the bytes go; the
// frames that set the jump hold no object with a destructor.
#pragma once

#include <png.h>

#include <cstdio>

namespace bitmap::png_io {

// One per read or write, handed to libpng as its error, memory and I/O
// pointer.
struct Context {
  std::FILE* stream = nullptr;
  bool out_of_memory = false;  // an allocation was refused
  char reason[160] = "";       // libpng's message for the failure
  // Set by the reader as the last row starts: the image data that libpng
  // may read from then on. After the last row libpng inflates whatever
  // compressed data is left, only to throw it away; a real encoder ends its
  // stream right there, so a long tail is refused rather than inflated.
  bool limit_tail = false;
  std::size_t tail_left = 0;
};

// Records the message and jumps back; warnings are dropped (a file that
// libpng only warns about is read as libpng reads it).
[[noreturn]] void on_error(png_structp png, png_const_charp message);
void on_warning(png_structp png, png_const_charp message);

// malloc and free, so that a refused allocation is known as such.
png_voidp allocate(png_structp png, png_alloc_size_t size);
void release(png_structp png, png_voidp block);

// Whole reads and writes of the context's stream, failing through on_error;
// reads also keep to the context's tail limit.
void read_bytes(png_structp png, png_bytep data, std::size_t length);
void write_bytes(png_structp png, png_bytep data, std::size_t length);
void flush_nothing(png_structp png);  // the caller flushes and checks

}  // namespace bitmap::png_io
