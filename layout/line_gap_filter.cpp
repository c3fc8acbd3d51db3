// The line gap filter; see line_gap_filter.h.
#include "layout/line_gap_filter.h"

#include "layout/block_cleaning.h"
#include "layout/layout_status.h"
#include "layout/line_steps.h"
#include "layout/parameter_tables.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"
#include "layout/step_support.h"

#include <algorithm>

using layout::Box;
using layout::intersects;
using layout::kStatusDone;
using layout::kStatusNoMemory;
using layout::rectHeight;
using layout::rectWidth;

namespace layout {

LineGapLengths lineGapLengths(const layctx& ctx) {
  const auto& p = parameterTables().layout;
  const int v = ctx.charHeight + ctx.gapY;
  const int pitch = ctx.charWidth + ctx.gapX;
  const auto a = static_cast<std::int16_t>(v * p(24) / 100);
  const auto h = static_cast<std::int16_t>(v * p(25) / 100);
  const auto d = static_cast<std::int16_t>(pitch * p(26) / 100);
  const auto o = static_cast<std::int16_t>(d * 70 / 100);
  return {a, h, d, o};
}

}  // namespace layout

namespace {

// The cleaning steps' common start: false when there is nothing to clean
// (an empty list is freed).
bool gapsToClean(layctx* ctx) {
  if (ctx->gapList == nullptr) return false;
  if (layout::ringEmpty(ctx->gapList)) {
    free_rect_list(&ctx->gapList);
    return false;
  }
  return true;
}

bool channelCut(const layctx& ctx, const Box& j) {
  if (const rect_record* seps = ctx.sepList; seps != nullptr) {
    for (const rect_record* s = seps->next; s != seps; s = s->next) {
      if (s->right - s->left > s->bottom - s->top && intersects(*s, j)) return true;
    }
  }
  if (const rect_record* regions = ctx.largeList; regions != nullptr) {
    for (const rect_record* r = regions->next; r != regions; r = r->next) {
      if (r->left > j.right || j.left > r->right) continue;
      if ((j.top <= r->top && r->top <= j.bottom) || (j.top <= r->bottom && r->bottom <= j.bottom)) return true;
    }
  }
  return false;
}

}  // namespace

short filter_line_gaps(layctx* ctx) {
  if (layout::ringEmpty(ctx->gapList)) return kStatusDone;
  const layout::LineGapLengths len = layout::lineGapLengths(*ctx);
  const int a = len.rowReach;
  const int ch = ctx->charHeight;
  const int p = ctx->charWidth + ctx->gapX;
  rect_record* gaps = ctx->gapList;
  ctx->gapList = nullptr;
  for (rect_record* g = gaps->next; g != gaps; g = g->next) g->label = 0;

  for (rect_record* start = gaps->next; start != gaps; start = start->next) {
    if (++start->label >= 2) continue;
    Box c{start->left, start->top, start->right, start->bottom};
    for (rect_record* g = gaps->next; g != gaps; g = g->next) {
      if (g == start || g->label >= 2) continue;
      if (g->top > c.bottom + 3 * a) break;
      if (g->left > c.right || c.left > g->right || g->bottom < c.top - a || g->top > c.bottom + a) continue;
      const int wc = c.right - c.left + 1;
      const int hc = c.bottom - c.top + 1;
      const int wg = rectWidth(*g);
      if (hc > 4 * ch && wc > 5 * p && wg < 2 * p) continue;
      if (hc < 3 * ch && wc < 2 * p && wg > 6 * p) continue;
      const Box j{std::max<int>(c.left, g->left), std::min<int>(c.top, g->top), std::min<int>(c.right, g->right),
                  std::max<int>(c.bottom, g->bottom)};
      if (j.right - j.left + 1 < len.narrowest) continue;
      if (channelCut(*ctx, j)) continue;
      c = j;
      if (wg <= 2 * len.join) {
        g->label = 2;
      } else {
        ++g->label;
      }
    }
    if (c.bottom - c.top + 1 <= len.tallest) continue;
    rect_record* channel = append_rect(&ctx->gapList);
    if (channel == nullptr) {
      free_rect_list(&gaps);
      return kStatusNoMemory;
    }
    channel->left = static_cast<std::int16_t>(c.left);
    channel->top = static_cast<std::int16_t>(c.top);
    channel->right = static_cast<std::int16_t>(c.right);
    channel->bottom = static_cast<std::int16_t>(c.bottom);
  }
  free_rect_list(&gaps);
  if (ctx->gapList == nullptr) return kStatusDone;
  layout::sortRingStable(ctx->gapList);
  merge_all_gaps(ctx);
  drop_gaps_on_lines(ctx);
  drop_wide_gaps(ctx);
  drop_speckled_gaps(ctx);
  if (ctx->gapList != nullptr) layout::sortRingStable(ctx->gapList);
  return kStatusDone;
}

short merge_all_gaps(layctx* ctx) {
  if (gapsToClean(ctx)) layout::mergeMeetingGaps(ctx->gapList, false);
  return kStatusDone;
}

short drop_gaps_on_lines(layctx* ctx) {
  if (!gapsToClean(ctx)) return kStatusDone;
  rect_record* lines = ctx->textList;
  if (lines == nullptr) return kStatusDone;
  rect_record* gaps = ctx->gapList;
  const int s = ctx->charHeight * 50 / 100;
  for (rect_record* g = gaps->next; g != gaps; g = g->next) {
    int left = g->left;
    int right = g->right;
    if (rectWidth(*g) > ctx->charWidth) {
      left += s / 2;
      right -= s / 2;
    }
    for (const rect_record* l = lines->next; l != lines; l = l->next) {
      if (rectWidth(*l) < s || rectHeight(*l) < s) continue;
      if (l->top > g->bottom) break;
      if (g->top <= l->bottom && l->top <= g->bottom && left <= l->right && l->left <= right) {
        g = drop_rect(g);
        break;
      }
    }
  }
  return kStatusDone;
}

short drop_wide_gaps(layctx* ctx) {
  if (!gapsToClean(ctx)) return kStatusDone;
  rect_record* gaps = ctx->gapList;
  const long widest = static_cast<long>(ctx->charWidth + ctx->gapX) * 700 / 100;
  for (rect_record* g = gaps->next; g != gaps; g = g->next) {
    if (rectWidth(*g) > widest) g = drop_rect(g);
  }
  return kStatusDone;
}

short drop_speckled_gaps(layctx* ctx) {
  if (!gapsToClean(ctx)) return kStatusDone;
  rect_record* specks = ctx->speckList;
  const int v = ctx->charHeight + ctx->gapY;
  // Without a line pitch there is no measure of how many specks are many.
  if (specks == nullptr || v <= 0) return kStatusDone;
  rect_record* gaps = ctx->gapList;
  for (rect_record* g = gaps->next; g != gaps; g = g->next) {
    const double limit = rectHeight(*g) * 80.0 / v / 100.0 + 1;
    int n = 0;
    for (const rect_record* s = specks->next; s != specks && s->top <= g->bottom; s = s->next) {
      if (intersects(*s, *g)) ++n;
    }
    if (n > limit) g = drop_rect(g);
  }
  return kStatusDone;
}
