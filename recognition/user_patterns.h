#pragma once
// The user's own character patterns, matched before any model.
//
//   UserPatterns::add / remove / setValid      the pattern operations
//   UserPatterns::match                        nearest valid patterns of a cell
//   UserPatterns::save / load                  the two learning files
//   normalizePattern                           a cell's ink as a 32 x 32 bitmap
//
// Tesseract cannot learn at run time, so a pattern is kept as the cell's ink
// scaled to 32 x 32 together with the ink's aspect ratio. Two bitmaps are
// compared with one pixel of tolerance: the distance is the share of ink
// pixels of either bitmap that have no ink of the other within one pixel.
// A cell matches when the aspect ratios are close and the distance is below
// kMatchLimit; the nearest pattern wins.
//
// Learning files (little-endian): the data file holds the magic "BRLPAT1\0"
// and the records {number i16, code u16, valid u16, ink width u16, ink height
// u16, 128 bitmap bytes, row-major, bit 7 leftmost}; the index file holds the
// magic "BRLIDX1\0", the next pattern number (i16) and the record count (i16).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "recognition/cut_lattice.h"
#include "recognition/recognition_engine.h"

namespace recognition {

constexpr int kPatternSide = 32;
using PatternBitmap = std::array<std::uint8_t, kPatternSide * kPatternSide / 8>;

struct NormalizedCell {
  PatternBitmap bitmap{};
  std::uint16_t inkWidth = 0;
  std::uint16_t inkHeight = 0;
};

// The ink inside `rect`; nullopt when the rectangle holds none.
std::optional<NormalizedCell> normalizePattern(const EngineImage& image, const CharRect& rect);
double patternDistance(const NormalizedCell& a, const NormalizedCell& b);

struct UserPattern {
  std::int16_t number = 0;
  std::uint16_t code = 0;
  bool valid = true;
  NormalizedCell cell;
};

struct PatternMatch {
  std::uint16_t code = 0;
  double distance = 0;
};

class UserPatterns {
 public:
  static constexpr double kMatchLimit = 0.10;

  // The new pattern's number.
  std::int16_t add(std::uint16_t code, const NormalizedCell& cell);
  bool remove(std::int16_t number);
  bool setValid(std::int16_t number, bool valid);
  void clear();

  // Valid patterns within the limit, nearest first, one per code.
  std::vector<PatternMatch> match(const NormalizedCell& cell) const;

  const std::vector<UserPattern>& patterns() const { return patterns_; }

  bool save(const std::string& dataPath, const std::string& indexPath) const;
  // Missing or empty files give no patterns and succeed; damaged ones fail
  // and leave the patterns empty.
  bool load(const std::string& dataPath, const std::string& indexPath);

 private:
  std::vector<UserPattern> patterns_;
  std::int16_t nextNumber_ = 1;
};

}  // namespace recognition
