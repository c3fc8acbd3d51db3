#include "platform/paths.h"

namespace platform {

std::string withoutTrailingSlash(std::string_view dir) {
  while (dir.size() > 1 && dir.back() == '/') dir.remove_suffix(1);
  return std::string(dir);
}

std::string withTrailingSlash(std::string_view dir) {
  std::string out(dir);
  if (out.empty() || out.back() != '/') out.push_back('/');
  return out;
}

std::string joinPath(std::string_view dir, std::string_view name) {
  if (dir.empty()) return std::string(name);
  if (name.empty()) return std::string(dir);
  while (!name.empty() && name.front() == '/') name.remove_prefix(1);
  return withTrailingSlash(dir) + std::string(name);
}

std::string parentPath(std::string_view path) {
  std::string p = withoutTrailingSlash(path);
  auto slash = p.rfind('/');
  if (slash == std::string::npos) return {};
  if (slash == 0) return "/";
  return p.substr(0, slash);
}

std::string fileNameOf(std::string_view path) {
  std::string p = withoutTrailingSlash(path);
  auto slash = p.rfind('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string stemOf(std::string_view fileName) {
  auto dot = fileName.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return std::string(fileName);
  return std::string(fileName.substr(0, dot));
}

std::string extensionOf(std::string_view fileName) {
  auto dot = fileName.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  return std::string(fileName.substr(dot + 1));
}

bool isNameLengthValid(std::string_view name) {
  return !name.empty() && name.size() <= kMaxNameBytes;
}

}  // namespace platform
