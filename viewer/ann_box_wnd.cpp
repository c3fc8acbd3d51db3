#include "viewer/ann_box_wnd.h"

#include "catalogue/ann_box.h"
#include "viewer/annotation_tools.h"
#include "viewer/image_view.h"
#include "viewer/viewer_commands.h"
#include "viewer/viewer_dialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDialog>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

#include <array>

namespace {

AnnBoxWnd::ColorChooser& colorChooser() {
  static AnnBoxWnd::ColorChooser chooser = [](QColor initial, const QString& caption) -> std::optional<QColor> {
    ViewerColorDialog dialog(initial, caption, QApplication::activeWindow());
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.selectedColor();
  };
  return chooser;
}

AnnBoxWnd::FontChooser& fontChooser() {
  static AnnBoxWnd::FontChooser chooser = [](const QFont& initial,
                                             QColor color) -> std::optional<std::pair<QFont, QColor>> {
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, initial, QApplication::activeWindow());
    if (!ok) return std::nullopt;
    return std::make_pair(font, color);
  };
  return chooser;
}

constexpr std::array<int, 7> kFontSizes = {8, 12, 16, 24, 36, 48, 72};
// Marker colours of 0xc1c-0xc21 (COLORREF, red in the low byte).
constexpr std::array<std::int32_t, 6> kMarkerColors = {0x00FFFF, 0xFFFF00, 0xFF0000, 0x00FF00, 0x0000FF, 0xFF00FF};

QString hexName(int id) { return QStringLiteral("cmd%1").arg(id, 0, 16); }

}  // namespace

// ---- the in-place edit ------------------------------------------------------------

