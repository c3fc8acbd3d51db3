// Blanks by pitch, between Latin words and before indented lines; the
// half-width conversion of the driver.
#include <gtest/gtest.h>

#include "recognition/blank_insertion.h"
#include "recognition/half_width.h"
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
