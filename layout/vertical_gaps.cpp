// Vertical writing: white bands between tiers; see vertical_gaps.h.
#include "layout/vertical_gaps.h"

#include "layout/layout_status.h"
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

namespace {

constexpr layout::RingOrder kColumns = layout::RingOrder::ByRightDesc;

// The measures of the band steps, pixels.
struct BandMeasures {
  int columnPitch;  // charHeight + gapY
  int rowPitch;     // charWidth + gapX
  int p80, p60;     // shares of the column pitch
  int q120, q370;   // shares of the row pitch
  int tallEnough;   // 0.8 mm
};

BandMeasures measuresOf(const layctx& ctx) {
  const auto& p = layout::parameterTables().set4;
  BandMeasures m{};
  m.columnPitch = ctx.charHeight + ctx.gapY;
  m.rowPitch = ctx.charWidth + ctx.gapX;
  m.p80 = m.columnPitch * p(9) / 100;
  m.p60 = m.columnPitch * p(13) / 100;
  m.q120 = m.rowPitch * p(10) / 100;
  m.q370 = m.rowPitch * p(11) / 100;
  m.tallEnough = layout::tenthsToPixels(8, ctx.page.dpi);
  return m;
}

rect_record* appendBand(rect_record** ring, int l, int t, int r, int b, short kind = -1) {
  rect_record* g = append_rect(ring);
  if (g == nullptr) return nullptr;
  g->left = static_cast<std::int16_t>(l);
  g->top = static_cast<std::int16_t>(t);
  g->right = static_cast<std::int16_t>(r);
  g->bottom = static_cast<std::int16_t>(b);
  g->label = kind;
  return g;
}

// Union across, intersection along.
void joinBand(rect_record& a, const rect_record& b) {
  a.left = std::min(a.left, b.left);
  a.right = std::max(a.right, b.right);
  a.top = std::max(a.top, b.top);
  a.bottom = std::min(a.bottom, b.bottom);
}

short mergeBands(rect_record** gaps, bool stopEarly) {
  rect_record* head = *gaps;
  if (head == nullptr) return kStatusDone;
  for (rect_record* a = head->next; a != head; a = a->next) {
    for (rect_record* b = head->next; b != head && !(stopEarly && layout::liesPast(kColumns, *b, *a));) {
      if (b == a || !intersects(*a, *b)) {
        b = b->next;
        continue;
      }
      joinBand(*a, *b);
      drop_rect(b);
      b = head->next;
    }
  }
  if (layout::ringEmpty(head)) free_rect_list(gaps);
  return kStatusDone;
}

template <typename Drop>
void dropBands(rect_record* head, Drop drop) {
  if (head == nullptr) return;
  for (rect_record* g = head->next; g != head; g = g->next) {
    if (drop(*g)) g = drop_rect(g);
  }
}

}  // namespace

short merge_vGaps(rect_record** gaps) { return mergeBands(gaps, true); }
short merge_vGaps_overlap(rect_record** gaps) { return mergeBands(gaps, false); }

