// Sorting an area's ink into characters, regions, separators and specks.
//
//   classify_components            pieces of list 0 into regions (list 1),
//   classify_components_in_area    separators (list 2) and specks (list 3)
//   drop_touching_separators       separators that touch a component go
//   absorb_figure_contents         small figures lose the pieces inside
//                                  them; near small figures merge
//   drop_nested_components         pieces inside an earlier piece go
//   merge_overlapping_components   overlapping pieces become one
//   absorb_inner_pieces            specks inside a component go
//   merge_regions                  near-identical regions, then groups of
//                                  small near regions, become one
//   drop_excluded_components       pieces on the caller's exclusion rectangles
//   drop_components_outside_area   pieces outside a table-form area
//   absorb_sparse_regions          lines in small regions that text hardly
//                                  covers go
//
// Method: a piece is judged by its size against the character size and a few
// lengths of the page: long thin pieces (more than 30 to 1, or three
// characters long and under a third of a character thick) are separators,
// pieces up to 0.5 mm both ways are specks, pieces larger than 20 mm are
// regions, the rest stays as text.  The lists are rings sorted by top, so
// the searches stop at the first piece that lies wholly below.  All steps
// return 1, or -111 when a record cannot be had (a piece being moved then
// stays where it was), unless said otherwise.
#pragma once

#include "layout/layout_context.h"
#include "layout/step_support.h"

namespace layout {

// The shapes that sort a piece: a piece longer than `longPercent` of the
// character size one way and thinner than `thinPercent` the other, or more
// than `aspectPercent` / 100 times longer than thick, is line-like; one no
// larger than `speck` both ways is a speck; one larger than the text limits
// is a region; with `frameTest`, one larger than the frame limits both ways
// is the page's frame and goes.
struct PieceLimits {
  int aspectPercent = 0, longPercent = 0, thinPercent = 0, speck = 0;
  bool frameTest = false;
  int frameWidth = 0, frameHeight = 0;
  int textWidth = 0, textHeight = 0;
};

}  // namespace layout

// Shared by both writing directions: the pipelines pass their own limits.
short classify_pieces(layctx* ctx, const layout::PieceLimits& limits);
short classify_components(layctx* ctx);
short classify_components_in_area(layctx* ctx, const Rect16* area, short margin);
short drop_touching_separators(layctx* ctx);
// Separators that touch a component go, whatever the number of components.
short drop_separators_on_text(layctx* ctx, layout::RingOrder order);
// Small figures (up to `smallMm` both ways) that characters hardly cover lose
// the pieces inside them; near small figures merge.
short absorb_figure_contents(layctx* ctx, int smallMm = 50, layout::RingOrder order = layout::RingOrder::ByTop);
// Returns the number of components left.
short drop_nested_components(layctx* ctx, layout::RingOrder order = layout::RingOrder::ByTop);
// Returns the number of components left, or -111 when the final sort fails.
short merge_overlapping_components(rect_record** list, short lookBack, short minimumOverlap,
                                   layout::RingOrder order = layout::RingOrder::ByTop);
short absorb_inner_pieces(layctx* ctx);
short merge_regions(rect_record** regions, layctx* ctx);
short drop_excluded_components(layctx* ctx, const recg* exclusions, const Rect16* area);
short drop_components_outside_area(layctx* ctx, const Rect16* area);
short absorb_sparse_regions(layctx* ctx);

namespace layout {

inline constexpr short kKindWideSeparator = 1;
inline constexpr short kKindTallSeparator = 2;
inline constexpr short kKindRegion = 10;

}  // namespace layout
