// Vertical writing: cutting blocks apart again.
//
//   refine_vBlocks        a tall block is cut across its columns at a white
//                         band near a tier boundary or its middle
//     find_vSplitBands, split_vBlock_at_band
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
short split_vHeadingLines(layctx* ctx);
