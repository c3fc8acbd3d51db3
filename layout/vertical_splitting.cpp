#include "layout/vertical_splitting.h"

#include "layout/component_steps.h"
#include "layout/field_gaps.h"
#include "layout/layout_status.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"
#include "layout/step_support.h"
#include "layout/vertical_blocks.h"
#include "layout/vertical_columns.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <vector>

using layout::kStatusDone;
using layout::kStatusNoMemory;

namespace {

// Re-links the characters under a heading in a context of their own; its
// separators are borrowed from the page's and handed back before freeing.
struct PrivateContext {
  layctx ctx;
  explicit PrivateContext(const layctx& page) {
    clear_layout_context(&ctx);
    ctx.charWidth = page.charWidth;
    ctx.charHeight = page.charHeight;
    ctx.gapX = page.gapX;
    ctx.gapY = static_cast<short>(page.gapY * 2);
    ctx.lineHeight = page.lineHeight;
    ctx.lineGapH = page.lineGapH;
    ctx.columnWidth = page.columnWidth;
    ctx.columnGap = page.columnGap;
    ctx.params = page.params;
    ctx.page = page.page;
    ctx.sepList = page.sepList;
  }
  ~PrivateContext() {
    ctx.sepList = nullptr;
    free_context_lists(&ctx);
  }
  PrivateContext(const PrivateContext&) = delete;
  PrivateContext& operator=(const PrivateContext&) = delete;
};

// Splits one line; 1 when it stays or was split, -111 on memory failure.
short splitHeading(layctx* ctx, rect_record* block, rect_record* line, int distance) {
  if (count_rects(line->inner) < 10) return kStatusDone;
  const int w = layout::rectWidth(*line);
  if (w < 2 * ctx->columnWidth) return kStatusDone;
  sort_rects_by_top(line->inner);
  const rect_record* first = line->inner->next;
  const rect_record* second = first->next;
  const int t = w * 80 / 100;
  int heads = 0;
  if (layout::rectWidth(*second) >= t) {
    heads = 2;
  } else if (layout::rectWidth(*first) >= t) {
    heads = 1;
  } else {
    return kStatusDone;
  }

  PrivateContext priv(*ctx);
  if (copy_rect_list(line->inner, &priv.ctx.textList) != kStatusDone) return kStatusNoMemory;
  for (int i = 0; i < heads; ++i) drop_rect(priv.ctx.textList->next);
  if (qsort_rects_by_right_desc(priv.ctx.textList) != kStatusDone) return kStatusNoMemory;
  if (link_vChars(&priv.ctx, distance) != kStatusDone) return kStatusNoMemory;
  if (count_rects(priv.ctx.textList) < 2) return kStatusDone;
  for (const rect_record* c = priv.ctx.textList->next; c != priv.ctx.textList; c = c->next) {
    if ((layout::rectWidth(*c) - 1) * 2 + 2 > w) return kStatusDone;
  }

  // Reserve the separator first, so that a failure leaves the line whole.
  rect_record* sep = append_rect(&ctx->sepList);
  if (sep == nullptr) return kStatusNoMemory;
  if (move_rect_list(&priv.ctx.textList, &block->outer) != kStatusDone) {
    drop_rect(sep);
    return kStatusNoMemory;
  }
  rect_record* keep = line->inner->next;
  if (heads == 2) keep = keep->next;
  while (keep->next != line->inner) drop_rect(keep->next);
  line->left = line->inner->next->left;
  line->top = line->inner->next->top;
  line->right = line->inner->next->right;
  line->bottom = line->inner->next->bottom;
  if (heads == 2) layout::uniteInto(*line, *line->inner->next->next);
  sep->left = line->left;
  sep->right = line->right;
  sep->top = static_cast<std::int16_t>(line->bottom + 1);
  sep->bottom = static_cast<std::int16_t>(line->bottom + 2);
  sep->label = layout::kKindWideSeparator;
  sep->extra = 0;
  return kStatusDone;
}

}  // namespace

