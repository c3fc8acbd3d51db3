// The two layout pipelines as step tables.
//
//   run_horizontal_pipeline   horizontal writing (the driver's entry)
//   layout_vRegion            vertical writing (the driver's entry)
//   horizontalPipeline        the horizontal table: main part and tail
//   horizontalEarlySteps      the horizontal steps up to the ruled lines, which
//                             the analysis of a user region runs alone
//   verticalPipeline          the vertical table
//   run_pipeline              runs a table's main part, frees the local
//                             ruled-line copies, and runs the tail unless the
//                             run is nested
//   line_join_distance        how far characters join into a line
//   line_distance             how far lines join into a block
//
// Each row names its step, the condition under which it runs (area mode T,
// Latin text L, the parameter bytes) and whether a -111 ends the run.  Rows
// whose work belongs to steps not yet built leave the lists as they are.
#pragma once

#include "layout/layout_context.h"

#include <span>

namespace layout {

struct PipelineTable {
  std::span<const LayoutStep> main;  // up to the freeing of the context's lists
  std::span<const LayoutStep> tail;  // the final passes; skipped by a nested run
};

const PipelineTable& horizontalPipeline();
std::span<const LayoutStep> horizontalEarlySteps();
const PipelineTable& verticalPipeline();

short run_pipeline(const PipelineTable& table, LayoutRun& run, StepTrace trace = nullptr);

int line_join_distance(const layctx& ctx);
int line_distance(const layctx& ctx);

}  // namespace layout

// `nested` is 1 when the driver runs the pipeline for one table found inside
// a page: the run then ends once the context's lists are freed.
// Also known as layout_hRegion: the driver's entry for horizontal writing.
short run_horizontal_pipeline(const layout::AreaRect* area, layctx* ctx, layout::ResultLists* result,
                              const std::array<ImageDesc, 5>* images, recg* exclusions, short nested);
short layout_vRegion(const layout::AreaRect* area, layctx* ctx, layout::ResultLists* result,
                     const std::array<ImageDesc, 5>* images, recg* blockRing, short stopEarly);
