// Vertical writing: boxes, blocks and clean-up; see vertical_blocks.h.
#include "layout/vertical_blocks.h"

#include "layout/layout_status.h"
#include "layout/parameter_tables.h"
#include "layout/pixel_groups.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"
#include "layout/step_support.h"
#include "layout/vertical_columns.h"
#include "layout/vertical_components.h"

#include <algorithm>
#include <climits>

using layout::Box;
using layout::intersects;
using layout::kStatusDone;
using layout::kStatusNoMemory;
using layout::liesInside;
using layout::overlapHorizontally;
using layout::overlapVertically;
using layout::rectHeight;
using layout::rectWidth;
using layout::tenthsToPixels;

namespace layout {

int column_group_distance(const layctx& ctx) {
  const int d = ctx.columnGap * parameterTables().set4(12) / 100;
  if (!ctx.areaMode()) return d;
  return ctx.params.byte(ParamBlock::kNoHorizontalMargin) == 1 ? 0 : d * 20;
}

}  // namespace layout

namespace {

constexpr layout::RingOrder kColumns = layout::RingOrder::ByRightDesc;

int pitchOf(const layctx& ctx) { return std::max(1, ctx.charHeight + ctx.gapY); }

Box boxOf(const rect_record& r) { return {r.left, r.top, r.right, r.bottom}; }

Box unionOf(const rect_record& a, const rect_record& b) {
  Box u = boxOf(a);
  layout::uniteInto(u, b);
  return u;
}

// The judgement of a rectangle of the page: 13 text, 10 figure.
short judge(layctx* ctx, const rect_record& r, short* kind) {
  const Rect16 rect = layout::rectOf(r);
  *kind = layout::kKindText;
  return layout::stepServices().classifyRegion(kind, &ctx->page, &rect);
}

bool separatorMeets(const rect_record* separators, const Box& box) {
  if (separators == nullptr) return false;
  for (const rect_record* s = separators->next; s != separators; s = s->next) {
    if (intersects(*s, box)) return true;
  }
  return false;
}

bool wideSeparatorMeets(const rect_record* separators, const Box& box) {
  return layout::wideSeparatorMeets(separators, box.left, box.top, box.right, box.bottom);
}

// Moves b's columns into block a and frees b.
short takeColumns(rect_record* a, rect_record* b) { return layout::takeChildren(a, b, &rect_record::outer); }

// Inside each block, each column L takes every other column M of the block
// for which `joins(L, M)` holds, scanning from the block's first column while
// `goesOn(L, M)`; the scan restarts after each merge.  Then the blocks are
// sorted by right edge.
template <typename GoesOn, typename Joins>
short mergeColumnsInBlocks(rect_record* head, GoesOn goesOn, Joins joins) {
  if (head == nullptr) return kStatusDone;
  for (rect_record* block = head->next; block != head; block = block->next) {
    rect_record* lines = block->outer;
    if (lines == nullptr) continue;
    for (rect_record* l = lines->next; l != lines; l = l->next) {
      for (rect_record* m = lines->next; m != lines && goesOn(*l, *m);) {
        if (m == l || !joins(*l, *m)) {
          m = m->next;
          continue;
        }
        layout::uniteInto(*l, *m);
        if (layout::takeCharacters(l, m) != kStatusDone) return kStatusNoMemory;
        m = lines->next;
      }
    }
  }
  return qsort_rects_by_right_desc(head);
}

void fitToChildren(rect_record& r, const rect_record* children) {
  r.left = r.top = 30000;
  r.right = r.bottom = 0;
  for (const rect_record* c = children->next; c != children; c = c->next) layout::uniteInto(r, *c);
}

}  // namespace

