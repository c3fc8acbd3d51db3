#include "formats/html_page_document.h"

#include "formats/html_charset.h"
#include "formats/mht_converter.h"
#include "formats/mht_reader.h"
#include "formats/mime_codecs.h"
#include "platform/clock.h"
#include "platform/file_ops.h"
#include "platform/paths.h"
#include "platform/sjis_codec.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QTextDocumentFragment>

#include <algorithm>
#include <initializer_list>

namespace {

constexpr std::int64_t kMostPicturePixels = 64'000'000;
constexpr int kMostImportDepth = 8;  // style sheets importing style sheets

bool hasExtension(const std::string& path, std::initializer_list<const char*> extensions) {
  const std::string ext = platform::extensionOf(platform::fileNameOf(path));
  for (const char* e : extensions)
    if (platform::asciiEqualsIgnoreCase(ext, e)) return true;
  return false;
}

QString decodeText(const std::string& bytes, const std::string& charsetName) {
  const mime::HtmlCharset declared = mime::charsetOfName(charsetName);
  const mime::HtmlCharset charset =
      declared != mime::kCharsetNone ? declared : mime::detectHtmlCharset(bytes);
  if (charset == mime::kCharsetUtf8) return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  const std::string sjis = charsetName.empty() || declared != mime::kCharsetNone
                               ? mime::toShiftJis(bytes, charset)
                               : mime::textToShiftJis(bytes, charsetName);
  return QString::fromStdString(platform::fromCp932(sjis));
}

// A style sheet's text: UTF-8 as a page written today, else Shift-JIS.
QString styleSheetText(const std::string& bytes) {
  if (platform::utf8IsValid(bytes)) return QString::fromStdString(bytes);
  return QString::fromStdString(platform::fromCp932(mime::validShiftJis(bytes)));
}

// The form in which a reference and a Content-Location are compared.
QString urlKey(const QUrl& url) {
  return QString::fromUtf8(
      QByteArray::fromPercentEncoding(url.adjusted(QUrl::NormalizePathSegments | QUrl::RemoveFragment).toEncoded()));
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string wordText(std::string_view charset, std::string_view bytes) {
  const mime::HtmlCharset code = mime::charsetOfName(charset);
  if (code == mime::kCharsetUtf8) return std::string(bytes);
  // ASCII and Latin-1 names
  if (code == mime::kCharsetNone || code == mime::kCharsetIso8859) return mime::latin1ToUtf8(bytes);
  return platform::fromCp932(mime::toShiftJis(bytes, code));
}

}  // namespace

std::string decodeEncodedWords(std::string_view text) {
  std::string out;
  std::size_t pos = 0;
  bool lastWasWord = false;
  while (pos < text.size()) {
    const std::size_t start = text.find("=?", pos);
    if (start == std::string_view::npos) {
      out.append(text.substr(pos));
      break;
    }
    const std::size_t q1 = text.find('?', start + 2);
    const std::size_t q2 = q1 == std::string_view::npos ? q1 : text.find('?', q1 + 1);
    const std::size_t end = q2 == std::string_view::npos ? q2 : text.find("?=", q2 + 1);
    if (end == std::string_view::npos || q2 != q1 + 2) {
      out.append(text.substr(pos, start + 2 - pos));
      pos = start + 2;
      lastWasWord = false;
      continue;
    }
    // Blanks between two encoded words (a folded header) are no text.
    std::string_view between = text.substr(pos, start - pos);
    if (!(lastWasWord && between.find_first_not_of(" \t\r\n") == std::string_view::npos)) out.append(between);
    const std::string_view charset = text.substr(start + 2, q1 - start - 2);
    const char encoding = text[q1 + 1];
    const std::string_view payload = text.substr(q2 + 1, end - q2 - 1);
    std::string bytes;
    if (encoding == 'B' || encoding == 'b') {
      bytes = mime::base64Decode(payload);
    } else if (encoding == 'Q' || encoding == 'q') {
      for (std::size_t i = 0; i < payload.size(); ++i) {
        if (payload[i] == '_') {
          bytes += ' ';
        } else if (payload[i] == '=' && i + 2 < payload.size() && hexValue(payload[i + 1]) >= 0 &&
                   hexValue(payload[i + 2]) >= 0) {
          bytes += static_cast<char>(hexValue(payload[i + 1]) * 16 + hexValue(payload[i + 2]));
          i += 2;
        } else {
          bytes += payload[i];
        }
      }
    } else {
      bytes = std::string(text.substr(start, end + 2 - start));
    }
    out += wordText(charset, bytes);
    pos = end + 2;
    lastWasWord = true;
  }
  return out;
}

bool readPageSource(const std::string& path, const PageLimits& limits, PageSource& source) {
  source = PageSource{};
  std::string bytes;
  if (platform::readFileCapped(path, limits.pageBytes, &bytes) != 0) return false;
  if (hasExtension(path, {"HTM", "HTML"})) {
    source.html = decodeText(bytes, mime::declaredCharsetName(bytes));
    source.folder = platform::parentPath(path);
    source.base = QUrl::fromLocalFile(QString::fromStdString(path));
    return true;
  }
  // MIME HTML and mail: the first HTML part, else the first text part; the
  // other parts are what the page may show.
  source.archive = true;
  bool found = false;
  bool isHtml = false;
  QString text;
  QUrl pageLocation;
  mime::parseMhtParts(bytes, [&](const mime::MhtPart& part) {
    const bool partIsHtml = part.contentType == "text/html";
    const bool partIsText = partIsHtml || part.contentType == "text/plain";
    PagePart kept{part.contentType, part.contentId, QUrl(QString::fromStdString(decodeEncodedWords(part.contentLocation))),
                  {}};
    if (partIsText && (!found || (partIsHtml && !isHtml))) {
      text = decodeText(part.body, part.charset);
      isHtml = partIsHtml;
      found = true;
      pageLocation = kept.location;
    }
    kept.body = part.body;
    source.parts.push_back(std::move(kept));
    return true;
  });
  if (!found) return false;
  source.html = isHtml ? text : QStringLiteral("<pre>") + text.toHtmlEscaped() + QStringLiteral("</pre>");
  if (pageLocation.isValid() && !pageLocation.isRelative()) source.base = pageLocation;
  return true;
}

HtmlPageDocument::HtmlPageDocument(const PageSource& source, const PageLimits& limits, std::int64_t startMs)
    : source_(source), limits_(limits), startMs_(startMs) {
  if (!source_.archive && !source_.folder.empty()) pageTree_ = mime::canonicalPath(source_.folder);
  // The references of the page resolve against its own place; QTextDocument
  // itself never reads a file: every resource comes through loadResource.
  setBaseUrl(source_.base);
}

const PagePart* HtmlPageDocument::findPart(const QUrl& name) const {
  if (name.scheme().compare(QLatin1String("cid"), Qt::CaseInsensitive) == 0) {
    const std::string id = QUrl::fromPercentEncoding(name.path().toUtf8()).toStdString();
    for (const PagePart& part : source_.parts)
      if (!part.id.empty() && part.id == id) return &part;
    return nullptr;
  }
  const QUrl resolved = source_.base.isEmpty() ? name : source_.base.resolved(name);
  const QString wanted = urlKey(resolved);
  const QString asWritten = urlKey(name);
  for (const PagePart& part : source_.parts) {
    if (part.location.isEmpty()) continue;
    const QString key = urlKey(part.location);
    if (key == wanted || key == asWritten) return &part;
  }
  // A style sheet's pictures are named relative to the sheet, which this
  // engine resolves against the page: one part of that file name will do.
  const QString fileName = resolved.fileName();
  const PagePart* only = nullptr;
  if (fileName.isEmpty()) return nullptr;
  for (const PagePart& part : source_.parts) {
    if (part.location.fileName() != fileName) continue;
    if (only) return nullptr;
    only = &part;
  }
  return only;
}

bool HtmlPageDocument::fetch(const QUrl& name, std::string& bytes) {
  if (source_.archive) {
    const PagePart* part = findPart(name);
    if (!part || part->body.size() > limits_.resourceBytes) return false;
    bytes = part->body;
    return true;
  }
  const QUrl resolved = source_.base.resolved(name);
  if (!resolved.isLocalFile() || pageTree_.empty()) return false;
  const std::string path = resolved.toLocalFile().toStdString();
  if (path.find('\0') != std::string::npos) return false;
  if (!mime::isPageResourcePath(source_.folder, pageTree_, path, mime::canonicalPath(path))) return false;
  return platform::readFileCapped(path, limits_.resourceBytes, &bytes) == 0;
}

bool HtmlPageDocument::admit(std::size_t bytes) {
  if (platform::monotonicMs() - startMs_ > limits_.timeMs) return false;
  if (loaded_ + refused_ >= limits_.resourceCount) return false;
  if (totalBytes_ + bytes > limits_.totalBytes) return false;
  totalBytes_ += bytes;
  return true;
}

QString HtmlPageDocument::styleSheet(const QUrl& url, int depth, QSet<QString>& seen) {
  const QUrl place = source_.base.isEmpty() ? url : source_.base.resolved(url);
  if (depth > kMostImportDepth || seen.contains(urlKey(place))) return {};
  seen.insert(urlKey(place));
  std::string bytes;
  if (!fetch(place, bytes) || !admit(bytes.size())) {
    ++refused_;
    return {};
  }
  ++loaded_;
  const std::string text = styleSheetText(bytes).toStdString();
  QString imported;
  std::string rewritten;
  std::size_t copied = 0;
  for (const mime::HtmlResource& r : mime::findCssResources(text)) {
    const QUrl target = place.resolved(QUrl(QString::fromStdString(text.substr(r.begin, r.end - r.begin))));
    rewritten.append(text, copied, r.begin - copied);
    // Quoted: the engine's CSS reader takes no "%" in a bare url().
    const bool quoted = r.begin > 0 && (text[r.begin - 1] == '"' || text[r.begin - 1] == '\'');
    const std::string written = target.toEncoded().toStdString();
    rewritten += quoted ? written : "\"" + written + "\"";
    copied = r.end;
    if (r.kind == mime::ResourceKind::StyleSheet) imported += styleSheet(target, depth + 1, seen);
  }
  rewritten.append(text, copied);
  return imported + QString::fromStdString(rewritten);
}

void HtmlPageDocument::setPage(const QString& html) {
  const std::string markup = html.toStdString();
  QString sheets;
  QSet<QString> seen;
  for (const mime::HtmlResource& r : mime::findHtmlResources(markup)) {
    if (r.kind != mime::ResourceKind::StyleSheet) continue;
    // The markup's own character references ("&#12371;") as the engine reads them.
    const QString href = QTextDocumentFragment::fromHtml(QString::fromStdString(markup.substr(r.begin, r.end - r.begin)))
                             .toPlainText()
                             .trimmed();
    sheets += styleSheet(QUrl(href), 0, seen) + QLatin1Char('\n');
  }
  setDefaultStyleSheet(sheets);
  setHtml(html);
}

QVariant HtmlPageDocument::loadResource(int type, const QUrl& name) {
  if (type != QTextDocument::ImageResource && type != QTextDocument::StyleSheetResource) return {};
  // Each resource is decided once: the layout and the drawing both ask.
  const QString key = QString::number(type) + QLatin1Char(' ') + name.toString();
  // A refused picture is an empty one, never nothing: given nothing, the
  // engine would read the file by its name itself.
  auto refuse = [this, &key, &name] {
    ++refused_;
    refusedNames_.insert(key);
    QImage nothing(1, 1, QImage::Format_ARGB32);
    nothing.fill(Qt::transparent);
    addResource(QTextDocument::ImageResource, name, nothing);
    return QVariant(nothing);
  };
  if (refusedNames_.contains(key)) return type == QTextDocument::ImageResource ? refuse() : QVariant(QString());
  if (type == QTextDocument::StyleSheetResource) {
    QSet<QString> seen;
    const int before = refused_;
    const QString text = styleSheet(name, 0, seen);
    if (refused_ != before && text.isEmpty()) {
      refusedNames_.insert(key);
      return QString();
    }
    addResource(type, name, text);
    return text;
  }
  std::string bytes;
  if (!fetch(name, bytes) || !admit(bytes.size())) return refuse();
  // Pictures are decoded here, scaled down when large, so that a small file
  // that claims a huge picture cannot take the memory.
  QByteArray data = QByteArray::fromStdString(bytes);
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  const QSize size = reader.size();
  // A picture that claims more pixels than any page shows is not decoded.
  if (size.isValid() && static_cast<std::int64_t>(size.width()) * size.height() > kMostPicturePixels)
    return refuse();
  if (size.isValid() && (size.width() > limits_.pictureSide || size.height() > limits_.pictureSide))
    reader.setScaledSize(size.scaled(limits_.pictureSide, limits_.pictureSide, Qt::KeepAspectRatio));
  const QImage picture = reader.read();
  if (picture.isNull()) return refuse();
  ++loaded_;
  addResource(type, name, picture);
  return picture;
}
