// The last steps of the horizontal pipeline on hand-built rings: columns,
// line joins, fields, reading order, table grid and the tidying of line
// fields.
#include "layout/field_gaps.h"
#include "layout/later_steps.h"
#include "layout/line_splitting.h"
#include "layout/line_steps.h"
#include "layout/layout_status.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"
#include "tests/layout/step_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

namespace {

using layouttest::LayoutSteps;

// The region judgement answers "figure" for the rectangles listed, "text"
// for any other.
class FigureJudgement {
 public:
  explicit FigureJudgement(std::vector<Rect16> figures) : saved_(layout::stepServices()) {
    figures_ = std::move(figures);
    layout::stepServices().classifyRegion = [](short* kind, const ImageDesc*, const Rect16* rect) -> short {
      *kind = std::find(figures_.begin(), figures_.end(), *rect) != figures_.end() ? 10 : 13;
      return 1;
    };
  }
  ~FigureJudgement() { layout::stepServices() = saved_; }
  FigureJudgement(const FigureJudgement&) = delete;
  FigureJudgement& operator=(const FigureJudgement&) = delete;

 private:
  layout::StepServices saved_;
  static inline std::vector<Rect16> figures_;
};

class LaterSteps : public LayoutSteps {
 protected:
  rect_record* block(int l, int t, int r, int b) { return add(&ctx_.textList, l, t, r, b, 1); }
  rect_record* line(rect_record* blk, int l, int t, int r, int b) {
    rect_record* ln = add(&blk->outer, l, t, r, b, 1);
    add(&ln->inner, l, t, r, b);
    return ln;
  }
  std::vector<short> columns() const { return {ctx_.tiers.begin(), ctx_.tiers.begin() + ctx_.tierCount}; }

