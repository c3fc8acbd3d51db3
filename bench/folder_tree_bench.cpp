// Expanding a folder of 1000 subfolders in the folder tree: each subfolder
// is listed, tested against the program's own folders, gets its icon from
// its info.ini (every other one has one) and is tested for subfolders of
// its own (every third has one, every fifth only a hidden one).
// Run: taskset -c 0 build/bin/folder_tree_bench

#include "browser/folder_tree.h"
#include "catalogue/file_utilities.h"
#include "catalogue/folder_settings.h"
#include "platform/program_folder.h"
#include "tests/support/test_env.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {

constexpr int kSubfolders = 1000;

const std::string& desktopFolder() {
  static std::unique_ptr<testsupport::TempDir> dir;
  static std::string root;
  if (!dir) {
    dir = std::make_unique<testsupport::TempDir>();
    root = dir->path() + "/";
    for (int i = 0; i < kSubfolders; ++i) {
      const std::string folder = root + "大きい/書類" + std::to_string(i);
      fs::create_directories(folder);
      if (i % 2 == 0) WriteFolderIni(folder + "/info.ini", std::to_string((i % 9) << 8 | (i % 4 == 0)));
      if (i % 3 == 0) fs::create_directories(folder + "/下位");
      if (i % 5 == 0) fs::create_directories(folder + "/.hidden");
    }
  }
  return root;
}

void ExpandFolderOf1000Subfolders(benchmark::State& state) {
  FolderTree tree;
  tree.BuildForDesktop(desktopFolder());
  QTreeWidgetItem* big = tree.rootItem()->child(0);
  for (auto _ : state) {
    state.PauseTiming();
    tree.collapseItem(big);  // drops the children
    state.ResumeTiming();
    tree.expandItem(big);
    if (big->childCount() != kSubfolders) state.SkipWithError("wrong number of subfolders");
  }
}
BENCHMARK(ExpandFolderOf1000Subfolders)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  testsupport::installPrivateEnvironment();
  QApplication app(argc, argv);
  platform::ensureProgramFolder();
  InitModuleFolder();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
