// Vertical writing: the first steps on a region's components, the area's
// limits and the ruled lines.
//
//   sort_vComponents, sort_vComponents_area   pieces into text (list 0),
//                                  large components (1), separators (2) and
//                                  specks (3), by size and shape
//   drop_vSeparators_on_text       separators that touch a character go
//   absorb_vLargeComponents        small figures lose the characters inside
//                                  them; near small figures merge
//   drop_vNestedComponents         pieces inside another piece go
//   merge_vOverlaps                overlapping pieces become one
//   merge_vLargeBlocks             near-identical, then near small, large
//                                  components become one
//   absorb_vSpecks                 specks inside characters go
//   drop_vExcluded, keep_vInsideArea   pieces on the area's character-block
//                                  rectangles, or outside the area, go
//   clip_vRules, check_vRules, vRules_to_separators   the library's ruled
//                                  lines limited to the region, judged
//                                  against the text crossing them, and made
//                                  separators
//
// Method: the same work as the horizontal steps, on rings kept in the
// vertical order (right edge, right to left, see RingOrder), with the
// vertical parameter set (set 4).  Where the work is the same the steps call
// the shared code with that order; they differ in their limits (60 mm small
// figures, no 40 mm floor on the page frame), in how often the speck pass
// repeats and in the vertical ruled lines, which always need 40 percent of
// their length crossed before they count as strokes through text.
//
// All return 1, or -111 when a record cannot be had or a sort runs out of
// memory, except drop_vNestedComponents, merge_vOverlaps and absorb_vSpecks,
// which return the number of records left in the list they work on.
#pragma once

#include "layout/layout_context.h"

short sort_vComponents(layctx* ctx);
short sort_vComponents_area(layctx* ctx, const Rect16* areaRect, short margin);
short drop_vSeparators_on_text(layctx* ctx);
short absorb_vLargeComponents(layctx* ctx);
short drop_vNestedComponents(layctx* ctx);
short merge_vOverlaps(rect_record** list, short distance, short minOverlap);
short merge_vLargeBlocks(rect_record** list, layctx* ctx);
short absorb_vSpecks_once(layctx* ctx);
short absorb_vSpecks(layctx* ctx);

short drop_vExcluded(layctx* ctx, const recg* blockRing, const Rect16* areaOwnRect);
short keep_vInsideArea(layctx* ctx, const Rect16* areaOwnRect);
short clip_vRules(KeisenPair* rules, layctx* ctx, const Rect16* areaRect);
short check_vRules(KeisenPair* rules, layctx* ctx, const Rect16* areaRect);
short vRules_to_separators(const KeisenPair* rules, layctx* ctx);
