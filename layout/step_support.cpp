// Helpers of the layout steps; see step_support.h.
#include "layout/step_support.h"

#include "layout/layout_status.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"

namespace layout {

rect_record* movePiece(rect_record* r, rect_record** target, short kind) {
  rect_record* moved = append_rect(target);
  if (moved == nullptr) return nullptr;
  moved->left = r->left;
  moved->top = r->top;
  moved->right = r->right;
  moved->bottom = r->bottom;
  moved->label = kind;
  return drop_rect(r);
}

short sortInOrder(RingOrder order, rect_record* head) {
  if (order == RingOrder::ByRightDesc) return qsort_rects_by_right_desc(head);
  sort_rects_by_top(head);
  return kStatusDone;
}

short moveLinesAtCuts(rect_record* block, const std::vector<int>& cuts,
                      const std::function<bool(const rect_record& line, int cut)>& taken, rect_record** blocks) {
  if (block->outer == nullptr) return kStatusDone;
  for (const int cut : cuts) {
    rect_record* piece = nullptr;
    for (rect_record* l = block->outer->next; l != block->outer;) {
      rect_record* next = l->next;
      if (taken(*l, cut)) {
        if (piece == nullptr) {
          piece = append_rect(blocks);
          if (piece == nullptr) return kStatusNoMemory;
          piece->label = 1;
        }
        rect_record* before = l->prev;
        ringUnlink(l);
        if (insert_node_tail(&piece->outer, l) != kStatusDone) {
          ringLinkAfter(before, l);
          return kStatusNoMemory;
        }
      }
      l = next;
    }
  }
  return kStatusDone;
}

}  // namespace layout