AnnBoxEdit::AnnBoxEdit(QWidget* parent) : QPlainTextEdit(parent) {
  setFrameShape(QFrame::Box);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void AnnBoxEdit::focusOutEvent(QFocusEvent* event) {
  QPlainTextEdit::focusOutEvent(event);
  // A context menu of the edit itself takes the focus only for a moment.
  if (event->reason() != Qt::PopupFocusReason) emit focusLost();
}

bool AnnBoxEdit::EditCommand(int commandId, bool query) {
  const bool selection = textCursor().hasSelection();
  switch (commandId) {
    case vcmd::kEditCut:
      if (query || !selection) return selection;
      cut();
      return true;
    case vcmd::kEditCopy:
      if (query || !selection) return selection;
      copy();
      return true;
    case vcmd::kEditDelete:
      if (query || !selection) return selection;
      textCursor().removeSelectedText();
      return true;
    case vcmd::kEditPaste: {
      const QMimeData* data = QApplication::clipboard()->mimeData();
      const bool text = data != nullptr && data->hasText();
      if (query || !text) return text;
      paste();
      return true;
    }
    case vcmd::kEditSelectAll:
      if (query || document()->isEmpty()) return !document()->isEmpty();
      selectAll();
      ensureCursorVisible();
      return true;
    case vcmd::kEditUndo:
      if (query || !document()->isUndoAvailable()) return document()->isUndoAvailable();
      undo();
      return true;
    default:
      return false;
  }
}

// ---- the annotation window --------------------------------------------------------

void AnnBoxWnd::SetColorChooser(ColorChooser chooser) { colorChooser() = std::move(chooser); }
void AnnBoxWnd::SetFontChooser(FontChooser chooser) { fontChooser() = std::move(chooser); }

AnnBoxWnd::AnnBoxWnd(ImageView* view, int index, QWidget* parent) : QWidget(parent), view_(view), index_(index) {
  setObjectName(QStringLiteral("annBox%1").arg(3500 + index));
  setFocusPolicy(Qt::ClickFocus);
  setMouseTracking(false);
  edit_ = new AnnBoxEdit(this);
  edit_->hide();
  connect(edit_, &AnnBoxEdit::focusLost, this, [this] {
    if (editing()) CommitEdit();
  });
  connect(edit_, &QPlainTextEdit::textChanged, this, [this] {
    if (editing() && box().AnnType == 4) linkTextEdited();
  });
}

AnnBoxWnd::~AnnBoxWnd() {
  // The edit may lose the focus while the children go: nothing to commit then.
  QObject::disconnect(edit_, nullptr, this, nullptr);
}

const AnnBox& AnnBoxWnd::box() const { return view_->annotations()[static_cast<std::size_t>(index_)].box; }
AnnBox& AnnBoxWnd::mutableBox() { return view_->AnnotationBox(index_); }
bool AnnBoxWnd::editing() const { return edit_->isVisible() || view_->editingAnnotation() == this; }
bool AnnBoxWnd::selectTool() const { return view_->tool() == anntool::kSelect; }

void AnnBoxWnd::Place(const QRect& client) {
  client_ = client;
  setGeometry(frameShown_ ? client.adjusted(-kFrameMargin, -kFrameMargin, kFrameMargin, kFrameMargin) : client);
  if (edit_->isVisible()) edit_->setGeometry(QRect(QPoint(frameShown_ ? kFrameMargin : 0, frameShown_ ? kFrameMargin : 0),
                                                   client.size()));
}

void AnnBoxWnd::ShowFrame(bool show) {
  if (frameShown_ == show) return;
  frameShown_ = show;
  Place(client_);
  if (show) {
    raise();
    setFocus(Qt::OtherFocusReason);
  }
  update();
  view_->viewport()->update();
}

void AnnBoxWnd::Select() {
  view_->DeselectAnnotations(this);
  selected_ = true;
  buttonDown_ = false;
  moved_ = false;
  ShowFrame(true);
}

void AnnBoxWnd::Deselect() {
  selected_ = false;
  buttonDown_ = false;
  moved_ = false;
  tracking_ = false;
  ShowFrame(false);
}

void AnnBoxWnd::changed() { view_->MarkAnnotationChanged(); }

void AnnBoxWnd::Delete() {
  if (selected_) Deselect();
  view_->DeleteAnnotation(index_);
  hide();
}

// ---- painting: the handles of a selected box; the view paints the box ----------------

void AnnBoxWnd::paintEvent(QPaintEvent*) {
  if (!frameShown_) return;
  QPainter painter(this);
  painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
  painter.drawRect(rect().adjusted(kFrameMargin / 2, kFrameMargin / 2, -kFrameMargin / 2 - 1, -kFrameMargin / 2 - 1));
  painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  const QRect r = rect();
  for (const QPoint corner : {r.topLeft(), QPoint(r.right() - kHandle + 1, r.top()),
                              QPoint(r.left(), r.bottom() - kHandle + 1),
                              QPoint(r.right() - kHandle + 1, r.bottom() - kHandle + 1)})
    painter.fillRect(QRect(corner, QSize(kHandle, kHandle)), Qt::white);
}

// ---- mouse: selection, moving and resizing ---------------------------------------------

void AnnBoxWnd::forward(QMouseEvent* event) {
  const QPointF at = mapTo(view_->viewport(), event->position().toPoint());
  QMouseEvent copy(event->type(), at, view_->viewport()->mapToGlobal(at), event->button(), event->buttons(),
                   event->modifiers());
  QApplication::sendEvent(view_->viewport(), &copy);
}

int AnnBoxWnd::cornerAt(QPoint local) const {
  const QRect r = rect();
  if (QRect(r.topLeft(), QSize(kHandle, kHandle)).contains(local)) return 1;
  if (QRect(QPoint(r.right() - kHandle + 1, r.top()), QSize(kHandle, kHandle)).contains(local)) return 2;
  if (QRect(QPoint(r.left(), r.bottom() - kHandle + 1), QSize(kHandle, kHandle)).contains(local)) return 3;
  if (QRect(QPoint(r.right() - kHandle + 1, r.bottom() - kHandle + 1), QSize(kHandle, kHandle)).contains(local))
    return 4;
  return 0;
}

void AnnBoxWnd::mousePressEvent(QMouseEvent* event) {
  if (editing()) return;
  const QPoint local = event->position().toPoint();
  const QPoint at = mapTo(view_->viewport(), local);
  if (event->button() == Qt::RightButton) {
    if (selectTool() && !selected_) Select();
    else if (!selectTool()) forward(event);
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  if (!selectTool()) return forward(event);
  emit view_->activated();
  if (!selected_) {
    Select();
    buttonDown_ = true;
    grab_ = at;
    grabbed_ = 0;
    return;
  }
  grabbed_ = cornerAt(local);
  grab_ = at;
  buttonDown_ = true;
  moved_ = false;
}

void AnnBoxWnd::mouseMoveEvent(QMouseEvent* event) {
  if (!selectTool() && !selected_) return forward(event);
  if (!buttonDown_) return;
  const QPoint at = mapTo(view_->viewport(), event->position().toPoint());
  if (!moved_) {
    if (at == grab_) return;
    moved_ = true;
    start_ = client_;
    ShowFrame(false);
    tracking_ = true;
  }
  const QRect next = grabbed_ == 0 ? start_.translated(at - grab_) : ResizedBox(start_, grabbed_ - 1, at);
  if (next != tracker_) {
    tracker_ = next;
    view_->viewport()->update();
  }
}

void AnnBoxWnd::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    if (event->button() == Qt::RightButton && !selectTool()) forward(event);
    return;
  }
  if (!selected_ || !buttonDown_) {
    if (!selectTool()) forward(event);
    return;
  }
  buttonDown_ = false;
  const QPoint at = mapTo(view_->viewport(), event->position().toPoint());
  if (moved_) {
    moved_ = false;
    tracking_ = false;
    view_->viewport()->update();
    if (grabbed_ != 0) {
      view_->SetAnnotationClientRect(index_, ResizedBox(start_, grabbed_ - 1, at));
    } else if (view_->viewport()->rect().contains(at) && at != grab_) {
      view_->MoveAnnotationBy(index_, at - grab_);
    }
  }
  ShowFrame(true);
}

