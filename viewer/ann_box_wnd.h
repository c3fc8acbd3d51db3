#pragma once
// AnnBoxWnd: the window of one annotation over the image view's viewport.
// The view paints what the annotation shows; the window is how the user
// takes hold of it with the annotation tool (tool 20): select, move and
// resize by its corners, delete, edit the text of a text or link box in
// place, and change its settings from its context menu (menu 148). A double
// click on a link box opens its address.
//
// The window keeps no copy of the annotation: it refers to its record in
// the view by index, and asks the view to move or resize it, since the view
// alone converts between client and image pixels.

#include <QColor>
#include <QPlainTextEdit>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include <functional>
#include <optional>

class ImageView;
class QMenu;
struct AnnBox;

// The in-place text edit. The queries of the edit commands answer whether
// the operation is possible; without the query it is performed.
class AnnBoxEdit : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit AnnBoxEdit(QWidget* parent);
  // commandId: one of the viewer's edit commands (cut ... select all, undo).
  bool EditCommand(int commandId, bool query);

 signals:
  void focusLost();

 protected:
  void focusOutEvent(QFocusEvent* event) override;
};

class AnnBoxWnd : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kHandle = 12;      // pixels: the corner squares
  static constexpr int kFrameMargin = 6;  // pixels the window grows by while its frame shows
  // Commands of menu 148.
  enum Command {
    kDelete = 0xC08,
    kEdit = 0xC09,
    kForeColor = 0xC0A,
    kBackColor = 0xC0B,
    kFont = 0xC0C,
    kFontSize8 = 0xC0D,   // ... kFontSize72 = 0xC13
    kMarkerYellow = 0xC1C,  // ... 0xC21
    kArrowUpperLeft = 0xC26,  // ... 0xC29
    kArrowWidth1 = 0xC30,  // ... 0xC37
  };

  AnnBoxWnd(ImageView* view, int index, QWidget* parent);
  ~AnnBoxWnd() override;

  int index() const { return index_; }
  const AnnBox& box() const;
  bool selected() const { return selected_; }
  bool frameShown() const { return frameShown_; }
  bool editing() const;
  bool tracking() const { return tracking_; }
  QRect trackerRect() const { return tracker_; }  // viewport pixels
  AnnBoxEdit* edit() const { return edit_; }

  // The view places the window over the box's client rectangle.
  void Place(const QRect& client);
  void Select();
  void Deselect();
  void ShowFrame(bool show);
  void Delete();
  void StartEdit();
  void CommitEdit();
  // The popup of the box's kind with the current values checked.
  QMenu* BuildContextMenu();
  void OnCommand(int commandId);

  // How colours and fonts are chosen (tests replace the dialogs): nullopt
  // when the user cancels.
  using ColorChooser = std::function<std::optional<QColor>(QColor initial, const QString& caption)>;
  using FontChooser = std::function<std::optional<std::pair<QFont, QColor>>(const QFont& initial, QColor color)>;
  static void SetColorChooser(ColorChooser chooser);
  static void SetFontChooser(FontChooser chooser);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  AnnBox& mutableBox();
  bool selectTool() const;
  void forward(QMouseEvent* event);
  int cornerAt(QPoint local) const;
  void changed();
  void fitLinkToText();
  void linkTextEdited();

  ImageView* view_;
  int index_;
  AnnBoxEdit* edit_ = nullptr;
  QRect client_;  // the box in viewport pixels, as last placed
  bool selected_ = false;
  bool frameShown_ = false;
  bool buttonDown_ = false;
  bool moved_ = false;
  bool tracking_ = false;
  int grabbed_ = 0;  // 0 the whole box, 1-4 the corners
  QPoint grab_;      // viewport pixels
  QRect start_;
  QRect tracker_;
};
