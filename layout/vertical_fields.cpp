#include "layout/vertical_fields.h"

#include "layout/field_rings.h"
#include "layout/layout_status.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"
#include "layout/step_support.h"
#include "layout/vertical_gaps.h"

#include <algorithm>
#include <vector>

using layout::kStatusDone;
using layout::kStatusNoMemory;

namespace {

std::int16_t s16(int v) { return static_cast<std::int16_t>(v); }

Rect16 rectOfField(const userfld& f) { return Rect16{f.left, f.top, f.right, f.bottom}; }

bool tallShaped(const rect_record& s) { return s.bottom - s.top > s.right - s.left; }

bool overlapsAcross(int l1, int r1, int l2, int r2) { return l1 <= r2 && l2 <= r1; }

// Fields narrower than half a character are widened for the area-mode tests,
// so that a lone narrow column still meets its neighbours.
Rect16 widened(const userfld& f, const layctx* ctx) {
  Rect16 r = rectOfField(f);
  const int w = ctx->charWidth * 50 / 100;
  const int width = f.right - f.left + 1;
  if (width < w) {
    const int d = (w - width) / 2;
    r.left = s16(r.left - d / 2);
    r.right = s16(r.right + d / 2);
  }
  return r;
}

// The insertion pass shared by both modes: a column head keeps its place;
// any other field walks back over the earlier ones until one is read before
// it (or is a column head) and goes directly after that one.
template <typename Eligible, typename Compare>
void insertionPass(userfld* head, Eligible eligible, Compare compare) {
  if (head == nullptr || head->next == head) return;
  userfld* a = head->next->next;
  while (a != head) {
    userfld* following = a->next;
    if (eligible(*a) && a->origin != 1) {
      userfld* b = a->prev;
      while (b != head) {
        if (eligible(*b) && (b->origin == 1 || compare(*a, *b) < 0)) break;
        b = b->prev;
      }
      if (b != a->prev) {
        layout::ringUnlink(a);
        layout::ringLinkAfter(b, a);
      }
    }
    a = following;
  }
}

// Copies the separators, marks the open ones and lets `mark` set the heads.
template <typename Mark>
short markHeads(userfld* fields, layctx* ctx, Mark mark) {
  rect_record* copy = nullptr;
  if (copy_rect_list(ctx->sepList, &copy) != kStatusDone) {
    free_rect_list(&copy);
    return kStatusNoMemory;
  }
  const short status = flag_open_rules(copy, fields);
  if (status == kStatusDone) mark(copy);
  free_rect_list(&copy);
  return status;
}

}  // namespace

short vBlocks_to_fields(layctx* ctx, userfld** result) {
  const bool area = ctx->areaMode();
  const int form = ctx->params.byte(ParamBlock::kForm);
  std::int16_t number = 0;

  auto newField = [&](const rect_record& r) -> userfld* {
    userfld* f = append_fld(result);
    if (f == nullptr) return nullptr;
    f->left = r.left;
    f->top = r.top;
    f->right = r.right;
    f->bottom = r.bottom;
    f->number = ++number;
    f->subNumber = -1;
    f->params = ctx->params;
    f->lines = nullptr;
    f->blocks = nullptr;
    f->children = nullptr;
    return f;
  };

  if (ctx->textList != nullptr) {
    for (const rect_record* block = ctx->textList->next; block != ctx->textList; block = block->next) {
      userfld* f = newField(*block);
      if (f == nullptr) return kStatusNoMemory;
      f->measures[0] = ctx->charWidth;
      f->measures[1] = ctx->charHeight;
      f->measures[2] = ctx->gapY;
      f->measures[3] = ctx->columnWidth;
      f->origin = static_cast<std::uint16_t>(block->label);
      if (form == 0) f->params.setByte(ParamBlock::kForm, 1);
      f->params.setByte(ParamBlock::kFieldKind, area ? kFieldKindAreaText : kFieldKindText);
      if (block->outer == nullptr) continue;
      for (const rect_record* column = block->outer->next; column != block->outer; column = column->next) {
        line_record* line = append_line(&f->lines);
        if (line == nullptr) return kStatusNoMemory;
        line->left = column->left;
        line->top = column->top;
        line->right = column->right;
        line->bottom = column->bottom;
        if (column->inner != nullptr) {
          for (const rect_record* c = column->inner->next; c != column->inner; c = c->next) {
            recg* box = append_recg(&line->boxes);
            if (box == nullptr) return kStatusNoMemory;
            box->left = c->left;
            box->top = c->top;
            box->right = c->right;
            box->bottom = c->bottom;
            box->code2 = c->extra;
          }
        }
        sort_recg_by_top(line->boxes);
      }
      sort_line_by_right_desc(f->lines);
    }
  }

  if (ctx->largeList != nullptr) {
    if (!area) {
      for (const rect_record* c = ctx->largeList->next; c != ctx->largeList; c = c->next) {
        if (c->label != kFieldKindFigure) continue;
        userfld* f = newField(*c);
        if (f == nullptr) return kStatusNoMemory;
        f->params.setByte(ParamBlock::kFieldKind, kFieldKindFigure);
      }
    }
    if (form == 0) {
      const bool keepMargins = ctx->params.byte(9) != 0;
      const bool vertical = ctx->params.byte(ParamBlock::kDirection) == 1;
      for (const rect_record* c = ctx->largeList->next; c != ctx->largeList; c = c->next) {
        if (c->label != kFieldKindAreaText) continue;
        userfld* f = newField(*c);
        if (f == nullptr) return kStatusNoMemory;
        f->params.setByte(ParamBlock::kForm, 0xFF);
        f->params.setByte(ParamBlock::kFieldKind, kFieldKindLater);
        if (!keepMargins) {
          int rows = 1;
          int cols = 1;
          switch (c->extra) {
            case 1: rows = 0; cols = 0; break;
            case 2: rows = 0; cols = 1; break;
            case 3: rows = 1; cols = 0; break;
            default: break;
          }
          f->params.setByte(ParamBlock::kNoVerticalMargin, static_cast<std::uint8_t>(rows));
          f->params.setByte(ParamBlock::kNoHorizontalMargin, static_cast<std::uint8_t>(cols));
        }
        f->params.setByte(ParamBlock::kDirection, vertical ? 1 : 0);
      }
    }
  }
  sort_fld_by_right_desc(*result);
  return kStatusDone;
}

