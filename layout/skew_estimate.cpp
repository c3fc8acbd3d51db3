// Skew estimation; see skew_estimate.h.
#include "layout/skew_estimate.h"

#include "layout/layout_status.h"
#include "layout/parameter_tables.h"
#include "layout/skew_fit.h"
#include "layout/skew_writing_direction.h"

#include <algorithm>
#include <cstdio>
#include <new>

namespace layout {
namespace {

// Sampling limits.
constexpr int kContourSampleTarget = 1001;

// Millimetre sizes of the steps.
constexpr int kBandMm = 10;                  // strips are at least this high / wide
constexpr int kBandMarginMm = 3;
constexpr int kSampleStepMm = 3;             // one outline sample every 3 mm
constexpr int kHorizontalBands = 40;
constexpr int kVerticalBands = 20;

// Rotation-set entries (parameter_tables.h).
constexpr int kParamSmallShape = 4;          // 10 mm
constexpr int kParamShortestContour = 5;     // 20 mm

constexpr int kDx[8] = {1, 1, 0, -1, -1, -1, 0, 1};
constexpr int kDy[8] = {0, -1, -1, -1, 0, 1, 1, 1};

// A strip copied out of the page with a white frame, so that neighbour
// lookups never leave it; `marks` is a second image of the same size.
struct StripImage {
  std::vector<std::uint8_t> bits;
  std::vector<std::uint8_t> marks;
  int bytesPerRow = 0;
  int height = 0;
  int originX = 0;  // page x of work column 0
  int originY = 0;  // page y of work row 0

  bool at(const std::vector<std::uint8_t>& img, int x, int y) const {
    return (img[static_cast<std::size_t>(y) * bytesPerRow + (x >> 3)] >> (7 - (x & 7))) & 1;
  }
  bool ink(int x, int y) const { return at(bits, x, y); }
  bool marked(int x, int y) const { return at(marks, x, y); }
  void mark(int x, int y) {
    marks[static_cast<std::size_t>(y) * bytesPerRow + (x >> 3)] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
  }
};

// Copies the page pixels of `r` (already clipped) into a work image with one
// blank byte on each side and one blank row above and below.
void copyStrip(const ImageDesc* image, const Rect16& r, StripImage& strip) {
  const int firstByte = r.left / 8;
  const int lastByte = r.right / 8;
  strip.bytesPerRow = lastByte - firstByte + 1 + 2;
  strip.height = r.bottom - r.top + 1 + 2;
  strip.originX = (firstByte - 1) * 8;
  strip.originY = r.top - 1;
  const std::size_t size = static_cast<std::size_t>(strip.bytesPerRow) * strip.height;
  strip.bits.assign(size, 0);
  strip.marks.assign(size, 0);
  const auto firstMask = static_cast<std::uint8_t>(0xFF >> (r.left & 7));
  const auto lastMask = static_cast<std::uint8_t>(0xFF << (7 - (r.right & 7)));
  for (int y = r.top; y <= r.bottom; ++y) {
    const std::uint8_t* src = image->bits + static_cast<std::size_t>(y) * image->bytesPerRow + firstByte;
    std::uint8_t* dst = strip.bits.data() + static_cast<std::size_t>(y - r.top + 1) * strip.bytesPerRow + 1;
    std::copy(src, src + (lastByte - firstByte + 1), dst);
    dst[0] &= firstMask;
    dst[lastByte - firstByte] &= lastMask;
  }
}

struct TraceResult {
  int count = 0;  // codes kept
  int left, top, right, bottom;
};

// Follows the outline from (sx, sy): at each pixel the search for the next
// one starts just past the direction back to where the trace came from and
// turns counter-clockwise.  The trace ends after it leaves the start pixel a
// second time in its first direction (Jacob's stopping rule), with a step
// limit as a guard.
TraceResult trace_contour(StripImage& strip, int sx, int sy, int direction, std::uint8_t* codes) {
  TraceResult t{0, sx, sy, sx, sy};
  int x = sx;
  int y = sy;
  int d = direction;
  int firstMove = -1;
  const long limit = 4L * strip.bytesPerRow * 8 * strip.height + 16;
  for (long steps = 0; steps < limit; ++steps) {
    strip.mark(x, y);
    d = (d + 4) & 7;
    int tries = 0;
    do {
      d = (d + 1) & 7;
    } while (!strip.ink(x + kDx[d], y + kDy[d]) && ++tries < 8);
    if (tries >= 8) break;  // a lone pixel: nothing to follow
    const bool ends = x == sx && y == sy && firstMove >= 0 && d == firstMove;
    if (firstMove < 0) firstMove = d;
    x += kDx[d];
    y += kDy[d];
    if (t.count < kMaxChainCodes) codes[t.count++] = static_cast<std::uint8_t>(d);
    t.left = std::min(t.left, x);
    t.right = std::max(t.right, x);
    t.top = std::min(t.top, y);
    t.bottom = std::max(t.bottom, y);
    if (ends) break;
  }
  return t;
}

void fillMarks(StripImage& strip, const TraceResult& t) {
  for (int y = t.top; y <= t.bottom; ++y)
    for (int x = t.left; x <= t.right; ++x) strip.mark(x, y);
}

// A contour starts at an unmarked ink pixel with a white 4-neighbour and an
// ink 8-neighbour.  The entry direction points to where the trace "came
// from" so that the first search starts against the white side.
int startDirection(const StripImage& s, int x, int y) {
  if (!s.ink(x, y + 1)) return 6;
  if (!s.ink(x - 1, y)) return 4;
  if (!s.ink(x, y - 1)) return 2;
  return 0;
}

bool canStart(const StripImage& s, int x, int y) {
  if (s.marked(x, y)) return false;
  const bool white4 = !s.ink(x + 1, y) || !s.ink(x, y - 1) || !s.ink(x - 1, y) || !s.ink(x, y + 1);
  if (!white4) return false;
  for (int d = 0; d < 8; ++d)
    if (s.ink(x + kDx[d], y + kDy[d])) return true;
  return false;
}

// Samples along every contour: the position after every n-th code.
void contourSamples(const std::vector<SkewContour>& contours, std::size_t from, int step, bool horizontal,
                    std::vector<SkewPoint>& samples) {
  for (std::size_t i = from; i < contours.size(); ++i) {
    const SkewContour& c = contours[i];
    int x = c.x;
    int y = c.y;
    for (std::size_t n = 0; n < c.codes.size(); ++n) {
      x += kDx[c.codes[n]];
      y += kDy[c.codes[n]];
      if ((n + 1) % static_cast<std::size_t>(step) != 0) continue;
      if (horizontal)
        samples.push_back({static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)});
      else
        samples.push_back({static_cast<std::int16_t>(y), static_cast<std::int16_t>(-x)});
    }
  }
}
}  // namespace
}  // namespace layout

