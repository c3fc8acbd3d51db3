// Tiers and block merging of vertical writing on hand-built rings at 400 dpi
// (16 pixels to the millimetre; characters 48 px).
#include "layout/rect_rings.h"
#include "layout/vertical_blocks.h"
#include "layout/vertical_gaps.h"
#include "layout/vertical_splitting.h"
#include "layout/vertical_tiers.h"
#include "tests/layout/step_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class VerticalTiers : public layouttest::LayoutSteps {
 protected:
  void SetUp() override {
    LayoutSteps::SetUp();
    ctx_.charWidth = 48;
    ctx_.charHeight = 48;
    ctx_.gapY = 8;
    ctx_.columnWidth = 48;
    ctx_.columnGap = 16;
  }
  // A block of `columns` columns of `chars` characters, its right column at
  // x, columns 64 px apart, characters 56 px apart from y down.
  rect_record* addBlock(int x, int y, int columns, int chars, int width = 48) {
    rect_record* block = add(&ctx_.textList, 0, 0, 0, 0, 1);
    for (int c = 0; c < columns; ++c) {
      const int left = x - c * 64;
      rect_record* col = add(&block->outer, left, y, left + width - 1, y + chars * 56 - 9, 1);
      for (int i = 0; i < chars; ++i) add(&col->inner, left, y + i * 56, left + width - 1, y + i * 56 + 47);
    }
    refit_vBlocks(ctx_.textList);
    return block;
  }
  std::vector<short> table() const {
    return std::vector<short>(ctx_.tiers.begin(), ctx_.tiers.begin() + ctx_.tierCount);
  }
};

TEST_F(VerticalTiers, TiersFromTheColumnsTopsAndBottoms) {
  struct Case {
    const char* name;
    int asked;
    bool third;
    std::vector<short> expected;
  };
  // Tier 1: rows 100..1099; tier 2: rows 1300..2299 (18 characters a column).
  const Case cases[] = {
      {"two tiers: both tops minus 1 and the common bottom plus 1", 0, false, {99, 1299, 2300}},
      {"one tier asked for: the most frequent top only", 1, false, {99, 1100}},
      {"a weak third peak under 30 % is not taken", 0, true, {99, 1299, 2300}},
  };
  for (const Case& c : cases) {
    free_context_lists(&ctx_);
    addBlock(1500, 100, 10, 18);
    addBlock(1500, 1300, 10, 18);
    if (c.third) addBlock(600, 2500, 2, 12);
    ASSERT_EQ(find_vTiers(&ctx_, static_cast<short>(c.asked)), 1) << c.name;
    EXPECT_EQ(table(), c.expected) << c.name;
  }
  free_context_lists(&ctx_);
  ASSERT_EQ(find_vTiers(&ctx_, 0), 1);
  EXPECT_EQ(ctx_.tierCount, 0) << "no text, no tiers";
}

TEST_F(VerticalTiers, TiersFromRules) {
  const int last = ctx_.page.height - 1;
  const Rect16 area{0, 0, 2000, 3000};
  // No separators at all: the whole height.
  ASSERT_EQ(find_vTiers_from_rules(&ctx_, &area), 1);
  EXPECT_EQ(table(), (std::vector<short>{0, static_cast<short>(last)}));

  // Text above the first long rule; two rules 50 px apart (under 1.5 x 48
  // = 72) give one boundary; a short rule and a tier mark do not count.
  addBlock(1500, 100, 3, 5);
  add(&ctx_.sepList, 100, 1000, 1900, 1002, 1);
  add(&ctx_.sepList, 100, 1050, 1900, 1052, 1);
  add(&ctx_.sepList, 100, 2000, 200, 2002, 1);
  add(&ctx_.sepList, 100, 2500, 1900, 2502, layout::kKindGapMark);
  ASSERT_EQ(find_vTiers_from_rules(&ctx_, &area), 1);
  EXPECT_EQ(table(), (std::vector<short>{1, 1002, static_cast<short>(last)}));
}

TEST_F(VerticalTiers, SmallTextInAFigureGoesAndSeparatorsInTextGo) {
  add(&ctx_.largeList, 0, 0, 1000, 1000, 10);
  addBlock(500, 100, 1, 5, 30);   // 30 px wide: narrower than a column
  addBlock(900, 100, 3, 5);       // 176 x 272: stays
  ASSERT_EQ(drop_vTextInLarge(&ctx_), 1);
  EXPECT_EQ(count_rects(ctx_.textList), 1);

  add(&ctx_.sepList, 800, 150, 820, 200, 2);   // inside the block
  add(&ctx_.sepList, 700, 150, 1200, 200, 1);  // sticks out
  ASSERT_EQ(drop_vSeparators_in_text(&ctx_), 1);
  EXPECT_EQ(count_rects(ctx_.sepList), 1);
}

