// Text measures, writing direction and language; see text_measures.h.
#include "layout/text_measures.h"

#include "layout/layout_status.h"
#include "layout/parameter_tables.h"
#include "layout/rect_rings.h"
#include "layout/step_support.h"

#include <algorithm>
#include <cmath>

using layout::kStatusDone;
using layout::kStatusNoMemory;
using layout::kStatusNothing;
using layout::rectHeight;
using layout::rectWidth;

namespace {

constexpr short kSample = 1;
constexpr short kNotSample = -1;
constexpr int kGapBufferSize = 10000;
constexpr int kGapLimit = 9996;
constexpr short kSquareOnlyRatio = 10000;

// Sample standard deviation about m, truncated: sqrt(sum (m - v)^2 / (n - 1)).
int deviation(const short* values, int n, long m) {
  if (n < 2) return 0;
  long long sum = 0;
  for (int i = 0; i < n; ++i) {
    const long long d = m - values[i];
    sum += d * d;
  }
  return static_cast<int>(std::sqrt(static_cast<double>(sum / (n - 1))));
}

long integerMean(const short* values, int n) {
  long sum = 0;
  for (int i = 0; i < n; ++i) sum += values[i];
  return sum / n;
}

// Mean of the values within m +- s; `fallback` when none lies there.
long meanWithin(const short* values, int n, long m, int s, long fallback) {
  long sum = 0;
  int count = 0;
  for (int i = 0; i < n; ++i) {
    if (values[i] >= m - s && values[i] <= m + s) {
      sum += values[i];
      ++count;
    }
  }
  return count == 0 ? fallback : sum / count;
}

struct SampleBounds {
  int minWidth, maxWidth, minHeight, maxHeight;
  int aspectLow, aspectHigh;  // height * 100 within [low * width, high * width]; 0 = no test
};

int markSamples(rect_record* head, const SampleBounds& b) {
  int n = 0;
  for (rect_record* r = head->next; r != head; r = r->next) {
    const int w = rectWidth(*r);
    const int h = rectHeight(*r);
    bool sample = b.minWidth < w && w < b.maxWidth && b.minHeight < h && h < b.maxHeight;
    if (sample && b.aspectHigh != 0) {
      sample = h * 100 >= w * b.aspectLow && h * 100 <= w * b.aspectHigh;
    }
    r->label = sample ? kSample : kNotSample;
    if (sample) ++n;
  }
  return n;
}

}  // namespace

short robust_mean(const short* values, int n) {
  if (n <= 0) return 0;
  if (n == 1) return values[0];
  const long m = integerMean(values, n);
  const int s = deviation(values, n, m);
  return static_cast<short>(meanWithin(values, n, m, s, m));
}

