// Field, text-line and recognition rings; see field_rings.h.
#include "layout/field_rings.h"

#include "layout/layout_hooks.h"
#include "layout/layout_overlay.h"
#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/ring.h"

#include <algorithm>

using layout::pools;
using layout::ringAppend;
using layout::ringCount;
using layout::ringSortAscending;
using layout::ringSortDescending;
using layout::ringUnlink;

userfld* alloc_fld() { return pools().fields.take(); }
extern "C" recg* alloc_recg() { return pools().recgs.take(); }
extern "C" void free_recg(recg* record) { pools().recgs.give(record); }

namespace {

void initRecg(recg* r, bool sentinel) {
  if (sentinel) {
    r->left = r->top = r->right = r->bottom = -1;  // 0xFFFF
  }
  r->code = -1;
  r->code2 = 0;
  r->sub = nullptr;
}

}  // namespace

userfld* append_fld(userfld** head) {
  return ringAppend(*head, pools().fields, [](userfld*, bool) {});
}

line_record* append_line(line_record** head) {
  return ringAppend(*head, pools().lines, [](line_record*, bool) {});
}

recg* append_recg(recg** head) { return ringAppend(*head, pools().recgs, initRecg); }

short add_fld_rect(userfld** head, int x1, int y1, int x2, int y2, short kind,
                   const ParamBlock* params, const ImageDesc* page) {
  userfld* field = append_fld(head);
  if (field == nullptr) return layout::kStatusNoMemory;
  field->left = static_cast<std::int16_t>(std::min(x1, x2));
  field->right = static_cast<std::int16_t>(std::max(x1, x2));
  field->top = static_cast<std::int16_t>(std::min(y1, y2));
  field->bottom = static_cast<std::int16_t>(std::max(y1, y2));
  field->number = kind;
  if (params != nullptr) field->params = *params;
  if (field->params.byte(ParamBlock::kCharBlocks) == 1 && layout::hooks().analyseUserRegion != nullptr) {
    if (layout::hooks().analyseUserRegion(field, page) == layout::kStatusNoMemory) {
      return layout::kStatusNoMemory;
    }
    // The analysis may rewrite the block; the field keeps the caller's.
    if (params != nullptr) field->params = *params;
  }
  return layout::kStatusDone;
}

short add_plain_fld(userfld** head, int x1, int y1, int x2, int y2) {
  userfld* field = append_fld(head);
  if (field == nullptr) return layout::kStatusNoMemory;
  field->left = static_cast<std::int16_t>(std::min(x1, x2));
  field->right = static_cast<std::int16_t>(std::max(x1, x2));
  field->top = static_cast<std::int16_t>(std::min(y1, y2));
  field->bottom = static_cast<std::int16_t>(std::max(y1, y2));
  field->number = -1;
  return layout::kStatusDone;
}

short add_page_fld(userfld** head, const ParamBlock* params, const ImageDesc* page) {
  const int dpi = page->dpi;
  const int margin = dpi * 15 * 4 / 100 / 10;  // 1.5 mm
  const int width = page->bytesPerRow * 8;
  const int height = page->height;
  const int marginX = width < dpi * 40 * 4 / 100 ? 0 : margin;   // 40 mm
  const int marginY = height < dpi * 20 * 4 / 100 ? 0 : margin;  // 20 mm
  return add_fld_rect(head, marginX, marginY, width - marginX, height - marginY, 1, params, page);
}

// ---------------------------------------------------------------- freeing

void free_fld_node(userfld* field) { pools().fields.give(field); }

userfld* unlink_fld(userfld* field) { return layout::ringDrop(field, pools().fields); }

void free_fld_tree(userfld* field) {
  if (field == nullptr) return;
  free_recg_list(&field->blocks);
  free_fld_list(&field->children);
  free_line_list(&field->lines);
  free_fld_node(field);
}

void free_fld_list(userfld** head) {
  layout::ringFree(*head, free_fld_tree, [](userfld* sentinel) {
    free_line_list(&sentinel->lines);
    free_recg_list(&sentinel->blocks);
    free_fld_list(&sentinel->children);
    free_fld_node(sentinel);
  });
}

short move_fld_list(userfld** source, userfld** target) {
  if (*source == nullptr) return layout::kStatusDone;
  if (!layout::ringEmpty(*source)) {
    if (*target == nullptr) {
      userfld* sentinel = layout::ringMake(pools().fields);
      if (sentinel == nullptr) return layout::kStatusNoMemory;
      *target = sentinel;
    }
    layout::ringSplice(*source, *target);
  }
  free_fld_list(source);
  return layout::kStatusDone;
}

void free_line_node(line_record* line) { pools().lines.give(line); }

void free_line_list(line_record** head) {
  auto freeLine = [](line_record* line) {
    free_recg_list(&line->boxes);
    free_recg_list(&line->chars);
    free_line_node(line);
  };
  layout::ringFree(*head, freeLine, freeLine);
}

void free_recg_chain(recg* ending, recg* first) {
  for (recg* r = first; r != nullptr && r != ending;) {
    recg* next = r->sub;
    free_recg(r);
    r = next;
  }
}

void free_recg_sublist(recg* first, recg* owner) {
  for (recg* r = first; r != nullptr && r != owner;) {
    recg* next = r->next;
    free_recg(r);
    r = next;
  }
  if (owner != nullptr) owner->sub = nullptr;
}

