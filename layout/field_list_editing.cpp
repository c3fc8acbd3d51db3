// Editing Sfld by field number; see field_list_editing.h.
#include "layout/field_list_editing.h"

#include "layout/field_rings.h"
#include "layout/layout_overlay.h"
#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/ring.h"

namespace {

constexpr std::int8_t kStateMerge = -1;
constexpr std::int8_t kStateSkip = -9;
constexpr std::uint8_t kKindFrame = 0x32;    // '2': the frame round an analysed region
constexpr std::uint8_t kKindPlaced = 10;     // a field placed without analysis

std::int8_t stateOf(const userfld* f) { return f->params.signedByte(ParamBlock::kForm); }
std::uint8_t kindOf(const userfld* f) { return f->params.byte(ParamBlock::kFieldKind); }

bool opensRun(const userfld* f) {
  return stateOf(f) == kStateMerge || stateOf(f) == kStateSkip || kindOf(f) == kKindFrame;
}

userfld*& sfld() { return layout::layoutState().Sfld; }

// Calls visit(number, span) for each field of the ring until it returns true.
template <typename Visit>
bool forEachField(const userfld* head, Visit visit) {
  if (head == nullptr || head->next == nullptr) return false;
  int number = 0;
  for (userfld* r = head->next; r != head;) {
    const FieldSpan span = next_field_span(head, r);
    if (visit(++number, span)) return true;
    r = span.last->next;
  }
  return false;
}

FieldSpan findField(const userfld* head, int n) {
  FieldSpan found;
  forEachField(head, [&](int number, const FieldSpan& span) {
    if (number != n) return false;
    found = span;
    return true;
  });
  return found;
}

// Takes first..last out of their ring as an open chain.
void cutOut(const FieldSpan& span) {
  span.first->prev->next = span.last->next;
  span.last->next->prev = span.first->prev;
  span.first->prev = nullptr;
  span.last->next = nullptr;
}

void linkAfter(userfld* where, const FieldSpan& span) {
  userfld* after = where->next;
  where->next = span.first;
  span.first->prev = where;
  span.last->next = after;
  after->prev = span.last;
}

}  // namespace

FieldSpan next_field_span(const userfld* head, userfld* record) {
  FieldSpan span{record, record};
  if (!opensRun(record)) return span;
  const bool headOnly = stateOf(record) == kStateSkip || kindOf(record) == kKindFrame;
  int prevNumber = 0;
  int prevSub = 0;
  for (userfld* r = headOnly ? record->next : record; r != head; r = r->next) {
    if (r->number < prevNumber) break;
    if (r->number == prevNumber && r->subNumber < prevSub) break;
    if (r->subNumber < 0 || stateOf(r) == kStateSkip || kindOf(r) == kKindFrame) break;
    prevNumber = r->number;
    prevSub = r->subNumber;
    span.last = r;
  }
  return span;
}

short count_userfld(const userfld* head) {
  short n = 0;
  forEachField(head, [&](int, const FieldSpan&) {
    ++n;
    return false;
  });
  return n;
}

userfld* find_fld_end(int n) {
  userfld* head = sfld();
  if (head == nullptr) return nullptr;
  const FieldSpan span = findField(head, n);
  return span.last != nullptr ? span.last : head;
}

short delete_fld(int n) {
  auto& state = layout::layoutState();
  if (state.Sfld == nullptr) return layout::kStatusNothing;
  const FieldSpan span = findField(state.Sfld, n);
  if (span.first == nullptr) return layout::kStatusNothing;
  cutOut(span);
  // The whole field goes, with its lines, blocks and children.
  for (userfld* r = span.first; r != nullptr;) {
    userfld* next = r->next;
    free_fld_tree(r);
    r = next;
  }
  if (layout::ringEmpty(state.Sfld)) {
    free_fld_list(&state.Sfld);
    free_fld_list(&state.ruleFields);
    layout::forget_layout_overlays();
  }
  return layout::kStatusDone;
}

short exchange_fld(int a, int b) {
  userfld* head = sfld();
  if (head == nullptr) return layout::kStatusNothing;
  FieldSpan fieldA;
  FieldSpan fieldB;
  forEachField(head, [&](int number, const FieldSpan& span) {
    if (number == a) fieldA = span;
    if (number == b) fieldB = span;
    return fieldA.first != nullptr && fieldB.first != nullptr;
  });
  if (fieldA.first == nullptr || fieldB.first == nullptr) return layout::kStatusNothing;
  if (a == b) return layout::kStatusDone;
  cutOut(fieldB);
  linkAfter(b < a ? fieldA.last : fieldA.first->prev, fieldB);
  return layout::kStatusDone;
}

short change_fld_form(const userfld* source, int n, int selector) {
  userfld* head = sfld();
  if (head == nullptr || source == nullptr) return layout::kStatusNothing;
  const FieldSpan span = findField(head, n);
  if (span.first == nullptr) return layout::kStatusNothing;
  auto copy = [&](userfld* f) {
    ParamBlock& to = f->params;
    const ParamBlock& from = source->params;
    switch (selector) {
      case 1:
        to.setWord(ParamBlock::kLanguageWord, from.word(ParamBlock::kLanguageWord));
        break;
      case 2:
        to.setByte(ParamBlock::kBlankOutput, from.byte(ParamBlock::kBlankOutput));
        break;
      case 4:
        to.setByte(ParamBlock::kLineEnds, from.byte(ParamBlock::kLineEnds));
        break;
      case 5:
        to.setWord(ParamBlock::kCharKindMask, from.word(ParamBlock::kCharKindMask));
        break;
      default:
        break;
    }
  };
  userfld* r = span.first;
  if (span.first != span.last || opensRun(span.first)) {
    // A run's head that only opens it (-9 or a frame) is not one of its members.
    if (stateOf(r) == kStateSkip || kindOf(r) == kKindFrame) r = r == span.last ? nullptr : r->next;
  }
  for (; r != nullptr; r = r == span.last ? nullptr : r->next) copy(r);
  return layout::kStatusDone;
}

short copy_userfld_list(userfld** source, userfld** target, int n) {
  if (*source == nullptr) return layout::kStatusDone;
  if (layout::ringEmpty(*source)) {
    free_fld_list(source);
    return layout::kStatusDone;
  }
  if (*target == nullptr) {
    userfld* sentinel = layout::ringMake(layout::pools().fields);
    if (sentinel == nullptr) return layout::kStatusNoMemory;
    *target = sentinel;
  }
  userfld* at = *target;
  if (n != 0) {
    const FieldSpan span = findField(*target, n);
    if (span.last != nullptr) at = span.last;
  }
  // Move the records, in order, right after the insertion point.
  userfld* src = *source;
  const FieldSpan moved{src->next, src->prev};
  src->next = src->prev = src;
  linkAfter(at, moved);
  free_fld_list(source);
  return layout::kStatusDone;
}

short delete_passthrough_fld(int n) {
  userfld* head = sfld();
  if (head == nullptr) return layout::kStatusNothing;
  int number = 0;
  for (userfld* r = head->next; r != head; r = r->next) {
    if (++number != n) continue;
    if (kindOf(r) != kKindPlaced) return layout::kStatusNothing;
    layout::ringUnlink(r);
    free_fld_tree(r);
    return layout::kStatusDone;
  }
  return layout::kStatusNothing;
}
