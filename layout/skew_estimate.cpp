// Skew estimation; see skew_estimate.h.
#include "layout/skew_estimate.h"

#include "layout/layout_status.h"
#include "layout/parameter_tables.h"
#include "layout/pixel_groups.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"
#include "layout/skew_writing_direction.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <new>

namespace layout {
namespace {

constexpr double kPi = 3.1415926535;

// Six decimals, as the table was always kept; the entry at 90 degrees keeps a
// cosine of 0.000001 so that a level page reads as a hair below zero.
struct DirectionTable {
  std::array<double, kSkewDirections> sin{};
  std::array<double, kSkewDirections> cos{};
  DirectionTable() {
    for (int k = 0; k < kSkewDirections; ++k) {
      const double theta = (80.0 + 0.1 * k) * kPi / 180.0;
      sin[static_cast<std::size_t>(k)] = std::round(std::sin(theta) * 1e6) / 1e6;
      cos[static_cast<std::size_t>(k)] = std::round(std::cos(theta) * 1e6) / 1e6;
    }
    cos[100] = 0.000001;
  }
};

const DirectionTable& table() {
  static const DirectionTable t;
  return t;
}

// Estimate statuses.
constexpr short kFound = 1;
constexpr short kNoEstimate = 0;
constexpr short kFailed = -1;

// Sampling limits.
constexpr int kContourSampleTarget = 1001;
constexpr int kComponentTarget = 401;
constexpr int kLeastComponents = 10;
constexpr int kCellEdgePixels = 16;          // components must lie this far inside their cell

// Millimetre sizes of the steps.
constexpr int kBandMm = 10;                  // strips are at least this high / wide
constexpr int kBandMarginMm = 3;
constexpr int kSampleStepMm = 3;             // one outline sample every 3 mm
constexpr int kHorizontalBands = 40;
constexpr int kVerticalBands = 20;
constexpr int kMergeScanMm = 2;
constexpr int kMergeGapTenths = 2;           // 0.2 mm
constexpr int kCellInsetMm = 1;

// Rotation-set entries (parameter_tables.h).
constexpr int kParamLargestChar = 1;         // 9 mm
constexpr int kParamComponentLimit = 2;      // 1.4 mm
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

int bandCount(int size, int wanted, int least) {
  if (size < least) return 1;
  if (size / wanted < least) return std::max(1, size / least);
  return wanted;
}

}  // namespace

double skewSin(int k) { return table().sin[static_cast<std::size_t>(k)]; }
double skewCos(int k) { return table().cos[static_cast<std::size_t>(k)]; }

Rect16 SkewCells::cell(int column, int row) const {
  Rect16 r;
  r.left = static_cast<std::int16_t>(column * cellWidth + inset);
  r.right = static_cast<std::int16_t>((column + 1) * cellWidth - 1 - inset);
  r.top = static_cast<std::int16_t>(row * cellHeight + inset);
  r.bottom = static_cast<std::int16_t>((row + 1) * cellHeight - 1 - inset);
  return r;
}

SkewCells skew_cells(const ImageDesc* image, int columns, int minWidth, int rows, int minHeight, int inset) {
  SkewCells cells;
  const int width = image->widthPixels();
  const int height = image->height;
  cells.columns = bandCount(width, columns, std::max(1, minWidth));
  cells.rows = bandCount(height, rows, std::max(1, minHeight));
  cells.cellWidth = width / cells.columns;
  cells.cellHeight = height / cells.rows;
  cells.inset = inset;
  return cells;
}

}  // namespace layout

using layout::skewMm;
using layout::skewTenthMm;

