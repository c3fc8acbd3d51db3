// Skew estimation of a 1-bit page.
//
//   estimate_skew             the angle of the text lines, by one method and
//                             the other as its fallback
//   estimate_skew_contours    samples along the outlines of large shapes
//                             (ruled lines, frames), strip by strip
//   estimate_skew_components  centres of character-sized components, cell by
//                             cell, in the direction given or voted
//   trace_strip_contours      the long outlines of one strip of the page
//
// The projection search and the component steps are in skew_fit.h.
//
// The angle is in degrees, positive when the lines descend towards the right
// (the page was turned clockwise), within -10 .. +9.9.  Both methods end in
// the same search: the points of a text line (component centres) or of a
// rule (outline samples) fall on one projection bin only when projected
// across the line's true direction, so the direction whose profile has the
// highest peak is the line direction.  The search steps by a tenth of a
// degree, which is the accuracy to expect on a page with a few long lines.
//
// Statuses: 1 an angle was found, 0 no estimate (too few samples: the page
// must then be left alone), -1 memory ran out.  The image is never changed.
#pragma once

#include "layout/records.h"

#include <cstdint>
#include <vector>

// One outline: its start pixel in page coordinates and its chain codes
// (0 right, 1 up-right, 2 up, ... 7 down-right; rows grow downwards).
struct SkewContour {
  std::int16_t x = 0;
  std::int16_t y = 0;
  std::vector<std::uint8_t> codes;
};

namespace layout {

// At most this many chain codes are kept of one outline.
inline constexpr int kMaxChainCodes = 20480;

}  // namespace layout

short estimate_skew(const ImageDesc* image, int scale, double* angle, short orderHint, short direction);
short estimate_skew_contours(const ImageDesc* image, int scale, double* angle);
short estimate_skew_components(const ImageDesc* image, int scale, double* angle, short direction);

// Appends the long outlines of the strip `rect` (page pixels) to `contours`:
// 1, or -111 when a work buffer cannot be had.
short trace_strip_contours(const ImageDesc* image, const Rect16* rect, int scale,
                           std::vector<SkewContour>* contours);

