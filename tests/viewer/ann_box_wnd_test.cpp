// The annotation windows: taking hold of a box with the annotation tool
// (select, move, resize, delete), its context menu, editing its text in
// place, and the region tools that act on a rubber band.

#include "viewer/ann_box_wnd.h"

#include "catalogue/folder_database.h"
#include "platform/user_interaction.h"
#include "shell/image_ctrl.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/test_env.h"
#include "tests/viewer/viewer_fixture.h"
#include "viewer/annotation_tools.h"
#include "viewer/image_view.h"
#include "viewer/viewer_commands.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class AnnBoxWndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cataloguetest::makeCatalogueFolder(folder);
    cataloguetest::CatalogueRows rows(folder);
    rows.addItem(cataloguetest::ItemRow{1, "page"});
    ASSERT_EQ(db.OpenFolder(folder, false), 0);
    ASSERT_TRUE(viewertest::writeQtImage(viewertest::japanesePage(500, 400), folder + "/page.png", "png", 200));
    QDir().mkpath(QString::fromStdString(temp.file("tmp")));
    view.SetWorkFolder(temp.file("tmp"));
    view.SetFolderDatabase(&db);
    view.resize(640, 520);
    view.show();
    view.LoadImage(folder, viewertest::pageItem());
    ASSERT_TRUE(view.hasImage());
    view.SetZoom(ImageView::kHundredPercentStep);
  }
  void TearDown() override {
    AnnBoxWnd::SetColorChooser({});
    AnnBoxWnd::SetFontChooser({});
  }
  // A box added and saved, so that the page starts unchanged.
  AnnBoxWnd* added(const AnnBox& box) {
    const int index = view.AddAnnotation(box);
    view.Save();
    EXPECT_FALSE(view.annotationChanged());
    return view.annotationWindow(index);
  }
  QPoint local(AnnBoxWnd* w, QPoint viewport) const { return w->mapFrom(view.viewport(), viewport); }
  QRect rectOf(int index) const { return view.annotations()[static_cast<std::size_t>(index)].rect(); }
  // A press, one move and a release, all given in viewport pixels.
  void drag(AnnBoxWnd* w, QPoint from, QPoint to) {
    QTest::mousePress(w, Qt::LeftButton, {}, local(w, from));
    QTest::mouseMove(w, local(w, to));
    QTest::mouseRelease(w, Qt::LeftButton, {}, local(w, to));
  }

  platform::RecordingUserInteraction boxes;
  testsupport::TempDir temp;
  std::string folder = temp.file("folder");
  FolderDatabase db;
  ImageView view;
};

