#pragma once
// The picture shown over the main window while the program starts. It
// closes itself after 1500 ms, or at the first key or mouse-button press
// anywhere in the program (the press is still handled as usual).
//
//   CSplashWnd::EnableSplashScreen   set by start-up
//   CSplashWnd::ShowSplashScreen     called by the frame while it is created
//   CSplashWnd::Current              the open splash window, or nullptr
//
// The picture is our own, drawn at run time; a "Splash40" bitmap in the
// program folder replaces it.

#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <memory>

namespace platform {
class Timer;
}

class CSplashWnd : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kCloseAfterMs = 1500;

  static void EnableSplashScreen(bool enable);
  static void ShowSplashScreen(QWidget* parent);
  static CSplashWnd* Current();
  ~CSplashWnd() override;

  // The picture that is painted: the file bitmap when one was read.
  const QImage& fileBitmap() const { return fileBitmap_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  explicit CSplashWnd(QWidget* parent);
  void HideSplashScreen();

  std::unique_ptr<platform::Timer> closeTimer_;
  QPixmap picture_;
  QImage fileBitmap_;
};

// The built-in splash picture.
QPixmap DrawSplashPicture();
