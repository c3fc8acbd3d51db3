#pragma once
// The Japanese engine over Tesseract's jpn and jpn_vert models.
//
//   TesseractJapaneseEngine     JapaneseEngine with line context and user patterns
//   distanceFromConfidence      the calibrated distance of a Tesseract confidence
//   preferDigitsAmongDigits     digits read as strokes beside digits
//
// Method. Tesseract reads whole lines far better than single characters
// (measured on clean print: 0.2-0.5 % character errors on horizontal lines,
// about 1-3 % on vertical ones, against 11-19 % for lines read cell by cell),
// so in line-context mode beginLine reads the line once, horizontally with
// jpn as one line, vertically with jpn_vert as one block of vertical text,
// and keeps the symbols. Tesseract's boxes for them are rough, so the
// symbols are placed on the line's ink (line_alignment.h). A line with an
// unsure symbol is read again reduced to 60 % and 80 %, and an unsure symbol
// takes a surer reading of the same ink from those. A cell is then answered from the line:
// - one symbol fills the cell (their extents along the line overlap by at
//   least 75 % of the longer one): that symbol's reading;
// - the cell holds a part of a symbol, or spans several: an unsure answer
//   (certainty 2, distance kPartDistance or kMultiDistance), so the line
//   cutter joins parts and does not join characters;
// - the cell meets no symbol (the line reading missed it): the cell is read
//   on its own.
// resolveLattice takes the cheapest path (lattice_path.h) over the lattice's
// own steps and steps built from the line reading, which get a bonus; boxes
// that a user pattern answered keep that answer.
// In per-cell mode every cell is read on its own (jpn, single character;
// output of more than one symbol costs kExtraSymbolPenalty per symbol) and
// resolveLattice uses only the lattice.
// User patterns are looked at first in both modes.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "recognition/recognition_engine.h"
#include "recognition/line_alignment.h"
#include "recognition/tesseract_reader.h"
#include "recognition/user_patterns.h"

namespace recognition {

// Distance from a Tesseract symbol confidence (0-100): 500 at 100, 20 more
// per point below, clamped to 0..2500. So the callers' rejection limit 1000
// lies at confidence 75 and their lowest confidence level (1500) at 50.
// Measured on the rendered line fixtures: right symbols of a line reading
// come at 500-600 almost always; the misreadings seen there at 700-1100,
// with a few as sure as right ones (召 for 吾 at 546). Confidence separates
// right from wrong only roughly: inside the engine a fixed level only
// decides when a line is read a second time; otherwise distances are
// compared with each other.
std::int16_t distanceFromConfidence(float confidence);

// The readings of one line's symbols, in order: a symbol read as a stroke or
// hook (｜ ］ ノ う ...) that has a digit among its choices reads as that
// digit when a digit stands next to it or it is alone on its line: the
// digits of a number in a table cell or a form stand apart, and the model
// reads them out of context.
void preferDigitsAmongDigits(std::vector<CellResult>& line);

constexpr std::int16_t kNoReadingDistance = 2500;
constexpr std::int16_t kPartDistance = 1500;
constexpr std::int16_t kMultiDistance = 1800;
constexpr std::int16_t kExtraSymbolPenalty = 400;
constexpr std::int16_t kKindMismatchPenalty = 400;

class TesseractJapaneseEngine final : public JapaneseEngine {
 public:
  explicit TesseractJapaneseEngine(ReadingMode mode,
                                   DataSearch search = DataSearch::DictionaryFolderThenInstalled);
  ~TesseractJapaneseEngine() override;

  std::int16_t loadDictionaries(const DictionaryPaths& paths) override;
  void close() override;
  std::int16_t setFieldParams(std::uint16_t kindMask, std::uint16_t word,
                              std::uint32_t value) override;
  std::int16_t beginLine(const EngineImage& image, const CharRect& line,
                         LineDirection direction) override;
  void endLine() override;
  std::int16_t readCell(const EngineImage& image, const CharRect& cell, CellResult& result) override;
  std::int16_t resolveLattice(const EngineImage& image, FieldLattice& field) override;
  std::int32_t registerPattern(std::int16_t* number, const std::uint16_t* code,
                               const std::uint8_t* bits, std::uint16_t width,
                               std::uint16_t height, const std::int32_t rect[4]) override;
  std::int32_t deletePattern(std::int16_t number) override;
  std::int32_t setPatternValid(std::int16_t number, std::uint16_t valid) override;
  std::int32_t mergeLearning(const std::string& baseIndexPath, const std::string& learningIndexPath,
                             const std::string& learningDataPath) override;
  std::int16_t candidates(const std::uint8_t* bits, std::uint16_t width, std::uint16_t height,
                          const std::int32_t rect[4], std::uint16_t* out, int capacity) override;

  ReadingMode mode() const { return mode_; }

  // A symbol of a line reading, in page pixels, with its codes.
  struct LineSymbol {
    CharRect rect;
    CellResult result;
  };
  struct LineReading {
    const std::uint8_t* bits = nullptr;
    CharRect rect;
    LineDirection direction = LineDirection::Horizontal;
    std::vector<LineSymbol> symbols;
  };

 private:
  std::vector<LineSymbol> readLineOnce(const EngineImage& image, const CharRect& rect,
                                       LineDirection direction, const std::vector<InkSegment>& segments,
                                       int scale, double reduction);
  CellResult readAlone(const EngineImage& image, const CharRect& cell, LineDirection direction);
  std::optional<CellResult> fromPatterns(const EngineImage& image, const CharRect& cell) const;
  std::optional<CellResult> fromLine(const LineReading& line, const CharRect& cell) const;
  const LineReading* lineFor(const LatticeLine& line) const;
  void applyKindMask(CellResult& result) const;
  bool savePatterns() const;

  ReadingMode mode_;
  DataSearch search_;
  bool loaded_ = false;
  TesseractReader horizontal_;
  TesseractReader vertical_;
  UserPatterns patterns_;
  std::string learningDataPath_;
  std::string learningIndexPath_;
  std::uint16_t kindMask_ = 0;
  std::vector<LineReading> fieldLines_;   // readings of the current field
  int currentLine_ = -1;                  // index into fieldLines_, or -1
  LineDirection currentDirection_ = LineDirection::Horizontal;
  std::vector<CharRect> patternCells_;    // cells of the field answered by a pattern
};

}  // namespace recognition
