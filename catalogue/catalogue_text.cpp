#include "catalogue/catalogue_text.h"

#include "platform/sjis_codec.h"

#include <algorithm>
#include <optional>

namespace catalogue {
namespace {

bool isRefusedByte(unsigned char c, bool noPoint) {
  if (c < 0x20 || c == 0x7F) return true;
  if (noPoint && c == '.') return true;
  return kForbiddenSet1.find(static_cast<char>(c)) != std::string_view::npos ||
         kForbiddenSet2.find(static_cast<char>(c)) != std::string_view::npos;
}

// The Shift-JIS form of one UTF-8 character when it reads back as itself.
std::optional<std::string> roundTrip(std::string_view character) {
  auto sjis = platform::toCp932(character);
  if (!sjis || platform::fromCp932(*sjis) != character) return std::nullopt;
  return sjis;
}

}  // namespace

int checkNameText(std::string_view utf8, int maxBytes, bool noPoint) {
  if (utf8.empty()) return -1;
  // One character at a time, so that the position of a refused character
  // is its place in the Shift-JIS form; plain ASCII needs no conversion.
  int bytes = 0;
  int firstRefused = 0;
  for (std::size_t at = 0; at < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    const std::size_t step = std::min(utf8.size() - at, platform::utf8SequenceLength(lead));
    const std::string_view character = utf8.substr(at, step);
    int width = 1;
    bool refused = false;
    if (lead < 0x80) {
      refused = isRefusedByte(lead, noPoint);
    } else if (const auto sjis = roundTrip(character)) {
      width = static_cast<int>(sjis->size());
      refused = width == 1 && isRefusedByte(static_cast<unsigned char>((*sjis)[0]), noPoint);
    } else {
      refused = true;
    }
    if (refused && firstRefused == 0) firstRefused = bytes + 1;
    bytes += width;
    at += step;
  }
  if (bytes > maxBytes) return -2;
  return firstRefused;
}

bool isValidTitle(std::string_view title) { return checkNameText(title, kTitleMaxBytes, false) == 0; }
bool isValidExtension(std::string_view ext) { return checkNameText(ext, kExtensionMaxBytes, true) == 0; }
bool isValidTextExt(std::string_view ext) {
  return ext.empty() || checkNameText(ext, kExtensionMaxBytes, true) == 0;
}

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
