#pragma once
// Cutting pieces of a 1-bit engine image for the readers and the patterns.
//
//   clipToImage        a rectangle clipped to the image, or empty
//   greyCrop           a piece as an 8-bit grey Pix (ink 0) with a white border,
//                      enlarged when it is small, as Tesseract reads best
//   inkBounds          the bounding box of the ink inside a rectangle
//
// Grey rather than 1-bit on purpose: Tesseract takes a 1-bit image's set
// bits as paper, the opposite of our images, and scales grey images better.

#include <memory>

#include "recognition/cut_lattice.h"
#include "recognition/recognition_engine.h"

struct Pix;

namespace recognition {

struct PixDeleter {
  void operator()(Pix* pix) const;
};
using PixPtr = std::unique_ptr<Pix, PixDeleter>;

CharRect clipToImage(const EngineImage& image, const CharRect& rect);

// `scale` is the factor the piece was enlarged by (1 or more).
struct GreyPiece {
  PixPtr pix;
  int scale = 1;
  int border = 0;
};
// `border` white pixels (before enlarging) around the piece, then every pixel
// enlarged to `scale` x `scale`.
GreyPiece greyCrop(const EngineImage& image, const CharRect& rect, int border, int scale);
// The smallest whole factor (1-8) that makes `size` pixels at least `wanted`.
int enlargementFor(int size, int wanted);

// The ink's bounding box inside `rect` (clipped); empty when there is no ink.
CharRect inkBounds(const EngineImage& image, const CharRect& rect);

inline bool inkAt(const EngineImage& image, int x, int y) {
  return (image.bits[static_cast<std::size_t>(y) * image.bytesPerRow + (x >> 3)] >> (7 - (x & 7))) & 1;
}

}  // namespace recognition