  userfld* field(userfld** head, int l, int t, int r, int b, int kind = layout::kFieldText, int number = 0,
                 int sub = 0) {
    userfld* f = append_fld(head);
    f->left = static_cast<std::int16_t>(l);
    f->top = static_cast<std::int16_t>(t);
    f->right = static_cast<std::int16_t>(r);
    f->bottom = static_cast<std::int16_t>(b);
    f->number = static_cast<std::int16_t>(number);
    f->subNumber = static_cast<std::int16_t>(sub);
    f->params.setByte(ParamBlock::kFieldKind, static_cast<std::uint8_t>(kind));
    return f;
  }
  static std::vector<Rect16> fieldRects(const userfld* head) {
    std::vector<Rect16> out;
    if (head != nullptr)
      for (const userfld* f = head->next; f != head; f = f->next) out.push_back({f->left, f->top, f->right, f->bottom});
    return out;
  }
};

// Lines starting at three left edges: ten at 100, two at 1000, one at 2000.
TEST_F(LaterSteps, FindColumnsTakesTheRequestedCountOrStopsAtAWeakEntry) {
  struct Case {
    const char* name;
    int requested;
    std::vector<short> expected;
  };
  const Case cases[] = {
      {"k = 0 stops at the first entry not above 0.3 x the one before", 0, {99, 600}},
      {"k = 2 keeps the two strongest whatever their counts", 2, {99, 999, 1500}},
      {"k larger than the entries takes them all", 50, {99, 999, 1999, 2500}},
  };
  for (const Case& c : cases) {
    free_context_lists(&ctx_);
    ctx_.charWidth = 40;
    rect_record* b = block(100, 100, 2500, 3000);
    for (int i = 0; i < 10; ++i) line(b, 100, 100 + i * 100, 599, 150 + i * 100);
    for (int i = 0; i < 2; ++i) line(b, 1000, 2000 + i * 100, 1499, 2050 + i * 100);
    line(b, 2000, 2500, 2499, 2550);
    ASSERT_EQ(find_columns(&ctx_, c.requested), 1) << c.name;
    EXPECT_EQ(columns(), c.expected) << c.name;
  }
}

TEST_F(LaterSteps, FindColumnsWithMoreThanAThousandBinsStaysInsideTheArray) {
  useDpi(400, 8000, 3000);
  ctx_.charWidth = 1;
  rect_record* b = block(0, 0, 7999, 2999);
  for (int i = 0; i < 1500; ++i) line(b, i * 5, i, i * 5 + 20, i + 1);
  for (const int k : {0, 5000}) {
    ASSERT_EQ(find_columns(&ctx_, k), 1);
    EXPECT_LE(ctx_.tierCount, 1000);
    EXPECT_GE(ctx_.tierCount, 2);
    EXPECT_TRUE(std::is_sorted(ctx_.tiers.begin(), ctx_.tiers.begin() + ctx_.tierCount));
  }
}

TEST_F(LaterSteps, FindTableColumnsWithoutSeparatorsSpansTheImage) {
  const Rect16 area{0, 0, 1000, 1000};
  ASSERT_EQ(find_table_columns(&ctx_, &area), 1);
  EXPECT_EQ(columns(), (std::vector<short>{0, static_cast<short>(ctx_.page.widthPixels() - 1)}));
}

TEST_F(LaterSteps, EmptyOrMissingListsLeaveEveryStepDone) {
  EXPECT_EQ(join_overlapping_lines(&ctx_, nullptr), 1);
  EXPECT_EQ(join_split_lines(&ctx_), 1);
  EXPECT_EQ(merge_overlapping_blocks(&ctx_), 1);
  EXPECT_EQ(merge_all_blocks(&ctx_), 1);
  EXPECT_EQ(drop_separators_in_blocks(&ctx_), 1);
  EXPECT_EQ(clear_figure_regions(&ctx_), 1);
  EXPECT_EQ(join_table_pieces(&ctx_), 1);
  EXPECT_EQ(join_blocks_in_columns(&ctx_, nullptr), 1);
  EXPECT_EQ(join_blocks_across_gap(&ctx_), 1);
  EXPECT_EQ(drop_figure_blocks(&ctx_), 1);
  EXPECT_EQ(drop_figure_lines(&ctx_), 1);
  EXPECT_EQ(split_blocks_at_gutters(&ctx_), 1);
  EXPECT_EQ(split_initial_lines(&ctx_), 1);
  EXPECT_EQ(split_tall_lines(&ctx_), 1);
  EXPECT_EQ(find_columns(&ctx_, 0), 1);
  EXPECT_EQ(emit_fields(&ctx_, &result_.fields), 1);
  EXPECT_TRUE(layout::ringEmpty(result_.fields));
  EXPECT_EQ(order_fields(result_.fields, &ctx_), 1);
  EXPECT_EQ(fill_table_grid(&result_.fields), 1);
  EXPECT_EQ(resplit_edge_fields(result_.fields, nullptr), 1);
  EXPECT_EQ(tidy_line_fields(&result_.ruleFields, &ctx_), 1);
}

TEST_F(LaterSteps, PiecesOfOneRowJoinUnlessATallSeparatorStandsBetween) {
  ctx_.lineGapH = 30;
  for (const bool separated : {false, true}) {
    free_context_lists(&ctx_);
    rect_record* b = block(100, 100, 900, 140);
    line(b, 100, 100, 400, 140);
    line(b, 500, 104, 900, 138);
    if (separated) add(&ctx_.sepList, 440, 50, 446, 300, 2);
    ASSERT_EQ(join_overlapping_lines(&ctx_, ctx_.sepList), 1);
    const auto lines = rects(b->outer);
    if (separated) {
      EXPECT_EQ(lines.size(), 2u);
    } else {
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_EQ(lines[0], (Rect16{100, 100, 900, 140}));
      EXPECT_EQ(layout::ringCount(b->outer->next->inner), 2);
    }
  }
}

TEST_F(LaterSteps, EmitFieldsWritesBlocksLinesBoxesAndRegions) {
  ctx_.charWidth = 40;
  ctx_.charHeight = 42;
  ctx_.gapX = 5;
  ctx_.lineHeight = 44;
  rect_record* b = block(100, 100, 900, 300);
  rect_record* second = add(&b->outer, 100, 200, 900, 240, 1);
  add(&second->inner, 500, 200, 540, 240);
  add(&second->inner, 100, 200, 140, 240);
  line(b, 100, 100, 900, 140);
  add(&ctx_.largeList, 100, 500, 600, 900, layout::kFieldFigure);
  rect_record* table = add(&ctx_.largeList, 100, 1000, 900, 1500, layout::kFieldCell);
  table->extra = 2;
  ASSERT_EQ(emit_fields(&ctx_, &result_.fields), 1);
  ASSERT_EQ(layout::ringCount(result_.fields), 3);
  const userfld* text = result_.fields->next;
  EXPECT_EQ(text->params.byte(ParamBlock::kFieldKind), layout::kFieldText);
  EXPECT_EQ(text->params.signedByte(ParamBlock::kForm), 1);  // a page area becomes a text area
  EXPECT_EQ(text->number, 1);
  EXPECT_EQ(text->measures[0], 40);
  EXPECT_EQ(text->measures[3], 44);
  ASSERT_EQ(layout::ringCount(text->lines), 2);
  EXPECT_EQ(text->lines->next->top, 100);  // lines by top
  const recg* boxes = text->lines->prev->boxes;
  ASSERT_EQ(layout::ringCount(boxes), 2);
  EXPECT_EQ(boxes->next->left, 100);  // boxes by left
  const userfld* figure = text->next;
  EXPECT_EQ(figure->params.byte(ParamBlock::kFieldKind), layout::kFieldFigure);
  EXPECT_EQ(figure->number, 2);
  const userfld* region = figure->next;
  EXPECT_EQ(region->params.byte(ParamBlock::kFieldKind), layout::kFieldTable);
  EXPECT_EQ(region->params.signedByte(ParamBlock::kForm), -1);
  EXPECT_EQ(region->params.byte(ParamBlock::kNoVerticalMargin), 0);  // style 2: rows only
  EXPECT_EQ(region->params.byte(ParamBlock::kNoHorizontalMargin), 1);
}

TEST_F(LaterSteps, ReadingOrderTakesAColumnWholeAndNeverMovesAFreeField) {
  // Two columns, given by top: left, right, left, right.
  field(&result_.fields, 0, 100, 500, 300);
  field(&result_.fields, 1000, 100, 1500, 300);
  field(&result_.fields, 0, 400, 500, 600);
  field(&result_.fields, 1000, 400, 1500, 600);
  ASSERT_EQ(order_fields(result_.fields, &ctx_), 1);
  EXPECT_EQ(fieldRects(result_.fields),
            (std::vector<Rect16>{{0, 100, 500, 300}, {0, 400, 500, 600}, {1000, 100, 1500, 300}, {1000, 400, 1500, 600}}));
  std::vector<int> numbers;
  for (const userfld* f = result_.fields->next; f != result_.fields; f = f->next) numbers.push_back(f->number);
  EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3, 4}));

  // A field that shares its rows with no other is free: the field below it
  // would belong before both, but does not pass it.
  free_fld_list(&result_.fields);
  field(&result_.fields, 1000, 100, 1500, 200);
  field(&result_.fields, 600, 300, 800, 350);
  field(&result_.fields, 0, 400, 500, 500);
  ASSERT_EQ(order_fields(result_.fields, &ctx_), 1);
  EXPECT_EQ(fieldRects(result_.fields),
            (std::vector<Rect16>{{1000, 100, 1500, 200}, {600, 300, 800, 350}, {0, 400, 500, 500}}));
}

