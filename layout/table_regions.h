// Table regions among the regions of an area, and the regions that text
// covers or that stand free.
//
//   find_table_regions        orders the regions, classifies them, marks
//                             tables (kind 11, frame style in `extra`) and
//                             merges near tables
//   classify_region_kind      1 non-text, 2 table, 3 text-like
//   classify_table            11 (table) or 13, with the frame style
//   measure_row_features      f1..f4 of classify_table
//   measure_column_features   f5..f8
//   find_white_row_bands      runs of rows that the lines hardly cover
//   count_hrule_groups        horizontal rule groups across 80 % of the width
//   count_vrule_groups        vertical rule groups across 80 % of the height
//   drop_text_regions         regions that lines cover by more than 70 %
//   frame_regions             four separators along a free-standing region
//   tableScore, frameStyle    the decision on the eight counts (pure)
//
// Method: a table is told from a text block by two counts along each axis:
// how many rule groups run across (nearly) the whole region, and how many
// white bands divide its text.  A linear discriminant over the eight counts
// (coefficients fitted once on sample pages and kept as they are) separates
// tables from ruled text; two overrides come after it in a fixed order: many
// white columns (f8 >= 3) make a table, and fewer than two full-length rule
// groups (f1 + f5 < 2) never do.  The frame style says which of the two
// axes carries rules between its rows or columns.
#pragma once

#include "layout/layout_context.h"

#include <array>

short find_table_regions(layctx* ctx);
short classify_region_kind(rect_record* region, layctx* ctx, short* kind);
short classify_table(short* cls, short* style, const Rect16* rect, layctx* ctx);
short measure_row_features(short* f1, short* f2, short* f3, short* f4, const Rect16* q, layctx* ctx);
short measure_column_features(short* f5, short* f6, short* f7, short* f8, const Rect16* q, layctx* ctx);
short find_white_row_bands(rect_record** bands, const rect_record* lines, const Rect16* q);
short count_hrule_groups(const Rect16* q, layctx* ctx);
short count_vrule_groups(const Rect16* q, layctx* ctx);
short drop_text_regions(layctx* ctx);
short frame_regions(layctx* ctx);

namespace layout {

inline constexpr short kKindTableRegion = 11;
inline constexpr short kKindFrameSeparator = 8;
inline constexpr short kTableClass = 11;
inline constexpr short kNotTableClass = 13;

// classify_region_kind's answers.
inline constexpr short kRegionNonText = 1;
inline constexpr short kRegionTable = 2;
inline constexpr short kRegionTextLike = 3;

// D2 - D1 with the two overrides; >= 0 is a table.  f[0] is f1.
double tableScore(const std::array<short, 8>& f);
// 1 rules both ways, 2 between rows only, 3 between columns only, 4 none.
short frameStyle(const std::array<short, 8>& f);

}  // namespace layout
