// Small helpers of the seed generators (plain builds): encoding a bitmap in
// memory with the library's writer and saving a seed file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"

using Bytes = std::vector<uint8_t>;

// The whole BMP file of the pixels, or nothing when the writer refuses them.
inline Bytes encode_bitmap(uint32_t width, uint32_t height, uint16_t bits,
                           const uint8_t* palette, const uint8_t* pixels) {
  BitmapInfo info;
  if (create_bitmap_header(&info, width, height, bits) != 0) return {};
  char* text = nullptr;
  size_t length = 0;
  std::FILE* stream = open_memstream(&text, &length);
  if (stream == nullptr) return {};
  const bool ok = write_bitmap(stream, &info, palette, pixels) == 0;
  const bool closed = std::fclose(stream) == 0;
  Bytes bytes;
  if (ok && closed) bytes.assign(text, text + length);
  std::free(text);
  return bytes;
}

// Writes a seed; an empty one counts as a failure to make it.
inline bool save_seed(const std::string& path, const Bytes& b) {
  if (b.empty()) return false;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
  return std::fclose(f) == 0 && ok;
}
