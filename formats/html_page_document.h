#pragma once
// What the page-drawing dialog draws: a web page, a MIME HTML archive or a
// mail, read into a QTextDocument that takes every picture and style sheet
// from the page's own reach and from nowhere else.
//
//   PageLimits         the sizes and the time one drawing may take
//   PageSource         the page's HTML and where its resources come from
//   readPageSource     a page file (.htm, .html), an archive (.mht, .mhtml)
//                      or a mail (.eml) through the guarded reader
//   HtmlPageDocument   the document; its loadResource is the only way in
//
// A page on disk gets pictures and style sheets from its own folder and
// the folders below it (no hidden file or folder, no link leading out), each
// read through the guarded reader (regular files only, never waiting on a
// FIFO, never more than the size cap). An archive or a mail gets them only
// from its own parts, found by "cid:" and by Content-Location. Nothing is
// fetched from the network and no script runs. Once the drawing's time is
// spent, no further resource is read: the page is drawn as far as it came.
//
// QTextDocument, not a browser engine, draws: it is synchronous, needs no
// extra process and no GPU, and every byte it reads passes through us. Its
// CSS is a subset (colours, fonts, margins, borders of tables, background
// colours and pictures), enough for a thumbnail.

#include <QSet>
#include <QString>
#include <QTextDocument>
#include <QUrl>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct PageLimits {
  std::size_t pageBytes = 32u << 20;       // the page, archive or mail file
  std::size_t drawnTextChars = 1u << 20;   // of the page's text: a thumbnail shows its top
  std::size_t resourceBytes = 16u << 20;   // one picture or style sheet
  std::size_t totalBytes = 64u << 20;      // all resources of one drawing
  int resourceCount = 500;                 // resources read for one drawing
  int pictureSide = 2000;                  // pixels; larger pictures are read scaled down
  std::int64_t timeMs = 5000;              // the whole drawing
};

struct PagePart {
  std::string type;  // lower-case content type
  std::string id;    // Content-ID without brackets
  QUrl location;     // Content-Location, encoded words decoded
  std::string body;  // decoded bytes
};

struct PageSource {
  QString html;         // the page's markup (a text mail as <pre>)
  QUrl base;            // where the page's relative references point
  bool archive = false;  // resources come only from parts
  std::string folder;   // a page on disk: its folder
  std::vector<PagePart> parts;
};

// False when nothing could be read (missing, not a regular file, too large,
// no text part).
bool readPageSource(const std::string& path, const PageLimits& limits, PageSource& source);

class HtmlPageDocument : public QTextDocument {
 public:
  // startMs: the drawing's start on platform::monotonicMs().
  HtmlPageDocument(const PageSource& source, const PageLimits& limits, std::int64_t startMs);

  // Sets the page: its linked style sheets first (each with its references
  // made absolute and its imports read), then the markup. The engine's own
  // reading of <link> is narrower than a browser's (it wants type=text/css).
  void setPage(const QString& html);

  int loaded() const { return loaded_; }
  int refused() const { return refused_; }

 protected:
  QVariant loadResource(int type, const QUrl& name) override;

 private:
  // The resource's bytes, or false when it is out of reach.
  bool fetch(const QUrl& name, std::string& bytes);
  const PagePart* findPart(const QUrl& name) const;
  // Whether one more resource of this size may still be read; counts it.
  bool admit(std::size_t bytes);
  // A style sheet's text with its url() references made absolute against
  // its own place and its imports put before it; empty when out of reach.
  QString styleSheet(const QUrl& url, int depth, QSet<QString>& seen);

  const PageSource& source_;
  PageLimits limits_;
  std::int64_t startMs_;
  std::string pageTree_;  // canonical folder of a page on disk
  QSet<QString> refusedNames_;
  std::size_t totalBytes_ = 0;
  int loaded_ = 0;
  int refused_ = 0;
};

// The text of MIME encoded words ("=?shift_jis?B?...?=") in UTF-8; other
// text is kept as it stands.
std::string decodeEncodedWords(std::string_view text);
