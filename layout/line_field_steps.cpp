// Dotted and ruled lines of an area; see line_field_steps.h.
#include "layout/line_field_steps.h"

#include "layout/component_steps.h"
#include "layout/field_rings.h"
#include "layout/keisen_lists.h"
#include "layout/layout_status.h"
#include "layout/parameter_tables.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"
#include "layout/step_support.h"

#include <algorithm>
#include <cstdlib>

using layout::Box;
using layout::intersects;
using layout::kStatusDone;
using layout::kStatusNoMemory;
using layout::mmToPixels;
using layout::rectHeight;
using layout::rectWidth;
using layout::tenthsToPixels;

namespace {

constexpr short kUnused = 1;
constexpr short kUsed = -1;

void sortByTopOrRight(rect_record* head, short direction) {
  if (direction == 0) {
    sort_rects_by_top(head);
  } else {
    layout::ringSortDescending(head, [](const rect_record& r) { return r.right; });
  }
}

bool sameRect(const rect_record& a, const rect_record& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// One direction of the dotted-line search: along = the line's direction.
template <bool Horizontal>
short chainDots(rect_record** lines, rect_record* dots, int reach, int largestGap, int shortest) {
  if (dots == nullptr) return kStatusDone;
  auto start = [](const auto& r) -> int { return Horizontal ? r.left : r.top; };
  auto end = [](const auto& r) -> int { return Horizontal ? r.right : r.bottom; };
  auto acrossStart = [](const auto& r) -> int { return Horizontal ? r.top : r.left; };
  auto acrossEnd = [](const auto& r) -> int { return Horizontal ? r.bottom : r.right; };
  if (Horizontal) {
    sort_rects_by_left(dots);
  } else {
    sort_rects_by_top(dots);
  }
  for (rect_record* d = dots->next; d != dots; d = d->next) d->label = kUnused;
  for (rect_record* d = dots->next; d != dots; d = d->next) {
    if (d->label != kUnused) continue;
    Box run{d->left, d->top, d->right, d->bottom};
    d->label = kUsed;
    for (rect_record* e = d->next; e != dots; e = e->next) {
      if (start(*e) - end(run) + 1 > largestGap) break;
      if (e->label != kUnused) continue;
      const bool across = acrossStart(*e) <= acrossEnd(run) && acrossStart(run) <= acrossEnd(*e);
      const bool within = start(run) - reach <= end(*e) && start(*e) <= end(run) + reach;
      if (across && within) {
        layout::uniteInto(run, *e);
        e->label = kUsed;
      }
    }
    if (end(run) - start(run) + 1 > shortest) {
      rect_record* line = append_rect(lines);
      if (line == nullptr) return kStatusNoMemory;
      line->left = static_cast<std::int16_t>(run.left);
      line->top = static_cast<std::int16_t>(run.top);
      line->right = static_cast<std::int16_t>(run.right);
      line->bottom = static_cast<std::int16_t>(run.bottom);
      line->label = Horizontal ? layout::kKindWideSeparator : layout::kKindTallSeparator;
    }
  }
  return kStatusDone;
}

template <bool Horizontal>
short dropDots(const rect_record* lines, layctx* ctx, rect_record* dots, int widening, int largestDot,
               short direction) {
  if (lines == nullptr || dots == nullptr) return kStatusDone;
  // A dot's size across the line.
  auto thickness = [](const rect_record& r) { return Horizontal ? rectHeight(r) : rectWidth(r); };
  const short skippedKind = Horizontal ? layout::kKindTallSeparator : layout::kKindWideSeparator;
  sortByTopOrRight(dots, direction);
  sortByTopOrRight(ctx->textList, direction);
  sortByTopOrRight(ctx->speckList, direction);
  for (rect_record* d = dots->next; d != dots; d = d->next) d->label = kUsed;
  for (const rect_record* l = lines->next; l != lines; l = l->next) {
    if (l->label == skippedKind) continue;
    const Box zone = Horizontal ? Box{l->left - widening, l->top, l->right + widening, l->bottom}
                                : Box{l->left, l->top - widening, l->right, l->bottom + widening};
    for (rect_record* d = dots->next; d != dots; d = d->next) {
      if (thickness(*d) <= largestDot && intersects(*d, zone)) d->label = kUnused;
    }
    if (rect_record* text = ctx->textList; text != nullptr) {
      for (rect_record* c = text->next; c != text; c = c->next) {
        if (direction == 0 && c->top > zone.bottom + widening) break;
        if (thickness(*c) <= largestDot && intersects(*c, zone)) c = drop_rect(c);
      }
    }
  }
  // The marked dots are the line's own pieces: they leave the lists.
  for (rect_record* d = dots->next; d != dots; d = d->next) {
    if (d->label != kUnused) continue;
    for (rect_record* list : {ctx->speckList, ctx->textList}) {
      if (list == nullptr) continue;
      for (rect_record* c = list->next; c != list; c = c->next) {
        if (sameRect(*c, *d)) c = drop_rect(c);
      }
    }
  }
  return kStatusDone;
}

}  // namespace

short collect_dot_candidates(layctx* ctx, rect_record** out, short limitX, short limitY) {
  for (rect_record* list : {ctx->textList, ctx->speckList}) {
    if (list == nullptr) continue;
    const bool all = list == ctx->speckList;
    for (const rect_record* r = list->next; r != list; r = r->next) {
      if (!all && (rectWidth(*r) >= limitX || rectHeight(*r) >= limitY)) continue;
      rect_record* dot = append_rect(out);
      if (dot == nullptr) return kStatusNoMemory;
      dot->left = r->left;
      dot->top = r->top;
      dot->right = r->right;
      dot->bottom = r->bottom;
      dot->label = 1;
    }
  }
  return kStatusDone;
}

short chain_dots_horizontal(rect_record** lines, rect_record* dots, short reach, short largestGap, short shortest) {
  return chainDots<true>(lines, dots, reach, largestGap, shortest);
}

short chain_dots_vertical(rect_record** lines, rect_record* dots, short reach, short largestGap, short shortest) {
  return chainDots<false>(lines, dots, reach, largestGap, shortest);
}

short add_dotted_line_fields(const rect_record* lines, userfld** lineFields) {
  if (lines != nullptr) {
    for (const rect_record* l = lines->next; l != lines; l = l->next) {
      userfld* f = append_fld(lineFields);
      if (f == nullptr) return kStatusNoMemory;
      f->left = l->left;
      f->top = l->top;
      f->right = l->right;
      f->bottom = l->bottom;
      f->params.setByte(ParamBlock::kFieldKind, layout::kFieldDottedLine);
    }
  }
  if (*lineFields != nullptr) {
    short number = 1;
    for (userfld* f = (*lineFields)->next; f != *lineFields; f = f->next) f->number = number++;
  }
  return kStatusDone;
}

short drop_dots_of_hlines(const rect_record* lines, layctx* ctx, rect_record* dots, short widening, short largestDot,
                          short direction) {
  return dropDots<true>(lines, ctx, dots, widening, largestDot, direction);
}

short drop_dots_of_vlines(const rect_record* lines, layctx* ctx, rect_record* dots, short widening, short largestDot,
                          short direction) {
  return dropDots<false>(lines, ctx, dots, widening, largestDot, direction);
}

short find_dotted_lines(layctx* ctx, userfld** lineFields) {
  const bool horizontal = ctx->params.byte(ParamBlock::kHorizontalRules) == 1;
  const bool vertical = ctx->params.byte(ParamBlock::kVerticalRules) == 1;
  if (!horizontal && !vertical) return kStatusDone;
  const auto& p = layout::parameterTables().layout;
  const short direction = ctx->params.byte(ParamBlock::kDirection);
  rect_record* dotsH = nullptr;
  rect_record* dotsV = nullptr;
  rect_record* lines = nullptr;
  auto run = [&]() -> short {
    if (horizontal) {
      if (collect_dot_candidates(ctx, &dotsH, p(13), p(14)) != kStatusDone) return kStatusNoMemory;
      if (chain_dots_horizontal(&lines, dotsH, p(15), p(16), p(17)) != kStatusDone) return kStatusNoMemory;
    }
    if (vertical) {
      if (collect_dot_candidates(ctx, &dotsV, p(14), p(13)) != kStatusDone) return kStatusNoMemory;
      if (chain_dots_vertical(&lines, dotsV, p(18), p(19), p(20)) != kStatusDone) return kStatusNoMemory;
    }
    if (add_dotted_line_fields(lines, lineFields) != kStatusDone) return kStatusNoMemory;
    if (horizontal) drop_dots_of_hlines(lines, ctx, dotsH, p(21), p(22), direction);
    if (vertical) drop_dots_of_vlines(lines, ctx, dotsV, p(21), p(22), direction);
    return move_rect_list(&lines, &ctx->sepList);
  };
  const short status = run();
  free_rect_list(&dotsH);
  free_rect_list(&dotsV);
  free_rect_list(&lines);
  return status;
}

short copy_keisen_lists(const KeisenPair* library, KeisenPair* local) {
  auto copy = [](const Keisen* from, Keisen** to) {
    if (from == nullptr) return true;
    for (const Keisen* k = from->next; k != from; k = k->next) {
      Keisen* line = append_hline(to);
      if (line == nullptr) return false;
      line->a = k->a;
      line->b = k->b;
      line->c = k->c;
    }
    return true;
  };
  if (!copy(library->horizontal, &local->horizontal) || !copy(library->vertical, &local->vertical)) {
    return kStatusNoMemory;
  }
  return kStatusDone;
}

short mark_all_keisen(KeisenPair* pair) {
  for (Keisen* head : {pair->horizontal, pair->vertical}) {
    if (head == nullptr) continue;
    for (Keisen* k = head->next; k != head; k = k->next) k->valid = 1;
  }
  return kStatusDone;
}

void free_keisen_pair(KeisenPair* pair) {
  free_hline_list(&pair->horizontal);
  free_vline_list(&pair->vertical);
}

namespace {

// Horizontal line: a = left end, b = right end, c = row.
// Vertical line: a = column, b = upper end, c = lower end.
bool hlineMeets(const Keisen& h, const Rect16& area) {
  return area.left <= h.b && h.a <= area.right && area.top <= h.c && h.c <= area.bottom;
}
bool vlineMeets(const Keisen& v, const Rect16& area) {
  return area.left <= v.a && v.a <= area.right && area.top <= v.c && v.b <= area.bottom;
}

template <typename Visit>
void forKept(Keisen* head, Visit visit) {
  if (head == nullptr) return;
  for (Keisen* k = head->next; k != head; k = k->next) {
    if (k->valid == 1) visit(*k);
  }
}

void dropLinesOutside(KeisenPair* pair, const Rect16& area) {
  forKept(pair->horizontal, [&](Keisen& h) {
    if (!hlineMeets(h, area)) h.valid = 0;
  });
  forKept(pair->vertical, [&](Keisen& v) {
    if (!vlineMeets(v, area)) v.valid = 0;
  });
}

// An underline ends where the word ends and runs just below it.
template <typename R>
bool underlines(const Keisen& h, const R& r, int endSlack, int rowSlack) {
  return std::abs(h.a - r.left) < endSlack && std::abs(h.b - r.right) < endSlack &&
         std::abs(h.c - r.bottom) < rowSlack;
}

}  // namespace

short is_solid_hline(const Keisen* line, const ImageDesc* page) {
  if (page == nullptr || page->bits == nullptr) return 0;
  const int left = std::max<int>(line->a, 0);
  const int right = std::min<int>(line->b, page->widthPixels() - 1);
  if (left > right) return 0;
  const int length = line->b - line->a + 1;
  for (int y = std::max(line->c - 2, 0); y <= std::min(line->c + 2, page->height - 1); ++y) {
    const std::uint8_t* row = page->bits + static_cast<std::size_t>(y) * page->bytesPerRow;
    int black = 0;
    for (int x = left; x <= right; ++x) black += (row[x >> 3] >> (7 - (x & 7))) & 1;
    if (black * 100L > length * 95L) return 1;
  }
  return 0;
}

short find_underlines(KeisenPair* pair, layctx* ctx, const Rect16* area) {
  dropLinesOutside(pair, *area);
  const int dpi = ctx->page.dpi;
  const int endSlack = mmToPixels(1, dpi);
  const int rowSlack = tenthsToPixels(8, dpi);
  if (rect_record* text = ctx->textList; text != nullptr) {
    for (rect_record* c = text->next; c != text; c = c->next) {
      forKept(pair->horizontal, [&](Keisen& h) {
        if (underlines(h, *c, endSlack, rowSlack) && is_solid_hline(&h, &ctx->page)) {
          c->extra = 1;
          h.valid = 0;
        }
      });
    }
  }
  if (rect_record* regions = ctx->largeList; regions != nullptr) {
    for (rect_record* r = regions->next; r != regions; r = r->next) {
      if (r->label != layout::kKindRegion || rectHeight(*r) > 2 * ctx->charHeight) continue;
      Keisen* under = nullptr;
      forKept(pair->horizontal, [&](Keisen& h) {
        if (under == nullptr && underlines(h, *r, endSlack, rowSlack) && is_solid_hline(&h, &ctx->page)) under = &h;
      });
      if (under == nullptr) continue;
      rect_record* word = append_rect(&ctx->textList);
      if (word == nullptr) return kStatusNoMemory;
      under->valid = 0;
      word->left = r->left;
      word->top = r->top;
      word->right = r->right;
      word->bottom = r->bottom;
      word->extra = 1;
      r = drop_rect(r);
    }
  }
  sort_rects_by_top(ctx->textList);
  return kStatusDone;
}

short drop_keisen_outside_area(KeisenPair* pair, layctx* /*ctx*/, const Rect16* area) {
  dropLinesOutside(pair, *area);
  return kStatusDone;
}

short drop_components_on_keisen(KeisenPair* pair, layctx* ctx, const Rect16* area) {
  const bool table = ctx->areaMode();
  const int share = table ? 40 : 8;
  return check_rules_against_text(pair, ctx, area, RuleCheck{share, share, true});
}

short check_rules_against_text(KeisenPair* pair, layctx* ctx, const Rect16* area, const RuleCheck& check) {
  const int dpi = ctx->page.dpi;
  const int textLeast = tenthsToPixels(8, dpi);
  const int inkMost = mmToPixels(1, dpi);
  const bool table = ctx->areaMode();
  const int longLine = mmToPixels(table ? 50 : 5000, dpi);
  dropLinesOutside(pair, *area);
  forKept(pair->horizontal, [&](Keisen& h) {
    h.a = std::max(h.a, area->left);
    h.b = std::min(h.b, area->right);
  });
  forKept(pair->vertical, [&](Keisen& v) {
    v.b = std::max(v.b, area->top);
    v.c = std::min(v.c, area->bottom);
  });

  // One line against the components along it; Across = the components'
  // size across the line, Along = along it.
  auto judge = [&](Keisen& line, const Box& band, int length, int share, auto across, auto along) {
    rect_record* text = ctx->textList;
    auto dropInk = [&] {
      if (text == nullptr) return;
      for (rect_record* c = text->next; c != text; c = c->next) {
        if (across(*c) <= inkMost && intersects(*c, band)) c = drop_rect(c);
      }
    };
    if (length >= longLine) {
      dropInk();
      return;
    }
    long covered = 0;
    bool any = false;
    if (text != nullptr) {
      for (const rect_record* c = text->next; c != text; c = c->next) {
        if (across(*c) >= textLeast && intersects(*c, band)) {
          covered += along(*c);
          any = true;
        }
      }
    }
    if (any && covered > static_cast<long>(length) * share / 100) {
      line.valid = 0;  // a stroke through text, not a rule
    } else if (any || check.dropInkWhenUncrossed) {
      dropInk();
    }
  };
  auto height = [](const rect_record& r) { return rectHeight(r); };
  auto width = [](const rect_record& r) { return rectWidth(r); };
  forKept(pair->horizontal, [&](Keisen& h) {
    judge(h, Box{h.a, h.c - 1, h.b, h.c + 1}, h.b - h.a + 1, check.horizontalShare, height, width);
  });
  forKept(pair->vertical, [&](Keisen& v) {
    judge(v, Box{v.a - 1, v.b, v.a + 1, v.c}, v.c - v.b + 1, check.verticalShare, width, height);
  });
  return kStatusDone;
}

short keisen_to_separators(const KeisenPair* pair, layctx* ctx) {
  auto add = [ctx](int l, int t, int r, int b, short kind) {
    rect_record* s = append_rect(&ctx->sepList);
    if (s == nullptr) return false;
    s->left = static_cast<std::int16_t>(l);
    s->top = static_cast<std::int16_t>(t);
    s->right = static_cast<std::int16_t>(r);
    s->bottom = static_cast<std::int16_t>(b);
    s->label = kind;
    return true;
  };
  bool ok = true;
  forKept(pair->horizontal, [&](Keisen& h) {
    ok = ok && add(h.a, h.c, h.b, h.c + 1, layout::kKindWideSeparator);
  });
  forKept(pair->vertical, [&](Keisen& v) {
    ok = ok && add(v.a, v.b, v.a + 1, v.c, layout::kKindTallSeparator);
  });
  return ok ? kStatusDone : kStatusNoMemory;
}

namespace {

// Merges separators of one kind that come within `along` of each other
// along their direction and `across` across it, into a band three pixels
// thick at the middle of their union.
void mergeSeparatorsOfKind(rect_record* head, short kind, int slackX, int slackY) {
  for (rect_record* a = head->next; a != head; a = a->next) {
    if (a->label != kind) continue;
    for (rect_record* b = head->next; b != head; b = b->next) {
      if (b == a || b->label != kind) continue;
      if (a->left - slackX < b->right && b->left < a->right + slackX && a->top - slackY < b->bottom &&
          b->top < a->bottom + slackY) {
        layout::uniteInto(*a, *b);
        if (kind == layout::kKindWideSeparator) {
          a->top = static_cast<std::int16_t>((a->top + a->bottom) / 2);
          a->bottom = static_cast<std::int16_t>(a->top + 2);
        } else {
          a->left = static_cast<std::int16_t>((a->left + a->right) / 2);
          a->right = static_cast<std::int16_t>(a->left + 2);
        }
        drop_rect(b);
        a = head;  // start again from the first separator
        break;
      }
    }
  }
}

}  // namespace

short merge_separators(layctx* ctx) {
  if (ctx->sepList == nullptr) return kStatusDone;
  const int dpi = ctx->page.dpi;
  mergeSeparatorsOfKind(ctx->sepList, layout::kKindWideSeparator, mmToPixels(3, dpi), mmToPixels(2, dpi));
  mergeSeparatorsOfKind(ctx->sepList, layout::kKindTallSeparator, mmToPixels(2, dpi), mmToPixels(3, dpi));
  return kStatusDone;
}

short drop_pieces_along_separators(layctx* ctx) {
  rect_record* seps = ctx->sepList;
  rect_record* text = ctx->textList;
  if (seps == nullptr || text == nullptr) return kStatusDone;
  const auto& p = layout::parameterTables().layout;
  const int dpi = ctx->page.dpi;
  const int longest = mmToPixels(30, dpi);
  const int atEnds = mmToPixels(1, dpi);
  for (const rect_record* s = seps->next; s != seps; s = s->next) {
    const bool tall = rectHeight(*s) > rectWidth(*s);
    if ((tall ? rectHeight(*s) : rectWidth(*s)) < longest) continue;
    const Box zone = tall ? Box{s->left - p(39), s->top - atEnds, s->right + p(39), s->bottom + atEnds}
                          : Box{s->left - atEnds, s->top - p(41), s->right + atEnds, s->bottom + p(41)};
    for (rect_record* c = text->next; c != text; c = c->next) {
      const bool thin = tall ? rectWidth(*c) < p(38) : rectHeight(*c) < p(40);
      if (thin && intersects(*c, zone)) c = drop_rect(c);
    }
  }
  return kStatusDone;
}

short add_line_fields(const KeisenPair* pair, userfld** lineFields) {
  short number = 1;
  auto add = [&](int l, int t, int r, int b, std::uint16_t origin) {
    userfld* f = append_fld(lineFields);
    if (f == nullptr) return false;
    f->left = static_cast<std::int16_t>(l);
    f->top = static_cast<std::int16_t>(t);
    f->right = static_cast<std::int16_t>(r);
    f->bottom = static_cast<std::int16_t>(b);
    f->params.setByte(ParamBlock::kFieldKind, layout::kFieldRuledLine);
    f->number = number++;
    f->subNumber = -1;
    f->origin = origin;
    return true;
  };
  bool ok = true;
  forKept(pair->horizontal, [&](Keisen& h) { ok = ok && add(h.a, h.c, h.b, h.c + 1, 1); });
  forKept(pair->vertical, [&](Keisen& v) { ok = ok && add(v.a, v.b, v.a + 1, v.c, 2); });
  return ok ? kStatusDone : kStatusNoMemory;
}
