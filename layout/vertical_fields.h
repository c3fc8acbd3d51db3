// Vertical writing: result fields, gap separators and reading order.
//
//   vBlocks_to_fields         text blocks (one line per column, one record per
//                             character box), figures and regions left for a
//                             later analysis become result fields
//   add_vGapSeparators        page mode: kind-16 separators through the white
//                             gaps between fields that nothing separates yet
//   add_vGapSeparators_area   area mode: the same, without consulting the
//                             separators already there
//   order_vFields             page mode: reading order and numbers by kind
//     flag_open_rules, mark_vColumnHeads, compare_vFields
//   order_vFields_area        area mode: reading order, group and tier numbers
//     mark_vColumnHeads_area, compare_vFields_area, compare_by_separator,
//     compare_by_position
//   (the gap services are those of field_gaps.h)
//
// Vertical text is read column by column from right to left and, on a page
// cut into tiers, tier by tier from the top: a field to the right comes
// before one to its left and an upper field before a lower one, unless a
// separator between them says otherwise.  The order set here is the order in
// which recognised text comes out.
//
// All steps return 1, or -111 when a record cannot be had; records already
// appended stay on their rings.
#pragma once

#include "layout/field_gaps.h"
#include "layout/layout_context.h"

inline constexpr int kFieldKindText = 13;
inline constexpr int kFieldKindAreaText = 11;
inline constexpr int kFieldKindFigure = 10;
inline constexpr int kFieldKindLater = '2';

short vBlocks_to_fields(layctx* ctx, userfld** result);

short add_vGapSeparators(userfld* fields, layctx* ctx, const Rect16* working);
short add_vGapSeparators_area(userfld* fields, layctx* ctx, const Rect16* working);

// The mark of each separator of `copy` (kept in its extra word): 1 when it
// does not stand between an upper and a lower field, else -1.  Sorts the
// copy right to left.
short flag_open_rules(rect_record* copy, const userfld* fields);
void mark_vColumnHeads(userfld* fields, const rect_record* flagged);
void mark_vColumnHeads_area(userfld* fields, const rect_record* flagged, const layctx* ctx);

// >= 0: field a (the one being placed) is read before b (an earlier one).
int compare_vFields(const userfld& a, const userfld& b, const rect_record* separators);
int compare_vFields_area(const userfld& a, const userfld& b, const layctx* ctx);
int compare_by_position(const Rect16& a, const Rect16& b);
int compare_by_separator(const Rect16& a, const Rect16& b, const rect_record* separators);

short order_vFields(userfld* fields, layctx* ctx);
short order_vFields_area(userfld* fields, layctx* ctx);

