// Writing-direction vote; see skew_writing_direction.h.
#include "layout/skew_writing_direction.h"

#include "layout/layout_status.h"
#include "layout/pixel_groups.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"
#include "layout/skew_fit.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

namespace {

using layout::skewMm;
using layout::skewTenthMm;

constexpr int kColumns = 5;
constexpr int kColumnMm = 30;
constexpr int kRows = 10;
constexpr int kRowMm = 15;
constexpr int kInsetMm = 1;
constexpr int kComponentTenths = 5;      // components from 0.5 mm
constexpr int kMergeScanMm = 2;
constexpr int kMergeGapTenths = 2;
constexpr int kLargestMm = 10;           // larger components are not characters
constexpr int kLeastComponents = 12;     // a cell with fewer does not vote
constexpr double kDecisiveLead = 1.0;
constexpr int kMostCells = 16;
constexpr int kProfilePeakPercent = 20;
constexpr int kShortestGapTenths = 6;    // a line gap is longer than 0.6 mm
constexpr int kLongestGapMm = 4;         // and shorter than 4 mm
constexpr int kLeastGaps = 3;

// The gap score along one axis: `along` picks the component's extent along
// the profile, `weight` the extent it adds.
template <typename Along, typename Weight>
short gapScore(double* score, const rect_record* components, int from, int to, int across, int dpi,
               Along along, Weight weight) {
  *score = 0;
  const int length = to - from + 1;
  if (length <= 0) return layout::kStatusDone;
  std::vector<int> profile;
  try {
    profile.assign(static_cast<std::size_t>(length), 0);
  } catch (const std::bad_alloc&) {
    return layout::kStatusNoMemory;
  }
  if (components != nullptr) {
    for (const rect_record* r = components->next; r != components; r = r->next) {
      const auto [lo, hi] = along(*r);
      for (int p = std::max(lo, from); p <= std::min(hi, to); ++p)
        profile[static_cast<std::size_t>(p - from)] += weight(*r);
    }
  }
  const int peak = *std::max_element(profile.begin(), profile.end());
  if (peak < across * kProfilePeakPercent / 100) return layout::kStatusDone;
  const int shortest = skewTenthMm(kShortestGapTenths, dpi);
  const int longest = skewMm(kLongestGapMm, dpi);
  int gaps = 0;
  int sum = 0;
  int run = 0;
  for (int i = 0; i <= length; ++i) {
    if (i < length && profile[static_cast<std::size_t>(i)] == 0) {
      ++run;
      continue;
    }
    if (run > shortest && run < longest) {
      ++gaps;
      sum += run;
    }
    run = 0;
  }
  if (gaps >= kLeastGaps) *score = static_cast<double>(sum) / length;
  return layout::kStatusDone;
}

}  // namespace

short row_gap_score(double* score, const rect_record* components, const Rect16* cell, const ImageDesc* image,
                    double slope) {
  // Lines that slope by `slope` (rows per column) are followed across the
  // cell: a component is taken at the row its line has at the cell's centre.
  const int centre = (cell->left + cell->right) / 2;
  auto shift = [centre, slope](const rect_record& r) {
    return static_cast<int>(std::lround(((r.left + r.right) / 2 - centre) * slope));
  };
  return gapScore(
      score, components, cell->top, cell->bottom, cell->right - cell->left + 1, image->dpi,
      [&](const rect_record& r) { return std::pair<int, int>(r.top - shift(r), r.bottom - shift(r)); },
      [](const rect_record& r) { return r.right - r.left + 1; });
}

short column_gap_score(double* score, const rect_record* components, const Rect16* cell, const ImageDesc* image,
                       double slope) {
  const int centre = (cell->top + cell->bottom) / 2;
  auto shift = [centre, slope](const rect_record& r) {
    return static_cast<int>(std::lround(((r.top + r.bottom) / 2 - centre) * slope));
  };
  return gapScore(
      score, components, cell->left, cell->right, cell->bottom - cell->top + 1, image->dpi,
      [&](const rect_record& r) { return std::pair<int, int>(r.left + shift(r), r.right + shift(r)); },
      [](const rect_record& r) { return r.bottom - r.top + 1; });
}

short vote_writing_direction(const ImageDesc* image, short* direction) {
  *direction = 0;
  if (image->bits == nullptr) return layout::kStatusDone;
  // The slope of rows if the page is written in rows, and of columns if in
  // columns: on a skewed page the white gaps run along these, and a profile
  // taken straight across a cell would see none of them.
  double rowAngle = 0;
  double columnAngle = 0;
  const short rows = fit_component_skew(image, &rowAngle, false);
  const short columns = fit_component_skew(image, &columnAngle, true);
  if (rows == layout::kSkewFailed || columns == layout::kSkewFailed) return layout::kStatusNoMemory;
  const double rowSlope = rows == layout::kSkewFound ? std::tan(rowAngle * M_PI / 180.0) : 0.0;
  const double columnSlope = columns == layout::kSkewFound ? std::tan(columnAngle * M_PI / 180.0) : 0.0;
  const int dpi = image->dpi;
  const layout::SkewCells cells =
      layout::skew_cells(image, kColumns, skewMm(kColumnMm, dpi), kRows, skewMm(kRowMm, dpi), skewMm(kInsetMm, dpi));
  const int largest = skewMm(kLargestMm, dpi);
  double h = 0;
  double v = 0;
  int counted = 0;
  for (int row = 0; row < cells.rows; ++row) {
    for (int column = 0; column < cells.columns; ++column) {
      const Rect16 cell = cells.cell(column, row);
      short kind = 0;
      classify_region(&kind, image, &cell);
      if (kind == layout::kKindFigure) continue;
      rect_record* list = nullptr;
      if (group_pixels(&list, image, &cell, 1, skewTenthMm(kComponentTenths, dpi)) == layout::kStatusNoMemory) {
        free_rect_list(&list);
        return layout::kStatusNoMemory;
      }
      merge_near_components(list, skewMm(kMergeScanMm, dpi), skewTenthMm(kMergeGapTenths, dpi));
      if (!layout::ringEmpty(list)) {
        for (rect_record* r = list->next; r != list; r = r->next)
          if (r->right - r->left + 1 > largest || r->bottom - r->top + 1 > largest) r = drop_rect(r);
      }
      if (count_rects(list) >= kLeastComponents) {
        double rowScore = 0;
        double columnScore = 0;
        if (row_gap_score(&rowScore, list, &cell, image, rowSlope) != layout::kStatusDone ||
            column_gap_score(&columnScore, list, &cell, image, columnSlope) != layout::kStatusDone) {
          free_rect_list(&list);
          return layout::kStatusNoMemory;
        }
        h += rowScore;
        v += columnScore;
        ++counted;
        if (std::fabs(h - v) >= kDecisiveLead || counted >= kMostCells) {
          free_rect_list(&list);
          *direction = h < v ? 1 : 0;
          return layout::kStatusDone;
        }
      }
      free_rect_list(&list);
    }
  }
  *direction = h < v ? 1 : 0;
  return layout::kStatusDone;
}
