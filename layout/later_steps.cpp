// The last steps of the horizontal pipeline; see later_steps.h.
#include "layout/later_steps.h"

#include "layout/field_gaps.h"
#include "layout/field_rings.h"
#include "layout/layout_driver.h"
#include "layout/layout_status.h"
#include "layout/line_steps.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"
#include "layout/step_support.h"
#include "layout/vertical_splitting.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <vector>

using layout::Box;
using layout::intersects;
using layout::kStatusDone;
using layout::kStatusNoMemory;
using layout::rectHeight;
using layout::rectWidth;

namespace {

constexpr int kColumnBinPercent = 100;
constexpr int kColumnMergePercent = 300;
constexpr int kMaxColumns = 1000;

bool isTall(const rect_record& r) { return r.right - r.left < r.bottom - r.top; }
bool isWide(const rect_record& r) { return r.right - r.left > r.bottom - r.top; }

template <typename F>
void forEachLine(rect_record* blocks, F f) {
  if (blocks == nullptr) return;
  for (rect_record* b = blocks->next; b != blocks; b = b->next) {
    if (b->outer == nullptr) continue;
    for (rect_record* l = b->outer->next; l != b->outer; l = l->next) f(*l);
  }
}

struct BinEntry {
  int x;
  int count;
};

// Non-empty bins as (position, count), strongest first, at most kMaxColumns.
std::vector<BinEntry> strongestBins(const int* hist, int n, int w) {
  std::vector<BinEntry> entries;
  for (int b = 0; b < n; ++b)
    if (hist[b] > 0) entries.push_back({b * w, hist[b]});
  std::stable_sort(entries.begin(), entries.end(), [](const BinEntry& a, const BinEntry& b) { return a.count > b.count; });
  if (entries.size() > static_cast<std::size_t>(kMaxColumns)) entries.resize(kMaxColumns);
  return entries;
}

int clampBin(int v, int n) { return std::clamp(v, 0, n - 1); }

void sortColumns(layctx* ctx) { std::sort(ctx->tiers.begin(), ctx->tiers.begin() + ctx->tierCount); }

}  // namespace

void remove_column_entry(short* columns, int index, short* count) {
  if (index < 0 || index >= *count) return;
  for (int i = index; i + 1 < *count; ++i) columns[i] = columns[i + 1];
  --*count;
}

short find_columns(layctx* ctx, int requested) {
  ctx->tierCount = 0;
  const int cw = ctx->charWidth;
  const int w = std::max(1, cw * kColumnBinPercent / 100);
  const int n = ctx->page.widthPixels() / w;
  if (n <= 0 || ctx->textList == nullptr) return kStatusDone;
  const bool table = ctx->areaMode();
  const int mergeDistance = kColumnMergePercent * w / 100;
  layout::WorkBuffer<int> hist(static_cast<std::size_t>(n));
  if (!hist) return kStatusNoMemory;
  std::fill(hist.data(), hist.data() + n, 0);

  const auto counts = [&](const rect_record& l) { return table ? rectWidth(l) * 3 >= cw : rectWidth(l) >= 10 * cw; };
  forEachLine(ctx->textList, [&](const rect_record& l) {
    if (counts(l)) ++hist[static_cast<std::size_t>(clampBin(l.left / w, n))];
  });
  for (int b = n - 1; b >= 0; --b) {
    if (hist[static_cast<std::size_t>(b)] == 0) continue;
    for (int j = b - 1; j >= 0 && (b - j) * w < mergeDistance; --j) {
      if (hist[static_cast<std::size_t>(j)] == 0) continue;
      hist[static_cast<std::size_t>(j)] += hist[static_cast<std::size_t>(b)];
      hist[static_cast<std::size_t>(b)] = 0;
      break;
    }
  }
  const std::vector<BinEntry> entries = strongestBins(hist.data(), n, w);
  if (entries.empty()) return kStatusDone;

  // Never more boundaries than entries, and room kept for the right end.
  std::size_t take = 1;
  if (requested >= 1) {
    take = std::min<std::size_t>(static_cast<std::size_t>(requested), entries.size());
  } else {
    while (take < entries.size() && entries[take].count * 10 > entries[take - 1].count * 3) ++take;
  }
  take = std::min<std::size_t>(take, kMaxColumns - 1);
  for (std::size_t i = 0; i < take; ++i) {
    const int x = entries[i].x;
    int snapped = x;
    bool found = false;
    forEachLine(ctx->textList, [&](const rect_record& l) {
      if (l.left > x - cw && l.left < x + cw && (!found || l.left < snapped)) {
        snapped = l.left;
        found = true;
      }
    });
    ctx->tiers[static_cast<std::size_t>(ctx->tierCount++)] = static_cast<short>(snapped - 1);
  }
  sortColumns(ctx);

  // The right end of the last column.
  const int b = ctx->tiers[static_cast<std::size_t>(ctx->tierCount - 1)];
  std::fill(hist.data(), hist.data() + n, 0);
  forEachLine(ctx->textList, [&](const rect_record& l) {
    const bool counted = table ? rectWidth(l) * 3 >= cw && l.left <= b + cw && l.right * 3 >= b * 3 + cw
                               : rectWidth(l) >= 10 * cw && l.left <= b + 5 * cw && l.right >= b + 5 * cw;
    if (counted) ++hist[static_cast<std::size_t>(clampBin(l.right / w, n))];
  });
  for (int i = 0; i < n; ++i) {
    if (hist[static_cast<std::size_t>(i)] == 0) continue;
    for (int j = i + 1; j < n && (j - i) * w < mergeDistance; ++j) {
      if (hist[static_cast<std::size_t>(j)] == 0) continue;
      hist[static_cast<std::size_t>(j)] += hist[static_cast<std::size_t>(i)];
      hist[static_cast<std::size_t>(i)] = 0;
      break;
    }
  }
  const std::vector<BinEntry> ends = strongestBins(hist.data(), n, w);
  if (!ends.empty() && ctx->tierCount < kMaxColumns) {
    const int x = ends.front().x;
    int best = x;
    forEachLine(ctx->textList, [&](const rect_record& l) {
      if (l.right > x && l.right <= x + cw && l.right > best) best = l.right;
    });
    ctx->tiers[static_cast<std::size_t>(ctx->tierCount++)] = static_cast<short>(best + 1);
    sortColumns(ctx);
  }
  return kStatusDone;
}