TEST_F(AnnBoxWndTest, TheAnnotationToolSelectsMovesAndResizesABox) {
  AnnBoxWnd* memo = added(viewertest::annBox(0, QRect(100, 100, 120, 80)));
  AnnBoxWnd* mark = added(viewertest::annBox(1, QRect(300, 200, 100, 60)));
  ASSERT_TRUE(memo && mark);
  EXPECT_EQ(memo->geometry(), view.ImageToClientRect(QRect(100, 100, 120, 80)));
  view.OnCommand(vcmd::kSelectAnnotationsButton);

  // A click selects one box (its handles show), another click the other.
  const QPoint inMemo = view.ImageToClientRect(QRect(150, 130, 1, 1)).topLeft();
  QTest::mouseClick(memo, Qt::LeftButton, {}, local(memo, inMemo));
  EXPECT_TRUE(memo->selected());
  EXPECT_TRUE(memo->frameShown());
  EXPECT_EQ(memo->geometry(), view.ImageToClientRect(QRect(100, 100, 120, 80)).adjusted(-6, -6, 6, 6));
  QTest::mouseClick(mark, Qt::LeftButton, {}, local(mark, view.ImageToClientRect(QRect(350, 230, 1, 1)).topLeft()));
  EXPECT_FALSE(memo->selected());
  EXPECT_TRUE(mark->selected());
  EXPECT_FALSE(view.annotationChanged());

  // Dragging the middle moves it, by image pixels at the zoom in force.
  drag(memo, inMemo, inMemo + QPoint(30, 20));
  EXPECT_EQ(rectOf(0), QRect(130, 120, 120, 80));
  EXPECT_TRUE(view.annotationChanged());
  view.SetZoom(14);  // 200 percent
  EXPECT_EQ(memo->geometry(), view.ImageToClientRect(rectOf(0)).adjusted(-6, -6, 6, 6));
  const QPoint middle = view.ImageToClientRect(QRect(180, 160, 1, 1)).topLeft();
  drag(memo, middle, middle + QPoint(40, -20));
  EXPECT_EQ(rectOf(0), QRect(150, 110, 120, 80));
  view.SetZoom(ImageView::kHundredPercentStep);

  // A corner resizes it, never below 17 x 17 on the screen.
  ASSERT_TRUE(memo->selected());
  const QPoint corner = memo->geometry().bottomRight() - QPoint(2, 2);
  drag(memo, corner, corner + QPoint(25, 15));
  EXPECT_EQ(rectOf(0).topLeft(), QPoint(150, 110));
  // The grabbed corner goes to the pointer (which sat on the handle, 4 px outside the box).
  EXPECT_EQ(rectOf(0).size(), QSize(120 + 4 + 25, 80 + 4 + 15));
  const QPoint topLeft = memo->geometry().topLeft() + QPoint(2, 2);
  drag(memo, topLeft, topLeft + QPoint(400, 400));
  EXPECT_EQ(rectOf(0).size(), QSize(17, 17));
  EXPECT_EQ(rectOf(0).bottomRight(), QPoint(150 + 149 - 1, 110 + 99 - 1));
}

TEST_F(AnnBoxWndTest, OtherToolsPassTheMouseToTheView) {
  AnnBoxWnd* memo = added(viewertest::annBox(2, QRect(100, 100, 200, 150)));
  view.OnCommand(vcmd::kHighlightButton);
  // A highlight drawn across an existing box is a new annotation, the box stays.
  const QPoint from = view.ImageToClientRect(QRect(120, 120, 1, 1)).topLeft();
  const QPoint to = view.ImageToClientRect(QRect(220, 160, 1, 1)).topLeft();
  QTest::mousePress(memo, Qt::LeftButton, {}, local(memo, from));
  QTest::mouseRelease(memo, Qt::LeftButton, {}, local(memo, to));
  ASSERT_EQ(view.annotations().size(), 2u);
  EXPECT_EQ(view.annotations()[1].box.AnnType, 1);
  EXPECT_EQ(rectOf(1), QRect(QPoint(120, 120), QPoint(220, 160)));
  EXPECT_EQ(rectOf(0), QRect(100, 100, 200, 150));
  EXPECT_FALSE(memo->selected());
}

TEST_F(AnnBoxWndTest, DeleteKeyAndMenuMarkTheBoxDeletedAndHideIt) {
  AnnBoxWnd* a = added(viewertest::annBox(3, QRect(50, 50, 100, 100)));
  AnnBoxWnd* b = added(viewertest::annBox(2, QRect(250, 50, 100, 100)));
  view.OnCommand(vcmd::kSelectAnnotationsButton);
  a->Select();
  QTest::keyClick(a, Qt::Key_Delete);
  EXPECT_TRUE(view.annotations()[0].deleted);
  EXPECT_FALSE(a->isVisible());
  EXPECT_TRUE(view.annotationChanged());
  b->Select();
  QMenu* menu = b->BuildContextMenu();
  menu->findChild<QAction*>(QStringLiteral("cmd%1").arg(AnnBoxWnd::kDelete, 0, 16))->trigger();
  EXPECT_TRUE(view.annotations()[1].deleted);
  // Saved, reloaded: both gone.
  view.Save();
  view.LoadImage(folder, viewertest::pageItem());
  EXPECT_TRUE(view.annotations().empty());
}

