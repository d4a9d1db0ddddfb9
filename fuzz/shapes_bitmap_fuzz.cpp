// Fuzzes the loader of the edited shapes bitmap: the file is written as it
// came and loaded into a sheet that starts out full of values no load may
// leave; every accepted file must give a sheet of colours 0 to 7 only.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "tilepatch/shapes_bitmap.h"

namespace {

ShapeSheet sheet;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  silence_standard_output();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ScratchDir dir;
  const std::string path = dir / "shapes.bmp";
  if (!write_whole_file(path, data, size)) fuzz_fail("cannot write", path);
  std::memset(sheet.pixels, 0xFF, sizeof sheet.pixels);
  if (tilepatch::load_shapes_bitmap(&sheet, path.c_str()) != 0) return 0;
  for (int i = 0; i < SHAPE_SHEET_BYTES; ++i) {
    if (sheet.pixels[i] > 7) {
      fuzz_fail("sheet value above 7 at", std::to_string(i));
    }
  }
  return 0;
}
