// Cleaning blocks, hanging small pieces, the white gaps between lines and
// their filter, on hand-built rings at 400 dpi (16 pixels to the millimetre).
#include "layout/block_cleaning.h"
#include "layout/line_gap_filter.h"
#include "layout/line_steps.h"
#include "layout/table_regions.h"
#include "tests/layout/step_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using layouttest::LayoutSteps;

class Cleaning : public LayoutSteps {
 protected:
  void SetUp() override {
    LayoutSteps::SetUp();
    measures();
  }
  // Characters 64 px, pitch 72, line height and gap 64.
  void measures() {
    ctx_.charWidth = ctx_.charHeight = 64;
    ctx_.gapX = 8;
    ctx_.gapY = 24;
    ctx_.lineHeight = 64;
    ctx_.lineGapH = 64;
  }
  // A block of one line holding one component of the block's rectangle.
  rect_record* block(int l, int t, int r, int b) {
    rect_record* blk = add(&ctx_.textList, l, t, r, b);
    rect_record* line = add(&blk->outer, l, t, r, b);
    add(&line->inner, l, t, r, b);
    return blk;
  }
  static rect_record* firstLine(rect_record* blk) { return blk->outer->next; }
};

TEST_F(Cleaning, ChoosingALineForAPieceBetweenTwo) {
  struct Case {
    const char* name;
    bool latin;
    int lowerBottom;  // of the component below the piece
    int chosen;       // 0 the upper line, 1 the lower one
  };
  // Piece (100..105, 200..205), middle (102, 202).  The upper component
  // (90..119, 150..195) gives the span 205 - 150 + 1 = 56; the lower one
  // (90..119, 210..b) gives b - 200 + 1.  The nearest corner is the upper
  // component's (90, 195).
  const Case cases[] = {
      {"Latin, equal spans: the later line", true, 255, 1},
      {"Latin, the lower span smaller", true, 254, 1},
      {"Latin, the upper span smaller", true, 256, 0},
      {"Japanese, equal spans: the nearest corner", false, 255, 0},
  };
  for (const Case& c : cases) {
    ctx_.params.setWord(ParamBlock::kLanguageWord, c.latin ? 1 : 0);
    rect_record* upper = add(&ctx_.textList, 0, 150, 999, 195);
    add(&upper->inner, 90, 150, 119, 195);
    rect_record* lower = add(&ctx_.textList, 0, 210, 999, c.lowerBottom);
    add(&lower->inner, 90, 210, 119, c.lowerBottom);
    const rect_record* piece = add(&ctx_.speckList, 100, 200, 105, 205);
    rect_record* const candidates[] = {upper, lower};
    EXPECT_EQ(choose_line_for_piece(&ctx_, piece, candidates, 2), candidates[c.chosen]) << c.name;
    free_context_lists(&ctx_);
  }
  // No corner within a pitch and a line gap: the first candidate.
  rect_record* far1 = add(&ctx_.textList, 0, 0, 10, 10);
  add(&far1->inner, 0, 0, 10, 10);
  rect_record* far2 = add(&ctx_.textList, 0, 900, 10, 910);
  add(&far2->inner, 0, 900, 10, 910);
  const rect_record* piece = add(&ctx_.speckList, 500, 500, 505, 505);
  rect_record* const candidates[] = {far1, far2};
  EXPECT_EQ(choose_line_for_piece(&ctx_, piece, candidates, 2), far1);
}

TEST_F(Cleaning, ASpeckMeetingOneBlockHangsOnlyOnThatBlocksLines) {
  rect_record* a = block(0, 0, 999, 63);
  rect_record* b = block(0, 80, 999, 143);
  // B's line reaches the speck too and has the nearest corner (500, 80).
  add(&firstLine(b)->inner, 500, 80, 510, 100);
  add(&ctx_.speckList, 500, 62, 510, 78);  // meets block A only
  add(&ctx_.speckList, 600, 20, 601, 20);  // below the attach size: stays
  ASSERT_EQ(hang_specks_on_lines(&ctx_), 1);
  EXPECT_EQ(count_rects(firstLine(a)->inner), 2);
  EXPECT_EQ(rects(ctx_.textList).front(), (Rect16{0, 0, 999, 78}));
  EXPECT_EQ(rects(ctx_.speckList), (std::vector<Rect16>{{600, 20, 601, 20}}));
}

