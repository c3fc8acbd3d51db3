#include "tests/layout/ring_checker.h"

#include "layout/library_state.h"

#include <sstream>

namespace layouttest {
namespace {

constexpr int kMaxWalk = 1'000'000;

// Circular and doubly linked; every record (the sentinel too) in `pool`.
template <typename T, typename Visit>
::testing::AssertionResult walk(const T* head, const layout::RecordPool<T>& pool, const char* what, Visit visit) {
  if (head == nullptr) return ::testing::AssertionSuccess();
  if (!pool.owns(head)) return ::testing::AssertionFailure() << what << ": sentinel not in its pool";
  const T* r = head;
  for (int n = 0; n < kMaxWalk; ++n) {
    if (r->next == nullptr || r->prev == nullptr)
      return ::testing::AssertionFailure() << what << ": null link at step " << n;
    if (r->next->prev != r) return ::testing::AssertionFailure() << what << ": next->prev broken at step " << n;
    if (r->prev->next != r) return ::testing::AssertionFailure() << what << ": prev->next broken at step " << n;
    if (!pool.owns(r)) return ::testing::AssertionFailure() << what << ": record not in its pool";
    if (r != head) {
      auto sub = visit(r);
      if (!sub) return sub;
    }
    r = r->next;
    if (r == head) return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << what << ": ring does not close";
}

template <typename T>
::testing::AssertionResult normalisedRect(const T* r, const char* what) {
  if (r->left > r->right || r->top > r->bottom) {
    return ::testing::AssertionFailure() << what << ": rectangle not normalised (" << r->left << "," << r->top
                                         << ")-(" << r->right << "," << r->bottom << ")";
  }
  return ::testing::AssertionSuccess();
}

}  // namespace

::testing::AssertionResult recgRingValid(const recg* head, Reachable& counted) {
  if (head == nullptr) return ::testing::AssertionSuccess();
  ++counted.recgs;
  return walk(head, layout::pools().recgs, "recg ring", [&](const recg* r) {
    ++counted.recgs;
    // Chains hung below a record are counted too.
    if (r->sub != nullptr && r->code == -1) {
      for (const recg* c = r->sub; c != nullptr && c != head; c = c->sub) ++counted.recgs;
    } else if (r->sub != nullptr && r->code == kRecgJoined) {
      for (const recg* c = r->sub; c != nullptr && c != r; c = c->next) ++counted.recgs;
    }
    return ::testing::AssertionSuccess();
  });
}

::testing::AssertionResult fieldTreeValid(const userfld* head, Reachable& counted, bool normalised) {
  if (head == nullptr) return ::testing::AssertionSuccess();
  ++counted.fields;
  auto lines = [&](const line_record* lh) -> ::testing::AssertionResult {
    if (lh == nullptr) return ::testing::AssertionSuccess();
    ++counted.lines;
    auto own = recgRingValid(lh->boxes, counted);
    if (!own) return own;
    own = recgRingValid(lh->chars, counted);
    if (!own) return own;
    return walk(lh, layout::pools().lines, "line ring", [&](const line_record* l) -> ::testing::AssertionResult {
      ++counted.lines;
      auto sub = recgRingValid(l->boxes, counted);
      if (!sub) return sub;
      return recgRingValid(l->chars, counted);
    });
  };
  auto sentinel = lines(head->lines);
  if (!sentinel) return sentinel;
  return walk(head, layout::pools().fields, "field ring", [&](const userfld* f) -> ::testing::AssertionResult {
    ++counted.fields;
    if (normalised) {
      auto n = normalisedRect(f, "field");
      if (!n) return n;
    }
    auto sub = lines(f->lines);
    if (!sub) return sub;
    sub = recgRingValid(f->blocks, counted);
    if (!sub) return sub;
    return fieldTreeValid(f->children, counted, normalised);
  });
}

::testing::AssertionResult rectTreeValid(const rect_record* head, Reachable& counted, bool normalised) {
  if (head == nullptr) return ::testing::AssertionSuccess();
  ++counted.rects;
  return walk(head, layout::pools().rects, "rect ring", [&](const rect_record* r) -> ::testing::AssertionResult {
    ++counted.rects;
    if (normalised) {
      auto n = normalisedRect(r, "rect");
      if (!n) return n;
    }
    auto sub = rectTreeValid(r->inner, counted, normalised);
    if (!sub) return sub;
    return rectTreeValid(r->outer, counted, normalised);
  });
}

::testing::AssertionResult poolsBalanced(const std::vector<const userfld*>& fieldRoots,
                                         const std::vector<const rect_record*>& rectRoots) {
  Reachable counted;
  for (const userfld* root : fieldRoots) {
    auto ok = fieldTreeValid(root, counted);
    if (!ok) return ok;
  }
  for (const rect_record* root : rectRoots) {
    auto ok = rectTreeValid(root, counted);
    if (!ok) return ok;
  }
  const auto& p = layout::pools();
  std::ostringstream diff;
  if (p.fields.inUse() != counted.fields) diff << " fields " << p.fields.inUse() << " vs " << counted.fields;
  if (p.lines.inUse() != counted.lines) diff << " lines " << p.lines.inUse() << " vs " << counted.lines;
  if (p.recgs.inUse() != counted.recgs) diff << " recgs " << p.recgs.inUse() << " vs " << counted.recgs;
  if (p.rects.inUse() != counted.rects) diff << " rects " << p.rects.inUse() << " vs " << counted.rects;
  if (!diff.str().empty()) return ::testing::AssertionFailure() << "pool records in use vs reachable:" << diff.str();
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult runValid(const layctx& ctx, const layout::ResultLists* result, bool textSorted) {
  std::vector<const rect_record*> lists{ctx.textList, ctx.largeList,   ctx.sepList,
                                        ctx.speckList, ctx.reducedList, ctx.gapList};
  if (textSorted && ctx.textList != nullptr) {
    for (const rect_record* r = ctx.textList->next; r->next != ctx.textList; r = r->next) {
      if (r->next->top < r->top) return ::testing::AssertionFailure() << "component list not sorted by top";
    }
  }
  std::vector<const userfld*> fields;
  if (result != nullptr) fields = {result->fields, result->ruleFields};
  return poolsBalanced(fields, lists);
}

void checkRingsAfterStep(const layout::LayoutStep& step, short /*status*/, const layout::LayoutRun& run) {
  const auto ok = runValid(*run.ctx, run.result);
  if (!ok) ADD_FAILURE() << "after " << step.name << ": " << ok.message();
}

}  // namespace layouttest
