// Cleaning blocks, small pieces and white gaps; see block_cleaning.h.
#include "layout/block_cleaning.h"

#include "layout/component_steps.h"
#include "layout/layout_status.h"
#include "layout/line_steps.h"
#include "layout/parameter_tables.h"
#include "layout/pixel_groups.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"
#include "layout/step_support.h"

#include <algorithm>
#include <climits>

using layout::Box;
using layout::intersects;
using layout::kStatusDone;
using layout::kStatusNoMemory;
using layout::liesInside;
using layout::mmToPixels;
using layout::rectHeight;
using layout::rectWidth;
using layout::tenthsToPixels;

namespace {

bool latin(const layctx& ctx) { return ctx.params.word(ParamBlock::kLanguageWord) == 1; }
int pitch(const layctx& ctx) { return ctx.charWidth + ctx.gapX; }
int hundredthsToPixels(int hundredths, int dpi) { return hundredths * dpi * 4 / 10000; }

Box unionBox(const rect_record& a, const rect_record& b) {
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

bool anySeparatorMeets(const rect_record* seps, const Box& box) {
  if (seps == nullptr) return false;
  for (const rect_record* s = seps->next; s != seps; s = s->next) {
    if (intersects(*s, box)) return true;
  }
  return false;
}

short appendGap(layctx* ctx, int left, int top, int right, int bottom) {
  rect_record* g = append_rect(&ctx->gapList);
  if (g == nullptr) return kStatusNoMemory;
  g->left = static_cast<std::int16_t>(left);
  g->top = static_cast<std::int16_t>(top);
  g->right = static_cast<std::int16_t>(right);
  g->bottom = static_cast<std::int16_t>(bottom);
  return kStatusDone;
}

}  // namespace

short collect_line_gaps(layctx* ctx) {
  rect_record* lines = ctx->textList;
  if (lines == nullptr) return kStatusDone;
  const int ch = ctx->charHeight;
  const int w = tenthsToPixels(8, ctx->page.dpi);
  int g = pitch(*ctx) * layout::parameterTables().layout(23) / 100;
  if (latin(*ctx)) g = g * 200 / 100;
  const long bigG = 30L * g;
  auto rowsOf = [ch](const rect_record& m) {
    const int grow = rectHeight(m) < ch / 2 ? ch / 3 : 0;
    return Box{m.left, m.top - grow, m.right, m.bottom + grow};
  };
  for (rect_record* l = lines->next; l != lines; l = l->next) {
    if (rectWidth(*l) < w) continue;
    const int t = rectHeight(*l) < ch / 2 ? ch / 3 : 0;
    const int top = l->top - t;
    const int bottom = l->bottom + t;
    const rect_record* right = nullptr;
    const rect_record* left = nullptr;
    auto consider = [&](const rect_record* m) {
      if (rectWidth(*m) < w) return;
      const Box rows = rowsOf(*m);
      if (rows.top > bottom || top > rows.bottom) return;
      if (m->left > l->right && (right == nullptr || m->left < right->left)) right = m;
      if (m->right < l->left && (left == nullptr || m->right > left->right)) left = m;
    };
    for (const rect_record* m = l->next; m != lines && m->top <= l->bottom + 3 * ch; m = m->next) consider(m);
    for (const rect_record* m = l->prev; m != lines && m->bottom >= l->top - 3 * ch; m = m->prev) consider(m);
    auto add = [&](int gl, int gr, const rect_record* m) -> short {
      const int width = gr - gl + 1;
      if (width <= g || width >= bigG) return kStatusDone;
      const int gt = std::max(l->top, m->top);
      int gb = std::min(l->bottom, m->bottom);
      if (gb - gt + 1 < ch) gb = gt + ch;
      return appendGap(ctx, gl, gt, gr, gb);
    };
    if (right != nullptr && add(l->right + 1, right->left - 1, right) != kStatusDone) return kStatusNoMemory;
    if (left != nullptr && add(left->right + 1, l->left - 1, left) != kStatusDone) return kStatusNoMemory;
  }
  if (ctx->gapList == nullptr) return kStatusDone;
  if (layout::ringEmpty(ctx->gapList)) {
    free_rect_list(&ctx->gapList);
    return kStatusDone;
  }
  layout::sortRingStable(ctx->gapList);
  merge_gaps(ctx);
  trim_gaps(ctx, w, g);
  return kStatusDone;
}

namespace layout {

void mergeMeetingGaps(rect_record* gaps, bool stopBelow) {
  if (gaps == nullptr) return;
  for (rect_record* a = gaps->next; a != gaps; a = a->next) {
    Box r{a->left, a->top, a->right, a->bottom};
    for (rect_record* b = gaps->next; b != gaps && !(stopBelow && b->top > r.bottom); b = b->next) {
      if (b == a || !intersects(*b, r)) continue;
      r = {std::max<int>(r.left, b->left), std::min<int>(r.top, b->top), std::min<int>(r.right, b->right),
           std::max<int>(r.bottom, b->bottom)};
      b = drop_rect(b);
    }
    a->left = static_cast<std::int16_t>(r.left);
    a->top = static_cast<std::int16_t>(r.top);
    a->right = static_cast<std::int16_t>(r.right);
    a->bottom = static_cast<std::int16_t>(r.bottom);
  }
}

}  // namespace layout

short merge_gaps(layctx* ctx) {
  layout::mergeMeetingGaps(ctx->gapList, true);
  return kStatusDone;
}

short trim_gaps(layctx* ctx, int minimumLineWidth, int smallestGap) {
  rect_record* gaps = ctx->gapList;
  rect_record* lines = ctx->textList;
  if (gaps == nullptr || lines == nullptr) return kStatusDone;
  const int inside = ctx->charWidth * 70 / 100;
  for (rect_record* gap = gaps->next; gap != gaps; gap = gap->next) {
    bool dropped = false;
    for (const rect_record* l = lines->next; l != lines && l->top <= gap->bottom && !dropped; l = l->next) {
      if (rectWidth(*l) < minimumLineWidth || !intersects(*l, *gap)) continue;
      bool narrowed = false;
      if (l->left < gap->left) {
        if (l->right < gap->right) {
          gap->left = l->right;
        } else {
          gap->right = gap->left;
        }
        narrowed = true;
      } else if (l->right > gap->right) {
        gap->right = l->left;
        narrowed = true;
      } else if (rectWidth(*l) > inside) {
        gap->right = gap->left;
        narrowed = true;
      }
      if (narrowed && rectWidth(*gap) < smallestGap) {
        gap = drop_rect(gap);
        dropped = true;
      }
    }
  }
  return kStatusDone;
}

short gaps_to_separators(rect_record* gaps, layctx* ctx) {
  if (gaps == nullptr) return kStatusDone;
  for (const rect_record* g = gaps->next; g != gaps; g = g->next) {
    const int w = rectWidth(*g);
    // Without a character width the gap counts as very wide: the lowest share.
    double p = ctx->charWidth > 0 ? 46 - 6.666666666666667 * w / ctx->charWidth : 20;
    p = std::clamp(p, 20.0, 40.0);
    const int o = w * static_cast<int>(p) / 100;
    for (const int x : {g->left + o, g->right - o}) {
      rect_record* s = append_rect(&ctx->sepList);
      if (s == nullptr) return kStatusNoMemory;
      s->left = static_cast<std::int16_t>(x);
      s->right = static_cast<std::int16_t>(x + 1);
      s->top = g->top;
      s->bottom = g->bottom;
      s->label = layout::kKindGapSeparator;
    }
  }
  return kStatusDone;
}

namespace {

void dropSpecksMeeting(layctx* ctx, const rect_record& block) {
  rect_record* specks = ctx->speckList;
  if (specks == nullptr) return;
  for (rect_record* s = specks->next; s != specks && s->top <= block.bottom; s = s->next) {
    if (intersects(*s, block)) s = drop_rect(s);
  }
}

}  // namespace

short drop_narrow_blocks(layctx* ctx) {
  rect_record* blocks = ctx->textList;
  if (blocks == nullptr) return kStatusDone;
  const int least = tenthsToPixels(4, ctx->page.dpi);
  for (rect_record* b = blocks->next; b != blocks; b = b->next) {
    b->extra = 0;
    const int n = count_rects(b->outer);
    int widest = 0;
    if (b->outer != nullptr)
      for (const rect_record* l = b->outer->next; l != b->outer; l = l->next) widest = std::max(widest, rectWidth(*l));
    const bool sized = rectWidth(*b) >= least && rectHeight(*b) >= least;
    const bool stays = sized && (widest >= ctx->charWidth * 50 / 100 || n == 0 ||
                                 (n == 1 && rectHeight(*b) <= ctx->charHeight * 300 / 100));
    if (stays) continue;
    dropSpecksMeeting(ctx, *b);
    b = drop_rect(b);
  }
  return kStatusDone;
}

short drop_far_specks(layctx* ctx) {
  rect_record* specks = ctx->speckList;
  rect_record* blocks = ctx->textList;
  if (specks == nullptr) return kStatusDone;
  layout::sortRingStable(specks);
  for (rect_record* s = specks->next; s != specks; s = s->next) s->label = 0;
  const int dx = pitch(*ctx);
  const int dy = ctx->lineGapH * 20 / 100;
  if (blocks != nullptr) {
    for (const rect_record* b = blocks->next; b != blocks; b = b->next) {
      const Box wide{b->left - dx, b->top - dy, b->right + dx, b->bottom + dy};
      for (rect_record* s = specks->next; s != specks && s->top <= wide.bottom + ctx->lineGapH; s = s->next) {
        if (intersects(*s, wide)) s->label = 1;
      }
    }
  }
  for (rect_record* s = specks->next; s != specks; s = s->next) {
    if (s->label == 0) s = drop_rect(s);
  }
  return kStatusDone;
}

rect_record* choose_line_for_piece(const layctx* ctx, const rect_record* piece, rect_record* const* candidates,
                                   int count) {
  const int dpi = ctx->page.dpi;
  const int mx = (piece->left + piece->right) / 2;
  const int my = (piece->top + piece->bottom) / 2;
  if (latin(*ctx)) {
    // An ascender or descender under the piece: the dot of an i or a j.
    const int narrow = tenthsToPixels(13, dpi);
    for (int i = 0; i < count; ++i) {
      const rect_record* line = candidates[i];
      if (!(piece->bottom < (line->top + line->bottom) / 2) || line->inner == nullptr) continue;
      for (const rect_record* k = line->inner->next; k != line->inner; k = k->next) {
        if (k->left <= piece->right && piece->left <= k->right && rectWidth(*k) < narrow &&
            rectWidth(*k) * 150 / 100 < rectHeight(*k))
          return candidates[i];
      }
    }
    if (count == 2) {
      const int slack = hundredthsToPixels(35, dpi);
      const int shortest = hundredthsToPixels(125, dpi);
      int span[2] = {0, 0};
      for (int i = 0; i < 2; ++i) {
        const rect_record* line = candidates[i];
        if (line->inner == nullptr) continue;
        for (const rect_record* k = line->inner->next; k != line->inner; k = k->next) {
          if (k->left - slack > mx || mx > k->right + slack) continue;
          if (rectHeight(*k) >= shortest)
            span[i] = k->bottom < my ? piece->bottom - k->top + 1 : k->bottom - piece->top + 1;
          break;
        }
      }
      if (span[0] != 0 && span[1] != 0) return span[0] < span[1] ? candidates[0] : candidates[1];
    }
  }
  const int rx = pitch(*ctx);
  const int ry = ctx->lineGapH;
  long best = LONG_MAX;
  rect_record* chosen = candidates[0];
  for (int i = 0; i < count; ++i) {
    const rect_record* line = candidates[i];
    if (line->inner == nullptr) continue;
    for (const rect_record* k = line->inner->next; k != line->inner; k = k->next) {
      const int corners[4][2] = {{k->left, k->top}, {k->right, k->top}, {k->left, k->bottom}, {k->right, k->bottom}};
      for (const auto& c : corners) {
        if (!(mx - rx < c[0] && c[0] < mx + rx && my - ry < c[1] && c[1] < my + ry)) continue;
        const long d = static_cast<long>(c[0] - mx) * (c[0] - mx) + static_cast<long>(c[1] - my) * (c[1] - my);
        if (d < best) {
          best = d;
          chosen = candidates[i];
        }
      }
    }
  }
  return chosen;
}

short hang_specks_on_lines(layctx* ctx) {
  drop_far_specks(ctx);
  rect_record* specks = ctx->speckList;
  rect_record* blocks = ctx->textList;
  if (specks == nullptr || blocks == nullptr) return kStatusDone;
  const int a = layout::parameterTables().layout(31);
  const int x = pitch(*ctx);
  const int lg = ctx->lineGapH;
  const int y = lg * (latin(*ctx) ? 50 : 20) / 100;
  for (rect_record* s = specks->next; s != specks; s = s->next) {
    if (s->right - s->left + s->bottom - s->top + 2 < a) continue;
    int k = 0;
    for (const rect_record* b = blocks->next; b != blocks; b = b->next) k += intersects(*b, *s) ? 1 : 0;
    rect_record* candidates[layout::kMaxPieceCandidates];
    int n = 0;
    for (rect_record* b = blocks->next; b != blocks; b = b->next) {
      if (k > 0 && !intersects(*b, *s)) continue;
      if (b->outer == nullptr) continue;
      for (rect_record* l = b->outer->next; l != b->outer; l = l->next) {
        const Box wide{l->left - x / 2, l->top - y, l->right + x, l->bottom + y};
        if (intersects(wide, *s) && !anySeparatorMeets(ctx->sepList, unionBox(*l, *s)) &&
            n < layout::kMaxPieceCandidates)
          candidates[n++] = l;
        if (k == 1 && wide.top - s->bottom + 1 > lg) break;
      }
      if (k == 1) break;
    }
    if (n == 0) continue;
    rect_record* line = n == 1 ? candidates[0] : choose_line_for_piece(ctx, s, candidates, n);
    const Box grown = unionBox(*line, *s);
    rect_record* before = s->prev;
    // Without a sentinel for the line's components the speck stays a speck.
    if (layout::adoptChildren(line, s) != kStatusDone) return kStatusNoMemory;
    layout::uniteInto(*line, grown);
    s = before;
  }
  recompute_blocks(blocks);
  return kStatusDone;
}

namespace {

// No block other than a and b meets `box`.
bool noThirdBlock(const rect_record* blocks, const rect_record* a, const rect_record* b, const Box& box) {
  for (const rect_record* c = blocks->next; c != blocks; c = c->next) {
    if (c != a && c != b && intersects(*c, box)) return false;
  }
  return true;
}

short joinBlocks(rect_record* a, rect_record* b, const Box& u) {
  if (layout::adoptLines(a, b) != kStatusDone) return kStatusNoMemory;
  layout::uniteInto(*a, u);
  drop_rect(b);
  return kStatusDone;
}

}  // namespace

short join_close_blocks(layctx* ctx) {
  rect_record* blocks = ctx->textList;
  if (blocks == nullptr) return kStatusDone;
  const int g = pitch(*ctx) * layout::parameterTables().layout(26) / 100;
  for (rect_record* a = blocks->next; a != blocks; a = a->next) {
    for (rect_record* b = blocks->next; b != blocks; b = b->next) {
      if (b == a || a->top > b->bottom || b->top > a->bottom) continue;
      if (!(b->right < a->left || b->left > a->right)) continue;
      const int gap = b->left > a->right ? b->left - a->right + 1 : a->left - b->right + 1;
      if (gap >= g) continue;
      if (layout::tallSeparatorMeets(ctx->sepList, layout::facingGap(*a, *b))) continue;
      const Box u = unionBox(*a, *b);
      if (!noThirdBlock(blocks, a, b, u)) continue;
      if (joinBlocks(a, b, u) != kStatusDone) return kStatusNoMemory;
      layout::sortRingStable(a->outer);
      b = blocks;  // partners of A again from the first block
    }
  }
  return kStatusDone;
}

short join_small_blocks(layctx* ctx) {
  rect_record* blocks = ctx->textList;
  if (blocks == nullptr) return kStatusDone;
  layout::sortRingStable(blocks);
  const int cw = ctx->charWidth;
  const int d = 4 * pitch(*ctx);
  for (rect_record* a = blocks->next; a != blocks; a = a->next) {
    for (rect_record* b = blocks->next; b != blocks && b->top <= a->bottom; b = b->next) {
      if (b == a || b->bottom < a->top) continue;
      if (rectWidth(*b) > 3 * cw || rectHeight(*b) > 3 * cw) continue;
      if (a->left > b->right + d || b->left > a->right + d) continue;
      const Box u = unionBox(*a, *b);
      if (layout::tallSeparatorMeets(ctx->sepList, u)) continue;
      const Box wide{u.left - cw, u.top - cw, u.right + cw, u.bottom + cw};
      bool reaching = false;
      for (const rect_record* c = blocks->next; c != blocks && !reaching; c = c->next) {
        reaching = c != a && c != b && intersects(*c, wide) && !liesInside(*c, wide);
      }
      if (reaching) continue;
      bool region = false;
      if (ctx->largeList != nullptr)
        for (const rect_record* r = ctx->largeList->next; r != ctx->largeList && !region; r = r->next)
          region = intersects(*r, u);
      if (region) continue;
      if (joinBlocks(a, b, u) != kStatusDone) return kStatusNoMemory;
      b = blocks;  // again from the first block
    }
  }
  for (rect_record* b = blocks->next; b != blocks; b = b->next) layout::sortRingStable(b->outer);
  layout::sortRingStable(blocks);
  return kStatusDone;
}

short join_table_lines(layctx* ctx, const rect_record* separators) {
  rect_record* blocks = ctx->textList;
  if (blocks == nullptr) return kStatusDone;
  const int m = ctx->lineHeight * 125 / 100;
  for (rect_record* block = blocks->next; block != blocks; block = block->next) {
    rect_record* lines = block->outer;
    if (lines == nullptr) continue;
    for (rect_record* a = lines->next; a != lines; a = a->next) {
      for (rect_record* b = lines->next; b != lines; b = b->next) {
        if (b == a || b->right < a->left || a->right < b->left) continue;
        const int span = a->top < b->bottom ? b->bottom - a->top + 1 : a->bottom - b->top + 1;
        if (span > m) continue;
        if (layout::tallSeparatorMeets(separators, layout::facingGap(*a, *b))) continue;
        const Box u = unionBox(*a, *b);
        if (layout::adoptChildren(a, b) != kStatusDone) return kStatusNoMemory;
        layout::uniteInto(*a, u);
        drop_rect(b);
        b = lines;  // the visit starts again from the block's first line
      }
    }
  }
  return kStatusDone;
}

namespace {

short judge(const layctx* ctx, const rect_record& r, short* kind) {
  const Rect16 rect = layout::rectOf(r);
  return layout::stepServices().classifyRegion(kind, &ctx->page, &rect);
}

}  // namespace

short find_text_box(layctx* ctx, Rect16* area) {
  rect_record* blocks = ctx->textList;
  if (layout::ringEmpty(blocks)) return kStatusDone;  // no block: the area stays as it is
  const int cw = ctx->charWidth;
  const int lh = ctx->lineHeight;
  Box box{0, 0, 0, 0};
  bool any = false;
  for (const rect_record* b = blocks->next; b != blocks; b = b->next) {
    const int w = rectWidth(*b);
    const int h = rectHeight(*b);
    const bool tall = w < h;
    if ((tall && w < cw * 50 / 100 && h > 3 * lh) || (!tall && h <= lh / 2) || (tall && w <= cw * 50 / 100)) continue;
    if (!any) {
      box = {b->left, b->top, b->right, b->bottom};
      any = true;
    } else {
      layout::uniteInto(box, *b);
    }
  }
  if (box.left == 0 && box.right == 0) {
    const rect_record* last = blocks->prev;
    box = {last->left, last->top, last->right, last->bottom};
  }
  *area = Rect16{static_cast<std::int16_t>(box.left), static_cast<std::int16_t>(box.top),
                 static_cast<std::int16_t>(box.right), static_cast<std::int16_t>(box.bottom)};
  const int higher = layout::parameterTables().layout(32);
  for (rect_record* b = blocks->next; b != blocks; b = b->next) {
    const int w = rectWidth(*b);
    const int h = rectHeight(*b);
    const bool flat = h <= w && h < lh / 3;
    const bool thin = w < h && w < cw / 3;
    if (intersects(*b, box) && !flat && !thin && h > higher && (w >= h || w >= 3 * cw || h <= 10 * w)) continue;
    short kind = 0;
    if (judge(ctx, *b, &kind) == kStatusNoMemory) return kStatusNoMemory;
    if (kind == layout::kKindFigure) b = drop_rect(b);
  }
  return kStatusDone;
}

short drop_speckled_lines(layctx* ctx) {
  rect_record* blocks = ctx->textList;
  if (blocks == nullptr) return kStatusDone;
  const int small = layout::parameterTables().layout(5);
  const int dpi = ctx->page.dpi;
  const int low = tenthsToPixels(4, dpi);
  const int narrow = tenthsToPixels(8, dpi);
  const int p = pitch(*ctx);
  for (rect_record* b = blocks->next; b != blocks; b = b->next) {
    if (b->outer == nullptr) continue;
    for (rect_record* l = b->outer->next; l != b->outer; l = l->next) {
      const int n = std::max(1, p > 0 ? rectWidth(*l) / p : 1);
      int dots = 0;
      if (l->inner != nullptr)
        for (const rect_record* k = l->inner->next; k != l->inner; k = k->next)
          dots += rectWidth(*k) <= small && rectHeight(*k) <= small ? 1 : 0;
      if (dots > 5 * n || (rectHeight(*l) <= low && rectWidth(*l) < narrow)) l = drop_rect(l);
    }
  }
  recompute_blocks(blocks);
  return kStatusDone;
}

short drop_thin_figure_lines(layctx* ctx) {
  rect_record* blocks = ctx->textList;
  if (blocks == nullptr) return kStatusDone;
  const int thin = layout::parameterTables().layout(5);
  for (rect_record* b = blocks->next; b != blocks; b = b->next) {
    if (b->outer == nullptr) continue;
    for (rect_record* l = b->outer->next; l != b->outer; l = l->next) {
      if (rectWidth(*l) >= thin && rectHeight(*l) >= thin) continue;
      short kind = 0;
      if (judge(ctx, *l, &kind) == kStatusNoMemory) return kStatusNoMemory;
      if (kind == layout::kKindFigure) l = drop_rect(l);
    }
  }
  recompute_blocks(blocks);
  return kStatusDone;
}

short drop_flat_lines(layctx* ctx) {
  rect_record* blocks = ctx->textList;
  if (blocks == nullptr) return kStatusDone;
  const int flat = mmToPixels(1, ctx->page.dpi);
  for (rect_record* b = blocks->next; b != blocks; b = b->next) {
    if (b->outer == nullptr) continue;
    for (rect_record* l = b->outer->next; l != b->outer; l = l->next) {
      if (l->inner == nullptr) continue;
      bool high = false;
      for (const rect_record* k = l->inner->next; k != l->inner && !high; k = k->next) high = rectHeight(*k) > flat;
      if (!high) l = drop_rect(l);
    }
  }
  recompute_blocks(blocks);
  return kStatusDone;
}

short drop_blocks_in_figures(layctx* ctx) {
  rect_record* blocks = ctx->textList;
  if (blocks == nullptr) return kStatusDone;
  const int e = ctx->lineHeight / 2;
  rect_record* regions = ctx->largeList;
  for (rect_record* b = blocks->next; b != blocks; b = b->next) {
    b->label = 0;
    if (regions == nullptr) continue;
    for (const rect_record* r = regions->next; r != regions; r = r->next) {
      if (r->label == 11) continue;
      if (r->top - e <= b->top && b->bottom <= r->bottom + e && r->left - e <= b->left && b->right <= r->right + e) {
        b->label = 1;
        break;
      }
    }
  }
  for (rect_record* b = blocks->next; b != blocks; b = b->next) {
    if (b->label != 1) continue;
    short kind = 0;
    if (rectWidth(*b) <= e) {
      kind = layout::kKindFigure;
    } else if (rectHeight(*b) > e) {
      if (judge(ctx, *b, &kind) == kStatusNoMemory) return kStatusNoMemory;
    } else if (rectHeight(*b) < e) {
      kind = layout::kKindFigure;
    }
    if (kind == layout::kKindFigure) b = drop_rect(b);
  }
  return kStatusDone;
}