using layout::skewMm;

short trace_strip_contours(const ImageDesc* image, const Rect16* rect, int scale,
                           std::vector<SkewContour>* contours) {
  Rect16 r = *rect;
  r.left = std::max<std::int16_t>(r.left, 0);
  r.top = std::max<std::int16_t>(r.top, 0);
  r.right = static_cast<std::int16_t>(std::min(static_cast<int>(r.right), image->widthPixels() - 1));
  r.bottom = static_cast<std::int16_t>(std::min(static_cast<int>(r.bottom), image->height - 1));
  if (r.left > r.right || r.top > r.bottom || image->bits == nullptr) return layout::kStatusDone;

  layout::StripImage strip;
  std::vector<std::uint8_t> chain;
  try {
    chain.resize(layout::kMaxChainCodes);
  } catch (const std::bad_alloc&) {
    std::fputs("Temp_list malloc error !!!\n", stderr);
    return layout::kStatusNoMemory;
  }
  try {
    layout::copyStrip(image, r, strip);
    const int dpi = image->dpi;
    scale_rotation_params(1, dpi);
    const auto& params = layout::parameterTables().rotation;
    const int shortest = params(layout::kParamShortestContour);
    const int smallBox = params(layout::kParamSmallShape);
    for (int y = 1; y < strip.height - 1; ++y) {
      const std::uint8_t* row = strip.bits.data() + static_cast<std::size_t>(y) * strip.bytesPerRow;
      for (int b = 1; b < strip.bytesPerRow - 1; ++b) {
        if (row[b] == 0) continue;
        for (int bit = 0; bit < 8; ++bit) {
          if (!(row[b] & (0x80 >> bit))) continue;
          const int x = b * 8 + bit;
          if (!layout::canStart(strip, x, y)) continue;
          const layout::TraceResult t =
              layout::trace_contour(strip, x, y, layout::startDirection(strip, x, y), chain.data());
          if (t.count * scale <= shortest) continue;
          if ((t.right - t.left + 1) * scale <= smallBox && (t.bottom - t.top + 1) * scale <= smallBox) {
            layout::fillMarks(strip, t);
            continue;
          }
          SkewContour c;
          c.x = static_cast<std::int16_t>(x + strip.originX);
          c.y = static_cast<std::int16_t>(y + strip.originY);
          c.codes.assign(chain.begin(), chain.begin() + t.count);
          contours->push_back(std::move(c));
        }
      }
    }
  } catch (const std::bad_alloc&) {
    return layout::kStatusNoMemory;
  }
  return layout::kStatusDone;
}

