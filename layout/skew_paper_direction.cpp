// Paper direction; see skew_paper_direction.h.
#include "layout/skew_paper_direction.h"

#include "layout/bit_image.h"
#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/pixel_groups.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"
#include "layout/skew_fit.h"

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
constexpr int kSampleMargin = 1;        // distance by which a sample's best turn must lead
constexpr int kLeastVotes = 5;          // samples that must agree on the winning turn
constexpr int kVoteMargin = 2;          // a clear lead: twice the runner-up's votes,
constexpr int kSumLeadPercent = 10;     // and summed distances this much below the runner-up's
constexpr int kLandslideVotes = 20;     // votes after which a far lead ends the reading
constexpr int kLandslideMargin = 4;     // times the runner-up's votes
constexpr int kEnglishBlockMm = 60;     // side of the square the English engine reads
// Read the right way up, English text reads at 97-99 % confidence; turned,
// the model still reads letters, at 92-96 %.
constexpr int kLeastEnglishConfidence = 97;
constexpr int kEnglishMargin = 3;       // confidence points between the best turn and the next

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

namespace {

// Which of the four turns won: its index, or -1 when no turn leads clearly.
// An answer is a promise that turns the user's page: the summed distances
// and the samples' votes must name the same turn, enough samples must have
// voted for it, and it must lead clearly on both counts.
int clearWinner(const int (&votes)[4], const std::int32_t (&sums)[4]) {
  int byVotes = 0;
  int bySums = 0;
  for (int k = 1; k < 4; ++k) {
    if (votes[k] > votes[byVotes]) byVotes = k;
    if (sums[k] < sums[bySums]) bySums = k;
  }
  if (byVotes != bySums || votes[byVotes] < kLeastVotes) return -1;
  const int best = bySums;
  int secondVotes = 0;
  std::int64_t secondSum = -1;
  for (int k = 0; k < 4; ++k) {
    if (k == best) continue;
    secondVotes = std::max(secondVotes, votes[k]);
    if (secondSum < 0 || sums[k] < secondSum) secondSum = sums[k];
  }
  const bool votesLead = votes[best] >= kVoteMargin * secondVotes;
  const bool sumsLead = (secondSum - sums[best]) * 100 >= secondSum * kSumLeadPercent;
  return votesLead && sumsLead ? best : -1;
}

constexpr short kTurnDegrees[4] = {0, 270, 180, 90};

}  // namespace

short vote_paper_direction(const rect_record* samples, const ImageDesc* image, short* degrees) {
  auto& state = layout::layoutState();
  std::int32_t sums[4] = {0, 0, 0, 0};
  int votes[4] = {0, 0, 0, 0};
  *degrees = 0;
  if (!state.japanese) return layout::kStatusNoMemory;
  if (!layout::ringEmpty(samples)) {
    for (const rect_record* s = samples->next; s != samples; s = s->next) {
      // A side of whole 16-pixel steps keeps the cell square through the
      // quarter turns, whose rows are padded to 16 bits.
      const int larger = std::max(s->right - s->left + 1, s->bottom - s->top + 1);
      const int side = (larger + 15) / 16 * 16;
      // The square is centred on the sample, so that every turn of it
      // shows the character in the same place.
      const int left = (s->left + s->right + 1) / 2 - side / 2;
      const int top = (s->top + s->bottom + 1) / 2 - side / 2;
      const Rect16 square{static_cast<std::int16_t>(left), static_cast<std::int16_t>(top),
                          static_cast<std::int16_t>(left + side - 1), static_cast<std::int16_t>(top + side - 1)};
      ImageDesc cell;
      if (crop_bits(&cell, image, &square) != layout::kStatusDone) return layout::kStatusNoMemory;
      OwnedBits owner(cell.bits);
      // The engine reads the whole cell, every turn of it.
      const recognition::CharRect whole{0, 0, static_cast<std::int16_t>(side - 1),
                                        static_cast<std::int16_t>(side - 1)};
      std::int32_t distance[4] = {0, 0, 0, 0};
      for (int k = 0; k < 4; ++k) {
        recognition::CellResult result;
        const recognition::EngineImage engineImage{cell.bits, cell.bytesPerRow, cell.height, image->dpi};
        if (state.japanese->readCell(engineImage, whole, result) < recognition::kEngineDone)
          return layout::kStatusNoMemory;
        distance[k] = result.distance;
        sums[k] += result.distance;
        if (k == 3) break;
        ImageDesc turned;
        if (rotate_right(&cell, &turned) != layout::kStatusDone) return layout::kStatusNoMemory;
        owner.reset(turned.bits);
        cell = turned;
      }
      // A sample votes only for a turn it reads clearly better than the
      // others: symmetric shapes (一, 口, o, l) read alike every way.
      int best = 0;
      for (int k = 1; k < 4; ++k)
        if (distance[k] < distance[best]) best = k;
      bool clear = true;
      for (int k = 0; k < 4; ++k)
        if (k != best && distance[k] - distance[best] < kSampleMargin) clear = false;
      if (clear) ++votes[best];
      // A landslide is not read to its end: most pages are decided by
      // their first few dozen samples.
      const int leader = clearWinner(votes, sums);
      if (leader >= 0 && votes[leader] >= kLandslideVotes) {
        int second = 0;
        for (int k = 0; k < 4; ++k)
          if (k != leader) second = std::max(second, votes[k]);
        if (votes[leader] >= kLandslideMargin * second) break;
      }
    }
  }
  const int winner = clearWinner(votes, sums);
  if (winner < 0) return layout::kStatusNothing;
  *degrees = kTurnDegrees[winner];
  return layout::kStatusDone;
}

