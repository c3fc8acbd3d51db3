// The character-class dialogs: the stored mask and the class boxes, the
// table grid's range buttons, clicks and scrolling, the grid read from and
// written back to a template, and screenshots of both dialogs.
#include "layout/char_block.h"
#include "layout/char_block_grid.h"
#include "layout/dialogs/char_class_dialogs.h"
#include "layout/field_rings.h"
#include "layout/library_state.h"
#include "tests/layout/layout_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using layout::GridRange;
using layout::KindGridDialog;
using layout::KindGridEdit;
using layout::KindGridView;

// Runs `act` on the modal dialog once it is up (from the event loop, not
// after a delay).
void whenModal(std::function<void(QWidget*)> act) {
  QTimer::singleShot(0, [act = std::move(act)] {
    QWidget* dialog = QApplication::activeModalWidget();
    ASSERT_NE(dialog, nullptr);
    act(dialog);
  });
}

template <typename T>
T* child(QWidget* dialog, int number) {
  T* w = dialog->findChild<T*>(QStringLiteral("ctl") + QString::number(number));
  EXPECT_NE(w, nullptr) << number;
  return w;
}

QCheckBox* kindBox(QWidget* dialog, int bit) { return child<QCheckBox>(dialog, 0x1000 + bit); }

int checkedMask(QWidget* dialog) {
  int mask = 0;
  for (const layout::CharKind& k : layout::kCharKinds) {
    if (kindBox(dialog, k.bit)->isChecked()) mask |= k.bit;
  }
  return mask;
}

TEST(TextKindDialog, StoredMaskAndBoxes) {
  struct Case {
    const char* name;
    std::uint16_t start;
    int shownChecked;                     // boxes checked when the dialog opens
    std::vector<std::pair<int, bool>> clicks;  // box bit, new state
    int button;                           // 1 OK, 2 Cancel
    std::uint16_t stored;
  };
  const std::vector<Case> cases = {
      {"all classes show every box", 0, 63, {}, 1, 0},
      {"every box unchecked stores 0", 5, 5, {{1, false}, {4, false}}, 1, 0},
      {"hiragana plus the other five is 63, not 0", 1, 1,
       {{2, true}, {4, true}, {8, true}, {16, true}, {32, true}}, 1, 63},
      {"all, one box off and on again, is all again", 0, 63, {{8, false}, {8, true}}, 1, 0},
      {"all less one keeps the bits above the six", 0, 63, {{32, false}}, 1, 255 - 32},
      {"cancel keeps the mask", 12, 12, {{1, true}}, 2, 12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::uint16_t mask = c.start;
    whenModal([&](QWidget* dialog) {
      EXPECT_EQ(dialog->objectName(), "dlg107");
      EXPECT_EQ(dialog->windowTitle(), QStringLiteral("文章領域の文字種"));
      EXPECT_EQ(checkedMask(dialog), c.shownChecked);
      for (auto [bit, on] : c.clicks) {
        QCheckBox* box = kindBox(dialog, bit);
        ASSERT_NE(box->isChecked(), on);
        box->click();
      }
      child<QPushButton>(dialog, c.button)->click();
    });
    EXPECT_EQ(layout::run_text_kind_dialog(nullptr, 0, 0, &mask), c.button == 1 ? 1 : 0);
    EXPECT_EQ(mask, c.stored);
  }
}

// A 4 x 5 grid with the focus at row 2, column 3 (from 0).
struct GridFixture {
  std::vector<std::uint8_t> cells = std::vector<std::uint8_t>(20, 0);
  KindGridEdit edit{cells, 4, 5};
  KindGridDialog dialog{&edit};

  void clickCell(int row, int column) {
    KindGridView* view = dialog.grid();
    const QPoint at(view->labelWidth() + column * 30 + 5 - view->horizontalScrollBar()->value(),
                    view->labelHeight() + row * 20 + 5 - view->verticalScrollBar()->value());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
  }
  std::set<std::pair<int, int>> cellsHolding(int mask) const {
    std::set<std::pair<int, int>> out;
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 5; ++c) {
        if (cells[static_cast<std::size_t>(r * 5 + c)] == mask) out.insert({r, c});
      }
    }
    return out;
  }
};
std::set<std::pair<int, int>> block(int r0, int r1, int c0, int c1) {
  std::set<std::pair<int, int>> out;
  for (int r = r0; r <= r1; ++r) {
    for (int c = c0; c <= c1; ++c) out.insert({r, c});
  }
  return out;
}