TEST_F(AnnBoxWndTest, TheContextMenuOffersItsKindsSettingsAndChangesOnlyWhatDiffers) {
  struct Case {
    int kind;
    std::vector<int> offered;  // beside 削除
    int checked;               // a command shown checked for the defaults below
    int same;                  // choosing it changes nothing
    int other;                 // choosing it changes the box
  } cases[] = {
      {0, {AnnBoxWnd::kEdit, AnnBoxWnd::kForeColor, AnnBoxWnd::kBackColor, AnnBoxWnd::kFont}, 0xC0F, 0xC0F, 0xC13},
      {1, {0xC1C, 0xC1D, 0xC1E, 0xC1F, 0xC20, 0xC21}, 0xC1C, 0xC1C, 0xC21},
      {2, {AnnBoxWnd::kForeColor}, 0, 0, 0},
      {3, {0xC26, 0xC29, 0xC30, 0xC37, AnnBoxWnd::kForeColor}, 0xC32, 0xC32, 0xC37},
      {4, {AnnBoxWnd::kEdit, AnnBoxWnd::kForeColor, AnnBoxWnd::kFont, 0xC0D}, 0xC0F, 0xC0F, 0xC0D},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    AnnBox box = viewertest::annBox(c.kind, QRect(100, 100, 200, 100));
    box.FontSize = 160;
    box.ForeColor = c.kind == 1 ? 0x00FFFF : 0;
    box.AnnParam1 = 4;
    box.AnnParam2 = 3;
    AnnBoxWnd* w = added(box);
    QMenu* menu = w->BuildContextMenu();
    EXPECT_EQ(menu->objectName(), QStringLiteral("menu148"));
    const auto action = [menu](int id) { return menu->findChild<QAction*>(QStringLiteral("cmd%1").arg(id, 0, 16)); };
    ASSERT_TRUE(action(AnnBoxWnd::kDelete));
    for (int id : c.offered) EXPECT_TRUE(action(id)) << std::hex << id;
    EXPECT_EQ(action(AnnBoxWnd::kBackColor) != nullptr, c.kind == 0);
    if (c.checked != 0) {
      ASSERT_TRUE(action(c.checked));
      EXPECT_TRUE(action(c.checked)->isChecked());
      action(c.same)->trigger();
      EXPECT_FALSE(view.annotationChanged());
      action(c.other)->trigger();
      EXPECT_TRUE(view.annotationChanged());
    }
    delete menu;
    view.Save();
  }
  const auto& a = view.annotations();
  EXPECT_EQ(a[0].box.FontSize, 720);
  EXPECT_EQ(a[1].box.ForeColor, 0xFF00FF);  // マゼンダ
  EXPECT_EQ(a[3].box.AnnParam2, 8);
  EXPECT_EQ(a[4].box.FontSize, 80);
}

TEST_F(AnnBoxWndTest, ColoursComeFromTheChooserAndACancelOrTheSameColourChangesNothing) {
  AnnBoxWnd* memo = added(viewertest::annBox(0, QRect(100, 100, 200, 100)));
  AnnBoxWnd* mark = added(viewertest::annBox(1, QRect(100, 250, 200, 60)));
  std::optional<QColor> answer;
  QString caption;
  AnnBoxWnd::SetColorChooser([&](QColor, const QString& c) {
    caption = c;
    return answer;
  });
  const std::int32_t fore = view.annotations()[0].box.ForeColor;
  memo->OnCommand(AnnBoxWnd::kForeColor);  // cancelled
  EXPECT_EQ(caption, QStringLiteral("文字の色"));
  answer = ColorFromRef(fore);
  memo->OnCommand(AnnBoxWnd::kForeColor);  // the same colour
  EXPECT_FALSE(view.annotationChanged());
  answer = QColor(255, 0, 0);
  memo->OnCommand(AnnBoxWnd::kBackColor);
  EXPECT_EQ(caption, QStringLiteral("背景色"));
  EXPECT_EQ(view.annotations()[0].box.BackColor, 0x0000FF);  // red in the low byte
  EXPECT_EQ(view.annotations()[0].box.ForeColor, fore);
  EXPECT_TRUE(view.annotationChanged());
  view.Save();
  mark->OnCommand(AnnBoxWnd::kForeColor);  // a highlight keeps its marker colour
  EXPECT_FALSE(view.annotationChanged());
}

