#pragma once
// ImageView: the image pane of the viewer. It hosts its own imaging-control
// instance, which holds the page; the view paints the page itself, scaled to
// one of eighteen zoom steps inside a scroll area, and turns the mouse into
// the current tool's action (drag the image, zoom by clicks).
//
//   LoadImage, Clear                      a page in, everything out
//   ZoomPercent, FitStep, FitWholeStep    the zoom steps and the fits
//   SetZoom                               a step, optionally about a point
//   ClientToImagePoint, ImageToClientRect the one conversion between the two
//   OnCommand, CommandEnabled             tools, fits and the grey display
//   BuildImageContextMenu                 拡大 / 縮小 at a point
//
// 1-bit pages shown below 100 percent are averaged into grey levels (the
// control's grey-scale display property, 8, not 0): a scanned page read at
// 20 percent keeps its strokes instead of losing every other line. The
// scaled picture is made once per zoom step; at 100 percent and above the
// page's pixels are drawn directly, only the part in view.

#include "catalogue/ann_box.h"
#include "catalogue/catalogue_records.h"

#include <QAbstractScrollArea>
#include <QFont>
#include <QImage>
#include <QPoint>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class AnnBoxWnd;
class CImageCtrl;
class FolderDatabase;
class QMenu;
class QPainter;

