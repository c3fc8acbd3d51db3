#pragma once
// What the bytes of a Japanese (or other) text say about its charset, for
// text that declares none or declares one it does not hold (a mail part
// labelled us-ascii that holds 8-bit bytes).
//
//   isJisX0208Cell      whether a row and cell of the 94 x 94 JIS table hold a
//                       character of JIS X 0208 (1990); JIS X 0213 fills many
//                       of the others, which have no Shift-JIS code of their own
//   guessCharsetOfBytes UTF-8 after a UTF-8 byte order mark, ISO-2022-JP from
//                       its escapes, UTF-8 when the bytes are valid UTF-8,
//                       else EUC-JP or Shift-JIS by which reads
//                       the bytes with fewer faults and more of the common
//                       characters (kana, punctuation, first-level kanji);
//                       when neither reads them, a single-byte charset
//
// The method: EUC-JP text read as Shift-JIS mostly falls apart into
// half-width katakana and stray lead bytes, Shift-JIS read as EUC-JP meets
// lead bytes EUC-JP does not have (0x81-0x8D, 0x90-0xA0): faults decide
// most texts; the count of common characters decides the few that both
// read without fault.

#include "formats/html_charset.h"

#include <string_view>

namespace mime {

inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

bool isJisX0208Cell(int row, int cell);

// kCharsetNone for 7-bit text without JIS escapes; kCharsetIso8859 when
// the text is best read as a single-byte charset.
HtmlCharset guessCharsetOfBytes(std::string_view text);

// The Japanese half of that rule, shared by pages, mails and plain texts:
// UTF-8, ISO-2022-JP, EUC-JP, kCharsetNone for 7-bit text, and
// kCharsetShiftJis for everything else (whether Shift-JIS reads it is left
// open). eucHopeless (may be null) tells that the text cannot be EUC-JP.
HtmlCharset guessJapaneseCharset(std::string_view text, bool* eucHopeless);

}  // namespace mime
