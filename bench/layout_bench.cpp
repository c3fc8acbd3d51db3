// Component collection and the text/figure judgement on an A4 page at 400 dpi.
// Goal: both together within 50 ms on one core.  Also the measures and the
// pipelines' steps built so far on dense horizontal and vertical pages.
#include "layout/field_rings.h"
#include "layout/layout_pipelines.h"
#include "layout/library_state.h"
#include "layout/pixel_groups.h"
#include "layout/rect_rings.h"
#include "layout/vulay30.h"
#include "tests/layout/region_runner.h"
#include "tests/layout/test_pages.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string_view>

namespace {

testpages::RenderedPage& a4Page() {
  static testpages::RenderedPage page = [] {
    const int dpi = 400;
    const int mm = 16;  // pixels per millimetre at 400 dpi, 25 mm to the inch
    testpages::PageBuilder builder(3307, 4677, dpi);  // 210 x 297 mm
    builder.addText({20 * mm, 20 * mm}, QStringLiteral("文書管理のための画像解析と文字認識の試験ページです。"), 10.5, 40, 30);
    builder.addText({20 * mm, 130 * mm}, QStringLiteral("縦書きの段組みも同じページに置いてあります。"), 10.5, 26, 12, true);
    builder.addFigure(QRect(110 * mm, 130 * mm, 70 * mm, 60 * mm), testpages::FigureKind::Photo);
    builder.addText({20 * mm, 200 * mm}, QStringLiteral("Layout analysis benchmark page, 400 dpi."), 10, 60, 20);
    return builder.render();
  }();
  return page;
}

void BM_GroupPixels(benchmark::State& state) {
  InitLayout("/nowhere", "/nowhere", 0);
  auto& page = a4Page();
  ImageDesc d = page.desc();
  Rect16 all{0, 0, static_cast<std::int16_t>(page.width - 1), static_cast<std::int16_t>(page.height - 1)};
  int components = 0;
  for (auto _ : state) {
    rect_record* ring = nullptr;
    group_pixels(&ring, &d, &all, 1, 0);
    components = count_rects(ring);
    free_rect_list(&ring);
  }
  state.counters["components"] = components;
  CloseAlloc();
}
BENCHMARK(BM_GroupPixels)->Unit(benchmark::kMillisecond);

void BM_ClassifyRegion(benchmark::State& state) {
  auto& page = a4Page();
  ImageDesc d = page.desc();
  Rect16 all{0, 0, static_cast<std::int16_t>(page.width - 1), static_cast<std::int16_t>(page.height - 1)};
  for (auto _ : state) {
    short kind = 0;
    classify_region(&kind, &d, &all);
    benchmark::DoNotOptimize(kind);
  }
}
BENCHMARK(BM_ClassifyRegion)->Unit(benchmark::kMillisecond);

void BM_GroupAndClassifyPage(benchmark::State& state) {
  InitLayout("/nowhere", "/nowhere", 0);
  auto& page = a4Page();
  ImageDesc d = page.desc();
  Rect16 all{0, 0, static_cast<std::int16_t>(page.width - 1), static_cast<std::int16_t>(page.height - 1)};
  for (auto _ : state) {
    rect_record* ring = nullptr;
    group_pixels(&ring, &d, &all, 1, 0);
    short kind = 0;
    classify_region(&kind, &d, &all);
    benchmark::DoNotOptimize(kind);
    free_rect_list(&ring);
  }
  CloseAlloc();
}
BENCHMARK(BM_GroupAndClassifyPage)->Unit(benchmark::kMillisecond);

// A full-page table: 25 rows by 4 columns, rules 2 px, with text in the cells.
testpages::RenderedPage& a4Table() {
  static testpages::RenderedPage page = [] {
    const int dpi = 400;
    const int mm = 16;
    testpages::PageBuilder builder(3307, 4677, dpi);
    const int left = 15 * mm, top = 15 * mm, cellW = 45 * mm, cellH = 10 * mm, rows = 26, cols = 4;
    for (int r = 0; r <= rows; ++r) builder.addRule(QRect(left, top + r * cellH, cols * cellW + 2, 2), true);
    for (int c = 0; c <= cols; ++c) builder.addRule(QRect(left + c * cellW, top, 2, rows * cellH + 2), false);
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < cols; ++c)
        builder.addText({left + c * cellW + 2 * mm, top + r * cellH + 2 * mm}, QStringLiteral("記入欄の文字列"), 10.5, 7, 1);
    return builder.render();
  }();
  return page;
}