short add_vGapSeparators(userfld* fields, layctx* ctx, const Rect16* working) {
  const Rect16 r = *working;
  const int quarter = (r.bottom - r.top) / 4;
  // A kind-4 mark closes a column gap only in the middle half of the area.
  const auto crossedColumn = [&](const rect_record& g) {
    if (ctx->sepList == nullptr) return false;
    for (const rect_record* s = ctx->sepList->next; s != ctx->sepList; s = s->next) {
      if (s->label == layout::kKindGapMark && !(s->top > r.top + quarter && s->top < r.bottom - quarter)) continue;
      if (layout::gapSpanned(g, layout::GapAxis::Columns, *s)) return true;
    }
    return false;
  };
  short status =
      layout::addGapLines(fields, ctx, r, layout::GapAxis::Columns, ctx->columnGap * 200 / 100, crossedColumn);
  if (status != kStatusDone) return status;
  // The column lines just drawn are white, not rules: each runs the whole
  // height, so letting them close the row gaps would erase every band of
  // white under a title that stands beside empty space.
  const auto crossedRow = [&](const rect_record& g) {
    if (ctx->sepList == nullptr) return false;
    for (const rect_record* s = ctx->sepList->next; s != ctx->sepList; s = s->next)
      if (s->label != layout::kKindGapMark && s->label != kKindGapLine &&
          layout::gapSpanned(g, layout::GapAxis::Rows, *s))
        return true;
    return false;
  };
  return layout::addGapLines(fields, ctx, r, layout::GapAxis::Rows, (ctx->gapY + ctx->charHeight) * 125 / 100,
                             crossedRow);
}

short add_vGapSeparators_area(userfld* fields, layctx* ctx, const Rect16* working) {
  short status = kStatusDone;
  if (ctx->params.byte(ParamBlock::kNoHorizontalMargin) == 1)
    status = layout::addGapLines(fields, ctx, *working, layout::GapAxis::Columns, ctx->columnGap * 80 / 100);
  if (status == kStatusDone && ctx->params.byte(ParamBlock::kNoVerticalMargin) == 1)
    status = layout::addGapLines(fields, ctx, *working, layout::GapAxis::Rows,
                                 (ctx->gapY + ctx->charHeight) * 80 / 100);
  return status;
}

