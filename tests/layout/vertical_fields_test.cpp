// The last steps of vertical writing on hand-built rings at 400 dpi: blocks
// into result fields, the gap separators, and the reading order with its
// numbers, in page and area mode.
#include "layout/field_rings.h"
#include "layout/rect_rings.h"
#include "layout/vertical_fields.h"
#include "layout/vertical_gaps.h"
#include "tests/layout/step_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

class VerticalFields : public layouttest::LayoutSteps {
 protected:
  userfld* field(int l, int t, int r, int b, int kind) {
    userfld* f = append_fld(&result_.fields);
    f->left = static_cast<std::int16_t>(l);
    f->top = static_cast<std::int16_t>(t);
    f->right = static_cast<std::int16_t>(r);
    f->bottom = static_cast<std::int16_t>(b);
    f->number = 0;
    f->subNumber = 0;
    f->origin = 0;
    f->params = ctx_.params;
    f->params.setByte(ParamBlock::kFieldKind, static_cast<std::uint8_t>(kind));
    f->lines = nullptr;
    f->blocks = nullptr;
    f->children = nullptr;
    return f;
  }
  // The fields' left edges in ring order, which names them in the tables.
  std::vector<int> lefts() const {
    std::vector<int> out;
    for (const userfld* f = result_.fields->next; f != result_.fields; f = f->next) out.push_back(f->left);
    return out;
  }
  std::vector<std::pair<int, int>> numbers() const {
    std::vector<std::pair<int, int>> out;
    for (const userfld* f = result_.fields->next; f != result_.fields; f = f->next)
      out.emplace_back(f->number, f->subNumber);
    return out;
  }
  void setTiers(std::initializer_list<short> tiers) {
    ctx_.tierCount = 0;
    for (short t : tiers) ctx_.tiers[static_cast<std::size_t>(ctx_.tierCount++)] = t;
  }
};

// ---- fields ---------------------------------------------------------------

TEST_F(VerticalFields, BlocksBecomeFieldsWithColumnsRightToLeftAndBoxesTopDown) {
  ctx_.charWidth = 48;
  ctx_.charHeight = 48;
  ctx_.gapY = 8;
  ctx_.columnWidth = 50;
  rect_record* block = add(&ctx_.textList, 1000, 100, 1300, 600, 5);
  rect_record* left = add(&block->outer, 1000, 100, 1050, 600);
  rect_record* right = add(&block->outer, 1250, 100, 1300, 600);
  add(&left->inner, 1000, 300, 1050, 340)->extra = 7;
  add(&left->inner, 1000, 100, 1050, 140);
  add(&right->inner, 1250, 100, 1300, 140);
  add(&ctx_.largeList, 100, 100, 500, 500, kFieldKindFigure);
  add(&ctx_.largeList, 1500, 100, 1900, 500, kFieldKindAreaText)->extra = 3;

  ASSERT_EQ(vBlocks_to_fields(&ctx_, &result_.fields), 1);
  ASSERT_EQ(count_fld(result_.fields), 3);
  // Sorted right to left: the region, the text, the figure.
  EXPECT_EQ(lefts(), (std::vector<int>{1500, 1000, 100}));
  const userfld* region = result_.fields->next;
  const userfld* text = region->next;
  const userfld* figure = text->next;

  EXPECT_EQ(text->params.byte(ParamBlock::kForm), 1) << "a form byte of 0 becomes 1";
  EXPECT_EQ(text->params.byte(ParamBlock::kFieldKind), kFieldKindText);
  EXPECT_EQ(text->origin, 5);
  EXPECT_EQ(text->subNumber, -1);
  EXPECT_EQ(text->measures[3], 50);
  ASSERT_EQ(count_fld(result_.fields), 3);
  const line_record* first = text->lines->next;
  EXPECT_EQ(first->left, 1250) << "the right column first";
  const line_record* second = first->next;
  ASSERT_NE(second->boxes, nullptr);
  EXPECT_EQ(second->boxes->next->top, 100) << "boxes from the top";
  EXPECT_EQ(second->boxes->next->next->code2, 7) << "the box's extra word travels";

  EXPECT_EQ(figure->params.byte(ParamBlock::kFieldKind), kFieldKindFigure);
  EXPECT_EQ(figure->lines, nullptr);
  EXPECT_EQ(region->params.byte(ParamBlock::kFieldKind), kFieldKindLater);
  EXPECT_EQ(region->params.byte(ParamBlock::kForm), 0xFF);
  EXPECT_EQ(region->params.byte(ParamBlock::kNoVerticalMargin), 1) << "margin code 3";
  EXPECT_EQ(region->params.byte(ParamBlock::kNoHorizontalMargin), 0) << "margin code 3";
}

