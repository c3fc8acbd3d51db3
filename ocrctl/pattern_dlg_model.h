#pragma once
// What the pattern-management dialog does to the pattern file, apart from
// its widgets: one session over the store's image section.
//
//   attach     read the current file's image section (an old flat file is
//              converted on the way)
//   toggle     switch a pattern between valid and invalid, in the copy
//   remove     delete a pattern, in the copy
//   save       tell the engine what changed, then write the file
//   switchTo   save, then move the store to another file (falling back to
//              the previous one when the new one cannot be loaded)
//   abandon    leave without saving
//
// The engine learns of a change only when the file is written with it: a
// delete followed by Cancel used to leave the engine without a pattern the
// file still held. Should the file write fail after the engine was told,
// leaving the session reloads the engine from the file, so the two agree
// however the dialog ends.
#include "ocrctl/pattern_store.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ocrctl {

struct PatternRecord {
  std::int16_t number = 0;
  std::uint8_t code[2] = {0, 0};  // Shift-JIS, lead byte first
  std::uint16_t flag = 1;
  PatternImage image{};
  bool valid() const { return flag != 0; }
};

// An image section -> its records (the count is not believed beyond the
// records present), and back.
std::vector<PatternRecord> parsePatternSection(const std::vector<std::uint8_t>& section);
std::vector<std::uint8_t> packPatternSection(const std::vector<PatternRecord>& records);

// The engine's pattern operations (ordinals 21 and 22); tests record them.
struct PatternEngineCalls {
  std::function<std::int32_t(std::int16_t number)> deletePattern;
  std::function<std::int32_t(std::int16_t number, std::uint16_t valid)> setValid;
  static PatternEngineCalls engine();
};

class PatternManagement {
 public:
  explicit PatternManagement(PatternStore& store, PatternEngineCalls engine = PatternEngineCalls::engine());

  void attach();
  const std::vector<PatternRecord>& records() const { return records_; }
  int count() const { return static_cast<int>(records_.size()); }
  const std::string& path() const { return store_.patternPath(); }
  bool changed() const { return changed_; }
  // The file was written or the store switched to another one: whoever
  // holds a copy of the section reads it again.
  bool fileTouched() const { return fileTouched_; }

  void toggle(int row);
  void remove(int row);
  // False when the file could not be written (the engine may already know).
  bool save();

  enum class SwitchResult { Switched, FellBack, NoFile, NotSaved };
  SwitchResult switchTo(const std::string& path);
  void abandon();

 private:
  void tellEngine();

  PatternStore& store_;
  PatternEngineCalls engine_;
  std::vector<PatternRecord> records_;
  // The records as the engine knows them.
  std::vector<PatternRecord> engineRecords_;
  bool changed_ = false;
  bool engineAhead_ = false;
  bool fileTouched_ = false;
};

}  // namespace ocrctl
