// Analysis of one user region; see user_region.h.
#include "layout/user_region.h"

#include "layout/field_rings.h"
#include "layout/layout_context.h"
#include "layout/layout_pipelines.h"
#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/line_field_steps.h"
#include "layout/parameter_tables.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"
#include "layout/step_support.h"
#include "layout/text_measures.h"

using layout::kStatusDone;
using layout::kStatusNoMemory;
using layout::kStatusNothing;

namespace {

// The image of the given reduction level, or null for a level that does
// not exist.
const ImageDesc* imageOfLevel(int reduction, const ImageDesc* page) {
  switch (reduction) {
    case 1: return page;
    case 2: return &layout::layoutState().images[1];
    case 4: return &layout::layoutState().images[2];
    case 8: return &layout::layoutState().images[3];
    case 16: return &layout::layoutState().images[4];
    default: return nullptr;
  }
}

short keepBlocks(userfld* field, const rect_record* components) {
  if (components == nullptr) return kStatusDone;
  int kept = 0;
  for (const rect_record* r = components->next; r != components && kept < layout::kUserRegionBlocks;
       r = r->next, ++kept) {
    recg* block = append_recg(&field->blocks);
    if (block == nullptr) return kStatusNoMemory;
    block->left = static_cast<std::int16_t>(r->left - field->left);
    block->right = static_cast<std::int16_t>(r->right - field->left);
    block->top = static_cast<std::int16_t>(r->top - field->top);
    block->bottom = static_cast<std::int16_t>(r->bottom - field->top);
  }
  return kStatusDone;
}

}  // namespace

short analyse_user_region(userfld* field, const ImageDesc* page) {
  if (field == nullptr || page == nullptr || page->bits == nullptr) return kStatusNothing;
  const ImageDesc* image = imageOfLevel(layout::kLayoutReduction, page);
  if (image == nullptr) return kStatusNothing;
  scale_layout_params(layout::kLayoutReduction, page->dpi);
  scale_param_set4(layout::kLayoutReduction, page->dpi);

  layctx ctx;
  clear_layout_context(&ctx);
  ctx.page = *page;
  ctx.params = field->params;
  layout::ResultLists ownLines;
  auto finish = [&](short status) {
    free_context_lists(&ctx);
    free_fld_list(&ownLines.ruleFields);
    return status;
  };

  Rect16 area{field->left, field->top, field->right, field->bottom};
  clip_rect_to_page(&area, page);
  const short collected = layout::stepServices().collectComponents(&ctx.textList, image, &area,
                                                                   layout::kLayoutReduction,
                                                                   layout::parameterTables().layout(1));
  if (collected == kStatusNoMemory) return finish(kStatusNoMemory);
  if (layout::ringEmpty(ctx.textList)) return finish(kStatusNothing);

  sort_rects_by_top(ctx.textList);
  if (estimate_char_size(&ctx, layout::parameterTables().layout(4)) != kStatusDone) return finish(kStatusNothing);
  const short x = estimate_char_gap(&ctx, layout::kGapEstimatePercent);
  if (x == kStatusNoMemory) return finish(kStatusNoMemory);
  if (x != kStatusDone) ctx.gapX = static_cast<short>(ctx.charWidth / 2);
  const short y = estimate_line_gap(&ctx, layout::kGapEstimatePercent);
  if (y == kStatusNoMemory) return finish(kStatusNoMemory);
  if (y != kStatusDone) ctx.gapY = ctx.charHeight;

  if (field->params.byte(ParamBlock::kDirection) == 3) {
    const short direction = layout::directionFromMeasures(ctx, x == kStatusDone, y == kStatusDone,
                                                          layout::rectWidth(*field), layout::rectHeight(*field));
    field->params.setByte(ParamBlock::kDirection, static_cast<std::uint8_t>(direction));
    ctx.params.setByte(ParamBlock::kDirection, static_cast<std::uint8_t>(direction));
  }

  layout::LayoutRun run{&ctx, {area, area}, &ownLines, &layout::layoutState().images, nullptr, false, {}, area};
  const short status = layout::run_layout_steps(layout::horizontalEarlySteps(), run);
  free_keisen_pair(&run.rules);
  if (status == kStatusNoMemory) return finish(kStatusNoMemory);
  return finish(keepBlocks(field, ctx.textList));
}
