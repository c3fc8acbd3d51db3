// Mixed-direction pages: a page analysed as vertical writing may hold
// horizontal passages (titles, captions, notes).  Each result field is judged
// from its own characters; horizontal fields near each other become one, and
// each horizontal field is laid out again as a horizontal area, its fields
// taking its place.  At the end the fields are numbered 1..n in ring order.
//
//   split_mixed_fields       the whole pass
//   decide_field_direction   sets the field's direction byte: 1 vertical, 0 horizontal
//   merge_hFields_near       horizontal fields within 1.4 characters join
//   absorb_near_fields       a horizontal field takes small neighbours in
//   copy_field_chars         the character boxes of a field as rectangles
//   reanalyse_hField         one horizontal field through the region analysis
//
// Fields of form byte 255 (tables) are left alone.  Each routine returns 1,
// or -111 when memory runs out; fields already replaced stay replaced and
// the ring stays whole.
#pragma once

#include "layout/layout_context.h"

#include <array>

short split_mixed_fields(layout::ResultLists* result, const std::array<ImageDesc, 5>* images);
short decide_field_direction(userfld* field, const ImageDesc& page);
void merge_hFields_near(userfld* fields);
void absorb_near_fields(userfld* fields);
short copy_field_chars(const userfld* field, rect_record** ring);
short reanalyse_hField(userfld* field, layout::ResultLists* result, const std::array<ImageDesc, 5>* images);
