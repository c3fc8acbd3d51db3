// The bytes of a field-list file (".lyt"), apart from the library's rings
// and pools, so that the reader can be tried on any input on its own.
//
//   encodeFldFile    a file's bytes from its contents
//   decodeFldFile    the contents of a file's bytes, refusing damaged ones
//
// Format (little-endian, 16-bit words, no gaps or alignment):
//   header   text length L, L bytes of text, caller word, record count n,
//            n x (74-byte record image, child count c, c x 74-byte image)
//   trees    a tree section for Sfld, then one for the ruled-line fields:
//            count, then per field a 60-byte entry, its block ring as
//            12-byte character entries, its child tree (only when its child
//            count is above 0: a whole tree section with its own count),
//            its lines as 18-byte entries each followed by its boxes.
// The 74-byte record image is the field record in its packed 32-bit form
// (prev, rectangle, number, sub-number, four measures, origin, parameter
// block, line, block and child heads, next); the pointer slots are written
// as zeros and mean nothing on reading.  The record's extra word lies past
// those 74 bytes and is not kept.
//
// The reader treats the bytes as untrusted: every read is checked against
// what is left, the text against the caller's buffer, the nesting of child
// trees against a depth limit; a count can only claim what the bytes hold,
// since each entry is read before the next one is made.
#pragma once

#include "layout/records.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace layout {

inline constexpr int kFldRecordImageBytes = 74;
inline constexpr int kFldEntryBytes = 60;
inline constexpr int kFldCharEntryBytes = 12;
inline constexpr int kFldLineEntryBytes = 18;
// The library's fields nest two levels (regions and their sub-rectangles);
// a file nesting deeper than this is not one of ours.
inline constexpr int kFldMaxDepth = 16;

struct FldChar {
  std::int16_t left = 0, top = 0, right = 0, bottom = 0;
  std::int16_t code = 0, code2 = 0;
};

struct FldLine {
  std::int16_t left = 0, top = 0, right = 0, bottom = 0;
  std::int32_t work[2]{};
  std::vector<FldChar> boxes;
};

struct FldNode {
  std::int16_t left = 0, top = 0, right = 0, bottom = 0;
  std::int16_t number = 0, subNumber = 0;
  std::int16_t measures[4]{};
  std::uint16_t origin = 0;
  ParamBlock params;
  std::vector<FldChar> blocks;
  std::vector<FldNode> children;
  std::vector<FldLine> lines;
};

struct FldFileContents {
  std::string text;                  // the caller's bytes, as given
  std::uint16_t callerWord = 0;
  std::vector<FldNode> callerRecords;  // with their children; no lines or blocks
  bool hasTrees = false;
  std::vector<FldNode> sfld;
  std::vector<FldNode> ruleFields;
};

enum class FldCodecStatus { Ok, Short, TextTooLong, TooDeep, TooMany };

// Appends the file's bytes; TooMany when a count does not fit its word.
FldCodecStatus encodeFldFile(const FldFileContents& contents, std::string* out);

// Reads the header, and the two tree sections when withTrees is set (bytes
// after what is read are ignored, as a reader of the header alone must).
// textCapacity counts the terminator the caller's buffer needs.
FldCodecStatus decodeFldFile(std::span<const std::uint8_t> bytes, std::size_t textCapacity, bool withTrees,
                             FldFileContents* out);

}  // namespace layout
