#include "layout/dialogs/overlay_painter.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>

namespace layout::dialogs {
namespace {

QPainter::CompositionMode modeOf(std::int32_t mix) {
  switch (mix) {
    case VuMixXor: return QPainter::RasterOp_SourceXorDestination;
    case VuMixNotXor: return QPainter::RasterOp_NotSourceXorDestination;
    default: return QPainter::CompositionMode_SourceOver;
  }
}

QPen penOf(const VuOverlayItem& it) {
  if (it.penWidth <= 0) return Qt::NoPen;
  QPen pen(colourOf(it.colour));
  pen.setWidth(it.penWidth);
  pen.setStyle(it.dotted != 0 ? Qt::DotLine : Qt::SolidLine);
  return pen;
}

}  // namespace

QColor colourOf(std::uint32_t c) {
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
}

void paintOverlay(QPainter& painter, const VuOverlayItem* items, std::size_t count) {
  painter.save();
  const QFont baseFont = painter.font();
  for (std::size_t i = 0; i < count; ++i) {
    const VuOverlayItem& it = items[i];
    painter.setCompositionMode(modeOf(it.mix));
    // Right and bottom are exclusive, as the library's rectangles are.
    const QRect rect(QPoint(it.x1, it.y1), QPoint(it.x2 - 1, it.y2 - 1));
    switch (it.kind) {
      case VuOverlayFrame:
        painter.setPen(penOf(it));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect.adjusted(0, 0, -(it.penWidth > 0 ? 1 : 0), -(it.penWidth > 0 ? 1 : 0)));
        break;
      case VuOverlayBox:
        painter.fillRect(rect, colourOf(it.fill));
        if (it.penWidth > 0) {
          painter.setPen(penOf(it));
          painter.setBrush(Qt::NoBrush);
          painter.drawRect(rect.adjusted(0, 0, -1, -1));
        }
        break;
      case VuOverlayLine:
        painter.setPen(penOf(it));
        painter.drawLine(it.x1, it.y1, it.x2, it.y2);
        break;
      case VuOverlayText: {
        QFont font = baseFont;
        if (it.pointSize > 0) font.setPointSize(it.pointSize);
        painter.setFont(font);
        const QFontMetrics metrics(font);
        const QString text = QString::fromUtf8(it.text);
        const int width = metrics.horizontalAdvance(text);
        // Top-left text has its cell at the point; right-baseline text ends
        // at the point on its baseline.
        const QPoint origin = it.align == VuTextRightBaseline ? QPoint(it.x1 - width, it.y1)
                                                              : QPoint(it.x1, it.y1 + metrics.ascent());
        if (it.background != kVuTransparent) {
          painter.fillRect(QRect(origin.x(), origin.y() - metrics.ascent(), width, metrics.height()),
                           colourOf(it.background));
        }
        painter.setPen(colourOf(it.colour));
        painter.drawText(origin, text);
        break;
      }
      default:
        break;
    }
  }
  painter.restore();
}

}  // namespace layout::dialogs
