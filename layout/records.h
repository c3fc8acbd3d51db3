// The records of the layout library: fields, text lines, recognition
// (character) records, rectangle records, region groups, ruled lines, and the
// 32-byte recognition parameter block.
//
// Records are plain structs in the natural layout of the platform: they never
// leave the process as bytes (the host, the library and the engines share
// them in memory).  Only the parameter block is kept byte for byte, because it
// is copied whole between host, fields and the template files.
//
// Every list is a circular doubly linked ring with a sentinel record of the
// same kind; the ring is named by a pointer to its sentinel (its "head"), and
// a null head is an empty ring that was never created.  See ring.h.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

// The 32-byte block of recognition settings of an area.  Byte positions are
// fixed; multi-byte values are little-endian.
struct ParamBlock {
  std::array<std::uint8_t, 32> bytes{};

  // Byte positions that several parts of the library read.
  static constexpr int kForm = 3;              // 255 (-1) table form, 2 placed unchanged, 0 page
  static constexpr int kLanguageAuto = 4;
  static constexpr int kLanguageWord = 5;      // word: 1 = Latin text
  static constexpr int kDirection = 7;         // 0 horizontal, 1 vertical, 3 automatic
  static constexpr int kFieldKind = 8;
  static constexpr int kNoVerticalMargin = 10;
  static constexpr int kNoHorizontalMargin = 11;
  static constexpr int kSingleBlock = 12;
  static constexpr int kHorizontalRules = 13;
  static constexpr int kVerticalRules = 14;
  static constexpr int kBlankOutput = 15;
  static constexpr int kCharBlocks = 17;
  static constexpr int kTierCount = 18;        // word
  static constexpr int kLineEnds = 22;
  static constexpr int kCharKindMask = 24;     // word
  static constexpr int kSpecWord = 26;         // word
  static constexpr int kEngineOption = 28;     // 32-bit

  std::uint8_t byte(int i) const { return bytes[static_cast<std::size_t>(i)]; }
  std::int8_t signedByte(int i) const { return static_cast<std::int8_t>(bytes[static_cast<std::size_t>(i)]); }
  void setByte(int i, std::uint8_t v) { bytes[static_cast<std::size_t>(i)] = v; }
  std::int16_t word(int i) const {
    return static_cast<std::int16_t>(bytes[static_cast<std::size_t>(i)] |
                                     (bytes[static_cast<std::size_t>(i) + 1] << 8));
  }
  void setWord(int i, std::int16_t v) {
    bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v & 0xFF);
    bytes[static_cast<std::size_t>(i) + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
  }
  std::int32_t dword(int i) const {
    std::uint32_t v = 0;
    for (int k = 3; k >= 0; --k) v = (v << 8) | bytes[static_cast<std::size_t>(i + k)];
    return static_cast<std::int32_t>(v);
  }
};
static_assert(sizeof(ParamBlock) == 32);

struct recg;
struct line_record;

// Field (region) record.
struct userfld {
  userfld* prev;
  std::int16_t left, top, right, bottom;
  std::int16_t number;        // field or block number; as a field's kind word 1 for a field made
                              // from a rectangle, -1 for a plain one; the control keeps its
                              // area number here
  std::int16_t subNumber;     // a further kind word; 0xFFFF in the ruled-line field list
  std::int16_t measures[4];   // character width, character height and two block measures
  std::uint16_t origin;       // the user word: 0 host, 1 result copy / horizontal ruled line,
                              // 2 vertical ruled line
  ParamBlock params;
  line_record* lines;         // ring of text lines
  recg* blocks;               // the field's recognition ring: character-block rectangles
  userfld* children;          // ring of host sub-rectangles inside a user region
  userfld* next;
  std::uint16_t extra;        // carried along with copies
};

// Text line.
struct line_record {
  line_record* prev;
  std::int16_t left, top, right, bottom;
  recg* boxes;                // recognition ring: character boxes that the layout found
  recg* chars;                // recognition ring: recognised characters
  std::int32_t work[2];
  line_record* next;
};

// Recognition (character) record.
struct recg {
  recg* prev;
  std::int16_t left, top, right, bottom;
  std::int16_t code;          // -1 = none yet; 60 marks a joined record (chain through next links)
  std::int16_t code2;
  std::int16_t certainty;     // 1 = sure
  std::int16_t distance;      // smaller is surer
  std::int16_t status;
  std::int16_t candidates[10];
  std::int16_t candidateCount;
  recg* sub;                  // chain hung below the record: pieces of a character that was cut
  recg* next;
};

inline constexpr std::int16_t kRecgJoined = 60;

// Rectangle record of the working lists of the layout steps.
struct rect_record {
  rect_record* prev;
  std::int16_t left, top, right, bottom;
  std::int16_t label;         // kind word or number; -1 when new
  std::int16_t extra;         // a further word; 0 when new
  rect_record* inner;         // child ring, e.g. the components of a line
  rect_record* outer;         // child ring, e.g. the lines of a block, each with its inner ring
  rect_record* next;
};

// A group of touching black runs while pixels are grouped (reduced pixels).
struct region_group {
  region_group* prev;
  std::int16_t left, top, right, bottom;
  std::uint8_t open;          // 1 = not continued in the current row
  region_group* next;
};

// One ruled line.  Horizontal: a = left x, b = right x, c = y.
// Vertical: a = x, b = top y, c = bottom y.
struct Keisen {
  Keisen* next;
  std::int16_t a, b, c;
  std::int16_t valid;         // 1 for every line the library makes
  Keisen* prev;
};

// A horizontal and a vertical ruled-line ring, handled together.
struct KeisenPair {
  Keisen* horizontal = nullptr;
  Keisen* vertical = nullptr;
};

// A 1-bit image: one bit per pixel, 1 = black, bit 7 of a byte is the
// leftmost pixel, rows follow each other with no gap.
struct ImageDesc {
  std::uint8_t* bits = nullptr;
  std::uint16_t bytesPerRow = 0;
  std::uint16_t height = 0;
  std::uint16_t dpi = 0;

  int widthPixels() const { return bytesPerRow * 8; }
};

// Inclusive rectangle of 16-bit coordinates.
struct Rect16 {
  std::int16_t left = 0, top = 0, right = 0, bottom = 0;
};

// Rows of library images are padded to a multiple of 16 bits.
inline int paddedRowBytes(int widthPixels) { return (widthPixels + 15) / 16 * 2; }
