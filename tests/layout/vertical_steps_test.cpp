// The steps of vertical writing on hand-built rings at 400 dpi (16 pixels to
// the millimetre): components, area limits and ruled lines, the white
// bands between tiers, the text columns, and the blocks.
#include "layout/component_steps.h"
#include "layout/layout_pipelines.h"
#include "layout/pixel_groups.h"
#include "layout/vertical_blocks.h"
#include "layout/vertical_columns.h"
#include "layout/vertical_components.h"
#include "layout/vertical_gaps.h"
#include "layout/keisen_lists.h"
#include "tests/layout/step_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class VerticalSteps : public layouttest::LayoutSteps {
 protected:
  void SetUp() override {
    LayoutSteps::SetUp();
    scale_param_set4(1, 400);
  }
  void reset(int dpi = 400) {
    free_context_lists(&ctx_);
    useDpi(dpi);
    scale_param_set4(1, dpi);
  }
  // A column: a node of textList whose inner ring holds `n` characters of
  // `w` x `h`, `pitch` apart downwards from (x, y).
  rect_record* addColumn(rect_record** list, int x, int y, int n, int w, int h, int pitch, short kind = 1) {
    rect_record* col = add(list, x, y, x + w - 1, y + (n - 1) * pitch + h - 1, kind);
    for (int i = 0; i < n; ++i) add(&col->inner, x, y + i * pitch, x + w - 1, y + i * pitch + h - 1);
    return col;
  }
  // A block holding the given columns (moved out of nothing: built here).
  rect_record* addBlock(int x, int y, int columns, int w, int chars, int pitchAcross, short kind = 1) {
    rect_record* block = add(&ctx_.textList, 0, 0, 0, 0, kind);
    for (int c = 0; c < columns; ++c) addColumn(&block->outer, x - c * pitchAcross, y, chars, w, w, w + 8, kind);
    refit_vBlocks(ctx_.textList);
    return block;
  }
  static int columnsOf(const rect_record* block) { return count_rects(block->outer); }
};

// Answers every region judgement with one kind.
class Judgement {
 public:
  explicit Judgement(short kind) : saved_(layout::stepServices()) {
    answer_ = kind;
    layout::stepServices().classifyRegion = [](short* k, const ImageDesc*, const Rect16*) -> short {
      *k = answer_;
      return 1;
    };
  }
  ~Judgement() { layout::stepServices() = saved_; }

 private:
  layout::StepServices saved_;
  static inline short answer_ = 13;
};

// ---- components -----------------------------------------------------------

TEST_F(VerticalSteps, PiecesAreSortedBySizeAndShape) {
  struct Case {
    const char* name;
    bool area;
    int byte11;
    int w, h;
    int list;  // 0 text, 1 large, 2 separator, 3 speck, -1 gone
    short kind;
  };
  // Characters 3 mm (48 px); speck limit 0.4 mm = 6 px; large over 20 mm.
  const Case cases[] = {
      {"0.4 x 0.4 mm: a speck", false, 0, 6, 6, 3, -1},
      {"0.5 x 0.3 mm: stays a character", false, 0, 8, 4, 0, -1},
      {"25 x 0.5 mm: long and thin, kind 1 before the size rules", false, 0, 400, 8, 2, 1},
      {"0.5 x 25 mm: kind 2", false, 0, 8, 400, 2, 2},
      {"21 mm square: large, kind 10", false, 0, 336, 336, 1, 10},
      {"over 95 % of the page both ways: gone", false, 0, 3200, 4520, -1, 0},
      {"area 8 mm high, margin 1 mm: 6 mm is large (5 mm limit)", true, 0, 48, 96, 1, 10},
      {"area with byte 11 = 1: 6 mm stays a character", true, 1, 48, 96, 0, -1},
  };
  const Rect16 area{0, 0, 959, 127};
  for (const Case& c : cases) {
    reset();
    ctx_.charWidth = ctx_.charHeight = 48;
    ctx_.params.setByte(ParamBlock::kNoHorizontalMargin, static_cast<std::uint8_t>(c.byte11));
    add(&ctx_.textList, 10, 10, 10 + c.w - 1, 10 + c.h - 1);
    ASSERT_EQ(c.area ? sort_vComponents_area(&ctx_, &area, 16) : sort_vComponents(&ctx_), 1) << c.name;
    const rect_record* lists[] = {ctx_.textList, ctx_.largeList, ctx_.sepList, ctx_.speckList};
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(count_rects(lists[i]), i == c.list ? 1 : 0) << c.name << ", list " << i;
    }
    if (c.list > 0) {
      EXPECT_EQ(labels(lists[c.list]).at(0), c.kind) << c.name;
    }
  }
}

