#include "catalogue/sjis_text.h"

#include "platform/sjis_codec.h"

std::string GetLastChar(std::string_view sjis) {
  if (sjis.empty()) return {};
  std::size_t last = 0;
  for (std::size_t i = 0; i < sjis.size();) {
    last = i;
    i += platform::isSjisLeadByte(static_cast<unsigned char>(sjis[i])) ? 2 : 1;
  }
  const bool lead = platform::isSjisLeadByte(static_cast<unsigned char>(sjis[last]));
  return std::string(sjis.substr(last, lead ? 2 : 1));
}

std::string MakeUpperSjis(std::string_view sjis) {
  std::string out(sjis);
  for (std::size_t i = 0; i < out.size();) {
    const auto c = static_cast<unsigned char>(out[i]);
    if (platform::isSjisLeadByte(c)) {
      i += 2;
      continue;
    }
    if (c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 0x20);
    ++i;
  }
  return out;
}

int CompareMultibyte(std::string_view a, std::string_view b) {
  const auto next = [](std::string_view s, std::size_t& i) {
    const auto c = static_cast<unsigned char>(s[i++]);
    if (platform::isSjisLeadByte(c) && i < s.size()) return c << 8 | static_cast<unsigned char>(s[i++]);
    return static_cast<int>(c);
  };
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const int ca = next(a, i);
    const int cb = next(b, j);
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

int CompareTitles(std::string_view utf8A, std::string_view utf8B) {
  const std::string a = platform::toCp932Lossy(utf8A);
  const std::string b = platform::toCp932Lossy(utf8B);
  const int upper = CompareMultibyte(MakeUpperSjis(a), MakeUpperSjis(b));
  return upper != 0 ? upper : CompareMultibyte(a, b);
}

namespace {

bool isTrailingSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Bytes and characters of a token as its Shift-JIS form counts them; a
// character without a Shift-JIS code counts its UTF-8 bytes.
std::size_t sjisBytes(std::string_view utf8) {
  const int length = platform::cp932Length(utf8);
  return length >= 0 ? static_cast<std::size_t>(length) : utf8.size();
}

std::size_t characters(std::string_view utf8) {
  std::size_t n = 0;
  for (unsigned char c : utf8)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

}  // namespace

int ParseTokenList(std::string_view source, int& count, std::vector<std::string>* slots,
                   int slotCount, int slotWidth, int charLimit, unsigned flags) {
  using namespace tokenlist;
  count = 0;
  if (slots) slots->assign(static_cast<std::size_t>(std::max(slotCount, 0)), std::string());
  if (source.empty()) return kOk;
  const std::size_t n = source.size();
  std::size_t p = 0;
  auto skipSpaces = [&] {
    while (p < n && source[p] == ' ') ++p;
  };
  for (;;) {
    skipSpaces();
    std::string_view token;
    if (p >= n || source[p] != '"') {
      const std::size_t comma = source.find(',', p);
      const std::size_t end = comma == std::string_view::npos ? n : comma;
      token = source.substr(std::min(p, n), end - std::min(p, n));
      p = comma == std::string_view::npos ? n : comma + 1;
      skipSpaces();
      while (!token.empty() && isTrailingSpace(token.back())) token.remove_suffix(1);
    } else {
      const std::size_t close = source.find('"', p + 1);
      if (close == std::string_view::npos) {
        token = source.substr(p + 1);
        p = n;
      } else {
        token = source.substr(p + 1, close - p - 1);
        p = close + 1;
        skipSpaces();
        if (p < n) {
          if (source[p] != ',') return kMisplacedQuote;
          ++p;
        }
      }
    }
    if (charLimit != 0 && (sjisBytes(token) > 2 * static_cast<std::size_t>(charLimit) ||
                           characters(token) > static_cast<std::size_t>(charLimit)))
      return kOverCharacterLimit;
    if (slotWidth > 0 && sjisBytes(token) > static_cast<std::size_t>(slotWidth - 1))
      return kTooLongForSlot;
    if ((flags & kNoSpaces) && token.find(' ') != std::string_view::npos) return kSpaceInToken;
    if (!token.empty()) {
      if (count >= slotCount) return kTooManyTokens;
      if (token.find('"') != std::string_view::npos) return kMisplacedQuote;
      if (slots) (*slots)[static_cast<std::size_t>(count)] = std::string(token);
      ++count;
    }
    if (p >= n) return kOk;
  }
}

int CountKeywords(std::string_view list) {
  if (list.empty()) return 0;
  int hits = 0;
  for (std::size_t i = 0; i + kKeywordSeparator.size() <= list.size();) {
    if (list.substr(i, kKeywordSeparator.size()) == kKeywordSeparator) {
      ++hits;
      i += kKeywordSeparator.size();
    } else {
      ++i;
    }
  }
  return hits + 1;
}

int SplitKeywords(std::string_view list, std::string& out, int index) {
  if (list.empty() || index < 0) return 0;
  std::size_t start = 0;
  for (int n = 0; n < index; ++n) {
    const std::size_t separator = list.find(kKeywordSeparator, start);
    if (separator == std::string_view::npos) return 0;
    start = separator + kKeywordSeparator.size();
  }
  const std::size_t end = list.find(kKeywordSeparator, start);
  out.append(list.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
  return 1;
}
