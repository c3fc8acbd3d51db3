#include "shell/splash_window.h"

#include "platform/paths.h"
#include "platform/program_folder.h"
#include "platform/timer_source.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>

namespace {
bool gEnabled = false;
QPointer<CSplashWnd> gCurrent;
}  // namespace

void CSplashWnd::EnableSplashScreen(bool enable) { gEnabled = enable; }

CSplashWnd* CSplashWnd::Current() { return gCurrent.data(); }

void CSplashWnd::ShowSplashScreen(QWidget* parent) {
  if (!gEnabled || gCurrent) return;
  // Owned by the parent; it deletes itself when it closes.
  auto* splash = new CSplashWnd(parent);
  splash->show();
  splash->repaint();
  gCurrent = splash;
}

CSplashWnd::CSplashWnd(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("splash"));
  setAttribute(Qt::WA_DeleteOnClose);
  picture_ = DrawSplashPicture();
  const QString file = QString::fromStdString(platform::joinPath(platform::programFolder(), "Splash40"));
  QImage image;
  if (image.load(file, "BMP") && image.width() > 0 && image.height() > 0) fileBitmap_ = image;
  // The window has the built-in picture's size; a file bitmap is drawn from
  // the top-left corner at its own size.
  setFixedSize(picture_.deviceIndependentSize().toSize());
  if (const QScreen* screen = (parent ? parent->screen() : QGuiApplication::primaryScreen())) {
    const QRect area = screen->availableGeometry();
    move(area.center() - rect().center());
  }
  closeTimer_ = platform::createTimer([this] { HideSplashScreen(); });
  closeTimer_->start(kCloseAfterMs);
  qApp->installEventFilter(this);
}

CSplashWnd::~CSplashWnd() = default;

void CSplashWnd::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!fileBitmap_.isNull())
    painter.drawImage(QPoint(0, 0), fileBitmap_);
  else
    painter.drawPixmap(0, 0, picture_);
}

bool CSplashWnd::eventFilter(QObject*, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::KeyPress || type == QEvent::MouseButtonPress ||
      type == QEvent::NonClientAreaMouseButtonPress)
    // After the press has been handled as usual.
    QMetaObject::invokeMethod(this, &CSplashWnd::HideSplashScreen, Qt::QueuedConnection);
  return false;  // the press is still handled as usual
}

void CSplashWnd::HideSplashScreen() {
  if (gCurrent != this) return;
  closeTimer_->stop();
  qApp->removeEventFilter(this);
  gCurrent = nullptr;
  QWidget* owner = parentWidget();
  close();
  if (owner) owner->repaint();
}

QPixmap DrawSplashPicture() {
  const QSize size(480, 300);
  QPixmap pixmap(size);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, size.height());
  sky.setColorAt(0, QColor(0x1F, 0x4E, 0x79));
  sky.setColorAt(1, QColor(0x6F, 0xA8, 0xDC));
  p.fillRect(pixmap.rect(), sky);
  // A stack of three sheets, the program's emblem.
  for (int i = 2; i >= 0; --i) {
    const QRectF sheet(48 + i * 12, 70 + i * 12, 110, 140);
    p.setPen(QPen(QColor(0x20, 0x30, 0x40), 2));
    p.setBrush(i == 0 ? QColor(Qt::white) : QColor(0xE8, 0xEE, 0xF4));
    p.drawRect(sheet);
  }
  p.setPen(QPen(QColor(0x9F, 0xB6, 0xCD), 3));
  for (int line = 0; line < 5; ++line) p.drawLine(QPointF(62, 96 + line * 20), QPointF(144, 96 + line * 20));
  p.setPen(Qt::white);
  QFont title(QStringLiteral("Noto Sans CJK JP"));
  title.setPixelSize(44);
  title.setBold(true);
  p.setFont(title);
  p.drawText(QRect(190, 90, 280, 60), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("ブリンデル"));
  QFont sub(QStringLiteral("Noto Sans CJK JP"));
  sub.setPixelSize(18);
  p.setFont(sub);
  p.drawText(QRect(192, 150, 280, 30), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("文書ファイリング  3.0"));
  return pixmap;
}
