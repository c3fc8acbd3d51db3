// The work record of one region's layout and the table-driven pipeline runner.
//
//   layctx               lists, text measures, parameters, tier table, page image
//   clear_layout_context clears lists, measures and tier count
//   free_context_lists   frees the six lists
//   LayoutRun            what every step gets: context, area, results, images,
//                        and what lives across steps of one run (the local
//                        ruled-line pair, the working rectangle)
//   LayoutStep           one row of a pipeline table: name, condition, work,
//                        whether a -111 stops the pipeline
//   run_layout_steps     runs a table in order
//   StepServices         the image services the steps call (region judgement,
//                        component collection), replaceable in tests
//
// A pipeline is a fixed sequence of steps; writing it as a table keeps the
// order and the conditions visible in one place, and each step's work is
// an ordinary function that tests can call alone.
#pragma once

#include "layout/records.h"

#include <array>
#include <cstdint>
#include <span>

struct layctx {
  // The six working lists, freed together by free_context_lists.
  rect_record* textList = nullptr;     // components; then lines; then blocks
  rect_record* largeList = nullptr;    // figure and table candidates
  rect_record* sepList = nullptr;      // separators
  rect_record* speckList = nullptr;    // specks
  rect_record* reducedList = nullptr;  // components of the image reduced by 8
  rect_record* gapList = nullptr;      // white gaps between lines or columns
  short charWidth = 0;
  short charHeight = 0;
  short gapX = 0;
  short gapY = 0;
  short lineHeight = 0;
  short lineGapH = 0;
  short columnWidth = 0;  // the two measures of the columns
  short columnGap = 0;
  ParamBlock params;
  std::array<short, 1000> tiers{};  // the column array
  short tierCount = 0;
  ImageDesc page;

  bool areaMode() const { return params.signedByte(ParamBlock::kForm) == -1; }
};

void clear_layout_context(layctx* ctx);
void free_context_lists(layctx* ctx);

namespace layout {

// The region rectangle widened by the driver's margins, then the region's own.
struct AreaRect {
  Rect16 widened;
  Rect16 own;
};

struct ResultLists {
  userfld* fields = nullptr;
  userfld* ruleFields = nullptr;
};

struct LayoutRun {
  layctx* ctx = nullptr;
  AreaRect area;
  ResultLists* result = nullptr;
  const std::array<ImageDesc, 5>* images = nullptr;
  recg* blockRing = nullptr;  // the area's character blocks (exclusion rectangles)
  bool stopEarly = false;     // nested run: stop once the lists are freed
  // Copies of the library's ruled lines while the ruled-line steps work on
  // them; the pipeline frees them on every way out.
  KeisenPair rules;
  // The area rectangle the late steps see; the text-box step narrows it.
  Rect16 working;
};

struct LayoutStep {
  const char* name;
  bool (*when)(const LayoutRun&);  // null: always
  short (*run)(LayoutRun&);
  bool stopsOnNoMemory;
};

using StepTrace = void (*)(const LayoutStep& step, short status, const LayoutRun& run);

// Runs the steps in order; returns -111 at the first step marked to stop
// whose result is -111, else 1.  `trace`, when given, is called after each
// step that runs (tests use it to check order and conditions, and to check
// the rings after every step).
short run_layout_steps(std::span<const LayoutStep> steps, LayoutRun& run, StepTrace trace = nullptr);

// A step whose work comes with a later part of the pipeline: it leaves the
// lists as they are.
short step_not_built(LayoutRun& run);

struct StepServices {
  short (*classifyRegion)(short* kind, const ImageDesc* image, const Rect16* rect);
  short (*collectComponents)(rect_record** head, const ImageDesc* image, const Rect16* rect, int reduction,
                             int minimumSize);
};

// The services in use; the real ones unless a test replaced them.
StepServices& stepServices();

}  // namespace layout
