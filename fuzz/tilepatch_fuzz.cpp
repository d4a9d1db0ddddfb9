// Runs the whole tilepatch program in process, patching disk 0 of a two-disk
// file with the lower shapes and disk 1 with the upper ones
// ("-D in.d88 0 1 -1 0 0 -o out.d88 shapes.bmp").
//
// An input that begins with "BM" is the shapes bitmap, put on a fixed pair of
// disks; any other input is the D88 file, patched with a fixed bitmap.
//
// A failed run must leave only the two input files, unchanged. A successful
// one must leave out.d88, which reads back with as many disks as the input,
// is as long as its own layout says (as long as the input when that was laid
// out the writer's way), and decodes to the shapes of the bitmap.
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
#include "fuzz/shape_disks.h"
#include "shapes/shapes.h"
#include "tilepatch/shapes_bitmap.h"
#include "tilepatch/tilepatch.h"

namespace {

struct Image : DiskImage {
  Image() = default;
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  ~Image() { free_d88_image(this, 0); }
};

std::vector<uint8_t> fixed_disk;    // the pair of disks for bitmap inputs
std::vector<uint8_t> fixed_bitmap;  // the bitmap for disk inputs
ShapeSheet fixed_shapes;  // what the fixed bitmap decodes to after a patch
ShapeSheet sheet;         // scratch

// A 256 x 256 4-bit picture that uses all 16 colours.
std::vector<uint8_t> make_fixed_bitmap() {
  static uint8_t pixels[SHAPE_SHEET_BYTES];
  for (int y = 0; y < SHAPE_SHEET_HEIGHT; ++y) {
    for (int x = 0; x < SHAPE_SHEET_WIDTH; ++x) {
      pixels[y * SHAPE_SHEET_WIDTH + x] =
          static_cast<uint8_t>((x / 3 + y / 5 + (x ^ y)) & 15);
    }
  }
  BitmapInfo info;
  char* text = nullptr;
  size_t length = 0;
  std::FILE* stream = open_memstream(&text, &length);
  if (stream == nullptr || create_bitmap_header(&info, 256, 256, 4) != 0 ||
      write_bitmap(stream, &info, shape_palette, pixels) != 0 ||
      std::fclose(stream) != 0) {
    fuzz_fail("cannot make the fixed bitmap");
  }
  std::vector<uint8_t> bytes(text, text + length);
  std::free(text);
  return bytes;
}

// Patches the disks in bytes with the sheet and decodes them again, as the
// program should: the lower shapes from disk 0, the upper from disk 1.
void patch_and_decode(const uint8_t* bytes, size_t size, const ShapeSheet& in,
                      ShapeSheet* out) {
  Image image;
  if (read_d88_image_from_buffer(&image, bytes, static_cast<int32_t>(size)) < 2 ||
      change_shape_data(&in, get_d88_disk(&image, 0), &lower_shape_range) < 0 ||
      change_shape_data(&in, get_d88_disk(&image, 1), &upper_shape_range) < 0) {
    fuzz_fail("a successful run on disks that cannot be patched");
  }
  std::memset(out->pixels, 0, sizeof out->pixels);
  draw_shapes(out, get_d88_disk(&image, 0), &lower_shape_range);
  draw_shapes(out, get_d88_disk(&image, 1), &upper_shape_range);
}

int run_tilepatch(const std::string& disk, const std::string& output,
                  const std::string& bitmap) {
  std::string args[] = {"tilepatch", "--overwrite", "-D", disk, "0",
                        "1",         "-1",          "0",  "0",  "-o",
                        output,      bitmap};
  constexpr int kCount = 12;
  char* argv[kCount + 1];
  for (int i = 0; i < kCount; ++i) argv[i] = args[i].data();
  argv[kCount] = nullptr;
  return tilepatch::tilepatch_main(kCount, argv);
}

// The input image is laid out the writer's way when writing it again gives
// the very same bytes.
bool plain_layout(const DiskImage& image, const std::vector<uint8_t>& bytes) {
  std::unique_ptr<uint8_t[]> again;
  int32_t length = 0;
  return write_d88_image_to_buffer(&image, &again, &length) == 0 &&
         static_cast<size_t>(length) == bytes.size() &&
         std::memcmp(again.get(), bytes.data(), bytes.size()) == 0;
}

void check_output(const std::string& path, const std::vector<uint8_t>& disk,
                  const ShapeSheet& shapes) {
  Image input;
  const int disks = read_d88_image_from_buffer(
      &input, disk.data(), static_cast<int32_t>(disk.size()));
  if (disks < 2) fuzz_fail("success on an image without two disks");

  const std::vector<uint8_t> bytes = read_whole_file(path);
  Image output;
  if (read_d88_image_from_file(&output, path.c_str()) != disks) {
    fuzz_fail("output does not read back with the input's disks");
  }
  if (static_cast<int64_t>(bytes.size()) != get_d88_image_size(&output)) {
    fuzz_fail("output length differs from its layout");
  }
  if (plain_layout(input, disk) && bytes.size() != disk.size()) {
    fuzz_fail("output length differs from the input's");
  }
  std::memset(sheet.pixels, 0, sizeof sheet.pixels);
  if (draw_shapes(&sheet, get_d88_disk(&output, 0), &lower_shape_range) < 0 ||
      draw_shapes(&sheet, get_d88_disk(&output, 1), &upper_shape_range) < 0) {
    fuzz_fail("patched output does not decode");
  }
  if (std::memcmp(sheet.pixels, shapes.pixels, SHAPE_SHEET_BYTES) != 0) {
    fuzz_fail("patched shapes differ from the bitmap's");
  }
}

// The shapes a successful run on this bitmap must leave on the fixed disks.
void expected_for_bitmap(const std::string& bitmap, ShapeSheet* out) {
  static ShapeSheet loaded;
  if (tilepatch::load_shapes_bitmap(&loaded, bitmap.c_str()) != 0) {
    fuzz_fail("a successful run on a bitmap that does not load");
  }
  patch_and_decode(fixed_disk.data(), fixed_disk.size(), loaded, out);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  silence_standard_output();
  fixed_disk = shape_pair_image();
  fixed_bitmap = make_fixed_bitmap();
  if (fixed_disk.empty()) fuzz_fail("cannot make the fixed disks");
  ScratchDir dir;
  const std::string bitmap = dir / "shapes.bmp";
  if (!write_whole_file(bitmap, fixed_bitmap.data(), fixed_bitmap.size()) ||
      tilepatch::load_shapes_bitmap(&sheet, bitmap.c_str()) != 0) {
    fuzz_fail("the fixed bitmap does not load");
  }
  patch_and_decode(fixed_disk.data(), fixed_disk.size(), sheet, &fixed_shapes);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > INT32_MAX) return 0;
  const bool bitmap_input = size >= 2 && data[0] == 'B' && data[1] == 'M';
  const std::vector<uint8_t> input(data, data + size);
  const std::vector<uint8_t>& disk = bitmap_input ? fixed_disk : input;
  const std::vector<uint8_t>& bitmap = bitmap_input ? input : fixed_bitmap;