short find_table_columns(layctx* ctx, const Rect16* area) {
  ctx->tierCount = 0;
  const int imageRight = ctx->page.widthPixels() - 1;
  auto add = [&](int x) {
    if (ctx->tierCount < kMaxColumns) ctx->tiers[static_cast<std::size_t>(ctx->tierCount++)] = static_cast<short>(x);
  };
  if (ctx->sepList == nullptr) {
    add(0);
    add(imageRight);
    return kStatusDone;
  }
  const int tall = layout::mmToPixels(10, ctx->page.dpi);
  const int d = ctx->charWidth * 3 / 2;
  const auto counts = [&](const rect_record& s) { return s.label != 4 && !isWide(s) && rectHeight(s) > tall; };
  int x0 = 30000;
  for (const rect_record* s = ctx->sepList->next; s != ctx->sepList; s = s->next)
    if (counts(*s)) x0 = std::min<int>(x0, s->left);
  bool leftOf = false;
  if (ctx->textList != nullptr)
    for (const rect_record* b = ctx->textList->next; b != ctx->textList; b = b->next)
      if (b->right < x0) leftOf = true;
  if (leftOf) add(1);
  const short before = ctx->tierCount;
  for (const rect_record* s = ctx->sepList->next; s != ctx->sepList; s = s->next)
    if (counts(*s) && (area == nullptr || intersects(*s, *area))) add(s->right);
  if (ctx->tierCount == before) add(1);
  add(imageRight);
  sortColumns(ctx);
  for (int i = 1; i < ctx->tierCount;) {
    const int diff = std::abs(ctx->tiers[static_cast<std::size_t>(i)] - ctx->tiers[static_cast<std::size_t>(i - 1)]);
    if (diff + 1 < d) {
      remove_column_entry(ctx->tiers.data(), i, &ctx->tierCount);
    } else {
      ++i;
    }
  }
  sortColumns(ctx);
  return kStatusDone;
}

short drop_separators_in_blocks(layctx* ctx) {
  if (ctx->sepList == nullptr || ctx->textList == nullptr) return kStatusDone;
  for (rect_record* s = ctx->sepList->next; s != ctx->sepList; s = s->next) {
    for (const rect_record* b = ctx->textList->next; b != ctx->textList; b = b->next) {
      if (s->left > b->left && s->right < b->right && s->top < b->bottom && b->top < s->bottom) {
        s = drop_rect(s);
        break;
      }
    }
  }
  return kStatusDone;
}

namespace {

// Unites b into a (children first), then drops b.  -111 leaves both.
short joinInto(rect_record* a, rect_record* b, bool lines) {
  // Without a child ring of its own, b itself becomes a's child.
  const bool moves = (lines ? b->outer : b->inner) == nullptr;
  const short status = lines ? layout::adoptLines(a, b) : layout::adoptChildren(a, b);
  if (status != kStatusDone) return status;
  layout::uniteInto(*a, *b);
  if (!moves) drop_rect(b);
  return kStatusDone;
}

bool tallSeparatorIn(const rect_record* separators, const Box& box, bool skipKind4) {
  if (separators == nullptr) return false;
  for (const rect_record* s = separators->next; s != separators; s = s->next) {
    if (skipKind4 && s->label == 4) continue;
    if (isTall(*s) && intersects(*s, box)) return true;
  }
  return false;
}

int overlap(int a0, int a1, int b0, int b1) { return std::min(a1, b1) - std::max(a0, b0) + 1; }

}  // namespace

namespace {

enum class Pair { Join, Skip, Stop };

// The joining walk shared by the block steps: each block A looks at every
// other block B; when B qualifies it is merged into A (lines moved, A's lines
// sorted by top) and the scan over B starts again from the first block, since
// A has grown.  Stop ends the scan over B for this A.
template <typename Q>
short joinBlocksWhere(rect_record* blocks, Q qualifies) {
  for (rect_record* a = blocks->next; a != blocks; a = a->next) {
    for (rect_record* b = blocks->next; b != blocks; b = b->next) {
      if (b == a) continue;
      const Pair verdict = qualifies(*a, *b);
      if (verdict == Pair::Stop) break;
      if (verdict == Pair::Skip) continue;
      if (joinInto(a, b, true) != kStatusDone) return kStatusNoMemory;
      if (a->outer != nullptr) layout::sortRingStable(a->outer);
      b = blocks;
    }
  }
  return kStatusDone;
}

Box jointBox(const rect_record& a, const rect_record& b) {
  return Box{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
             std::max(a.bottom, b.bottom)};
}

// A box between or around two blocks is blocked by a tall separator or by a
// third block reaching into it.
bool blocked(const Box& box, const rect_record& a, const rect_record& b, const rect_record* blocks,
             const rect_record* separators, bool skipKind4) {
  if (tallSeparatorIn(separators, box, skipKind4)) return true;
  for (const rect_record* c = blocks->next; c != blocks; c = c->next)
    if (c != &a && c != &b && intersects(*c, box)) return true;
  return false;
}

bool overlapVertically(const rect_record& a, const rect_record& b) { return a.top <= b.bottom && b.top <= a.bottom; }

}  // namespace

short join_overlapping_lines(layctx* ctx, const rect_record* separators) {
  if (ctx->textList == nullptr) return kStatusDone;
  for (rect_record* block = ctx->textList->next; block != ctx->textList; block = block->next) {
    rect_record* lines = block->outer;
    if (lines == nullptr) continue;
    layout::sortRingStable(lines);
    for (rect_record* a = lines->next; a != lines; a = a->next) {
      for (rect_record* b = lines->next; b != lines; b = b->next) {
        if (b == a) continue;
        if (b->top > a->bottom + ctx->lineGapH) break;
        const int ov = overlap(a->top, a->bottom, b->top, b->bottom);
        if (2 * ov < rectHeight(*a) && 2 * ov < rectHeight(*b)) continue;
        if (separators != nullptr && tallSeparatorIn(separators, layout::facingGap(*a, *b), false)) continue;
        if (joinInto(a, b, false) != kStatusDone) return kStatusNoMemory;
        b = lines;  // start again from the first line
      }
    }
  }
  return kStatusDone;
}

short join_split_lines(layctx* ctx) {
  if (ctx->textList == nullptr) return kStatusDone;
  layout::sortRingStable(ctx->textList);
  for (rect_record* block = ctx->textList->next; block != ctx->textList; block = block->next) {
    rect_record* lines = block->outer;
    if (lines == nullptr) continue;
    layout::sortRingStable(lines);
    for (rect_record* a = lines->next; a != lines && a->next != lines; a = a->next) {
      rect_record* b = a->next;
      int taller = 0;
      if (a->prev != lines) taller = rectHeight(*a->prev);
      if (b->next != lines) taller = std::max(taller, rectHeight(*b->next));
      if (taller == 0) taller = ctx->lineHeight;
      const int height = std::max(a->bottom, b->bottom) - std::min(a->top, b->top) + 1;
      const int width = std::max(a->right, b->right) - std::min(a->left, b->left) + 1;
      if (height * 10 >= taller * 13 || width >= 3 * ctx->lineHeight) continue;
      if (joinInto(a, b, false) != kStatusDone) return kStatusNoMemory;
    }
  }
  layout::sortRingStable(ctx->textList);
  return kStatusDone;
}

