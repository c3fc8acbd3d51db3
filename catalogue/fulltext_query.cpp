// The full-text query parser and the term comparison.
//
//   ParseSearchExpression  one pass over the expression: quoted phrases,
//                          operators, parentheses and plain terms, with
//                          the byte limits of the term table checked before
//                          each byte is stored
//   AssignTermKinds        "*" at an end widens where a match may stand,
//                          quotes narrow it to whole words
//   MatchTermAt            byte comparison that passes over the ignored
//                          characters (line breaks) inside a match, folds
//                          ASCII case on request and lets a space of the
//                          term stand for nothing
//   AcceptTerm             MatchTermAt and the word-boundary tests of a kind
//
// Character classes (of a character's lead byte and trail byte):
//   0 hiragana 82 9F-F1          1 katakana 83 40-96, and 81 5B
//   2 kanji 88 9F and above, any lead above 88, 81 53-59
//   3 full-width letters 82 60-79 / 81-9A, and 81 51 before such a letter
//   4 full-width digits 82 4F-58 5 any other double-byte character
//   11 half-width katakana A6-DF 13 ASCII letters 14 ASCII digits
//   15 any other single byte
// 1, 2, 3, 4, 11, 13 and 14 form words.

#include "catalogue/fulltext_query.h"

#include "platform/sjis_codec.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace fulltext {

namespace {

using platform::isSjisLeadByte;

struct OperatorRow {
  std::string_view text;
  char code;
};
constexpr std::array<OperatorRow, 3> kOperators = {
    {{"#OR#", 'R'}, {"#or#", 'R'}, {"#Or#", 'R'}}};

void appendTermNumber(std::string& operators, std::size_t number) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%2d", static_cast<int>(number));
  if (digits[0] == ' ') digits[0] = '0';
  operators += digits;
}

bool isAsciiLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
unsigned char asciiLower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 0x20 : c; }

bool isFullWidthLetter(unsigned char lead, unsigned char trail) {
  return lead == 0x82 && ((trail >= 0x60 && trail <= 0x79) || (trail >= 0x81 && trail <= 0x9A));
}

// The class of the character that ends just before position end.
int classBefore(const MatchText& text, std::size_t end) {
  if (end == 0) return 15;
  if (end >= 2 && isSjisLeadByte(text.data[end - 2]))
    return CharClass(text.data + end - 2, text.length - (end - 2));
  return CharClass(text.data + end - 1, text.length - (end - 1));
}

bool contains(const std::vector<unsigned char>* list, unsigned char c) {
  return list && std::find(list->begin(), list->end(), c) != list->end();
}
bool contains(const std::vector<std::uint16_t>* list, std::uint16_t pair) {
  return list && std::find(list->begin(), list->end(), pair) != list->end();
}

}  // namespace

int FindOperatorAt(std::string_view expression, std::size_t position) {
  if (position > 0 && expression[position - 1] != ' ') return -1;
  for (std::size_t row = 0; row < kOperators.size(); ++row) {
    const std::string_view text = kOperators[row].text;
    if (expression.substr(position, text.size()) != text) continue;
    const std::size_t after = position + text.size();
    if (after >= expression.size()) return static_cast<int>(row);
    const auto next = static_cast<unsigned char>(expression[after]);
    if (next <= 0x20 || isSjisLeadByte(next)) return static_cast<int>(row);
  }
  return -1;
}

