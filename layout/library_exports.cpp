// The 37 exports of libvulay30 and their ordinal table.
//
// Each export checks its arguments, sets up the call (window, image) through
// ImageCallFrame where it takes an image, and hands the work to the part of
// the library that does it (directly, or through the hook table while that
// work is elsewhere).  No exception leaves an export.
#include "layout/vulay30.h"

#include "layout/bit_image.h"
#include "layout/field_list_editing.h"
#include "layout/field_list_file.h"
#include "layout/field_rings.h"
#include "layout/keisen_lists.h"
#include "layout/layout_hooks.h"
#include "layout/layout_overlay.h"
#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/recognition_driver.h"
#include "layout/ring.h"
#include "layout/parameter_tables.h"
#include "layout/ruled_lines.h"
#include "layout/straight_analysis.h"
#include "layout/template_dialog_hooks.h"
#include "layout/template_matching.h"
#include "layout/template_session.h"
#include "layout/template_table.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>

using layout::hooks;
using layout::ImageCallFrame;
using layout::kStatusDone;
using layout::kStatusNoImage;
using layout::kStatusNothing;
using layout::layoutState;

namespace {

std::string folderOf(const char* folder) {
  std::string f = folder != nullptr ? folder : "";
  while (f.size() > 1 && f.back() == '/') f.pop_back();
  return f;
}

template <typename F>
auto guarded(F work, decltype(work()) onError) noexcept {
  try {
    return work();
  } catch (...) {
    return onError;
  }
}

// Initialises the state on the first start; later starts share it.
short startLibrary(const std::string& dictionaryFolder, const std::string& learningFolder, bool japanese,
                   bool english) {
  auto& state = layoutState();
  // Every InitLayout starts the English engine, also after an
  // initLayoutParam (which does not) has opened the library.
  if (english) {
    if (!state.english) state.english = recognition::createEnglishEngine();
    state.english->start(dictionaryFolder);
  }
  if (japanese && !state.japaneseLoaded) {
    if (layout::loadJapaneseDictionaries(dictionaryFolder, learningFolder) != 1) return kStatusNothing;
  }
  if (state.initCount == 0) layout::init_library_state();
  ++state.initCount;
  return kStatusDone;
}

// The library's page and template ruled lines as the pairs the template
// code works on; whatever the work left in them goes back to the state.
struct StateLinePairs {
  KeisenPair page{layoutState().hLines, layoutState().vLines};
  KeisenPair templ{layoutState().templateHLines, layoutState().templateVLines};
  StateLinePairs() = default;
  StateLinePairs(const StateLinePairs&) = delete;
  StateLinePairs& operator=(const StateLinePairs&) = delete;
  ~StateLinePairs() {
    auto& state = layoutState();
    state.hLines = page.horizontal;
    state.vLines = page.vertical;
    state.templateHLines = templ.horizontal;
    state.templateVLines = templ.vertical;
  }
};

}  // namespace

