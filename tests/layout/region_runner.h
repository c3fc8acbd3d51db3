// What the layout driver does for one region of a rendered page, as far as
// the library has it: the page's ruled lines, the region's components, the
// measures and writing direction, then the pipeline of that direction.
// Tests and the evaluation harness use it until the driver runs regions
// itself.
#pragma once

#include "layout/layout_context.h"
#include "tests/layout/test_pages.h"

namespace layouttest {

struct RegionRun {
  layctx ctx;
  layout::ResultLists result;
  short measured = 0;  // the measuring step's status (1, 0 nothing, -111)
  short status = 0;    // the pipeline's (or the measuring step's when it failed)

  RegionRun() = default;
  RegionRun(const RegionRun&) = delete;
  RegionRun& operator=(const RegionRun&) = delete;
  ~RegionRun();
};

struct RegionOptions {
  bool findRules = true;        // run the page's ruled-line extraction first
  bool runPipeline = true;      // false: stop after measuring
  layout::StepTrace trace = nullptr;
};

// `area` defaults to the whole page.  The page must outlive the run.
void runRegion(RegionRun& run, testpages::RenderedPage& page, const ParamBlock& params, const Rect16* area = nullptr,
               RegionOptions options = {});

}  // namespace layouttest
