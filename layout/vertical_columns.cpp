// Vertical writing: text columns; see vertical_columns.h.
#include "layout/vertical_columns.h"

#include "layout/layout_status.h"
#include "layout/parameter_tables.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"
#include "layout/text_measures.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

using layout::Box;
using layout::intersects;
using layout::kStatusDone;
using layout::kStatusNoMemory;
using layout::kStatusNothing;
using layout::overlapHorizontally;
using layout::overlapVertically;
using layout::rectHeight;
using layout::rectWidth;

namespace layout {

int column_link_distance(const layctx& ctx) {
  const int pitch = ctx.charHeight + ctx.gapY;
  const bool wholeColumn = ctx.areaMode() && ctx.params.byte(ParamBlock::kNoVerticalMargin) == 0;
  if (wholeColumn || ctx.params.byte(ParamBlock::kSingleBlock) == 1) return pitch * 20;
  return pitch * parameterTables().set4(13) / 100;
}

bool wideSeparatorMeets(const rect_record* separators, int left, int top, int right, int bottom) {
  if (separators == nullptr) return false;
  const Box box{left, top, right, bottom};
  for (const rect_record* s = separators->next; s != separators; s = s->next) {
    if (rectWidth(*s) > rectHeight(*s) && intersects(*s, box)) return true;
  }
  return false;
}

Box spaceBetweenVertically(const rect_record& a, const rect_record& b) {
  const int left = std::min(a.left, b.left);
  const int right = std::max(a.right, b.right);
  if (b.bottom < a.top) return {left, b.bottom, right, a.top};
  if (a.bottom < b.top) return {left, a.bottom, right, b.top};
  return {left, std::max(a.top, b.top), right, std::min(a.bottom, b.bottom)};
}

short takeChildren(rect_record* a, rect_record* b, rect_record* rect_record::*ring) {
  if (b->*ring != nullptr) {
    if (move_rect_list(&(b->*ring), &(a->*ring)) != kStatusDone) return kStatusNoMemory;
    drop_rect(b);
    return kStatusDone;
  }
  rect_record* before = b->prev;
  ringUnlink(b);
  if (insert_node_tail(&(a->*ring), b) != kStatusDone) {
    ringLinkAfter(before, b);
    return kStatusNoMemory;
  }
  return kStatusDone;
}

}  // namespace layout

namespace {

struct Reach {
  int along;              // how far up and down a column takes characters
  int stripLeft, stripRight;
};

Reach reachOf(const rect_record& a, int distance, int charWidth) {
  const auto& p = layout::parameterTables().set4;
  const int w = rectWidth(a);
  int r = charWidth > 0 ? distance * w / charWidth : distance;
  r = std::clamp(r, distance * 60 / 100, distance * 150 / 100);
  const int strip = w * p(14) / 100;
  return {r, (a.left + a.right - strip) >> 1, (a.left + a.right + strip) >> 1};
}

short sortColumns(rect_record* head) { return qsort_rects_by_right_desc(head); }

}  // namespace

short link_vChars(layctx* ctx, int distance) {
  rect_record* head = ctx->textList;
  if (layout::ringEmpty(head)) return kStatusDone;
  if (sortColumns(head) != kStatusDone) return kStatusNoMemory;
  const int farthest = 4 * ctx->gapX;
  for (rect_record* a = head->next; a != head; a = a->next) {
    if (a->inner == nullptr) {
      rect_record* self = append_rect(&a->inner);
      if (self == nullptr) return kStatusNoMemory;
      self->left = a->left;
      self->top = a->top;
      self->right = a->right;
      self->bottom = a->bottom;
    }
    Reach reach = reachOf(*a, distance, ctx->charWidth);
    for (rect_record* b = head->next; b != head && a->left - b->right + 1 <= farthest;) {
      const bool links = b != a && b->right >= reach.stripLeft && b->left <= reach.stripRight &&
                         a->top - reach.along <= b->bottom && b->top <= a->bottom + reach.along;
      if (!links) {
        b = b->next;
        continue;
      }
      const Box space = layout::spaceBetweenVertically(*a, *b);
      if (layout::wideSeparatorMeets(ctx->sepList, space.left, space.top, space.right, space.bottom)) {
        b = b->next;
        continue;
      }
      layout::uniteInto(*a, *b);
      if (layout::takeCharacters(a, b) != kStatusDone) return kStatusNoMemory;
      reach = reachOf(*a, distance, ctx->charWidth);
      b = head->next;
    }
  }
  if (sortColumns(head) != kStatusDone) return kStatusNoMemory;
  if (merge_vNestedLines(&ctx->textList) != kStatusDone) return kStatusNoMemory;
  if (attach_vLargeToLines(ctx) != kStatusDone) return kStatusNoMemory;
  return sortColumns(ctx->textList);
}

