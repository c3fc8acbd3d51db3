#include "shell/centered_text_label.h"

#include "platform/sjis_codec.h"

#include <QPainter>

namespace {
constexpr int kMaxTextBytes = 310;

QString limitedText(const QString& text) {
  int bytes = 0;
  int end = 0;
  while (end < text.size()) {
    int step = text.at(end).isHighSurrogate() && end + 1 < text.size() ? 2 : 1;
    int n = platform::cp932Length(text.mid(end, step).toStdString());
    if (n < 0) n = 1;  // drawn as a replacement, one byte like '?'
    if (bytes + n > kMaxTextBytes) break;
    bytes += n;
    end += step;
  }
  return text.left(end);
}
}  // namespace

CenteredTextLabel::CenteredTextLabel(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void CenteredTextLabel::setText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  updateGeometry();
  repaint();  // at once: the caller is in the middle of a long step
}

QStringList CenteredTextLabel::layoutLines() const {
  const QFontMetrics fm(font());
  const QString text = limitedText(text_);
  QStringList lines;
  QString line;
  for (int i = 0; i < text.size(); ++i) {
    const QChar c = text.at(i);
    if (c == '\r' && i + 1 < text.size() && text.at(i + 1) == '\n') continue;
    if (c == '\n') {
      lines << line;
      line.clear();
      continue;
    }
    QString ch(c);
    if (c.isHighSurrogate() && i + 1 < text.size()) ch += text.at(++i);
    if (!line.isEmpty() && fm.horizontalAdvance(line + ch) > width()) {
      lines << line;
      line.clear();
    }
    line += ch;
  }
  if (!line.isEmpty()) lines << line;
  return lines;
}

QSize CenteredTextLabel::sizeHint() const {
  const QFontMetrics fm(font());
  return {fm.horizontalAdvance(QString(28, QChar(0x3042))), fm.height() * 2};
}

void CenteredTextLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().window());
  p.setFont(font());
  p.setPen(palette().color(QPalette::WindowText));
  const QFontMetrics fm(font());
  int y = 0;
  for (const QString& line : layoutLines()) {
    const int x = (width() - fm.horizontalAdvance(line)) / 2;
    p.drawText(x, y + fm.ascent(), line);
    y += fm.height();
  }
}
