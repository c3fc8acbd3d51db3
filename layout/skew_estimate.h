// Skew estimation of a 1-bit page.
//
//   estimate_skew             the angle of the text lines, by one method and
//                             the other as its fallback
//   estimate_skew_contours    samples along the outlines of large shapes
//                             (ruled lines, frames), strip by strip
//   estimate_skew_components  centres of character-sized components, cell by
//                             cell
//   fit_skew_angle            the projection direction (80-100 degrees, 0.1
//                             degree steps) whose profile has the highest peak
//   trace_strip_contours      the long outlines of one strip of the page
//   merge_near_components     joins components that lie within a gap
//   keep_square_components    keeps components no more than 3:2 either way
//   skew_cells                the cell grid that the component steps walk
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

struct SkewPoint {
  std::int16_t x = 0;
  std::int16_t y = 0;
};

// One outline: its start pixel in page coordinates and its chain codes
// (0 right, 1 up-right, 2 up, ... 7 down-right; rows grow downwards).
struct SkewContour {
  std::int16_t x = 0;
  std::int16_t y = 0;
  std::vector<std::uint8_t> codes;
};

namespace layout {

// Direction table of the search: k = 0..200 for 80.0 + 0.1 k degrees.
inline constexpr int kSkewDirections = 201;
double skewSin(int k);
double skewCos(int k);

// At most this many chain codes are kept of one outline.
inline constexpr int kMaxChainCodes = 20480;

// Pixels of `mm` whole millimetres / tenths of a millimetre at `dpi`, with
// the library's 25 mm inch.
inline int skewMm(int mm, int dpi) { return mm * dpi * 4 / 100; }
inline int skewTenthMm(int tenths, int dpi) { return tenths * dpi * 4 / 1000; }

// A grid of cells over the page: `columns` cells of at least `minWidth`
// pixels and `rows` of at least `minHeight` (fewer when the page is small,
// never fewer than one), each `inset` pixels inside its share of the page.
struct SkewCells {
  int columns = 1;
  int rows = 1;
  int cellWidth = 0;
  int cellHeight = 0;
  int inset = 0;
  Rect16 cell(int column, int row) const;
};
SkewCells skew_cells(const ImageDesc* image, int columns, int minWidth, int rows, int minHeight, int inset);

}  // namespace layout

short estimate_skew(const ImageDesc* image, int scale, double* angle, short orderHint, short direction);
short estimate_skew_contours(const ImageDesc* image, int scale, double* angle);
short estimate_skew_components(const ImageDesc* image, int scale, double* angle, short direction);
// 1, or -111 when the profile cannot be had.  `from`, `to` and `step` in
// degrees (the table covers 80 .. 100 by 0.1).
short fit_skew_angle(double* angle, const SkewPoint* points, int count, double from, double to, double step);

// Appends the long outlines of the strip `rect` (page pixels) to `contours`:
// 1, or -111 when a work buffer cannot be had.
short trace_strip_contours(const ImageDesc* image, const Rect16* rect, int scale,
                           std::vector<SkewContour>* contours);

// Sorts the ring by top edge and merges every pair that lies within `gap`
// pixels of each other; `scanLimit` bounds how far down (and up) a
// component looks for partners.
void merge_near_components(rect_record* list, int scanLimit, int gap);
void keep_square_components(rect_record* list);