short fit_skew_angle(double* angle, const SkewPoint* points, int count, double from, double to, double step) {
  const int first = std::clamp(static_cast<int>(std::lround((from - 80.0) * 10.0)), 0, layout::kSkewDirections - 1);
  const int last = std::clamp(static_cast<int>(std::lround((to - 80.0) * 10.0)), 0, layout::kSkewDirections - 1);
  const int stride = std::max(1, static_cast<int>(std::lround(step * 10.0)));
  int best = first;
  int bestPeak = -1;
  try {
    std::vector<int> projected(static_cast<std::size_t>(std::max(count, 0)));
    std::vector<int> profile;
    // Whole steps of the table: adding 0.1 to a double would skip the last
    // direction and try the first one twice.
    for (int k = first; k <= last; k += stride) {
      const double c = layout::skewCos(k);
      const double s = layout::skewSin(k);
      int lo = 0;
      int hi = -1;
      for (int i = 0; i < count; ++i) {
        const int p = static_cast<int>(points[i].x * c + points[i].y * s);
        projected[static_cast<std::size_t>(i)] = p;
        if (i == 0 || p < lo) lo = p;
        if (i == 0 || p > hi) hi = p;
      }
      profile.assign(static_cast<std::size_t>(hi - lo + 1), 0);
      int peak = 0;
      for (int i = 0; i < count; ++i) peak = std::max(peak, ++profile[static_cast<std::size_t>(projected[static_cast<std::size_t>(i)] - lo)]);
      if (peak > bestPeak) {
        bestPeak = peak;
        best = k;
      }
    }
  } catch (const std::bad_alloc&) {
    return layout::kStatusNoMemory;
  }
  *angle = std::atan(-layout::skewCos(best) / layout::skewSin(best)) * 180.0 / layout::kPi;
  return layout::kStatusDone;
}

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
  if (image->bits == nullptr) return layout::kNoEstimate;
  const int dpi = image->dpi;
  const int band = skewMm(layout::kBandMm, dpi);
  const int margin = skewMm(layout::kBandMarginMm, dpi);
  const int step = std::max(1, skewMm(layout::kSampleStepMm, dpi));
  const int width = image->widthPixels();
  const int height = image->height;
  const int hBands = layout::bandCount(height, layout::kHorizontalBands, std::max(1, band));
  const int vBands = layout::bandCount(width, layout::kVerticalBands, std::max(1, band));
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
      if (trace_strip_contours(image, &strip, scale, &contours) != layout::kStatusDone) return layout::kFailed;
      layout::contourSamples(contours, before, step, horizontal, samples);
    }
  } catch (const std::bad_alloc&) {
    return layout::kFailed;
  }
  if (samples.empty()) return layout::kNoEstimate;
  if (fit_skew_angle(angle, samples.data(), static_cast<int>(samples.size()), 80.0, 100.0, 0.1) !=
      layout::kStatusDone)
    return layout::kFailed;
  return layout::kFound;
}

void merge_near_components(rect_record* list, int scanLimit, int gap) {
  if (layout::ringEmpty(list)) return;
  sort_rects_by_top(list);
  auto near = [gap](const rect_record* a, const rect_record* b) {
    return a->left - gap <= b->right && b->left <= a->right + gap && a->top - gap <= b->bottom &&
           b->top <= a->bottom + gap;
  };
  auto absorb = [](rect_record* a, rect_record* b) {
    a->left = std::min(a->left, b->left);
    a->top = std::min(a->top, b->top);
    a->right = std::max(a->right, b->right);
    a->bottom = std::max(a->bottom, b->bottom);
    drop_rect(b);
  };
  for (rect_record* a = list->next; a != list; a = a->next) {
    for (rect_record* b = a->next; b != list;) {
      if (b->top > a->bottom + scanLimit) break;
      if (near(a, b)) {
        absorb(a, b);
        b = a->next;  // A grew: look again from its neighbour
      } else {
        b = b->next;
      }
    }
    for (rect_record* b = a->prev; b != list;) {
      if (a->top > b->bottom + scanLimit) break;
      if (near(a, b)) {
        absorb(a, b);
        b = a->prev;
      } else {
        b = b->prev;
      }
    }
  }
}

void keep_square_components(rect_record* list) {
  if (layout::ringEmpty(list)) return;
  for (rect_record* r = list->next; r != list; r = r->next) {
    const int w = r->right - r->left + 1;
    const int h = r->bottom - r->top + 1;
    if (w * 100 > h * 150 || h * 100 > w * 150) r = drop_rect(r);
  }
}

