// The user-pattern and candidate operations of the Japanese engine that
// libvulay30 carries, exported for the OCR control, which keeps the user's
// patterns: the engine inside the library is the one that recognises, so
// the control reaches it here and never holds an engine of its own.
//
// Each answers 0 while the library has no Japanese engine loaded
// (InitLayout not called or failed). Arguments and results are those of the
// engine's own operations (recognition_engine.h).
#pragma once

#include "layout/vulay30.h"

#include <cstdint>

extern "C" {

// Ordinal 20: nonzero = registered; *number = the new pattern's number.
VULAY30_API std::int32_t VuRegisterPattern(std::int16_t* number, const std::uint16_t* code,
                                           const std::uint8_t* bits, std::uint16_t width,
                                           std::uint16_t height, const std::int32_t rect[4]);
// Ordinal 21.
VULAY30_API std::int32_t VuDeletePattern(std::int16_t number);
// Ordinal 22.
VULAY30_API std::int32_t VuSetPatternValid(std::int16_t number, std::uint16_t valid);
// Ordinal 23: reload the learning files the caller has just written.
VULAY30_API std::int32_t VuMergeLearning(const char* baseIndexPath, const char* learningIndexPath,
                                         const char* learningDataPath);
// Ordinal 24: candidates of one rectangle; the number written.
VULAY30_API std::int16_t VuCandidates(const std::uint8_t* bits, std::uint16_t width, std::uint16_t height,
                                      const std::int32_t rect[4], std::uint16_t* out, int capacity);

}  // extern "C"