short refit_vBlocks(rect_record* blocks) {
  if (blocks == nullptr) return kStatusDone;
  for (rect_record* b = blocks->next; b != blocks; b = b->next) {
    if (layout::ringEmpty(b->outer)) {
      b = drop_rect(b);
      continue;
    }
    for (rect_record* l = b->outer->next; l != b->outer; l = l->next) {
      if (layout::ringEmpty(l->inner)) {
        l = drop_rect(l);
        continue;
      }
      fitToChildren(*l, l->inner);
    }
    if (layout::ringEmpty(b->outer)) {
      b = drop_rect(b);
      continue;
    }
    fitToChildren(*b, b->outer);
  }
  return kStatusDone;
}

short sort_vBlocks_and_lines(layctx* ctx) {
  rect_record* head = ctx->textList;
  if (head == nullptr) return kStatusDone;
  if (qsort_rects_by_right_desc(head) != kStatusDone) return kStatusNoMemory;
  for (rect_record* b = head->next; b != head; b = b->next) {
    if (qsort_rects_by_right_desc(b->outer) != kStatusDone) return kStatusNoMemory;
  }
  return kStatusDone;
}

short frame_vBoxes(layctx* ctx) {
  rect_record* large = ctx->largeList;
  if (large == nullptr) return kStatusDone;
  const int t = tenthsToPixels(4, ctx->page.dpi);
  const rect_record* text = ctx->textList;
  for (const rect_record* l = large->next; l != large; l = l->next) {
    if (l->label == layout::kKindText || rectWidth(*l) < 3 * ctx->charWidth) continue;
    const Box box{l->left - t, l->top - t, l->right + t, l->bottom + t};
    bool sticksOut = false;
    if (text != nullptr) {
      for (const rect_record* c = text->next; c != text && !sticksOut; c = c->next) {
        sticksOut = rectHeight(*c) >= ctx->charHeight / 3 && intersects(*c, box) && !liesInside(*c, box);
      }
    }
    if (sticksOut) continue;
    const Box edges[] = {{l->left, l->top, l->right, l->top},
                         {l->left, l->top, l->left, l->bottom},
                         {l->left, l->bottom, l->right, l->bottom},
                         {l->right, l->top, l->right, l->bottom}};
    for (const Box& e : edges) {
      rect_record* s = append_rect(&ctx->sepList);
      if (s == nullptr) return kStatusNoMemory;
      s->left = static_cast<std::int16_t>(e.left);
      s->top = static_cast<std::int16_t>(e.top);
      s->right = static_cast<std::int16_t>(e.right);
      s->bottom = static_cast<std::int16_t>(e.bottom);
      s->label = layout::kKindBoxEdge;
    }
  }
  return kStatusDone;
}

short group_vLines(layctx* ctx, int distance) {
  rect_record* head = ctx->textList;
  if (layout::ringEmpty(head)) return kStatusDone;
  if (qsort_rects_by_right_desc(head) != kStatusDone) return kStatusNoMemory;
  for (rect_record* a = head->next; a != head; a = a->next) {
    if (a->outer != nullptr) continue;
    rect_record* column = append_rect(&a->outer);
    if (column == nullptr) return kStatusNoMemory;
    column->left = a->left;
    column->top = a->top;
    column->right = a->right;
    column->bottom = a->bottom;
    column->label = a->label;
    column->inner = a->inner;
    a->inner = nullptr;
  }
  auto wide = [](short kind) { return kind == layout::kColumnWide; };
  for (rect_record* a = head->next; a != head; a = a->next) {
    for (rect_record* b = head->next; b != head;) {
      bool take = b != a;
      if (take) {
        const bool near = overlapVertically(*a, *b) &&
                          ((b->right < a->left && a->left - b->right + 1 <= distance) ||
                           (a->left < b->right && b->right - a->left + 1 <= distance));
        take = (near || intersects(*a, *b)) && wide(a->label) == wide(b->label);
      }
      if (take) {
        Box u = unionOf(*a, *b);
        const int dx = rectWidth(u) * 3 / 100;
        const int dy = rectHeight(u) * 3 / 100;
        u = {u.left + dx, u.top + dy, u.right - dx, u.bottom - dy};
        if (const rect_record* seps = ctx->sepList; seps != nullptr) {
          for (const rect_record* s = seps->next; s != seps && take; s = s->next) {
            if (!intersects(*s, u)) continue;
            const int sw = rectWidth(*s);
            const int sh = rectHeight(*s);
            if ((sh > sw && sh > rectHeight(u) / 2) || (sw > sh && sw > 2 * distance)) take = false;
          }
        }
      }
      if (!take) {
        b = b->next;
        continue;
      }
      layout::uniteInto(*a, *b);
      if (takeColumns(a, b) != kStatusDone) return kStatusNoMemory;
      b = head->next;
    }
  }
  return sort_vBlocks_and_lines(ctx);
}

