// Text lines and blocks; see line_steps.h.
#include "layout/line_steps.h"

#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/parameter_tables.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"
#include "layout/row_index.h"

#include <algorithm>
#include <new>
#include <optional>
#include <vector>

using layout::Box;
using layout::intersects;
using layout::kStatusDone;
using layout::kStatusNoMemory;
using layout::rectHeight;
using layout::rectWidth;

namespace layout {

namespace {

// Moves the records of *from to the tail of *to; frees from's sentinel.
short spliceRing(rect_record*& from, rect_record*& to) {
  if (from == nullptr) return kStatusDone;
  if (to == nullptr) {
    to = from;
    from = nullptr;
    return kStatusDone;
  }
  ringSplice(from, to);
  free_rect_node(from);
  from = nullptr;
  return kStatusDone;
}

}  // namespace

namespace {

// Moves b's child ring `ring` to a's, or b itself when it has none.
short adopt(rect_record* a, rect_record* b, rect_record* rect_record::*ring) {
  if (b->*ring != nullptr) return spliceRing(b->*ring, a->*ring);
  rect_record* before = b->prev;
  ringUnlink(b);
  if (insert_node_tail(&(a->*ring), b) == kStatusDone) return kStatusDone;
  ringLinkAfter(before, b);  // no sentinel for a's ring: b stays where it was
  return kStatusNoMemory;
}

}  // namespace

short adoptChildren(rect_record* a, rect_record* b) { return adopt(a, b, &rect_record::inner); }
short adoptLines(rect_record* a, rect_record* b) { return adopt(a, b, &rect_record::outer); }

Box facingGap(const rect_record& a, const rect_record& b) {
  int left = std::min(a.right, b.right);
  int right = std::max(a.left, b.left);
  if (left > right) std::swap(left, right);
  return {left, std::min(a.top, b.top), right, std::max(a.bottom, b.bottom)};
}

bool tallSeparatorMeets(const rect_record* separators, const Box& box) {
  if (separators == nullptr) return false;
  for (const rect_record* s = separators->next; s != separators; s = s->next) {
    if (s->bottom - s->top > s->right - s->left && intersects(*s, box)) return true;
  }
  return false;
}

void sortRingStable(rect_record* head, RingKey key) {
  if (head == nullptr || head->next == head || head->next->next == head) return;
  std::vector<rect_record*> order;
  try {
    for (rect_record* r = head->next; r != head; r = r->next) order.push_back(r);
  } catch (const std::bad_alloc&) {
    // The insertion sorts give the same order, only slower.
    if (key == RingKey::Top)
      sort_rects_by_top(head);
    else
      sort_rects_by_left(head);
    return;
  }
  if (key == RingKey::Top)
    std::stable_sort(order.begin(), order.end(), [](const rect_record* x, const rect_record* y) { return x->top < y->top; });
  else
    std::stable_sort(order.begin(), order.end(),
                     [](const rect_record* x, const rect_record* y) { return x->left < y->left; });
  rect_record* prev = head;
  for (rect_record* r : order) {
    prev->next = r;
    r->prev = prev;
    prev = r;
  }
  prev->next = head;
  head->prev = prev;
}

}  // namespace layout

using layout::sortRingStable;

short link_rect(rect_record* record, rect_record** head) { return insert_node_tail(head, record); }

namespace {

// The reach and middle band of a line grown from a component.
struct Reach {
  int reach;
  int bandTop;
  int bandBottom;
};

Reach reachOf(const rect_record& c, int d, int charHeight, bool lowerBound) {
  const int h = rectHeight(c);
  // Without a character height the reach is the join distance itself.
  int r = charHeight > 0 ? h * d / charHeight : d;
  r = std::min(r, d * 150 / 100);
  if (lowerBound) r = std::max(r, d * 60 / 100);
  const int k = h * layout::parameterTables().layout(27) / 100;
  return {r, (c.top + c.bottom - k) / 2, (c.top + c.bottom + k) / 2};
}

short giveOwnRectangle(rect_record* c) {
  rect_record* self = append_rect(&c->inner);
  if (self == nullptr) return kStatusNoMemory;
  self->left = c->left;
  self->top = c->top;
  self->right = c->right;
  self->bottom = c->bottom;
  self->extra = c->extra;
  return kStatusDone;
}

std::vector<rect_record*> ringRecords(rect_record* head) {
  std::vector<rect_record*> out;
  if (head == nullptr) return out;
  out.reserve(static_cast<std::size_t>(count_rects(head)));
  for (rect_record* r = head->next; r != head; r = r->next) out.push_back(r);
  return out;
}

// The work arrays of a rescanning step: the records in ring order, their
// row index and which of them have left the ring.
struct RescanArrays {
  std::vector<rect_record*> recs;
  std::optional<layout::RowIndex> index;
  std::vector<char> gone;

