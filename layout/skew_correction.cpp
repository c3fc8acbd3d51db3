// Skew correction drivers; see skew_correction.h.
#include "layout/skew_correction.h"

#include "layout/bit_image.h"
#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/skew_estimate.h"
#include "layout/skew_paper_direction.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

using namespace layout;

namespace {

constexpr int kHalfMarginPixels = 16;

// The code for an estimate: 2 when a correction is due.
short judge(short estimate, double angle) {
  if (estimate == -1) return kSkewFailed;
  if (estimate == 0) return kSkewNoEstimate;
  if (angle < -kMostSkewDegrees || angle > kMostSkewDegrees) return kSkewTooLarge;
  if (angle > -kLeastSkewDegrees && angle < kLeastSkewDegrees) return kSkewTooSmall;
  return kSkewRotated;
}

// Rotates by `angle` in steps of at most 5 degrees.  With `leaveRemainder`
// a remainder under 0.4 degrees after a full step is left, as too small to
// correct.  Returns the rotation made.
double rotateInSteps(ImageDesc* image, double angle, bool leaveRemainder) {
  double made = 0;
  const double sign = angle > 0 ? 1.0 : -1.0;
  double left = std::fabs(angle);
  for (;;) {
    if (left <= kRotationStepDegrees) {
      rotate_small_angle(image, sign * left);
      made += sign * left;
      break;
    }
    rotate_small_angle(image, sign * kRotationStepDegrees);
    made += sign * kRotationStepDegrees;
    left -= kRotationStepDegrees;
    if (leaveRemainder && left < kLeastSkewDegrees) break;
  }
  return made;
}

void setAngle(double* out, double value) {
  if (out != nullptr) *out = value;
}

Rect16 ordered(const Rect16& r, const ImageDesc* page) {
  Rect16 o;
  o.left = static_cast<std::int16_t>(std::clamp<int>(std::min(r.left, r.right), 0, page->widthPixels() - 1));
  o.right = static_cast<std::int16_t>(std::clamp<int>(std::max(r.left, r.right), 0, page->widthPixels() - 1));
  o.top = static_cast<std::int16_t>(std::clamp<int>(std::min(r.top, r.bottom), 0, page->height - 1));
  o.bottom = static_cast<std::int16_t>(std::clamp<int>(std::max(r.top, r.bottom), 0, page->height - 1));
  return o;
}

}  // namespace

short auto_rotate_page_work(ImageDesc* page, short orderHint, short direction, short mode, double* angle) {
  setAngle(angle, 0);
  if (mode != 0) return kSkewTooSmall;
  if (page->bits == nullptr) return kSkewNoImage;
  double estimate = 0;
  const short status = estimate_skew(page, 1, &estimate, orderHint, direction);
  const short code = judge(status, estimate);
  if (code == kSkewFailed || code == kSkewNoEstimate) return code;
  if (code != kSkewRotated) {
    setAngle(angle, estimate);
    return code;
  }
  // The caller learns the rotation that was made, not what the steps left.
  setAngle(angle, rotateInSteps(page, estimate, true));
  return code;
}

short auto_rotate_page(ImageDesc* page, short orderHint, short direction) {
  return auto_rotate_page_work(page, orderHint, direction, 0, nullptr);
}

short auto_rotate_rect(ImageDesc* page, const Rect16* rect, short orderHint, short direction, double* angle) {
  setAngle(angle, 0);
  if (page->bits == nullptr || page->bytesPerRow == 0 || page->height == 0) return kSkewNoImage;
  // Cut out and put back at the same place, whatever corner order the
  // caller used.
  const Rect16 area = ordered(*rect, page);
  ImageDesc work;
  if (crop_bytes(page, &area, &work) != kStatusDone) return kSkewFailed;
  struct Free {
    ImageDesc& image;
    ~Free() { std::free(image.bits); }
  } freeWork{work};
  double estimate = 0;
  const short status = estimate_skew(&work, 1, &estimate, orderHint, direction);
  const short code = judge(status, estimate);
  if (code != kSkewRotated) {
    if (code == kSkewTooSmall || code == kSkewTooLarge) setAngle(angle, estimate);
    return code;
  }
  setAngle(angle, rotateInSteps(&work, estimate, false));
  if (paste_bytes(&work, page, BytePos{area.left, area.top}) != kStatusDone) return kSkewNoImage;
  return kSkewRotated;
}

short auto_rotate_halves(ImageDesc* page, short orderHint, short direction) {
  if (page->bits == nullptr) return kSkewNoImage;
  const int width = page->widthPixels();
  const int half = width / 2;
  const Rect16 leftHalf{0, 0, static_cast<std::int16_t>(std::min(width - 1, half + kHalfMarginPixels)),
                        static_cast<std::int16_t>(page->height - 1)};
  const Rect16 rightHalf{static_cast<std::int16_t>(std::max(0, half - kHalfMarginPixels)), 0,
                         static_cast<std::int16_t>(width - 1), static_cast<std::int16_t>(page->height - 1)};
  const short left = auto_rotate_rect(page, &leftHalf, orderHint, direction, nullptr);
  if (left == kSkewFailed || left == kSkewNoEstimate || left == kSkewTooLarge) return left;
  const short right = auto_rotate_rect(page, &rightHalf, orderHint, direction, nullptr);
  if (right == kSkewFailed) return right;
  return left == kSkewRotated ? kSkewRotated : right;
}

short auto_rotate_export(const ParamBlock* params, short mode, const Rect16* area, short* angleTenths,
                         short* centreX, short* centreY) {
  ImageDesc& page = layoutState().images[0];
  // A table-form region leans on its rules first; anything else on its
  // characters.
  const short hint = params != nullptr && params->byte(ParamBlock::kForm) == 255 ? -1 : 1;
  const short direction = params != nullptr ? params->byte(ParamBlock::kDirection) : 3;
  double angle = 0;
  short code;
  int cx = page.bytesPerRow / 2 * 8;
  int cy = page.height / 2;
  if (area != nullptr && page.bits != nullptr && page.bytesPerRow > 0 && page.height > 0) {
    const Rect16 r = ordered(*area, &page);
    const int bytes = r.right / 8 - r.left / 8 + 1;
    cx = r.left / 8 * 8 + bytes / 2 * 8;
    cy = r.top + (r.bottom - r.top + 1) / 2;
    code = auto_rotate_rect(&page, area, hint, direction, &angle);
  } else if (area != nullptr) {
    code = auto_rotate_rect(&page, area, hint, direction, &angle);
  } else {
    code = auto_rotate_page_work(&page, hint, direction, mode, &angle);
  }
  if (angleTenths != nullptr) *angleTenths = static_cast<short>(std::lround(angle * 10.0));
  if (centreX != nullptr) *centreX = static_cast<short>(cx);
  if (centreY != nullptr) *centreY = static_cast<short>(cy);
  return code;
}

short auto_rotate_paper_export() { return auto_rotate_paper(&layoutState().images[0], 0); }
