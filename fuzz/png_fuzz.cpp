// Fuzzes the PNG reader. The input is a PNG file, or just the bytes that
// follow the signature, so that mutations of the signature are not wasted.
// Every run must end in one of the documented results, with the pixel array
// handed over exactly when the read succeeds; a successful read's array is
// read through once so that the sanitizers see every byte of it.
#include <cstdint>
#include <cstdio>
#include <string>

#include "bitmap/bitmap.h"
#include "bitmap/png.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  silence_standard_output();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= bitmap::PNG_SIGNATURE_SIZE && bitmap::is_png_signature(data)) {
    data += bitmap::PNG_SIGNATURE_SIZE;
    size -= bitmap::PNG_SIGNATURE_SIZE;
  }
  if (size == 0) return 0;  // fmemopen refuses an empty buffer
  std::FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (stream == nullptr) fuzz_fail("cannot open the input");
  uint8_t* pixels = nullptr;
  const int result = bitmap::read_png(stream, "fuzz.png", 256, 256, &pixels);
  std::fclose(stream);
  if (result != 0 && result != -1 && result != bitmap::PNG_WRONG_SIZE) {
    fuzz_fail("unexpected result", std::to_string(result));
  }
  if ((result == 0) != (pixels != nullptr)) {
    fuzz_fail("pixel array handed over on result", std::to_string(result));
  }
  unsigned sum = 0;
  for (size_t i = 0; pixels != nullptr && i < 256 * 256 * 3; ++i) sum += pixels[i];
  free_bitmap_buffer(pixels);
  return static_cast<int>(sum & 0);
}
