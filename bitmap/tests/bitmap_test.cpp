#include "bitmap/bitmap.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "common/file_ptr.h"
#include "support/run_program.h"

namespace {

common::FilePtr stream_of(const Bytes& b = {}) {
  common::FilePtr f(std::tmpfile());
  std::fwrite(b.data(), 1, b.size(), f.get());
  std::rewind(f.get());
  return f;
}

Bytes bytes_of(std::FILE* f) {
  std::fflush(f);
  const long end = std::ftell(f);
  Bytes out(static_cast<size_t>(end));
  std::rewind(f);
  out.resize(std::fread(out.data(), 1, out.size(), f));
  return out;
}

Bytes make_file(uint32_t w, uint32_t h, uint16_t bits, const uint8_t* palette, const Bytes& px) {
  BitmapInfo info;
  EXPECT_EQ(create_bitmap_header(&info, w, h, bits), 0);
  common::FilePtr f = stream_of();
  EXPECT_EQ(write_bitmap(f.get(), &info, palette, px.data()), 0);
  return bytes_of(f.get());
}

// Entry i is blue i, green i + 1, red i + 2.
Bytes ramp(int n) {
  Bytes p;
  for (int i = 0; i < n; ++i) p.insert(p.end(), {uint8_t(i), uint8_t(i + 1), uint8_t(i + 2), 0});
  return p;
}

const Bytes header_256x256x4 = {0x42, 0x4D, 0x76, 0x80, 0, 0, 0, 0, 0, 0, 0x76, 0, 0, 0, 40, 0, 0, 0, 0, 1, 0, 0,
                                0, 1, 0, 0, 1, 0, 4, 0, 0, 0, 0, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                0, 0, 0, 0, 0, 0, 0};

TEST(Bitmap, HeaderCreationAndChecks) {
  const struct { uint32_t w, h; uint16_t bits; int result; uint32_t offset, image_size; } cases[] = {
      {9, 2, 1, 0, 62, 8}, {3, 3, 8, 0, 1078, 12}, {5, 2, 24, 0, 54, 32}, {2, 1, 16, 0, 54, 4},
      {4, 1073741554u, 8, 0, 1078, 0xFFFFFFFEu - 1078}, {1, 1, 2, -1, 0, 0}, {0x80000000u, 1, 8, -1, 0, 0}, {1, 0x80000000u, 8, -1, 0, 0},
      {4, 1073741555u, 8, -1, 0, 0}, {70000, 70000, 1, -1, 0, 0},  // rows fit, pixel array does not
  };
  for (const auto& c : cases) {
    BitmapInfo info;
    ASSERT_EQ(create_bitmap_header(&info, c.w, c.h, c.bits), c.result) << c.w << "x" << c.h;
    if (c.result != 0) continue;
    EXPECT_EQ(std::vector<uint32_t>({info.data_offset, info.image_size, info.file_size}),
              std::vector<uint32_t>({c.offset, c.image_size, c.offset + c.image_size}));
    EXPECT_EQ(captured([&] { EXPECT_EQ(check_bitmap_header(&info), 0); }), "");
  }
  EXPECT_EQ(create_bitmap_header(nullptr, 1, 1, 8) + check_bitmap_header(nullptr), -2);
  const int32_t sizes[] = {bitmap_row_size(9, 1), bitmap_row_size(3, 4), bitmap_row_size(5, 24),
                           bitmap_row_size(1, 2), bitmap_row_size(-1, 8), bitmap_row_size(0x7FFFFFFF, 32)};
  EXPECT_EQ(std::vector<int32_t>(sizes, sizes + 6), (std::vector<int32_t>{4, 4, 16, -1, -1, -1}));
  // Every field is set, whatever the record held.
  BitmapInfo info;
  std::memset(static_cast<void*>(&info), 0xA5, sizeof info);
  ASSERT_EQ(create_bitmap_header(&info, 256, 256, 4), 0);
  common::FilePtr f = stream_of();
  ASSERT_EQ(write_bitmap_header(f.get(), &info), 0);
  EXPECT_EQ(bytes_of(f.get()), header_256x256x4);
  EXPECT_EQ(write_bitmap_header(nullptr, &info) + write_bitmap_header(f.get(), nullptr), -2);

  // Each row changes a valid 256 x 256, 4-bit header.
  const std::string e = "error: check_bitmap_header() - ", w = "warning: check_bitmap_header() - ";
  const std::string fixed = w + "data length is 0 ... corrected: 0x8000\n";
  const struct { void (*change)(BitmapInfo&); int result; std::string output; } checks[] = {
      {[](BitmapInfo& i) { i.image_size = 0, i.file_size = 0; }, 2, fixed + w + "file length is 0\n"},
      {[](BitmapInfo& i) { i.image_size = 0, i.file_size = 0x8077; }, 2, fixed + w + "file length 0x8077 > 0x8076\n"},
      {[](BitmapInfo& i) { i.file_size = 0x8075; }, -1, e + "file length 0x8075 < 0x8076\n"},
      {[](BitmapInfo& i) { i.header_size = 124; }, -1, e + "not supported header type - support only Windows V3\n"},
      {[](BitmapInfo& i) { i.planes = 2; }, -1, ""},
      {[](BitmapInfo& i) { i.compression = 1; }, -1, e + "not support compression\n"},
      {[](BitmapInfo& i) { i.bit_count = 15; }, -1, e + "unknown bit count\n"},
      {[](BitmapInfo& i) { i.data_offset = 0x4E; }, -1, e + "offset size 0x4E != 0x76\n"},
      {[](BitmapInfo& i) { i.image_size = 0x7FFF; }, -1, e + "data length 0x7FFF != 0x8000\n"},
      {[](BitmapInfo& i) { i.height = 0xFFFFFF00u; }, -1, e + "illegal image size 256 x 4294967040\n"},
  };
  for (const auto& c : checks) {
    ASSERT_EQ(create_bitmap_header(&info, 256, 256, 4), 0);
    c.change(info);
    EXPECT_EQ(captured([&] { EXPECT_EQ(check_bitmap_header(&info), c.result); }), c.output);
  }
  EXPECT_EQ(info.image_size, 0x8000u);  // corrected
}

// Rows bottom-up, packed, padded to four; the palette in full (zeros if none).
TEST(Bitmap, WritesRowsPackedAndPadded) {
  const struct { uint32_t w, h; uint16_t bits; Bytes pixels, rows; } cases[] = {
      {10, 2, 1, {0, 5, 0, 1, 0, 0, 0, 0, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1}, {0x80, 0x40, 0, 0, 0x50, 0xC0, 0, 0}},
      {3, 2, 4, {0x1, 0x2, 0x13, 0xF, 0x0, 0xA}, {0xF0, 0xA0, 0, 0, 0x12, 0x30, 0, 0}},
      {5, 1, 8, {1, 2, 3, 4, 5}, {1, 2, 3, 4, 5, 0, 0, 0}},
      {3, 1, 16, {1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6, 0, 0}},
      {1, 2, 24, {1, 2, 3, 4, 5, 6}, {4, 5, 6, 0, 1, 2, 3, 0}},
      {1, 2, 32, {1, 2, 3, 4, 5, 6, 7, 8}, {5, 6, 7, 8, 1, 2, 3, 4}},
  };
  const Bytes palette = ramp(256);
  for (const auto& c : cases) {
    for (const bool with_palette : {true, false}) {
      const Bytes file = make_file(c.w, c.h, c.bits, with_palette ? palette.data() : nullptr, c.pixels);
      const std::size_t n = c.bits <= 8 ? std::size_t{4} << c.bits : 0;
      Bytes expected = with_palette ? Bytes(palette.begin(), palette.begin() + n) : Bytes(n, 0);
      EXPECT_EQ(Bytes(file.begin() + 54, file.end()), expected + c.rows) << c.bits;
    }
  }
}

TEST(Bitmap, WriteRefusalsAndFailures) {
  const Bytes pixels(256 * 256, 3), palette = ramp(256);
  BitmapInfo info, odd;
  ASSERT_EQ(create_bitmap_header(&info, 256, 256, 4), 0);
  common::FilePtr f = stream_of();
  const auto write = [&](const BitmapInfo& i) { return write_bitmap(f.get(), &i, nullptr, pixels.data()); };
  EXPECT_EQ(write_bitmap(nullptr, &info, nullptr, pixels.data()), -1);
  EXPECT_EQ(write_bitmap(f.get(), nullptr, nullptr, pixels.data()), -1);
  EXPECT_EQ(write_bitmap(f.get(), &info, nullptr, nullptr), -1);
  odd = info, odd.bit_count = 2;
  EXPECT_EQ(write(odd), -1);
  odd = info, odd.width = 0x80000000u;
  EXPECT_EQ(write(odd), -1);
  EXPECT_TRUE(bytes_of(f.get()).empty());
  // Count 1 is a palette; 0, 257, a missing stream or palette are refused.
  for (const auto rw : {write_bitmap_palette, +[](std::FILE* s, const uint8_t* p, int n) {
                          return read_bitmap_palette(s, const_cast<uint8_t*>(p), n);
                        }}) {
    EXPECT_EQ(std::tuple(rw(f.get(), palette.data(), 0), rw(f.get(), palette.data(), 257),
                         rw(nullptr, palette.data(), 2), rw(f.get(), nullptr, 2)), std::tuple(-1, -1, -1, -1));
  }
  f = stream_of();
  EXPECT_EQ(write_bitmap_palette(f.get(), palette.data(), 1), 0);
  EXPECT_EQ(write_bitmap_palette(f.get(), palette.data(), 256), 0);
  EXPECT_EQ(bytes_of(f.get()), Bytes(palette.begin(), palette.begin() + 4) + palette);
  Bytes entry(4);
  std::rewind(f.get());
  EXPECT_EQ(read_bitmap_palette(f.get(), entry.data(), 1), 0);
  EXPECT_EQ(entry, Bytes(palette.begin(), palette.begin() + 4));
  // Room for part of the file only, unbuffered: each part fails in turn.
  const struct { uint32_t w, h; uint16_t bits; size_t room; bool palette; std::string part; } rooms[] = {
      {256, 256, 4, 53, true, "bitmap header"}, {256, 256, 4, 117, true, "palette"}, {256, 256, 4, 117, false, "palette"},
      {256, 256, 4, 118 + 0x7FFF, true, "bitmap data"}, {16, 2, 1, 62, true, "bitmap data"},
      {1, 2, 24, 56, true, "bitmap data"}, {1, 2, 24, 57, true, "bitmap data"}};
  for (const auto& r : rooms) {
    ASSERT_EQ(create_bitmap_header(&odd, r.w, r.h, r.bits), 0);
    std::vector<char> space(r.room);
    common::FilePtr small(::fmemopen(space.data(), r.room, "wb"));
    std::setvbuf(small.get(), nullptr, _IONBF, 0);
    EXPECT_EQ(captured([&] { EXPECT_EQ(write_bitmap(small.get(), &odd, r.palette ? palette.data() : nullptr, pixels.data()), -1); }),
              "error: write_bitmap() - can't write " + r.part + "\n") << r.room;
  }
  std::vector<char> ten(10);  // the header and palette writers say so themselves
  common::FilePtr tiny(::fmemopen(ten.data(), ten.size(), "wb"));
  std::setvbuf(tiny.get(), nullptr, _IONBF, 0);
  EXPECT_EQ(std::pair(write_bitmap_header(tiny.get(), &info), write_bitmap_palette(tiny.get(), palette.data(), 16)),
            std::pair(-1, -1));
}

struct Buffers {
  uint8_t *palette = nullptr, *pixels = nullptr;
  ~Buffers() { free_bitmap_buffer(palette), free_bitmap_buffer(pixels); }
};

// read_bitmap's result and lines.
std::string read_from(std::FILE* f, Buffers* b, bool want_palette) {
  BitmapInfo info;
  int result = 0;
  const std::string out = captured([&] { result = read_bitmap(f, &info, want_palette ? &b->palette : nullptr, &b->pixels, 0); });
  return std::to_string(result) + " " + out;
}

// A header promising more than the file holds fails before any allocation;
// a pipe cannot be measured, so there a cut shows up while reading.
TEST(Bitmap, ReadFailures) {
  Bytes huge = make_file(4, 2, 4, nullptr, Bytes(8));  // made 30000 x 30000, 8 bits
  put_le32(put_le32(&huge[18], 30000), 30000), put_le16(&huge[28], 8), put_le32(&huge[10], 1078);
  put_le32(&huge[34], 900000000), put_le32(&huge[2], 900001078), huge.resize(1078 + 4);
  const Bytes small = make_file(4, 3, 8, nullptr, Bytes(12, 1));
  const std::string header = "-1 error: read_bitmap() - can't read bitmap header\n";
  const std::string palette = "-1 error: read_bitmap() - can't read palette\n";
  const std::string data = "-1 error: read_bitmap() - can't read bitmap data\n";
  const struct { Bytes file; bool want_palette; std::string output; } cases[] = {
      {Bytes(small.begin(), small.begin() + 53), true, header}, {Bytes(small.begin(), small.begin() + 54), true, palette},
      {with(small, 0, 'X', 1), true, header}, {with(small, 1, 'X', 1), true, header},
      {Bytes(huge.begin(), huge.begin() + 1077), true, palette},
      {Bytes(huge.begin(), huge.begin() + 1077), false, data},
      {Bytes(huge.begin(), huge.begin() + 1078), true, data},
      {Bytes(small.begin(), small.end() - 1), false, data},
  };
  for (const auto& c : cases) {
    Buffers b;
    common::FilePtr in = stream_of(c.file);
    EXPECT_EQ(read_from(in.get(), &b, c.want_palette), c.output);
    EXPECT_EQ(b.pixels, nullptr) << c.output;
  }
  for (const auto& [cut, want_palette, output] : {std::tuple{100, true, palette}, {100, false, data}, {1085, true, data}}) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(::write(fds[1], small.data(), cut), cut);
    ::close(fds[1]);
    common::FilePtr f(::fdopen(fds[0], "rb"));
    Buffers b;
    EXPECT_EQ(read_from(f.get(), &b, want_palette), output);
  }
  BitmapInfo info;
  EXPECT_EQ(read_bitmap(nullptr, nullptr, nullptr, nullptr, 0), -3);
  ASSERT_EQ(create_bitmap_header(&info, 4, 3, 8), 0);
  uint8_t* place = nullptr;
  for (const auto& [w, bits] : {std::pair{4u, 2}, {0x80000000u, 8}}) {
    BitmapInfo odd = info;
    odd.width = w, odd.bit_count = static_cast<uint16_t>(bits);
    common::FilePtr in = stream_of(small);
    EXPECT_EQ(captured([&] { EXPECT_EQ(read_bitmap(in.get(), &odd, nullptr, &place, 1), -1); }), header.substr(3));
  }
}

