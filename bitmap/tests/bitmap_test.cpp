#include "bitmap/bitmap.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "common/file_ptr.h"
#include "support/run_program.h"

namespace {

// The bytes as a stream to read: a file, or a pipe (which cannot be measured).
common::FilePtr stream_of(const Bytes& b = {}, bool pipe = false) {
  int fds[2];
  if (pipe && ::pipe(fds) == 0) {
    EXPECT_EQ(::write(fds[1], b.data(), b.size()), ssize_t(b.size()));
    ::close(fds[1]);
    return common::FilePtr(::fdopen(fds[0], "rb"));
  }
  common::FilePtr f(std::tmpfile());
  std::fwrite(b.data(), 1, b.size(), f.get());
  std::rewind(f.get());
  return f;
}

Bytes bytes_of(std::FILE* f) {
  const std::string text = contents(f);
  return {text.begin(), text.end()};
}

// Entry i is blue i, green i + 1, red i + 2.
const Bytes palette = [] {
  Bytes p;
  for (int i = 0; i < 256; ++i) p.insert(p.end(), {uint8_t(i), uint8_t(i + 1), uint8_t(i + 2), 0});
  return p;
}();

TEST(Bitmap, HeaderCreationAndChecks) {
  EXPECT_EQ(std::vector<int32_t>({bitmap_row_size(9, 1), bitmap_row_size(3, 4), bitmap_row_size(5, 24),
                                  bitmap_row_size(0, 8), bitmap_row_size(1, 2), bitmap_row_size(-1, 8),
                                  bitmap_row_size(0x7FFFFFFF, 32)}),
            std::vector<int32_t>({4, 4, 16, 0, -1, -1, -1}));
  // Every field is set whatever the record held, written in its place and read back into every field.
  BitmapInfo info, back;
  std::memset(static_cast<void*>(&info), 0xA5, sizeof info);
  std::memset(static_cast<void*>(&back), 0x5A, sizeof back);
  ASSERT_EQ(create_bitmap_header(&info, 256, 256, 4), 0);
  common::FilePtr f = stream_of();
  ASSERT_EQ(write_bitmap_header(f.get(), &info), 0);
  EXPECT_EQ(bytes_of(f.get()), Bytes({0x42, 0x4D, 0x76, 0x80, 0, 0, 0, 0, 0, 0, 0x76, 0, 0, 0, 40, 0, 0, 0, 0, 1, 0, 0, 0,
                                      1, 0, 0, 1, 0, 4, 0, 0, 0, 0, 0, 0, 0x80, 0, 0}) + Bytes(16));
  std::rewind(f.get());
  ASSERT_EQ(read_bitmap_header(f.get(), &back), 0);
  EXPECT_EQ(std::memcmp(&back, &info, sizeof info), 0);
  // Refused: no record or stream, 2 bits, a side of 2^31, a file or pixel array past 4 GiB.
  EXPECT_EQ(std::vector<int>({create_bitmap_header(nullptr, 1, 1, 8), check_bitmap_header(nullptr),
                              write_bitmap_header(nullptr, &info), write_bitmap_header(f.get(), nullptr),
                              read_bitmap_header(nullptr, &info), read_bitmap_header(f.get(), nullptr),
                              create_bitmap_header(&back, 1, 1, 2), create_bitmap_header(&back, 0x80000000u, 1, 8),
                              create_bitmap_header(&back, 1, 0x80000000u, 8), create_bitmap_header(&back, 70000, 70000, 1),
                              create_bitmap_header(&back, 4, 1073741555u, 8), create_bitmap_header(&back, 4, 1073741554u, 8)}),
            std::vector<int>({-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0}));
  // Each row changes a valid 256 x 256, 4-bit header.
  const std::string e = "error: check_bitmap_header() - ", w = "warning: check_bitmap_header() - ";
  const std::string fixed = w + "data length is 0 ... corrected: 0x8000\n";
  const struct { void (*change)(BitmapInfo&); Outcome expected; } checks[] = {
      {[](BitmapInfo& i) { i.image_size = 0, i.file_size = 0; }, {2, fixed + w + "file length is 0\n"}},
      {[](BitmapInfo& i) { i.image_size = 0, i.file_size = 0x8077; }, {2, fixed + w + "file length 0x8077 > 0x8076\n"}},
      {[](BitmapInfo& i) { i.file_size = 0x8075; }, {-1, e + "file length 0x8075 < 0x8076\n"}},
      {[](BitmapInfo& i) { i.header_size = 124; }, {-1, e + "not supported header type - support only Windows V3\n"}},
      {[](BitmapInfo& i) { i.planes = 2; }, {-1, ""}},
      {[](BitmapInfo& i) { i.compression = 1; }, {-1, e + "not support compression\n"}},
      {[](BitmapInfo& i) { i.bit_count = 15; }, {-1, e + "unknown bit count\n"}},
      {[](BitmapInfo& i) { i.data_offset = 0x4E; }, {-1, e + "offset size 0x4E != 0x76\n"}},
      {[](BitmapInfo& i) { i.image_size = 0x7FFF; }, {-1, e + "data length 0x7FFF != 0x8000\n"}},
      {[](BitmapInfo& i) { i.height = 0xFFFFFF00u; }, {-1, e + "illegal image size 256 x 4294967040\n"}}};
  for (const auto& c : checks) {
    ASSERT_EQ(create_bitmap_header(&info, 256, 256, 4), 0);
    c.change(info);
    EXPECT_EQ(outcome([&] { return check_bitmap_header(&info); }), c.expected);
  }
  EXPECT_EQ(info.image_size, 0x8000u);  // corrected
}

// The file write_bitmap makes of a picture.
Bytes file_of(uint32_t w, uint32_t h, uint16_t bits, const uint8_t* pixels, const uint8_t* colours = nullptr) {
  BitmapInfo info;
  common::FilePtr f = stream_of();
  EXPECT_EQ(create_bitmap_header(&info, w, h, bits), 0);
  EXPECT_EQ(write_bitmap(f.get(), &info, colours, pixels), 0);
  return bytes_of(f.get());
}

struct Buffers {
  uint8_t *palette = nullptr, *pixels = nullptr;
  ~Buffers() { free_bitmap_buffer(palette), free_bitmap_buffer(pixels); }
};

// read_bitmap's result and lines, into the buffers it makes.
Outcome read_from(std::FILE* f, Buffers* b, bool want_palette) {
  BitmapInfo info;
  return outcome([&] { return read_bitmap(f, &info, want_palette ? &b->palette : nullptr, &b->pixels, 0); });
}

// Rows bottom-up, packed, padded to four; the palette in full (zeros if none). Read back, the palette skipped when
// there was none. A picture without rows or columns has a data length of 0, which counts as missing and is "corrected".
TEST(Bitmap, WritesAndReadsBack) {
  const struct { uint32_t w, h; uint16_t bits; Bytes pixels, rows; } cases[] = {
      {10, 2, 1, {0, 5, 0, 1, 0, 0, 0, 0, 1, 1, 1, 0, 0, 0, 0, 0, 0, 1, 0, 1}, {0x81, 0x40, 0, 0, 0x50, 0xC0, 0, 0}},
      {7, 2, 4, {1, 3, 0x13, 0xF, 1, 0xA, 5, 2, 0, 0, 0, 0, 0, 0xC}, {0x20, 0, 0, 0xC0, 0x13, 0x3F, 0x1A, 0x50}},
      {2, 1, 4, {1, 0xE}, {0x1E, 0, 0, 0}}, {5, 1, 8, {1, 2, 3, 4, 5}, {1, 2, 3, 4, 5, 0, 0, 0}},
      {3, 1, 16, {1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6, 0, 0}}, {1, 2, 24, {1, 2, 3, 4, 5, 6}, {4, 5, 6, 0, 1, 2, 3, 0}},
      {1, 2, 32, {1, 2, 3, 4, 5, 6, 7, 8}, {5, 6, 7, 8, 1, 2, 3, 4}},
      {7, 0, 4, {}, {}}, {0, 5, 24, {}, {}}, {5, 0, 8, {}, {}}, {0, 3, 1, {}, {}}};
  for (const auto& c : cases) {
    const size_t n = c.bits <= 8 ? size_t{4} << c.bits : 0;
    Bytes back = c.pixels;  // what 1 and 4 bits hold of each value
    for (uint8_t& v : back) v = static_cast<uint8_t>(c.bits == 1 ? v != 0 : c.bits == 4 ? v & 15 : v);
    const std::string warning =
        c.rows.empty() ? "warning: check_bitmap_header() - data length is 0 ... corrected: 0x0\n" : "";
    for (const bool given : {true, false}) {
      const Bytes file = file_of(c.w, c.h, c.bits, c.pixels.data(), given ? palette.data() : nullptr);
      const Bytes stored = given ? Bytes(palette.begin(), palette.begin() + n) : Bytes(n);
      EXPECT_EQ(Bytes(file.begin() + 54, file.end()), stored + c.rows) << c.bits;
      Buffers b;
      EXPECT_EQ(read_from(stream_of(file).get(), &b, given), Outcome(0, warning));
      EXPECT_EQ(std::pair(Bytes(b.palette, b.palette + (given ? n : 0)), Bytes(b.pixels, b.pixels + back.size())),
                std::pair(given ? stored : Bytes(), back));
    }
  }
}

TEST(Bitmap, WriteRefusalsAndFailures) {
  const Bytes pixels(256 * 256, 3);
  const uint8_t *p = palette.data(), *px = pixels.data();
  BitmapInfo info, odd, wide;
  ASSERT_EQ(create_bitmap_header(&info, 256, 256, 4), 0);
  odd = info, odd.bit_count = 2;
  wide = info, wide.width = 0x80000000u;
  // Refused before anything is written; a palette has 1 to 256 entries.
  common::FilePtr f = stream_of();
  Bytes entry(1024);
  EXPECT_EQ(std::vector<int>({write_bitmap(nullptr, &info, nullptr, px), write_bitmap(f.get(), nullptr, nullptr, px),
                              write_bitmap(f.get(), &info, nullptr, nullptr), write_bitmap(f.get(), &odd, nullptr, px),
                              write_bitmap(f.get(), &wide, nullptr, px), write_bitmap_palette(f.get(), p, 0),
                              write_bitmap_palette(f.get(), p, 257), write_bitmap_palette(nullptr, p, 2),
                              write_bitmap_palette(f.get(), nullptr, 2), read_bitmap_palette(f.get(), entry.data(), 0),
                              read_bitmap_palette(f.get(), entry.data(), 257), read_bitmap_palette(nullptr, entry.data(), 2),
                              read_bitmap_palette(f.get(), nullptr, 2)}),
            std::vector<int>(13, -1));
  EXPECT_EQ(std::vector<int>({write_bitmap_palette(f.get(), p + 8, 1), (std::rewind(f.get()), 0),  // a single entry
                              read_bitmap_palette(f.get(), entry.data(), 1), std::memcmp(entry.data(), p + 8, 4)}),
            std::vector<int>(4, 0));
  // Room for part of the file only (an unbuffered stream): each part fails in turn.
  const struct { uint32_t w, h; uint16_t bits; size_t room; bool palette; std::string part; } rooms[] = {
      {256, 256, 4, 53, true, "bitmap header"}, {256, 256, 4, 117, true, "palette"}, {256, 256, 4, 117, false, "palette"},
      {256, 256, 4, 118 + 0x7FFF, true, "bitmap data"}, {32, 2, 1, 62, true, "bitmap data"},
      {1, 2, 24, 56, true, "bitmap data"}, {1, 2, 24, 57, true, "bitmap data"}};
  std::vector<char> space;
  const auto room_for = [&](size_t size) {
    space.resize(size);
    f.reset(::fmemopen(space.data(), size, "wb"));
    std::setvbuf(f.get(), nullptr, _IONBF, 0);
  };
  for (const auto& r : rooms) {
    ASSERT_EQ(create_bitmap_header(&odd, r.w, r.h, r.bits), 0);
    room_for(r.room);
    EXPECT_EQ(outcome([&] { return write_bitmap(f.get(), &odd, r.palette ? p : nullptr, px); }),
              Outcome(-1, "error: write_bitmap() - can't write " + r.part + "\n")) << r.room;
  }
  room_for(10);  // the header and palette writers say so themselves
  EXPECT_EQ(std::pair(write_bitmap_header(f.get(), &info), write_bitmap_palette(f.get(), p, 16)), std::pair(-1, -1));
}

// A header promising more than the file holds fails before any allocation; a pipe cannot be measured, so there a cut
// shows up while reading.
TEST(Bitmap, ReadFailures) {
  const Bytes four = file_of(4, 3, 8, Bytes(12, 1).data());
  const Bytes tall = with(with(with(four, 22, 30000), 34, 120000), 2, 121078);  // 4 x 30000
  const auto first = [](const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + n); };
  const Outcome header = {-1, "error: read_bitmap() - can't read bitmap header\n"},
                no_palette = {-1, "error: read_bitmap() - can't read palette\n"},
                data = {-1, "error: read_bitmap() - can't read bitmap data\n"};
  const struct { Bytes file; bool want_palette, pipe; Outcome expected; } cases[] = {
      {first(four, 53), true, false, header}, {with(four, 0, 'X', 1), true, false, header},
      {with(four, 1, 'X', 1), true, false, header}, {first(four, 54), true, false, no_palette},
      {first(tall, 1077), true, false, no_palette}, {first(four, 1089), false, false, data},
      {first(tall, 1077), false, false, data}, {tall, true, false, data}, {first(four, 100), true, true, no_palette},
      {first(four, 100), false, true, data}, {first(four, 1089), true, true, data}};
  for (const auto& c : cases) {
    Buffers b;
    EXPECT_EQ(read_from(stream_of(c.file, c.pipe).get(), &b, c.want_palette), c.expected);
    EXPECT_TRUE(c.pipe || b.pixels == nullptr);
  }
  EXPECT_EQ(read_bitmap(nullptr, nullptr, nullptr, nullptr, 0), -3);
  // A header handed in is held to the same limits, and measured against the stream from where it stands.
  BitmapInfo info;
  ASSERT_EQ(create_bitmap_header(&info, 4, 3, 8), 0);
  for (const auto& [w, bits, expected] : {std::tuple{4u, 2, header}, {0x80000000u, 8, header}, {4u, 8, data}}) {
    BitmapInfo odd = info;
    odd.width = w, odd.bit_count = static_cast<uint16_t>(bits);
    uint8_t* place = nullptr;
    common::FilePtr f = stream_of(Bytes(four.begin() + 54, four.end() - 1));  // from its palette on, cut short
    EXPECT_EQ(outcome([&] { return read_bitmap(f.get(), &odd, nullptr, &place, 1); }), expected);
    EXPECT_EQ(place, nullptr);
  }
}