short estimate_char_size(layctx* ctx, short percent) {
  rect_record* head = ctx->textList;
  const int count = count_rects(head);
  if (count == 0) return kStatusNothing;
  if (count == 1) {
    head->next->label = kSample;
    ctx->charWidth = static_cast<short>(rectWidth(*head->next));
    ctx->charHeight = static_cast<short>(rectHeight(*head->next));
    return kStatusDone;
  }
  const auto& params = layout::parameterTables().layout;
  const int dpi = ctx->page.dpi;
  const int least = layout::tenthsToPixels(8, dpi);  // 0.8 mm
  const int W = params(2);
  const int H = params(3);
  const int a = percent;

  int wide = 0;
  for (rect_record* r = head->next; r != head; r = r->next) {
    if (rectWidth(*r) > least && rectHeight(*r) > least) ++wide;
  }
  const int k = wide * 10 / 100;

  int samples = markSamples(head, {W, 10 * W, H, 10 * H, a, 200 - a});
  if (samples <= k) samples = markSamples(head, {W * 50 / 100, 10 * W, H * 50 / 100, 10 * H, 50, 150});
  if (samples <= k) {
    samples = markSamples(head, {W * 40 / 100, 10 * W, H * 40 / 100, 10 * H, 0, 0});
    if (samples <= k / 2) {
      for (rect_record* r = head->next; r != head; r = r->next) r->label = kSample;
      samples = count;
    }
  }

  // First estimate: the means of the samples.
  long sumW = 0;
  long sumH = 0;
  for (rect_record* r = head->next; r != head; r = r->next) {
    if (r->label != kSample) continue;
    sumW += rectWidth(*r);
    sumH += rectHeight(*r);
  }
  const long estW = sumW / samples;
  const long estH = sumH / samples;
  ctx->charWidth = static_cast<short>(estW);
  ctx->charHeight = static_cast<short>(estH);
  if (samples < 2) return kStatusDone;

  // Refinement: drop the samples more than one deviation off the estimate.
  long long sqW = 0;
  long long sqH = 0;
  for (rect_record* r = head->next; r != head; r = r->next) {
    if (r->label != kSample) continue;
    const long long dw = estW - rectWidth(*r);
    const long long dh = estH - rectHeight(*r);
    sqW += dw * dw;
    sqH += dh * dh;
  }
  const long sw = static_cast<long>(std::sqrt(static_cast<double>(sqW / (samples - 1))));
  const long sh = static_cast<long>(std::sqrt(static_cast<double>(sqH / (samples - 1))));
  long inW = 0, nW = 0, inH = 0, nH = 0;
  for (rect_record* r = head->next; r != head; r = r->next) {
    if (r->label != kSample) continue;
    const int w = rectWidth(*r);
    const int h = rectHeight(*r);
    const bool widthIn = w >= estW - sw && w <= estW + sw;
    const bool heightIn = h >= estH - sh && h <= estH + sh;
    if (widthIn) {
      inW += w;
      ++nW;
    }
    if (heightIn) {
      inH += h;
      ++nH;
    }
    if (!widthIn || !heightIn) r->label = kNotSample;
  }
  if (nW == 0 || nH == 0) return kStatusDone;
  ctx->charWidth = static_cast<short>(std::max(1L, inW / nW));
  ctx->charHeight = static_cast<short>(std::max(1L, inH / nH));
  return kStatusDone;
}

namespace {

// Collects, for each component (only the samples when `samplesOnly`), its
// smallest positive gap to a neighbour: the neighbours are the components
// after it while `ahead` holds and before it while `behind` holds, and
// `gapTo` gives a neighbour's gap (0 for none).
template <typename Ahead, typename Behind, typename GapTo>
void collectSmallestGaps(rect_record* head, bool samplesOnly, Ahead ahead, Behind behind, GapTo gapTo, short* gaps,
                         int& count) {
  for (rect_record* a = head->next; a != head && count < kGapLimit; a = a->next) {
    if (samplesOnly && a->label != kSample) continue;
    int best = 0;
    auto consider = [&](const rect_record& b) {
      const int g = gapTo(*a, b);
      if (g > 0 && (best == 0 || g < best)) best = g;
    };
    for (rect_record* b = a->next; b != head && ahead(*a, *b); b = b->next) consider(*b);
    for (rect_record* b = a->prev; b != head && behind(*a, *b); b = b->prev) consider(*b);
    if (best > 0) gaps[count++] = static_cast<short>(std::min(best, 32767));
  }
}

// Gaps between characters of a line: neighbours that share a third of the
// character height.
void collectCharGaps(const layctx& ctx, bool samplesOnly, int minNeighbourHeight, short* gaps, int& count) {
  const int h = ctx.charHeight;
  collectSmallestGaps(
      ctx.textList, samplesOnly, [h](const rect_record& a, const rect_record& b) { return b.bottom <= a.bottom + h; },
      [h](const rect_record& a, const rect_record& b) { return b.top >= a.top - h; },
      [&](const rect_record& a, const rect_record& b) {
        if (rectHeight(b) < minNeighbourHeight) return 0;
        const int overlap = std::min(a.bottom, b.bottom) - std::max(a.top, b.top) + 1;
        if (overlap * 3 <= h) return 0;
        if (b.left > a.right) return b.left - a.right + 1;
        if (b.right < a.left) return a.left - b.right + 1;
        return 0;
      },
      gaps, count);
}

// Gaps between lines: neighbours above and below that share a third of the
// character width.
void collectLineGaps(const layctx& ctx, bool samplesOnly, int minNeighbourHeight, short* gaps, int& count) {
  const int w = ctx.charWidth;
  const int h = ctx.charHeight;
  collectSmallestGaps(
      ctx.textList, samplesOnly, [h](const rect_record& a, const rect_record& b) { return b.top <= a.bottom + 3 * h; },
      [h](const rect_record& a, const rect_record& b) { return b.bottom >= a.top - 3 * h; },
      [&](const rect_record& a, const rect_record& b) {
        if (rectHeight(b) < minNeighbourHeight) return 0;
        if (b.left > a.right || a.left > b.right) return 0;
        const int overlap = std::min(a.right, b.right) - std::max(a.left, b.left) + 1;
        if (overlap * 3 <= w) return 0;
        if (b.top > a.bottom) return b.top - a.bottom + 1;
        if (b.bottom < a.top) return a.top - b.bottom + 1;
        return 0;
      },
      gaps, count);
}

}  // namespace