short merge_overlapping_blocks(layctx* ctx) {
  rect_record* blocks = ctx->textList;
  if (blocks == nullptr) return kStatusDone;
  layout::sortRingStable(blocks);
  const short status = joinBlocksWhere(blocks, [&](const rect_record& a, const rect_record& b) {
    if (b.top > a.bottom) return Pair::Stop;
    if (!intersects(a, b)) return Pair::Skip;
    return tallSeparatorIn(ctx->sepList, jointBox(a, b), true) ? Pair::Skip : Pair::Join;
  });
  if (status != kStatusDone) return status;
  sort_blocks(blocks, 1);
  return kStatusDone;
}

short merge_all_blocks(layctx* ctx) {
  rect_record* blocks = ctx->textList;
  if (blocks != nullptr && !layout::ringEmpty(blocks)) {
    rect_record* first = blocks->next;
    while (first->next != blocks)
      if (joinInto(first, first->next, true) != kStatusDone) return kStatusNoMemory;
    if (first->outer != nullptr) layout::sortRingStable(first->outer);
  }
  free_rect_list(&ctx->sepList);
  return kStatusDone;
}

// ---------------------------------------------------------------- block joins


short join_table_pieces(layctx* ctx) {
  rect_record* blocks = ctx->textList;
  if (blocks == nullptr) return kStatusDone;
  layout::sortRingStable(blocks);
  const int reach = ctx->lineHeight * 3 / 2;
  // The ring is sorted by top: past a block starting more than the reach
  // below A's top, no joint height can stay within it.
  return joinBlocksWhere(blocks, [&](const rect_record& a, const rect_record& b) {
    if (b.top > a.top + reach) return Pair::Stop;
    const Box joint = jointBox(a, b);
    if (joint.bottom - joint.top + 1 > reach) return Pair::Skip;
    if (a.left > b.right || b.left > a.right) return Pair::Skip;
    return blocked(joint, a, b, blocks, ctx->sepList, false) ? Pair::Skip : Pair::Join;
  });
}

short join_blocks_in_columns(layctx* ctx, const Rect16* area) {
  rect_record* blocks = ctx->textList;
  if (blocks == nullptr) return kStatusDone;
  const int areaWidth = area != nullptr ? rectWidth(*area) : ctx->page.widthPixels();
  return joinBlocksWhere(blocks, [&](const rect_record& a, const rect_record& b) {
    if (!overlapVertically(a, b)) return Pair::Skip;
    const Box joint = jointBox(a, b);
    if ((joint.right - joint.left + 1) + 1 >= areaWidth / 3) return Pair::Skip;
    for (int i = 0; i < ctx->tierCount; ++i) {
      const int x = ctx->tiers[static_cast<std::size_t>(i)];
      if (x > joint.left && x < joint.right) return Pair::Skip;
    }
    return blocked(layout::facingGap(a, b), a, b, blocks, ctx->sepList, false) ? Pair::Skip : Pair::Join;
  });
}

short join_blocks_across_gap(layctx* ctx) {
  rect_record* blocks = ctx->textList;
  if (blocks == nullptr || ctx->tierCount < 2) return kStatusDone;
  // Two boundaries are the edges of one column: no separator stands between
  // columns, so none keeps blocks apart here.  The list itself stays, since
  // the reading order still reads the page by its separators.
  const rect_record* separators = ctx->tierCount == 2 ? nullptr : ctx->sepList;
  const bool skipKind4 = ctx->areaMode() && ctx->params.byte(ParamBlock::kNoHorizontalMargin) == 0;
  const int widest = layout::mmToPixels(8, ctx->page.dpi);
  return joinBlocksWhere(blocks, [&](const rect_record& a, const rect_record& b) {
    if (a.outer == nullptr || b.outer == nullptr || !overlapVertically(a, b)) return Pair::Skip;
    const Box joint = jointBox(a, b);
    bool oneColumn = false;
    for (int i = 0; i + 1 < ctx->tierCount && !oneColumn; ++i)
      oneColumn = ctx->tiers[static_cast<std::size_t>(i)] <= joint.left &&
                  joint.right <= ctx->tiers[static_cast<std::size_t>(i + 1)];
    if (!oneColumn) return Pair::Skip;
    const int gap = std::max(a.left, b.left) - std::min(a.right, b.right) - 1;
    if (gap > widest) return Pair::Skip;
    return blocked(layout::facingGap(a, b), a, b, blocks, separators, skipKind4) ? Pair::Skip : Pair::Join;
  });
}

void sort_blocks(rect_record* blocks, int mode) {
  if (blocks == nullptr) return;
  layout::sortRingStable(blocks);
  if (mode != 1) return;
  for (rect_record* b = blocks->next; b != blocks; b = b->next)
    if (b->outer != nullptr) layout::sortRingStable(b->outer);
}

// ---------------------------------------------------------------- figures

namespace {

short judge(const layctx& ctx, const rect_record& r, short* kind) {
  const Rect16 rect = layout::rectOf(r);
  *kind = 0;
  return layout::stepServices().classifyRegion(kind, &ctx.page, &rect);
}

}  // namespace

short clear_figure_regions(layctx* ctx) {
  rect_record* blocks = ctx->textList;
  const rect_record* regions = ctx->largeList;
  if (blocks == nullptr || regions == nullptr) return kStatusDone;
  const int small = layout::mmToPixels(60, ctx->page.dpi);
  for (const rect_record* r = regions->next; r != regions; r = r->next) {
    if (r->label == layout::kFieldCell) continue;
    short kind = 0;
    if (judge(*ctx, *r, &kind) == kStatusNoMemory) return kStatusNoMemory;
    if (kind != layout::kFieldFigure) continue;
    const bool smallRegion = rectWidth(*r) < small && rectHeight(*r) < small;
    for (rect_record* c = blocks->next; c != blocks; c = c->next) {
      if (!layout::liesInside(*c, *r)) continue;
      if (judge(*ctx, *c, &kind) == kStatusNoMemory) return kStatusNoMemory;
      bool drop = kind == layout::kFieldFigure;
      if (!drop && smallRegion) {
        // What is left inside: a sparse small figure holds no text of its own.
        long covered = 0;
        for (const rect_record* d = blocks->next; d != blocks; d = d->next)
          if (layout::liesInside(*d, *r)) covered += layout::rectArea(*d);
        drop = covered * 10 < layout::rectArea(*r);
      }
      if (drop) c = drop_rect(c);
    }
  }
  return kStatusDone;
}

