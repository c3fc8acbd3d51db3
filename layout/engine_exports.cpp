// The Japanese engine's pattern and candidate operations; see vurcgj30.h.
#include "layout/vurcgj30.h"

#include "layout/library_state.h"

namespace {

recognition::JapaneseEngine* loadedEngine() {
  auto& state = layout::layoutState();
  return state.japaneseLoaded ? state.japanese.get() : nullptr;
}

template <typename F>
auto withEngine(F work, decltype(work(nullptr)) none) noexcept {
  try {
    recognition::JapaneseEngine* engine = loadedEngine();
    return engine != nullptr ? work(engine) : none;
  } catch (...) {
    return none;
  }
}

}  // namespace

extern "C" {

std::int32_t VuRegisterPattern(std::int16_t* number, const std::uint16_t* code, const std::uint8_t* bits,
                               std::uint16_t width, std::uint16_t height, const std::int32_t rect[4]) {
  if (number == nullptr || code == nullptr || bits == nullptr || rect == nullptr) return 0;
  return withEngine(
      [&](recognition::JapaneseEngine* e) { return e->registerPattern(number, code, bits, width, height, rect); },
      std::int32_t{0});
}

std::int32_t VuDeletePattern(std::int16_t number) {
  return withEngine([&](recognition::JapaneseEngine* e) { return e->deletePattern(number); }, std::int32_t{0});
}

std::int32_t VuSetPatternValid(std::int16_t number, std::uint16_t valid) {
  return withEngine([&](recognition::JapaneseEngine* e) { return e->setPatternValid(number, valid); },
                    std::int32_t{0});
}

std::int32_t VuMergeLearning(const char* baseIndexPath, const char* learningIndexPath,
                             const char* learningDataPath) {
  if (baseIndexPath == nullptr || learningIndexPath == nullptr || learningDataPath == nullptr) return 0;
  return withEngine(
      [&](recognition::JapaneseEngine* e) {
        return e->mergeLearning(baseIndexPath, learningIndexPath, learningDataPath);
      },
      std::int32_t{0});
}

std::int16_t VuCandidates(const std::uint8_t* bits, std::uint16_t width, std::uint16_t height,
                          const std::int32_t rect[4], std::uint16_t* out, int capacity) {
  if (bits == nullptr || rect == nullptr || out == nullptr || capacity <= 0) return 0;
  return withEngine(
      [&](recognition::JapaneseEngine* e) { return e->candidates(bits, width, height, rect, out, capacity); },
      std::int16_t{0});
}

}  // extern "C"
