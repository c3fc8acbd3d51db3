#pragma once
// The text rules of the catalogue: which titles and extensions it accepts,
// how long texts are cut when read into records, and the stored form of the
// attribute texts.
//
//   isValidTitle, isValidExtension, isValidTextExt   the title rule and its kin
//   kForbiddenSet1, kForbiddenSet2                    characters no name may hold
//   invalidTitleMessage                               the shared message text
//   cutToSjisBytes                                    cut for a fixed-size field
//   titleOfFileName                                   the name up to its last point
//   toStoredAttribute, fromStoredAttribute            ' <-> 0x01, | <-> 0x02
//
// Lengths count Shift-JIS bytes; a character without a Shift-JIS code makes
// a name invalid, as a forbidden character does. Texts are UTF-8, whose
// ASCII bytes never occur inside another character, so a byte scan for the
// forbidden characters is safe.

#include <string>
#include <string_view>

namespace catalogue {

inline constexpr std::string_view kForbiddenSet1 = "\"\\/:<>";
inline constexpr std::string_view kForbiddenSet2 = "'*?][#|";
inline constexpr int kTitleMaxBytes = 200;
inline constexpr int kExtensionMaxBytes = 8;

// 1 to 200 Shift-JIS bytes, no forbidden character.
bool isValidTitle(std::string_view title);
// 1 to 8 Shift-JIS bytes, no forbidden character.
bool isValidExtension(std::string_view ext);
// 0 to 8 Shift-JIS bytes, no forbidden character.
bool isValidTextExt(std::string_view ext);

// "指定された<field>(<text>)に <set1><set2> が含まれているか、空文字列か文字列が長すぎます。: <operation>"
std::string invalidTitleMessage(std::string_view field, std::string_view text,
                                std::string_view operation);

// The longest prefix whose Shift-JIS form has at most maxBytes bytes; never
// cuts a character.
std::string cutToSjisBytes(std::string_view utf8, int maxBytes);

// The stored file name up to its last point (the whole name without one).
std::string_view titleOfFileName(std::string_view fileName);

// Apostrophes become 0x01 and vertical bars 0x02, and back.
std::string toStoredAttribute(std::string_view text);
std::string fromStoredAttribute(std::string_view stored);

}  // namespace catalogue
