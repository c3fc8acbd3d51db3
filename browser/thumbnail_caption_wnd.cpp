#include "browser/thumbnail_caption_wnd.h"

#include <QFontInfo>
#include <QPainter>
#include <QPalette>
#include <QPolygon>

#include <algorithm>

namespace {

QFont captionFont(int tenthsOfPoint) {
  QFont font{QString::fromLatin1(kCaptionFontFamily)};
  font.setPointSizeF(tenthsOfPoint / 10.0);
  return font;
}

QFont withUnderline(QFont font) {
  font.setUnderline(true);
  return font;
}

QFont withBold(QFont font) {
  font.setWeight(QFont::Bold);
  return font;
}

}  // namespace

CaptionFonts::CaptionFonts(int tenths)
    : tenthsOfPoint(tenths),
      normal(captionFont(tenths)),
      underlined(withUnderline(normal)),
      bold(withBold(normal)),
      normalMetrics(normal),
      underlinedMetrics(underlined),
      boldMetrics(bold) {}

// ---- captions ------------------------------------------------------------------

void ThumbnailCaptionWnd::SetMode(int mode, int style) {
  mode_ = mode;
  if (style != kUndecided) {
    style_ = style;
    styleSet_ = true;
  } else {
    styleSet_ = false;
  }
}

const QFont& ThumbnailCaptionWnd::Font(const CaptionFonts& fonts) const {
  if (mode_ == kStackTitle) return fonts.bold;
  return styleSet_ && style_ == kUnderlined ? fonts.underlined : fonts.normal;
}

void ThumbnailCaptionWnd::SetCaptionText(const QString& text, bool force, const CaptionFonts& fonts) {
  if (!force && !text.isEmpty() && text == text_) return;
  text_ = text;
  const QFontMetrics& metrics = mode_ == kStackTitle                         ? fonts.boldMetrics
                                : styleSet_ && style_ == kUnderlined ? fonts.underlinedMetrics
                                                                             : fonts.normalMetrics;
  fullTextWidth_ = metrics.horizontalAdvance(text);
  const int textWidth = std::min(fullTextWidth_, maxTextWidth_);
  const int centre = rect_.left() + rect_.width() / 2;
  rect_ = QRect(centre - textWidth / 2 - kPadding, rect_.top(), textWidth + 2 * kPadding, metrics.height() + 2);
}

void ThumbnailCaptionWnd::SetMaxTextWidth(int pixels) {
  maxTextWidth_ = std::clamp(pixels, 1, kMaxTextWidth);
  const int textWidth = std::min(fullTextWidth_, maxTextWidth_);
  const int centre = rect_.left() + rect_.width() / 2;
  rect_ = QRect(centre - textWidth / 2 - kPadding, rect_.top(), textWidth + 2 * kPadding, rect_.height());
}

void ThumbnailCaptionWnd::MoveCenteredTo(QPoint topCentre) {
  rect_.moveTo(topCentre.x() - rect_.width() / 2, topCentre.y());
}

void ThumbnailCaptionWnd::Paint(QPainter& painter, const CaptionFonts& fonts, QColor background,
                                QPoint offset) const {
  const QRect r = rect_.translated(offset);
  painter.fillRect(r, background);
  const QRect textRect = r.adjusted(kPadding, 0, 0, 0);
  if (textRect.width() <= 0 || text_.isEmpty()) return;
  const QFont& font = Font(fonts);
  const QFontMetrics metrics(font);
  painter.setFont(font);
  painter.setPen(QPalette().color(QPalette::WindowText));
  // The CJK face reserves more room above its glyphs than the captions'
  // 22-pixel rows allow: the baseline sits one em below the top (as in the
  // narrower faces the rows were made for), so that the glyphs and an
  // underline stay clear of the picture below.
  const int baseline = r.top() + 1 + std::min(metrics.ascent(), QFontInfo(font).pixelSize());
  // One line, with an ellipsis when it does not fit; '&' is an ordinary
  // character here.
  painter.save();
  painter.setClipRect(r);
  painter.drawText(QPoint(textRect.left(), baseline), metrics.elidedText(text_, Qt::ElideRight, textRect.width()));
  painter.restore();
}