// Into reader buffers, then into caller buffers after the header, no palette.
TEST(Bitmap, ReadsBackWhatItWrote) {
  std::mt19937 random(7);
  const Bytes palette = ramp(256);
  for (uint16_t bits : {1, 4, 8, 16, 24, 32}) {
    for (uint32_t width : {1u, 3u, 8u, 9u, 17u}) {
      Bytes pixels(std::size_t{(bits + 7u) / 8u} * width * 3);
      const uint32_t limit = bits == 1 ? 2 : bits == 4 ? 16 : 256;
      for (auto& p : pixels) p = static_cast<uint8_t>(random() % limit);
      const Bytes file = make_file(width, 3, bits, palette.data(), pixels);
      Buffers b;
      common::FilePtr f = stream_of(file);
      ASSERT_EQ(read_from(f.get(), &b, true), "0 ");
      EXPECT_EQ(Bytes(b.pixels, b.pixels + pixels.size()), pixels) << bits << " " << width;
      const std::size_t n = bits <= 8 ? std::size_t{4} << bits : 0;
      EXPECT_EQ(Bytes(b.palette, b.palette + n), Bytes(palette.begin(), palette.begin() + n));
      BitmapInfo info;
      Bytes mine(pixels.size()), mine_palette(n);
      uint8_t *place = mine.data(), *palette_place = mine_palette.data();
      f = stream_of(file);
      ASSERT_EQ(read_bitmap_header(f.get(), &info), 0);
      ASSERT_EQ(read_bitmap(f.get(), &info, bits == 4 ? &palette_place : nullptr, &place, 1), 0);
      EXPECT_EQ(mine, pixels);
      EXPECT_TRUE(bits != 4 || mine_palette == Bytes(palette.begin(), palette.begin() + 64));
    }
  }
}

