// Sorting components into text, separators, specks and regions, and the
// merging of pieces and regions, on hand-built rings at 400 dpi (16 pixels
// to the millimetre).
#include "layout/component_steps.h"
#include "layout/layout_hooks.h"
#include "layout/pixel_groups.h"
#include "tests/layout/step_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using layouttest::LayoutSteps;

// Answers every region judgement with one kind and counts the questions.
class ScriptedJudgement {
 public:
  explicit ScriptedJudgement(short kind) : saved_(layout::stepServices()) {
    answer_ = kind;
    asked_ = 0;
    layout::stepServices().classifyRegion = [](short* kind, const ImageDesc*, const Rect16*) -> short {
      ++asked_;
      *kind = answer_;
      return answer_ == -111 ? -111 : 1;
    };
  }
  ~ScriptedJudgement() { layout::stepServices() = saved_; }
  static int asked() { return asked_; }

 private:
  layout::StepServices saved_;
  static inline short answer_ = 13;
  static inline int asked_ = 0;
};

TEST_F(LayoutSteps, PiecesAreSortedBySizeAndShape) {
  struct Case {
    const char* name;
    int w, h;
    int list;  // 0 text, 1 region, 2 separator, 3 speck, -1 deleted
    short kind;
  };
  // Characters 4 mm (64 px): thin is under 19 px, long over 192 px.
  const Case cases[] = {
      {"1 x 20 mm: thin and long, a wide separator", 320, 16, 2, 1},
      {"1 x 50 mm: beyond 30 to 1, a wide separator", 800, 16, 2, 1},
      {"20 x 1 mm: a tall separator", 16, 320, 2, 2},
      {"0.5 x 0.5 mm: a speck", 8, 8, 3, -1},
      {"0.5 x 0.6 mm: stays", 8, 9, 0, -1},
      {"20 mm square: stays", 320, 320, 0, -1},
      {"21 mm square: a region", 336, 336, 1, 10},
      {"over 95 % of the page both ways: a frame, deleted", 3200, 4520, -1, 0},
  };
  for (const Case& c : cases) {
    useDpi(400);
    ctx_.charWidth = ctx_.charHeight = 64;
    add(&ctx_.textList, 10, 10, 10 + c.w - 1, 10 + c.h - 1);
    ASSERT_EQ(classify_components(&ctx_), 1) << c.name;
    const rect_record* lists[] = {ctx_.textList, ctx_.largeList, ctx_.sepList, ctx_.speckList};
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(count_rects(lists[i]), i == c.list ? 1 : 0) << c.name << ", list " << i;
    }
    if (c.list > 0) {
      EXPECT_EQ(labels(lists[c.list]).at(0), c.kind) << c.name;
    }
    EXPECT_TRUE(layouttest::runValid(ctx_, nullptr)) << c.name;
    free_context_lists(&ctx_);
  }
}

TEST_F(LayoutSteps, OnASmallPageTheFrameTestUsesItsMinimums) {
  useDpi(400, 400, 200);  // 25 x 12.5 mm: the frame is over 40 x 20 mm
  ctx_.charWidth = ctx_.charHeight = 64;
  add(&ctx_.textList, 0, 0, 640, 320);  // 641 x 321: a frame
  add(&ctx_.textList, 0, 0, 639, 320);  // 640 x 321: a region
  ASSERT_EQ(classify_components(&ctx_), 1);
  EXPECT_EQ(count_rects(ctx_.textList), 0);
  EXPECT_EQ(rects(ctx_.largeList), (std::vector<Rect16>{{0, 0, 639, 320}}));
}