short drop_vSmallLines(layctx* ctx) {
  rect_record* head = ctx->textList;
  if (head == nullptr) return kStatusDone;
  const int least = tenthsToPixels(4, ctx->page.dpi);
  for (rect_record* b = head->next; b != head; b = b->next) {
    if (rectWidth(*b) >= least && rectHeight(*b) >= least) continue;
    if (rect_record* specks = ctx->speckList; specks != nullptr) {
      for (rect_record* s = specks->next; s != specks; s = s->next) {
        if (intersects(*s, *b)) s = drop_rect(s);
      }
    }
    b = drop_rect(b);
  }
  return kStatusDone;
}

short merge_vBlockLines(layctx* ctx, const rect_record* separators) {
  return mergeColumnsInBlocks(
      ctx->textList, [](const rect_record& l, const rect_record& m) { return !layout::liesPast(kColumns, m, l); },
      [separators](const rect_record& l, const rect_record& m) {
        if (!overlapHorizontally(l, m)) return false;
        const int overlap = std::min(l.right, m.right) - std::max(l.left, m.left) + 1;
        if (2 * overlap < rectWidth(l) && 2 * overlap < rectWidth(m)) return false;
        return separators == nullptr || !wideSeparatorMeets(separators, layout::spaceBetweenVertically(l, m));
      });
}

short drop_vStraySpecks(layctx* ctx) {
  rect_record* specks = ctx->speckList;
  rect_record* blocks = ctx->textList;
  if (specks == nullptr) return kStatusDone;
  if (qsort_rects_by_right_desc(specks) != kStatusDone) return kStatusNoMemory;
  const int side = ctx->columnGap * 20 / 100;
  const int pitch = pitchOf(*ctx);
  for (rect_record* s = specks->next; s != specks; s = s->next) {
    bool near = false;
    if (blocks != nullptr) {
      for (const rect_record* b = blocks->next; b != blocks && !near; b = b->next) {
        near = intersects(*s, Box{b->left - side, b->top - pitch, b->right + side, b->bottom + pitch});
      }
    }
    if (!near) s = drop_rect(s);
  }
  return kStatusDone;
}

rect_record* nearest_vLine(const layctx* ctx, const rect_record* speck, rect_record* const* candidates, int count) {
  if (count <= 0) return nullptr;
  const int cx = (speck->left + speck->right) / 2;
  const int cy = (speck->top + speck->bottom) / 2;
  const int pitch = pitchOf(*ctx);
  long long best = LLONG_MAX;
  rect_record* chosen = candidates[0];
  for (int i = 0; i < count; ++i) {
    const rect_record* parts = candidates[i]->inner;
    if (parts == nullptr) continue;
    for (const rect_record* c = parts->next; c != parts; c = c->next) {
      for (const int x : {static_cast<int>(c->left), static_cast<int>(c->right)}) {
        for (const int y : {static_cast<int>(c->top), static_cast<int>(c->bottom)}) {
          if (std::abs(x - cx) >= ctx->columnGap || std::abs(y - cy) >= pitch) continue;
          const long long d = static_cast<long long>(x - cx) * (x - cx) + static_cast<long long>(y - cy) * (y - cy);
          if (d < best) {
            best = d;
            chosen = candidates[i];
          }
        }
      }
    }
  }
  return chosen;
}