TEST_F(VerticalSteps, NestedOverlappingAndSpeckPiecesMerge) {
  struct Case {
    const char* name;
    std::vector<Rect16> pieces;
    std::vector<Rect16> specks;
    std::vector<Rect16> text;  // after nested, overlaps (gapX 20, overlap 4) and specks
    int specksLeft;
  };
  const Case cases[] = {
      {"a piece inside another goes", {{100, 100, 147, 147}, {110, 110, 120, 120}}, {}, {{100, 100, 147, 147}}, 0},
      {"overlapping by 10 px merge", {{100, 100, 147, 147}, {138, 140, 180, 190}}, {}, {{100, 100, 180, 190}}, 0},
      {"overlapping by 3 px across stay apart (under 0.25 mm)",
       {{100, 100, 147, 147}, {145, 140, 190, 190}},
       {},
       {{145, 140, 190, 190}, {100, 100, 147, 147}},
       0},
      {"a speck inside a character goes, one outside stays",
       {{100, 100, 147, 147}},
       {{110, 110, 113, 113}, {300, 300, 303, 303}},
       {{100, 100, 147, 147}},
       1},
  };
  for (const Case& c : cases) {
    reset();
    for (const Rect16& r : c.pieces) add(&ctx_.textList, r.left, r.top, r.right, r.bottom);
    for (const Rect16& r : c.specks) add(&ctx_.speckList, r.left, r.top, r.right, r.bottom);
    ASSERT_EQ(qsort_rects_by_right_desc(ctx_.textList), 1);
    drop_vNestedComponents(&ctx_);
    merge_vOverlaps(&ctx_.textList, 20, 4);
    EXPECT_EQ(absorb_vSpecks(&ctx_), static_cast<short>(c.text.size())) << c.name;
    EXPECT_EQ(rects(ctx_.textList), c.text) << c.name;
    EXPECT_EQ(count_rects(ctx_.speckList), c.specksLeft) << c.name;
  }
}

TEST_F(VerticalSteps, LargeComponentsNearEachOtherBecomeOne) {
  Judgement text(layout::kKindText);
  ctx_.charWidth = ctx_.charHeight = 48;
  add(&ctx_.textList, 2000, 2000, 2047, 2047);
  // Two 40 mm squares 2 mm apart: each under 60 mm, their union 82 mm wide.
  add(&ctx_.largeList, 1000, 100, 1639, 739, 10);
  add(&ctx_.largeList, 300, 100, 967, 739, 10);
  ASSERT_EQ(absorb_vLargeComponents(&ctx_), 1);
  EXPECT_EQ(rects(ctx_.largeList), (std::vector<Rect16>{{300, 100, 1639, 739}}));
}

// ---- area limits and ruled lines --------------------------------------------

TEST_F(VerticalSteps, AreaLimitsUseTheAreasOwnRectangle) {
  ctx_.params.setByte(ParamBlock::kForm, 0xFF);
  add(&ctx_.textList, 105, 205, 120, 220);  // on the block at (0,0)-(9,9) of the area
  add(&ctx_.textList, 150, 250, 170, 270);
  add(&ctx_.textList, 400, 500, 420, 520);  // touches the area's corner at one pixel
  add(&ctx_.textList, 10, 10, 20, 20);      // outside
  recg* blocks = nullptr;
  recg* b = append_recg(&blocks);
  b->left = 0, b->top = 0, b->right = 9, b->bottom = 9;
  const Rect16 own{100, 200, 400, 500};
  EXPECT_EQ(drop_vExcluded(&ctx_, blocks, &own), 1);
  EXPECT_EQ(keep_vInsideArea(&ctx_, &own), 1);
  EXPECT_EQ(rects(ctx_.textList), (std::vector<Rect16>{{150, 250, 170, 270}, {400, 500, 420, 520}}));
  free_recg_list(&blocks);
}

