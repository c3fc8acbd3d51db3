#pragma once
// The wait dialog's animation: a ring of dots turning while it plays.

#include <QWidget>

#include <memory>

namespace platform {
class Timer;
}

class BusyAnimation : public QWidget {
  Q_OBJECT
 public:
  explicit BusyAnimation(QWidget* parent = nullptr);
  ~BusyAnimation() override;
  void play();
  void stop();
  bool isPlaying() const;
  QSize sizeHint() const override { return {48, 48}; }

 protected:
  void paintEvent(QPaintEvent*) override;
  // A hidden animation stops: nobody sees it turn.
  void hideEvent(QHideEvent*) override { stop(); }

 private:
  std::unique_ptr<platform::Timer> timer_;
  int frame_ = 0;
};
