// Paper direction; see skew_paper_direction.h.
#include "layout/skew_paper_direction.h"

#include "layout/bit_image.h"
#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/pixel_groups.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"
#include "layout/skew_estimate.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

using layout::skewMm;
using layout::skewTenthMm;

constexpr int kColumns = 5;
constexpr int kColumnMm = 30;
constexpr int kRows = 10;
constexpr int kRowMm = 15;
constexpr int kInsetMm = 1;
constexpr int kComponentTenths = 5;     // components from 0.5 mm
constexpr int kLargestMm = 5;           // a sample is at most 5 mm either way
constexpr int kSmallestTenths = 11;     // and at least 1.1 mm
constexpr int kMostElongation = 160;    // percent, either way
constexpr int kMergeScanMm = 2;
constexpr int kMergeGapTenths = 2;
constexpr int kLeastPerCell = 8;
constexpr int kMostCells = 50;
constexpr int kMostSamples = 70;

struct FreeBits {
  void operator()(std::uint8_t* bits) const { std::free(bits); }
};
using OwnedBits = std::unique_ptr<std::uint8_t, FreeBits>;

void dropWhere(rect_record* list, auto predicate) {
  if (layout::ringEmpty(list)) return;
  for (rect_record* r = list->next; r != list; r = r->next)
    if (predicate(r->right - r->left + 1, r->bottom - r->top + 1)) r = drop_rect(r);
}

}  // namespace

short crop_bits(ImageDesc* out, const ImageDesc* src, const Rect16* rect) {
  const int width = rect->right - rect->left + 1;
  const int height = rect->bottom - rect->top + 1;
  if (width <= 0 || height <= 0) return layout::kStatusNoMemory;
  const int rowBytes = (width + 7) / 8;
  auto* bits = static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(rowBytes) * height, 1));
  if (bits == nullptr) return layout::kStatusNoMemory;
  // Only the part of the rectangle on the page is copied: the rest of the
  // square stays white rather than reading past the page's rows.
  const int left = std::max<int>(rect->left, 0);
  const int right = std::min<int>(rect->right, src->widthPixels() - 1);
  const int top = std::max<int>(rect->top, 0);
  const int bottom = std::min<int>(rect->bottom, src->height - 1);
  if (src->bits != nullptr) {
    for (int y = top; y <= bottom; ++y) {
      const std::uint8_t* row = src->bits + static_cast<std::size_t>(y) * src->bytesPerRow;
      std::uint8_t* dst = bits + static_cast<std::size_t>(y - rect->top) * rowBytes;
      for (int x = left; x <= right; ++x) {
        if (row[x >> 3] & (0x80 >> (x & 7))) {
          const int dx = x - rect->left;
          dst[dx >> 3] |= static_cast<std::uint8_t>(0x80 >> (dx & 7));
        }
      }
    }
  }
  out->bits = bits;
  out->bytesPerRow = static_cast<std::uint16_t>(rowBytes);
  out->height = static_cast<std::uint16_t>(height);
  out->dpi = src->dpi;
  return layout::kStatusDone;
}

