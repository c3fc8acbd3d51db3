#pragma once
// Runs the event loop until a condition holds or the time is up.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

template <typename Condition>
bool waitUntil(Condition condition, int timeoutMs = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!condition()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(2);
  }
  return true;
}
