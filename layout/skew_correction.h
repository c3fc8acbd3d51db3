// Skew correction: estimate, decide, and rotate the page (or a rectangle of
// it) in place.
//
//   auto_rotate_page        the whole page (AutoRotate)
//   auto_rotate_page_work   the whole page, with the angle (AutoRotateEx)
//   auto_rotate_rect        one rectangle: cut out, straightened, put back
//   auto_rotate_halves      the left half, then the right half
//   auto_rotate_export      the exports' work on the held page
//   auto_rotate_paper_export
//
// The rotation is two shears (rotate_small_angle), which lose accuracy
// beyond about 6 degrees, so larger angles are turned in steps of at most
// 5 degrees.  A correction is made only for a skew of 0.4 to 9 degrees
// either way: below that the page is as straight as the estimate can tell,
// above it the estimate is more likely a misreading than a real skew, and a
// page turned by a wrong angle is worse than one left alone.
#pragma once

#include "layout/records.h"

namespace layout {

// Result codes of the correction drivers.
inline constexpr short kSkewFailed = -1;        // memory, or the crop failed
inline constexpr short kSkewNoEstimate = 0;
inline constexpr short kSkewTooSmall = 1;       // under 0.4 degrees, nothing done
inline constexpr short kSkewRotated = 2;
inline constexpr short kSkewNoImage = 3;        // no bits (or a rectangle could not be put back)
inline constexpr short kSkewTooLarge = 4;       // beyond 9 degrees, nothing done

inline constexpr double kLeastSkewDegrees = 0.4;
inline constexpr double kMostSkewDegrees = 9.0;
inline constexpr double kRotationStepDegrees = 5.0;

}  // namespace layout

short auto_rotate_page(ImageDesc* page, short orderHint, short direction);
// `angle` (may be null): the rotation made when the code is 2, the estimate
// when it is 1 or 4, else 0.
short auto_rotate_page_work(ImageDesc* page, short orderHint, short direction, short mode, double* angle);
// `angle` (may be null) as above.
short auto_rotate_rect(ImageDesc* page, const Rect16* rect, short orderHint, short direction, double* angle);
short auto_rotate_halves(ImageDesc* page, short orderHint, short direction);

// The hook table's entries for AutoRotate / AutoRotateEx and AutoRotatePaper.
short auto_rotate_export(const ParamBlock* params, short mode, const Rect16* area, short* angleTenths,
                         short* centreX, short* centreY);
short auto_rotate_paper_export();
