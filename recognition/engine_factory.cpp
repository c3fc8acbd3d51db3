#include "recognition/recognition_engine.h"
#include "recognition/tesseract_english_engine.h"
#include "recognition/tesseract_japanese_engine.h"

namespace recognition {

std::unique_ptr<JapaneseEngine> createJapaneseEngine(ReadingMode mode) {
  return std::make_unique<TesseractJapaneseEngine>(mode);
}

std::unique_ptr<EnglishEngine> createEnglishEngine() {
  return std::make_unique<TesseractEnglishEngine>();
}

}  // namespace recognition
