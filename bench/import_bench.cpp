// The import's speed on a folder on disk.
//
// BM_RegisterItems/<journal>/<items>: the catalogue part of registering
// items as the import does it for each file (two title look-ups, the item,
// its creator and its thumbnail row), into a fresh folder. Journals:
//   0  every change its own durable commit (rollback journal, full sync):
//      what a caller that groups nothing gets
//   1  WAL journal with synchronous = NORMAL, every change its own commit
//   2  rollback journal, ImportBatch: one commit a second and at the end
//      (the import)
// Goal: >= 2,000 items/s for 2000 items.
//
// BM_Import100G4Pages: 100 single-page A4 300-dpi G4 TIFF files imported
// through the import loop (class, load, store, thumbnail, catalogue, the
// folder reloaded at the end). Goal: >= 50 pages/s on one core.

#include "catalogue/catalogue_records.h"
#include "platform/paths.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "shell/import_command.h"
#include "shell/import_file.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/shell/import_fixtures.h"
#include "tests/support/test_env.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>

#include <benchmark/benchmark.h>

namespace {

void registerOne(FolderDatabase& db, int i, const DbBytes& thumbData) {
  const std::string title = "scan" + std::to_string(i);
  int found = 0, no = 0;
  db.FindItem(title, "tif", found, no);
  db.FindItem(title + ".tif", "TXT", found, no);
  ItemInfo item;
  item.Title = title;
  item.Ext = "tif";
  item.ImageLevel = 1;
  item.OfficialDate = item.LastModifiedDate = item.LastAccessedDate = 20261211;
  if (db.RegisterItem(item) != 0) return;
  db.SetCreator(item.ItemNo, "user");
  ThumbInfo thumb;
  thumb.ItemNo = item.ItemNo;
  thumb.ThumbDateTime = QDateTime::currentDateTime();
  thumb.ThumbSizeX = 77;
  thumb.ThumbSizeY = 108;
  thumb.ThumbData = thumbData;
  db.SetThumbInfo(thumb);
}

void BM_RegisterItems(benchmark::State& state) {
  const int journal = static_cast<int>(state.range(0));
  const int count = static_cast<int>(state.range(1));
  const DbBytes thumbData(1500, 0x5A);  // about what a page's GIF thumbnail weighs
  std::int64_t registered = 0;
  for (auto _ : state) {
    state.PauseTiming();
    testsupport::TempDir dir;
    const std::string folder = dir.path() + "/棚";
    cataloguetest::makeCatalogueFolder(folder);
    CFD3Doc doc;
    if (!doc.OpenFolderDatabase(folder)) {
      state.SkipWithError("catalogue not opened");
      return;
    }
    FolderDatabase& db = doc.Database();
    if (journal == 1) db.Engine().executeScript("PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;");
    state.ResumeTiming();
    if (journal == 2) {
      ImportBatch batch(doc);
      for (int i = 0; i < count; ++i) {
        batch.BeforeFile(folder);
        registerOne(db, i, thumbData);
        batch.AfterFile();
      }
    } else {
      for (int i = 0; i < count; ++i) registerOne(db, i, thumbData);
    }
    state.PauseTiming();
    int total = 0;
    db.GetTotalItemCount(total);
    if (total != count) state.SkipWithError("items missing");
    registered += total;
    if (journal == 1) db.Engine().executeScript("PRAGMA journal_mode = DELETE;");
    doc.CloseFolderDatabase();
    state.ResumeTiming();
  }
  state.counters["items/s"] = benchmark::Counter(static_cast<double>(registered), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RegisterItems)
    ->Args({0, 100})
    ->Args({1, 2000})
    ->Args({2, 2000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

void BM_Import100G4Pages(benchmark::State& state) {
  platform::RecordingUserInteraction boxes;
  testsupport::TempDir dir;
  const std::string source = dir.path() + "/scans";
  QDir().mkpath(QString::fromStdString(source));
  std::vector<ImportLoopFile> files;
  for (int i = 0; i < 100; ++i) {
    const std::string path = source + "/page" + std::to_string(i) + ".tif";
    if (!importtest::writeG4Tiff(path, 1, 2480, 3508, 300)) {
      state.SkipWithError("no G4 page");
      return;
    }
    files.push_back({path, std::nullopt});
  }
  std::int64_t pages = 0;
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string folder = dir.path() + "/folder" + std::to_string(round++);
    QDir().mkpath(QString::fromStdString(folder));
    CFD3Doc doc;
    CFD3Doc::SetFatalExitHandler([&state](int) { state.SkipWithError("no imaging control"); });
    state.ResumeTiming();
    const int done = ImportFileLoop(doc, folder, files, nullptr);
    state.PauseTiming();
    if (done != 100) state.SkipWithError(boxes.texts().empty() ? "pages missing" : boxes.texts().front().c_str());
    pages += done;
    doc.CloseFolderDatabase();
    state.ResumeTiming();
  }
  state.counters["pages/s"] = benchmark::Counter(static_cast<double>(pages), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Import100G4Pages)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  testsupport::installPrivateEnvironment();
  QApplication app(argc, argv);
  platform::ensureProgramFolder();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