TEST_F(VerticalSteps, RuledLinesAreClippedAndCheckedAgainstCrossingText) {
  struct Case {
    const char* name;
    bool area;
    bool horizontal;
    int length;      // pixels
    int crossing;    // characters 48 x 48 (3 mm) across the line
    bool thinInk;    // a 0.5 mm thin piece on the line
    bool live;
    bool inkLeft;
  };
  // A horizontal line of 1600 px (100 mm); 8 % is 128 px, 40 % is 640 px.
  const Case cases[] = {
      {"page: two characters (96 px, 6 %) leave the line live", false, true, 1600, 2, true, true, false},
      {"page: three characters (144 px, 9 %) make it a stroke", false, true, 1600, 3, true, false, true},
      {"area: four characters (192 px, 30 % of 40 mm) leave it live", true, true, 640, 4, true, true, false},
      {"area: a line of 50 mm or more is never dropped", true, true, 800, 16, false, true, false},
      {"page: a vertical line needs 40 %: 9 characters of 1600 px stay", false, false, 1600, 9, false, true, false},
      {"page: a vertical line with 14 characters (672 px) goes", false, false, 1600, 14, false, false, false},
      {"no crossing text: live, the thin piece stays", false, true, 1600, 0, true, true, true},
  };
  for (const Case& c : cases) {
    reset();
    ctx_.params.setByte(ParamBlock::kForm, c.area ? 0xFF : 0);
    ctx_.charWidth = ctx_.charHeight = 48;
    Keisen* line = nullptr;
    if (c.horizontal) {
      line = append_hline(&rules_.horizontal);
      line->a = 100, line->b = static_cast<std::int16_t>(100 + c.length - 1), line->c = 1000;
      for (int i = 0; i < c.crossing; ++i) add(&ctx_.textList, 150 + i * 50, 980, 197 + i * 50, 1027);
      if (c.thinInk) add(&ctx_.textList, 400, 998, 500, 1005);
    } else {
      line = append_vline(&rules_.vertical);
      line->a = 1000, line->b = 100, line->c = static_cast<std::int16_t>(100 + c.length - 1);
      for (int i = 0; i < c.crossing; ++i) add(&ctx_.textList, 980, 150 + i * 50, 1027, 197 + i * 50);
    }
    line->valid = 1;
    ASSERT_EQ(qsort_rects_by_right_desc(ctx_.textList), 1);
    const Rect16 area{0, 0, 3000, 4000};
    clip_vRules(&rules_, &ctx_, &area);
    check_vRules(&rules_, &ctx_, &area);
    EXPECT_EQ(line->valid == 1, c.live) << c.name;
    if (c.thinInk) {
      const auto left = rects(ctx_.textList);
      const bool found = std::find(left.begin(), left.end(), Rect16{400, 998, 500, 1005}) != left.end();
      EXPECT_EQ(found, c.inkLeft) << c.name;
    }
    free_keisen_pair(&rules_);
  }
}

TEST_F(VerticalSteps, RulesOutsideTheAreaDieAndLiveOnesBecomeSeparators) {
  Keisen* inside = append_hline(&rules_.horizontal);
  inside->a = 50, inside->b = 900, inside->c = 300, inside->valid = 1;
  Keisen* below = append_hline(&rules_.horizontal);
  below->a = 50, below->b = 900, below->c = 700, below->valid = 1;
  Keisen* tall = append_vline(&rules_.vertical);
  tall->a = 400, tall->b = 0, tall->c = 900, tall->valid = 1;
  const Rect16 area{100, 100, 800, 600};
  check_vRules(&rules_, &ctx_, &area);
  ASSERT_EQ(vRules_to_separators(&rules_, &ctx_), 1);
  EXPECT_EQ(rects(ctx_.sepList), (std::vector<Rect16>{{100, 300, 800, 301}, {400, 100, 401, 600}}));
  EXPECT_EQ(labels(ctx_.sepList), (std::vector<short>{1, 2}));
}

