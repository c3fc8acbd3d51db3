#pragma once
// A small stand-in for the recognition driver, for the engine tests: it cuts
// a rendered line into boxes (connected components joined where they overlap
// along the line), offers every run of up to four boxes no longer than 1.5
// line widths as an alternative, reads everything through the engine in the
// driver's order (field settings, line start, cells, lattice) and returns
// the text.

#include <string>

#include "recognition/recognition_engine.h"
#include "tests/support/text_line_renderer.h"

namespace recogtest {

recognition::EngineImage engineImage(const testsupport::LineImage& line);
recognition::LatticeLine cutLine(const testsupport::LineImage& line, recognition::LineDirection direction);
// The UTF-8 text the engine makes of the line; "<status N>" when a call fails.
std::string readLine(recognition::JapaneseEngine& engine, const testsupport::LineImage& line,
                     recognition::LineDirection direction, std::uint16_t kindMask = 0);

// Levenshtein distance over code points after NFKC, and the length of the
// normalised reference.
struct EditCount {
  int errors = 0;
  int length = 0;
};
EditCount characterErrors(const std::string& reference, const std::string& recognized);

recognition::DictionaryPaths dictionaryPaths(const std::string& folder, const std::string& learning);

}  // namespace recogtest
