// Vertical writing: the white bands between tiers.
//
//   find_vColumnGaps        white space above and below each column, to the
//                           nearest column that overlaps it across; merged
//                           and trimmed by the columns that cross it
//   merge_vGaps, merge_vGaps_overlap, trim_vGaps   its helpers
//   join_vGaps              joins the bands of neighbouring columns into
//                           bands across the page; keeps the wide ones that
//                           no text, tall separator or crowd of specks meets
//   drop_vNarrowGaps, drop_vTallGaps, drop_vGaps_on_text,
//   drop_vGaps_few_specks   its filters
//   vGaps_to_separators     marks each kept band by two thin kind-4
//                           separators inside its top and bottom edges
//
// Method: a tier is a row of columns; between tiers the white runs across
// the page.  Each column contributes the white between its end and the
// next column of the same line of columns; those pieces are joined
// sideways while they share enough height, and a band counts as a tier gap
// when it runs wider than a few rows of characters (Q370) and is not taller
// than seven column pitches.  The marks sit 20 to 40 percent inside the
// band (deeper in a narrow band) so that later steps see two edges that
// text must not cross.
//
// All return 1, or -111 when a record cannot be had or a sort runs out of
// memory.
#pragma once

#include "layout/layout_context.h"

short find_vColumnGaps(layctx* ctx);
short merge_vGaps(rect_record** gaps);
short merge_vGaps_overlap(rect_record** gaps);
short trim_vGaps(layctx* ctx, int minHeight, int minBand);
short join_vGaps(layctx* ctx);
short drop_vNarrowGaps(layctx* ctx, int minWidth);
short drop_vTallGaps(layctx* ctx);
short drop_vGaps_on_text(layctx* ctx);
short drop_vGaps_few_specks(layctx* ctx);
short vGaps_to_separators(rect_record* gaps, layctx* ctx);

namespace layout {

inline constexpr short kKindGapMark = 4;

}  // namespace layout
