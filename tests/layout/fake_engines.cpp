#include "tests/layout/fake_engines.h"

#include "layout/library_state.h"

#include <memory>

namespace layouttest {

ScriptedEngines::ScriptedEngines(std::int16_t loadResult) {
  auto j = std::make_unique<ScriptedJapaneseEngine>(log, loadResult);
  japanese = j.get();
  layout::setRecognitionEngines(std::move(j), std::make_unique<ScriptedEnglishEngine>(log));
}

ScriptedEngines::~ScriptedEngines() { layout::setRecognitionEngines(nullptr, nullptr); }

}  // namespace layouttest
