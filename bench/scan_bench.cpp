// Scan to board: 20 pages of 300 dpi, 1 bit per pixel, as SANE's "test"
// backend delivers them, written as page files and registered as one stack
// of the open folder (the frame's work once a page has arrived, and the
// registration when the scan is over). The backend's own time is left out:
// its pages are read into memory first, outside the timing.
//
// BM_ScanToBoard/0  pages from SANE's test backend (its largest area,
//                   200 x 200 mm; two runs of its ten-page feeder)
// BM_ScanToBoard/1  A4 pages (2480 x 3508) from the in-process scanner
// Goal: <= 50 ms per page on one core.

#include "platform/program_folder.h"
#include "platform/scanner.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "shell/kankyo_settings.h"
#include "shell/scan_page_writer.h"
#include "shell/scan_registration.h"
#include "tests/support/test_env.h"

#include <QApplication>
#include <QDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

constexpr int kPages = 20;

std::vector<std::vector<std::uint8_t>> acquirePages(bool fromSane) {
  std::vector<std::vector<std::uint8_t>> pages;
  std::unique_ptr<platform::ScannerSource> source;
  platform::ScanSettings settings;
  if (fromSane) {
    source = platform::makeSaneSource();
    settings.source = "Automatic Document Feeder";
    settings.mode = "Gray";
    settings.depth = 1;
    settings.resolution = 300;
    settings.widthMm = 200;
    settings.heightMm = 200;
  } else {
    platform::FakeScannerSource::Options options;
    options.pages = kPages;
    options.width = 2480;
    options.height = 3508;
    options.dpi = 300;
    source = std::make_unique<platform::FakeScannerSource>(options);
  }
  const std::atomic<bool> cancelled{false};
  while (static_cast<int>(pages.size()) < kPages) {
    const std::size_t before = pages.size();
    source->acquire(settings, [&](std::vector<std::uint8_t>&& dib) {
      pages.push_back(std::move(dib));
      return static_cast<int>(pages.size()) < kPages;
    }, cancelled);
    if (pages.size() == before) break;
  }
  return pages;
}

void BM_ScanToBoard(benchmark::State& state) {
  platform::RecordingUserInteraction boxes;
  const auto pages = acquirePages(state.range(0) == 0);
  if (static_cast<int>(pages.size()) != kPages) {
    state.SkipWithError("the scanner gave too few pages");
    return;
  }
  testsupport::TempDir dir;
  const std::string scanFolder = platform::workFolder(platform::workfolder::kScanOut);
  KankyoSettings settings;
  const auto plenty = [](const std::string&) { return std::optional<std::uint64_t>(1ull << 40); };
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string folder = dir.path() + "/folder" + std::to_string(round++);
    QDir().mkpath(QString::fromStdString(folder));
    QDir().mkpath(QString::fromStdString(scanFolder));
    CFD3Doc doc;
    doc.LoadFolder(folder + "/", 0);
    state.ResumeTiming();
    for (int i = 0; i < kPages; ++i)
      WriteScannedPage(pages[static_cast<std::size_t>(i)], scanFolder + "/" + std::to_string(i + 1) + ".bmp", false,
                       plenty);
    const ScanRegistrationResult result = ImportScannedPages(doc, settings, scanFolder, dir.path() + "/keep");
    state.PauseTiming();
    if (!result.registered || result.entry.Kind != EntryRef::kStack) state.SkipWithError("no stack made");
    doc.CloseFolderDatabase();
    state.ResumeTiming();
  }
  // Seconds per page of the timed work.
  state.counters["s/page"] = benchmark::Counter(static_cast<double>(kPages) * static_cast<double>(state.iterations()),
                                                benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ScanToBoard)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  testsupport::installPrivateEnvironment();
  testsupport::TempDir sane;
  setenv("SANE_CONFIG_DIR", testsupport::writeSaneTestConfig(sane.path() + "/sane").c_str(), 1);
  QApplication app(argc, argv);
  platform::ensureProgramFolder();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