// ---- white bands between tiers ----------------------------------------------

TEST_F(VerticalSteps, AWhiteGapIsACandidateOnlyStrictlyBetweenItsLimits) {
  // charHeight 48, gapY 16: column pitch 64, P80 = 51.
  struct Case {
    const char* name;
    int gap;  // distance B.top - A.bottom + 1
    bool band;
  };
  const Case cases[] = {{"exactly P80: no", 51, false}, {"P80 + 1: yes", 52, true}, {"30 x P80: no", 1530, false}};
  for (const Case& c : cases) {
    reset();
    ctx_.charWidth = ctx_.charHeight = 48;
    ctx_.gapX = ctx_.gapY = 16;
    addColumn(&ctx_.textList, 1000, 100, 5, 48, 48, 64);  // bottom 403
    addColumn(&ctx_.textList, 1000, 403 + c.gap - 1, 5, 48, 48, 64);
    ASSERT_EQ(find_vColumnGaps(&ctx_), 1) << c.name;
    EXPECT_EQ(count_rects(ctx_.gapList) > 0, c.band) << c.name;
  }
}

TEST_F(VerticalSteps, TierGapsJoinAcrossColumnsAndBecomePairsOfKind4Separators) {
  ctx_.charWidth = ctx_.charHeight = 48;
  ctx_.gapX = ctx_.gapY = 16;
  // Two tiers of eight columns; the tiers 160 px apart.
  for (int c = 0; c < 8; ++c) {
    addColumn(&ctx_.textList, 2000 - c * 80, 100, 10, 48, 48, 64);
    addColumn(&ctx_.textList, 2000 - c * 80, 100 + 10 * 64 - 16 + 160, 10, 48, 48, 64);
  }
  ASSERT_EQ(find_vColumnGaps(&ctx_), 1);
  ASSERT_GE(count_rects(ctx_.gapList), 1);
  ASSERT_EQ(join_vGaps(&ctx_), 1);
  const auto bands = rects(ctx_.gapList);
  ASSERT_EQ(bands.size(), 1u);
  EXPECT_EQ(bands[0].left, 2000 - 7 * 80);
  EXPECT_EQ(bands[0].right, 2047);
  EXPECT_EQ(bands[0].top, 724);
  EXPECT_EQ(bands[0].bottom, 883);
  ASSERT_EQ(vGaps_to_separators(ctx_.gapList, &ctx_), 1);
  // h = 160 = 3.33 x charHeight: p = 46 - 22.2 = 23.8 -> 23 %, off 36.
  EXPECT_EQ(rects(ctx_.sepList), (std::vector<Rect16>{{1440, 760, 2047, 761}, {1440, 847, 2047, 848}}));
  EXPECT_EQ(labels(ctx_.sepList), (std::vector<short>{4, 4}));
}

TEST_F(VerticalSteps, TheMarksSitDeeperInNarrowBands) {
  struct Case {
    int h;
    int off;
  };
  // charHeight 48: h = 48 gives p = 39; h = 192 gives 20 (the floor); h = 12 gives 40 (the cap).
  for (const Case c : {Case{48, 48 * 39 / 100}, Case{192, 192 * 20 / 100}, Case{12, 12 * 40 / 100}}) {
    reset();
    ctx_.charHeight = 48;
    add(&ctx_.gapList, 100, 1000, 900, 1000 + c.h - 1);
    ASSERT_EQ(vGaps_to_separators(ctx_.gapList, &ctx_), 1);
    EXPECT_EQ(rects(ctx_.sepList).at(0).top, 1000 + c.off) << "h " << c.h;
    EXPECT_EQ(rects(ctx_.sepList).at(1).top, 1000 + c.h - 1 - c.off) << "h " << c.h;
  }
}