void BM_GetLines(benchmark::State& state) {
  InitLayout("/nowhere", "/nowhere", 0);
  auto& page = a4Table();
  std::uint16_t horizontal = 0, vertical = 0;
  for (auto _ : state) {
    GetLines(nullptr, page.bits.data(), static_cast<short>(page.width), static_cast<short>(page.height), 400,
             &horizontal, &vertical);
  }
  state.counters["horizontal"] = horizontal;
  state.counters["vertical"] = vertical;
  CloseAlloc();
}
BENCHMARK(BM_GetLines)->Unit(benchmark::kMillisecond);

// A dense A4 Japanese page: 10.5 pt, 40 characters by 75 lines (3000).
testpages::RenderedPage& a4Japanese() {
  static testpages::RenderedPage page = [] {
    const int mm = 16;
    testpages::PageBuilder builder(3307, 4677, 400);
    builder.addText({20 * mm, 20 * mm}, QStringLiteral("文書管理のための画像解析と文字認識の試験ページです。"
                                                        "段落の中の文字の大きさと間隔を測ります。"),
                    10.5, 40, 75, false, 1.7);
    return builder.render();
  }();
  return page;
}

// Components, measures and direction of the whole page.
void BM_MeasureJapanesePage(benchmark::State& state) {
  InitLayout("/nowhere", "/nowhere", 0);
  auto& page = a4Japanese();
  ParamBlock params;
  params.setByte(ParamBlock::kDirection, 3);
  int height = 0;
  for (auto _ : state) {
    layouttest::RegionRun run;
    layouttest::runRegion(run, page, params, nullptr, {false, false, nullptr});
    height = run.ctx.charHeight;
  }
  state.counters["charHeight"] = height;
  CloseAlloc();
}
BENCHMARK(BM_MeasureJapanesePage)->Unit(benchmark::kMillisecond);

// The same, then the horizontal pipeline's steps built so far (components,
// regions, specks, language, dotted and ruled lines, line measures).
void BM_HorizontalStepsJapanesePage(benchmark::State& state) {
  InitLayout("/nowhere", "/nowhere", 0);
  auto& page = a4Japanese();
  ParamBlock params;
  params.setByte(ParamBlock::kDirection, 3);
  params.setByte(ParamBlock::kLanguageAuto, 1);
  params.setByte(ParamBlock::kHorizontalRules, 1);
  params.setByte(ParamBlock::kVerticalRules, 1);
  for (auto _ : state) {
    layouttest::RegionRun run;
    layouttest::runRegion(run, page, params, nullptr, {false, true, nullptr});
    benchmark::DoNotOptimize(run.status);
  }
  CloseAlloc();
}
BENCHMARK(BM_HorizontalStepsJapanesePage)->Unit(benchmark::kMillisecond);

// The lines and blocks of the dense page: the steps from line building to
// the last block cleaning, timed inside the pipeline run (the counter
// `linesBlocksMs`), with the whole run as the benchmark's time.
const char* const kLineAndBlockSteps[] = {
    "build_lines",          "absorb_sparse_regions",  "find_table_regions",   "drop_text_regions",
    "frame_regions",        "collect_line_gaps",      "filter_line_gaps",     "gaps_to_separators",
    "measure_lines",        "classify_line_heights",  "drop_noisy_lines",     "merge_lines_at_tall_lines",
    "build_blocks",         "drop_narrow_blocks",     "hang_specks_on_lines", "free_speck_list",
    "join_close_blocks",    "join_small_blocks",      "drop_speckled_lines",  "find_text_box",
    "drop_blocks_in_figures", "drop_thin_figure_lines", "drop_flat_lines",
};