int ParseSearchExpression(TermSlot& slot, std::string& operators, std::string_view expression) {
  slot.clear();
  if (std::none_of(expression.begin(), expression.end(),
                   [](char c) { return static_cast<unsigned char>(c) > 0x20; }))
    return kEmptyExpression;
  operators.clear();
  const std::size_t n = expression.size();
  auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(expression[i]); };
  bool expectTerm = true;
  int opened = 0;
  int closed = 0;
  std::size_t i = 0;
  while (i < n) {
    if (byteAt(i) <= 0x20) {
      ++i;
      continue;
    }
    if (slot.terms.size() > kMaxParsedTerms - 1) return kTooManyTerms;
    if (operators.size() > kMaxOperatorBytes) return kOperatorsFull;
    std::size_t marks = 0;
    while (i + marks < n && expression[i + marks] == '"') ++marks;
    if (marks % 2 == 1) {
      if (!expectTerm) return kSyntaxError;
      std::string term(1, static_cast<char>(kPhraseMark));
      std::size_t j = i + 1;
      for (;;) {
        if (j >= n) return kUnbalancedQuote;
        if (term.size() > kMaxTermBytes - 1) return kSyntaxError;
        const unsigned char b = byteAt(j);
        if (b == '"') {
          term += '"';
          if (j + 1 < n && expression[j + 1] == '"') {
            j += 2;
            continue;
          }
          ++j;
          break;
        }
        term += static_cast<char>(b);
        ++j;
        if (isSjisLeadByte(b) && j < n) {
          if (term.size() > kMaxTermBytes - 1) return kSyntaxError;
          term += expression[j++];
        }
      }
      appendTermNumber(operators, slot.terms.size());
      slot.terms.push_back(std::move(term));
      expectTerm = false;
      i = j;
      continue;
    }
    if (const int row = FindOperatorAt(expression, i); row >= 0) {
      operators += kOperators[static_cast<std::size_t>(row)].code;
      expectTerm = true;
      i += kOperators[static_cast<std::size_t>(row)].text.size();
      continue;
    }
    const unsigned char c = byteAt(i);
    if (c == '(' || c == ')') {
      operators += static_cast<char>(c);
      (c == '(' ? opened : closed) += 1;
      ++i;
      continue;
    }
    if (!expectTerm) return kSyntaxError;
    std::string term;
    std::size_t j = i;
    while (j < n) {
      if (term.size() > kMaxTermBytes - 1) return kSyntaxError;
      const unsigned char b = byteAt(j);
      if (b <= 0x20 || b == '(' || b == ')') break;
      if (b == '"') {
        if (j + 1 < n && expression[j + 1] == '"') {
          term += '"';
          j += 2;
          continue;
        }
        return kUnbalancedQuote;
      }
      term += static_cast<char>(b);
      ++j;
      if (isSjisLeadByte(b) && j < n) term += expression[j++];
    }
    appendTermNumber(operators, slot.terms.size());
    slot.terms.push_back(std::move(term));
    expectTerm = false;
    i = j;
  }
  if (opened != closed) return kUnbalancedParentheses;
  std::erase_if(slot.terms, [](const std::string& t) { return t.starts_with("$$"); });
  if (std::find(slot.terms.begin(), slot.terms.end(), "*") != slot.terms.end()) return kLoneWildcard;
  return kParsed;
}

void AssignTermKinds(TermSlot& slot, TermKind defaultKind) {
  slot.kinds.assign(slot.terms.size(), kAnywhere);
  for (std::size_t k = 0; k < slot.terms.size(); ++k) {
    std::string& term = slot.terms[k];
    if (term.empty()) continue;
    const bool front = term.front() == '*';
    const bool back = term.size() >= 2 && term.back() == '*';
    if (front && back) {
      term = term.substr(1, term.size() - 2);
    } else if (front) {
      slot.kinds[k] = kWordEnd;
      term.erase(0, 1);
    } else if (term.back() == '*') {
      slot.kinds[k] = kWordStart;
      term.pop_back();
    } else if (static_cast<unsigned char>(term.front()) == kPhraseMark && term.size() >= 2 &&
               term.back() == '"') {
      slot.kinds[k] = kWholeWord;
      term = term.substr(1, term.size() - 2);
    } else {
      slot.kinds[k] = defaultKind;
    }
  }
}

