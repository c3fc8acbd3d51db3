// Status codes of the recognition engines, declared once.
//
// The engine operations answer 16-bit statuses: kEngineDone or more is
// success, kEngineRefused a failure the caller may pass over (nothing
// loaded, no image), below it a failure that ends the page. The English
// engine's group reading answers kEnglishGoOn to let the driver go on. The
// user-pattern operations answer 32-bit values: nonzero is done.
#pragma once

#include <cstdint>

namespace recognition {

inline constexpr std::int16_t kEngineDone = 1;
inline constexpr std::int16_t kEngineRefused = 0;
inline constexpr std::int16_t kEngineStop = -1;

inline constexpr std::int16_t kEnglishGoOn = 0;

inline constexpr std::int32_t kPatternDone = 1;
inline constexpr std::int32_t kPatternRefused = 0;

}  // namespace recognition
