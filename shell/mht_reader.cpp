#include "shell/mht_reader.h"

#include "platform/paths.h"
#include "shell/file_bytes.h"
#include "shell/html_charset.h"
#include "shell/mime_codecs.h"

#include <optional>
#include <utility>

namespace mime {
namespace {

constexpr std::uint64_t kMaxMhtFileBytes = 512ull << 20;

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  return s;
}

// One line without its end; `next` is where the following line starts.
struct Line {
  std::string_view text;
  std::size_t next;
};

Line lineAt(std::string_view s, std::size_t pos) {
  std::size_t nl = s.find('\n', pos);
  std::size_t end = nl == std::string_view::npos ? s.size() : nl;
  std::size_t next = nl == std::string_view::npos ? s.size() : nl + 1;
  std::string_view text = s.substr(pos, end - pos);
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  return {text, next};
}

struct Headers {
  std::vector<std::pair<std::string, std::string>> fields;  // lower-case name, unfolded value
  std::size_t bodyStart = 0;
  bool any = false;

  std::string_view get(std::string_view name) const {
    for (const auto& [n, v] : fields)
      if (n == name) return v;
    return {};
  }
};

bool looksLikeHeaderLine(std::string_view line) {
  std::size_t colon = line.find(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  for (std::size_t i = 0; i < colon; ++i) {
    auto c = static_cast<unsigned char>(line[i]);
    if (c <= 0x20 || c >= 0x7F) return false;
  }
  return true;
}

Headers parseHeaders(std::string_view entity) {
  Headers h;
  std::size_t pos = 0;
  bool blankLine = false;
  while (pos < entity.size()) {
    Line line = lineAt(entity, pos);
    if (line.text.empty()) {
      pos = line.next;
      blankLine = true;
      break;
    }
    if ((line.text.front() == ' ' || line.text.front() == '\t') && !h.fields.empty()) {
      h.fields.back().second += ' ';
      h.fields.back().second += trim(line.text);
    } else if (looksLikeHeaderLine(line.text)) {
      std::size_t colon = line.text.find(':');
      h.fields.emplace_back(lower(trim(line.text.substr(0, colon))),
                            std::string(trim(line.text.substr(colon + 1))));
      h.any = true;
    } else if (!h.any) {
      break;  // the entity has no header block: all of it is body
    }
    pos = line.next;
  }
  h.bodyStart = h.any || blankLine ? pos : 0;
  if (h.bodyStart > entity.size()) h.bodyStart = entity.size();
  return h;
}

// The value of a parameter of a structured header ("boundary", "charset").
std::optional<std::string> parameter(std::string_view value, std::string_view name) {
  std::size_t pos = value.find(';');
  while (pos != std::string_view::npos) {
    std::size_t start = pos + 1;
    std::size_t eq = value.find('=', start);
    if (eq == std::string_view::npos) return std::nullopt;
    std::string key = lower(trim(value.substr(start, eq - start)));
    std::size_t v = eq + 1;
    while (v < value.size() && (value[v] == ' ' || value[v] == '\t')) ++v;
    std::string result;
    std::size_t after;
    if (v < value.size() && value[v] == '"') {
      std::size_t close = value.find('"', v + 1);
      std::size_t end = close == std::string_view::npos ? value.size() : close;
      result = value.substr(v + 1, end - v - 1);
      after = close == std::string_view::npos ? value.size() : close + 1;
    } else {
      std::size_t end = value.find(';', v);
      if (end == std::string_view::npos) end = value.size();
      result = trim(value.substr(v, end - v));
      after = end;
    }
    if (key == name) return result;
    pos = value.find(';', after);
  }
  return std::nullopt;
}

std::string_view charsetLabel(HtmlCharset c) {
  switch (c) {
    case kCharsetIso8859: return "iso-8859";
    case kCharsetShiftJis: return "shift_jis";
    case kCharsetIso2022Jp: return "iso-2022-jp";
    case kCharsetEucJp: return "euc-jp";
    case kCharsetUtf8: return "utf-8";
    default: return {};
  }
}

class Walker {
 public:
  explicit Walker(const std::function<bool(const MhtTextPart&)>& onPart) : onPart_(onPart) {}

  bool entity(std::string_view text, int depth, bool topLevel) {
    if (depth > kMaxMhtNesting) return false;
    Headers headers = parseHeaders(text);
    if (topLevel && !headers.any) return false;  // not a message at all
    std::string_view typeField = headers.get("content-type");
    std::string type = lower(trim(typeField.substr(0, typeField.find(';'))));
    std::string_view body = text.substr(headers.bodyStart);
    if (type.starts_with("multipart/")) {
      auto boundary = parameter(typeField, "boundary");
      if (!boundary || boundary->empty()) return false;
      return multipart(body, *boundary, depth);
    }
    if (type.empty()) type = "text/plain";  // the default of a MIME entity
    if (type != "text/html" && type != "text/plain") return true;
    if (parts_ >= kMaxMhtTextParts) return false;
    ++parts_;

    MhtTextPart part;
    part.contentType = type;
    if (auto cs = parameter(typeField, "charset")) part.charset = charsetLabel(charsetOfName(trim(*cs)));
    std::string encoding = lower(trim(headers.get("content-transfer-encoding")));
    if (encoding == "base64") part.body = base64Decode(body);
    else if (encoding == "quoted-printable") part.body = quotedPrintableDecode(body);
    else part.body = body;
    return onPart_(part);
  }

 private:
  // A delimiter line is "--" boundary, optionally "--" for the last one,
  // then only blanks: a longer boundary that merely starts the same is not one.
  enum class Delimiter { None, Next, Close };
  static Delimiter delimiterKind(std::string_view line, std::string_view boundary) {
    if (line.size() < boundary.size() + 2 || !line.starts_with("--") ||
        line.substr(2, boundary.size()) != boundary)
      return Delimiter::None;
    std::string_view rest = line.substr(boundary.size() + 2);
    Delimiter kind = Delimiter::Next;
    if (rest.starts_with("--")) {
      kind = Delimiter::Close;
      rest.remove_prefix(2);
    }
    return trim(rest).empty() ? kind : Delimiter::None;
  }

  bool multipart(std::string_view body, std::string_view boundary, int depth) {
    std::size_t pos = 0;
    std::size_t partStart = std::string_view::npos;
    bool sawDelimiter = false;
    while (pos < body.size()) {
      Line line = lineAt(body, pos);
      Delimiter kind = delimiterKind(line.text, boundary);
      if (kind != Delimiter::None) {
        sawDelimiter = true;
        if (partStart != std::string_view::npos && !part(body, partStart, pos, depth)) return false;
        if (kind == Delimiter::Close) return true;
        partStart = line.next;
      }
      pos = line.next;
    }
    if (!sawDelimiter) return false;
    // No closing delimiter: the last part runs to the end.
    return partStart == std::string_view::npos || part(body, partStart, body.size(), depth);
  }

  bool part(std::string_view body, std::size_t begin, std::size_t delimiterAt, int depth) {
    // The line end before a delimiter belongs to the delimiter.
    std::size_t end = delimiterAt;
    if (end > begin && body[end - 1] == '\n') --end;
    if (end > begin && body[end - 1] == '\r') --end;
    std::string_view text = body.substr(begin, end - begin);
    if (trim(text).empty()) return true;  // what follows our own last separator
    return entity(text, depth + 1, false);
  }

  const std::function<bool(const MhtTextPart&)>& onPart_;
  std::size_t parts_ = 0;
};

}  // namespace

std::string charsetCommentLine(std::string_view charset) {
  return "<!-- MIME charset=" + std::string(charset) + " -->\n";
}

bool parseMhtTextParts(std::string_view message,
                       const std::function<bool(const MhtTextPart&)>& onPart) {
  Walker walker(onPart);
  return walker.entity(message, 0, true);
}

}  // namespace mime

bool ExtractMhtParts(const std::string& mhtPath, const std::string& outputFolder,
                     std::vector<std::string>& outputPaths) {
  auto file = fileio::readFileBytes(mhtPath, mime::kMaxMhtFileBytes);
  if (!file) return false;
  int number = 0;
  return mime::parseMhtTextParts(file.bytes, [&](const mime::MhtTextPart& part) {
    std::string path = platform::joinPath(outputFolder, std::to_string(++number) + ".htm");
    std::string content;
    if (!part.charset.empty()) content = mime::charsetCommentLine(part.charset);
    content += part.body;
    if (!fileio::writeFileBytes(path, content)) return false;
    outputPaths.push_back(path);
    return true;
  });
}
