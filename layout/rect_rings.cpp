// Rings of rectangle records; see rect_rings.h.
//
// The array sort is a quicksort (middle pivot, Hoare partition, explicit
// stack, the smaller part first) that leaves segments of fewer than three
// elements, followed by one insertion pass.  It is used for rings of
// thousands of components, where the insertion sorts would be quadratic.
#include "layout/rect_rings.h"

#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/ring.h"

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

using layout::pools;

namespace {

void initRect(rect_record* r, bool) {
  r->label = -1;
  r->extra = 0;
  r->inner = nullptr;
  r->outer = nullptr;
}

}  // namespace

rect_record* alloc_rect() { return pools().rects.take(); }

rect_record* append_rect(rect_record** head) { return layout::ringAppend(*head, pools().rects, initRect); }

short insert_node_tail(rect_record** head, rect_record* record) {
  if (*head == nullptr) {
    rect_record* sentinel = layout::ringMake(pools().rects);
    if (sentinel == nullptr) return layout::kStatusNoMemory;
    initRect(sentinel, true);
    *head = sentinel;
  }
  layout::ringLinkTail(*head, record);
  return layout::kStatusDone;
}

short copy_rect_list(const rect_record* source, rect_record** target) {
  if (source == nullptr) {
    *target = nullptr;
    return layout::kStatusDone;
  }
  for (const rect_record* r = source->next; r != source; r = r->next) {
    rect_record* copy = append_rect(target);
    if (copy == nullptr) return layout::kStatusNoMemory;
    copy->left = r->left;
    copy->top = r->top;
    copy->right = r->right;
    copy->bottom = r->bottom;
    copy->label = r->label;
    copy->extra = r->extra;
  }
  return layout::kStatusDone;
}

rect_record* unlink_rect(rect_record* record) { return layout::ringDrop(record, pools().rects); }

void free_rect_node(rect_record* record) { pools().rects.give(record); }

namespace {

// Frees a ring with everything below its records.
void freeTree(rect_record** head) {
  layout::ringFree(
      *head,
      [](rect_record* r) {
        // Both child rings go, whichever the record carries: a record that
        // has both must not leave one behind in the pool.
        freeTree(&r->outer);
        freeTree(&r->inner);
        free_rect_node(r);
      },
      free_rect_node);
}

}  // namespace

void free_rect_list(rect_record** head) { freeTree(head); }

void free_rect_set(RectListSet* set) {
  for (auto& list : set->lists) free_rect_list(&list);
}

short move_rect_list(rect_record** source, rect_record** target) {
  if (*source == nullptr) return layout::kStatusDone;
  if (!layout::ringEmpty(*source)) {
    if (*target == nullptr) {
      rect_record* sentinel = layout::ringMake(pools().rects);
      if (sentinel == nullptr) return layout::kStatusNoMemory;
      initRect(sentinel, true);
      *target = sentinel;
    }
    layout::ringSplice(*source, *target);
  }
  free_rect_node(*source);
  *source = nullptr;
  return layout::kStatusDone;
}

int count_rects(const rect_record* head) { return layout::ringCount(head); }

void sort_rects_by_left(rect_record* head) {
  layout::ringSortAscending(head, [](const rect_record& r) { return r.left; });
}
void sort_rects_by_top(rect_record* head) {
  layout::ringSortAscending(head, [](const rect_record& r) { return r.top; });
}

namespace {

template <typename Before>
short arraySort(rect_record* head, Before before) {
  if (head == nullptr) return layout::kStatusDone;
  const int n = count_rects(head);
  if (n < 2) return layout::kStatusDone;
  std::vector<rect_record*> a;
  try {
    a.reserve(static_cast<std::size_t>(n));
  } catch (const std::bad_alloc&) {
    std::fputs("Temp_list malloc error !!!\n", stderr);
    return layout::kStatusNoMemory;
  }
  for (rect_record* r = head->next; r != head; r = r->next) a.push_back(r);

  // before(x, y): x's key sorts strictly before y's.
  std::vector<std::pair<int, int>> stack;
  stack.emplace_back(0, n - 1);
  while (!stack.empty()) {
    auto [lo, hi] = stack.back();
    stack.pop_back();
    while (hi - lo + 1 >= 3) {
      rect_record* pivot = a[static_cast<std::size_t>((lo + hi) / 2)];
      int i = lo;
      int j = hi;
      while (i <= j) {
        while (before(*a[static_cast<std::size_t>(i)], *pivot)) ++i;
        while (before(*pivot, *a[static_cast<std::size_t>(j)])) --j;
        if (i <= j) {
          std::swap(a[static_cast<std::size_t>(i)], a[static_cast<std::size_t>(j)]);
          ++i;
          --j;
        }
      }
      if (j - lo < hi - i) {
        stack.emplace_back(i, hi);
        hi = j;
      } else {
        stack.emplace_back(lo, j);
        lo = i;
      }
    }
  }
  // One insertion pass: each element moves left past every element that
  // does not sort strictly before it.
  for (int p = 1; p < n; ++p) {
    rect_record* e = a[static_cast<std::size_t>(p)];
    int q = p;
    while (q > 0 && !before(*a[static_cast<std::size_t>(q - 1)], *e)) {
      a[static_cast<std::size_t>(q)] = a[static_cast<std::size_t>(q - 1)];
      --q;
    }
    a[static_cast<std::size_t>(q)] = e;
  }
  rect_record* prev = head;
  for (rect_record* r : a) {
    prev->next = r;
    r->prev = prev;
    prev = r;
  }
  prev->next = head;
  head->prev = prev;
  return layout::kStatusDone;
}

}  // namespace

short qsort_rects_by_left(rect_record* head) {
  return arraySort(head, [](const rect_record& x, const rect_record& y) { return x.left < y.left; });
}
short qsort_rects_by_top(rect_record* head) {
  return arraySort(head, [](const rect_record& x, const rect_record& y) { return x.top < y.top; });
}
short qsort_rects_by_right_desc(rect_record* head) {
  return arraySort(head, [](const rect_record& x, const rect_record& y) { return x.right > y.right; });
}

rect_record* drop_rect(rect_record* record) {
  freeTree(&record->outer);
  freeTree(&record->inner);
  return unlink_rect(record);
}
