#include "tests/layout/region_runner.h"

#include "layout/field_rings.h"
#include "layout/layout_pipelines.h"
#include "layout/layout_status.h"
#include "layout/parameter_tables.h"
#include "layout/pixel_groups.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"
#include "layout/text_measures.h"
#include "layout/vulay30.h"

namespace layouttest {

RegionRun::~RegionRun() {
  free_context_lists(&ctx);
  free_fld_list(&result.fields);
  free_fld_list(&result.ruleFields);
}

void runRegion(RegionRun& run, testpages::RenderedPage& page, const ParamBlock& params, const Rect16* area,
               RegionOptions options) {
  const Rect16 whole{0, 0, static_cast<std::int16_t>(page.width - 1), static_cast<std::int16_t>(page.height - 1)};
  const Rect16 rect = area != nullptr ? *area : whole;
  if (options.findRules) {
    int window = 0;
    GetLines(&window, page.bits.data(), static_cast<short>(page.width), static_cast<short>(page.height),
             static_cast<std::uint16_t>(page.dpi), nullptr, nullptr);
  }
  scale_layout_params(1, page.dpi);
  scale_param_set4(1, page.dpi);
  clear_layout_context(&run.ctx);
  run.ctx.page = page.desc();
  run.ctx.params = params;
  std::array<ImageDesc, 5> images{};
  images[0] = page.desc();

  run.status = group_pixels(&run.ctx.textList, &images[0], &rect, 1, layout::parameterTables().layout(1));
  if (run.status != layout::kStatusDone) return;
  if (layout::ringEmpty(run.ctx.textList)) return;
  run.measured = measure_region(&run.ctx, &rect);
  run.status = run.measured;
  if (run.measured != layout::kStatusDone || !options.runPipeline) return;

  layout::LayoutRun steps{&run.ctx, {rect, rect}, &run.result, &images, nullptr, false, {}, rect};
  const auto& table = run.ctx.params.byte(ParamBlock::kDirection) == 0 ? layout::horizontalPipeline()
                                                                         : layout::verticalPipeline();
  run.status = layout::run_pipeline(table, steps, options.trace);
}

}  // namespace layouttest
