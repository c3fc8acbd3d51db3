#include "recognition/recognition_engine.h"

#include "platform/profile.h"
#include "platform/program_folder.h"
#include "platform/sjis_codec.h"
#include "recognition/tesseract_english_engine.h"
#include "recognition/tesseract_japanese_engine.h"

namespace recognition {

ReadingMode configuredReadingMode() {
  const std::string value =
      platform::getProfileString(platform::programIniPath(), "Recognition", "ReadingMode", "LineContext");
  return platform::asciiEqualsIgnoreCase(value, "PerCell") ? ReadingMode::PerCell : ReadingMode::LineContext;
}

std::unique_ptr<JapaneseEngine> createJapaneseEngine(ReadingMode mode, DataSearch search) {
  return std::make_unique<TesseractJapaneseEngine>(mode, search);
}

std::unique_ptr<EnglishEngine> createEnglishEngine(DataSearch search) {
  return std::make_unique<TesseractEnglishEngine>(search);
}

}  // namespace recognition