extern "C" {

int WEP(int) {
  auto& state = layoutState();
  if (state.japanese && state.japaneseLoaded) state.japanese->close();
  state.japaneseLoaded = false;
  return 1;
}

short InitLayout(const char* dictionaryFolder, const char* learningFolder, short loadJapanese) {
  return guarded(
      [&] { return startLibrary(folderOf(dictionaryFolder), folderOf(learningFolder), loadJapanese != 0, true); },
      kStatusNothing);
}

short initLayoutParam(void) {
  return guarded(
      [] {
        Dl_info info{};
        std::string folder = ".";
        if (dladdr(reinterpret_cast<void*>(&initLayoutParam), &info) != 0 && info.dli_fname != nullptr) {
          std::string path = info.dli_fname;
          // Linked into a program, the name given is the program's as started.
          if (path.empty() || path.front() != '/') {
            char exe[4096] = {};
            const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
            if (n > 0) path.assign(exe, static_cast<std::size_t>(n));
          }
          const auto slash = path.rfind('/');
          if (slash != std::string::npos) folder = path.substr(0, slash);
        }
        return startLibrary(folder, folder, true, false);
      },
      kStatusNothing);
}

void CloseAlloc(void) {
  auto& state = layoutState();
  if (state.initCount == 0) return;
  if (--state.initCount == 0) layout::close_library_state();
}

std::intptr_t LayGazoWndProc(void*, unsigned, std::uintptr_t, std::intptr_t) { return 0; }

short DisplayLayout(void* window, std::uint16_t scale, std::uint16_t xOffset, std::uint16_t yOffset, void*,
                    int flags) {
  auto& state = layoutState();
  if (layout::ringEmpty(state.Sfld)) return kStatusNothing;
  state.scale = scale;
  state.xOffset = static_cast<std::int16_t>(xOffset);
  state.yOffset = static_cast<std::int16_t>(yOffset);
  return guarded(
      [&]() -> short {
        const layout::ScreenMap map{std::max(1, static_cast<int>(scale)), state.xOffset, state.yOffset};
        layout::store_display_overlay(window, layout::OverlayLayer::Layout, layout::layout_overlay(map, flags));
        return kStatusDone;
      },
      layout::kStatusNoMemory);
}

int GetDisplayOverlay(void* window, VuOverlayItem* items, int capacity) {
  return guarded(
      [&]() -> int {
        const auto overlay = layout::displayed_overlay(window);
        if (items != nullptr) {
          const auto n = std::min(overlay.size(), static_cast<std::size_t>(std::max(capacity, 0)));
          std::copy_n(overlay.begin(), n, items);
        }
        return static_cast<int>(overlay.size());
      },
      0);
}

short GetLayout(void* window, ParamBlock* params, void* image, userfld** list, short width, short height,
                std::uint16_t dpi, char* templateFolder, short templateNumber) {
  return guarded(
      [&]() -> short {
        ImageCallFrame frame(window, image, width, height, dpi);
        if (hooks().layoutPage == nullptr) return kStatusNothing;
        // Every scan is skewed a little: a skewed page is analysed
        // straightened, and reported in the caller's coordinates.
        return layout::straight_layout(list, params, templateFolder, templateNumber);
      },
      layout::kStatusNoMemory);
}

short GetRecg(void* window, ParamBlock* params, void* image, userfld** list, short width, short height,
              std::uint16_t dpi, void* result, void* display) {
  if (layout::ringEmpty(layoutState().Sfld)) return kStatusNothing;
  // The caller's fields are copies that own their lines (GetLayout), so a
  // user stop that frees the result lists leaves them whole.
  (void)list;
  if (image == nullptr) return kStatusNoImage;
  return guarded(
      [&]() -> short {
        ImageCallFrame frame(window, image, width, height, dpi);
        return layout::straight_recognize(window, params, static_cast<VuRecgResult*>(result),
                                          static_cast<const VuRecgDisplay*>(display));
      },
      layout::kStatusNoMemory);
}

short RegstTemplate(void* window, int, void* image, userfld** list, short width, short height, std::uint16_t dpi,
                    std::uint16_t, int, int, char* templateFolder) {
  if (image == nullptr) return kStatusNoImage;
  return guarded(
      [&]() -> short {
        ImageCallFrame frame(window, image, width, height, dpi);
        layout::begin_template_call(templateFolder, width, height);
        auto& state = layoutState();
        // The dialogs work on a copy of the caller's fields: the template
        // field list.
        free_fld_list(&state.inputFields);
        if (list != nullptr && !layout::ringEmpty(*list) &&
            layout::copy_fld_list(*list, &state.inputFields) != kStatusDone) {
          free_fld_list(&state.inputFields);
          return layout::kStatusNoMemory;
        }
        layout::templateSession().lastRegistered = -1;
        const auto operation = layout::templateDialogHooks().operation;
        const int result = operation != nullptr ? operation(window) : -1;
        short status = kStatusNoImage;
        if (result == 1) {
          const int registered = layout::templateSession().lastRegistered;
          status = static_cast<short>(registered >= 0 ? registered + 1 : kStatusNothing);
          // The template called up or matched replaces the caller's fields.
          if (state.templateTouched && list != nullptr) {
            free_userfld_ring(list);
            if (!layout::ringEmpty(state.inputFields) &&
                layout::copy_fld_list(state.inputFields, list) != kStatusDone) {
              status = layout::kStatusNoMemory;
            }
          }
        }
        free_fld_list(&state.inputFields);
        return status;
      },
      layout::kStatusNoMemory);
}

short GetLines(void* window, void* image, short width, short height, std::uint16_t dpi,
               std::uint16_t* horizontalCount, std::uint16_t* verticalCount) {
  return guarded(
      [&]() -> short {
        ImageCallFrame frame(window, image, width, height, dpi);
        // A new page: the straightening of the last one is no more.
        layout::drop_straight_frame();
        auto& state = layoutState();
        ImageDesc& half = state.images[1];
        half.bits = nullptr;
        half.bytesPerRow = static_cast<std::uint16_t>((width + 31) / 32 * 2);
        half.height = static_cast<std::uint16_t>(height / 2);
        const short status = extract_ruled_lines(1);
        if (horizontalCount != nullptr) *horizontalCount = static_cast<std::uint16_t>(count_hlines(state.hLines));
        if (verticalCount != nullptr) *verticalCount = static_cast<std::uint16_t>(count_vlines(state.vLines));
        // Running out of memory is reported, not passed off as done.
        return status == layout::kStatusNoMemory ? status : kStatusDone;
      },
      layout::kStatusNoMemory);
}

short GetLayoutHKeisen(short* vertical, short verticalCapacity, short* horizontal, short horizontalCapacity) {
  auto& state = layoutState();
  if (layout::ringEmpty(state.Sfld)) return kStatusNothing;
  if (count_hlines(state.hLines) == 0 && count_vlines(state.vLines) == 0) return kStatusNothing;
  return static_cast<short>(layout::collect_keisen(state.Sfld, state.hLines, state.vLines, vertical,
                                                   verticalCapacity, horizontal, horizontalCapacity));
}

int GetSelectedRect(VuPoint* point, VuRect* out) {
  if (point == nullptr || out == nullptr) return 0;
  auto& state = layoutState();
  const auto x = static_cast<std::int16_t>(point->x & 0xFFFF);
  const auto y = static_cast<std::int16_t>(point->y & 0xFFFF);
  if (find_keisen_cell(x, y, state.hLines, state.vLines, &state.selectedCell) == 0) return 0;
  out->left = state.selectedCell.left;
  out->top = state.selectedCell.top;
  out->right = state.selectedCell.right;
  out->bottom = state.selectedCell.bottom;
  return 1;
}

std::int32_t GetKeisenData(std::uint16_t* count) { return keisen_to_block(count); }

short SaveKeisenData(std::int32_t block, short count) { return keisen_from_block(block, count); }

short LoadFldFromFile(int* text, userfld** list, int replace, char* fileName, std::uint16_t* callerWord) {
  return guarded(
      [&]() -> short {
        if (list == nullptr) return layout::kStatusNoFieldList;
        if (fileName == nullptr) return layout::kStatusFileOpen;
        // The file's records are read aside: a failed load leaves the
        // caller's ring (and, with replace, Sfld and the ruled-line list).
        userfld* loaded = nullptr;
        const layout::FieldListSet set = layout::libraryFieldLists();
        const short status = layout::load_fld_file(&loaded, reinterpret_cast<char*>(text),
                                                   layout::kFldExportTextCapacity, callerWord, &set, fileName,
                                                   replace != 0);
        if (status != kStatusDone) return status;
        if (replace != 0) free_userfld_ring(list);
        if (*list == nullptr) {
          *list = loaded;
        } else if (loaded != nullptr) {
          layout::ringSplice(loaded, *list);
          free_fld_list(&loaded);
        }
        return kStatusDone;
      },
      layout::kStatusNoMemory);
}

short SaveFldToFile(int* text, userfld* list, char* fileName, std::uint16_t callerWord) {
  if (layout::ringEmpty(list)) return kStatusDone;  // nothing to save
  return guarded(
      [&]() -> short {
        if (fileName == nullptr) return layout::kStatusFileOpen;
        const char* chars = reinterpret_cast<const char*>(text);
        const std::string_view callerText =
            chars != nullptr ? std::string_view(chars, ::strnlen(chars, layout::kFldExportTextCapacity - 1))
                             : std::string_view();
        const layout::FieldListSet set = layout::libraryFieldLists();
        return layout::save_fld_file(list, callerText, callerWord, &set, fileName);
      },
      layout::kStatusNoMemory);
}

// Matches the page's ruled lines (those of the last GetLines or layout)
// against the folder's templates; the matched template's fields become the
// library's template field list.  0 matched, else the matching's status.
short Auto_template_matching(void* window, int, void* image, userfld**, short width, short height, std::uint16_t dpi,
                             std::uint16_t, int, int, char* templateFolder, std::uint16_t* templateNumber) {
  if (image == nullptr) return kStatusNoImage;
  return guarded(
      [&]() -> short {
        ImageCallFrame frame(window, image, width, height, dpi);
        layout::begin_template_call(templateFolder, width, height);
        auto& state = layoutState();
        auto& ctx = layout::templateContext();
        double similarity = 0.0;
        short status = 0;
        {
          StateLinePairs lines;
          status = layout::match_templates(&state.inputFields, &lines.templ, ctx, lines.page, frame.page(),
                                           layout::parameterTables().set3(12), &similarity);
        }
        if (status != kStatusDone) {
          layout::show_layout_error(window, status == layout::kStatusTemplateMatch ? layout::kMsgTemplateMatch
                                            : status == layout::kStatusNoMemory  ? layout::kMsgNoMemory
                                            : status == layout::kStatusFileOpen  ? layout::kMsgTemplateOpen
                                                                                 : layout::kMsgTemplateRead);
          return status;
        }
        state.templateNumber = ctx.current;
        state.templateTouched = true;
        if (templateNumber != nullptr) *templateNumber = static_cast<std::uint16_t>(ctx.current);
        return kStatusNothing;
      },
      layout::kStatusNoMemory);
}

// Reads one template into the library's template field list and lines,
// aligned to the page's lines.  0 read, 1 not read.
short ReadTemplate(void* window, int, void* image, userfld**, short width, short height, std::uint16_t dpi,
                   std::uint16_t, int, int, char* templateFolder, std::uint16_t templateNumber,
                   std::uint16_t* numberOut) {
  return guarded(
      [&]() -> short {
        ImageCallFrame frame(window, image, width, height, dpi);
        layout::begin_template_call(templateFolder, width, height);
        auto& state = layoutState();
        auto& ctx = layout::templateContext();
        short read = 0;
        {
          StateLinePairs lines;
          read = layout::read_template(ctx, templateNumber, &state.inputFields, &lines.templ, &lines.page,
                                       layout::parameterTables().set3(12));
        }
        if (read != 1) return 1;
        state.templateNumber = ctx.current;
        state.templateTouched = true;
        if (numberOut != nullptr) *numberOut = templateNumber;
        return read == 1 ? 0 : 1;
      },
      short{1});
}

std::uint16_t ConfTemplate(void* window, int, void* image, int, short width, short height, std::uint16_t dpi,
                           std::uint16_t, int, int, char* templateFolder, int startNumber) {
  constexpr std::uint16_t kCancelled = 0xFFFF;
  return guarded(
      [&]() -> std::uint16_t {
        ImageCallFrame frame(window, image, width, height, dpi);
        layout::begin_template_call(templateFolder, width, height);
        const auto confirm = layout::templateDialogHooks().confirm;
        // A dialog that cannot be shown (no window for it) is taken as OK:
        // the caller goes on with the current template.
        const int result = confirm != nullptr ? confirm(window, layout::kModeReference, std::max(startNumber, 0)) : -1;
        free_fld_list(&layoutState().inputFields);
        if (result == 0) return kCancelled;
        return static_cast<std::uint16_t>(layout::templateContext().current);
      },
      kCancelled);
}

short AutoRotate(void* image, int, short width, short height, ParamBlock* params, short mode, Rect16* area) {
  if (image == nullptr) return kStatusNoImage;
  return guarded(
      [&]() -> short {
        ImageCallFrame frame(nullptr, image, width, height, layoutState().dpi);
        if (hooks().autoRotate == nullptr) return kStatusNothing;
        return hooks().autoRotate(params, mode, area, nullptr, nullptr, nullptr);
      },
      layout::kStatusNoMemory);
}

short AutoRotateEx(void* image, int, short width, short height, ParamBlock* params, short mode, Rect16* area,
                   short* angleTenths, short* centreX, short* centreY) {
  if (image == nullptr) return kStatusNoImage;
  return guarded(
      [&]() -> short {
        ImageCallFrame frame(nullptr, image, width, height, layoutState().dpi);
        if (hooks().autoRotate == nullptr) return kStatusNothing;
        return hooks().autoRotate(params, mode, area, angleTenths, centreX, centreY);
      },
      layout::kStatusNoMemory);
}

short AutoRotatePaper(void* image, short width, std::uint16_t height, std::uint16_t dpi) {
  if (image == nullptr) return kStatusNoImage;
  return guarded(
      [&]() -> short {
        ImageCallFrame frame(nullptr, image, width, height, dpi);
        if (hooks().autoRotatePaper == nullptr) return kStatusNothing;
        return hooks().autoRotatePaper();
      },
      layout::kStatusNoMemory);
}

// Turns the page so that the direction (dx, dy) becomes level, in steps of
// at most 5 degrees (the shears lose accuracy beyond that).
short ManualRotate(void* image, short width, std::uint16_t height, short dx, short dy) {
  if (image == nullptr) return kStatusNoImage;
  if (dx == 0 && dy == 0) return kStatusNothing;
  ImageDesc page;
  page.bits = static_cast<std::uint8_t*>(image);
  page.bytesPerRow = static_cast<std::uint16_t>(paddedRowBytes(width));
  page.height = height;
  page.dpi = layoutState().dpi;
  constexpr double kStepDegrees = 5.0;
  constexpr double kLargestDegrees = 45.0;
  double degrees = std::atan2(static_cast<double>(dy), static_cast<double>(dx)) * 180.0 / 3.1415926535;
  if (degrees > 90.0) degrees -= 180.0;
  if (degrees < -90.0) degrees += 180.0;
  if (std::fabs(degrees) > kLargestDegrees) return kStatusNothing;
  while (std::fabs(degrees) > 1e-9) {
    const double step = std::fabs(degrees) > kStepDegrees ? std::copysign(kStepDegrees, degrees) : degrees;
    rotate_small_angle(&page, step);
    degrees -= step;
  }
  return kStatusDone;
}

short DeleteFld(std::uint16_t fieldNumber, int) { return delete_fld(fieldNumber); }
short ExchangeFld(short fieldNumber, std::uint16_t otherNumber) { return exchange_fld(fieldNumber, otherNumber); }
short ChangeFldForm(userfld* source, short fieldNumber, std::uint16_t selector) {
  return change_fld_form(source, fieldNumber, selector);
}

int RgstConfDlgProc(void*, unsigned, std::uintptr_t, std::intptr_t) { return 0; }
unsigned TempDirOpenHook(void*, unsigned, std::uintptr_t, std::intptr_t) { return 0; }
int TemplateWndProc(void*, unsigned, std::uintptr_t, std::intptr_t) { return 0; }
void DispTemplate(void* window) {
  guarded(
      [&] {
        auto& state = layoutState();
        layout::Overlay overlay;
        if (state.templateTouched) {
          const layout::ScreenMap map{std::max(1, static_cast<int>(state.scale)), state.xOffset, state.yOffset};
          overlay = layout::template_overlay(map, state.inputFields);
        }
        layout::store_display_overlay(window, layout::OverlayLayer::Template, std::move(overlay));
        return 0;
      },
      0);
}

userfld* create_userfld(userfld** list) {
  if (list == nullptr) return nullptr;
  userfld* field = append_fld(list);
  if (field != nullptr) field->origin = 0;
  return field;
}

// A caller's field owns its lines, blocks and sub-rectangles (GetLayout
// hands out deep copies), so they go with it; Sfld never shares them.
void free_userfld(userfld* field) {
  if (field != nullptr) free_fld_tree(field);
}

void free_userfld_all(userfld** list) {
  if (list != nullptr) free_userfld_ring(list);
}

void free_Sfld_all(userfld** list) {
  layout::drop_straight_frame();
  free_Sfld_rings(list);
}

short getRcgS_fld(userfld** out) {
  if (out != nullptr) {
    userfld* head = layoutState().Sfld;
    *out = layout::ringEmpty(head) ? nullptr : head;
  }
  return kStatusDone;
}

#define VU_ORDINAL(n, f) {n, #f, reinterpret_cast<void (*)()>(&f)}

const Vulay30Ordinal vulay30_ordinals[] = {
    VU_ORDINAL(1, WEP),
    VU_ORDINAL(2, initLayoutParam),
    VU_ORDINAL(3, LayGazoWndProc),
    VU_ORDINAL(4, DisplayLayout),
    VU_ORDINAL(5, GetLayout),
    VU_ORDINAL(6, GetRecg),
    VU_ORDINAL(7, RegstTemplate),
    VU_ORDINAL(8, GetLines),
    VU_ORDINAL(9, GetLayoutHKeisen),
    VU_ORDINAL(10, GetSelectedRect),
    VU_ORDINAL(11, GetKeisenData),
    VU_ORDINAL(12, SaveKeisenData),
    VU_ORDINAL(13, LoadFldFromFile),
    VU_ORDINAL(14, SaveFldToFile),
    VU_ORDINAL(15, Auto_template_matching),
    VU_ORDINAL(16, ReadTemplate),
    VU_ORDINAL(17, ConfTemplate),
    VU_ORDINAL(18, AutoRotate),
    VU_ORDINAL(19, ManualRotate),
    VU_ORDINAL(20, DeleteFld),
    VU_ORDINAL(21, ExchangeFld),
    VU_ORDINAL(22, ChangeFldForm),
    VU_ORDINAL(23, AutoRotateEx),
    VU_ORDINAL(24, RgstConfDlgProc),
    VU_ORDINAL(25, TempDirOpenHook),
    VU_ORDINAL(26, TemplateWndProc),
    VU_ORDINAL(30, DispTemplate),
    VU_ORDINAL(32, AutoRotatePaper),
    VU_ORDINAL(40, InitLayout),
    VU_ORDINAL(41, CloseAlloc),
    VU_ORDINAL(50, create_userfld),
    VU_ORDINAL(51, free_userfld),
    VU_ORDINAL(52, free_userfld_all),
    VU_ORDINAL(53, free_Sfld_all),
    VU_ORDINAL(54, getRcgS_fld),
    VU_ORDINAL(60, alloc_recg),
    VU_ORDINAL(61, free_recg),
};

#undef VU_ORDINAL

const int vulay30_ordinal_count = sizeof(vulay30_ordinals) / sizeof(vulay30_ordinals[0]);

void (*vulay30_by_ordinal(int ordinal))() {
  for (const auto& entry : vulay30_ordinals) {
    if (entry.ordinal == ordinal) return entry.function;
  }
  return nullptr;
}

}  // extern "C"