short drop_figure_blocks(layctx* ctx) {
  rect_record* blocks = ctx->textList;
  if (blocks == nullptr) return kStatusDone;
  for (rect_record* b = blocks->next; b != blocks; b = b->next) {
    if (count_rects(b->outer) != 1 || count_rects(b->outer->next->inner) != 1) continue;
    short kind = 0;
    if (judge(*ctx, *b, &kind) == kStatusNoMemory) return kStatusNoMemory;
    if (kind == layout::kFieldFigure) b = drop_rect(b);
  }
  return kStatusDone;
}

short drop_figure_lines(layctx* ctx) {
  rect_record* blocks = ctx->textList;
  const rect_record* regions = ctx->largeList;
  if (blocks == nullptr || regions == nullptr) return kStatusDone;
  for (rect_record* b = blocks->next; b != blocks; b = b->next) {
    if (b->outer == nullptr) continue;
    for (rect_record* l = b->outer->next; l != b->outer; l = l->next) {
      bool inFigure = false;
      for (const rect_record* r = regions->next; r != regions && !inFigure; r = r->next)
        inFigure = r->label == layout::kFieldFigure && intersects(*l, *r);
      if (!inFigure) continue;
      long inked = 0;
      if (l->inner != nullptr)
        for (const rect_record* c = l->inner->next; c != l->inner; c = c->next) inked += layout::rectArea(*c);
      if (inked * 100 >= layout::rectArea(*l) * 35) continue;
      short kind = 0;
      if (judge(*ctx, *l, &kind) == kStatusNoMemory) return kStatusNoMemory;
      if (kind == layout::kFieldFigure) l = drop_rect(l);
    }
  }
  recompute_blocks(blocks);
  return kStatusDone;
}

// ---------------------------------------------------------------- fields

namespace {

template <typename T>
void setRect(T* f, const rect_record& r) {
  f->left = r.left;
  f->top = r.top;
  f->right = r.right;
  f->bottom = r.bottom;
}

}  // namespace

short emit_fields(layctx* ctx, userfld** fields) {
  const int form = ctx->params.signedByte(ParamBlock::kForm);
  std::int16_t number = 0;
  ParamBlock params = ctx->params;
  if (form == 0) params.setByte(ParamBlock::kForm, 1);
  if (ctx->textList != nullptr) {
    layout::sortRingStable(ctx->textList);
    for (const rect_record* b = ctx->textList->next; b != ctx->textList; b = b->next) {
      userfld* f = append_fld(fields);
      if (f == nullptr) return kStatusNoMemory;
      setRect(f, *b);
      f->number = ++number;
      f->subNumber = -1;
      f->params = params;
      f->params.setByte(ParamBlock::kFieldKind, static_cast<std::uint8_t>(form == -1 ? layout::kFieldCell
                                                                                      : layout::kFieldText));
      f->measures[0] = ctx->charWidth;
      f->measures[1] = ctx->charHeight;
      f->measures[2] = ctx->gapX;
      f->measures[3] = ctx->lineHeight;
      f->origin = static_cast<std::uint16_t>(b->label);
      if (b->outer == nullptr) continue;
      for (const rect_record* l = b->outer->next; l != b->outer; l = l->next) {
        line_record* line = append_line(&f->lines);
        if (line == nullptr) return kStatusNoMemory;
        setRect(line, *l);
        if (l->inner == nullptr) continue;
        for (const rect_record* c = l->inner->next; c != l->inner; c = c->next) {
          recg* box = append_recg(&line->boxes);
          if (box == nullptr) return kStatusNoMemory;
          setRect(box, *c);
          box->code2 = c->extra;
        }
        sort_recg_by_left(line->boxes);
      }
      sort_line_by_top(f->lines);
    }
  }
  if (form != -1 && ctx->largeList != nullptr) {
    for (const rect_record* r = ctx->largeList->next; r != ctx->largeList; r = r->next) {
      if (r->label == layout::kFieldFigure) {
        userfld* f = append_fld(fields);
        if (f == nullptr) return kStatusNoMemory;
        setRect(f, *r);
        f->number = ++number;
        f->subNumber = -1;
        f->params = params;
        f->params.setByte(ParamBlock::kFieldKind, layout::kFieldFigure);
      } else if (r->label == layout::kFieldCell && form == 0) {
        userfld* f = append_fld(fields);
        if (f == nullptr) return kStatusNoMemory;
        setRect(f, *r);
        f->number = ++number;
        f->subNumber = -1;
        f->params = ctx->params;
        f->params.setByte(ParamBlock::kForm, 0xFF);
        f->params.setByte(ParamBlock::kFieldKind, layout::kFieldTable);
        if (ctx->params.byte(9) == 0) {
          const int style = r->extra;
          f->params.setByte(ParamBlock::kNoVerticalMargin, style == 3 || style == 4 || style < 1 || style > 4);
          f->params.setByte(ParamBlock::kNoHorizontalMargin, style != 1 && style != 3);
        }
        f->params.setByte(ParamBlock::kDirection, ctx->params.byte(ParamBlock::kDirection) == 1 ? 1 : 0);
      }
    }
  }
  sort_fld_by_top(*fields);
  return kStatusDone;
}

short drop_small_in_regions(layctx* ctx) {
  rect_record* blocks = ctx->textList;
  const rect_record* regions = ctx->largeList;
  if (blocks == nullptr || regions == nullptr) return kStatusDone;
  for (rect_record* b = blocks->next; b != blocks; b = b->next) {
    if (rectWidth(*b) >= ctx->lineHeight && rectHeight(*b) >= ctx->lineHeight) continue;
    for (const rect_record* r = regions->next; r != regions; r = r->next) {
      if (r->label == 11) continue;
      if (r->left < b->left && b->right < r->right && r->top < b->top && b->bottom < r->bottom) {
        b = drop_rect(b);
        break;
      }
    }
  }
  return kStatusDone;
}

