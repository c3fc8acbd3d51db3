#pragma once
// A Japanese engine for the line-cutting and driver tests that answers each
// cell by a rule of the test (or by a table of rectangles), logs every call,
// and resolves lattices by the cheapest path.

#include <functional>
#include <map>
#include <tuple>
#include <vector>

#include "recognition/lattice_path.h"
#include "recognition/recognition_engine.h"

namespace recogtest {

inline recognition::CellResult reading(std::uint16_t code, int distance, int certainty = -1) {
  recognition::CellResult r;
  r.candidates[0] = code;
  r.count = code != 0 ? 1 : 0;
  r.distance = static_cast<std::int16_t>(distance);
  r.certainty = static_cast<std::int16_t>(certainty >= 0 ? certainty : (distance < 1000 ? 1 : 2));
  return r;
}

inline recognition::CharRect rect(int l, int t, int r, int b) {
  return recognition::CharRect{static_cast<std::int16_t>(l), static_cast<std::int16_t>(t),
                               static_cast<std::int16_t>(r), static_cast<std::int16_t>(b)};
}

class RuleEngine final : public recognition::JapaneseEngine {
 public:
  using Rule = std::function<recognition::CellResult(const recognition::CharRect&)>;

  // Cells named in `table` answer from it; the others by `rule` (by default
  // unsure, distance 1500).
  std::map<std::tuple<int, int, int, int>, recognition::CellResult> table;
  Rule rule = [](const recognition::CharRect&) { return reading(0, 1500, 2); };
  std::int16_t readStatus = 1;
  std::int16_t lineStatus = 1;
  std::int16_t resolveStatus = 1;

  std::vector<recognition::CharRect> reads;
  std::vector<recognition::CharRect> lines;
  int lineEnds = 0;
  int fieldParams = 0;
  int resolves = 0;

  void answer(const recognition::CharRect& r, const recognition::CellResult& result) {
    table[{r.left, r.top, r.right, r.bottom}] = result;
  }

  std::int16_t loadDictionaries(const recognition::DictionaryPaths&) override { return 1; }
  void close() override {}
  std::int16_t setFieldParams(std::uint16_t, std::uint16_t, std::uint32_t) override {
    ++fieldParams;
    return 1;
  }
  std::int16_t beginLine(const recognition::EngineImage&, const recognition::CharRect& line,
                         recognition::LineDirection) override {
    lines.push_back(line);
    return lineStatus;
  }
  void endLine() override { ++lineEnds; }
  std::int16_t readCell(const recognition::EngineImage&, const recognition::CharRect& cell,
                        recognition::CellResult& result) override {
    reads.push_back(cell);
    if (readStatus < 1) return readStatus;
    const auto it = table.find({cell.left, cell.top, cell.right, cell.bottom});
    result = it != table.end() ? it->second : rule(cell);
    return 1;
  }
  std::int16_t resolveLattice(const recognition::EngineImage&, recognition::FieldLattice& field) override {
    ++resolves;
    if (resolveStatus < 1) return resolveStatus;
    for (recognition::LatticeLine& line : field.lines)
      line.characters = recognition::bestPath(static_cast<int>(line.boxes.size()), recognition::latticeSteps(line));
    return 1;
  }
  std::int32_t registerPattern(std::int16_t*, const std::uint16_t*, const std::uint8_t*, std::uint16_t,
                               std::uint16_t, const std::int32_t*) override {
    return 0;
  }
  std::int32_t deletePattern(std::int16_t) override { return 0; }
  std::int32_t setPatternValid(std::int16_t, std::uint16_t) override { return 0; }
  std::int32_t mergeLearning(const std::string&, const std::string&, const std::string&) override { return 0; }
  std::int16_t candidates(const std::uint8_t*, std::uint16_t, std::uint16_t, const std::int32_t*, std::uint16_t*,
                          int) override {
    return 0;
  }
};

// A blank 1-bit image with filled rectangles of ink.
struct InkImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bits;
  InkImage(int w, int h) : width(w), height(h), bits(static_cast<std::size_t>((w + 15) / 16 * 2) * h, 0) {}
  int bytesPerRow() const { return (width + 15) / 16 * 2; }
  void fill(int l, int t, int r, int b) {
    for (int y = t; y <= b; ++y)
      for (int x = l; x <= r; ++x)
        bits[static_cast<std::size_t>(y) * bytesPerRow() + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
  }
  recognition::EngineImage image(int dpi = 400) const {
    return recognition::EngineImage{bits.data(), static_cast<std::uint16_t>(bytesPerRow()),
                                    static_cast<std::uint16_t>(height), static_cast<std::uint16_t>(dpi)};
  }
};

}  // namespace recogtest