short attach_vSpecks(layctx* ctx, int overlap) {
  rect_record* blocks = ctx->textList;
  if (layout::ringEmpty(blocks) || layout::ringEmpty(ctx->speckList)) return kStatusDone;
  if (drop_vStraySpecks(ctx) != kStatusDone) return kStatusNoMemory;
  rect_record* specks = ctx->speckList;
  const int band = ctx->columnGap * 20 / 100;
  const int pitch = pitchOf(*ctx);
  const int smallest = layout::parameterTables().set4(16);
  constexpr int kMostCandidates = 30;
  rect_record* candidates[kMostCandidates];
  for (rect_record* s = specks->next; s != specks; s = s->next) {
    if (rectWidth(*s) + rectHeight(*s) < smallest) continue;
    int touching = 0;
    rect_record* only = nullptr;
    for (rect_record* b = blocks->next; b != blocks; b = b->next) {
      if (intersects(*s, *b)) {
        ++touching;
        only = b;
      }
    }
    int n = 0;
    for (rect_record* b = blocks->next; b != blocks; b = b->next) {
      if (touching > 0 && !intersects(*s, *b)) continue;
      if (b->outer == nullptr) continue;
      for (rect_record* l = b->outer->next; l != b->outer; l = l->next) {
        if (touching == 1 && l->right + band < s->left - ctx->columnGap) break;
        const Box reach{l->left - band / 2, l->top - pitch, l->right + band, l->bottom + pitch};
        if (!intersects(*s, reach) || separatorMeets(ctx->sepList, unionOf(*s, *l))) continue;
        candidates[std::min(n, kMostCandidates - 1)] = l;
        n = std::min(n + 1, kMostCandidates);
      }
      if (touching == 1 && b == only) break;
    }
    if (n == 0) continue;
    rect_record* chosen = n == 1 ? candidates[0] : nearest_vLine(ctx, s, candidates, n);
    layout::uniteInto(*chosen, *s);
    rect_record* before = s->prev;
    layout::ringUnlink(s);
    if (insert_node_tail(&chosen->inner, s) != kStatusDone) {
      layout::ringLinkAfter(before, s);
      return kStatusNoMemory;
    }
    s = before;
  }
  refit_vBlocks(ctx->textList);
  if (rect_record* head = ctx->textList; head != nullptr) {
    for (rect_record* b = head->next; b != head; b = b->next) {
      if (b->outer == nullptr) continue;
      for (rect_record* l = b->outer->next; l != b->outer; l = l->next) {
        if (merge_vOverlaps(&l->inner, ctx->gapX, static_cast<short>(overlap)) == kStatusNoMemory) {
          return kStatusNoMemory;
        }
      }
    }
  }
  return kStatusDone;
}

namespace {

// Whether a third block meets the box.
bool otherBlockMeets(const rect_record* head, const rect_record* a, const rect_record* b, const Box& box) {
  for (const rect_record* c = head->next; c != head; c = c->next) {
    if (c != a && c != b && intersects(*c, box)) return true;
  }
  return false;
}

int verticalGap(const rect_record& a, const rect_record& b) {
  if (b.top > a.bottom) return b.top - a.bottom + 1;
  if (a.top > b.bottom) return a.top - b.bottom + 1;
  return 0;
}

}  // namespace

short merge_vBlocks(layctx* ctx) {
  rect_record* head = ctx->textList;
  if (head == nullptr) return kStatusDone;
  const int limit = pitchOf(*ctx) * layout::parameterTables().set4(13) / 100;
  for (rect_record* a = head->next; a != head; a = a->next) {
    for (rect_record* b = head->next; b != head;) {
      if (b == a) {
        b = b->next;
        continue;
      }
      if (b->left < a->left) break;
      bool take = b->left <= a->right && !overlapVertically(*a, *b) && verticalGap(*a, *b) < limit;
      if (take) {
        const Box space = layout::spaceBetweenVertically(*a, *b);
        take = !wideSeparatorMeets(ctx->sepList, space) && !otherBlockMeets(head, a, b, unionOf(*a, *b));
      }
      if (!take) {
        b = b->next;
        continue;
      }
      layout::uniteInto(*a, *b);
      if (takeColumns(a, b) != kStatusDone) return kStatusNoMemory;
      if (qsort_rects_by_right_desc(a->outer) != kStatusDone) return kStatusNoMemory;
      b = head->next;
    }
  }
  return kStatusDone;
}

