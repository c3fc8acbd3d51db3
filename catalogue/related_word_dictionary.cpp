#include "catalogue/related_word_dictionary.h"

#include "catalogue/full_width.h"
#include "platform/paths.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <new>
#include <optional>
#include <vector>

using namespace relatedword;

namespace {

constexpr const char* kMsgNoMemory = "警告：関連語辞書を使用するためのメモリが足りません";
constexpr const char* kMsgNotFound = "警告：関連語辞書が見つかりません";
constexpr const char* kMsgCannotOpen = "警告：関連語辞書を開けません";
constexpr const char* kMsgLogNotCreated =
    "エラー：関連語バックアップ用のファイルを作成できません\n辞書編集に関する作業記録の保管は行いません";
constexpr const char* kMsgLogNotSaved = "エラー：関連語辞書編集に関する作業記録を保存できませんでした";

// "ー": adds no condition to a lookup and gets no postings.
constexpr std::uint8_t kLongSoundLead = 0x81, kLongSoundTrail = 0x5B;
constexpr int kMaxDistinctCharacters = 128;
constexpr int kMaxBitmapBytes = 20480;

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File openFile(const std::string& path, const char* mode) { return File(std::fopen(path.c_str(), mode)); }

bool seek(std::FILE* f, long offset) { return std::fseek(f, offset, SEEK_SET) == 0; }

bool readInt32(std::FILE* f, std::int32_t& value) {
  unsigned char b[4];
  if (std::fread(b, 1, 4, f) != 4) return false;
  value = static_cast<std::int32_t>(static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
                                    (static_cast<std::uint32_t>(b[2]) << 16) |
                                    (static_cast<std::uint32_t>(b[3]) << 24));
  return true;
}

bool readInt32At(std::FILE* f, long offset, std::int32_t& value) { return seek(f, offset) && readInt32(f, value); }

bool readInt16(std::FILE* f, std::int16_t& value) {
  unsigned char b[2];
  if (std::fread(b, 1, 2, f) != 2) return false;
  value = static_cast<std::int16_t>(static_cast<std::uint16_t>(b[0] | (b[1] << 8)));
  return true;
}

void appendInt32(std::string& out, std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Writes left before one fails, for tests; negative: none fails.
int gWritesBeforeFailure = -1;

bool writeBytes(std::FILE* f, const std::string& bytes) {
  if (gWritesBeforeFailure == 0) return false;
  if (gWritesBeforeFailure > 0) --gWritesBeforeFailure;
  return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
}

bool writeInt32(std::FILE* f, std::int32_t value) {
  std::string bytes;
  appendInt32(bytes, value);
  return writeBytes(f, bytes);
}

bool writeInt32At(std::FILE* f, long offset, std::int32_t value) {
  std::string bytes;
  appendInt32(bytes, value);
  return seek(f, offset) && writeBytes(f, bytes);
}

void scramble(std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char>(static_cast<std::uint8_t>(text[i]) ^ kScrambleKey[i % kScrambleKey.size()]);
}

bool validEndOfData(std::int32_t end) { return end >= 1 && end <= kMaxEndOfData; }

long slotOffset(int slot) { return kIndexHeaderBytes + 4L * slot; }

// The one process-wide dictionary.
struct Dictionary {
  bool loaded = false;
  std::string bodyPath, indexPath;
  std::int32_t capacity = 0, groupCount = 0, bodyEnd = 0, indexEnd = 0;
  std::vector<std::uint8_t> result, work;  // one bit per group
  int wildcardMode = 0;
  std::string headword;
  std::int32_t found[kMaxFound] = {};
  int foundCount = -1;
  std::vector<std::string> group;  // the current group's words, "$$" kept
  int currentIndex = -1;
  int cursor = 0;

  bool opened = false;  // the dictionary-opened flag
  int logFd = -1;
  File log;
  std::string logPath, archivePath;

  void setBit(std::vector<std::uint8_t>& map, std::int32_t g) {
    map[static_cast<std::size_t>(g / 8)] |= static_cast<std::uint8_t>(0x80 >> (g % 8));
  }
};

Dictionary& dict() {
  static Dictionary d;
  return d;
}

std::string folderFile(const std::string& folder, const char* name) {
  return platform::joinPath(folder, name);
}

// Loads group g into the current group. False for a missing, deleted or damaged record.
bool ReadRelatedGroupRecord(std::FILE* body, std::int32_t g) {
  Dictionary& d = dict();
  d.group.clear();
  if (g < 0 || g > d.capacity) return false;
  std::int32_t offset = 0, end = 0;
  if (!readInt32At(body, 0, end) || !readInt32At(body, 4 + 4L * g, offset)) return false;
  // A group that was never written points into the header: not a record.
  if (offset < 4 + 4 * d.capacity || offset >= end) return false;
  std::int16_t length = 0;
  if (!seek(body, offset) || !readInt16(body, length)) return false;
  if (length < 1 || length > kMaxRecordLength) return false;
  std::string text(static_cast<std::size_t>(length), '\0');
  if (std::fread(text.data(), 1, text.size(), body) != text.size()) return false;
  scramble(text);

  std::string word;
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<std::uint8_t>(text[i]);
    const bool marker = b == '$' && i + 1 < text.size() && text[i + 1] == '$';
    if ((platform::isSjisLeadByte(b) && i + 1 < text.size()) || marker) {
      if (word.size() < static_cast<std::size_t>(kMaxWordBytes)) word.append(text, i, 2);
      i += 2;
    } else if (b == ',') {
      if (!word.empty()) {
        d.group.push_back(std::move(word));
        word.clear();
        if (static_cast<int>(d.group.size()) == kMaxWords) return true;
      }
      ++i;
    } else {
      ++i;
    }
  }
  if (!word.empty()) d.group.push_back(std::move(word));
  return true;
}

// Word i of the current group in the headword's wildcard form.
std::int16_t wordOut(const std::string& stored, std::uint8_t& plainFlag, std::string& word) {
  std::string plain = stored;
  plainFlag = 1;
  if (plain.size() >= 2 && plain[0] == '$' && plain[1] == '$') {
    plain.erase(0, 2);
    plainFlag = 0;
  }
  if (plain.empty()) return kFailed;
  const int mode = dict().wildcardMode;
  word = (mode == 2 || mode == 3 ? "*" : "") + plain + (mode == 1 || mode == 3 ? "*" : "");
  return kDone;
}

// The distinct double-byte characters of text, in order, at most 128;
// the "$$" marker is not a character.
std::vector<std::pair<std::uint8_t, std::uint8_t>> distinctCharacters(
    const std::vector<std::string>& words) {
  std::vector<std::pair<std::uint8_t, std::uint8_t>> out;
  for (const std::string& w : words) {
    for (std::size_t i = 0; i < w.size();) {
      const auto b = static_cast<std::uint8_t>(w[i]);
      if (platform::isSjisLeadByte(b) && i + 1 < w.size()) {
        const std::pair<std::uint8_t, std::uint8_t> c{b, static_cast<std::uint8_t>(w[i + 1])};
        if (std::find(out.begin(), out.end(), c) == out.end()) {
          out.push_back(c);
          if (static_cast<int>(out.size()) == kMaxDistinctCharacters) return out;
        }
        i += 2;
      } else if (b == '$' && i + 1 < w.size() && w[i + 1] == '$') {
        i += 2;
      } else {
        ++i;
      }
    }
  }
  return out;
}

bool isLongSound(const std::pair<std::uint8_t, std::uint8_t>& c) {
  return c.first == kLongSoundLead && c.second == kLongSoundTrail;
}

// Adds group g to the posting list of one character slot.
bool addPosting(std::FILE* index, int slot, std::int32_t g) {
  Dictionary& d = dict();
  std::int32_t block = 0;
  if (!readInt32At(index, slotOffset(slot), block)) return false;
  std::int32_t c = 0, f = 0, n = 0;
  const bool exists = block >= 1 && block < kMaxEndOfData;
  if (exists) {
    if (!readInt32At(index, block, c) || !readInt32(index, f) || !readInt32(index, n)) return false;
    if (c < 0 || n < 0 || n > c || f < 0) return false;  // a damaged block is not extended
    // The entry first, then the counts that take it in: a failed write
    // leaves the block as it was.
    if (f > 0 && n < c) {
      return writeInt32At(index, block + 12 + 4L * n, g) && writeInt32At(index, block + 4, f - 1) &&
             writeInt32(index, n + 1);
    }
  }
  std::vector<std::int32_t> entries;
  std::int32_t capacity = 30;
  if (exists) {
    entries.resize(static_cast<std::size_t>(n));
    if (!seek(index, block + 12)) return false;
    for (auto& e : entries)
      if (!readInt32(index, e)) return false;
    capacity = std::max(c * 3 / 2, 20);
    if (capacity - (n + 1) < 11) capacity = n + 11;
  }
  entries.push_back(g);
  const auto count = static_cast<std::int32_t>(entries.size());
  std::string bytes;
  appendInt32(bytes, capacity);
  appendInt32(bytes, capacity - count);
  appendInt32(bytes, count);
  for (std::int32_t i = 0; i < capacity; ++i) appendInt32(bytes, i < count ? entries[static_cast<std::size_t>(i)] : 0);
  // The new block goes to the end of data, the end of data moves past it,
  // and only then does the slot point at it: after a failed write the slot
  // still names a block that the next add will not overwrite.
  const std::int32_t at = d.indexEnd;
  const auto newEnd = static_cast<std::int64_t>(at) + static_cast<std::int64_t>(bytes.size());
  if (newEnd > kMaxEndOfData) return false;
  if (!seek(index, at) || !writeBytes(index, bytes)) return false;
  if (!writeInt32At(index, 0, static_cast<std::int32_t>(newEnd))) return false;
  d.indexEnd = static_cast<std::int32_t>(newEnd);
  return writeInt32At(index, slotOffset(slot), at);
}

}  // namespace

