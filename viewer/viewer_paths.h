#pragma once
// The path limit of the files a page opens (its image and its attached
// text): 260 bytes as Shift-JIS counts them; a path with a character that
// Shift-JIS cannot write counts its UTF-8 bytes.

#include "platform/sjis_codec.h"

#include <string>

inline constexpr int kMaxPagePathBytes = 260;

inline int PagePathBytes(const std::string& path) {
  const int sjis = platform::cp932Length(path);
  return sjis >= 0 ? sjis : static_cast<int>(path.size());
}
