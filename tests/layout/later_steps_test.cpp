// The last steps of the horizontal pipeline on hand-built rings: columns,
// line joins, fields, reading order, table grid and the tidying of line
// fields.
#include "layout/field_gaps.h"
#include "layout/later_steps.h"
#include "layout/line_steps.h"
#include "layout/layout_status.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"
#include "tests/layout/step_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using layouttest::LayoutSteps;

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
  EXPECT_EQ(find_columns(&ctx_, 0), 1);
  EXPECT_EQ(emit_fields(&ctx_, &result_.fields), 1);
  EXPECT_TRUE(layout::ringEmpty(result_.fields));
  EXPECT_EQ(order_fields(result_.fields, &ctx_), 1);
  EXPECT_EQ(fill_table_grid(&result_.fields), 1);
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

}  // namespace
