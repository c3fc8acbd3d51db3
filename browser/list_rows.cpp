#include "browser/list_rows.h"

#include "catalogue/sjis_text.h"
#include "platform/sjis_codec.h"

#include <cstdio>

namespace listpane {

namespace {

std::string lastChars(const std::string& text, std::size_t count) {
  const std::string padded = std::string(count, '0') + text;
  return padded.substr(padded.size() - count);
}

}  // namespace

std::string ListSortKey(int column, const std::string& cellText) {
  if (column == kPages) return lastChars(cellText, 6);
  if (column < kIssueDate) return cellText;
  const std::size_t first = cellText.find('/');
  const std::size_t second = first == std::string::npos ? first : cellText.find('/', first + 1);
  if (second == std::string::npos) return cellText;
  return lastChars(cellText.substr(0, first), 4) + "/" + lastChars(cellText.substr(first + 1, second - first - 1), 2) +
         "/" + lastChars(cellText.substr(second + 1), 2);
}

PreparedKey PrepareSortKey(const std::string& utf8Key) {
  PreparedKey key;
  key.bytes = platform::toCp932Lossy(utf8Key);
  key.upper = MakeUpperSjis(key.bytes);
  return key;
}

int CompareSortKeys(const PreparedKey& a, const PreparedKey& b) {
  const int upper = CompareMultibyte(a.upper, b.upper);
  return upper != 0 ? upper : CompareMultibyte(a.bytes, b.bytes);
}

std::string FormatListDate(int ymd) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d", (ymd / 10000) % 10000, (ymd / 100) % 100, ymd % 100);
  return text;
}

std::string ElideCellText(const std::string& utf8, const std::function<bool(const std::string&)>& fits) {
  if (fits(utf8)) return utf8;
  std::string text = utf8;
  while (!text.empty()) {
    // Drop one whole character: back over UTF-8 continuation bytes.
    std::size_t end = text.size() - 1;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.erase(end);
    if (fits(text + "...")) break;
  }
  return text + "...";
}

}  // namespace listpane
