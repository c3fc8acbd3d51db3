#pragma once
// The character-recognition engines that the layout library and the OCR
// control call: one for Japanese, one for English.
//
//   EngineImage                   the 1-bit page (or cell) image an engine reads
//   JapaneseEngine                dictionaries, field settings, line context,
//                                 per-cell reading, lattice choice, user patterns,
//                                 candidates of a rectangle
//   EnglishEngine                 start-up and the reading of whole field groups
//   createJapaneseEngine(), createEnglishEngine()   the Tesseract-backed engines
//
// Conventions shared by every operation:
// - Results are the statuses of engine_status.h: 16-bit, kEngineDone (1) or
//   more is success, kEngineRefused (0) a failure the caller may pass over,
//   below 0 a failure that ends the page. The pattern operations answer
//   32-bit values (nonzero = done).
// - No exception leaves an engine.
// - Rectangles are inclusive page-pixel rectangles (CharRect, cut_lattice.h).
// - Codes are Shift-JIS, a double-byte code with its lead byte in the high
//   half (CellResult).
//
// The comment on each method names the call it stands for in the library's
// and the control's code, so that both sides keep the argument orders.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "recognition/cut_lattice.h"
#include "recognition/engine_status.h"

namespace recognition {

// A 1-bit image: a set bit is ink, bit 7 of a byte is the leftmost pixel,
// rows are padded to a multiple of 16 bits (bytesPerRow = (width + 15) / 16 * 2).
struct EngineImage {
  const std::uint8_t* bits = nullptr;
  std::uint16_t bytesPerRow = 0;
  std::uint16_t height = 0;
  std::uint16_t dpi = 400;

  int widthInPixels() const { return bytesPerRow * 8; }
};

// The nine dictionary paths that InitLayout hands over, in its order:
// folder + nimba10red, yellow, green, blue; learning folder + nimba10lrn;
// folder + nimba10redspl, yellowspl, greenspl; learning folder + nimba10lrnspl
// (each ".lin").
using DictionaryPaths = std::array<std::string, 9>;
enum DictionaryEntry {
  kDictRed = 0, kDictYellow, kDictGreen, kDictBlue, kDictLearning,
  kDictRedSpl, kDictYellowSpl, kDictGreenSpl, kDictLearningIndex
};

class JapaneseEngine {
 public:
  virtual ~JapaneseEngine();

  // InitLayout: load the dictionaries. Exactly 1 means loaded and ready; any
  // other value makes InitLayout fail. Calling it again reloads.
  virtual std::int16_t loadDictionaries(const DictionaryPaths& paths) = 0;

  // CloseAlloc: release everything loaded. Safe when nothing is loaded.
  virtual void close() = 0;

  // Once per field before its lines are cut: the character-kind mask
  // (1 hiragana, 2 katakana, 4 kanji, 8 digits, 16 Latin letters, 32 symbols;
  // 0 = all kinds) and the two further values of the field's parameter block
  // (bytes 26-27 and 28-31). Below 1 stops the page.
  virtual std::int16_t setFieldParams(std::uint16_t kindMask, std::uint16_t word,
                                      std::uint32_t value) = 0;

  // The driver is about to cut a text line: the engine may read the whole
  // line now and answer the following readCell calls on cells of that line
  // from it. Cells outside the line, or on another image, are read alone.
  // endLine() forgets the current line (the readings stay available to
  // resolveLattice until the next setFieldParams). Below 1 stops the page.
  virtual std::int16_t beginLine(const EngineImage& image, const CharRect& line,
                                 LineDirection direction) = 0;
  virtual void endLine() = 0;

  // One character cell. On success (1) `result` is filled: certainty class,
  // distance, up to ten candidates best first, their count (0 when nothing
  // was read). Below 1 ends the field.
  virtual std::int16_t readCell(const EngineImage& image, const CharRect& cell,
                                CellResult& result) = 0;

  // Once per field after its lines are cut: choose a path through every
  // line's lattice and fill each line's `characters`. Below 1 stops the page.
  virtual std::int16_t resolveLattice(const EngineImage& image, FieldLattice& field) = 0;

