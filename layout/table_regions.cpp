// Table regions; see table_regions.h.
#include "layout/table_regions.h"

#include "layout/component_steps.h"
#include "layout/layout_status.h"
#include "layout/pixel_groups.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"
#include "layout/step_support.h"

#include <algorithm>

using layout::Box;
using layout::intersects;
using layout::kStatusDone;
using layout::kStatusNoMemory;
using layout::liesInside;
using layout::mmToPixels;
using layout::rectHeight;
using layout::rectWidth;

namespace layout {

double tableScore(const std::array<short, 8>& f) {
  const double f1 = f[0], f2 = f[1], f3 = f[2], f4 = f[3], f5 = f[4], f6 = f[5], f7 = f[6], f8 = f[7];
  const double d1 = -2.71619 - 0.03476 * f1 - 0.03042 * f2 + 0.05965 * f3 + 0.16495 * f4 - 0.42505 * f5 -
                    0.16444 * f6 + 0.20182 * f7 + 0.45974 * f8;
  const double d2 = -3.52582 + 0.24107 * f1 - 0.09946 * f2 + 0.08448 * f3 + 0.14512 * f4 - 0.09941 * f5 +
                    0.55307 * f6 + 0.01108 * f7 + 0.30092 * f8;
  double score = d2 - d1;
  if (f[7] >= 3) score = 1.0;
  if (f[0] + f[4] < 2) score = -1.0;
  return score;
}

short frameStyle(const std::array<short, 8>& f) {
  const double rh = f[0] == 0 ? 1000.0 : static_cast<double>(f[3]) / (f[0] + 1);
  const double rv = f[4] == 0 ? 1000.0 : static_cast<double>(f[7]) / (f[4] + 1);
  const bool rows = rh < 1.6;
  const bool columns = rv < 1.6;
  if (rows && columns) return 1;
  if (rows) return 2;
  if (columns) return 3;
  return 4;
}

}  // namespace layout