// The percentage belongs to the pair of gap estimates; the horizontal one
// widens its second pass to neighbours of half the character height instead.
short estimate_char_gap(layctx* ctx, short /*percent*/) {
  if (ctx->textList == nullptr) return kStatusNothing;
  layout::WorkBuffer<short> gaps(kGapBufferSize);
  if (!gaps) return kStatusNoMemory;
  const int minimum = std::min(25, count_rects(ctx->textList) * 10 / 100);
  int count = 0;
  collectCharGaps(*ctx, true, 0, gaps.data(), count);
  if (count < minimum) collectCharGaps(*ctx, false, ctx->charHeight * 50 / 100, gaps.data(), count);
  if (count == 0) return kStatusNothing;
  ctx->gapX = robust_mean(gaps.data(), count);
  return kStatusDone;
}

short estimate_line_gap(layctx* ctx, short percent) {
  if (ctx->textList == nullptr) return kStatusNothing;
  layout::WorkBuffer<short> gaps(kGapBufferSize);
  if (!gaps) return kStatusNoMemory;
  const int minHeight = ctx->charHeight * percent / 100;
  int count = 0;
  collectLineGaps(*ctx, true, minHeight, gaps.data(), count);
  if (count == 0) collectLineGaps(*ctx, false, minHeight, gaps.data(), count);
  if (count == 0) return kStatusNothing;
  ctx->gapY = robust_mean(gaps.data(), count);
  return kStatusDone;
}

namespace layout {

short directionFromMeasures(const layctx& ctx, bool gapXFound, bool gapYFound, int areaWidth, int areaHeight) {
  constexpr short kHorizontal = 0;
  constexpr short kVertical = 2;
  if (gapXFound && gapYFound) {
    if (areaWidth > 3 * ctx.charWidth && areaHeight > 3 * ctx.charHeight) {
      return ctx.gapX > ctx.gapY ? kVertical : kHorizontal;
    }
    return areaWidth > areaHeight ? kHorizontal : kVertical;
  }
  return gapYFound ? kVertical : kHorizontal;
}

}  // namespace layout

short measure_region(layctx* ctx, const Rect16* area) {
  auto fail = [ctx](short status) {
    free_context_lists(ctx);
    return status;
  };
  sort_rects_by_top(ctx->textList);
  if (estimate_char_size(ctx, layout::parameterTables().layout(4)) != kStatusDone) return fail(kStatusNothing);
  const short x = estimate_char_gap(ctx, layout::kGapEstimatePercent);
  if (x == kStatusNoMemory) return fail(kStatusNoMemory);
  if (x != kStatusDone) ctx->gapX = static_cast<short>(ctx->charWidth / 2);
  const short y = estimate_line_gap(ctx, layout::kGapEstimatePercent);
  if (y == kStatusNoMemory) return fail(kStatusNoMemory);
  if (y != kStatusDone) ctx->gapY = ctx->charHeight;

  if (ctx->params.byte(ParamBlock::kDirection) == 3) {
    short direction = layout::directionFromMeasures(*ctx, x == kStatusDone, y == kStatusDone, rectWidth(*area),
                                                    rectHeight(*area));
    if (direction == 2 && ctx->areaMode()) direction = 1;
    ctx->params.setByte(ParamBlock::kDirection, static_cast<std::uint8_t>(direction));
  }
  return kStatusDone;
}

