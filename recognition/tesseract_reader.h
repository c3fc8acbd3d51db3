#pragma once
// One initialised Tesseract model and the readings it gives.
//
//   TesseractReader::open      name a language; its model (150-450 ms CPU to
//                              load) is loaded by the first reading, so a
//                              program that never reads with it never pays
//                              for it
//   TesseractReader::read      read a grey image in a page-segmentation mode
//   SymbolReading              one symbol: its box, confidence, choices in order
//   findLanguageData           the folder that holds a language's model
//
// Tesseract's LSTM models give a usable confidence only for the best choice;
// the later choices come back with confidences near 0 and only their order
// means something, and only when lstm_choice_mode is 2. An empty result must
// not be asked for choices: building a choice iterator on it aborts.

#include <memory>
#include <string>
#include <vector>

struct Pix;
namespace tesseract { class TessBaseAPI; }

namespace recognition {

struct SymbolReading {
  int left = 0, top = 0, right = -1, bottom = -1;  // inclusive, image pixels
  float confidence = 0;                             // 0-100 of the best choice
  std::vector<std::string> choices;                 // UTF-8, best first, distinct
  bool startsWord = false;
  bool startsLine = false;
};

enum class Segmentation {
  SingleChar,    // the image is one character
  SingleLine,    // one horizontal line
  SingleBlock,   // one uniform block of horizontal lines
  VerticalLine,  // one vertical line, top to bottom (with the vertical model)
};

class TesseractReader {
 public:
  TesseractReader();
  ~TesseractReader();
  TesseractReader(const TesseractReader&) = delete;
  TesseractReader& operator=(const TesseractReader&) = delete;

  // Takes `language` from `dataFolder`; false when its model file is
  // missing or empty. A model that then does not initialise reads nothing.
  bool open(const std::string& dataFolder, const std::string& language);
  void close();
  bool isOpen() const { return !language_.empty(); }

  // Symbols in reading order. `image` is 8-bit grey (0 ink, 255 paper).
  std::vector<SymbolReading> read(Pix* image, Segmentation mode, int dpi);

 private:
  bool load();

  std::unique_ptr<tesseract::TessBaseAPI> api_;
  std::string dataFolder_, language_;
  bool loadFailed_ = false;
};

// The folder holding `language`.traineddata: `preferred` (when not empty),
// then, unless `preferredOnly`, $TESSDATA_PREFIX (with or without a
// "tessdata" child) and the installed data folders. Empty when none has it.
std::string findLanguageData(const std::string& preferred, const std::string& language,
                             bool preferredOnly = false);

}  // namespace recognition
