#include "formats/mht_reader.h"

#include "formats/file_bytes.h"
#include "formats/html_charset.h"
#include "formats/mime_codecs.h"
#include "platform/paths.h"

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
    } else {
      // No header: either the entity has no header block (all of it is
      // body), or its writer left out the blank line and the body starts here.
      break;
    }
    pos = line.next;
  }
  h.bodyStart = h.any || blankLine ? pos : 0;
  if (h.bodyStart > entity.size()) h.bodyStart = entity.size();
  return h;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// An extended value of RFC 2231: %XX escapes, and in the first piece a
// charset'language' prefix (our parameters are ASCII; it is dropped).
std::string decodeExtended(std::string_view value, bool first) {
  if (first) {
    const std::size_t a = value.find('\'');
    const std::size_t b = a == std::string_view::npos ? a : value.find('\'', a + 1);
    if (b != std::string_view::npos) value.remove_prefix(b + 1);
  }
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '%' && i + 2 < value.size() && hexValue(value[i + 1]) >= 0 && hexValue(value[i + 2]) >= 0) {
      out += static_cast<char>(hexValue(value[i + 1]) * 16 + hexValue(value[i + 2]));
      i += 2;
    } else {
      out += value[i];
    }
  }
  return out;
}

// The value of a parameter of a structured header ("boundary", "charset"):
// plain (name=value or name="value"), or as RFC 2231 writes long and
// non-ASCII values: name*=charset'lang'value, or in pieces name*0=, name*1*=, ...
std::optional<std::string> parameter(std::string_view value, std::string_view name) {
  std::optional<std::string> plain;
  std::optional<std::string> extended;
  std::vector<std::optional<std::string>> pieces;
  std::size_t pos = value.find(';');
  while (pos != std::string_view::npos) {
    std::size_t start = pos + 1;
    std::size_t eq = value.find('=', start);
    if (eq == std::string_view::npos) break;
    std::string key = lower(trim(value.substr(start, eq - start)));
    std::size_t v = eq + 1;
    while (v < value.size() && (value[v] == ' ' || value[v] == '\t')) ++v;
    std::string result;
    std::size_t after;
    if (v < value.size() && value[v] == '"') {
      std::size_t i = v + 1;
      for (; i < value.size() && value[i] != '"'; ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) ++i;  // a quoted pair
        result += value[i];
      }
      after = i < value.size() ? i + 1 : value.size();
    } else {
      std::size_t end = value.find(';', v);
      if (end == std::string_view::npos) end = value.size();
      result = trim(value.substr(v, end - v));
      after = end;
    }
    if (key == name) {
      plain = result;
    } else if (key.size() > name.size() && key.starts_with(name) && key[name.size()] == '*') {
      std::string_view rest = std::string_view(key).substr(name.size() + 1);
      const bool isExtended = rest.ends_with('*') || rest.empty();
      if (rest.ends_with('*')) rest.remove_suffix(1);
      if (rest.empty()) {
        extended = decodeExtended(result, true);
      } else if (rest.size() <= 3 && rest.find_first_not_of("0123456789") == std::string_view::npos) {
        const std::size_t index = static_cast<std::size_t>(std::stoi(std::string(rest)));
        if (pieces.size() <= index) pieces.resize(index + 1);
        pieces[index] = isExtended ? decodeExtended(result, index == 0) : result;
      }
    }
    pos = value.find(';', after);
  }
  if (!pieces.empty() && pieces[0]) {
    std::string joined;
    for (const auto& piece : pieces) {
      if (!piece) break;
      joined += *piece;
    }
    return joined;
  }
  if (extended) return extended;
  return plain;
}

// The label of a part's charset in its extracted file: the spelling of old
// for the Japanese charsets, any other name as the part gives it, nothing
// for ASCII (a part labelled ASCII that holds 8-bit bytes is read by its
// bytes) and for names that are no charset names.
std::string charsetLabel(std::string_view declared) {
  const std::string name = lower(trim(declared));
  switch (charsetOfName(name)) {
    case kCharsetShiftJis: return "shift_jis";
    case kCharsetIso2022Jp: return "iso-2022-jp";
    case kCharsetEucJp: return "euc-jp";
    case kCharsetUtf8: return "utf-8";
    default: break;
  }
  if (name == "us-ascii" || name == "ascii" || name.empty() || name.size() > 40) return {};
  for (char c : name)
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == ':'))
      return {};
  return name;
}

