// Components, regions and specks; see component_steps.h.
#include "layout/component_steps.h"

#include "layout/layout_status.h"
#include "layout/parameter_tables.h"
#include "layout/pixel_groups.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"
#include "layout/step_support.h"

#include <algorithm>
#include <cstdlib>

using layout::Box;
using layout::intersects;
using layout::kStatusDone;
using layout::kStatusNoMemory;
using layout::liesInside;
using layout::mmToPixels;
using layout::rectArea;
using layout::rectHeight;
using layout::rectWidth;
using layout::tenthsToPixels;

namespace {

Box boxOf(const rect_record& r) { return {r.left, r.top, r.right, r.bottom}; }
Box widened(const rect_record& r, int by) { return {r.left - by, r.top - by, r.right + by, r.bottom + by}; }

bool isSeparator(int w, int h, int cw, int ch, const layout::PieceLimits& limits) {
  const long aspect = limits.aspectPercent;
  const int longRatio = limits.longPercent;
  const int thinRatio = limits.thinPercent;
  const bool ordinary = w * 100L <= h * aspect && h * 100L <= w * aspect &&
                        !(w > cw * longRatio / 100 && h < ch * thinRatio / 100) &&
                        !(h > ch * longRatio / 100 && w < cw * thinRatio / 100);
  return !ordinary;
}

}  // namespace

short classify_pieces(layctx* ctx, const layout::PieceLimits& limits) {
  rect_record* head = ctx->textList;
  if (head == nullptr) return kStatusDone;
  const int speck = limits.speck;
  for (rect_record* r = head->next; r != head; r = r->next) {
    const int w = rectWidth(*r);
    const int h = rectHeight(*r);
    rect_record** target = nullptr;
    short kind = -1;
    if (limits.frameTest && w > limits.frameWidth && h > limits.frameHeight) {
      r = drop_rect(r);
      continue;
    }
    if (isSeparator(w, h, ctx->charWidth, ctx->charHeight, limits)) {
      target = &ctx->sepList;
      kind = h < w ? layout::kKindWideSeparator : layout::kKindTallSeparator;
    } else if (h <= limits.textHeight && w <= limits.textWidth) {
      if (w > speck || h > speck) continue;
      target = &ctx->speckList;
    } else {
      target = &ctx->largeList;
      kind = layout::kKindRegion;
    }
    rect_record* before = layout::movePiece(r, target, kind);
    if (before == nullptr) return kStatusNoMemory;
    r = before;
  }
  return kStatusDone;
}

namespace {

// Frees every record of *list that lies inside `box`.
template <typename B>
void dropInside(rect_record* head, const B& box) {
  if (head == nullptr) return;
  for (rect_record* r = head->next; r != head; r = r->next) {
    if (liesInside(*r, box)) r = drop_rect(r);
  }
}

}  // namespace

namespace {

layout::PieceLimits horizontalShapes() {
  const auto& p = layout::parameterTables().layout;
  layout::PieceLimits limits{};
  limits.aspectPercent = p(10);
  limits.longPercent = p(6);
  limits.thinPercent = p(7);
  limits.speck = p(5);
  return limits;
}

}  // namespace

short classify_components(layctx* ctx) {
  const auto& p = layout::parameterTables().layout;
  const int dpi = ctx->page.dpi;
  const int pagePercent = p(11);
  layout::PieceLimits limits = horizontalShapes();
  limits.frameTest = true;
  limits.frameWidth = std::max(ctx->page.widthPixels() * pagePercent / 100, mmToPixels(40, dpi));
  limits.frameHeight = std::max(ctx->page.height * pagePercent / 100, mmToPixels(20, dpi));
  limits.textHeight = p(8);
  limits.textWidth = p(9);
  return classify_pieces(ctx, limits);
}

short classify_components_in_area(layctx* ctx, const Rect16* area, short margin) {
  const int dpi = ctx->page.dpi;
  const int less = ctx->params.byte(ParamBlock::kNoHorizontalMargin) == 1 ? 0 : 3 * margin;
  layout::PieceLimits limits = horizontalShapes();
  limits.frameTest = false;
  limits.textHeight = std::min(rectHeight(*area) - less, mmToPixels(10, dpi));
  limits.textWidth = std::min(rectWidth(*area) - less, mmToPixels(20, dpi));
  return classify_pieces(ctx, limits);
}

short drop_touching_separators(layctx* ctx) {
  if (count_rects(ctx->textList) < 2) return kStatusDone;
  return drop_separators_on_text(ctx, layout::RingOrder::ByTop);
}

