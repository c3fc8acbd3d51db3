#include "recognition/recognition_engine.h"

namespace recognition {

// Out of line so that each interface has one home for its vtable.
JapaneseEngine::~JapaneseEngine() = default;
EnglishEngine::~EnglishEngine() = default;

int EnglishEngine::readingConfidence(const EngineImage&, const CharRect&) { return -1; }

}  // namespace recognition
