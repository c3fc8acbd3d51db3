// libFuzzer target: "Kpx Draw" files, with caps small enough for speed.
#include "formats/kpx_draw_reader.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  KpxDrawLimits limits;
  limits.maxSide = 4096;
  limits.maxBitmapBytes = 4u << 20;
  std::vector<std::uint8_t> bmp;
  int rc = decodeKpxDraw(std::string_view(reinterpret_cast<const char*>(data), size), bmp, limits);
  if (rc == kKpxDrawOk) {
    // The BMP's own size field must describe exactly what was built.
    std::uint32_t declared = bmp[2] | (bmp[3] << 8) | (bmp[4] << 16) | (std::uint32_t{bmp[5]} << 24);
    if (bmp.size() < 62 || declared != bmp.size()) __builtin_trap();
  } else if (!bmp.empty()) {
    __builtin_trap();
  }
  return 0;
}