short detect_latin_text(const layctx* ctx) {
  const rect_record* head = ctx->textList;
  if (count_rects(head) < 2) return 1;
  const int w = ctx->charWidth;
  const int h = ctx->charHeight;
  long tall = 0;
  long square = 0;
  for (const rect_record* r = head->next; r != head; r = r->next) {
    const int rw = rectWidth(*r);
    const int rh = rectHeight(*r);
    if (rh > h * 130 / 100 && rw * 100 >= rh * 65) {
      ++tall;
      continue;
    }
    if (w * 90 / 100 < rw && rw < w * 250 / 100 && h * 90 / 100 < rh && rh < h * 250 / 100 &&
        rw * 100 >= rh * 90 && rw * 100 <= rh * 120) {
      ++square;
    }
  }
  const long ratio = tall == 0 ? kSquareOnlyRatio : square * 100 / tall;
  return ratio < 201 ? 1 : 0;
}

namespace {

// Marks the lines that look like ordinary text lines (label 0, others -1)
// and returns how many there are.
int markLineSamples(layctx& ctx, int minHeightExclusive, int maxHeightExclusive) {
  rect_record* head = ctx.textList;
  const bool anyWidth = ctx.areaMode();
  const int minWidth = 15 * ctx.charHeight;
  int n = 0;
  for (rect_record* r = head->next; r != head; r = r->next) {
    const int h = rectHeight(*r);
    const bool sample =
        minHeightExclusive < h && h < maxHeightExclusive && (anyWidth || rectWidth(*r) > minWidth);
    r->label = sample ? 0 : -1;
    if (sample) ++n;
  }
  return n;
}

}  // namespace

short measure_line_height(layctx* ctx) {
  rect_record* head = ctx->textList;
  sort_rects_by_top(head);
  const int count = count_rects(head);
  if (count == 0) return kStatusNothing;
  if (count == 1) {
    ctx->lineHeight = static_cast<short>(rectHeight(*head->next));
    return kStatusDone;
  }
  const int h = ctx->charHeight;
  const int n = markLineSamples(*ctx, h * 70 / 100, h * 200 / 100);
  if (n == 0) return kStatusNothing;
  long sum = 0;
  for (rect_record* r = head->next; r != head; r = r->next) {
    if (r->label == 0) sum += rectHeight(*r);
  }
  const long m = sum / n;
  if (n < 2) {
    ctx->lineHeight = static_cast<short>(m);
    return kStatusDone;
  }
  long long squares = 0;
  for (rect_record* r = head->next; r != head; r = r->next) {
    if (r->label != 0) continue;
    const long long d = m - rectHeight(*r);
    squares += d * d;
  }
  const long s = static_cast<long>(std::sqrt(static_cast<double>(squares / (n - 1))));
  long within = 0;
  int k = 0;
  for (rect_record* r = head->next; r != head; r = r->next) {
    const int height = rectHeight(*r);
    if (r->label != 0 || height < m - s || height > m + s) continue;
    within += height;
    ++k;
  }
  ctx->lineHeight = static_cast<short>(k == 0 ? m : std::max(1L, within / k));
  return kStatusDone;
}

short measure_line_gap(layctx* ctx) {
  rect_record* head = ctx->textList;
  if (count_rects(head) < 2) return kStatusNothing;
  layout::WorkBuffer<short> gaps(kGapBufferSize);
  if (!gaps) return kStatusNothing;
  const int lh = ctx->lineHeight;
  markLineSamples(*ctx, lh * 50 / 100, lh * 200 / 100);
  const int farthest = 4 * ctx->gapY;
  int count = 0;
  for (rect_record* a = head->next; a != head && count < kGapLimit; a = a->next) {
    if (a->label != 0) continue;
    int best = 0;
    for (rect_record* b = a->next; b != head; b = b->next) {
      if (b->label != 0 || b->top <= a->bottom || b->left > a->right || a->left > b->right) continue;
      const int g = b->top - a->bottom + 1;
      if (g > farthest) break;
      if (best == 0 || g < best) best = g;
    }
    if (best > 0) gaps[static_cast<std::size_t>(count++)] = static_cast<short>(std::min(best, 32767));
  }
  if (count == 0) return kStatusNothing;
  ctx->lineGapH = std::max(robust_mean(gaps.data(), count), static_cast<short>(lh));
  return kStatusDone;
}
