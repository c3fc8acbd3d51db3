// Character size, gaps, writing direction, language and line measures on
// hand-built component lists (400 dpi: 16 pixels to the millimetre).
#include "layout/layout_pipelines.h"
#include "layout/text_measures.h"
#include "tests/layout/step_fixture.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace {

using layouttest::LayoutSteps;

TEST(RobustMean, TrimsOneDeviationAroundTheMean) {
  struct Case {
    const char* name;
    std::vector<short> values;
    short expected;
  };
  const Case cases[] = {
      {"one value is itself", {17}, 17},
      {"an outlier leaves the band", {10, 10, 10, 40}, 10},  // m 17, s 15
      {"two values both within", {5, 7}, 6},
      {"equal values", {3, 3, 3}, 3},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(robust_mean(c.values.data(), static_cast<int>(c.values.size())), c.expected) << c.name;
  }
}

TEST_F(LayoutSteps, CharacterSizeFallsThroughItsPasses) {
  struct Case {
    const char* name;
    int count, w, h;
    short expectedW, expectedH;
  };
  // Minimum character size 2 mm = 32 px; pass 2 from 16 px, pass 3 from 12 px.
  const Case cases[] = {
      {"one component is the size", 1, 30, 40, 30, 40},
      {"ordinary characters", 12, 48, 46, 48, 46},
      {"tiny glyphs: pass 2", 12, 20, 20, 20, 20},
      {"narrow tiny glyphs: pass 3 (no aspect test)", 12, 14, 28, 14, 28},
      {"specks only: every component", 12, 8, 8, 8, 8},
  };
  for (const Case& c : cases) {
    useDpi(400);
    addRow(100, 100, c.count, c.w, c.h, c.w + 20);
    ASSERT_EQ(estimate_char_size(&ctx_, 80), 1) << c.name;
    EXPECT_EQ(ctx_.charWidth, c.expectedW) << c.name;
    EXPECT_EQ(ctx_.charHeight, c.expectedH) << c.name;
    free_context_lists(&ctx_);
  }
  EXPECT_EQ(estimate_char_size(&ctx_, 80), 0) << "no component";
}

TEST_F(LayoutSteps, CharacterSizeRefinementDropsOutlyingSamples) {
  addRow(100, 100, 9, 48, 48, 70);
  rect_record* big = add(&ctx_.textList, 800, 100, 859, 159);  // 60 x 60
  ASSERT_EQ(estimate_char_size(&ctx_, 80), 1);
  // First estimate 49; deviation 3: the 60 falls out of the band.
  EXPECT_EQ(ctx_.charWidth, 48);
  EXPECT_EQ(ctx_.charHeight, 48);
  EXPECT_EQ(big->label, -1);
  EXPECT_EQ(ctx_.textList->next->label, 1);
}

TEST_F(LayoutSteps, GapsAreTheSmallestNeighbourDistances) {
  // Three lines of ten 48 px characters, 60 px apart along, 80 px down.
  for (int line = 0; line < 3; ++line) addRow(100, 100 + line * 80, 10, 48, 48, 60);
  ASSERT_EQ(estimate_char_size(&ctx_, 80), 1);
  ASSERT_EQ(estimate_char_gap(&ctx_, 70), 1);
  ASSERT_EQ(estimate_line_gap(&ctx_, 70), 1);
  EXPECT_EQ(ctx_.gapX, 60 - 47 + 1);
  EXPECT_EQ(ctx_.gapY, 80 - 47 + 1);
}

