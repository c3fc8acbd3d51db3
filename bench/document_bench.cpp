// Opening a folder of 2000 items in the document: compaction, the catalogue
// opened, the entry list filled through the joined enumerations, and every
// stored thumbnail decoded as a board would draw it. Goal: 400 ms on one core.

#include "bench/folder_of_2000.h"
#include "catalogue/catalogue_records.h"
#include "platform/paths.h"
#include "shell/document_observer.h"
#include "shell/fd3_doc.h"
#include "tests/support/test_env.h"

#include <QImage>

#include <benchmark/benchmark.h>


namespace {


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
  benchfolder::WriteFolderOf2000Items(folder);
  for (auto _ : state) {
    CFD3Doc doc;
    DecodingBoard board(doc);
    doc.AddObserver(&board);
    doc.LoadFolder(folder + "/", 0);
    if (doc.EntryList().GetCount() != benchfolder::kEntries ||
        board.decoded != doc.EntryList().GetCount())
      state.SkipWithError("folder not loaded whole");
    state.PauseTiming();
    doc.CloseFolderDatabase();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OpenFolderOf2000Items)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace
