// The layout driver and the result output; see layout_driver.h.
#include "layout/layout_driver.h"

#include "layout/char_block.h"
#include "layout/field_list_editing.h"
#include "layout/field_rings.h"
#include "layout/later_steps.h"
#include "layout/layout_pipelines.h"
#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/parameter_tables.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"
#include "layout/step_support.h"
#include "layout/text_measures.h"
#include "layout/user_region.h"

#include <algorithm>
#include <cstring>

using layout::kStatusDone;
using layout::kStatusNoMemory;
using layout::kStatusNothing;

namespace {

constexpr int kNoMemoryMessage = 2108;

std::int8_t stateOf(const userfld& f) { return f.params.signedByte(ParamBlock::kForm); }
int kindOf(const userfld& f) { return f.params.byte(ParamBlock::kFieldKind); }

// A field of its own in the result, as against a member of a merge run.
bool isLive(const userfld& f) {
  return stateOf(f) != -1 && stateOf(f) != -9 && kindOf(f) != layout::kFieldTable;
}

const ImageDesc* imageOfFactor(const std::array<ImageDesc, 5>& images, int factor) {
  switch (factor) {
    case 1: return &images[0];
    case 2: return &images[1];
    case 4: return &images[2];
    case 8: return &images[3];
    case 16: return &images[4];
    default: return nullptr;
  }
}

bool insideAnyChild(const rect_record& r, const userfld* children) {
  if (children == nullptr) return false;
  for (const userfld* c = children->next; c != children; c = c->next)
    if (layout::liesInside(r, *c)) return true;
  return false;
}

}  // namespace

int region_margin(int dpi) { return static_cast<int>(dpi * 10.0 * 4.0 / 100.0 / 10.0); }

bool reduce_by_8(const ImageDesc& page, int widthPixels, std::vector<std::uint8_t>* storage, ImageDesc* out) {
  *out = ImageDesc{};
  if (page.bits == nullptr) return false;
  const int source = page.bytesPerRow;
  const int outWidth = widthPixels / 8;
  const int outRows = page.height / 8;
  const int bytes = paddedRowBytes(outWidth);
  storage->assign(static_cast<std::size_t>(bytes) * static_cast<std::size_t>(std::max(outRows, 0)), 0);
  // Each output bit is one source byte of eight rows; the last output row
  // stays white.
  for (int r = 0; r + 1 < outRows; ++r) {
    std::uint8_t* dst = storage->data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(bytes);
    for (int k = 0; k < 8; ++k) {
      const std::uint8_t* row = page.bits + static_cast<std::size_t>(8 * r + k) * static_cast<std::size_t>(source);
      for (int s = 0; s < source && s / 8 < bytes; ++s)
        if (row[s] != 0) dst[s / 8] = static_cast<std::uint8_t>(dst[s / 8] | (0x80 >> (s % 8)));
    }
  }
  out->bits = storage->data();
  out->bytesPerRow = static_cast<std::uint16_t>(bytes);
  out->height = static_cast<std::uint16_t>(outRows);
  out->dpi = page.dpi;
  return true;
}

short layout_one_area(const layout::AreaRect* area, layout::ResultLists* out, const std::array<ImageDesc, 5>* images,
                      const ParamBlock* params, const userfld* children, recg* blockRing, short nested) {
  layctx ctx;
  clear_layout_context(&ctx);
  ctx.page = (*images)[0];
  ctx.params = *params;
  const int dpi = (*images)[0].dpi;
  scale_layout_params(layout::kLayoutReduction, dpi);
  scale_param_set4(layout::kLayoutReduction, dpi);
  const ImageDesc* image = imageOfFactor(*images, layout::kLayoutReduction);
  if (image == nullptr) return kStatusNothing;
  auto finish = [&](short status) {
    free_context_lists(&ctx);
    return status;
  };
  if (layout::stepServices().collectComponents(&ctx.textList, image, &area->widened, layout::kLayoutReduction,
                                               layout::parameterTables().layout(1)) == kStatusNoMemory)
    return finish(kStatusNoMemory);
  if (ctx.textList != nullptr)
    for (rect_record* r = ctx.textList->next; r != ctx.textList; r = r->next)
      if (insideAnyChild(*r, children)) r = drop_rect(r);
  if (layout::ringEmpty(ctx.textList)) return finish(kStatusDone);
  const short measured = measure_region(&ctx, &area->own);
  if (measured == kStatusNoMemory) return finish(kStatusNoMemory);
  if (measured != kStatusDone) return finish(kStatusDone);
  const short status = ctx.params.byte(ParamBlock::kDirection) == 0
                           ? run_horizontal_pipeline(area, &ctx, out, images, blockRing, nested)
                           : layout_vRegion(area, &ctx, out, images, blockRing, nested);
  return finish(status == kStatusNoMemory ? kStatusNoMemory : kStatusDone);
}

short layout_areas(userfld** input, userfld** result, userfld** rules, const std::array<ImageDesc, 5>* images,
                   short nested) {
  layout::ResultLists local;
  auto freeLocal = [&] {
    free_fld_list(&local.fields);
    free_fld_list(&local.ruleFields);
  };
  auto noMemory = [&] {
    freeLocal();
    free_fld_list(result);
    free_fld_list(rules);
    return kStatusNoMemory;
  };
  const ImageDesc& page = (*images)[0];
  if (*input != nullptr) {
    for (userfld* r = (*input)->next; r != *input; r = r->next) {
      int marginX = 0;
      int marginY = 0;
      if (stateOf(*r) == -1) {
        marginX = marginY = region_margin(page.dpi);
        if (r->params.byte(ParamBlock::kNoVerticalMargin) == 1) marginY = 0;
        if (r->params.byte(ParamBlock::kNoHorizontalMargin) == 1) marginX = 0;
      }
      layout::AreaRect area;
      area.own = Rect16{r->left, r->top, r->right, r->bottom};
      area.widened = Rect16{static_cast<std::int16_t>(std::max(-30000, r->left - marginX)),
                            static_cast<std::int16_t>(std::max(-30000, r->top - marginY)),
                            static_cast<std::int16_t>(std::min(30000, r->right + marginX)),
                            static_cast<std::int16_t>(std::min(30000, r->bottom + marginY))};
      clip_rect_to_page(&area.widened, &page);
      clip_rect_to_page(&area.own, &page);
      freeLocal();
      const short status = layout_one_area(&area, &local, images, &r->params, r->children, r->blocks, nested);
      if (status == kStatusNoMemory) return noMemory();
      if (status == kStatusNothing) continue;
      if (stateOf(*r) == -1) {
        userfld* frame = append_fld(result);
        if (frame == nullptr) return noMemory();
        frame->left = r->left;
        frame->top = r->top;
        frame->right = r->right;
        frame->bottom = r->bottom;
        frame->params = r->params;
        frame->params.setByte(ParamBlock::kFieldKind, layout::kFieldTable);
      }
      if (move_fld_list(&local.fields, result) != kStatusDone) return noMemory();
      if (move_fld_list(&local.ruleFields, rules) != kStatusDone) return noMemory();
    }
  }
  freeLocal();
  number_fld_kind(*result, layout::kFieldText);
  number_fld_kind(*result, layout::kFieldFigure);
  number_fld_kind(*result, layout::kFieldTable);
  if (*rules != nullptr) {
    std::int16_t n = 0;
    for (userfld* f = (*rules)->next; f != *rules; f = f->next) {
      f->number = ++n;
      f->subNumber = -1;
    }
  }
  free_fld_list(input);
  return kStatusDone;
}

short expand_tables(layout::ResultLists* result, const std::array<ImageDesc, 5>* images) {
  if (result->fields == nullptr || images == nullptr) return kStatusDone;
  for (userfld* table = result->fields->next; table != result->fields; table = table->next) {
    if (kindOf(*table) != layout::kFieldTable) continue;
    userfld* input = nullptr;
    userfld* found = nullptr;
    userfld* rules = nullptr;
    userfld* area = append_fld(&input);
    if (area == nullptr) return kStatusNoMemory;
    area->left = table->left;
    area->top = table->top;
    area->right = table->right;
    area->bottom = table->bottom;
    area->params = table->params;
    area->params.setByte(ParamBlock::kForm, 0xFF);
    area->params.setByte(ParamBlock::kFieldKind, layout::kFieldCell);
    area->params.setByte(ParamBlock::kDirection, table->params.byte(ParamBlock::kDirection) == 1 ? 1 : 0);
    area->params.setByte(9, 1);
    const short status = layout_areas(&input, &found, &rules, images, 1);
    free_fld_list(&input);
    if (status == kStatusNoMemory || move_fld_list(&rules, &result->ruleFields) != kStatusDone) {
      free_fld_list(&found);
      free_fld_list(&rules);
      return kStatusNoMemory;
    }
    // The cells take the table region's place; the frame of the nested run goes.
    userfld* at = table;
    if (found != nullptr) {
      for (userfld* f = found->next; f != found;) {
        userfld* next = f->next;
        if (kindOf(*f) == layout::kFieldCell) {
          layout::ringUnlink(f);
          layout::ringLinkAfter(at, f);
          at = f;
        }
        f = next;
      }
    }
    free_fld_list(&found);
    userfld* before = table->prev;
    layout::ringUnlink(table);
    free_fld_tree(table);
    table = before;
  }
  if (result->ruleFields != nullptr) {
    std::int16_t n = 0;
    for (userfld* f = result->ruleFields->next; f != result->ruleFields; f = f->next) {
      f->number = ++n;
      f->subNumber = -1;
    }
  }
  return kStatusDone;
}