void AnnBoxWnd::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  switch (box().AnnType) {
    case 4:  // a link opens, selected or not
      if (selected_) Deselect();
      OpenLinkAddress(QString::fromStdString(box().BoxString));
      return;
    case 0:
      if (selected_ && selectTool()) StartEdit();
      return;
    case 1:
      if (selected_) return;
      break;
    default:
      break;
  }
  forward(event);
}

void AnnBoxWnd::keyPressEvent(QKeyEvent* event) {
  if (selected_ && (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace)) {
    Delete();
    return;
  }
  QWidget::keyPressEvent(event);
}

void AnnBoxWnd::contextMenuEvent(QContextMenuEvent* event) {
  const QPoint at = mapTo(view_->viewport(), event->pos());
  const QRect inner = client_.adjusted(1, 1, -1, -1);  // strictly inside
  if (!selected_ || !selectTool() || !inner.contains(at)) return;
  QMenu* menu = BuildContextMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

// ---- the context menu ---------------------------------------------------------------------

QMenu* AnnBoxWnd::BuildContextMenu() {
  static constexpr const char* kKindNames[] = {"AnnTextBox", "AnnHilite", "AnnRedact", "AnnPointer", "AnnURL"};
  const AnnBox& b = box();
  const int kind = std::clamp(b.AnnType, 0, 4);
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("menu148"));
  menu->setTitle(QString::fromLatin1(kKindNames[kind]));
  const auto add = [this](QMenu* into, int id, const QString& text, bool checked = false) {
    QAction* action = into->addAction(text);
    action->setObjectName(hexName(id));
    if (checked) {
      action->setCheckable(true);
      action->setChecked(true);
    }
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    return action;
  };
  add(menu, kDelete, QStringLiteral("削除"));
  menu->addSeparator();
  const auto fontSizes = [&](QMenu* into) {
    QMenu* sizes = into->addMenu(QStringLiteral("フォントサイズ"));
    for (std::size_t i = 0; i < kFontSizes.size(); ++i)
      add(sizes, kFontSize8 + static_cast<int>(i), QString::number(kFontSizes[i]), b.FontSize == kFontSizes[i] * 10);
  };
  switch (kind) {
    case 0:
      add(menu, kEdit, QStringLiteral("編集"));
      fontSizes(menu);
      add(menu, kForeColor, QStringLiteral("文字の色"));
      add(menu, kBackColor, QStringLiteral("背景色"));
      add(menu, kFont, QStringLiteral("フォント"));
      break;
    case 1: {
      // Menu order: yellow, magenta, cyan, blue, green, red.
      const std::pair<int, const char*> markers[] = {{0, "黄色"}, {5, "マゼンダ"}, {1, "シアン"},
                                                     {2, "青"},   {3, "緑"},       {4, "赤"}};
      for (const auto& [i, text] : markers)
        add(menu, kMarkerYellow + i, QString::fromUtf8(text), b.ForeColor == kMarkerColors[static_cast<std::size_t>(i)]);
      break;
    }
    case 2:
      add(menu, kForeColor, QStringLiteral("塗りつぶしの色"));
      break;
    case 3: {
      QMenu* directions = menu->addMenu(QStringLiteral("矢印の方向"));
      const char* names[] = {"左上", "右上", "左下", "右下"};
      for (int i = 0; i < 4; ++i) add(directions, kArrowUpperLeft + i, QString::fromUtf8(names[i]), b.AnnParam1 == i + 1);
      QMenu* widths = menu->addMenu(QStringLiteral("矢印の太さ"));
      for (int i = 0; i < 8; ++i) add(widths, kArrowWidth1 + i, QString::number(i + 1), b.AnnParam2 == i + 1);
      add(menu, kForeColor, QStringLiteral("矢印の色"));
      break;
    }
    default:
      add(menu, kEdit, QStringLiteral("編集"));
      fontSizes(menu);
      add(menu, kForeColor, QStringLiteral("文字の色"));
      add(menu, kFont, QStringLiteral("フォント"));
      break;
  }
  return menu;
}

