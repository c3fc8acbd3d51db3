// Editing the result field list Sfld by field number.
//
//   next_field_span        the records that make up the field starting at a record
//   count_userfld          number of fields of a ring
//   find_fld_end           the last record of field n
//   delete_fld             DeleteFld
//   exchange_fld           ExchangeFld
//   change_fld_form        ChangeFldForm
//   copy_userfld_list      moves a ring's records into Sfld after field n
//   delete_passthrough_fld removes record n when it was placed without analysis
//
// Numbering: fields count from 1 in ring order.  A record whose state byte
// (parameter byte 3) is neither -1 nor -9 and whose kind (byte 8) is not the
// region frame '2' is a field of its own.  Any other record opens a merge
// run, which the result output turns into one field and which therefore
// takes one number: its members follow while their (number, sub-number)
// keys do not decrease, their sub-number is not negative, and they neither
// are frames nor are skipped (-9).  Numbers are never stored; they follow
// from ring order, so every operation here agrees on them.
#pragma once

#include "layout/records.h"

struct FieldSpan {
  userfld* first = nullptr;
  userfld* last = nullptr;
};

FieldSpan next_field_span(const userfld* head, userfld* record);
short count_userfld(const userfld* head);
userfld* find_fld_end(int n);
short delete_fld(int n);
short exchange_fld(int a, int b);
short change_fld_form(const userfld* source, int n, int selector);
short copy_userfld_list(userfld** source, userfld** target, int n);
short delete_passthrough_fld(int n);
