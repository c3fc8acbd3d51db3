#include "layout/vertical_tiers.h"

#include "layout/layout_status.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"
#include "layout/step_support.h"
#include "layout/vertical_gaps.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

using layout::kStatusDone;
using layout::kStatusNoMemory;

namespace {

bool strictlyInside(const rect_record& inner, const rect_record& outer) {
  return inner.left > outer.left && inner.right < outer.right && inner.top > outer.top && inner.bottom < outer.bottom;
}

bool wideShaped(const rect_record& s) { return s.right - s.left > s.bottom - s.top; }

template <typename Visit>
void forEachLine(const layctx* ctx, Visit visit) {
  const rect_record* blocks = ctx->textList;
  if (blocks == nullptr) return;
  for (const rect_record* b = blocks->next; b != blocks; b = b->next) {
    if (b->outer == nullptr) continue;
    for (const rect_record* l = b->outer->next; l != b->outer; l = l->next) visit(*l);
  }
}

void setTable(layctx* ctx, std::vector<int> entries) {
  std::sort(entries.begin(), entries.end());
  if (entries.size() > ctx->tiers.size()) entries.resize(ctx->tiers.size());
  ctx->tierCount = static_cast<short>(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) ctx->tiers[i] = static_cast<short>(entries[i]);
}

// A's rectangle becomes the union, B's lines move to A, and B goes.
short absorbBlock(rect_record* a, rect_record* b) {
  if (b->outer != nullptr && move_rect_list(&b->outer, &a->outer) != kStatusDone) return kStatusNoMemory;
  layout::uniteInto(*a, *b);
  drop_rect(b);
  return kStatusDone;
}

// Does a separator (as `counts` selects) or a block other than a and b meet u?
template <typename Counts>
bool somethingMeets(const layctx* ctx, const layout::Box& u, const rect_record* a, const rect_record* b,
                    Counts counts) {
  if (ctx->sepList != nullptr) {
    for (const rect_record* s = ctx->sepList->next; s != ctx->sepList; s = s->next) {
      if (counts(*s) && layout::intersects(*s, u)) return true;
    }
  }
  for (const rect_record* c = ctx->textList->next; c != ctx->textList; c = c->next) {
    if (c != a && c != b && layout::intersects(*c, u)) return true;
  }
  return false;
}

layout::Box unionOf(const rect_record& a, const rect_record& b) {
  return layout::Box{std::min<int>(a.left, b.left), std::min<int>(a.top, b.top), std::max<int>(a.right, b.right),
                     std::max<int>(a.bottom, b.bottom)};
}

// The common scheme of the block merges: for each block A, the others are
// walked from the start of the ring; a pair that passes joins, and the walk
// starts again.  `stop` ends A's walk early.
template <typename Test, typename Stop>
short mergePairs(layctx* ctx, Test test, Stop stop) {
  rect_record* head = ctx->textList;
  for (rect_record* a = head->next; a != head; a = a->next) {
    bool restart = true;
    while (restart) {
      restart = false;
      for (rect_record* b = head->next; b != head; b = b->next) {
        if (b == a) continue;
        if (stop(*a, *b)) break;
        if (!test(*a, *b)) continue;
        if (absorbBlock(a, b) != kStatusDone) return kStatusNoMemory;
        restart = true;
        break;
      }
    }
    if (qsort_rects_by_right_desc(a->outer) != kStatusDone) return kStatusNoMemory;
  }
  return qsort_rects_by_right_desc(head);
}

}  // namespace

short drop_vTextInLarge(layctx* ctx) {
  if (ctx->largeList == nullptr || ctx->textList == nullptr) return kStatusDone;
  for (const rect_record* l = ctx->largeList->next; l != ctx->largeList; l = l->next) {
    if (l->label == 11) continue;
    for (rect_record* b = ctx->textList->next; b != ctx->textList; b = b->next) {
      if (strictlyInside(*b, *l) &&
          (layout::rectWidth(*b) < ctx->columnWidth || layout::rectHeight(*b) < ctx->columnWidth)) {
        b = drop_rect(b);
      }
    }
  }
  return kStatusDone;
}

