#include "samples/sample_sheet.h"

#include <cstring>

namespace {

// Glyphs of 5 rows of 3 pixels; bit 2 of a row is its left pixel.
struct Glyph {
  char symbol;
  uint8_t rows[5];
};

const Glyph kGlyphs[] = {
    {'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}}, {'2', {7, 1, 7, 4, 7}},
    {'3', {7, 1, 3, 1, 7}}, {'4', {5, 5, 7, 1, 1}}, {'5', {7, 4, 7, 1, 7}},
    {'6', {7, 4, 7, 5, 7}}, {'7', {7, 1, 2, 2, 2}}, {'8', {7, 5, 7, 5, 7}},
    {'9', {7, 5, 7, 1, 7}}, {'Z', {7, 1, 2, 4, 7}}, {'K', {5, 5, 6, 5, 5}},
    {'V', {5, 5, 5, 5, 2}}, {'D', {6, 5, 5, 5, 6}}, {'F', {7, 4, 6, 4, 4}},
};

const uint8_t* glyph_rows(char symbol) {
  for (const Glyph& glyph : kGlyphs) {
    if (glyph.symbol == symbol) return glyph.rows;
  }
  return kGlyphs[0].rows;
}

uint8_t* shape_pixel(ShapeSheet* sheet, int shape, int x, int y) {
  const int row = (shape / 16) * 16 + y;
  const int column = (shape % 16) * 16 + x;
  return &sheet->pixels[row * SHAPE_SHEET_WIDTH + column];
}

void draw_glyph(ShapeSheet* sheet, int shape, int left, int top, char symbol,
                uint8_t ink) {
  const uint8_t* rows = glyph_rows(symbol);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 3; ++x) {
      if ((rows[y] >> (2 - x)) & 1)
        *shape_pixel(sheet, shape, left + x, top + y) = ink;
    }
  }
}

void draw_shape(ShapeSheet* sheet, int shape, char disk_letter) {
  const SampleColours colours = sample_colours(shape);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const bool edge = x == 0 || y == 0 || x == 15 || y == 15;
      *shape_pixel(sheet, shape, x, y) = edge ? colours.border : colours.ground;
    }
  }
  const char digits[3] = {static_cast<char>('0' + shape / 100),
                          static_cast<char>('0' + shape / 10 % 10),
                          static_cast<char>('0' + shape % 10)};
  for (int k = 0; k < 3; ++k) {
    draw_glyph(sheet, shape, 2 + 4 * k, 2, digits[k], colours.ink);
  }
  draw_glyph(sheet, shape, 6, 9, disk_letter, colours.ink);
}

}  // namespace

SampleColours sample_colours(int shape) {
  if (shape >= 96 && shape <= 126) return {7, 0, 7};
  const uint8_t ground = static_cast<uint8_t>(1 + shape % 7);
  // Blue, red and magenta are dark: white ink; the rest take black ink.
  const uint8_t ink = ground <= 3 ? 7 : 0;
  return {0, ground, ink};
}

void draw_sample_sheet(ShapeSheet* sheet, char disk_letter) {
  std::memset(sheet->pixels, 0, sizeof sheet->pixels);
  for (int shape = 0; shape < 256; ++shape) {
    draw_shape(sheet, shape, disk_letter);
  }
}