namespace {

// The white bands of a block along one axis: rows (a band across the block,
// between tiers of text) or columns (a band down the block, between columns
// of text).  Only pieces at least 0.8 mm across the band count, and only
// those of the lines after the first `skip`.
short splitBands(rect_record** bands, const rect_record* block, const layctx* ctx, int skip, layout::GapAxis axis) {
  const int lines = count_rects(block->outer);
  if (skip >= lines - 1) return kStatusDone;
  const bool rows = axis == layout::GapAxis::Rows;
  const int from = rows ? block->top : block->left;
  const int to = rows ? block->bottom : block->right;
  const int n = to - from + 1;
  if (n <= 0) return kStatusDone;
  const int least = layout::tenthsToPixels(8, ctx->page.dpi);
  std::vector<int> profile(static_cast<std::size_t>(n), 0);
  int index = 0;
  for (const rect_record* l = block->outer->next; l != block->outer; l = l->next, ++index) {
    if (index < skip || l->inner == nullptr) continue;
    for (const rect_record* c = l->inner->next; c != l->inner; c = c->next) {
      if ((rows ? layout::rectHeight(*c) : layout::rectWidth(*c)) < least) continue;
      const int lo = std::max<int>(rows ? c->top : c->left, from);
      const int hi = std::min<int>(rows ? c->bottom : c->right, to);
      for (int i = lo; i <= hi; ++i) ++profile[static_cast<std::size_t>(i - from)];
    }
  }
  const int lowest = rows ? (ctx->charHeight + ctx->gapY) * 115 / 100 : (ctx->charWidth + ctx->gapX) * 130 / 100;
  const int margin = n * 20 / 100;
  const int middle = (from + to) / 2;
  const int near = 3 * (rows ? ctx->charHeight : ctx->charWidth);
  for (int i = 0; i < n;) {
    if (profile[static_cast<std::size_t>(i)] != 0) {
      ++i;
      continue;
    }
    int j = i;
    while (j + 1 < n && profile[static_cast<std::size_t>(j + 1)] == 0) ++j;
    const int first = from + i;
    const int last = from + j;
    i = j + 1;
    const int size = last - first + 1;
    const int c = (first + last) / 2;
    if (size < lowest) continue;
    if (c < from + margin || c > to - margin) continue;
    bool nearBoundary = middle - near < c && c < middle + near;
    for (int t = 0; t < ctx->tierCount && !nearBoundary; ++t) {
      const int b = ctx->tiers[static_cast<std::size_t>(t)];
      nearBoundary = b - near < c && c < b + near;
    }
    if (!nearBoundary) continue;
    rect_record* band = append_rect(bands);
    if (band == nullptr) return kStatusNoMemory;
    const int shrink = size * 30 / 100;
    if (rows) {
      band->left = block->left;
      band->right = block->right;
      band->top = static_cast<std::int16_t>(first + shrink);
      band->bottom = static_cast<std::int16_t>(last - shrink);
    } else {
      band->top = block->top;
      band->bottom = block->bottom;
      band->left = static_cast<std::int16_t>(first + shrink);
      band->right = static_cast<std::int16_t>(last - shrink);
    }
  }
  return kStatusDone;
}

}  // namespace

short find_vSplitBands(rect_record** bands, const rect_record* block, const layctx* ctx, int skip) {
  return splitBands(bands, block, ctx, skip, layout::GapAxis::Rows);
}

short find_hSplitBands(rect_record** bands, const rect_record* block, const layctx* ctx, int skip) {
  return splitBands(bands, block, ctx, skip, layout::GapAxis::Columns);
}

short split_vBlock_at_band(rect_record* block, rect_record* bands, layctx* ctx, int skip) {
  if (layout::ringEmpty(bands) || layout::ringEmpty(block->outer)) return kStatusDone;
  block->label = 1;
  const int tall = layout::tenthsToPixels(8, ctx->page.dpi);
  if (skip == 1) {
    rect_record* taken = append_rect(&ctx->textList);
    if (taken == nullptr) return kStatusNoMemory;
    taken->label = 1;
    rect_record* first = block->outer->next;
    layout::ringUnlink(first);
    if (insert_node_tail(&taken->outer, first) != kStatusDone) {
      layout::ringLinkAfter(block->outer, first);
      return kStatusNoMemory;
    }
    taken->left = first->left, taken->top = first->top, taken->right = first->right, taken->bottom = first->bottom;
  }
  for (const rect_record* band = bands->next; band != bands; band = band->next) {
    rect_record* piece = append_rect(&ctx->textList);
    if (piece == nullptr) return kStatusNoMemory;
    piece->label = 1;
    for (rect_record* l = block->outer->next; l != block->outer; l = l->next) {
      rect_record* part = append_rect(&piece->outer);
      if (part == nullptr) return kStatusNoMemory;
      part->label = l->label;
      if (l->inner == nullptr) continue;
      for (rect_record* c = l->inner->next; c != l->inner;) {
        rect_record* next = c->next;
        if (c->bottom < band->top) {
          rect_record* before = c->prev;
          layout::ringUnlink(c);
          if (insert_node_tail(&part->inner, c) != kStatusDone) {
            layout::ringLinkAfter(before, c);
            return kStatusNoMemory;
          }
        } else if (layout::rectHeight(*c) >= tall && c->bottom > band->top && c->top < band->bottom) {
          drop_rect(c);
        }
        c = next;
      }
    }
  }
  return kStatusDone;
}

