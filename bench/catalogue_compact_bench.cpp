// Compaction of a folder's catalogue, which runs at every open of a folder:
// 2000 items, each with a thumbnail of 8-10 KB. Goal: under 200 ms on one
// core.
//
//   BM_CompactGapless     numbers already 1..n (a folder compacted at its
//                         last open): no row is renumbered
//   BM_CompactRenumberAll every item and stack gets a new number (the first
//                         item of the folder was removed since)

#include "catalogue/folder_database.h"
#include "platform/file_ops.h"
#include "platform/paths.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/test_env.h"

#include <benchmark/benchmark.h>

#include <random>
#include <stdexcept>
#include <string>

namespace {

constexpr int kItems = 2000;

// A catalogue of kItems items (every tenth group of five a stack) with a
// thumbnail each; numbers start at firstNo and step by step.
void writeCatalogue(const std::string& folder, int firstNo, int step) {
  cataloguetest::makeCatalogueFolder(folder);
  cataloguetest::CatalogueRows rows(folder);
  std::mt19937 random(42);
  rows.db().executeScript("BEGIN;");
  int stackNo = firstNo;
  for (int i = 0; i < kItems; ++i) {
    const int itemNo = firstNo + i * step;
    cataloguetest::ItemRow row{itemNo, "item" + std::to_string(i), "bmp"};
    if (i % 50 < 5) {
      if (i % 50 == 0) {
        rows.addStack(stackNo, "stack" + std::to_string(stackNo), 1);
        stackNo += step;
      }
      row.stackNo = stackNo - step;
      row.pageNo = i % 50 + 1;
    }
    rows.addItem(row);
    DbBytes thumb(8 * 1024 + random() % 2048);
    for (auto& b : thumb) b = static_cast<std::uint8_t>(random());
    rows.db().execute(
        "INSERT INTO ThumbMST(ItemNo, ThumbDateTime, ThumbSizeX, ThumbSizeY, ThumbData) "
        "VALUES(?, '2026-12-10 10:00:00', 96, 128, ?)",
        itemNo, thumb);
  }
  rows.db().executeScript("COMMIT;");
}

void compactOnce(FolderDatabase& db, const std::string& folder) {
  if (db.CompactFolder(folder) != 0) throw std::runtime_error(db.GetDbLastError().message);
}

void BM_CompactGapless(benchmark::State& state) {
  testsupport::TempDir temp;
  const std::string folder = temp.file("folder");
  writeCatalogue(folder, 1, 1);
  FolderDatabase db;
  compactOnce(db, folder);
  for (auto _ : state) compactOnce(db, folder);
}
BENCHMARK(BM_CompactGapless)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CompactRenumberAll(benchmark::State& state) {
  testsupport::TempDir temp;
  const std::string folder = temp.file("folder");
  writeCatalogue(folder, 2, 2);
  const std::string pristine = temp.file("pristine.mdb");
  const std::string catalogue = FolderDatabase::CataloguePath(folder);
  platform::copyFileReplacing(catalogue, pristine);
  FolderDatabase db;
  for (auto _ : state) {
    state.PauseTiming();
    platform::copyFileReplacing(pristine, catalogue);
    state.ResumeTiming();
    compactOnce(db, folder);
  }
}
BENCHMARK(BM_CompactRenumberAll)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
