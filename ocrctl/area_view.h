#pragma once
// The control's window: the page at the display scale with a numbered
// frame for every recognition area.  The user draws an area with the left
// button, clicks another one active, moves or resizes the active one by
// its inside, edges and corners, deletes it with Delete and renumbers an
// area through its context menu.  A drag that leaves the window scrolls
// the page on a timer.
//
// Display coordinates are the viewport's: image / scale - scroll.
#include "ocrctl/ocr_control.h"

#include <QAbstractScrollArea>
#include <QMenu>
#include <QTimer>

#include <memory>
#include <vector>

class QPainter;

namespace ocrctl {

// Drag modes and hit-test codes: where a point lies against the active
// area's frame.
namespace hit {
inline constexpr int kOutside = 0;
inline constexpr int kNew = 1;  // in the window, off the active area: draws a new one
inline constexpr int kInside = 2;
inline constexpr int kTopLeft = 3;
inline constexpr int kBottomLeft = 4;
inline constexpr int kTopRight = 5;
inline constexpr int kBottomRight = 6;
inline constexpr int kLeft = 7;
inline constexpr int kRight = 8;
inline constexpr int kTop = 9;
inline constexpr int kBottom = 10;
}  // namespace hit

// Where `point` lies against `frame` (display pixels, tolerance 5), inside
// a client area of `client`; `frame` empty when no area is active.
int hitTest(const QPoint& point, const QRect& frame, const QRect& client);

// The context menu of the areas: one item per area, its number as text,
// the item of area `checked` (from 0) checked; the item's data is the
// area's index. The menu's first actions are the areas'; they are shown as
// a grid of buttons in columns of kAreaMenuColumnLength.
inline constexpr int kAreaMenuColumnLength = 10;
std::unique_ptr<QMenu> buildAreaMenu(const AreaList& areas, int checked, QWidget* parent);

class AreaView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit AreaView(OcrControl& control, QWidget* parent = nullptr);
  ~AreaView() override;

  // The page, the scale or the areas changed: scroll ranges and picture.
  void refresh();
  // Display rectangle of an image rectangle.
  QRect toDisplay(const QRect& image) const;

  // The frames of the lines read by the current run, inverted over the page.
  void addLineFrame(const QRect& frame);
  void clearLineFrames();
  const std::vector<QRect>& lineFrames() const { return lineFrames_; }

  // What a drag is doing, for tests and the painting.
  QRect trackingRect() const;
  int autoScrollDirection() const { return autoScroll_; }
  QTimer& autoScrollTimer() { return autoScrollTimer_; }
  // One tick of the auto-scroll (the timer's slot, driven by tests).
  void autoScrollStep();
  // The open context menu, if any.
  QMenu* areaMenu() const { return menu_.get(); }
  // Scrolls so that the highlighted character shows (no event).
  void showHighlight();

 signals:
  void areaCreated(int number, const QRect& image);
  void areaDeleted(int number);
  void areaModified(int number, const QRect& image);
  void activeAreaChanged(int number);
  void areaNoChanged(int oldNumber, int newNumber);
  void viewScrolled(int bar, int amount);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  void updateRanges();
  void setOffsetsQuietly(int x, int y);
  void scrolled(int bar, int value);
  QRect activeFrame() const;
  int areaAt(const QPoint& display) const;
  QRect toImage(const QRect& display) const;
  void adjustTracking(int mode, const QPoint& point);
  void updateCursor(const QPoint& point);
  void chooseMenuItem(int index);
  void stopAutoScroll();
  void paintLibraryOverlay(QPainter& painter);

  OcrControl& control_;
  std::vector<QRect> lineFrames_;
  int dragMode_ = hit::kNew;
  bool capture_ = false;
  // The tracking rectangle (display pixels), corners as dragged: x1/y1 may
  // lie right of or below x2/y2 until the button is released.
  int track_[4] = {-1, -1, -1, -1};
  QPoint last_;
  int autoScroll_ = 0;  // 1 right, 2 left, 4 down, 8 up
  QTimer autoScrollTimer_;
  bool quiet_ = false;
  std::unique_ptr<QMenu> menu_;
  int menuArea_ = -1;  // number from 1 of the area whose menu is open
};

}  // namespace ocrctl
