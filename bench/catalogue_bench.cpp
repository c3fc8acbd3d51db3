// Opening and testing a folder catalogue of 2000 items.
//   OpenCloseFolder   OpenFolder + CloseFolder, read-write
//   DoesFolderExist   the catalogue test a folder gets before it is shown
// Run: taskset -c 0 build/bin/catalogue_bench

#include "catalogue/folder_database.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/test_env.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kItems = 2000;
constexpr int kStacks = 100;
constexpr int kPagesPerStack = 4;

// One folder for the whole run: 1600 single items and 100 stacks of 4 pages.
const std::string& catalogueFolder() {
  static std::unique_ptr<testsupport::TempDir> dir;
  static std::string folder;
  if (!dir) {
    dir = std::make_unique<testsupport::TempDir>();
    folder = dir->file("folder");
    cataloguetest::makeCatalogueFolder(folder);
    cataloguetest::CatalogueRows rows(folder);
    Transaction fill(rows.db());
    int itemNo = 1;
    for (int s = 1; s <= kStacks; ++s, itemNo += kPagesPerStack)
      rows.addStackWithPages(s, itemNo, kPagesPerStack);
    for (; itemNo <= kItems; ++itemNo)
      rows.addItem(cataloguetest::ItemRow{.itemNo = itemNo, .title = "item" + std::to_string(itemNo)});
    fill.commit();
  }
  return folder;
}

void OpenCloseFolder(benchmark::State& state) {
  const std::string& folder = catalogueFolder();
  FolderDatabase db;
  for (auto _ : state) {
    if (db.OpenFolder(folder, false) != 0 || db.CloseFolder() != 0)
      state.SkipWithError(db.GetDbLastError().message.c_str());
  }
}
BENCHMARK(OpenCloseFolder)->Unit(benchmark::kMicrosecond);

void DoesFolderExist(benchmark::State& state) {
  const std::string& folder = catalogueFolder();
  FolderDatabase db;
  for (auto _ : state) {
    int exists = 0, version = 0;
    if (db.DoesFolderExist(folder, exists, version) != 0 || exists != 1)
      state.SkipWithError(db.GetDbLastError().message.c_str());
  }
}
BENCHMARK(DoesFolderExist)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
