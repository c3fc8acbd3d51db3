// Lines of a horizontal block that are really several lines; see
// line_splitting.h.
#include "layout/line_splitting.h"

#include "layout/layout_status.h"
#include "layout/line_steps.h"
#include "layout/parameter_tables.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"
#include "layout/step_support.h"

#include <vector>

using layout::kStatusDone;
using layout::kStatusNoMemory;
using layout::rectHeight;

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
