#pragma once
// Renders one line of text into a 1-bit image, for recognition fixtures: a
// thin wrapper over the page renderer (tests/support/page_renderer.h).
//
//   renderTextLine      a horizontal or vertical line in Noto Sans / Serif CJK JP
//   LineImage::pgm      the image as a PGM file, for looking at a failing case
//
// Shaping goes through HarfBuzz so that vertical lines get the vertical glyph
// forms (、。「」ー turned and placed as in print); glyphs are rasterised by
// FreeType with anti-aliasing and thresholded at half grey, as a scanner's
// binarisation would.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

enum class FixtureFont { Sans, Serif };

struct LineImage {
  int width = 0;                    // pixels
  int height = 0;
  int dpi = 0;
  int bytesPerRow = 0;              // rows padded to 16 bits
  std::vector<std::uint8_t> bits;   // 1 = ink, bit 7 leftmost
  // The text line: the ink's bounding box (inclusive), the margin around it white.
  int lineLeft = 0, lineTop = 0, lineRight = -1, lineBottom = -1;

  bool pixel(int x, int y) const {
    return (bits[static_cast<std::size_t>(y) * bytesPerRow + x / 8] >> (7 - x % 8)) & 1;
  }
  std::string pgm() const;
};

// `pointSize` at `dpi`; `margin` white pixels on every side of the ink.
// Returns an empty image (width 0) when the font cannot be loaded.
LineImage renderTextLine(std::string_view utf8, FixtureFont font, int pointSize, int dpi,
                         bool vertical, int margin = 16);

}  // namespace testsupport
