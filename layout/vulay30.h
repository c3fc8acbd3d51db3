// The exported interface of libvulay30: 37 functions by name, and the
// ordinal table through which the OCR control binds the ones it uses.
//
// Windows handles become plain pointers: a window is the host's opaque
// window pointer, an image "handle" points at the 1-bit page bits (rows
// padded to 16 bits), a global block is a handle of the process-wide
// global-memory table (platform/global_memory.h) that the receiver frees
// with platform::globalFree.  Statuses are those of layout_status.h.
#pragma once

#include "layout/overlay_item.h"
#include "layout/records.h"

#include <cstdint>

#define VULAY30_API __attribute__((visibility("default")))

extern "C" {

struct VuPoint {
  std::int32_t x;
  std::int32_t y;
};

struct VuRect {
  std::int32_t left;
  std::int32_t top;
  std::int32_t right;
  std::int32_t bottom;
};

// The recognition result record that GetRecg reads at entry and whose
// counters it writes back.  Text entries are 6 bytes (a character: lead
// byte or 0, trail or single byte, its 1-based rectangle index as a 16-bit
// value, 0, 0; a control: 0, 10 / 9 / ',', 0...; a marker: 0, 1 line or
// cell end / 2 field end, row, column, 0, direction 0 / 128 / 255).
// Rectangle entries are four 32-bit values (left, top, right, bottom);
// candidate entries ten 2-byte codes, lead byte first.
struct VuRecgResult {
  std::int32_t englishValue;        // handed to the English engine
  std::uint16_t englishWord;        // copied into the English request
  std::uint8_t* text;               // 6-byte entries
  std::uint16_t textUsed;           // in/out
  std::uint16_t textCapacity;       // entries; at most capacity - 1 are written
  std::int32_t* rects;              // 4 values per character
  std::uint16_t charactersWritten;  // in/out: also the last rectangle index used
  std::uint16_t rectCapacity;       // entries; at most capacity - 2 characters
  std::uint8_t* candidates;         // 20-byte entries, or null
  std::uint16_t candidatesUsed;     // in/out
  std::uint16_t unused28;
  std::uint16_t keptWord;           // written back unchanged
  std::int32_t unused32;
  std::int32_t unused36;
  std::uint16_t halfWidth;          // nonzero: convert to half width
  std::uint16_t conversionCount;    // codes in the conversion list
  const std::uint8_t* conversionList;  // 2-byte codes, lead byte first
  std::uint16_t cellSeparator;      // 0 TAB, 1 ',', other: the earlier choice (TAB at load)
  std::uint16_t fieldTerminator;    // 0 line feed, 1 TAB, 2 ',', other: line feed
  std::uint16_t englishWord2;       // copied into the English request
};

// The display settings of GetRecg: a 20-byte block that the caller fills
// with zeros first (a caller of six values leaves englishValue 0).
struct VuRecgDisplay {
  std::uint16_t scale;              // divisor of page pixels to window pixels (0 is taken as 1)
  std::int16_t xOffset;
  std::int16_t yOffset;
  std::int16_t stopMode;            // -1 no stop dialog, 1 shown, other values hidden
  std::uint32_t unusedColour;
  std::uint32_t frameColour;        // colour of the progress frames
  std::uint32_t englishValue;       // copied into the English request
};
static_assert(sizeof(VuRecgDisplay) == 20);

// What GetRecg asks of its caller while it runs: the library opens no
// window of its own.  Every member may be null.
struct VuRecgCallbacks {
  void* context;
  // Show (visible 1) or create hidden (0) the stop dialog; -1 closes it.
  void (*stopDialog)(void* context, int visible);
  // Handles the caller's pending events; nonzero when the user asked to stop.
  int (*pump)(void* context);
  // A line has been read: its rectangle in window coordinates and the frame colour.
  void (*lineDone)(void* context, const VuRect* windowRect, std::uint32_t colour);
  // A failed group: the text the user is shown for its status.
  void (*report)(void* context, short status, const char* utf8Text);
};

VULAY30_API int WEP(int reserved);
VULAY30_API short initLayoutParam(void);
VULAY30_API std::intptr_t LayGazoWndProc(void* window, unsigned message, std::uintptr_t wParam,
                                         std::intptr_t lParam);
// Builds the overlay of the last layout for `window` (flags: 1 fields and
// numbers, 2 table grid); the host paints GetDisplayOverlay's items.  The
// draw object is the host's and is not used.  1, or 0 when there is no layout.
VULAY30_API short DisplayLayout(void* window, std::uint16_t scale, std::uint16_t xOffset,
                                std::uint16_t yOffset, void* drawObject, int flags);
// The overlay items built for `window` by DisplayLayout and DispTemplate:
// writes at most `capacity` items and returns how many there are.
VULAY30_API int GetDisplayOverlay(void* window, VuOverlayItem* items, int capacity);
VULAY30_API short GetLayout(void* window, ParamBlock* params, void* image, userfld** list, short width,
                            short height, std::uint16_t dpi, char* templateFolder, short templateNumber);
// `result` is a VuRecgResult, `display` a VuRecgDisplay.  0 when every group
// was read (or nothing was there), -1 after a user stop (the result fields
// are gone), a negative status that ended the page, or a positive count of
// the fields whose groups the engine could not read (the others are written).
VULAY30_API short GetRecg(void* window, ParamBlock* params, void* image, userfld** list, short width,
                          short height, std::uint16_t dpi, void* result, void* display);
// The callbacks the next GetRecg calls use (copied; null clears them).
VULAY30_API void SetRecgCallbacks(const VuRecgCallbacks* callbacks);
VULAY30_API short RegstTemplate(void* window, int ignored, void* image, userfld** list, short width,
                                short height, std::uint16_t dpi, std::uint16_t scale, int ignored2,
                                int ignored3, char* templateFolder);
VULAY30_API short GetLines(void* window, void* image, short width, short height, std::uint16_t dpi,
                           std::uint16_t* horizontalCount, std::uint16_t* verticalCount);
// The table grid of the last layout: x positions of its vertical lines into
// `vertical`, y positions of its horizontal lines into `horizontal`, element 0
// of each the count.  Capacities count elements, element 0 included.  1; 0
// without a layout, ruled lines or table; -1 when an array is too small for its
// grid (its count is then 0; nothing is written past a capacity).
VULAY30_API short GetLayoutHKeisen(short* vertical, short verticalCapacity, short* horizontal,
                                   short horizontalCapacity);
VULAY30_API int GetSelectedRect(VuPoint* point, VuRect* out);
// The ruled-line block is a global-memory handle (platform/global_memory.h), 0 for none.
VULAY30_API std::int32_t GetKeisenData(std::uint16_t* count);
VULAY30_API short SaveKeisenData(std::int32_t block, short count);
// Field-list files (".lyt").  The caller text is a NUL-terminated byte string
// in a buffer of 256 bytes (terminator included); a file whose text does not
// fit is refused.  Both give the reader's or writer's status (1 done).
VULAY30_API short LoadFldFromFile(int* text, userfld** list, int replace, char* fileName,
                                  std::uint16_t* callerWord);
VULAY30_API short SaveFldToFile(int* text, userfld* list, char* fileName, std::uint16_t callerWord);
VULAY30_API short Auto_template_matching(void* window, int ignored, void* image, userfld** list, short width,
                                         short height, std::uint16_t dpi, std::uint16_t scale, int ignored2,
                                         int ignored3, char* templateFolder, std::uint16_t* templateNumber);
VULAY30_API short ReadTemplate(void* window, int ignored, void* image, userfld** list, short width,
                               short height, std::uint16_t dpi, std::uint16_t scale, int ignored2,
                               int ignored3, char* templateFolder, std::uint16_t templateNumber,
                               std::uint16_t* numberOut);
VULAY30_API std::uint16_t ConfTemplate(void* window, int ignored, void* image, int ignored1, short width,
                                       short height, std::uint16_t dpi, std::uint16_t scale, int ignored2,
                                       int ignored3, char* templateFolder, int startNumber);
VULAY30_API short AutoRotate(void* image, int ignored, short width, short height, ParamBlock* params,
                             short mode, Rect16* area);
VULAY30_API short ManualRotate(void* image, short width, std::uint16_t height, short dx, short dy);
VULAY30_API short DeleteFld(std::uint16_t fieldNumber, int ignored);
VULAY30_API short ExchangeFld(short fieldNumber, std::uint16_t otherNumber);
VULAY30_API short ChangeFldForm(userfld* source, short fieldNumber, std::uint16_t selector);
VULAY30_API short AutoRotateEx(void* image, int ignored, short width, short height, ParamBlock* params,
                               short mode, Rect16* area, short* angleTenths, short* centreX, short* centreY);
VULAY30_API int RgstConfDlgProc(void* dialog, unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
VULAY30_API unsigned TempDirOpenHook(void* dialog, unsigned message, std::uintptr_t wParam,
                                     std::intptr_t lParam);
VULAY30_API int TemplateWndProc(void* dialog, unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
// Adds the loaded template's fields to the overlay of `window` (removes them
// when no template is loaded).
VULAY30_API void DispTemplate(void* window);
VULAY30_API short AutoRotatePaper(void* image, short width, std::uint16_t height, std::uint16_t dpi);
VULAY30_API short InitLayout(const char* dictionaryFolder, const char* learningFolder, short loadJapanese);
VULAY30_API void CloseAlloc(void);
VULAY30_API userfld* create_userfld(userfld** list);
VULAY30_API void free_userfld(userfld* field);
VULAY30_API void free_userfld_all(userfld** list);
VULAY30_API void free_Sfld_all(userfld** list);
VULAY30_API short getRcgS_fld(userfld** out);
VULAY30_API recg* alloc_recg(void);
VULAY30_API void free_recg(recg* record);

// Ordinal -> function.  Callers cast `function` to the export's own type.
struct Vulay30Ordinal {
  int ordinal;
  const char* name;
  void (*function)();
};

VULAY30_API extern const Vulay30Ordinal vulay30_ordinals[];
VULAY30_API extern const int vulay30_ordinal_count;
// The function at an ordinal, or null.
VULAY30_API void (*vulay30_by_ordinal(int ordinal))();

}  // extern "C"
