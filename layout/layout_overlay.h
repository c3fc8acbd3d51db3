// The drawing of layout results as overlay lists that the host paints.
//
//   ScreenMap                  page pixels -> window pixels (scale, offsets)
//   layout_overlay             the fields of the last layout, their numbers,
//                              the ruled-line fields and the input (template)
//                              fields, and/or the table grid (DisplayLayout)
//   template_overlay           the input field list as filled, numbered boxes
//                              (DispTemplate)
//   collect_keisen             the table grid of a field ring into the caller's
//                              arrays, never past their capacities
//   template_picture           the template image window's picture: coloured
//                              field boxes, the selected field, labels, ruled
//                              lines, the A4 paper frames
//   field_at_point             the field a click in that picture selects
//   displayed_overlay / store_display_overlay
//                              the overlay last built for a host window
//
// Method: every routine produces VuOverlayItem records in window pixels with
// the mix mode the picture needs (XOR boxes that vanish when drawn twice, a
// plain copy for the template picture).  Nothing here touches a window, so
// the lists are checked in tests as data and painted by whoever shows them.
#pragma once

#include "layout/overlay_item.h"
#include "layout/records.h"

#include <vector>

namespace layout {

using Overlay = std::vector<VuOverlayItem>;

// Default colours of the layout display (COLORREF).
inline constexpr std::uint32_t kFieldBoxColour = 0x7F7FFF;
inline constexpr std::uint32_t kCrossBoxColour = 0x0000FF;
inline constexpr std::uint32_t kFrameColour = 0xFF7F7F;
inline constexpr std::uint32_t kRuledLineColour = 0x00FFFF;
inline constexpr std::uint32_t kGridColour = 0x00FF00;

// Page coordinates to window pixels: v / scale - offset, truncating.
struct ScreenMap {
  int scale = 8;
  int xOffset = 0;
  int yOffset = 0;
  int x(int v) const { return v / scale - xOffset; }
  int y(int v) const { return v / scale - yOffset; }
  // Rounded to the nearest window pixel (frames of the layout result).
  int xRounded(int v) const { return (v + scale / 2) / scale - xOffset; }
  int yRounded(int v) const { return (v + scale / 2) / scale - yOffset; }
};

inline constexpr int kOverlayFields = 0x1;  // DisplayLayout flag: fields and numbers
inline constexpr int kOverlayGrid = 0x2;    // DisplayLayout flag: the table grid

// What DisplayLayout shows for `flags`, from the library state (Sfld, the
// ruled-line field list, the input field list, the two ruled-line rings).
// `selected` is a field that gets no crossed box (the field being worked on).
Overlay layout_overlay(const ScreenMap& map, int flags, const userfld* selected = nullptr);

// The input field list drawn as DispTemplate draws a loaded template.
Overlay template_overlay(const ScreenMap& map, const userfld* ring);

// Table grid of the table cells in `ring` (fields with a line ring and form
// 255; number = row, sub-number = column): x positions of the vertical grid
// lines into `vertical`, y positions of the horizontal ones into
// `horizontal`; element 0 of each holds the count, elements 1.. the
// positions.  A capacity counts the array's elements, element 0 included.
// Result: 1 written; 0 no table cells (nothing written); -1 an array is too
// small for its grid (its count is then 0 and nothing lies past its end).
int collect_keisen(const userfld* ring, const Keisen* hLines, const Keisen* vLines, short* vertical,
                   int verticalCapacity, short* horizontal, int horizontalCapacity);

// The template image window's picture.
struct TemplatePictureInput {
  const userfld* fields = nullptr;    // the working template's ring
  const Keisen* hLines = nullptr;     // its ruled lines
  const Keisen* vLines = nullptr;
  const userfld* selected = nullptr;
  int scale = 8;
  int hScroll = 0;                    // window pixels of the scaled picture
  int vScroll = 0;
  int minHorizontalLength = 0;        // shorter ruled lines are not drawn
  int minVerticalLength = 0;
};
Overlay template_picture(const TemplatePictureInput& in);

// Fields' bounding box (smallest left/top, largest right/bottom); 0 for an
// empty ring (the box then stays 65535, 65535, -1, -1), else 1.
int fields_bounding_box(const userfld* ring, Rect16* box);

// The first field in ring order whose rectangle strictly contains the page
// point and none of whose child rectangles does; null when there is none.
userfld* field_at_point(const userfld* ring, int x, int y);

// The overlay a host window shows: the layer of the last DisplayLayout and
// the layer of the last DispTemplate, in that order.
enum class OverlayLayer { Layout, Template };
void store_display_overlay(void* window, OverlayLayer layer, Overlay overlay);
Overlay displayed_overlay(void* window);
void forget_display_overlays();
// Sfld is gone: the layout layer of every window would show fields that no
// longer exist, and DisplayLayout cannot replace it without fields.
void forget_layout_overlays();

}  // namespace layout
