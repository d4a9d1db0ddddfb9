#include <strings.h>

#include <cstdio>
#include <cstring>

#include "bitmap/bitmap.h"
#include "bitmap/png.h"
#include "common/cli.h"
#include "common/output_file.h"
#include "export.h"

namespace tiledump {

namespace {

// A name that ends in ".png", in any case, asks for a PNG file.
bool names_png(const char* path) {
  const std::size_t length = std::strlen(path);
  return length >= 4 && strcasecmp(path + length - 4, ".png") == 0;
}

}  // namespace

int write_bitmap_file(const char* path, int32_t width, int32_t height,
                      const uint8_t* pixels, const uint8_t* palette,
                      uint16_t bit_count, int overwrite) {
  BitmapInfo info;
  const bool png = names_png(path);
  if (width < 0 || height < 0 ||
      create_bitmap_header(&info, static_cast<uint32_t>(width),
                           static_cast<uint32_t>(height), bit_count) < 0 ||
      (png && bit_count > 8)) {
    std::puts("error: create bitmap header");
    return -1;
  }
  // Asked before anything is opened, so a refusal leaves no trace.
  if (overwrite == 0 && common::ask_overwrite(path) == 0) return -1;

  // The bytes go to a temporary file that replaces the target only once
  // every write, the flush and the close have succeeded; on any failure the
  // OutputFile removes it and an existing file stays as it was.
  common::OutputFile out;
  const int opened = out.open(path);
  if (opened == -2) std::puts("error: memory exhaust!");
  if (opened != 0) {
    std::printf("error: open '%s'\n", path);
    return -1;
  }
  const int written =
      png ? bitmap::write_png(out.stream(), info.width, info.height, bit_count,
                              palette, pixels)
          : write_bitmap(out.stream(), &info, palette, pixels);
  if (written < 0 || out.commit() != 0) {
    std::printf("error: write bitmap '%s'\n", path);
    return -1;
  }
  return 0;
}

}  // namespace tiledump