short vote_paper_direction(const rect_record* samples, const ImageDesc* image, short* degrees) {
  auto& state = layout::layoutState();
  std::int32_t sums[4] = {0, 0, 0, 0};
  if (!state.japanese) return layout::kStatusNoMemory;
  if (!layout::ringEmpty(samples)) {
    for (const rect_record* s = samples->next; s != samples; s = s->next) {
      // A side of whole 16-pixel steps keeps the cell square through the
      // quarter turns, whose rows are padded to 16 bits.
      const int larger = std::max(s->right - s->left + 1, s->bottom - s->top + 1);
      const int side = (larger + 15) / 16 * 16;
      const Rect16 square{s->left, s->top, static_cast<std::int16_t>(s->left + side - 1),
                          static_cast<std::int16_t>(s->top + side - 1)};
      ImageDesc cell;
      if (crop_bits(&cell, image, &square) != layout::kStatusDone) return layout::kStatusNoMemory;
      OwnedBits owner(cell.bits);
      // The engine reads the whole cell, every turn of it.
      const recognition::CharRect whole{0, 0, static_cast<std::int16_t>(side - 1),
                                        static_cast<std::int16_t>(side - 1)};
      for (int k = 0; k < 4; ++k) {
        recognition::CellResult result;
        const recognition::EngineImage engineImage{cell.bits, cell.bytesPerRow, cell.height, image->dpi};
        if (state.japanese->readCell(engineImage, whole, result) < recognition::kEngineDone)
          return layout::kStatusNoMemory;
        sums[k] += result.distance;
        if (k == 3) break;
        ImageDesc turned;
        if (rotate_right(&cell, &turned) != layout::kStatusDone) return layout::kStatusNoMemory;
        owner.reset(turned.bits);
        cell = turned;
      }
    }
  }
  int best = 0;
  for (int k = 1; k < 4; ++k)
    if (sums[k] < sums[best]) best = k;
  static constexpr short kDegrees[4] = {0, 270, 180, 90};
  *degrees = kDegrees[best];
  return layout::kStatusDone;
}

short find_paper_direction(const ImageDesc* image, short* degrees) {
  *degrees = 0;
  const int dpi = image->dpi;
  const layout::SkewCells cells =
      layout::skew_cells(image, kColumns, skewMm(kColumnMm, dpi), kRows, skewMm(kRowMm, dpi), skewMm(kInsetMm, dpi));
  const int largest = skewMm(kLargestMm, dpi);
  const int smallest = skewTenthMm(kSmallestTenths, dpi);
  rect_record* samples = nullptr;
  int cellsTaken = 0;
  bool enough = false;
  for (int row = 0; row < cells.rows && !enough; ++row) {
    for (int column = 0; column < cells.columns && !enough; ++column) {
      const Rect16 cell = cells.cell(column, row);
      short kind = 0;
      classify_region(&kind, image, &cell);
      if (kind == layout::kKindFigure) continue;
      rect_record* list = nullptr;
      if (group_pixels(&list, image, &cell, 1, skewTenthMm(kComponentTenths, dpi)) == layout::kStatusNoMemory) {
        free_rect_list(&list);
        free_rect_list(&samples);
        return layout::kStatusNoMemory;
      }
      auto tooLarge = [largest](int w, int h) { return w > largest || h > largest; };
      dropWhere(list, tooLarge);
      merge_near_components(list, skewMm(kMergeScanMm, dpi), skewTenthMm(kMergeGapTenths, dpi));
      dropWhere(list, tooLarge);
      dropWhere(list, [smallest](int w, int h) { return w < smallest || h < smallest; });
      dropWhere(list, [](int w, int h) { return h * 100 > w * kMostElongation || w * 100 > h * kMostElongation; });
      if (count_rects(list) >= kLeastPerCell) {
        if (move_rect_list(&list, &samples) != layout::kStatusDone) {
          free_rect_list(&list);
          free_rect_list(&samples);
          return layout::kStatusNoMemory;
        }
        ++cellsTaken;
        enough = cellsTaken > kMostCells || count_rects(samples) > kMostSamples;
      }
      free_rect_list(&list);
    }
  }
  if (layout::ringEmpty(samples)) {
    free_rect_list(&samples);
    return layout::kStatusNothing;
  }
  const short status = vote_paper_direction(samples, image, degrees);
  free_rect_list(&samples);
  return status;
}

short auto_rotate_paper(const ImageDesc* page, short mode) {
  if (page->bits == nullptr) return 3;
  if (mode != 0) return layout::kStatusDone;
  short degrees = 0;
  const short status = find_paper_direction(page, &degrees);
  if (status == layout::kStatusNoMemory) return layout::kStatusNoImage;
  if (status == layout::kStatusNothing) return 0;
  return degrees;
}
