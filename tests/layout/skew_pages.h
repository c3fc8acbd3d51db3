// Pages for the skew and direction tests, drawn with the test page renderer.
//
//   textPage    Japanese text, horizontal or vertical, at a skew
//   formPage    a ruled form (with or without text), at a skew
//   fillBox     sets a rectangle of a page to black
//
// Skews are given as the library measures them: positive when the lines
// descend towards the right (the renderer's own angle is the opposite).
#pragma once

#include "tests/layout/test_pages.h"

namespace skewpages {

testpages::RenderedPage textPage(double degrees, bool vertical, int dpi = 300);
testpages::RenderedPage formPage(double degrees, bool withText, int dpi = 300);
void fillBox(testpages::RenderedPage& page, int left, int top, int width, int height);

}  // namespace skewpages
