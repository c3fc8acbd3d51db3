#include "recognition/tesseract_reader.h"

#include <leptonica/allheaders.h>
#include <omp.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace recognition {

TesseractReader::TesseractReader() = default;
TesseractReader::~TesseractReader() { close(); }

bool TesseractReader::open(const std::string& dataFolder, const std::string& language) {
  close();
  std::error_code ec;
  const auto model = std::filesystem::path(dataFolder) / (language + ".traineddata");
  if (!std::filesystem::is_regular_file(model, ec) || std::filesystem::file_size(model, ec) == 0 || ec) return false;
  dataFolder_ = dataFolder;
  language_ = language;
  return true;
}

bool TesseractReader::load() {
  if (api_) return true;
  if (loadFailed_ || language_.empty()) return false;
  // Tesseract's OpenMP threads only cost time on the small images it gets
  // here, and make timings depend on the machine's load. OMP_THREAD_LIMIT is
  // read when the process starts, too early for a library to set it; no
  // active parallel levels has the same effect from now on.
  omp_set_max_active_levels(0);
  auto api = std::make_unique<tesseract::TessBaseAPI>();
  // Tesseract reports missing data on stderr; keep its debug chatter out of
  // the host's streams otherwise.
  api->SetVariable("debug_file", "/dev/null");
  if (api->Init(dataFolder_.c_str(), language_.c_str(), tesseract::OEM_LSTM_ONLY) != 0) {
    api->End();
    loadFailed_ = true;
    return false;
  }
  api->SetVariable("lstm_choice_mode", "2");
  // Each further round of choices decodes the line again (five by default,
  // more than the network's own reading costs); two rounds give the
  // alternatives that matter.
  api->SetVariable("lstm_choice_iterations", "2");
  api_ = std::move(api);
  return true;
}

void TesseractReader::close() {
  if (api_) api_->End();
  api_.reset();
  dataFolder_.clear();
  language_.clear();
  loadFailed_ = false;
}

std::vector<SymbolReading> TesseractReader::read(Pix* image, Segmentation mode, int dpi) {
  std::vector<SymbolReading> symbols;
  if (!image || !load()) return symbols;
  // A vertical line is turned a quarter to the left (its top to the left
  // edge) and read as one horizontal line by the vertical model, which is
  // what Tesseract does with each vertical line it finds itself.  Left to
  // find the lines of a single column, Tesseract's block mode now and then
  // cuts a long column into overlapping pieces and gives them in the wrong
  // order, and its symbol boxes then say nothing about where they lie.
  std::unique_ptr<Pix, void (*)(Pix*)> turned(nullptr, [](Pix* p) { pixDestroy(&p); });
  const int width = pixGetWidth(image);
  switch (mode) {
    case Segmentation::SingleChar: api_->SetPageSegMode(tesseract::PSM_SINGLE_CHAR); break;
    case Segmentation::SingleLine: api_->SetPageSegMode(tesseract::PSM_SINGLE_LINE); break;
    case Segmentation::SingleBlock: api_->SetPageSegMode(tesseract::PSM_SINGLE_BLOCK); break;
    case Segmentation::VerticalLine:
      turned.reset(pixRotateOrth(image, 3));
      if (!turned) return symbols;
      image = turned.get();
      api_->SetPageSegMode(tesseract::PSM_SINGLE_LINE);
      break;
  }
  api_->SetImage(image);
  api_->SetSourceResolution(dpi > 0 ? dpi : 300);
  if (api_->Recognize(nullptr) != 0) return symbols;
  std::unique_ptr<tesseract::ResultIterator> it(api_->GetIterator());
  if (!it) return symbols;
  constexpr auto kLevel = tesseract::RIL_SYMBOL;
  do {
    if (it->Empty(kLevel)) continue;
    std::unique_ptr<char[]> text(it->GetUTF8Text(kLevel));
    if (!text || !text[0]) continue;
    SymbolReading s;
    int l = 0, t = 0, r = 0, b = 0;
    it->BoundingBox(kLevel, &l, &t, &r, &b);
    if (turned) {
      // Back from the turned image: its columns are the line's rows, its
      // rows counted from the line's right edge.
      s.left = width - b;
      s.right = width - 1 - t;
      s.top = l;
      s.bottom = r - 1;
    } else {
      s.left = l;
      s.top = t;
      s.right = r - 1;
      s.bottom = b - 1;
    }
    s.confidence = it->Confidence(kLevel);
    s.startsWord = it->IsAtBeginningOf(tesseract::RIL_WORD);
    s.startsLine = it->IsAtBeginningOf(tesseract::RIL_TEXTLINE);
    s.choices.emplace_back(text.get());
    tesseract::ChoiceIterator choice(*it);
    do {
      const char* alt = choice.GetUTF8Text();
      if (alt && *alt && std::find(s.choices.begin(), s.choices.end(), alt) == s.choices.end())
        s.choices.emplace_back(alt);
    } while (choice.Next());
    symbols.push_back(std::move(s));
  } while (it->Next(kLevel));
  return symbols;
}

std::string findLanguageData(const std::string& preferred, const std::string& language,
                             bool preferredOnly) {
  namespace fs = std::filesystem;
  const std::string file = language + ".traineddata";
  std::vector<std::string> folders;
  if (!preferred.empty()) folders.push_back(preferred);
  if (!preferredOnly) {
    if (const char* env = std::getenv("TESSDATA_PREFIX"); env && *env) {
      folders.emplace_back(env);
      folders.push_back(std::string(env) + "/tessdata");
    }
    folders.emplace_back("/usr/share/tesseract-ocr/5/tessdata");
    folders.emplace_back("/usr/share/tessdata");
    folders.emplace_back("/usr/local/share/tessdata");
  }
  std::error_code ec;
  for (const std::string& folder : folders)
    if (fs::is_regular_file(fs::path(folder) / file, ec)) return folder;
  return {};
}

}  // namespace recognition
