#include "layout/mixed_fields.h"

#include "layout/field_rings.h"
#include "layout/layout_driver.h"
#include "layout/layout_status.h"
#include "layout/parameter_tables.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"
#include "layout/step_support.h"
#include "layout/text_measures.h"

using layout::kStatusDone;
using layout::kStatusNoMemory;

namespace {

bool judged(const userfld& f) { return f.params.byte(ParamBlock::kForm) != 0xFF; }
bool horizontal(const userfld& f) { return judged(f) && f.params.byte(ParamBlock::kDirection) == 0; }

bool near(const userfld& f, const userfld& g, int dx, int dy) {
  return f.left - dx <= g.right && g.left <= f.right + dx && f.top - dy <= g.bottom && g.top <= f.bottom + dy;
}

void mergeInto(userfld* f, userfld* g) {
  layout::uniteInto(*f, *g);
  layout::ringUnlink(g);
  free_fld_tree(g);
}

// Repeats `take` over the horizontal fields until no field takes another:
// every merge grows a field, so the scan starts again from the first.
template <typename Take>
void mergeWhile(userfld* fields, Take take) {
  if (fields == nullptr) return;
  bool merged = true;
  while (merged) {
    merged = false;
    for (userfld* f = fields->next; f != fields && !merged; f = f->next) {
      if (!horizontal(*f)) continue;
      for (userfld* g = fields->next; g != fields; g = g->next) {
        if (g == f || !judged(*g) || !take(*f, *g)) continue;
        mergeInto(f, g);
        merged = true;
        break;
      }
    }
  }
}

}  // namespace

short copy_field_chars(const userfld* field, rect_record** ring) {
  if (field->lines == nullptr) return kStatusDone;
  for (const line_record* l = field->lines->next; l != field->lines; l = l->next) {
    if (l->boxes == nullptr) continue;
    for (const recg* c = l->boxes->next; c != l->boxes; c = c->next) {
      rect_record* r = append_rect(ring);
      if (r == nullptr) return kStatusNoMemory;
      r->left = c->left;
      r->top = c->top;
      r->right = c->right;
      r->bottom = c->bottom;
    }
  }
  return kStatusDone;
}

short decide_field_direction(userfld* field, const ImageDesc& page) {
  auto set = [field](int direction) {
    field->params.setByte(ParamBlock::kDirection, static_cast<std::uint8_t>(direction));
    return kStatusDone;
  };
  if (field->lines == nullptr) return set(1);
  layctx ctx;
  clear_layout_context(&ctx);
  ctx.params = field->params;
  ctx.page = page;
  struct Lists {
    layctx* c;
    ~Lists() { free_context_lists(c); }
  } lists{&ctx};
  if (copy_field_chars(field, &ctx.textList) != kStatusDone) return kStatusNoMemory;
  sort_rects_by_top(ctx.textList);
  if (estimate_char_size(&ctx, layout::parameterTables().layout(4)) != kStatusDone) return set(1);
  const short a = estimate_char_gap(&ctx, layout::kGapEstimatePercent);
  if (a == kStatusNoMemory) return kStatusNoMemory;
  if (a != kStatusDone) ctx.gapX = static_cast<short>(ctx.charWidth / 2);
  const short b = estimate_line_gap(&ctx, layout::kGapEstimatePercent);
  if (b == kStatusNoMemory) return kStatusNoMemory;
  if (b != kStatusDone) ctx.gapY = ctx.charHeight;
  const int w = layout::rectWidth(*field);
  const int h = layout::rectHeight(*field);
  if (a != kStatusDone || b != kStatusDone) {
    // Gaps only between characters of one row: a line, unless it stands up.
    if (a == kStatusDone) return set(h * 2 >= w ? 1 : 0);
    return set(1);
  }
  if (w < ctx.charWidth * 5 && h > w) return set(1);
  if (h > w * 7) return set(1);
  if (w > ctx.charWidth * 3 && ctx.charHeight * 3 < h) return set(ctx.gapX > ctx.gapY ? 1 : 0);
  return set(h >= w ? 1 : 0);
}

void merge_hFields_near(userfld* fields) {
  mergeWhile(fields, [](const userfld& f, const userfld& g) {
    return horizontal(g) && near(f, g, f.measures[0] * 140 / 100, f.measures[1] * 140 / 100);
  });
}

void absorb_near_fields(userfld* fields) {
  mergeWhile(fields, [](const userfld& f, const userfld& g) {
    if (!near(f, g, f.measures[0] * 120 / 100, f.measures[1] * 120 / 100)) return false;
    if (horizontal(g)) return true;
    // A vertical passage of its own (several columns, several characters) stays.
    if (layout::rectWidth(g) >= f.measures[0] * 230 / 100 && layout::rectHeight(g) >= f.measures[1] * 230 / 100)
      return false;
    const double areaG = (g.right - g.left + 1.0) * (g.bottom - g.top + 1.0);
    const double areaF = (f.right - f.left + 1.0) * (f.bottom - f.top + 1.0);
    return areaG < areaF * 0.2;
  });
}

short reanalyse_hField(userfld* field, layout::ResultLists* result, const std::array<ImageDesc, 5>* images) {
  userfld* input = nullptr;
  userfld* found = nullptr;
  userfld* rules = nullptr;
  userfld* area = append_fld(&input);
  if (area == nullptr) {
    free_fld_list(&input);
    return kStatusNoMemory;
  }
  area->left = field->left;
  area->top = field->top;
  area->right = field->right;
  area->bottom = field->bottom;
  area->subNumber = -1;
  area->params = field->params;
  area->params.setWord(ParamBlock::kTierCount, 0);
  area->params.setByte(ParamBlock::kSingleBlock, 0);
  area->origin = field->origin;
  const short status = layout_areas(&input, &found, &rules, images, 1);
  free_fld_list(&input);
  free_fld_list(&rules);  // the page's own run already gave the ruled lines
  if (status == kStatusNoMemory) {
    free_fld_list(&found);
    return kStatusNoMemory;
  }
  if (found != nullptr) {
    userfld* at = field;
    for (userfld* f = found->next; f != found;) {
      userfld* next = f->next;
      layout::ringUnlink(f);
      layout::ringLinkAfter(at, f);
      at = f;
      f = next;
    }
    free_fld_list(&found);
    layout::ringUnlink(field);
    free_fld_tree(field);
  }
  (void)result;
  return kStatusDone;
}

short split_mixed_fields(layout::ResultLists* result, const std::array<ImageDesc, 5>* images) {
  userfld* fields = result->fields;
  if (fields == nullptr || layout::ringEmpty(fields) || images == nullptr) return kStatusDone;
  for (userfld* f = fields->next; f != fields; f = f->next)
    if (judged(*f) && decide_field_direction(f, (*images)[0]) != kStatusDone) return kStatusNoMemory;
  merge_hFields_near(fields);
  absorb_near_fields(fields);
  for (userfld* f = fields->next; f != fields;) {
    userfld* next = f->next;
    if (horizontal(*f) && reanalyse_hField(f, result, images) != kStatusDone) return kStatusNoMemory;
    f = next;
  }
  std::int16_t n = 0;
  for (userfld* f = fields->next; f != fields; f = f->next) f->number = ++n;
  return kStatusDone;
}