short merge_vBlockLines_area(layctx* ctx, const rect_record* separators) {
  const int limit = ctx->columnWidth * 125 / 100;
  return mergeColumnsInBlocks(
      ctx->textList, [limit](const rect_record& l, const rect_record& m) { return l.right - m.left + 1 <= limit; },
      [limit, separators](const rect_record& l, const rect_record& m) {
        return overlapVertically(l, m) && std::max(l.right, m.right) - std::min(l.left, m.left) + 1 <= limit &&
               !(separators != nullptr && wideSeparatorMeets(separators, unionOf(l, m)));
      });
}

short merge_vAdjacentBlocks(layctx* ctx) {
  rect_record* head = ctx->textList;
  if (head == nullptr) return kStatusDone;
  const int shortest = ctx->charHeight * 130 / 100;
  const int reach = pitchOf(*ctx) * 70 / 100;
  const int ch = ctx->charHeight;
  for (rect_record* a = head->next; a != head; a = a->next) {
    for (rect_record* b = head->next; b != head && !layout::liesPast(kColumns, *b, *a);) {
      bool take = b != a && rectHeight(*b) <= shortest && overlapHorizontally(*a, *b) && verticalGap(*a, *b) <= reach;
      if (take) {
        const Box u = unionOf(*a, *b);
        const Box wide{u.left - ch, u.top - ch, u.right + ch, u.bottom + ch};
        take = !wideSeparatorMeets(ctx->sepList, u) && !separatorMeets(ctx->largeList, u);
        for (const rect_record* c = head->next; c != head && take; c = c->next) {
          if (c != a && c != b && intersects(*c, wide) && !liesInside(*c, wide)) take = false;
        }
      }
      if (!take) {
        b = b->next;
        continue;
      }
      layout::uniteInto(*a, *b);
      if (takeColumns(a, b) != kStatusDone) return kStatusNoMemory;
      b = head->next;
    }
    if (qsort_rects_by_right_desc(a->outer) != kStatusDone) return kStatusNoMemory;
  }
  return qsort_rects_by_right_desc(head);
}

short drop_vNoiseLines(layctx* ctx) {
  rect_record* head = ctx->textList;
  if (head == nullptr) return kStatusDone;
  const int speck = tenthsToPixels(4, ctx->page.dpi);
  const int low = tenthsToPixels(8, ctx->page.dpi);
  const int pitch = pitchOf(*ctx);
  for (rect_record* b = head->next; b != head; b = b->next) {
    if (b->outer == nullptr) continue;
    for (rect_record* l = b->outer->next; l != b->outer; l = l->next) {
      int specks = 0;
      if (l->inner != nullptr) {
        for (const rect_record* c = l->inner->next; c != l->inner; c = c->next) {
          if (rectWidth(*c) <= speck && rectHeight(*c) <= speck) ++specks;
        }
      }
      const int n = std::max(1, rectHeight(*l) / pitch);
      const bool keep = specks <= 5 * n && (rectWidth(*l) > speck || rectHeight(*l) >= low);
      if (!keep) l = drop_rect(l);
    }
  }
  return refit_vBlocks(head);
}

