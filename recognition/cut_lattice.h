#pragma once
// The cut lattice of one field, as the line cutter leaves it for the
// Japanese engine's final choice (JapaneseEngine::resolveLattice).
//
//   CharRect, CellResult     one box and what the engine read in it
//   LatticeAlternative       a joined group of consecutive boxes
//   LatticeBox, LatticeLine, FieldLattice
//
// A line is its boxes in reading order (left to right, or top to bottom in
// vertical writing). Where the cutter could not decide how neighbouring boxes
// form characters, the first box of every plausible group carries that
// group as an alternative: the group's rectangle, its reading, and the index
// of the box that follows the group. A path through the line is therefore a
// chain of steps "box i alone → i + 1" or "alternative of box i → its
// nextBox" from box 0 to boxes.size(); the engine picks one and writes the
// chosen characters into LatticeLine::characters.
//
// Plain value types on purpose: the layout library converts its record rings
// to and from these at the engine boundary, and fake engines in tests build
// them by hand.

#include <cstdint>
#include <vector>

namespace recognition {

// Inclusive rectangle in page pixels: a width is right - left + 1.
struct CharRect {
  std::int16_t left = 0;
  std::int16_t top = 0;
  std::int16_t right = -1;
  std::int16_t bottom = -1;

  int width() const { return right - left + 1; }
  int height() const { return bottom - top + 1; }
  bool empty() const { return right < left || bottom < top; }
  friend bool operator==(const CharRect&, const CharRect&) = default;
};

// What the engine read in one cell.
struct CellResult {
  static constexpr int kMaxCandidates = 10;

  // 1 = sure; 2 = unsure (the reading is a guess or there is none).
  std::int16_t certainty = 2;
  // Lower is better. Callers treat < 1000 as acceptable, > 1700 as hopeless;
  // the confidence level shown to users is 8 at <= 900 down to 1 at >= 1500.
  std::int16_t distance = 0;
  // Shift-JIS codes, best first; a double-byte code has its lead byte in
  // the high half (0x82A0 = "あ"), a single-byte code is 0x00nn.
  std::uint16_t candidates[kMaxCandidates] = {};
  std::int16_t count = 0;

  std::uint16_t best() const { return count > 0 ? candidates[0] : 0; }
  friend bool operator==(const CellResult&, const CellResult&) = default;
};

// A recognised character of a line.
struct RecognizedChar {
  CharRect rect;
  CellResult result;
  friend bool operator==(const RecognizedChar&, const RecognizedChar&) = default;
};

struct LatticeAlternative {
  CharRect rect;       // union of the boxes of the group
  CellResult result;
  int nextBox = 0;     // index of the box after the group (may be boxes.size())
};

struct LatticeBox {
  CharRect rect;
  CellResult result;
  std::vector<LatticeAlternative> alternatives;
};

enum class LineDirection : std::uint8_t { Horizontal = 0, Vertical = 1 };

struct LatticeLine {
  CharRect rect;                             // the text line
  LineDirection direction = LineDirection::Horizontal;
  std::vector<LatticeBox> boxes;             // in: reading order
  std::vector<RecognizedChar> characters;    // out: the chosen characters
};

struct FieldLattice {
  std::vector<LatticeLine> lines;
};

}  // namespace recognition
