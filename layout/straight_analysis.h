// Layout and recognition of a skewed page on a straightened copy.
//
//   straight_layout        GetLayout's work: the page's skew estimated, a
//                          skewed page analysed on a straightened copy and
//                          every rectangle reported in the caller's
//                          coordinates; a level page takes the plain path
//   straight_recognize     GetRecg's work: the fields of a straightened
//                          layout read from a straightened copy again, the
//                          character rectangles (and the progress frames)
//                          reported in the caller's coordinates
//   drop_straight_frame    forgets the straightened layout (a new page, the
//                          fields freed)
//   profile_sharpness      how sharply the ink falls into rows or columns
//   StraightFrame          the geometry between the caller's page and the
//                          straightened canvas
//
// A page read line by line needs level lines: on a page skewed by 3 degrees
// a line of 2,000 pixels climbs 100 pixels, so the row profile no longer
// parts the lines and the analysis loses most of the text.  The caller's
// image is never changed (the program rightly does not deskew what the user
// holds): the copy is made inside the call, on a canvas large enough that
// nothing of the page is cut off, and turned about the page's centre by
// sampling, so that the map between the two stays exact.  Fields and lines
// are mapped back as the box around their turned corners (they cover all
// their text); character records as their centre, keeping their size (a
// character box stays over its character).  Sfld holds the caller's
// coordinates between calls, as on a level page; the straightened
// rectangles are remembered record by record so that GetRecg reads exactly
// the lines the layout found.
//
// Pages whose estimate is under kStraightenFromDegrees take the path they
// always took, so their results do not change at all; beyond the largest
// skew the correction trusts (9 degrees) the estimate is more likely a
// misreading and the page is left as it is, too.  So is a page whose
// straightened copy does not show its lines (or columns) more sharply than
// the page itself: the estimate misread a level page.
#pragma once

#include "layout/records.h"
#include "layout/vulay30.h"

#include <vector>

namespace layout {

inline constexpr double kStraightenFromDegrees = 0.3;

// The map between the caller's page (width x height) and the canvas of the
// straightened copy, turned by `degrees` (positive when the page's lines
// descend to the right).
struct StraightFrame {
  double degrees = 0;
  int width = 0, height = 0;
  int canvasWidth = 0, canvasHeight = 0;

  static StraightFrame make(double degrees, int width, int height);
  void toCaller(double x, double y, double* cx, double* cy) const;
  void toStraight(double x, double y, double* sx, double* sy) const;
  // The box around the turned rectangle, clipped to the target's area.
  Rect16 boxToCaller(const Rect16& r) const;
  Rect16 boxToStraight(const Rect16& r) const;
  // The rectangle of the same size about the turned centre.
  Rect16 centreToCaller(const Rect16& r) const;
  // The straightened copy of a caller's page (1 is ink, rows of
  // paddedRowBytes(canvasWidth)).
  std::vector<std::uint8_t> straighten(const ImageDesc& page) const;
};

// Statuses as GetLayout's.
short straight_layout(userfld** list, const ParamBlock* params, const char* templateFolder, short templateNumber);
// Statuses as GetRecg's.
short straight_recognize(void* window, const ParamBlock* params, VuRecgResult* result,
                         const VuRecgDisplay* display);
void drop_straight_frame();
// How sharply a page's ink falls into rows or columns: the sum of squared
// steps between neighbouring rows' (columns') ink counts, the larger of the
// two.  Text lines turned level give steep steps at their edges.
double profile_sharpness(const ImageDesc& image);
// The skew the last layout straightened, or 0 when it took the plain path.
double straightened_degrees();

}  // namespace layout
