#include "shell/mht_converter.h"

#include "platform/paths.h"
#include "platform/sjis_codec.h"
#include "shell/file_bytes.h"
#include "shell/html_charset.h"
#include "shell/mime_codecs.h"

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
    case kCharsetIso8859: {
      std::string out;
      for (char ch : ref) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
          out += ch;
        } else {
          out += static_cast<char>(0xC0 | (c >> 6));
          out += static_cast<char>(0x80 | (c & 0x3F));
        }
      }
      return out;
    }
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

bool MhtConverter::WritePart(const std::string& path, std::string& out,
                             std::vector<std::string>& links) {
  using namespace mime;
  links.clear();
  std::string key = canonicalKey(path);
  if (std::find(written_.begin(), written_.end(), key) != written_.end()) return false;
  // Only what lies in the page's own folder tree is packed, symbolic links
  // followed: a page must not pull other files of the user (a private key)
  // into an archive that may be mailed. Other local links stay links.
  if (!isInsideFolder(key, pageTree_)) return false;
  auto file = fileio::readFileBytes(key, kMaxMhtBytes);
  if (file.error == fileio::ReadError::TooLarge ||
      (file && outputBytes_ + file.bytes.size() * 4 / 3 > kMaxMhtBytes)) {
    tooLarge_ = true;
    return false;
  }
  if (!file) return false;
  ContentType type = classify(path);

  std::string body = std::move(file.bytes);
  if (type.html) {
    HtmlCharset charset = detectHtmlCharset(body);
    if (charset == kCharsetIso2022Jp || charset == kCharsetEucJp) {
      body = replaceMetaCharset(toShiftJis(body, charset));
      charset = kCharsetShiftJis;
    }
    std::string pageFolder = platform::parentPath(lexicallyAbsolute(path));
    std::string rewritten;
    std::size_t copied = 0;
    for (const HtmlReference& ref : findHtmlReferences(body)) {
      std::string utf8 = referenceToUtf8(std::string_view(body).substr(ref.begin, ref.end - ref.begin), charset);
      std::string local = localPathOfReference(utf8, pageFolder);
      if (!local.empty()) links.push_back(local);
      rewritten.append(body, copied, ref.begin - copied);
      rewritten += asCharacterReferences(utf8);
      copied = ref.end;
    }
    rewritten.append(body, copied);
    body = std::move(rewritten);
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
  pageTree_ = platform::parentPath(mime::canonicalKey(htmlPath));
  written_.clear();
  outputBytes_ = 0;
  tooLarge_ = false;
  std::string out(mime::kMessageHeader);
  out += mime::kSeparator;

  // Depth first in the order of the references, as a recursive walk would
  // go, but with an explicit stack: a chain of linked pages is unbounded.
  std::vector<std::string> stack{htmlPath};
  std::vector<std::string> links;
  bool pageWritten = false;
  bool first = true;
  while (!stack.empty() && !tooLarge_) {
    std::string path = std::move(stack.back());
    stack.pop_back();
    bool wrote = WritePart(path, out, links);
    if (first) pageWritten = wrote;
    first = false;
    stack.insert(stack.end(), links.rbegin(), links.rend());
  }
  written_.clear();
  if (!pageWritten || tooLarge_) return false;
  return fileio::writeFileAtomic(outputPath, out);
}
