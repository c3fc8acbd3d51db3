#include "formats/mht_converter.h"

#include "formats/file_bytes.h"
#include "formats/html_charset.h"
#include "formats/mime_codecs.h"
#include "platform/paths.h"
#include "platform/sjis_codec.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <utility>

namespace mime {
namespace {

constexpr std::string_view kSeparator = "------=_NextPart_000\r\n";
constexpr std::string_view kMessageHeader =
    "From: <Brindel html2mht proc.>\r\n"
    "Subject: \r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/related;\r\n"
    "\tboundary=\"----=_NextPart_000\";\r\n"
    "\ttype=\"text/html\"\r\n"
    "\r\n"
    "This is a multi-part message in MIME format.\r\n"
    "\r\n";
constexpr std::size_t kLocationChunk = 76;
// A page with its files larger than this is not what the import is for.
constexpr std::uint64_t kMaxMhtBytes = 512ull << 20;

struct ContentType {
  std::string_view type;
  bool html;
};

ContentType classify(const std::string& path) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 12> kTypes{{
      {"html", "text/html"}, {"htm", "text/html"}, {"asp", "text/html"},
      {"css", "text/css"}, {"gif", "image/gif"}, {"jpeg", "image/jpeg"},
      {"jpg", "image/jpeg"}, {"png", "image/png"}, {"bmp", "image/bmp"},
      {"au", "audio/au"}, {"wav", "audio/wav"}, {"js", "application/x-javascript"},
  }};
  std::string ext = platform::extensionOf(platform::fileNameOf(path));
  for (auto [e, type] : kTypes)
    if (platform::asciiEqualsIgnoreCase(ext, e)) return {type, type == "text/html"};
  return {"none/none", false};
}

bool isAttributeNameBoundary(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '<' || c == '"' ||
         c == '\'' || c == '/';
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

// "http:", "mailto:", "C:"... ; "file:" is told apart by the caller.
bool hasScheme(std::string_view ref) {
  std::size_t colon = ref.find(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  auto isAlpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (!isAlpha(ref[0])) return false;
  for (std::size_t i = 1; i < colon; ++i) {
    char c = ref[i];
    if (!isAlpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') return false;
  }
  return true;
}

std::string percentDecode(std::string_view text) {
  auto hex = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      int hi = hex(text[i + 1]), lo = hex(text[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

// The page's bytes of one reference in UTF-8.
std::string referenceToUtf8(std::string_view ref, HtmlCharset pageCharset) {
  switch (pageCharset) {
    case kCharsetUtf8: return std::string(ref);
    case kCharsetIso8859: return latin1ToUtf8(ref);
    default: return platform::fromCp932(ref);
  }
}

// "&#" code ";" for every non-ASCII character of a UTF-8 text.
std::string asCharacterReferences(std::string_view utf8) {
  std::string out;
  std::size_t i = 0;
  while (i < utf8.size()) {
    auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out += utf8[i++];
      continue;
    }
    int len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
    std::uint32_t cp = len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : len == 4 ? c & 0x07 : 0xFFFD;
    int k = 1;
    for (; k < len && i + k < utf8.size(); ++k) {
      auto t = static_cast<unsigned char>(utf8[i + k]);
      if ((t & 0xC0) != 0x80) break;
      cp = (cp << 6) | (t & 0x3F);
    }
    if (k < len) cp = 0xFFFD;
    out += "&#" + std::to_string(cp) + ";";
    i += static_cast<std::size_t>(k);
  }
  return out;
}

std::string lexicallyAbsolute(const std::string& path) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(path, ec);
  if (ec) p = path;
  return p.lexically_normal().string();
}

std::string canonicalKey(const std::string& path) {
  std::error_code ec;
  auto canonical = std::filesystem::canonical(path, ec);
  return ec ? lexicallyAbsolute(path) : canonical.string();
}

// True when the canonical path lies inside the canonical folder.
bool isInsideFolder(const std::string& canonicalPath, const std::string& canonicalFolder) {
  if (canonicalFolder == "/") return canonicalPath.starts_with('/');
  return canonicalPath.size() > canonicalFolder.size() && canonicalPath.starts_with(canonicalFolder) &&
         canonicalPath[canonicalFolder.size()] == '/';
}

}  // namespace

std::vector<HtmlReference> findHtmlReferences(std::string_view html) {
  std::vector<HtmlReference> refs;
  std::size_t pos = 0;
  // Each name's next occurrence is kept until passed, so the page is read once.
  std::size_t hrefAt = 0, srcAt = 0;
  bool first = true;
  while (pos < html.size()) {
    if (first || (hrefAt != std::string_view::npos && hrefAt < pos)) hrefAt = findIgnoreCase(html, "href", pos);
    if (first || (srcAt != std::string_view::npos && srcAt < pos)) srcAt = findIgnoreCase(html, "src", pos);
    first = false;
    std::size_t at = std::min(hrefAt, srcAt);
    if (at == std::string_view::npos) break;
    std::size_t nameEnd = at + (at == hrefAt ? 4 : 3);
    pos = nameEnd;
    if (at > 0 && !isAttributeNameBoundary(html[at - 1])) continue;  // "data-src", "xhref"
    std::size_t i = nameEnd;
    while (i < html.size() && isBlank(html[i])) ++i;
    if (i >= html.size() || html[i] != '=') continue;
    ++i;
    while (i < html.size() && isBlank(html[i])) ++i;
    if (i >= html.size()) break;
    HtmlReference ref;
    if (html[i] == '"' || html[i] == '\'') {
      char quote = html[i];
      std::size_t close = html.find(quote, i + 1);
      if (close == std::string_view::npos) break;  // an unclosed value ends the page
      ref = {i + 1, close};
      pos = close + 1;
    } else {
      std::size_t end = i;
      while (end < html.size() && !isBlank(html[end]) && html[end] != '>') ++end;
      ref = {i, end};
      pos = end;
    }
    refs.push_back(ref);
  }
  return refs;
}

namespace {

bool isTagNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// A space-separated token list ("alternate stylesheet") holds the token.
bool hasToken(std::string_view list, std::string_view token) {
  std::size_t pos = 0;
  while (pos < list.size()) {
    while (pos < list.size() && isBlank(list[pos])) ++pos;
    std::size_t end = pos;
    while (end < list.size() && !isBlank(list[end])) ++end;
    if (end > pos && lowerAscii(list.substr(pos, end - pos)) == token) return true;
    pos = end;
  }
  return false;
}

struct Attribute {
  std::string name;  // lower case
  std::size_t begin = 0, end = 0;  // the value's bytes
};

// The attributes of the tag whose name ends at pos; *tagEnd is past its '>'.
std::vector<Attribute> readAttributes(std::string_view html, std::size_t pos, std::size_t* tagEnd) {
  std::vector<Attribute> attributes;
  while (pos < html.size()) {
    while (pos < html.size() && (isBlank(html[pos]) || html[pos] == '/')) ++pos;
    if (pos >= html.size()) break;
    if (html[pos] == '>') {
      ++pos;
      break;
    }
    std::size_t nameEnd = pos;
    while (nameEnd < html.size() && !isBlank(html[nameEnd]) && html[nameEnd] != '=' && html[nameEnd] != '>' &&
           html[nameEnd] != '/')
      ++nameEnd;
    if (nameEnd == pos) ++nameEnd;  // a stray quote or '=': step over it
    Attribute attribute{lowerAscii(html.substr(pos, nameEnd - pos)), nameEnd, nameEnd};
    pos = nameEnd;
    std::size_t i = pos;
    while (i < html.size() && isBlank(html[i])) ++i;
    if (i < html.size() && html[i] == '=') {
      ++i;
      while (i < html.size() && isBlank(html[i])) ++i;
      if (i < html.size() && (html[i] == '"' || html[i] == '\'')) {
        const std::size_t close = html.find(html[i], i + 1);
        attribute.begin = i + 1;
        attribute.end = close == std::string_view::npos ? html.size() : close;
        pos = close == std::string_view::npos ? html.size() : close + 1;
      } else {
        std::size_t end = i;
        while (end < html.size() && !isBlank(html[end]) && html[end] != '>') ++end;
        attribute.begin = i;
        attribute.end = end;
        pos = end;
      }
    }
    attributes.push_back(std::move(attribute));
  }
  *tagEnd = pos;
  return attributes;
}

void addCssResources(std::string_view html, std::size_t begin, std::size_t end, std::vector<HtmlResource>& out) {
  for (HtmlResource r : findCssResources(html.substr(begin, end - begin))) {
    r.begin += begin;
    r.end += begin;
    out.push_back(r);
  }
}

}  // namespace

std::vector<HtmlResource> findHtmlResources(std::string_view html) {
  std::vector<HtmlResource> resources;
  std::size_t pos = 0;
  while ((pos = html.find('<', pos)) != std::string_view::npos) {
    if (html.substr(pos, 4) == "<!--") {
      const std::size_t close = html.find("-->", pos + 4);
      pos = close == std::string_view::npos ? html.size() : close + 3;
      continue;
    }
    std::size_t nameEnd = pos + 1;
    while (nameEnd < html.size() && isTagNameCharacter(html[nameEnd])) ++nameEnd;
    if (nameEnd == pos + 1) {  // "</x>", "<!DOCTYPE>", "<?xml>", a lone "<"
      ++pos;
      continue;
    }
    const std::string tag = lowerAscii(html.substr(pos + 1, nameEnd - pos - 1));
    std::size_t tagEnd = nameEnd;
    const std::vector<Attribute> attributes = readAttributes(html, nameEnd, &tagEnd);
    auto value = [&](std::string_view name) -> const Attribute* {
      for (const Attribute& a : attributes)
        if (a.name == name) return &a;
      return nullptr;
    };
    auto add = [&](std::string_view name, ResourceKind kind) {
      if (const Attribute* a = value(name); a && a->end > a->begin) resources.push_back({a->begin, a->end, kind});
    };
    if (tag == "img") {
      add("src", ResourceKind::Picture);
    } else if (tag == "link") {
      const Attribute* rel = value("rel");
      if (rel && hasToken(html.substr(rel->begin, rel->end - rel->begin), "stylesheet"))
        add("href", ResourceKind::StyleSheet);
    } else if (tag == "script") {
      add("src", ResourceKind::Script);
    } else if (tag == "frame" || tag == "iframe") {
      add("src", ResourceKind::FramePage);
    }
    add("background", ResourceKind::Picture);
    if (const Attribute* style = value("style")) addCssResources(html, style->begin, style->end, resources);
    pos = tagEnd;
    // The text of a script or a style element is no markup.
    if (tag == "script" || tag == "style") {
      const std::size_t close = findIgnoreCase(html, "</" + tag, pos);
      const std::size_t end = close == std::string_view::npos ? html.size() : close;
      if (tag == "style") addCssResources(html, pos, end, resources);
      pos = end;
    }
  }
  return resources;
}

std::vector<HtmlResource> findCssResources(std::string_view css) {
  std::vector<HtmlResource> resources;
  std::size_t pos = 0;
  bool importing = false;  // the url() that follows "@import" names a sheet
  while (pos < css.size()) {
    if (css.substr(pos, 2) == "/*") {
      const std::size_t close = css.find("*/", pos + 2);
      pos = close == std::string_view::npos ? css.size() : close + 2;
      continue;
    }
    const bool isUrl = pos + 4 <= css.size() && findIgnoreCase(css.substr(pos, 4), "url(") == 0;
    const bool isImport = !isUrl && css[pos] == '@' && findIgnoreCase(css.substr(pos, 7), "@import") == 0;
    if (!isUrl && !isImport) {
      ++pos;
      continue;
    }
    const ResourceKind kind = isImport || importing ? ResourceKind::StyleSheet : ResourceKind::CssUrl;
    importing = false;
    std::size_t i = pos + (isUrl ? 4 : 7);
    while (i < css.size() && isBlank(css[i])) ++i;
    if (isImport && (i >= css.size() || (css[i] != '"' && css[i] != '\''))) {
      importing = true;  // "@import url(...)": the url is read next
      pos = i;
      continue;
    }
    if (i < css.size() && (css[i] == '"' || css[i] == '\'')) {
      const std::size_t close = css.find(css[i], i + 1);
      if (close == std::string_view::npos) break;
      resources.push_back({i + 1, close, kind});
      pos = close + 1;
    } else {
      std::size_t close = css.find(')', i);
      if (close == std::string_view::npos) break;
      std::size_t end = close;
      while (end > i && isBlank(css[end - 1])) --end;
      if (end > i) resources.push_back({i, end, kind});
      pos = close + 1;
    }
  }
  return resources;
}

bool isPackedKind(ResourceKind kind, std::string_view contentType) {
  const bool picture = contentType.starts_with("image/");
  switch (kind) {
    case ResourceKind::Picture: return picture;
    case ResourceKind::StyleSheet: return contentType == "text/css";
    case ResourceKind::Script: return contentType == "application/x-javascript";
    case ResourceKind::FramePage: return contentType == "text/html";
    case ResourceKind::CssUrl: return picture || contentType == "text/css";
  }
  return false;
}

std::string canonicalPath(const std::string& path) { return canonicalKey(path); }

bool isPageResourcePath(const std::string& pageFolder, const std::string& pageTree, const std::string& path,
                        const std::string& canonical) {
  // Inside the page's folder tree, symbolic links followed.
  if (!isInsideFolder(canonical, pageTree)) return false;
  // No hidden file or folder on the way, by the name the page uses nor by
  // where a link leads (".ssh", ".gnupg", ".config"...).
  auto hidden = [](const std::string& full, const std::string& folder) {
    if (!isInsideFolder(full, folder)) return false;
    std::string_view rest = std::string_view(full).substr(folder == "/" ? 1 : folder.size() + 1);
    for (std::size_t start = 0; start <= rest.size();) {
      std::size_t slash = rest.find('/', start);
      if (slash == std::string_view::npos) slash = rest.size();
      if (slash > start && rest[start] == '.') return true;
      start = slash + 1;
    }
    return false;
  };
  return !hidden(canonical, pageTree) && !hidden(lexicallyAbsolute(path), lexicallyAbsolute(pageFolder));
}

std::string localPathOfReference(std::string_view utf8Ref, const std::string& pageFolder) {
  std::string_view ref = utf8Ref;
  while (!ref.empty() && isBlank(ref.front())) ref.remove_prefix(1);
  while (!ref.empty() && isBlank(ref.back())) ref.remove_suffix(1);
  ref = ref.substr(0, std::min(ref.find('#'), ref.find('?')));
  if (ref.empty() || ref.starts_with("//")) return {};
  std::string path;
  if (findIgnoreCase(ref, "file:") == 0) {
    std::string_view rest = ref.substr(5);
    if (rest.starts_with("//")) rest.remove_prefix(2);
    if (findIgnoreCase(rest, "localhost/") == 0) rest.remove_prefix(9);
    path = percentDecode(rest);
    if (!path.starts_with('/')) path.insert(path.begin(), '/');
  } else if (hasScheme(ref)) {
    return {};
  } else {
    path = percentDecode(ref);
    if (!path.starts_with('/')) path = platform::joinPath(pageFolder, path);
  }
  if (path.find('\0') != std::string::npos) return {};
  return lexicallyAbsolute(path);
}

std::string encodedLocation(const std::string& path) {
  std::string url = "file://" + (path.starts_with('/') ? path : "/" + path);
  auto sjis = platform::toCp932(url);
  std::string_view charset = sjis ? "shift_jis" : "utf-8";
  std::string b64 = base64Encode(sjis ? *sjis : url);
  std::string out = "=?" + std::string(charset) + "?B?";
  for (std::size_t pos = 0; pos < b64.size(); pos += kLocationChunk) {
    if (pos > 0) out += "?=\r\n\t=?" + std::string(charset) + "?B?";
    out.append(b64, pos, kLocationChunk);
  }
  out += "?= ";
  return out;
}

}  // namespace mime

bool MhtConverter::MayPack(const std::string& path, const std::string& canonical) const {
  return mime::isPageResourcePath(pageFolder_, pageTree_, path, canonical);
}

bool MhtConverter::WritePart(const std::string& path, bool isPage, std::string& out,
                             std::vector<std::string>& links) {
  using namespace mime;
  links.clear();
  std::string key = canonicalKey(path);
  if (std::find(written_.begin(), written_.end(), key) != written_.end()) return false;
  if (!isPage && !MayPack(path, key)) return false;
  auto file = fileio::readFileBytes(key, kMaxMhtBytes);
  if (file.error == fileio::ReadError::TooLarge ||
      (file && outputBytes_ + file.bytes.size() * 4 / 3 > kMaxMhtBytes)) {
    tooLarge_ = true;
    return false;
  }
  if (!file) return false;
  ContentType type = classify(path);

  std::string body = std::move(file.bytes);
  const std::string partFolder = platform::parentPath(lexicallyAbsolute(path));
  // The files this part shows, as far as their names allow them to be packed.
  auto collect = [&](std::string_view text, const std::vector<HtmlResource>& resources, HtmlCharset charset) {
    for (const HtmlResource& r : resources) {
      const std::string local =
          localPathOfReference(referenceToUtf8(text.substr(r.begin, r.end - r.begin), charset), partFolder);
      if (!local.empty() && isPackedKind(r.kind, classify(local).type)) links.push_back(local);
    }
  };
  if (type.html) {
    HtmlCharset charset = detectHtmlCharset(body);
    if (charset == kCharsetIso2022Jp || charset == kCharsetEucJp) {
      body = replaceMetaCharset(toShiftJis(body, charset));
      charset = kCharsetShiftJis;
    }
    collect(body, findHtmlResources(body), charset);
    std::string rewritten;
    std::size_t copied = 0;
    for (const HtmlReference& ref : findHtmlReferences(body)) {
      std::string utf8 = referenceToUtf8(std::string_view(body).substr(ref.begin, ref.end - ref.begin), charset);
      rewritten.append(body, copied, ref.begin - copied);
      rewritten += asCharacterReferences(utf8);
      copied = ref.end;
    }
    rewritten.append(body, copied);
    body = std::move(rewritten);
  } else if (type.type == "text/css") {
    collect(body, findCssResources(body), platform::utf8IsValid(body) ? kCharsetUtf8 : kCharsetShiftJis);
  }

  out += "Content-Type: ";
  out += type.type;
  out += "\r\nContent-Transfer-Encoding: base64\r\nContent-Location: ";
  out += encodedLocation(lexicallyAbsolute(path));
  out += "\r\n\r\n";
  written_.push_back(key);
  out += base64EncodeLines(body);
  out += "\r\n";
  out += kSeparator;
  outputBytes_ = out.size();
  return true;
}

bool MhtConverter::Convert(const std::string& htmlPath, const std::string& outputPath) {
  pageFolder_ = platform::parentPath(mime::lexicallyAbsolute(htmlPath));
  pageTree_ = platform::parentPath(mime::canonicalKey(htmlPath));
  written_.clear();
  outputBytes_ = 0;
  tooLarge_ = false;
  std::string out(mime::kMessageHeader);
  out += mime::kSeparator;

  // Depth first in the order of the references, as a recursive walk would
  // go, but with an explicit stack: a chain of frame pages is unbounded.
  std::vector<std::string> stack{htmlPath};
  std::vector<std::string> links;
  bool pageWritten = false;
  bool first = true;
  while (!stack.empty() && !tooLarge_) {
    std::string path = std::move(stack.back());
    stack.pop_back();
    bool wrote = WritePart(path, first, out, links);
    if (first) pageWritten = wrote;
    first = false;
    stack.insert(stack.end(), links.rbegin(), links.rend());
  }
  written_.clear();
  if (!pageWritten || tooLarge_) return false;
  return fileio::writeFileAtomic(outputPath, out);
}
