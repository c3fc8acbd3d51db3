#include "tests/support/page_renderer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <hb-ft.h>
#include <hb.h>

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTransform>

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <memory>
#include <string>

namespace testpages {

int libraryMm(double mm, int dpi) { return static_cast<int>(mm * dpi * 4 / 100); }

long RenderedPage::blackCount() const {
  long n = 0;
  for (auto b : bits) n += __builtin_popcount(b);
  return n;
}

bool RenderedPage::savePng(const QString& path) const {
  QImage img(width, height, QImage::Format_Mono);
  img.setColor(0, qRgb(255, 255, 255));
  img.setColor(1, qRgb(0, 0, 0));
  for (int y = 0; y < height; ++y) {
    std::copy_n(bits.data() + static_cast<std::size_t>(y) * bytesPerRow, std::min(bytesPerRow, static_cast<int>(img.bytesPerLine())), img.scanLine(y));
  }
  return img.save(path);
}

RenderedPage blankPage(int widthPx, int heightPx, int dpi) {
  RenderedPage page;
  page.width = widthPx;
  page.height = heightPx;
  page.dpi = dpi;
  page.bytesPerRow = paddedRowBytes(widthPx);
  page.bits.assign(static_cast<std::size_t>(page.bytesPerRow) * heightPx, 0);
  return page;
}

PageBuilder::PageBuilder(int widthPx, int heightPx, int dpi) : width_(widthPx), height_(heightPx), dpi_(dpi) {}

void PageBuilder::addText(QPoint topLeft, const QString& text, double pointSize, int charsPerLine, int lines,
                          bool vertical, double lineSpacing, const QString& family) {
  texts_.push_back({topLeft, text, pointSize, charsPerLine, lines, vertical, lineSpacing, family});
}

void PageBuilder::addVerticalTiers(QPoint topRight, const QString& text, double pointSize, int charsPerColumn,
                                   int columns, int tiers, int tierGap, double lineSpacing, const QString& family) {
  const int cellPx = static_cast<int>(std::lround(pointSize * dpi_ / 72.0));
  const int advance = cellPx + cellPx / 10;
  const int tierHeight = charsPerColumn * advance;
  for (int t = 0; t < tiers; ++t) {
    TextItem item{QPoint(topRight.x() - cellPx, topRight.y() + t * (tierHeight + tierGap)), text, pointSize,
                  charsPerColumn, columns, true, lineSpacing, family};
    item.tier = t;
    item.textOffset = t * charsPerColumn * columns;
    texts_.push_back(item);
  }
}

void PageBuilder::addHeading(QPoint topLeft, const QString& text, double pointSize, bool vertical,
                             const QString& family) {
  TextItem item{topLeft, text, pointSize, static_cast<int>(text.size()), 1, vertical, 1.0, family};
  item.heading = true;
  texts_.push_back(item);
}

void PageBuilder::addShapedLine(QPoint origin, const QString& text, double pointSize, bool vertical,
                                const QString& family) {
  TextItem item{origin, text, pointSize, static_cast<int>(text.size()), 1, vertical, 1.0, family};
  item.shaped = true;
  texts_.push_back(item);
}

void PageBuilder::addRule(QRect rect, bool horizontal) { rules_.push_back({rect, horizontal}); }

void PageBuilder::addDottedLine(QPoint start, int length, bool horizontal, int dotSize, int pitch) {
  DottedTruth d;
  d.horizontal = horizontal;
  d.dotSize = dotSize;
  d.pitch = pitch;
  const int last = (length - dotSize) / pitch * pitch + dotSize;  // the last whole dot's end
  d.rect = horizontal ? QRect(start.x(), start.y(), last, dotSize) : QRect(start.x(), start.y(), dotSize, last);
  dotted_.push_back(d);
}

void PageBuilder::addFigure(QRect rect, FigureKind kind) { figures_.push_back({rect, kind}); }

namespace {

void drawFigure(QPainter& p, const FigureTruth& f) {
  const QRect r = f.rect;
  switch (f.kind) {
    case FigureKind::Solid:
      p.fillRect(r, Qt::black);
      break;
    case FigureKind::Photo: {
      // Large dark areas with light patches, like a thresholded photograph.
      p.fillRect(r, Qt::black);
      QRandomGenerator rng(42);
      p.setBrush(Qt::white);
      p.setPen(Qt::NoPen);
      for (int i = 0; i < 6; ++i) {
        const int w = r.width() / 10 + static_cast<int>(rng.bounded(r.width() / 8 + 1));
        const int h = r.height() / 10 + static_cast<int>(rng.bounded(r.height() / 8 + 1));
        const int x = r.left() + static_cast<int>(rng.bounded(std::max(1, r.width() - w)));
        const int y = r.top() + static_cast<int>(rng.bounded(std::max(1, r.height() - h)));
        p.drawEllipse(QRect(x, y, w, h));
      }
      break;
    }
    case FigureKind::Hatched: {
      // Bold diagonal bands, as in a bar chart's fill.
      const int band = std::max(8, r.width() / 12);
      p.setBrush(Qt::NoBrush);
      p.setPen(QPen(Qt::black, band, Qt::SolidLine, Qt::FlatCap));
      p.setClipRect(r);
      for (int d = -r.height(); d < r.width(); d += band * 2) {
        p.drawLine(r.left() + d, r.top(), r.left() + d + r.height(), r.bottom());
      }
      p.setClipping(false);
      break;
    }
    case FigureKind::Drawing: {
      p.setPen(QPen(Qt::black, 4));
      p.setBrush(Qt::NoBrush);
      p.drawRect(r.adjusted(2, 2, -2, -2));
      p.setBrush(Qt::black);
      p.setPen(Qt::NoPen);
      p.drawEllipse(r.adjusted(r.width() / 10, r.height() / 10, -r.width() / 10, -r.height() / 10));
      break;
    }
  }
}


// ---- shaping and rasterising ----------------------------------------------

// One shaped glyph: its grey bitmap (255 full ink) at (x, y) from the pen's
// start, and the character (UTF-16 index) it came from.
struct InkGlyph {
  int x = 0, y = 0;
  int width = 0, height = 0;
  int cluster = 0;
  int advance = 0;
  std::vector<std::uint8_t> grey;
};

struct FontFile {
  std::string path;
  int index = 0;
};

struct RegisteredFont {
  std::string path;
  bool cjk = false;
};

std::map<QString, RegisteredFont>& registeredFonts() {
  static std::map<QString, RegisteredFont> fonts;
  return fonts;
}

bool isCjkFamily(const QString& family) {
  if (auto it = registeredFonts().find(family); it != registeredFonts().end()) return it->second.cjk;
  return family.contains(QStringLiteral("CJK"));
}

// The file of a family: a registered file, else through fontconfig (cached:
// the answer never changes during a run).
FontFile fontFileOf(const QString& family) {
  if (auto it = registeredFonts().find(family); it != registeredFonts().end()) return FontFile{it->second.path, 0};
  static std::map<QString, FontFile> cache;
  if (auto it = cache.find(family); it != cache.end()) return it->second;
  FontFile found;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family.toUtf8().constData()));
  if (pattern != nullptr) {
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    if (FcPattern* match = FcFontMatch(nullptr, pattern, &result); match != nullptr) {
      FcChar8* file = nullptr;
      int index = 0;
      if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) found.path = reinterpret_cast<char*>(file);
      if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) found.index = index;
      FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
  }
  cache[family] = found;
  return found;
}