  // User patterns ---------------------------------------------------------
  // Register the character `code` (lead byte high) drawn in `rect` (left, top,
  // right, bottom, inclusive) of the 1-bit image `bits` of the given size
  // (rows padded to 16 bits). Nonzero = registered, `number` holds the
  // pattern's number. The learning files are written at once.
  virtual std::int32_t registerPattern(std::int16_t* number, const std::uint16_t* code,
                                       const std::uint8_t* bits, std::uint16_t width,
                                       std::uint16_t height, const std::int32_t rect[4]) = 0;
  // Nonzero = the pattern was known and is deleted.
  virtual std::int32_t deletePattern(std::int16_t number) = 0;
  // Nonzero = the pattern was known; valid 0 keeps it but stops using it.
  virtual std::int32_t setPatternValid(std::int16_t number, std::uint16_t valid) = 0;
  // Reload the patterns from learning files that the caller has just
  // rewritten: the base index in the dictionary folder (may be missing), the
  // learning index and the learning data. The result is not relied on.
  virtual std::int32_t mergeLearning(const std::string& baseIndexPath,
                                     const std::string& learningIndexPath,
                                     const std::string& learningDataPath) = 0;

  // GetRcgCandidate: the candidates of one character rectangle (four 32-bit
  // values left, top, right, bottom) of a 1-bit image `width` pixels wide,
  // written to `out` (at most `capacity`). The number written; 0 or below:
  // none.
  virtual std::int16_t candidates(const std::uint8_t* bits, std::uint16_t width,
                                  std::uint16_t height, const std::int32_t rect[4],
                                  std::uint16_t* out, int capacity) = 0;
};

// One English field of a group as the driver hands it over.
struct EnglishField {
  CharRect rect;
  std::vector<CharRect> lines;   // text lines from layout, reading order; empty: read the field whole
  bool lineEnds = true;          // line feeds between the lines (parameter byte 22 set); false: they run on
};

// The request of one English group: where to write and how much room is left.
// Text entries are the 6-byte entries of the recognition result (byte 0 lead
// byte or 0, byte 1 trail or single byte, bytes 2-3 the 1-based rectangle
// index, bytes 4-5 zero); rectangle entries are four 32-bit values.
struct EnglishRequest {
  EngineImage image;
  std::uint8_t direction = 0;       // writing direction of the group
  std::uint8_t fieldTerminator = 10;   // written after each field (10, 9 or ',')
  std::uint8_t* textEntries = nullptr;  // next free text entry
  std::uint16_t textFree = 0;           // in: entries free; out: entries written
  std::uint16_t charactersSoFar = 0;    // rectangle indices continue after this
  std::int32_t* rectEntries = nullptr;  // next free rectangle entry (4 values each)
  std::uint16_t rectFree = 0;           // in: entries free; out: entries written
};

class EnglishEngine {
 public:
  virtual ~EnglishEngine();

  // InitLayout, first step: start with the dictionary folder. The result is
  // not looked at by the library; 1 = ready.
  virtual std::int16_t start(const std::string& dictionaryFolder) = 0;

  // One group of English fields. 0 lets the driver go on; any other value
  // ends its walk, below 0 as a stop. textFree and rectFree come back as the
  // numbers written; a full array ends the writing without an error.
  virtual std::int16_t recognizeFields(std::span<const EnglishField> fields,
                                       EnglishRequest& request) = 0;

  // How well the engine reads `area` of the page as one block of text as it
  // stands: the mean confidence (0-100) of the letters and digits it reads,
  // or -1 when it reads too few of them to tell.  The way-up vote asks this
  // of pages the Japanese samples cannot decide.
  virtual int readingConfidence(const EngineImage& image, const CharRect& area);
};

// How the Japanese engine reads cells.
enum class ReadingMode {
  LineContext,   // read each text line whole once, answer cells from it
  PerCell,       // read every cell on its own
};

// Where the engines look for Tesseract's language data: the dictionary
// folder's "tessdata" subfolder, then $TESSDATA_PREFIX and Tesseract's
// installed data folders (or, for tests, the subfolder only).
enum class DataSearch { DictionaryFolderThenInstalled, DictionaryFolderOnly };

// The mode the user chose: key "ReadingMode" of section "Recognition" in
// the program's brindel.ini; "PerCell" reads cell by cell, anything else
// (or no key) reads with line context.
ReadingMode configuredReadingMode();

// The Tesseract-backed engines.
std::unique_ptr<JapaneseEngine> createJapaneseEngine(
    ReadingMode mode = configuredReadingMode(),
    DataSearch search = DataSearch::DictionaryFolderThenInstalled);
std::unique_ptr<EnglishEngine> createEnglishEngine(
    DataSearch search = DataSearch::DictionaryFolderThenInstalled);

}  // namespace recognition