// ---------------------------------------------------------------- output

namespace {

bool validRect(const userfld& f) { return f.left < f.right && f.top < f.bottom; }

// Appends to the copy its share of the host's sub-rectangles: every child
// rectangle of an analysed region, clipped to the copy.
short addClippedChildren(userfld* copy, const userfld* input) {
  if (input == nullptr) return kStatusDone;
  for (const userfld* region = input->next; region != input; region = region->next) {
    if (stateOf(*region) == 2 || region->children == nullptr) continue;
    for (const userfld* c = region->children->next; c != region->children; c = c->next) {
      const int left = std::max(c->left, copy->left);
      const int top = std::max(c->top, copy->top);
      const int right = std::min(c->right, copy->right);
      const int bottom = std::min(c->bottom, copy->bottom);
      if (left > right || top > bottom) continue;
      if (add_plain_fld(&copy->children, left, top, right, bottom) != kStatusDone) return kStatusNoMemory;
    }
  }
  return kStatusDone;
}

userfld* appendCopy(const userfld& r, userfld** target) {
  userfld* copy = copy_fld_deep(&r, target);
  if (copy == nullptr) return nullptr;
  // The caller's copy carries no lines; its own sub-rectangles follow.
  free_line_list(&copy->lines);
  free_fld_list(&copy->children);
  copy->origin = 1;
  return copy;
}

}  // namespace

short copy_layout_to_fields(userfld* source, int copyAll, const userfld* input, userfld** target, int mergeSeed) {
  if (source == nullptr) return kStatusNothing;
  userfld* r = source->next;
  while (r != source) {
    if (isLive(*r)) {
      if (copyAll == 0 && kindOf(*r) == layout::kFieldFigure) {
        r = r->next;
        continue;
      }
      userfld* copy = appendCopy(*r, target);
      if (copy == nullptr) return kStatusNoMemory;
      copy->params.setByte(ParamBlock::kForm, kindOf(*r) == layout::kFieldFigure ? 2 : 1);
      if (addClippedChildren(copy, input) != kStatusDone) return kStatusNoMemory;
      r = r->next;
      continue;
    }
    int left = 32767;
    int top = 32767;
    int right = -1;
    int bottom = -1;
    auto add = [&](const userfld& f) {
      left = std::min<int>(left, f.left);
      top = std::min<int>(top, f.top);
      right = std::max<int>(right, f.right);
      bottom = std::max<int>(bottom, f.bottom);
    };
    if (validRect(*r) && mergeSeed != 0) add(*r);
    userfld* current = r;
    if (stateOf(*r) == -9 || kindOf(*r) == layout::kFieldTable) {
      if (r->next != source) {
        current = r->next;
        if (validRect(*current)) {
          add(*current);
          current->params.setByte(ParamBlock::kForm, 0xFF);
        }
      }
    } else {
      r->params.setByte(ParamBlock::kForm, 0xFF);
    }
    userfld* templ = current;
    userfld* m = current == r && r->next == source ? source : current->next;
    int previous = m != source ? m->number : 0;
    while (m != source && m->number >= previous && m->subNumber >= 0 && stateOf(*m) != -9 &&
           !(m->number == 1 && m->subNumber == 1)) {
      if (validRect(*m)) {
        m->params.setByte(ParamBlock::kForm, 0xFF);
        add(*m);
      }
      templ = m;
      previous = m->number;
      m = m->next;
    }
    userfld* copy = appendCopy(*templ, target);
    if (copy == nullptr) return kStatusNoMemory;
    copy->left = static_cast<std::int16_t>(left);
    copy->top = static_cast<std::int16_t>(top);
    copy->right = static_cast<std::int16_t>(right);
    copy->bottom = static_cast<std::int16_t>(bottom);
    copy->params.setByte(ParamBlock::kForm, 0xFF);
    if (input != nullptr) {
      for (const userfld* region = input->next; region != input; region = region->next) {
        if (stateOf(*region) == -1 && region->left < left && right < region->right && region->top < top &&
            bottom < region->bottom) {
          copy->left = region->left;
          copy->top = region->top;
          copy->right = region->right;
          copy->bottom = region->bottom;
          break;
        }
      }
    }
    // Merged copies get their clipped children like every other copy.
    if (addClippedChildren(copy, input) != kStatusDone) return kStatusNoMemory;
    r = m;
  }
  return kStatusNothing;
}

