// Ruled-line rings and the cell search; see keisen_lists.h.
#include "layout/keisen_lists.h"

#include "layout/record_pool.h"

#include <cstdlib>

namespace {

Keisen* newLine() {
  if (!layout::PoolFaults::allow()) return nullptr;
  return static_cast<Keisen*>(std::calloc(1, sizeof(Keisen)));
}

Keisen* appendLine(Keisen** head) {
  if (*head == nullptr) {
    Keisen* sentinel = newLine();
    if (sentinel == nullptr) return nullptr;
    sentinel->next = sentinel->prev = sentinel;
    *head = sentinel;
  }
  Keisen* line = newLine();
  if (line == nullptr) return nullptr;
  Keisen* sentinel = *head;
  line->valid = 1;
  line->prev = sentinel->prev;
  line->next = sentinel;
  sentinel->prev->next = line;
  sentinel->prev = line;
  return line;
}

void freeLines(Keisen** head) {
  Keisen* sentinel = *head;
  if (sentinel == nullptr) return;
  for (Keisen* k = sentinel->next; k != sentinel;) {
    Keisen* next = k->next;
    std::free(k);
    k = next;
  }
  std::free(sentinel);
  *head = nullptr;
}

int countLines(const Keisen* head) {
  if (head == nullptr) return 0;
  int n = 0;
  for (const Keisen* k = head->next; k != head; k = k->next) ++n;
  return n;
}

bool spans(int v, int from, int to) { return from <= v && v <= to; }

}  // namespace

Keisen* append_hline(Keisen** head) { return appendLine(head); }
Keisen* append_vline(Keisen** head) { return appendLine(head); }
void free_hline_list(Keisen** head) { freeLines(head); }
void free_vline_list(Keisen** head) { freeLines(head); }
int count_hlines(const Keisen* head) { return countLines(head); }
int count_vlines(const Keisen* head) { return countLines(head); }

Keisen* drop_keisen(Keisen* line) {
  Keisen* before = line->prev;
  line->prev->next = line->next;
  line->next->prev = line->prev;
  std::free(line);
  return before;
}

namespace {

template <typename Key>
void sortLines(Keisen* head, Key key) {
  if (head == nullptr || head->next == head) return;
  Keisen* line = head->next->next;
  while (line != head) {
    Keisen* following = line->next;
    Keisen* at = line->prev;
    while (at != head && key(at) > key(line)) at = at->prev;
    if (at != line->prev) {
      line->prev->next = line->next;
      line->next->prev = line->prev;
      line->prev = at;
      line->next = at->next;
      at->next->prev = line;
      at->next = line;
    }
    line = following;
  }
}

}  // namespace

void sort_hlines(Keisen* head) { sortLines(head, [](const Keisen* k) { return k->c; }); }
void sort_vlines(Keisen* head) { sortLines(head, [](const Keisen* k) { return k->a; }); }

int find_keisen_cell(int x, int y, const Keisen* horizontal, const Keisen* vertical, Rect16* cell) {
  auto set = [cell](int l, int t, int r, int b) {
    cell->left = static_cast<std::int16_t>(l);
    cell->top = static_cast<std::int16_t>(t);
    cell->right = static_cast<std::int16_t>(r);
    cell->bottom = static_cast<std::int16_t>(b);
    return 1;
  };
  if (horizontal == nullptr) return 0;
  // Bottom: the first line at or below the point that spans it.
  const Keisen* bottom = nullptr;
  for (const Keisen* k = horizontal->next; k != horizontal; k = k->next) {
    if (k->c >= y && spans(x, k->a, k->b)) {
      bottom = k;
      break;
    }
  }
  if (bottom == nullptr) return 0;
  // Top: the nearest line above the point that spans it.
  const Keisen* top = nullptr;
  for (const Keisen* k = bottom->prev; k != horizontal; k = k->prev) {
    if (k->c < y && spans(x, k->a, k->b)) {
      top = k;
      break;
    }
  }
  if (top == nullptr) return set(bottom->a, y, bottom->b, bottom->c);
  if (vertical == nullptr) return 0;
  const Keisen* right = nullptr;
  for (const Keisen* k = vertical->next; k != vertical; k = k->next) {
    if (k->a >= x && spans(y, k->b, k->c)) {
      right = k;
      break;
    }
  }
  if (right != nullptr && right == vertical->next) return set(bottom->a, top->c, right->a, bottom->c);
  const Keisen* left = nullptr;
  for (const Keisen* k = right != nullptr ? right->prev : vertical->prev; k != vertical; k = k->prev) {
    if (k->a < x && spans(y, k->b, k->c)) {
      left = k;
      break;
    }
  }
  if (left != nullptr && right != nullptr) return set(left->a, top->c, right->a, bottom->c);
  if (right != nullptr) return set(top->a, top->c, right->a, bottom->c);
  if (left != nullptr) return set(left->a, top->c, top->b, bottom->c);
  return set(bottom->a, top->c, bottom->b, bottom->c);
}
