#pragma once
// Japanese charsets of HTML text, and the text of an HTML page for the
// full-text search.
//
//   declaredCharsetName      the charset a page declares: the "<!-- MIME
//                            charset=" line that the MIME reader writes
//                            first, else a "<meta"/"<!--" line naming one
//   detectHtmlCharset        the declared charset's code, else what the
//                            bytes say (charset_guess: JIS escapes, UTF-8,
//                            EUC-JP or Shift-JIS, else single-byte)
//   iso2022JpToShiftJis      JIS X 0208 by the standard arithmetic mapping,
//   eucJpToShiftJis          so no table can disagree with the source
//   toShiftJis               dispatch on a charset code
//   textToShiftJis           dispatch on a charset name: the Japanese ones
//                            and UTF-8 as above, any other that iconv knows
//                            through iconv, none (or ASCII holding 8-bit
//                            bytes) by what the bytes say
//   replaceMetaCharset       the declared charset of a converted page
//   htmlTextToShiftJis       the page's text without tags, in Shift-JIS
//   ConvertFileToShiftJis    the same from file to file
//
// What comes out is valid Shift-JIS (code page 932) whatever comes in:
// what it cannot hold (JIS X 0212, the cells JIS X 0213 adds to JIS X 0208,
// most of the world's scripts, broken sequences) becomes "?".
//
// UTF-8 (code 4) is ours: pages written on Linux are UTF-8 and must be found
// by the full-text search like the Japanese charsets of old.

#include <string>
#include <string_view>

namespace mime {

enum HtmlCharset : int {
  kCharsetNone = -1,
  kCharsetIso8859 = 0,
  kCharsetShiftJis = 1,
  kCharsetIso2022Jp = 2,
  kCharsetEucJp = 3,
  kCharsetUtf8 = 4,
};

// Charset code of a charset name as MIME headers and meta lines give it
// ("x-euc-jp", "Shift_JIS", ...), kCharsetNone for any other name.
HtmlCharset charsetOfName(std::string_view name);
std::string declaredCharsetName(std::string_view html);  // lower case; empty when none
HtmlCharset detectHtmlCharset(std::string_view html);

std::string iso2022JpToShiftJis(std::string_view text);
std::string eucJpToShiftJis(std::string_view text);
// kCharsetNone: what the bytes say.
std::string toShiftJis(std::string_view text, HtmlCharset charset);
// An empty name: what the bytes say.
std::string textToShiftJis(std::string_view text, std::string_view charsetName);
// Shift-JIS text with every broken or unknown sequence made "?".
std::string validShiftJis(std::string_view text);
std::string singleByteToShiftJis(std::string_view text, std::string_view charset);
// Latin-1 bytes (ASCII included) in UTF-8.
std::string latin1ToUtf8(std::string_view text);

// Every line that holds "<meta" and "charset" gets "shift_jis" in place of
// the first JIS or EUC charset name it declares.
std::string replaceMetaCharset(std::string_view html);

std::string htmlTextToShiftJis(std::string_view html);

// A plain text file for the full-text search, read by the same rule as a
// page or mail part that names no charset: a UTF-8 byte order mark, or
// valid UTF-8 holding 8-bit bytes, is UTF-8; JIS escapes are ISO-2022-JP;
// text that reads as EUC-JP is EUC-JP; anything else is Shift-JIS. True
// with `sjis` set when the text had to be converted; false when its bytes
// are searched as they stand (Shift-JIS, ASCII, or nothing readable).
bool plainTextToShiftJis(std::string_view bytes, std::string& sjis);

// Case-blind search of an ASCII needle.
std::size_t findIgnoreCase(std::string_view haystack, std::string_view needle, std::size_t from = 0);
inline bool containsIgnoreCase(std::string_view haystack, std::string_view needle) {
  return findIgnoreCase(haystack, needle) != std::string_view::npos;
}

}  // namespace mime

// Writes the text of the HTML file `inputPath` without its tags, in
// Shift-JIS, to `outputPath`. False when the input cannot be read or the
// output cannot be written.
bool ConvertFileToShiftJis(const std::string& inputPath, const std::string& outputPath);