struct FtLibrary {
  FT_Library lib = nullptr;
  FtLibrary() { FT_Init_FreeType(&lib); }
  ~FtLibrary() { FT_Done_FreeType(lib); }
  FtLibrary(const FtLibrary&) = delete;
  FtLibrary& operator=(const FtLibrary&) = delete;
};

// One face at one size, with its HarfBuzz font.
class ShapingFont {
 public:
  ShapingFont(const QString& family, double pointSize, int dpi) {
    static FtLibrary ft;
    const FontFile file = fontFileOf(family);
    if (ft.lib == nullptr || file.path.empty() ||
        FT_New_Face(ft.lib, file.path.c_str(), file.index, &face_) != 0) {
      face_ = nullptr;
      return;
    }
    FT_Set_Char_Size(face_, 0, static_cast<FT_F26Dot6>(std::lround(pointSize * 64)), static_cast<FT_UInt>(dpi),
                     static_cast<FT_UInt>(dpi));
    font_ = hb_ft_font_create_referenced(face_);
  }
  ~ShapingFont() {
    if (font_ != nullptr) hb_font_destroy(font_);
    if (face_ != nullptr) FT_Done_Face(face_);
  }
  ShapingFont(const ShapingFont&) = delete;
  ShapingFont& operator=(const ShapingFont&) = delete;
  explicit operator bool() const { return font_ != nullptr; }

