// Blanks by pitch, between Latin words and before indented lines, in
// horizontal and vertical lines; the half-width conversion of the driver.
#include <gtest/gtest.h>

#include "recognition/blank_insertion.h"
#include "recognition/half_width.h"
#include "recognition/tesseract_japanese_engine.h"
#include "tests/recognition/rule_engine.h"

namespace {
using namespace recognition;
using recogtest::reading;
using recogtest::rect;

RecognizedChar ch(std::uint16_t code, int left, int right) { return RecognizedChar{rect(left, 10, right, 50), reading(code, 500)}; }

int blanks(const std::vector<RecognizedChar>& chars) {
  int n = 0;
  for (const RecognizedChar& c : chars) n += c.result.best() == kFullWidthBlank;
  return n;
}

TEST(Blanks, ByPitchNoneForOnePitchOneForTwo) {
  const CharRect line = rect(0, 0, 999, 59);
  const LineMeasures m{40, 40, 10, 50};
  struct Case {
    int secondLeft;
    int expected;
  };
  for (const Case c : {Case{50, 0}, Case{100, 1}, Case{150, 2}}) {
    std::vector<RecognizedChar> chars{ch(0x88A0, 0, 39), ch(0x88A1, c.secondLeft, c.secondLeft + 39)};
    insert_pitch_blanks(chars, line, m, 400);
    EXPECT_EQ(blanks(chars), c.expected) << c.secondLeft;
    if (c.expected > 0) {
      EXPECT_EQ(chars[1].rect, rect(49, 0, 89, 59));
      EXPECT_EQ(chars[1].result.certainty, 1);
      EXPECT_EQ(chars.back().result.best(), 0x88A1);
    }
  }
}

TEST(Blanks, BetweenLatinWordsOnlyAndNoNarrowerThanHalfAMillimetre) {
  // w 40, g 10: word gap 25 (between 16 and 32).
  const CharRect line = rect(0, 0, 999, 59);
  const LineMeasures m{40, 40, 10, 50};
  struct Case {
    std::uint16_t a, b;
    int gap;
    int expected;
  };
  for (const Case c : {Case{0x8281, 0x8282, 30, 1}, Case{0x88A0, 0x88A1, 30, 0}, Case{0x8281, 0x8282, 24, 0}}) {
    std::vector<RecognizedChar> chars{ch(c.a, 0, 39), ch(c.b, 39 + c.gap - 1, 39 + c.gap + 30)};
    insert_word_blanks(chars, line, m, 400);
    EXPECT_EQ(blanks(chars), c.expected) << std::hex << c.a << " gap " << std::dec << c.gap;
    if (c.expected == 1) {
      EXPECT_EQ(chars[1].rect, rect(49, 15, 58, 44));
    }
  }
  // At 400 dpi the floor is 8 pixels: with w = 10, g = 2 a gap of 7 gets no blank, 30 gets one.
  const LineMeasures small{10, 10, 2, 12};
  std::vector<RecognizedChar> near{ch(0x8281, 0, 9), ch(0x8282, 15, 24)};
  insert_word_blanks(near, line, small, 400);
  EXPECT_EQ(blanks(near), 0);
  std::vector<RecognizedChar> far{ch(0x8281, 0, 9), ch(0x8282, 38, 47)};
  insert_word_blanks(far, line, small, 400);
  EXPECT_EQ(blanks(far), 1);
}

TEST(Blanks, AnIndentedLineStartsWithBlanksFromTheFieldsEdge) {
  const CharRect field = rect(100, 0, 999, 200);
  const FieldMeasures fm{40, 40, 10, 60};
  const LineMeasures m{40, 40, 10, 50};
  struct Case {
    int firstLeft;
    int expected;
  };
  for (const Case c : {Case{100, 0}, Case{130, 0}, Case{150, 1}, Case{200, 2}}) {
    CharRect line = rect(c.firstLeft, 0, 999, 59);
    std::vector<RecognizedChar> chars{ch(0x88A0, c.firstLeft, c.firstLeft + 39)};
    insert_leading_blanks(chars, line, m, field, fm);
    EXPECT_EQ(blanks(chars), c.expected) << c.firstLeft;
    EXPECT_EQ(line.left, c.expected > 0 ? 100 : c.firstLeft);
    if (c.expected > 0) {
      EXPECT_EQ(chars.front().rect.left, 100);
    }
  }
}

// Vertical lines: the same rules turned, the pitch count rounding from a half.

RecognizedChar at(std::uint16_t code, int top, int bottom) {
  return RecognizedChar{rect(10, top, 50, bottom), reading(code, 500)};
}

TEST(VerticalBlanks, ByPitchRoundingFromAHalf) {
  // H 40, G 10: pitch 50.  count = (N.top - C.top + 1 - 40) / 50 + 0.5.
  const CharRect line = rect(0, 0, 59, 999);
  const LineMeasures m{40, 40, 10, 50};
  struct Case {
    int nextTop;
    int expected;
  };
  // 50: one pitch, none; 100: two pitches, one; 74: the gap (36) is below
  // H + G, none whatever the count; 117: 1.56 pitches round to two (from
  // 0.4 they would give one); 150: 2.22 give two.
  for (const Case c : {Case{50, 0}, Case{100, 1}, Case{74, 0}, Case{117, 2}, Case{150, 2}}) {
    std::vector<RecognizedChar> chars{at(0x88A0, 0, 39), at(0x88A1, c.nextTop, c.nextTop + 39)};
    insert_pitch_blanks_v(chars, line, m);
    EXPECT_EQ(blanks(chars), c.expected) << c.nextTop;
    if (c.expected > 0) {
      EXPECT_EQ(chars[1].rect, rect(0, 49, 59, 89)) << "across the whole line, one character long";
      EXPECT_EQ(chars.back().result.best(), 0x88A1);
    }
  }
  // Full-width Latin letters get no word blank in a vertical line.
  std::vector<RecognizedChar> latin{at(0x8281, 0, 39), at(0x8282, 70, 109)};
  insert_pitch_blanks_v(latin, line, m);
  EXPECT_EQ(blanks(latin), 0);
}

TEST(VerticalBlanks, ALineStartingLowGetsLeadingBlanksAndTheFieldsTop) {
  const CharRect field = rect(0, 100, 999, 999);
  const FieldMeasures fm{40, 40, 10, 60};  // pitch 50 along the column
  const LineMeasures m{40, 40, 10, 50};
  struct Case {
    int firstTop;  // d = firstTop - 100 + 1
    int expected;
  };
  // Three pitches, 2.8 (rounds up from 2.8 + 0.2), 2.7 (two), less than a character.
  for (const Case c : {Case{249, 3}, Case{239, 3}, Case{234, 2}, Case{130, 0}}) {
    CharRect line = rect(0, c.firstTop, 59, 999);
    std::vector<RecognizedChar> chars{at(0x88A0, c.firstTop, c.firstTop + 39)};
    insert_leading_blanks_v(chars, line, m, field, fm);
    EXPECT_EQ(blanks(chars), c.expected) << c.firstTop;
    EXPECT_EQ(line.top, c.expected > 0 ? 100 : c.firstTop) << c.firstTop;
    if (c.expected > 0) {
      EXPECT_EQ(chars.front().rect.top, 100);
      EXPECT_EQ(chars.front().rect.left, 0);
    }
  }
}

TEST(HalfWidth, DigitsAndLettersAlwaysOthersOnlyWhenListed) {
  const std::uint8_t list[] = {0x81, 0x40, 0x83, 0x41, 0x83, 0x4B, 0x81, 0x69};  // 　 ア ガ （
  struct Case {
    std::uint16_t in, out;
  };
  for (const Case c : {Case{0x824F, '0'}, Case{0x8258, '9'}, Case{0x8260, 'A'}, Case{0x829A, 'z'},
                       Case{0x8140, ' '}, Case{0x8341, 0xB1}, Case{0x834B, 0x834B}, Case{0x8169, '('},
                       Case{0x8142, 0x8142}, Case{0x88A0, 0x88A0}}) {
    EXPECT_EQ(toHalfWidth(c.in, list), c.out) << std::hex << c.in;
  }
  EXPECT_EQ(toHalfWidth(0x8341, {}), 0x8341);
  EXPECT_EQ(singleByteForm(0x8142), 0xA1);  // 。
  EXPECT_EQ(singleByteForm(0x815B), 0xB0);  // ー
  EXPECT_EQ(singleByteForm(0x8393), 0xDD);  // ン
}

}  // namespace