TEST_F(VerticalSteps, BandFiltersDropTallTextCrossedAndSpeckledBands) {
  struct Case {
    const char* name;
    Rect16 band;
    int specks;
    bool kept;
  };
  // charWidth 48, gapX 16: row pitch 64; a band 640 wide stands 250/64*6.4+1 = 26 specks.
  const Case cases[] = {
      {"no specks in the region: kept", {100, 1000, 739, 1100}, -1, true},
      {"20 specks: kept", {100, 1000, 739, 1100}, 20, true},
      {"30 specks: dropped", {100, 1000, 739, 1100}, 30, false},
      {"taller than seven column pitches: dropped", {100, 1000, 739, 1000 + 7 * 64}, -1, false},
      {"crossed by a character: dropped", {100, 2000, 739, 2100}, -1, false},
  };
  for (const Case& c : cases) {
    reset();
    ctx_.charWidth = ctx_.charHeight = 48;
    ctx_.gapX = ctx_.gapY = 16;
    add(&ctx_.textList, 400, 2030, 447, 2077);
    add(&ctx_.gapList, c.band.left, c.band.top, c.band.right, c.band.bottom);
    for (int i = 0; i < c.specks; ++i) add(&ctx_.speckList, 110 + i * 20, 1050, 113 + i * 20, 1053);
    drop_vGaps_on_text(&ctx_);
    drop_vTallGaps(&ctx_);
    drop_vGaps_few_specks(&ctx_);
    EXPECT_EQ(count_rects(ctx_.gapList), c.kept ? 1 : 0) << c.name;
  }
}

// ---- text columns ---------------------------------------------------------

TEST_F(VerticalSteps, ColumnWidthAndGapAreRobustMeans) {
  struct Case {
    const char* name;
    std::vector<int> widths;
    int width;
  };
  const Case cases[] = {
      {"a single column: its width, whatever it is", {200}, 200},
      {"30 and 40: m 35, s 7, both within", {30, 40}, 35},
      {"an outlier is trimmed", {40, 41, 39, 40, 80}, 40},
  };
  for (const Case& c : cases) {
    reset();
    ctx_.charWidth = 40;
    ctx_.params.setByte(ParamBlock::kForm, 0xFF);  // area mode: no minimum height
    int x = 3000;
    for (int w : c.widths) {
      add(&ctx_.textList, x - w + 1, 100, x, 900);
      x -= w + 30;
    }
    ASSERT_EQ(measure_vColumnWidth(&ctx_), 1) << c.name;
    EXPECT_EQ(ctx_.columnWidth, c.width) << c.name;
  }
  // Columns of 40, 70 apart: gaps of 32 (above 2/3 of 40 = 26).
  reset();
  ctx_.charWidth = ctx_.columnWidth = 40;
  ctx_.gapX = 20;
  ctx_.params.setByte(ParamBlock::kForm, 0xFF);
  for (int i = 0; i < 4; ++i) add(&ctx_.textList, 3000 - i * 70 - 39, 100, 3000 - i * 70, 900);
  ASSERT_EQ(measure_vColumnGap(&ctx_), 1);
  EXPECT_EQ(ctx_.columnGap, 32);
}

TEST_F(VerticalSteps, ANarrowColumnBesideAnEnclosingOneIsRuby) {
  for (bool area : {false, true}) {
    reset();
    ctx_.params.setByte(ParamBlock::kForm, area ? 0xFF : 0);
    ctx_.columnWidth = 48;
    ctx_.columnGap = 20;
    add(&ctx_.textList, 1060, 220, 1075, 500);  // ruby, 16 wide, right of the main column
    add(&ctx_.textList, 1000, 100, 1047, 900);
    add(&ctx_.textList, 800, 100, 899, 900);    // 100 wide: a wide column
    ASSERT_EQ(classify_vLines(&ctx_), 1);
    EXPECT_EQ(labels(ctx_.textList), area ? (std::vector<short>{1, 1, 1}) : (std::vector<short>{2, 1, 0}))
        << (area ? "area" : "page");
  }
}

