#pragma once
// The wait dialog's animation: a ring of dots turning while it plays.

#include <QWidget>

class QTimer;

class BusyAnimation : public QWidget {
  Q_OBJECT
 public:
  explicit BusyAnimation(QWidget* parent = nullptr);
  void play();
  void stop();
  bool isPlaying() const;
  QSize sizeHint() const override { return {48, 48}; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QTimer* timer_;
  int frame_ = 0;
};
