// Seconds per page of OCR through the program's batch: 20 A4 pages at 300
// dpi selected in a folder, collected, prepared into "ocrin", read by the
// OCR control (created through the component registry) under the progress
// dialog, and stored as attached texts. Then Tesseract reads the same pages
// in the same process (its Japanese model loaded once, page segmentation as
// a user runs it), for the CPU per page of both and their ratio; the peak
// memory is the process's before Tesseract starts. Run: ocr_batch_bench [pages].

#include "bench/page_pix.h"
#include "catalogue/file_utilities.h"
#include "ocrctl/control_identity.h"
#include "platform/component_registry.h"
#include "platform/program_folder.h"
#include "platform/timer_source.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "shell/launch_documents.h"
#include "shell/ocr_dialogs.h"
#include "shell/ocr_run.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/shell/fresh_environment.h"
#include "tests/support/page_renderer.h"
#include "tests/support/test_env.h"

#include <QApplication>
#include <QTimer>
#include <leptonica/allheaders.h>
#include <sys/resource.h>
#include <tesseract/baseapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

namespace {

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

long peakRssKib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Tesseract's CPU seconds for reading the pages, its model's loading included.
double tesseractCpu(const std::vector<std::string>& files) {
  const double start = cpuSeconds();
  tesseract::TessBaseAPI api;
  if (api.Init(nullptr, "jpn", tesseract::OEM_LSTM_ONLY) != 0) return -1;
  api.SetPageSegMode(tesseract::PSM_AUTO);
  for (const std::string& file : files) {
    Pix* pix = pixRead(file.c_str());
    if (pix == nullptr) continue;
    api.SetImage(pix);
    std::unique_ptr<char[]> text(api.GetUTF8Text());
    pixDestroy(&pix);
  }
  api.End();
  return cpuSeconds() - start;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  FreshEnvironment env;
  testsupport::TempDir desktop;
  platform::ensureProgramFolder();
  InitModuleFolder();
  platform::registerComponent({ocrctl::kControlClassId, ocrctl::kControlProgId, ocrctl::kControlTypeName, ZEQOCR30_PATH});
  const std::string folder = desktop.path() + "/書類";
  cataloguetest::makeCatalogueFolder(folder);
  {
    cataloguetest::CatalogueRows rows(folder);
    for (int i = 1; i <= count; ++i) rows.addItem({.itemNo = i, .title = "page" + std::to_string(i), .ext = "bmp"});
  }
  const QString texts[] = {QStringLiteral("日本語の文書を読み取り、文字の位置と確からしさを返します。"),
                           QStringLiteral("請求書の金額と支払期限を確認してから、担当者へ回覧してください。")};
  for (int i = 1; i <= count; ++i) {
    testpages::PageBuilder builder(2480, 3508, 300);  // A4 at 300 dpi
    builder.addText({200, 300}, texts[i % 2], 10.5, 36, 40);
    Pix* pix = PixOfPage(builder.render());
    pixWrite((folder + "/page" + std::to_string(i) + ".bmp").c_str(), pix, IFF_BMP);
    pixDestroy(&pix);
  }
  CFD3Doc document;
  document.LoadFolder(folder + "/", 0);
  std::vector<int> entries;
  for (int i = 0; i < document.EntryList().GetCount(); ++i) entries.push_back(i);

  platform::RecordingUserInteraction boxes;
  platform::ManualTimerSource timers;  // the batch starts at once, not after 500 ms
  OcrRunHooks hooks;
  std::chrono::steady_clock::time_point recognitionStart;
  hooks.onProgressDialog = [&](OcrProgressDlg&) {
    recognitionStart = std::chrono::steady_clock::now();
    QTimer::singleShot(0, [&] { timers.advance(500); });
  };
  FolderSelection selection(document, entries);
  FolderOcrStore store(document);
  OcrRunSettings settings;
  settings.dictionaryFolder = desktop.path() + "/";
  const auto start = std::chrono::steady_clock::now();
  const double cpuStart = cpuSeconds();
  const OcrRunResult result = RunOcr(selection, store, document, settings, OcrReading::Batch, nullptr, hooks);
  const auto end = std::chrono::steady_clock::now();
  const double oursCpu = cpuSeconds() - cpuStart;
  const long oursPeak = peakRssKib();
  const double total = std::chrono::duration<double>(end - start).count();
  const double recognition = std::chrono::duration<double>(end - recognitionStart).count();
  std::printf("pages %d, texts stored %d, ran to end %s\n", count, result.stored, result.ranToEnd ? "yes" : "no");
  std::printf("whole run      %.3f s per page (%.1f s)\n", total / count, total);
  std::printf("  preparation  %.3f s per page\n", (total - recognition) / count);
  std::printf("  recognition  %.3f s per page (with storing)\n", recognition / count);
  std::printf("CPU            %.3f s per page (whole run, one thread for the reading)\n", oursCpu / count);
  std::printf("peak RSS       %.1f MiB\n", static_cast<double>(oursPeak) / 1024.0);
  std::vector<std::string> files;
  for (int i = 1; i <= count; ++i) files.push_back(folder + "/page" + std::to_string(i) + ".bmp");
  const double tessCpu = tesseractCpu(files);
  if (tessCpu > 0)
    std::printf("Tesseract      %.3f s CPU per page (model loading included); ours/tess %.2f\n", tessCpu / count,
                oursCpu / tessCpu);
  for (const std::string& text : boxes.texts()) std::printf("message: %s\n", text.c_str());
  document.CloseFolderDatabase();
  return result.stored == count ? 0 : 1;
}
