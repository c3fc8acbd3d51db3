// Scripted stand-ins for the recognition engines: they record every call and
// answer from a script, so that the library's hand-over (dictionary paths,
// field settings, cells) can be checked without a real engine.
#pragma once

#include "recognition/recognition_engine.h"

#include <deque>
#include <string>
#include <vector>

namespace layouttest {

struct EngineLog {
  std::vector<recognition::DictionaryPaths> loads;
  int closes = 0;
  std::vector<std::string> englishStarts;
  std::vector<std::uint32_t> fieldParams;  // kind mask << 16 | word
  std::vector<recognition::CharRect> cells;
};

class ScriptedJapaneseEngine final : public recognition::JapaneseEngine {
 public:
  explicit ScriptedJapaneseEngine(EngineLog& log, std::int16_t loadResult = 1) : log_(log), loadResult_(loadResult) {}

  // Answers for readCell, in order; when empty a cell reads as nothing.
  std::deque<recognition::CellResult> cellAnswers;

  std::int16_t loadDictionaries(const recognition::DictionaryPaths& paths) override {
    log_.loads.push_back(paths);
    return loadResult_;
  }
  void close() override { ++log_.closes; }
  std::int16_t setFieldParams(std::uint16_t mask, std::uint16_t word, std::uint32_t) override {
    log_.fieldParams.push_back((std::uint32_t{mask} << 16) | word);
    return 1;
  }
  std::int16_t beginLine(const recognition::EngineImage&, const recognition::CharRect&,
                         recognition::LineDirection) override {
    return 1;
  }
  void endLine() override {}
  std::int16_t readCell(const recognition::EngineImage&, const recognition::CharRect& cell,
                        recognition::CellResult& result) override {
    log_.cells.push_back(cell);
    if (cellAnswers.empty()) {
      result = {};
      return 1;
    }
    result = cellAnswers.front();
    cellAnswers.pop_front();
    return 1;
  }
  std::int16_t resolveLattice(const recognition::EngineImage&, recognition::FieldLattice&) override { return 1; }
  std::int32_t registerPattern(std::int16_t*, const std::uint16_t*, const std::uint8_t*, std::uint16_t,
                               std::uint16_t, const std::int32_t*) override {
    return 0;
  }
  std::int32_t deletePattern(std::int16_t) override { return 0; }
  std::int32_t setPatternValid(std::int16_t, std::uint16_t) override { return 0; }
  std::int32_t mergeLearning(const std::string&, const std::string&, const std::string&) override { return 0; }
  std::int16_t candidates(const std::uint8_t*, std::uint16_t, std::uint16_t, const std::int32_t*,
                          std::uint16_t*, int) override {
    return 0;
  }

 private:
  EngineLog& log_;
  std::int16_t loadResult_;
};

class ScriptedEnglishEngine final : public recognition::EnglishEngine {
 public:
  explicit ScriptedEnglishEngine(EngineLog& log) : log_(log) {}
  std::int16_t start(const std::string& folder) override {
    log_.englishStarts.push_back(folder);
    return 1;
  }
  std::int16_t recognizeFields(std::span<const recognition::EnglishField>,
                               recognition::EnglishRequest& request) override {
    request.textFree = 0;
    request.rectFree = 0;
    return 0;
  }

 private:
  EngineLog& log_;
};

// Installs scripted engines into the library state for the life of the
// object, and puts the built-in ones back afterwards.
class ScriptedEngines {
 public:
  explicit ScriptedEngines(std::int16_t loadResult = 1);
  ~ScriptedEngines();
  EngineLog log;
  ScriptedJapaneseEngine* japanese = nullptr;
};

}  // namespace layouttest
