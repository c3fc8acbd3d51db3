// The OCR control's readers of outside data: the pattern file (compound
// file and the old flat file) and a DIB handed to SetImageHandle. The first
// byte picks the reader.
#include "ocrctl/compound_file.h"
#include "ocrctl/pattern_store.h"
#include "ocrctl/working_image.h"

#include <span>
#include <vector>

// The engine is not part of this target: registration always succeeds.
extern "C" {
std::int32_t VuRegisterPattern(std::int16_t* number, const std::uint16_t*, const std::uint8_t*, std::uint16_t,
                               std::uint16_t, const std::int32_t*) {
  *number = 1;
  return 1;
}
std::int32_t VuMergeLearning(const char*, const char*, const char*) { return 1; }
}

namespace {
bool registerAlways(void*, std::uint16_t, const ocrctl::PatternImage&, const std::int32_t*, std::int16_t* n) {
  *n = 1;
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t pick = data[0] % 3;
  std::span<const std::uint8_t> bytes(data + 1, size - 1);
  switch (pick) {
    case 0: {
      ocrctl::Streams streams;
      ocrctl::readCompound(bytes, streams);
      break;
    }
    case 1: {
      std::vector<std::uint8_t> section;
      ocrctl::convertFlatPatterns({bytes.begin(), bytes.end()}, registerAlways, nullptr, section);
      break;
    }
    default: {
      ocrctl::Bitonal picture;
      ocrctl::dibToBitonal(bytes, picture);
      break;
    }
  }
  return 0;
}
