// The cross-folder search over a desktop of 20 folders with 2,000 items
// each, every item with a 2 KB attached Shift-JIS text:
//   BM_TitleKeywordSearch  a substring of titles and keywords, whole desktop
//   BM_FullTextSearch      one full-text term, whole desktop
// Goals: 50 ms per folder (1 s for the desktop) for the title search, 2 s
// for the full-text search, on one core.

#include "catalogue/search_database.h"

#include "tests/catalogue/catalogue_fixture.h"
#include "platform/file_ops.h"
#include "platform/sjis_codec.h"
#include "tests/support/test_env.h"

#include <benchmark/benchmark.h>

#include <QDir>

#include <cstdint>
#include <fstream>
#include <random>

namespace {

constexpr int kFolders = 20;
constexpr int kItems = 2000;
constexpr std::size_t kTextBytes = 2048;

struct BenchDesktop {
  testsupport::TempDir dir;
  std::string root;
  BenchDesktop() {
    root = dir.path() + "/desk";
    QDir().mkpath(QString::fromStdString(root));
    platform::copyFileReplacing(cataloguetest::templateDbFolder() + "/infos.mdb", root + "/infos.mdb");
    std::mt19937 random(7);
    // Hiragana and common kanji, with a line break now and then.
    auto text = [&] {
      std::string s;
      while (s.size() < kTextBytes - 2) {
        const int r = static_cast<int>(random() % 100);
        if (r < 2) {
          s += "\r\n";
        } else if (r < 50) {
          s += static_cast<char>(0x82);
          s += static_cast<char>(0x9F + random() % 0x50);
        } else {
          s += static_cast<char>(0x88 + random() % 8);
          s += static_cast<char>(0x9F + random() % 0x5D);
        }
      }
      return s;
    };
    for (int f = 0; f < kFolders; ++f) {
      const std::string folder = root + "/folder" + std::to_string(f);
      cataloguetest::makeCatalogueFolder(folder);
      cataloguetest::CatalogueRows rows(folder);
      Transaction t(rows.db());
      for (int i = 1; i <= kItems; ++i) {
        const std::string title = "scan" + std::to_string(f) + "_" + std::to_string(i);
        rows.db().execute(
            "INSERT INTO ItemMST (ItemNo, ItemTitle, ItemExt, ImageLevel, OLELevel, FullTextLevel, "
            "TextExt, OfficialDate, LastModifiedDate, LastAccessedDate, SingleItemPosX, "
            "SingleItemPosY) VALUES (?, ?, 'bmp', 1, 0, 1, 'TXT', 20260101, 20260101, 20260101, 0, 0)",
            i, title + ".bmp");
        rows.db().execute("INSERT INTO KeywordMST (ItemNo, Keyword) VALUES (?, ?)", i,
                          "kw" + std::to_string(i % 100) + " / tag");
        std::string body = text();
        if (i % 500 == 0) body += platform::toCp932("見積書").value();
        std::ofstream(folder + "/" + title + ".bmp.TXT", std::ios::binary) << body;
      }
      t.commit();
    }
  }
};

BenchDesktop& desktop() {
  static BenchDesktop d;
  return d;
}

void BM_TitleKeywordSearch(benchmark::State& state) {
  BenchDesktop& d = desktop();
  SearchDatabase search;
  SearchFolders collector;
  search.SetFolderCollector(&collector);
  search.Open(d.root, d.dir.path());
  search.SetWordFilter(searchfield::kTitle | searchfield::kKeyword, {"_17"}, searchmode::kContains,
                       false);
  for (auto _ : state) {
    if (!search.Search(d.root, true)) state.SkipWithError(search.LastError().c_str());
    benchmark::DoNotOptimize(search.GetHitCount());
  }
  state.counters["hits"] = search.GetHitCount();
  state.counters["folders"] = kFolders;
}
BENCHMARK(BM_TitleKeywordSearch)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_FullTextSearch(benchmark::State& state) {
  BenchDesktop& d = desktop();
  SearchDatabase search;
  SearchFolders collector;
  search.SetFolderCollector(&collector);
  search.Open(d.root, d.dir.path());
  search.SetWordFilter(searchfield::kFullText, {"見積書"}, searchmode::kContains, false);
  for (auto _ : state) {
    if (!search.Search(d.root, true)) state.SkipWithError(search.LastError().c_str());
    benchmark::DoNotOptimize(search.GetHitCount());
  }
  state.counters["hits"] = search.GetHitCount();
}
BENCHMARK(BM_FullTextSearch)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
