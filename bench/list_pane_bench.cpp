// The list pane over a folder of 2000 documents (40 stacks of 5 pages, 1800
// single items) on the offscreen platform. Goals on one core:
//   fill: the folder loaded into the list (entries read, 1840 rows written,
//     sorted by title)                                     <= 100 ms
//   one re-sort of all rows by a column                    <= 50 ms
// Run it as `taskset -c 0 build/bin/list_pane_bench`.

#include "bench/folder_of_2000.h"
#include "browser/list_pane.h"
#include "catalogue/file_utilities.h"
#include "platform/paths.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/document_observer.h"
#include "shell/fd3_doc.h"
#include "tests/support/test_env.h"


#include <benchmark/benchmark.h>

#include <memory>

namespace {

using benchfolder::kEntries;

// The rows follow the document as the browser view makes them follow it.
class ListFixture : public DocumentObserver {
 public:
  ListFixture() {
    platform::ensureProgramFolder();
    InitModuleFolder();
    folder_ = platform::joinPath(dir_.path(), "書類棚");
    benchfolder::WriteFolderOf2000Items(folder_);
    pane_ = std::make_unique<CListPane>();
    pane_->SetDocument(&document_);
    pane_->resize(900, 700);
    pane_->show();
    document_.AddObserver(this);
  }
  ~ListFixture() override {
    document_.RemoveObserver(this);
    pane_.reset();
    document_.CloseFolderDatabase();
  }
  void EntriesCleared(DocumentChanges) override { pane_->DeleteAllRows(); }
  void EntryAdded(int index, const StackInfo* stack, const ItemInfo* item) override {
    pane_->UpdateEntry(index, stack, item);
  }
  void DocumentChanged(DocumentChanges changes) override {
    if (changes.testFlag(DocumentChange::Entries)) pane_->Fill(-1, 1);
  }
  void load() { document_.LoadFolder(folder_ + "/", 1); }
  void unload() { document_.LoadFolder("", 0); }
  CListPane& pane() { return *pane_; }

 private:
  platform::RecordingUserInteraction boxes_;
  testsupport::TempDir dir_;
  std::string folder_;
  CFD3Doc document_;
  std::unique_ptr<CListPane> pane_;
};

ListFixture& fixture() {
  static ListFixture f;
  return f;
}

void BM_FillTheList(benchmark::State& state) {
  ListFixture& f = fixture();
  for (auto _ : state) {
    f.load();
    if (f.pane().rowCount() != kEntries) state.SkipWithError("folder not loaded whole");
    state.PauseTiming();
    f.unload();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_FillTheList)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_ResortByColumn(benchmark::State& state) {
  ListFixture& f = fixture();
  f.load();
  const int column = static_cast<int>(state.range(0));
  for (auto _ : state) f.pane().Fill(column, 0);
}
BENCHMARK(BM_ResortByColumn)
    ->Arg(listpane::kTitle)
    ->Arg(listpane::kPages)
    ->Arg(listpane::kModifiedDate)
    ->ArgNames({"column"})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace
