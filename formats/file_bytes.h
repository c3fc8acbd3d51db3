#pragma once
// Whole-file reads and writes for the file-format converters.
//
//   readFileBytes     the platform's guarded reader: refuses what is not a
//                     regular file or is larger than a cap
//   writeFileAtomic   temporary file in the target's folder, then rename, so a
//                     failed write never leaves a half-written target behind
//   writeFileBytes    plain write of a work file

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fileio {

enum class ReadError { None, CannotOpen, TooLarge };

struct ReadResult {
  std::string bytes;
  ReadError error = ReadError::None;
  explicit operator bool() const { return error == ReadError::None; }
};

ReadResult readFileBytes(const std::string& path, std::uint64_t maxBytes);
bool writeFileAtomic(const std::string& path, std::string_view bytes);
// Plain create-or-truncate write, for work files that nobody keeps.
bool writeFileBytes(const std::string& path, std::string_view bytes);

}  // namespace fileio
