// The refresh's rescan of a folder tree: 20 folders of 2000 items each (40
// stacks of 5 pages, 1800 single items, every file on disk), with 100
// changes made by other programs before each run: 50 files gone, 50 new.
// Goal: one rescan of the tree within 1 s on one core.

#include "bench/folder_of_2000.h"
#include "catalogue/file_utilities.h"
#include "catalogue/folder_database.h"
#include "platform/paths.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "shell/progress_reporter.h"
#include "shell/rescan_folder.h"
#include "tests/support/test_env.h"


#include <benchmark/benchmark.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kFolders = 20;
constexpr int kChanges = 100;

// The file names of the 2000 items, as the fixture titles them.
std::vector<std::string> itemFileNames() {
  std::vector<std::string> names;
  int itemNo = 1;
  for (int s = 1; s <= benchfolder::kStacks; ++s)
    for (int p = 1; p <= benchfolder::kPagesPerStack; ++p, ++itemNo)
      names.push_back("束" + std::to_string(s) + "の" + std::to_string(p) + "頁目.bmp");
  for (; itemNo <= benchfolder::kItems; ++itemNo) names.push_back("書類" + std::to_string(itemNo) + ".bmp");
  return names;
}

class Tree {
 public:
  Tree() {
    platform::ensureProgramFolder();
    InitModuleFolder();
    root_ = platform::withTrailingSlash(platform::joinPath(dir_.path(), "棚"));
    const std::string first = root_ + "f00";
    benchfolder::WriteFolderOf2000Items(first);
    names_ = itemFileNames();
    for (const std::string& name : names_) testsupport::writeFile(platform::joinPath(first, name), "");
    for (int f = 1; f < kFolders; ++f) {
      const std::string folder = root_ + (f < 10 ? "f0" : "f") + std::to_string(f);
      std::filesystem::copy(first, folder, std::filesystem::copy_options::recursive);
    }
    // One rescan settles what the first one finds (none of the files is new).
    rescan();
  }
  ~Tree() { document_.CloseFolderDatabase(); }

  // 50 files of the tree removed and 50 new ones written, spread over the folders.
  void change() {
    for (int c = 0; c < kChanges; ++c) {
      const std::string folder = root_ + (c % kFolders < 10 ? "f0" : "f") + std::to_string(c % kFolders);
      if (c % 2 == 0) {
        // A single item's file (the stacks' pages come first), a new one each time.
        std::filesystem::remove(std::filesystem::u8path(platform::joinPath(folder, names_[next_++])));
      } else {
        testsupport::writeFile(platform::joinPath(folder, "新規" + std::to_string(round_) + "_" + std::to_string(c) + ".doc"),
                               "text");
      }
    }
    ++round_;
  }
  RescanReport rescan() {
    RescanReport report;
    NullProgressReporter progress;
    RescanFolderTree(document_, &progress, root_, 100000, report);
    return report;
  }

 private:
  platform::RecordingUserInteraction boxes_;
  testsupport::TempDir dir_;
  std::string root_;
  std::vector<std::string> names_;
  CFD3Doc document_;
  int round_ = 0;
  std::size_t next_ = benchfolder::kStacks * benchfolder::kPagesPerStack;
};

void BM_RescanTreeOf20x2000With100Changes(benchmark::State& state) {
  static Tree tree;
  for (auto _ : state) {
    state.PauseTiming();
    tree.change();
    state.ResumeTiming();
    const RescanReport report = tree.rescan();
    state.counters["registered"] = report.registered;
    state.counters["unregistered"] = report.unregistered;
  }
}
BENCHMARK(BM_RescanTreeOf20x2000With100Changes)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