void relatedword::FailWritesAfter(int writes) { gWritesBeforeFailure = writes; }

int relatedword::CharacterSlot(std::uint8_t lead, std::uint8_t trail) {
  int base = 0;
  switch (lead & 0xF0) {
    case 0x80: base = 0; break;
    case 0x90: base = 4096; break;
    case 0xE0: base = 8192; break;
    case 0xF0: base = 12288; break;
    default: return kNoSlot;
  }
  if (!platform::isSjisLeadByte(lead)) return kNoSlot;
  return (lead & 0x0F) * 256 + trail + base;
}

std::int16_t LoadRelatedWordDictionary(const std::string& folder) {
  Dictionary& d = dict();
  if (d.loaded) return kDone;
  try {
    d.bodyPath = folderFile(folder, kBodyFile);
    d.indexPath = folderFile(folder, kIndexFile);
  } catch (const std::bad_alloc&) {
    return kFailed;
  }
  auto fail = [](std::int16_t code) {
    ReleaseRelatedWordDictionary();
    return code;
  };
  File body = openFile(d.bodyPath, "rb");
  if (!body) return fail(kBodyNotFound);
  std::int32_t bodyEnd = 0;
  if (!readInt32(body.get(), bodyEnd)) return fail(kBodyEndUnreadable);
  if (!validEndOfData(bodyEnd)) return fail(kBodyEndInvalid);

  File index = openFile(d.indexPath, "rb");
  if (!index) return fail(kIndexNotFound);
  std::int32_t indexEnd = 0, reserved = 0, capacity = 0, count = 0;
  if (!readInt32(index.get(), indexEnd)) return fail(kIndexEndUnreadable);
  if (!validEndOfData(indexEnd)) return fail(kIndexEndInvalid);
  if (!readInt32(index.get(), reserved)) return fail(kIndexReservedUnreadable);
  if (!readInt32(index.get(), capacity)) return fail(kIndexCapacityUnreadable);
  if (!readInt32(index.get(), count)) return fail(kIndexCountUnreadable);
  if (count < 0 || count >= capacity) return fail(kIndexCountInvalid);

  const std::int32_t bitmapBytes = ((capacity / 8) / 1024 + 2) * 1024;
  if (bitmapBytes >= kMaxBitmapBytes) return fail(kIndexCountInvalid);
  try {
    d.result.assign(static_cast<std::size_t>(bitmapBytes), 0);
  } catch (const std::bad_alloc&) {
    return fail(kNoMemoryForResults);
  }
  try {
    d.work.assign(static_cast<std::size_t>(bitmapBytes), 0);
  } catch (const std::bad_alloc&) {
    return fail(kNoMemoryForWork);
  }
  d.capacity = capacity;
  d.groupCount = count;
  d.bodyEnd = bodyEnd;
  d.indexEnd = indexEnd;
  d.headword.clear();
  d.foundCount = -1;
  d.currentIndex = -1;
  d.group.clear();
  d.loaded = true;
  return kDone;
}