// ---- merging --------------------------------------------------------------

TEST_F(VerticalTiers, AHeadingSplitIntoTwoNarrowPiecesBecomesOneLine) {
  // Three body columns, then a heading column whose two halves came apart
  // (20 + 4 + 20 px together: narrower than 130 % of the body's 48 px, and
  // shorter than 3 column widths).
  rect_record* block = addBlock(1000, 100, 3, 10);
  rect_record* a = add(&block->outer, 1100, 100, 1119, 130, 1);
  add(&a->inner, 1100, 100, 1119, 130);
  rect_record* b = add(&block->outer, 1124, 100, 1143, 130, 1);
  add(&b->inner, 1124, 100, 1143, 130);
  ASSERT_EQ(merge_vAdjacentLines(&ctx_), 1);
  ASSERT_EQ(count_rects(block->outer), 4);
  EXPECT_EQ(rects(block->outer)[0], (Rect16{1100, 100, 1143, 130}));
  EXPECT_EQ(count_rects(block->outer->next->inner), 2);
  // Body columns are too wide together to join.
  EXPECT_EQ(rects(block->outer)[1].left, 1000);
}

TEST_F(VerticalTiers, BlocksSideBySideInOneTierJoin) {
  struct Case {
    const char* name;
    int gap;        // white between the blocks
    bool outside;   // the union lies below the last boundary, in no tier
    bool rule;      // a separator between them
    int blocks;
  };
  const Case cases[] = {
      {"one character width apart", 48, false, false, 1},
      {"more than one character width apart", 49, false, false, 2},
      {"the union in no tier", 48, true, false, 2},
      {"a ruled line between them", 48, false, true, 2},
  };
  for (const Case& c : cases) {
    free_context_lists(&ctx_);
    addBlock(1500, 100, 3, 10);           // left edge 1372
    addBlock(1372 - c.gap - 48, 100, 3, 10);  // right edge 1372 - gap - 1
    ctx_.tierCount = 2;
    ctx_.tiers[0] = c.outside ? 20 : 50;
    ctx_.tiers[1] = c.outside ? 50 : 1000;
    if (c.rule) add(&ctx_.sepList, 1372 - c.gap / 2, 100, 1372 - c.gap / 2, 600, 2);
    ASSERT_EQ(apply_vTiers(&ctx_, 1), 1) << c.name;
    EXPECT_EQ(count_rects(ctx_.textList), c.blocks) << c.name;
    if (c.blocks == 1) {
      EXPECT_EQ(count_rects(ctx_.textList->next->outer), 6) << c.name;
    }
  }
}

TEST_F(VerticalTiers, OverlappingBlocksJoinAcrossATierMarkButNotARule) {
  for (const short kind : {layout::kKindGapMark, short{1}}) {
    free_context_lists(&ctx_);
    addBlock(1500, 100, 3, 10);
    addBlock(1400, 500, 3, 10);
    add(&ctx_.sepList, 1200, 520, 1600, 522, kind);
    ASSERT_EQ(merge_vOverlappingBlocks(&ctx_), 1);
    EXPECT_EQ(count_rects(ctx_.textList), kind == layout::kKindGapMark ? 1 : 2) << "kind " << kind;
  }
}

TEST_F(VerticalTiers, OneBlockHoldsEveryColumnRightToLeft) {
  addBlock(600, 100, 2, 5);
  addBlock(1500, 1000, 3, 5);
  addBlock(1000, 2000, 1, 5);
  ASSERT_EQ(merge_vAllBlocks(&ctx_), 1);
  ASSERT_EQ(count_rects(ctx_.textList), 1);
  std::vector<int> lefts;
  for (const Rect16& r : rects(ctx_.textList->next->outer)) lefts.push_back(r.left);
  EXPECT_EQ(lefts, (std::vector<int>{1500, 1436, 1372, 1000, 600, 536}));
}

}  // namespace

// ---- heading columns ------------------------------------------------------