TEST_F(LayoutSteps, InATableFormTheTextLimitsFollowTheArea) {
  // Area 60 x 8 mm, margin 1 mm: text up to min(128 - 48, 160) = 80 px high.
  const Rect16 area{0, 0, 959, 127};
  for (auto [byte11, h, expectedRegions] : {std::tuple{0, 81, 1}, std::tuple{0, 80, 0}, std::tuple{1, 100, 0}}) {
    useDpi(400);
    ctx_.charWidth = ctx_.charHeight = 64;
    ctx_.params.setByte(ParamBlock::kNoHorizontalMargin, static_cast<std::uint8_t>(byte11));
    add(&ctx_.textList, 10, 10, 109, 10 + h - 1);
    ASSERT_EQ(classify_components_in_area(&ctx_, &area, 16), 1);
    EXPECT_EQ(count_rects(ctx_.largeList), expectedRegions) << "byte 11 " << byte11 << ", height " << h;
    free_context_lists(&ctx_);
  }
}

TEST_F(LayoutSteps, AMoveThatCannotGetARecordLeavesThePieceInPlace) {
  ASSERT_TRUE(layout::pools().rects.configure({2, 1, 1}));
  ctx_.charWidth = ctx_.charHeight = 64;
  add(&ctx_.textList, 10, 10, 17, 17);  // a speck: the sentinel and it fill the only block
  layout::PoolFaults::remaining = 0;
  EXPECT_EQ(classify_components(&ctx_), -111);
  layout::PoolFaults::remaining = -1;
  EXPECT_EQ(rects(ctx_.textList), (std::vector<Rect16>{{10, 10, 17, 17}}));
  EXPECT_EQ(count_rects(ctx_.speckList), 0);
}

TEST_F(LayoutSteps, SeparatorsThatTouchTextGo) {
  addRow(100, 100, 3, 48, 48, 60);
  add(&ctx_.sepList, 90, 120, 500, 122, 1);  // through the characters
  add(&ctx_.sepList, 90, 400, 500, 402, 1);  // below them
  ASSERT_EQ(drop_touching_separators(&ctx_), 1);
  EXPECT_EQ(rects(ctx_.sepList), (std::vector<Rect16>{{90, 400, 500, 402}}));
  free_context_lists(&ctx_);
  add(&ctx_.textList, 100, 100, 147, 147);  // one component: nothing is done
  add(&ctx_.sepList, 90, 120, 500, 122, 1);
  ASSERT_EQ(drop_touching_separators(&ctx_), 1);
  EXPECT_EQ(count_rects(ctx_.sepList), 1);
}

TEST_F(LayoutSteps, SmallFiguresLoseTheFewCharactersInsideThem) {
  struct Case {
    const char* name;
    short judgement;
    int characters;  // 48 x 48 inside a 20 mm square figure (area 102400, 5 % = 5120)
    int left;
  };
  const Case cases[] = {
      {"figure with two characters (4608): they go", 10, 2, 0},
      {"figure with three characters (6912): they stay", 10, 3, 3},
      {"judged text: nothing goes", 13, 2, 2},
  };
  for (const Case& c : cases) {
    useDpi(400);
    ScriptedJudgement judge(c.judgement);
    ctx_.charWidth = ctx_.charHeight = 48;
    add(&ctx_.largeList, 100, 100, 419, 419, 10);
    addRow(120, 120, c.characters, 48, 48, 60);
    add(&ctx_.speckList, 300, 300, 303, 303);
    ASSERT_EQ(absorb_figure_contents(&ctx_), 1) << c.name;
    EXPECT_EQ(count_rects(ctx_.textList), c.left) << c.name;
    EXPECT_EQ(count_rects(ctx_.speckList), c.left == 0 ? 0 : 1) << c.name;
    free_context_lists(&ctx_);
  }
}