namespace layout {
namespace {

// The character-sized components of one cell, moved to `page`.
short collect_cell_components(const ImageDesc* image, const Rect16& cell, rect_record** page) {
  const int dpi = image->dpi;
  const auto& params = parameterTables().rotation;
  rect_record* list = nullptr;
  if (group_pixels(&list, image, &cell, 1, params(kParamComponentLimit)) == kStatusNoMemory) {
    free_rect_list(&list);
    return kStatusNoMemory;
  }
  merge_near_components(list, skewMm(kMergeScanMm, dpi), skewTenthMm(kMergeGapTenths, dpi));
  keep_square_components(list);
  const int largest = params(kParamLargestChar);
  if (!ringEmpty(list)) {
    for (rect_record* r = list->next; r != list; r = r->next) {
      const bool tooLarge = r->right - r->left + 1 > largest && r->bottom - r->top + 1 > largest;
      const bool atEdge = r->left - cell.left <= kCellEdgePixels || r->top - cell.top <= kCellEdgePixels ||
                          cell.right - r->right <= kCellEdgePixels || cell.bottom - r->bottom <= kCellEdgePixels;
      if (tooLarge || atEdge) r = drop_rect(r);
    }
  }
  short status = kStatusDone;
  if (!ringEmpty(list)) status = move_rect_list(&list, page);
  free_rect_list(&list);
  return status;
}

}  // namespace
}  // namespace layout

short estimate_skew_components(const ImageDesc* image, int scale, double* angle, short direction) {
  (void)scale;
  if (image->bits == nullptr) return layout::kNoEstimate;
  if (direction == 2 || direction == 3) {
    short voted = 0;
    if (vote_writing_direction(image, &voted) != layout::kStatusDone) return layout::kFailed;
    direction = voted;
  }
  const int dpi = image->dpi;
  scale_rotation_params(1, dpi);
  const bool vertical = direction == 1;
  const int inset = skewMm(layout::kCellInsetMm, dpi);
  const layout::SkewCells cells =
      vertical ? layout::skew_cells(image, 13, skewMm(15, dpi), 5, skewMm(30, dpi), inset)
               : layout::skew_cells(image, 5, skewMm(30, dpi), 13, skewMm(15, dpi), inset);
  rect_record* page = nullptr;
  int gathered = 0;
  const int outer = vertical ? cells.columns : cells.rows;
  const int inner = vertical ? cells.rows : cells.columns;
  for (int a = 0; a < outer && gathered < layout::kComponentTarget; ++a) {
    for (int b = 0; b < inner && gathered < layout::kComponentTarget; ++b) {
      const Rect16 cell = vertical ? cells.cell(a, b) : cells.cell(b, a);
      if (layout::collect_cell_components(image, cell, &page) != layout::kStatusDone) {
        free_rect_list(&page);
        return layout::kFailed;
      }
      gathered = count_rects(page);
    }
  }
  if (gathered < layout::kLeastComponents) {
    free_rect_list(&page);
    return layout::kNoEstimate;
  }
  std::vector<SkewPoint> centres;
  try {
    centres.reserve(static_cast<std::size_t>(gathered));
    for (const rect_record* r = page->next; r != page; r = r->next) {
      const auto cx = static_cast<std::int16_t>((r->left + r->right) / 2);
      const auto cy = static_cast<std::int16_t>((r->top + r->bottom) / 2);
      centres.push_back(vertical ? SkewPoint{cy, static_cast<std::int16_t>(-cx)} : SkewPoint{cx, cy});
    }
  } catch (const std::bad_alloc&) {
    free_rect_list(&page);
    return layout::kFailed;
  }
  free_rect_list(&page);
  if (fit_skew_angle(angle, centres.data(), static_cast<int>(centres.size()), 80.0, 100.0, 0.1) !=
      layout::kStatusDone)
    return layout::kFailed;
  return layout::kFound;
}

short estimate_skew(const ImageDesc* image, int scale, double* angle, short orderHint, short direction) {
  if (image->dpi > 0) scale_rotation_params(1, image->dpi);
  short status;
  if (orderHint == -1) {
    status = estimate_skew_contours(image, scale, angle);
    if (status == layout::kNoEstimate) status = estimate_skew_components(image, scale, angle, direction);
  } else {
    status = estimate_skew_components(image, scale, angle, direction);
    if (status == layout::kNoEstimate) status = estimate_skew_contours(image, scale, angle);
  }
  return status;
}
