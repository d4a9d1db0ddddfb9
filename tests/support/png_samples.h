// PNG files made byte by byte for the tests and fuzz seeds, and the damaged ones every level of the tests tries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

std::string incompressible(size_t n);  // bytes whose deflated size is their own

// One chunk: length, type, data, checksum.
std::string png_chunk(const std::string& type, const std::string& data);

// The signature, IHDR, the given chunks as they stand, one IDAT holding the deflated raw rows (each with its
// filter byte, pass after pass when interlaced), then IEND.
std::string png_file(uint32_t width, uint32_t height, int bit_depth, int colour_type, const std::string& raw,
                     const std::string& chunks = "", bool interlaced = false);

struct BadPng {
  std::string name, bytes, reason;  // the reader's reason; empty for a wrong size
};

// Cut short, checksums broken in IHDR and IDAT, a header of 256 x 2^31 rows, a bomb (a few KiB claiming
// 256 x (2^31 - 1) rows), a long tail of data after the last row, 255 wide, 255 high.
std::vector<BadPng> bad_pngs();
