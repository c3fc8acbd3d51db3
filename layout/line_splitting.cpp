// Lines of a horizontal block that are really several lines; see
// line_splitting.h.
#include "layout/line_splitting.h"

#include "layout/block_cleaning.h"
#include "layout/layout_status.h"
#include "layout/line_steps.h"
#include "layout/parameter_tables.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"
#include "layout/step_support.h"

#include <algorithm>
#include <vector>

using layout::kStatusDone;
using layout::kStatusNoMemory;
using layout::Box;
using layout::intersects;
using layout::rectHeight;
using layout::rectWidth;

namespace {

std::vector<rect_record*> ringRecords(rect_record* head) {
  std::vector<rect_record*> out;
  if (head != nullptr)
    for (rect_record* r = head->next; r != head; r = r->next) out.push_back(r);
  return out;
}

// A context that groups the given pieces into lines on their own: the
// measures and separators of `ctx`, no regions to hang on the lines.
layctx groupingContext(const layctx& ctx) {
  layctx g = ctx;
  g.textList = nullptr;
  g.largeList = nullptr;
  g.speckList = nullptr;
  g.reducedList = nullptr;
  g.gapList = nullptr;
  return g;
}

// Lines of the pieces after the lead, or -111.  `lines` stays null when
// grouping gave nothing.
short groupRest(const layctx& ctx, const std::vector<rect_record*>& pieces, std::size_t from, rect_record** lines) {
  layctx g = groupingContext(ctx);
  g.gapY = static_cast<short>(ctx.gapY * 2);
  for (std::size_t i = from; i < pieces.size(); ++i) {
    rect_record* copy = append_rect(&g.textList);
    if (copy == nullptr) {
      free_rect_list(&g.textList);
      return kStatusNoMemory;
    }
    copy->left = pieces[i]->left;
    copy->top = pieces[i]->top;
    copy->right = pieces[i]->right;
    copy->bottom = pieces[i]->bottom;
    copy->extra = pieces[i]->extra;
  }
  const int joinDistance = 2 * (ctx.charWidth + ctx.gapX) * layout::parameterTables().layout(26) / 100;
  if (build_lines(&g, joinDistance) != kStatusDone) {
    free_rect_list(&g.textList);
    return kStatusNoMemory;
  }
  *lines = g.textList;
  return kStatusDone;
}

}  // namespace

short split_initial_lines(layctx* ctx) {
  rect_record* blocks = ctx->textList;
  if (blocks == nullptr) return kStatusDone;
  for (rect_record* b = blocks->next; b != blocks; b = b->next) {
    // The lines made here are lower than the one they came from; they are
    // not looked at again.
    for (rect_record* l : ringRecords(b->outer)) {
      const int height = rectHeight(*l);
      if (count_rects(l->inner) < 7 || height < 2 * ctx->lineHeight) continue;
      layout::sortRingStable(l->inner, layout::RingKey::Left);
      std::vector<rect_record*> pieces = ringRecords(l->inner);
      const int lead = height * 70 / 100;
      std::size_t leadCount = 0;
      if (rectHeight(*pieces[1]) >= lead)
        leadCount = 2;
      else if (rectHeight(*pieces[0]) >= lead)
        leadCount = 1;
      else
        continue;
      rect_record* lines = nullptr;
      if (groupRest(*ctx, pieces, leadCount, &lines) != kStatusDone) return kStatusNoMemory;
      bool split = count_rects(lines) >= 2;
      if (split)
        for (const rect_record* n = lines->next; n != lines && split; n = n->next) split = 2 * rectHeight(*n) <= height;
      if (!split) {
        free_rect_list(&lines);
        continue;
      }
      // A short separator right of the lead keeps the rows beside it from
      // joining it again.
      rect_record* sep = append_rect(&ctx->sepList);
      if (sep == nullptr) {
        free_rect_list(&lines);
        return kStatusNoMemory;
      }
      sep->top = l->top;
      sep->bottom = l->bottom;
      for (std::size_t i = leadCount; i < pieces.size(); ++i) drop_rect(pieces[i]);
      recompute_line(l);
      sep->left = static_cast<std::int16_t>(l->right + 1);
      sep->right = static_cast<std::int16_t>(l->right + 2);
      sep->label = 2;
      const short moved = move_rect_list(&lines, &b->outer);
      free_rect_list(&lines);
      if (moved != kStatusDone) return kStatusNoMemory;
    }
  }
  return kStatusDone;
}