// Page of 2000 x 1000: fields at x 0-500 and 900-2000 over y 0-300, and at
// 0-2000 over 700-1000; white columns 501-899 (only down to y 300, so not a
// column gap of the page) and white rows 301-699.
TEST_F(LaterSteps, GapLinesGoThroughWideWhiteGapsThatNothingCrosses) {
  ctx_.charWidth = 40;
  ctx_.gapX = 10;
  ctx_.lineGapH = 100;
  const Rect16 area{0, 0, 2000, 1000};
  struct Case {
    const char* name;
    Rect16 separator;  // a separator already there, or left > right for none
    short kind;
    std::vector<Rect16> expected;  // the gap lines appended
  };
  const Case cases[] = {
      {"the white rows get one line along their middle", {1, 0, 0, 0}, 1, {{0, 500, 2000, 500}}},
      {"a tall rule across the band keeps it open", {1000, 250, 1003, 750}, 2, {}},
      {"a rule too near the band's edge does not", {100, 250, 103, 750}, 2, {{0, 500, 2000, 500}}},
      {"a kind-4 mark outside the middle half does not", {1700, 250, 1703, 750}, 4, {{0, 500, 2000, 500}}},
      {"a kind-4 mark in the middle half does", {1000, 250, 1003, 750}, 4, {}},
  };
  for (const Case& c : cases) {
    free_fld_list(&result_.fields);
    free_rect_list(&ctx_.sepList);
    field(&result_.fields, 0, 0, 500, 300);
    field(&result_.fields, 900, 0, 2000, 300);
    field(&result_.fields, 0, 700, 2000, 1000);
    if (c.separator.left <= c.separator.right)
      add(&ctx_.sepList, c.separator.left, c.separator.top, c.separator.right, c.separator.bottom, c.kind);
    ASSERT_EQ(add_gap_separators(result_.fields, &ctx_, &area), 1) << c.name;
    std::vector<Rect16> lines;
    for (const rect_record* s = ctx_.sepList->next; s != ctx_.sepList; s = s->next)
      if (s->label == kKindGapLine) lines.push_back(layout::rectOf(*s));
    EXPECT_EQ(lines, c.expected) << c.name;
  }

  // Columns too, and the same service serves tables (no crossing test, 80 %
  // limits, only the directions bytes 10 and 11 ask for).
  free_fld_list(&result_.fields);
  free_rect_list(&ctx_.sepList);
  field(&result_.fields, 0, 0, 500, 1000);
  field(&result_.fields, 600, 0, 2000, 400);
  field(&result_.fields, 600, 500, 2000, 1000);
  ctx_.params.setByte(ParamBlock::kNoHorizontalMargin, 1);
  ASSERT_EQ(add_table_gap_separators(result_.fields, &ctx_, &area), 1);
  ASSERT_NE(ctx_.sepList, nullptr);
  std::vector<Rect16> lines;
  for (const rect_record* s = ctx_.sepList->next; s != ctx_.sepList; s = s->next) lines.push_back(layout::rectOf(*s));
  EXPECT_EQ(lines, (std::vector<Rect16>{{550, 0, 550, 1000}}));  // rows 401-499 are not asked for
}

TEST_F(LaterSteps, SeparatorCoverageTakesTheLargestShareOfEachShape) {
  const Rect16 box{100, 100, 299, 199};  // 200 wide, 100 high
  struct Case {
    const char* name;
    std::vector<std::pair<Rect16, short>> separators;
    int h, v;
  };
  const Case cases[] = {
      {"a wide rule over half the width", {{{50, 150, 199, 151}, 1}}, 50, 0},
      {"a tall rule over the whole height, the larger of two", {{{150, 0, 151, 300}, 2}, {{200, 150, 201, 180}, 2}}, 0, 100},
      {"a share under 10 % is none", {{{100, 150, 110, 151}, 1}}, 0, 0},
      {"a square piece is neither", {{{120, 120, 160, 160}, 1}}, 0, 0},
      {"a gap line decides at once", {{{150, 0, 151, 300}, 2}, {{0, 150, 400, 150}, kKindGapLine}}, 100, 0},
  };
  for (const Case& c : cases) {
    free_rect_list(&ctx_.sepList);
    for (const auto& [r, kind] : c.separators) add(&ctx_.sepList, r.left, r.top, r.right, r.bottom, kind);
    const layout::Coverage got = layout::separatorCoverage(box, ctx_.sepList);
    EXPECT_EQ(got.h, c.h) << c.name;
    EXPECT_EQ(got.v, c.v) << c.name;
  }
  free_rect_list(&ctx_.sepList);
  add(&ctx_.sepList, 0, 150, 400, 151, 1);
  EXPECT_EQ(layout::separatorCoverage(layout::Box{300, 100, 299, 199}, ctx_.sepList).h, 0);  // no width: no share
}