short split_blocks_at_gaps(layctx* ctx) {
  rect_record* blocks = ctx->textList;
  if (blocks == nullptr || layout::ringEmpty(blocks)) return kStatusDone;
  for (rect_record* b = blocks->next; b != blocks; b = b->next) b->label = 0;
  const int lowest = 3 * (ctx->lineGapH + ctx->lineHeight);
  const int narrowest = layout::mmToPixels(30, ctx->page.dpi);
  short status = kStatusDone;
  for (rect_record* b = blocks->next; b != blocks && status == kStatusDone;) {
    rect_record* next = b->next;
    if (b->label == 0 && rectWidth(*b) >= narrowest && count_rects(b->outer) > 3) {
      rect_record* bands = nullptr;
      // The white rows of a block are found as those of a vertical block's
      // tiers: the same band finder, along the rows.
      status = find_vSplitBands(&bands, b, ctx, 0);
      if (status == kStatusDone && bands != nullptr)
        for (rect_record* band = bands->next; band != bands; band = band->next)
          if (rectHeight(*band) < lowest) band = drop_rect(band);
      if (status == kStatusDone && !layout::ringEmpty(bands)) {
        b->label = 1;
        std::vector<int> cuts;
        for (const rect_record* band = bands->next; band != bands; band = band->next)
          cuts.push_back((band->top + band->bottom) / 2);
        std::sort(cuts.begin(), cuts.end());
        cuts.push_back(std::numeric_limits<int>::max());  // the lines after the last band
        status = layout::moveLinesAtCuts(
            b, cuts, [](const rect_record& l, int cut) { return l.top <= cut; }, &ctx->textList);
        if (status == kStatusDone) drop_rect(b);
      }
      free_rect_list(&bands);
    }
    b = next;
  }
  recompute_blocks(ctx->textList);
  const short sorted = qsort_rects_by_top(ctx->textList);
  if (ctx->textList != nullptr)
    for (rect_record* b = ctx->textList->next; b != ctx->textList; b = b->next) b->label = 0;
  return status == kStatusDone ? sorted : status;
}

namespace {

// The white columns of a block that can be gutters: the components at least
// 0.8 mm wide of the lines from `skip` on are projected onto the block's
// columns; a kept run is wide enough, central, and lies near a column
// boundary or the block's middle; it is narrowed by 30 % on both sides.
std::vector<Box> findGutters(const rect_record& block, const layctx& ctx, int skip) {
  std::vector<Box> gutters;
  const int width = rectWidth(block);
  if (width <= 0 || block.outer == nullptr) return gutters;
  std::vector<char> inked(static_cast<std::size_t>(width), 0);
  const int minWide = layout::tenthsToPixels(8, ctx.page.dpi);
  int index = 0;
  bool anyLine = false;
  for (const rect_record* l = block.outer->next; l != block.outer; l = l->next, ++index) {
    if (index < skip) continue;
    anyLine = true;
    if (l->inner == nullptr) continue;
    for (const rect_record* c = l->inner->next; c != l->inner; c = c->next) {
      if (rectWidth(*c) < minWide) continue;
      for (int x = std::max<int>(c->left, block.left); x <= std::min<int>(c->right, block.right); ++x)
        inked[static_cast<std::size_t>(x - block.left)] = 1;
    }
  }
  if (!anyLine) return gutters;
  const int narrowest = 13 * (ctx.charWidth + ctx.gapX) / 10;
  const int reach = 3 * ctx.charWidth;
  const int middle = (block.left + block.right) / 2;
  for (int x = 0; x < width;) {
    if (inked[static_cast<std::size_t>(x)] != 0) {
      ++x;
      continue;
    }
    int end = x;
    while (end + 1 < width && inked[static_cast<std::size_t>(end + 1)] == 0) ++end;
    const int left = block.left + x;
    const int right = block.left + end;
    x = end + 1;
    const int w = right - left + 1;
    const int centre = (left + right) / 2;
    if (w < narrowest) continue;
    if (centre < block.left + width / 5 || centre > block.right - width / 5) continue;
    bool nearBoundary = std::abs(centre - middle) <= reach;
    for (int i = 0; i < ctx.tierCount && !nearBoundary; ++i)
      nearBoundary = std::abs(centre - ctx.tiers[static_cast<std::size_t>(i)]) <= reach;
    if (!nearBoundary) continue;
    const int shrink = w * 30 / 100;
    gutters.push_back(Box{left + shrink, block.top, right - shrink, block.bottom});
  }
  return gutters;
}

// Cuts one block at its gutters, left to right; the block itself keeps what
// lies right of the last gutter.  With `firstLineSpans` its first line, which
// runs across the gutters, becomes a block of its own first.
short splitBlockAtGutters(rect_record* block, const std::vector<Box>& gutters, bool firstLineSpans, layctx* ctx) {
  block->label = 1;
  if (firstLineSpans) {
    rect_record* nb = append_rect(&ctx->textList);
    if (nb == nullptr) return kStatusNoMemory;
    nb->label = 1;
    nb->extra = 1;
    rect_record* first = block->outer->next;
    layout::ringUnlink(first);
    if (link_rect(first, &nb->outer) != kStatusDone) return kStatusNoMemory;
    recompute_block(nb);
    recompute_block(block);
  }
  const int tallest = layout::tenthsToPixels(8, ctx->page.dpi);
  for (const Box& g : gutters) {
    rect_record* nb = append_rect(&ctx->textList);
    if (nb == nullptr) return kStatusNoMemory;
    nb->label = 1;
    nb->extra = 1;
    if (block->outer == nullptr) continue;
    for (rect_record* l = block->outer->next; l != block->outer; l = l->next) {
      rect_record* nl = append_rect(&nb->outer);
      if (nl == nullptr) return kStatusNoMemory;
      nl->label = l->label;
      if (l->inner == nullptr) continue;
      for (rect_record* c = l->inner->next; c != l->inner;) {
        rect_record* next = c->next;
        if (c->right < g.left) {
          layout::ringUnlink(c);
          if (link_rect(c, &nl->inner) != kStatusDone) return kStatusNoMemory;
        } else if (c->left <= g.right && rectHeight(*c) >= tallest) {
          // A tall piece reaching across the gutter belongs to neither side.
          drop_rect(c);
        }
        c = next;
      }
    }
    recompute_block(nb);
  }
  return kStatusDone;
}

}  // namespace

