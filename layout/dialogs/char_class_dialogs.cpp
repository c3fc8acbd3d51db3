// The character-class dialogs; see char_class_dialogs.h.
//
// Sizes given in dialog units are turned into pixels from the dialog font
// (the average width of the Latin letters / 4 across, the font height / 8
// down), as the dialog templates were laid out.  The range buttons sit at
// fixed pixel places in their group box; their 24 x 24 pictures are drawn
// here, each a small grid with the cells its range selects.
#include "layout/dialogs/char_class_dialogs.h"

#include "layout/char_block.h"
#include "layout/dialogs/control_ids.h"
#include "platform/global_memory.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace layout {

namespace {

QString id(const char* prefix, int number) { return QString::fromLatin1(prefix) + QString::number(number); }

QFont dialogFont() {
  QFont f(QStringLiteral("Noto Sans CJK JP"));  // the dialogs' "ＭＳ Ｐゴシック"
  f.setPointSize(9);
  return f;
}

struct DialogUnits {
  int baseX;
  int baseY;
  explicit DialogUnits(const QFont& font) {
    const QFontMetrics m(font);
    baseX = std::max(1, (m.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 26 + 1) / 2);
    baseY = std::max(1, m.height());
  }
  int x(int units) const { return units * baseX / 4; }
  int y(int units) const { return units * baseY / 8; }
};

// The class boxes of both dialogs, in a group "認識字種".
QGroupBox* kindBoxes(QWidget* parent, std::array<QCheckBox*, 6>* boxes) {
  auto* group = new QGroupBox(QStringLiteral("認識字種"), parent);
  auto* grid = new QGridLayout(group);
  for (std::size_t i = 0; i < kCharKinds.size(); ++i) {
    auto* box = new QCheckBox(QString::fromUtf8(kCharKinds[i].label), group);
    box->setObjectName(id("ctl", kCharKinds[i].boxId));
    grid->addWidget(box, static_cast<int>(i) / 2, static_cast<int>(i) % 2);
    (*boxes)[i] = box;
  }
  return group;
}

void showKinds(const std::array<QCheckBox*, 6>& boxes, std::uint16_t mask) {
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    const QSignalBlocker quiet(boxes[i]);
    boxes[i]->setChecked((mask & kCharKinds[i].bit) != 0);
  }
}

QPushButton* button(const QString& text, int number, QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(id("ctl", number));
  b->setAutoDefault(false);
  return b;
}

// Each range button: the range it selects, its name and where it sits in
// the group (x in pixels, row of 26 pixels).
struct RangeButtonPlace {
  GridRange range;
  const char* name;
  int x;
  int row;
};

constexpr RangeButtonPlace kRangeButtons[] = {
    {GridRange::Column, "列", 2, 0},   {GridRange::ColumnDown, "列下", 28, 0}, {GridRange::ColumnUp, "列上", 54, 0},
    {GridRange::All, "全領域", 28, 1}, {GridRange::Row, "行", 2, 2},           {GridRange::RowRight, "行右", 28, 2},
    {GridRange::RowLeft, "行左", 54, 2},
};

// A 3 x 3 grid whose focus cell is the middle one, with the cells the range
// selects filled.
QIcon rangePicture(GridRange range) {
  QPixmap pixmap(24, 24);
  pixmap.fill(Qt::white);
  QPainter p(&pixmap);
  std::uint8_t cells[9] = {};
  KindGridEdit edit(cells, 3, 3);
  edit.focusCell(1, 1);
  edit.selectRange(range);
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      const QRect cell(3 + 6 * c, 3 + 6 * r, 6, 6);
      if (edit.selection().contains(r, c)) p.fillRect(cell, Qt::yellow);
      if (r == 1 && c == 1) p.fillRect(cell.adjusted(2, 2, -1, -1), Qt::darkBlue);
    }
  }
  p.setPen(Qt::black);
  for (int i = 0; i <= 3; ++i) {
    p.drawLine(3, 3 + 6 * i, 21, 3 + 6 * i);
    p.drawLine(3 + 6 * i, 3, 3 + 6 * i, 21);
  }
  return QIcon(pixmap);
}

}  // namespace

// ---------------------------------------------------------------- dialog 107

TextKindDialog::TextKindDialog(std::uint16_t mask, QWidget* parent) : QDialog(parent), mask_(mask) {
  setObjectName(QStringLiteral("dlg107"));
  setWindowTitle(QStringLiteral("文章領域の文字種"));
  setFont(dialogFont());
  const DialogUnits du(font());
  setFixedSize(du.x(107), du.y(105));

  std::array<QCheckBox*, 6> boxes{};
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(kindBoxes(this, &boxes));
  showKinds(boxes, mask_);
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    connect(boxes[i], &QCheckBox::toggled, this,
            [this, i](bool on) { mask_ = withKind(mask_, kCharKinds[i].bit, on); });
  }
  auto* buttons = new QHBoxLayout;
  QPushButton* ok = button(QStringLiteral("OK"), 1, this);
  ok->setDefault(true);
  QPushButton* cancel = button(QStringLiteral("ｷｬﾝｾﾙ"), 2, this);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, [this] { done(1); });
  connect(cancel, &QPushButton::clicked, this, [this] { done(0); });
}