  ScratchDir dir;
  const std::string disk_path = dir / "in.d88";
  const std::string bitmap_path = dir / "shapes.bmp";
  const std::string output = dir / "out.d88";
  if (!write_whole_file(disk_path, disk.data(), disk.size()) ||
      !write_whole_file(bitmap_path, bitmap.data(), bitmap.size())) {
    fuzz_fail("cannot write the inputs");
  }

  const int status = run_tilepatch(disk_path, output, bitmap_path);
  if (read_whole_file(disk_path) != disk ||
      read_whole_file(bitmap_path) != bitmap) {
    fuzz_fail("an input file changed");
  }
  const std::vector<std::string> entries = dir.entries();
  if (status != 0) {
    if (status != 1) fuzz_fail("exit status", std::to_string(status));
    if (entries != std::vector<std::string>{"in.d88", "shapes.bmp"}) {
      fuzz_fail("a failed run left files behind");
    }
    return 0;
  }
  if (entries != std::vector<std::string>{"in.d88", "out.d88", "shapes.bmp"}) {
    fuzz_fail("a successful run left other files");
  }
  static ShapeSheet expected;
  if (bitmap_input) {
    expected_for_bitmap(bitmap_path, &expected);
  } else {
    expected = fixed_shapes;
  }
  check_output(output, disk, expected);
  return 0;
}
