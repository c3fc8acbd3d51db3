// Components and the text/figure judgement; see pixel_groups.h.
#include "layout/pixel_groups.h"

#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"

#include <algorithm>
#include <vector>

namespace layout {

int collect_row_runs(const std::uint8_t* row, int left, int right, PixelRun* out) {
  int n = 0;
  int open = -1;  // start of the run in progress
  const int firstByte = left >> 3;
  const int lastByte = right >> 3;
  for (int bi = firstByte; bi <= lastByte; ++bi) {
    unsigned b = row[bi];
    const int x0 = bi << 3;
    int from = 0;
    int to = 7;
    if (bi == firstByte) from = left & 7;
    if (bi == lastByte) to = right & 7;
    if (from == 0 && to == 7) {
      if (b == 0x00) {
        if (open >= 0) {
          out[n++] = {static_cast<std::int16_t>(open), static_cast<std::int16_t>(x0 - 1), nullptr};
          open = -1;
        }
        continue;
      }
      if (b == 0xFF) {
        if (open < 0) open = x0;
        continue;
      }
    }
    for (int bit = from; bit <= to; ++bit) {
      const bool black = (b & (0x80u >> bit)) != 0;
      if (black) {
        if (open < 0) open = x0 + bit;
      } else if (open >= 0) {
        out[n++] = {static_cast<std::int16_t>(open), static_cast<std::int16_t>(x0 + bit - 1), nullptr};
        open = -1;
      }
    }
  }
  if (open >= 0) out[n++] = {static_cast<std::int16_t>(open), static_cast<std::int16_t>(right), nullptr};
  return n;
}

namespace {

class Grouper {
 public:
  Grouper(rect_record** target, int reduction, int minimumSize)
      : target_(target), reduction_(reduction), minimumSize_(minimumSize), pool_(kRegionGroupPool) {}

  bool start() {
    groups_ = ringMake(pool_);
    return groups_ != nullptr;
  }

  region_group* newGroup(PixelRun& run, int y) {
    region_group* g = pool_.take();
    if (g == nullptr) return nullptr;
    g->left = run.start;
    g->right = run.end;
    g->top = g->bottom = static_cast<std::int16_t>(y);
    g->open = 0;
    ringLinkTail(groups_, g);
    run.group = g;
    return g;
  }

  void markAllOpen() {
    for (region_group* g = groups_->next; g != groups_; g = g->next) g->open = 1;
  }

  // Finishes every group still marked; false when a rectangle could not be had.
  bool finishOpen() {
    for (region_group* g = groups_->next; g != groups_;) {
      region_group* next = g->next;
      if (g->open) {
        if (!emit(*g)) return false;
        ringUnlink(g);
        pool_.give(g);
      }
      g = next;
    }
    return true;
  }

  void merge(region_group* into, region_group* from, int y) {
    into->left = std::min(into->left, from->left);
    into->right = std::max(into->right, from->right);
    into->top = std::min(into->top, from->top);
    into->bottom = static_cast<std::int16_t>(y);
    into->open = 0;
    ringUnlink(from);
    pool_.give(from);
  }

 private:
  bool emit(const region_group& g) {
    if ((g.right - g.left) + (g.bottom - g.top) + 2 < minimumSize_) return true;
    rect_record* r = append_rect(target_);
    if (r == nullptr) return false;
    r->left = static_cast<std::int16_t>(g.left * reduction_);
    r->top = static_cast<std::int16_t>(g.top * reduction_);
    r->right = static_cast<std::int16_t>(g.right * reduction_);
    r->bottom = static_cast<std::int16_t>(g.bottom * reduction_);
    return true;
  }

