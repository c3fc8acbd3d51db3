// Vertical writing: text columns, their measures and their clean-up.
//
//   link_vChars              chains characters into text columns (each
//                            column a node of list 0 with its characters in
//                            its inner ring)
//   merge_vNestedLines       a column inside another gives it its characters
//   attach_vLargeToLines     a large component as wide as a column next to
//                            it joins that column (a big character)
//   measure_vColumnWidth     usual width of the columns   (columnWidth)
//   measure_vColumnGap       usual white gap between them (columnGap)
//   classify_vLines          kind 0 wide, 1 ordinary, 2 narrow beside a
//                            column that encloses it (ruby)
//   drop_vLines_with_specks  columns full of specks go, with the specks
//   merge_vLineFragments     pieces of one wide column, above each other,
//                            become one
//
// Method: a character reaches down and up by a distance that grows with its
// width against the usual character width (within 60 to 150 percent of the
// pipeline's distance), and takes what reaches into a narrow strip about its
// centre line; a wide separator between them stops the link.  Measures are
// trimmed means (one standard deviation), so a few joined columns or
// headings do not move them.
//
// All return 1, or -111 when a record cannot be had or a sort runs out of
// memory; the two measures return 0 when there is nothing to measure.
#pragma once

#include "layout/layout_context.h"
#include "layout/step_support.h"

short link_vChars(layctx* ctx, int distance);
short merge_vNestedLines(rect_record** list);
short attach_vLargeToLines(layctx* ctx);
short measure_vColumnWidth(layctx* ctx);
short measure_vColumnGap(layctx* ctx);
short classify_vLines(layctx* ctx);
short drop_vLines_with_specks(layctx* ctx);
short merge_vLineFragments(layctx* ctx);

namespace layout {

// Kinds of the columns.
inline constexpr short kColumnWide = 0;
inline constexpr short kColumnOrdinary = 1;
inline constexpr short kColumnNarrow = 2;

// The link distance of the vertical pipeline: (charHeight + gapY) x set 4
// number 13 / 100, or x 20 when the area is one block or not split along y.
int column_link_distance(const layctx& ctx);

// Whether a separator wider than high meets the rectangle.
bool wideSeparatorMeets(const rect_record* separators, int left, int top, int right, int bottom);

// The white space between two records one above the other (their common
// rows when they overlap), across both.
Box spaceBetweenVertically(const rect_record& a, const rect_record& b);

// Moves b's child ring `ring` (its characters: inner; a block's columns:
// outer) into a's, or b itself when it has none; b is freed or relinked.
// -111 when a sentinel cannot be had (b then stays where it was).
short takeChildren(rect_record* a, rect_record* b, rect_record* rect_record::*ring);
inline short takeCharacters(rect_record* a, rect_record* b) { return takeChildren(a, b, &rect_record::inner); }

inline bool overlapVertically(const rect_record& a, const rect_record& b) {
  return a.top <= b.bottom && b.top <= a.bottom;
}
inline bool overlapHorizontally(const rect_record& a, const rect_record& b) {
  return a.left <= b.right && b.left <= a.right;
}

}  // namespace layout
