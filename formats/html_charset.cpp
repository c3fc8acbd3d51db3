#include "formats/html_charset.h"

#include "formats/charset_guess.h"
#include "formats/file_bytes.h"
#include "platform/sjis_codec.h"

#include <array>
#include <cctype>

namespace mime {
namespace {

constexpr char kEsc = '\x1B';
constexpr char kUnmappable = '?';
// Larger HTML files are not pages a user imports; they are refused, not read.
constexpr std::uint64_t kMaxHtmlBytes = 256ull << 20;

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// JIS X 0208 row/cell bytes (0x21-0x7E each) to their Shift-JIS pair; a
// cell that JIS X 0208 leaves empty (JIS X 0213 fills many) has no
// Shift-JIS code and becomes kUnmappable.
void appendJisAsShiftJis(std::string& out, unsigned char c1, unsigned char c2) {
  if (!isJisX0208Cell(c1 - 0x20, c2 - 0x20)) {
    out += kUnmappable;
    return;
  }
  unsigned s1 = ((c1 + 1u) >> 1) + (c1 <= 0x5E ? 0x70u : 0xB0u);
  unsigned s2 = c2 + ((c1 & 1u) ? (c2 < 0x60 ? 0x1Fu : 0x20u) : 0x7Eu);
  out += static_cast<char>(s1);
  out += static_cast<char>(s2);
}

bool isJisByte(unsigned char c) { return c >= 0x21 && c <= 0x7E; }

template <std::size_t N>
bool containsAny(std::string_view text, const std::array<std::string_view, N>& names) {
  for (auto name : names)
    if (containsIgnoreCase(text, name)) return true;
  return false;
}

constexpr std::array<std::string_view, 2> kEucNames{"euc-jp", "x-euc"};
constexpr std::array<std::string_view, 1> kJisNames{"iso-2022-jp"};
constexpr std::array<std::string_view, 1> kLatinNames{"iso-8859"};
constexpr std::array<std::string_view, 7> kSjisNames{"shift_jis", "shift-jis", "x-sjis", "sjis",
                                                     "x-ms-cp932", "cp932", "windows-31j"};
constexpr std::array<std::string_view, 2> kUtf8Names{"utf-8", "utf8"};

HtmlCharset charsetInText(std::string_view text) {
  if (containsAny(text, kEucNames)) return kCharsetEucJp;
  if (containsAny(text, kJisNames)) return kCharsetIso2022Jp;
  if (containsAny(text, kLatinNames)) return kCharsetIso8859;
  if (containsAny(text, kSjisNames)) return kCharsetShiftJis;
  if (containsAny(text, kUtf8Names)) return kCharsetUtf8;
  return kCharsetNone;
}

// The charset name that follows "charset" (after blanks, "=" and a quote)
// at `pos`; empty when none does.
std::string charsetNameAt(std::string_view text, std::size_t pos) {
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  if (pos >= text.size() || text[pos] != '=') return {};
  ++pos;
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '"' || text[pos] == '\''))
    ++pos;
  std::string name;
  while (pos < text.size() && name.size() < 40) {
    const char c = text[pos++];
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.' || c == ':')) break;
    name += lowerAscii(c);
  }
  return name;
}

template <typename LineFn>
void forEachLine(std::string_view text, LineFn&& fn) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    fn(text.substr(start, next - start));
    start = next;
  }
}

}  // namespace

std::size_t findIgnoreCase(std::string_view haystack, std::string_view needle, std::size_t from) {
  if (needle.empty()) return from <= haystack.size() ? from : std::string_view::npos;
  for (std::size_t i = from; i + needle.size() <= haystack.size(); ++i) {
    std::size_t k = 0;
    while (k < needle.size() && lowerAscii(haystack[i + k]) == lowerAscii(needle[k])) ++k;
    if (k == needle.size()) return i;
  }
  return std::string_view::npos;
}

HtmlCharset charsetOfName(std::string_view name) {
  std::string lower;
  for (char c : name) lower += lowerAscii(c);
  if (lower == "euc-jp" || lower == "x-euc" || lower == "x-euc-jp" || lower == "eucjp") return kCharsetEucJp;
  if (lower == "iso-2022-jp") return kCharsetIso2022Jp;
  if (lower.starts_with("iso-8859")) return kCharsetIso8859;
  for (auto sjis : kSjisNames)
    if (lower == sjis) return kCharsetShiftJis;
  if (lower == "utf-8" || lower == "utf8") return kCharsetUtf8;
  return kCharsetNone;
}

