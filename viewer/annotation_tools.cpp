#include "viewer/annotation_tools.h"

#include "platform/user_interaction.h"

#include <QDesktopServices>
#include <QUrl>

#include <algorithm>
#include <cstdlib>

AnnBox DefaultAnnBox() {
  AnnBox box;
  box.FontName = "ＭＳ 明朝";  // stored as it is; drawing maps it to an installed face
  box.FontSize = 160;
  box.FontBold = 400;
  box.FontCharSet = 128;
  box.FontFamily = 17;
  box.ForeColor = 0;
  box.BackColor = 0xFFFFFF;
  box.AnnParam1 = 1;
  box.AnnParam2 = 1;
  return box;
}

int PointerDirection(QPoint start, QPoint end) {
  const bool left = end.x() < start.x();  // level counts as right
  const bool up = end.y() < start.y();    // level counts as down
  return up ? (left ? 1 : 2) : (left ? 3 : 4);
}

std::optional<AnnBox> AnnotationFromBand(int tool, QPoint start, QPoint end) {
  AnnBox box = DefaultAnnBox();
  QRect r(QPoint(std::min(start.x(), end.x()), std::min(start.y(), end.y())),
          QPoint(std::max(start.x(), end.x()), std::max(start.y(), end.y())));
  switch (tool) {
    case anntool::kTextBox:
      box.AnnType = 0;
      box.ForeColor = 0;
      box.BackColor = 0xC0C0C0;
      break;
    case anntool::kHighlight:
      box.AnnType = 1;
      box.ForeColor = 0x00FFFF;
      break;
    case anntool::kRedaction:
      box.AnnType = 2;
      box.ForeColor = 0;
      break;
    case anntool::kPointer:
      if (start == end) return std::nullopt;
      box.AnnType = 3;
      box.ForeColor = 0;
      box.AnnParam1 = PointerDirection(start, end);
      box.AnnParam2 = 3;
      r = r.adjusted(-kPointerMargin, -kPointerMargin, kPointerMargin, kPointerMargin);
      break;
    case anntool::kLink:
      box.AnnType = 4;
      box.ForeColor = 0xFF0000;
      box.FontUnderline = 1;
      box.BoxString = "http://";
      break;
    default:
      return std::nullopt;
  }
  if (tool != anntool::kPointer && (std::abs(end.x() - start.x()) < 2 || std::abs(end.y() - start.y()) < 2))
    return std::nullopt;
  box.BoxLeft = r.left();
  box.BoxTop = r.top();
  box.BoxRight = r.right();
  box.BoxBottom = r.bottom();
  return box;
}

QString OneLineLinkText(const QString& text) {
  QString line = text;
  line.remove(QLatin1Char('\r'));
  line.remove(QLatin1Char('\n'));
  while (line.toUtf8().size() > 1023) line.chop(1);
  return line;
}

std::string StoredBoxText(const QString& text) { return text.isEmpty() ? std::string("  ") : text.toStdString(); }

QRect ResizedBox(const QRect& box, int corner, QPoint to) {
  QRect r = box;
  switch (corner) {
    case 0:
      r.setLeft(std::min(to.x(), box.right() - kMinAnnBoxSide + 1));
      r.setTop(std::min(to.y(), box.bottom() - kMinAnnBoxSide + 1));
      break;
    case 1:
      r.setRight(std::max(to.x(), box.left() + kMinAnnBoxSide - 1));
      r.setTop(std::min(to.y(), box.bottom() - kMinAnnBoxSide + 1));
      break;
    case 2:
      r.setLeft(std::min(to.x(), box.right() - kMinAnnBoxSide + 1));
      r.setBottom(std::max(to.y(), box.top() + kMinAnnBoxSide - 1));
      break;
    default:
      r.setRight(std::max(to.x(), box.left() + kMinAnnBoxSide - 1));
      r.setBottom(std::max(to.y(), box.top() + kMinAnnBoxSide - 1));
      break;
  }
  return r;
}

// A link never starts a program or opens a local file, and the working
// directory of the process is left alone.
bool OpenLinkAddress(const QString& address) {
  const QUrl url(address.trimmed(), QUrl::StrictMode);
  const QString scheme = url.scheme().toLower();
  const bool web = (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty();
  const bool mail = scheme == QLatin1String("mailto") && !url.path().isEmpty();
  if (!url.isValid() || !(web || mail)) {
    platform::messageBox("このリンクは開けません。\nhttp、https、mailtoのアドレスだけが開けます。",
                         platform::Buttons::Ok, platform::Icon::Warning);
    return false;
  }
  return QDesktopServices::openUrl(url);
}

QColor ColorFromRef(std::int32_t ref) { return QColor(ref & 0xFF, (ref >> 8) & 0xFF, (ref >> 16) & 0xFF); }

std::int32_t RefFromColor(const QColor& color) {
  return static_cast<std::int32_t>(color.red() | (color.green() << 8) | (color.blue() << 16));
}

QFont AnnotationFont(const AnnBox& box, int dpi, int percent) {
  QFont font(QString::fromStdString(box.FontName));
  if (dpi <= 0) dpi = 150;
  font.setPixelSize(
      std::max(1, static_cast<int>(std::abs(box.FontSize) * static_cast<long long>(dpi) * percent / (10LL * 72 * 100))));
  font.setBold(box.FontBold >= 600);
  font.setItalic(box.FontItalic != 0);
  font.setUnderline(box.FontUnderline != 0 || box.AnnType == 4);
  font.setStrikeOut(box.FontStrikeOut != 0);
  return font;
}
