#pragma once
// Text helpers: the Shift-JIS walkers, and the two list formats the program
// parses (comma lists with quotes, " / "-separated keyword lists).
//
//   GetLastChar, MakeUpperSjis   Shift-JIS data (the walk rule below)
//   CompareMultibyte, CompareTitles  the title order of lists and boards
//   ParseTokenList               a comma list of the user's (UTF-8) text
//   CountKeywords, SplitKeywords a keyword list joined by " / "
//
// The walk rule of every Shift-JIS scan: from the first byte, a byte in
// 0x81-0x9F or 0xE0-0xFC is a lead byte and makes one character with the
// byte after it, whatever that byte is; every other byte is a character by
// itself. A trail byte that equals '\' or a letter is never taken for one.
// The separators of the two list formats are ASCII bytes, which never occur
// inside a UTF-8 character, so those parsers walk UTF-8 text byte by byte.

#include <string>
#include <string_view>
#include <vector>

// The last character: one byte, or two when it starts with a lead byte.
// Empty for an empty string; a lone lead byte at the end is returned alone.
std::string GetLastChar(std::string_view sjis);

// ASCII a-z become A-Z; double-byte characters, trail bytes included, stay.
std::string MakeUpperSjis(std::string_view sjis);

// Multibyte comparison of Shift-JIS texts: character by character, a
// double-byte character by its two-byte code (so it sorts after every
// single-byte one). Negative, 0 or positive.
int CompareMultibyte(std::string_view a, std::string_view b);

// The order of titles in lists and boards: upper-cased copies (ASCII only)
// compared as multibyte text, ties broken by the unchanged texts. The texts
// are UTF-8; they compare as their Shift-JIS form.
int CompareTitles(std::string_view utf8A, std::string_view utf8B);

namespace tokenlist {
inline constexpr int kOk = 0;
inline constexpr int kTooLongForSlot = 1;
inline constexpr int kTooManyTokens = 2;
inline constexpr int kMisplacedQuote = 3;
inline constexpr int kOverCharacterLimit = 4;
inline constexpr int kSpaceInToken = 5;
inline constexpr unsigned kNoSpaces = 0x1;  // flag: a token may not hold a space
}  // namespace tokenlist

// Splits a comma list: tokens are trimmed, a token in double quotes may
// hold commas, empty tokens are skipped. slots (may be null) receives up to
// slotCount tokens; a token longer than slotWidth - 1 bytes fails (bytes and
// the character limit count as the Shift-JIS text would: a double-byte
// character is two bytes and one character). charLimit 0 means no limit.
// Result: a tokenlist code; count is the number of tokens taken.
int ParseTokenList(std::string_view source, int& count, std::vector<std::string>* slots,
                   int slotCount, int slotWidth, int charLimit, unsigned flags);

inline constexpr std::string_view kKeywordSeparator = " / ";

// 0 for an empty list, else one more than the number of separators.
int CountKeywords(std::string_view list);
// Appends entry number index (from 0) to out; 1 when it exists, 0 when the
// list is empty or has fewer entries.
int SplitKeywords(std::string_view list, std::string& out, int index);
