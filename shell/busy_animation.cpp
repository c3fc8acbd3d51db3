#include "shell/busy_animation.h"

#include "platform/timer_source.h"

#include <QPainter>

#include <cmath>

namespace {
constexpr int kDots = 8;
constexpr int kFrameMs = 100;
}  // namespace

BusyAnimation::BusyAnimation(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("ctl10571"));
  timer_ = platform::createTimer(
      [this] {
        frame_ = (frame_ + 1) % kDots;
        update();
      },
      true);
}

BusyAnimation::~BusyAnimation() = default;

void BusyAnimation::play() { timer_->start(kFrameMs); }
void BusyAnimation::stop() { timer_->stop(); }
bool BusyAnimation::isPlaying() const { return timer_->isActive(); }

void BusyAnimation::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF centre(width() / 2.0, height() / 2.0);
  const double radius = std::min(width(), height()) / 2.0 - 5;
  QColor colour = palette().color(QPalette::Highlight);
  for (int i = 0; i < kDots; ++i) {
    const double angle = 2 * M_PI * i / kDots - M_PI / 2;
    const int age = (frame_ - i + kDots) % kDots;
    colour.setAlphaF(1.0 - age / double(kDots));
    p.setBrush(colour);
    p.setPen(Qt::NoPen);
    p.drawEllipse(centre + QPointF(std::cos(angle), std::sin(angle)) * radius, 4, 4);
  }
}