short find_vTiers(layctx* ctx, short tiersAsked) {
  ctx->tierCount = 0;
  if (layout::ringEmpty(ctx->textList)) return kStatusDone;
  const bool area = ctx->areaMode();
  const int ch = ctx->charHeight;
  const int bin = std::max(1, ch * 100 / 100);
  const int bins = ctx->page.height / bin;
  std::vector<int> profile(static_cast<std::size_t>(bins) + 1, 0);
  auto binOf = [&](int y) { return std::clamp(y / bin, 0, bins); };
  const int reach = 300 * bin / 100;

  // Tops of the columns that are long enough to mark a tier.
  const int tall = area ? ch / 3 : ch * 10;
  forEachLine(ctx, [&](const rect_record& l) {
    if (layout::rectHeight(l) >= tall) ++profile[static_cast<std::size_t>(binOf(l.top))];
  });
  for (int i = bins; i >= 0; --i) {
    if (profile[static_cast<std::size_t>(i)] == 0) continue;
    for (int j = i - 1; j >= 0 && (i - j) * bin < reach; --j) {
      if (profile[static_cast<std::size_t>(j)] != 0) {
        profile[static_cast<std::size_t>(j)] += profile[static_cast<std::size_t>(i)];
        profile[static_cast<std::size_t>(i)] = 0;
        break;
      }
    }
  }
  struct Peak {
    int position, count;
  };
  std::vector<Peak> peaks;
  for (int i = 0; i <= bins; ++i)
    if (profile[static_cast<std::size_t>(i)] != 0) peaks.push_back({bin * i, profile[static_cast<std::size_t>(i)]});
  std::stable_sort(peaks.begin(), peaks.end(), [](const Peak& x, const Peak& y) { return x.count > y.count; });
  if (peaks.size() > ctx->tiers.size() - 1) peaks.resize(ctx->tiers.size() - 1);

  std::vector<int> table;
  if (tiersAsked < 1) {
    for (std::size_t i = 0; i < peaks.size() && peaks[i].count > 0; ++i) {
      if (i > 0 && peaks[i - 1].count * 0.3 > peaks[i].count) break;
      table.push_back(peaks[i].position);
    }
  } else {
    for (std::size_t i = 0; i < peaks.size() && static_cast<int>(i) < tiersAsked; ++i) table.push_back(peaks[i].position);
  }
  // Each boundary moves to the highest top near it: the bins are coarse.
  for (int& t : table) {
    int snapped = -1;
    forEachLine(ctx, [&](const rect_record& l) {
      if (l.top > t - ch && l.top < t + ch && (snapped < 0 || l.top < snapped)) snapped = l.top;
    });
    t = (snapped < 0 ? t : snapped) - 1;
  }
  std::sort(table.begin(), table.end());

  // The bottom of the last tier, from the columns that reach below its top.
  const int last = table.empty() ? 0 : table.back();
  std::fill(profile.begin(), profile.end(), 0);
  forEachLine(ctx, [&](const rect_record& l) {
    if (area) {
      if (layout::rectHeight(l) < ch / 3 || l.top > last + ch || l.bottom < last + ch / 3) return;
    } else {
      const int h = ch * 10;
      if (layout::rectHeight(l) < h || l.top > last + h / 2 || l.bottom < last + h / 2) return;
    }
    ++profile[static_cast<std::size_t>(binOf(l.bottom))];
  });
  for (int i = 0; i <= bins; ++i) {
    if (profile[static_cast<std::size_t>(i)] == 0) continue;
    for (int j = i + 1; j <= bins && (j - i) * bin < reach; ++j) {
      if (profile[static_cast<std::size_t>(j)] != 0) {
        profile[static_cast<std::size_t>(j)] += profile[static_cast<std::size_t>(i)];
        profile[static_cast<std::size_t>(i)] = 0;
        break;
      }
    }
  }
  int bottom = 0;
  int best = 0;
  for (int i = 0; i <= bins; ++i) {
    if (profile[static_cast<std::size_t>(i)] > best) {
      best = profile[static_cast<std::size_t>(i)];
      bottom = bin * i;
    }
  }
  int snapped = -1;
  forEachLine(ctx, [&](const rect_record& l) {
    if (l.bottom > bottom - ch && l.bottom < bottom + ch && l.bottom > snapped) snapped = l.bottom;
  });
  table.push_back((snapped < 0 ? bottom : snapped) + 1);
  setTable(ctx, std::move(table));
  return kStatusDone;
}