TEST(KindGridDialog, RangeButtonsSelectAroundTheFocusAndTakeTheMask) {
  struct Case {
    GridRange range;
    int focusRow, focusColumn;
    std::set<std::pair<int, int>> cells;
  };
  const std::vector<Case> cases = {
      {GridRange::Column, 2, 3, block(0, 3, 3, 3)},   {GridRange::ColumnDown, 2, 3, block(2, 3, 3, 3)},
      {GridRange::ColumnUp, 2, 3, block(0, 2, 3, 3)}, {GridRange::All, 2, 3, block(0, 3, 0, 4)},
      {GridRange::Row, 2, 3, block(2, 2, 0, 4)},      {GridRange::RowRight, 2, 3, block(2, 2, 3, 4)},
      {GridRange::RowLeft, 2, 3, block(2, 2, 0, 3)},
      // On the last column "行右" selects the focus cell alone.
      {GridRange::RowRight, 1, 4, block(1, 1, 4, 4)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.range));
    GridFixture f;
    f.clickCell(c.focusRow, c.focusColumn);
    ASSERT_EQ(f.edit.focusRow(), c.focusRow);
    // The boxes of a cell whose mask is 0 show all classes; choose digits only.
    EXPECT_EQ(checkedMask(&f.dialog), 63);
    child<QPushButton>(&f.dialog, 0x41d)->click();  // "全解除"
    kindBox(&f.dialog, 8)->click();
    EXPECT_EQ(f.cellsHolding(8), block(c.focusRow, c.focusRow, c.focusColumn, c.focusColumn));
    child<QToolButton>(&f.dialog, static_cast<int>(c.range))->click();
    EXPECT_EQ(f.cellsHolding(8), c.cells);
  }
}

TEST(KindGridDialog, ClicksButtonsAndScrolling) {
  GridFixture f;
  f.clickCell(3, 1);
  EXPECT_EQ(child<QLabel>(&f.dialog, 0x426)->text(), "4");
  EXPECT_EQ(child<QLabel>(&f.dialog, 0x428)->text(), "2");
  child<QPushButton>(&f.dialog, 0x41b)->click();  // "全属性": 255 into the cell
  EXPECT_EQ(f.cells[3 * 5 + 1], 255);
  child<QPushButton>(&f.dialog, 0x41d)->click();  // "全解除": 0, shown as all again
  EXPECT_EQ(f.cells[3 * 5 + 1], 0);
  EXPECT_EQ(checkedMask(&f.dialog), 0);
  f.clickCell(0, 0);
  f.clickCell(3, 1);
  EXPECT_EQ(checkedMask(&f.dialog), 63);

  // A click on the labels or past the last column leaves the focus where it is.
  QTest::mouseClick(f.dialog.grid()->viewport(), Qt::LeftButton, {}, QPoint(2, 2));
  f.clickCell(0, 7);
  EXPECT_EQ(f.edit.focusRow(), 3);
  EXPECT_EQ(f.edit.focusColumn(), 1);

  // Scrolling to the end stops at the virtual size less the client size.
  std::vector<std::uint8_t> big(40 * 30, 0);
  KindGridEdit edit(big, 40, 30);
  KindGridDialog dialog(&edit);
  dialog.show();
  KindGridView* view = dialog.grid();
  view->verticalScrollBar()->setValue(1 << 20);
  view->horizontalScrollBar()->setValue(1 << 20);
  EXPECT_EQ(view->verticalScrollBar()->value(), view->virtualSize().height() - view->viewport()->height());
  EXPECT_EQ(view->horizontalScrollBar()->value(), view->virtualSize().width() - view->viewport()->width());
  EXPECT_EQ(view->virtualSize(), QSize(30 * 30 + 2 * view->labelWidth(), 40 * 20 + 2 * view->labelHeight()));
  int row = 0;
  int column = 0;
  ASSERT_TRUE(view->cellAt(QPoint(view->viewport()->width() - 3 - view->labelWidth(),
                                  view->viewport()->height() - 3 - view->labelHeight()),
                           &row, &column));
  EXPECT_EQ(row, 39);
  EXPECT_EQ(column, 29);
}

TEST(KindGridDialog, WithoutAGridEditsChangeNothing) {
  KindGridEdit edit({}, 3, 3);
  EXPECT_EQ(edit.rows(), 1);
  EXPECT_EQ(edit.columns(), 1);
  edit.clearAllKinds();
  edit.selectRange(GridRange::All);
  EXPECT_EQ(edit.currentMask(), 0);
  EXPECT_EQ(edit.cell(0, 0), 0);
}

