#include "shell/file_drop_list_box.h"
#include "browser/sort_drag_list_ctrl.h"

#include "tests/support/test_env.h"

#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

struct DropCase {
  const char* name;
  std::vector<bool> selected;
  int position;
  bool valid;
  std::vector<int> order;
};

class PageOrderDropTest : public ::testing::TestWithParam<DropCase> {};

TEST_P(PageOrderDropTest, SelectedRowsMoveTogether) {
  const DropCase& c = GetParam();
  EXPECT_EQ(InsertionIsValid(c.selected, c.position), c.valid);
  if (c.valid) {
    EXPECT_EQ(ReorderedRows(c.selected, c.position), c.order);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PageOrderDropTest,
    ::testing::Values(
        DropCase{"TwoApartToTheTop", {false, true, false, true, false}, 0, true, {1, 3, 0, 2, 4}},
        DropCase{"ToTheEnd", {true, false, false}, 3, true, {1, 2, 0}},
        DropCase{"JustAfterThemselves", {false, true, true, false}, 3, false, {}},
        DropCase{"OnThemselves", {false, true, true, false}, 1, false, {}},
        DropCase{"JustBeforeThemIsAMove", {false, false, true, false}, 1, true, {0, 2, 1, 3}},
        DropCase{"NoPosition", {true, false}, -1, false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

class SortDragListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    list.setColumnCount(1);
    list.LoadCursors();
    const char* titles[] = {"b頁", "A頁", "c頁", "あ", "a頁"};
    for (int i = 0; i < 5; ++i) {
      auto* row = new QTreeWidgetItem(QStringList{QString::fromUtf8(titles[i])});
      row->setData(0, Qt::UserRole, i);
      list.addTopLevelItem(row);
    }
    list.resize(300, 300);
    list.show();
    QCoreApplication::processEvents();
  }
  std::vector<int> data() const {
    std::vector<int> out;
    for (int i = 0; i < list.topLevelItemCount(); ++i) out.push_back(list.topLevelItem(i)->data(0, Qt::UserRole).toInt());
    return out;
  }
  QPoint rowCentre(int row) const { return list.visualItemRect(list.topLevelItem(row)).center(); }

  SortDragListCtrl list;
};

TEST_F(SortDragListTest, HeaderClicksSortAscendingThenDescending) {
  list.OnColumnClick(0);
  // Upper-cased first ("A頁" and "a頁" tie, then the unchanged texts decide),
  // double-byte characters after single-byte ones.
  EXPECT_EQ(data(), (std::vector<int>{1, 4, 0, 2, 3}));
  list.OnColumnClick(0);
  EXPECT_EQ(data(), (std::vector<int>{3, 2, 0, 4, 1}));
}

TEST_F(SortDragListTest, DraggingTwoSelectedRowsToTheTop) {
  list.topLevelItem(1)->setSelected(true);
  list.topLevelItem(3)->setSelected(true);
  QWidget* viewport = list.viewport();
  QTest::mousePress(viewport, Qt::LeftButton, {}, rowCentre(3));
  const QRect first = list.visualItemRect(list.topLevelItem(0));
  QTest::mouseMove(viewport, rowCentre(3) + QPoint(0, -20));
  QTest::mouseMove(viewport, QPoint(20, first.top() + 1));
  EXPECT_TRUE(list.dragging());
  EXPECT_EQ(list.insertionPosition(), 0);
  EXPECT_TRUE(list.insertionValid());
  QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(20, first.top() + 1));
  EXPECT_EQ(data(), (std::vector<int>{1, 3, 0, 2, 4}));
  EXPECT_FALSE(list.dragging());
}

TEST_F(SortDragListTest, DroppingJustBelowTheSelectionChangesNothing) {
  list.setCurrentItem(list.topLevelItem(1));
  QWidget* viewport = list.viewport();
  QTest::mousePress(viewport, Qt::LeftButton, {}, rowCentre(1));
  const QRect below = list.visualItemRect(list.topLevelItem(2));
  QTest::mouseMove(viewport, rowCentre(1) + QPoint(0, 8));
  QTest::mouseMove(viewport, QPoint(20, below.top() + 1));
  EXPECT_EQ(list.insertionPosition(), 2);
  EXPECT_FALSE(list.insertionValid());
  EXPECT_EQ(viewport->cursor().shape(), Qt::ForbiddenCursor);
  QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(20, below.top() + 1));
  EXPECT_EQ(data(), (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(FileDropListBox, AFileStandsForItsFolder) {
  testsupport::TempDir dir;
  std::filesystem::create_directories(dir.file("旧データ"));
  ASSERT_TRUE(testsupport::writeFile(dir.file("旧データ/info.idd"), "x"));
  EXPECT_EQ(FoldersOfDroppedPaths({dir.file("旧データ/info.idd"), dir.file("missing"), dir.file("旧データ")}),
            (std::vector<std::string>{dir.file("旧データ"), dir.file("旧データ")}));

  FileDropListBox box;
  std::vector<std::string> got;
  box.onFoldersDropped = [&](const std::vector<std::string>& folders) { got = folders; };
  box.DropUrls({QUrl::fromLocalFile(QString::fromStdString(dir.file("旧データ/info.idd"))),
                QUrl(QStringLiteral("https://example.org/x"))});
  EXPECT_EQ(got, std::vector<std::string>{dir.file("旧データ")});
}

}  // namespace