TEST_F(Cleaning, SpecksThatNoBlockComesNearGo) {
  block(0, 0, 999, 63);
  add(&ctx_.speckList, 999 + 72, 20, 1075, 25);  // within a pitch to the right
  add(&ctx_.speckList, 999 + 73, 30, 1076, 35);  // a pixel further
  add(&ctx_.speckList, 500, 63 + 12, 505, 80);    // within a fifth of the line gap below
  add(&ctx_.speckList, 500, 63 + 13, 505, 80);
  ASSERT_EQ(drop_far_specks(&ctx_), 1);
  EXPECT_EQ(rects(ctx_.speckList), (std::vector<Rect16>{{1071, 20, 1075, 25}, {500, 75, 505, 80}}));
}

TEST_F(Cleaning, NarrowBlocksGoWithTheSpecksOnThem) {
  struct Case {
    const char* name;
    int width, height;
    int lines;
    bool stays;
  };
  // Half a character: 32 px; three character heights: 192 px; 0.4 mm: 6 px.
  const Case cases[] = {
      {"one line 3 ch high, half a character wide", 32, 193, 1, true},
      {"one line exactly 3 ch high, narrower", 31, 192, 1, true},
      {"one line 3 ch + 1 high, narrower", 31, 193, 1, false},
      {"two narrow lines", 31, 100, 2, false},
      {"thinner than 0.4 mm", 5, 100, 1, false},
      {"no line at all", 100, 100, 0, true},
  };
  for (const Case& c : cases) {
    rect_record* blk = add(&ctx_.textList, 100, 100, 100 + c.width - 1, 100 + c.height - 1);
    for (int i = 0; i < c.lines; ++i) {
      rect_record* line = add(&blk->outer, 100, 100, 100 + c.width - 1, 100 + c.height - 1);
      add(&line->inner, 100, 100, 100 + c.width - 1, 100 + c.height - 1);
    }
    add(&ctx_.speckList, 101, 101, 102, 102);
    ASSERT_EQ(drop_narrow_blocks(&ctx_), 1) << c.name;
    EXPECT_EQ(count_rects(ctx_.textList), c.stays ? 1 : 0) << c.name;
    EXPECT_EQ(count_rects(ctx_.speckList), c.stays ? 1 : 0) << c.name;
    free_context_lists(&ctx_);
  }
}

TEST_F(Cleaning, LinesOfDotsAndFlatLinesGo) {
  // A line ten pitches wide (720 px) of 51 dots goes, of 50 stays.
  for (const int dots : {50, 51}) {
    rect_record* blk = add(&ctx_.textList, 0, 0, 719, 63);
    rect_record* line = add(&blk->outer, 0, 0, 719, 63);
    add(&line->inner, 0, 0, 63, 63);
    for (int i = 0; i < dots; ++i) add(&line->inner, 70 + i * 12, 30, 74 + i * 12, 34);
    ASSERT_EQ(drop_speckled_lines(&ctx_), 1);
    EXPECT_EQ(count_rects(ctx_.textList), dots == 51 ? 0 : 1) << dots;
    free_context_lists(&ctx_);
  }
  // No component higher than 1 mm (16 px): a flat line.
  rect_record* blk = add(&ctx_.textList, 0, 0, 999, 200);
  rect_record* flat = add(&blk->outer, 0, 0, 999, 15);
  add(&flat->inner, 0, 0, 999, 15);
  rect_record* text = add(&blk->outer, 0, 100, 999, 200);
  add(&text->inner, 0, 100, 999, 116);
  ASSERT_EQ(drop_flat_lines(&ctx_), 1);
  EXPECT_EQ(rects(ctx_.textList->next->outer), (std::vector<Rect16>{{0, 100, 999, 116}}));
  EXPECT_EQ(rects(ctx_.textList), (std::vector<Rect16>{{0, 100, 999, 116}}));
}

TEST_F(Cleaning, BlocksSideBySideJoinAcrossASmallGap) {
  struct Case {
    const char* name;
    int gap;  // B.left - A.right + 1; joins below 64
    bool tallSeparator;
    bool thirdBlock;
    int blocks;
  };
  const Case cases[] = {
      {"a gap of 63", 63, false, false, 1},
      {"a gap of 64", 64, false, false, 2},
      {"a tall separator between", 63, true, false, 2},
      {"a third block within the union", 63, false, true, 2},  // it cannot join A: their columns meet
  };
  for (const Case& c : cases) {
    block(0, 0, 999, 63);
    block(999 + c.gap - 1, 0, 1999, 63);
    if (c.tallSeparator) add(&ctx_.sepList, 1010, 0, 1011, 200, 2);
    if (c.thirdBlock) block(990, 30, 1005, 40);
    ASSERT_EQ(join_close_blocks(&ctx_), 1) << c.name;
    EXPECT_EQ(count_rects(ctx_.textList), c.blocks + (c.thirdBlock ? 1 : 0)) << c.name;
    if (c.blocks == 1) {
      EXPECT_EQ(count_rects(ctx_.textList->next->outer), 2) << c.name;
    }
    free_context_lists(&ctx_);
  }
}