TEST_F(LayoutSteps, MeasuringDecidesAnAutomaticDirection) {
  struct Case {
    const char* name;
    int count;
    int pitchX, pitchY;  // 0: one column or one row
    int columns;
    std::uint8_t direction;
    signed char form;
    std::uint8_t expected;
  };
  const Case cases[] = {
      {"lines spaced widely from top to bottom: horizontal", 8, 56, 100, 4, 3, 0, 0},
      {"columns spaced closely top to bottom: vertical", 8, 100, 56, 4, 3, 0, 2},
      {"vertical in a table form becomes 1", 8, 100, 56, 4, 3, -1, 1},
      {"one component: nothing found, horizontal", 1, 56, 56, 1, 3, 0, 0},
      {"a single column: only the vertical gap, vertical", 8, 0, 56, 1, 3, 0, 2},
      {"a given direction 0 stays", 8, 100, 56, 4, 0, 0, 0},
      {"a given direction 2 stays", 8, 56, 100, 4, 2, 0, 2},
  };
  for (const Case& c : cases) {
    useDpi(400);
    ctx_.params.setByte(ParamBlock::kDirection, c.direction);
    ctx_.params.setByte(ParamBlock::kForm, static_cast<std::uint8_t>(c.form));
    // Columns run down (pitchY between characters), pitchX between columns.
    for (int col = 0; col < c.columns; ++col)
      for (int i = 0; i < c.count; ++i)
        add(&ctx_.textList, 200 + col * c.pitchX, 200 + i * c.pitchY, 200 + col * c.pitchX + 47,
            200 + i * c.pitchY + 47);
    const Rect16 area{100, 100, 1600, 1600};
    ASSERT_EQ(measure_region(&ctx_, &area), 1) << c.name;
    EXPECT_EQ(ctx_.params.byte(ParamBlock::kDirection), c.expected) << c.name;
    free_context_lists(&ctx_);
  }
}

TEST_F(LayoutSteps, ASmallAreaTakesItsDirectionFromItsShape) {
  for (auto [w, h, expected] : {std::tuple{140, 100, 0}, std::tuple{100, 100, 2}}) {
    useDpi(400);
    ctx_.params.setByte(ParamBlock::kDirection, 3);
    for (int col = 0; col < 2; ++col)
      for (int i = 0; i < 2; ++i) add(&ctx_.textList, col * 60, i * 56, col * 60 + 47, i * 56 + 47);
    const Rect16 area{0, 0, static_cast<std::int16_t>(w - 1), static_cast<std::int16_t>(h - 1)};
    ASSERT_EQ(measure_region(&ctx_, &area), 1);
    EXPECT_EQ(ctx_.params.byte(ParamBlock::kDirection), expected) << w << " x " << h;
    free_context_lists(&ctx_);
  }
}

TEST_F(LayoutSteps, MeasuringNothingFreesTheLists) {
  add(&ctx_.sepList, 0, 0, 500, 3);
  const Rect16 area{0, 0, 100, 100};
  EXPECT_EQ(measure_region(&ctx_, &area), 0);
  EXPECT_EQ(ctx_.sepList, nullptr);
}

TEST_F(LayoutSteps, LanguageFromSquareAndTallCharacters) {
  struct Case {
    const char* name;
    int tall, square;
    short expected;  // 1 Latin
  };
  const Case cases[] = {
      {"empty area: Latin", 0, 0, 1},
      {"one component: Latin", 0, 1, 1},
      {"square only: ratio 10000, Japanese", 0, 10, 0},
      {"ratio 200: Latin", 10, 20, 1},
      {"ratio 210: Japanese", 10, 21, 0},
  };
  for (const Case& c : cases) {
    useDpi(400);
    ctx_.charWidth = 30;
    ctx_.charHeight = 30;
    for (int i = 0; i < c.tall; ++i) add(&ctx_.textList, i * 50, 0, i * 50 + 29, 44);       // 30 x 45
    for (int i = 0; i < c.square; ++i) add(&ctx_.textList, i * 50, 100, i * 50 + 29, 129);  // 30 x 30
    EXPECT_EQ(detect_latin_text(&ctx_), c.expected) << c.name;
    free_context_lists(&ctx_);
  }
}

TEST_F(LayoutSteps, LineHeightAndLineGapOfBuiltLines) {
  ctx_.charHeight = 40;
  ctx_.gapY = 20;
  // Lines 800 px wide (more than 15 character heights), 100 px apart.
  const int heights[] = {40, 42, 38, 100};
  for (int i = 0; i < 4; ++i) add(&ctx_.textList, 0, i * 100, 799, i * 100 + heights[i] - 1);
  ASSERT_EQ(measure_line_height(&ctx_), 1);
  EXPECT_EQ(ctx_.lineHeight, 40);
  ASSERT_EQ(measure_line_gap(&ctx_), 1);
  EXPECT_EQ(ctx_.lineGapH, 61);  // gaps 62 and 60

  free_context_lists(&ctx_);
  add(&ctx_.textList, 0, 0, 99, 39);  // one narrow line: its height
  EXPECT_EQ(measure_line_height(&ctx_), 1);
  EXPECT_EQ(ctx_.lineHeight, 40);
  add(&ctx_.textList, 0, 100, 99, 139);  // two narrow lines: no sample
  EXPECT_EQ(measure_line_height(&ctx_), 0);
  free_context_lists(&ctx_);
  EXPECT_EQ(measure_line_height(&ctx_), 0) << "no line";
}

