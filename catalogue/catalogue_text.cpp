#include "catalogue/catalogue_text.h"

#include "platform/sjis_codec.h"

#include <algorithm>

namespace catalogue {
namespace {

bool holdsForbidden(std::string_view text) {
  return text.find_first_of(kForbiddenSet1) != std::string_view::npos ||
         text.find_first_of(kForbiddenSet2) != std::string_view::npos;
}

bool isValidName(std::string_view text, int minBytes, int maxBytes) {
  if (holdsForbidden(text)) return false;
  // A Shift-JIS form is never longer than the UTF-8 one, so only long texts
  // need the conversion.
  if (static_cast<int>(text.size()) < minBytes) return false;
  const int length = platform::cp932Length(text);
  return length >= minBytes && length <= maxBytes;
}

}  // namespace

bool isValidTitle(std::string_view title) { return isValidName(title, 1, kTitleMaxBytes); }
bool isValidExtension(std::string_view ext) { return isValidName(ext, 1, kExtensionMaxBytes); }
bool isValidTextExt(std::string_view ext) { return isValidName(ext, 0, kExtensionMaxBytes); }

std::string invalidTitleMessage(std::string_view field, std::string_view text,
                                std::string_view operation) {
  std::string message = "指定された";
  message.append(field).append("(").append(text).append(")に ");
  message.append(kForbiddenSet1).append(kForbiddenSet2);
  message.append(" が含まれているか、空文字列か文字列が長すぎます。: ").append(operation);
  return message;
}

std::string cutToSjisBytes(std::string_view utf8, int maxBytes) {
  if (static_cast<int>(utf8.size()) <= maxBytes) return std::string(utf8);
  size_t end = 0;
  int bytes = 0;
  while (end < utf8.size()) {
    const size_t step =
        std::min(utf8.size() - end, platform::utf8SequenceLength(static_cast<unsigned char>(utf8[end])));
    // A character without a Shift-JIS code would travel as one '?'.
    const int width = std::max(1, platform::cp932Length(utf8.substr(end, step)));
    if (bytes + width > maxBytes) break;
    bytes += width;
    end += step;
  }
  return std::string(utf8.substr(0, end));
}

std::string_view titleOfFileName(std::string_view fileName) {
  const size_t point = fileName.rfind('.');
  return point == std::string_view::npos ? fileName : fileName.substr(0, point);
}

std::string toStoredAttribute(std::string_view text) {
  std::string stored(text);
  for (char& c : stored) {
    if (c == '\'') c = '\x01';
    else if (c == '|') c = '\x02';
  }
  return stored;
}

std::string fromStoredAttribute(std::string_view stored) {
  std::string text(stored);
  for (char& c : text) {
    if (c == '\x01') c = '\'';
    else if (c == '\x02') c = '|';
  }
  return text;
}

}  // namespace catalogue
