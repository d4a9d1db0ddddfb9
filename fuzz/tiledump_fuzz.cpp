// Runs the whole tiledump program in process on a fuzzed D88 file that holds
// both disks ("-D in.d88 0 1"). A failed run must leave the directory as it
// found it; a successful one must leave a complete 256 x 256, 4-bit bitmap
// with the shape palette whose pixels are the shapes the library decodes
// from the same bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "d88/d88.h"
#include "fuzz/fuzz_support.h"
#include "shapes/shapes.h"
#include "tiledump/tiledump.h"

namespace {

constexpr uint32_t kBitmapFileSize = 54 + 64 + 128 * 256;  // 32,886

ShapeSheet expected;

struct Image : DiskImage {
  Image() = default;
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  ~Image() { free_d88_image(this, 0); }
};

struct Freer {
  void operator()(uint8_t* buffer) const noexcept { free_bitmap_buffer(buffer); }
};

int run_tiledump(const std::string& disk, const std::string& output) {
  std::string args[] = {"tiledump", "--overwrite", "-D", disk, "0", "1", output};
  char* argv[8];
  for (int i = 0; i < 7; ++i) argv[i] = args[i].data();
  argv[7] = nullptr;
  return tiledump::tiledump_main(7, argv);
}

// The sheet decoded straight from the bytes, the way the program should.
void decode_expected(const uint8_t* data, size_t size) {
  Image image;
  if (read_d88_image_from_buffer(&image, data, static_cast<int32_t>(size)) < 2) {
    fuzz_fail("success on an image without two disks");
  }
  std::memset(expected.pixels, 0, sizeof expected.pixels);
  if (draw_shapes(&expected, get_d88_disk(&image, 0), &lower_shape_range) < 0 ||
      draw_shapes(&expected, get_d88_disk(&image, 1), &upper_shape_range) < 0) {
    fuzz_fail("success although the shapes do not decode");
  }
}

void check_bitmap(const std::string& path, const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes = read_whole_file(path);
  if (bytes.size() != kBitmapFileSize) {
    fuzz_fail("bitmap length", std::to_string(bytes.size()));
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) fuzz_fail("cannot open the bitmap");
  BitmapInfo info{};
  uint8_t* palette = nullptr;
  uint8_t* pixels = nullptr;
  const int result = read_bitmap(file, &info, &palette, &pixels, 0);
  std::fclose(file);
  std::unique_ptr<uint8_t, Freer> palette_owner(palette);
  std::unique_ptr<uint8_t, Freer> pixels_owner(pixels);
  if (result != 0 || info.width != 256 || info.height != 256 ||
      info.bit_count != 4 || info.file_size != kBitmapFileSize) {
    fuzz_fail("bitmap not a 256 x 256 4-bit file");
  }
  if (std::memcmp(palette, shape_palette, sizeof shape_palette) != 0) {
    fuzz_fail("bitmap palette");
  }
  decode_expected(data, size);
  if (std::memcmp(pixels, expected.pixels, SHAPE_SHEET_BYTES) != 0) {
    fuzz_fail("bitmap pixels differ from the decoded shapes");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  silence_standard_output();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > INT32_MAX) return 0;
  ScratchDir dir;
  const std::string disk = dir / "in.d88";
  const std::string output = dir / "out.bmp";
  if (!write_whole_file(disk, data, size)) fuzz_fail("cannot write", disk);

  const int status = run_tiledump(disk, output);
  if (read_whole_file(disk) != std::vector<uint8_t>(data, data + size)) {
    fuzz_fail("the disk file changed");
  }
  const std::vector<std::string> entries = dir.entries();
  if (status != 0) {
    if (status != 1) fuzz_fail("exit status", std::to_string(status));
    if (entries != std::vector<std::string>{"in.d88"}) {
      fuzz_fail("a failed run left files behind");
    }
    return 0;
  }
  if (entries != std::vector<std::string>{"in.d88", "out.bmp"}) {
    fuzz_fail("a successful run left other files");
  }
  check_bitmap(output, data, size);
  return 0;
}
