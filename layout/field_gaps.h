// The white gaps between result fields, for either writing direction.
//
//   fieldGaps            the runs of columns (or rows) of a rectangle that
//                        no field covers, each over the rectangle's height
//                        (or width)
//   gapSpanned           whether a separator already stands across a gap
//   addGapLines          a kind-16 separator along the middle of every gap
//                        larger than a limit that nothing crosses yet
//   separatorCoverage    how far the separators cut a box, across and down
//
// Both pipelines order their fields by these: a gap line decides the order
// of the fields on its two sides at once.
#pragma once

#include "layout/layout_context.h"
#include "layout/step_support.h"

#include <functional>

inline constexpr short kKindGapLine = 16;  // a one-pixel separator through a white gap

namespace layout {

// Columns: the gaps run down the rectangle and separate fields side by side.
// Rows: the gaps run across it and separate fields above and below.
enum class GapAxis { Columns, Rows };

// Appends one rectangle per maximal run of uncovered columns (rows) of
// `area` to *gaps; 1, or -111 when a record cannot be had.
short fieldGaps(const userfld* fields, const Rect16& area, GapAxis axis, rect_record** gaps);

// s crosses the gap: for a column gap a wider-than-high separator reaching
// over the gap's whole width, its rows at least a fifth of the gap's height
// inside it; for a row gap the same turned by a quarter.
bool gapSpanned(const rect_record& gap, GapAxis axis, const rect_record& s);

// For every gap of `area` whose size across (width of a column gap, height
// of a row gap) is above `limit` and for which `crossed` (when given)
// answers false, a kind-16 separator along its middle is appended to the
// context's separator list.  1, or -111 when a record cannot be had.
short addGapLines(const userfld* fields, layctx* ctx, const Rect16& area, GapAxis axis, int limit,
                  const std::function<bool(const rect_record& gap)>& crossed = {});

struct Coverage {
  int h = 0;  // percent of the box's width covered by one wider-than-high separator
  int v = 0;  // percent of the box's height covered by one higher-than-wide separator
};
// Only the largest share of each shape counts, and shares under 10 % count
// as none; a gap line among the separators decides at once (100 in its own
// direction).  A box of no width or height has no share in that direction.
Coverage separatorCoverage(const Box& box, const rect_record* separators);
inline Coverage separatorCoverage(const Rect16& box, const rect_record* separators) {
  return separatorCoverage(Box{box.left, box.top, box.right, box.bottom}, separators);
}

}  // namespace layout