short refine_vBlocks(layctx* ctx) {
  rect_record* blocks = ctx->textList;
  if (layout::ringEmpty(blocks)) return kStatusDone;
  for (rect_record* b = blocks->next; b != blocks; b = b->next) b->label = 0;
  refit_vBlocks(blocks);
  const int minimum = layout::mmToPixels(40, ctx->page.dpi);
  short status = kStatusDone;
  for (rect_record* b = blocks->next; b != blocks && status == kStatusDone; b = b->next) {
    if (b->label == 1 || layout::rectHeight(*b) < minimum || count_rects(b->outer) < 4) continue;
    rect_record* a = nullptr;
    rect_record* a1 = nullptr;
    status = find_vSplitBands(&a, b, ctx, 0);
    if (status == kStatusDone) status = find_vSplitBands(&a1, b, ctx, 1);
    if (status == kStatusDone && !layout::ringEmpty(a) && !layout::ringEmpty(a1)) {
      for (rect_record* x = a->next; x != a; x = x->next) {
        for (rect_record* y = a1->next; y != a1; y = y->next) {
          if (!layout::intersects(*x, *y)) continue;
          if (layout::rectHeight(*x) < layout::rectHeight(*y)) {
            x = drop_rect(x);
            break;
          }
          y = drop_rect(y);
        }
      }
    }
    if (status == kStatusDone) {
      if (!layout::ringEmpty(a)) {
        status = split_vBlock_at_band(b, a, ctx, 0);
      } else if (!layout::ringEmpty(a1)) {
        status = split_vBlock_at_band(b, a1, ctx, 1);
      }
    }
    free_rect_list(&a);
    free_rect_list(&a1);
  }
  refit_vBlocks(ctx->textList);
  const short sorted = qsort_rects_by_right_desc(ctx->textList);
  if (ctx->textList != nullptr)
    for (rect_record* b = ctx->textList->next; b != ctx->textList; b = b->next) b->label = 0;
  return status == kStatusDone ? sorted : status;
}

short split_vBlock_by_gaps(rect_record* block, rect_record* gaps, layctx* ctx) {
  if (layout::ringEmpty(gaps) || layout::ringEmpty(block->outer)) return kStatusDone;
  // The columns are read right to left: the piece right of the rightmost gap
  // comes first, whatever order the gaps were found in.
  std::vector<int> centres;
  for (const rect_record* g = gaps->next; g != gaps; g = g->next) centres.push_back((g->left + g->right) / 2);
  std::sort(centres.begin(), centres.end(), std::greater<>());
  centres.push_back(std::numeric_limits<int>::min());  // the rest of the block
  return layout::moveLinesAtCuts(
      block, centres, [](const rect_record& l, int centre) { return (l.left + l.right) / 2 > centre; }, &ctx->textList);
}

short refine_vLines(layctx* ctx) {
  rect_record* blocks = ctx->textList;
  if (layout::ringEmpty(blocks)) return kStatusDone;
  for (rect_record* b = blocks->next; b != blocks; b = b->next) b->label = 0;
  refit_vBlocks(blocks);
  const int minimum = layout::mmToPixels(30, ctx->page.dpi);
  const int narrowest = (ctx->columnGap + ctx->columnWidth) * 3;
  short status = kStatusDone;
  for (rect_record* b = blocks->next; b != blocks && status == kStatusDone;) {
    rect_record* next = b->next;
    if (b->label != 1 && layout::rectHeight(*b) >= minimum && count_rects(b->outer) > 3) {
      rect_record* gaps = nullptr;
      status = find_hSplitBands(&gaps, b, ctx, 0);
      if (status == kStatusDone && gaps != nullptr)
        for (rect_record* g = gaps->next; g != gaps; g = g->next)
          if (layout::rectWidth(*g) < narrowest) g = drop_rect(g);
      if (status == kStatusDone && !layout::ringEmpty(gaps)) {
        b->label = 1;
        status = split_vBlock_by_gaps(b, gaps, ctx);
        if (layout::ringEmpty(b->outer)) drop_rect(b);
      }
      free_rect_list(&gaps);
    }
    b = next;
  }
  refit_vBlocks(ctx->textList);
  const short sorted = qsort_rects_by_right_desc(ctx->textList);
  if (ctx->textList != nullptr)
    for (rect_record* b = ctx->textList->next; b != ctx->textList; b = b->next) b->label = 0;
  return status == kStatusDone ? sorted : status;
}

short split_vHeadingLines(layctx* ctx) {
  rect_record* blocks = ctx->textList;
  if (blocks == nullptr) return kStatusDone;
  const int d = (ctx->charHeight + ctx->gapY) * 60 / 100;
  for (rect_record* b = blocks->next; b != blocks; b = b->next) {
    if (b->outer == nullptr) continue;
    // Only the block's own lines: the columns found under a heading are
    // appended behind them.
    std::vector<rect_record*> lines;
    for (rect_record* l = b->outer->next; l != b->outer; l = l->next) lines.push_back(l);
    for (rect_record* l : lines) {
      if (splitHeading(ctx, b, l, 2 * d) != kStatusDone) return kStatusNoMemory;
    }
  }
  return kStatusDone;
}