// Two cells side by side, the right one a little higher: by position the
// left one is read first; a rule between their middle rows puts the one
// under it after the one over it, unless byte 10 asks for gap lines instead.
TEST_F(LaterSteps, NumberCellsLetsARuleBetweenRowsDecide) {
  ctx_.charHeight = 40;
  ctx_.tierCount = 3;
  ctx_.tiers[0] = 0;
  ctx_.tiers[1] = 550;
  ctx_.tiers[2] = 2000;
  struct Case {
    const char* name;
    int ruleTop;  // 0: no rule
    int byte10;
    std::vector<Rect16> expected;
  };
  const Rect16 left{0, 150, 500, 300};    // middle row 225
  const Rect16 right{600, 100, 1000, 180};  // middle row 140
  const Case cases[] = {
      {"no rule: left to right", 0, 0, {left, right}},
      {"a rule between the middle rows: the upper cell first", 190, 0, {right, left}},
      {"a rule below both middle rows decides nothing", 260, 0, {left, right}},
      {"byte 10 set: the rule is not asked", 190, 1, {left, right}},
  };
  for (const Case& c : cases) {
    free_fld_list(&result_.fields);
    free_rect_list(&ctx_.sepList);
    ctx_.params.setByte(ParamBlock::kNoVerticalMargin, static_cast<std::uint8_t>(c.byte10));
    field(&result_.fields, right.left, right.top, right.right, right.bottom, layout::kFieldCell);
    field(&result_.fields, left.left, left.top, left.right, left.bottom, layout::kFieldCell);
    if (c.ruleTop != 0) add(&ctx_.sepList, 400, c.ruleTop, 700, c.ruleTop + 1, 1);
    ASSERT_EQ(number_cells(result_.fields, &ctx_), 1) << c.name;
    EXPECT_EQ(fieldRects(result_.fields), c.expected) << c.name;
  }
}

// A block 1000 px (62 mm) wide: four lines of 40 px at a pitch of 60, a
// white band, four more.  Lines count only with pieces 0.8 mm tall.
TEST_F(LaterSteps, SplitBlocksAtGapsCutsAtAHighWhiteBandOnly) {
  ctx_.charWidth = 40;
  ctx_.charHeight = 40;
  ctx_.gapY = 20;
  ctx_.lineHeight = 40;
  ctx_.lineGapH = 20;
  ctx_.tierCount = 0;
  struct Case {
    const char* name;
    int band;  // white rows between the fourth and the fifth line
    std::vector<int> linesPerBlock;
  };
  // Kept: at least 3 x (20 + 40) = 180 rows after the 30 % shrink on both sides.
  const Case cases[] = {
      {"a band of 500 rows in the middle", 500, {4, 4}},
      {"a band of 400 rows shrinks to 160", 400, {8}},
  };
  for (const Case& c : cases) {
    free_context_lists(&ctx_);
    rect_record* blk = block(0, 0, 0, 0);
    int y = 100;
    for (int i = 0; i < 8; ++i) {
      line(blk, 100, y, 1100, y + 39);
      y += (i == 3) ? 40 + c.band : 60;
    }
    recompute_blocks(ctx_.textList);
    ASSERT_EQ(split_blocks_at_gaps(&ctx_), 1) << c.name;
    std::vector<int> got;
    int top = -1;
    for (const rect_record* b = ctx_.textList->next; b != ctx_.textList; b = b->next) {
      got.push_back(count_rects(b->outer));
      EXPECT_GT(b->top, top) << c.name << ": blocks by top";
      top = b->top;
    }
    EXPECT_EQ(got, c.linesPerBlock) << c.name;
  }
}

TEST_F(LaterSteps, SmallPiecesStrictlyInsideAFigureGo) {
  ctx_.lineHeight = 40;
  add(&ctx_.largeList, 0, 0, 1000, 1000, 10);
  add(&ctx_.largeList, 2000, 0, 3000, 1000, 11);
  block(100, 100, 120, 120);    // small, inside the figure: goes
  block(100, 200, 500, 600);    // as large as a line: stays
  block(0, 700, 20, 720);       // on the figure's edge, not strictly inside: stays
  block(2100, 100, 2120, 120);  // inside a table region: stays
  block(100, 800, 900, 820);    // wide but lower than a line: goes
  ASSERT_EQ(drop_small_in_regions(&ctx_), 1);
  std::vector<Rect16> left;
  for (const rect_record* b = ctx_.textList->next; b != ctx_.textList; b = b->next) left.push_back(layout::rectOf(*b));
  EXPECT_EQ(left, (std::vector<Rect16>{{100, 200, 500, 600}, {0, 700, 20, 720}, {2100, 100, 2120, 120}}));
}

TEST_F(LaterSteps, FillTableGridInsertsTheMissingCells) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, int>> cells;
    std::vector<std::pair<int, int>> expected;
    int emptyAt;  // index of the one inserted cell, -1 for none
  };
  const Case cases[] = {
      {"(2,2) missing from 2 x 3", {{1, 1}, {1, 2}, {1, 3}, {2, 1}, {2, 3}},
       {{1, 1}, {1, 2}, {1, 3}, {2, 1}, {2, 2}, {2, 3}}, 4},
      {"(2,3) missing at the end", {{1, 1}, {1, 2}, {1, 3}, {2, 1}, {2, 2}},
       {{1, 1}, {1, 2}, {1, 3}, {2, 1}, {2, 2}, {2, 3}}, 5},
      {"one column", {{1, 1}, {3, 1}}, {{1, 1}, {3, 1}}, -1},
  };
  for (const Case& c : cases) {
    free_fld_list(&result_.fields);
    int i = 0;
    for (const auto& [row, column] : c.cells) {
      userfld* f = field(&result_.fields, 10 * i, 10, 10 * i + 5, 15, layout::kFieldCell, row, column);
      f->params.setByte(20, static_cast<std::uint8_t>(i++));
    }
    ASSERT_EQ(fill_table_grid(&result_.fields), 1) << c.name;
    std::vector<std::pair<int, int>> got;
    int index = 0;
    for (const userfld* f = result_.fields->next; f != result_.fields; f = f->next, ++index) {
      got.emplace_back(f->number, f->subNumber);
      if (index == c.emptyAt) {
        EXPECT_EQ(f->right, 0) << c.name;  // an empty cell
        EXPECT_EQ(f->params.byte(20), 4) << c.name;  // the following (or last) cell's block
      }
    }
    EXPECT_EQ(got, c.expected) << c.name;
  }
}

