// The white gaps between lines of one row, joined into tall channels.
//
//   filter_line_gaps     joins the gaps of list 5 that stand above one
//                        another into channels and keeps the tall ones
//   merge_all_gaps       channels that meet become their common columns
//   drop_gaps_on_lines   channels that a text line crosses go
//   drop_wide_gaps       channels wider than seven character pitches go
//   drop_speckled_gaps   channels that many specks meet go
//   LineGapLengths       the derived lengths a, h, d, o (16-bit, truncated)
//
// Method: a gutter between columns shows as a gap between the lines of each
// row, one gap per row, roughly aligned.  Starting from each gap, the gaps
// below and above it that share enough of its columns (at least o) and lie
// within a row reach of it are added while no wide separator or region edge
// cuts the channel; a narrow gap is used up by the first channel it joins,
// a wide one may feed two.  A channel must be more than 3.3 line pitches
// high to count as a gutter.  The gaps stay in place while channels are
// built; the channels replace them in list 5, sorted by top, for
// gaps_to_separators (block_cleaning.h).
#pragma once

#include "layout/layout_context.h"

short filter_line_gaps(layctx* ctx);
short merge_all_gaps(layctx* ctx);
short drop_gaps_on_lines(layctx* ctx);
short drop_wide_gaps(layctx* ctx);
short drop_speckled_gaps(layctx* ctx);

namespace layout {

struct LineGapLengths {
  std::int16_t rowReach;   // a
  std::int16_t tallest;    // h: a channel must be higher
  std::int16_t join;       // d
  std::int16_t narrowest;  // o: the least common width
};

LineGapLengths lineGapLengths(const layctx& ctx);

}  // namespace layout
