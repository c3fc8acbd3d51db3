#include "tests/layout/test_pages.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTransform>

#include <algorithm>
#include <cmath>

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

QRect inkBox(const QImage& gray, QRect cell) {
  cell = cell.intersected(gray.rect());
  int l = cell.right() + 1, t = cell.bottom() + 1, r = -1, b = -1;
  for (int y = cell.top(); y <= cell.bottom(); ++y) {
    const uchar* row = gray.constScanLine(y);
    for (int x = cell.left(); x <= cell.right(); ++x) {
      if (row[x] < 128) {
        l = std::min(l, x);
        r = std::max(r, x);
        t = std::min(t, y);
        b = std::max(b, y);
      }
    }
  }
  return r < 0 ? QRect() : QRect(QPoint(l, t), QPoint(r, b));
}

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

}  // namespace

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
    for (const auto& item : texts_) {
      QFont font(item.family);
      const int cellPx = static_cast<int>(std::lround(item.pointSize * dpi_ / 72.0));
      font.setPixelSize(cellPx);
      font.setStyleStrategy(QFont::NoAntialias);
      p.setFont(font);
      p.setPen(Qt::black);
      const int pitch = static_cast<int>(std::lround(cellPx * item.lineSpacing));
      const int advance = cellPx + cellPx / 10;
      const bool proportional = !item.family.contains(QStringLiteral("CJK")) && !item.vertical;
      const QFontMetrics metrics(font);
      int k = 0;
      BlockTruth block;
      block.vertical = item.vertical;
      for (int line = 0; line < item.lines; ++line) {
        LineTruth lt;
        int x = item.topLeft.x();
        for (int c = 0; c < item.charsPerLine; ++c) {
          const QChar ch = item.text.at(k++ % item.text.size());
          QPoint at = item.vertical
                          ? QPoint(item.topLeft.x() - line * pitch, item.topLeft.y() + c * advance)
                          : QPoint(proportional ? x : item.topLeft.x() + c * advance, item.topLeft.y() + line * pitch);
          const int width = proportional ? metrics.horizontalAdvance(ch) : cellPx;
          x += width;
          const QRect cell(at, QSize(std::max(width, 1), cellPx));
          if (ch.isSpace()) continue;
          p.drawText(cell, Qt::AlignCenter, QString(ch));
          lt.glyphs.push_back({cell, ch});
        }
        block.lines.push_back(lt);
      }
      block.rect = QRect();
      page.blocks.push_back(block);
    }
  }
  // Ink boxes of the glyphs, then lines and blocks.
  for (auto& block : page.blocks) {
    QRect br;
    for (auto& line : block.lines) {
      QRect lr;
      for (auto& g : line.glyphs) {
        g.rect = inkBox(gray, g.rect);
        lr = lr.united(g.rect);
      }
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