TEST_F(LaterSteps, LineFieldsAreReducedAndMerged) {
  for (int i = 0; i < 3; ++i) field(&result_.ruleFields, 100, 100, 900, 102)->origin = 1;
  ASSERT_EQ(tidy_line_fields(&result_.ruleFields, &ctx_), 1);
  EXPECT_EQ(fieldRects(result_.ruleFields), (std::vector<Rect16>{{100, 100, 900, 102}}));

  // Two horizontal pieces 1 mm apart become one three rows thick; a vertical
  // line far away stays.
  free_fld_list(&result_.ruleFields);
  field(&result_.ruleFields, 100, 100, 900, 102)->origin = 1;
  field(&result_.ruleFields, 900 + mm(1), 104, 1500, 106)->origin = 1;
  field(&result_.ruleFields, 3000, 100, 3002, 900)->origin = 2;
  ASSERT_EQ(tidy_line_fields(&result_.ruleFields, &ctx_), 1);
  EXPECT_EQ(fieldRects(result_.ruleFields), (std::vector<Rect16>{{100, 103, 1500, 105}, {3000, 100, 3002, 900}}));
}

TEST_F(LaterSteps, SplitBlocksAtGuttersCutsAWideBlockAtACentralWhiteColumn) {
  // 400 dpi: 50 mm is 800 px, 0.8 mm is 12 px; a gutter must be 1.3 x (40 + 10) = 65 px wide.
  // Characters 40 px wide stand every 50 px from x = 100 to 1899; leaving out
  // those starting in [dropFrom, dropTo] opens a white run from dropFrom - 10
  // to dropTo + 49.
  ctx_.charWidth = 40;
  ctx_.gapX = 10;
  ctx_.tierCount = 0;
  struct Case {
    const char* name;
    int dropFrom, dropTo;
    bool headingSpans;               // the first line runs across the gutter
    std::vector<int> linesPerBlock;  // blocks by top, then by left
  };
  const Case cases[] = {
      {"a central gutter of 160 px", 900, 1000, false, {6, 6}},
      {"a heading across the gutter", 900, 1000, true, {1, 5, 5}},
      {"a gutter of 60 px is too narrow", 1000, 1000, false, {6}},
      {"a gutter outside the middle 60 %", 300, 400, false, {6}},
  };
  for (const Case& c : cases) {
    free_context_lists(&ctx_);
    const int whiteLeft = c.dropFrom - 10;
    const int whiteRight = c.dropTo + 49;
    rect_record* blk = block(0, 0, 0, 0);
    for (int i = 0; i < 6; ++i) {
      const int top = 100 + 60 * i;
      rect_record* ln = add(&blk->outer, 100, top, 1899, top + 39, 1);
      for (int x = 100; x + 39 <= 1899; x += 50) {
        if (!(i == 0 && c.headingSpans) && x >= c.dropFrom && x <= c.dropTo) continue;
        add(&ln->inner, x, top, x + 39, top + 39);
      }
      // A thin rule piece standing in the gutter is not text of either side.
      if (i == 1) add(&ln->inner, (whiteLeft + whiteRight) / 2, top, (whiteLeft + whiteRight) / 2 + 5, top + 39);
    }
    recompute_blocks(ctx_.textList);
    ASSERT_EQ(split_blocks_at_gutters(&ctx_), 1) << c.name;
    std::vector<const rect_record*> got;
    for (const rect_record* b = ctx_.textList->next; b != ctx_.textList; b = b->next) {
      EXPECT_EQ(b->label, 0) << c.name << ": marks cleared";
      got.push_back(b);
    }
    std::stable_sort(got.begin(), got.end(), [](const rect_record* a, const rect_record* b) {
      return a->top != b->top ? a->top < b->top : a->left < b->left;
    });
    std::vector<int> lines;
    for (const rect_record* b : got) lines.push_back(count_rects(b->outer));
    EXPECT_EQ(lines, c.linesPerBlock) << c.name;
    if (c.linesPerBlock.size() > 1) {
      for (const rect_record* b : got)
        if (count_rects(b->outer) > 1) {
          EXPECT_TRUE(b->right < whiteLeft || b->left > whiteRight) << c.name << ": no block reaches into the gutter";
        }
    }
  }
}