class ImageView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  static constexpr int kControlId = 2000;
  static constexpr int kStepCount = 18;
  static constexpr int kHundredPercentStep = 12;
  static constexpr int kMinZoomedSide = 32;  // pixels: a zoom out stops above this
  static constexpr int kWheelStep = 30;      // pixels per wheel turn
  enum State { kNoImage = 0, kEditable = 1, kReadOnly = 2 };
  enum Tool {
    kToolDrag = 1, kToolZoom = 3, kToolOcr = 5, kToolTrim = 6, kToolInvert = 7, kToolFillWhite = 8, kToolFillBlack = 9
  };
  static bool IsRegionTool(int tool) { return tool == kToolOcr || (tool >= kToolTrim && tool <= kToolFillBlack); }

  explicit ImageView(QWidget* parent = nullptr);
  ~ImageView() override;

  // Loads page 1 of the item's file (folder without trailing slash).
  void LoadImage(const std::string& folder, const ItemInfo& item);
  void Clear();

  static int ZoomPercent(int step);
  // The width fit (swap the sizes for the height fit); scrollBarExtent is
  // the thickness of a vertical scroll bar.
  static int FitStep(int imageWidth, int imageHeight, int clientWidth, int clientHeight, int scrollBarExtent);
  int FitWholeStep() const;
  int FitWidthStep() const;
  int FitHeightStep() const;
  int SetZoom(int step, bool aboutPoint = false, int x = 0, int y = 0);

  QPoint ClientToImagePoint(QPoint client) const;
  QRect ImageToClientRect(const QRect& image) const;
  // The scroll position of the zoomed image (negative while it is centred).
  QPoint ScrollPosition() const;

  void OnCommand(int commandId);
  bool CommandEnabled(int commandId) const;
  bool CommandChecked(int commandId) const;
  QMenu* BuildImageContextMenu(QPoint at);

  int state() const { return state_; }
  int zoomStep() const { return zoom_; }
  int tool() const { return tool_; }
  bool hasImage() const;
  bool imageChanged() const { return imageChanged_; }
  bool annotationChanged() const { return annotationChanged_; }
  int formatCode() const { return format_; }
  int bitsPerPixel() const { return bits_; }
  QSize imageSize() const;
  int xResolution() const;
  int yResolution() const;
  short grayScaling() const;
  void SetGrayScaling(short value);
  CImageCtrl* control() const { return ctrl_; }
  const std::string& path() const { return path_; }
  // The page's file was renamed under the view.
  void PageRenamed(const std::string& oldFile, const std::string& newFile) {
    if (path_ == oldFile) path_ = newFile;
  }
  // Refused zooms and steps beyond the ends.
  int beeps() const { return beeps_; }
  // Saves annotations and image; false: nothing was saved.
  bool Save() { return SaveDocument(); }
  bool SaveDocument();

  // ---- image commands (image_edit.cpp) ----
  enum UndoState { kNoUndo = 0, kCanUndo = 1, kCanRedo = 2 };
  // Each returns false when it changed nothing (refused, cancelled, failed).
  bool ChangeResolution(int dpi);
  bool RotateBy(double degrees);
  bool Deskew();
  bool Binarise();
  bool GreyScale();
  bool Despeckle();
  bool Trim(const QRect& region);
  bool InvertRegion(const QRect& region);  // asks first
  bool FillRegion(const QRect& region, bool white);  // asks first
  // Recognises the region's text (viewer/image_ocr.cpp): the region as a
  // black-and-white BMP, read by the OCR settings dialog; on OK its text
  // goes out with ocrTextRecognised. dialogRunner replaces the dialog's
  // exec (tests).
  bool RecogniseRegion(const QRect& region);
  void SetOcrDialogRunner(std::function<int(QDialog&)> runner) { ocrDialogRunner_ = std::move(runner); }
  bool Undo();
  // A region drawn with tool 6-9 (image pixels): trim after the trim
  // dialog, invert, fill white or black.
  bool RegionToolCommand(int tool, const QRect& region);
  // Asks before a trim, showing the region's image (tests answer instead).
  void SetTrimConfirmation(std::function<bool(std::int32_t imageHandle)> confirm) { confirmTrim_ = std::move(confirm); }
  int undoState() const { return undoState_; }
  // Format codes of the control that can hold 1 bit, and 8-bit grey.
  static bool FormatHoldsOneBit(int format);
  static bool FormatHoldsGrey(int format);
  // The folder of the undo file (the program's "tmp" work folder by default).
  void SetWorkFolder(const std::string& folder) { workFolder_ = folder; }
  std::string UndoFilePath() const;

  // ---- annotations (annotations.cpp) ----
  struct Annotation {
    AnnBox box;
    QRect backupRect;  // for undo
    int backupFontSize = 0;
    int backupParam1 = 0;  // an arrow's tip corner, which a turn moves
    bool deleted = false;
    QRect rect() const { return QRect(QPoint(box.BoxLeft, box.BoxTop), QPoint(box.BoxRight, box.BoxBottom)); }
    void setRect(const QRect& r);
  };
  void SetFolderDatabase(FolderDatabase* db) { db_ = db; }
  void LoadAnnotations();
  const std::vector<Annotation>& annotations() const { return annotations_; }
  // A new annotation (the tools' result); no image change can be undone past it.
  int AddAnnotation(const AnnBox& box);
  void MoveAnnotation(int index, const QRect& imageRect);
  void DeleteAnnotation(int index);

  // ---- annotation windows (the user's hold on the annotations) ----
  AnnBox& AnnotationBox(int index);
  AnnBoxWnd* annotationWindow(int index) const;
  void DeselectAnnotations(AnnBoxWnd* except = nullptr);
  // The pointer's shape over the image for a tool.
  static Qt::CursorShape ToolCursor(int tool);
  // The imaging work's progress event (percent done).
  void OnImageProgress(int percent);
  void MarkAnnotationChanged();
  // client: viewport pixels; the view converts to image pixels.
  void SetAnnotationClientRect(int index, const QRect& client);
  void MoveAnnotationBy(int index, QPoint clientOffset);
  AnnBoxWnd* editingAnnotation() const { return editing_; }
  void SetEditingAnnotation(AnnBoxWnd* window) { editing_ = window; }
  QFont AnnotationFontAtZoom(const AnnBox& box) const;
  // The viewer's edit commands: to an annotation's text while it is edited,
  // else undo of the image.
  bool EditCommand(int commandId);
  bool EditCommandEnabled(int commandId) const;

 signals:
  void activated();
  void zoomChanged(int step);
  // The view changed its tool by itself (after a trim, after an annotation
  // was drawn): the bars' pressed buttons follow.
  void toolChanged();
  // The status bar's prompt for the current tool; empty: the idle text.
  void prompt(const QString& text);
  // Text read from a region: target 0 the attached text, 1 the comment.
  void ocrTextRecognised(const QString& text, int target);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void paintAnnotations(QPainter& painter);
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void beep();
  void loadFailed(const char* message);
  QSize zoomedSize(int step) const;
  void updateScrollRanges();
  const QImage& displayImage();

  CImageCtrl* ctrl_ = nullptr;  // a child of the view
  std::string path_;
  int state_ = kEditable;
  int zoom_ = kHundredPercentStep;
  int tool_ = kToolDrag;
  int progressKind_ = 0;
  int progressShown_ = -1;
  int previousTool_ = kToolDrag;
  bool imageChanged_ = false;
  bool annotationChanged_ = false;
  int format_ = 0;
  int bits_ = 0;
  int quality_ = 2;
  int beeps_ = 0;
  bool dragging_ = false;
  bool banding_ = false;
  QPoint bandStart_;
  QPoint bandEnd_;
  std::function<bool(std::int32_t)> confirmTrim_;
  std::function<int(QDialog&)> ocrDialogRunner_;
  QPoint dragStart_;
  QPoint dragScrollStart_;
  // Kinds of work whose progress the status bar shows.
  enum ProgressKind {
    kProgressInvert = 7,
    kProgressFillWhite = 8,
    kProgressFillBlack = 9,
    kProgressRotate = 30,
    kProgressResolution = 31,
    kProgressBinarise = 32,
    kProgressGrey = 33,
    kProgressDeskew = 34,
    kProgressDespeckle = 35,
  };
  bool beginChange(bool sizeChange, int progressKind);
  void endChange();
  bool regionCommand(const QRect& region, int kind);
  // Moves the annotations with a page turned clockwise by `degrees` about its
  // centre from `before` to `after` in size.
  void turnAnnotations(double degrees, const QSize& before, const QSize& after);
  bool saveImage();
  void rebuildThumbnail();
  bool saveAnnotations();
  void deleteUndoFiles();

  FolderDatabase* db_ = nullptr;
  int itemNo_ = 0;
  std::vector<Annotation> annotations_;
  std::vector<AnnBoxWnd*> windows_;  // children of the viewport, one per record
  AnnBoxWnd* editing_ = nullptr;
  void syncAnnotationWindows();
  void recentreStrayAnnotations();
  void destroyAnnotationWindows();
  int loadedAnnotations_ = 0;
  int undoState_ = kNoUndo;
  bool undoSizeChanged_ = false;
  std::string workFolder_;
  QImage page_;      // the held page, as loaded
  QImage smoothed_;  // page_ at the current zoom, when below 100 percent
  int smoothedStep_ = 0;
};