short drop_vFigureLines(layctx* ctx) {
  rect_record* head = ctx->textList;
  if (head == nullptr) return kStatusDone;
  const int least = tenthsToPixels(5, ctx->page.dpi);
  const int tall = ctx->charHeight * 130 / 100;
  for (rect_record* b = head->next; b != head; b = b->next) {
    if (rectHeight(*b) < tall || b->outer == nullptr) continue;
    for (rect_record* l = b->outer->next; l != b->outer; l = l->next) {
      if (rectWidth(*l) >= least && rectHeight(*l) >= least) continue;
      short kind = 0;
      if (judge(ctx, *l, &kind) == kStatusNoMemory) return kStatusNoMemory;
      if (kind == layout::kKindFigure) l = drop_rect(l);
    }
  }
  return refit_vBlocks(head);
}

short drop_vThinLines(layctx* ctx) {
  rect_record* head = ctx->textList;
  if (head == nullptr) return kStatusDone;
  const int thin = tenthsToPixels(7, ctx->page.dpi);
  const int tall = ctx->charHeight * 130 / 100;
  for (rect_record* b = head->next; b != head; b = b->next) {
    if (rectHeight(*b) < tall || b->outer == nullptr) continue;
    for (rect_record* l = b->outer->next; l != b->outer; l = l->next) {
      bool anyWide = false;
      if (l->inner != nullptr) {
        for (const rect_record* c = l->inner->next; c != l->inner && !anyWide; c = c->next) {
          anyWide = rectWidth(*c) > thin;
        }
      }
      if (!anyWide) l = drop_rect(l);
    }
  }
  return refit_vBlocks(head);
}

short find_vTextBounds(layctx* ctx, Rect16* outRect) {
  *outRect = Rect16{};
  rect_record* head = ctx->textList;
  if (head == nullptr) return kStatusDone;
  const int cw = ctx->charWidth;
  const int colW = ctx->columnWidth;
  auto textLike = [&](const rect_record& b) {
    const int w = rectWidth(b);
    const int h = rectHeight(b);
    return (h >= w && w > cw / 2) || (w > h && h > colW / 2);
  };
  bool any = false;
  Box bounds{0, 0, 0, 0};
  for (const rect_record* b = head->next; b != head; b = b->next) {
    if (!textLike(*b)) continue;
    if (!any) {
      bounds = boxOf(*b);
      any = true;
    } else {
      layout::uniteInto(bounds, *b);
    }
  }
  *outRect = Rect16{static_cast<std::int16_t>(bounds.left), static_cast<std::int16_t>(bounds.top),
                    static_cast<std::int16_t>(bounds.right), static_cast<std::int16_t>(bounds.bottom)};
  const int least = tenthsToPixels(4, ctx->page.dpi);
  for (rect_record* b = head->next; b != head; b = b->next) {
    const int w = rectWidth(*b);
    const int h = rectHeight(*b);
    const bool small = (h >= w && w < cw / 3) || (w > h && h < colW / 3) || w <= least;
    if (intersects(*b, bounds) && !small) continue;
    short kind = 0;
    if (judge(ctx, *b, &kind) == kStatusNoMemory) return kStatusNoMemory;
    if (kind == layout::kKindFigure) b = drop_rect(b);
  }
  return kStatusDone;
}

short drop_vFigureComponents(layctx* ctx) {
  rect_record* head = ctx->textList;
  rect_record* large = ctx->largeList;
  if (head == nullptr || large == nullptr) return kStatusDone;
  const int half = ctx->columnWidth / 2;
  for (rect_record* b = head->next; b != head; b = b->next) {
    bool inside = false;
    for (const rect_record* l = large->next; l != large && !inside; l = l->next) {
      inside = l->label != 11 && liesInside(*b, Box{l->left - half, l->top - half, l->right + half, l->bottom + half});
    }
    if (!inside) continue;
    if (rectWidth(*b) <= half || rectHeight(*b) <= half) {
      b = drop_rect(b);
      continue;
    }
    short kind = 0;
    if (judge(ctx, *b, &kind) == kStatusNoMemory) return kStatusNoMemory;
    if (kind == layout::kKindFigure) b = drop_rect(b);
  }
  return kStatusDone;
}