short find_vTiers_from_rules(layctx* ctx, const Rect16* area) {
  ctx->tierCount = 0;
  const int lastRow = ctx->page.height - 1;
  if (layout::ringEmpty(ctx->sepList)) {
    setTable(ctx, {0, lastRow});
    return kStatusDone;
  }
  const int tenMm = ctx->page.dpi * 100 * 4 / 100 / 10;
  std::vector<const rect_record*> rules;
  for (const rect_record* s = ctx->sepList->next; s != ctx->sepList; s = s->next) {
    if (s->label != layout::kKindGapMark && s->right - s->left >= s->bottom - s->top && s->right - s->left + 1 > tenMm)
      rules.push_back(s);
  }
  std::vector<int> table;
  if (!rules.empty()) {
    int highest = rules.front()->top;
    for (const rect_record* r : rules) highest = std::min<int>(highest, r->top);
    bool textAbove = false;
    if (ctx->textList != nullptr) {
      for (const rect_record* b = ctx->textList->next; b != ctx->textList && !textAbove; b = b->next)
        textAbove = b->bottom < highest;
    }
    if (textAbove) table.push_back(1);
    for (const rect_record* r : rules)
      if (layout::intersects(*r, *area)) table.push_back(r->bottom);
  }
  if (table.empty()) table.push_back(1);
  table.push_back(lastRow);
  std::sort(table.begin(), table.end());
  const int close = ctx->charHeight * 150 / 100;
  for (std::size_t i = 0; i + 1 < table.size();) {
    if (std::abs(table[i + 1] - table[i]) + 1 < close) {
      table.erase(table.begin() + static_cast<long>(i) + 1);
    } else {
      ++i;
    }
  }
  setTable(ctx, std::move(table));
  return kStatusDone;
}

short drop_vSeparators_in_text(layctx* ctx) {
  if (ctx->sepList == nullptr || ctx->textList == nullptr) return kStatusDone;
  for (rect_record* s = ctx->sepList->next; s != ctx->sepList; s = s->next) {
    for (const rect_record* b = ctx->textList->next; b != ctx->textList; b = b->next) {
      if (strictlyInside(*s, *b)) {
        s = drop_rect(s);
        break;
      }
    }
  }
  return kStatusDone;
}

short merge_vAdjacentLines(layctx* ctx) {
  rect_record* head = ctx->textList;
  if (head == nullptr) return kStatusDone;
  if (qsort_rects_by_right_desc(head) != kStatusDone) return kStatusNoMemory;
  for (rect_record* b = head->next; b != head; b = b->next) {
    rect_record* lines = b->outer;
    if (lines == nullptr) continue;
    if (qsort_rects_by_right_desc(lines) != kStatusDone) return kStatusNoMemory;
    for (rect_record* p = lines->next; p != lines && p->next != lines; p = p->next) {
      rect_record* n = p->next;
      int beyond = 0;
      if (p->prev != lines) beyond = std::max(beyond, layout::rectWidth(*p->prev));
      if (n->next != lines) beyond = std::max(beyond, layout::rectWidth(*n->next));
      if (beyond == 0) beyond = ctx->columnWidth;
      const layout::Box u = unionOf(*p, *n);
      const int width = u.right - u.left + 1;
      const int height = u.bottom - u.top + 1;
      if (width * 100 >= beyond * 130 || height >= 3 * ctx->columnWidth) continue;
      if (n->inner != nullptr && move_rect_list(&n->inner, &p->inner) != kStatusDone) return kStatusNoMemory;
      layout::uniteInto(*p, *n);
      drop_rect(n);
      // The walk goes on with the line after N; P is not tested again.
    }
  }
  return qsort_rects_by_right_desc(head);
}