namespace {

constexpr std::size_t kMostCuts = 100;

// The rows (from the line's top) at which a line holding several rows of
// text is cut: one a pitch after the other, each the emptiest row of its
// window.  None when a window holds no row clearly whiter than the line's
// mean, since the line is then not made of rows at all.
std::vector<int> cutRows(const std::vector<long>& profile, int pitch, int lineHeight) {
  std::vector<int> cuts;
  const int n = static_cast<int>(profile.size());
  if (pitch <= 0 || n == 0) return cuts;
  long sum = 0;
  for (const long v : profile) sum += v;
  const int half = pitch * 40 / 100;
  for (int row = pitch; cuts.size() < kMostCuts;) {
    if (n - 1 - row < lineHeight * 8 / 10 || row + half > n) break;
    int best = row - half;
    for (int r = row - half; r < row + half; ++r)
      if (profile[static_cast<std::size_t>(r)] <= profile[static_cast<std::size_t>(best)]) best = r;
    if (profile[static_cast<std::size_t>(best)] * 100 * n > sum * 35) return {};
    cuts.push_back(best);
    row = best + pitch;
  }
  return cuts;
}

// Copies the pieces of a line into `g` (large ones cut at the cut rows) and
// `smalls`; -111 when a record cannot be had.
short copyCutPieces(const layctx& ctx, const rect_record& line, const std::vector<int>& cuts, layctx* g,
                    rect_record** smalls) {
  const int small = layout::parameterTables().layout(5);
  const int tall = ctx.lineHeight * 13 / 10;
  const int margin = layout::mmToPixels(1, ctx.page.dpi);
  for (const rect_record* c = line.inner->next; c != line.inner; c = c->next) {
    const bool isSmall = rectWidth(*c) <= small && rectHeight(*c) <= small;
    Box piece{c->left, c->top, c->right, c->bottom};
    auto emit = [&](const Box& b) {
      rect_record* r = append_rect(isSmall ? smalls : &g->textList);
      if (r == nullptr) return false;
      r->left = static_cast<std::int16_t>(b.left);
      r->top = static_cast<std::int16_t>(b.top);
      r->right = static_cast<std::int16_t>(b.right);
      r->bottom = static_cast<std::int16_t>(b.bottom);
      r->extra = c->extra;
      return true;
    };
    if (!isSmall && rectHeight(*c) > tall) {
      for (const int cut : cuts) {
        const int y = line.top + cut;
        if (y - piece.top < margin || piece.bottom - y < margin) continue;
        if (!emit(Box{piece.left, piece.top, piece.right, y})) return kStatusNoMemory;
        piece.top = y + 1;
      }
    }
    if (!emit(piece)) return kStatusNoMemory;
  }
  return kStatusDone;
}

// Small pieces go with the line they touch, widened by half a pitch and a
// fifth of the line gap; the others are specks and go.
short attachSmallPieces(const layctx& ctx, rect_record* lines, rect_record* smalls) {
  if (smalls == nullptr) return kStatusDone;
  const int attach = layout::parameterTables().layout(31);
  const int dx = (ctx.gapX + ctx.charWidth) / 2;
  const int dy = ctx.lineGapH * 20 / 100;
  for (rect_record* s = smalls->next; s != smalls; s = s->next) {
    if (rectWidth(*s) + rectHeight(*s) < attach) continue;
    rect_record* candidates[layout::kMaxPieceCandidates];
    int n = 0;
    for (rect_record* l = lines->next; l != lines && n < layout::kMaxPieceCandidates; l = l->next)
      if (intersects(Box{l->left - dx, l->top - dy, l->right + dx, l->bottom + dy}, *s)) candidates[n++] = l;
    if (n == 0) continue;
    rect_record* line = n == 1 ? candidates[0] : choose_line_for_piece(&ctx, s, candidates, n);
    const Box piece{s->left, s->top, s->right, s->bottom};
    rect_record* before = s->prev;
    if (layout::adoptChildren(line, s) != kStatusDone) return kStatusNoMemory;
    layout::uniteInto(*line, piece);
    s = before;
  }
  return kStatusDone;
}

// The new lines of one tall line, or null when it stays whole.
short splitTallLine(const layctx& ctx, rect_record* line, rect_record** lines) {
  const int height = rectHeight(*line);
  std::vector<long> profile(static_cast<std::size_t>(height), 0);
  for (const rect_record* c = line->inner->next; c != line->inner; c = c->next)
    for (int y = std::max<int>(c->top, line->top); y <= std::min<int>(c->bottom, line->bottom); ++y)
      profile[static_cast<std::size_t>(y - line->top)] += rectWidth(*c);
  const std::vector<int> cuts = cutRows(profile, ctx.lineGapH + ctx.lineHeight, ctx.lineHeight);
  if (cuts.empty()) return kStatusDone;
  layctx g = groupingContext(ctx);
  rect_record* smalls = nullptr;
  const auto fail = [&] {
    free_rect_list(&g.textList);
    free_rect_list(&smalls);
    return kStatusNoMemory;
  };
  if (copyCutPieces(ctx, *line, cuts, &g, &smalls) != kStatusDone) return fail();
  const int joinDistance = 2 * (ctx.charWidth + ctx.gapX) * 90 / 100;
  if (g.textList != nullptr && build_lines(&g, joinDistance) != kStatusDone) return fail();
  if (count_rects(g.textList) < 2) {
    free_rect_list(&g.textList);
    free_rect_list(&smalls);
    return kStatusDone;
  }
  if (attachSmallPieces(ctx, g.textList, smalls) != kStatusDone) return fail();
  free_rect_list(&smalls);
  *lines = g.textList;
  return kStatusDone;
}

}  // namespace

