#pragma once
// POSIX path helpers used everywhere in place of string concatenation.
//
//   joinPath, parentPath, fileNameOf, stemOf, extensionOf, withTrailingSlash
//   isNameLengthValid   the file system's 255-byte limit on one name

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

constexpr std::size_t kMaxNameBytes = 255;   // one path component, UTF-8 bytes
constexpr std::size_t kMaxPathBytes = 4095;  // PATH_MAX less the terminator

// Joins with exactly one '/' between the parts; an empty part yields the other.
std::string joinPath(std::string_view dir, std::string_view name);
template <typename... Rest>
std::string joinPath(std::string_view dir, std::string_view name, Rest&&... rest) {
  return joinPath(joinPath(dir, name), std::forward<Rest>(rest)...);
}

// "/a/b/c" → "/a/b"; "/a" → "/"; "c" → "".  Trailing slashes are ignored.
std::string parentPath(std::string_view path);
// "/a/b/c.txt" → "c.txt"
std::string fileNameOf(std::string_view path);
// "c.tar.gz" → "c.tar"; "c" → "c"; ".profile" → ".profile"
std::string stemOf(std::string_view fileName);
// "c.tar.gz" → "gz"; "c" → ""; ".profile" → ""
std::string extensionOf(std::string_view fileName);
std::string withTrailingSlash(std::string_view dir);
std::string withoutTrailingSlash(std::string_view dir);

bool isNameLengthValid(std::string_view name);

}  // namespace platform
