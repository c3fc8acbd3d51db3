// The projection search and the component sampling of the skew estimates;
// see skew_fit.h.
#include "layout/skew_fit.h"

#include "layout/layout_status.h"
#include "layout/parameter_tables.h"
#include "layout/pixel_groups.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <vector>

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

// Sampling limits.
constexpr int kComponentTarget = 401;
constexpr int kLeastComponents = 10;
constexpr int kCellEdgePixels = 16;          // components must lie this far inside their cell

// Millimetre sizes of the steps.
constexpr int kMergeScanMm = 2;
constexpr int kMergeGapTenths = 2;           // 0.2 mm
constexpr int kCellInsetMm = 1;

// Rotation-set entries (parameter_tables.h).
constexpr int kParamLargestChar = 1;         // 9 mm
constexpr int kParamComponentLimit = 2;      // 1.4 mm

}  // namespace

int skewBandCount(int size, int wanted, int least) {
  if (size < least) return 1;
  if (size / wanted < least) return std::max(1, size / least);
  return wanted;
}

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
  cells.columns = skewBandCount(width, columns, std::max(1, minWidth));
  cells.rows = skewBandCount(height, rows, std::max(1, minHeight));
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

short fit_component_skew(const ImageDesc* image, double* angle, bool vertical) {
  if (image->bits == nullptr) return layout::kSkewNoEstimate;
  const int dpi = image->dpi;
  scale_rotation_params(1, dpi);
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
        return layout::kSkewFailed;
      }
      gathered = count_rects(page);
    }
  }
  if (gathered < layout::kLeastComponents) {
    free_rect_list(&page);
    return layout::kSkewNoEstimate;
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
    return layout::kSkewFailed;
  }
  free_rect_list(&page);
  if (fit_skew_angle(angle, centres.data(), static_cast<int>(centres.size()), 80.0, 100.0, 0.1) !=
      layout::kStatusDone)
    return layout::kSkewFailed;
  return layout::kSkewFound;
}