TEST_F(VerticalFields, AreaModeMakesKind11AndNoFigureOrRegionFields) {
  ctx_.params.setByte(ParamBlock::kForm, 0xFF);
  rect_record* block = add(&ctx_.textList, 1000, 100, 1050, 600);
  add(&add(&block->outer, 1000, 100, 1050, 600)->inner, 1000, 100, 1050, 140);
  add(&ctx_.largeList, 100, 100, 500, 500, kFieldKindFigure);
  add(&ctx_.largeList, 1500, 100, 1900, 500, kFieldKindAreaText);
  ASSERT_EQ(vBlocks_to_fields(&ctx_, &result_.fields), 1);
  ASSERT_EQ(count_fld(result_.fields), 1);
  EXPECT_EQ(result_.fields->next->params.byte(ParamBlock::kFieldKind), kFieldKindAreaText);
  EXPECT_EQ(result_.fields->next->params.byte(ParamBlock::kForm), 0xFF);
}

TEST_F(VerticalFields, MarginCodesSetTheRegionsSplitBytes) {
  const struct {
    short code;
    int byte10, byte11;
  } cases[] = {{1, 0, 0}, {2, 0, 1}, {3, 1, 0}, {0, 1, 1}, {7, 1, 1}};
  for (const auto& c : cases) {
    free_context_lists(&ctx_);
    free_fld_list(&result_.fields);
    add(&ctx_.largeList, 100, 100, 500, 500, kFieldKindAreaText)->extra = c.code;
    ASSERT_EQ(vBlocks_to_fields(&ctx_, &result_.fields), 1);
    const userfld* f = result_.fields->next;
    EXPECT_EQ(f->params.byte(ParamBlock::kNoVerticalMargin), c.byte10) << "code " << c.code;
    EXPECT_EQ(f->params.byte(ParamBlock::kNoHorizontalMargin), c.byte11) << "code " << c.code;
  }
}

// ---- gap separators -------------------------------------------------------

TEST_F(VerticalFields, GapLinesGoThroughWhiteThatNothingSeparates) {
  ctx_.columnGap = 20;
  ctx_.charHeight = 48;
  ctx_.gapY = 8;
  const Rect16 working{0, 0, 999, 999};
  // Two fields side by side 200 px apart, over the whole height.
  field(700, 0, 999, 999, kFieldKindText);
  field(0, 0, 499, 999, kFieldKindText);
  ASSERT_EQ(add_vGapSeparators(result_.fields, &ctx_, &working), 1);
  ASSERT_EQ(count_rects(ctx_.sepList), 1);
  EXPECT_EQ(rects(ctx_.sepList)[0], (Rect16{599, 0, 599, 999}));
  EXPECT_EQ(labels(ctx_.sepList)[0], kKindGapLine);

  // A ruled line across that gap, in its middle three fifths: no gap line.
  free_rect_list(&ctx_.sepList);
  add(&ctx_.sepList, 480, 500, 720, 502, 1);
  ASSERT_EQ(add_vGapSeparators(result_.fields, &ctx_, &working), 1);
  EXPECT_EQ(count_rects(ctx_.sepList), 1);

  // A tier mark there counts only in the middle half of the rectangle.
  free_rect_list(&ctx_.sepList);
  add(&ctx_.sepList, 480, 230, 720, 232, layout::kKindGapMark);
  ASSERT_EQ(add_vGapSeparators(result_.fields, &ctx_, &working), 1);
  EXPECT_EQ(count_rects(ctx_.sepList), 2) << "a mark in the upper quarter does not count";
}