TEST_F(Cleaning, GapsBetweenColumnsAreCollectedOncePerRow) {
  for (const int y : {0, 100, 200}) {
    add(&ctx_.textList, 0, y, 999, y + 63);
    add(&ctx_.textList, 1300, y, 2299, y + 63);
  }
  add(&ctx_.textList, 3000, 0, 3040, 63);  // 700 px away: the gap is 12 pitches, kept
  layout::sortRingStable(ctx_.textList);
  ASSERT_EQ(collect_line_gaps(&ctx_), 1);
  EXPECT_EQ(rects(ctx_.gapList), (std::vector<Rect16>{{1000, 0, 1299, 63}, {2300, 0, 2999, 63},
                                                      {1000, 100, 1299, 163}, {1000, 200, 1299, 263}}));

  // Two separators of kind 4 inside each gap, nearer its middle the
  // narrower it is.
  free_context_lists(&ctx_);
  add(&ctx_.gapList, 1000, 0, 1063, 99);   // 64 wide: 39 % in, 24 px
  add(&ctx_.gapList, 2000, 0, 2639, 99);   // 640 wide: 20 %, 128 px
  ASSERT_EQ(gaps_to_separators(ctx_.gapList, &ctx_), 1);
  EXPECT_EQ(rects(ctx_.sepList), (std::vector<Rect16>{{1024, 0, 1025, 99}, {1039, 0, 1040, 99},
                                                      {2128, 0, 2129, 99}, {2511, 0, 2512, 99}}));
  EXPECT_EQ(labels(ctx_.sepList), (std::vector<short>{4, 4, 4, 4}));
}

class GapFilter : public LayoutSteps {
 protected:
  // v = 50 and p = 50: a = 60, h = 165, d = 45, o = 31.
  void SetUp() override {
    LayoutSteps::SetUp();
    ctx_.charWidth = ctx_.charHeight = 40;
    ctx_.gapX = ctx_.gapY = 10;
  }
};

TEST_F(GapFilter, DerivedLengths) {
  const layout::LineGapLengths len = layout::lineGapLengths(ctx_);
  EXPECT_EQ(len.rowReach, 60);
  EXPECT_EQ(len.tallest, 165);
  EXPECT_EQ(len.join, 45);
  EXPECT_EQ(len.narrowest, 31);
}

TEST_F(GapFilter, ChannelsByHeightWidthAndSpecks) {
  struct Case {
    const char* name;
    int width, height;
    int specks;
    bool kept;
  };
  const Case cases[] = {
      {"165 px high: dropped", 40, 165, 0, false},
      {"166 px high: a channel", 40, 166, 0, true},
      {"seven pitches wide: kept", 350, 200, 0, true},
      {"seven pitches and a pixel: deleted", 351, 200, 0, false},
      {"500 high with 9 specks: kept", 40, 500, 9, true},
      {"500 high with 10 specks: deleted", 40, 500, 10, false},
  };
  for (const Case& c : cases) {
    add(&ctx_.gapList, 100, 100, 100 + c.width - 1, 100 + c.height - 1);
    for (int i = 0; i < c.specks; ++i) add(&ctx_.speckList, 110, 110 + i * 40, 112, 112 + i * 40);
    ASSERT_EQ(filter_line_gaps(&ctx_), 1) << c.name;
    const auto expected =
        c.kept ? std::vector<Rect16>{{100, 100, static_cast<std::int16_t>(100 + c.width - 1),
                                      static_cast<std::int16_t>(100 + c.height - 1)}}
               : std::vector<Rect16>{};
    EXPECT_EQ(rects(ctx_.gapList), expected) << c.name;
    free_context_lists(&ctx_);
  }
}