  bool make(rect_record* head) {
    try {
      recs = ringRecords(head);
      index.emplace(recs);
      gone.assign(recs.size(), 0);
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }
};

short chainComponents(layctx* ctx, int d) {
  RescanArrays arrays;
  if (!arrays.make(ctx->textList)) return kStatusNoMemory;
  const std::vector<rect_record*>& recs = arrays.recs;
  layout::RowIndex& index = *arrays.index;
  std::vector<char>& gone = arrays.gone;
  const int below = 4 * ctx->gapY;
  for (std::size_t i = 0; i < recs.size(); ++i) {
    if (gone[i]) continue;
    rect_record* c = recs[i];
    if (c->inner == nullptr && giveOwnRectangle(c) != kStatusDone) return kStatusNoMemory;
    Reach reach = reachOf(*c, d, ctx->charHeight, true);
    std::size_t from = 0;
    for (;;) {
      const std::size_t end = index.firstTopAbove(c->bottom + below);
      const std::size_t p = index.firstMeeting(from, reach.bandTop, reach.bandBottom, end);
      if (p >= recs.size()) break;
      from = p + 1;
      if (p == i) continue;
      rect_record* dr = recs[p];
      if (dr->right < c->left - reach.reach || dr->left > c->right + reach.reach) continue;
      if (layout::tallSeparatorMeets(ctx->sepList, layout::facingGap(*c, *dr))) continue;
      const Box joined{std::min(c->left, dr->left), std::min(c->top, dr->top), std::max(c->right, dr->right),
                       std::max(c->bottom, dr->bottom)};
      const bool hadComponents = dr->inner != nullptr;
      if (layout::adoptChildren(c, dr) != kStatusDone) return kStatusNoMemory;
      if (hadComponents) drop_rect(dr);  // its components moved; a bare piece moved itself
      layout::uniteInto(*c, joined);
      gone[p] = 1;
      index.remove(p);
      index.update(i, c->top, c->bottom);
      reach = reachOf(*c, d, ctx->charHeight, false);
      from = 0;
    }
  }
  return kStatusDone;
}

}  // namespace

short build_lines(layctx* ctx, int joinDistance) {
  rect_record* head = ctx->textList;
  if (head == nullptr) return kStatusDone;
  sortRingStable(head);
  if (chainComponents(ctx, joinDistance) != kStatusDone) return kStatusNoMemory;
  sortRingStable(head);
  absorb_contained_lines(head);
  if (attach_regions_to_lines(ctx) != kStatusDone) return kStatusNoMemory;
  sortRingStable(head);
  return kStatusDone;
}

short absorb_contained_lines(rect_record* lines) {
  if (lines == nullptr) return kStatusDone;
  // The ring is sorted by top: the lines that can lie inside A start at the
  // first line with A's top and end at the first line below A's bottom.
  for (rect_record* a = lines->next; a != lines; a = a->next) {
    rect_record* first = a;
    while (first->prev != lines && first->prev->top >= a->top) first = first->prev;
    for (rect_record* b = first; b != lines && b->top <= a->bottom; b = b->next) {
      if (b == a || b->top < a->top || b->bottom > a->bottom || b->left < a->left || b->right > a->right) continue;
      if (layout::adoptChildren(a, b) != kStatusDone) return kStatusNoMemory;
      b = drop_rect(b);
    }
  }
  return kStatusDone;
}

short attach_regions_to_lines(layctx* ctx) {
  rect_record* regions = ctx->largeList;
  rect_record* lines = ctx->textList;
  if (regions == nullptr || lines == nullptr) return kStatusDone;
  const int e = layout::mmToPixels(3, ctx->page.dpi);
  for (rect_record* r = regions->next; r != regions; r = r->next) {
    const int h = rectHeight(*r);
    const int slack = h * 20 / 100;
    for (rect_record* l = lines->next; l != lines && l->top <= r->bottom; l = l->next) {
      const int lh = rectHeight(*l);
      if (lh < h - slack || lh > h + slack || l->bottom < r->top) continue;
      if (l->right < r->left - e || l->left > r->right + e) continue;
      rect_record* piece = append_rect(&l->inner);
      if (piece == nullptr) return kStatusNoMemory;
      piece->left = r->left;
      piece->top = r->top;
      piece->right = r->right;
      piece->bottom = r->bottom;
      layout::uniteInto(*l, *r);
      sortRingStable(l->inner, layout::RingKey::Left);
      r = drop_rect(r);
      break;
    }
  }
  return kStatusDone;
}

short classify_line_heights(layctx* ctx) {
  rect_record* head = ctx->textList;
  if (head == nullptr) return kStatusDone;
  if (ctx->areaMode()) {
    for (rect_record* l = head->next; l != head; l = l->next) l->label = layout::kLineNormal;
    return kStatusDone;
  }
  const auto& p = layout::parameterTables().layout;
  const int lh = ctx->lineHeight;
  const int lg = ctx->lineGapH;
  for (rect_record* l = head->next; l != head; l = l->next) l->label = layout::kLineUnclassified;
  for (rect_record* s = head->next; s != head; s = s->next) {
    if (rectHeight(*s) >= lh * p(28) / 100) continue;
    s->label = layout::kLineSmall;
    bool attached = false;
    for (rect_record* x = head->next; x != head && x->top <= s->bottom + lg; x = x->next) {
      if (x->label == layout::kLineSmall) continue;
      if (x->left < s->right && s->left < x->right && x->top < s->bottom + lh) {
        attached = true;
        break;
      }
    }
    if (!attached) s->label = layout::kLineUnclassified;
  }
  int tall = lh * p(29) / 100;
  if (ctx->params.word(ParamBlock::kLanguageWord) == 1) tall = tall * 150 / 100;
  for (rect_record* l = head->next; l != head; l = l->next) {
    if (l->label == layout::kLineSmall) continue;
    l->label = rectHeight(*l) > tall ? layout::kLineTall : layout::kLineNormal;
  }
  return kStatusDone;
}

short drop_noisy_lines(layctx* ctx) {
  rect_record* lines = ctx->textList;
  rect_record* specks = ctx->speckList;
  if (lines == nullptr || specks == nullptr) return kStatusDone;
  const int pitch = ctx->charWidth + ctx->gapX;
  for (rect_record* l = lines->next; l != lines; l = l->next) {
    const int n = std::max(1, pitch > 0 ? rectWidth(*l) / pitch : 1);
    int count = 0;
    for (rect_record* s = specks->next; s != specks && s->top <= l->bottom; s = s->next) {
      if (intersects(*s, *l)) ++count;
    }
    if (count <= 5 * n) continue;
    for (rect_record* s = specks->next; s != specks && s->top <= l->bottom; s = s->next) {
      if (intersects(*s, *l)) s = drop_rect(s);
    }
    l = drop_rect(l);
  }
  return kStatusDone;
}

short merge_lines_at_tall_lines(layctx* ctx) {
  rect_record* lines = ctx->textList;
  if (lines == nullptr) return kStatusDone;
  const int t = ctx->lineHeight * 200 / 100;
  for (rect_record* a = lines->next; a != lines; a = a->next) {
    if (rectHeight(*a) < t) continue;
    for (rect_record* b = lines->next; b != lines && b->top <= a->bottom + t; b = b->next) {
      if (b == a || rectHeight(*b) < t) continue;
      if (!(b->right < a->left || b->left > a->right)) continue;
      if (b->top > a->bottom || a->top > b->bottom) continue;
      const int ah = rectHeight(*a);
      const int bh = rectHeight(*b);
      if (a->left - ah > b->right || b->left > a->right + ah) continue;
      const int common = std::min(a->bottom, b->bottom) - std::max(a->top, b->top) + 1;
      if (2 * common < ah && 2 * common < bh) continue;
      if (layout::tallSeparatorMeets(ctx->sepList, layout::facingGap(*a, *b))) continue;
      const Box u{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                  std::max(a->bottom, b->bottom)};
      bool third = false;
      for (rect_record* c = lines->next; c != lines && !third; c = c->next) {
        third = c != a && c != b && intersects(*c, u);
      }
      if (third) continue;
      if (layout::adoptChildren(a, b) != kStatusDone) return kStatusNoMemory;
      layout::uniteInto(*a, u);
      b = drop_rect(b);
    }
  }
  return kStatusDone;
}

namespace {

bool blocksKeptApartBySeparator(const rect_record* separators, const Box& u, int t) {
  if (separators == nullptr) return false;
  const int w = u.right - u.left + 1;
  const int h = u.bottom - u.top + 1;
  const Box shrunk{u.left + w * 3 / 100, u.top + h * 3 / 100, u.right - w * 3 / 100, u.bottom - h * 3 / 100};
  const int shrunkWidth = shrunk.right - shrunk.left + 1;
  for (const rect_record* s = separators->next; s != separators; s = s->next) {
    if (!intersects(*s, shrunk)) continue;
    const int sw = s->right - s->left;
    const int sh = s->bottom - s->top;
    if (sw > sh && rectWidth(*s) > shrunkWidth / 2) return true;
    if (sh > sw && rectHeight(*s) > 5 * t) return true;
  }
  return false;
}

bool classesApart(short a, short b) {
  if (a == layout::kLineTall) return b == layout::kLineNormal || b == layout::kLineSmall;
  if (a == layout::kLineNormal || a == layout::kLineSmall) return b == layout::kLineTall;
  return false;
}

short makeBlock(rect_record* a) {
  rect_record* line = append_rect(&a->outer);
  if (line == nullptr) return kStatusNoMemory;
  line->left = a->left;
  line->top = a->top;
  line->right = a->right;
  line->bottom = a->bottom;
  line->label = a->label;
  line->extra = a->extra;
  line->inner = a->inner;
  a->inner = nullptr;
  return kStatusDone;
}

}  // namespace

short build_blocks(layctx* ctx, int lineDistance) {
  rect_record* head = ctx->textList;
  if (head == nullptr) return kStatusDone;
  sortRingStable(head);
  RescanArrays arrays;
  if (!arrays.make(head)) return kStatusNoMemory;
  const std::vector<rect_record*>& recs = arrays.recs;
  layout::RowIndex& index = *arrays.index;
  std::vector<char>& gone = arrays.gone;
  const int t = lineDistance;
  for (std::size_t i = 0; i < recs.size(); ++i) {
    if (gone[i]) continue;
    rect_record* a = recs[i];
    if (a->outer == nullptr && makeBlock(a) != kStatusDone) return kStatusNoMemory;
    std::size_t from = 0;
    for (;;) {
      // Overlapping and near records both meet A's rows widened by t.
      const std::size_t p = index.firstMeeting(from, a->top - t, a->bottom + t, recs.size());
      if (p >= recs.size()) break;
      from = p + 1;
      if (p == i) continue;
      rect_record* b = recs[p];
      if (b->right < a->left || a->right < b->left) continue;
      const bool overlapping = b->top <= a->bottom && a->top <= b->bottom;
      const rect_record* upper = a->top <= b->top ? a : b;
      const rect_record* lower = upper == a ? b : a;
      const bool near = lower->top - upper->bottom + 1 <= t;
      if (!overlapping && !near) continue;
      if (classesApart(a->label, b->label)) continue;
      const Box u{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                  std::max(a->bottom, b->bottom)};
      if (blocksKeptApartBySeparator(ctx->sepList, u, t)) continue;
      const bool wasBlock = b->outer != nullptr;
      if (layout::adoptLines(a, b) != kStatusDone) return kStatusNoMemory;
      if (wasBlock) drop_rect(b);  // its lines moved; a bare line moved itself
      layout::uniteInto(*a, u);
      gone[p] = 1;
      index.remove(p);
      index.update(i, a->top, a->bottom);
      from = 0;
    }
  }
  sortRingStable(head);
  for (rect_record* b = head->next; b != head; b = b->next) sortRingStable(b->outer);
  return kStatusDone;
}

void recompute_line(rect_record* line) {
  line->left = line->top = 30000;
  line->right = line->bottom = 0;
  if (line->inner == nullptr) return;
  for (const rect_record* c = line->inner->next; c != line->inner; c = c->next) layout::uniteInto(*line, *c);
}

void recompute_block(rect_record* block) {
  block->left = block->top = 30000;
  block->right = block->bottom = 0;
  rect_record* lines = block->outer;
  if (lines == nullptr) return;
  for (rect_record* l = lines->next; l != lines; l = l->next) {
    if (layout::ringEmpty(l->inner)) {
      l = drop_rect(l);
      continue;
    }
    recompute_line(l);
    layout::uniteInto(*block, *l);
  }
}

void recompute_blocks(rect_record* blocks) {
  if (blocks == nullptr) return;
  for (rect_record* b = blocks->next; b != blocks; b = b->next) {
    recompute_block(b);
    // A block whose lines all lost their components goes in the same pass,
    // so that no block with the empty rectangle outlives the step.
    if (layout::ringEmpty(b->outer)) b = drop_rect(b);
  }
}