TEST_F(VerticalFields, RowGapsNeedMoreThanALinePitch) {
  ctx_.columnGap = 20;
  ctx_.charHeight = 48;
  ctx_.gapY = 8;  // limit (8 + 48) x 1.25 = 70
  const Rect16 working{0, 0, 999, 999};
  const struct {
    int gap;
    int lines;
  } cases[] = {{70, 0}, {71, 1}};
  for (const auto& c : cases) {
    free_fld_list(&result_.fields);
    free_rect_list(&ctx_.sepList);
    field(0, 0, 999, 399, kFieldKindText);
    field(0, 400 + c.gap, 999, 999, kFieldKindText);
    ASSERT_EQ(add_vGapSeparators(result_.fields, &ctx_, &working), 1);
    EXPECT_EQ(count_rects(ctx_.sepList), c.lines) << "gap " << c.gap;
  }
}

TEST_F(VerticalFields, AreaGapLinesFollowTheSplitBytes) {
  ctx_.params.setByte(ParamBlock::kForm, 0xFF);
  ctx_.columnGap = 20;
  ctx_.charHeight = 48;
  ctx_.gapY = 8;
  const Rect16 working{0, 0, 999, 999};
  field(0, 0, 399, 399, kFieldKindAreaText);
  field(600, 600, 999, 999, kFieldKindAreaText);
  for (int b10 : {0, 1}) {
    for (int b11 : {0, 1}) {
      free_rect_list(&ctx_.sepList);
      ctx_.params.setByte(ParamBlock::kNoVerticalMargin, static_cast<std::uint8_t>(b10));
      ctx_.params.setByte(ParamBlock::kNoHorizontalMargin, static_cast<std::uint8_t>(b11));
      ASSERT_EQ(add_vGapSeparators_area(result_.fields, &ctx_, &working), 1);
      EXPECT_EQ(count_rects(ctx_.sepList), b10 + b11) << b10 << b11;
    }
  }
}

// ---- reading order, page mode ---------------------------------------------

TEST_F(VerticalFields, CompareFieldsCases) {
  struct Case {
    const char* name;
    Rect16 a, b;                     // a is being placed, b came earlier
    std::vector<Rect16> separators;  // gap lines
    int result;                      // >= 0: a is read first
  };
  const Rect16 upperLeft{0, 0, 399, 399};
  const Rect16 lowerRight{600, 600, 999, 999};
  const Rect16 verticalLine{500, 0, 500, 999};
  const Rect16 horizontalLine{0, 500, 999, 500};
  const Case cases[] = {
      {"side by side at one height: the right one first", {200, 0, 299, 499}, {0, 0, 99, 499}, {}, 1},
      {"side by side at one height: the left one after", {0, 0, 99, 499}, {200, 0, 299, 499}, {}, -1},
      {"lower right after upper left without a separator", lowerRight, upperLeft, {}, -1},
      {"lower right before upper left with a vertical gap line", lowerRight, upperLeft, {verticalLine}, 1},
      {"lower right after upper left with a horizontal gap line", lowerRight, upperLeft, {horizontalLine}, -1},
      {"upper left before lower right without a separator", upperLeft, lowerRight, {}, 1},
      {"upper left after lower right with a vertical gap line", upperLeft, lowerRight, {verticalLine}, -1},
      {"below, overlapping across: the upper first", {0, 600, 999, 999}, {0, 0, 899, 399}, {}, -1},
      {"above, overlapping across: the upper first", {0, 0, 899, 399}, {0, 600, 999, 999}, {}, 1},
      {"overlapping both ways: the higher top first", {0, 100, 500, 500}, {300, 0, 800, 400}, {}, -1},
  };
  for (const Case& c : cases) {
    free_rect_list(&ctx_.sepList);
    for (const Rect16& s : c.separators) add(&ctx_.sepList, s.left, s.top, s.right, s.bottom, kKindGapLine);
    userfld a{};
    userfld b{};
    a.left = c.a.left, a.top = c.a.top, a.right = c.a.right, a.bottom = c.a.bottom;
    b.left = c.b.left, b.top = c.b.top, b.right = c.b.right, b.bottom = c.b.bottom;
    const int r = compare_vFields(a, b, ctx_.sepList);
    EXPECT_EQ(r >= 0 ? 1 : -1, c.result) << c.name;
  }
}

