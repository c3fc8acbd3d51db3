// Cleaning blocks of what is not text, hanging small pieces on their lines,
// and the white gaps between lines of one row.
//
//   gaps         collect_line_gaps, merge_gaps, trim_gaps, gaps_to_separators
//   blocks       drop_narrow_blocks, join_close_blocks, join_small_blocks,
//                join_table_lines, find_text_box, drop_blocks_in_figures
//   lines        drop_speckled_lines, drop_thin_figure_lines, drop_flat_lines
//   specks       hang_specks_on_lines, drop_far_specks, choose_line_for_piece
//
// Method: a white gap between two neighbouring lines of one row is a
// candidate column gutter; it is kept when it is wider than most character
// gaps and narrower than thirty of them, then narrowed to the white between
// the lines.  Blocks and lines are dropped by size and shape against the
// character measures (too small, too thin, made of dots, made of flat
// strokes), and in doubt by the region judgement.  A small piece (a dot of
// punctuation, an accent, a broken stroke) goes to the line whose widened
// rectangle it meets; between several lines the nearest component corner
// decides, and for Latin text the ascender or descender test first.  Every
// step that removes lines ends by recomputing the blocks (line_steps.h).
// Steps return 1, or -111 when a record, a sentinel or a region judgement
// cannot be had.
#pragma once

#include "layout/layout_context.h"

short collect_line_gaps(layctx* ctx);
short merge_gaps(layctx* ctx);
short trim_gaps(layctx* ctx, int minimumLineWidth, int smallestGap);
short gaps_to_separators(rect_record* gaps, layctx* ctx);
short drop_narrow_blocks(layctx* ctx);
short drop_far_specks(layctx* ctx);
short hang_specks_on_lines(layctx* ctx);
rect_record* choose_line_for_piece(const layctx* ctx, const rect_record* piece, rect_record* const* candidates,
                                   int count);
short join_close_blocks(layctx* ctx);
short join_small_blocks(layctx* ctx);
short join_table_lines(layctx* ctx, const rect_record* separators);
short find_text_box(layctx* ctx, Rect16* area);
short drop_speckled_lines(layctx* ctx);
short drop_thin_figure_lines(layctx* ctx);
short drop_flat_lines(layctx* ctx);
short drop_blocks_in_figures(layctx* ctx);

namespace layout {

inline constexpr short kKindGapSeparator = 4;
// At most this many lines are weighed for one small piece.
inline constexpr int kMaxPieceCandidates = 29;

// Each gap takes in the gaps that meet it (deleted), becoming their common
// columns over the union of their rows; with `stopBelow` the search for a
// gap's partners ends at the first gap below it (the ring is sorted by top).
void mergeMeetingGaps(rect_record* gaps, bool stopBelow);

}  // namespace layout
