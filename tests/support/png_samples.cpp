#include "support/png_samples.h"

#include <zlib.h>

namespace {

std::string be32(uint32_t v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }

}  // namespace

std::string incompressible(size_t n) {
  std::string s(n, '\0');
  uint32_t x = 2463534242u;
  for (char& c : s) x ^= x << 13, x ^= x >> 17, x ^= x << 5, c = char(x);
  return s;
}

std::string png_chunk(const std::string& type, const std::string& data) {
  const std::string body = type + data;
  const auto crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size());
  return be32(uint32_t(data.size())) + body + be32(uint32_t(crc));
}

std::string png_file(uint32_t width, uint32_t height, int bit_depth, int colour_type, const std::string& raw,
                     const std::string& chunks, bool interlaced) {
  uLongf size = compressBound(raw.size());
  std::string idat(size, '\0');
  compress2(reinterpret_cast<Bytef*>(idat.data()), &size, reinterpret_cast<const Bytef*>(raw.data()), raw.size(), 9);
  idat.resize(size);
  const std::string ihdr = be32(width) + be32(height) + char(bit_depth) + char(colour_type) + std::string(2, '\0') +
                           char(interlaced);
  return "\x89PNG\r\n\x1A\n" + png_chunk("IHDR", ihdr) + chunks + png_chunk("IDAT", idat) + png_chunk("IEND", "");
}

std::vector<BadPng> bad_pngs() {
  const std::string rows(256 * 769, '\0');  // 256 x 256, 8-bit RGB, black
  const std::string good = png_file(256, 256, 8, 2, rows);
  std::string ihdr_crc = good, idat_crc = good;
  ihdr_crc[29] ^= 1;
  idat_crc[good.size() - 13] ^= 1;
  return {
      {"cut", good.substr(0, good.size() / 2), "file is cut short"},
      {"ihdr-crc", ihdr_crc, "IHDR: CRC error"},
      {"idat-crc", idat_crc, "IDAT: CRC error"},
      {"2^31-rows", png_file(256, 1u << 31, 8, 2, rows), "PNG unsigned integer out of range"},
      {"bomb", png_file(256, 0x7FFFFFFF, 16, 6, std::string(1 << 22, '\0')), ""},
      {"long-tail", png_file(256, 256, 8, 2, rows + incompressible(100000)), "too much image data after the last row"},
      {"255-wide", png_file(255, 256, 8, 2, std::string(256 * 766, '\0')), ""},
      {"255-high", png_file(256, 255, 8, 2, std::string(255 * 769, '\0')), ""},
  };
}
