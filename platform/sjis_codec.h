#pragma once
// Text encoding at the boundaries where bytes are fixed.
//
//   toCp932, toCp932Lossy, fromCp932   conversion through glibc iconv "CP932"
//   charsetToUtf8                      text of mails and pages in a named charset
//   cp932Length                        byte length for limits counted in Shift-JIS
//   isSjisLeadByte                     the lead-byte rule of every Shift-JIS walker
//   utf8Truncate, asciiUpper, asciiEqualsIgnoreCase, utf8IsValid
//
// "CP932" and never "SHIFT_JIS": only CP932 knows the NEC and IBM extensions
// and maps the wave dash and friends the way Windows did (measured round
// trips: 〜→～, −→－, ‖→∥, ¬→￢, ¥→'\').

#include <optional>
#include <string>
#include <string_view>

class QString;

namespace platform {

// UTF-8 → CP932; nullopt when a character has no CP932 code.
std::optional<std::string> toCp932(std::string_view utf8);
// UTF-8 → CP932 replacing every unencodable character by '?'.
std::string toCp932Lossy(std::string_view utf8);
// CP932 → UTF-8; an invalid or truncated sequence becomes U+FFFD.
std::string fromCp932(std::string_view sjis);

// Bytes in a charset named as MIME and HTML name them ("ISO-8859-2",
// "windows-1252", "KOI8-R", ...) to UTF-8; an invalid or truncated sequence
// becomes U+FFFD. nullopt when iconv knows no such charset.
std::optional<std::string> charsetToUtf8(std::string_view bytes, std::string_view charset);

std::optional<std::string> qToCp932(const QString& text);
QString qFromCp932(std::string_view sjis);

// Number of CP932 bytes of a UTF-8 text, or -1 when it cannot be encoded.
int cp932Length(std::string_view utf8);

constexpr bool isSjisLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool utf8IsValid(std::string_view text);
// Bytes of the UTF-8 sequence that lead byte c starts (1 for a stray byte).
std::size_t utf8SequenceLength(unsigned char c);
// Longest prefix of at most maxBytes bytes that does not cut a character.
std::string utf8Truncate(std::string_view utf8, std::size_t maxBytes);
// Upper-cases ASCII letters only; every other byte is kept.
std::string asciiUpper(std::string_view text);
bool asciiEqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace platform