class KindGridRunTest : public layouttest::LayoutLibraryTest {
 protected:
  void TearDown() override {
    free_fld_list(&ring_);
    LayoutLibraryTest::TearDown();
  }
  void buildTable() {
    // A frame and a 2 x 2 table whose cells hold hiragana (1).
    userfld* frame = append_fld(&ring_);
    frame->params.setByte(ParamBlock::kFieldKind, 0x32);
    for (int r = 1; r <= 2; ++r) {
      for (int c = 1; c <= 2; ++c) {
        userfld* f = append_fld(&ring_);
        f->params.setByte(ParamBlock::kForm, 0xFF);
        f->number = static_cast<std::int16_t>(r);
        f->subNumber = static_cast<std::int16_t>(c);
        f->params.setWord(ParamBlock::kCharKindMask, 1);
      }
    }
  }
  std::string templateBytes() {
    std::ifstream in(layout::template_file_path(dir_.path().toStdString(), 0), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  // In the running dialog: focus on row 2, column 1, then katakana too.
  static void editCell(QWidget* dialog) {
    auto* grid = dialog->findChild<KindGridView*>(QStringLiteral("ctl1061"));
    ASSERT_NE(grid, nullptr);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      QPoint(grid->labelWidth() + 5, grid->labelHeight() + 20 + 5));
    kindBox(dialog, 2)->click();
  }

  QTemporaryDir dir_;
  userfld* ring_ = nullptr;
};

TEST_F(KindGridRunTest, RegistrationEditsTheRing) {
  buildTable();
  whenModal([](QWidget* dialog) {
    editCell(dialog);
    child<QPushButton>(dialog, 1)->click();
  });
  EXPECT_EQ(layout::run_kind_grid_dialog(nullptr, "", 0, 0, ring_, layout::kTemplateModeRegister), 1);
  std::vector<int> masks;
  for (userfld* f = ring_->next; f != ring_; f = f->next) masks.push_back(f->params.word(ParamBlock::kCharKindMask));
  EXPECT_EQ(masks, (std::vector<int>{0, 1, 1, 3, 1}));
}

TEST_F(KindGridRunTest, TemplateGridIsRewrittenOnlyOnFinish) {
  buildTable();
  std::string file(32, '\0');
  ASSERT_EQ(layout::write_char_blocks(ring_, &file), 1);
  const std::string path = layout::template_file_path(dir_.path().toStdString(), 0);
  std::ofstream(path, std::ios::binary).write(file.data(), static_cast<std::streamsize>(file.size()));

  whenModal([](QWidget* dialog) {
    editCell(dialog);
    dialog->close();  // closed otherwise: nothing stored
  });
  EXPECT_EQ(layout::run_kind_grid_dialog(nullptr, dir_.path().toStdString(), 0, 0, ring_, 0), 0);
  EXPECT_EQ(templateBytes(), file);

  whenModal([](QWidget* dialog) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("文字種ﾀﾞｲｱﾛｸﾞ"));
    editCell(dialog);
    child<QPushButton>(dialog, 1)->click();
  });
  EXPECT_EQ(layout::run_kind_grid_dialog(nullptr, dir_.path().toStdString(), 0, 0, ring_, 0), 1);
  std::string expected = file;
  expected[expected.size() - 2] = 3;
  EXPECT_EQ(templateBytes(), expected);

  // No grid for the table: one cell, and "終了" stores nothing.
  whenModal([](QWidget* dialog) {
    EXPECT_EQ(dialog->findChild<KindGridView*>()->virtualSize().height(),
              20 + 2 * dialog->findChild<KindGridView*>()->labelHeight());
    child<QPushButton>(dialog, 1)->click();
  });
  EXPECT_EQ(layout::run_kind_grid_dialog(nullptr, dir_.path().toStdString(), 0, 5, ring_, 0), 1);
  EXPECT_EQ(templateBytes(), expected);
}

TEST(CharClassScreenshots, BothDialogs) {
  QDir().mkpath(QStringLiteral(BRINDEL_SCREENSHOT_DIR));
  std::vector<std::uint8_t> cells(12 * 9, 0);
  KindGridEdit edit(cells, 12, 9);
  KindGridDialog dialog(&edit);
  dialog.show();
  KindGridView* view = dialog.grid();
  // Row 3 from column 4 on, kanji left out.
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                    QPoint(view->labelWidth() + 3 * 30 + 5, view->labelHeight() + 2 * 20 + 5));
  child<QToolButton>(&dialog, static_cast<int>(GridRange::RowRight))->click();
  kindBox(&dialog, 4)->click();
  EXPECT_EQ(cells[2 * 9 + 8], 255 - 4);
  EXPECT_TRUE(dialog.grab().save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/char_class_grid_dialog.png")));

  layout::TextKindDialog text(5);
  text.show();
  EXPECT_TRUE(text.grab().save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/char_class_text_dialog.png")));
}

}  // namespace