short split_tall_lines(layctx* ctx) {
  rect_record* blocks = ctx->textList;
  if (blocks == nullptr) return kStatusDone;
  for (rect_record* b = blocks->next; b != blocks; b = b->next) {
    for (rect_record* l : ringRecords(b->outer)) {
      if (count_rects(l->inner) < 7 || rectHeight(*l) < 2 * ctx->lineHeight) continue;
      layout::sortRingStable(l->inner, layout::RingKey::Left);
      rect_record* lines = nullptr;
      if (splitTallLine(*ctx, l, &lines) != kStatusDone) return kStatusNoMemory;
      if (lines == nullptr) continue;
      if (move_rect_list(&lines, &b->outer) != kStatusDone) {
        free_rect_list(&lines);
        return kStatusNoMemory;
      }
      drop_rect(l);
    }
    // Dust left in a line, a twentieth of its height or less each way.
    if (b->outer == nullptr) continue;
    for (rect_record* l = b->outer->next; l != b->outer; l = l->next) {
      if (l->inner == nullptr) continue;
      const int h = rectHeight(*l);
      for (rect_record* c = l->inner->next; c != l->inner; c = c->next)
        if (rectWidth(*c) * 20 <= h && rectHeight(*c) * 20 <= h) c = drop_rect(c);
    }
  }
  recompute_blocks(blocks);
  return join_thin_lines(ctx);
}

short join_thin_lines(layctx* ctx) {
  rect_record* blocks = ctx->textList;
  if (blocks == nullptr) return kStatusDone;
  const int mm = layout::mmToPixels(1, ctx->page.dpi);
  for (rect_record* b = blocks->next; b != blocks; b = b->next) {
    rect_record* lines = b->outer;
    if (lines == nullptr) continue;
    layout::sortRingStable(lines);
    for (rect_record* a = lines->next; a != lines && a->next != lines; a = a->next) {
      rect_record* next = a->next;
      if (rectHeight(*a) > mm || rectWidth(*a) < mm || rectHeight(*next) <= 2 * rectHeight(*a)) continue;
      const int joint = std::max(a->bottom, next->bottom) - std::min(a->top, next->top) + 1;
      if (2 * joint >= 3 * rectHeight(*next)) continue;
      const Box piece{a->left, a->top, a->right, a->bottom};
      rect_record* before = a->prev;
      const bool moves = a->inner == nullptr;
      if (layout::adoptChildren(next, a) != kStatusDone) return kStatusNoMemory;
      layout::uniteInto(*next, piece);
      if (!moves) drop_rect(a);
      a = before;
    }
  }
  return kStatusDone;
}
