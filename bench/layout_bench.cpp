// Component collection and the text/figure judgement on an A4 page at 400 dpi.
// Goal: both together within 50 ms on one core.
#include "layout/field_rings.h"
#include "layout/library_state.h"
#include "layout/pixel_groups.h"
#include "layout/rect_rings.h"
#include "layout/vulay30.h"
#include "tests/layout/test_pages.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>

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

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
