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

short classify_components(layctx* ctx);
short classify_components_in_area(layctx* ctx, const Rect16* area, short margin);
short drop_touching_separators(layctx* ctx);
short absorb_figure_contents(layctx* ctx);
// Returns the number of components left.
short drop_nested_components(layctx* ctx);
// Returns the number of components left.
short merge_overlapping_components(rect_record** list, short lookBack, short minimumOverlap);
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