  rect_record** target_;
  int reduction_;
  int minimumSize_;
  RecordPool<region_group> pool_;
  region_group* groups_ = nullptr;
};

// Merges the runs of row y into the groups (8-connectivity).
bool mergeRow(Grouper& grouper, PixelRun* cur, int nCur, PixelRun* prev, int nPrev, int y) {
  grouper.markAllOpen();
  if (nCur == 0) return true;
  if (nPrev == 0) {
    for (int i = 0; i < nCur; ++i) {
      if (grouper.newGroup(cur[i], y) == nullptr) return false;
    }
    return true;
  }
  int i = 0;
  int j = 0;
  while (i < nCur && j < nPrev) {
    PixelRun& c = cur[i];
    PixelRun& p = prev[j];
    if (p.end + 1 < c.start) {  // the previous run lies wholly left
      if (j == nPrev - 1) {
        if (c.group == nullptr && grouper.newGroup(c, y) == nullptr) return false;
        ++i;
      } else {
        ++j;
      }
      continue;
    }
    if (p.start - 1 > c.end) {  // the previous run lies wholly right
      if (c.group == nullptr && grouper.newGroup(c, y) == nullptr) return false;
      ++i;
      continue;
    }
    region_group* g = p.group;
    if (c.group == nullptr || c.group == g) {
      g->left = std::min(g->left, c.start);
      g->right = std::max(g->right, c.end);
      g->bottom = static_cast<std::int16_t>(y);
      g->open = 0;
      c.group = g;
    } else {
      region_group* h = c.group;
      for (int k = 0; k < nPrev; ++k)
        if (prev[k].group == g) prev[k].group = h;
      for (int k = 0; k < nCur; ++k)
        if (cur[k].group == g) cur[k].group = h;
      grouper.merge(h, g, y);
    }
    if (p.end > c.end) {
      if (i == nCur - 1) ++j; else ++i;
    } else {
      if (j == nPrev - 1) ++i; else ++j;
    }
  }
  for (; i < nCur; ++i) {
    if (cur[i].group == nullptr && grouper.newGroup(cur[i], y) == nullptr) return false;
  }
  return true;
}

}  // namespace
}  // namespace layout

using layout::PixelRun;

short group_pixels(rect_record** head, const ImageDesc* image, const Rect16* rect, int reduction,
                   int minimumSize) {
  if (reduction <= 0) reduction = 1;
  int left = rect->left / reduction;
  int top = rect->top / reduction;
  int right = rect->right / reduction;
  int bottom = rect->bottom / reduction;
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, image->bytesPerRow * 8 - 1);
  bottom = std::min(bottom, image->height - 1);
  if (left >= right || top >= bottom || image->bits == nullptr) return layout::kStatusDone;

  const std::size_t runCapacity = static_cast<std::size_t>(image->bytesPerRow) * 8 / 2 + 4;
  std::vector<PixelRun> bufA;
  std::vector<PixelRun> bufB;
  layout::Grouper grouper(head, reduction, minimumSize / reduction);
  try {
    bufA.resize(runCapacity);
    bufB.resize(runCapacity);
  } catch (const std::bad_alloc&) {
    return layout::kStatusNoMemory;
  }
  auto fail = [&] {
    free_rect_list(head);
    return layout::kStatusNoMemory;
  };
  if (!grouper.start()) return fail();

  PixelRun* cur = bufA.data();
  PixelRun* prev = bufB.data();
  int nPrev = 0;
  for (int y = top; y <= bottom; ++y) {
    const std::uint8_t* row = image->bits + static_cast<std::size_t>(y) * image->bytesPerRow;
    const int nCur = layout::collect_row_runs(row, left, right, cur);
    if (!layout::mergeRow(grouper, cur, nCur, prev, nPrev, y)) return fail();
    if (!grouper.finishOpen()) return fail();
    std::swap(cur, prev);
    nPrev = nCur;
  }
  grouper.markAllOpen();
  if (!grouper.finishOpen()) return fail();
  return layout::kStatusDone;
}

void drop_excluded_groups(const userfld* children, rect_record* ring) {
  if (children == nullptr || ring == nullptr) return;
  for (const userfld* c = children->next; c != children; c = c->next) {
    for (rect_record* r = ring->next; r != ring; r = r->next) {
      if (r->left >= c->left && r->top >= c->top && r->right <= c->right && r->bottom <= c->bottom) {
        r = drop_rect(r);
      }
    }
  }
}