void ReleaseRelatedWordDictionary() {
  Dictionary& d = dict();
  d.result = {};
  d.work = {};
  d.bodyPath.clear();
  d.indexPath.clear();
  d.group.clear();
  d.foundCount = -1;
  d.currentIndex = -1;
  d.loaded = false;
}

namespace {

// Opens the work log for this run: created empty, locked against other
// processes. A log that a crashed run left behind goes to the archive first,
// so its records survive; when that fails the old log is kept and this run
// goes without one.
bool openWorkLog(Dictionary& d) {
  const int fd = ::open(d.logPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  File log(::fdopen(fd, "r+b"));
  if (!log) {
    ::close(fd);
    return false;
  }
  if (std::fseek(log.get(), 0, SEEK_END) != 0) return false;
  if (std::ftell(log.get()) > 0) {
    File archive = openFile(d.archivePath, "ab");
    if (!archive || AppendFileData(archive.get(), log.get()) != kDone) return false;
    if (std::fflush(archive.get()) != 0 || ::fsync(::fileno(archive.get())) != 0) return false;
  }
  if (::ftruncate(fd, 0) != 0 || !seek(log.get(), 0)) return false;
  d.log = std::move(log);
  return true;
}

}  // namespace

std::int16_t OpenRelatedWordDictionary(const std::string& programFolder) {
  Dictionary& d = dict();
  d.opened = false;
  const std::int16_t loaded = LoadRelatedWordDictionary(programFolder);
  if (loaded != kDone) {
    const char* text = loaded == kFailed ? kMsgNoMemory : loaded == kBodyNotFound ? kMsgNotFound : kMsgCannotOpen;
    platform::messageBox(text, platform::Buttons::Ok, platform::Icon::Warning);
    return loaded;
  }
  d.opened = true;
  if (d.log) return kDone;  // opened before: the log of this run is open already
  d.logPath = folderFile(programFolder, kLogFile);
  d.archivePath = folderFile(programFolder, kArchiveFile);
  if (!openWorkLog(d)) {
    platform::messageBox(kMsgLogNotCreated, platform::Buttons::Ok, platform::Icon::Error);
    return kLoadedWithoutLog;
  }
  return kDone;
}

std::int16_t CloseRelatedWordDictionary() {
  Dictionary& d = dict();
  std::int16_t result = kDone;
  if (d.log) {
    std::FILE* log = d.log.get();
    std::fflush(log);
    const bool hasRecords = std::fseek(log, 0, SEEK_END) == 0 && std::ftell(log) > 0;
    if (hasRecords) {
      File archive = openFile(d.archivePath, "ab");
      if (!archive) {
        platform::messageBox(kMsgLogNotCreated, platform::Buttons::Ok, platform::Icon::Error);
        result = kArchiveNotOpened;
      } else {
        const bool appended = AppendFileData(archive.get(), log) == kDone &&
                              std::fflush(archive.get()) == 0 && ::fsync(::fileno(archive.get())) == 0;
        archive.reset();
        if (!appended) {
          platform::messageBox(kMsgLogNotSaved, platform::Buttons::Ok, platform::Icon::Error);
          result = kLogNotArchived;
        } else if (::ftruncate(::fileno(log), 0) != 0) {
          // The records are safe in the archive; a log that cannot be emptied
          // would be archived twice by the next start, so say so.
          platform::messageBox(kMsgLogNotSaved, platform::Buttons::Ok, platform::Icon::Error);
          result = kLogNotArchived;
        }
      }
    }
    d.log.reset();
  }
  d.opened = false;
  ReleaseRelatedWordDictionary();
  return result;
}

int AppendFileData(std::FILE* target, std::FILE* source) {
  if (std::fseek(target, 0, SEEK_END) != 0) return kFailed;
  if (std::fseek(source, 0, SEEK_END) != 0) return kFailed;
  const long length = std::ftell(source);
  if (length < 0 || std::fseek(source, 0, SEEK_SET) != 0) return kFailed;
  std::size_t size = length < 32 ? static_cast<std::size_t>(length)
                                  : std::min<std::size_t>(32768, static_cast<std::size_t>(length));
  std::unique_ptr<char[]> buffer;
  while (!buffer) {
    buffer.reset(new (std::nothrow) char[std::max<std::size_t>(size, 1)]);
    if (!buffer) {
      size /= 2;
      if (size < 32) return kFailed;
    }
  }
  for (;;) {
    const std::size_t n = std::fread(buffer.get(), 1, size, source);
    if (n > 0 && std::fwrite(buffer.get(), 1, n, target) != n) return kFailed;
    if (n < size) break;
  }
  return std::ferror(source) ? kFailed : kDone;
}

std::int16_t LookupRelatedWords(std::string_view headword) {
  Dictionary& d = dict();
  if (!d.loaded) return 0;
  d.wildcardMode = 0;
  d.foundCount = 0;
  if (headword.empty() || headword.size() > static_cast<std::size_t>(kMaxHeadwordBytes) ||
      headword == "*" || headword == "**")
    return 0;
  const bool front = headword.front() == '*', back = headword.back() == '*';
  d.wildcardMode = back && !front ? 1 : front && !back ? 2 : front && back ? 3 : 0;
  if (front) headword.remove_prefix(1);
  if (back) headword.remove_suffix(1);
  d.headword = ToFullWidth(headword);

  File body = openFile(d.bodyPath, "rb");
  File index = openFile(d.indexPath, "rb");
  if (!body || !index) return 0;

  const auto characters = distinctCharacters({d.headword});
  std::fill(d.result.begin(), d.result.end(), 0);
  for (std::size_t i = 0; i < characters.size(); ++i) {
    if (isLongSound(characters[i])) continue;
    const int slot = relatedword::CharacterSlot(characters[i].first, characters[i].second);
    std::int32_t block = 0, c = 0, f = 0, n = 0;
    if (slot < 0 || !readInt32At(index.get(), slotOffset(slot), block)) return 0;
    if (block < 1 || block >= kMaxEndOfData) return 0;
    if (!readInt32At(index.get(), block, c) || !readInt32(index.get(), f) || !readInt32(index.get(), n))
      return 0;
    if (n < 0 || n > c) return 0;
    std::fill(d.work.begin(), d.work.end(), 0);
    for (std::int32_t k = 0; k < n; ++k) {
      std::int32_t g = 0;
      if (!readInt32(index.get(), g)) return 0;
      if (g >= 0 && g < d.capacity) d.setBit(d.work, g);
    }
    if (i == 0) {
      d.result = d.work;
    } else {
      for (std::size_t k = 0; k < d.result.size(); ++k) d.result[k] &= d.work[k];
    }
  }
  // A headword that starts with "ー" has no condition and finds nothing.
  if (characters.empty() || isLongSound(characters.front())) return 0;

  for (std::size_t byte = 0; byte < d.result.size() && d.foundCount < kMaxFound; ++byte) {
    if (d.result[byte] == 0) continue;
    for (int bit = 0; bit < 8 && d.foundCount < kMaxFound; ++bit) {
      if (!(d.result[byte] & (0x80 >> bit))) continue;
      const auto g = static_cast<std::int32_t>(byte * 8 + static_cast<std::size_t>(bit));
      if (!ReadRelatedGroupRecord(body.get(), g)) continue;
      const bool match = std::any_of(d.group.begin(), d.group.end(), [&d](const std::string& w) {
        return w == d.headword || (w.size() > 2 && w.compare(0, 2, "$$") == 0 && w.substr(2) == d.headword);
      });
      if (match) d.found[d.foundCount++] = g;
    }
  }
  d.group.clear();
  return static_cast<std::int16_t>(d.foundCount);
}

std::int16_t GetRelatedGroup(int index, std::uint8_t& plainFlag, std::string& word) {
  Dictionary& d = dict();
  word.clear();
  if (!d.loaded || d.foundCount < 1 || index < 0 || index >= d.foundCount) return kFailed;
  File body = openFile(d.bodyPath, "rb");
  if (!body) return kFailed;
  d.currentIndex = index;
  if (!ReadRelatedGroupRecord(body.get(), d.found[index])) return kFailed;
  d.cursor = 1;
  if (d.group.empty()) return kFailed;
  return wordOut(d.group[0], plainFlag, word);
}

std::int16_t GetNextRelatedWord(std::uint8_t& plainFlag, std::string& word) {
  Dictionary& d = dict();
  word.clear();
  if (!d.loaded || d.cursor >= static_cast<int>(d.group.size())) return kFailed;
  return wordOut(d.group[static_cast<std::size_t>(d.cursor++)], plainFlag, word);
}

namespace {

// The word's last character when it is a katakana, else empty.
std::string lastKatakana(const std::string& word) {
  if (word.size() < 2) return {};
  const auto lead = static_cast<std::uint8_t>(word[word.size() - 2]);
  if (lead != 0x83 || !platform::isSjisLeadByte(lead)) return {};
  // The word holds whole characters (pairs and "$$"), so the last two bytes are one.
  return word.substr(word.size() - 2);
}

// Splits a group text into converted words; empty when the text is refused.
std::optional<std::vector<std::string>> splitGroupText(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  int width = 0;
  auto store = [&word](const std::string& bytes) {
    if (word.size() + bytes.size() <= static_cast<std::size_t>(kMaxWordBytes)) word += bytes;
  };
  auto close = [&]() {
    if (!word.empty()) words.push_back(std::move(word));
    word.clear();
    width = 0;
  };
  for (std::size_t i = 0; i < text.size() && static_cast<int>(words.size()) < kMaxWords;) {
    if (width > kMaxWordWidth) return std::nullopt;
    const auto b = static_cast<std::uint8_t>(text[i]);
    const bool hasNext = i + 1 < text.size();
    const auto next = hasNext ? static_cast<std::uint8_t>(text[i + 1]) : 0;
    if (b == '$' && next == '$') {
      store("$$");
      i += 2;
    } else if (b == ',') {
      close();
      ++i;
    } else if (platform::isSjisLeadByte(b)) {
      if (!hasNext) break;  // a cut character is not stored
      if (!(b == 0x81 && next == 0x40)) store(std::string(text.substr(i, 2)));
      width += 2;
      i += 2;
    } else if (b < 0x21) {
      ++i;
    } else if (next == 0xDE || next == 0xDF) {
      store(ToFullWidth(text.substr(i, 2)));
      width += 2;
      i += 2;
    } else {
      // Converted alone, a long-sound mark would lose the katakana before it
      // and become "－", so "ｶｰ" would never match a lookup of "ｶｰ": look
      // at the word's last character as the conversion itself does.
      store(ToFullWidth(lastKatakana(word) + std::string(1, static_cast<char>(b))).substr(lastKatakana(word).size()));
      width += 1;
      ++i;
    }
  }
  close();
  return words;
}

}  // namespace

std::int16_t AddRelatedGroup(std::string_view text) {
  Dictionary& d = dict();
  if (!d.loaded) return kFailed;
  if (d.groupCount >= d.capacity - 1) return kDictionaryFull;
  d.group.clear();
  if (text.empty() || text.size() > static_cast<std::size_t>(kMaxRecordLength)) return kFailed;
  const auto words = splitGroupText(text);
  if (!words || words->size() < 2) return kFailed;

  File body = openFile(d.bodyPath, "r+b");
  File index = openFile(d.indexPath, "r+b");
  if (!body || !index) return kFailed;
  std::int32_t indexEnd = 0, bodyEnd = 0;
  if (!readInt32At(index.get(), 0, indexEnd) || !validEndOfData(indexEnd)) return kFailed;
  if (!readInt32At(body.get(), 0, bodyEnd) || !validEndOfData(bodyEnd)) return kFailed;
  d.indexEnd = indexEnd;
  d.bodyEnd = bodyEnd;

  const std::int32_t g = d.groupCount;
  for (const auto& c : distinctCharacters(*words)) {
    if (isLongSound(c)) continue;
    const int slot = relatedword::CharacterSlot(c.first, c.second);
    if (slot < 0 || !addPosting(index.get(), slot, g)) return kFailed;
  }

  std::string joined;
  std::size_t textBytes = 0;
  for (const std::string& w : *words) {
    if (textBytes + w.size() > static_cast<std::size_t>(kMaxRecordLength)) break;
    if (!joined.empty()) joined += ',';
    joined += w;
    textBytes += w.size();
  }
  if (joined.size() > static_cast<std::size_t>(kMaxRecordLength)) return kFailed;
  const auto length = static_cast<std::int32_t>(joined.size());
  if (static_cast<std::int64_t>(bodyEnd) + 2 + length > kMaxEndOfData) return kFailed;
  scramble(joined);
  std::string record;
  record += static_cast<char>(length & 0xFF);
  record += static_cast<char>((length >> 8) & 0xFF);
  record += joined;
  if (!writeInt32At(body.get(), 4 + 4L * g, bodyEnd)) return kFailed;
  if (!seek(body.get(), bodyEnd) || !writeBytes(body.get(), record)) return kFailed;
  if (!writeInt32At(body.get(), 0, bodyEnd + 2 + length)) return kFailed;
  if (std::fflush(body.get()) != 0) return kFailed;
  d.bodyEnd = bodyEnd + 2 + length;

  if (!writeInt32At(index.get(), 12, g + 1) || std::fflush(index.get()) != 0) return kFailed;
  d.groupCount = g + 1;
  return kDone;
}

std::int16_t DeleteRelatedGroup(int index) {
  Dictionary& d = dict();
  if (!d.loaded || d.foundCount < 1 || index < 0 || index >= d.foundCount) return kFailed;
  const std::int32_t g = d.found[index];
  if (g < 0 || g > d.capacity - 1) return kFailed;
  File body = openFile(d.bodyPath, "r+b");
  File idx = openFile(d.indexPath, "r+b");
  if (!body || !idx) return kFailed;
  std::int32_t offset = 0;
  std::int16_t length = 0;
  if (!readInt32At(body.get(), 4 + 4L * g, offset) || offset < 4 + 4 * d.capacity) return kFailed;
  if (!seek(body.get(), offset) || !readInt16(body.get(), length)) return kFailed;
  if (length < 1 || length > kMaxRecordLength) return kFailed;
  const auto negated = static_cast<std::uint16_t>(-length);
  const std::string bytes{static_cast<char>(negated & 0xFF), static_cast<char>(negated >> 8)};
  if (!seek(body.get(), offset) || !writeBytes(body.get(), bytes)) return kFailed;
  return std::fflush(body.get()) == 0 ? kDone : kFailed;
}

bool RelatedWordDictionaryOpened() { return dict().opened; }
std::FILE* RelatedWordLogFile() { return dict().log.get(); }
const std::string& RelatedWordArchivePath() { return dict().archivePath; }

bool CreateEmptyRelatedWordDictionary(const std::string& folder, int capacity) {
  // Record offsets for groups 0 to capacity, all zero: no group written yet.
  const std::int32_t bodyEnd = 4 + 4 * (capacity + 1);
  std::string body;
  appendInt32(body, bodyEnd);
  body.resize(static_cast<std::size_t>(bodyEnd), '\0');
  std::string index;
  appendInt32(index, kIndexHeaderBytes + 4 * kSlotCount);
  appendInt32(index, 1);
  appendInt32(index, capacity);
  appendInt32(index, 0);
  index.resize(static_cast<std::size_t>(kIndexHeaderBytes + 4 * kSlotCount), '\0');
  for (const auto& [name, bytes] : {std::pair{kBodyFile, &body}, std::pair{kIndexFile, &index}}) {
    const std::string path = folderFile(folder, name);
    const std::string part = path + ".part";
    File f = openFile(part, "wb");
    if (!f || !writeBytes(f.get(), *bytes) || std::fclose(f.release()) != 0) return false;
    if (std::rename(part.c_str(), path.c_str()) != 0) return false;
  }
  return true;
}
