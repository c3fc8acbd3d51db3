#include "shell/frame_icons.h"

#include "shell/command_ids.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

const QColor kInk(0x2B, 0x3A, 0x4A);
const QColor kPaper(0xFF, 0xFF, 0xFF);
const QColor kAccent(0x2F, 0x7D, 0xC9);

void sheet(QPainter& p, const QRectF& r) {
  p.setPen(QPen(kInk, 1.5));
  p.setBrush(kPaper);
  p.drawRect(r);
}

void arrowHead(QPainter& p, QPointF tip, QPointF dir) {
  const QPointF n(-dir.y(), dir.x());
  QPainterPath path;
  path.moveTo(tip);
  path.lineTo(tip - dir * 5 + n * 4);
  path.lineTo(tip - dir * 5 - n * 4);
  path.closeSubpath();
  p.setBrush(kAccent);
  p.setPen(Qt::NoPen);
  p.drawPath(path);
}

QPixmap draw(int id) {
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  switch (id) {
    case cmd::kScan:  // a scanner with a sheet coming out
      sheet(p, QRectF(9, 3, 14, 14));
      p.setPen(QPen(kInk, 1.5));
      p.setBrush(QColor(0xC9, 0xD6, 0xE3));
      p.drawRoundedRect(QRectF(3, 15, 26, 12), 2, 2);
      p.setPen(QPen(kAccent, 2));
      p.drawLine(QPointF(6, 20), QPointF(26, 20));
      break;
    case cmd::kSearch:  // a magnifier
      p.setPen(QPen(kInk, 3));
      p.setBrush(QColor(0xDD, 0xEB, 0xF8));
      p.drawEllipse(QRectF(4, 4, 16, 16));
      p.setPen(QPen(kAccent, 4, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(18, 18), QPointF(27, 27));
      break;
    case cmd::kRotateRight: {  // a sheet with a clockwise arrow
      sheet(p, QRectF(4, 10, 14, 18));
      p.setPen(QPen(kAccent, 2.5));
      p.setBrush(Qt::NoBrush);
      p.drawArc(QRectF(12, 3, 16, 16), 160 * 16, -200 * 16);
      arrowHead(p, QPointF(24.5, 18), QPointF(-0.3, 1));
      break;
    }
    case cmd::kStack:  // three sheets gathered
      for (int i = 2; i >= 0; --i) sheet(p, QRectF(5 + i * 4, 4 + i * 4, 15, 18));
      break;
    case cmd::kUnstackAll:  // sheets spread apart
      sheet(p, QRectF(2, 6, 11, 14));
      sheet(p, QRectF(11, 10, 11, 14));
      sheet(p, QRectF(19, 4, 11, 14));
      break;
    case cmd::kUnstackOne:  // one sheet leaves the stack
      sheet(p, QRectF(4, 10, 13, 16));
      sheet(p, QRectF(7, 7, 13, 16));
      sheet(p, QRectF(17, 3, 12, 15));
      p.setPen(QPen(kAccent, 2));
      p.drawLine(QPointF(14, 28), QPointF(24, 21));
      break;
    case cmd::kArrange:  // a grid of tiles
      p.setPen(QPen(kInk, 1.2));
      p.setBrush(kAccent.lighter(150));
      for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) p.drawRect(QRectF(3 + c * 9.5, 3 + r * 9.5, 7, 7));
      break;
    case cmd::kViewerBack:  // arrow back
      p.setPen(QPen(kAccent, 3, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(26, 16), QPointF(10, 16));
      arrowHead(p, QPointF(4, 16), QPointF(-1, 0));
      break;
    case cmd::kViewerImage:  // a picture
      sheet(p, QRectF(4, 6, 24, 20));
      p.setPen(Qt::NoPen);
      p.setBrush(kAccent);
      p.drawPolygon(QPolygonF({QPointF(6, 24), QPointF(14, 13), QPointF(20, 20), QPointF(26, 24)}));
      break;
    case cmd::kViewerText:  // lines of text
      sheet(p, QRectF(6, 3, 20, 26));
      p.setPen(QPen(kInk, 1.5));
      for (int y = 8; y <= 24; y += 4) p.drawLine(QPointF(9, y), QPointF(23, y));
      break;
    case cmd::kViewerInfo:  // "i"
      p.setPen(QPen(kInk, 1.5));
      p.setBrush(kAccent.lighter(160));
      p.drawEllipse(QRectF(4, 4, 24, 24));
      p.setPen(QPen(kInk, 3, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(16, 14), QPointF(16, 23));
      p.drawPoint(QPointF(16, 9));
      break;
    case cmd::kViewerTile:  // two panes side by side
      sheet(p, QRectF(3, 5, 12, 22));
      sheet(p, QRectF(17, 5, 12, 22));
      break;
    default:
      return {};
  }
  return pm;
}

}  // namespace

QIcon FrameIcon(int commandId, int size) {
  const QPixmap own = draw(commandId);
  if (own.isNull()) return {};
  return QIcon(own.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}
