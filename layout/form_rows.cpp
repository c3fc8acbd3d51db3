#include "layout/form_rows.h"

#include "layout/field_rings.h"
#include "layout/later_steps.h"
#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/ring.h"

#include <algorithm>
#include <numeric>
#include <vector>

using layout::kStatusDone;
using layout::kStatusNoMemory;

namespace {

int heightOf(const line_record& l) { return l.bottom - l.top + 1; }

bool horizontalText(const userfld& f) {
  return f.origin != 1 && f.params.byte(ParamBlock::kFieldKind) == layout::kFieldText &&
         f.params.byte(ParamBlock::kDirection) == 0 && !layout::ringEmpty(f.lines);
}

std::vector<line_record*> linesOf(userfld* f) {
  std::vector<line_record*> out;
  for (line_record* l = f->lines->next; l != f->lines; l = l->next) out.push_back(l);
  return out;
}

// Two lines at one height: they overlap by half the lower one.
bool sameRow(const line_record& a, const line_record& b) {
  const int overlap = std::min(a.bottom, b.bottom) - std::max(a.top, b.top) + 1;
  return 2 * overlap >= std::min(heightOf(a), heightOf(b));
}

int pairedLines(const std::vector<line_record*>& mine, const std::vector<line_record*>& other) {
  return static_cast<int>(std::count_if(mine.begin(), mine.end(), [&](const line_record* l) {
    return std::any_of(other.begin(), other.end(), [&](const line_record* o) { return sameRow(*l, *o); });
  }));
}

bool holdsItems(const std::vector<line_record*>& lines) {
  return std::all_of(lines.begin(), lines.end(), [](const line_record* l) {
    return l->right - l->left + 1 <= layout::kItemHeights * heightOf(*l);
  });
}

// `left` and `right` read as one form, row by row.
bool formPair(userfld* left, userfld* right) {
  if (left->right >= right->left) return false;
  const auto a = linesOf(left), b = linesOf(right);
  if (!holdsItems(a)) return false;
  const int pa = pairedLines(a, b), pb = pairedLines(b, a);
  const auto most = [](int paired, std::size_t n) { return paired >= 1 && 5 * paired >= 4 * static_cast<int>(n); };
  return most(pa, a.size()) && most(pb, b.size());
}

int findRoot(std::vector<int>& parent, int i) {
  while (parent[i] != i) i = parent[i] = parent[parent[i]];
  return i;
}

struct RowLine {
  line_record* line;
  userfld* field;
};

// One field per line of `group`, row by row and left to right, linked
// after `where`; the group's fields go.
short splitIntoRows(const std::vector<userfld*>& group, userfld* where) {
  std::vector<RowLine> lines;
  for (userfld* f : group)
    for (line_record* l : linesOf(f)) lines.push_back({l, f});
  std::stable_sort(lines.begin(), lines.end(), [](const RowLine& a, const RowLine& b) { return a.line->top < b.line->top; });
  // Rows, top down: a line joins the current row when it meets the row's
  // first line.
  std::vector<int> row(lines.size());
  std::size_t rowStart = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0 && !sameRow(*lines[rowStart].line, *lines[i].line)) rowStart = i;
    row[i] = static_cast<int>(rowStart);
  }
  std::vector<std::size_t> order(lines.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return row[a] != row[b] ? row[a] < row[b] : lines[a].line->left < lines[b].line->left;
  });
  // Each new field needs a line sentinel as well as its record.
  userfld* made = nullptr;
  for (std::size_t k : order) {
    const userfld& from = *lines[k].field;
    userfld* f = append_fld(&made);
    line_record* head = f != nullptr ? layout::ringMake(layout::pools().lines) : nullptr;
    if (head == nullptr) {
      free_fld_list(&made);
      return kStatusNoMemory;
    }
    line_record* line = lines[k].line;
    f->left = line->left;
    f->top = line->top;
    f->right = line->right;
    f->bottom = line->bottom;
    f->number = from.number;
    f->subNumber = from.subNumber;
    std::copy(std::begin(from.measures), std::end(from.measures), std::begin(f->measures));
    f->origin = from.origin;
    f->params = from.params;
    f->extra = from.extra;
    f->lines = head;
    f->blocks = nullptr;
    f->children = nullptr;
  }
  // Nothing can fail from here: move the lines over, then the fields.
  userfld* f = made->next;
  for (std::size_t k : order) {
    layout::ringUnlink(lines[k].line);
    layout::ringLinkTail(f->lines, lines[k].line);
    f = f->next;
  }
  while (!layout::ringEmpty(made)) {
    userfld* next = made->next;
    layout::ringUnlink(next);
    layout::ringLinkAfter(where, next);
    where = next;
  }
  free_fld_list(&made);
  for (userfld* old : group) {
    layout::ringUnlink(old);
    free_fld_tree(old);
  }
  return kStatusDone;
}

}  // namespace

short read_form_rows(userfld* fields) {
  if (fields == nullptr || layout::ringEmpty(fields)) return kStatusDone;
  std::vector<userfld*> candidates;
  for (userfld* f = fields->next; f != fields; f = f->next)
    if (horizontalText(*f)) candidates.push_back(f);
  const int n = static_cast<int>(candidates.size());
  std::vector<int> parent(n);
  std::iota(parent.begin(), parent.end(), 0);
  bool any = false;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      if (i != j && formPair(candidates[i], candidates[j])) {
        parent[findRoot(parent, i)] = findRoot(parent, j);
        any = true;
      }
  if (!any) return kStatusDone;
  std::vector<std::vector<userfld*>> groups(n);
  for (int i = 0; i < n; ++i) groups[findRoot(parent, i)].push_back(candidates[i]);
  for (auto& group : groups) {
    if (group.size() < 2) continue;
    // The new fields take the place of the group's first field in the
    // reading order (the candidates are in ring order).
    if (const short s = splitIntoRows(group, group.front()->prev); s != kStatusDone) return s;
  }
  number_fields_of_kind(fields, layout::kFieldText);
  return kStatusDone;
}
