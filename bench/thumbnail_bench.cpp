// The stored thumbnail of an A4 page at 300 dpi, as the document makes it:
// load, cell size, (1-bit: shrink to four cells and turn grey), resample to
// the cell, save as 8-bit GIF into memory.
// Goals: a CCITT G4 page within 10 ms, a colour JPEG within 20 ms, one core.

#include "platform/global_memory.h"
#include "shell/image_ctrl.h"
#include "shell/image_utilities.h"
#include "tests/platform/japanese_page.h"

#include <QApplication>
#include <QFileInfo>
#include <QLinearGradient>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

constexpr int kA4Width = 2480;
constexpr int kA4Height = 3508;

struct Pages {
  QTemporaryDir dir;
  std::string g4;
  std::string jpeg;
  std::string jpegMedium;
  Pages() {
    QImage text = imagingtest::renderJapanesePage(false, 0, 1000, kA4Width, kA4Height);
    CImageCtrl ctrl;
    ctrl.CreateBlank(kA4Width, kA4Height, 24);
    QPainter* painter = ctrl.BeginDraw();
    QLinearGradient wash(0, 0, kA4Width, kA4Height);
    wash.setColorAt(0, QColor(250, 240, 210));
    wash.setColorAt(1, QColor(180, 210, 250));
    painter->fillRect(QRect(0, 0, kA4Width, kA4Height), wash);
    painter->fillRect(QRect(200, 300, 900, 700), QColor(200, 40, 40));
    painter->setCompositionMode(QPainter::CompositionMode_Multiply);
    painter->drawImage(0, 0, text);
    ctrl.EndDraw();
    ctrl.SetXResolution(300);
    ctrl.SetYResolution(300);
    jpeg = (dir.path() + "/page.jpg").toStdString();
    ctrl.SaveToFile(jpeg, 21, 24, 2, 0);  // the import's quality, "低圧縮"
    jpegMedium = (dir.path() + "/medium.jpg").toStdString();
    ctrl.SaveToFile(jpegMedium, 21, 24, 120, 0);  // "中圧縮"

    ctrl.SetImageHandle(0);
    ctrl.CreateBlank(kA4Width, kA4Height, 24);
    painter = ctrl.BeginDraw();
    painter->drawImage(0, 0, text);
    ctrl.EndDraw();
    ctrl.SetXResolution(300);
    ctrl.SetYResolution(300);
    g4 = (dir.path() + "/page.tif").toStdString();
    ctrl.SaveToFile(g4, 29, 1, 0, 0);
  }
};

Pages& pages() {
  static Pages instance;
  return instance;
}

void storedThumbnail(benchmark::State& state, const std::string& path) {
  CImageCtrl ctrl;
  std::int64_t bytes = 0;
  for (auto _ : state) {
    if (ctrl.LoadFile(path, 0, 1, 1) != 0) {
      state.SkipWithError("load failed");
      break;
    }
    int cellW = 0, cellH = 0;
    ComputeThumbnailCell(static_cast<int>(ctrl.GetImageWidth()), static_cast<int>(ctrl.GetImageHeight()), cellW,
                         cellH, ctrl.GetXResolution(), ctrl.GetYResolution());
    if (ctrl.GetDispid12() == 1) {
      ctrl.ResizeImage(static_cast<float>(cellW * 4), static_cast<float>(cellH * 4), 0);
      ctrl.ConvertToGrey(8);
    }
    ctrl.ResizeImage(static_cast<float>(cellW), static_cast<float>(cellH), 2);
    std::int32_t handle = 0, size = 0;
    if (ctrl.SaveToMemory(&handle, 2, 8, 0, &size) != 0) {
      state.SkipWithError("save failed");
      break;
    }
    bytes = size;
    platform::globalFree(handle);
    ctrl.SetImageHandle(0);
  }
  state.counters["gif_bytes"] = static_cast<double>(bytes);
  state.counters["file_bytes"] = static_cast<double>(QFileInfo(QString::fromStdString(path)).size());
}

void BM_ThumbnailOfG4Page(benchmark::State& state) { storedThumbnail(state, pages().g4); }
void BM_ThumbnailOfColourJpeg(benchmark::State& state) { storedThumbnail(state, pages().jpeg); }
void BM_ThumbnailOfColourJpegMediumCompression(benchmark::State& state) { storedThumbnail(state, pages().jpegMedium); }

BENCHMARK(BM_ThumbnailOfG4Page)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThumbnailOfColourJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThumbnailOfColourJpegMediumCompression)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  pages();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
