// Field, text-line and recognition rings.
//
//   records      alloc_fld, alloc_recg, free_recg
//   building     append_fld, append_line, append_recg, add_fld_rect,
//                add_plain_fld, add_page_fld
//   freeing      free_fld_node, unlink_fld, free_fld_tree, free_fld_list,
//                move_fld_list, free_line_node, free_line_list,
//                free_recg_chain, free_recg_sublist, free_recg_list
//   copying      copy_fld_deep
//   host lists   create_userfld_ring, free_userfld_ring, free_Sfld_rings
//   queries      count_fld, find_fld_at_point, number_fld_kind
//   sorts        sort_fld_by_{top,left,right}, sort_line_by_top,
//                sort_recg_by_{top,left}  (stable, ascending)
//                sort_fld_by_right_desc, sort_line_by_right_desc
//   page         clip_rect_to_page
//
// All rings come from the record pools of the library state; creations
// return null (or -111) when a pool cannot grow, frees and sorts cannot fail
// and accept null heads.  The chains hung below recognition records are
// freed iteratively: rings of thousands of records occur.
#pragma once

#include "layout/records.h"
#include "layout/vulay30.h"  // alloc_recg, free_recg

userfld* alloc_fld();

userfld* append_fld(userfld** head);
line_record* append_line(line_record** head);
recg* append_recg(recg** head);

short add_fld_rect(userfld** head, int x1, int y1, int x2, int y2, short kind,
                   const ParamBlock* params, const ImageDesc* page);
short add_plain_fld(userfld** head, int x1, int y1, int x2, int y2);
short add_page_fld(userfld** head, const ParamBlock* params, const ImageDesc* page);

void free_fld_node(userfld* field);
userfld* unlink_fld(userfld* field);
void free_fld_tree(userfld* field);
void free_fld_list(userfld** head);
short move_fld_list(userfld** source, userfld** target);

void free_line_node(line_record* line);
void free_line_list(line_record** head);

void free_recg_chain(recg* ending, recg* first);
void free_recg_sublist(recg* first, recg* owner);
void free_recg_list(recg** head);

// Appends to *target a copy of `field` that owns copies of its text lines
// (with their character rings), character blocks and child fields, so that
// freeing either never touches the other.  Pieces hung below character
// records are not copied.  Null when memory runs out (nothing is left
// behind in *target but a sentinel made for it).
userfld* copy_fld_deep(const userfld* field, userfld** target);

// The host's own lists: records and sentinel go back to the pool, sub-lists
// are left alone.
void free_userfld_ring(userfld** head);
// Frees the host's list (without sub-lists), then Sfld and the ruled-line
// field list with everything below them.
void free_Sfld_rings(userfld** head);

short count_fld(const userfld* head);
userfld* find_fld_at_point(int x, int y, userfld* head);
void number_fld_kind(userfld* head, int kind);

void sort_fld_by_top(userfld* head);
void sort_fld_by_left(userfld* head);
void sort_fld_by_right(userfld* head);        // ascending
void sort_fld_by_right_desc(userfld* head);   // largest right edge first
void sort_line_by_top(line_record* head);
void sort_line_by_right_desc(line_record* head);
void sort_recg_by_top(recg* head);
void sort_recg_by_left(recg* head);

void clip_rect_to_page(Rect16* rect, const ImageDesc* page);