TEST_F(AnnBoxWndTest, TheContextMenuOpensOnlyOnASelectedBoxWithTheAnnotationTool) {
  AnnBoxWnd* w = added(viewertest::annBox(2, QRect(100, 100, 200, 100)));
  const auto popupAt = [&](QPoint viewportPoint) {
    QContextMenuEvent event(QContextMenuEvent::Mouse, local(w, viewportPoint), view.viewport()->mapToGlobal(viewportPoint));
    QCoreApplication::sendEvent(w, &event);
    QMenu* menu = w->findChild<QMenu*>(QStringLiteral("menu148"));
    const bool shown = menu != nullptr && menu->isVisible();
    delete menu;
    return shown;
  };
  const QRect client = view.ImageToClientRect(QRect(100, 100, 200, 100));
  EXPECT_FALSE(popupAt(client.center()));  // not selected
  view.OnCommand(vcmd::kSelectAnnotationsButton);
  w->Select();
  EXPECT_FALSE(popupAt(client.topLeft()));  // on the edge, not strictly inside
  EXPECT_TRUE(popupAt(client.center()));
}

TEST_F(AnnBoxWndTest, EditingTextBoxesAndLinkBoxesInPlace) {
  AnnBoxWnd* memo = added(viewertest::annBox(0, QRect(100, 100, 200, 100)));
  view.OnCommand(vcmd::kSelectAnnotationsButton);
  memo->Select();
  QTest::mouseDClick(memo, Qt::LeftButton, {}, local(memo, view.ImageToClientRect(QRect(150, 150, 1, 1)).topLeft()));
  QTest::mouseRelease(memo, Qt::LeftButton, {}, local(memo, view.ImageToClientRect(QRect(150, 150, 1, 1)).topLeft()));  // a double click ends with the button up
  ASSERT_TRUE(memo->editing());
  EXPECT_EQ(view.editingAnnotation(), memo);
  // The viewer's edit commands reach the edit while it is open.
  EXPECT_TRUE(view.EditCommandEnabled(vcmd::kEditSelectAll));
  EXPECT_FALSE(view.EditCommandEnabled(vcmd::kEditCut));
  view.EditCommand(vcmd::kEditSelectAll);
  EXPECT_TRUE(view.EditCommandEnabled(vcmd::kEditCut));
  view.EditCommand(vcmd::kEditDelete);
  memo->CommitEdit();
  EXPECT_EQ(view.annotations()[0].box.BoxString, "  ");  // an empty text is kept as two spaces
  EXPECT_TRUE(view.annotationChanged());
  EXPECT_EQ(view.editingAnnotation(), nullptr);
  EXPECT_FALSE(memo->edit()->isVisible());

  // A link box drawn with its tool starts editing at "http://"; a pasted
  // second line is joined to the first and ends the editing.
  view.OnCommand(vcmd::kLinkButton);
  const QPoint a = view.ImageToClientRect(QRect(60, 260, 1, 1)).topLeft();
  const QPoint b = view.ImageToClientRect(QRect(400, 330, 1, 1)).topLeft();
  QTest::mousePress(view.viewport(), Qt::LeftButton, {}, a);
  QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, b);
  AnnBoxWnd* link = view.annotationWindow(1);
  ASSERT_TRUE(link && link->editing());
  EXPECT_EQ(link->edit()->toPlainText(), QStringLiteral("http://"));
  link->edit()->moveCursor(QTextCursor::End);
  link->edit()->insertPlainText(QStringLiteral("example.com/a\r\nb"));
  EXPECT_FALSE(link->editing());
  EXPECT_EQ(view.annotations()[1].box.BoxString, "http://example.com/ab");
  // The box takes the size of its one line of text.
  const QFontMetrics metrics(view.AnnotationFontAtZoom(view.annotations()[1].box));
  const QRect shown = view.ImageToClientRect(rectOf(1));
  EXPECT_EQ(shown.topLeft(), a);
  EXPECT_EQ(shown.height(), metrics.height() + 2);
  EXPECT_NEAR(shown.width(), metrics.horizontalAdvance(QStringLiteral("http://example.com/ab")) + metrics.height() / 2, 1);
}