short flag_open_rules(rect_record* copy, const userfld* fields) {
  if (copy == nullptr) return kStatusDone;
  if (qsort_rects_by_right_desc(copy) != kStatusDone) return kStatusNoMemory;
  for (rect_record* s = copy->next; s != copy; s = s->next) s->extra = -1;
  for (rect_record* s = copy->next; s != copy; s = s->next) {
    if (s->right - s->left < s->bottom - s->top) continue;
    bool above = false;
    bool below = false;
    bool open = true;
    if (fields != nullptr) {
      for (const userfld* f = fields->next; f != fields; f = f->next) {
        if (f->right < s->left) break;  // wholly left: nothing further can stand under or over it
        if (!overlapsAcross(f->left, f->right, s->left, s->right)) continue;
        if (f->bottom < s->top) {
          above = true;
        } else {
          below = true;
          if (f->top <= s->bottom) {
            open = false;
            break;
          }
        }
        if (above && below) {
          open = false;
          break;
        }
      }
    }
    if (open) s->extra = 1;
  }
  return kStatusDone;
}

namespace {

bool wideGapLine(const rect_record& s) { return s.label == kKindGapLine && s.right - s.left > s.bottom - s.top; }

// An upper field to the left of a lower one, a row of white running under
// the first and over the second: the bands of a page are read from the top,
// so neither heads a column.  Otherwise a title in the upper left would come
// after a body that has the columns on its right to itself.
bool inBandOrder(const userfld& upper, const userfld& lower, const rect_record* separators) {
  if (upper.right >= lower.left || upper.bottom >= lower.top) return false;
  for (const rect_record* s = separators->next; s != separators; s = s->next) {
    if (wideGapLine(*s) && s->top > upper.bottom && s->bottom < lower.top &&
        overlapsAcross(s->left, s->right, upper.left, upper.right) &&
        overlapsAcross(s->left, s->right, lower.left, lower.right))
      return true;
  }
  return false;
}

bool orderedByBand(const userfld& f, const userfld* fields, const rect_record* separators) {
  if (separators == nullptr) return false;
  for (const userfld* g = fields->next; g != fields; g = g->next) {
    if (g != &f && (inBandOrder(f, *g, separators) || inBandOrder(*g, f, separators))) return true;
  }
  return false;
}

template <typename Widen>
void markHeadsWith(userfld* fields, const rect_record* flagged, Widen widen, bool bandsFirst) {
  if (fields == nullptr) return;
  for (userfld* f = fields->next; f != fields; f = f->next) f->origin = 0;
  for (userfld* f = fields->next; f != fields; f = f->next) {
    const Rect16 fr = widen(*f);
    bool head = !(bandsFirst && orderedByBand(*f, fields, flagged));
    if (flagged != nullptr) {
      for (const rect_record* s = flagged->next; s != flagged && head; s = s->next) {
        if (s->extra == 1 && overlapsAcross(s->left, s->right, fr.left, fr.right)) head = false;
      }
    }
    for (const userfld* g = fields->next; g != fields && head; g = g->next) {
      if (g->right < fr.left) break;
      if (g == f) continue;
      const Rect16 gr = widen(*g);
      if (overlapsAcross(gr.left, gr.right, fr.left, fr.right)) head = false;
    }
    if (head) f->origin = 1;
  }
}

}  // namespace

void mark_vColumnHeads(userfld* fields, const rect_record* flagged) {
  markHeadsWith(fields, flagged, rectOfField, true);
}

void mark_vColumnHeads_area(userfld* fields, const rect_record* flagged, const layctx* ctx) {
  markHeadsWith(fields, flagged, [ctx](const userfld& f) { return widened(f, ctx); }, false);
}

namespace {

// Where a row of white and a column of white both run through the gap
// between two fields, the row decides: bands first, then right to left.
layout::Coverage gapCoverage(const Rect16& gap, const rect_record* separators) {
  if (separators != nullptr) {
    for (const rect_record* s = separators->next; s != separators; s = s->next)
      if (wideGapLine(*s) && layout::intersects(*s, gap)) return layout::Coverage{100, 0};
  }
  return layout::separatorCoverage(gap, separators);
}

}  // namespace

int compare_vFields(const userfld& a, const userfld& b, const rect_record* separators) {
  if (a.top <= b.bottom && b.top <= a.bottom) {
    if (overlapsAcross(a.left, a.right, b.left, b.right)) return b.top >= a.top ? 1 : -1;
    return b.left < a.left ? 1 : -1;
  }
  if (a.top > b.bottom) {  // a lies below b
    if (b.right >= a.left) return -1;
    const layout::Coverage c = gapCoverage(Rect16{b.right, b.bottom, a.left, a.top}, separators);
    return c.v <= c.h ? -1 : 1;
  }
  // a lies above b
  if (a.right < b.left) {
    const layout::Coverage c = gapCoverage(Rect16{a.right, a.bottom, b.left, b.top}, separators);
    return c.v > c.h ? -1 : 1;
  }
  return 1;
}

