// The ground both skew estimates and the writing-direction vote stand on:
// the projection search and the character-sized components of a page.
//
//   fit_skew_angle            the projection direction (80-100 degrees, 0.1
//                             degree steps) whose profile has the highest peak
//   fit_component_skew        the angle of the rows (or the columns) of text
//                             from the centres of character-sized components,
//                             cell by cell
//   merge_near_components     joins components that lie within a gap
//   keep_square_components    keeps components no more than 3:2 either way
//   skew_cells                the cell grid that the component steps walk
//   skewBandCount             how many bands a length is cut into
//
// The writing-direction vote measures the slope of rows and of columns with
// the component fit, and the component estimate asks the vote when it is not
// told the direction; with the fit here the includes run one way:
// skew_estimate -> skew_writing_direction -> skew_fit.
//
// Angles are in degrees, positive when the lines descend towards the right.
// Statuses of the fits: kSkewFound, kSkewNoEstimate (too few samples: leave
// the page alone), kSkewFailed (memory ran out).  The image is never changed.
#pragma once

#include "layout/records.h"

#include <cstdint>

struct SkewPoint {
  std::int16_t x = 0;
  std::int16_t y = 0;
};

namespace layout {

inline constexpr short kSkewFound = 1;
inline constexpr short kSkewNoEstimate = 0;
inline constexpr short kSkewFailed = -1;

// Direction table of the search: k = 0..200 for 80.0 + 0.1 k degrees.
inline constexpr int kSkewDirections = 201;
double skewSin(int k);
double skewCos(int k);

// Pixels of `mm` whole millimetres / tenths of a millimetre at `dpi`, with
// the library's 25 mm inch.
inline int skewMm(int mm, int dpi) { return mm * dpi * 4 / 100; }
inline int skewTenthMm(int tenths, int dpi) { return tenths * dpi * 4 / 1000; }

// `wanted` bands over `size` pixels, fewer when they would be narrower than
// `least` (never fewer than one).
int skewBandCount(int size, int wanted, int least);

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

// 1, or -111 when the profile cannot be had.  `from`, `to` and `step` in
// degrees (the table covers 80 .. 100 by 0.1).
short fit_skew_angle(double* angle, const SkewPoint* points, int count, double from, double to, double step);

// The component estimate for text in rows (`vertical` false) or in columns.
short fit_component_skew(const ImageDesc* image, double* angle, bool vertical);

// Sorts the ring by top edge and merges every pair that lies within `gap`
// pixels of each other; `scanLimit` bounds how far down (and up) a
// component looks for partners.
void merge_near_components(rect_record* list, int scanLimit, int gap);
void keep_square_components(rect_record* list);