// ---- page counter ----------------------------------------------------------------

int PageNumberWnd::ZoneAt(int x) {
  if (x < kPreviousZoneEnd) return kPrevious;
  if (x >= kNextZoneStart) return kNext;
  return kChoose;
}

int PageNumberWnd::Press(int x) {
  const int zone = ZoneAt(x);
  if ((zone == kPrevious && currentPage_ < 2) || (zone == kNext && currentPage_ >= pageCount_)) return kNone;
  pressed_ = zone;
  pressedInside_ = true;
  return zone;
}

void PageNumberWnd::Track(int x, int y) {
  if (pressed_ == kNone) return;
  pressedInside_ = x >= 0 && y >= 0 && x < kWidth && y < kHeight && ZoneAt(x) == pressed_;
}

int PageNumberWnd::Release() {
  const int zone = pressedInside_ ? pressed_ : kNone;
  pressed_ = kNone;
  pressedInside_ = false;
  return zone;
}

void PageNumberWnd::Paint(QPainter& painter, const QFont& font, QPoint offset) const {
  const QRect r = rect.translated(offset);
  const QPalette palette;
  painter.fillRect(r, palette.color(QPalette::Button));
  const auto zoneRect = [&](int zone) {
    switch (zone) {
      case kPrevious: return QRect(r.left(), r.top(), kPreviousZoneEnd, kHeight);
      case kNext: return QRect(r.left() + kNextZoneStart, r.top(), kWidth - kNextZoneStart, kHeight);
      default: return QRect(r.left() + kPreviousZoneEnd, r.top(), kNextZoneStart - kPreviousZoneEnd, kHeight);
    }
  };
  const bool choosePressed = pressed_ == kChoose && pressedInside_;
  for (int zone : {kPrevious, kChoose, kNext}) {
    const QRect z = zoneRect(zone).adjusted(0, 0, -1, -1);
    const bool down = pressed_ == zone && pressedInside_;
    painter.setPen(down ? palette.color(QPalette::Dark) : palette.color(QPalette::Light));
    painter.drawLine(z.topLeft(), z.topRight());
    painter.drawLine(z.topLeft(), z.bottomLeft());
    painter.setPen(down ? palette.color(QPalette::Light) : palette.color(QPalette::Dark));
    painter.drawLine(z.bottomLeft(), z.bottomRight());
    painter.drawLine(z.topRight(), z.bottomRight());
  }
  // The arrows: greyed where the step would be refused.
  const auto arrow = [&](int zone, bool enabled) {
    const QRect z = zoneRect(zone);
    const QPoint c = z.center() + (pressed_ == zone && pressedInside_ ? QPoint(1, 1) : QPoint());
    const int d = zone == kPrevious ? -1 : 1;
    QPolygon triangle;
    triangle << QPoint(c.x() + 3 * d, c.y()) << QPoint(c.x() - 2 * d, c.y() - 5) << QPoint(c.x() - 2 * d, c.y() + 5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(enabled ? palette.color(QPalette::ButtonText) : palette.color(QPalette::Mid));
    painter.drawPolygon(triangle);
  };
  arrow(kPrevious, currentPage_ >= 2);
  arrow(kNext, currentPage_ < pageCount_);
  painter.setBrush(Qt::NoBrush);
  painter.setFont(font);
  painter.setPen(palette.color(QPalette::ButtonText));
  const QRect textRect = r.translated(choosePressed ? 1 : 0, choosePressed ? 2 : 1);
  painter.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine,
                   QStringLiteral("%1/%2").arg(currentPage_).arg(pageCount_));
}