TEST(Bitmap, ConvertsBetweenDepths) {
  // Cube corners (bit 0 blue, bit 1 red, bit 2 green), then eight blacks.
  const Bytes cube = Bytes({0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 0, 255, 0, 255, 0,
                            0, 255, 0, 0, 255, 255, 0, 0, 0, 255, 255, 0, 255, 255, 255, 0}) + Bytes(32);
  const Bytes dup = with(cube, 20, 0xFF0000);  // entry 5 repeats entry 2 (red)
  const Bytes eight = Bytes({1, 2, 3, 0, 4, 5, 6, 0, 255, 128, 200, 0}) + Bytes(1012);
  const Bytes white0_red255 = with(with(Bytes(1024), 0, 0xFFFFFF), 1020, 0xFF0000);
  const Bytes past2 = with(Bytes(1024), 8, 0x010203), past16 = with(Bytes(1024), 64, 0x010203);  // past 1, 4 bits
  const Bytes none;
  const struct { int32_t width, from_bits; const Bytes& from_palette; Bytes source; int32_t to_bits; const Bytes& to_palette;
                 Bytes expected; } cases[] = {
      // Duplicates go to the lowest index; a 4-bit index keeps its low nibble.
      {4, 4, dup, {2, 5, 9, 0x17}, 4, dup, {2, 2, 0, 7}}, {4, 1, none, {0, 1, 5, 0}, 4, cube, {0, 7, 7, 0}},
      {2, 1, none, {0, 1}, 24, none, {0, 0, 0, 255, 255, 255}}, {2, 8, white0_red255, {0, 255}, 4, cube, {7, 2}},
      {3, 8, eight, {2, 0, 1}, 24, none, {255, 128, 200, 1, 2, 3, 4, 5, 6}}, {1, 8, eight, {2}, 16, none, {0x1F, 0x66}},
      {3, 16, none, {0xFF, 0x7F, 0x1F, 0x00, 0x21, 0x04}, 24, none, {255, 255, 255, 255, 0, 0, 8, 8, 8}},
      {2, 24, none, {1, 2, 3, 5, 6, 7}, 32, none, {1, 2, 3, 0, 5, 6, 7, 0}},
      {1, 16, none, {0x34, 0x92}, 16, none, {0x34, 0x92}},
      {3, 24, none, {0, 0, 250, 240, 250, 10, 1, 1, 1}, 4, cube, {2, 5, 0}}, {1, 24, none, {3, 2, 1}, 4, past16, {0}},
      {3, 24, none, {255, 255, 255, 0, 0, 255, 0, 0, 0}, 8, white0_red255, {0, 255, 1}},  // black in every block
      {2, 24, none, {3, 2, 1, 250, 250, 250}, 1, none, {0, 1}}, {1, 24, none, {3, 2, 1}, 1, past2, {0}}};
  uint8_t* target = nullptr;
  const auto or_null = [](const Bytes& p) { return p.empty() ? nullptr : p.data(); };
  for (const auto& c : cases) {  // into a fresh array, and into a buffer whose bytes past the picture stay
    Bytes given(c.expected.size() + 4, 0xEE);
    uint8_t* place = given.data();
    for (uint8_t** to : {&target, &place}) {
      ASSERT_EQ(convert_bit_count(c.width, 1, c.from_bits, or_null(c.from_palette), c.source.data(), c.to_bits,
                                  or_null(c.to_palette), to), 0);
    }
    EXPECT_EQ(std::pair(Bytes(target, target + c.expected.size()), given),
              std::pair(c.expected, c.expected + Bytes(4, 0xEE))) << c.from_bits << ">" << c.to_bits;
    free_bitmap_buffer(std::exchange(target, nullptr));
  }
  // Exact first, else nearest (unweighted), ties to the lowest index.
  const Bytes near = {0, 0, 40, 0, 0, 39, 0, 0, 9, 9, 9, 0, 9, 9, 9, 0, 0, 0, 0, 0, 8, 9, 9, 0};
  EXPECT_EQ(std::vector<int>({find_nearest_color(0, 0, 0, near.data(), 5), find_nearest_color(0, 0, 0, near.data(), 2),
                              find_nearest_color(9, 9, 8, near.data(), 4), find_nearest_color(9, 9, 8, near.data(), 6),
                              find_nearest_color(9, 9, 8, nullptr, 4), find_nearest_color(9, 9, 9, near.data() + 4, 0)}),
            std::vector<int>({4, 1, 2, 5, 0, 0}));
  // Sizes and sources that cannot be are refused before there is a target (filled -1); pictures without pixels get an
  // array; depths and palettes are refused once the target is made and zero-filled, a fresh array (the caller's to
  // release) or the given buffer.
  const uint8_t* px = cube.data();
  const Outcome refused = {-1, ""};
  const struct { int32_t w, h, from_bits; const uint8_t* source; int32_t to_bits; Outcome expected; int filled; } edges[] = {
      {-1, 2, 24, px, 24, refused, -1}, {2, -1, 24, px, 24, refused, -1}, {2, 2, 24, px, -16, refused, -1},
      {2, 2, 24, nullptr, 24, refused, -1}, {0, 5, 24, px, 32, {0, ""}, 0}, {5, 0, 24, px, 32, {0, ""}, 0},
      {1 << 18, 1 << 18, 24, px, 0x7FFFFFF9, {-2, "error: memory exhaust!\n"}, -1},  // 2^36 pixels of 2^28 bytes
      {2, 2, 2, px, 1, refused, 4}, {2, 2, 24, px, 15, refused, 8}, {2, 2, 24, px, 0, refused, 0},
      {2, 2, 8, px, 24, refused, 12}, {2, 2, 24, px, 4, refused, 4}};
  for (const auto& r : edges) {
    Bytes given(16, 0xEE), expected(16, 0xEE);
    const int filled = std::max(r.filled, 0);
    std::fill_n(expected.begin(), filled, 0);
    uint8_t* place = given.data();
    for (uint8_t** to : {&target, &place}) {
      EXPECT_EQ(outcome([&] { return convert_bit_count(r.w, r.h, r.from_bits, nullptr, r.source, r.to_bits, nullptr, to); }),
                r.expected) << r.w << " " << r.to_bits;
    }
    EXPECT_EQ(std::tuple(target != nullptr, Bytes(target, target + filled), given),
              std::tuple(r.filled >= 0, Bytes(filled, 0), expected)) << r.w << " " << r.to_bits;
    free_bitmap_buffer(std::exchange(target, nullptr));
  }
}

}  // namespace