TEST_F(AnnBoxWndTest, ADoubleClickOpensOnlyAWebOrMailLinkAndTheFontDialogRestylesTheBox) {
  AnnBox box = viewertest::annBox(4, QRect(100, 100, 200, 40));
  box.BoxString = "/etc/passwd";
  AnnBoxWnd* link = added(box);
  const std::string cwd = QDir::currentPath().toStdString();
  // Any tool: the link's double click is its own.
  QTest::mouseDClick(link, Qt::LeftButton, {}, local(link, view.ImageToClientRect(QRect(150, 110, 1, 1)).topLeft()));
  QTest::mouseRelease(link, Qt::LeftButton, {}, local(link, view.ImageToClientRect(QRect(150, 110, 1, 1)).topLeft()));  // a double click ends with the button up
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_NE(boxes.shown()[0].text.find("http"), std::string::npos);
  EXPECT_EQ(QDir::currentPath().toStdString(), cwd);

  AnnBoxWnd::SetFontChooser([](const QFont& initial, QColor) -> std::optional<std::pair<QFont, QColor>> {
    EXPECT_EQ(initial.pointSize(), 16);
    QFont chosen(QStringLiteral("Noto Sans CJK JP"));
    chosen.setPointSize(24);
    chosen.setBold(true);
    return std::make_pair(chosen, QColor(0, 128, 0));
  });
  link->OnCommand(AnnBoxWnd::kFont);
  const AnnBox& styled = view.annotations()[0].box;
  EXPECT_EQ(styled.FontSize, 240);
  EXPECT_GE(styled.FontBold, 700);
  EXPECT_EQ(styled.ForeColor, 0x008000);
  EXPECT_TRUE(view.annotationChanged());
  // The link box takes the height of its text in the new font.
  const QFontMetrics metrics(view.AnnotationFontAtZoom(styled));
  EXPECT_EQ(view.ImageToClientRect(rectOf(0)).height(), metrics.height() + 2);
}

TEST_F(AnnBoxWndTest, RegionToolsActOnTheBandThenTheTrimReturnsToTheToolBefore) {
  std::vector<QSize> asked;
  bool agree = false;
  view.SetTrimConfirmation([&](std::int32_t handle) {
    CImageCtrl probe;
    probe.SetImageHandle(handle);
    asked.push_back(probe.heldImage().size());
    return agree;
  });
  const auto band = [&](QRect image) {
    const QRect client = view.ImageToClientRect(image);
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, client.topLeft());
    QTest::mouseMove(view.viewport(), client.bottomRight());
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, client.bottomRight());
  };
  view.OnCommand(vcmd::kToolZoomButton);
  view.OnCommand(vcmd::kTrimButton);
  EXPECT_TRUE(view.CommandChecked(vcmd::kTrim));
  band(QRect(40, 30, 200, 150));
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], QSize(200, 150));
  EXPECT_EQ(view.imageSize(), QSize(500, 400));  // refused: nothing trimmed
  EXPECT_EQ(view.tool(), ImageView::kToolZoom);
  agree = true;
  view.OnCommand(vcmd::kTrim);
  band(QRect(40, 30, 200, 150));
  EXPECT_EQ(view.imageSize(), QSize(200, 150));
  EXPECT_TRUE(view.imageChanged());
  EXPECT_EQ(view.tool(), ImageView::kToolZoom);

  // Black fill after a Yes; the tool stays for the next region.
  view.SetZoom(ImageView::kHundredPercentStep);
  view.OnCommand(vcmd::kFillBlackButton);
  boxes.script({platform::Answer::Yes});
  band(QRect(10, 10, 50, 40));
  EXPECT_EQ(qGray(view.control()->heldImage().pixel(30, 30)), 0);
  EXPECT_EQ(view.tool(), ImageView::kToolFillBlack);
  // A click without a band does nothing.
  boxes.clear();
  const QPoint p = view.ImageToClientRect(QRect(100, 100, 1, 1)).topLeft();
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, p);
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(AnnBoxWndTest, AReadOnlyPageTakesAnnotationsButNoRegionTool) {
  QFile::setPermissions(QString::fromStdString(folder + "/page.png"), QFile::ReadOwner | QFile::ReadGroup);
  view.LoadImage(folder, viewertest::pageItem());
  ASSERT_EQ(view.state(), ImageView::kReadOnly);
  EXPECT_TRUE(view.CommandEnabled(vcmd::kTextBoxButton));
  EXPECT_TRUE(view.CommandEnabled(vcmd::kSelectAnnotationsTool));
  for (int id : {vcmd::kTrim, vcmd::kInvertButton, vcmd::kFillWhite, vcmd::kFillBlackButton}) {
    EXPECT_FALSE(view.CommandEnabled(id));
    view.OnCommand(id);
    EXPECT_EQ(view.tool(), ImageView::kToolDrag);
  }
}