TEST_F(LayoutSteps, NearSmallFiguresMergeAndAJudgementFailurePassesOn) {
  struct Case {
    const char* name;
    int gap;   // pixels between two 40 mm figures
    int size;  // mm
    int expected;
  };
  const Case cases[] = {
      {"2.5 mm apart: one figure", 40, 40, 1},
      {"3 mm apart: two", 48, 40, 2},
      {"larger than 60 mm: two", 16, 61, 2},
  };
  for (const Case& c : cases) {
    useDpi(400);
    ScriptedJudgement judge(13);
    const int s = mm(c.size);
    add(&ctx_.largeList, 100, 100, 100 + s - 1, 100 + s - 1, 10);
    add(&ctx_.largeList, 100 + s + c.gap - 1, 100, 100 + 2 * s + c.gap - 2, 100 + s - 1, 10);
    ASSERT_EQ(absorb_figure_contents(&ctx_), 1) << c.name;
    EXPECT_EQ(count_rects(ctx_.largeList), c.expected) << c.name;
    free_context_lists(&ctx_);
  }
  ScriptedJudgement failing(-111);
  add(&ctx_.largeList, 100, 100, 200, 200, 10);
  EXPECT_EQ(absorb_figure_contents(&ctx_), -111);
}

TEST_F(LayoutSteps, NestedAndOverlappingComponents) {
  add(&ctx_.textList, 100, 100, 199, 199);
  add(&ctx_.textList, 120, 120, 140, 140);  // inside: goes
  add(&ctx_.textList, 150, 150, 260, 260);  // overlaps: stays
  EXPECT_EQ(drop_nested_components(&ctx_), 2);

  free_context_lists(&ctx_);
  // Minimum overlap d = 0.25 mm = 4 px.
  add(&ctx_.textList, 400, 20, 460, 90);
  rect_record* marked = add(&ctx_.textList, 347, 60, 420, 125);  // overlaps the first: merged
  marked->extra = 1;
  add(&ctx_.textList, 100, 100, 199, 149);
  add(&ctx_.textList, 195, 110, 260, 160);  // A.right - B.left = 4: merged
  add(&ctx_.textList, 300, 120, 350, 170);  // 3 against the merged first: stays
  EXPECT_EQ(merge_overlapping_components(&ctx_.textList, 20, 4), 3);
  EXPECT_EQ(rects(ctx_.textList),
            (std::vector<Rect16>{{347, 20, 460, 125}, {100, 100, 260, 160}, {300, 120, 350, 170}}));
  EXPECT_EQ(ctx_.textList->next->extra, 1) << "the underline mark is carried over";
  EXPECT_TRUE(layouttest::runValid(ctx_, nullptr, true));
}

TEST_F(LayoutSteps, SpecksInsideComponentsGo) {
  add(&ctx_.textList, 100, 100, 199, 199);
  add(&ctx_.speckList, 150, 150, 153, 153);  // inside
  add(&ctx_.speckList, 250, 150, 253, 153);  // beside
  add(&ctx_.speckList, 150, 300, 153, 303);  // below the first component
  ASSERT_EQ(absorb_inner_pieces(&ctx_), 1);
  EXPECT_EQ(rects(ctx_.speckList), (std::vector<Rect16>{{250, 150, 253, 153}, {150, 300, 153, 303}}));

  // The window opens at the first speck below the first component: without
  // one, nothing is searched.
  free_context_lists(&ctx_);
  add(&ctx_.textList, 100, 100, 199, 199);
  add(&ctx_.speckList, 150, 150, 153, 153);
  ASSERT_EQ(absorb_inner_pieces(&ctx_), 1);
  EXPECT_EQ(count_rects(ctx_.speckList), 1);
}

