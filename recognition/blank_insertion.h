#pragma once
// Full-width blanks where a recognised line shows white space: between
// characters by the line's pitch, between Latin words (horizontal lines
// only), and at the start of an indented line.  The _v twins serve vertical
// lines, top to bottom, on the same rules turned a quarter; their pitch
// count rounds from a half.
//
//   insert_pitch_blanks    by pitch, then insert_word_blanks
//   insert_word_blanks     between two full-width Latin letters
//   insert_leading_blanks  from the field's left edge to the first character
//
// A blank is a character of code 0x8140, one candidate, sure, distance 0,
// placed in reading order before the character after the white space.

#include <vector>

#include "recognition/cut_lattice.h"
#include "recognition/line_cells.h"

namespace recognition {

inline constexpr std::uint16_t kFullWidthBlank = 0x8140;

struct WordGapParameters {
  int floor = 40;     // percent of the line's character width
  int ceiling = 80;
  int factor = 250;   // percent of the line's gap
};

RecognizedChar makeBlank(const CharRect& rect);

void insert_pitch_blanks(std::vector<RecognizedChar>& chars, const CharRect& line, const LineMeasures& m, int dpi,
                         const WordGapParameters& p = {});
void insert_word_blanks(std::vector<RecognizedChar>& chars, const CharRect& line, const LineMeasures& m, int dpi,
                        const WordGapParameters& p = {});
// `line` may move its left edge to the field's when blanks are put in front.
void insert_leading_blanks(std::vector<RecognizedChar>& chars, CharRect& line, const LineMeasures& lineMeasures,
                           const CharRect& field, const FieldMeasures& fieldMeasures);

void insert_pitch_blanks_v(std::vector<RecognizedChar>& chars, const CharRect& line, const LineMeasures& m);
// `line` may move its top edge to the field's.
void insert_leading_blanks_v(std::vector<RecognizedChar>& chars, CharRect& line, const LineMeasures& lineMeasures,
                             const CharRect& field, const FieldMeasures& fieldMeasures);

}  // namespace recognition
