// The library state; see library_state.h.
#include "layout/library_state.h"

#include "layout/field_rings.h"
#include "layout/keisen_lists.h"
#include "layout/layout_driver.h"
#include "layout/layout_hooks.h"
#include "layout/layout_messages.h"
#include "layout/layout_overlay.h"
#include "layout/layout_status.h"
#include "layout/parameter_tables.h"
#include "layout/skew_correction.h"
#include "layout/template_session.h"
#include "layout/template_table.h"
#include "layout/user_region.h"

namespace layout {

LibraryState& layoutState() {
  static LibraryState state;
  return state;
}

LayoutHooks& hooks() {
  static LayoutHooks table;
  return table;
}

void setRecognitionEngines(std::unique_ptr<recognition::JapaneseEngine> japanese,
                           std::unique_ptr<recognition::EnglishEngine> english) {
  auto& state = layoutState();
  if (state.japanese && state.japaneseLoaded) state.japanese->close();
  state.japaneseLoaded = false;
  state.japanese = std::move(japanese);
  state.english = std::move(english);
}

recognition::DictionaryPaths dictionaryPaths(const std::string& dictionaryFolder,
                                             const std::string& learningFolder) {
  static const char* const kNames[9] = {
      "nimba10red.lin",    "nimba10yellow.lin",    "nimba10green.lin",
      "nimba10blue.lin",   "nimba10lrn.lin",       "nimba10redspl.lin",
      "nimba10yellowspl.lin", "nimba10greenspl.lin", "nimba10lrnspl.lin"};
  recognition::DictionaryPaths paths;
  for (int i = 0; i < 9; ++i) {
    const std::string& folder = (i == recognition::kDictLearning || i == recognition::kDictLearningIndex)
                                    ? learningFolder
                                    : dictionaryFolder;
    paths[static_cast<std::size_t>(i)] = folder + "/" + kNames[i];
  }
  return paths;
}

std::int16_t loadJapaneseDictionaries(const std::string& dictionaryFolder,
                                      const std::string& learningFolder) {
  auto& state = layoutState();
  if (!state.japanese) state.japanese = recognition::createJapaneseEngine();
  const std::int16_t result = state.japanese->loadDictionaries(dictionaryPaths(dictionaryFolder, learningFolder));
  state.japaneseLoaded = result == recognition::kEngineDone;
  return result;
}

short init_library_state() {
  auto& state = layoutState();
  set_param_set1_defaults();
  set_param_set2_defaults();
  set_param_set3_defaults();
  rotation_param_defaults();
  set_layout_defaults();
  set_param_set4_defaults();
  hooks().analyseUserRegion = analyse_user_region;
  hooks().layoutPage = layout_page;
  hooks().autoRotate = auto_rotate_export;
  hooks().autoRotatePaper = auto_rotate_paper_export;

  // Records of the pools go with them: the working template and the
  // overlays built from them are dropped, not freed.
  forget_template_session();
  forget_display_overlays();
  state.pools.closeAll();
  state.dpi = 400;
  state.scale = 8;
  state.xOffset = state.yOffset = 0;
  state.images = {};
  state.window = nullptr;
  state.sourceImage = nullptr;
  state.hLines = state.vLines = nullptr;
  state.templateHLines = state.templateVLines = nullptr;
  state.inputFields = state.Sfld = state.ruleFields = nullptr;
  state.selectedCell = {};
  state.templateFolder.clear();
  state.templateTablePath.clear();
  state.templateWorkPath.clear();
  state.templateTouched = false;
  state.templateNumber = 0;
  reset_template_context();
  state.colourRules = rgb(255, 255, 0);
  state.colourInput = rgb(255, 127, 127);
  state.colourSfld = rgb(127, 127, 255);
  state.colourBrush = rgb(255, 0, 0);
  return kStatusDone;
}

void close_library_state() {
  auto& state = layoutState();
  if (state.japanese && state.japaneseLoaded) state.japanese->close();
  state.japaneseLoaded = false;
  // The heads go with the records: nothing may point into freed blocks.
  free_fld_list(&state.inputFields);
  free_fld_list(&state.Sfld);
  free_fld_list(&state.ruleFields);
  free_hline_list(&state.hLines);
  free_vline_list(&state.vLines);
  free_hline_list(&state.templateHLines);
  free_vline_list(&state.templateVLines);
  clear_working_template();
  forget_display_overlays();
  state.pools.closeAll();
  for (auto& bits : state.reducedBits) std::vector<std::uint8_t>().swap(bits);
  state.images = {};
}

short show_layout_error(void* window, int messageNumber) {
  notify_layout_error(window, messageNumber);
  return 0;
}

ImageCallFrame::ImageCallFrame(void* window, void* image, int width, int height, int dpi) {
  auto& state = layoutState();
  state.window = window;
  state.sourceImage = image;
  ImageDesc& page = state.images[0];
  page.bits = static_cast<std::uint8_t*>(image);
  page.bytesPerRow = static_cast<std::uint16_t>(paddedRowBytes(width));
  page.height = static_cast<std::uint16_t>(height);
  for (auto& desc : state.images) desc.dpi = static_cast<std::uint16_t>(dpi);
  state.dpi = static_cast<std::uint16_t>(dpi);
}

ImageCallFrame::~ImageCallFrame() {
  auto& state = layoutState();
  state.window = nullptr;
  state.sourceImage = nullptr;
  // The caller's bits are not ours once the call is over.
  for (auto& desc : state.images) desc.bits = nullptr;
}

}  // namespace layout
