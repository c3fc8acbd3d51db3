// Measures of an area's text, its writing direction and its language.
//
//   robust_mean          mean of the values within one deviation of the mean
//   estimate_char_size   usual character width and height (the samples keep
//                        mark 1 in their kind word)
//   estimate_char_gap    usual white gap between characters of a line (gapX)
//   estimate_line_gap    usual white gap between lines (gapY)
//   measure_region       the set-up's measuring step: the three estimates and
//                        the decision of an automatic writing direction
//   detect_latin_text    Japanese or Latin text, from the share of square
//                        characters among the tall ones
//   measure_line_height  usual height of the built text lines
//   measure_line_gap     usual white gap between the built text lines
//
// Method: every later threshold of the layout is a multiple of these
// measures, so they are taken from components that look like characters.
// The character size accepts components between the minimum character size
// (2 mm) and ten times it, of a nearly square shape; pages of tiny print fall
// through to wider passes so that a size is always found.  Gaps are the
// smallest positive white space of each sample to a neighbour that overlaps
// it enough across the writing direction.  Means are trimmed by one standard
// deviation (robust_mean), so that a few joined or broken characters do not
// move them.  All values are pixels of the full-size page.
#pragma once

#include "layout/layout_context.h"

short robust_mean(const short* values, int n);

// Other names of these steps: measure_region is decide_direction; estimate_char_size,
// estimate_char_gap and estimate_line_gap are measure_char_size, measure_gapX and
// measure_gapY; detect_latin_text is detect_alphabet; measure_line_height and
// measure_line_gap are measure_hLineHeight and measure_hLineGap.
short estimate_char_size(layctx* ctx, short percent);
short estimate_char_gap(layctx* ctx, short percent);
short estimate_line_gap(layctx* ctx, short percent);
short measure_region(layctx* ctx, const Rect16* area);
short detect_latin_text(const layctx* ctx);
short measure_line_height(layctx* ctx);
short measure_line_gap(layctx* ctx);

namespace layout {

// Percentage the set-up passes to the gap estimates.
inline constexpr short kGapEstimatePercent = 70;

// The writing direction of an automatic area from what the gap estimates
// found: 0 horizontal, 2 vertical.
short directionFromMeasures(const layctx& ctx, bool gapXFound, bool gapYFound, int areaWidth, int areaHeight);

}  // namespace layout