TEST(Bitmap, ConvertsBetweenDepths) {
  // Cube corners (bit 0 blue, bit 1 red, bit 2 green), then eight blacks.
  Bytes cube = {0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 0, 255, 0, 255, 0,
                0, 255, 0, 0, 255, 255, 0, 0, 0, 255, 255, 0, 255, 255, 255, 0};
  cube.resize(64, 0);
  Bytes dup = cube;  // entry 5 repeats entry 2 (red)
  std::copy_n(cube.begin() + 8, 4, dup.begin() + 20);
  Bytes eight = {1, 2, 3, 0, 4, 5, 6, 0, 255, 128, 8, 0};
  eight.resize(1024, 0);
  const Bytes none;
  const struct {
    int32_t width, from_bits;
    const Bytes& from_palette;
    Bytes source;
    int32_t to_bits;
    const Bytes& to_palette;
    Bytes expected;
  } cases[] = {
      // Duplicates go to the lowest index; a 4-bit index keeps its low nibble.
      {4, 4, dup, {2, 5, 9, 0x17}, 4, dup, {2, 2, 0, 7}},
      {4, 1, none, {0, 1, 5, 0}, 4, cube, {0, 7, 7, 0}},
      {3, 8, eight, {2, 0, 1}, 24, none, {255, 128, 8, 1, 2, 3, 4, 5, 6}},
      {1, 8, eight, {2}, 16, none, {0x1F, 0x06}},
      {3, 16, none, {0xFF, 0x7F, 0x1F, 0x00, 0x21, 0x04}, 24, none, {255, 255, 255, 255, 0, 0, 8, 8, 8}},
      {2, 24, none, {1, 2, 3, 5, 6, 7}, 32, none, {1, 2, 3, 0, 5, 6, 7, 0}},
      {1, 16, none, {0x34, 0x92}, 16, none, {0x34, 0x92}},
      {3, 24, none, {0, 0, 250, 240, 250, 10, 1, 1, 1}, 4, cube, {2, 5, 0}},
  };
  for (const auto& c : cases) {
    uint8_t* target = nullptr;
    const auto palette = [](const Bytes& p) { return p.empty() ? nullptr : p.data(); };
    ASSERT_EQ(convert_bit_count(c.width, 1, c.from_bits, palette(c.from_palette), c.source.data(),
                                c.to_bits, palette(c.to_palette), &target), 0);
    EXPECT_EQ(Bytes(target, target + c.expected.size()), c.expected) << c.from_bits << ">" << c.to_bits;
    free_bitmap_buffer(target);
  }
  // Exact first, else nearest (unweighted), ties to the lowest index.
  const Bytes near = {0, 0, 40, 0, 0, 39, 0, 0, 9, 9, 9, 0, 9, 9, 9, 0, 0, 0, 0, 0};
  EXPECT_EQ(find_nearest_color(0, 0, 0, near.data(), 5), 4);
  EXPECT_EQ(find_nearest_color(0, 0, 0, near.data(), 2), 1);
  EXPECT_EQ(find_nearest_color(9, 9, 8, near.data(), 4), 2);
  EXPECT_EQ(find_nearest_color(9, 9, 8, nullptr, 4), 0);
  // Refused for a size or a source that cannot be, before there is a target.
  const Bytes px(16, 1);
  uint8_t* target = nullptr;
  EXPECT_EQ(convert_bit_count(-1, 2, 24, nullptr, px.data(), 24, nullptr, &target), -1);
  EXPECT_EQ(convert_bit_count(2, -1, 24, nullptr, px.data(), 24, nullptr, &target), -1);
  EXPECT_EQ(convert_bit_count(2, 2, 24, nullptr, px.data(), -16, nullptr, &target), -1);
  EXPECT_EQ(convert_bit_count(2, 2, 24, nullptr, nullptr, 24, nullptr, &target), -1);
  EXPECT_EQ(convert_bit_count(2, 2, 24, nullptr, px.data(), 24, nullptr, nullptr), -1);
  EXPECT_EQ(captured([&] { EXPECT_EQ(convert_bit_count(INT32_MAX, INT32_MAX, 24, nullptr, px.data(), 0x7FFFFFF8, nullptr, &target), -2); }),
            "error: memory exhaust!\n");
  EXPECT_EQ(target, nullptr);
  EXPECT_EQ(convert_bit_count(0, 5, 24, nullptr, px.data(), 32, nullptr, &target), 0);
  EXPECT_NE(target, nullptr);
  free_bitmap_buffer(std::exchange(target, nullptr));
  // Refused for depths and palettes once the target is made and zero-filled:
  // a fresh array (the caller's to release) or the given buffer.
  const struct { int32_t from_bits; const uint8_t* from_palette; int32_t to_bits, filled; } refused[] = {
      {2, px.data(), 4, 4}, {24, nullptr, 15, 8}, {8, nullptr, 24, 12}, {24, nullptr, 4, 4}};
  for (const auto& r : refused) {
    Bytes given(16, 0xEE), expected(16, 0xEE);
    std::fill_n(expected.begin(), r.filled, 0);
    uint8_t* place = given.data();
    EXPECT_EQ(convert_bit_count(2, 2, r.from_bits, r.from_palette, px.data(), r.to_bits, nullptr, &target), -1);
    EXPECT_EQ(convert_bit_count(2, 2, r.from_bits, r.from_palette, px.data(), r.to_bits, nullptr, &place), -1);
    EXPECT_EQ(std::pair(Bytes(target, target + r.filled), given), std::pair(Bytes(r.filled, 0), expected)) << r.to_bits;
    free_bitmap_buffer(std::exchange(target, nullptr));
  }
}

// Pictures without rows or columns are built, checked (their data length of
// 0 counts as missing and is "corrected"), written and read like any other.
TEST(Bitmap, EmptyPictures) {
  const std::string corrected = "warning: check_bitmap_header() - data length is 0 ... corrected: 0x0\n";
  for (const auto& [w, h, bits, size] : {std::tuple{7u, 0u, 4, 118u}, {0u, 5u, 24, 54u}, {5u, 0u, 8, 1078u}, {0u, 3u, 1, 62u}}) {
    BitmapInfo info;
    ASSERT_EQ(create_bitmap_header(&info, w, h, static_cast<uint16_t>(bits)), 0);
    EXPECT_EQ(std::pair(info.data_offset, info.file_size), std::pair(size, size));
    const Bytes file = make_file(w, h, static_cast<uint16_t>(bits), nullptr, {});
    EXPECT_EQ(file.size(), size);
    Buffers b;
    common::FilePtr f = stream_of(file);
    EXPECT_EQ(read_from(f.get(), &b, true), "0 " + corrected);
    EXPECT_NE(b.pixels, nullptr);
  }
}

}  // namespace
