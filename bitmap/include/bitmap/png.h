// PNG files beside the BMP ones: reading a picture of a given width into the
// 24-bit pixel array layout of bitmap.h, and writing an indexed picture.
//
// Only the picture is used or written: IHDR, PLTE, IDAT and IEND (and tRNS,
// which is read but ignored). Every other chunk is skipped unread apart from
// its checksum; gamma, colour profiles and text have no effect.
//
// Results: 0 for success, -1 for failure, -2 for a failed allocation, and
// PNG_WRONG_SIZE from the reader. Messages go to standard output. Nothing
// throws. Nothing is kept between calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace bitmap {

// The eight bytes every PNG file starts with.
inline constexpr std::size_t PNG_SIGNATURE_SIZE = 8;
inline constexpr uint8_t PNG_SIGNATURE[PNG_SIGNATURE_SIZE] = {
    0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// The tallest picture the reader takes. Every row of a picture is decoded,
// so that damage anywhere in the file is found; this bounds the work a small
// file with a large header can ask for.
inline constexpr uint32_t PNG_MAX_HEIGHT = 8192;

// The reader's result for a picture that is not the size asked for.
inline constexpr int PNG_WRONG_SIZE = -4;

// True when the PNG_SIGNATURE_SIZE bytes are the PNG file signature.
bool is_png_signature(const uint8_t* bytes);

// Reads a PNG file from stream, whose signature has already been read from
// it. The picture must be exactly width pixels wide and from rows to
// PNG_MAX_HEIGHT high; its top rows rows are handed to the caller in *pixels
// (a fresh array, released with free_bitmap_buffer; left alone on failure)
// as width x rows pixels of blue, green, red, the top row first.
//
// Any colour type and bit depth: grey becomes equal red, green and blue
// (1, 2 and 4-bit grey spread over 0 to 255), a palette index its entry's
// colour, a 16-bit sample its high byte. Alpha channels and tRNS are
// ignored: each pixel keeps its colour channels as they are.
//
// Before anything is taken from the file the limits are set: the size test
// comes right after the header, no ancillary chunk is kept, and no block is
// ever allocated from a length in the file, so memory stays within what a
// width x rows picture needs.
//
// Returns 0; PNG_WRONG_SIZE with nothing printed; -1 after one line
// "error: read_png() - 'NAME': REASON" for a damaged, cut short or
// unsupported file; -2 after "error: memory exhaust!".
int read_png(std::FILE* stream, const char* name, uint32_t width,
             uint32_t rows, uint8_t** pixels);

// Writes width x height one-byte palette indexes (top row first, each below
// 2^bit_depth) to stream as an indexed PNG of bit_depth 1, 2, 4 or 8 bits
// whose PLTE holds the 2^bit_depth entries of palette (blue, green, red,
// reserved, as in a BMP). Nothing but IHDR, PLTE, IDAT and IEND is written.
// Returns 0; -1 for bad arguments or after "error: write_png() - REASON"
// when the stream refuses the bytes; -2 after "error: memory exhaust!".
// The caller closes the stream.
int write_png(std::FILE* stream, uint32_t width, uint32_t height,
              int bit_depth, const uint8_t* palette, const uint8_t* pixels);

}  // namespace bitmap