  // Shapes `text` with the pen starting at (0, 0) and returns its glyphs'
  // bitmaps placed in pixels (y down).  Vertical runs use the vertical forms.
  std::vector<InkGlyph> shape(const QString& text, bool vertical) const {
    std::vector<InkGlyph> glyphs;
    if (!*this) return glyphs;
    hb_buffer_t* buffer = hb_buffer_create();
    hb_buffer_add_utf16(buffer, reinterpret_cast<const std::uint16_t*>(text.utf16()), static_cast<int>(text.size()),
                        0, static_cast<int>(text.size()));
    hb_buffer_set_direction(buffer, vertical ? HB_DIRECTION_TTB : HB_DIRECTION_LTR);
    hb_buffer_set_script(buffer, HB_SCRIPT_HAN);
    hb_buffer_set_language(buffer, hb_language_from_string("ja", -1));
    hb_feature_t features[2];
    hb_feature_from_string("vert", -1, &features[0]);
    hb_feature_from_string("vrt2", -1, &features[1]);
    hb_shape(font_, buffer, features, vertical ? 2 : 0);
    unsigned count = 0;
    hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer, &count);
    hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer, &count);
    // Pen in 26.6 units, HarfBuzz coordinates (y up); offsets place the
    // glyph's horizontal origin relative to the pen, also in vertical runs.
    long penX = 0, penY = 0;
    for (unsigned i = 0; i < count; ++i) {
      const long originX = penX + positions[i].x_offset;
      const long originY = penY + positions[i].y_offset;
      penX += positions[i].x_advance;
      penY += positions[i].y_advance;
      if (FT_Load_Glyph(face_, infos[i].codepoint, FT_LOAD_DEFAULT) != 0) continue;
      if (FT_Render_Glyph(face_->glyph, FT_RENDER_MODE_NORMAL) != 0) continue;
      const FT_Bitmap& bm = face_->glyph->bitmap;
      if (bm.width == 0 || bm.rows == 0) continue;
      InkGlyph g;
      g.cluster = static_cast<int>(infos[i].cluster);
      g.advance = static_cast<int>(positions[i].x_advance / 64);
      g.width = static_cast<int>(bm.width);
      g.height = static_cast<int>(bm.rows);
      g.x = static_cast<int>(originX / 64) + face_->glyph->bitmap_left;
      g.y = -static_cast<int>(originY / 64) - face_->glyph->bitmap_top;
      g.grey.resize(static_cast<std::size_t>(g.width) * g.height);
      for (int r = 0; r < g.height; ++r) {
        std::copy_n(bm.buffer + r * bm.pitch, g.width, g.grey.begin() + static_cast<std::ptrdiff_t>(r) * g.width);
      }
      glyphs.push_back(std::move(g));
    }
    hb_buffer_destroy(buffer);
    return glyphs;
  }

  // The horizontal advance of one character, pixels.
  int advanceOf(const QString& ch) const {
    if (!*this) return 0;
    hb_buffer_t* buffer = hb_buffer_create();
    hb_buffer_add_utf16(buffer, reinterpret_cast<const std::uint16_t*>(ch.utf16()), static_cast<int>(ch.size()), 0,
                        static_cast<int>(ch.size()));
    hb_buffer_guess_segment_properties(buffer);
    hb_shape(font_, buffer, nullptr, 0);
    unsigned count = 0;
    hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer, &count);
    long advance = 0;
    for (unsigned i = 0; i < count; ++i) advance += positions[i].x_advance;
    hb_buffer_destroy(buffer);
    return static_cast<int>(advance / 64);
  }

 private:
  FT_Face face_ = nullptr;
  hb_font_t* font_ = nullptr;
};