TEST_F(VerticalFields, AThinRuleDoesNotCountAndAShortOneIsAShare) {
  // Shares under 10 % count as nothing.
  free_rect_list(&ctx_.sepList);
  add(&ctx_.sepList, 450, 0, 452, 14, 2);  // 15 of 201 rows: 7 %
  layout::Coverage c = layout::separatorCoverage(Rect16{400, 0, 600, 200}, ctx_.sepList);
  EXPECT_EQ(c.v, 0);
  add(&ctx_.sepList, 450, 0, 452, 100, 2);  // 101 of 201 rows: 50 %
  c = layout::separatorCoverage(Rect16{400, 0, 600, 200}, ctx_.sepList);
  EXPECT_EQ(c.v, 50);
  EXPECT_EQ(c.h, 0);
}

TEST_F(VerticalFields, TiersAreReadTopFirstEvenWhenTheLowerReachesFurtherRight) {
  field(0, 0, 899, 399, kFieldKindText);
  field(0, 600, 999, 999, kFieldKindText);
  sort_fld_by_right_desc(result_.fields);
  ASSERT_EQ(order_vFields(result_.fields, &ctx_), 1);
  EXPECT_EQ(result_.fields->next->top, 0);
}

TEST_F(VerticalFields, AFieldNoOtherOverlapsAcrossKeepsItsPlace) {
  // The first field stands alone across: it is a column head and the later
  // fields, though above it, do not pass it.
  field(800, 500, 999, 999, kFieldKindText);
  field(0, 0, 299, 400, kFieldKindText);
  field(0, 450, 299, 999, kFieldKindText);
  ASSERT_EQ(order_vFields(result_.fields, &ctx_), 1);
  EXPECT_EQ(result_.fields->next->origin, 1);
  EXPECT_EQ(lefts(), (std::vector<int>{800, 0, 0}));
  EXPECT_EQ(result_.fields->next->next->top, 0);
}

TEST_F(VerticalFields, ATitleInTheUpperLeftIsReadBeforeTheTiersBelowIt) {
  // A horizontal title beside white, the body's two tiers to its right and
  // below: the column of white between them runs the whole height, yet the
  // row of white under the title still gets its line, and the title's band
  // is read first.  A heading column to the right of a body keeps its place.
  ctx_.columnGap = 20;
  ctx_.charHeight = 48;
  ctx_.gapY = 8;
  const Rect16 working{0, 0, 3299, 4599};
  struct Case {
    const char* name;
    std::vector<Rect16> fields;
    std::vector<int> tops;  // expected reading order
  };
  const Case cases[] = {
      {"title, two tiers",
       {{470, 230, 1000, 330}, {1230, 550, 3070, 2000}, {1230, 2190, 3070, 3640}},
       {230, 550, 2190}},
      {"title, body, figure under the title: the body has its columns to itself",
       {{470, 230, 1000, 330}, {1230, 550, 3070, 2000}, {470, 2300, 1100, 3000}},
       {230, 550, 2300}},
      {"title over the body's full width", {{470, 230, 3070, 330}, {470, 550, 3070, 2000}}, {230, 550}},
      {"a vertical heading right of the body",
       {{2950, 700, 3050, 1500}, {1230, 550, 2900, 2000}, {1230, 2190, 2900, 3640}},
       {700, 550, 2190}},
  };
  for (const Case& c : cases) {
    free_fld_list(&result_.fields);
    free_rect_list(&ctx_.sepList);
    for (const Rect16& r : c.fields) field(r.left, r.top, r.right, r.bottom, kFieldKindText);
    sort_fld_by_right_desc(result_.fields);
    ASSERT_EQ(add_vGapSeparators(result_.fields, &ctx_, &working), 1) << c.name;
    ASSERT_EQ(order_vFields(result_.fields, &ctx_), 1) << c.name;
    std::vector<int> tops;
    for (const userfld* f = result_.fields->next; f != result_.fields; f = f->next) tops.push_back(f->top);
    EXPECT_EQ(tops, c.tops) << c.name;
  }
}

