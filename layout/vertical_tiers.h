// Vertical writing: tiers, and the merging of blocks that belong together.
//
//   drop_vTextInLarge         small text blocks inside a figure go
//   find_vTiers               the tier table from the columns' tops and
//                             bottoms (page, or an area split into rows)
//   find_vTiers_from_rules    the tier table from long horizontal rules
//   drop_vSeparators_in_text  separators lying inside a text block go
//   merge_vAdjacentLines      two narrow neighbouring pieces of one column
//                             become one line
//   merge_vBlocks_page        one-column blocks above each other, close, join
//   apply_vTiers              blocks side by side within one tier join
//   merge_vBlocks_area        narrow blocks side by side in an area join
//   merge_vBlocks_tier        blocks above each other within a tier of an
//                             area join
//   merge_vBlocks_stack       blocks stacked in one column, short together,
//                             join
//   merge_vOverlappingBlocks  blocks whose rectangles meet join
//   merge_vAllBlocks          everything becomes one block
//
// The tier table lists page rows in ascending order; a tier is the band
// between two neighbouring entries.  A page in tiers is read tier by tier,
// so blocks join only within one tier, and never across a separator or a
// third block.
//
// All return 1, or -111 when a sort or a record runs out of memory; merges
// already done stay.
#pragma once

#include "layout/layout_context.h"

short drop_vTextInLarge(layctx* ctx);
short find_vTiers(layctx* ctx, short tiersAsked);
short find_vTiers_from_rules(layctx* ctx, const Rect16* area);
short drop_vSeparators_in_text(layctx* ctx);
short merge_vAdjacentLines(layctx* ctx);
short merge_vBlocks_page(layctx* ctx);
short apply_vTiers(layctx* ctx, int reach);
short merge_vBlocks_area(layctx* ctx);
short merge_vBlocks_tier(layctx* ctx);
short merge_vBlocks_stack(layctx* ctx, const Rect16* area);
short merge_vOverlappingBlocks(layctx* ctx);
short merge_vAllBlocks(layctx* ctx);
