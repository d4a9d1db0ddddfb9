#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "bitmap/tests/test_util.h"

namespace {

constexpr const char* kHeaderLine =
    "error: read_bitmap() - can't read bitmap header\n";
constexpr const char* kPaletteLine = "error: read_bitmap() - can't read palette\n";
constexpr const char* kDataLine = "error: read_bitmap() - can't read bitmap data\n";

// Reader-allocated buffers, released at the end of the test.
struct Buffers {
  uint8_t* palette = nullptr;
  uint8_t* pixels = nullptr;
  ~Buffers() {
    free_bitmap_buffer(palette);
    free_bitmap_buffer(pixels);
  }
};

struct ReadResult {
  int result;
  std::string output;
};

ReadResult read_from(std::FILE* f, BitmapInfo* info, Buffers* b,
                     bool want_palette = true) {
  ReadResult r{};
  r.output = captured([&] {
    r.result = read_bitmap(f, info, want_palette ? &b->palette : nullptr,
                           &b->pixels, 0);
  });
  return r;
}

ReadResult read_bytes(const Bytes& file, BitmapInfo* info, Buffers* b,
                      bool want_palette = true) {
  FilePtr f = scratch_stream(file);
  return read_from(f.get(), info, b, want_palette);
}

// A 4 x 2, 4-bit file: 54 + 64 palette bytes, then two rows of 4 bytes.
Bytes small_file() {
  const Bytes palette = ramp_palette(16);
  return bitmap_file(4, 2, 4, palette.data(), Bytes{1, 2, 3, 4, 5, 6, 7, 8});
}

struct FailureCase {
  const char* name;
  void (*change)(Bytes&);
  int result;
  std::string output;
};

TEST(ReadBitmap, FailuresAndTheirLines) {
  const FailureCase cases[] = {
      {"53 bytes", [](Bytes& b) { b.resize(53); }, -1, kHeaderLine},
      {"empty", [](Bytes& b) { b.clear(); }, -1, kHeaderLine},
      {"wrong magic", [](Bytes& b) { b[1] = 'X'; }, -1, kHeaderLine},
      {"two planes", [](Bytes& b) { set_le16(b, 26, 2); }, -1, kHeaderLine},
      {"V4 header", [](Bytes& b) { set_le32(b, 14, 108); }, -1,
       std::string("error: check_bitmap_header() - not supported header type "
                   "- support only Windows V3\n") + kHeaderLine},
      {"compressed", [](Bytes& b) { set_le32(b, 30, 1); }, -1,
       std::string("error: check_bitmap_header() - not support compression\n") +
           kHeaderLine},
      {"top-down", [](Bytes& b) { set_le32(b, 22, 0xFFFFFFFEu); }, -1,
       std::string("error: check_bitmap_header() - illegal image size 4 x "
                   "4294967294\n") + kHeaderLine},
      {"palette cut", [](Bytes& b) { b.resize(54 + 63); }, -1, kPaletteLine},
      {"rows cut", [](Bytes& b) { b.resize(b.size() - 1); }, -1, kDataLine},
      {"image size 0 is only a warning", [](Bytes& b) { set_le32(b, 34, 0); }, 0,
       "warning: check_bitmap_header() - data length is 0 ... corrected: 0x8\n"},
      {"trailing bytes are only a warning",
       [](Bytes& b) { b.resize(b.size() + 2); set_le32(b, 2, 128); }, 0,
       "warning: check_bitmap_header() - file length 0x80 > 0x7E\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes file = small_file();
    c.change(file);
    BitmapInfo info;
    Buffers b;
    const ReadResult r = read_bytes(file, &info, &b);
    EXPECT_EQ(r.output, c.output);
    EXPECT_EQ(r.result, c.result);
    if (c.result == 0) {
      ASSERT_NE(b.pixels, nullptr);
      EXPECT_EQ(Bytes(b.pixels, b.pixels + 8), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
    }
  }
}

TEST(ReadBitmap, NoPixelPlaceReadsNothing) {
  FilePtr f = scratch_stream(small_file());
  BitmapInfo info;
  EXPECT_EQ(captured([&] {
              EXPECT_EQ(read_bitmap(f.get(), &info, nullptr, nullptr, 0), -3);
            }),
            "");
  EXPECT_EQ(std::ftell(f.get()), 0);
}

// A header that promises more than the file holds is refused before the
// pixel array it describes is allocated.
TEST(ReadBitmap, ShortFilesFailBeforeAllocating) {
  const struct {
    const char* name;
    uint32_t width, height;
    uint16_t bits;
    std::size_t extra;  // bytes after the header
    bool want_palette;
    const char* output;
  } cases[] = {
      {"palette missing", 30000, 30000, 8, 100, true, kPaletteLine},
      {"rows missing", 30000, 30000, 8, 1024, true, kDataLine},
      {"skipped palette missing", 30000, 30000, 8, 100, false, kDataLine},
      {"direct colour", 30000, 30000, 32, 4096, true, kDataLine},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BitmapInfo info;
    ASSERT_EQ(create_bitmap_header(&info, c.width, c.height, c.bits), 0);
    FilePtr f = scratch_stream();
    ASSERT_EQ(write_bitmap_header(f.get(), &info), 0);
    Bytes file = stream_bytes(f.get());
    file.resize(file.size() + c.extra, 0);
    Buffers b;
    const ReadResult r = read_bytes(file, &info, &b, c.want_palette);
    EXPECT_EQ(r.output, c.output);
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(b.pixels, nullptr);
    EXPECT_EQ(b.palette, nullptr);
  }
}

TEST(ReadBitmap, OversizeHeaderIsRefusedQuickly) {
  BitmapInfo info;
  ASSERT_EQ(create_bitmap_header(&info, 4, 4, 32), 0);
  FilePtr f = scratch_stream();
  ASSERT_EQ(write_bitmap_header(f.get(), &info), 0);
  Bytes file = stream_bytes(f.get());
  set_le32(file, 18, 60000);
  set_le32(file, 22, 60000);
  Buffers b;
  const auto start = std::chrono::steady_clock::now();
  const ReadResult r = read_bytes(file, &info, &b);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(r.output,
            std::string("error: check_bitmap_header() - illegal image size "
                        "60000 x 60000\n") + kHeaderLine);
  EXPECT_EQ(r.result, -1);
  EXPECT_EQ(b.pixels, nullptr);
}

// A pipe cannot be measured, so a cut file is read row by row as far as it
// goes; those rows are the bottom of the picture, the end of the array.
TEST(ReadBitmap, PipeCutInsideTheRowsKeepsTheRowsRead) {
  const Bytes pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  Bytes file = bitmap_file(4, 3, 8, nullptr, pixels);
  file.resize(file.size() - 2);
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ASSERT_EQ(::write(fds[1], file.data(), file.size()),
            static_cast<ssize_t>(file.size()));
  ::close(fds[1]);
  FilePtr f(::fdopen(fds[0], "rb"));
  ASSERT_TRUE(f);
  BitmapInfo info;
  Buffers b;
  b.pixels = static_cast<uint8_t*>(std::malloc(12));
  std::memset(b.pixels, 0xEE, 12);
  const ReadResult r = read_from(f.get(), &info, &b, false);
  EXPECT_EQ(r.output, kDataLine);
  EXPECT_EQ(r.result, -1);
  EXPECT_EQ(Bytes(b.pixels, b.pixels + 12),
            (Bytes{0xEE, 0xEE, 0xEE, 0xEE, 5, 6, 7, 8, 9, 10, 11, 12}));
}

struct UnpackCase {
  const char* name;
  uint32_t width;
  uint16_t bits;
  Bytes row;     // one stored row, padded
  Bytes pixels;  // what the array receives
};

TEST(ReadBitmap, UnpacksEveryDepth) {
  const UnpackCase cases[] = {
      {"1 bit, partial byte", 10, 1, {0xA5, 0xC0, 0xFF, 0xFF},
       {1, 0, 1, 0, 0, 1, 0, 1, 1, 1}},
      {"4 bit, odd width drops the last low nibble", 3, 4, {0x12, 0x3F, 9, 9},
       {1, 2, 3}},
      {"8 bit", 3, 8, {7, 8, 9, 0xAA}, {7, 8, 9}},
      {"16 bit", 1, 16, {0x34, 0x12, 0xAA, 0xAA}, {0x34, 0x12}},
      {"24 bit, pad not copied", 5, 24,
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0xAA},
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
      {"32 bit", 2, 32, {1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 4, 5, 6, 7, 8}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BitmapInfo info;
    ASSERT_EQ(create_bitmap_header(&info, c.width, 1, c.bits), 0);
    FilePtr f = scratch_stream();
    ASSERT_EQ(write_bitmap_header(f.get(), &info), 0);
    Bytes file = stream_bytes(f.get());
    file.resize(info.data_offset, 0x11);
    file.insert(file.end(), c.row.begin(), c.row.end());
    Buffers b;
    const ReadResult r = read_bytes(file, &info, &b);
    EXPECT_EQ(r.output, "");
    ASSERT_EQ(r.result, 0);
    EXPECT_EQ(Bytes(b.pixels, b.pixels + c.pixels.size()), c.pixels);
    if (c.bits <= 8) {
      EXPECT_EQ(b.palette[0], 0x11);
    } else {
      EXPECT_EQ(b.palette, nullptr);
    }
  }
}

TEST(ReadBitmap, WithoutPalettePlaceThePaletteIsSkipped) {
  const Bytes palette = ramp_palette(256);
  const Bytes file = bitmap_file(2, 2, 8, palette.data(), Bytes{1, 2, 3, 4});
  ASSERT_EQ(file.size(), 1078u + 8);
  BitmapInfo info;
  Buffers b;
  const ReadResult r = read_bytes(file, &info, &b, false);
  ASSERT_EQ(r.result, 0);
  EXPECT_EQ(Bytes(b.pixels, b.pixels + 4), (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(b.palette, nullptr);
}

TEST(ReadBitmap, FillsCallerBuffersAfterHeaderAlreadyRead) {
  const Bytes palette = ramp_palette(16);
  const Bytes pixels = {1, 2, 3, 4, 5, 6};
  FilePtr f = scratch_stream(bitmap_file(3, 2, 4, palette.data(), pixels));
  BitmapInfo info;
  ASSERT_EQ(read_bitmap_header(f.get(), &info), 0);
  Bytes my_palette(64, 0xEE);
  Bytes my_pixels(6, 0xEE);
  uint8_t* palette_place = my_palette.data();
  uint8_t* pixel_place = my_pixels.data();
  EXPECT_EQ(read_bitmap(f.get(), &info, &palette_place, &pixel_place, 1), 0);
  EXPECT_EQ(palette_place, my_palette.data());
  EXPECT_EQ(pixel_place, my_pixels.data());
  EXPECT_EQ(my_palette, palette);
  EXPECT_EQ(my_pixels, pixels);
}

TEST(ReadBitmap, TallFileKeepsTopRowsFirst) {
  Bytes pixels(256 * 512);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = (i / 256) % 251;
  BitmapInfo info;
  Buffers b;
  ASSERT_EQ(read_bytes(bitmap_file(256, 512, 8, nullptr, pixels), &info, &b).result, 0);
  EXPECT_EQ(Bytes(b.pixels, b.pixels + 65536),
            Bytes(pixels.begin(), pixels.begin() + 65536));
}

TEST(ReadBitmapPalette, CountOutsideOneTo256ReadsNothing) {
  FilePtr f = scratch_stream(ramp_palette(256));
  Bytes palette(1024);
  EXPECT_EQ(read_bitmap_palette(f.get(), palette.data(), 0), -1);
  EXPECT_EQ(read_bitmap_palette(f.get(), palette.data(), 257), -1);
  EXPECT_EQ(std::ftell(f.get()), 0);
  EXPECT_EQ(read_bitmap_palette(f.get(), palette.data(), 256), 0);
  EXPECT_EQ(palette, ramp_palette(256));
  EXPECT_EQ(read_bitmap_palette(f.get(), palette.data(), 1), -1);
}

// Values the writer cannot store (above 1 at 1 bit, above 15 at 4 bits) are
// kept out of the random pictures.
TEST(WriteThenRead, EveryDepthRoundTrips) {
  std::mt19937 random(7);
  for (uint16_t bits : {1, 4, 8, 16, 24, 32}) {
    for (uint32_t width : {1u, 2u, 3u, 7u, 8u, 9u, 17u}) {
      SCOPED_TRACE(std::to_string(bits) + " bits, width " + std::to_string(width));
      const uint32_t height = 3;
      Bytes pixels(static_cast<std::size_t>((bits + 7) / 8) * width * height);
      const uint32_t limit = bits == 1 ? 2 : bits == 4 ? 16 : 256;
      for (auto& p : pixels) p = static_cast<uint8_t>(random() % limit);
      const Bytes palette = ramp_palette(256);
      BitmapInfo info;
      Buffers b;
      const ReadResult r = read_bytes(
          bitmap_file(width, height, bits, palette.data(), pixels), &info, &b);
      EXPECT_EQ(r.output, "");
      ASSERT_EQ(r.result, 0);
      EXPECT_EQ(Bytes(b.pixels, b.pixels + pixels.size()), pixels);
      if (bits <= 8) {
        const std::size_t n = std::size_t{4} << bits;
        EXPECT_EQ(Bytes(b.palette, b.palette + n),
                  Bytes(palette.begin(), palette.begin() + n));
      }
    }
  }
}

}  // namespace
