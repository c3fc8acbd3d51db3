// The layout pipelines; see layout_pipelines.h.
#include "layout/layout_pipelines.h"

#include "layout/block_cleaning.h"
#include "layout/component_steps.h"
#include "layout/later_steps.h"
#include "layout/form_rows.h"
#include "layout/layout_driver.h"
#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/line_gap_filter.h"
#include "layout/line_splitting.h"
#include "layout/line_steps.h"
#include "layout/line_field_steps.h"
#include "layout/mixed_fields.h"
#include "layout/parameter_tables.h"
#include "layout/pixel_groups.h"
#include "layout/rect_rings.h"
#include "layout/step_support.h"
#include "layout/table_regions.h"
#include "layout/text_measures.h"
#include "layout/vertical_blocks.h"
#include "layout/vertical_columns.h"
#include "layout/vertical_components.h"
#include "layout/vertical_fields.h"
#include "layout/vertical_gaps.h"
#include "layout/vertical_splitting.h"
#include "layout/vertical_tiers.h"

#include <algorithm>
#include <string_view>

namespace layout {
namespace {

constexpr bool kStops = true;
constexpr bool kGoesOn = false;

// Conditions.
bool T(const LayoutRun& r) { return r.ctx->areaMode(); }
bool L(const LayoutRun& r) { return r.ctx->params.word(ParamBlock::kLanguageWord) == 1; }
int byte(const LayoutRun& r, int i) { return r.ctx->params.byte(i); }
bool singleBlock(const LayoutRun& r) { return byte(r, ParamBlock::kSingleBlock) == 1; }

bool notT(const LayoutRun& r) { return !T(r); }
bool notL(const LayoutRun& r) { return !L(r); }
bool notTnotL(const LayoutRun& r) { return !T(r) && !L(r); }
bool rulesWanted(const LayoutRun& r) { return !singleBlock(r); }
bool gapsWanted(const LayoutRun& r) {
  return byte(r, ParamBlock::kSingleBlock) == 0 && (!T(r) || byte(r, ParamBlock::kNoHorizontalMargin) == 1);
}

int mm(const LayoutRun& r, int millimetres) { return mmToPixels(millimetres, r.ctx->page.dpi); }

// Work of the rows that the pipeline itself does.
short coarseBlobs(LayoutRun& r) {
  if (r.images == nullptr) return kStatusDone;
  constexpr int kReduction = 8;
  constexpr int kSizeBound = 160;
  return stepServices().collectComponents(&r.ctx->reducedList, &(*r.images)[3], &r.area.widened, kReduction,
                                          kSizeBound);
}

short decideLanguage(LayoutRun& r) {
  if (detect_latin_text(r.ctx) == 1) {
    r.ctx->params.setWord(ParamBlock::kLanguageWord, 1);
    r.ctx->params.setByte(ParamBlock::kBlankOutput, 1);
  } else {
    r.ctx->params.setWord(ParamBlock::kLanguageWord, 0);
  }
  return kStatusDone;
}

short singleBlockSetUp(LayoutRun& r) {
  r.ctx->params.setWord(ParamBlock::kTierCount, 1);
  free_rect_list(&r.ctx->sepList);
  return kStatusDone;
}

short measureLines(LayoutRun& r) {
  layctx* ctx = r.ctx;
  if (measure_line_height(ctx) != kStatusDone) ctx->lineHeight = ctx->charHeight;
  if (measure_line_gap(ctx) != kStatusDone) ctx->lineGapH = ctx->gapY;
  if (ctx->lineGapH < ctx->gapY / 2) ctx->lineGapH = static_cast<short>(ctx->gapY * 80 / 100);
  return kStatusDone;
}

short freeSpeckList(LayoutRun& r) {
  free_rect_list(&r.ctx->speckList);
  return kStatusDone;
}

short freeBlocksAndRegions(LayoutRun& r) {
  free_rect_list(&r.ctx->textList);
  free_rect_list(&r.ctx->largeList);
  return kStatusDone;
}

short freeAllLists(LayoutRun& r) {
  free_context_lists(r.ctx);
  return kStatusDone;
}

short copyLibraryRules(LayoutRun& r) {
  const KeisenPair library{layoutState().hLines, layoutState().vLines};
  return copy_keisen_lists(&library, &r.rules);
}

short freeRuleCopies(LayoutRun& r) {
  free_keisen_pair(&r.rules);
  return kStatusDone;
}

short joinLinesWithSeparators(LayoutRun& r) { return join_overlapping_lines(r.ctx, r.ctx->sepList); }

constexpr LayoutStep kHorizontalMain[] = {
    // Pieces into text, regions, separators and specks.
    {"classify_components_in_area", T,
     [](LayoutRun& r) { return classify_components_in_area(r.ctx, &r.area.widened, static_cast<short>(mm(r, 1))); },
     kStops},
    {"classify_components", notT, [](LayoutRun& r) { return classify_components(r.ctx); }, kStops},
    {"drop_touching_separators", nullptr, [](LayoutRun& r) { return drop_touching_separators(r.ctx); }, kGoesOn},
    {"absorb_figure_contents", notT, [](LayoutRun& r) { return absorb_figure_contents(r.ctx); }, kStops},
    // Coarse blobs of the image reduced by 8 join the regions.
    {"group_pixels", nullptr, coarseBlobs, kStops},
    {"keep_figure_blocks", nullptr,
     [](LayoutRun& r) { return keep_figure_blocks(r.ctx->reducedList, &r.ctx->page); }, kGoesOn},
    {"move_rect_list", nullptr, [](LayoutRun& r) { return move_rect_list(&r.ctx->reducedList, &r.ctx->largeList); },
     kStops},
    {"sort_rects_by_top", nullptr,
     [](LayoutRun& r) {
       sort_rects_by_top(r.ctx->largeList);
       return kStatusDone;
     },
     kGoesOn},
    {"drop_nested_components", nullptr,
     [](LayoutRun& r) {
       drop_nested_components(r.ctx);
       return kStatusDone;
     },
     kGoesOn},
    {"merge_overlapping_components", notL,
     [](LayoutRun& r) {
       merge_overlapping_components(&r.ctx->textList, r.ctx->gapY, parameterTables().layout(12));
       return kStatusDone;
     },
     kGoesOn},
    {"absorb_inner_pieces", notL, [](LayoutRun& r) { return absorb_inner_pieces(r.ctx); }, kGoesOn},
    {"merge_regions", nullptr, [](LayoutRun& r) { return merge_regions(&r.ctx->largeList, r.ctx); }, kGoesOn},
    // The first classification again, on the merged pieces.
    {"classify_components_in_area", T,
     [](LayoutRun& r) { return classify_components_in_area(r.ctx, &r.area.widened, static_cast<short>(mm(r, 1))); },
     kStops},
    {"drop_excluded_components",
     [](const LayoutRun& r) { return T(r) && byte(r, ParamBlock::kCharBlocks) == 1 && r.blockRing != nullptr; },
     [](LayoutRun& r) { return drop_excluded_components(r.ctx, r.blockRing, &r.area.own); }, kGoesOn},
    {"drop_components_outside_area",
     [](const LayoutRun& r) { return T(r) && byte(r, ParamBlock::kNoHorizontalMargin) == 0; },
     [](LayoutRun& r) { return drop_components_outside_area(r.ctx, &r.area.own); }, kGoesOn},
    {"classify_components", notT, [](LayoutRun& r) { return classify_components(r.ctx); }, kStops},
    {"drop_touching_separators", nullptr, [](LayoutRun& r) { return drop_touching_separators(r.ctx); }, kGoesOn},
    {"merge_regions", nullptr, [](LayoutRun& r) { return merge_regions(&r.ctx->largeList, r.ctx); }, kGoesOn},
    {"detect_latin_text", [](const LayoutRun& r) { return byte(r, ParamBlock::kLanguageAuto) == 1; },
     decideLanguage, kGoesOn},
    // Dotted and ruled lines.
    {"find_dotted_lines", nullptr, [](LayoutRun& r) { return find_dotted_lines(r.ctx, &r.result->ruleFields); },
     kStops},
    {"copy_keisen_lists", rulesWanted,
     copyLibraryRules,
     kStops},
    {"mark_all_keisen", rulesWanted, [](LayoutRun& r) { return mark_all_keisen(&r.rules); }, kGoesOn},
    {"find_underlines", [](const LayoutRun& r) { return rulesWanted(r) && L(r); },
     [](LayoutRun& r) { return find_underlines(&r.rules, r.ctx, &r.area.widened); }, kStops},
    {"drop_keisen_outside_area", rulesWanted,
     [](LayoutRun& r) { return drop_keisen_outside_area(&r.rules, r.ctx, &r.area.widened); }, kGoesOn},
    {"drop_components_on_keisen", rulesWanted,
     [](LayoutRun& r) { return drop_components_on_keisen(&r.rules, r.ctx, &r.area.widened); }, kGoesOn},
    {"keisen_to_separators", rulesWanted, [](LayoutRun& r) { return keisen_to_separators(&r.rules, r.ctx); },
     kStops},
    {"merge_separators", rulesWanted, [](LayoutRun& r) { return merge_separators(r.ctx); }, kGoesOn},
    {"drop_pieces_along_separators",
     [](const LayoutRun& r) {
       return rulesWanted(r) && T(r) &&
              (byte(r, ParamBlock::kNoVerticalMargin) == 0 || byte(r, ParamBlock::kNoHorizontalMargin) == 0);
     },
     [](LayoutRun& r) { return drop_pieces_along_separators(r.ctx); }, kGoesOn},
    {"add_line_fields", rulesWanted, [](LayoutRun& r) { return add_line_fields(&r.rules, &r.result->ruleFields); },
     kStops},
    {"free_keisen_pair", rulesWanted,
     freeRuleCopies,
     kGoesOn},
    {"single_block", singleBlock, singleBlockSetUp, kGoesOn},
    // Lines and blocks.
    {"build_lines", nullptr, [](LayoutRun& r) { return build_lines(r.ctx, line_join_distance(*r.ctx)); }, kStops},
    {"absorb_sparse_regions", notT, [](LayoutRun& r) { return absorb_sparse_regions(r.ctx); }, kGoesOn},
    {"find_table_regions", notT, [](LayoutRun& r) { return find_table_regions(r.ctx); }, kStops},
    {"drop_text_regions", notT, [](LayoutRun& r) { return drop_text_regions(r.ctx); }, kGoesOn},
    {"frame_regions", notT, [](LayoutRun& r) { return frame_regions(r.ctx); }, kStops},
    {"collect_line_gaps", gapsWanted, [](LayoutRun& r) { return collect_line_gaps(r.ctx); }, kStops},
    {"filter_line_gaps", gapsWanted, [](LayoutRun& r) { return filter_line_gaps(r.ctx); }, kGoesOn},
    {"gaps_to_separators", gapsWanted, [](LayoutRun& r) { return gaps_to_separators(r.ctx->gapList, r.ctx); },
     kStops},
    {"measure_lines", nullptr, measureLines, kGoesOn},
    {"classify_line_heights", nullptr, [](LayoutRun& r) { return classify_line_heights(r.ctx); }, kGoesOn},
    {"drop_noisy_lines", nullptr, [](LayoutRun& r) { return drop_noisy_lines(r.ctx); }, kGoesOn},
    {"merge_lines_at_tall_lines", nullptr, [](LayoutRun& r) { return merge_lines_at_tall_lines(r.ctx); }, kStops},
    {"build_blocks", nullptr, [](LayoutRun& r) { return build_blocks(r.ctx, line_distance(*r.ctx)); }, kStops},
    {"drop_narrow_blocks", notTnotL, [](LayoutRun& r) { return drop_narrow_blocks(r.ctx); }, kGoesOn},
    {"join_overlapping_lines", nullptr, joinLinesWithSeparators, kStops},
    {"hang_specks_on_lines", nullptr, [](LayoutRun& r) { return hang_specks_on_lines(r.ctx); }, kStops},
    {"free_speck_list", nullptr,
     freeSpeckList,
     kGoesOn},
    {"join_close_blocks", notL, [](LayoutRun& r) { return join_close_blocks(r.ctx); }, kStops},
    {"join_table_lines", T, [](LayoutRun& r) { return join_table_lines(r.ctx, r.ctx->sepList); }, kStops},
    {"join_overlapping_lines", nullptr, joinLinesWithSeparators, kStops},
    {"join_small_blocks", notT, [](LayoutRun& r) { return join_small_blocks(r.ctx); }, kStops},
    {"join_overlapping_lines", notT, joinLinesWithSeparators, kStops},
    {"drop_speckled_lines", notT, [](LayoutRun& r) { return drop_speckled_lines(r.ctx); }, kGoesOn},
    {"find_text_box", notTnotL, [](LayoutRun& r) { return find_text_box(r.ctx, &r.working); }, kStops},
    {"drop_blocks_in_figures", notT, [](LayoutRun& r) { return drop_blocks_in_figures(r.ctx); }, kStops},
    {"clear_figure_regions", notT, [](LayoutRun& r) { return clear_figure_regions(r.ctx); }, kStops},
    {"drop_small_in_regions", notT, [](LayoutRun& r) { return drop_small_in_regions(r.ctx); }, kGoesOn},
    // Columns, joins and splits, then the fields.
    {"find_columns", [](const LayoutRun& r) { return !T(r) || byte(r, ParamBlock::kNoHorizontalMargin) == 1; },
     [](LayoutRun& r) { return find_columns(r.ctx, r.ctx->params.word(ParamBlock::kTierCount)); }, kStops},
    {"find_table_columns", [](const LayoutRun& r) { return T(r) && byte(r, ParamBlock::kNoHorizontalMargin) != 1; },
     [](LayoutRun& r) { return find_table_columns(r.ctx, &r.working); }, kStops},
    {"drop_separators_in_blocks", nullptr, [](LayoutRun& r) { return drop_separators_in_blocks(r.ctx); }, kGoesOn},
    {"join_table_pieces", T, [](LayoutRun& r) { return join_table_pieces(r.ctx); }, kStops},
    {"join_blocks_in_columns", notTnotL, [](LayoutRun& r) { return join_blocks_in_columns(r.ctx, &r.working); },
     kStops},
    {"join_split_lines", nullptr, [](LayoutRun& r) { return join_split_lines(r.ctx); }, kStops},
    {"join_blocks_across_gap", nullptr, [](LayoutRun& r) { return join_blocks_across_gap(r.ctx); }, kStops},
    {"join_overlapping_lines", nullptr, joinLinesWithSeparators, kStops},
    {"merge_overlapping_blocks", nullptr, [](LayoutRun& r) { return merge_overlapping_blocks(r.ctx); }, kStops},
    {"merge_all_blocks", singleBlock, [](LayoutRun& r) { return merge_all_blocks(r.ctx); }, kStops},
    {"drop_figure_blocks", notTnotL, [](LayoutRun& r) { return drop_figure_blocks(r.ctx); }, kGoesOn},
    {"drop_figure_lines", notT, [](LayoutRun& r) { return drop_figure_lines(r.ctx); }, kGoesOn},
    {"drop_thin_figure_lines", notTnotL, [](LayoutRun& r) { return drop_thin_figure_lines(r.ctx); }, kStops},
    {"drop_flat_lines", notT, [](LayoutRun& r) { return drop_flat_lines(r.ctx); }, kGoesOn},
    {"join_overlapping_lines", nullptr, [](LayoutRun& r) { return join_overlapping_lines(r.ctx, nullptr); }, kStops},
    {"split_blocks_at_gutters", gapsWanted, [](LayoutRun& r) { return split_blocks_at_gutters(r.ctx); }, kStops},
    {"split_blocks_at_gaps", gapsWanted, [](LayoutRun& r) { return split_blocks_at_gaps(r.ctx); }, kStops},
    {"split_initial_lines", nullptr, [](LayoutRun& r) { return split_initial_lines(r.ctx); }, kStops},
    {"split_tall_lines", L, [](LayoutRun& r) { return split_tall_lines(r.ctx); }, kStops},
    {"join_overlapping_lines", nullptr, joinLinesWithSeparators, kStops},
    {"sort_rects_by_top", nullptr,
     [](LayoutRun& r) {
       sort_rects_by_top(r.ctx->textList);
       return kStatusDone;
     },
     kGoesOn},
    {"emit_fields", nullptr, [](LayoutRun& r) { return emit_fields(r.ctx, &r.result->fields); }, kStops},
    {"free_blocks_and_regions", nullptr,
     freeBlocksAndRegions,
     kGoesOn},
    // add_gap_separators is built but not run: a white row that lines up across
    // two columns becomes a page-wide gap line, and the columns are then read
    // band by band (layout_eval: exact order 100 % -> 90 %).
    {"add_gap_separators", notT, step_not_built, kStops},
    {"order_fields", notT, [](LayoutRun& r) { return order_fields(r.result->fields, r.ctx); }, kStops},
    {"read_form_rows", notT, [](LayoutRun& r) { return read_form_rows(r.result->fields); }, kStops},
    {"resplit_edge_fields", T, [](LayoutRun& r) { return resplit_edge_fields(r.result->fields, r.images); },
     kStops},
    {"add_table_gap_separators", T,
     [](LayoutRun& r) { return add_table_gap_separators(r.result->fields, r.ctx, &r.working); }, kStops},
    {"number_cells", T, [](LayoutRun& r) { return number_cells(r.result->fields, r.ctx); }, kStops},
    {"fill_table_grid", T, [](LayoutRun& r) { return fill_table_grid(&r.result->fields); }, kStops},
    {"free_context_lists", nullptr,
     freeAllLists,
     kGoesOn},
};

constexpr LayoutStep kHorizontalTail[] = {
    {"expand_tables", [](const LayoutRun& r) { return r.ctx->params.signedByte(ParamBlock::kForm) == 0; },
     [](LayoutRun& r) { return expand_tables(r.result, r.images); }, kStops},
    {"tidy_line_fields", nullptr, [](LayoutRun& r) { return tidy_line_fields(&r.result->ruleFields, r.ctx); }, kGoesOn},
    {"drop_line_fields_in_figures", nullptr,
     [](LayoutRun& r) { return drop_line_fields_in_figures(&r.result->ruleFields, r.result->fields); }, kGoesOn},
    {"drop_large_figures", nullptr, [](LayoutRun& r) { return drop_large_figures(r.result->fields, r.ctx); }, kGoesOn},
    {"merge_figures", nullptr, [](LayoutRun& r) { return merge_figures(r.result->fields); }, kGoesOn},
    {"drop_thin_figures", nullptr, [](LayoutRun& r) { return drop_thin_figures(r.result->fields); }, kGoesOn},
    {"drop_line_fields_in_text", nullptr,
     [](LayoutRun& r) { return drop_line_fields_in_text(&r.result->ruleFields, r.result->fields); }, kGoesOn},
    {"mark_line_fields_in_tables", nullptr,
     [](LayoutRun& r) { return mark_line_fields_in_tables(r.result->ruleFields, r.result->fields); }, kGoesOn},
};

// Vertical writing: page mode P is "not T".
bool page(const LayoutRun& r) { return !T(r); }
bool areaWithoutRowSplit(const LayoutRun& r) { return T(r) && byte(r, ParamBlock::kNoHorizontalMargin) == 0; }
bool vGapsWanted(const LayoutRun& r) {
  return byte(r, ParamBlock::kSingleBlock) == 0 && (!T(r) || byte(r, ParamBlock::kNoVerticalMargin) != 0);
}

short sortComponentsInArea(LayoutRun& r) {
  return sort_vComponents_area(r.ctx, &r.area.widened, static_cast<short>(mm(r, 1)));
}

short mergeLargeBlocks(LayoutRun& r) { return merge_vLargeBlocks(&r.ctx->largeList, r.ctx); }

short measureColumnWidth(LayoutRun& r) {
  layctx* ctx = r.ctx;
  const short status = measure_vColumnWidth(ctx);
  if (status == kStatusNoMemory) return status;
  if (status != kStatusDone) ctx->columnWidth = ctx->charWidth;
  return kStatusDone;
}

short measureColumnGap(LayoutRun& r) {
  layctx* ctx = r.ctx;
  if (measure_vColumnGap(ctx) != kStatusDone) ctx->columnGap = ctx->gapX;
  if (ctx->columnGap < ctx->gapX / 2) ctx->columnGap = static_cast<short>(ctx->gapX * 80 / 100);
  return kStatusDone;
}

constexpr LayoutStep kVerticalMain[] = {
    {"qsort_rects_by_right_desc", nullptr, [](LayoutRun& r) { return qsort_rects_by_right_desc(r.ctx->textList); },
     kStops},
    {"sort_vComponents_area", T, sortComponentsInArea, kStops},
    {"sort_vComponents", page, [](LayoutRun& r) { return sort_vComponents(r.ctx); }, kStops},
    {"drop_vSeparators_on_text", nullptr, [](LayoutRun& r) { return drop_vSeparators_on_text(r.ctx); }, kGoesOn},
    {"absorb_vLargeComponents", page, [](LayoutRun& r) { return absorb_vLargeComponents(r.ctx); }, kStops},
    {"group_pixels", nullptr, coarseBlobs, kStops},
    {"keep_figure_blocks", nullptr,
     [](LayoutRun& r) { return keep_figure_blocks(r.ctx->reducedList, &r.ctx->page); }, kGoesOn},
    {"move_rect_list", nullptr, [](LayoutRun& r) { return move_rect_list(&r.ctx->reducedList, &r.ctx->largeList); },
     kStops},
    {"qsort_rects_by_right_desc", nullptr,
     [](LayoutRun& r) { return qsort_rects_by_right_desc(r.ctx->largeList); }, kStops},
    {"drop_vNestedComponents", nullptr, [](LayoutRun& r) { return drop_vNestedComponents(r.ctx); }, kGoesOn},
    {"merge_vOverlaps", nullptr,
     [](LayoutRun& r) {
       return merge_vOverlaps(&r.ctx->textList, r.ctx->gapX, parameterTables().set4(8));
     },
     kStops},
    {"absorb_vSpecks", nullptr, [](LayoutRun& r) { return absorb_vSpecks(r.ctx); }, kGoesOn},
    {"merge_vLargeBlocks", nullptr, mergeLargeBlocks, kGoesOn},
    {"sort_vComponents_area", T, sortComponentsInArea, kStops},
    {"drop_vExcluded",
     [](const LayoutRun& r) { return T(r) && byte(r, ParamBlock::kCharBlocks) == 1 && r.blockRing != nullptr; },
     [](LayoutRun& r) { return drop_vExcluded(r.ctx, r.blockRing, &r.area.own); }, kGoesOn},
    {"keep_vInsideArea", areaWithoutRowSplit, [](LayoutRun& r) { return keep_vInsideArea(r.ctx, &r.area.own); },
     kGoesOn},
    {"sort_vComponents", page, [](LayoutRun& r) { return sort_vComponents(r.ctx); }, kStops},
    {"drop_vSeparators_on_text", nullptr, [](LayoutRun& r) { return drop_vSeparators_on_text(r.ctx); }, kGoesOn},
    {"merge_vLargeBlocks", nullptr, mergeLargeBlocks, kGoesOn},
    {"clear_english_flag", [](const LayoutRun& r) { return byte(r, ParamBlock::kLanguageAuto) == 1; },
     [](LayoutRun& r) {
       r.ctx->params.setWord(ParamBlock::kLanguageWord, 0);
       return kStatusDone;
     },
     kGoesOn},
    {"collect_rule_candidates", nullptr, [](LayoutRun& r) { return find_dotted_lines(r.ctx, &r.result->ruleFields); },
     kStops},
    {"copy_keisen_lists", rulesWanted,
     copyLibraryRules,
     kStops},
    {"mark_rules_live", rulesWanted, [](LayoutRun& r) { return mark_all_keisen(&r.rules); }, kGoesOn},
    {"clip_vRules", rulesWanted, [](LayoutRun& r) { return clip_vRules(&r.rules, r.ctx, &r.area.widened); }, kGoesOn},
    {"check_vRules", rulesWanted, [](LayoutRun& r) { return check_vRules(&r.rules, r.ctx, &r.area.widened); },
     kGoesOn},
    {"vRules_to_separators", rulesWanted, [](LayoutRun& r) { return vRules_to_separators(&r.rules, r.ctx); },
     kStops},
    {"merge_separators", rulesWanted, [](LayoutRun& r) { return merge_separators(r.ctx); }, kGoesOn},
    {"drop_chars_on_vSeparators",
     [](const LayoutRun& r) {
       return rulesWanted(r) && T(r) &&
              !(byte(r, ParamBlock::kNoVerticalMargin) != 0 && byte(r, ParamBlock::kNoHorizontalMargin) != 0);
     },
     [](LayoutRun& r) { return drop_pieces_along_separators(r.ctx); }, kGoesOn},
    {"rules_to_fields", rulesWanted, [](LayoutRun& r) { return add_line_fields(&r.rules, &r.result->ruleFields); },
     kStops},
    {"free_keisen_pair", rulesWanted,
     freeRuleCopies,
     kGoesOn},
    {"single_block", singleBlock, singleBlockSetUp, kGoesOn},
    {"link_vChars", nullptr, [](LayoutRun& r) { return link_vChars(r.ctx, column_link_distance(*r.ctx)); },
     kStops},
    // The regions judged against the columns as the rows' twins judge them
    // against lines: tables, pictures, and regions that text fills.
    {"check_small_large", page, [](LayoutRun& r) { return absorb_sparse_regions(r.ctx); }, kGoesOn},
    {"examine_large_components", page, [](LayoutRun& r) { return find_table_regions(r.ctx); }, kStops},
    {"drop_large_covered_by_text", page, [](LayoutRun& r) { return drop_text_regions(r.ctx); }, kGoesOn},
    {"frame_vBoxes", page, [](LayoutRun& r) { return frame_vBoxes(r.ctx); }, kStops},
    {"find_vColumnGaps", vGapsWanted, [](LayoutRun& r) { return find_vColumnGaps(r.ctx); }, kStops},
    {"join_vGaps", vGapsWanted, [](LayoutRun& r) { return join_vGaps(r.ctx); }, kGoesOn},
    {"vGaps_to_separators", vGapsWanted, [](LayoutRun& r) { return vGaps_to_separators(r.ctx->gapList, r.ctx); },
     kStops},
    {"measure_vColumnWidth", nullptr, measureColumnWidth, kStops},
    {"measure_vColumnGap", nullptr, measureColumnGap, kGoesOn},
    {"classify_vLines", nullptr, [](LayoutRun& r) { return classify_vLines(r.ctx); }, kGoesOn},
    {"drop_vLines_with_specks", nullptr, [](LayoutRun& r) { return drop_vLines_with_specks(r.ctx); }, kGoesOn},
    {"merge_vLineFragments", nullptr, [](LayoutRun& r) { return merge_vLineFragments(r.ctx); }, kStops},
    {"group_vLines", nullptr, [](LayoutRun& r) { return group_vLines(r.ctx, column_group_distance(*r.ctx)); },
     kStops},
    {"drop_vSmallLines", page, [](LayoutRun& r) { return drop_vSmallLines(r.ctx); }, kGoesOn},
    {"merge_vBlockLines", nullptr, [](LayoutRun& r) { return merge_vBlockLines(r.ctx, r.ctx->sepList); }, kStops},
    {"attach_vSpecks", nullptr, [](LayoutRun& r) { return attach_vSpecks(r.ctx, parameterTables().set4(8)); },
     kStops},
    {"free_speck_list", nullptr,
     freeSpeckList,
     kGoesOn},
    {"merge_vBlocks", nullptr, [](LayoutRun& r) { return merge_vBlocks(r.ctx); }, kStops},
    {"merge_vBlockLines_area", T, [](LayoutRun& r) { return merge_vBlockLines_area(r.ctx, r.ctx->sepList); },
     kStops},
    {"merge_vBlockLines", nullptr, [](LayoutRun& r) { return merge_vBlockLines(r.ctx, r.ctx->sepList); }, kStops},
    {"merge_vAdjacentBlocks", page, [](LayoutRun& r) { return merge_vAdjacentBlocks(r.ctx); }, kStops},
    {"merge_vBlockLines", page, [](LayoutRun& r) { return merge_vBlockLines(r.ctx, r.ctx->sepList); }, kStops},
    {"drop_vNoiseLines", page, [](LayoutRun& r) { return drop_vNoiseLines(r.ctx); }, kGoesOn},
    {"find_vTextBounds", page, [](LayoutRun& r) { return find_vTextBounds(r.ctx, &r.working); }, kStops},
    {"drop_vFigureComponents", page, [](LayoutRun& r) { return drop_vFigureComponents(r.ctx); }, kStops},
    {"classify_large_regions", page, [](LayoutRun& r) { return clear_figure_regions(r.ctx); }, kStops},
    {"drop_vTextInLarge", page, [](LayoutRun& r) { return drop_vTextInLarge(r.ctx); }, kGoesOn},
    {"find_vTiers", [](const LayoutRun& r) { return !(T(r) && byte(r, ParamBlock::kNoVerticalMargin) == 0); },
     [](LayoutRun& r) { return find_vTiers(r.ctx, r.ctx->params.word(ParamBlock::kTierCount)); }, kStops},
    {"find_vTiers_from_rules", [](const LayoutRun& r) { return T(r) && byte(r, ParamBlock::kNoVerticalMargin) == 0; },
     [](LayoutRun& r) { return find_vTiers_from_rules(r.ctx, &r.working); }, kStops},
    {"drop_vSeparators_in_text", nullptr, [](LayoutRun& r) { return drop_vSeparators_in_text(r.ctx); }, kGoesOn},
    {"merge_vBlocks_page", page, [](LayoutRun& r) { return merge_vBlocks_page(r.ctx); }, kStops},
    {"merge_vAdjacentLines", nullptr, [](LayoutRun& r) { return merge_vAdjacentLines(r.ctx); }, kStops},
    {"apply_vTiers", [](const LayoutRun& r) { return page(r) || areaWithoutRowSplit(r); },
     [](LayoutRun& r) { return apply_vTiers(r.ctx, page(r) ? 1 : 20); }, kStops},
    {"merge_vBlocks_area", T, [](LayoutRun& r) { return merge_vBlocks_area(r.ctx); }, kStops},
    {"merge_vBlocks_tier", T, [](LayoutRun& r) { return merge_vBlocks_tier(r.ctx); }, kStops},
    {"merge_vBlocks_stack", page, [](LayoutRun& r) { return merge_vBlocks_stack(r.ctx, &r.working); }, kStops},
    {"merge_vBlockLines", nullptr, [](LayoutRun& r) { return merge_vBlockLines(r.ctx, r.ctx->sepList); }, kStops},
    {"merge_vOverlappingBlocks", nullptr, [](LayoutRun& r) { return merge_vOverlappingBlocks(r.ctx); }, kStops},
    {"merge_vAllBlocks", singleBlock, [](LayoutRun& r) { return merge_vAllBlocks(r.ctx); }, kStops},
    {"free_separator_list", singleBlock,
     [](LayoutRun& r) {
       free_rect_list(&r.ctx->sepList);
       return kStatusDone;
     },
     kGoesOn},
    {"drop_single_char_pictures", page, [](LayoutRun& r) { return drop_figure_blocks(r.ctx); }, kGoesOn},
    {"drop_lines_in_pictures", page, [](LayoutRun& r) { return drop_figure_lines(r.ctx); }, kGoesOn},
    {"drop_vFigureLines", page, [](LayoutRun& r) { return drop_vFigureLines(r.ctx); }, kStops},
    {"drop_vThinLines", page, [](LayoutRun& r) { return drop_vThinLines(r.ctx); }, kGoesOn},
    {"merge_vBlockLines", nullptr, [](LayoutRun& r) { return merge_vBlockLines(r.ctx, nullptr); }, kStops},
    {"refine_vBlocks", vGapsWanted, [](LayoutRun& r) { return refine_vBlocks(r.ctx); }, kStops},
    {"refine_vLines", vGapsWanted, [](LayoutRun& r) { return refine_vLines(r.ctx); }, kStops},
    {"split_vHeadingLines", nullptr, [](LayoutRun& r) { return split_vHeadingLines(r.ctx); }, kStops},
    {"merge_vBlockLines", nullptr, [](LayoutRun& r) { return merge_vBlockLines(r.ctx, r.ctx->sepList); }, kStops},
    {"qsort_rects_by_right_desc", nullptr, [](LayoutRun& r) { return qsort_rects_by_right_desc(r.ctx->textList); },
     kStops},
    {"vBlocks_to_fields", nullptr, [](LayoutRun& r) { return vBlocks_to_fields(r.ctx, &r.result->fields); }, kStops},
    {"free_blocks_and_regions", nullptr,
     freeBlocksAndRegions,
     kGoesOn},
    {"add_vGapSeparators", page,
     [](LayoutRun& r) { return add_vGapSeparators(r.result->fields, r.ctx, &r.working); }, kStops},
    {"order_vFields", page, [](LayoutRun& r) { return order_vFields(r.result->fields, r.ctx); }, kStops},
    {"add_vGapSeparators_area", T,
     [](LayoutRun& r) { return add_vGapSeparators_area(r.result->fields, r.ctx, &r.working); }, kStops},
    {"order_vFields_area", T, [](LayoutRun& r) { return order_vFields_area(r.result->fields, r.ctx); }, kStops},
    {"fill_table_grid", T, [](LayoutRun& r) { return fill_table_grid(&r.result->fields); }, kStops},
    {"free_rect_set", nullptr,
     freeAllLists,
     kGoesOn},
};

constexpr LayoutStep kVerticalTail[] = {
    {"split_mixed_fields", [](const LayoutRun& r) { return page(r) && byte(r, ParamBlock::kDirection) == 2; },
     [](LayoutRun& r) { return split_mixed_fields(r.result, r.images); }, kStops},
    {"expand_form_fields", [](const LayoutRun& r) { return r.ctx->params.signedByte(ParamBlock::kForm) == 0; },
     [](LayoutRun& r) { return expand_tables(r.result, r.images); }, kStops},
    {"drop_duplicate_rule_fields", nullptr,
     [](LayoutRun& r) { return tidy_line_fields(&r.result->ruleFields, r.ctx); }, kGoesOn},
    {"drop_rules_on_figures", nullptr,
     [](LayoutRun& r) { return drop_line_fields_in_figures(&r.result->ruleFields, r.result->fields); }, kGoesOn},
    {"drop_huge_figure_fields", nullptr, [](LayoutRun& r) { return drop_large_figures(r.result->fields, r.ctx); },
     kGoesOn},
    {"merge_figure_fields", nullptr, [](LayoutRun& r) { return merge_figures(r.result->fields); }, kGoesOn},
    {"drop_thin_figure_fields", nullptr, [](LayoutRun& r) { return drop_thin_figures(r.result->fields); }, kGoesOn},
    {"drop_rules_in_cells", nullptr,
     [](LayoutRun& r) { return drop_line_fields_in_text(&r.result->ruleFields, r.result->fields); }, kGoesOn},
    {"mark_rules_in_areas", nullptr,
     [](LayoutRun& r) { return mark_line_fields_in_tables(r.result->ruleFields, r.result->fields); }, kGoesOn},
};

}  // namespace

const PipelineTable& horizontalPipeline() {
  static const PipelineTable table{kHorizontalMain, kHorizontalTail};
  return table;
}

std::span<const LayoutStep> horizontalEarlySteps() {
  static const std::size_t count = [] {
    std::size_t i = 0;
    while (i < std::size(kHorizontalMain) && std::string_view(kHorizontalMain[i].name) != "build_lines") ++i;
    return i;
  }();
  return std::span<const LayoutStep>(kHorizontalMain).first(count);
}

const PipelineTable& verticalPipeline() {
  static const PipelineTable table{kVerticalMain, kVerticalTail};
  return table;
}

short run_pipeline(const PipelineTable& table, LayoutRun& run, StepTrace trace) {
  const short status = run_layout_steps(table.main, run, trace);
  // The ruled-line copies never outlive the run, whichever way it ends.
  free_keisen_pair(&run.rules);
  if (status == kStatusNoMemory) return status;
  if (run.stopEarly) return kStatusDone;
  return run_layout_steps(table.tail, run, trace);
}

int line_join_distance(const layctx& ctx) {
  const int unit = ctx.charWidth + ctx.gapX;
  const bool wholeRow = ctx.areaMode() && ctx.params.byte(ParamBlock::kNoHorizontalMargin) == 0;
  if (wholeRow || ctx.params.byte(ParamBlock::kSingleBlock) == 1) return unit * 20;
  int d = unit * parameterTables().layout(26) / 100;
  if (ctx.params.word(ParamBlock::kLanguageWord) == 1) d = d * 75 / 100;
  return d;
}

int line_distance(const layctx& ctx) {
  int t = ctx.lineGapH * parameterTables().layout(30) / 100;
  if (ctx.params.word(ParamBlock::kLanguageWord) == 1) t = t * 125 / 100;
  t = std::max(t, tenthsToPixels(15, ctx.page.dpi));
  if (ctx.areaMode()) t = ctx.params.byte(ParamBlock::kNoVerticalMargin) == 1 ? 0 : t * 20;
  return t;
}

}  // namespace layout

short run_horizontal_pipeline(const layout::AreaRect* area, layctx* ctx, layout::ResultLists* result,
                              const std::array<ImageDesc, 5>* images, recg* exclusions, short nested) {
  layout::LayoutRun run{ctx, *area, result, images, exclusions, nested == 1, {}, area->own};
  return layout::run_pipeline(layout::horizontalPipeline(), run);
}

short layout_vRegion(const layout::AreaRect* area, layctx* ctx, layout::ResultLists* result,
                     const std::array<ImageDesc, 5>* images, recg* blockRing, short stopEarly) {
  layout::LayoutRun run{ctx, *area, result, images, blockRing, stopEarly == 1, {}, area->own};
  return layout::run_pipeline(layout::verticalPipeline(), run);
}