TEST_F(VerticalFields, PageNumbersRunPerKind) {
  field(1000, 0, 1099, 99, kFieldKindText);
  field(900, 0, 999, 99, kFieldKindFigure);
  field(800, 0, 899, 99, kFieldKindText);
  field(700, 0, 799, 99, kFieldKindLater);
  field(600, 0, 699, 99, kFieldKindText);
  field(500, 0, 599, 99, kFieldKindLater);
  ASSERT_EQ(order_vFields(result_.fields, &ctx_), 1);
  EXPECT_EQ(numbers(), (std::vector<std::pair<int, int>>{{1, -1}, {1, -1}, {2, -1}, {1, -1}, {3, -1}, {2, -1}}));
}

TEST_F(VerticalFields, OpenRulesAreThoseWithoutFieldsOnBothSides) {
  field(0, 0, 999, 399, kFieldKindText);
  field(0, 600, 999, 999, kFieldKindText);
  rect_record* copy = nullptr;
  add(&copy, 0, 500, 999, 502, 1);     // between the two: not open
  add(&copy, 0, 1100, 999, 1102, 1);   // below both: open
  add(&copy, 0, 200, 999, 202, 1);     // through the upper field: not open
  ASSERT_EQ(flag_open_rules(copy, result_.fields), 1);
  std::vector<int> marks;
  for (const rect_record* s = copy->next; s != copy; s = s->next) marks.push_back(s->top * 10 + (s->extra == 1));
  free_rect_list(&copy);
  std::sort(marks.begin(), marks.end());
  EXPECT_EQ(marks, (std::vector<int>{2000, 5000, 11001}));
}

// ---- reading order, area mode ---------------------------------------------

TEST_F(VerticalFields, AreaFieldsAreNumberedByGroupAndTier) {
  ctx_.params.setByte(ParamBlock::kForm, 0xFF);
  ctx_.params.setByte(ParamBlock::kNoHorizontalMargin, 1);
  ctx_.charWidth = 40;
  // Two tiers (table 0 | 500 | 999) over three column spans; one field lies
  // below the last boundary, in no tier.
  field(900, 0, 949, 449, kFieldKindAreaText);
  field(900, 550, 949, 999, kFieldKindAreaText);
  field(800, 0, 849, 449, kFieldKindAreaText);
  field(800, 550, 849, 999, kFieldKindAreaText);
  field(800, 1100, 849, 1300, kFieldKindAreaText);
  field(700, 550, 749, 999, kFieldKindAreaText);
  setTiers({0, 500, 999});
  ASSERT_EQ(order_vFields_area(result_.fields, &ctx_), 1);
  EXPECT_EQ(lefts(), (std::vector<int>{900, 900, 800, 800, 800, 700}));
  // Number = the group (a field starting above the previous bottom opens
  // one), sub-number = the tier, or the position outside the tiers.
  EXPECT_EQ(numbers(), (std::vector<std::pair<int, int>>{{1, 1}, {1, 2}, {2, 1}, {2, 2}, {2, 3}, {3, 2}}));
}

TEST_F(VerticalFields, AreaOrderPassesOverOtherKinds) {
  ctx_.params.setByte(ParamBlock::kForm, 0xFF);
  ctx_.params.setByte(ParamBlock::kNoHorizontalMargin, 1);
  ctx_.charWidth = 40;
  // Two text fields overlapping across (so neither is a column head) with a
  // figure between them in the ring: the right one moves to the front.
  field(0, 0, 599, 449, kFieldKindAreaText);
  field(50, 500, 99, 600, kFieldKindFigure);
  field(300, 0, 999, 449, kFieldKindAreaText);
  ASSERT_EQ(order_vFields_area(result_.fields, &ctx_), 1);
  EXPECT_EQ(lefts(), (std::vector<int>{300, 0, 50}));
}

}  // namespace