bool isBase64Character(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' ||
         c == '=';
}

// A body declared base64: its lines of base64 are decoded, up to the first
// line that is plainly something else (a footer a mailing list added);
// that line and what follows are kept as they stand. A body whose first
// line is no base64 was never encoded and is kept whole.
std::string decodeBase64Body(std::string_view body) {
  std::size_t pos = 0;
  while (pos < body.size()) {
    Line line = lineAt(body, pos);
    const std::string_view text = trim(line.text);
    if (!text.empty()) {
      for (char c : text)
        if (!isBase64Character(c)) {
          if (pos == 0 || trim(body.substr(0, pos)).empty()) return std::string(body);
          return base64Decode(body.substr(0, pos)) + std::string(body.substr(pos));
        }
    }
    pos = line.next;
  }
  return base64Decode(body);
}

// What reading an entity came to: its text parts were read (or it had
// none), it was damaged and left out (the rest of the message is read), or
// the message is beyond reading (hostile, or the caller stopped).
enum class Outcome { Read, LeftOut, Stop };

class Walker {
 public:
  explicit Walker(const std::function<bool(const MhtTextPart&)>& onPart) : onPart_(onPart) {}
  Walker(const std::function<bool(const MhtTextPart&)>& onPart, const std::function<bool(const MhtPart&)>& onAny)
      : onPart_(onPart), onAny_(&onAny) {}

  bool message(std::string_view text) {
    // A mail kept in an mbox file starts with its "From " line.
    if (text.starts_with("From ")) text.remove_prefix(lineAt(text, 0).next);
    Headers headers = parseHeaders(text);
    if (!headers.any) return false;  // not a message at all
    return entity(text, 0, "text/plain", true) == Outcome::Read;
  }

 private:
  Outcome entity(std::string_view text, int depth, std::string_view defaultType, bool topLevel) {
    if (depth > kMaxMhtNesting) return Outcome::Stop;
    Headers headers = parseHeaders(text);
    std::string_view typeField = headers.get("content-type");
    std::string type = lower(trim(typeField.substr(0, typeField.find(';'))));
    // A type without subtype is no valid type: text, as for any invalid one.
    if (type == "multipart") type = "multipart/mixed";
    else if (type.empty()) type = defaultType;
    else if (type.find('/') == std::string::npos) type = "text/plain";
    std::string_view body = text.substr(headers.bodyStart);
    std::string encoding = lower(trim(headers.get("content-transfer-encoding")));

    if (type.starts_with("multipart/")) {
      auto boundary = parameter(typeField, "boundary");
      if (!boundary || boundary->empty()) return topLevel ? Outcome::Stop : Outcome::LeftOut;
      return multipart(body, *boundary, depth, type == "multipart/digest" ? "message/rfc822" : "text/plain",
                       topLevel);
    }
    if (type == "message/rfc822") {
      // An attached message: its own parts, never its headers as text.
      std::string decoded;
      if (encoding == "base64") decoded = decodeBase64Body(body);
      else if (encoding == "quoted-printable") decoded = quotedPrintableDecode(body);
      // (One without headers is read as text.)
      std::string_view inner = decoded.empty() ? body : std::string_view(decoded);
      Outcome outcome = entity(inner, depth + 1, "text/plain", false);
      return outcome == Outcome::Stop ? Outcome::Stop : Outcome::Read;
    }
    if (onAny_) {
      if (parts_ >= kMaxMhtTextParts) return Outcome::Stop;
      ++parts_;
      MhtPart part;
      part.contentType = type;
      if (auto cs = parameter(typeField, "charset")) part.charset = charsetLabel(*cs);
      std::string_view id = trim(headers.get("content-id"));
      if (id.size() >= 2 && id.front() == '<' && id.back() == '>') id = id.substr(1, id.size() - 2);
      part.contentId = id;
      part.contentLocation = trim(headers.get("content-location"));
      if (encoding == "base64") part.body = decodeBase64Body(body);
      else if (encoding == "quoted-printable") part.body = quotedPrintableDecode(body);
      else part.body = body;
      return (*onAny_)(part) ? Outcome::Read : Outcome::Stop;
    }
    if (type != "text/html" && type != "text/plain") return Outcome::Read;
    if (parts_ >= kMaxMhtTextParts) return Outcome::Stop;
    ++parts_;

    MhtTextPart part;
    part.contentType = type;
    if (auto cs = parameter(typeField, "charset")) part.charset = charsetLabel(*cs);
    if (encoding == "base64") part.body = decodeBase64Body(body);
    else if (encoding == "quoted-printable") part.body = quotedPrintableDecode(body);
    else part.body = body;
    return onPart_(part) ? Outcome::Read : Outcome::Stop;
  }

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