short split_blocks_at_gutters(layctx* ctx) {
  rect_record* blocks = ctx->textList;
  if (blocks == nullptr || layout::ringEmpty(blocks)) return kStatusDone;
  for (rect_record* b = blocks->next; b != blocks; b = b->next) b->label = 0;
  recompute_blocks(blocks);
  const int narrowest = layout::mmToPixels(50, ctx->page.dpi);
  short status = kStatusDone;
  // New blocks go to the tail; they are marked and so never cut again.
  for (rect_record* b = blocks->next; b != blocks && status == kStatusDone; b = b->next) {
    if (b->label != 0 || rectWidth(*b) < narrowest || count_rects(b->outer) < 4) continue;
    std::vector<Box> all = findGutters(*b, *ctx, 0);
    std::vector<Box> skipping = findGutters(*b, *ctx, 1);
    // Where the two lists disagree on a gutter, the narrower one goes; on a
    // tie the one found without the first line.
    for (auto a = all.begin(); a != all.end();) {
      bool dropA = false;
      for (auto s = skipping.begin(); s != skipping.end();) {
        if (a->left <= s->right && s->left <= a->right) {
          if (a->right - a->left < s->right - s->left) {
            dropA = true;
            break;
          }
          s = skipping.erase(s);
        } else {
          ++s;
        }
      }
      a = dropA ? all.erase(a) : a + 1;
    }
    if (!all.empty())
      status = splitBlockAtGutters(b, all, false, ctx);
    else if (!skipping.empty())
      status = splitBlockAtGutters(b, skipping, true, ctx);
  }
  recompute_blocks(ctx->textList);
  const short sorted = qsort_rects_by_top(ctx->textList);
  if (ctx->textList != nullptr)
    for (rect_record* b = ctx->textList->next; b != ctx->textList; b = b->next) b->label = 0;
  return status == kStatusDone ? sorted : status;
}

short add_gap_separators(userfld* fields, layctx* ctx, const Rect16* area) {
  if (fields == nullptr || layout::ringEmpty(fields)) return kStatusDone;
  const Rect16 r = *area;
  const int quarterX = (r.right - r.left) / 4;
  const int quarterY = (r.bottom - r.top) / 4;
  // A kind-4 pair is drawn inside wide regions; it closes a gap only when it
  // stands in the middle half of the area, not at a region's edge.
  const auto crossedBy = [&](layout::GapAxis axis) {
    return [ctx, r, quarterX, quarterY, axis](const rect_record& g) {
      if (ctx->sepList == nullptr) return false;
      for (const rect_record* s = ctx->sepList->next; s != ctx->sepList; s = s->next) {
        if (s->label == 4) {
          const bool middle = axis == layout::GapAxis::Rows
                                  ? s->left > r.left + quarterX && s->left < r.right - quarterX
                                  : s->top > r.top + quarterY && s->top < r.bottom - quarterY;
          if (!middle) continue;
        }
        if (layout::gapSpanned(g, axis, *s)) return true;
      }
      return false;
    };
  };
  const short status = layout::addGapLines(fields, ctx, r, layout::GapAxis::Rows, ctx->lineGapH * 200 / 100,
                                           crossedBy(layout::GapAxis::Rows));
  if (status != kStatusDone) return status;
  return layout::addGapLines(fields, ctx, r, layout::GapAxis::Columns, (ctx->gapX + ctx->charWidth) * 130 / 100,
                             crossedBy(layout::GapAxis::Columns));
}

short add_table_gap_separators(userfld* fields, layctx* ctx, const Rect16* area) {
  if (fields == nullptr || layout::ringEmpty(fields)) return kStatusDone;
  short status = kStatusDone;
  if (ctx->params.byte(ParamBlock::kNoVerticalMargin) == 1)
    status = layout::addGapLines(fields, ctx, *area, layout::GapAxis::Rows, ctx->lineGapH * 80 / 100);
  if (status == kStatusDone && ctx->params.byte(ParamBlock::kNoHorizontalMargin) == 1)
    status = layout::addGapLines(fields, ctx, *area, layout::GapAxis::Columns, (ctx->gapX + ctx->charWidth) * 80 / 100);
  return status;
}

short compare_reading_order(const userfld& a, const userfld& b, const rect_record* separators) {
  const bool overlapX = a.left <= b.right && b.left <= a.right;
  const bool overlapY = a.top <= b.bottom && b.top <= a.bottom;
  if (overlapX) {
    if (overlapY) return b.left >= a.left ? 1 : -1;
    return a.top >= b.top ? -1 : 1;
  }
  if (a.left > b.right) {  // a lies right of b
    if (a.bottom >= b.top) return -1;
    const layout::Coverage c = layout::separatorCoverage(Box{b.right + 1, a.bottom + 1, a.left - 1, b.top - 1}, separators);
    return c.h <= c.v ? -1 : 1;
  }
  if (b.bottom < a.top) {  // b wholly above a, a to its left
    const layout::Coverage c = layout::separatorCoverage(Box{a.right + 1, b.bottom + 1, b.left - 1, a.top - 1}, separators);
    return c.h > c.v ? -1 : 1;
  }
  return 1;
}

namespace {

// A separator that the fields overlapping it vertically all keep on one
// side, left ones before right ones or the other way, is a column border.
bool oneSided(const rect_record& s, const userfld* fields) {
  int side = 0;  // -1 left, 1 right
  for (const userfld* f = fields->next; f != fields; f = f->next) {
    if (f->top > s.bottom) break;
    if (f->bottom < s.top) continue;
    if (f->left <= s.right && s.left <= f->right) return false;
    const int here = f->right < s.left ? -1 : 1;
    if (side != 0 && here != side) return false;
    side = here;
  }
  return true;
}

void mark_free_fields(userfld* fields, const rect_record* separators) {
  std::vector<const rect_record*> marked;
  if (separators != nullptr)
    for (const rect_record* s = separators->next; s != separators; s = s->next)
      if (!isWide(*s) && oneSided(*s, fields)) marked.push_back(s);
  for (userfld* f = fields->next; f != fields; f = f->next) {
    bool free = true;
    for (const rect_record* s : marked)
      if (s->top <= f->bottom && f->top <= s->bottom) free = false;
    for (const userfld* g = fields->next; free && g != fields; g = g->next)
      if (g != f && g->top <= f->bottom && f->top <= g->bottom) free = false;
    f->origin = free ? 1 : 0;
  }
}

}  // namespace

short order_fields(userfld* fields, const layctx* ctx) {
  if (fields == nullptr || layout::ringEmpty(fields)) return kStatusDone;
  mark_free_fields(fields, ctx->sepList);
  userfld* next = nullptr;
  for (userfld* a = fields->next->next; a != fields; a = next) {
    next = a->next;
    if (a->origin == 1) continue;
    userfld* where = a->prev;
    while (where != fields && where->origin != 1 && compare_reading_order(*a, *where, ctx->sepList) >= 0)
      where = where->prev;
    if (where != a->prev) {
      layout::ringUnlink(a);
      layout::ringLinkAfter(where, a);
    }
  }
  number_fields_of_kind(fields, layout::kFieldText);
  number_fields_of_kind(fields, layout::kFieldFigure);
  number_fields_of_kind(fields, layout::kFieldTable);
  return kStatusDone;
}

void number_fields_of_kind(userfld* fields, int kind) { number_fld_kind(fields, kind); }