// Two one-line blocks A and B side by side, and what each joining step
// makes of them.
TEST_F(LaterSteps, BlocksSideBySideJoinOnlyWithinAColumnAndWithNothingBetween) {
  enum Step { InColumns, TablePieces, AcrossGap };
  struct Case {
    const char* name;
    Step step;
    Rect16 b;
    std::vector<short> columns;
    Rect16 separator;  // none when its right is 0
    short separatorKind;
    bool tableWithoutByte11;
    int blocksAfter;
  };
  const Rect16 none{0, 0, 0, 0};
  const Rect16 tallRule{420, 50, 425, 300};
  const Case cases[] = {
      {"in columns: close beside", InColumns, {450, 100, 699, 139}, {}, none, 0, false, 1},
      {"in columns: a column boundary between", InColumns, {450, 100, 699, 139}, {99, 430, 2500}, none, 0, false, 2},
      {"in columns: a tall rule between", InColumns, {450, 100, 699, 139}, {}, tallRule, 2, false, 2},
      {"in columns: together a third of the area or wider", InColumns, {450, 100, 1099, 139}, {}, none, 0, false, 2},
      {"in columns: not side by side", InColumns, {450, 200, 699, 239}, {}, none, 0, false, 2},
      {"table pieces: one row, overlapping columns", TablePieces, {200, 120, 499, 150}, {}, none, 0, false, 1},
      {"table pieces: higher together than 1.5 lines", TablePieces, {200, 120, 499, 170}, {}, none, 0, false, 2},
      {"table pieces: columns apart", TablePieces, {450, 120, 699, 150}, {}, none, 0, false, 2},
      {"table pieces: a rule through them", TablePieces, {200, 120, 499, 150}, {}, {300, 50, 305, 300}, 2, false,
       2},
      {"across gap: 100 px apart in one column", AcrossGap, {500, 100, 799, 139}, {0, 1500, 2999}, none, 0, false, 1},
      {"across gap: more than 8 mm apart", AcrossGap, {600, 100, 899, 139}, {0, 1500, 2999}, none, 0, false, 2},
      {"across gap: over a column boundary", AcrossGap, {500, 100, 799, 139}, {0, 450, 2999}, none, 0, false, 2},
      {"across gap: fewer than two boundaries", AcrossGap, {500, 100, 799, 139}, {0}, none, 0, false, 2},
      {"across gap: a tall rule between", AcrossGap, {500, 100, 799, 139}, {0, 1500, 2999}, tallRule, 2, false, 2},
      {"across gap: a gap channel between on a page", AcrossGap, {500, 100, 799, 139}, {0, 1500, 2999}, tallRule, 4,
       false, 2},
      {"across gap: a gap channel does not part table cells", AcrossGap, {500, 100, 799, 139}, {0, 1500, 2999},
       tallRule, 4, true, 1},
      {"across gap: in one column no separator parts blocks", AcrossGap, {500, 100, 799, 139}, {0, 2999}, tallRule, 2,
       false, 1},
  };
  for (const Case& c : cases) {
    free_context_lists(&ctx_);
    ctx_.charWidth = 40;
    ctx_.lineHeight = 40;
    ctx_.params.setByte(ParamBlock::kForm, c.tableWithoutByte11 ? 0xFF : 0);
    ctx_.params.setByte(ParamBlock::kNoHorizontalMargin, 0);
    ctx_.tierCount = 0;
    for (const short x : c.columns) ctx_.tiers[static_cast<std::size_t>(ctx_.tierCount++)] = x;
    line(block(100, 100, 399, 139), 100, 100, 399, 139);
    line(block(c.b.left, c.b.top, c.b.right, c.b.bottom), c.b.left, c.b.top, c.b.right, c.b.bottom);
    if (c.separator.right != 0)
      add(&ctx_.sepList, c.separator.left, c.separator.top, c.separator.right, c.separator.bottom, c.separatorKind);
    const Rect16 area{0, 0, 2999, 2999};
    const short status = c.step == InColumns     ? join_blocks_in_columns(&ctx_, &area)
                         : c.step == TablePieces ? join_table_pieces(&ctx_)
                                                 : join_blocks_across_gap(&ctx_);
    ASSERT_EQ(status, 1) << c.name;
    EXPECT_EQ(count_rects(ctx_.textList), c.blocksAfter) << c.name;
    EXPECT_EQ(count_rects(ctx_.sepList), c.separator.right != 0 ? 1 : 0) << c.name << ": the reading order needs them";
    if (c.blocksAfter == 1) {
      const rect_record* joined = ctx_.textList->next;
      EXPECT_EQ(count_rects(joined->outer), 2) << c.name << ": both lines kept";
      EXPECT_LE(joined->outer->next->top, joined->outer->prev->top) << c.name << ": lines by top";
    }
  }
}

TEST_F(LaterSteps, TextLikePiecesOfFiguresGo) {
  const Rect16 region{1000, 1000, 1799, 1799};  // 50 mm at 400 dpi: a small region
  const Rect16 big{1000, 1000, 2199, 2199};     // 75 mm
  const Rect16 figurePiece{1100, 1100, 1199, 1139};
  const Rect16 textPiece{1300, 1300, 1399, 1339};
  const Rect16 densePiece{1050, 1400, 1749, 1749};
  struct Case {
    const char* name;
    Rect16 region;
    short regionKind;
    bool regionJudgedFigure;
    std::vector<Rect16> pieces;
    std::vector<Rect16> left;
  };
  const Case cases[] = {
      {"a small sparse figure loses both pieces", region, 10, true, {figurePiece, textPiece}, {}},
      {"a large figure keeps what reads as text", big, 10, true, {figurePiece, textPiece}, {textPiece}},
      {"a small figure with much inside keeps its text", region, 10, true, {textPiece, densePiece},
       {textPiece, densePiece}},
      {"a region judged text keeps everything", region, 10, false, {figurePiece, textPiece}, {figurePiece, textPiece}},
      {"a table region keeps everything", region, 11, true, {figurePiece, textPiece}, {figurePiece, textPiece}},
      {"a piece reaching out of the region stays", region, 10, true, {{900, 1100, 1199, 1139}},
       {{900, 1100, 1199, 1139}}},
  };
  for (const Case& c : cases) {
    free_context_lists(&ctx_);
    std::vector<Rect16> figures{figurePiece};
    if (c.regionJudgedFigure) figures.push_back(c.region);
    FigureJudgement judgement(figures);
    add(&ctx_.largeList, c.region.left, c.region.top, c.region.right, c.region.bottom, c.regionKind);
    for (const Rect16& p : c.pieces) line(block(p.left, p.top, p.right, p.bottom), p.left, p.top, p.right, p.bottom);
    ASSERT_EQ(clear_figure_regions(&ctx_), 1) << c.name;
    EXPECT_EQ(rects(ctx_.textList), c.left) << c.name;
  }
}