  // Whether the part starting at `text` is a multipart under `boundary`
  // again: its writer reused its parent's boundary.
  static bool reusesBoundary(std::string_view text, std::string_view boundary) {
    Headers headers = parseHeaders(text);
    std::string_view typeField = headers.get("content-type");
    if (!lower(trim(typeField.substr(0, typeField.find(';')))).starts_with("multipart")) return false;
    auto inner = parameter(typeField, "boundary");
    return inner && *inner == boundary;
  }

  Outcome multipart(std::string_view body, std::string_view boundary, int depth, std::string_view partType,
                    bool topLevel) {
    std::size_t pos = 0;
    std::size_t partStart = std::string_view::npos;
    bool sawDelimiter = false;
    while (pos < body.size()) {
      Line line = lineAt(body, pos);
      Delimiter kind = delimiterKind(line.text, boundary);
      if (kind == Delimiter::None) {
        pos = line.next;
        continue;
      }
      sawDelimiter = true;
      if (partStart != std::string_view::npos) {
        if (part(body, partStart, pos, depth, partType) == Outcome::Stop) return Outcome::Stop;
        partStart = std::string_view::npos;
      }
      if (kind == Delimiter::Close) return Outcome::Read;
      partStart = line.next;
      pos = line.next;
      if (reusesBoundary(body.substr(partStart), boundary)) {
        // As mail programs read it: the inner multipart runs to the first
        // closing delimiter, and the outer one goes on after it.
        std::size_t end = pos;
        while (end < body.size() && delimiterKind(lineAt(body, end).text, boundary) != Delimiter::Close)
          end = lineAt(body, end).next;
        if (part(body, partStart, end, depth, partType) == Outcome::Stop) return Outcome::Stop;
        partStart = std::string_view::npos;
        pos = end < body.size() ? lineAt(body, end).next : end;
      }
    }
    if (!sawDelimiter) return topLevel ? Outcome::Stop : Outcome::LeftOut;
    // No closing delimiter: the last part runs to the end.
    if (partStart == std::string_view::npos) return Outcome::Read;
    return part(body, partStart, body.size(), depth, partType) == Outcome::Stop ? Outcome::Stop : Outcome::Read;
  }

  Outcome part(std::string_view body, std::size_t begin, std::size_t delimiterAt, int depth,
               std::string_view partType) {
    // The line end before a delimiter belongs to the delimiter.
    std::size_t end = delimiterAt;
    if (end > begin && body[end - 1] == '\n') --end;
    if (end > begin && body[end - 1] == '\r') --end;
    std::string_view text = body.substr(begin, end - begin);
    if (trim(text).empty()) return Outcome::Read;  // what follows our own last separator
    return entity(text, depth + 1, partType, false);
  }

  const std::function<bool(const MhtTextPart&)>& onPart_;
  const std::function<bool(const MhtPart&)>* onAny_ = nullptr;
  std::size_t parts_ = 0;
};

}  // namespace

std::string charsetCommentLine(std::string_view charset) {
  return "<!-- MIME charset=" + std::string(charset) + " -->\n";
}

bool parseMhtTextParts(std::string_view message,
                       const std::function<bool(const MhtTextPart&)>& onPart) {
  Walker walker(onPart);
  return walker.message(message);
}

bool parseMhtParts(std::string_view message, const std::function<bool(const MhtPart&)>& onPart) {
  const std::function<bool(const MhtTextPart&)> none;
  Walker walker(none, onPart);
  return walker.message(message);
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
