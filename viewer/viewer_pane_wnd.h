#pragma once
// ViewerPaneWnd: the container of the viewer's three panes (image,
// registration information, attached text). It shows one of four layouts,
// lets the user drag the two splitters of the tile layout and frames the
// active pane in red.
//
//   SetMode, ShowPanes, SetActivePane   what the frame sets
//   SetSplitPositions, splitX, splitY   thousandths of the client size
//   LayoutPanes                         the geometry rule of each layout
//
// The splitter tracker is overlay state painted over the container while a
// drag runs.

#include <QWidget>

class AttachedTextPane;
class ImageView;
class InfoPane;

class ViewerPaneWnd : public QWidget {
  Q_OBJECT

 public:
  enum Layout { kLayoutImage = 1, kLayoutText = 2, kLayoutInfo = 3, kLayoutTile = 4 };
  enum Pane { kPaneImage = 1, kPaneInfo = 2, kPaneText = 3 };
  static constexpr int kTextPaneId = 0xE804;
  static constexpr int kInfoPaneId = 0xE805;
  static constexpr int kImagePaneId = 0xE806;
  static constexpr int kMargin = 8;
  static constexpr int kMinLeft = 188;  // pixels of the image pane beside the vertical bar
  static constexpr int kMinTop = 100;   // pixels of the text pane above the horizontal bar
  static constexpr int kGrip = 4;       // pixels either side of a bar that grip it

  explicit ViewerPaneWnd(QWidget* parent = nullptr);

  ImageView* imageView() const { return image_; }
  InfoPane* infoPane() const { return info_; }
  AttachedTextPane* textPane() const { return text_; }

  void SetMode(int layout);
  int mode() const { return layout_; }
  void ShowPanes(bool show);
  void SetActivePane(int pane);
  int activePane() const { return active_; }
  void SetSplitPositions(int posX, int posY);
  int splitX() const { return posX_; }
  int splitY() const { return posY_; }
  void LayoutPanes();
  bool dragging() const { return dragX_ || dragY_; }
  QRect trackerRect() const;
  // The frame colour around a pane (red for the active one in the tile
  // layout); invalid when no frame is drawn.
  QColor frameColour(int pane) const;

 signals:
  void activePaneChanged(int pane);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QWidget* paneWidget(int pane) const;
  int minBottomGap() const;
  void updateCursor(QPoint at);

  ImageView* image_ = nullptr;
  InfoPane* info_ = nullptr;
  AttachedTextPane* text_ = nullptr;
  int layout_ = kLayoutTile;
  int active_ = kPaneImage;
  int posX_ = 500;
  int posY_ = 500;
  int barX_ = 0;  // the bars in client pixels, from the last layout
  int barY_ = 0;
  bool shown_ = false;
  bool dragX_ = false;
  bool dragY_ = false;
  int trackX_ = 0;
  int trackY_ = 0;
  QWidget* focusBeforeDrag_ = nullptr;
};
