// Connected components of a 1-bit page and the text/figure judgement.
//
//   group_pixels           one rectangle per 8-connected black component
//   drop_excluded_groups   removes components inside a region's child rectangles
//   classify_region        13 (text) or 10 (figure) from run statistics
//   keep_figure_blocks     keeps the figure-sized blobs, grown by what touches them
//   collect_row_runs       the black runs of one row (shared by the above)
//
// Grouping walks the image row by row, collects the black runs of each row
// (whole white or black bytes are taken at once) and merges them with the
// runs of the row above into groups; a group that is not continued by the
// current row is finished and becomes a rectangle.  Groups come from a pool
// of their own, opened and closed per call.
//
// The judgement looks at the rhythm of black runs along the rows: text has
// many short runs at regular, short periods; figures have long runs or long
// irregular periods.  A = mean of 1/P^2 (x1000), B = mean of P^2 (/3000),
// C = share of the area in runs longer than 30 pixels.
#pragma once

#include "layout/records.h"

#include <cstdint>

namespace layout {

struct PixelRun {
  std::int16_t start;
  std::int16_t end;
  region_group* group;
};

// Runs of black pixels of `row` between left and right (inclusive, pixels),
// left to right; returns how many were written to `out`.
int collect_row_runs(const std::uint8_t* row, int left, int right, PixelRun* out);

inline constexpr short kKindFigure = 10;
inline constexpr short kKindText = 13;

}  // namespace layout

short group_pixels(rect_record** head, const ImageDesc* image, const Rect16* rect, int reduction,
                   int minimumSize);
void drop_excluded_groups(const userfld* children, rect_record* ring);
short classify_region(short* kind, const ImageDesc* image, const Rect16* rect);
short keep_figure_blocks(rect_record* ring, const ImageDesc* image);
