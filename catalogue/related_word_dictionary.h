#pragma once
// The related-word dictionary: groups of words that mean the same thing,
// kept in two files of the program folder and reached through one
// process-wide state.
//
//   OpenRelatedWordDictionary, CloseRelatedWordDictionary   start-up and exit
//   LoadRelatedWordDictionary, ReleaseRelatedWordDictionary
//   LookupRelatedWords, GetRelatedGroup, GetNextRelatedWord  reading
//   AddRelatedGroup, DeleteRelatedGroup                      editing
//   RelatedWordDictionaryOpened, RelatedWordLogFile,
//   RelatedWordArchivePath                                   for start-up and the
//                                                           maintenance dialog
//   AppendFileData                                           file helper
//   CreateEmptyRelatedWordDictionary                         the build step's maker
//
// Files (all integers little-endian, all text Shift-JIS):
//   synonym.idx  header (end of data, a reserved value, capacity, group
//                count), then 16,384 slots, one per double-byte character,
//                each the offset of a posting block: capacity C, free F,
//                count N, then C group numbers.
//   synonym.bdy  end of data, the record offset of each group, then records:
//                a 16-bit length (negative: deleted) and the group text
//                ("word,word,...") XORed with a 24-byte key.
// Both files are opened only for the length of one operation, so other
// processes may read them in between. The work log Synonym.jf1 collects the
// maintenance dialog's records of this run and is appended to Synonym.jf0.
//
// Every text argument and result here is Shift-JIS.

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace relatedword {
inline constexpr const char* kIndexFile = "synonym.idx";
inline constexpr const char* kBodyFile = "synonym.bdy";
inline constexpr const char* kLogFile = "Synonym.jf1";
inline constexpr const char* kArchiveFile = "Synonym.jf0";

inline constexpr int kSlotCount = 16384;
inline constexpr int kIndexHeaderBytes = 16;
inline constexpr int kMaxEndOfData = 100000000;
inline constexpr int kMaxRecordLength = 10239;
inline constexpr int kMaxFound = 32;
inline constexpr int kMaxWords = 80;
inline constexpr int kMaxWordBytes = 126;
inline constexpr int kMaxHeadwordBytes = 60;
inline constexpr int kMaxWordWidth = 60;
// Groups a new dictionary of ours holds.
inline constexpr int kDefaultCapacity = 32000;

// Byte i of a group text is XORed with byte (i mod 24) of this key.
inline constexpr std::array<std::uint8_t, 24> kScrambleKey = {
    0x5A, 0xC3, 0x17, 0x8E, 0x2B, 0xF0, 0x64, 0x9D, 0x31, 0xA7, 0x4C, 0xE5,
    0x08, 0x7F, 0xB2, 0x56, 0xD9, 0x13, 0x6E, 0xC8, 0x45, 0x9A, 0x21, 0xBC};

// Result codes.
inline constexpr std::int16_t kDone = 1;           // done; loaded with the work log open
inline constexpr std::int16_t kFailed = 0;         // refused or failed; at load: no memory
inline constexpr std::int16_t kDictionaryFull = -2;  // from AddRelatedGroup
inline constexpr std::int16_t kLoadedWithoutLog = 100;
inline constexpr std::int16_t kArchiveNotOpened = 200;
inline constexpr std::int16_t kLogNotArchived = 300;
// Load failures, in the order the files are read.
inline constexpr std::int16_t kBodyNotFound = -2;
inline constexpr std::int16_t kBodyEndUnreadable = -3;
inline constexpr std::int16_t kBodyEndInvalid = -4;
inline constexpr std::int16_t kIndexNotFound = -5;
inline constexpr std::int16_t kIndexEndUnreadable = -6;
inline constexpr std::int16_t kIndexEndInvalid = -7;
inline constexpr std::int16_t kIndexReservedUnreadable = -8;
inline constexpr std::int16_t kIndexCapacityUnreadable = -9;
inline constexpr std::int16_t kIndexCountUnreadable = -10;
inline constexpr std::int16_t kIndexCountInvalid = -11;   // or a capacity too large to map
inline constexpr std::int16_t kNoMemoryForResults = -12;
inline constexpr std::int16_t kNoMemoryForWork = -13;

// Character slot of a double-byte character, or kNoSlot for a byte that does not lead one.
inline constexpr int kNoSlot = -1;
int CharacterSlot(std::uint8_t lead, std::uint8_t trail);

// For tests: the dictionary's file writes after the next `writes` ones fail,
// as on a full or failing disk; a negative number ends that.
void FailWritesAfter(int writes);
}  // namespace relatedword

// kDone loaded and log open; kLoadedWithoutLog; kFailed no memory; the load
// failures (kBodyNotFound .. kNoMemoryForWork).
std::int16_t OpenRelatedWordDictionary(const std::string& programFolder);
// kDone; kArchiveNotOpened when Synonym.jf0 cannot be opened; kLogNotArchived
// when the log cannot be appended to it.
std::int16_t CloseRelatedWordDictionary();
std::int16_t LoadRelatedWordDictionary(const std::string& folder);
void ReleaseRelatedWordDictionary();

// Found count, 0 to 32.
std::int16_t LookupRelatedWords(std::string_view headword);
// kDone, or kFailed with word empty. plainFlag: 1 ordinary word, 0 word stored with "$$".
std::int16_t GetRelatedGroup(int index, std::uint8_t& plainFlag, std::string& word);
std::int16_t GetNextRelatedWord(std::uint8_t& plainFlag, std::string& word);
// kDone added, kFailed refused or failed, kDictionaryFull.
std::int16_t AddRelatedGroup(std::string_view text);
// kDone or kFailed.
std::int16_t DeleteRelatedGroup(int index);

// The dictionary-opened flag that start-up and exit consult.
bool RelatedWordDictionaryOpened();
// The open work log (Synonym.jf1) for the maintenance dialog, or nullptr.
std::FILE* RelatedWordLogFile();
const std::string& RelatedWordArchivePath();

// Appends the whole source to the end of the target. kDone, or kFailed.
int AppendFileData(std::FILE* target, std::FILE* source);

// Writes an empty dictionary (both files) into folder. False when a file
// cannot be written.
bool CreateEmptyRelatedWordDictionary(const std::string& folder,
                                      int capacity = relatedword::kDefaultCapacity);