// ---------------------------------------------------------------- grid

KindGridView::KindGridView(KindGridEdit* edit, QWidget* parent) : QAbstractScrollArea(parent), edit_(edit) {
  setObjectName(id("ctl", 0x425));
  setFocusPolicy(Qt::StrongFocus);
  const QFontMetrics m(font());
  labelWidth_ = 2 * m.maxWidth();
  labelHeight_ = m.height() + 2;
  for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
    bar->setSingleStep(20);
    bar->setPageStep(200);
  }
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  viewport()->setBackgroundRole(QPalette::Base);
  updateScrollRanges();
}

QSize KindGridView::virtualSize() const {
  return {edit_->columns() * kCellWidth + 2 * labelWidth_, edit_->rows() * kCellHeight + 2 * labelHeight_};
}

void KindGridView::updateScrollRanges() {
  // The position stays within 0 .. virtual size - client size.
  const QSize v = virtualSize();
  const QSize client = viewport()->size();
  horizontalScrollBar()->setRange(0, std::max(0, v.width() - client.width()));
  verticalScrollBar()->setRange(0, std::max(0, v.height() - client.height()));
}

void KindGridView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  updateScrollRanges();
}

void KindGridView::scrollContentsBy(int, int) { viewport()->update(); }

bool KindGridView::cellAt(QPoint point, int* row, int* column) const {
  const int x = point.x() + horizontalScrollBar()->value() - labelWidth_;
  const int y = point.y() + verticalScrollBar()->value() - labelHeight_;
  // Points over the labels are no cell, not the first one.
  if (x < 0 || y < 0) return false;
  const int r = y / kCellHeight;
  const int c = x / kCellWidth;
  if (r >= edit_->rows() || c >= edit_->columns()) return false;
  *row = r;
  *column = c;
  return true;
}

void KindGridView::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  p.fillRect(viewport()->rect(), palette().base());
  const int ox = labelWidth_ - horizontalScrollBar()->value();
  const int oy = labelHeight_ - verticalScrollBar()->value();
  const int rows = edit_->rows();
  const int columns = edit_->columns();
  QFont numbers(QStringLiteral("Noto Sans CJK JP"));  // the grid's "Arial" bold
  numbers.setPointSize(10);
  numbers.setBold(true);
  p.setFont(numbers);
  p.setPen(palette().text().color());
  for (int r = 0; r <= rows; ++r) {
    const int y = oy + r * kCellHeight;
    p.drawLine(ox, y, ox + columns * kCellWidth, y);
    if (r < rows) {
      p.drawText(QRect(ox - labelWidth_, y, labelWidth_ - 2, kCellHeight), Qt::AlignRight | Qt::AlignVCenter,
                 QString::asprintf("%3d", r + 1));
    }
  }
  for (int c = 0; c <= columns; ++c) {
    const int x = ox + c * kCellWidth;
    p.drawLine(x, oy, x, oy + rows * kCellHeight);
    if (c < columns) {
      p.drawText(QRect(x, oy - labelHeight_, kCellWidth - 2, labelHeight_), Qt::AlignRight | Qt::AlignBottom,
                 QString::asprintf("%3d", c + 1));
    }
  }
  // The selection in yellow, drawn by XOR as the grid always showed it.
  p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      if (!edit_->selection().contains(r, c)) continue;
      p.fillRect(QRect(ox + c * kCellWidth, oy + r * kCellHeight, kCellWidth + 1, kCellHeight + 1), Qt::yellow);
    }
  }
}

void KindGridView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  int row = 0;
  int column = 0;
  if (cellAt(event->position().toPoint(), &row, &column)) edit_->focusCell(row, column);
  else edit_->focusCell(edit_->focusRow(), edit_->focusColumn());  // the focus stays, alone selected
  viewport()->update();
  setFocus();
  emit focusChanged();
}

// ---------------------------------------------------------------- dialog 106