short drop_separators_on_text(layctx* ctx, layout::RingOrder order) {
  rect_record* text = ctx->textList;
  rect_record* seps = ctx->sepList;
  if (layout::ringEmpty(text) || layout::ringEmpty(seps)) return kStatusDone;
  for (rect_record* s = seps->next; s != seps; s = s->next) {
    for (rect_record* c = text->next; c != text && !layout::liesPast(order, *c, *s); c = c->next) {
      if (intersects(*s, *c)) {
        s = drop_rect(s);
        break;
      }
    }
  }
  return kStatusDone;
}

short absorb_figure_contents(layctx* ctx, int smallMm, layout::RingOrder order) {
  rect_record* regions = ctx->largeList;
  if (regions == nullptr) return kStatusDone;
  const int dpi = ctx->page.dpi;
  const int cw = ctx->charWidth;
  const int ch = ctx->charHeight;

  // Small figures: the character-like pieces inside them are part of the figure.
  const int small = mmToPixels(smallMm, dpi);
  for (rect_record* r = regions->next; r != regions; r = r->next) {
    if (rectWidth(*r) > small || rectHeight(*r) > small) continue;
    short kind = 0;
    const Rect16 rect = layout::rectOf(*r);
    if (layout::stepServices().classifyRegion(&kind, &ctx->page, &rect) == kStatusNoMemory) return kStatusNoMemory;
    if (kind == layout::kKindText) continue;
    long characters = 0;
    if (rect_record* text = ctx->textList; text != nullptr) {
      for (rect_record* c = text->next; c != text && !layout::liesPast(order, *c, *r); c = c->next) {
        const int w = rectWidth(*c);
        const int h = rectHeight(*c);
        if (intersects(*c, *r) && w >= cw * 40 / 100 && w <= cw * 130 / 100 && h >= ch * 40 / 100 &&
            h <= ch * 130 / 100) {
          characters += rectArea(*c);
        }
      }
    }
    if (rectArea(*r) * 5 / 100 >= characters) {
      dropInside(ctx->textList, *r);
      dropInside(ctx->speckList, *r);
    }
  }

  // Near small figures are one figure.
  const int mid = mmToPixels(60, dpi);
  const int reach = tenthsToPixels(25, dpi);
  for (rect_record* r = regions->next; r != regions; r = r->next) {
    if (rectWidth(*r) > mid || rectHeight(*r) > mid) continue;
    for (rect_record* q = regions->next; q != regions && !layout::liesPast(order, *q, *r); q = q->next) {
      if (q == r || rectWidth(*q) > mid || rectHeight(*q) > mid) continue;
      if (intersects(widened(*r, reach), *q)) {
        layout::uniteInto(*r, *q);
        drop_rect(q);
        q = regions;  // start again from the first region
      }
    }
  }
  return kStatusDone;
}

short drop_nested_components(layctx* ctx, layout::RingOrder order) {
  rect_record* head = ctx->textList;
  if (head == nullptr) return 0;
  for (rect_record* a = head->next; a != head; a = a->next) {
    for (rect_record* b = a->next; b != head && !layout::liesPast(order, *b, *a); b = b->next) {
      if (liesInside(*b, *a)) b = drop_rect(b);
    }
  }
  return static_cast<short>(count_rects(head));
}

short merge_overlapping_components(rect_record** list, short lookBack, short minimumOverlap,
                                   layout::RingOrder order) {
  rect_record* head = *list;
  if (head == nullptr) return 0;
  const int d = minimumOverlap;
  auto overlapping = [d](const rect_record& a, const rect_record& b) {
    return intersects(a, b) && a.right - b.left >= d && b.right - a.left >= d;
  };
  auto merge = [](rect_record* a, rect_record* b) {
    layout::uniteInto(*a, *b);
    if (b->extra == 1) a->extra = 1;
    drop_rect(b);
  };
  for (rect_record* a = head->next; a != head; a = a->next) {
    for (rect_record* b = a->next; b != head && !layout::liesPast(order, *b, *a);) {
      if (overlapping(*a, *b)) {
        merge(a, b);
        b = a->next;
      } else {
        b = b->next;
      }
    }
    // Backwards, as far as a record can still reach back over A.
    auto inReach = [order, lookBack](const rect_record& b, const rect_record& a) {
      return order == layout::RingOrder::ByTop ? a.top - b.bottom <= lookBack : b.left - a.right <= lookBack;
    };
    for (rect_record* b = a->prev; b != head && inReach(*b, *a);) {
      if (overlapping(*a, *b)) {
        merge(a, b);
        b = a->prev;
      } else {
        b = b->prev;
      }
    }
  }
  if (layout::sortInOrder(order, head) != kStatusDone) return kStatusNoMemory;
  return static_cast<short>(count_rects(head));
}