namespace {

recognition::CellResult choices(std::initializer_list<std::uint16_t> codes) {
  recognition::CellResult r;
  r.count = 0;
  for (const std::uint16_t c : codes) r.candidates[r.count++] = c;
  r.distance = 900;
  r.certainty = 2;
  return r;
}

TEST(DigitsInForms, AStrokeWithADigitChoiceReadsAsTheDigitAmongDigitsOrAlone) {
  constexpr std::uint16_t kOne = 0x8250, kTwo = 0x8251, kFour = 0x8253, kBar = 0x8162, kBracket = 0x816E,
                          kNo = 0x836D, kKanji = 0x88EA, kKa = 0x82A9;
  struct Case {
    const char* name;
    std::vector<recognition::CellResult> line;
    std::vector<std::uint16_t> expected;  // the best of each symbol after
  };
  const Case cases[] = {
      {"1411 read as ｜4］1", {choices({kBar, kOne}), choices({kFour}), choices({kBracket, kOne}), choices({kOne})},
       {kOne, kFour, kOne, kOne}},
      {"a 2 alone in its cell read as ノ", {choices({kNo, kKa, kTwo})}, {kTwo}},
      {"a bar between kana stays", {choices({kKa}), choices({kBar, kOne}), choices({kKa})}, {kKa, kBar, kKa}},
      {"no digit among the choices", {choices({kFour}), choices({kBar, kKanji})}, {kFour, kBar}},
      {"a kanji beside digits stays", {choices({kFour}), choices({kKanji, kOne})}, {kFour, kKanji}},
  };
  for (Case c : cases) {
    recognition::preferDigitsAmongDigits(c.line);
    std::vector<std::uint16_t> best;
    for (const auto& r : c.line) best.push_back(r.best());
    EXPECT_EQ(best, c.expected) << c.name;
  }
}

}  // namespace
