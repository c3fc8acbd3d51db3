#include "platform/sjis_codec.h"

#include <QString>

#include <cctype>
#include <cerrno>
#include <iconv.h>

namespace platform {
namespace {

// One converter per direction and thread: iconv_open is costly and an
// iconv_t is not thread-safe.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much as possible; returns false when stopped by EILSEQ or
  // EINVAL, leaving in/inLeft at the offending input.
  bool convert(const char*& in, size_t& inLeft, std::string& out) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char buffer[1024];
    while (inLeft > 0) {
      char* dst = buffer;
      size_t dstLeft = sizeof buffer;
      size_t rc = iconv(cd_, const_cast<char**>(&in), &inLeft, &dst, &dstLeft);
      out.append(buffer, static_cast<size_t>(dst - buffer));
      if (rc == static_cast<size_t>(-1) && errno != E2BIG) return false;
    }
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    iconv(cd_, nullptr, nullptr, &dst, &dstLeft);
    out.append(buffer, static_cast<size_t>(dst - buffer));
    return true;
  }

 private:
  iconv_t cd_;
};

Converter& toSjis() {
  thread_local Converter c("CP932", "UTF-8");
  return c;
}
Converter& fromSjis() {
  thread_local Converter c("UTF-8", "CP932");
  return c;
}

std::string encode(std::string_view utf8, bool lossy, bool* ok) {
  std::string out;
  out.reserve(utf8.size());
  const char* in = utf8.data();
  size_t left = utf8.size();
  *ok = true;
  while (!toSjis().convert(in, left, out)) {
    *ok = false;
    if (!lossy) return {};
    out.push_back('?');
    size_t skip = std::min(left, utf8SequenceLength(static_cast<unsigned char>(*in)));
    in += skip;
    left -= skip;
  }
  return out;
}

}  // namespace

std::size_t utf8SequenceLength(unsigned char c) {
  if (c < 0x80) return 1;
  if ((c & 0xE0) == 0xC0) return 2;
  if ((c & 0xF0) == 0xE0) return 3;
  if ((c & 0xF8) == 0xF0) return 4;
  return 1;
}

std::optional<std::string> toCp932(std::string_view utf8) {
  bool ok = false;
  std::string out = encode(utf8, false, &ok);
  if (!ok) return std::nullopt;
  return out;
}

std::string toCp932Lossy(std::string_view utf8) {
  bool ok = false;
  return encode(utf8, true, &ok);
}

std::string fromCp932(std::string_view sjis) {
  std::string out;
  out.reserve(sjis.size() * 3 / 2);
  const char* in = sjis.data();
  size_t left = sjis.size();
  while (!fromSjis().convert(in, left, out)) {
    out += "\xEF\xBF\xBD";
    // A lead byte takes its trail byte along only when that is one: a
    // stray lead byte must not swallow the letter after it.
    const auto trail = left >= 2 ? static_cast<unsigned char>(in[1]) : 0;
    const bool pair = isSjisLeadByte(static_cast<unsigned char>(*in)) && trail >= 0x40 && trail <= 0xFC && trail != 0x7F;
    size_t skip = pair ? 2 : 1;
    in += skip;
    left -= skip;
  }
  return out;
}

std::optional<std::string> charsetToUtf8(std::string_view bytes, std::string_view charset) {
  // Only names as MIME and HTML spell them reach iconv_open.
  if (charset.empty() || charset.size() > 40) return std::nullopt;
  for (char c : charset)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.' || c == ':'))
      return std::nullopt;
  Converter converter("UTF-8", std::string(charset).c_str());
  if (!converter.valid()) return std::nullopt;
  std::string out;
  out.reserve(bytes.size() * 2);
  const char* in = bytes.data();
  size_t left = bytes.size();
  while (!converter.convert(in, left, out)) {
    out += "\xEF\xBF\xBD";
    ++in;  // the length of a bad sequence is unknown: go on from the next byte
    --left;
  }
  return out;
}

std::optional<std::string> qToCp932(const QString& text) {
  return toCp932(text.toStdString());
}

QString qFromCp932(std::string_view sjis) {
  return QString::fromStdString(fromCp932(sjis));
}

int cp932Length(std::string_view utf8) {
  auto encoded = toCp932(utf8);
  return encoded ? static_cast<int>(encoded->size()) : -1;
}

bool utf8IsValid(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    auto c = static_cast<unsigned char>(text[i]);
    size_t n = utf8SequenceLength(c);
    if (n == 1 && c >= 0x80) return false;
    if (i + n > text.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

std::string utf8Truncate(std::string_view utf8, std::size_t maxBytes) {
  if (utf8.size() <= maxBytes) return std::string(utf8);
  size_t end = maxBytes;
  while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
  return std::string(utf8.substr(0, end));
}

std::string asciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

bool asciiEqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

}  // namespace platform