short english_paper_direction(const rect_record* samples, const ImageDesc* image, short* degrees) {
  auto& state = layout::layoutState();
  *degrees = 0;
  if (!state.english || layout::ringEmpty(samples)) return layout::kStatusNothing;
  // The block read is a square about the samples' centre: a few lines of
  // text wherever the page has them.
  long sx = 0, sy = 0;
  int n = 0;
  for (const rect_record* s = samples->next; s != samples; s = s->next, ++n) {
    sx += (s->left + s->right) / 2;
    sy += (s->top + s->bottom) / 2;
  }
  const int dpi = image->dpi > 0 ? image->dpi : 300;
  int side = std::min({skewMm(kEnglishBlockMm, dpi), image->widthPixels(), static_cast<int>(image->height)});
  side = side / 16 * 16;
  if (side < 64) return layout::kStatusNothing;
  const int left = std::clamp(static_cast<int>(sx / n) - side / 2, 0, image->widthPixels() - side);
  const int top = std::clamp(static_cast<int>(sy / n) - side / 2, 0, static_cast<int>(image->height) - side);
  const Rect16 square{static_cast<std::int16_t>(left), static_cast<std::int16_t>(top),
                      static_cast<std::int16_t>(left + side - 1), static_cast<std::int16_t>(top + side - 1)};
  ImageDesc cell;
  if (crop_bits(&cell, image, &square) != layout::kStatusDone) return layout::kStatusNoMemory;
  OwnedBits owner(cell.bits);
  const recognition::CharRect whole{0, 0, static_cast<std::int16_t>(side - 1), static_cast<std::int16_t>(side - 1)};
  int confidence[4] = {-1, -1, -1, -1};
  for (int k = 0; k < 4; ++k) {
    confidence[k] = state.english->readingConfidence(
        recognition::EngineImage{cell.bits, cell.bytesPerRow, cell.height, static_cast<std::uint16_t>(dpi)}, whole);
    if (k == 3) break;
    ImageDesc turned;
    if (rotate_right(&cell, &turned) != layout::kStatusDone) return layout::kStatusNoMemory;
    owner.reset(turned.bits);
    cell = turned;
  }
  int best = 0;
  for (int k = 1; k < 4; ++k)
    if (confidence[k] > confidence[best]) best = k;
  int second = -1;
  for (int k = 0; k < 4; ++k)
    if (k != best) second = std::max(second, confidence[k]);
  if (confidence[best] < kLeastEnglishConfidence || confidence[best] - second < kEnglishMargin)
    return layout::kStatusNothing;
  *degrees = kTurnDegrees[best];
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
  short status = vote_paper_direction(samples, image, degrees);
  // Pages the Japanese samples cannot decide (mostly Latin text reads alike
  // turned or not) ask the English engine; still undecided is no turn.
  if (status == layout::kStatusNothing) status = english_paper_direction(samples, image, degrees);
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
