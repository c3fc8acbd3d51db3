// libFuzzer target: the text of office documents held as zip archives of
// XML (each input read as every kind of document).
#include "catalogue/office_archive_text.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (const char* ext : {"docx", "xlsx", "pptx", "odt"}) {
    std::string reason;
    const auto text = officetext::OfficeArchiveTextOfBytes(bytes, ext, reason);
    // Either text or a reason, never both empty.
    if (!text && reason.empty()) __builtin_trap();
  }
  return 0;
}