short estimate_skew_contours(const ImageDesc* image, int scale, double* angle) {
  if (image->bits == nullptr) return layout::kSkewNoEstimate;
  const int dpi = image->dpi;
  const int band = skewMm(layout::kBandMm, dpi);
  const int margin = skewMm(layout::kBandMarginMm, dpi);
  const int step = std::max(1, skewMm(layout::kSampleStepMm, dpi));
  const int width = image->widthPixels();
  const int height = image->height;
  const int hBands = layout::skewBandCount(height, layout::kHorizontalBands, std::max(1, band));
  const int vBands = layout::skewBandCount(width, layout::kVerticalBands, std::max(1, band));
  const int bandHeight = height / hBands;
  const int bandWidth = width / vBands;
  // The outermost band at the top and at the left is never used.
  const int lastH = hBands - 1 < 2 ? 1 : hBands - 1;
  const int lastV = vBands - 1 <= 1 ? 1 : vBands - 1;

  std::vector<SkewContour> contours;
  std::vector<SkewPoint> samples;
  try {
    int j = 1;
    int k = 1;
    bool horizontalTurn = true;
    while ((j <= lastH || k <= lastV) && static_cast<int>(samples.size()) < layout::kContourSampleTarget) {
      const bool horizontal = (horizontalTurn && j <= lastH) || k > lastV;
      horizontalTurn = !horizontalTurn;
      Rect16 strip;
      if (horizontal) {
        strip.left = static_cast<std::int16_t>(margin);
        strip.right = static_cast<std::int16_t>(width - 1 - margin);
        strip.top = static_cast<std::int16_t>(j * bandHeight);
        strip.bottom = static_cast<std::int16_t>((j + 1) * bandHeight - 1);
        ++j;
      } else {
        strip.top = static_cast<std::int16_t>(margin);
        strip.bottom = static_cast<std::int16_t>(height - 1 - margin);
        strip.left = static_cast<std::int16_t>(k * bandWidth);
        strip.right = static_cast<std::int16_t>((k + 1) * bandWidth - 1);
        ++k;
      }
      const std::size_t before = contours.size();
      if (trace_strip_contours(image, &strip, scale, &contours) != layout::kStatusDone) return layout::kSkewFailed;
      layout::contourSamples(contours, before, step, horizontal, samples);
    }
  } catch (const std::bad_alloc&) {
    return layout::kSkewFailed;
  }
  if (samples.empty()) return layout::kSkewNoEstimate;
  if (fit_skew_angle(angle, samples.data(), static_cast<int>(samples.size()), 80.0, 100.0, 0.1) !=
      layout::kStatusDone)
    return layout::kSkewFailed;
  return layout::kSkewFound;
}
short estimate_skew_components(const ImageDesc* image, int scale, double* angle, short direction) {
  (void)scale;
  if (image->bits == nullptr) return layout::kSkewNoEstimate;
  if (direction == 2 || direction == 3) {
    short voted = 0;
    if (vote_writing_direction(image, &voted) != layout::kStatusDone) return layout::kSkewFailed;
    direction = voted;
  }
  return fit_component_skew(image, angle, direction == 1);
}

short estimate_skew(const ImageDesc* image, int scale, double* angle, short orderHint, short direction) {
  if (image->dpi > 0) scale_rotation_params(1, image->dpi);
  short status;
  if (orderHint == -1) {
    status = estimate_skew_contours(image, scale, angle);
    if (status == layout::kSkewNoEstimate) status = estimate_skew_components(image, scale, angle, direction);
  } else {
    status = estimate_skew_components(image, scale, angle, direction);
    if (status == layout::kSkewNoEstimate) status = estimate_skew_contours(image, scale, angle);
  }
  return status;
}
