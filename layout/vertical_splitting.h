// Vertical writing: cutting blocks apart again.
//
//   refine_vBlocks        a tall block is cut across its columns at a white
//                         band near a tier boundary or its middle
//     find_vSplitBands, split_vBlock_at_band
//   refine_vLines         a tall block is cut between its columns at a wide
//                         white gap
//     find_hSplitBands, split_vBlock_by_gaps
//   split_vHeadingLines   a column headed by one or two wide characters,
//                         under which the text runs in narrower columns,
//                         becomes a heading line, the columns under it and a
//                         kind-1 separator below the heading
//
// Returns 1, or -111 when a record cannot be had or a sort runs out of
// memory; cuts already made stay.
#pragma once

#include "layout/layout_context.h"

short find_vSplitBands(rect_record** bands, const rect_record* block, const layctx* ctx, int skip);
short split_vBlock_at_band(rect_record* block, rect_record* bands, layctx* ctx, int skip);
short refine_vBlocks(layctx* ctx);
// The column twin of find_vSplitBands: white bands down a block, between
// its columns of text (also the gutters of a horizontal block's lines).
short find_hSplitBands(rect_record** bands, const rect_record* block, const layctx* ctx, int skip);
// Moves the lines of `block` into new flagged blocks, one per side of each
// gap; the block's own line ring is left empty.
short split_vBlock_by_gaps(rect_record* block, rect_record* gaps, layctx* ctx);
short refine_vLines(layctx* ctx);
short split_vHeadingLines(layctx* ctx);
