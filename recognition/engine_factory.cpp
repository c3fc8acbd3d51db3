#include "recognition/recognition_engine.h"
#include "recognition/tesseract_english_engine.h"
#include "recognition/tesseract_japanese_engine.h"

namespace recognition {

std::unique_ptr<JapaneseEngine> createJapaneseEngine(ReadingMode mode, DataSearch search) {
  return std::make_unique<TesseractJapaneseEngine>(mode, search);
}

std::unique_ptr<EnglishEngine> createEnglishEngine(DataSearch search) {
  return std::make_unique<TesseractEnglishEngine>(search);
}

}  // namespace recognition
