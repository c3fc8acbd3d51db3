// Helpers of the layout steps; see step_support.h.
#include "layout/step_support.h"

#include "layout/layout_status.h"
#include "layout/rect_rings.h"

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

}  // namespace layout
