#include "platform/clock.h"

#include <QElapsedTimer>

#include <mutex>

namespace platform {
namespace {
std::mutex gMutex;
std::optional<QDateTime> gFixed;
std::function<std::int64_t()> gMonotonic;
}  // namespace

QDateTime now() {
  std::lock_guard lock(gMutex);
  return gFixed ? *gFixed : QDateTime::currentDateTime();
}

int toYmd(const QDate& date) { return date.year() * 10000 + date.month() * 100 + date.day(); }

QDate fromYmd(int ymd) { return QDate(ymd / 10000, (ymd / 100) % 100, ymd % 100); }

int todayYmd() { return toYmd(now().date()); }

void setFixedNowForTests(std::optional<QDateTime> moment) {
  std::lock_guard lock(gMutex);
  gFixed = std::move(moment);
}

std::int64_t monotonicMs() {
  {
    std::lock_guard lock(gMutex);
    if (gMonotonic) return gMonotonic();
  }
  static const QElapsedTimer started = [] {
    QElapsedTimer timer;
    timer.start();
    return timer;
  }();
  return started.elapsed();
}

void setMonotonicClockForTests(std::function<std::int64_t()> clock) {
  std::lock_guard lock(gMutex);
  gMonotonic = std::move(clock);
}

}  // namespace platform
