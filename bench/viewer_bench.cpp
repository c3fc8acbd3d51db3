// The viewer's image pane on an A4 page of 300 dpi in 1 bit (G4 TIFF,
// 2480 x 3508 pixels) under the offscreen platform. Goals on one core:
//   open the page to the first painted screen   <= 100 ms
//   one zoom step and its repaint                <= 30 ms
// The pane is 900 x 700 pixels, as in a maximised tile layout.

#include "tests/support/test_env.h"
#include "tests/viewer/viewer_fixture.h"
#include "viewer/image_view.h"

#include <QApplication>
#include <QImage>

#include <benchmark/benchmark.h>

namespace {

constexpr int kA4Width = 2480;
constexpr int kA4Height = 3508;

struct Page {
  testsupport::TempDir dir;
  ItemInfo item;
  Page() {
    viewertest::writeTiff({viewertest::japanesePage(kA4Width, kA4Height)}, dir.file("a4.tif"), 300, true);
    item.ItemNo = 1;
    item.Title = "a4";
    item.Ext = "tif";
    item.ImageLevel = 1;
  }
};

Page& page() {
  static Page p;
  return p;
}

void BM_OpenA4G4ToFirstPaintedScreen(benchmark::State& state) {
  ImageView view;
  view.resize(900, 700);
  view.show();
  QCoreApplication::processEvents();
  for (auto _ : state) {
    view.LoadImage(page().dir.path(), page().item);
    view.viewport()->repaint();
    benchmark::DoNotOptimize(view.zoomStep());
  }
}
BENCHMARK(BM_OpenA4G4ToFirstPaintedScreen)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_OneZoomStepRepaint(benchmark::State& state) {
  ImageView view;
  view.resize(900, 700);
  view.show();
  QCoreApplication::processEvents();
  view.LoadImage(page().dir.path(), page().item);
  view.viewport()->repaint();
  const int fit = view.zoomStep();
  bool in = true;
  for (auto _ : state) {
    view.SetZoom(in ? fit + 1 : fit, true, 450, 350);
    view.viewport()->repaint();
    in = !in;
  }
}
BENCHMARK(BM_OneZoomStepRepaint)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  page();  // written before any timing
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