TEST_F(LaterSteps, FigureBlocksAndSparseLinesInFiguresGo) {
  ctx_.lineHeight = 40;
  const Rect16 lonePiece{100, 100, 299, 299};
  FigureJudgement judgement({lonePiece, {100, 400, 199, 499}, {1100, 1100, 1499, 1139}});
  // drop_figure_blocks: a block of one line of one piece judged a figure.
  line(block(100, 100, 299, 299), 100, 100, 299, 299);
  rect_record* two = block(100, 400, 199, 499);  // the same judgement, but two pieces
  rect_record* ln = line(two, 100, 400, 199, 499);
  add(&ln->inner, 150, 450, 160, 460);
  line(block(600, 100, 799, 299), 600, 100, 799, 299);  // judged text
  ASSERT_EQ(drop_figure_blocks(&ctx_), 1);
  EXPECT_EQ(rects(ctx_.textList), (std::vector<Rect16>{{100, 400, 199, 499}, {600, 100, 799, 299}}));

  // drop_figure_lines: only a sparse line meeting a figure region, judged a figure.
  free_context_lists(&ctx_);
  add(&ctx_.largeList, 1000, 1000, 1999, 1999, 10);
  rect_record* b = block(1100, 1100, 1499, 1239);
  rect_record* sparse = add(&b->outer, 1100, 1100, 1499, 1139, 1);
  add(&sparse->inner, 1100, 1100, 1139, 1139);
  add(&sparse->inner, 1460, 1100, 1499, 1139);
  line(b, 1100, 1200, 1499, 1239);  // dense: one piece over the whole line
  rect_record* outside = block(100, 100, 499, 139);
  rect_record* far = add(&outside->outer, 100, 100, 499, 139, 1);
  add(&far->inner, 100, 100, 139, 139);
  ASSERT_EQ(drop_figure_lines(&ctx_), 1);
  EXPECT_EQ(rects(ctx_.textList), (std::vector<Rect16>{{1100, 1200, 1499, 1239}, {100, 100, 139, 139}}));
}

// A lead piece three rows high beside three rows of four characters.
TEST_F(LaterSteps, ALineLedByALargePieceKeepsTheLeadAndGivesItsRowsLinesOfTheirOwn) {
  ctx_.charWidth = 40;
  ctx_.charHeight = 40;
  ctx_.gapX = 10;
  ctx_.gapY = 10;
  ctx_.lineHeight = 40;
  struct Case {
    const char* name;
    std::vector<Rect16> lead;
    std::vector<Rect16> lines;  // by top, then left
    bool separator;
  };
  const Case cases[] = {
      {"one lead piece", {{100, 100, 219, 239}},
       {{100, 100, 219, 239}, {250, 100, 439, 139}, {250, 150, 439, 189}, {250, 200, 439, 239}}, true},
      {"a lead of two pieces", {{100, 110, 159, 239}, {170, 100, 219, 239}},
       {{100, 100, 219, 239}, {250, 100, 439, 139}, {250, 150, 439, 189}, {250, 200, 439, 239}}, true},
      {"no piece high enough to lead", {{100, 100, 139, 139}}, {{100, 100, 439, 239}}, false},
  };
  for (const Case& c : cases) {
    free_context_lists(&ctx_);
    rect_record* b = block(100, 100, 439, 239);
    rect_record* ln = add(&b->outer, 100, 100, 439, 239, 1);
    for (const Rect16& p : c.lead) add(&ln->inner, p.left, p.top, p.right, p.bottom);
    for (int row = 0; row < 3; ++row)
      for (int i = 0; i < 4; ++i) add(&ln->inner, 250 + 50 * i, 100 + 50 * row, 289 + 50 * i, 139 + 50 * row);
    ASSERT_EQ(split_initial_lines(&ctx_), 1) << c.name;
    std::vector<Rect16> got = rects(b->outer);
    std::sort(got.begin(), got.end(), [](const Rect16& x, const Rect16& y) {
      return x.top != y.top ? x.top < y.top : x.left < y.left;
    });
    EXPECT_EQ(got, c.lines) << c.name;
    int pieces = 0;
    for (const rect_record* l = b->outer->next; l != b->outer; l = l->next) pieces += count_rects(l->inner);
    EXPECT_EQ(pieces, static_cast<int>(c.lead.size()) + 12) << c.name << ": every piece in exactly one line";
    const std::vector<Rect16> separators =
        c.separator ? std::vector<Rect16>{{220, 100, 221, 239}} : std::vector<Rect16>{};
    EXPECT_EQ(rects(ctx_.sepList), separators) << c.name;
    if (c.separator) {
      EXPECT_EQ(labels(ctx_.sepList), std::vector<short>{2}) << c.name;
    }
  }
}

