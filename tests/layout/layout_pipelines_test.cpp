// The pipelines' step tables (order, conditions, the stop on -111, nested
// runs), the analysis of a user region, and running out of memory anywhere
// on a rendered page.
#include "layout/bit_image.h"
#include "layout/field_rings.h"
#include "layout/keisen_lists.h"
#include "layout/layout_pipelines.h"
#include "layout/library_state.h"
#include "layout/ring.h"
#include "layout/user_region.h"
#include "tests/layout/region_runner.h"
#include "tests/layout/step_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using layouttest::LayoutSteps;

std::vector<std::string> g_trace;

void record(const layout::LayoutStep& step, short, const layout::LayoutRun&) { g_trace.emplace_back(step.name); }

short done(layout::LayoutRun&) { return 1; }
short noMemory(layout::LayoutRun&) { return -111; }

// The table with every step's work replaced, so that the trace shows the
// order and the conditions alone.
struct InstrumentedTable {
  explicit InstrumentedTable(const layout::PipelineTable& real)
      : main(real.main.begin(), real.main.end()), tail(real.tail.begin(), real.tail.end()) {
    for (auto& s : main) s.run = done;
    for (auto& s : tail) s.run = done;
  }
  layout::PipelineTable table() const { return {main, tail}; }
  std::vector<layout::LayoutStep> main;
  std::vector<layout::LayoutStep> tail;
};

class Pipelines : public LayoutSteps {
 protected:
  short trace(const layout::PipelineTable& table, bool nested = false) {
    g_trace.clear();
    layout::LayoutRun run{&ctx_, {}, &result_, nullptr, blockRing_, nested, {}, {}};
    return layout::run_pipeline(table, run, record);
  }
  static bool ran(const std::string& name) { return std::find(g_trace.begin(), g_trace.end(), name) != g_trace.end(); }
  static long times(const std::string& name) { return std::count(g_trace.begin(), g_trace.end(), name); }
  recg* blockRing_ = nullptr;
};

TEST_F(Pipelines, APageRunsTheHorizontalStepsInOrder) {
  const InstrumentedTable steps(layout::horizontalPipeline());
  EXPECT_EQ(trace(steps.table()), 1);
  const std::vector<std::string> expected = {
      "classify_components", "drop_touching_separators", "absorb_figure_contents", "group_pixels",
      "keep_figure_blocks", "move_rect_list", "sort_rects_by_top", "drop_nested_components",
      "merge_overlapping_components", "absorb_inner_pieces", "merge_regions", "classify_components",
      "drop_touching_separators", "merge_regions", "find_dotted_lines", "copy_keisen_lists", "mark_all_keisen",
      "drop_keisen_outside_area", "drop_components_on_keisen", "keisen_to_separators", "merge_separators",
      "add_line_fields", "free_keisen_pair", "build_lines", "absorb_sparse_regions", "find_table_regions",
      "drop_text_regions", "frame_regions", "collect_line_gaps", "filter_line_gaps", "gaps_to_separators",
      "measure_lines", "classify_line_heights", "drop_noisy_lines", "merge_lines_at_tall_lines", "build_blocks",
      "drop_narrow_blocks", "join_overlapping_lines", "hang_specks_on_lines", "free_speck_list",
      "join_close_blocks", "join_overlapping_lines", "join_small_blocks", "join_overlapping_lines",
      "drop_speckled_lines", "find_text_box", "drop_blocks_in_figures", "clear_figure_regions",
      "drop_small_in_regions", "find_columns", "drop_separators_in_blocks", "join_blocks_in_columns",
      "join_split_lines", "join_blocks_across_gap", "join_overlapping_lines", "merge_overlapping_blocks",
      "drop_figure_blocks", "drop_figure_lines", "drop_thin_figure_lines", "drop_flat_lines",
      "join_overlapping_lines", "split_blocks_at_gutters", "split_blocks_at_gaps", "split_initial_lines",
      "join_overlapping_lines", "sort_rects_by_top", "emit_fields", "free_blocks_and_regions",
      "add_gap_separators", "order_fields", "read_form_rows", "free_context_lists", "expand_tables", "tidy_line_fields",
      "drop_line_fields_in_figures", "drop_large_figures", "merge_figures", "drop_thin_figures",
      "drop_line_fields_in_text", "mark_line_fields_in_tables"};
  EXPECT_EQ(g_trace, expected);
}

TEST_F(Pipelines, ParameterBytesChooseTheSteps) {
  struct Case {
    const char* name;
    signed char form;
    short language;
    std::uint8_t languageAuto, byte10, byte11, byte12, byte17;
    bool blockRing;
    std::vector<std::string> run, skipped;
  };
  const Case cases[] = {
      {"table form",
       -1, 0, 0, 0, 0, 0, 0, false,
       {"classify_components_in_area", "drop_components_outside_area", "drop_pieces_along_separators",
        "join_table_lines", "find_table_columns", "join_table_pieces", "resplit_edge_fields", "fill_table_grid"},
       {"classify_components", "absorb_figure_contents", "absorb_sparse_regions", "frame_regions",
        "collect_line_gaps", "find_columns", "add_gap_separators", "expand_tables", "drop_excluded_components"}},
      {"table form split both ways",
       -1, 0, 0, 1, 1, 0, 0, false,
       {"collect_line_gaps", "split_blocks_at_gaps", "find_columns"},
       {"find_table_columns", "drop_components_outside_area", "drop_pieces_along_separators"}},
      {"table form with character blocks", -1, 0, 0, 0, 0, 0, 1, true, {"drop_excluded_components"}, {}},
      {"character blocks without a ring", -1, 0, 0, 0, 0, 0, 1, false, {}, {"drop_excluded_components"}},
      {"Latin text",
       0, 1, 0, 0, 0, 0, 0, false,
       {"find_underlines", "split_tall_lines"},
       {"merge_overlapping_components", "absorb_inner_pieces", "drop_narrow_blocks", "join_close_blocks",
        "find_text_box", "join_blocks_in_columns", "drop_figure_blocks", "drop_thin_figure_lines"}},
      {"automatic language", 0, 0, 1, 0, 0, 0, 0, false, {"detect_latin_text"}, {"find_underlines"}},
      {"one block only",
       0, 0, 0, 0, 0, 1, 0, false,
       {"single_block", "merge_all_blocks"},
       {"copy_keisen_lists", "add_line_fields", "collect_line_gaps", "split_blocks_at_gutters"}},
      {"a text area is not expanded", 2, 0, 0, 0, 0, 0, 0, false, {"add_gap_separators"}, {"expand_tables"}},
  };
  const InstrumentedTable steps(layout::horizontalPipeline());
  recg* ring = nullptr;
  append_recg(&ring);
  for (const Case& c : cases) {
    ctx_.params = ParamBlock{};
    ctx_.params.setByte(ParamBlock::kForm, static_cast<std::uint8_t>(c.form));
    ctx_.params.setWord(ParamBlock::kLanguageWord, c.language);
    ctx_.params.setByte(ParamBlock::kLanguageAuto, c.languageAuto);
    ctx_.params.setByte(ParamBlock::kNoVerticalMargin, c.byte10);
    ctx_.params.setByte(ParamBlock::kNoHorizontalMargin, c.byte11);
    ctx_.params.setByte(ParamBlock::kSingleBlock, c.byte12);
    ctx_.params.setByte(ParamBlock::kCharBlocks, c.byte17);
    blockRing_ = c.blockRing ? ring : nullptr;
    EXPECT_EQ(trace(steps.table()), 1) << c.name;
    for (const auto& name : c.run) EXPECT_TRUE(ran(name)) << c.name << ": " << name << " should run";
    for (const auto& name : c.skipped) EXPECT_FALSE(ran(name)) << c.name << ": " << name << " should not run";
    if (c.form == -1) {
      EXPECT_EQ(times("classify_components_in_area"), 2) << c.name;
    }
  }
  blockRing_ = nullptr;
  free_recg_list(&ring);
}

