// The one state of the layout library: record pools, the current page, the
// result lists, the ruled-line lists, display and template settings, and the
// recognition engines.
//
//   layoutState()            the state
//   init_library_state()     defaults of every table, empty pools and lists
//   close_library_state()    releases every pool and list (last close)
//   ImageCallFrame           set-up and tear-down around an image-taking export
//   setRecognitionEngines()  lets a host or a test choose the engines
//
// Every control of a process shares this state.  Initialisation and close are
// reference counted (see InitLayout / CloseAlloc), so a second control neither
// resets the pools under the first one nor frees them when it goes away.
#pragma once

#include "layout/record_pool.h"
#include "layout/records.h"
#include "recognition/recognition_engine.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace layout {

struct Pools {
  RecordPool<rect_record> rects{{300, 3, 10}};
  RecordPool<userfld> fields{{30, 3, 2}};
  RecordPool<line_record> lines{{30, 2, 2}};
  RecordPool<recg> recgs{{30, 2, 2}};

  void closeAll() {
    rects.close();
    fields.close();
    lines.close();
    recgs.close();
  }
};

// Block sizes of the region-group pool that grouping opens per call.
inline constexpr PoolConfig kRegionGroupPool{500, 10, 20};

inline constexpr std::uint32_t rgb(int r, int g, int b) {
  return static_cast<std::uint32_t>(r) | (static_cast<std::uint32_t>(g) << 8) |
         (static_cast<std::uint32_t>(b) << 16);
}

struct LibraryState {
  Pools pools;

  // Life cycle.
  int initCount = 0;
  bool japaneseLoaded = false;
  std::unique_ptr<recognition::JapaneseEngine> japanese;
  std::unique_ptr<recognition::EnglishEngine> english;

  // The call under way.
  void* window = nullptr;
  void* sourceImage = nullptr;
  std::array<ImageDesc, 5> images{};                // full size, then reduced by 2, 4, 8, 16
  std::array<std::vector<std::uint8_t>, 4> reducedBits;  // storage of the reduced images

  // Display transform and resolution.
  std::uint16_t scale = 8;
  std::int16_t xOffset = 0;
  std::int16_t yOffset = 0;
  std::uint16_t dpi = 400;

  // Result lists.
  userfld* inputFields = nullptr;
  userfld* Sfld = nullptr;
  userfld* ruleFields = nullptr;

  // Ruled lines of the page and of the template being worked on.
  Keisen* hLines = nullptr;
  Keisen* vLines = nullptr;
  Keisen* templateHLines = nullptr;
  Keisen* templateVLines = nullptr;
  Rect16 selectedCell;

  // Templates.
  std::string templateFolder;
  std::string templateTablePath;
  std::string templateWorkPath;
  bool templateTouched = false;
  int templateNumber = 0;

  // Drawing colours.
  std::uint32_t colourRules = rgb(255, 255, 0);
  std::uint32_t colourInput = rgb(255, 127, 127);
  std::uint32_t colourSfld = rgb(127, 127, 255);
  std::uint32_t colourBrush = rgb(255, 0, 0);
};

LibraryState& layoutState();
inline Pools& pools() { return layoutState().pools; }

// Replaces the engines that InitLayout starts (null: the built-in ones).
void setRecognitionEngines(std::unique_ptr<recognition::JapaneseEngine> japanese,
                           std::unique_ptr<recognition::EnglishEngine> english);

// The nine dictionary paths in the order the Japanese engine takes them.
recognition::DictionaryPaths dictionaryPaths(const std::string& dictionaryFolder,
                                             const std::string& learningFolder);

// Loads the Japanese dictionaries; the engine's own result (1 = loaded).
std::int16_t loadJapaneseDictionaries(const std::string& dictionaryFolder,
                                      const std::string& learningFolder);

// Stores every table default, empties pools and lists; returns 1.
short init_library_state();
// Frees the result lists, ruled lines and every pool; closes the Japanese
// engine.
void close_library_state();

// Error hook: receives a message number; shows nothing in this system.
short show_layout_error(void* window, int messageNumber);

// Set-up and tear-down of an export that takes a window and an image: the
// image is held and described for the duration of the call, and every way out
// clears the window and image again.
class ImageCallFrame {
 public:
  ImageCallFrame(void* window, void* image, int width, int height, int dpi);
  ~ImageCallFrame();
  ImageCallFrame(const ImageCallFrame&) = delete;
  ImageCallFrame& operator=(const ImageCallFrame&) = delete;
  const ImageDesc& page() const { return layoutState().images[0]; }
};

}  // namespace layout
