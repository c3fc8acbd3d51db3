#pragma once
// The full-text query language: parsing an expression into terms and an
// operator string, the kinds that say where a term may begin and end, and
// the comparison of a term with the text at a scan position.
//
//   ParseSearchExpression, AssignTermKinds, FindOperatorAt   parsing
//   CharClass, IsWordForming                                 character classes
//   MatchTermAt, AcceptTerm, FindTermInLine                  matching
//
// Everything here works on Shift-JIS bytes (the walk rule of sjis_text.h):
// the character classes are defined on Shift-JIS codes, and the text that
// is searched is a Shift-JIS work file.
//
// Term kinds: 0 whole word (a match may neither begin nor end inside a
// word), 1 word start, 2 word end, 3 anywhere. A word is a run of characters
// of one word-forming class (katakana, kanji, full-width letters or digits,
// half-width katakana, ASCII letters or digits); hiragana and punctuation
// never join a match to its neighbours.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fulltext {

inline constexpr int kMaxTerms = 240;          // entries of a slot's term table
inline constexpr int kMaxParsedTerms = 60;     // terms one expression may hold
inline constexpr int kMaxTermBytes = 130;      // text of one term entry
inline constexpr int kMaxOperatorBytes = 250;  // operator string before a token
inline constexpr int kScanBufferBytes = 31232;

// ParseSearchExpression results.
inline constexpr int kParsed = 1;
inline constexpr int kEmptyExpression = 0;
inline constexpr int kSyntaxError = -1;
inline constexpr int kTooManyTerms = -2;
inline constexpr int kUnbalancedQuote = -3;
inline constexpr int kOperatorsFull = -4;
inline constexpr int kUnbalancedParentheses = -5;
inline constexpr int kLoneWildcard = -6;

enum TermKind : std::uint8_t { kWholeWord = 0, kWordStart = 1, kWordEnd = 2, kAnywhere = 3 };

// The first byte of a quoted phrase while it is parsed; the kinds strip it.
inline constexpr unsigned char kPhraseMark = 0xFD;

struct TermSlot {
  std::vector<std::string> terms;
  std::vector<TermKind> kinds;  // one per term, set by AssignTermKinds
  void clear() {
    terms.clear();
    kinds.clear();
  }
};

// Parses expression into slot (terms as written, marks kept) and operators
// (two digits per term, R per operator, parentheses as written). Returns a
// result code above.
int ParseSearchExpression(TermSlot& slot, std::string& operators, std::string_view expression);

// Gives each term its kind and strips the marks ("*" ends, the phrase
// mark and closing quote) that gave it; plain terms get defaultKind.
void AssignTermKinds(TermSlot& slot, TermKind defaultKind);

// The operator row (0 to 2) whose text begins at position, or -1. An
// operator stands only at the start or after a space, and is followed by a
// byte of 0x20 or below, the end, or a Shift-JIS lead byte.
int FindOperatorAt(std::string_view expression, std::size_t position);

// The class of the character that begins at text[0] (see the table in the
// source); text holds at least the character's bytes (a lone lead byte at
// the end reads its trail as 0).
int CharClass(const unsigned char* text, std::size_t available);
bool IsWordForming(int charClass);

// What the comparison needs to know besides the term: the text (a buffer of
// bytes, zero after the last), the characters passed over inside a match,
// and whether ASCII case is folded.
struct MatchText {
  const unsigned char* data = nullptr;
  std::size_t length = 0;  // bytes of text; never reads beyond
  const std::vector<unsigned char>* ignoredBytes = nullptr;
  const std::vector<std::uint16_t>* ignoredPairs = nullptr;  // lead << 8 | trail
  bool caseFold = false;
};

// Length in bytes of the text that the term covers at position, or -1.
int MatchTermAt(const MatchText& text, std::size_t position, std::string_view term);

// MatchTermAt with the boundary tests of kind; the covered length, or -1.
int AcceptTerm(const MatchText& text, std::size_t position, std::string_view term, TermKind kind);

// Whether the term is accepted by its kind at any character of [begin, end).
bool FindTermInLine(const MatchText& text, std::size_t begin, std::size_t end,
                    std::string_view term, TermKind kind);

}  // namespace fulltext