TEST_F(LayoutSteps, LineGapIsRaisedToTheLineHeightAndBoundedByFourGaps) {
  ctx_.charHeight = 40;
  ctx_.lineHeight = 40;
  ctx_.gapY = 20;
  for (int i = 0; i < 3; ++i) add(&ctx_.textList, 0, i * 70, 799, i * 70 + 39);
  ASSERT_EQ(measure_line_gap(&ctx_), 1);
  EXPECT_EQ(ctx_.lineGapH, 40) << "gap 31 raised to the line height";
  ctx_.gapY = 5;  // lines more than 20 px apart are not neighbours
  EXPECT_EQ(measure_line_gap(&ctx_), 0);
}

const layout::LayoutStep& pipelineRow(std::string_view name) {
  for (const auto& step : layout::horizontalPipeline().main)
    if (name == step.name) return step;
  throw std::logic_error("no such row");
}

TEST_F(LayoutSteps, PipelineMeasuresFallBackToTheCharacterMeasures) {
  struct Case {
    const char* name;
    std::vector<int> lineTops;  // lines 800 x 40
    short gapY;
    short expectedHeight, expectedGap;
  };
  const Case cases[] = {
      {"nothing measured: character height, vertical gap", {}, 30, 40, 30},
      {"a line gap under half the vertical gap becomes 80 % of it", {0, 70}, 90, 40, 72},
  };
  for (const Case& c : cases) {
    useDpi(400);
    ctx_.charHeight = 40;
    ctx_.gapY = c.gapY;
    for (int top : c.lineTops) add(&ctx_.textList, 0, top, 799, top + 39);
    layout::LayoutRun run{&ctx_, {}, &result_, nullptr, nullptr, false, {}, {}};
    EXPECT_EQ(pipelineRow("measure_lines").run(run), 1);
    EXPECT_EQ(ctx_.lineHeight, c.expectedHeight) << c.name;
    EXPECT_EQ(ctx_.lineGapH, c.expectedGap) << c.name;
    free_context_lists(&ctx_);
  }
}

TEST_F(LayoutSteps, JoinAndBlockDistancesFollowLanguageAndForm) {
  struct Case {
    const char* name;
    short language;
    signed char form;
    std::uint8_t byte10, byte11, byte12;
    int join, block;
  };
  // (48 + 12) x 90 % = 54; line gap 40 x 150 % = 60, at least 1.5 mm = 24.
  const Case cases[] = {
      {"Japanese page", 0, 0, 0, 0, 0, 54, 60},
      {"Latin page: 75 % and 125 %", 1, 0, 0, 0, 0, 40, 75},
      {"table form, byte 11 = 0: a whole row", 0, -1, 0, 0, 0, 1200, 1200},
      {"table form, byte 10 = 1: every line its own block", 0, -1, 1, 1, 0, 54, 0},
      {"one block only", 0, 0, 0, 0, 1, 1200, 60},
  };
  for (const Case& c : cases) {
    layctx ctx;
    ctx.page.dpi = 400;
    ctx.charWidth = 48;
    ctx.gapX = 12;
    ctx.lineGapH = 40;
    ctx.params.setWord(ParamBlock::kLanguageWord, c.language);
    ctx.params.setByte(ParamBlock::kForm, static_cast<std::uint8_t>(c.form));
    ctx.params.setByte(ParamBlock::kNoVerticalMargin, c.byte10);
    ctx.params.setByte(ParamBlock::kNoHorizontalMargin, c.byte11);
    ctx.params.setByte(ParamBlock::kSingleBlock, c.byte12);
    EXPECT_EQ(layout::line_join_distance(ctx), c.join) << c.name;
    EXPECT_EQ(layout::line_distance(ctx), c.block) << c.name;
  }
  layctx tight;
  tight.page.dpi = 400;
  tight.lineGapH = 10;  // 15 px, raised to 1.5 mm
  EXPECT_EQ(layout::line_distance(tight), 24);
}

}  // namespace