short absorb_inner_pieces(layctx* ctx) {
  rect_record* text = ctx->textList;
  rect_record* specks = ctx->speckList;
  if (layout::ringEmpty(text) || layout::ringEmpty(specks)) return kStatusDone;
  for (int pass = 0; pass < 2; ++pass) {
    // The window starts at the first speck below the first component.
    rect_record* cursor = specks->next;
    while (cursor != specks && cursor->top <= text->next->bottom) cursor = cursor->next;
    if (cursor == specks) return kStatusDone;
    for (rect_record* c = text->next; c != text; c = c->next) {
      while (cursor != specks && cursor->top <= c->bottom) cursor = cursor->next;
      while (cursor->prev != specks && cursor->prev->top > c->bottom) cursor = cursor->prev;
      const int reachUp = c->top - rectHeight(*c);
      for (rect_record* s = cursor->prev; s != specks && s->bottom >= reachUp; s = s->prev) {
        if (liesInside(*s, *c)) s = drop_rect(s)->next;
      }
    }
  }
  return kStatusDone;
}

short merge_regions(rect_record** regions, layctx* ctx) {
  rect_record* head = *regions;
  if (head == nullptr) return kStatusDone;
  const int dpi = ctx->page.dpi;
  const int e = mmToPixels(2, dpi);
  const int big = mmToPixels(100, dpi);

  // The asymmetric test is kept as it is: edges count as the same when
  // A - B lies between -(e + 1) and e - 1.
  auto near = [e](int a, int b) { return std::abs(a - b + 1) <= e; };
  for (rect_record* a = head->next; a != head; a = a->next) {
    for (rect_record* b = head->next; b != head; b = b->next) {
      if (b == a) continue;
      if (near(a->left, b->left) && near(a->right, b->right) && near(a->top, b->top) &&
          near(a->bottom, b->bottom)) {
        layout::uniteInto(*a, *b);
        drop_rect(b);
        a = head;  // start again from the first region
        break;
      }
    }
  }

  constexpr short kLarge = 0;
  constexpr short kSmall = 1;
  for (rect_record* r = head->next; r != head; r = r->next) {
    r->label = rectWidth(*r) > big && rectHeight(*r) > big ? kLarge : kSmall;
  }
  for (rect_record* a = head->next; a != head; a = a->next) {
    if (a->label != kSmall) continue;
    for (rect_record* b = head->next; b != head; b = b->next) {
      if (b == a || b->label != kSmall || !intersects(widened(*a, e), *b)) continue;
      Box u = boxOf(*a);
      layout::uniteInto(u, *b);
      if (rectWidth(u) > big || rectHeight(u) > big) continue;
      layout::uniteInto(*a, *b);
      drop_rect(b);
      a = head;
      break;
    }
  }
  for (rect_record* r = head->next; r != head; r = r->next) r->label = layout::kKindRegion;
  return kStatusDone;
}

short drop_excluded_components(layctx* ctx, const recg* exclusions, const Rect16* area) {
  if (exclusions == nullptr || ctx->textList == nullptr) return kStatusDone;
  for (const recg* e = exclusions->next; e != exclusions; e = e->next) {
    const Box moved{e->left + area->left, e->top + area->top, e->right + area->left, e->bottom + area->top};
    rect_record* head = ctx->textList;
    for (rect_record* c = head->next; c != head; c = c->next) {
      if (intersects(*c, moved)) c = drop_rect(c);
    }
  }
  return kStatusDone;
}

short drop_components_outside_area(layctx* ctx, const Rect16* area) {
  rect_record* head = ctx->textList;
  if (head == nullptr) return kStatusDone;
  for (rect_record* c = head->next; c != head; c = c->next) {
    if (!intersects(*c, *area)) c = drop_rect(c);
  }
  return kStatusDone;
}

short absorb_sparse_regions(layctx* ctx) {
  rect_record* regions = ctx->largeList;
  rect_record* lines = ctx->textList;
  if (regions == nullptr) return kStatusDone;
  const int small = mmToPixels(50, ctx->page.dpi);
  for (rect_record* r = regions->next; r != regions; r = r->next) {
    if (rectWidth(*r) > small || rectHeight(*r) > small) continue;
    // A line inside the region counts twice: once whole, once as its
    // overlap.  The sum is kept as it is.
    long long covered = 0;
    if (lines != nullptr) {
      for (rect_record* l = lines->next; l != lines; l = l->next) {
        if (liesInside(*l, *r)) covered += rectArea(*l);
        if (intersects(*l, *r)) {
          const Box cut{std::max<int>(l->left, r->left), std::max<int>(l->top, r->top),
                        std::min<int>(l->right, r->right), std::min<int>(l->bottom, r->bottom)};
          covered += rectArea(cut);
        }
      }
    }
    if (covered * 100 / rectArea(*r) < 25) {
      dropInside(ctx->speckList, *r);
      dropInside(ctx->textList, *r);
    }
  }
  return kStatusDone;
}
