#include "layout/field_gaps.h"

#include "layout/layout_status.h"
#include "layout/rect_rings.h"

#include <algorithm>
#include <vector>

namespace layout {

namespace {

std::int16_t s16(int v) { return static_cast<std::int16_t>(v); }

bool wideShaped(const rect_record& s) { return s.right - s.left > s.bottom - s.top; }
bool tallShaped(const rect_record& s) { return s.bottom - s.top > s.right - s.left; }

}  // namespace

short fieldGaps(const userfld* fields, const Rect16& area, GapAxis axis, rect_record** gaps) {
  const bool columns = axis == GapAxis::Columns;
  const int from = columns ? area.left : area.top;
  const int to = columns ? area.right : area.bottom;
  if (to < from) return kStatusDone;
  std::vector<char> covered(static_cast<std::size_t>(to - from + 1), 0);
  if (fields != nullptr) {
    for (const userfld* f = fields->next; f != fields; f = f->next) {
      const int lo = std::max<int>(columns ? f->left : f->top, from);
      const int hi = std::min<int>(columns ? f->right : f->bottom, to);
      for (int i = lo; i <= hi; ++i) covered[static_cast<std::size_t>(i - from)] = 1;
    }
  }
  const int n = static_cast<int>(covered.size());
  for (int i = 0; i < n;) {
    if (covered[static_cast<std::size_t>(i)] != 0) {
      ++i;
      continue;
    }
    int j = i;
    while (j + 1 < n && covered[static_cast<std::size_t>(j + 1)] == 0) ++j;
    rect_record* g = append_rect(gaps);
    if (g == nullptr) return kStatusNoMemory;
    if (columns) {
      g->left = s16(from + i);
      g->right = s16(from + j);
      g->top = area.top;
      g->bottom = area.bottom;
    } else {
      g->top = s16(from + i);
      g->bottom = s16(from + j);
      g->left = area.left;
      g->right = area.right;
    }
    i = j + 1;
  }
  return kStatusDone;
}

bool gapSpanned(const rect_record& gap, GapAxis axis, const rect_record& s) {
  if (axis == GapAxis::Columns) {
    const int fifth = rectHeight(gap) / 5;
    return wideShaped(s) && s.top >= gap.top + fifth && s.bottom <= gap.bottom - fifth && s.left <= gap.left &&
           s.right >= gap.right;
  }
  const int fifth = rectWidth(gap) / 5;
  return tallShaped(s) && s.left >= gap.left + fifth && s.right <= gap.right - fifth && s.top <= gap.top &&
         s.bottom >= gap.bottom;
}

short addGapLines(const userfld* fields, layctx* ctx, const Rect16& area, GapAxis axis, int limit,
                  const std::function<bool(const rect_record& gap)>& crossed) {
  rect_record* gaps = nullptr;
  short status = fieldGaps(fields, area, axis, &gaps);
  if (status == kStatusDone && gaps != nullptr) {
    for (const rect_record* g = gaps->next; g != gaps && status == kStatusDone; g = g->next) {
      const int size = axis == GapAxis::Columns ? rectWidth(*g) : rectHeight(*g);
      if (size <= limit || (crossed && crossed(*g))) continue;
      rect_record* s = append_rect(&ctx->sepList);
      if (s == nullptr) {
        status = kStatusNoMemory;
        break;
      }
      if (axis == GapAxis::Columns) {
        const int middle = (g->left + g->right) / 2;
        s->left = s->right = s16(middle);
        s->top = g->top;
        s->bottom = g->bottom;
      } else {
        const int middle = (g->top + g->bottom) / 2;
        s->top = s->bottom = s16(middle);
        s->left = g->left;
        s->right = g->right;
      }
      s->label = kKindGapLine;
      s->extra = 0;
    }
  }
  free_rect_list(&gaps);
  return status;
}

Coverage separatorCoverage(const Box& box, const rect_record* separators) {
  Coverage c;
  if (separators == nullptr) return c;
  const int width = box.right - box.left + 1;
  const int height = box.bottom - box.top + 1;
  for (const rect_record* s = separators->next; s != separators; s = s->next) {
    if (!intersects(*s, box)) continue;
    if (s->label == kKindGapLine) return wideShaped(*s) ? Coverage{100, 0} : Coverage{0, 100};
    if (wideShaped(*s) && width > 0) {
      const int share = (std::min<int>(s->right, box.right) - std::max<int>(s->left, box.left) + 1) * 100 / width;
      c.h = std::max(c.h, share);
    } else if (tallShaped(*s) && height > 0) {
      const int share = (std::min<int>(s->bottom, box.bottom) - std::max<int>(s->top, box.top) + 1) * 100 / height;
      c.v = std::max(c.v, share);
    }
  }
  if (c.h < 10) c.h = 0;
  if (c.v < 10) c.v = 0;
  return c;
}

}  // namespace layout