short merge_vNestedLines(rect_record** list) {
  rect_record* head = *list;
  if (layout::ringEmpty(head)) return kStatusDone;
  for (rect_record* a = head->next; a != head; a = a->next) {
    for (rect_record* b = head->next; b != head && !layout::liesPast(layout::RingOrder::ByRightDesc, *b, *a);) {
      if (b == a || !layout::liesInside(*b, *a)) {
        b = b->next;
        continue;
      }
      rect_record* next = b->next;
      if (layout::takeCharacters(a, b) != kStatusDone) return kStatusNoMemory;
      // A record without characters of its own went into a's ring whole.
      b = next;
    }
  }
  return kStatusDone;
}

short attach_vLargeToLines(layctx* ctx) {
  rect_record* large = ctx->largeList;
  rect_record* head = ctx->textList;
  if (layout::ringEmpty(large) || layout::ringEmpty(head)) return kStatusDone;
  const int reach = layout::tenthsToPixels(30, ctx->page.dpi);
  for (rect_record* l = large->next; l != large; l = l->next) {
    const int lw = rectWidth(*l);
    rect_record* t = head->next;
    for (; t != head && !layout::liesPast(layout::RingOrder::ByRightDesc, *t, *l); t = t->next) {
      if (std::abs(rectWidth(*t) - lw) <= lw * 20 / 100 && overlapHorizontally(*t, *l) &&
          t->top - reach <= l->bottom && l->top <= t->bottom + reach) {
        break;
      }
    }
    if (t == head || layout::liesPast(layout::RingOrder::ByRightDesc, *t, *l)) continue;
    rect_record* copy = append_rect(&t->inner);
    if (copy == nullptr) return kStatusNoMemory;
    copy->left = l->left;
    copy->top = l->top;
    copy->right = l->right;
    copy->bottom = l->bottom;
    layout::uniteInto(*t, *l);
    sort_rects_by_top(t->inner);
    l = drop_rect(l);
    // The grown column swallows what now lies just above or below it.
    for (rect_record* u = head->next; u != head;) {
      if (u == t || !overlapHorizontally(*u, *t) || u->top - t->bottom > ctx->charHeight ||
          t->top - u->bottom > ctx->charHeight) {
        u = u->next;
        continue;
      }
      layout::uniteInto(*t, *u);
      if (layout::takeCharacters(t, u) != kStatusDone) return kStatusNoMemory;
      sort_rects_by_top(t->inner);
      u = head->next;
    }
  }
  return kStatusDone;
}

namespace {

int minimumHeight(const layctx& ctx) { return ctx.areaMode() ? 0 : 15 * ctx.charWidth; }

}  // namespace

short measure_vColumnWidth(layctx* ctx) {
  rect_record* head = ctx->textList;
  const int count = count_rects(head);
  if (count == 0) return kStatusNothing;
  if (count == 1) {
    ctx->columnWidth = static_cast<short>(rectWidth(*head->next));
    return kStatusDone;
  }
  if (sortColumns(head) != kStatusDone) return kStatusNoMemory;
  const int cw = ctx->charWidth;
  const int tall = minimumHeight(*ctx);
  std::vector<short> widths;
  for (const rect_record* r = head->next; r != head; r = r->next) {
    const int w = rectWidth(*r);
    if (w > cw * 50 / 100 && w < cw * 250 / 100 && rectHeight(*r) > tall) widths.push_back(static_cast<short>(w));
  }
  if (widths.empty()) return kStatusNothing;
  ctx->columnWidth = std::max<short>(1, robust_mean(widths.data(), static_cast<int>(widths.size())));
  return kStatusDone;
}

