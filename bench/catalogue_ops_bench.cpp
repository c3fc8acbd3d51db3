// Registering and enumerating the items of a folder catalogue.
//   RegisterItems      2000 RegisterItem calls into an empty catalogue;
//                      /0/0 each its own durable transaction with the folder
//                      on the temporary folder's disk (every commit waits for
//                      the disk), /1/0 the same on /dev/shm (the catalogue's
//                      own work alone), /0/1 all inside one transaction of
//                      the caller's on disk, as an import of 2000 files
//                      batches them (one wait for the disk)
//   EnumerateSingleItems  GetFirstSingleItem / GetSingleItemNextInfo /
//                      PostSingleItem over 2000 single items
//   SortByTitle        SortFirst + SortNext over the same 2000 items
// Run: taskset -c 0 build/bin/catalogue_ops_bench

#include "catalogue/folder_database.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kItems = 2000;

ItemInfo itemNumbered(int n) {
  ItemInfo info;
  info.Title = "スキャン画像 " + std::to_string(n);
  info.Ext = "tif";
  info.ImageLevel = 1;
  info.OfficialDate = info.LastModifiedDate = info.LastAccessedDate = 20261210 - n % 300;
  return info;
}

void RegisterItems(benchmark::State& state) {
  const bool inMemory = state.range(0) == 1;
  const bool batched = state.range(1) == 1;
  if (inMemory && !QDir("/dev/shm").exists()) {
    state.SkipWithError("no /dev/shm");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    QTemporaryDir dir(inMemory ? "/dev/shm/catalogue-bench-XXXXXX" : QDir::tempPath() + "/catalogue-bench-XXXXXX");
    const std::string folder = dir.filePath("folder").toStdString();
    cataloguetest::makeCatalogueFolder(folder);
    FolderDatabase db;
    if (db.OpenFolder(folder, false) != 0) state.SkipWithError("cannot open");
    state.ResumeTiming();
    if (batched && db.BeginTransaction() != 0) state.SkipWithError(db.GetDbLastError().message.c_str());
    for (int n = 1; n <= kItems; ++n) {
      ItemInfo info = itemNumbered(n);
      if (db.RegisterItem(info) != 0) {
        state.SkipWithError(db.GetDbLastError().message.c_str());
        break;
      }
    }
    if (batched && db.CommitTransaction() != 0) state.SkipWithError(db.GetDbLastError().message.c_str());
    state.PauseTiming();
    db.CloseFolder();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(RegisterItems)
    ->ArgNames({"shm", "batched"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// One open catalogue of 2000 single items for the reading benchmarks.
FolderDatabase& filledCatalogue() {
  static std::unique_ptr<testsupport::TempDir> dir;
  static std::unique_ptr<FolderDatabase> db;
  if (!db) {
    dir = std::make_unique<testsupport::TempDir>();
    const std::string folder = dir->file("folder");
    cataloguetest::makeCatalogueFolder(folder);
    {
      cataloguetest::CatalogueRows rows(folder);
      Transaction fill(rows.db());
      for (int n = 1; n <= kItems; ++n)
        rows.addItem({.itemNo = n, .title = itemNumbered(n).Title, .ext = "tif"});
      fill.commit();
    }
    db = std::make_unique<FolderDatabase>();
    db->OpenFolder(folder, false);
  }
  return *db;
}

void EnumerateSingleItems(benchmark::State& state) {
  FolderDatabase& db = filledCatalogue();
  for (auto _ : state) {
    int seen = 0;
    db.GetFirstSingleItem();
    ItemInfo info;
    for (int end = 0; db.GetSingleItemNextInfo(info, end) == 0 && !end;) ++seen;
    db.PostSingleItem();
    if (seen != kItems) state.SkipWithError("wrong count");
  }
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(EnumerateSingleItems)->Unit(benchmark::kMillisecond);

void SortByTitle(benchmark::State& state) {
  FolderDatabase& db = filledCatalogue();
  for (auto _ : state) {
    int seen = 0;
    db.SortFirst(0x100);
    SortEntry entry;
    for (int end = 0; db.SortNext(entry, end) == 0 && !end;) ++seen;
    db.SortPost();
    if (seen != kItems) state.SkipWithError("wrong count");
  }
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(SortByTitle)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