TEST_F(Pipelines, TheFirstNoMemoryOfAStoppingStepEndsTheRun) {
  const InstrumentedTable steps(layout::horizontalPipeline());
  trace(steps.table());
  const std::vector<std::string> full = g_trace;
  // Every row in turn answers -111: a row marked to stop ends the run there,
  // any other row's answer is ignored.
  int stopping = 0;
  for (std::size_t i = 0; i < steps.main.size(); ++i) {
    InstrumentedTable failing(layout::horizontalPipeline());
    failing.main[i].run = noMemory;
    const short status = trace(failing.table());
    const std::string name = steps.main[i].name;
    const bool runsOnAPage = std::find(full.begin(), full.end(), name) != full.end();
    if (!runsOnAPage || !steps.main[i].stopsOnNoMemory) {
      EXPECT_EQ(status, 1) << name;
      EXPECT_EQ(g_trace, full) << name;
      continue;
    }
    ++stopping;
    EXPECT_EQ(status, -111) << name;
    EXPECT_EQ(g_trace.back(), name);
    EXPECT_LT(g_trace.size(), full.size()) << name;
  }
  EXPECT_GT(stopping, 30);
}

TEST_F(Pipelines, TheRuledLineCopiesGoWhicheverWayTheRunEnds) {
  Keisen* h = append_hline(&layout::layoutState().hLines);
  h->a = 10;
  h->b = 900;
  h->c = 100;
  InstrumentedTable failing(layout::horizontalPipeline());
  for (auto& s : failing.main) {
    if (std::string(s.name) == "copy_keisen_lists") s.run = layout::horizontalPipeline().main[&s - failing.main.data()].run;
    if (std::string(s.name) == "add_line_fields") s.run = noMemory;
  }
  layout::LayoutRun run{&ctx_, {}, &result_, nullptr, nullptr, false, {}, {}};
  EXPECT_EQ(layout::run_pipeline(failing.table(), run), -111);
  EXPECT_EQ(run.rules.horizontal, nullptr);
}

TEST_F(Pipelines, ANestedRunStopsOnceTheListsAreFreed) {
  const InstrumentedTable steps(layout::horizontalPipeline());
  EXPECT_EQ(trace(steps.table(), true), 1);
  EXPECT_EQ(g_trace.back(), "free_context_lists");
  EXPECT_FALSE(ran("expand_tables"));
}

TEST_F(Pipelines, VerticalWritingRunsTheVerticalTable) {
  const InstrumentedTable steps(layout::verticalPipeline());
  ctx_.params.setByte(ParamBlock::kDirection, 2);
  EXPECT_EQ(trace(steps.table()), 1);
  EXPECT_TRUE(ran("link_vChars"));
  EXPECT_TRUE(ran("split_mixed_fields")) << "direction 2 on a page";
  ctx_.params.setByte(ParamBlock::kDirection, 1);
  trace(steps.table());
  EXPECT_FALSE(ran("split_mixed_fields"));
  ctx_.params.setByte(ParamBlock::kSingleBlock, 1);
  trace(steps.table());
  EXPECT_FALSE(ran("copy_keisen_lists"));
  EXPECT_TRUE(ran("merge_vAllBlocks"));
}

TEST_F(Pipelines, EveryVerticalStepDoesItsWork) {
  const layout::PipelineTable& table = layout::verticalPipeline();
  for (const auto* part : {&table.main, &table.tail})
    for (const layout::LayoutStep& step : *part) EXPECT_NE(step.run, &layout::step_not_built) << step.name;
}

TEST_F(Pipelines, OneBlockOnlyAsksForOneColumnAndDropsTheSeparators) {
  ctx_.params.setByte(ParamBlock::kSingleBlock, 1);
  add(&ctx_.sepList, 0, 0, 500, 2, 1);
  layout::LayoutRun run{&ctx_, {}, &result_, nullptr, nullptr, false, {}, {}};
  ASSERT_EQ(layout::run_layout_steps(layout::horizontalEarlySteps(), run, layouttest::checkRingsAfterStep), 1);
  EXPECT_EQ(ctx_.params.word(ParamBlock::kTierCount), 1);
  EXPECT_EQ(ctx_.sepList, nullptr);
}