short measure_vColumnGap(layctx* ctx) {
  rect_record* head = ctx->textList;
  if (count_rects(head) < 2) return kStatusNothing;
  constexpr int kGapBuffer = 10000;
  constexpr int kGapLimit = 9996;
  layout::WorkBuffer<short> gaps(kGapBuffer);
  if (!gaps) return kStatusNothing;
  const int cw = ctx->charWidth;
  const int tall = minimumHeight(*ctx);
  auto counted = [&](const rect_record& r) {
    const int w = rectWidth(r);
    return w > ctx->columnWidth * 50 / 100 && w < cw * 200 / 100 && rectHeight(r) > tall;
  };
  const int farthest = 4 * ctx->gapX;
  int n = 0;
  for (const rect_record* a = head->next; a != head && n < kGapLimit; a = a->next) {
    if (!counted(*a)) continue;
    int best = 0;
    for (const rect_record* b = a->next; b != head; b = b->next) {
      if (!counted(*b) || !overlapVertically(*a, *b) || b->right >= a->left) continue;
      const int d = a->left - b->right + 1;
      if (d > farthest) break;
      if (best == 0 || d < best) best = d;
    }
    if (best > 0) gaps[static_cast<std::size_t>(n++)] = static_cast<short>(std::min(best, 32767));
  }
  if (n == 0) return kStatusNothing;
  const short mean = robust_mean(gaps.data(), n);
  const int least = ctx->columnWidth * 2 / 3;
  ctx->columnGap = static_cast<short>(mean > least ? mean : least);
  return kStatusDone;
}

short classify_vLines(layctx* ctx) {
  rect_record* head = ctx->textList;
  if (layout::ringEmpty(head)) return kStatusDone;
  for (rect_record* r = head->next; r != head; r = r->next) r->label = -1;
  if (ctx->areaMode()) {
    for (rect_record* r = head->next; r != head; r = r->next) r->label = layout::kColumnOrdinary;
    return kStatusDone;
  }
  const auto& p = layout::parameterTables().set4;
  const int cw = ctx->columnWidth;
  for (rect_record* a = head->next; a != head; a = a->next) {
    if (rectWidth(*a) >= cw * p(21) / 100) continue;
    for (const rect_record* b = head->next; b != head && a->left - b->right + 1 <= ctx->columnGap; b = b->next) {
      if (b == a || b->label == layout::kColumnNarrow) continue;
      if (b->top < a->top && a->bottom < b->bottom && b->right > a->left - cw) {
        a->label = layout::kColumnNarrow;
        break;
      }
    }
  }
  for (rect_record* r = head->next; r != head; r = r->next) {
    if (r->label == layout::kColumnNarrow) continue;
    r->label = rectWidth(*r) > cw * p(22) / 100 ? layout::kColumnWide : layout::kColumnOrdinary;
  }
  return kStatusDone;
}

short drop_vLines_with_specks(layctx* ctx) {
  rect_record* head = ctx->textList;
  rect_record* specks = ctx->speckList;
  if (layout::ringEmpty(specks) || layout::ringEmpty(head)) return kStatusDone;
  const int pitch = std::max(1, ctx->charHeight + ctx->gapY);
  for (rect_record* a = head->next; a != head; a = a->next) {
    const int n = std::max(1, rectHeight(*a) / pitch);
    int touching = 0;
    for (const rect_record* s = specks->next; s != specks; s = s->next) {
      if (intersects(*s, *a)) ++touching;
    }
    if (touching <= 5 * n) continue;
    for (rect_record* s = specks->next; s != specks; s = s->next) {
      if (intersects(*s, *a)) s = drop_rect(s);
    }
    a = drop_rect(a);
  }
  return kStatusDone;
}

short merge_vLineFragments(layctx* ctx) {
  rect_record* head = ctx->textList;
  if (layout::ringEmpty(head)) return kStatusDone;
  const int big = ctx->columnWidth * 200 / 100;
  for (rect_record* a = head->next; a != head; a = a->next) {
    if (rectWidth(*a) < big) continue;
    for (rect_record* b = head->next; b != head && b->right + big >= a->left;) {
      bool merge = b != a && rectWidth(*b) >= big && !overlapVertically(*a, *b);
      if (merge) {
        const int w = rectWidth(*a);
        const bool near = (b->top > a->bottom && b->top - a->bottom <= w) || (a->top > b->bottom && a->top - b->bottom <= w);
        const int overlap = std::min(a->right, b->right) - std::max(a->left, b->left) + 1;
        merge = near && (2 * overlap >= w || 2 * overlap >= rectWidth(*b));
      }
      if (merge) {
        const Box space = layout::spaceBetweenVertically(*a, *b);
        merge = !layout::wideSeparatorMeets(ctx->sepList, space.left, space.top, space.right, space.bottom);
      }
      if (merge) {
        Box u{a->left, a->top, a->right, a->bottom};
        layout::uniteInto(u, *b);
        for (const rect_record* c = head->next; c != head && merge; c = c->next) {
          if (c != a && c != b && intersects(*c, u)) merge = false;
        }
      }
      if (!merge) {
        b = b->next;
        continue;
      }
      layout::uniteInto(*a, *b);
      if (layout::takeCharacters(a, b) != kStatusDone) return kStatusNoMemory;
      b = head->next;
    }
  }
  return kStatusDone;
}
