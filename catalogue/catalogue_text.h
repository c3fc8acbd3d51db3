#pragma once
// The text rules of the catalogue: which titles and extensions it accepts,
// how long texts are cut when read into records, and the stored form of the
// attribute texts.
//
//   checkNameText                                     the one name rule of the program
//   isValidTitle, isValidExtension, isValidTextExt   the rule for titles and extensions
//   kForbiddenSet1, kForbiddenSet2                    characters no name may hold
//   invalidTitleMessage                               the shared message text
//   cutToSjisBytes                                    cut for a fixed-size field
//   titleOfFileName                                   the name up to its last point
//   toStoredAttribute, fromStoredAttribute            ' <-> 0x01, | <-> 0x02
//
// Names are checked on their Shift-JIS form, the form other folders, exports
// and the search see: lengths count its bytes, and a character is refused
// like a forbidden one when it has no Shift-JIS code or does not come back
// as itself (¥ is written 0x5C and reads back as a backslash). Control
// characters (NUL, TAB, CR, LF, ...) are refused too; an extension holds no
// point, since the stored file name is cut at its last point.

#include <string>
#include <string_view>

namespace catalogue {

inline constexpr std::string_view kForbiddenSet1 = "\"\\/:<>";
inline constexpr std::string_view kForbiddenSet2 = "'*?][#|";
inline constexpr int kTitleMaxBytes = 200;
inline constexpr int kExtensionMaxBytes = 8;

// 0 valid; -1 empty; -2 more than maxBytes Shift-JIS bytes; otherwise 1 +
// the Shift-JIS byte position of the first character refused (forbidden,
// control, without a Shift-JIS code or not read back as itself, and with
// noPoint a point).
int checkNameText(std::string_view utf8, int maxBytes, bool noPoint);

// 1 to 200 Shift-JIS bytes, no refused character.
bool isValidTitle(std::string_view title);
// 1 to 8 Shift-JIS bytes, no refused character, no point.
bool isValidExtension(std::string_view ext);
// 0 to 8 Shift-JIS bytes, no refused character, no point.
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