constexpr int kInkThreshold = 128;

// Draws the glyph at (dx, dy) into the grey page (darkest wins) and returns
// its ink box on the page (empty when it has no ink).
QRect drawGlyph(QImage& gray, const InkGlyph& g, int dx, int dy) {
  int l = INT_MAX, t = INT_MAX, r = INT_MIN, b = INT_MIN;
  for (int y = 0; y < g.height; ++y) {
    const int py = g.y + y + dy;
    if (py < 0 || py >= gray.height()) continue;
    uchar* row = gray.scanLine(py);
    for (int x = 0; x < g.width; ++x) {
      const int px = g.x + x + dx;
      if (px < 0 || px >= gray.width()) continue;
      const std::uint8_t v = g.grey[static_cast<std::size_t>(y) * g.width + x];
      const uchar shade = static_cast<uchar>(255 - v);
      if (shade < row[px]) row[px] = shade;
      if (v >= kInkThreshold) {
        l = std::min(l, px);
        r = std::max(r, px);
        t = std::min(t, py);
        b = std::max(b, py);
      }
    }
  }
  return r < l ? QRect() : QRect(QPoint(l, t), QPoint(r, b));
}

// The bottom of the ideographic em box lies 12 % of the em below the
// baseline in the CJK fonts.
constexpr int kBaselinePermille = 880;

}  // namespace

void registerFontFile(const QString& family, const std::string& path, bool cjk) {
  registeredFonts()[family] = RegisteredFont{path, cjk};
}

