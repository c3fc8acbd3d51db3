#include "platform/cp932_forms.h"

#include "platform/sjis_codec.h"

#include <algorithm>
#include <optional>

namespace platform {

std::string toCp932Forms(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t at = 0; at < utf8.size();) {
    const std::size_t step = std::min(utf8.size() - at, utf8SequenceLength(static_cast<unsigned char>(utf8[at])));
    const std::string_view character = utf8.substr(at, step);
    at += step;
    if (static_cast<unsigned char>(character[0]) < 0x80) {
      out += character;
      continue;
    }
    // Only a double-byte code that reads back as another character: a
    // single byte would change the text's meaning.
    const std::optional<std::string> sjis = toCp932(character);
    out += sjis && sjis->size() == 2 ? fromCp932(*sjis) : std::string(character);
  }
  return out;
}

QString qToCp932Forms(const QString& text) { return QString::fromStdString(toCp932Forms(text.toStdString())); }

}  // namespace platform