// ---------------------------------------------------------------- GetLayout

short layout_page(userfld** list, const ParamBlock* params, const char* templateFolder, short templateNumber) {
  auto& state = layout::layoutState();
  short result = kStatusDone;
  bool made = false;
  int mergeSeed = 1;
  userfld* output = nullptr;
  userfld* callerList = list != nullptr ? *list : nullptr;
  userfld* pageInput = nullptr;
  bool regionsAnalysed = false;
  std::vector<std::uint8_t> reduced;
  reduce_by_8(state.images[0], state.images[0].widthPixels(), &reduced, &state.images[3]);
  auto tearDown = [&] { state.images[3] = ImageDesc{}; };

  if (callerList != nullptr && !layout::ringEmpty(callerList)) {
    int place = 0;
    userfld* localInput = nullptr;
    userfld* localResult = nullptr;
    userfld* localRules = nullptr;
    bool failed = false;
    for (const userfld* r = callerList->next; r != callerList && !failed; r = r->next) {
      if (r->origin != 0) {
        if (stateOf(*r) != 2) ++place;
        continue;
      }
      if (stateOf(*r) == 2) {
        userfld* f = append_fld(&localResult);
        failed = f == nullptr;
        if (failed) break;
        f->params = r->params;
        f->params.setByte(ParamBlock::kFieldKind, layout::kFieldFigure);
        f->origin = 1;
        f->left = r->left;
        f->top = r->top;
        f->right = r->right;
        f->bottom = r->bottom;
        failed = copy_userfld_list(&localResult, &state.Sfld, place) != kStatusDone;
        ++place;
        made = true;
        continue;
      }
      userfld* f = append_fld(&localInput);
      failed = f == nullptr;
      if (failed) break;
      f->left = r->left;
      f->top = r->top;
      f->right = r->right;
      f->bottom = r->bottom;
      f->params = r->params;
      if (r->children != nullptr)
        for (const userfld* c = r->children->next; c != r->children && !failed; c = c->next)
          failed = add_plain_fld(&f->children, c->left, c->top, c->right, c->bottom) != kStatusDone;
      if (failed) break;
      if (layout_areas(&localInput, &localResult, &localRules, &state.images, 0) == kStatusNoMemory) {
        failed = true;
        break;
      }
      // A table area's cells form one merge run: it counts as one field.
      const int live = count_userfld(localResult);
      if (live > 0) {
        failed = copy_userfld_list(&localResult, &state.Sfld, place) != kStatusDone;
        place += live;
      }
      free_fld_list(&localResult);
      free_fld_list(&localRules);
      made = true;
      regionsAnalysed = true;
    }
    free_fld_list(&localInput);
    if (failed) {
      free_fld_list(&localResult);
      free_fld_list(&localRules);
      free_fld_list(&state.Sfld);
      free_fld_list(&state.ruleFields);
      result = kStatusNoMemory;
    }
  } else {
    if (add_page_fld(&pageInput, params, &state.images[0]) != kStatusDone) {
      layout::show_layout_error(state.window, kNoMemoryMessage);
      free_fld_list(&pageInput);
      free_fld_list(&state.Sfld);
      free_fld_list(&state.ruleFields);
      tearDown();
      return kStatusNoMemory;
    }
    if (params->byte(ParamBlock::kForm) == 255) mergeSeed = 0;
    result = layout_areas(&pageInput, &state.Sfld, &state.ruleFields, &state.images, 0);
    made = true;
  }

  if (result == kStatusDone && made) {
    // The copies go into a list of their own first: the caller's areas are
    // given up only for a whole result.
    if (copy_layout_to_fields(state.Sfld, 1, callerList, &output, mergeSeed) == kStatusNoMemory) {
      free_fld_list(&output);
      result = kStatusNothing;
    } else {
      if (list != nullptr) {
        free_userfld_ring(list);
        *list = output;
      }
      output = nullptr;
    }
    // The tables of a form read with a template take the character kinds
    // stored with it; a template without them leaves the result as it is.
    if (result == kStatusDone && regionsAnalysed && templateFolder != nullptr && templateNumber >= 0) {
      layout::apply_field_char_blocks(templateFolder, templateNumber);
    }
  }
  free_fld_list(&pageInput);
  if (result == kStatusNoMemory) {
    layout::show_layout_error(state.window, kNoMemoryMessage);
    result = kStatusNothing;
  }
  tearDown();
  return result;
}