RenderedPage PageBuilder::render(double skewDegrees, int quarterTurns) const {
  QImage gray(width_, height_, QImage::Format_Grayscale8);
  gray.fill(255);
  RenderedPage page;
  {
    QPainter p(&gray);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    for (const auto& rule : rules_) p.fillRect(rule.rect, Qt::black);
    for (const auto& d : dotted_) {
      const int length = d.horizontal ? d.rect.width() : d.rect.height();
      for (int at = 0; at + d.dotSize <= length; at += d.pitch) {
        const QPoint corner = d.horizontal ? d.rect.topLeft() + QPoint(at, 0) : d.rect.topLeft() + QPoint(0, at);
        p.fillRect(QRect(corner, QSize(d.dotSize, d.dotSize)), Qt::black);
      }
    }
    for (const auto& fig : figures_) drawFigure(p, fig);
  }
  // Text, glyph by glyph, with the truth taken from each glyph's own ink.
  for (const auto& item : texts_) {
    const ShapingFont font(item.family, item.pointSize, dpi_);
    BlockTruth block;
    block.vertical = item.vertical;
    block.heading = item.heading;
    block.tier = item.tier;
    if (item.shaped) {
      LineTruth lt;
      for (const InkGlyph& g : font.shape(item.text, item.vertical)) {
        const QRect ink = drawGlyph(gray, g, item.topLeft.x(), item.topLeft.y());
        if (!ink.isNull()) lt.glyphs.push_back({ink, item.text.at(g.cluster)});
      }
      block.lines.push_back(lt);
      page.blocks.push_back(block);
      continue;
    }
    const int cellPx = static_cast<int>(std::lround(item.pointSize * dpi_ / 72.0));
    const int pitch = static_cast<int>(std::lround(cellPx * item.lineSpacing));
    const int advance = cellPx + cellPx / 10;
    const bool proportional = !isCjkFamily(item.family) && !item.vertical;
    const int baseline = cellPx * kBaselinePermille / 1000;
    int k = item.textOffset;
    for (int line = 0; line < item.lines; ++line) {
      LineTruth lt;
      int x = item.topLeft.x();
      for (int c = 0; c < item.charsPerLine; ++c) {
        const QString ch(item.text.at(k++ % item.text.size()));
        const QPoint cell = item.vertical ? QPoint(item.topLeft.x() - line * pitch, item.topLeft.y() + c * advance)
                                          : QPoint(proportional ? x : item.topLeft.x() + c * advance,
                                                   item.topLeft.y() + line * pitch);
        const int width = proportional ? font.advanceOf(ch) : cellPx;
        x += width;
        if (ch.at(0).isSpace()) continue;
        const std::vector<InkGlyph> glyphs = font.shape(ch, item.vertical);
        // Vertical: the pen starts at the top centre of the cell; horizontal:
        // on the baseline, the glyph centred in its cell.
        QPoint pen;
        if (item.vertical) {
          pen = QPoint(cell.x() + cellPx / 2, cell.y());
        } else {
          int shaped = 0;
          for (const InkGlyph& g : glyphs) shaped += g.advance;
          pen = QPoint(cell.x() + (proportional ? 0 : (cellPx - shaped) / 2), cell.y() + baseline);
        }
        QRect ink;
        for (const InkGlyph& g : glyphs) ink = ink.united(drawGlyph(gray, g, pen.x(), pen.y()));
        if (!ink.isNull()) lt.glyphs.push_back({ink, ch.at(0)});
      }
      block.lines.push_back(lt);
    }
    page.blocks.push_back(block);
  }
  // Lines and blocks bound their glyphs.
  for (auto& block : page.blocks) {
    QRect br;
    for (auto& line : block.lines) {
      QRect lr;
      for (auto& g : line.glyphs) lr = lr.united(g.rect);
      line.rect = lr;
      br = br.united(lr);
    }
    block.rect = br;
  }
  page.rules = rules_;
  page.dotted = dotted_;
  page.figures = figures_;

  auto mapTruth = [&page](const QTransform& t) {
    for (auto& block : page.blocks) {
      block.rect = t.mapRect(block.rect);
      for (auto& line : block.lines) line.rect = t.mapRect(line.rect);
    }
    for (auto& rule : page.rules) rule.rect = t.mapRect(rule.rect);
    for (auto& d : page.dotted) d.rect = t.mapRect(d.rect);
    for (auto& fig : page.figures) fig.rect = t.mapRect(fig.rect);
  };
  if (skewDegrees != 0) {
    // The page keeps its size: a skewed scan of the same sheet.
    QTransform t;
    t.translate(width_ / 2.0, height_ / 2.0);
    t.rotate(-skewDegrees);
    t.translate(-width_ / 2.0, -height_ / 2.0);
    QImage paper(gray.size(), QImage::Format_Grayscale8);
    paper.fill(255);
    {
      QPainter p(&paper);
      p.setTransform(t);
      p.drawImage(0, 0, gray);
    }
    gray = paper;
    mapTruth(t);
  }
  if (quarterTurns % 4 != 0) {
    QTransform t;
    t.rotate(90.0 * quarterTurns);
    const QImage turned = gray.transformed(t, Qt::FastTransformation);
    mapTruth(QImage::trueMatrix(t, gray.width(), gray.height()));
    gray = turned;
  }
  page.skewDegrees = skewDegrees;
  page.quarterTurns = quarterTurns;
  page.width = gray.width();
  page.height = gray.height();
  page.dpi = dpi_;
  page.bytesPerRow = paddedRowBytes(page.width);
  page.bits.assign(static_cast<std::size_t>(page.bytesPerRow) * page.height, 0);
  for (int y = 0; y < page.height; ++y) {
    const uchar* row = gray.constScanLine(y);
    std::uint8_t* out = page.bits.data() + static_cast<std::size_t>(y) * page.bytesPerRow;
    for (int x = 0; x < page.width; ++x) {
      if (row[x] < 128) out[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
  }
  return page;
}

}  // namespace testpages