int CharClass(const unsigned char* text, std::size_t available) {
  const unsigned char h = available > 0 ? text[0] : 0;
  if (!isSjisLeadByte(h)) {
    if (h >= 0xA6 && h <= 0xDF) return 11;
    if (isAsciiLetter(h)) return 13;
    if (h >= '0' && h <= '9') return 14;
    return 15;
  }
  const unsigned char t = available > 1 ? text[1] : 0;
  if (h == 0x82 && t >= 0x9F && t <= 0xF1) return 0;
  if ((h == 0x83 && t >= 0x40 && t <= 0x96) || (h == 0x81 && t == 0x5B)) return 1;
  if ((h == 0x88 && t >= 0x9F) || h > 0x88 || (h == 0x81 && t >= 0x53 && t <= 0x59)) return 2;
  if (isFullWidthLetter(h, t)) return 3;
  if (h == 0x81 && t == 0x51 && available > 3 && isFullWidthLetter(text[2], text[3])) return 3;
  if (h == 0x82 && t >= 0x4F && t <= 0x58) return 4;
  return 5;
}

bool IsWordForming(int charClass) {
  switch (charClass) {
    case 1: case 2: case 3: case 4: case 11: case 13: case 14:
      return true;
    default:
      return false;
  }
}

int MatchTermAt(const MatchText& text, std::size_t position, std::string_view term) {
  if (term.empty()) return -1;
  std::size_t ti = 0;
  std::size_t xi = 0;
  std::size_t matchedEnd = 0;
  const auto termByte = [&](std::size_t k) { return static_cast<unsigned char>(term[k]); };
  while (ti < term.size()) {
    const std::size_t at = position + xi;
    if (at >= kScanBufferBytes || at >= text.length) return -1;
    const unsigned char c = text.data[at];
    if (!isSjisLeadByte(c)) {
      if (c == termByte(ti)) {
        ++ti;
        matchedEnd = ++xi;
      } else if (matchedEnd > 0 && contains(text.ignoredBytes, c)) {
        ++xi;
      } else if (text.caseFold && isAsciiLetter(c) && isAsciiLetter(termByte(ti)) &&
                 asciiLower(c) == asciiLower(termByte(ti))) {
        ++ti;
        matchedEnd = ++xi;
      } else if (termByte(ti) == ' ') {
        ++ti;
      } else {
        return -1;
      }
      continue;
    }
    if (at + 1 >= text.length) return -1;
    const unsigned char trail = text.data[at + 1];
    if (c == termByte(ti) && ti + 1 < term.size() && trail == termByte(ti + 1)) {
      ti += 2;
      xi += 2;
      matchedEnd = xi;
    } else if (matchedEnd > 0 && contains(text.ignoredPairs, static_cast<std::uint16_t>(c << 8 | trail))) {
      xi += 2;
    } else {
      return -1;
    }
  }
  return matchedEnd > 0 ? static_cast<int>(matchedEnd) : -1;
}

int AcceptTerm(const MatchText& text, std::size_t position, std::string_view term, TermKind kind) {
  const int length = MatchTermAt(text, position, term);
  if (length < 0 || kind == kAnywhere) return length;
  const std::size_t end = position + static_cast<std::size_t>(length);
  const int first = CharClass(text.data + position, text.length - position);
  if (kind == kWholeWord || kind == kWordStart) {
    if (classBefore(text, position) == first && IsWordForming(first)) return -1;
  }
  if (kind == kWholeWord || kind == kWordEnd) {
    const int last = length == 1 ? first : classBefore(text, end);
    const int next = end < text.length ? CharClass(text.data + end, text.length - end) : 15;
    if (last == next && IsWordForming(last)) return -1;
  }
  return length;
}

bool FindTermInLine(const MatchText& text, std::size_t begin, std::size_t end,
                    std::string_view term, TermKind kind) {
  for (std::size_t p = begin; p < end && p < text.length;
       p += isSjisLeadByte(text.data[p]) ? 2 : 1) {
    if (AcceptTerm(text, p, term, kind) >= 0) return true;
  }
  return false;
}

}  // namespace fulltext
