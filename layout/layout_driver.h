// The layout driver behind GetLayout, and the caller's copies of its result.
//
//   layout_page            GetLayout's work on the held page (the hook entry):
//                          user regions or the whole page into Sfld, then the
//                          caller's list replaced by copies of the result
//   layout_areas           the region loop: every region of a list analysed,
//                          results and ruled-line fields gathered and numbered
//   layout_one_area        the per-region set-up up to the pipeline
//   reduce_by_8            the page reduced by 8 (byte-wise OR over 8 rows)
//   region_margin          the margin around a table area at a resolution
//   copy_layout_to_fields  one caller record per result field or merge run
//
// A region of form -1 (a table area) is analysed inside a rectangle one
// millimetre larger on each side, so that the frame of the table is seen
// whole; its results follow a frame field of kind '2', which the output
// turns into one field covering the table.
#pragma once

#include "layout/layout_context.h"
#include "layout/records.h"

#include <array>
#include <cstdint>
#include <vector>

short layout_page(userfld** list, const ParamBlock* params, const char* templateFolder, short templateNumber);
short layout_areas(userfld** input, userfld** result, userfld** rules, const std::array<ImageDesc, 5>* images,
                   short nested);
short layout_one_area(const layout::AreaRect* area, layout::ResultLists* out, const std::array<ImageDesc, 5>* images,
                      const ParamBlock* params, const userfld* children, recg* blockRing, short nested);
// Fills `out` (bits pointing into `storage`) from the full-size page of the
// given pixel width; false when there is no source image.
bool reduce_by_8(const ImageDesc& page, int widthPixels, std::vector<std::uint8_t>* storage, ImageDesc* out);
int region_margin(int dpi);
// Each table region of a page's result analysed as a table of its own: its
// cells take its place, its line fields join the result's.
short expand_tables(layout::ResultLists* result, const std::array<ImageDesc, 5>* images);

namespace layout {

// One field's rectangle analysed again, nested, with `params`: the fields
// into *found, the line fields into *rules (both the caller's to free).
short layoutNested(const userfld& field, const ParamBlock& params, const std::array<ImageDesc, 5>* images,
                   userfld** found, userfld** rules);
// Moves the fields of *found whose kind is `keep` (any kind but `drop` when
// `keep` is 0) after `at`, in order, then frees *found with the rest.
void placeFieldsAfter(userfld* at, userfld** found, int keep, int drop);

}  // namespace layout
short copy_layout_to_fields(userfld* source, int copyAll, const userfld* input, userfld** target, int mergeSeed);