namespace {

class VerticalHeadings : public VerticalTiers {
 protected:
  // A line 150 px wide: a first character `headWidth` wide, then `rest`
  // characters in three narrow columns under it.
  rect_record* headedLine(int headWidth, int rest) {
    rect_record* block = add(&ctx_.textList, 1000, 100, 1149, 1000, 1);
    rect_record* line = add(&block->outer, 1000, 100, 1149, 1000, 1);
    add(&line->inner, 1000 + (150 - headWidth) / 2, 100, 1000 + (150 - headWidth) / 2 + headWidth - 1, 235);
    const int lefts[] = {1120, 1060, 1000};
    for (int i = 0; i < rest; ++i) {
      const int x = lefts[i * 3 / rest];
      const int row = i - (i * 3 / rest) * ((rest + 2) / 3);
      add(&line->inner, x, 250 + row * 56, x + 29, 250 + row * 56 + 47);
    }
    return block;
  }
};

TEST_F(VerticalHeadings, AWideFirstCharacterOverNarrowColumnsIsCutOff) {
  struct Case {
    const char* name;
    int headWidth;
    int rest;
    int lines;
    int separators;
  };
  const Case cases[] = {
      {"twelve characters, the first 90 % of the column wide", 135, 11, 4, 1},
      {"nine characters are never a heading column", 135, 8, 1, 0},
      {"a first character under 80 % of the column", 110, 11, 1, 0},
  };
  for (const Case& c : cases) {
    free_context_lists(&ctx_);
    rect_record* block = headedLine(c.headWidth, c.rest);
    ASSERT_EQ(split_vHeadingLines(&ctx_), 1) << c.name;
    EXPECT_EQ(count_rects(block->outer), c.lines) << c.name;
    EXPECT_EQ(count_rects(ctx_.sepList), c.separators) << c.name;
    if (c.lines == 4) {
      const rect_record* heading = block->outer->next;
      EXPECT_EQ(count_rects(heading->inner), 1) << c.name;
      EXPECT_EQ(heading->bottom, 235) << c.name;
      EXPECT_EQ(rects(ctx_.sepList)[0], (Rect16{heading->left, 236, heading->right, 237})) << c.name;
      EXPECT_EQ(labels(ctx_.sepList)[0], 1) << c.name;
      int chars = 0;
      for (const rect_record* l = heading->next; l != block->outer; l = l->next) chars += count_rects(l->inner);
      EXPECT_EQ(chars, 11) << c.name;
    }
  }
}

}  // namespace

namespace {

TEST_F(VerticalTiers, OneColumnBlocksAboveEachOtherJoinUnlessATierEndsBetween) {
  for (const bool boundary : {false, true}) {
    free_context_lists(&ctx_);
    addBlock(1000, 100, 1, 5);             // rows 100..371
    addBlock(1000, 372 + 2 * 56, 1, 5);    // two line pitches of white
    ctx_.tierCount = 0;
    if (boundary) {
      ctx_.tierCount = 1;
      ctx_.tiers[0] = 420;
    }
    ASSERT_EQ(merge_vBlocks_page(&ctx_), 1);
    EXPECT_EQ(count_rects(ctx_.textList), boundary ? 2 : 1) << (boundary ? "with" : "without") << " a boundary";
  }
}

}  // namespace

namespace {

// ---- cutting tall blocks --------------------------------------------------

TEST_F(VerticalTiers, ATallBlockIsCutAtAWhiteBandNearATierOrItsMiddle) {
  struct Case {
    const char* name;
    int bandTop, bandBottom;  // white rows across every column
    short boundary;           // a tier boundary, 0 for none
    int blocks;
  };
  // Columns from row 100 to about 1100 (62 mm): the middle row is about 600.
  const Case cases[] = {
      {"a band at the middle", 560, 680, 0, 2},
      {"a band near neither a boundary nor the middle", 300, 420, 0, 1},
      {"the same band beside a tier boundary", 300, 420, 350, 2},
      {"only the white between characters", 0, 0, 0, 1},
  };
  for (const Case& c : cases) {
    free_context_lists(&ctx_);
    ctx_.tierCount = 0;
    if (c.boundary != 0) {
      ctx_.tierCount = 1;
      ctx_.tiers[0] = c.boundary;
    }
    rect_record* block = add(&ctx_.textList, 0, 0, 0, 0, 1);
    for (int col = 0; col < 5; ++col) {
      const int left = 1500 - col * 64;
      rect_record* line = add(&block->outer, left, 100, left + 47, 1100, 1);
      for (int y = 100; y + 47 <= 1100; y += 56) {
        if (y + 47 >= c.bandTop && y <= c.bandBottom) continue;
        add(&line->inner, left, y, left + 47, y + 47);
      }
    }
    refit_vBlocks(ctx_.textList);
    ASSERT_EQ(refine_vBlocks(&ctx_), 1) << c.name;
    EXPECT_EQ(count_rects(ctx_.textList), c.blocks) << c.name;
    int chars = 0;
    for (const rect_record* b = ctx_.textList->next; b != ctx_.textList; b = b->next) {
      EXPECT_EQ(count_rects(b->outer), 5) << c.name;
      EXPECT_EQ(b->label, 0) << c.name << ": the flags are cleared";
      for (const rect_record* l = b->outer->next; l != b->outer; l = l->next) chars += count_rects(l->inner);
    }
    int drawn = 0;
    for (int y = 100; y + 47 <= 1100; y += 56) drawn += (y + 47 >= c.bandTop && y <= c.bandBottom) ? 0 : 5;
    EXPECT_EQ(chars, drawn) << c.name << ": no character is lost";
  }
}

}  // namespace