short find_vColumnGaps(layctx* ctx) {
  rect_record* head = ctx->textList;
  if (head == nullptr) return kStatusDone;
  if (qsort_rects_by_right_desc(head) != kStatusDone) return kStatusNoMemory;
  const BandMeasures m = measuresOf(*ctx);
  const int cw = ctx->charWidth;
  auto tested = [cw](const rect_record& r) {
    Box b{r.left, r.top, r.right, r.bottom};
    if (rectWidth(r) < cw / 2) {
      b.left -= cw / 3;
      b.right += cw / 3;
    }
    return b;
  };
  for (const rect_record* a = head->next; a != head; a = a->next) {
    if (rectHeight(*a) < m.tallEnough) continue;
    const Box wa = tested(*a);
    const rect_record* below = nullptr;
    const rect_record* above = nullptr;
    int dBelow = 0, dAbove = 0;
    for (const rect_record* b = head->next; b != head; b = b->next) {
      if (b == a || rectHeight(*b) < m.tallEnough) continue;
      if (b->right < a->left - 3 * cw) break;
      if (b->left > a->right + 3 * cw) continue;
      const Box wb = tested(*b);
      if (wb.left > wa.right || wa.left > wb.right) continue;
      if (a->bottom < b->top) {
        const int d = b->top - a->bottom + 1;
        if (below == nullptr || d < dBelow) below = b, dBelow = d;
      } else if (b->bottom < a->top) {
        const int d = a->top - b->bottom + 1;
        if (above == nullptr || d < dAbove) above = b, dAbove = d;
      }
    }
    auto add = [&](const rect_record* b, int d, int top, int bottom) {
      if (b == nullptr || d <= m.p80 || d >= 30 * m.p80) return true;
      int left = std::min(a->left, b->left);
      const int right = std::max(a->right, b->right);
      if (right - left + 1 < cw) left = right - cw + 1;
      return appendBand(&ctx->gapList, left, top, right, bottom) != nullptr;
    };
    if (!add(below, dBelow, a->bottom + 1, below == nullptr ? 0 : below->top - 1)) return kStatusNoMemory;
    if (!add(above, dAbove, above == nullptr ? 0 : above->bottom + 1, a->top - 1)) return kStatusNoMemory;
  }
  if (ctx->gapList == nullptr) return kStatusDone;
  if (layout::ringEmpty(ctx->gapList)) {
    free_rect_list(&ctx->gapList);
    return kStatusDone;
  }
  if (qsort_rects_by_right_desc(ctx->gapList) != kStatusDone) return kStatusNoMemory;
  merge_vGaps(&ctx->gapList);
  return trim_vGaps(ctx, m.tallEnough, m.p80);
}

short trim_vGaps(layctx* ctx, int minHeight, int minBand) {
  rect_record* gaps = ctx->gapList;
  rect_record* text = ctx->textList;
  if (layout::ringEmpty(gaps) || layout::ringEmpty(text)) return kStatusDone;
  const int tallChar = ctx->charHeight * 70 / 100;
  for (rect_record* g = gaps->next; g != gaps; g = g->next) {
    for (const rect_record* t = text->next; t != text && !layout::liesPast(kColumns, *t, *g); t = t->next) {
      if (rectHeight(*t) < minHeight || !intersects(*t, *g)) continue;
      if (t->top < g->top) {
        if (t->bottom < g->bottom) {
          g->top = t->bottom;
        } else {
          g->bottom = g->top;
        }
      } else if (t->top <= g->bottom) {
        if (t->bottom > g->bottom) {
          g->bottom = t->top;
        } else if (rectHeight(*t) > tallChar) {
          g->bottom = g->top;
        }
      }
      if (rectHeight(*g) < minBand) {
        g = drop_rect(g);
        break;
      }
    }
  }
  return kStatusDone;
}

short join_vGaps(layctx* ctx) {
  rect_record* old = ctx->gapList;
  ctx->gapList = nullptr;
  if (layout::ringEmpty(old)) {
    free_rect_list(&old);
    return kStatusDone;
  }
  const BandMeasures m = measuresOf(*ctx);
  const int cw = ctx->charWidth;
  const int pitch = m.columnPitch;
  for (rect_record* g = old->next; g != old; g = g->next) g->label = 0;

  for (rect_record* g = old->next; g != old; g = g->next) {
    if (++g->label >= 2) continue;
    Box c{g->left, g->top, g->right, g->bottom};
    for (rect_record* h = old->next; h != old && h->right >= c.left - 3 * m.q120; h = h->next) {
      if (h == g || h->label >= 2) continue;
      if (h->top > c.bottom || c.top > h->bottom) continue;
      if (h->left - c.right > m.q120 || c.left - h->right > m.q120) continue;
      const int cWidth = rectWidth(c);
      const int cHeight = rectHeight(c);
      const int hHeight = rectHeight(*h);
      if (cWidth > 4 * cw && cHeight > 5 * pitch && hHeight < 2 * pitch) continue;
      if (cWidth < 3 * cw && cHeight < 2 * pitch && hHeight > 6 * pitch) continue;
      const Box joint{std::min<int>(c.left, h->left), std::max<int>(c.top, h->top), std::max<int>(c.right, h->right),
                      std::min<int>(c.bottom, h->bottom)};
      if (rectHeight(joint) < m.p60 * 70 / 100) continue;
      bool blocked = false;
      if (const rect_record* seps = ctx->sepList; seps != nullptr) {
        for (const rect_record* s = seps->next; s != seps && !blocked; s = s->next) {
          blocked = rectHeight(*s) > rectWidth(*s) && intersects(*s, joint);
        }
      }
      if (const rect_record* text = ctx->textList; text != nullptr) {
        for (const rect_record* t = text->next; t != text && !blocked; t = t->next) {
          if (t->top > joint.bottom || joint.top > t->bottom) continue;
          blocked = (t->left >= joint.left && t->left <= joint.right) ||
                    (t->right >= joint.left && t->right <= joint.right);
        }
      }
      if (blocked) continue;
      c = joint;
      h->label = hHeight > 2 * m.p60 ? static_cast<short>(h->label + 1) : 2;
    }
    if (rectWidth(c) > m.q370 && appendBand(&ctx->gapList, c.left, c.top, c.right, c.bottom, 0) == nullptr) {
      free_rect_list(&old);
      return kStatusNoMemory;
    }
  }
  free_rect_list(&old);
  if (ctx->gapList == nullptr) return kStatusDone;
  if (layout::ringEmpty(ctx->gapList)) {
    free_rect_list(&ctx->gapList);
    return kStatusDone;
  }
  if (qsort_rects_by_right_desc(ctx->gapList) != kStatusDone) return kStatusNoMemory;
  merge_vGaps_overlap(&ctx->gapList);
  drop_vGaps_on_text(ctx);
  drop_vNarrowGaps(ctx, m.q370);
  drop_vTallGaps(ctx);
  drop_vGaps_few_specks(ctx);
  return qsort_rects_by_right_desc(ctx->gapList);
}

