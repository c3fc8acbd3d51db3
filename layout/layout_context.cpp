// Layout context and pipeline runner; see layout_context.h.
#include "layout/layout_context.h"

#include "layout/layout_status.h"
#include "layout/pixel_groups.h"
#include "layout/rect_rings.h"

void clear_layout_context(layctx* ctx) {
  ctx->textList = ctx->largeList = ctx->sepList = nullptr;
  ctx->speckList = ctx->reducedList = ctx->gapList = nullptr;
  ctx->charWidth = ctx->charHeight = ctx->gapX = ctx->gapY = 0;
  ctx->lineHeight = ctx->lineGapH = ctx->columnWidth = ctx->columnGap = 0;
  ctx->tierCount = 0;
}

void free_context_lists(layctx* ctx) {
  free_rect_list(&ctx->textList);
  free_rect_list(&ctx->largeList);
  free_rect_list(&ctx->sepList);
  free_rect_list(&ctx->speckList);
  free_rect_list(&ctx->reducedList);
  free_rect_list(&ctx->gapList);
}

namespace layout {

short run_layout_steps(std::span<const LayoutStep> steps, LayoutRun& run, StepTrace trace) {
  for (const LayoutStep& step : steps) {
    if (step.when != nullptr && !step.when(run)) continue;
    const short status = step.run(run);
    if (trace != nullptr) trace(step, status, run);
    if (step.stopsOnNoMemory && status == kStatusNoMemory) return kStatusNoMemory;
  }
  return kStatusDone;
}

short step_not_built(LayoutRun&) { return kStatusDone; }

StepServices& stepServices() {
  static StepServices services{classify_region, group_pixels};
  return services;
}

}  // namespace layout