short apply_vTiers(layctx* ctx, int reach) {
  if (layout::ringEmpty(ctx->textList)) return kStatusDone;
  sort_rects_by_top(ctx->textList);
  const int limit = reach * ctx->charWidth;
  auto inOneTier = [ctx](const layout::Box& u) {
    if (ctx->tierCount > 0 && u.bottom < ctx->tiers[0]) return true;
    for (int i = 0; i + 1 < ctx->tierCount; ++i) {
      if (ctx->tiers[static_cast<std::size_t>(i)] < u.top && u.bottom < ctx->tiers[static_cast<std::size_t>(i) + 1])
        return true;
    }
    return false;
  };
  auto tierInside = [ctx](const rect_record& a) {
    for (int i = 0; i < ctx->tierCount; ++i) {
      const int t = ctx->tiers[static_cast<std::size_t>(i)];
      if (a.top < t && t < a.bottom) return true;
    }
    return false;
  };
  return mergePairs(
      ctx,
      [&](const rect_record& a, const rect_record& b) {
        if (!(a.top <= b.bottom && b.top <= a.bottom)) return false;
        const int gap = std::max(a.left, b.left) - std::min(a.right, b.right) - 1;
        if (gap > limit) return false;
        const layout::Box u = unionOf(a, b);
        if (!inOneTier(u) && !tierInside(a)) return false;
        return !somethingMeets(ctx, u, &a, &b, [](const rect_record&) { return true; });
      },
      [](const rect_record&, const rect_record&) { return false; });
}

namespace {

bool overlapAcross(const rect_record& a, const rect_record& b) { return a.left <= b.right && b.left <= a.right; }
bool overlapDown(const rect_record& a, const rect_record& b) { return a.top <= b.bottom && b.top <= a.bottom; }

// The white rows between two blocks, over the columns of their union; empty
// (top > bottom) when the blocks overlap down the page.
layout::Box whiteBetween(const rect_record& a, const rect_record& b) {
  const rect_record& upper = a.top <= b.top ? a : b;
  const rect_record& lower = a.top <= b.top ? b : a;
  const layout::Box u = unionOf(a, b);
  return layout::Box{u.left, upper.bottom + 1, u.right, lower.top - 1};
}

bool boundaryInside(const layctx* ctx, int top, int bottom) {
  for (int i = 0; i < ctx->tierCount; ++i) {
    const int t = ctx->tiers[static_cast<std::size_t>(i)];
    if (top < t && t < bottom) return true;
  }
  return false;
}

// Nothing stands in the white between the pair: no wider-than-high
// separator (as `counts` selects) and no third block.
template <typename Counts>
bool clearBetween(const layctx* ctx, const rect_record& a, const rect_record& b, Counts counts) {
  const layout::Box w = whiteBetween(a, b);
  if (w.top > w.bottom) return true;
  return !somethingMeets(ctx, w, &a, &b, [&](const rect_record& s) { return wideShaped(s) && counts(s); });
}

bool linesOverlapAcross(const rect_record& a, const rect_record& b) {
  if (a.outer == nullptr || b.outer == nullptr) return false;
  for (const rect_record* la = a.outer->next; la != a.outer; la = la->next)
    for (const rect_record* lb = b.outer->next; lb != b.outer; lb = lb->next)
      if (overlapAcross(*la, *lb)) return true;
  return false;
}

auto noStop = [](const rect_record&, const rect_record&) { return false; };
auto anySeparator = [](const rect_record&) { return true; };

}  // namespace

short merge_vBlocks_page(layctx* ctx) {
  if (layout::ringEmpty(ctx->textList)) return kStatusDone;
  sort_rects_by_top(ctx->textList);
  const int limit = 5 * (ctx->gapY + ctx->charHeight);
  return mergePairs(
      ctx,
      [&](const rect_record& a, const rect_record& b) {
        if (!overlapAcross(a, b) || count_rects(a.outer) > 1 || count_rects(b.outer) > 1) return false;
        const layout::Box w = whiteBetween(a, b);
        if (w.bottom - w.top + 1 >= limit) return false;
        if (w.top <= w.bottom && boundaryInside(ctx, w.top - 1, w.bottom + 1)) return false;
        return clearBetween(ctx, a, b, anySeparator);
      },
      noStop);
}

