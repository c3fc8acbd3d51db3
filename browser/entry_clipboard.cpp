#include "browser/entry_clipboard.h"

#include "catalogue/catalogue_text.h"
#include "platform/sjis_codec.h"

#include <cstdint>
#include <cstring>
#include <optional>

namespace {

using namespace entryblock;

bool putString(std::string& block, std::size_t at, std::size_t slot, const std::string& utf8) {
  const std::optional<std::string> sjis = platform::toCp932(utf8);
  if (!sjis || sjis->size() >= slot) return false;  // the NUL must fit too
  std::memcpy(block.data() + at, sjis->data(), sjis->size());
  return true;
}

// The slot's text up to its first NUL, or up to the slot's end less one byte
// when a writer left none.
std::string getString(std::string_view block, std::size_t at, std::size_t slot) {
  std::string_view bytes = block.substr(at, slot - 1);
  const std::size_t end = bytes.find('\0');
  if (end != std::string_view::npos) bytes = bytes.substr(0, end);
  return platform::fromCp932(bytes);
}

void putInt(std::string& block, std::size_t at, std::int32_t value) {
  const auto u = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) block[at + i] = static_cast<char>((u >> (8 * i)) & 0xff);
}

std::int32_t getInt(std::string_view block, std::size_t at) {
  std::uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(static_cast<unsigned char>(block[at + i])) << (8 * i);
  return static_cast<std::int32_t>(u);
}

}  // namespace

std::string EncodeEntryBlock(const std::vector<ClipboardEntry>& entries, std::size_t allocated) {
  if (allocated < entries.size()) allocated = entries.size();
  std::string block(kHeader + kEntrySize * allocated, '\0');
  std::int32_t written = 0;
  for (const ClipboardEntry& entry : entries) {
    const std::size_t at = kHeader + kEntrySize * static_cast<std::size_t>(written);
    std::string slot(kEntrySize, '\0');
    if (!putString(slot, kFolderOffset, kFolderSize, entry.folder) || !putString(slot, kTitleOffset, kTitleSize, entry.title) ||
        !putString(slot, kExtOffset, kExtSize, entry.kind != 0 ? std::string() : entry.ext))
      continue;
    putInt(slot, kKindOffset, entry.kind != 0 ? 1 : 0);
    block.replace(at, kEntrySize, slot);
    ++written;
  }
  putInt(block, 0, written);
  return block;
}

bool DecodeEntryBlock(std::string_view block, std::vector<ClipboardEntry>& entries) {
  entries.clear();
  if (block.size() < kHeader) return false;
  const std::int32_t count = getInt(block, 0);
  const std::size_t room = (block.size() - kHeader) / kEntrySize;
  if (count < 0 || static_cast<std::size_t>(count) > room) return false;
  for (std::int32_t i = 0; i < count; ++i) {
    const std::string_view slot = block.substr(kHeader + kEntrySize * static_cast<std::size_t>(i), kEntrySize);
    ClipboardEntry entry;
    entry.folder = getString(slot, kFolderOffset, kFolderSize);
    entry.kind = getInt(slot, kKindOffset) != 0 ? 1 : 0;
    entry.title = getString(slot, kTitleOffset, kTitleSize);
    entry.ext = entry.kind != 0 ? std::string() : getString(slot, kExtOffset, kExtSize);
    // A folder must be absolute and end in its separator; names may not
    // step out of the folder.
    const bool folderOk = entry.folder.size() >= 2 && entry.folder.front() == '/' && entry.folder.back() == '/' &&
                          entry.folder.find("/../") == std::string::npos;
    const bool titleOk = catalogue::isValidTitle(entry.title) && entry.title.find('/') == std::string::npos;
    const bool extOk = entry.kind != 0 || entry.ext.empty() || (catalogue::isValidExtension(entry.ext) && entry.ext.find('/') == std::string::npos);
    if (folderOk && titleOk && extOk) entries.push_back(std::move(entry));
  }
  return true;
}