TEST_F(GapFilter, GapsAboveOneAnotherBecomeOneChannelUnlessCut) {
  struct Case {
    const char* name;
    Rect16 separator;  // none when right == 0
    Rect16 region;     // none when right == 0
    std::vector<Rect16> channels;
  };
  const Rect16 upper{100, 100, 139, 299};
  const Rect16 lower{105, 330, 144, 529};
  const Case cases[] = {
      {"nothing between: one channel of the common columns", {}, {}, {{105, 100, 139, 529}}},
      {"a wide separator across", {0, 310, 500, 312}, {}, {upper, lower}},
      {"a region's top within the rows", {}, {0, 310, 500, 800}, {upper, lower}},
      {"a region around the whole channel", {}, {0, 0, 500, 1000}, {{105, 100, 139, 529}}},
  };
  for (const Case& c : cases) {
    add(&ctx_.gapList, upper.left, upper.top, upper.right, upper.bottom);
    add(&ctx_.gapList, lower.left, lower.top, lower.right, lower.bottom);
    if (c.separator.right != 0)
      add(&ctx_.sepList, c.separator.left, c.separator.top, c.separator.right, c.separator.bottom, 1);
    if (c.region.right != 0) add(&ctx_.largeList, c.region.left, c.region.top, c.region.right, c.region.bottom, 10);
    ASSERT_EQ(filter_line_gaps(&ctx_), 1) << c.name;
    EXPECT_EQ(rects(ctx_.gapList), c.channels) << c.name;
    free_context_lists(&ctx_);
  }
}

TEST_F(GapFilter, LinesCrossingAChannelDeleteIt) {
  // Wider than a character: the test columns are 110..149.
  add(&ctx_.gapList, 100, 100, 159, 399);
  add(&ctx_.textList, 0, 200, 110, 239);  // reaches into the narrowed columns
  ASSERT_EQ(filter_line_gaps(&ctx_), 1);
  EXPECT_EQ(count_rects(ctx_.gapList), 0);
  free_context_lists(&ctx_);

  add(&ctx_.gapList, 100, 100, 159, 399);
  add(&ctx_.textList, 0, 200, 109, 239);  // ends in the 10 px that the test leaves out
  ASSERT_EQ(filter_line_gaps(&ctx_), 1);
  EXPECT_EQ(count_rects(ctx_.gapList), 1);
}

TEST_F(GapFilter, NullOrEmptyListsChangeNothing) {
  ASSERT_EQ(filter_line_gaps(&ctx_), 1);
  EXPECT_EQ(ctx_.gapList, nullptr);
  append_rect(&ctx_.gapList);
  unlink_rect(ctx_.gapList->next);
  ASSERT_EQ(filter_line_gaps(&ctx_), 1);
  ASSERT_NE(ctx_.gapList, nullptr);
  EXPECT_EQ(count_rects(ctx_.gapList), 0);
}

// Every record these steps take may be refused: each step then answers
// -111 and leaves the rings linked, and nothing is lost from the pools.
TEST_F(Cleaning, RunningOutOfRecordsAnywhereLeavesSoundRings) {
  layout::pools().closeAll();
  ASSERT_TRUE(layout::pools().rects.configure({1, 1, 1}));
  auto scene = [this] {
    measures();
    ctx_.lineGapH = 40;
    // Two columns of ten lines, a region, a speck by each line.
    for (int row = 0; row < 10; ++row) {
      const int y = row * 100;
      for (const int x : {0, 1300}) {
        for (int k = 0; k < 3; ++k) add(&ctx_.textList, x + k * 280, y, x + k * 280 + 250, y + 63);
        add(&ctx_.speckList, x + 260, y + 55, x + 265, y + 60);
      }
    }
    add(&ctx_.largeList, 3000, 0, 3600, 600, 10);
  };
  bool finished = false;
  int failures = 0;
  for (long n = 0; n < 2000 && !finished; ++n) {
    layout::pools().rects.close();  // every record from here on is a new block
    ASSERT_TRUE(layout::pools().rects.configure({1, 1, 1}));
    scene();
    layout::PoolFaults::remaining = n;
    short status = build_lines(&ctx_, 40);
    if (status == 1) status = frame_regions(&ctx_);
    if (status == 1) status = collect_line_gaps(&ctx_);
    if (status == 1) {
      filter_line_gaps(&ctx_);
      status = gaps_to_separators(ctx_.gapList, &ctx_);
    }
    if (status == 1) status = build_blocks(&ctx_, 50);
    if (status == 1) status = hang_specks_on_lines(&ctx_);
    if (status == 1) status = join_close_blocks(&ctx_);
    layout::PoolFaults::remaining = -1;
    ASSERT_TRUE(status == 1 || status == -111) << "after " << n << " records: " << status;
    EXPECT_TRUE(layouttest::runValid(ctx_, &result_)) << "after " << n << " records";
    free_context_lists(&ctx_);
    EXPECT_TRUE(layouttest::poolsBalanced({}, {})) << "after " << n << " records";
    if (status == -111) ++failures;
    finished = status == 1;
  }
  EXPECT_TRUE(finished);
  EXPECT_GT(failures, 50);
  layout::pools().closeAll();
}

}  // namespace
