#include "formats/charset_guess.h"

#include "platform/sjis_codec.h"

#include <cstddef>

namespace mime {
namespace {

// How well one charset reads the bytes: characters read, faults met, and
// how many characters are of the common kinds of Japanese text.
struct Reading {
  std::size_t characters = 0;
  std::size_t faults = 0;
  std::size_t common = 0;

  void character(int row, int cell) {
    ++characters;
    if (!isJisX0208Cell(row, cell)) ++faults;
    else if (row == 1 || row == 4 || row == 5 || (row >= 16 && row <= 47)) ++common;
  }
  // Read without too many faults, and like Japanese text.
  bool plausible() const { return faults * 5 <= characters && common * 4 >= characters && common > 0; }
  long long score() const { return static_cast<long long>(common) - static_cast<long long>(faults); }
};

bool inRange(unsigned char c, unsigned lo, unsigned hi) { return c >= lo && c <= hi; }

// Stops early (hopeless set) once the faults are too many for the rest of
// the text ever to make the reading plausible: Shift-JIS text meets lead
// bytes EUC-JP does not have within its first characters.
Reading readAsEucJp(std::string_view t, bool& hopeless) {
  Reading r;
  hopeless = false;
  std::size_t i = 0;
  auto at = [&](std::size_t k) { return k < t.size() ? static_cast<unsigned char>(t[k]) : 0; };
  while (i < t.size()) {
    const unsigned char c = at(i);
    if (c < 0x80) {
      ++i;
    } else if (c == 0x8E && inRange(at(i + 1), 0xA1, 0xDF)) {  // half-width katakana
      ++r.characters;
      i += 2;
    } else if (c == 0x8F && inRange(at(i + 1), 0xA1, 0xFE) && inRange(at(i + 2), 0xA1, 0xFE)) {  // JIS X 0212
      ++r.characters;
      i += 3;
    } else if (inRange(c, 0xA1, 0xFE) && inRange(at(i + 1), 0xA1, 0xFE)) {
      r.character(c - 0xA0, at(i + 1) - 0xA0);
      i += 2;
    } else {
      ++r.faults;
      ++i;
      if (r.faults * 5 > r.characters + (t.size() - i) / 2) {
        hopeless = true;
        return r;
      }
    }
  }
  return r;
}

Reading readAsShiftJis(std::string_view t) {
  Reading r;
  std::size_t i = 0;
  auto at = [&](std::size_t k) { return k < t.size() ? static_cast<unsigned char>(t[k]) : 0; };
  while (i < t.size()) {
    const unsigned char c = at(i);
    const unsigned char d = at(i + 1);
    if (c < 0x80) {
      ++i;
    } else if (inRange(c, 0xA1, 0xDF)) {  // half-width katakana
      ++r.characters;
      ++i;
    } else if (platform::isSjisLeadByte(c) && (inRange(d, 0x40, 0x7E) || inRange(d, 0x80, 0xFC))) {
      if (c >= 0xED) {
        ++r.characters;  // Windows' extensions and the user area: neither fault nor common
      } else {
        // back to the JIS row and cell
        const int lead = c <= 0x9F ? c - 0x70 : c - 0xB0;
        int row = 2 * lead - 1;
        int cell = d - (d >= 0x80 ? 0x20 : 0x1F);
        if (d >= 0x9F) {
          ++row;
          cell = d - 0x7E;
        }
        r.character(row - 0x20, cell - 0x20);
      }
      i += 2;
    } else {
      ++r.faults;
      ++i;
    }
  }
  return r;
}

}  // namespace

bool isJisX0208Cell(int row, int cell) {
  if (cell < 1 || cell > 94) return false;
  auto in = [cell](int lo, int hi) { return cell >= lo && cell <= hi; };
  switch (row) {
    case 1: return true;
    case 2: return in(1, 14) || in(26, 33) || in(42, 48) || in(60, 74) || in(82, 89) || cell == 94;
    case 3: return in(16, 25) || in(33, 58) || in(65, 90);
    case 4: return in(1, 83);
    case 5: return in(1, 86);
    case 6: return in(1, 24) || in(33, 56);
    case 7: return in(1, 33) || in(49, 81);
    case 8: return in(1, 32);
    case 47: return in(1, 51);
    case 84: return in(1, 6);
    default: return (row >= 16 && row <= 46) || (row >= 48 && row <= 83);
  }
}

HtmlCharset guessJapaneseCharset(std::string_view text, bool* eucHopeless) {
  if (eucHopeless != nullptr) *eucHopeless = true;
  // A byte order mark is written by programs that write UTF-8 and mean it,
  // whatever follows (a broken sequence later is their fault, not a sign
  // of another charset).
  if (text.starts_with(kUtf8ByteOrderMark)) return kCharsetUtf8;
  if (text.find('\x1B') != std::string_view::npos)
    for (std::string_view escape : {"\x1B$B", "\x1B$@", "\x1B(I", "\x1B$(Q", "\x1B$(O", "\x1B$(B"})
      if (text.find(escape) != std::string_view::npos) return kCharsetIso2022Jp;
  bool high = false;
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) {
      high = true;
      break;
    }
  if (!high) return kCharsetNone;
  if (platform::utf8IsValid(text)) return kCharsetUtf8;
  bool hopeless = false;
  const Reading euc = readAsEucJp(text, hopeless);
  if (eucHopeless != nullptr) *eucHopeless = hopeless;
  if (hopeless) return kCharsetShiftJis;
  const Reading sjis = readAsShiftJis(text);
  if (euc.plausible() && (!sjis.plausible() || euc.score() > sjis.score())) return kCharsetEucJp;
  return kCharsetShiftJis;
}

HtmlCharset guessCharsetOfBytes(std::string_view text) {
  const HtmlCharset japanese = guessJapaneseCharset(text, nullptr);
  if (japanese != kCharsetShiftJis) return japanese;
  return readAsShiftJis(text).plausible() ? kCharsetShiftJis : kCharsetIso8859;
}

}  // namespace mime