TEST_F(VerticalSteps, CharactersLinkIntoColumnsButNotAcrossAWideSeparator) {
  struct Case {
    const char* name;
    bool rule;
    int columns;
  };
  for (const Case& c : {Case{"no rule: one column", false, 1}, Case{"a ruled line between: two columns", true, 2}}) {
    reset();
    ctx_.charWidth = ctx_.charHeight = 48;
    ctx_.gapX = ctx_.gapY = 16;
    for (int i = 0; i < 6; ++i) add(&ctx_.textList, 1000, 100 + i * 64, 1047, 147 + i * 64);
    if (c.rule) add(&ctx_.sepList, 900, 290, 1200, 291, 1);  // between the third and the fourth
    ASSERT_EQ(link_vChars(&ctx_, (48 + 16) * 60 / 100), 1) << c.name;
    EXPECT_EQ(count_rects(ctx_.textList), c.columns) << c.name;
    int characters = 0;
    for (const rect_record* col = ctx_.textList->next; col != ctx_.textList; col = col->next) {
      characters += count_rects(col->inner);
    }
    EXPECT_EQ(characters, 6) << c.name;
  }
}

TEST_F(VerticalSteps, ColumnsFullOfSpecksGo) {
  ctx_.charWidth = ctx_.charHeight = 48;
  ctx_.gapY = 16;
  addColumn(&ctx_.textList, 1000, 100, 4, 48, 48, 64);  // 4 pitches high: more than 20 specks drop it
  addColumn(&ctx_.textList, 800, 100, 4, 48, 48, 64);
  for (int i = 0; i < 21; ++i) add(&ctx_.speckList, 1000 + i % 10 * 4, 100 + i * 10, 1002 + i % 10 * 4, 102 + i * 10);
  add(&ctx_.speckList, 820, 120, 822, 122);
  ASSERT_EQ(drop_vLines_with_specks(&ctx_), 1);
  EXPECT_EQ(rects(ctx_.textList), (std::vector<Rect16>{{800, 100, 847, 339}}));
  EXPECT_EQ(count_rects(ctx_.speckList), 1);
}

// ---- boxes and blocks -------------------------------------------------------

TEST_F(VerticalSteps, ABoxWithAllItsTextInsideIsFramed) {
  for (bool out : {false, true}) {
    reset();
    ctx_.charWidth = ctx_.charHeight = 48;
    add(&ctx_.largeList, 500, 500, 1499, 1499, 10);
    addColumn(&ctx_.textList, 1300, 600, 5, 48, 48, 64);
    if (out) addColumn(&ctx_.textList, 1000, 1400, 5, 48, 48, 64);  // runs out of the box
    ASSERT_EQ(frame_vBoxes(&ctx_), 1);
    if (out) {
      EXPECT_EQ(count_rects(ctx_.sepList), 0);
    } else {
      EXPECT_EQ(rects(ctx_.sepList), (std::vector<Rect16>{{500, 500, 1499, 500},
                                                          {500, 500, 500, 1499},
                                                          {500, 1499, 1499, 1499},
                                                          {1499, 500, 1499, 1499}}));
      EXPECT_EQ(labels(ctx_.sepList), (std::vector<short>{8, 8, 8, 8}));
    }
  }
}

