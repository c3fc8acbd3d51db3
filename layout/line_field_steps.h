// Dotted lines and ruled lines of an area: found or taken over, kept out of
// the text, turned into separators and into line fields of the result.
//
//   dotted lines   find_dotted_lines, collect_dot_candidates,
//                  chain_dots_horizontal, chain_dots_vertical,
//                  add_dotted_line_fields, drop_dots_of_hlines,
//                  drop_dots_of_vlines
//   ruled lines    copy_keisen_lists, mark_all_keisen, free_keisen_pair,
//                  find_underlines, is_solid_hline, drop_keisen_outside_area,
//                  drop_components_on_keisen, keisen_to_separators,
//                  merge_separators, drop_pieces_along_separators,
//                  add_line_fields
//
// Method: a dotted line is a chain of small pieces in a row, each within a
// short reach of the chain, with no gap wider than a dot's pitch, longer than
// 10 mm.  Ruled lines come from the page's ruled-line extraction; a copy of
// them is judged against the area: lines outside it go, a line whose length
// is covered by characters above a share is taken for a stroke through text
// and goes too, and the ink of a kept line (its small pieces) leaves the
// component list.  Every kept line becomes a separator, so that lines and
// blocks never cross it, and a line field of the result.  A line's keep mark
// is its `valid` word (1 kept, 0 dropped).
#pragma once

#include "layout/layout_context.h"

short find_dotted_lines(layctx* ctx, userfld** lineFields);
short collect_dot_candidates(layctx* ctx, rect_record** out, short limitX, short limitY);
short chain_dots_horizontal(rect_record** lines, rect_record* dots, short reach, short largestGap, short shortest);
short chain_dots_vertical(rect_record** lines, rect_record* dots, short reach, short largestGap, short shortest);
short add_dotted_line_fields(const rect_record* lines, userfld** lineFields);
short drop_dots_of_hlines(const rect_record* lines, layctx* ctx, rect_record* dots, short widening, short largestDot,
                          short direction);
short drop_dots_of_vlines(const rect_record* lines, layctx* ctx, rect_record* dots, short widening, short largestDot,
                          short direction);

short copy_keisen_lists(const KeisenPair* library, KeisenPair* local);
// Also known as mark_rules_live.
short mark_all_keisen(KeisenPair* pair);
void free_keisen_pair(KeisenPair* pair);
short find_underlines(KeisenPair* pair, layctx* ctx, const Rect16* area);
short is_solid_hline(const Keisen* line, const ImageDesc* page);
short drop_keisen_outside_area(KeisenPair* pair, layctx* ctx, const Rect16* area);
short drop_components_on_keisen(KeisenPair* pair, layctx* ctx, const Rect16* area);

// The judgement of ruled lines against the text that crosses them, shared by
// both writing directions: lines are clipped to the area; a line whose
// crossing characters cover more than its share (percent of its length) is
// a stroke through text and dropped; a kept line takes the thin ink along it
// out of the components (also when no character crosses it, with
// `dropInkWhenUncrossed`).
struct RuleCheck {
  int horizontalShare;
  int verticalShare;
  bool dropInkWhenUncrossed;
};
short check_rules_against_text(KeisenPair* pair, layctx* ctx, const Rect16* area, const RuleCheck& check);
short keisen_to_separators(const KeisenPair* pair, layctx* ctx);
short merge_separators(layctx* ctx);
short drop_pieces_along_separators(layctx* ctx);
short add_line_fields(const KeisenPair* pair, userfld** lineFields);

namespace layout {

// Kind bytes of the line fields.
inline constexpr std::uint8_t kFieldRuledLine = 20;
inline constexpr std::uint8_t kFieldDottedLine = 22;

}  // namespace layout