// A page of ten lines of Japanese, a ruled box and a dotted leader.
testpages::RenderedPage smallPage(int dpi) {
  const int mm = dpi * 4 / 100;
  testpages::PageBuilder builder(100 * mm, 80 * mm, dpi);
  builder.addText({8 * mm, 8 * mm}, QStringLiteral("文字の大きさを測る試験です。"), 10.5, 14, 4);
  builder.addRule(QRect(6 * mm, 40 * mm, 80 * mm, 2), true);
  builder.addRule(QRect(6 * mm, 70 * mm, 80 * mm, 2), true);
  builder.addRule(QRect(6 * mm, 40 * mm, 2, 30 * mm), false);
  builder.addRule(QRect(86 * mm, 40 * mm, 2, 30 * mm + 2), false);
  builder.addText({10 * mm, 45 * mm}, QStringLiteral("目次"), 10.5, 2, 1);
  builder.addDottedLine({22 * mm, 49 * mm}, 40 * mm, true, mm / 2 - 1, mm);
  return builder.render();
}

TEST_F(Pipelines, RunningOutOfMemoryAnywhereGivesNoMemoryAndLeavesNothingBehind) {
  testpages::RenderedPage page = smallPage(300);
  ParamBlock params;
  params.setByte(ParamBlock::kDirection, 3);
  params.setByte(ParamBlock::kHorizontalRules, 1);
  params.setByte(ParamBlock::kLanguageAuto, 1);
  int window = 0;
  ASSERT_EQ(GetLines(&window, page.bits.data(), static_cast<short>(page.width), static_cast<short>(page.height),
                     static_cast<std::uint16_t>(page.dpi), nullptr, nullptr),
            1);
  layout::pools().closeAll();
  ASSERT_TRUE(layout::pools().rects.configure({4, 1, 1}));
  ASSERT_TRUE(layout::pools().fields.configure({1, 1, 1}));
  bool finished = false;
  int failures = 0;
  for (long n = 0; n < 5000 && !finished; ++n) {
    short status = 0;
    {
      layouttest::RegionRun run;
      layout::PoolFaults::remaining = n;
      layouttest::runRegion(run, page, params, nullptr, {false, true, nullptr});
      layout::PoolFaults::remaining = -1;
      status = run.status;
      ASSERT_TRUE(status == 1 || status == -111) << "after " << n << " allocations: " << status;
      EXPECT_TRUE(layouttest::runValid(run.ctx, &run.result)) << "after " << n << " allocations";
    }
    EXPECT_TRUE(layouttest::poolsBalanced({}, {})) << "after " << n << " allocations";
    if (status == -111) ++failures;
    finished = status == 1;
  }
  EXPECT_TRUE(finished);
  EXPECT_GT(failures, 10);
  layout::pools().closeAll();
  layout::pools().fields.configure({30, 3, 2});
}

TEST_F(Pipelines, ARenderedPageKeepsItsRingsSoundAfterEveryStep) {
  testpages::RenderedPage page = smallPage(400);
  ParamBlock params;
  params.setByte(ParamBlock::kDirection, 3);
  params.setByte(ParamBlock::kHorizontalRules, 1);
  params.setByte(ParamBlock::kVerticalRules, 1);
  layouttest::RegionRun run;
  layouttest::runRegion(run, page, params, nullptr, {true, true, layouttest::checkRingsAfterStep});
  EXPECT_EQ(run.status, 1);
}

class UserRegion : public LayoutSteps {
 protected:
  // `count` black squares of 3 mm in rows of `perRow`, `pitchX` and
  // `pitchY` apart, from (100, 100).
  testpages::RenderedPage squares(int count, int perRow, int pitchX, int pitchY) {
    testpages::RenderedPage page = testpages::blankPage(2000, 2400, 400);
    ImageDesc d = page.desc();
    for (int i = 0; i < count; ++i) {
      const int x = 100 + (i % perRow) * pitchX;
      const int y = 100 + (i / perRow) * pitchY;
      const Rect16 r{static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), static_cast<std::int16_t>(x + 47),
                     static_cast<std::int16_t>(y + 47)};
      fill_black(&d, &r);
    }
    return page;
  }
  userfld* field(int l, int t, int r, int b, std::uint8_t direction) {
    userfld* f = append_fld(&result_.fields);
    f->left = static_cast<std::int16_t>(l);
    f->top = static_cast<std::int16_t>(t);
    f->right = static_cast<std::int16_t>(r);
    f->bottom = static_cast<std::int16_t>(b);
    f->params.setByte(ParamBlock::kDirection, direction);
    f->params.setByte(ParamBlock::kCharBlocks, 1);
    return f;
  }
};

