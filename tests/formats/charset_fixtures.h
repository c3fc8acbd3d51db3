#pragma once
// Test-side charset conversion through iconv, independent of the code under
// test, for fixtures in the charsets that browsers and mailers write.

#include <iconv.h>

#include <stdexcept>
#include <string>
#include <string_view>

namespace testsupport {

inline std::string iconvText(std::string_view text, const char* to, const char* from = "UTF-8") {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open");
  std::string out(text.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char* dst = out.data();
  size_t dstLeft = out.size();
  size_t rc = iconv(cd, &in, &inLeft, &dst, &dstLeft);
  if (rc != static_cast<size_t>(-1)) rc = iconv(cd, nullptr, nullptr, &dst, &dstLeft);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1)) throw std::runtime_error("iconv");
  out.resize(out.size() - dstLeft);
  return out;
}

}  // namespace testsupport
