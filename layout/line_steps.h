// Components into text lines, lines into blocks, and the upkeep of their
// rectangles.
//
//   lines        build_lines, absorb_contained_lines, attach_regions_to_lines
//   heights      classify_line_heights, drop_noisy_lines,
//                merge_lines_at_tall_lines
//   blocks       build_blocks
//   upkeep       recompute_blocks, recompute_block, recompute_line, link_rect
//   shared       adoptChildren, adoptLines, facingGap, tallSeparatorMeets,
//                sortRingStable (also used by the cleaning steps)
//
// Method: a line grows from each component in top order by taking in every
// piece whose rows meet the component's middle band and which lies within a
// reach that scales with the component's height (a tall character reaches
// further, up to 1.5 times the line-join distance), unless a tall separator
// stands between them.  After each join the scan starts again from the first
// record, so a grown line can take in pieces it passed before; a row index
// (row_index.h) keeps these rescans to the records of the rows concerned, so
// that a dense 400-dpi page stays near linear.  Blocks grow the same way from
// lines, joining lines that overlap or stand within the line distance
// of each other, kept apart by height class and by separators across them.
//
// The component list (context list 0) becomes the line list (a line's
// components hang at `inner`) and then the block list (a block's lines hang
// at `outer`).  A line's `label` holds its height class after
// classify_line_heights: 0 tall, 1 normal, 2 small line by a normal one,
// -1 unclassified.  Steps return 1, or -111 when a record or a ring sentinel
// cannot be had; the lists then stay linked (a record being moved is in its
// old ring or in its new one).
#pragma once

#include "layout/layout_context.h"
#include "layout/step_support.h"

short build_lines(layctx* ctx, int joinDistance);
short absorb_contained_lines(rect_record* lines);
short attach_regions_to_lines(layctx* ctx);
short link_rect(rect_record* record, rect_record** head);
short classify_line_heights(layctx* ctx);
short drop_noisy_lines(layctx* ctx);
short merge_lines_at_tall_lines(layctx* ctx);
short build_blocks(layctx* ctx, int lineDistance);
void recompute_blocks(rect_record* blocks);
void recompute_block(rect_record* block);
void recompute_line(rect_record* line);

namespace layout {

// Height classes of lines.
inline constexpr short kLineTall = 0;
inline constexpr short kLineNormal = 1;
inline constexpr short kLineSmall = 2;
inline constexpr short kLineUnclassified = -1;

// Moves b's components (inner ring) to the tail of a's, or b itself when it
// has no component ring; the empty ring's sentinel is freed.  b stays linked
// where it was unless it moved itself.  -111 when a's ring needs a sentinel
// that cannot be had (nothing moved).
short adoptChildren(rect_record* a, rect_record* b);
// The same for b's lines (outer ring).
short adoptLines(rect_record* a, rect_record* b);

// The rectangle between the facing edges of a and b (their overlap when
// their columns overlap) over the union of their rows.
Box facingGap(const rect_record& a, const rect_record& b);
// A separator higher than wide meets `box`.
bool tallSeparatorMeets(const rect_record* separators, const Box& box);

enum class RingKey { Top, Left };
// A stable sort of a ring by one edge, in O(n log n): the same order as the
// rings' insertion sorts, for rings of thousands of records.
void sortRingStable(rect_record* head, RingKey key = RingKey::Top);

}  // namespace layout