void AnnBoxWnd::OnCommand(int commandId) {
  AnnBox& b = mutableBox();
  const auto setValue = [this](std::int32_t& field, std::int32_t value) {
    if (field == value) return;
    field = value;
    changed();
    ShowFrame(true);
    ShowFrame(false);
  };
  if (commandId == kDelete) return Delete();
  if (commandId == kEdit) {
    if (b.AnnType == 0 || b.AnnType == 4) StartEdit();
    return;
  }
  if (commandId >= kFontSize8 && commandId < kFontSize8 + static_cast<int>(kFontSizes.size())) {
    const int size = kFontSizes[static_cast<std::size_t>(commandId - kFontSize8)] * 10;
    if (b.FontSize == size) return;
    b.FontSize = size;
    changed();
    if (b.AnnType == 4) {
      if (selected_) Deselect();
      fitLinkToText();
    }
    view_->viewport()->update();
    return;
  }
  if (commandId >= kMarkerYellow && commandId < kMarkerYellow + static_cast<int>(kMarkerColors.size())) {
    if (b.AnnType == 1) setValue(b.ForeColor, kMarkerColors[static_cast<std::size_t>(commandId - kMarkerYellow)]);
    return;
  }
  if (commandId >= kArrowUpperLeft && commandId <= kArrowUpperLeft + 3) {
    if (b.AnnType == 3) setValue(b.AnnParam1, commandId - kArrowUpperLeft + 1);
    return;
  }
  if (commandId >= kArrowWidth1 && commandId <= kArrowWidth1 + 7) {
    if (b.AnnType == 3) setValue(b.AnnParam2, commandId - kArrowWidth1 + 1);
    return;
  }
  if (commandId == kForeColor || commandId == kBackColor) {
    const bool back = commandId == kBackColor;
    const char* caption = back ? "背景色" : b.AnnType == 2 ? "塗りつぶしの色" : b.AnnType == 3 ? "矢印の色" : "文字の色";
    const auto chosen = colorChooser()(ColorFromRef(back ? b.BackColor : b.ForeColor), QString::fromUtf8(caption));
    if (!chosen) return;
    // Re-read: the dialog ran an event loop.
    AnnBox& now = mutableBox();
    if (back)
      setValue(now.BackColor, RefFromColor(*chosen));
    else if (now.AnnType != 1)
      setValue(now.ForeColor, RefFromColor(*chosen));
    return;
  }
  if (commandId == kFont) {
    if (selected_) Deselect();
    QFont initial = AnnotationFont(b, 72, 100);
    initial.setPointSize(std::max(1, b.FontSize / 10));
    const auto chosen = fontChooser()(initial, ColorFromRef(b.ForeColor));
    if (!chosen) return;
    AnnBox& now = mutableBox();
    const auto& [font, color] = *chosen;
    now.FontName = font.family().toStdString();
    now.FontSize = font.pointSize() > 0 ? font.pointSize() * 10 : now.FontSize;
    now.FontBold = font.weight();
    now.FontItalic = font.italic() ? 1 : 0;
    now.FontUnderline = font.underline() ? 1 : 0;
    now.FontStrikeOut = font.strikeOut() ? 1 : 0;
    now.ForeColor = RefFromColor(color);
    changed();
    if (now.AnnType == 4) fitLinkToText();
    view_->viewport()->update();
  }
}