TEST_F(VerticalSteps, ColumnsGroupIntoBlocks) {
  struct Case {
    const char* name;
    int distance;
    std::vector<short> kinds;  // of three columns 64 apart (16 white)
    int blocks;
  };
  const Case cases[] = {
      {"distance 20: all three one block", 20, {1, 1, 1}, 1},
      {"distance 0: no block unless they overlap", 0, {1, 1, 1}, 3},
      {"a wide column never joins ordinary ones", 20, {1, 0, 1}, 3},
      {"ruby joins an ordinary block", 20, {1, 2, 1}, 1},
  };
  for (const Case& c : cases) {
    reset();
    for (int i = 0; i < 3; ++i) addColumn(&ctx_.textList, 1000 - i * 64, 100, 5, 48, 48, 64, c.kinds[i]);
    ASSERT_EQ(group_vLines(&ctx_, c.distance), 1) << c.name;
    EXPECT_EQ(count_rects(ctx_.textList), c.blocks) << c.name;
  }
  // Blocks above each other closer than 60 % of a column pitch merge, unless
  // a tier band's mark lies between them.
  for (bool mark : {false, true}) {
    reset();
    addColumn(&ctx_.textList, 1000, 100, 5, 48, 48, 64);  // bottom 403
    addColumn(&ctx_.textList, 1000, 430, 5, 48, 48, 64);  // gap 28, limit 38
    if (mark) add(&ctx_.sepList, 900, 415, 1100, 416, 4);
    ctx_.charHeight = 48;
    ctx_.gapY = 16;
    ASSERT_EQ(group_vLines(&ctx_, 20), 1);
    ASSERT_EQ(merge_vBlocks(&ctx_), 1);
    EXPECT_EQ(count_rects(ctx_.textList), mark ? 2 : 1) << (mark ? "with a mark" : "without");
  }
}

TEST_F(VerticalSteps, ASpeckJoinsTheColumnWithTheNearestCorner) {
  ctx_.charWidth = ctx_.charHeight = 48;
  ctx_.gapX = ctx_.gapY = 16;
  ctx_.columnGap = 300;  // both columns reach the speck
  rect_record* block = addBlock(1000, 100, 2, 48, 5, 88);  // columns at 1000 and 912
  // A speck in the white between them, nearer the left column's corner.
  add(&ctx_.speckList, 975, 150, 978, 153);
  ASSERT_EQ(attach_vSpecks(&ctx_, 4), 1);
  const rect_record* right = block->outer->next;
  const rect_record* left = right->next;
  EXPECT_EQ(count_rects(right->inner), 5);
  EXPECT_EQ(count_rects(left->inner), 6);
  EXPECT_EQ(left->right, 978);
  EXPECT_EQ(count_rects(ctx_.speckList), 0);
}

TEST_F(VerticalSteps, TextBoundsOfARegionWithoutTextLikeBlocksAreZero) {
  Judgement text(layout::kKindText);
  ctx_.charWidth = 48;
  ctx_.columnWidth = 48;
  add(&ctx_.textList, 100, 100, 110, 105);  // wider than high and lower than 24: not text-like
  Rect16 out{1, 2, 3, 4};
  ASSERT_EQ(find_vTextBounds(&ctx_, &out), 1);
  EXPECT_EQ(out, (Rect16{0, 0, 0, 0}));
  EXPECT_EQ(count_rects(ctx_.textList), 1);
}

TEST_F(VerticalSteps, PicturesOutsideTheTextBoundsGo) {
  Judgement figure(layout::kKindFigure);
  ctx_.charWidth = ctx_.charHeight = 48;
  ctx_.columnWidth = 48;
  addBlock(1000, 100, 3, 48, 8, 64);
  rect_record* stray = add(&ctx_.textList, 100, 2000, 104, 2030);  // a sliver far away
  add(&stray->outer, 100, 2000, 104, 2030);
  Rect16 out{};
  ASSERT_EQ(find_vTextBounds(&ctx_, &out), 1);
  EXPECT_EQ(out, (Rect16{872, 100, 1047, 539}));
  EXPECT_EQ(count_rects(ctx_.textList), 1);
}

TEST_F(VerticalSteps, MeasuresOfZeroDoNotDivideByZero) {
  // A region whose measures came out as 0 (nothing measurable) passes
  // through the steps that divide by them.
  addColumn(&ctx_.textList, 1000, 100, 3, 48, 48, 64);
  add(&ctx_.gapList, 100, 1000, 900, 1100);
  add(&ctx_.speckList, 10, 10, 12, 12);
  EXPECT_EQ(vGaps_to_separators(ctx_.gapList, &ctx_), 1);
  EXPECT_EQ(drop_vGaps_few_specks(&ctx_), 1);
  EXPECT_EQ(drop_vLines_with_specks(&ctx_), 1);
  EXPECT_EQ(link_vChars(&ctx_, 0), 1);
  EXPECT_EQ(count_rects(ctx_.textList), 1);
}

}  // namespace
