#include <cctype>
#include <cmath>
#include "recognition/tesseract_english_engine.h"

#include <algorithm>
#include <cstdlib>

#include "platform/paths.h"
#include "recognition/cell_image.h"
#include "recognition/character_codes.h"

namespace recognition {
namespace {

constexpr int kLineCrossPixels = 36;
constexpr int kBorder = 8;

class EntryWriter {
 public:
  explicit EntryWriter(EnglishRequest& r) : r_(r), textRoom_(r.textFree), rectRoom_(r.rectFree) {}

  // False once the arrays are full; nothing more is written then.
  bool character(std::uint16_t code, const CharRect& rect) {
    if (full_ || textUsed_ + 3 > textRoom_ || rectUsed_ + 1 > rectRoom_) return stop();
    std::int32_t* re = r_.rectEntries + 4 * rectUsed_;
    re[0] = rect.left;
    re[1] = rect.top;
    re[2] = rect.right;
    re[3] = rect.bottom;
    ++rectUsed_;
    const int index = r_.charactersSoFar + rectUsed_;
    put(static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code & 0xFF), index);
    return true;
  }
  bool control(std::uint8_t code) {
    if (full_ || textUsed_ + 3 > textRoom_) return stop();
    put(0, code, 0);
    return true;
  }
  void finish() {
    r_.textFree = static_cast<std::uint16_t>(textUsed_);
    r_.rectFree = static_cast<std::uint16_t>(rectUsed_);
  }

 private:
  bool stop() {
    full_ = true;
    return false;
  }
  void put(std::uint8_t lead, std::uint8_t trail, int index) {
    std::uint8_t* e = r_.textEntries + 6 * textUsed_;
    e[0] = lead;
    e[1] = trail;
    e[2] = static_cast<std::uint8_t>(index & 0xFF);
    e[3] = static_cast<std::uint8_t>((index >> 8) & 0xFF);
    e[4] = 0;
    e[5] = 0;
    ++textUsed_;
  }

  EnglishRequest& r_;
  int textRoom_, rectRoom_;
  int textUsed_ = 0, rectUsed_ = 0;
  bool full_ = false;
};

}  // namespace

std::int16_t TesseractEnglishEngine::start(const std::string& dictionaryFolder) {
  if (reader_.isOpen()) return kEngineDone;
  const std::string preferred =
      dictionaryFolder.empty() ? std::string() : platform::joinPath(dictionaryFolder, "tessdata");
  const std::string folder = findLanguageData(preferred, "eng", search_ == DataSearch::DictionaryFolderOnly);
  if (folder.empty() || !reader_.open(folder, "eng")) return kEngineRefused;
  return kEngineDone;
}

int TesseractEnglishEngine::readingConfidence(const EngineImage& image, const CharRect& area) {
  // Fewer letters than a short line's say nothing about the way up.
  constexpr int kLeastLetters = 12;
  if (!reader_.isOpen() || image.bits == nullptr || area.empty()) return -1;
  const GreyPiece piece = greyCrop(image, area, 8, 1);
  if (!piece.pix) return -1;
  double sum = 0;
  int letters = 0;
  for (const SymbolReading& symbol : reader_.read(piece.pix.get(), Segmentation::SingleBlock, image.dpi)) {
    if (symbol.choices.empty() || symbol.choices.front().size() != 1) continue;
    const unsigned char c = static_cast<unsigned char>(symbol.choices.front()[0]);
    if (!std::isalnum(c)) continue;
    sum += symbol.confidence;
    ++letters;
  }
  return letters < kLeastLetters ? -1 : static_cast<int>(std::lround(sum / letters));
}

std::int16_t TesseractEnglishEngine::recognizeFields(std::span<const EnglishField> fields,
                                                     EnglishRequest& request) {
  if (!reader_.isOpen() || !request.image.bits || !request.textEntries || !request.rectEntries) {
    request.textFree = 0;
    request.rectFree = 0;
    return kEngineStop;
  }
  const EngineImage& image = request.image;
  EntryWriter out(request);
  for (const EnglishField& field : fields) {
    std::vector<CharRect> lines = field.lines;
    const bool wholeField = lines.empty();
    if (wholeField) lines.push_back(field.rect);
    bool fieldHasText = false;
    bool full = false;
    for (const CharRect& lineRect : lines) {
      const CharRect rect = clipToImage(image, lineRect);
      if (rect.empty() || full) continue;
      const GreyPiece piece = greyCrop(image, rect, kBorder,
                                       wholeField ? 1 : enlargementFor(rect.height(), kLineCrossPixels));
      if (!piece.pix) continue;
      const auto symbols = reader_.read(piece.pix.get(),
                                        wholeField ? Segmentation::SingleBlock : Segmentation::SingleLine,
                                        image.dpi * piece.scale);
      auto toPage = [&](int v, int origin) {
        return static_cast<std::int16_t>(origin + v / piece.scale - piece.border);
      };
      CharRect previous;
      bool lineStarted = false;
      for (const SymbolReading& s : symbols) {
        const std::uint16_t code = s.choices.empty() ? 0 : sjisCode(s.choices.front(), false);
        if (code == 0) continue;
        const CharRect r{toPage(s.left, rect.left), toPage(s.top, rect.top), toPage(s.right, rect.left),
                         toPage(s.bottom, rect.top)};
        bool ok = true;
        if (fieldHasText && (!lineStarted || s.startsLine)) {
          ok = out.control(field.lineEnds ? 10 : ' ');
        } else if (lineStarted && s.startsWord) {
          const CharRect gap{static_cast<std::int16_t>(previous.right + 1), r.top,
                             static_cast<std::int16_t>(std::max<int>(previous.right + 1, r.left - 1)),
                             r.bottom};
          ok = out.character(' ', gap);
        }
        if (!ok || !out.character(code, r)) {
          full = true;
          break;
        }
        previous = r;
        lineStarted = true;
        fieldHasText = true;
      }
    }
    if (!out.control(request.fieldTerminator)) break;
  }
  out.finish();
  return kEnglishGoOn;
}

}  // namespace recognition
