// The one page renderer of the tests: synthetic 1-bit pages with ground
// truth, for the layout and recognition tests and the benchmarks.
//
//   PageBuilder    lays out text blocks (horizontal or vertical writing, CJK
//                  font from fonts-noto-cjk, or a Latin font), tiers of
//                  vertical columns, headings, single shaped lines, ruled
//                  and dotted lines and figures
//   RenderedPage   the 1-bit image (rows padded to 16 bits, 1 = black) and
//                  the truth: character, line and block rectangles, writing
//                  direction, tier and heading marks, ruled lines, figures,
//                  applied skew and quarter turns
//
// Text is shaped by HarfBuzz and rasterised by FreeType, so vertical lines
// get the OpenType vertical forms (`vert`, `vrt2`: 、。「」ー turned and
// placed as in print); glyphs are drawn anti-aliased and thresholded at half
// grey, as a scanner's binarisation would.  Fonts are found by family name
// through fontconfig.
//
// Lengths: the library counts an inch as 25 mm, so libraryMm() converts with
// that factor; fixtures that check the library's millimetre thresholds place
// things with it.  Character rectangles are the ink boxes of the glyphs as
// drawn (before skew and turns, which only move the block and line boxes).
#pragma once

#include "layout/records.h"

#include <QRect>
#include <QString>

#include <cstdint>
#include <vector>

namespace testpages {

// Pixels of `mm` millimetres at `dpi`, counting 25 mm to the inch.
int libraryMm(double mm, int dpi);

struct GlyphTruth {
  QRect rect;
  QChar ch;
};

struct LineTruth {
  QRect rect;
  std::vector<GlyphTruth> glyphs;
};

struct BlockTruth {
  QRect rect;
  bool vertical = false;
  bool heading = false;  // a heading: one line of larger type
  int tier = -1;         // addVerticalTiers: 0 for the top tier, 1 below it ...
  std::vector<LineTruth> lines;
};

struct RuleTruth {
  QRect rect;
  bool horizontal = true;
};

// A line of square dots (a leader); `rect` bounds the dots.
struct DottedTruth {
  QRect rect;
  bool horizontal = true;
  int dotSize = 0;
  int pitch = 0;
};

enum class FigureKind { Solid, Photo, Hatched, Drawing };

struct FigureTruth {
  QRect rect;
  FigureKind kind;
};

struct RenderedPage {
  int width = 0;
  int height = 0;
  int dpi = 0;
  int bytesPerRow = 0;
  std::vector<std::uint8_t> bits;
  std::vector<BlockTruth> blocks;
  std::vector<RuleTruth> rules;
  std::vector<DottedTruth> dotted;
  std::vector<FigureTruth> figures;
  double skewDegrees = 0;
  int quarterTurns = 0;

  ImageDesc desc() {
    return ImageDesc{bits.data(), static_cast<std::uint16_t>(bytesPerRow), static_cast<std::uint16_t>(height),
                     static_cast<std::uint16_t>(dpi)};
  }
  bool pixel(int x, int y) const {
    return (bits[static_cast<std::size_t>(y) * bytesPerRow + x / 8] & (0x80 >> (x % 8))) != 0;
  }
  long blackCount() const;
  bool savePng(const QString& path) const;
};

inline const QString kCjkFamily = QStringLiteral("Noto Sans CJK JP");

// Makes `family` name the font file at `path` for this process's pages, past
// fontconfig: the evaluations draw with fonts that are unpacked, not
// installed, so that the one CJK font the program's own tests see stays the
// only one. `cjk`: the family sets characters in square cells.
void registerFontFile(const QString& family, const std::string& path, bool cjk);

class PageBuilder {
 public:
  PageBuilder(int widthPx, int heightPx, int dpi);

  // A text block whose first character cell starts at `topLeft` (pixels).
  // Each line holds `charsPerLine` characters of `text` (cycled as needed)
  // for `lines` lines; `pointSize` in points (1/72 inch); line pitch =
  // `lineSpacing` x character size.  The CJK font sets every character in a
  // square cell; a family without "CJK" in its name (a Latin font) sets
  // horizontal lines with the font's own advances.
  void addText(QPoint topLeft, const QString& text, double pointSize, int charsPerLine, int lines,
               bool vertical = false, double lineSpacing = 1.6, const QString& family = kCjkFamily);
  // Vertical writing in tiers: `tiers` blocks one below the other, each of
  // `columns` columns of `charsPerColumn` characters, the first column's
  // first cell at `topRight` minus one cell; `tierGap` pixels of white
  // between tiers.  Each tier is a block of its own in the truth.
  void addVerticalTiers(QPoint topRight, const QString& text, double pointSize, int charsPerColumn, int columns,
                        int tiers, int tierGap, double lineSpacing = 1.6, const QString& family = kCjkFamily);
  // A heading: one line of `text` in larger type, a block marked as heading.
  void addHeading(QPoint topLeft, const QString& text, double pointSize, bool vertical,
                  const QString& family = kCjkFamily);
  // One line shaped as a whole (proportional advances, kerning): `origin` is
  // the pen's start (horizontal: the baseline's left end; vertical: the top
  // centre of the first character's cell).
  void addShapedLine(QPoint origin, const QString& text, double pointSize, bool vertical,
                     const QString& family = kCjkFamily);
  void addRule(QRect rect, bool horizontal);
  // Square dots of `dotSize` pixels every `pitch` pixels from `start`, over
  // `length` pixels.
  void addDottedLine(QPoint start, int length, bool horizontal, int dotSize, int pitch);
  void addFigure(QRect rect, FigureKind kind);

  // Renders, then turns by `skewDegrees` (counter-clockwise positive) about
  // the page centre (the page keeps its size, as a skewed scan would) and
  // by `quarterTurns` clockwise quarter turns.
  RenderedPage render(double skewDegrees = 0, int quarterTurns = 0) const;

 private:
  struct TextItem {
    QPoint topLeft;
    QString text;
    double pointSize;
    int charsPerLine;
    int lines;
    bool vertical;
    double lineSpacing;
    QString family;
    bool heading = false;
    int tier = -1;
    bool shaped = false;  // addShapedLine: topLeft is the pen origin
    int textOffset = 0;   // where in `text` the block starts
  };
  int width_;
  int height_;
  int dpi_;
  std::vector<TextItem> texts_;
  std::vector<RuleTruth> rules_;
  std::vector<DottedTruth> dotted_;
  std::vector<FigureTruth> figures_;
};

// An all-white page image of the given size in the library's row padding.
RenderedPage blankPage(int widthPx, int heightPx, int dpi);

}  // namespace testpages