int compare_by_position(const Rect16& a, const Rect16& b) {
  if (a.bottom < b.top) return a.right < b.left ? -1 : 1;
  return b.right < a.left ? 1 : -1;
}

int compare_by_separator(const Rect16& a, const Rect16& b, const rect_record* separators) {
  const int ca = (a.left + a.right) / 2;
  const int cb = (b.left + b.right) / 2;
  const int c1 = std::min(ca, cb);
  const int c2 = std::max(ca, cb);
  const bool aAbove = a.bottom < b.top;
  const int first = aAbove ? a.bottom : b.bottom;
  const int last = aAbove ? b.top : a.top;
  if (separators != nullptr) {
    for (const rect_record* s = separators->next; s != separators; s = s->next) {
      if (!tallShaped(*s)) continue;
      if (s->left <= c2 && c1 <= s->right && s->bottom >= first && s->top <= last) return s->left >= ca ? -1 : 1;
    }
  }
  return compare_by_position(a, b);
}

int compare_vFields_area(const userfld& a, const userfld& b, const layctx* ctx) {
  const Rect16 wa = widened(a, ctx);
  const Rect16 wb = widened(b, ctx);
  if (wa.top <= wb.bottom && wb.top <= wa.bottom) return wb.left < wa.left ? 1 : -1;
  if (ctx->params.byte(ParamBlock::kNoHorizontalMargin) != 0) return compare_by_position(wa, wb);
  return compare_by_separator(wa, wb, ctx->sepList);
}

short order_vFields(userfld* fields, layctx* ctx) {
  if (fields == nullptr) return kStatusDone;
  const short status = markHeads(fields, ctx, [fields](const rect_record* flagged) {
    mark_vColumnHeads(fields, flagged);
  });
  if (status != kStatusDone) return status;
  const rect_record* separators = ctx->sepList;
  insertionPass(
      fields, [](const userfld&) { return true; },
      [separators](const userfld& a, const userfld& b) { return compare_vFields(a, b, separators); });
  number_fld_kind(fields, kFieldKindText);
  number_fld_kind(fields, kFieldKindFigure);
  number_fld_kind(fields, kFieldKindLater);
  return kStatusDone;
}

short order_vFields_area(userfld* fields, layctx* ctx) {
  if (fields == nullptr) return kStatusDone;
  const short status = markHeads(fields, ctx, [fields, ctx](const rect_record* flagged) {
    mark_vColumnHeads_area(fields, flagged, ctx);
  });
  if (status != kStatusDone) return status;
  auto isText = [](const userfld& f) { return f.params.byte(ParamBlock::kFieldKind) == kFieldKindAreaText; };
  insertionPass(fields, isText, [ctx](const userfld& a, const userfld& b) { return compare_vFields_area(a, b, ctx); });

  // Groups: a field that starts above the previous one's bottom starts a new
  // run of columns.
  int group = 0;
  int position = 1;
  int previousBottom = 30000;
  for (userfld* f = fields->next; f != fields; f = f->next) {
    if (!isText(*f)) continue;
    if (f->top < previousBottom) {
      ++group;
      position = 1;
    }
    f->number = static_cast<std::int16_t>(group);
    f->subNumber = static_cast<std::int16_t>(position);
    ++position;
    previousBottom = f->bottom;
  }

  // Tiers: the fields whose middle lies in a tier carry the tier's number.
  int tier = 0;
  for (int i = 0; i + 1 < ctx->tierCount; ++i) {
    const int upper = ctx->tiers[static_cast<std::size_t>(i)];
    const int lower = ctx->tiers[static_cast<std::size_t>(i) + 1];
    auto inTier = [&](const userfld& f) {
      const int c = (f.top + f.bottom) / 2;
      return isText(f) && c > upper && c < lower;
    };
    bool any = false;
    for (const userfld* f = fields->next; f != fields && !any; f = f->next) any = inTier(*f);
    if (!any) continue;
    ++tier;
    for (userfld* f = fields->next; f != fields; f = f->next) {
      if (inTier(*f)) f->subNumber = static_cast<std::int16_t>(tier);
    }
  }

  // Repair: within one group the sub-numbers rise.
  for (userfld* f = fields->next; f != fields && f->next != fields; f = f->next) {
    userfld* n = f->next;
    if (isText(*f) && f->subNumber >= n->subNumber && f->number == n->number) {
      n->subNumber = static_cast<std::int16_t>(f->subNumber + 1);
    }
  }
  return kStatusDone;
}
