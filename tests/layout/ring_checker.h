// Invariant checks for the layout library's rings, run after every operation
// in the ring tests: each ring is circular and doubly linked, every record
// lies in its pool, rectangles are normalised, and the records reachable from
// a set of roots account for every record the pools have handed out.
#pragma once

#include "layout/layout_context.h"
#include "layout/records.h"

#include <gtest/gtest.h>

#include <vector>

namespace layouttest {

struct Reachable {
  long fields = 0;
  long lines = 0;
  long recgs = 0;
  long rects = 0;
};

// Checks one field ring and everything hung below it, adding what it finds
// to `counted`.  `normalised` asks for left <= right and top <= bottom.
::testing::AssertionResult fieldTreeValid(const userfld* head, Reachable& counted, bool normalised = true);
::testing::AssertionResult rectTreeValid(const rect_record* head, Reachable& counted, bool normalised = true);
::testing::AssertionResult recgRingValid(const recg* head, Reachable& counted);

// Every record in use in the pools is reachable from the given roots.
::testing::AssertionResult poolsBalanced(const std::vector<const userfld*>& fieldRoots,
                                         const std::vector<const rect_record*>& rectRoots = {});

// A layout run's rings: the six lists of the context (list 0 sorted by top
// when `textSorted`) and the result lists, and every record in use in the
// pools reachable from them.
::testing::AssertionResult runValid(const layctx& ctx, const layout::ResultLists* result, bool textSorted = false);

// A step trace that checks runValid after every step and reports the step
// that broke it.
void checkRingsAfterStep(const layout::LayoutStep& step, short status, const layout::LayoutRun& run);

}  // namespace layouttest
