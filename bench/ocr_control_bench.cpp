// Seconds per page of layout + recognition through the OCR control (image
// taken from a DIB, DoRecognize with its layout, GetOcrResult) beside the same
// work through the library's exports alone (GetLines, GetLayout, GetRecg):
// the control's own cost is the difference.
#include "layout/vulay30.h"
#include "ocrctl/ocr_control.h"
#include "ocrctl/working_image.h"
#include "platform/global_memory.h"
#include "tests/support/page_renderer.h"
#include "tests/support/test_env.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

struct Page {
  ocrctl::BitImage image;
  std::vector<std::uint8_t> dib;
};

const Page& page() {
  static const Page p = [] {
    testpages::PageBuilder builder(2480, 3508, 300);  // A4 at 300 dpi
    builder.addText({200, 300}, QStringLiteral("日本語の文書を読み取り、文字の位置と確からしさを返します。"), 10.5, 36, 40);
    testpages::RenderedPage rendered = builder.render();
    Page out;
    ocrctl::takeBitonal(rendered.bits.data(), static_cast<std::size_t>(rendered.bytesPerRow), rendered.width,
                        rendered.height, out.image);
    out.dib = ocrctl::packDib(out.image, 300);
    return out;
  }();
  return p;
}

testsupport::TempDir& folder() {
  static testsupport::TempDir dir;
  return dir;
}

void LibraryAlone(benchmark::State& state) {
  const Page& p = page();
  InitLayout(folder().path().c_str(), folder().path().c_str(), 1);
  ParamBlock params = ocrctl::OcrControl().defaultParams();  // the same settings as the control's
  std::vector<std::uint8_t> text(10000 * 6);
  std::vector<std::int32_t> rects(10000 * 4);
  for (auto _ : state) {
    std::vector<std::uint8_t> bits = p.image.bits;
    const auto w = static_cast<short>(p.image.width);
    const auto h = static_cast<short>(p.image.height);
    GetLines(nullptr, bits.data(), w, h, 300, nullptr, nullptr);
    userfld* areas = nullptr;
    GetLayout(nullptr, &params, bits.data(), &areas, w, h, 300, nullptr, -1);
    struct {
      std::int32_t a = 0;
      std::uint16_t b = 0;
      std::uint8_t* text;
      std::uint16_t used = 0, capacity = 10000;
      std::int32_t* rects;
      std::uint16_t chars = 0, rectCapacity = 10000;
      std::uint8_t* candidates = nullptr;
      std::uint16_t c[3] = {};
      std::int32_t d[2] = {};
      std::uint16_t e[2] = {};
      const std::uint8_t* list = nullptr;
      std::uint16_t separator = 9, terminator = 10, f = 0;
    } record{0, 0, text.data(), 0, 10000, rects.data()};
    struct {
      std::uint16_t scale = 8;
      std::int16_t x = 0, y = 0, mode = -1;
      std::uint32_t c1 = 0, c2 = 0, c3 = 0;
    } display;
    benchmark::DoNotOptimize(GetRecg(nullptr, &params, bits.data(), &areas, w, h, 300, &record, &display));
    free_Sfld_all(&areas);
  }
  CloseAlloc();
}

void ThroughControl(benchmark::State& state) {
  const Page& p = page();
  ocrctl::OcrControl control;
  control.setDrawDpi(300);
  control.showCancel = -1;
  control.InitOcr(folder().path());
  const platform::GlobalHandle dib = platform::globalAllocCopy(p.dib);
  for (auto _ : state) {
    control.SetImageHandle(dib);
    control.DoRecognize();  // lays the page out first
    benchmark::DoNotOptimize(control.GetOcrResult());
  }
  platform::globalFree(dib);
}

}  // namespace

BENCHMARK(LibraryAlone)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(ThroughControl)->Unit(benchmark::kMillisecond)->MinTime(3);

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  testsupport::installPrivateEnvironment();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
