// The folder board over a folder of 2000 documents with stored thumbnails
// (40 stacks of 5 pages, 1800 single items), in the browser view on the
// offscreen platform. Goals on one core:
//   first screen: from the folder chosen in the tree to the first screen of
//     tiles painted (catalogue opened, entries read, tiles built, placed,
//     pictures of the visible tiles decoded, painted)      <= 150 ms
//   arrangement with key 13 of all 2000 tiles             <= 50 ms
//   one screen of scrolling (new tiles decoded and painted) <= 16 ms
// Run it as `taskset -c 0 build/bin/thumbnail_board_bench`.

#include "bench/folder_of_2000.h"
#include "browser/fd3_view.h"
#include "browser/thumbnail_pane_wnd.h"
#include "catalogue/catalogue_records.h"
#include "catalogue/file_utilities.h"
#include "platform/paths.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "tests/support/test_env.h"

#include <QScrollBar>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using benchfolder::kEntries;

// One desktop with the big folder and an empty one beside it; the view is
// shown at a common size, and the big folder has been opened once so that
// its documents have their places.
class BoardFixture {
 public:
  BoardFixture() {
    platform::ensureProgramFolder();
    InitModuleFolder();
    folder_ = platform::joinPath(desktop_.path(), "書類棚");
    other_ = platform::joinPath(desktop_.path(), "空");
    benchfolder::WriteFolderOf2000Items(folder_);
    cataloguetest::makeCatalogueFolder(other_);
    view_ = std::make_unique<CFD3View>();
    view_->AttachDocument(&document_);
    view_->resize(1200, 800);
    view_->show();
    view_->OnInitialUpdate();
    view_->BuildFolderTreeForDesktop(desktop_.path() + "/");
    openBig();
    openOther();
  }
  ~BoardFixture() {
    view_.reset();
    document_.CloseFolderDatabase();
  }
  void openBig() {
    view_->SelectFolderInTree(folder_);
    board()->viewport()->repaint();
  }
  void openOther() { view_->SelectFolderInTree(other_); }
  ThumbnailPaneWnd* board() const { return view_->GetThumbnailPane(); }

 private:
  platform::RecordingUserInteraction boxes_;
  testsupport::TempDir desktop_;
  std::string folder_;
  std::string other_;
  CFD3Doc document_;
  std::unique_ptr<CFD3View> view_;
};

BoardFixture& fixture() {
  static BoardFixture f;
  return f;
}

void BM_FolderChosenToFirstScreenPainted(benchmark::State& state) {
  BoardFixture& f = fixture();
  for (auto _ : state) {
    f.openBig();
    if (f.board()->tileCount() != kEntries) state.SkipWithError("folder not loaded whole");
    state.PauseTiming();
    f.openOther();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_FolderChosenToFirstScreenPainted)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_ArrangeAllWithKey13(benchmark::State& state) {
  BoardFixture& f = fixture();
  f.openBig();
  ThumbnailPaneWnd* board = f.board();
  const bool moveFirst = state.range(0) != 0;
  for (auto _ : state) {
    if (moveFirst) {
      // Every tile somewhere else: all move, all positions are written.
      state.PauseTiming();
      for (int i = 0; i < board->tileCount(); ++i) board->Tile(i)->Layout({board->Tile(i)->anchor().x + 3, board->Tile(i)->anchor().y});
      state.ResumeTiming();
    }
    board->ArrangeItems(ThumbnailPaneWnd::kSortVisual, 0, 0);
    board->viewport()->repaint();
  }
  f.openOther();
}
BENCHMARK(BM_ArrangeAllWithKey13)
    ->Arg(0)
    ->Arg(1)
    ->ArgNames({"allMoved"})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_ScrollOneScreen(benchmark::State& state) {
  BoardFixture& f = fixture();
  f.openBig();
  ThumbnailPaneWnd* board = f.board();
  QScrollBar* bar = board->verticalScrollBar();
  const bool decoded = state.range(0) != 0;
  const auto restart = [&] {
    // Back to the top, with no picture decoded below it unless the pictures
    // were all seen before.
    for (int i = 0; i < board->tileCount() && !decoded; ++i) {
      board->Tile(i)->picture().Free();
      board->Tile(i)->pictureTried = false;
    }
    bar->setValue(0);
    board->viewport()->repaint();
  };
  restart();
  for (auto _ : state) {
    if (bar->value() >= bar->maximum()) {
      state.PauseTiming();
      restart();
      state.ResumeTiming();
    }
    bar->setValue(bar->value() + bar->pageStep());
    board->viewport()->repaint();
  }
  f.openOther();
}
BENCHMARK(BM_ScrollOneScreen)->Arg(0)->Arg(1)->ArgNames({"seenBefore"})->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace
