#pragma once
// The entry clipboard block: where each copied document was and what it was
// called, never its data. Paste finds each document again by its title in
// its source folder's catalogue.
//
//   EncodeEntryBlock  4-byte count, then 480-byte entries (Shift-JIS strings)
//   DecodeEntryBlock  the block as outside input: bounded count, strings cut
//                     inside their slots, titles and folders checked
//
// The byte layout is kept so that two running desktops exchange documents
// through the clipboard under kEntryClipboardMime.

#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* kEntryClipboardMime = "application/x-zrvvaziri3cbformat";

struct ClipboardEntry {
  std::string folder;  // UTF-8, ends in '/'
  int kind = 0;        // 0 single item; any other value a stack
  std::string title;   // UTF-8; stack title or item title without extension
  std::string ext;     // UTF-8; empty for a stack
};

namespace entryblock {
inline constexpr std::size_t kHeader = 4;
inline constexpr std::size_t kEntrySize = 480;
inline constexpr std::size_t kFolderOffset = 0, kFolderSize = 264;
inline constexpr std::size_t kKindOffset = 264;
inline constexpr std::size_t kTitleOffset = 268, kTitleSize = 201;
inline constexpr std::size_t kExtOffset = 469, kExtSize = 9;
}  // namespace entryblock

// allocated: slots reserved (at least entries.size()); unused slots are zero.
// An entry whose text does not fit its slot in Shift-JIS is left out.
std::string EncodeEntryBlock(const std::vector<ClipboardEntry>& entries, std::size_t allocated);

// The entries that pass the checks; an entry that fails is dropped (the
// others still paste). False when the block itself is unusable.
bool DecodeEntryBlock(std::string_view block, std::vector<ClipboardEntry>& entries);
