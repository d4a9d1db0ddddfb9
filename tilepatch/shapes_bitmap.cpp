#include "tilepatch/shapes_bitmap.h"

#include <cstdint>
#include <cstdio>
#include <memory>

#include "bitmap/bitmap.h"
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

}  // namespace

int load_shapes_bitmap(ShapeSheet* sheet, const char* path) {
  LoadedBitmap bitmap;
  {
    common::FilePtr file = common::open_file(path, "rb");
    if (!file) {
      std::printf("error: open '%s'\n", path);
      return -1;
    }
    if (read_whole_bitmap(file.get(), path, &bitmap) < 0) return -1;
  }

  if (!fits_sheet(bitmap.info)) {
    std::printf("error: bmp size error '%s'\n", path);
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