// ---- editing the text ----------------------------------------------------------------------

void AnnBoxWnd::StartEdit() {
  const AnnBox& b = box();
  if (b.AnnType != 0 && b.AnnType != 4) return;
  if (selected_) Deselect();
  QPalette colours = edit_->palette();
  colours.setColor(QPalette::Text, ColorFromRef(b.ForeColor));
  colours.setColor(QPalette::Base, b.AnnType == 0 ? ColorFromRef(b.BackColor) : QColor(Qt::white));
  edit_->setPalette(colours);
  edit_->setFont(view_->AnnotationFontAtZoom(b));
  edit_->blockSignals(true);
  edit_->setPlainText(QString::fromStdString(b.BoxString));
  edit_->blockSignals(false);
  edit_->document()->setModified(false);
  edit_->setGeometry(rect());
  view_->SetEditingAnnotation(this);
  edit_->show();
  edit_->setFocus(Qt::OtherFocusReason);
  edit_->moveCursor(QTextCursor::End);
}

void AnnBoxWnd::linkTextEdited() {
  const QString text = edit_->toPlainText();
  if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))) return;
  edit_->blockSignals(true);
  edit_->setPlainText(OneLineLinkText(text));
  edit_->blockSignals(false);
  edit_->document()->setModified(true);
  CommitEdit();
}

void AnnBoxWnd::CommitEdit() {
  if (view_->editingAnnotation() != this) return;
  view_->SetEditingAnnotation(nullptr);
  AnnBox& b = mutableBox();
  QString text = edit_->toPlainText();
  if (b.AnnType == 4) text = OneLineLinkText(text);
  b.BoxString = StoredBoxText(text);
  if (edit_->document()->isModified()) changed();
  edit_->hide();
  if (b.AnnType == 4) fitLinkToText();
  view_->viewport()->update();
}

// A link box takes the size of its one line of text, from its top left corner.
void AnnBoxWnd::fitLinkToText() {
  const AnnBox& b = box();
  const QFontMetrics metrics(view_->AnnotationFontAtZoom(b));
  const QString text = QString::fromStdString(b.BoxString);
  const int height = metrics.height();
  const QSize size(metrics.horizontalAdvance(text) + height / 2, height + 2);
  view_->SetAnnotationClientRect(index_, QRect(client_.topLeft(), size));
}