struct StepClock {
  std::chrono::steady_clock::time_point last;
  double linesBlocks = 0;  // seconds
  int lines = 0;
  int blocks = 0;
};
StepClock g_clock;

void timeStep(const layout::LayoutStep& step, short, const layout::LayoutRun& run) {
  const auto now = std::chrono::steady_clock::now();
  for (const char* name : kLineAndBlockSteps) {
    if (std::strcmp(step.name, name) == 0) {
      g_clock.linesBlocks += std::chrono::duration<double>(now - g_clock.last).count();
      break;
    }
  }
  if (std::strcmp(step.name, "drop_flat_lines") == 0) {
    const rect_record* h = run.ctx->textList;
    g_clock.blocks = count_rects(h);
    g_clock.lines = 0;
    if (h != nullptr)
      for (const rect_record* b = h->next; b != h; b = b->next) g_clock.lines += count_rects(b->outer);
  }
  g_clock.last = std::chrono::steady_clock::now();
}

// A dense A4 page at 400 dpi filled with text of `points`: at 9 pt about
// 3,000 characters (54 by 56), at 6 pt about 6,900 (81 by 85).
testpages::RenderedPage& a4Dense(int points) {
  static std::map<int, testpages::RenderedPage> pages;
  auto found = pages.find(points);
  if (found != pages.end()) return found->second;
  const int mm = 16;
  const double cellMm = points * 25.4 / 72;
  const int perLine = static_cast<int>(171 / cellMm);
  const int lines = static_cast<int>(267 / (cellMm * 1.5));
  testpages::PageBuilder builder(3307, 4677, 400);
  builder.addText({18 * mm, 15 * mm}, QStringLiteral("文書管理のための画像解析と文字認識の試験ページです。"
                                                      "段落の中の文字の大きさと間隔を測ります。"),
                  points, perLine, lines, false, 1.5);
  return pages.emplace(points, builder.render()).first->second;
}

void BM_LinesAndBlocksJapanesePage(benchmark::State& state) {
  InitLayout("/nowhere", "/nowhere", 0);
  auto& page = a4Dense(static_cast<int>(state.range(0)));
  long characters = 0;
  for (const auto& b : page.blocks)
    for (const auto& l : b.lines) characters += static_cast<long>(l.glyphs.size());
  ParamBlock params;
  params.setByte(ParamBlock::kDirection, 3);
  params.setByte(ParamBlock::kLanguageAuto, 1);
  g_clock = {};
  long runs = 0;
  int components = 0;
  for (auto _ : state) {
    layouttest::RegionRun run;
    g_clock.last = std::chrono::steady_clock::now();
    layouttest::runRegion(run, page, params, nullptr, {false, true, timeStep});
    benchmark::DoNotOptimize(run.status);
    ++runs;
  }
  {
    layouttest::RegionRun run;
    layouttest::runRegion(run, page, params, nullptr, {false, false, nullptr});
    components = count_rects(run.ctx.textList);
  }
  state.counters["linesBlocksMs"] = runs > 0 ? g_clock.linesBlocks * 1000 / static_cast<double>(runs) : 0;
  state.counters["components"] = components;
  state.counters["characters"] = static_cast<double>(characters);
  state.counters["lines"] = g_clock.lines;
  state.counters["blocks"] = g_clock.blocks;
  CloseAlloc();
}
BENCHMARK(BM_LinesAndBlocksJapanesePage)->Arg(9)->Arg(6)->Unit(benchmark::kMillisecond);

