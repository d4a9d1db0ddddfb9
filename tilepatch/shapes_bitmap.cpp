#include "tilepatch/shapes_bitmap.h"

#include <cstdint>
#include <cstdio>
#include <memory>

#include "bitmap/bitmap.h"
#include "bitmap/png.h"
#include "common/file_ptr.h"

namespace tilepatch {

namespace {

struct BitmapBufferFree {
  void operator()(uint8_t* buffer) const noexcept { free_bitmap_buffer(buffer); }
};

using BitmapBuffer = std::unique_ptr<uint8_t, BitmapBufferFree>;

// The reader may hand back a buffer even when it fails; taking both places
// over in one spot means every return path below releases them.
struct LoadedBitmap {
  BitmapInfo info;
  BitmapBuffer palette;
  BitmapBuffer pixels;
};

// Reads the whole file into bitmap. 0 or -1 after the messages.
int read_whole_bitmap(std::FILE* file, const char* path, LoadedBitmap* bitmap) {
  uint8_t* palette = nullptr;
  uint8_t* pixels = nullptr;
  const int result = read_bitmap(file, &bitmap->info, &palette, &pixels, 0);
  bitmap->palette.reset(palette);
  bitmap->pixels.reset(pixels);
  if (result < 0) {
    std::printf("error: read bitmap '%s'\n", path);
    return -1;
  }
  return 0;
}

bool fits_sheet(const BitmapInfo& info) {
  return info.width == SHAPE_SHEET_WIDTH && info.height >= SHAPE_SHEET_HEIGHT;
}

void say_size_error(const char* path) {
  std::printf("error: bmp size error '%s'\n", path);
}

// Reads the signature when the file starts with one and says so. Otherwise
// the stream is left at its start for the BMP reader: only the first byte
// is peeked at and put back, so a pipe reads as before. A file that starts
// like the signature but is none cannot be a BMP either (those begin with
// "BM"): the stream becomes null, which the BMP reader refuses exactly as it
// refuses every other file that is not one.
bool take_png_signature(std::FILE** stream) {
  const int first = std::fgetc(*stream);
  if (first == EOF || std::ungetc(first, *stream) == EOF) return false;
  uint8_t signature[bitmap::PNG_SIGNATURE_SIZE];
  if (first != bitmap::PNG_SIGNATURE[0]) return false;
  if (std::fread(signature, sizeof signature, 1, *stream) == 1 &&
      bitmap::is_png_signature(signature)) {
    return true;
  }
  *stream = nullptr;
  return false;
}

// The top of a PNG as 24-bit pixels, which then take the same path as a
// 24-bit BMP. 0 or -1 after the message.
int read_png_sheet(std::FILE* file, const char* path, LoadedBitmap* bitmap) {
  uint8_t* pixels = nullptr;
  const int result = bitmap::read_png(file, path, SHAPE_SHEET_WIDTH,
                                      SHAPE_SHEET_HEIGHT, &pixels);
  if (result == bitmap::PNG_WRONG_SIZE) say_size_error(path);
  if (result < 0) return -1;
  bitmap->pixels.reset(pixels);
  bitmap->info.width = SHAPE_SHEET_WIDTH;
  bitmap->info.height = SHAPE_SHEET_HEIGHT;
  bitmap->info.bit_count = 24;
  return 0;
}

}  // namespace

int load_shapes_bitmap(ShapeSheet* sheet, const char* path) {
  LoadedBitmap bitmap;
  {
    common::FilePtr file = common::open_file(path, "rb");
    if (!file) {
      std::printf("error: open '%s'\n", path);
      return -1;
    }
    std::FILE* stream = file.get();
    const int read = take_png_signature(&stream)
                         ? read_png_sheet(stream, path, &bitmap)
                         : read_whole_bitmap(stream, path, &bitmap);
    if (read < 0) return -1;
  }

  if (!fits_sheet(bitmap.info)) {
    say_size_error(path);
    return -1;
  }

  // The reader stores the top row first, so converting the first 256 rows
  // takes the top of a taller picture. The sheet is the target itself.
  uint8_t* target = sheet->pixels;
  const int bits = bitmap.info.bit_count;
  if (convert_bit_count(SHAPE_SHEET_WIDTH, SHAPE_SHEET_HEIGHT, bits,
                        bitmap.palette.get(), bitmap.pixels.get(), 4,
                        shape_match_palette, &target) < 0) {
    std::printf("error: convert bit count '%s' %d->4\n", path, bits);
    return -1;
  }
  return 0;
}

}  // namespace tilepatch
