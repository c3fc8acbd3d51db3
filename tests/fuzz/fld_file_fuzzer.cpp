// libFuzzer target: field-list (".lyt") files.  Whatever the reader accepts
// must write back to bytes that read back to the same bytes again.
#include "layout/field_list_file_codec.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The first byte picks the caller's text buffer, so that texts that do
  // not fit are tried as well as ones that do.
  if (size == 0) return 0;
  const std::size_t capacity = data[0];
  layout::FldFileContents contents;
  if (layout::decodeFldFile({data + 1, size - 1}, capacity, (data[0] & 1) != 0, &contents) !=
      layout::FldCodecStatus::Ok) {
    return 0;
  }
  if (contents.text.size() >= capacity) __builtin_trap();
  std::string once;
  if (layout::encodeFldFile(contents, &once) != layout::FldCodecStatus::Ok) return 0;
  layout::FldFileContents again;
  if (layout::decodeFldFile({reinterpret_cast<const std::uint8_t*>(once.data()), once.size()}, capacity, true,
                            &again) != layout::FldCodecStatus::Ok) {
    __builtin_trap();
  }
  std::string twice;
  if (layout::encodeFldFile(again, &twice) != layout::FldCodecStatus::Ok || twice != once) __builtin_trap();
  return 0;
}