// On a blank page the second analysis finds nothing, so a field chosen for
// it goes and every other field stays.
TEST_F(LaterSteps, OnlyNarrowFieldsAlongATablesLeftEdgeAreAnalysedAgain) {
  const int width = 2000;
  const int height = 2000;
  std::vector<std::uint8_t> bits(static_cast<std::size_t>(paddedRowBytes(width)) * height, 0);
  const ImageDesc blank{bits.data(), static_cast<std::uint16_t>(paddedRowBytes(width)),
                        static_cast<std::uint16_t>(height), 400};
  const std::array<ImageDesc, 5> images{blank, blank, blank, blank, blank};
  struct Case {
    const char* name;
    Rect16 field;
    int lineWidth;
    bool analysedAgain;
  };
  const Case cases[] = {
      {"a narrow column at the left edge", {100, 100, 159, 899}, 50, true},
      {"a line wider than 1.5 characters", {100, 100, 159, 899}, 61, false},
      {"lower than two characters", {100, 100, 159, 178}, 50, false},
      {"right edge beyond four characters from the left", {100, 100, 299, 899}, 50, false},
  };
  for (const Case& c : cases) {
    userfld* fields = nullptr;
    // The table's other cell, far right, keeps the left edge at the first.
    for (const Rect16& r : {c.field, Rect16{1000, 100, 1500, 899}}) {
      userfld* f = field(&fields, r.left, r.top, r.right, r.bottom, layout::kFieldCell);
      f->measures[0] = 40;
      f->measures[1] = 40;
      line_record* l = append_line(&f->lines);
      l->left = r.left;
      l->top = r.top;
      l->right = static_cast<std::int16_t>(r.left + c.lineWidth - 1);
      l->bottom = r.bottom;
    }
    ASSERT_EQ(resplit_edge_fields(fields, &images), 1) << c.name;
    std::vector<Rect16> left{Rect16{1000, 100, 1500, 899}};
    if (!c.analysedAgain) left.insert(left.begin(), c.field);
    EXPECT_EQ(fieldRects(fields), left) << c.name;
    free_fld_list(&fields);
  }
}

// A line that took in three rows of Latin text, eight letters each, 20 px
// of white between the rows.
TEST_F(LaterSteps, ATallLatinLineIsCutAtItsWhiteRowsOnly) {
  ctx_.charWidth = 30;
  ctx_.charHeight = 40;
  ctx_.gapX = 10;
  ctx_.gapY = 20;
  ctx_.lineHeight = 40;
  ctx_.lineGapH = 20;
  struct Case {
    const char* name;
    bool bracket;     // a piece over all three rows, right of them
    bool fullHeight;  // the letters fill every row: nothing white between
    int lines;
  };
  const Case cases[] = {
      {"three rows become three lines", false, false, 3},
      {"a bracket over the rows is cut with them", true, false, 3},
      {"no white row: the line stays whole", false, true, 1},
  };
  for (const Case& c : cases) {
    free_context_lists(&ctx_);
    rect_record* b = block(100, 100, 429, 259);
    rect_record* ln = add(&b->outer, 100, 100, 429, 259, 1);
    for (int row = 0; row < 3; ++row)
      for (int i = 0; i < 8; ++i) {
        const int top = c.fullHeight ? 100 : 100 + 60 * row;
        const int bottom = c.fullHeight ? 259 : top + 39;
        if (c.fullHeight && row > 0) continue;
        add(&ln->inner, 100 + 40 * i, top, 129 + 40 * i, bottom);
      }
    if (c.bracket) add(&ln->inner, 420, 100, 429, 259);
    add(&ln->inner, 150, 93, 153, 96);    // the dot of an i, over the first row
    add(&ln->inner, 200, 150, 200, 150);  // a speck between the rows
    ASSERT_EQ(split_tall_lines(&ctx_), 1) << c.name;
    ASSERT_EQ(count_rects(ctx_.textList), 1) << c.name;
    b = ctx_.textList->next;
    EXPECT_EQ(count_rects(b->outer), c.lines) << c.name;
    if (c.fullHeight) continue;
    int bracketPieces = 0;
    int pieces = 0;
    bool dotOnFirstRow = false;
    for (const rect_record* l = b->outer->next; l != b->outer; l = l->next) {
      int here = 0;
      for (const rect_record* p = l->inner->next; p != l->inner; p = p->next) {
        ++pieces;
        here += p->left == 420 ? 1 : 0;
        if (p->left == 150 && p->top == 93) dotOnFirstRow = l->top <= 100;
      }
      EXPECT_LE(here, 1) << c.name << ": one bracket piece per line";
      bracketPieces += here;
      EXPECT_LT(layout::rectHeight(*l), 2 * ctx_.lineHeight) << c.name;
    }
    EXPECT_EQ(bracketPieces, c.bracket ? 3 : 0) << c.name;
    EXPECT_EQ(pieces, 24 + 1 + bracketPieces) << c.name << ": the dot is kept, the speck goes";
    EXPECT_TRUE(dotOnFirstRow) << c.name;
  }
}

TEST_F(LaterSteps, AFlatLineGoesWithTheLineRightUnderIt) {
  struct Case {
    const char* name;
    int nextTop;
    int joinedLines;
  };
  const Case cases[] = {
      {"a line of accents just over the text", 112, 1},
      {"a flat line far above", 140, 2},
  };
  for (const Case& c : cases) {
    free_context_lists(&ctx_);
    rect_record* b = block(100, 100, 299, c.nextTop + 39);
    line(b, 100, 100, 299, 109);  // 10 px high: under 1 mm at 400 dpi
    line(b, 100, c.nextTop, 299, c.nextTop + 39);
    ASSERT_EQ(join_thin_lines(&ctx_), 1) << c.name;
    EXPECT_EQ(count_rects(b->outer), c.joinedLines) << c.name;
    if (c.joinedLines == 1) {
      EXPECT_EQ(rects(b->outer), (std::vector<Rect16>{{100, 100, 299, static_cast<std::int16_t>(c.nextTop + 39)}}));
    }
  }
}

}  // namespace
