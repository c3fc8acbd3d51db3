// Milliseconds per character of the Japanese engine, reading rendered lines
// through the test driver (cut, cells, lattice), in both reading modes.
// Run on one core: taskset -c 0 build/bin/recognition_bench
#include <benchmark/benchmark.h>

#include "recognition/tesseract_japanese_engine.h"
#include "tests/recognition/fixture_lines.h"
#include "tests/recognition/line_driver.h"
#include "tests/support/test_env.h"

using namespace recognition;

namespace {

void readLines(benchmark::State& state, ReadingMode mode, LineDirection direction) {
  testsupport::TempDir learning;
  TesseractJapaneseEngine engine(mode);
  if (engine.loadDictionaries(recogtest::dictionaryPaths(learning.path(), learning.path())) != 1) {
    state.SkipWithError("no Japanese language data");
    return;
  }
  std::vector<testsupport::LineImage> lines;
  int characters = 0;
  for (std::string_view text : recogtest::kJapaneseLines) {
    lines.push_back(testsupport::renderTextLine(text, testsupport::FixtureFont::Sans, 11, 300,
                                                direction == LineDirection::Vertical));
    characters += recogtest::characterErrors(std::string(text), "").length;
  }
  for (auto _ : state)
    for (const auto& line : lines) benchmark::DoNotOptimize(recogtest::readLine(engine, line, direction));
  // Seconds per character, shown in ms by the unit below.
  state.counters["per_char"] = benchmark::Counter(double(characters) * state.iterations(),
                                                  benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK_CAPTURE(readLines, horizontal_line_context, ReadingMode::LineContext, LineDirection::Horizontal)
    ->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(readLines, vertical_line_context, ReadingMode::LineContext, LineDirection::Vertical)
    ->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(readLines, horizontal_per_cell, ReadingMode::PerCell, LineDirection::Horizontal)
    ->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(readLines, vertical_per_cell, ReadingMode::PerCell, LineDirection::Vertical)
    ->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
