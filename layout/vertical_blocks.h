// Vertical writing: boxes, blocks of columns and their clean-up.
//
//   frame_vBoxes              a boxed large component with all its text
//                             inside gets four kind-8 separators on its edges
//   group_vLines              columns into blocks (a block's outer ring holds
//                             its columns)
//   drop_vSmallLines          blocks under 0.4 mm go, with their specks
//   merge_vBlockLines         columns of a block that overlap across by half
//                             become one
//   attach_vSpecks            specks join the column nearest them
//     drop_vStraySpecks, nearest_vLine
//   merge_vBlocks             blocks above each other, closer than a column
//                             pitch share, become one
//   merge_vBlockLines_area    narrow columns side by side in an area merge
//   merge_vAdjacentBlocks     a short block joins the block it continues
//   drop_vNoiseLines, drop_vFigureLines, drop_vThinLines   speckled, picture
//                             and hair-line columns go
//   find_vTextBounds          the bounds of the text-like blocks; pictures
//                             outside them go
//   drop_vFigureComponents    blocks inside a large component go when they
//                             are tiny or judged a picture
//
// Method: every merge is refused when a separator (a ruled line, a tier
// band's mark, a box edge) lies between the two, so the separators found
// earlier decide where blocks end.  Pictures are told from text by the
// region judgement (classify_region).
//
// All return 1, or -111 when a record cannot be had, a sort runs out of
// memory or the region judgement does.
#pragma once

#include "layout/layout_context.h"

short frame_vBoxes(layctx* ctx);
short group_vLines(layctx* ctx, int distance);
short drop_vSmallLines(layctx* ctx);
short merge_vBlockLines(layctx* ctx, const rect_record* separators);
short drop_vStraySpecks(layctx* ctx);
rect_record* nearest_vLine(const layctx* ctx, const rect_record* speck, rect_record* const* candidates, int count);
short attach_vSpecks(layctx* ctx, int overlap);
short merge_vBlocks(layctx* ctx);
short merge_vBlockLines_area(layctx* ctx, const rect_record* separators);
short merge_vAdjacentBlocks(layctx* ctx);
short drop_vNoiseLines(layctx* ctx);
short drop_vFigureLines(layctx* ctx);
short drop_vThinLines(layctx* ctx);
short find_vTextBounds(layctx* ctx, Rect16* outRect);
short drop_vFigureComponents(layctx* ctx);

// Sorts the blocks, and the columns inside each block, by right edge.
short sort_vBlocks_and_lines(layctx* ctx);
// Drops columns without characters and blocks without columns; fits each
// column to its characters and each block to its columns.
short refit_vBlocks(rect_record* blocks);

namespace layout {

inline constexpr short kKindBoxEdge = 8;
// The group distance of the vertical pipeline: columnGap x set 4 number 12
// / 100; in an area 0 when byte 11 is 1, else 20 times that.
int column_group_distance(const layctx& ctx);

}  // namespace layout
