// One drawing instruction of the layout library's overlays: what the library
// wants to see over a page (the frames and numbers of analysed fields, the
// table grid, a template's fields), in window pixels.  The host's view paints
// the list on every repaint, so the marks survive scrolling and exposure; the
// library never draws on a host window itself.
//
// Colours are COLORREF values (red in bits 0-7, green 8-15, blue 16-23).
#pragma once

#include <cstdint>

extern "C" {

enum VuOverlayKind : std::int32_t {
  VuOverlayFrame = 1,  // outline of (x1, y1)-(x2, y2), right and bottom exclusive
  VuOverlayBox = 2,    // the same rectangle filled with `fill` and outlined with `colour`
  VuOverlayLine = 3,   // line from (x1, y1) to (x2, y2)
  VuOverlayText = 4,   // `text` at (x1, y1)
};

enum VuOverlayMix : std::int32_t {
  VuMixCopy = 0,
  VuMixXor = 1,     // drawing the same item twice gives the picture back
  VuMixNotXor = 2,
};

enum VuOverlayTextAlign : std::int32_t {
  VuTextTopLeft = 0,
  VuTextRightBaseline = 1,
};

inline constexpr std::uint32_t kVuTransparent = 0xFFFFFFFFu;

struct VuOverlayItem {
  std::int32_t kind;
  std::int32_t mix;
  std::int32_t x1, y1, x2, y2;
  std::uint32_t colour;      // outline, line or text colour
  std::uint32_t fill;        // fill of a box
  std::uint32_t background;  // text background, kVuTransparent for none
  std::int32_t penWidth;     // 0: a box without outline
  std::int32_t dotted;       // nonzero: dotted outline or line
  std::int32_t align;        // VuOverlayTextAlign
  std::int32_t pointSize;    // text size in points, 0 for the view's font
  char text[32];             // UTF-8, zero-terminated
};

}  // extern "C"