// ---------------------------------------------------------------- tables

short compare_cells(const userfld& a, const userfld& b, const rect_record* separators) {
  if (a.left <= b.right && b.left <= a.right) return a.top < b.top ? 1 : -1;
  if (separators != nullptr) {
    // A rule between the two rows of cells decides: the cell under it comes
    // after the one over it, however they lie side by side.
    const int gapLeft = std::min(a.right, b.right) + 1;
    const int gapRight = std::max(a.left, b.left) - 1;
    const int middleA = (a.top + a.bottom) / 2;
    const int middleB = (b.top + b.bottom) / 2;
    const int upper = std::min(middleA, middleB);
    const int lower = std::max(middleA, middleB);
    for (const rect_record* s = separators->next; s != separators; s = s->next) {
      if (!isWide(*s) || s->right < gapLeft || s->left > gapRight) continue;
      if (s->top < upper || s->bottom > lower) continue;
      return s->top <= middleA ? -1 : 1;
    }
  }
  if (a.left < b.left) return b.bottom < a.top ? -1 : 1;
  return a.bottom < b.top ? 1 : -1;
}

namespace {

// The field analysed again as a table of vertical writing of its own.  Its
// cells take its place in the ring; it goes when nothing results.  The
// table's own run already gave the ruled lines, so the nested run's go.
short reanalyse_as_table(userfld* field, const std::array<ImageDesc, 5>* images) {
  ParamBlock params = field->params;
  params.setByte(ParamBlock::kForm, 0xFF);
  params.setByte(ParamBlock::kFieldKind, layout::kFieldCell);
  params.setByte(ParamBlock::kDirection, 1);
  for (int i = 9; i <= ParamBlock::kSingleBlock; ++i) params.setByte(i, 1);
  userfld* found = nullptr;
  userfld* rules = nullptr;
  const short status = layout::layoutNested(*field, params, images, &found, &rules);
  free_fld_list(&rules);
  if (status == kStatusNoMemory) {
    free_fld_list(&found);
    return kStatusNoMemory;
  }
  layout::placeFieldsAfter(field, &found, 0, layout::kFieldTable);
  layout::ringUnlink(field);
  free_fld_tree(field);
  return kStatusDone;
}

}  // namespace

short resplit_edge_fields(userfld* fields, const std::array<ImageDesc, 5>* images) {
  if (fields == nullptr || layout::ringEmpty(fields) || images == nullptr) return kStatusDone;
  int m = std::numeric_limits<int>::max();
  for (const userfld* f = fields->next; f != fields; f = f->next) m = std::min<int>(m, f->left);
  // A narrow column of single characters along the table's left edge is a
  // heading written downwards; its cell is read again as vertical writing.
  // The fields made here lie inside the one they replace and are not looked
  // at again.
  std::vector<userfld*> candidates;
  for (userfld* f = fields->next; f != fields; f = f->next) {
    const int cw = f->measures[0];
    const int ch = f->measures[1];
    if (rectHeight(*f) < 2 * ch || f->right > m + 4 * cw) continue;
    bool narrow = true;
    if (f->lines != nullptr)
      for (const line_record* l = f->lines->next; l != f->lines && narrow; l = l->next)
        narrow = 2 * rectWidth(*l) <= 3 * cw;
    if (narrow) candidates.push_back(f);
  }
  for (userfld* f : candidates)
    if (reanalyse_as_table(f, images) != kStatusDone) return kStatusNoMemory;
  return kStatusDone;
}

short number_cells(userfld* fields, const layctx* ctx) {
  if (fields == nullptr || layout::ringEmpty(fields)) return kStatusDone;
  const int half = ctx->charHeight / 2;
  for (userfld* f = fields->next; f != fields; f = f->next) {
    const int shortfall = half - rectHeight(*f);
    if (shortfall > 0) {
      f->top = static_cast<std::int16_t>(f->top - shortfall / 4);
      f->bottom = static_cast<std::int16_t>(f->bottom + shortfall / 4);
    }
  }
  sort_fld_by_top(fields);
  // Cells that share no rows with another cell and no column border stay
  // where they are; the others move back while compare_cells lets them.
  mark_free_fields(fields, ctx->sepList);
  const rect_record* separators =
      ctx->params.byte(ParamBlock::kNoVerticalMargin) == 0 ? ctx->sepList : nullptr;
  userfld* next = nullptr;
  for (userfld* a = fields->next->next; a != fields; a = next) {
    next = a->next;
    if (a->origin == 1) continue;
    userfld* where = a->prev;
    while (where != fields && where->origin != 1 && compare_cells(*a, *where, separators) >= 0) where = where->prev;
    if (where != a->prev) {
      layout::ringUnlink(a);
      layout::ringLinkAfter(where, a);
    }
  }
  std::int16_t row = 0;
  const userfld* previous = nullptr;
  for (userfld* f = fields->next; f != fields; f = f->next) {
    if (previous == nullptr || f->left < previous->left || f->top > previous->bottom) ++row;
    f->number = row;
    f->subNumber = 1;
    previous = f;
  }
  // Columns: each pair of neighbouring boundaries that holds a cell centre
  // counts one column.
  std::int16_t column = 0;
  for (int i = 0; i + 1 < ctx->tierCount; ++i) {
    const int x0 = ctx->tiers[static_cast<std::size_t>(i)];
    const int x1 = ctx->tiers[static_cast<std::size_t>(i + 1)];
    bool any = false;
    for (userfld* f = fields->next; f != fields; f = f->next) {
      const int centre = (f->left + f->right) / 2;
      if (centre >= x0 && centre < x1) {
        if (!any) ++column;
        any = true;
        f->subNumber = column;
      }
    }
  }
  for (userfld* f = fields->next; f->next != fields; f = f->next)
    if (f->next->number == f->number && f->subNumber >= f->next->subNumber)
      f->next->subNumber = static_cast<std::int16_t>(f->subNumber + 1);
  return kStatusDone;
}