void free_recg_list(recg** head) {
  recg* sentinel = *head;
  layout::ringFree(
      *head,
      [sentinel](recg* r) {
        if (r->sub != nullptr) {
          if (r->code == -1) {
            free_recg_chain(sentinel, r->sub);
          } else if (r->code == kRecgJoined) {
            free_recg_sublist(r->sub, r);
          }
        }
        free_recg(r);
      },
      free_recg);
}

namespace {

bool copyRecgRing(const recg* source, recg** target) {
  if (source == nullptr) return true;
  for (const recg* r = source->next; r != source; r = r->next) {
    recg* copy = append_recg(target);
    if (copy == nullptr) return false;
    recg* prev = copy->prev;
    recg* next = copy->next;
    *copy = *r;
    copy->prev = prev;
    copy->next = next;
    copy->sub = nullptr;
  }
  return true;
}

bool copyLines(const line_record* source, line_record** target) {
  if (source == nullptr) return true;
  for (const line_record* l = source->next; l != source; l = l->next) {
    line_record* copy = append_line(target);
    if (copy == nullptr) return false;
    copy->left = l->left;
    copy->top = l->top;
    copy->right = l->right;
    copy->bottom = l->bottom;
    copy->work[0] = l->work[0];
    copy->work[1] = l->work[1];
    if (!copyRecgRing(l->boxes, &copy->boxes) || !copyRecgRing(l->chars, &copy->chars)) return false;
  }
  return true;
}

}  // namespace

userfld* copy_fld_deep(const userfld* field, userfld** target) {
  userfld* copy = append_fld(target);
  if (copy == nullptr) return nullptr;
  copy->left = field->left;
  copy->top = field->top;
  copy->right = field->right;
  copy->bottom = field->bottom;
  copy->number = field->number;
  copy->subNumber = field->subNumber;
  for (int i = 0; i < 4; ++i) copy->measures[i] = field->measures[i];
  copy->origin = field->origin;
  copy->params = field->params;
  copy->extra = field->extra;
  bool ok = copyLines(field->lines, &copy->lines) && copyRecgRing(field->blocks, &copy->blocks);
  if (ok && field->children != nullptr) {
    for (const userfld* c = field->children->next; ok && c != field->children; c = c->next) {
      ok = copy_fld_deep(c, &copy->children) != nullptr;
    }
  }
  if (!ok) {
    layout::ringUnlink(copy);
    free_fld_tree(copy);
    return nullptr;
  }
  return copy;
}

// A caller's ring: each record owns what hangs below it (see copy_fld_deep).
void free_userfld_ring(userfld** head) { layout::ringFree(*head, free_fld_tree, free_fld_node); }

void free_Sfld_rings(userfld** head) {
  auto& state = layout::layoutState();
  // The host may hand over Sfld's own head; free it once.
  if (head != nullptr && head != &state.Sfld && head != &state.ruleFields) {
    if (*head == state.Sfld || *head == state.ruleFields) {
      *head = nullptr;
    } else {
      free_userfld_ring(head);
    }
  }
  free_fld_list(&state.Sfld);
  free_fld_list(&state.ruleFields);
  layout::forget_layout_overlays();
}

// ---------------------------------------------------------------- queries

short count_fld(const userfld* head) { return static_cast<short>(ringCount(head)); }

userfld* find_fld_at_point(int x, int y, userfld* head) {
  if (head == nullptr) return nullptr;
  for (userfld* f = head->next; f != head; f = f->next) {
    if (f->left < x && x < f->right && f->top < y && y < f->bottom) return f;
  }
  return nullptr;
}

void number_fld_kind(userfld* head, int kind) {
  if (head == nullptr) return;
  std::int16_t n = 0;
  for (userfld* f = head->next; f != head; f = f->next) {
    if (f->params.byte(ParamBlock::kFieldKind) == kind) {
      f->number = ++n;
      f->subNumber = -1;
    }
  }
}

// ---------------------------------------------------------------- sorts

void sort_fld_by_top(userfld* h) { ringSortAscending(h, [](const userfld& r) { return r.top; }); }
void sort_fld_by_left(userfld* h) { ringSortAscending(h, [](const userfld& r) { return r.left; }); }
void sort_fld_by_right(userfld* h) { ringSortAscending(h, [](const userfld& r) { return r.right; }); }
void sort_fld_by_right_desc(userfld* h) { ringSortDescending(h, [](const userfld& r) { return r.right; }); }
void sort_line_by_top(line_record* h) { ringSortAscending(h, [](const line_record& r) { return r.top; }); }
void sort_line_by_right_desc(line_record* h) {
  ringSortDescending(h, [](const line_record& r) { return r.right; });
}
void sort_recg_by_top(recg* h) { ringSortAscending(h, [](const recg& r) { return r.top; }); }
void sort_recg_by_left(recg* h) { ringSortAscending(h, [](const recg& r) { return r.left; }); }

void clip_rect_to_page(Rect16* rect, const ImageDesc* page) {
  const int width = page->bytesPerRow * 8;
  if (rect->left < 0) rect->left = 0;
  if (rect->top < 0) rect->top = 0;
  if (rect->right >= width) rect->right = static_cast<std::int16_t>(width - 1);
  if (rect->bottom >= page->height) rect->bottom = static_cast<std::int16_t>(page->height - 1);
}
