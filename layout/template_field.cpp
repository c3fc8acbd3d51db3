// Field entry of a per-template file; see template_field.h.
//
// Layout: rectangle (0-7); 50 character-block rectangles (8-407) and their
// count (408); 50 child rectangles (410-809) and their count (810); the
// field's number and sub-number (812); then settings taken from the
// parameter block (816-840); zeros to the end.
#include "layout/template_field.h"

namespace {

void put16(TemplateFieldEntry& e, int at, int v) {
  e[static_cast<std::size_t>(at)] = static_cast<std::uint8_t>(v & 0xFF);
  e[static_cast<std::size_t>(at) + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

template <typename R>
void putRect(TemplateFieldEntry& e, int at, const R& r) {
  put16(e, at, r.left);
  put16(e, at + 2, r.top);
  put16(e, at + 4, r.right);
  put16(e, at + 6, r.bottom);
}

constexpr int kMaxRects = 50;

}  // namespace

short fld_to_template_field(const userfld* field, TemplateFieldEntry* entry) {
  TemplateFieldEntry& e = *entry;
  e.fill(0);
  const ParamBlock& p = field->params;
  putRect(e, 0, *field);
  int blocks = 0;
  if (p.byte(ParamBlock::kCharBlocks) == 1 && field->blocks != nullptr) {
    for (const recg* r = field->blocks->next; r != field->blocks && blocks < kMaxRects; r = r->next) {
      putRect(e, 8 + 8 * blocks++, *r);
    }
  }
  put16(e, 408, blocks);
  int children = 0;
  if (field->children != nullptr) {
    for (const userfld* c = field->children->next; c != field->children && children < kMaxRects; c = c->next) {
      putRect(e, 410 + 8 * children++, *c);
    }
  }
  put16(e, 810, children);
  put16(e, 812, field->number);
  put16(e, 814, field->subNumber);
  put16(e, 816, p.word(ParamBlock::kLanguageWord));
  put16(e, 818, p.word(ParamBlock::kTierCount));
  e[820] = 1;
  e[821] = p.byte(1);
  e[822] = 1;
  e[823] = p.byte(ParamBlock::kForm);
  e[824] = 0;
  e[825] = p.byte(7);
  e[826] = p.byte(8);
  for (int i = 0; i < 8; ++i) e[static_cast<std::size_t>(827 + i)] = p.byte(10 + i);
  e[835] = p.byte(22);
  put16(e, 836, p.word(ParamBlock::kCharKindMask));
  e[838] = p.byte(9);
  e[839] = p.byte(20);
  e[840] = p.byte(21);
  return 1;
}
