// Small operations on 1-bit page images.
//
//   rotate_right        a quarter turn clockwise into a new image
//   fill_black          sets a rectangle to black
//   crop_bytes          copies the whole bytes covering a rectangle into a new image
//   paste_bytes         copies one image into another at a byte column and row
//   rotate_small_angle  turns an image in place by a few degrees (two shears)
//
// Images made here own their bits through the C allocator; the caller frees
// them with std::free.  Every operation stays inside its buffers whatever the
// rectangle or position: parts that fall outside are left out.
//
// The quarter turn moves 8 x 8 tiles: the two nibbles of each source byte
// index tables that spread their bits to one bit position of four bytes, and
// the or-ed words of the eight rows of a tile are the tile's eight turned
// bytes.  The small-angle turn is a vertical shear of byte columns followed
// by a horizontal shear of rows, both with whole-byte moves and bit shifts,
// so it needs no second buffer.
#pragma once

#include "layout/records.h"

struct BytePos {
  int x = 0;  // pixels
  int y = 0;  // rows
};

short rotate_right(const ImageDesc* src, ImageDesc* dst);
void fill_black(ImageDesc* image, const Rect16* rect);
short crop_bytes(const ImageDesc* src, const Rect16* rect, ImageDesc* dst);
short paste_bytes(const ImageDesc* src, ImageDesc* dst, BytePos pos);
void rotate_small_angle(ImageDesc* image, double degrees);
