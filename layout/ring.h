// Generic operations on the library's rings: circular doubly linked lists of
// pool records with a sentinel, named by a pointer to the sentinel.
//
//   ringMake        sentinel from the pool, linked to itself
//   ringLinkTail    links an existing record just before the sentinel
//   ringAppend      takes a record and links it at the tail (making the sentinel)
//   ringUnlink      takes a record out of its ring
//   ringDrop        unlinks a record, gives it back, returns its predecessor
//   ringCount       number of records (0 for a null head)
//   ringSplice      moves every record of one ring, in order, to another's tail
//   ringStableSort  insertion sort by one key, equal keys keep their order
//   ringFree        frees every record, then the sentinel, and nulls the head
//
// The field, line, recognition and rectangle rings are all this machinery;
// the named operations of field_rings.h and rect_rings.h are thin wrappers
// that add what each record kind needs on creation.
#pragma once

#include "layout/record_pool.h"

namespace layout {

template <typename T>
T* ringMake(RecordPool<T>& pool) {
  T* sentinel = pool.take();
  if (sentinel == nullptr) return nullptr;
  sentinel->prev = sentinel;
  sentinel->next = sentinel;
  return sentinel;
}

template <typename T>
void ringLinkTail(T* head, T* record) {
  record->prev = head->prev;
  record->next = head;
  head->prev->next = record;
  head->prev = record;
}

template <typename T>
void ringLinkAfter(T* where, T* record) {
  record->prev = where;
  record->next = where->next;
  where->next->prev = record;
  where->next = record;
}

template <typename T>
void ringUnlink(T* record) {
  record->prev->next = record->next;
  record->next->prev = record->prev;
  record->prev = record;
  record->next = record;
}

// Unlinks the record, returns it to its pool and returns the record before
// it, so that a walk goes on with that one's next.
template <typename T>
T* ringDrop(T* record, RecordPool<T>& pool) {
  T* before = record->prev;
  ringUnlink(record);
  pool.give(record);
  return before;
}

// Takes a record and links it at the tail of *head, making the sentinel
// first when *head is null (a sentinel made before a failed take stays).
template <typename T, typename Init>
T* ringAppend(T*& head, RecordPool<T>& pool, Init init) {
  if (head == nullptr) {
    T* sentinel = ringMake(pool);
    if (sentinel == nullptr) return nullptr;
    init(sentinel, true);
    head = sentinel;
  }
  T* record = pool.take();
  if (record == nullptr) return nullptr;
  init(record, false);
  ringLinkTail(head, record);
  return record;
}

template <typename T>
int ringCount(const T* head) {
  if (head == nullptr) return 0;
  int n = 0;
  for (const T* r = head->next; r != head; r = r->next) ++n;
  return n;
}

template <typename T>
bool ringEmpty(const T* head) {
  return head == nullptr || head->next == head;
}

// Moves all records of src (a sentinel) to the tail of dst (a sentinel), in
// order; src is left holding only its sentinel.
template <typename T>
void ringSplice(T* src, T* dst) {
  if (src->next == src) return;
  T* first = src->next;
  T* last = src->prev;
  first->prev = dst->prev;
  dst->prev->next = first;
  last->next = dst;
  dst->prev = last;
  src->next = src;
  src->prev = src;
}

// Calls freeRecord on every record (it may free what hangs below the record
// and must give the record back), then freeSentinel on the sentinel; the
// head becomes null.  A null head is left alone.
template <typename T, typename FreeRecord, typename FreeSentinel>
void ringFree(T*& head, FreeRecord freeRecord, FreeSentinel freeSentinel) {
  T* sentinel = head;
  if (sentinel == nullptr) return;
  for (T* r = sentinel->next; r != sentinel;) {
    T* next = r->next;
    freeRecord(r);
    r = next;
  }
  freeSentinel(sentinel);
  head = nullptr;
}

// Stable insertion sort, ascending by key (or descending with a reversed
// comparison): each record moves back past the records whose key is greater.
template <typename T, typename Greater>
void ringStableSort(T* head, Greater greater) {
  if (head == nullptr || head->next == head || head->next->next == head) return;
  T* record = head->next->next;
  while (record != head) {
    T* following = record->next;
    T* at = record->prev;
    while (at != head && greater(*at, *record)) at = at->prev;
    if (at != record->prev) {
      ringUnlink(record);
      ringLinkAfter(at, record);
    }
    record = following;
  }
}

template <typename T, typename Key>
void ringSortAscending(T* head, Key key) {
  ringStableSort(head, [&](const T& a, const T& b) { return key(a) > key(b); });
}

template <typename T, typename Key>
void ringSortDescending(T* head, Key key) {
  ringStableSort(head, [&](const T& a, const T& b) { return key(a) < key(b); });
}

}  // namespace layout