namespace {

TEST_F(VerticalTiers, AreaTierAndStackMergesKeepToTheirLimits) {
  struct Case {
    const char* name;
    int step;     // 0 area, 1 tier, 2 stack
    int x2, y2;   // where the second block's right column starts
    int blocks;
  };
  // The first block: one column of 5 characters at x 1000, rows 100..371.
  // Narrow blocks (30 px) side by side join in an area up to 1.5 column
  // widths (72 px); within a tier of an area blocks join across up to 8 mm
  // (128 px) of white; stacked page blocks join while shorter together than
  // a sixth of the rectangle (6000 / 6 = 1000).
  const Case cases[] = {
      {"area: 70 px together", 0, 1040, 100, 1},
      {"area: 80 px together", 0, 950, 100, 2},
      {"tier: 128 px of white", 1, 1000, 372 + 128, 1},
      {"tier: 129 px of white", 1, 1000, 372 + 129, 2},
      {"stack: 901 px together", 2, 1000, 729, 1},
      {"stack: 1001 px together", 2, 1000, 829, 2},
  };
  const Rect16 rect{0, 0, 2000, 5999};
  for (const Case& c : cases) {
    free_context_lists(&ctx_);
    const int width = c.step == 0 ? 30 : 48;
    addBlock(1000, 100, 1, 5, width);
    addBlock(c.x2, c.y2, 1, 5, width);
    ctx_.tierCount = 2;
    ctx_.tiers[0] = 50;
    ctx_.tiers[1] = 2000;
    short status = 0;
    if (c.step == 0) status = merge_vBlocks_area(&ctx_);
    if (c.step == 1) status = merge_vBlocks_tier(&ctx_);
    if (c.step == 2) status = merge_vBlocks_stack(&ctx_, &rect);
    ASSERT_EQ(status, 1) << c.name;
    EXPECT_EQ(count_rects(ctx_.textList), c.blocks) << c.name;
  }
}

TEST_F(VerticalTiers, ATallBlockIsCutBetweenItsColumnsAtAWideGap) {
  struct Case {
    const char* name;
    int gap;  // white columns between the right and the left four columns
    std::vector<int> columnsPerBlock;  // right to left
  };
  // Narrowest gap kept after the 30 % shrink on both sides: 3 x (16 + 48).
  const Case cases[] = {
      {"a wide gap in the middle", 500, {4, 4}},
      {"a gap that shrinks below three column pitches", 300, {8}},
  };
  for (const Case& c : cases) {
    free_context_lists(&ctx_);
    ctx_.tierCount = 0;
    ctx_.charWidth = 48;
    ctx_.gapX = 16;
    ctx_.columnWidth = 48;
    ctx_.columnGap = 16;
    rect_record* block = add(&ctx_.textList, 0, 0, 0, 0, 1);
    std::vector<int> lefts;
    for (int col = 0; col < 4; ++col) lefts.push_back(1500 - col * 64);
    const int nextRight = lefts.back() - 1 - c.gap;
    for (int col = 0; col < 4; ++col) lefts.push_back(nextRight - 47 - col * 64);
    for (const int left : lefts) {
      rect_record* line = add(&block->outer, left, 100, left + 47, 1100, 1);
      for (int y = 100; y + 47 <= 1100; y += 56) add(&line->inner, left, y, left + 47, y + 47);
    }
    refit_vBlocks(ctx_.textList);
    ASSERT_EQ(refine_vLines(&ctx_), 1) << c.name;
    std::vector<int> got;
    int right = 30000;
    for (const rect_record* b = ctx_.textList->next; b != ctx_.textList; b = b->next) {
      got.push_back(count_rects(b->outer));
      EXPECT_LT(b->right, right) << c.name << ": blocks right to left";
      right = b->left;
      EXPECT_EQ(b->label, 0) << c.name;
    }
    EXPECT_EQ(got, c.columnsPerBlock) << c.name;
  }
}

}  // namespace