namespace {

long plainArea(const rect_record& r) { return static_cast<long>(r.right - r.left) * (r.bottom - r.top); }

bool overlapsStrictly(const rect_record& a, const rect_record& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

template <typename R>
bool overlapsStrictly(const rect_record& a, const R& q) {
  return a.left < q.right && q.left < a.right && a.top < q.bottom && q.top < a.bottom;
}

void dropInside(rect_record* head, const rect_record& box) {
  if (head == nullptr) return;
  for (rect_record* r = head->next; r != head; r = r->next) {
    if (liesInside(*r, box)) r = drop_rect(r);
  }
}

// One axis of the white-band measures: rows (profile of widths) or columns
// (profile of heights).
enum class Axis { Rows, Columns };

short findWhiteBands(rect_record** bands, const rect_record* lines, const Rect16& q, Axis axis) {
  if (layout::ringEmpty(lines)) return kStatusDone;
  const bool rows = axis == Axis::Rows;
  const int first = rows ? q.top : q.left;
  const int last = rows ? q.bottom : q.right;
  const int length = last - first + 1;
  if (length <= 0) return kStatusDone;
  const long across = rows ? rectWidth(q) : rectHeight(q);
  const long whiteLimit = across * 7 / 100;
  layout::WorkBuffer<long> profile(static_cast<std::size_t>(length) + 1);
  if (!profile) return kStatusNoMemory;
  std::fill(profile.data(), profile.data() + length + 1, 0L);
  for (const rect_record* l = lines->next; l != lines; l = l->next) {
    if (!overlapsStrictly(*l, q)) continue;
    const int from = std::max<int>(rows ? l->top : l->left, first);
    const int to = std::min<int>(rows ? l->bottom : l->right, last);
    const long weight = rows ? rectWidth(*l) : rectHeight(*l);
    profile[static_cast<std::size_t>(from - first)] += weight;
    profile[static_cast<std::size_t>(to - first + 1)] -= weight;
  }
  long sum = 0;
  int runStart = -1;
  for (int i = 0; i <= length; ++i) {
    bool white = false;
    if (i < length) {
      sum += profile[static_cast<std::size_t>(i)];
      white = sum <= whiteLimit;
    }
    if (white && runStart < 0) runStart = i;
    if (!white && runStart >= 0) {
      rect_record* band = append_rect(bands);
      if (band == nullptr) return kStatusNoMemory;
      if (rows) {
        band->left = q.left;
        band->right = q.right;
        band->top = static_cast<std::int16_t>(first + runStart);
        band->bottom = static_cast<std::int16_t>(first + i - 1);
      } else {
        band->top = q.top;
        band->bottom = q.bottom;
        band->left = static_cast<std::int16_t>(first + runStart);
        band->right = static_cast<std::int16_t>(first + i - 1);
      }
      runStart = -1;
    }
  }
  return kStatusDone;
}

short countRuleGroups(const Rect16& q, layctx* ctx, Axis axis) {
  rect_record* seps = ctx->sepList;
  if (seps == nullptr) return 0;
  const bool rows = axis == Axis::Rows;  // rows: horizontal rules
  const int g = mmToPixels(2, ctx->page.dpi);
  for (rect_record* s = seps->next; s != seps; s = s->next) s->extra = 0;
  auto along = [rows](const rect_record& s) { return rows ? s.right - s.left >= s.bottom - s.top : s.right - s.left <= s.bottom - s.top; };
  // The separator's part within Q along the rule, and whether it overlaps Q
  // strictly along the rule.
  auto crossesQ = [&](const rect_record& s) {
    return rows ? (s.left < q.right && q.left < s.right) : (s.top < q.bottom && q.top < s.bottom);
  };
  auto part = [&](const rect_record& s) {
    return rows ? std::min(s.right, q.right) - std::max(s.left, q.left) + 1
                : std::min(s.bottom, q.bottom) - std::max(s.top, q.top) + 1;
  };
  const long full = rows ? rectWidth(q) : rectHeight(q);
  short groups = 0;
  for (rect_record* s = seps->next; s != seps; s = s->next) {
    if (s->extra != 0 || !along(*s) || !crossesQ(*s)) continue;
    const bool within = rows ? (q.top < s->top && s->bottom < q.bottom) : (q.left < s->left && s->right < q.right);
    if (!within) continue;
    s->extra = 1;
    long length = part(*s);
    for (rect_record* t = seps->next; t != seps; t = t->next) {
      if (t->extra != 0 || !along(*t) || !crossesQ(*t)) continue;
      const bool partner = rows ? (s->top - g < t->top && t->bottom < s->bottom + g)
                                : (s->left - g < t->left && t->right < s->right + g);
      if (!partner) continue;
      t->extra = 1;
      length += part(*t);
    }
    if (length > full * 80 / 100) ++groups;
  }
  return groups;
}

// Bands no thicker than `least` go; returns how many are left.
int dropThinBands(rect_record* bands, int least, Axis axis) {
  if (bands == nullptr) return 0;
  int n = 0;
  for (rect_record* b = bands->next; b != bands; b = b->next) {
    const int thickness = axis == Axis::Rows ? rectHeight(*b) : rectWidth(*b);
    if (thickness < least) {
      b = drop_rect(b);
    } else {
      ++n;
    }
  }
  return n;
}

// Bands along which the separators of the band's direction add up to more
// than 80 % of Q's length.
int ruledBands(const rect_record* bands, const rect_record* seps, const Rect16& q, Axis axis) {
  if (bands == nullptr || seps == nullptr) return 0;
  const bool rows = axis == Axis::Rows;
  const long full = rows ? rectWidth(q) : rectHeight(q);
  int n = 0;
  for (const rect_record* b = bands->next; b != bands; b = b->next) {
    long sum = 0;
    for (const rect_record* s = seps->next; s != seps; s = s->next) {
      const bool direction = rows ? s->right - s->left > s->bottom - s->top : s->bottom - s->top > s->right - s->left;
      if (!direction || !overlapsStrictly(*s, *b)) continue;
      sum += rows ? std::min(s->right, b->right) - std::max(s->left, b->left) + 1
                  : std::min(s->bottom, b->bottom) - std::max(s->top, b->top) + 1;
    }
    if (sum > full * 80 / 100) ++n;
  }
  return n;
}

short measureAxis(short* rules, short* wide, short* ruled, short* narrow, const Rect16& q, layctx* ctx, Axis axis) {
  const bool rows = axis == Axis::Rows;
  *rules = countRuleGroups(q, ctx, axis);
  rect_record* bands = nullptr;
  const short status = findWhiteBands(&bands, ctx->textList, q, axis);
  if (status != kStatusDone) {
    free_rect_list(&bands);
    return status;
  }
  const int unit = rows ? ctx->charHeight : ctx->charWidth;
  *narrow = static_cast<short>(1 + dropThinBands(bands, unit * (rows ? 10 : 35) / 100, axis));
  *wide = static_cast<short>(dropThinBands(bands, unit * (rows ? 120 : 130) / 100, axis));
  *ruled = static_cast<short>(ruledBands(bands, ctx->sepList, q, axis));
  free_rect_list(&bands);
  return kStatusDone;
}

}  // namespace

short find_white_row_bands(rect_record** bands, const rect_record* lines, const Rect16* q) {
  return findWhiteBands(bands, lines, *q, Axis::Rows);
}

short count_hrule_groups(const Rect16* q, layctx* ctx) { return countRuleGroups(*q, ctx, Axis::Rows); }
short count_vrule_groups(const Rect16* q, layctx* ctx) { return countRuleGroups(*q, ctx, Axis::Columns); }

short measure_row_features(short* f1, short* f2, short* f3, short* f4, const Rect16* q, layctx* ctx) {
  return measureAxis(f1, f2, f3, f4, *q, ctx, Axis::Rows);
}

short measure_column_features(short* f5, short* f6, short* f7, short* f8, const Rect16* q, layctx* ctx) {
  return measureAxis(f5, f6, f7, f8, *q, ctx, Axis::Columns);
}

short classify_table(short* cls, short* style, const Rect16* rect, layctx* ctx) {
  Rect16 c = *rect;
  c.left = std::max<std::int16_t>(c.left, 0);
  c.top = std::max<std::int16_t>(c.top, 0);
  c.right = static_cast<std::int16_t>(std::min<int>(c.right, ctx->page.widthPixels() - 1));
  c.bottom = static_cast<std::int16_t>(std::min<int>(c.bottom, ctx->page.height - 1));
  const int w = rectWidth(c);
  const int h = rectHeight(c);
  const Rect16 q{static_cast<std::int16_t>(c.left + w * 10 / 100), static_cast<std::int16_t>(c.top + h * 10 / 100),
                 static_cast<std::int16_t>(c.right - w * 10 / 100), static_cast<std::int16_t>(c.bottom - h * 10 / 100)};
  std::array<short, 8> f{};
  short status = measure_row_features(&f[0], &f[1], &f[2], &f[3], &q, ctx);
  if (status != kStatusDone) return status;
  status = measure_column_features(&f[4], &f[5], &f[6], &f[7], &q, ctx);
  if (status != kStatusDone) return status;
  if (layout::tableScore(f) >= 0) {
    *cls = layout::kTableClass;
    *style = layout::frameStyle(f);
  } else {
    *cls = layout::kNotTableClass;
  }
  return kStatusDone;
}

short classify_region_kind(rect_record* region, layctx* ctx, short* kind) {
  short answer = 0;
  const Rect16 rect = layout::rectOf(*region);
  if (layout::stepServices().classifyRegion(&answer, &ctx->page, &rect) == kStatusNoMemory) return kStatusNoMemory;
  if (answer != layout::kKindText) {
    *kind = layout::kRegionNonText;
    return kStatusDone;
  }
  short cls = 0;
  short style = 0;
  if (classify_table(&cls, &style, &rect, ctx) == kStatusNoMemory) return kStatusNoMemory;
  if (cls == layout::kTableClass) {
    region->extra = style;
    *kind = layout::kRegionTable;
  } else {
    *kind = layout::kRegionTextLike;
  }
  return kStatusDone;
}

namespace {

// Each region comes before every larger region that overlaps it strictly.
void orderRegions(rect_record* regions) {
  const long n = count_rects(regions);
  long moves = 0;
  const long movesBound = n * n + n;  // the reordering is finite; the bound keeps it so
  for (rect_record* a = regions->next; a != regions; a = a->next) {
    for (rect_record* b = regions->next; b != a && b != regions;) {
      rect_record* next = b->next;
      if (overlapsStrictly(*a, *b) && plainArea(*b) > plainArea(*a) && moves < movesBound) {
        layout::ringUnlink(b);
        layout::ringLinkTail(regions, b);
        ++moves;
      }
      b = next;
    }
  }
}

// A non-text region keeps the separators inside it out of the lists, unless
// it is nearly the whole page, in which case it goes itself.  Returns the
// record to go on from.
rect_record* keepNonText(rect_record* r, layctx* ctx, int w80, int h80) {
  r->label = layout::kKindRegion;
  if (rectWidth(*r) <= w80 && rectHeight(*r) <= h80) {
    dropInside(ctx->sepList, *r);
    return r;
  }
  return drop_rect(r);
}

}  // namespace

short find_table_regions(layctx* ctx) {
  rect_record* regions = ctx->largeList;
  if (layout::ringEmpty(regions)) return kStatusDone;
  const int dpi = ctx->page.dpi;
  const int w80 = std::max(ctx->page.widthPixels() * 80 / 100, mmToPixels(40, dpi));
  const int h80 = std::max(ctx->page.height * 80 / 100, mmToPixels(20, dpi));
  const int least = mmToPixels(25, dpi);
  orderRegions(regions);

  for (rect_record* r = regions->next; r != regions; r = r->next) {
    bool meetsKept = false;
    for (rect_record* b = regions->next; b != r && !meetsKept; b = b->next) {
      meetsKept = b->label == layout::kKindRegion && overlapsStrictly(*b, *r);
    }
    const int w = rectWidth(*r);
    const int h = rectHeight(*r);
    if (!meetsKept && w >= least && h >= least && w <= 5 * h && h <= 5 * w) {
      short kind = 0;
      if (classify_region_kind(r, ctx, &kind) == kStatusNoMemory) return kStatusNoMemory;
      if (kind == layout::kRegionNonText) {
        r = keepNonText(r, ctx, w80, h80);
      } else if (kind == layout::kRegionTable) {
        r->label = layout::kKindTableRegion;
        if (ctx->params.signedByte(ParamBlock::kForm) == 0) {
          // The table is analysed again on its own later.
          dropInside(ctx->speckList, *r);
          dropInside(ctx->textList, *r);
          dropInside(ctx->sepList, *r);
        } else {
          r = drop_rect(r);
        }
      } else {
        r = drop_rect(r);
      }
      continue;
    }
    short cls = 0;
    const Rect16 rect = layout::rectOf(*r);
    if (layout::stepServices().classifyRegion(&cls, &ctx->page, &rect) == kStatusNoMemory) return kStatusNoMemory;
    r = cls == layout::kKindText ? drop_rect(r) : keepNonText(r, ctx, w80, h80);
  }

  // Near tables become one; the larger one's frame style wins.
  const int dx = mmToPixels(5, dpi);
  const int dy = mmToPixels(3, dpi);
  for (rect_record* r = regions->next; r != regions; r = r->next) {
    if (r->label != layout::kKindTableRegion) continue;
    for (rect_record* b = regions->next; b != regions; b = b->next) {
      if (b == r || b->label != layout::kKindTableRegion) continue;
      if (r->left - dx > b->right || b->left > r->right + dx || r->top - dy > b->bottom || b->top > r->bottom + dy)
        continue;
      if (plainArea(*b) > plainArea(*r)) r->extra = b->extra;
      layout::uniteInto(*r, *b);
      drop_rect(b);
      b = regions;  // again from the first region
    }
  }
  return kStatusDone;
}

short drop_text_regions(layctx* ctx) {
  rect_record* regions = ctx->largeList;
  rect_record* lines = ctx->textList;
  if (regions == nullptr) return kStatusDone;
  for (rect_record* r = regions->next; r != regions; r = r->next) {
    if (r->label == layout::kKindTableRegion) continue;
    long covered = 0;
    if (lines != nullptr) {
      for (const rect_record* l = lines->next; l != lines; l = l->next) {
        if (intersects(*l, *r)) covered += layout::rectArea(*l);
      }
    }
    if (covered * 100 > layout::rectArea(*r) * 70) r = drop_rect(r);
  }
  return kStatusDone;
}

short frame_regions(layctx* ctx) {
  rect_record* regions = ctx->largeList;
  if (regions == nullptr) return kStatusDone;
  const int e = layout::tenthsToPixels(4, ctx->page.dpi);
  const int thinnest = ctx->charWidth / 3;
  rect_record* lines = ctx->textList;
  for (rect_record* r = regions->next; r != regions; r = r->next) {
    if (rectHeight(*r) < 3 * ctx->charHeight || r->label == 13) continue;
    const Box wide{r->left - e, r->top - e, r->right + e, r->bottom + e};
    bool crossed = false;
    if (lines != nullptr) {
      for (const rect_record* l = lines->next; l != lines && !crossed; l = l->next) {
        crossed = rectWidth(*l) >= thinnest && intersects(*l, wide) && !liesInside(*l, wide);
      }
    }
    if (crossed) continue;
    const std::int16_t edges[4][4] = {{r->left, r->top, r->right, r->top},
                                      {r->left, r->top, r->left, r->bottom},
                                      {r->left, r->bottom, r->right, r->bottom},
                                      {r->right, r->top, r->right, r->bottom}};
    for (const auto& edge : edges) {
      rect_record* s = append_rect(&ctx->sepList);
      if (s == nullptr) return kStatusNoMemory;
      s->left = edge[0];
      s->top = edge[1];
      s->right = edge[2];
      s->bottom = edge[3];
      s->label = layout::kKindFrameSeparator;
    }
  }
  return kStatusDone;
}