// GetLayout as the OCR control calls it on a dense A4 400-dpi page: the
// whole page into fields and the caller's copies.
void BM_GetLayoutA4(benchmark::State& state) {
  InitLayout("/nowhere", "/nowhere", 0);
  auto& page = a4Dense(static_cast<int>(state.range(0)));
  ParamBlock params;
  params.setByte(ParamBlock::kLanguageAuto, 1);
  int fields = 0;
  for (auto _ : state) {
    free_fld_list(&layout::layoutState().Sfld);
    free_fld_list(&layout::layoutState().ruleFields);
    userfld* list = nullptr;
    int window = 0;
    benchmark::DoNotOptimize(GetLayout(&window, &params, page.bits.data(), &list, static_cast<short>(page.width),
                                       static_cast<short>(page.height), 400, nullptr, -1));
    fields = count_fld(list);
    free_userfld_ring(&list);
  }
  state.counters["fields"] = fields;
  CloseAlloc();
}
BENCHMARK(BM_GetLayoutA4)->Arg(9)->Arg(6)->Unit(benchmark::kMillisecond);
// A dense A4 vertical page: 10.5 pt in two tiers of 30 columns of 28
// characters (1680), a 16 pt heading at the right.
testpages::RenderedPage& a4Vertical() {
  static testpages::RenderedPage page = [] {
    const int mm = 16;
    testpages::PageBuilder builder(3307, 4677, 400);
    const QString text = QStringLiteral(
        "縦書きの文章は右の行から左の行へと読み進めます。段組みの紙面では上の段を読み終えてから下の段に移ります。"
        "見出しは本文より大きな文字で組まれ、本文の右に置かれます。「括弧」や句読点、長音ー記号も縦の形になります。");
    builder.addVerticalTiers({185 * mm, 20 * mm}, text, 10.5, 28, 30, 2, 12 * mm);
    builder.addHeading({188 * mm, 20 * mm}, QStringLiteral("縦書き見出しの例"), 16, true);
    return builder.render();
  }();
  return page;
}

ParamBlock verticalParams() {
  ParamBlock params;
  params.setByte(ParamBlock::kDirection, 1);
  params.setByte(ParamBlock::kHorizontalRules, 1);
  params.setByte(ParamBlock::kVerticalRules, 1);
  return params;
}

// Components and measures of the vertical page: what the steps start from.
void BM_MeasureVerticalPage(benchmark::State& state) {
  InitLayout("/nowhere", "/nowhere", 0);
  auto& page = a4Vertical();
  for (auto _ : state) {
    layouttest::RegionRun run;
    layouttest::runRegion(run, page, verticalParams(), nullptr, {false, false, nullptr});
    benchmark::DoNotOptimize(run.status);
  }
  CloseAlloc();
}
BENCHMARK(BM_MeasureVerticalPage)->Unit(benchmark::kMillisecond);

// The same, then the vertical pipeline's steps (components, area limits and
// ruled lines, tier bands, columns, blocks and clean-up; the later steps
// leave the lists as they are).  The steps' own time is the difference.
int columnsAtFields = 0;
void countColumns(const layout::LayoutStep& step, short, const layout::LayoutRun& run) {
  if (std::string_view(step.name) != "vBlocks_to_fields") return;
  columnsAtFields = 0;
  if (const rect_record* blocks = run.ctx->textList; blocks != nullptr) {
    for (const rect_record* b = blocks->next; b != blocks; b = b->next) columnsAtFields += count_rects(b->outer);
  }
}
void BM_VerticalStepsPage(benchmark::State& state) {
  InitLayout("/nowhere", "/nowhere", 0);
  auto& page = a4Vertical();
  for (auto _ : state) {
    layouttest::RegionRun run;
    layouttest::runRegion(run, page, verticalParams(), nullptr, {false, true, countColumns});
    benchmark::DoNotOptimize(run.status);
  }
  state.counters["columns"] = columnsAtFields;
  CloseAlloc();
}
BENCHMARK(BM_VerticalStepsPage)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
