// Rings of rectangle records, the working lists of the layout steps.
//
//   building   alloc_rect, append_rect, insert_node_tail, copy_rect_list
//   freeing    unlink_rect, free_rect_node, free_rect_list, free_rect_set
//   moving     move_rect_list
//   queries    count_rects
//   sorts      sort_rects_by_left, sort_rects_by_top   (stable insertion)
//              qsort_rects_by_left, qsort_rects_by_top,
//              qsort_rects_by_right_desc               (array quicksort, long rings)
//
// A record's inner ring holds e.g. a line's components; its outer ring holds
// records that carry inner rings of their own (a block's lines).  Freeing
// goes two levels down.
#pragma once

#include "layout/records.h"

// Six ring heads side by side: the working lists of one region.
struct RectListSet {
  rect_record* lists[6] = {};
};

rect_record* alloc_rect();
rect_record* append_rect(rect_record** head);
short insert_node_tail(rect_record** head, rect_record* record);
short copy_rect_list(const rect_record* source, rect_record** target);

rect_record* unlink_rect(rect_record* record);
void free_rect_node(rect_record* record);
void free_rect_list(rect_record** head);
void free_rect_set(RectListSet* set);

short move_rect_list(rect_record** source, rect_record** target);

int count_rects(const rect_record* head);

void sort_rects_by_left(rect_record* head);
void sort_rects_by_top(rect_record* head);
short qsort_rects_by_left(rect_record* head);
short qsort_rects_by_top(rect_record* head);
short qsort_rects_by_right_desc(rect_record* head);

// Unlinks a record, frees it with both of its child rings, and returns the
// record before it (so that a walk goes on with that one's next).
rect_record* drop_rect(rect_record* record);