TEST_F(UserRegion, KeepsTheFirstFiftyComponentsRelativeToTheField) {
  testpages::RenderedPage page = squares(60, 6, 64, 64);
  ImageDesc d = page.desc();
  userfld* f = field(80, 90, 600, 900, 0);
  ASSERT_EQ(analyse_user_region(f, &d), 1);
  ASSERT_EQ(layout::ringCount(f->blocks), 50);
  const recg* first = f->blocks->next;
  EXPECT_EQ((Rect16{first->left, first->top, first->right, first->bottom}), (Rect16{20, 10, 67, 57}));
  EXPECT_EQ(f->params.byte(ParamBlock::kDirection), 0) << "a given direction stays";
}

TEST_F(UserRegion, AnEmptyAreaLeavesTheFieldAsItWas) {
  testpages::RenderedPage page = squares(4, 2, 64, 64);
  ImageDesc d = page.desc();
  userfld* f = field(1000, 1000, 1500, 1500, 3);
  EXPECT_EQ(analyse_user_region(f, &d), 0);
  EXPECT_EQ(f->blocks, nullptr);
  EXPECT_EQ(f->params.byte(ParamBlock::kDirection), 3);
}

TEST_F(UserRegion, DecidesAnAutomaticDirection) {
  struct Case {
    const char* name;
    int pitchX, pitchY;
    std::uint8_t direction, expected;
  };
  const Case cases[] = {
      {"characters close along rows: horizontal", 60, 120, 3, 0},
      {"characters close down columns: vertical", 120, 60, 3, 2},
      {"a given 2 stays", 60, 120, 2, 2},
  };
  for (const Case& c : cases) {
    testpages::RenderedPage page = squares(30, 6, c.pitchX, c.pitchY);
    ImageDesc d = page.desc();
    userfld* f = field(60, 60, 900, 900, c.direction);
    ASSERT_EQ(analyse_user_region(f, &d), 1) << c.name;
    EXPECT_EQ(f->params.byte(ParamBlock::kDirection), c.expected) << c.name;
    EXPECT_EQ(layout::ringCount(f->blocks), 30) << c.name;
  }
}

TEST_F(UserRegion, AddingARectangleFieldRunsTheAnalysisAndKeepsTheCallersBlock) {
  testpages::RenderedPage page = squares(12, 6, 64, 64);
  ImageDesc d = page.desc();
  ParamBlock params;
  params.setByte(ParamBlock::kCharBlocks, 1);
  params.setByte(ParamBlock::kDirection, 3);
  ASSERT_EQ(add_fld_rect(&result_.fields, 80, 80, 600, 400, 1, &params, &d), 1);
  const userfld* f = result_.fields->next;
  EXPECT_EQ(layout::ringCount(f->blocks), 12);
  EXPECT_EQ(f->params.byte(ParamBlock::kDirection), 3);
}

TEST_F(UserRegion, RunningOutOfMemoryKeepsWhatWasAppended) {
  testpages::RenderedPage page = squares(60, 6, 64, 64);
  ImageDesc d = page.desc();
  layout::pools().closeAll();
  ASSERT_TRUE(layout::pools().rects.configure({4, 1, 1}));
  ASSERT_TRUE(layout::pools().recgs.configure({2, 1, 1}));
  bool finished = false;
  for (long n = 0; n < 3000 && !finished; ++n) {
    userfld* f = nullptr;
    {
      layout::PoolFaults::remaining = -1;
      f = field(80, 90, 600, 900, 3);
      layout::PoolFaults::remaining = n;
      const short status = analyse_user_region(f, &d);
      layout::PoolFaults::remaining = -1;
      ASSERT_TRUE(status == 1 || status == -111) << n;
      finished = status == 1;
      if (finished) {
        EXPECT_EQ(layout::ringCount(f->blocks), 50);
      }
    }
    EXPECT_TRUE(layouttest::poolsBalanced({result_.fields}, {}));
    free_fld_list(&result_.fields);
  }
  EXPECT_TRUE(finished);
  layout::pools().closeAll();
  layout::pools().recgs.configure({30, 2, 2});
}

}  // namespace