std::string declaredCharsetName(std::string_view html) {
  // What the reader of MIME files wrote from the part's own header decides,
  // as mail programs let the header win over the page's meta line.
  const std::string_view mimeComment = "<!-- MIME charset=";
  if (html.starts_with(mimeComment)) return charsetNameAt(html, mimeComment.size() - 1);
  std::string declared;
  bool stop = false;
  forEachLine(html, [&](std::string_view line) {
    if (stop) return;
    if ((containsIgnoreCase(line, "<meta") || containsIgnoreCase(line, "<!--")) &&
        containsIgnoreCase(line, "charset")) {
      std::string name = charsetNameAt(line, findIgnoreCase(line, "charset") + 7);
      HtmlCharset c = charsetOfName(name);
      if (c == kCharsetNone) c = charsetInText(line);  // a name in a spelling of its own
      if (c == kCharsetEucJp || c == kCharsetIso2022Jp) {
        declared = c == kCharsetEucJp ? "euc-jp" : "iso-2022-jp";
        stop = true;
      } else if (!name.empty()) {
        declared = name;
      }
    }
  });
  return declared;
}

HtmlCharset detectHtmlCharset(std::string_view html) {
  const std::string declared = declaredCharsetName(html);
  HtmlCharset c = charsetOfName(declared);
  if (c != kCharsetNone) return c;
  // Nothing declared that we know: let the bytes speak.
  return guessCharsetOfBytes(html);
}

std::string iso2022JpToShiftJis(std::string_view text) {
  enum class Mode { Ascii, Jis0208, Katakana, Jis0212 };
  Mode mode = Mode::Ascii;
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  while (i < text.size()) {
    unsigned char c = at(i);
    if (c == static_cast<unsigned char>(kEsc)) {
      std::string_view seq = text.substr(i + 1, 3);
      if (seq.starts_with("$B") || seq.starts_with("$@")) { mode = Mode::Jis0208; i += 3; continue; }
      // JIS X 0212 and the second plane of JIS X 0213 have no Shift-JIS codes;
      // the first plane of JIS X 0213 holds JIS X 0208 at its own places.
      if (seq.starts_with("$(D") || seq.starts_with("$(P")) { mode = Mode::Jis0212; i += 4; continue; }
      if (seq.starts_with("$(B") || seq.starts_with("$(O") || seq.starts_with("$(Q")) {
        mode = Mode::Jis0208;
        i += 4;
        continue;
      }
      if (seq.starts_with("(B") || seq.starts_with("(J")) { mode = Mode::Ascii; i += 3; continue; }
      if (seq.starts_with("(I")) { mode = Mode::Katakana; i += 3; continue; }
      out += static_cast<char>(c);  // an unknown escape stays as it is
      ++i;
      continue;
    }
    if (c == 0x0E) { mode = Mode::Katakana; ++i; continue; }  // SO
    if (c == 0x0F) { mode = Mode::Ascii; ++i; continue; }     // SI
    if (c >= 0x80) {
      out += kUnmappable;  // no such byte in a 7-bit code
      ++i;
      continue;
    }
    if (!isJisByte(c) || mode == Mode::Ascii) {
      out += static_cast<char>(c);  // controls and line ends pass in every mode
      ++i;
      continue;
    }
    if (mode == Mode::Katakana) {
      out += c <= 0x5F ? static_cast<char>(c + 0x80) : kUnmappable;
      ++i;
      continue;
    }
    if (i + 1 >= text.size() || !isJisByte(at(i + 1))) {
      out += kUnmappable;  // half a character
      ++i;
      continue;
    }
    if (mode == Mode::Jis0208) appendJisAsShiftJis(out, c, at(i + 1));
    else out += kUnmappable;  // JIS X 0212 has no Shift-JIS code
    i += 2;
  }
  return out;
}

std::string eucJpToShiftJis(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  auto isEucByte = [](unsigned char b) { return b >= 0xA1 && b <= 0xFE; };
  while (i < text.size()) {
    unsigned char c = at(i);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
    } else if (c == 0x8E) {  // SS2: half-width katakana
      if (i + 1 < text.size() && at(i + 1) >= 0xA1 && at(i + 1) <= 0xDF) {
        out += static_cast<char>(at(i + 1));
        i += 2;
      } else {
        out += kUnmappable;
        ++i;
      }
    } else if (c == 0x8F) {  // SS3: JIS X 0212, not in Shift-JIS
      out += kUnmappable;
      i += (i + 2 < text.size() && isEucByte(at(i + 1)) && isEucByte(at(i + 2))) ? 3 : 1;
    } else if (isEucByte(c) && i + 1 < text.size() && isEucByte(at(i + 1))) {
      appendJisAsShiftJis(out, static_cast<unsigned char>(c - 0x80),
                          static_cast<unsigned char>(at(i + 1) - 0x80));
      i += 2;
    } else {
      out += kUnmappable;
      ++i;
    }
  }
  return out;
}

