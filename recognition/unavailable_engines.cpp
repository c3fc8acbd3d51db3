// Engines that refuse to start: what the factories give until the
// Tesseract-backed engines are in place. Every call reports failure.
#include "recognition/recognition_engine.h"

namespace recognition {
namespace {

class UnavailableJapaneseEngine final : public JapaneseEngine {
 public:
  std::int16_t loadDictionaries(const DictionaryPaths&) override { return 0; }
  void close() override {}
  std::int16_t setFieldParams(std::uint16_t, std::uint16_t, std::uint32_t) override { return 0; }
  std::int16_t beginLine(const EngineImage&, const CharRect&, LineDirection) override { return 0; }
  void endLine() override {}
  std::int16_t readCell(const EngineImage&, const CharRect&, CellResult&) override { return 0; }
  std::int16_t resolveLattice(const EngineImage&, FieldLattice&) override { return 0; }
  std::int32_t registerPattern(std::int16_t*, const std::uint16_t*, const std::uint8_t*,
                               std::uint16_t, std::uint16_t, const std::int32_t*) override {
    return 0;
  }
  std::int32_t deletePattern(std::int16_t) override { return 0; }
  std::int32_t setPatternValid(std::int16_t, std::uint16_t) override { return 0; }
  std::int32_t mergeLearning(const std::string&, const std::string&, const std::string&) override {
    return 0;
  }
  std::int16_t candidates(const std::uint8_t*, std::uint16_t, std::uint16_t, const std::int32_t*,
                          std::uint16_t*, int) override {
    return 0;
  }
};

class UnavailableEnglishEngine final : public EnglishEngine {
 public:
  std::int16_t start(const std::string&) override { return 0; }
  std::int16_t recognizeFields(std::span<const EnglishField>, EnglishRequest& request) override {
    request.textFree = 0;
    request.rectFree = 0;
    return -1;
  }
};

}  // namespace

std::unique_ptr<JapaneseEngine> createJapaneseEngine(ReadingMode) {
  return std::make_unique<UnavailableJapaneseEngine>();
}
std::unique_ptr<EnglishEngine> createEnglishEngine() {
  return std::make_unique<UnavailableEnglishEngine>();
}

}  // namespace recognition
