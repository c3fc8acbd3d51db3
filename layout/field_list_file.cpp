// Field-list files between rings and disk; see field_list_file.h.
//
// Saving turns the rings into the codec's plain contents and writes the
// bytes beside the target before renaming them over it.  Loading reads the
// whole file (refusing one larger than any page's lists), decodes it, builds
// new rings from the contents and only then swaps them in, so that a file
// that ends early, claims more than it holds or runs the pools dry leaves
// the caller's ring, Sfld and the ruled-line list untouched.
#include "layout/field_list_file.h"

#include "layout/field_list_file_codec.h"
#include "layout/field_rings.h"
#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/ring.h"
#include "platform/file_ops.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace layout {

namespace {

// ---------------------------------------------------------------- rings -> contents

FldChar charOf(const recg& r) { return {r.left, r.top, r.right, r.bottom, r.code, r.code2}; }

void chars(const recg* head, std::vector<FldChar>* out) {
  if (head == nullptr) return;
  for (const recg* r = head->next; r != head; r = r->next) out->push_back(charOf(*r));
}

// A field's own values, between a ring record and the file's contents (both
// name them alike).
template <typename From, typename To>
void copyScalars(const From& f, To* n) {
  n->left = f.left;
  n->top = f.top;
  n->right = f.right;
  n->bottom = f.bottom;
  n->number = f.number;
  n->subNumber = f.subNumber;
  std::memcpy(n->measures, f.measures, sizeof n->measures);
  n->origin = f.origin;
  n->params = f.params;
}

void tree(const userfld* head, std::vector<FldNode>* out) {
  if (head == nullptr) return;
  for (const userfld* f = head->next; f != head; f = f->next) {
    FldNode& n = out->emplace_back();
    copyScalars(*f, &n);
    chars(f->blocks, &n.blocks);
    tree(f->children, &n.children);
    if (f->lines != nullptr) {
      for (const line_record* l = f->lines->next; l != f->lines; l = l->next) {
        FldLine& line = n.lines.emplace_back();
        line.left = l->left;
        line.top = l->top;
        line.right = l->right;
        line.bottom = l->bottom;
        line.work[0] = l->work[0];
        line.work[1] = l->work[1];
        chars(l->boxes, &line.boxes);  // the recognised characters are not kept
      }
    }
  }
}

// The header keeps the caller's records and their children as record
// images only: their lines and blocks are not part of it.
void callerRecords(const userfld* head, std::vector<FldNode>* out) {
  if (head == nullptr) return;
  for (const userfld* f = head->next; f != head; f = f->next) {
    FldNode& n = out->emplace_back();
    copyScalars(*f, &n);
    if (f->children != nullptr) {
      for (const userfld* c = f->children->next; c != f->children; c = c->next) {
        copyScalars(*c, &n.children.emplace_back());
      }
    }
  }
}

// ---------------------------------------------------------------- contents -> rings

bool buildChars(const std::vector<FldChar>& from, recg** head) {
  for (const FldChar& c : from) {
    recg* r = append_recg(head);
    if (r == nullptr) return false;
    r->left = c.left;
    r->top = c.top;
    r->right = c.right;
    r->bottom = c.bottom;
    r->code = c.code;
    r->code2 = c.code2;
  }
  return true;
}

userfld* buildField(const FldNode& n, userfld** head) {
  userfld* f = append_fld(head);
  if (f != nullptr) copyScalars(n, f);
  return f;
}

bool buildTree(const std::vector<FldNode>& from, userfld** head) {
  for (const FldNode& n : from) {
    userfld* f = buildField(n, head);
    if (f == nullptr || !buildChars(n.blocks, &f->blocks) || !buildTree(n.children, &f->children)) return false;
    for (const FldLine& fl : n.lines) {
      line_record* l = append_line(&f->lines);
      if (l == nullptr) return false;
      l->left = fl.left;
      l->top = fl.top;
      l->right = fl.right;
      l->bottom = fl.bottom;
      l->work[0] = fl.work[0];
      l->work[1] = fl.work[1];
      if (!buildChars(fl.boxes, &l->boxes)) return false;
    }
  }
  return true;
}

bool buildCallerRecords(const std::vector<FldNode>& from, userfld** head) {
  for (const FldNode& n : from) {
    userfld* f = buildField(n, head);
    if (f == nullptr) return false;
    for (const FldNode& c : n.children) {
      if (buildField(c, &f->children) == nullptr) return false;
    }
  }
  return true;
}

// Rings built aside; freed unless handed over.
struct BuiltRings {
  userfld* caller = nullptr;
  userfld* sfld = nullptr;
  userfld* rules = nullptr;
  ~BuiltRings() {
    free_fld_list(&caller);
    free_fld_list(&sfld);
    free_fld_list(&rules);
  }
};

}  // namespace

FieldListSet libraryFieldLists() {
  LibraryState& s = layoutState();
  return {&s.inputFields, &s.Sfld, &s.ruleFields};
}

short save_fld_file(const userfld* callerRing, std::string_view callerText, std::uint16_t callerWord,
                    const FieldListSet* set, const std::string& path) {
  if (set == nullptr || set->sfld == nullptr || set->ruleFields == nullptr) return kStatusNoFieldList;
  FldFileContents contents;
  contents.text.assign(callerText);
  contents.callerWord = callerWord;
  callerRecords(callerRing, &contents.callerRecords);
  tree(*set->sfld, &contents.sfld);
  tree(*set->ruleFields, &contents.ruleFields);
  std::string bytes;
  if (encodeFldFile(contents, &bytes) != FldCodecStatus::Ok) return kStatusFileWrite;
  switch (platform::writeFileReplacing(
      path, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()})) {
    case platform::ReplaceStage::Done:
      return kStatusDone;
    case platform::ReplaceStage::Create:
      return kStatusFileOpen;
    case platform::ReplaceStage::Write:
      return kStatusFileWrite;
    case platform::ReplaceStage::Finish:
      break;
  }
  return kStatusFileClose;
}

short load_fld_file(userfld** callerRing, char* textBuffer, std::size_t textCapacity, std::uint16_t* callerWord,
                    const FieldListSet* set, const std::string& path, bool loadLists) {
  if (set == nullptr || set->sfld == nullptr || set->ruleFields == nullptr) return kStatusNoFieldList;
  std::vector<std::uint8_t> bytes;
  const int error = platform::readFileCapped(path, kFldMaxFileBytes, &bytes);
  if (error == EFBIG) return kStatusFileRead;
  if (error != 0) return kStatusFileOpen;

  FldFileContents contents;
  // Without a buffer the text is skipped, whatever its length.
  const std::size_t capacity = textBuffer != nullptr ? textCapacity : SIZE_MAX;
  if (decodeFldFile(bytes, capacity, loadLists, &contents) != FldCodecStatus::Ok) return kStatusFileRead;

  BuiltRings built;
  if (!buildCallerRecords(contents.callerRecords, &built.caller) ||
      (loadLists && (!buildTree(contents.sfld, &built.sfld) || !buildTree(contents.ruleFields, &built.rules)))) {
    return kStatusNoMemory;
  }
  // The only step of the hand-over that can fail comes first.
  if (*callerRing == nullptr && !ringEmpty(built.caller)) {
    *callerRing = ringMake(pools().fields);
    if (*callerRing == nullptr) return kStatusNoMemory;
  }
  if (built.caller != nullptr) ringSplice(built.caller, *callerRing);
  if (loadLists) {
    if (set->templateFields != nullptr) free_fld_list(set->templateFields);
    free_fld_list(set->sfld);
    free_fld_list(set->ruleFields);
    std::swap(*set->sfld, built.sfld);
    std::swap(*set->ruleFields, built.rules);
  }
  if (textBuffer != nullptr) {
    std::memcpy(textBuffer, contents.text.data(), contents.text.size());
    textBuffer[contents.text.size()] = '\0';
  }
  if (callerWord != nullptr) *callerWord = contents.callerWord;
  return kStatusDone;
}

}  // namespace layout