short merge_vBlocks_stack(layctx* ctx, const Rect16* area) {
  if (layout::ringEmpty(ctx->textList)) return kStatusDone;
  const int limit = (area->bottom - area->top + 1) / 6;
  return mergePairs(
      ctx,
      [&](const rect_record& a, const rect_record& b) {
        if (!overlapAcross(a, b)) return false;
        const layout::Box u = unionOf(a, b);
        if (u.bottom - u.top + 1 >= limit || boundaryInside(ctx, u.top, u.bottom)) return false;
        return clearBetween(ctx, a, b, anySeparator);
      },
      [](const rect_record& a, const rect_record& b) { return b.left < a.left; });
}

short merge_vBlocks_area(layctx* ctx) {
  if (layout::ringEmpty(ctx->textList)) return kStatusDone;
  const int limit = ctx->columnWidth * 150 / 100;
  return mergePairs(
      ctx,
      [&](const rect_record& a, const rect_record& b) {
        if (!overlapDown(a, b)) return false;
        const layout::Box u = unionOf(a, b);
        if (u.right - u.left + 1 > limit) return false;
        return !somethingMeets(ctx, u, &a, &b, [](const rect_record& s) { return wideShaped(s); });
      },
      [limit](const rect_record& a, const rect_record& b) {
        return b.left < a.left && std::max(a.right, b.right) - b.left + 1 > limit;
      });
}

short merge_vBlocks_tier(layctx* ctx) {
  if (layout::ringEmpty(ctx->textList) || ctx->tierCount < 2) return kStatusDone;
  if (ctx->tierCount == 2) free_rect_list(&ctx->sepList);
  const int limit = ctx->page.dpi * 8 * 4 / 100;
  const bool marksCount = ctx->params.byte(ParamBlock::kNoVerticalMargin) != 0;
  auto inOneTier = [ctx](const layout::Box& u) {
    for (int i = 0; i + 1 < ctx->tierCount; ++i) {
      if (ctx->tiers[static_cast<std::size_t>(i)] < u.top && u.bottom < ctx->tiers[static_cast<std::size_t>(i) + 1])
        return true;
    }
    return false;
  };
  return mergePairs(
      ctx,
      [&](const rect_record& a, const rect_record& b) {
        if (!linesOverlapAcross(a, b)) return false;
        const layout::Box w = whiteBetween(a, b);
        if (w.bottom - w.top + 1 > limit || !inOneTier(unionOf(a, b))) return false;
        return clearBetween(ctx, a, b,
                            [marksCount](const rect_record& s) { return marksCount || s.label != layout::kKindGapMark; });
      },
      noStop);
}

short merge_vOverlappingBlocks(layctx* ctx) {
  if (layout::ringEmpty(ctx->textList)) return kStatusDone;
  if (qsort_rects_by_right_desc(ctx->textList) != kStatusDone) return kStatusNoMemory;
  return mergePairs(
      ctx,
      [ctx](const rect_record& a, const rect_record& b) {
        if (!layout::intersects(a, b)) return false;
        const layout::Box u = unionOf(a, b);
        if (ctx->sepList == nullptr) return true;
        for (const rect_record* s = ctx->sepList->next; s != ctx->sepList; s = s->next) {
          if (s->label != layout::kKindGapMark && wideShaped(*s) && layout::intersects(*s, u)) return false;
        }
        return true;
      },
      [](const rect_record& a, const rect_record& b) { return b.right < a.left; });
}

short merge_vAllBlocks(layctx* ctx) {
  rect_record* head = ctx->textList;
  if (layout::ringEmpty(head)) return kStatusDone;
  if (qsort_rects_by_right_desc(head) != kStatusDone) return kStatusNoMemory;
  rect_record* first = head->next;
  while (first->next != head) {
    if (absorbBlock(first, first->next) != kStatusDone) return kStatusNoMemory;
  }
  if (qsort_rects_by_right_desc(first->outer) != kStatusDone) return kStatusNoMemory;
  return qsort_rects_by_right_desc(head);
}
