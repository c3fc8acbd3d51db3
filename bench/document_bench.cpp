// Opening a folder of 2000 items in the document: compaction, the catalogue
// opened, the entry list filled through the joined enumerations, and every
// stored thumbnail decoded as a board would draw it. Goal: 400 ms on one core.

#include "catalogue/catalogue_records.h"
#include "platform/global_memory.h"
#include "platform/paths.h"
#include "shell/document_observer.h"
#include "shell/fd3_doc.h"
#include "shell/image_ctrl.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/test_env.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <stdexcept>

namespace {

constexpr int kItems = 2000;
constexpr int kPagesPerStack = 5;
constexpr int kStacks = 40;  // 200 pages; the rest are single items

// A thumbnail as the document stores it: 8-bit GIF at the cell size.
DbBytes makeGifThumbnail() {
  QImage page(96, 128, QImage::Format_RGB32);
  page.fill(Qt::white);
  QPainter painter(&page);
  for (int y = 8; y < 120; y += 6) painter.drawLine(8, y, 88 - (y % 30), y);
  painter.end();
  const std::string file = platform::joinPath(testsupport::privateRoot(), "thumb-source.png");
  page.save(QString::fromStdString(file));
  CImageCtrl ctrl;
  if (ctrl.LoadFile(file, 0, 1, 1) != 0) throw std::runtime_error("cannot load thumbnail source");
  std::int32_t handle = 0, size = 0;
  if (ctrl.SaveToMemory(&handle, 2, 8, 0, &size) != 0) throw std::runtime_error("cannot make GIF");
  const auto h = static_cast<platform::GlobalHandle>(handle);
  const std::uint8_t* bytes = platform::globalLock(h);
  DbBytes gif(bytes, bytes + platform::globalSize(h));
  platform::globalUnlock(h);
  platform::globalFree(h);
  return gif;
}

void writeFolder(const std::string& folder) {
  cataloguetest::makeCatalogueFolder(folder);
  cataloguetest::CatalogueRows rows(folder);
  const DbBytes gif = makeGifThumbnail();
  rows.db().executeScript("BEGIN;");
  int itemNo = 1;
  for (int s = 1; s <= kStacks; ++s) {
    rows.addStack(s, "束" + std::to_string(s), 1);
    for (int p = 1; p <= kPagesPerStack; ++p)
      rows.addItem({.itemNo = itemNo++, .title = "束" + std::to_string(s) + "の" + std::to_string(p) + "頁目",
                    .ext = "bmp", .stackNo = s, .pageNo = p});
  }
  while (itemNo <= kItems) {
    rows.addItem({.itemNo = itemNo, .title = "書類" + std::to_string(itemNo), .ext = "bmp"});
    ++itemNo;
  }
  for (int i = 1; i <= kItems; ++i)
    rows.db().execute(
        "INSERT INTO ThumbMST(ItemNo, ThumbDateTime, ThumbSizeX, ThumbSizeY, ThumbData) "
        "VALUES(?, '2026-12-10 10:00:00', 96, 128, ?)",
        i, gif);
  rows.db().executeScript("COMMIT;");
}

// A board that decodes the thumbnail of every tile it is given.
class DecodingBoard : public DocumentObserver {
 public:
  explicit DecodingBoard(CFD3Doc& doc) : doc_(doc) {}
  int decoded = 0;

  void EntriesCleared(DocumentChanges) override { decoded = 0; }
  void EntryAdded(int, const StackInfo*, const ItemInfo* item) override {
    ThumbInfo thumb;
    int found = 0;
    if (!item || doc_.Database().GetThumbInfo(item->ItemNo, thumb, found) != 0 || !found) return;
    QImage image;
    if (image.loadFromData(thumb.ThumbData.data(), static_cast<int>(thumb.ThumbData.size()), "GIF")) ++decoded;
  }

 private:
  CFD3Doc& doc_;
};

void BM_OpenFolderOf2000Items(benchmark::State& state) {
  testsupport::TempDir dir;
  const std::string folder = platform::joinPath(dir.path(), "書類棚");
  writeFolder(folder);
  for (auto _ : state) {
    CFD3Doc doc;
    DecodingBoard board(doc);
    doc.AddObserver(&board);
    doc.LoadFolder(folder + "/", 0);
    if (doc.EntryList().GetCount() != kStacks + kItems - kStacks * kPagesPerStack ||
        board.decoded != doc.EntryList().GetCount())
      state.SkipWithError("folder not loaded whole");
    state.PauseTiming();
    doc.CloseFolderDatabase();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OpenFolderOf2000Items)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  testsupport::installPrivateEnvironment();
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
