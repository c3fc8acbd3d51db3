#include "recognition/blank_insertion.h"

#include <algorithm>

namespace recognition {

RecognizedChar makeBlank(const CharRect& rect) {
  RecognizedChar c;
  c.rect = rect;
  c.result.certainty = 1;
  c.result.distance = 0;
  c.result.candidates[0] = kFullWidthBlank;
  c.result.count = 1;
  return c;
}

namespace {

std::int16_t s16(int v) { return static_cast<std::int16_t>(v); }

bool fullWidthLatin(std::uint16_t code) { return code >= 0x8260 && code <= 0x829A; }

// Blanks of width w and spacing g from x up to the character starting at
// `next`, at most n of them.
std::vector<RecognizedChar> blankRun(int x, int n, int w, int g, int next, int top, int bottom) {
  std::vector<RecognizedChar> out;
  for (int k = 0; k < n; ++k) {
    const int right = next < x + w ? next - g : std::min(x + w, next - g);
    out.push_back(makeBlank(CharRect{s16(x), s16(top), s16(right), s16(bottom)}));
    x = right + g;
    if (right + w / 2 > next) break;
  }
  return out;
}

// Blanks by pitch; `rounding` is added to the number of pitches of white
// before it is cut to a whole number.
void pitchBlanks(std::vector<RecognizedChar>& chars, const CharRect& line, const LineMeasures& m, double rounding) {
  const int w = m.width;
  const int g = m.gap;
  std::vector<RecognizedChar> out;
  for (std::size_t i = 0; i < chars.size(); ++i) {
    if (i > 0 && w + g > 0) {
      const CharRect& a = chars[i - 1].rect;
      const CharRect& b = chars[i].rect;
      int n = static_cast<int>(static_cast<double>(b.left - a.left + 1 - w) / (w + g) + rounding);
      if (b.left - a.right + 1 < w + g) n = 0;
      if (n > 0) {
        auto blanks = blankRun(a.right + g, n, w, g, b.left, line.top, line.bottom);
        out.insert(out.end(), blanks.begin(), blanks.end());
      }
    }
    out.push_back(chars[i]);
  }
  chars = std::move(out);
}

// A vertical line's characters and rectangles in the turned frame, and back.
void turnChars(std::vector<RecognizedChar>& chars) {
  for (RecognizedChar& c : chars) c.rect = turned(c.rect);
}

}  // namespace

void insert_pitch_blanks(std::vector<RecognizedChar>& chars, const CharRect& line, const LineMeasures& m, int dpi,
                         const WordGapParameters& p) {
  pitchBlanks(chars, line, m, 0.4);
  insert_word_blanks(chars, line, m, dpi, p);
}

void insert_pitch_blanks_v(std::vector<RecognizedChar>& chars, const CharRect& line, const LineMeasures& m) {
  turnChars(chars);
  pitchBlanks(chars, turned(line), turned(m), 0.5);
  turnChars(chars);
}

void insert_leading_blanks_v(std::vector<RecognizedChar>& chars, CharRect& line, const LineMeasures& lineMeasures,
                             const CharRect& field, const FieldMeasures& fieldMeasures) {
  turnChars(chars);
  CharRect t = turned(line);
  insert_leading_blanks(chars, t, turned(lineMeasures), turned(field), turned(fieldMeasures));
  line = turned(t);
  turnChars(chars);
}

void insert_word_blanks(std::vector<RecognizedChar>& chars, const CharRect& line, const LineMeasures& m, int dpi,
                        const WordGapParameters& p) {
  const int lo = std::max(m.width * p.floor / 100, dpi * 5 * 4 / 100 / 10);
  const int hi = m.width * p.ceiling / 100;
  const int gap = std::min(std::max(m.gap * p.factor / 100, lo), hi);
  const int h = line.height();
  std::vector<RecognizedChar> out;
  for (std::size_t i = 0; i < chars.size(); ++i) {
    if (i > 0) {
      const RecognizedChar& a = chars[i - 1];
      const RecognizedChar& b = chars[i];
      if (fullWidthLatin(a.result.best()) && fullWidthLatin(b.result.best()) &&
          b.rect.left - a.rect.right + 1 >= gap && a.rect.right + m.gap < b.rect.left - m.gap)
        out.push_back(makeBlank(CharRect{s16(a.rect.right + m.gap), s16(line.top + h / 4), s16(b.rect.left - m.gap),
                                         s16(line.bottom - h / 4)}));
    }
    out.push_back(chars[i]);
  }
  chars = std::move(out);
}

void insert_leading_blanks(std::vector<RecognizedChar>& chars, CharRect& line, const LineMeasures& lineMeasures,
                           const CharRect& field, const FieldMeasures& fieldMeasures) {
  if (chars.empty()) return;
  const int w = fieldMeasures.width;
  const int g = fieldMeasures.gap;
  if (w + g <= 0) return;
  const CharRect first = chars.front().rect;
  const int d = first.left - field.left + 1;
  int n = static_cast<int>(static_cast<double>(d) / (w + g) + 0.2);
  if (d < lineMeasures.width) n = 0;
  if (n < 1) return;
  line.left = field.left;
  auto blanks = blankRun(field.left, n, w, g, first.left, line.top, line.bottom);
  chars.insert(chars.begin(), blanks.begin(), blanks.end());
}

}  // namespace recognition