TEST_F(AnnBoxWndTest, EachToolHasItsCursorAndALinkShowsAHandOnlyUnderTheDragTool) {
  AnnBoxWnd* link = added(viewertest::annBox(4, QRect(100, 100, 200, 30)));
  AnnBoxWnd* memo = added(viewertest::annBox(0, QRect(300, 200, 100, 60)));
  struct Case {
    int command;
    Qt::CursorShape view, link, memo;
  };
  for (const Case& c : {Case{vcmd::kToolDragButton, Qt::OpenHandCursor, Qt::PointingHandCursor, Qt::OpenHandCursor},
                        Case{vcmd::kSelectAnnotationsButton, Qt::ArrowCursor, Qt::ArrowCursor, Qt::ArrowCursor},
                        Case{vcmd::kTextBoxButton, Qt::CrossCursor, Qt::CrossCursor, Qt::CrossCursor},
                        Case{vcmd::kInvertButton, Qt::CrossCursor, Qt::CrossCursor, Qt::CrossCursor}}) {
    SCOPED_TRACE(c.command);
    view.OnCommand(c.command);
    EXPECT_EQ(view.viewport()->cursor().shape(), c.view);
    EXPECT_EQ(link->cursor().shape(), c.link);
    EXPECT_EQ(memo->cursor().shape(), c.memo);
  }
}

TEST_F(AnnBoxWndTest, ASelectedBoxLetsGoWhenThePointerLeavesTheView) {
  AnnBoxWnd* memo = added(viewertest::annBox(0, QRect(100, 100, 120, 80)));
  view.OnCommand(vcmd::kSelectAnnotationsButton);
  memo->Select();
  QEvent leave(QEvent::Leave);
  // Onto the box itself: the viewport is left for its child, the box stays held.
  QCursor::setPos(view.viewport()->mapToGlobal(memo->geometry().center()));
  QCoreApplication::sendEvent(view.viewport(), &leave);
  EXPECT_TRUE(memo->selected());
  QCursor::setPos(view.viewport()->mapToGlobal(QPoint(-30, -30)));
  QCoreApplication::sendEvent(view.viewport(), &leave);
  EXPECT_FALSE(memo->selected());
}

TEST_F(AnnBoxWndTest, ScreenshotOfSelectedAndEditedBoxes) {
  AnnBox memo = viewertest::annBox(0, QRect(40, 40, 220, 90));
  memo.BackColor = 0xC0C0C0;
  memo.BoxString = "確認済み";
  AnnBox link = viewertest::annBox(4, QRect(40, 300, 260, 30));
  link.ForeColor = 0xFF0000;
  link.BoxString = "http://example.com/";
  AnnBox mark = viewertest::annBox(1, QRect(280, 150, 180, 40));
  mark.ForeColor = 0x00FFFF;
  AnnBox arrow = viewertest::annBox(3, QRect(300, 220, 150, 100));
  arrow.AnnParam1 = 1;
  arrow.AnnParam2 = 3;
  AnnBoxWnd* m = added(memo);
  added(link);
  AnnBoxWnd* h = added(mark);
  added(arrow);
  view.OnCommand(vcmd::kSelectAnnotationsButton);
  h->Select();
  m->StartEdit();
  m->edit()->insertPlainText(QStringLiteral("\n編集中"));
  QCoreApplication::processEvents();
  QDir().mkpath(BRINDEL_SCREENSHOT_DIR);
  EXPECT_TRUE(view.grab().save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/annotation_windows.png")));
}

}  // namespace