TEST_F(LayoutSteps, NearIdenticalRegionsMergeByTheAsymmetricEdgeTest) {
  // Edges count as the same when |A - B + 1| <= e (e = 2 mm = 32 px), tried
  // with either region as A: each edge may be up to 33 px off, but all four
  // off the same way round.
  struct Case {
    const char* name;
    int left, top, right, bottom;  // B's edges minus A's
    int expected;
  };
  const Case cases[] = {
      {"every edge 33 px further: one", 33, 33, 33, 33, 1},
      {"every edge 33 px nearer: one", -33, -33, -33, -33, 1},
      {"every edge 34 px further: two", 34, 34, 34, 34, 2},
      {"32 px out on both sides: two, though each edge is within 2 mm", -32, 0, 32, 0, 2},
      {"31 px out on both sides: one", -31, 0, 31, 0, 1},
  };
  for (const Case& c : cases) {
    useDpi(400);
    // Both regions larger than 100 mm: only the near-identical test joins them.
    add(&ctx_.largeList, 200, 200, 2000, 2000);
    add(&ctx_.largeList, 200 + c.left, 200 + c.top, 2000 + c.right, 2000 + c.bottom);
    ASSERT_EQ(merge_regions(&ctx_.largeList, &ctx_), 1);
    EXPECT_EQ(count_rects(ctx_.largeList), c.expected) << c.name;
    for (short kind : labels(ctx_.largeList)) EXPECT_EQ(kind, 10) << c.name;
    free_context_lists(&ctx_);
  }
}

TEST_F(LayoutSteps, SmallNearRegionsGroupUpTo100mm) {
  struct Case {
    const char* name;
    int size, gap;
    int expected;
  };
  const Case cases[] = {
      {"two 40 mm regions 2 mm apart: one", 640, 32, 1},
      {"two 40 mm regions 2 mm + 2 px apart: two", 640, 34, 2},
      {"two 60 mm regions: the union is over 100 mm, two", 960, 16, 2},
  };
  for (const Case& c : cases) {
    useDpi(400);
    add(&ctx_.largeList, 100, 100, 100 + c.size - 1, 100 + c.size - 1);
    add(&ctx_.largeList, 100 + c.size + c.gap - 1, 100, 100 + 2 * c.size + c.gap - 2, 100 + c.size - 1);
    ASSERT_EQ(merge_regions(&ctx_.largeList, &ctx_), 1);
    EXPECT_EQ(count_rects(ctx_.largeList), c.expected) << c.name;
    free_context_lists(&ctx_);
  }
}

TEST_F(LayoutSteps, SparseRegionsLoseTheirLinesAndALineInsideCountsTwice) {
  // Region 40 mm square (409600 px): a quarter is 102400.
  struct Case {
    const char* name;
    int lineWidth;
    int linesLeft;
  };
  const Case cases[] = {
      {"640 x 80 inside counts 102400: 25 %, kept", 640, 1},
      {"639 x 80 inside counts 102240: 24 %, dropped", 639, 0},
  };
  for (const Case& c : cases) {
    useDpi(400);
    add(&ctx_.largeList, 0, 0, 639, 639, 10);
    add(&ctx_.textList, 0, 100, c.lineWidth - 1, 179);
    add(&ctx_.speckList, 300, 300, 303, 303);
    ASSERT_EQ(absorb_sparse_regions(&ctx_), 1);
    EXPECT_EQ(count_rects(ctx_.textList), c.linesLeft) << c.name;
    EXPECT_EQ(count_rects(ctx_.speckList), c.linesLeft) << c.name;
    free_context_lists(&ctx_);
  }
}

TEST_F(LayoutSteps, ExcludedAndOutsideComponentsGo) {
  add(&ctx_.textList, 110, 110, 120, 120);
  add(&ctx_.textList, 300, 300, 320, 320);
  add(&ctx_.textList, 2000, 2000, 2010, 2010);
  recg* exclusions = nullptr;
  recg* e = append_recg(&exclusions);
  e->left = 5;  // relative to the area's corner (100, 100)
  e->top = 5;
  e->right = 15;
  e->bottom = 15;
  const Rect16 area{100, 100, 1000, 1000};
  ASSERT_EQ(drop_excluded_components(&ctx_, exclusions, &area), 1);
  ASSERT_EQ(drop_components_outside_area(&ctx_, &area), 1);
  EXPECT_EQ(rects(ctx_.textList), (std::vector<Rect16>{{300, 300, 320, 320}}));
  free_recg_list(&exclusions);
}

}  // namespace
