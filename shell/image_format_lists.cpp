#include "shell/image_format_lists.h"

#include "platform/imaging/image_codec.h"
#include "shell/image_utilities.h"

#include <QComboBox>

#include <algorithm>
#include <initializer_list>

namespace imageformat {
namespace {

bool oneOf(int code, std::initializer_list<int> codes) {
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

bool between(int code, int from, int to) { return code >= from && code <= to; }

std::vector<int> writable(std::initializer_list<int> codes) {
  std::vector<int> out;
  for (int code : codes)
    if (platform::imaging::canWriteFormat(code)) out.push_back(code);
  return out;
}

Choice entry(const char* text, int data, bool preferred = false) {
  return Choice{QString::fromUtf8(text), data, preferred};
}

std::vector<Choice> bitsTwoToEight() {
  return {entry("白黒", 1),         entry("2bit カラー", 2), entry("3bit カラー", 3), entry("4bit カラー", 4),
          entry("5bit カラー", 5), entry("6bit カラー", 6), entry("7bit カラー", 7), entry("256色", 8, true)};
}

}  // namespace

std::vector<int> ExportFormatCodes(bool sameFormatOnly) {
  std::vector<int> codes{kSameFormat};
  if (sameFormatOnly) return codes;
  const std::vector<int> listed =
      writable({5,  26, 10, 23, 21, 1,  2,  4,  75, 76, 6,  84, 14, 74, 15, 16, 3,  17, 11, 24, 22, 25, 27, 28, 29,
                66, 67, 68, 69, 70, 71, 72, 73, 77, 78, 79, 54, 55, 50, 51, 56, 53, 52, 80, 81, 82, 83, 96, 97, 98});
  codes.insert(codes.end(), listed.begin(), listed.end());
  return codes;
}

std::vector<int> ConvertFormatCodes() { return writable({10, 6, 3, 27, 29, 5, 26}); }

int ColourClassOf(int code) {
  if (code == kSameFormat) return kNoClass;
  if (oneOf(code, {1, 14, 56, 74, 75})) return 1;
  if (code == 2) return 2;
  if (oneOf(code, {3, 17, 87})) return 3;
  if (code == 4) return 4;
  if (oneOf(code, {5, 10, 11, 20, 83, 80, 82})) return 5;
  if (code == 6) return 7;
  if (code == 16) return 8;
  if (oneOf(code, {21, 22, 23, 24})) return 6;
  if (between(code, 25, 29) || between(code, 50, 53) || between(code, 66, 73) || between(code, 77, 79)) return 9;
  if (code == 54) return 10;
  if (code == 55) return 11;
  if (code == 76) return 12;
  if (code == 84) return 13;
  if (oneOf(code, {57, 63, 64, 89, 90})) return kKeepLists;
  return 6;
}

int CompressionClassOf(int code) {
  if (oneOf(code, {57, 63, 64, 89, 90})) return kKeepLists;
  if (oneOf(code, {5, 10, 11, 20, 83, 21, 22, 23, 24})) return 2;
  return kNoClass;
}

std::vector<Choice> ColourChoices(int colourClass) {
  switch (colourClass) {
    case kNoClass: return {Choice{QString(), -1, true}};
    case 1: return {entry("白黒", 1), entry("16色", 4), entry("256色", 8, true), entry("24bit カラー", 24)};
    case 2: return bitsTwoToEight();
    case 3: {
      std::vector<Choice> choices = bitsTwoToEight();
      choices.push_back(entry("16bit カラー", 16));
      choices.push_back(entry("24bit カラー", 24));
      return choices;
    }
    case 4: return {entry("256色", 8, true), entry("16bit カラー", 16), entry("24bit カラー", 24), entry("32bit カラー", 32)};
    case 5: return {entry("グレースケール", 0), entry("24bit カラー", 24, true)};
    case 7:
      return {entry("白黒", 1),           entry("16色", 4),           entry("256色", 8, true),
              entry("16bit カラー", 16), entry("24bit カラー", 24), entry("32bit カラー", 32)};
    case 8: return {entry("グレースケール", 0, true)};
    case 9: return {entry("白黒", 1, true)};
    case 10: return {entry("白黒", 1), entry("16色", 4), entry("256色", 8, true)};
    case 11:
      return {entry("白黒", 1), entry("16色", 4), entry("256色", 8, true), entry("24bit カラー", 24),
              entry("32bit カラー", 32)};
    case 12: return {entry("白黒", 1), entry("256色", 8, true), entry("24bit カラー", 24)};
    case 13: return {entry("16色", 4), entry("256色", 8, true)};
    default: return {entry("24bit カラー", 24, true)};
  }
}

std::vector<Choice> CompressionChoices(int compressionClass) {
  if (compressionClass == 2) return {entry("高圧縮", 255), entry("中圧縮", 120), entry("低圧縮", 2, true)};
  return {Choice{QString(), -1, true}};
}

bool FormatHoldsPages(int code) {
  return oneOf(code, {1, 3, 11, 17, 22, 24, 25, 27, 28, 29, 85, 86, 87, 88, 93, 94, 95});
}

QString FormatText(int code) {
  if (code == kSameFormat) return QStringLiteral("(同一形式)");
  return QString::fromStdString(GetImageFormatName(code));
}

}  // namespace imageformat

ImageFormatChoices::ImageFormatChoices(QComboBox* format, QComboBox* colour, QComboBox* compression)
    : format_(format), colour_(colour), compression_(compression) {}

void ImageFormatChoices::FillFormats(const std::vector<int>& codes) {
  format_->clear();
  for (int code : codes) format_->addItem(imageformat::FormatText(code), code);
}

void ImageFormatChoices::SelectData(QComboBox* box, int value) {
  const int at = box->findData(value);
  box->setCurrentIndex(at >= 0 ? at : (box->count() > 0 ? 0 : -1));
}

void ImageFormatChoices::RefillForFormat() {
  const int code = FormatCode();
  const auto refill = [](QComboBox* box, int cls, const std::vector<imageformat::Choice>& choices) {
    if (cls == imageformat::kKeepLists) return;
    box->clear();
    int preferred = 0;
    for (const imageformat::Choice& c : choices) {
      if (c.preferred) preferred = box->count();
      box->addItem(c.text, c.data);
    }
    box->setCurrentIndex(preferred);
  };
  const int colourClass = imageformat::ColourClassOf(code);
  const int compressionClass = imageformat::CompressionClassOf(code);
  refill(colour_, colourClass, imageformat::ColourChoices(colourClass));
  refill(compression_, compressionClass, imageformat::CompressionChoices(compressionClass));
}

int ImageFormatChoices::FormatCode() const { return format_->currentData().isValid() ? format_->currentData().toInt() : 0; }
int ImageFormatChoices::ColourBits() const { return colour_->currentData().isValid() ? colour_->currentData().toInt() : -1; }
int ImageFormatChoices::Quality() const {
  return compression_->currentData().isValid() ? compression_->currentData().toInt() : -1;
}