short fill_table_grid(userfld** fields) {
  userfld* head = *fields;
  if (head == nullptr || layout::ringEmpty(head)) return kStatusDone;
  int rows = 0;
  int columns = 0;
  for (const userfld* f = head->next; f != head; f = f->next) {
    rows = std::max<int>(rows, f->number);
    columns = std::max<int>(columns, f->subNumber);
  }
  if (columns <= 1) return kStatusDone;
  int row = 1;
  int column = 1;
  auto insertBefore = [&](userfld* where, const ParamBlock& params) -> short {
    userfld* cell = alloc_fld();
    if (cell == nullptr) return kStatusNoMemory;
    cell->number = static_cast<std::int16_t>(row);
    cell->subNumber = static_cast<std::int16_t>(column);
    cell->params = params;
    layout::ringLinkAfter(where->prev, cell);
    return kStatusDone;
  };
  userfld* f = head->next;
  ParamBlock lastParams = f->params;
  while (f != head) {
    if (f->number == row && f->subNumber == column) {
      lastParams = f->params;
      f = f->next;
    } else if (f->number > row || (f->number == row && f->subNumber > column)) {
      if (insertBefore(f, f->params) != kStatusDone) return kStatusNoMemory;
    } else {
      f = f->next;  // out of the expected order: left where it is
      continue;
    }
    if (++column > columns) {
      column = 1;
      ++row;
    }
  }
  while (column != 1 && column <= columns) {
    if (insertBefore(head, lastParams) != kStatusDone) return kStatusNoMemory;
    ++column;
  }
  return kStatusDone;
}

// ---------------------------------------------------------------- tidying

namespace {

bool sameRect(const userfld& a, const userfld& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void freeWhenEmpty(userfld** head) {
  if (*head != nullptr && layout::ringEmpty(*head)) free_fld_list(head);
}

template <typename Pred>
void dropFields(userfld* head, Pred drop) {
  if (head == nullptr) return;
  for (userfld* f = head->next; f != head; f = f->next) {
    if (!drop(*f)) continue;
    userfld* before = f->prev;
    layout::ringUnlink(f);
    free_fld_tree(f);
    f = before;
  }
}

bool isKind(const userfld& f, int kind) { return f.params.byte(ParamBlock::kFieldKind) == kind; }

}  // namespace

short tidy_line_fields(userfld** lineFields, const layctx* ctx) {
  userfld* head = *lineFields;
  if (head == nullptr) return kStatusDone;
  for (userfld* a = head->next; a != head; a = a->next)
    dropFields(head, [&](const userfld& b) { return &b != a && sameRect(*a, b); });
  const int dpi = ctx->page.dpi;
  const int mm2 = layout::mmToPixels(2, dpi);
  const int mm3 = layout::mmToPixels(3, dpi);
  for (userfld* a = head->next; a != head; a = a->next) {
    const bool horizontal = a->origin == 1;
    const int reachX = horizontal ? mm3 : mm2;
    const int reachY = horizontal ? mm2 : mm3;
    for (userfld* b = a->next; b != head; b = b->next) {
      if (b->origin != a->origin) continue;
      if (b->left > a->right + reachX || a->left > b->right + reachX) continue;
      if (b->top > a->bottom + reachY || a->top > b->bottom + reachY) continue;
      layout::uniteInto(*a, *b);
      if (horizontal) {
        a->top = static_cast<std::int16_t>((a->top + a->bottom) / 2);
        a->bottom = static_cast<std::int16_t>(a->top + 2);
      } else {
        a->left = static_cast<std::int16_t>((a->left + a->right) / 2);
      }
      userfld* before = b->prev;
      layout::ringUnlink(b);
      free_fld_tree(b);
      b = before;
    }
  }
  freeWhenEmpty(lineFields);
  return kStatusDone;
}

short drop_line_fields_in_figures(userfld** lineFields, const userfld* fields) {
  if (*lineFields == nullptr || fields == nullptr) return kStatusDone;
  dropFields(*lineFields, [&](const userfld& l) {
    for (const userfld* f = fields->next; f != fields; f = f->next)
      if (isKind(*f, layout::kFieldFigure) && intersects(l, *f)) return true;
    return false;
  });
  freeWhenEmpty(lineFields);
  return kStatusDone;
}

short drop_large_figures(userfld* fields, const layctx* ctx) {
  if (fields == nullptr) return kStatusDone;
  const int big = layout::mmToPixels(150, ctx->page.dpi);
  const int m3 = layout::mmToPixels(3, ctx->page.dpi);
  dropFields(fields, [&](const userfld& f) {
    return isKind(f, layout::kFieldFigure) && rectHeight(f) > big && rectWidth(f) > big;
  });
  dropFields(fields, [&](const userfld& f) {
    if (!isKind(f, layout::kFieldFigure)) return false;
    for (const userfld* g = fields->next; g != fields; g = g->next)
      if (g != &f && isKind(*g, layout::kFieldFigure) &&
          layout::liesInside(f, Box{g->left - m3, g->top - m3, g->right + m3, g->bottom + m3}))
        return true;
    return false;
  });
  return kStatusDone;
}

short merge_figures(userfld* fields) {
  if (fields == nullptr) return kStatusDone;
  for (userfld* a = fields->next; a != fields; a = a->next) {
    if (!isKind(*a, layout::kFieldFigure)) continue;
    for (userfld* b = a->next; b != fields; b = b->next) {
      if (!isKind(*b, layout::kFieldFigure) || !intersects(*a, *b)) continue;
      const Box joint{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                      std::max(a->bottom, b->bottom)};
      bool text = false;
      for (const userfld* t = fields->next; t != fields; t = t->next)
        if (isKind(*t, layout::kFieldText) && intersects(*t, joint)) text = true;
      if (text) continue;
      layout::uniteInto(*a, *b);
      userfld* before = b->prev;
      layout::ringUnlink(b);
      free_fld_tree(b);
      b = before;
    }
  }
  return kStatusDone;
}

short drop_thin_figures(userfld* fields) {
  dropFields(fields, [](const userfld& f) {
    return isKind(f, layout::kFieldFigure) &&
           (rectHeight(f) > 10 * rectWidth(f) || rectWidth(f) > 10 * rectHeight(f));
  });
  return kStatusDone;
}

short drop_line_fields_in_text(userfld** lineFields, const userfld* fields) {
  if (*lineFields == nullptr || fields == nullptr) return kStatusDone;
  dropFields(*lineFields, [&](const userfld& l) {
    for (const userfld* f = fields->next; f != fields; f = f->next) {
      if (!isKind(*f, layout::kFieldText) || f->lines == nullptr) continue;
      for (const line_record* t = f->lines->next; t != f->lines; t = t->next)
        if (layout::liesInside(l, *t)) return true;
    }
    return false;
  });
  freeWhenEmpty(lineFields);
  return kStatusDone;
}

short mark_line_fields_in_tables(userfld* lineFields, const userfld* fields) {
  if (lineFields == nullptr || fields == nullptr) return kStatusDone;
  for (userfld* l = lineFields->next; l != lineFields; l = l->next)
    for (const userfld* f = fields->next; f != fields; f = f->next)
      if (isKind(*f, layout::kFieldTable) && intersects(*l, *f))
        l->params.setByte(ParamBlock::kFieldKind, layout::kLineFieldInTable);
  return kStatusDone;
}
