#pragma once
// The English engine over Tesseract's eng model.
//
// A group of fields is read line by line (each line as one text line; a
// field without lines as one block) and written straight into the caller's
// text and rectangle arrays: one entry per character, a single-byte blank
// between words (its rectangle the gap), a line feed between lines (a blank
// when the field's lines run on) and the field terminator after each field.
// Every written character, blanks included, takes the next rectangle.

#include "recognition/recognition_engine.h"
#include "recognition/tesseract_reader.h"

namespace recognition {

class TesseractEnglishEngine final : public EnglishEngine {
 public:
  explicit TesseractEnglishEngine(DataSearch search = DataSearch::DictionaryFolderThenInstalled)
      : search_(search) {}
  std::int16_t start(const std::string& dictionaryFolder) override;
  std::int16_t recognizeFields(std::span<const EnglishField> fields, EnglishRequest& request) override;
  int readingConfidence(const EngineImage& image, const CharRect& area) override;

 private:
  DataSearch search_;
  TesseractReader reader_;
};

}  // namespace recognition
