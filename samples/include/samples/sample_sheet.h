// The picture that the sample disks carry: every shape shows its number in a
// tiny 3 x 5 font and the initial of its disk on a coloured ground inside a
// border, so that each shape, and the disk it came from, can be told apart
// at a glance and in tests.
#pragma once

#include "shapes/shapes.h"

// The colours of one sample shape.
struct SampleColours {
  uint8_t border;
  uint8_t ground;
  uint8_t ink;  // digits and disk letter
};

// Three-plane shapes use a ground of colour 1 to 7 by shape number, a black
// border and ink that stands out on the ground; the single-plane shapes 96
// to 126 can only hold one colour and are white on black.
SampleColours sample_colours(int shape);

// Draws all 256 shapes into the sheet (every pixel 0 to 7). disk_letter is
// one of Z, K, V, D, F (zorvan, kelmorane, vesto, duskhollow, far haven).
void draw_sample_sheet(ShapeSheet* sheet, char disk_letter);