std::string toShiftJis(std::string_view text, HtmlCharset charset) {
  switch (charset) {
    case kCharsetIso2022Jp: return iso2022JpToShiftJis(text);
    case kCharsetEucJp: return eucJpToShiftJis(text);
    case kCharsetUtf8: return platform::toCp932Lossy(text);
    case kCharsetShiftJis: return validShiftJis(text);
    case kCharsetIso8859: return singleByteToShiftJis(text, "ISO-8859-1");
    default: return textToShiftJis(text, {});
  }
}

std::string validShiftJis(std::string_view text) {
  return platform::toCp932Lossy(platform::fromCp932(text));
}

std::string latin1ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string singleByteToShiftJis(std::string_view text, std::string_view charset) {
  // ISO-8859-1 as mail programs read it: as Windows' superset, whose extra
  // characters (quotes, dashes) fill codes ISO-8859-1 leaves to controls.
  if (platform::asciiEqualsIgnoreCase(charset, "ISO-8859-1") || platform::asciiEqualsIgnoreCase(charset, "latin1"))
    charset = "WINDOWS-1252";
  auto utf8 = platform::charsetToUtf8(text, charset);
  if (!utf8) utf8 = platform::charsetToUtf8(text, "WINDOWS-1252");
  return platform::toCp932Lossy(*utf8);
}

std::string textToShiftJis(std::string_view text, std::string_view charsetName) {
  const std::string name = [&] {
    std::string lower;
    for (char c : charsetName) lower += lowerAscii(c);
    return lower;
  }();
  HtmlCharset code = charsetOfName(name);
  // A part labelled ASCII that holds 8-bit bytes was labelled by a program
  // that did not know: its bytes tell.
  const bool ascii = name == "us-ascii" || name == "ascii" || name == "ansi_x3.4-1968" || name == "iso646-us";
  if (code == kCharsetNone && !name.empty() && !ascii) {
    if (auto utf8 = platform::charsetToUtf8(text, name)) return platform::toCp932Lossy(*utf8);
  }
  if (code == kCharsetIso8859) return singleByteToShiftJis(text, name == "iso-8859" ? "ISO-8859-1" : name);
  if (code == kCharsetNone) {
    code = guessCharsetOfBytes(text);
    if (code == kCharsetNone) return validShiftJis(text);  // 7-bit: as it is, controls and all
    if (code == kCharsetIso8859) return singleByteToShiftJis(text, "WINDOWS-1252");
  }
  return toShiftJis(text, code);
}

std::string replaceMetaCharset(std::string_view html) {
  // The first name in the line; of names starting there the longest, so
  // "x-euc-jp" does not become "x-shift_jis-jp".
  constexpr std::array<std::string_view, 4> kNames{"iso-2022-jp", "x-euc-jp", "x-euc", "euc-jp"};
  std::string out;
  out.reserve(html.size());
  forEachLine(html, [&](std::string_view line) {
    if (containsIgnoreCase(line, "<meta") && containsIgnoreCase(line, "charset")) {
      std::size_t best = std::string_view::npos;
      std::size_t bestLength = 0;
      for (auto name : kNames) {
        std::size_t pos = findIgnoreCase(line, name);
        if (pos < best || (pos == best && pos != std::string_view::npos && name.size() > bestLength)) {
          best = pos;
          bestLength = name.size();
        }
      }
      if (best != std::string_view::npos) {
        out.append(line.substr(0, best));
        out += "shift_jis";
        out.append(line.substr(best + bestLength));
        return;
      }
    }
    out.append(line);
  });
  return out;
}

std::string htmlTextToShiftJis(std::string_view html) {
  std::string sjis = textToShiftJis(html, declaredCharsetName(html));
  std::string out;
  out.reserve(sjis.size());
  bool inTag = false;
  for (char c : sjis) {
    if (inTag) {
      if (c == '>') inTag = false;
    } else if (c == '<') {
      inTag = true;
    } else {
      out += c;
    }
  }
  return out;
}

bool plainTextToShiftJis(std::string_view bytes, std::string& sjis) {
  switch (guessJapaneseCharset(bytes, nullptr)) {
    case kCharsetUtf8:
      if (bytes.starts_with(kUtf8ByteOrderMark)) bytes.remove_prefix(kUtf8ByteOrderMark.size());
      sjis = platform::toCp932Lossy(bytes);
      return true;
    case kCharsetEucJp:
      sjis = eucJpToShiftJis(bytes);
      return true;
    case kCharsetIso2022Jp:
      sjis = iso2022JpToShiftJis(bytes);
      return true;
    default:
      return false;
  }
}

}  // namespace mime

bool ConvertFileToShiftJis(const std::string& inputPath, const std::string& outputPath) {
  auto input = fileio::readFileBytes(inputPath, mime::kMaxHtmlBytes);
  if (!input) return false;
  return fileio::writeFileBytes(outputPath, mime::htmlTextToShiftJis(input.bytes));
}