short drop_vNarrowGaps(layctx* ctx, int minWidth) {
  dropBands(ctx->gapList, [minWidth](const rect_record& g) { return rectWidth(g) < minWidth; });
  return kStatusDone;
}

short drop_vTallGaps(layctx* ctx) {
  const int tallest = (ctx->charHeight + ctx->gapY) * 700 / 100;
  dropBands(ctx->gapList, [tallest](const rect_record& g) { return rectHeight(g) > tallest; });
  return kStatusDone;
}

short drop_vGaps_on_text(layctx* ctx) {
  const rect_record* text = ctx->textList;
  if (layout::ringEmpty(text)) return kStatusDone;
  const int cw = ctx->charWidth;
  dropBands(ctx->gapList, [&](const rect_record& g) {
    Box tested{g.left, g.top, g.right, g.bottom};
    if (rectHeight(g) > cw) {
      tested.top += cw / 4;
      tested.bottom -= cw / 4;
    }
    for (const rect_record* t = text->next; t != text && !layout::liesPast(kColumns, *t, g); t = t->next) {
      if (rectWidth(*t) >= cw / 2 && rectHeight(*t) >= cw / 2 && intersects(*t, tested)) return true;
    }
    return false;
  });
  return kStatusDone;
}

short drop_vGaps_few_specks(layctx* ctx) {
  const rect_record* specks = ctx->speckList;
  if (specks == nullptr) return kStatusDone;
  const double rowPitch = std::max(1, ctx->charWidth + ctx->gapX);
  dropBands(ctx->gapList, [&](const rect_record& g) {
    int meeting = 0;
    for (const rect_record* s = specks->next; s != specks; s = s->next) meeting += intersects(*s, g) ? 1 : 0;
    return meeting > rectWidth(g) * 250.0 / rowPitch / 100.0 + 1.0;
  });
  return kStatusDone;
}

short vGaps_to_separators(rect_record* gaps, layctx* ctx) {
  if (gaps == nullptr || ctx->charHeight <= 0) return kStatusDone;
  for (const rect_record* g = gaps->next; g != gaps; g = g->next) {
    const int h = rectHeight(*g);
    const double p = std::clamp(46.0 - (20.0 / 3.0) * h / ctx->charHeight, 20.0, 40.0);
    const int off = h * static_cast<int>(p) / 100;
    if (appendBand(&ctx->sepList, g->left, g->top + off, g->right, g->top + off + 1, layout::kKindGapMark) == nullptr ||
        appendBand(&ctx->sepList, g->left, g->bottom - off, g->right, g->bottom - off + 1, layout::kKindGapMark) ==
            nullptr) {
      return kStatusNoMemory;
    }
  }
  return kStatusDone;
}