short classify_region(short* kind, const ImageDesc* image, const Rect16* rect) {
  int left = rect->left;
  int top = rect->top;
  int right = rect->right;
  int bottom = rect->bottom;
  const int limit = image->dpi * 20 * 4 / 100;  // 20 mm
  const int width = right - left + 1;
  const int height = bottom - top + 1;
  if (width > limit) {
    left += width / 10;
    right -= width / 10;
  }
  if (height > limit) {
    top += height / 10;
    bottom -= height / 10;
  }
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, image->bytesPerRow * 8 - 1);
  bottom = std::min(bottom, image->height - 1);

  double periods = 0;
  double inverseSum = 0;
  double squareSum = 0;
  double longRunSum = 0;
  auto period = [&](double p) {
    periods += 1;
    inverseSum += 1.0 / (p * p);
    squareSum += p * p;
  };
  if (left <= right && top <= bottom && image->bits != nullptr) {
    std::vector<PixelRun> runs(static_cast<std::size_t>(right - left + 1) / 2 + 4);
    for (int y = top; y <= bottom; ++y) {
      const std::uint8_t* row = image->bits + static_cast<std::size_t>(y) * image->bytesPerRow;
      const int n = layout::collect_row_runs(row, left, right, runs.data());
      for (int k = 1; k < n; ++k) {
        const PixelRun& before = runs[static_cast<std::size_t>(k - 1)];
        const int length = before.end - before.start + 1;
        if (length > 30) longRunSum += length;
        period(length + (runs[static_cast<std::size_t>(k)].start - before.end + 1));
      }
      if (n > 0) {
        const PixelRun& last = runs[static_cast<std::size_t>(n - 1)];
        period(right - last.start + 1);
        const int length = last.end - last.start + 1;
        if (length > 30) longRunSum += length;
      }
    }
  }
  const double area = std::max(1, (right - left + 1)) * static_cast<double>(std::max(1, bottom - top + 1));
  const double a = periods > 0 ? inverseSum / periods * 1000.0 : 0.0;
  const double b = periods > 0 ? squareSum / periods / 3000.0 : 0.0;
  const double c = longRunSum * 100.0 / area;

  short result;
  if (a < 1 && c < 40) result = layout::kKindText;
  else if (a >= 1 && a < 6.5 && b < 35 && c < 20) result = layout::kKindText;
  else if (a >= 6.5 && a < 15 && b < 35 && c < 10) result = layout::kKindText;
  else if (a >= 1 && a < 15 && b >= 35 && c < 15) result = layout::kKindText;
  else if (a < 15) result = layout::kKindFigure;
  else if (b >= 5) result = layout::kKindFigure;
  else if (c >= 10) result = layout::kKindFigure;
  else result = layout::kKindText;
  *kind = result;
  return layout::kStatusDone;
}

short keep_figure_blocks(rect_record* ring, const ImageDesc* image) {
  if (ring == nullptr) return layout::kStatusDone;
  const int dpi = image->dpi;
  const int big = dpi * 60 * 4 / 100;
  const int wide = dpi * 10 * 4 / 100;
  const int tall = dpi * 15 * 4 / 100;
  const int least = dpi * 5 * 4 / 100;
  auto w = [](const rect_record* r) { return r->right - r->left + 1; };
  auto h = [](const rect_record* r) { return r->bottom - r->top + 1; };

  for (rect_record* r = ring->next; r != ring; r = r->next) {
    if (w(r) > big && h(r) > big) {
      r = drop_rect(r);
    } else if (w(r) > wide && h(r) > tall) {
      r->label = layout::kKindFigure;
    }
  }
  for (rect_record* f = ring->next; f != ring; f = f->next) {
    if (f->label != layout::kKindFigure || w(f) > big || h(f) > big) continue;
    for (rect_record* r = ring->next; r != ring; r = r->next) {
      if (r->top > f->bottom) break;
      if (r == f || h(r) < least || w(r) > big || h(r) > big) continue;
      if (r->left <= f->right && r->right >= f->left && r->top <= f->bottom && r->bottom >= f->top) {
        f->left = std::min(f->left, r->left);
        f->top = std::min(f->top, r->top);
        f->right = std::max(f->right, r->right);
        f->bottom = std::max(f->bottom, r->bottom);
        drop_rect(r);
        r = ring;  // start again from the ring's start
      }
    }
  }
  for (rect_record* r = ring->next; r != ring; r = r->next) {
    if (r->label != layout::kKindFigure) r = drop_rect(r);
  }
  return layout::kStatusDone;
}
