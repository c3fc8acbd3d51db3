// Field-list files (".lyt"): the state of a layout run saved and loaded
// (the caller's own field ring with its caller text and word, Sfld and the
// ruled-line field list with everything below them).  The bytes are
// field_list_file_codec's; this file moves them between rings and disk.
//
//   save_fld_file     writes a file beside the target and renames it over it
//   load_fld_file     reads a file; nothing changes unless all of it is read
//   libraryFieldLists the library's three lists as a set
#pragma once

#include "layout/records.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace layout {

// A page's field lists take a few hundred kilobytes; anything far larger is
// refused before it is read.
inline constexpr std::size_t kFldMaxFileBytes = 32u << 20;
// The caller-text buffer that LoadFldFromFile writes into (terminator
// included); SaveFldToFile keeps no more of a text than that reads back.
inline constexpr std::size_t kFldExportTextCapacity = 256;

// The three field lists a field-list file belongs to, in the library's
// order: the current template field list, Sfld, the ruled-line field list.
struct FieldListSet {
  userfld** templateFields = nullptr;
  userfld** sfld = nullptr;
  userfld** ruleFields = nullptr;
};

FieldListSet libraryFieldLists();

// 1; -150 no list set; -121 the file cannot be created; -122 a write failed
// or a ring is too long for its count word; -124 finishing the file failed.
// The template field list of the set is not saved.  A failed save leaves
// the old file as it was.
short save_fld_file(const userfld* callerRing, std::string_view callerText, std::uint16_t callerWord,
                    const FieldListSet* set, const std::string& path);

// Reads a file.  The caller text goes to textBuffer, NUL-terminated (a text
// that does not fit textCapacity bytes with its terminator refuses the
// file; a null buffer skips the text), the caller word to *callerWord (may
// be null).  The header's records, with their children, are appended to
// *callerRing.  With loadLists, the three lists of the set are freed and
// Sfld and the ruled-line list take the file's two trees.
// 1; -150 no list set; -121 cannot open; -123 short, oversized or damaged;
// -111 memory.  On failure every ring, the buffer and the word are left as
// they were: the rings are built aside and swapped in at the end.
short load_fld_file(userfld** callerRing, char* textBuffer, std::size_t textCapacity, std::uint16_t* callerWord,
                    const FieldListSet* set, const std::string& path, bool loadLists);

}  // namespace layout
