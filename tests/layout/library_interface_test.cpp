// Start-up and close of the library: dictionary hand-over, shared state
// between controls, and the set-up and tear-down around image exports.
#include "layout/field_rings.h"
#include "layout/layout_hooks.h"
#include "layout/library_state.h"
#include "layout/vulay30.h"
#include "tests/layout/fake_engines.h"
#include "tests/layout/ring_checker.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

using layout::layoutState;
using layout::pools;
using layouttest::ScriptedEngines;

namespace {

class LibraryInterface : public ::testing::Test {
 protected:
  void TearDown() override {
    while (layoutState().initCount > 0) CloseAlloc();
  }
};

TEST_F(LibraryInterface, NineDictionaryPathsGoToTheEngineInTheirFixedOrder) {
  ScriptedEngines engines;
  ASSERT_EQ(InitLayout("/usr/share/dict", "/home/u/patterns", 1), 1);
  ASSERT_EQ(engines.log.loads.size(), 1u);
  const std::vector<std::string> expected = {
      "/usr/share/dict/nimba10red.lin",      "/usr/share/dict/nimba10yellow.lin",
      "/usr/share/dict/nimba10green.lin",    "/usr/share/dict/nimba10blue.lin",
      "/home/u/patterns/nimba10lrn.lin",     "/usr/share/dict/nimba10redspl.lin",
      "/usr/share/dict/nimba10yellowspl.lin", "/usr/share/dict/nimba10greenspl.lin",
      "/home/u/patterns/nimba10lrnspl.lin"};
  EXPECT_EQ(std::vector<std::string>(engines.log.loads[0].begin(), engines.log.loads[0].end()), expected);
  EXPECT_EQ(engines.log.englishStarts, (std::vector<std::string>{"/usr/share/dict"}));
  CloseAlloc();
  EXPECT_EQ(engines.log.closes, 1);
}

TEST_F(LibraryInterface, WithoutTheJapaneseEngineNothingIsLoaded) {
  ScriptedEngines engines;
  ASSERT_EQ(InitLayout("/d/", "/l", 0), 1);
  EXPECT_TRUE(engines.log.loads.empty());
  EXPECT_EQ(engines.log.englishStarts, (std::vector<std::string>{"/d"}));
  CloseAlloc();
  EXPECT_EQ(engines.log.closes, 0);
}

TEST_F(LibraryInterface, RefusedDictionariesLeaveTheLibraryClosed) {
  ScriptedEngines engines(0);
  EXPECT_EQ(InitLayout("/d", "/l", 1), 0);
  EXPECT_EQ(layoutState().initCount, 0);
}

TEST_F(LibraryInterface, OwnFolderServesBothDictionaryFolders) {
  ScriptedEngines engines;
  ASSERT_EQ(initLayoutParam(), 1);
  ASSERT_EQ(engines.log.loads.size(), 1u);
  char exe[PATH_MAX] = {};
  ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
  std::string folder(exe);
  folder.resize(folder.rfind('/'));
  EXPECT_EQ(engines.log.loads[0][0], folder + "/nimba10red.lin");
  EXPECT_EQ(engines.log.loads[0][4], folder + "/nimba10lrn.lin");
  EXPECT_TRUE(engines.log.englishStarts.empty());
  // A control that starts the library later gets the English engine all the
  // same.
  ASSERT_EQ(InitLayout("/d", "/l", 1), 1);
  EXPECT_EQ(engines.log.englishStarts, (std::vector<std::string>{"/d"}));
}

TEST_F(LibraryInterface, ASecondControlSharesThePoolsUntilTheLastOneCloses) {
  ScriptedEngines engines;
  ASSERT_EQ(InitLayout("/d", "/l", 1), 1);
  userfld* first = nullptr;
  ASSERT_NE(create_userfld(&first), nullptr);
  first->next->left = 11;
  first->next->right = 20;
  const long inUse = pools().fields.inUse();

  ASSERT_EQ(InitLayout("/d", "/l", 1), 1);  // the second control
  EXPECT_EQ(engines.log.loads.size(), 1u);  // already loaded
  EXPECT_EQ(pools().fields.inUse(), inUse);  // nothing reset under the first one
  userfld* second = nullptr;
  ASSERT_NE(create_userfld(&second), nullptr);

  CloseAlloc();  // the second control goes away
  EXPECT_EQ(engines.log.closes, 0);
  EXPECT_EQ(first->next->left, 11);
  EXPECT_TRUE(layouttest::poolsBalanced({first, second}));
  free_userfld_all(&second);
  free_userfld_all(&first);

  CloseAlloc();
  EXPECT_EQ(engines.log.closes, 1);
  EXPECT_FALSE(pools().fields.isOpen());
  CloseAlloc();  // one close too many is harmless
  EXPECT_EQ(engines.log.closes, 1);
}

TEST_F(LibraryInterface, CloseReleasesTheResultListsWithThePools) {
  ScriptedEngines engines;
  ASSERT_EQ(InitLayout("/d", "/l", 0), 1);
  auto& state = layoutState();
  ASSERT_EQ(add_plain_fld(&state.Sfld, 0, 0, 5, 5), 1);
  append_line(&state.Sfld->next->lines);
  CloseAlloc();
  EXPECT_EQ(state.Sfld, nullptr);
  EXPECT_EQ(pools().fields.inUse(), 0);
  EXPECT_EQ(pools().lines.inUse(), 0);
  // The library starts again after a close.
  ASSERT_EQ(InitLayout("/d", "/l", 0), 1);
  userfld* list = nullptr;
  EXPECT_NE(create_userfld(&list), nullptr);
  free_userfld_all(&list);
}

void* windowSeen = nullptr;
ImageDesc pageSeen{};

short recordingLayout(userfld**, const ParamBlock*, const char*, short) {
  windowSeen = layoutState().window;
  pageSeen = layoutState().images[0];
  return 1;
}

TEST_F(LibraryInterface, ImageExportsHoldThePageOnlyDuringTheCall) {
  ScriptedEngines engines;
  ASSERT_EQ(InitLayout("/d", "/l", 0), 1);
  layout::hooks().layoutPage = recordingLayout;
  std::vector<std::uint8_t> bits(4 * 10);
  int window = 0;
  ParamBlock params;
  userfld* list = nullptr;
  EXPECT_EQ(GetLayout(&window, &params, bits.data(), &list, 30, 10, 300, nullptr, 0), 1);
  layout::hooks().layoutPage = nullptr;
  EXPECT_EQ(windowSeen, &window);
  EXPECT_EQ(pageSeen.bits, bits.data());
  EXPECT_EQ(pageSeen.bytesPerRow, 4);  // 30 pixels padded to 32
  EXPECT_EQ(pageSeen.height, 10);
  EXPECT_EQ(pageSeen.dpi, 300);
  EXPECT_EQ(layoutState().images[4].dpi, 300);
  EXPECT_EQ(layoutState().window, nullptr);
  EXPECT_EQ(layoutState().sourceImage, nullptr);
  EXPECT_EQ(layoutState().images[0].bits, nullptr);
}

TEST_F(LibraryInterface, ExportsAnswerEmptyListsAndMissingImagesAtOnce) {
  ScriptedEngines engines;
  ASSERT_EQ(InitLayout("/d", "/l", 0), 1);
  int window = 0;
  EXPECT_EQ(GetRecg(&window, nullptr, nullptr, nullptr, 10, 10, 400, nullptr, nullptr), 0);
  EXPECT_EQ(layoutState().window, nullptr);
  EXPECT_EQ(DisplayLayout(&window, 8, 0, 0, nullptr, 1), 0);
  EXPECT_EQ(AutoRotate(nullptr, 0, 10, 10, nullptr, 0, nullptr), -1);
  EXPECT_EQ(AutoRotateEx(nullptr, 0, 10, 10, nullptr, 0, nullptr, nullptr, nullptr, nullptr), -1);
  EXPECT_EQ(AutoRotatePaper(nullptr, 10, 10, 400), -1);
  EXPECT_EQ(ManualRotate(nullptr, 10, 10, 1, 1), -1);
  EXPECT_EQ(SaveKeisenData(0, 0), -1);
  EXPECT_EQ(SaveFldToFile(nullptr, nullptr, nullptr, 0), 1);
  EXPECT_EQ(WEP(0), 1);
}

TEST_F(LibraryInterface, ManualRotateLevelsADrawnDirection) {
  ScriptedEngines engines;
  ASSERT_EQ(InitLayout("/d", "/l", 0), 1);
  const int width = 640, height = 400;
  std::vector<std::uint8_t> bits(static_cast<std::size_t>(paddedRowBytes(width)) * height);
  // A line falling 3 degrees to the right (y grows downwards).
  for (int x = 20; x < 620; ++x) {
    const int y = 200 + static_cast<int>((x - 320) * 0.0524);
    bits[static_cast<std::size_t>(y) * paddedRowBytes(width) + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
  }
  EXPECT_EQ(ManualRotate(bits.data(), width, height, 600, 31), 1);
  int top = height, bottom = -1;
  for (int y = 0; y < height; ++y)
    for (int x = 40; x < 600; ++x)
      if (bits[static_cast<std::size_t>(y) * paddedRowBytes(width) + x / 8] & (0x80 >> (x % 8))) {
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  EXPECT_LE(bottom - top, 4);
  EXPECT_EQ(ManualRotate(bits.data(), width, height, 0, 0), 0);
}

}  // namespace