KindGridDialog::KindGridDialog(KindGridEdit* edit, QWidget* parent) : QDialog(parent), edit_(edit) {
  setObjectName(QStringLiteral("dlg106"));
  setWindowTitle(QStringLiteral("文字種ﾀﾞｲｱﾛｸﾞ"));
  setFont(dialogFont());
  const DialogUnits du(font());
  setFixedSize(du.x(299), du.y(221));

  auto* layout = new QHBoxLayout(this);
  grid_ = new KindGridView(edit_, this);
  layout->addWidget(grid_, 1);

  auto* side = new QVBoxLayout;
  layout->addLayout(side);
  side->addWidget(kindBoxes(this, &boxes_));
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    connect(boxes_[i], &QCheckBox::toggled, this, [this, i](bool on) {
      edit_->setKind(kCharKinds[i].bit, on);
      grid_->viewport()->update();
    });
  }
  auto* allRow = new QHBoxLayout;
  QPushButton* all = button(QStringLiteral("全属性"), 0x41b, this);
  QPushButton* none = button(QStringLiteral("全解除"), 0x41d, this);
  allRow->addWidget(all);
  allRow->addWidget(none);
  side->addLayout(allRow);
  connect(all, &QPushButton::clicked, this, [this] {
    edit_->setAllKinds();
    showMask();
  });
  connect(none, &QPushButton::clicked, this, [this] {
    edit_->clearAllKinds();
    showMask();
  });

  auto* ranges = new QGroupBox(QStringLiteral("設定範囲"), this);
  ranges->setObjectName(id("ctl", 0x429));
  const int top = du.y(14);
  ranges->setFixedSize(82, 78 + top + 2);
  for (const RangeButtonPlace& place : kRangeButtons) {
    auto* b = new QToolButton(ranges);
    b->setObjectName(id("ctl", static_cast<int>(place.range)));
    b->setText(QString::fromUtf8(place.name));
    b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    b->setIcon(rangePicture(place.range));
    b->setIconSize(QSize(24, 24));
    b->setGeometry(place.x, top + 26 * place.row, 26, 26);
    const GridRange range = place.range;
    connect(b, &QToolButton::clicked, this, [this, range] {
      edit_->selectRange(range);
      grid_->viewport()->update();
    });
  }
  auto* rangeRow = new QHBoxLayout;
  rangeRow->addWidget(ranges);
  auto* focus = new QGridLayout;
  focus->addWidget(new QLabel(QStringLiteral("行"), this), 0, 0);
  row_ = new QLabel(this);
  row_->setObjectName(id("ctl", 0x426));
  focus->addWidget(row_, 0, 1);
  focus->addWidget(new QLabel(QStringLiteral("列"), this), 1, 0);
  column_ = new QLabel(this);
  column_->setObjectName(id("ctl", 0x428));
  focus->addWidget(column_, 1, 1);
  rangeRow->addLayout(focus);
  side->addLayout(rangeRow);
  side->addStretch(1);

  QPushButton* finish = button(QStringLiteral("終了"), 1, this);
  side->addWidget(finish, 0, Qt::AlignRight);
  connect(finish, &QPushButton::clicked, this, [this] { done(1); });
  connect(grid_, &KindGridView::focusChanged, this, [this] {
    showMask();
    showFocus();
  });
  showMask();
  showFocus();
}

void KindGridDialog::showMask() { showKinds(boxes_, edit_->currentMask()); }

void KindGridDialog::showFocus() {
  row_->setText(QString::number(edit_->focusRow() + 1));
  column_->setText(QString::number(edit_->focusColumn() + 1));
}

// ---------------------------------------------------------------- running them

int run_text_kind_dialog(QWidget* owner, int, int, std::uint16_t* mask) {
  if (mask == nullptr || !dialogs::can_show_dialogs()) return -1;
  TextKindDialog dialog(dialogMask(*mask), owner);
  const int result = dialog.exec();
  if (result == 1) *mask = storedMask(dialog.mask());
  return result;
}

int run_kind_grid_dialog(QWidget* owner, const std::string& templateFolder, int templateNumber, int tableIndex,
                         userfld* ring, int templateMode) {
  if (!dialogs::can_show_dialogs()) return -1;
  platform::GlobalHandle block = 0;
  short rows = 1;
  short columns = 1;
  if (templateMode == kTemplateModeRegister) {
    build_char_block(ring, tableIndex, &block, &rows, &columns);
  } else {
    read_char_block(templateFolder, templateNumber, tableIndex, &block, &rows, &columns);
  }
  std::uint8_t* cells = platform::globalLock(block);
  KindGridEdit edit(cells != nullptr ? std::span<std::uint8_t>(cells, platform::globalSize(block))
                                     : std::span<std::uint8_t>(),
                    rows, columns);
  int result = 0;
  {
    KindGridDialog dialog(&edit, owner);
    result = dialog.exec();
  }
  if (result == 1) {
    // Without a grid there is nothing to store; both writers refuse it.
    if (templateMode == kTemplateModeRegister) {
      apply_char_block(ring, tableIndex, block, rows, columns);
    } else {
      rewrite_char_block(templateFolder, templateNumber, tableIndex, block, rows, columns);
    }
  }
  // The grid is this function's alone: the writers above never free it.
  if (block != 0) platform::globalFree(block);
  return result;
}

}  // namespace layout
