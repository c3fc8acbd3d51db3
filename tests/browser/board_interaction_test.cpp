// The board's selection, drags, rubber band, wheel and menus (on a board of
// recorded entries), and the document operations behind them (stacking,
// unstacking, deleting, opening) on a real folder catalogue.

#include "browser/board_menus.h"
#include "browser/board_operations.h"
#include "browser/fd3_view.h"
#include "browser/folder_tree.h"
#include "browser/thumbnail_pane_wnd.h"
#include "catalogue/catalogue_records.h"
#include "catalogue/file_utilities.h"
#include "platform/clock.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/command_ids.h"
#include "shell/fd3_doc.h"
#include "shell/page_select_dlg.h"
#include "tests/browser/fake_board_source.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "shell/app_profile.h"
#include "shell/main_frame.h"
#include "tests/shell/fresh_environment.h"
#include "tests/shell/wait_until.h"
#include "tests/support/test_env.h"
#include "tests/browser/view_fixture.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace fs = std::filesystem;

// Records the URLs the desktop would have opened.
class UrlRecorder : public QObject {
  Q_OBJECT
 public:
  std::vector<QUrl> opened;
 public slots:
  void open(const QUrl& url) { opened.push_back(url); }
};

namespace {

void mouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons,
           Qt::KeyboardModifiers mods = {}) {
  QMouseEvent event(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, buttons, mods);
  QApplication::sendEvent(w, &event);
}
void press(QWidget* w, QPoint pos, Qt::KeyboardModifiers mods = {}, Qt::MouseButton b = Qt::LeftButton) {
  mouse(w, QEvent::MouseButtonPress, pos, b, b, mods);
}
void move(QWidget* w, QPoint pos, Qt::KeyboardModifiers mods = {}, Qt::MouseButtons b = Qt::LeftButton) {
  mouse(w, QEvent::MouseMove, pos, Qt::NoButton, b, mods);
}
void release(QWidget* w, QPoint pos, Qt::KeyboardModifiers mods = {}, Qt::MouseButton b = Qt::LeftButton) {
  mouse(w, QEvent::MouseButtonRelease, pos, b, Qt::NoButton, mods);
}

QPoint client(const ThumbnailPaneWnd& board, QPoint boardPoint) {
  const board::Point s = board.scrollPosition();
  return boardPoint - QPoint(s.x, s.y);
}
QPoint pictureCentre(const ThumbnailPaneWnd& board, int tile) {
  return client(board, board.Tile(tile)->PictureRect().center());
}

std::set<int> selected(const ThumbnailPaneWnd& board) {
  const std::vector<int> v = board.SelectedEntryIndices();
  return {v.begin(), v.end()};
}

class BoardInteractionTest : public ::testing::Test {
 protected:
  void SetUp() override { source.folder = folder.path(); }
  std::unique_ptr<ThumbnailPaneWnd> makeBoard(QSize size = {600, 400}) {
    auto b = std::make_unique<ThumbnailPaneWnd>(nullptr, ThumbnailPaneWnd::kFolderBoard);
    b->SetSource(&source);
    b->ApplySettings(BoardSettings{});
    b->resize(size);
    b->show();
    QCoreApplication::processEvents();
    for (int i = 0; i < source.EntryCount(); ++i) b->AddTile(i, nullptr, nullptr);
    b->UpdateScrollExtent(1, 0);
    return b;
  }
  // Three single items side by side.
  std::unique_ptr<ThumbnailPaneWnd> threeTiles() {
    source.addItem(1, "a", "bmp", {100, 10});
    source.addItem(2, "b", "bmp", {250, 10});
    source.addItem(3, "c", "bmp", {400, 10});
    return makeBoard();
  }

  testsupport::TempDir folder;
  FakeBoardSource source;
  platform::RecordingUserInteraction boxes;
};

// ---- selection ------------------------------------------------------------------

TEST_F(BoardInteractionTest, ClicksSelectByTheBoardsRules) {
  auto board = threeTiles();
  QWidget* vp = board->viewport();
  const Qt::KeyboardModifiers none;
  struct Step {
    const char* what;
    int tile;
    Qt::KeyboardModifiers mods;
    std::set<int> after;
  } steps[] = {
      {"plain click selects only that tile", 0, none, {0}},
      {"Ctrl adds", 1, Qt::ControlModifier, {0, 1}},
      {"Shift adds too", 2, Qt::ShiftModifier, {0, 1, 2}},
      {"Ctrl on a selected tile takes it away", 1, Qt::ControlModifier, {0, 2}},
      {"Shift on a selected tile takes it away", 0, Qt::ShiftModifier, {2}},
      {"Shift and Ctrl together are ignored", 0, Qt::ShiftModifier | Qt::ControlModifier, {2}},
      {"Ctrl again", 0, Qt::ControlModifier, {0, 2}},
      {"a plain click on one of several selected leaves only it", 2, none, {2}},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    const QPoint at = pictureCentre(*board, s.tile);
    press(vp, at, s.mods);
    release(vp, at, s.mods);
    EXPECT_EQ(selected(*board), s.after);
  }
  // Pressing a selected tile keeps the whole selection while the button is down.
  board->OnSelectAll();
  press(vp, pictureCentre(*board, 1));
  EXPECT_EQ(selected(*board), (std::set<int>{0, 1, 2}));
  release(vp, pictureCentre(*board, 1));
  EXPECT_EQ(selected(*board), (std::set<int>{1}));
  // A press on free space deselects everything.
  press(vp, {5, 300});
  release(vp, {5, 300});
  EXPECT_TRUE(selected(*board).empty());
}

TEST_F(BoardInteractionTest, AOnePixelJiggleIsNoDragTheNextMoveIs) {
  auto board = threeTiles();
  QWidget* vp = board->viewport();
  board->SelectOnly(0);
  board->Tile(1)->SetSelected(true);
  const QPoint a = pictureCentre(*board, 0);
  const board::Point before = board->Tile(0)->anchor();

  press(vp, a);
  move(vp, a + QPoint(1, 0));  // begins the drag
  EXPECT_EQ(board->dragRectangles().size(), 2u);
  move(vp, a + QPoint(2, 0));  // one pixel: only the latch
  EXPECT_FALSE(board->isDragging());
  release(vp, a + QPoint(2, 0));
  EXPECT_TRUE(source.positionWrites.empty());
  EXPECT_EQ(selected(*board), (std::set<int>{0})) << "no drag: the click rule applies";

  board->Tile(1)->SetSelected(true);
  press(vp, a);
  move(vp, a + QPoint(1, 0));
  move(vp, a + QPoint(2, 0));
  EXPECT_FALSE(board->isDragging());
  move(vp, a + QPoint(3, 0));  // the move after the jiggle makes it real
  EXPECT_TRUE(board->isDragging());
  release(vp, a + QPoint(3, 0));
  ASSERT_EQ(source.positionWrites.size(), 1u);
  EXPECT_EQ(source.positionWrites[0].first.size(), 2u);
  EXPECT_EQ(board->Tile(0)->anchor(), (board::Point{before.x + 2, before.y}));
  EXPECT_EQ(selected(*board), (std::set<int>{0, 1})) << "a drag keeps the selection";

  // Two pixels at once are a drag at the first counted move.
  press(vp, a);
  move(vp, a + QPoint(0, 1));
  move(vp, a + QPoint(0, 3));
  EXPECT_TRUE(board->isDragging());
  release(vp, a + QPoint(0, 3));
}

TEST_F(BoardInteractionTest, ADropOnASelectedTileIsAMoveAndOnAnotherTileAMerge) {
  auto board = threeTiles();
  QWidget* vp = board->viewport();
  QSignalSpy merges(board.get(), &ThumbnailPaneWnd::mergeRequested);
  board->SelectOnly(0);
  board->Tile(1)->SetSelected(true);
  const QPoint a = pictureCentre(*board, 0);
  const QPoint b = pictureCentre(*board, 1);
  press(vp, a);
  move(vp, a + QPoint(5, 0));
  move(vp, b);
  EXPECT_EQ(board->dropTarget(), -1) << "selected tiles are never targets";
  release(vp, b);
  EXPECT_EQ(merges.count(), 0);
  ASSERT_EQ(source.positionWrites.size(), 1u);

  const QPoint a2 = pictureCentre(*board, 0);
  const QPoint c = pictureCentre(*board, 2);
  press(vp, a2);
  move(vp, a2 + QPoint(5, 0));
  move(vp, c);
  EXPECT_EQ(board->dropTarget(), 2);
  release(vp, c);
  ASSERT_EQ(merges.count(), 1);
  EXPECT_EQ(merges.at(0).at(0).toInt(), 2);
  EXPECT_EQ(source.positionWrites.size(), 1u) << "a merge stores no dragged positions";
  EXPECT_EQ(board->dropTarget(), -1);
}

TEST_F(BoardInteractionTest, TheBandScrolls30PixelsPerMovePastTheEdgeAndStopsAtTheEnd) {
  // A column of tiles far taller than the board.
  for (int i = 0; i < 12; ++i) source.addItem(i + 1, "t" + std::to_string(i), "bmp", {60, 10 + 140 * i});
  source.addItem(99, "right", "bmp", {400, 10});
  auto board = makeBoard({500, 300});
  QWidget* vp = board->viewport();
  QScrollBar* bar = board->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 90);
  const int last = bar->maximum();

  press(vp, {5, 5});
  std::vector<int> positions;
  for (int i = 0; i < 100 && (positions.empty() || positions.back() < last); ++i) {
    move(vp, {150, vp->height() + 10});
    positions.push_back(bar->value());
  }
  for (size_t k = 0; k + 1 < positions.size(); ++k) EXPECT_EQ(positions[k], 30 * static_cast<int>(k + 1));
  EXPECT_EQ(positions.back(), last);
  move(vp, {150, vp->height() + 10});
  EXPECT_EQ(bar->value(), last) << "the end of the range stops the scrolling";
  // The band reaches from where it started, carried with the content.
  EXPECT_EQ(board->bandRect().top(), 5 - last);
  release(vp, {150, vp->height() + 10});
  std::set<int> column;
  for (int i = 0; i < 12; ++i) column.insert(i);
  EXPECT_EQ(selected(*board), column);

  // At the top, moving above the board scrolls back and stops at 0.
  press(vp, {5, 100});
  for (int i = 0; i < 100; ++i) move(vp, {5, -10});
  EXPECT_EQ(bar->value(), 0);
  release(vp, {5, -10});
}

// ---- wheel and scroll codes -------------------------------------------------------

TEST(ThumbnailPaneScroll, CodesMoveThePositionWithinTheRange) {
  struct Case {
    int code, position, amount, expected;
  } cases[] = {{0, 100, 0, 70},  {0, 10, 0, 0},      {1, 100, 0, 130}, {1, 490, 0, 500}, {2, 100, 0, 0},
               {3, 100, 0, 300}, {3, 400, 0, 500},   {4, 0, 600, 500}, {5, 0, 600, 600}, {6, 300, 0, 0},
               {7, 0, 0, 500},   {16, 100, 120, 0},  {16, 300, 120, 180}, {17, 450, 120, 500}, {9, 123, 0, 123}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code * 1000 + c.position);
    EXPECT_EQ(ThumbnailPaneWnd::NewScrollPosition(c.code, c.position, 0, 500, 200, c.amount), c.expected);
  }
}

TEST_F(BoardInteractionTest, AWheelNotchPostsAScrollStepOf120) {
  for (int i = 0; i < 12; ++i) source.addItem(i + 1, "t" + std::to_string(i), "bmp", {60, 10 + 140 * i});
  auto board = makeBoard({500, 300});
  QSignalSpy steps(board.get(), &ThumbnailPaneWnd::scrollRequested);
  board->verticalScrollBar()->setValue(200);
  QWheelEvent up(QPointF(50, 50), QPointF(board->mapToGlobal(QPoint(50, 50))), QPoint(), QPoint(0, 120),
                 Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(board->viewport(), &up);
  ASSERT_EQ(steps.count(), 1);
  EXPECT_EQ(steps.at(0).at(0).value<Qt::Orientation>(), Qt::Vertical);
  EXPECT_EQ(steps.at(0).at(1).toInt(), 16);
  EXPECT_EQ(steps.at(0).at(2).toInt(), 120);
  EXPECT_EQ(board->verticalScrollBar()->value(), 200) << "posted, not done at once";
  QCoreApplication::processEvents();
  EXPECT_EQ(board->verticalScrollBar()->value(), 80);

  // A board without a scroll bar ignores the wheel.
  FakeBoardSource few;
  few.folder = folder.path();
  few.addItem(1, "a", "bmp", {60, 10});
  ThumbnailPaneWnd small(nullptr, ThumbnailPaneWnd::kFolderBoard);
  small.SetSource(&few);
  small.resize(500, 300);
  small.show();
  small.AddTile(0, nullptr, nullptr);
  small.UpdateScrollExtent(1, 0);
  QSignalSpy none(&small, &ThumbnailPaneWnd::scrollRequested);
  QApplication::sendEvent(small.viewport(), &up);
  EXPECT_EQ(none.count(), 0);
}


TEST_F(BoardInteractionTest, SelectingByDocumentBringsTheTileIntoViewWithAMargin) {
  for (int i = 0; i < 12; ++i) source.addItem(i + 1, "t" + std::to_string(i), "bmp", {60, 10 + 140 * i});
  auto board = makeBoard({500, 300});
  QScrollBar* bar = board->verticalScrollBar();
  board->SelectItemById(0, 9);  // below the client: its bottom comes to 10 px above the edge
  ThumbnailItemWnd* tile = board->Tile(8);
  EXPECT_EQ(tile->anchor().y + tile->GetCaptionRect().h - bar->value(), board->viewport()->height() - 10);
  EXPECT_EQ(selected(*board), (std::set<int>{8}));
  board->SelectItemById(0, 1);  // above: its top comes to 10
  EXPECT_EQ(bar->value(), 0);
  const int at = bar->value();
  board->SelectItemById(1, 1);  // not on the board
  EXPECT_EQ(bar->value(), at);
  EXPECT_EQ(selected(*board), (std::set<int>{0}));
}

// ---- menus --------------------------------------------------------------------------

TEST_F(BoardInteractionTest, ThePaneMenuGreysWhatCannotRun) {
  const int sorts[] = {cmd::kSortTitle, cmd::kSortIssueDate, cmd::kSortModified, cmd::kSortAccessed};
  auto empty = makeBoard();
  bool clipboard = false;
  empty->commandAvailable = [&](int id) { return id == cmd::kPaste && clipboard; };
  auto menu = empty->BuildPaneMenu();
  for (int id : {cmd::kArrangeEvenly, panecmd::kSelectAll, cmd::kPaste}) EXPECT_FALSE(MenuAction(*menu, id)->isEnabled()) << id;
  for (int id : sorts) EXPECT_FALSE(MenuAction(*menu, id)->isEnabled()) << id;
  EXPECT_TRUE(MenuAction(*menu, cmd::kAutoArrange)->isEnabled());
  EXPECT_FALSE(MenuAction(*menu, cmd::kAutoArrange)->isChecked());
  clipboard = true;
  EXPECT_TRUE(MenuAction(*empty->BuildPaneMenu(), cmd::kPaste)->isEnabled());

  auto board = threeTiles();
  board->commandAvailable = [](int) { return false; };
  menu = board->BuildPaneMenu();
  for (int id : sorts) EXPECT_TRUE(MenuAction(*menu, id)->isEnabled()) << id;
  EXPECT_TRUE(MenuAction(*menu, panecmd::kSelectAll)->isEnabled());
  EXPECT_FALSE(MenuAction(*menu, cmd::kPaste)->isEnabled()) << "nothing copied";

  // A right click on free space deselects and opens it; its select all works.
  board->SelectOnly(1);
  std::vector<std::string> shown;
  board->menuRunner = [&](QMenu& m, QPoint) {
    shown.push_back(m.objectName().toStdString());
    return MenuAction(m, panecmd::kSelectAll);
  };
  press(board->viewport(), {5, 300}, {}, Qt::RightButton);
  EXPECT_TRUE(selected(*board).empty());
  release(board->viewport(), {5, 300}, {}, Qt::RightButton);
  EXPECT_EQ(shown, std::vector<std::string>{"ThumbRightClick Pane"});
  EXPECT_EQ(selected(*board), (std::set<int>{0, 1, 2}));
}

TEST(BoardMenus, TileMenusFollowKindAndSelection) {
  struct Case {
    const char* what;
    TileMenuState state;
    std::vector<int> enabled;
    std::vector<int> disabled;
  };
  TileMenuState single;
  TileMenuState two = single;
  two.selectedCount = 2;
  TileMenuState stack;
  stack.stack = true;
  TileMenuState stacks = stack;
  stacks.selectedCount = 2;
  TileMenuState image = single;
  image.anyImageSelected = true;
  TileMenuState unavailable = two;
  unavailable.stackAvailable = false;
  unavailable.exportAvailable = false;
  const Case cases[] = {
      {"one single item", single, {tilecmd::kRename, tilecmd::kProperties, tilecmd::kDelete},
       {tilecmd::kStack, tilecmd::kOcr, tilecmd::kRotateRight}},
      {"two selected, a single item's menu", two, {tilecmd::kStack, tilecmd::kDuplicate, tilecmd::kExport},
       {tilecmd::kRename, tilecmd::kProperties}},
      {"one stack", stack, {tilecmd::kUnstackOne, tilecmd::kUnstackAll, tilecmd::kReorderPages, tilecmd::kRenameDialog},
       {tilecmd::kStack}},
      {"two selected, a stack's menu", stacks, {tilecmd::kDuplicateAllPages, tilecmd::kStack},
       {tilecmd::kDuplicatePage, tilecmd::kUnstackOne, tilecmd::kUnstackAll, tilecmd::kReorderPages,
        tilecmd::kRenameDialog, tilecmd::kProperties}},
      {"an image", image, {tilecmd::kOcr, tilecmd::kRotateLeft, tilecmd::kRotateRight, tilecmd::kRotate180}, {}},
      {"commands without a handler", unavailable, {tilecmd::kDelete}, {tilecmd::kStack, tilecmd::kExport}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto menu = BuildTileMenu(c.state);
    for (int id : c.enabled) {
      ASSERT_NE(MenuAction(*menu, id), nullptr) << std::hex << id;
      EXPECT_TRUE(MenuAction(*menu, id)->isEnabled()) << std::hex << id;
    }
    for (int id : c.disabled) {
      ASSERT_NE(MenuAction(*menu, id), nullptr) << std::hex << id;
      EXPECT_FALSE(MenuAction(*menu, id)->isEnabled()) << std::hex << id;
    }
  }
  // The application submenu: position 6, greyed without applications.
  auto menu = BuildTileMenu(single);
  QAction* launch = menu->actions().at(6);
  ASSERT_NE(launch->menu(), nullptr);
  EXPECT_EQ(launch->text(), QStringLiteral("アプリケーションの起動"));
  EXPECT_FALSE(launch->isEnabled());
  TileMenuState apps = single;
  apps.applications = {QStringLiteral("表計算"), QStringLiteral("メール")};
  menu = BuildTileMenu(apps);
  EXPECT_TRUE(menu->actions().at(6)->isEnabled());
  EXPECT_EQ(MenuAction(*menu, 0xAF1)->text(), QStringLiteral("メール"));
}

TEST_F(BoardInteractionTest, ARightClickSelectsTheTileAndItsMenuCommandsReachTheOwner) {
  auto board = threeTiles();
  QWidget* vp = board->viewport();
  source.records[2].item.ImageLevel = 1;
  board->SelectOnly(0);
  board->Tile(1)->SetSelected(true);
  QSignalSpy commands(board.get(), &ThumbnailPaneWnd::viewCommandRequested);
  QSignalSpy deletes(board.get(), &ThumbnailPaneWnd::deleteRequested);
  int chosen = tilecmd::kExport;
  std::vector<bool> ocrEnabled;
  board->menuRunner = [&](QMenu& m, QPoint) {
    ocrEnabled.push_back(MenuAction(m, tilecmd::kOcr)->isEnabled());
    return MenuAction(m, chosen);
  };
  // An unselected tile becomes the only selected one.
  press(vp, pictureCentre(*board, 2), {}, Qt::RightButton);
  release(vp, pictureCentre(*board, 2), {}, Qt::RightButton);
  EXPECT_EQ(selected(*board), (std::set<int>{2}));
  ASSERT_EQ(commands.count(), 1);
  EXPECT_EQ(commands.at(0).at(0).toInt(), cmd::kExport);
  // A selected tile keeps the selection.
  board->Tile(0)->SetSelected(true);
  chosen = tilecmd::kDelete;
  press(vp, pictureCentre(*board, 0), {}, Qt::RightButton);
  release(vp, pictureCentre(*board, 0), {}, Qt::RightButton);
  EXPECT_EQ(selected(*board), (std::set<int>{0, 2}));
  EXPECT_EQ(deletes.count(), 1);
  EXPECT_EQ(ocrEnabled, (std::vector<bool>{true, true}));
  // Off the tile at the release: no menu.
  press(vp, pictureCentre(*board, 1), {}, Qt::RightButton);
  release(vp, {5, 300}, {}, Qt::RightButton);
  EXPECT_EQ(ocrEnabled.size(), 2u);
}

TEST_F(BoardInteractionTest, ThePageCountersMiddleChoosesAPageInTheDialog) {
  source.addStack(4, "束", 3, 1);
  for (int p = 1; p <= 3; ++p) {
    ItemInfo page;
    page.Title = "束の" + std::to_string(p) + "頁";
    page.Ext = "bmp";
    source.stackPages.push_back(page);
  }
  auto board = makeBoard();
  board->ArrangeItems(0, 1, 0);
  int preselected = -2;
  QString name;
  board->pageDialogRunner = [&](PageSelectDlg& dialog) {
    name = dialog.objectName();
    preselected = dialog.list()->indexOfTopLevelItem(dialog.list()->currentItem());
    dialog.list()->setCurrentItem(dialog.list()->topLevelItem(2));
    dialog.accept();
    return dialog.result();
  };
  const QRect counter = board->Tile(0)->pageCounter().rect;
  QTest::mouseClick(board->viewport(), Qt::LeftButton, {}, client(*board, counter.topLeft() + QPoint(50, 10)));
  EXPECT_EQ(name, QStringLiteral("dlg10240"));
  EXPECT_EQ(preselected, 0);
  ASSERT_EQ(source.stackWrites.size(), 1u);
  EXPECT_EQ(source.stackWrites[0].first.CurPageNo, 3);
  EXPECT_EQ(board->Tile(0)->pageCounter().currentPage(), 3);

  // Cancel changes nothing.
  board->pageDialogRunner = [](PageSelectDlg&) { return int(QDialog::Rejected); };
  QTest::mouseClick(board->viewport(), Qt::LeftButton, {}, client(*board, counter.topLeft() + QPoint(50, 10)));
  EXPECT_EQ(source.stackWrites.size(), 1u);
}

// ---- the documents behind the board ---------------------------------------------------

class BoardOperationsTest : public BrowserViewFixture {
 protected:
  int tileOf(int kind, int number) const { return entryOf(kind, number); }
  // Opening a folder compacts its catalogue: numbers are looked up by title.
  int stackNo(const std::string& title) {
    const int number = BrowserViewFixture::stackNo(title);
    EXPECT_NE(number, 0) << title;
    return number;
  }
  int itemNo(const std::string& title, const std::string& ext = "bmp") {
    const int number = BrowserViewFixture::itemNo(title, ext);
    EXPECT_NE(number, 0) << title;
    return number;
  }
  void selectOnly(std::initializer_list<std::pair<int, int>> documents) {
    board->SelectOnly(-1);
    for (auto [kind, number] : documents) {
      if (ThumbnailItemWnd* tile = board->Tile(tileOf(kind, number)))
        tile->SetSelected(true);
      else
        ADD_FAILURE() << "no tile for " << kind << "/" << number;
    }
  }
  void expectInStep() {
    EXPECT_EQ(board->tileCount(), document.EntryList().GetCount());
    for (int i = 0; i < board->tileCount(); ++i) EXPECT_EQ(board->Tile(i)->GetIndex(), i);
    EXPECT_TRUE(cataloguetest::catalogueInvariantsHold(document.Database()));
  }
};

TEST_F(BoardOperationsTest, DroppingAAndBOnCWhileCAndC2ExistMakesC3) {
  {
    cataloguetest::CatalogueRows rows(folder);
    rows.addItem({.itemNo = 1, .title = "A"});
    rows.addItem({.itemNo = 2, .title = "B"});
    rows.addItem({.itemNo = 3, .title = "C"});
    rows.addStack(10, "C", 1);
    rows.addItem({.itemNo = 4, .title = "c1", .stackNo = 10, .pageNo = 1});
    rows.addItem({.itemNo = 5, .title = "c2", .stackNo = 10, .pageNo = 2});
    rows.addStack(11, "C(2)", 1);
    rows.addItem({.itemNo = 6, .title = "d1", .stackNo = 11, .pageNo = 1});
    rows.addItem({.itemNo = 7, .title = "d2", .stackNo = 11, .pageNo = 2});
  }
  show();
  ASSERT_EQ(board->tileCount(), 5);
  const int c = tileOf(0, 3);
  const board::Point cAt = board->Tile(c)->anchor();
  selectOnly({{0, 1}, {0, 2}});
  // Dragged with the mouse from A onto C.
  QWidget* vp = board->viewport();
  const QPoint from = pictureCentre(*board, tileOf(0, 1));
  const QPoint to = pictureCentre(*board, c);
  press(vp, from);
  move(vp, from + QPoint(5, 5));
  move(vp, to);
  release(vp, to);

  int found = 0, stackNo = 0;
  ASSERT_EQ(document.Database().FindStack("C(3)", found, stackNo), 0);
  ASSERT_TRUE(found);
  EXPECT_EQ(pageTitles(stackNo), (std::vector<std::string>{"A", "B", "C"}));
  StackInfo made;
  ASSERT_EQ(document.Database().GetStackInfo(stackNo, made), 0);
  EXPECT_EQ(made.CurPageNo, 1);
  EXPECT_EQ((board::Point{made.StackPosX, made.StackPosY}), cAt);
  EXPECT_EQ(made.LastModifiedDate, platform::todayYmd());
  const int index = tileOf(1, stackNo);
  ASSERT_GE(index, 0);
  EXPECT_EQ(board->tileCount(), 3);
  EXPECT_EQ(selected(*board), (std::set<int>{index}));
  EXPECT_EQ(board->Tile(index)->upperCaption().text(), QStringLiteral("C(3)"));
  expectInStep();
}

TEST_F(BoardOperationsTest, StackingTheSelectionTakesTheStacksTitle) {
  {
    cataloguetest::CatalogueRows rows(folder);
    rows.addItem({.itemNo = 1, .title = "A"});
    rows.addStack(10, "T", 1);
    rows.addItem({.itemNo = 4, .title = "t1", .stackNo = 10, .pageNo = 1});
    rows.addItem({.itemNo = 5, .title = "t2", .stackNo = 10, .pageNo = 2});
  }
  show();
  board->OnSelectAll();
  view->OnEditStack();
  ASSERT_EQ(board->tileCount(), 1);
  const DisplayEntry* e = document.EntryList().GetAt(0);
  ASSERT_TRUE(e->isStack());
  EXPECT_EQ(e->title, "T");
  EXPECT_EQ(pageTitles(e->number).size(), 3u);
  expectInStep();
}

TEST_F(BoardOperationsTest, UnstackingPlacesThePagesBesideTheStack) {
  {
    cataloguetest::CatalogueRows rows(folder);
    rows.addStack(10, "三頁", 3);
    for (int p = 1; p <= 3; ++p) rows.addItem({.itemNo = p, .title = "s" + std::to_string(p), .stackNo = 10, .pageNo = p});
    rows.addStack(20, "二頁", 2);
    for (int p = 1; p <= 2; ++p) rows.addItem({.itemNo = 10 + p, .title = "t" + std::to_string(p), .stackNo = 20, .pageNo = p});
    rows.addStack(30, "四頁", 1);
    for (int p = 1; p <= 4; ++p) rows.addItem({.itemNo = 20 + p, .title = "u" + std::to_string(p), .stackNo = 30, .pageNo = p});
    rows.addItem({.itemNo = 40, .title = "single"});
  }
  show();
  FolderDatabase& db = document.Database();
  const auto position = [&](int itemNo) {
    ItemInfo item;
    EXPECT_EQ(db.GetItemInfo(itemNo, item), 0);
    return board::Point{item.SingleItemPosX, item.SingleItemPosY};
  };
  const auto stackAt = [&](int stackNo) {
    StackInfo s;
    EXPECT_EQ(db.GetStackInfo(stackNo, s), 0);
    return board::Point{s.StackPosX, s.StackPosY};
  };

  // One page out of three, the current page 3.
  const int three = stackNo("三頁");
  const int two = stackNo("二頁");
  const int four = stackNo("四頁");
  const int s3 = itemNo("s3"), t1 = itemNo("t1"), t2 = itemNo("t2"), single = itemNo("single");
  int u[5] = {0};
  for (int p = 1; p <= 4; ++p) u[p] = itemNo("u" + std::to_string(p));
  const board::Point s10 = stackAt(three);
  // A tile taken out goes where it covers no other tile.
  const auto coversNone = [&](int index) {
    const ThumbnailItemWnd* tile = board->Tile(index);
    const auto boxOf = [](const ThumbnailItemWnd& t) {
      const board::Size box = t.GetCaptionRect();
      return QRect(t.anchor().x - box.w / 2, t.anchor().y, box.w, box.h);
    };
    for (int other = 0; other < board->tileCount(); ++other)
      if (other != index && boxOf(*board->Tile(other)).intersects(boxOf(*tile))) return false;
    return true;
  };
  ops->UnstackOne(tileOf(1, three));
  EXPECT_NE(position(s3), (board::Point{s10.x + 20, s10.y + 20}));
  EXPECT_TRUE(coversNone(tileOf(0, s3)));
  EXPECT_EQ(position(s3), board->Tile(tileOf(0, s3))->anchor());
  EXPECT_EQ(selected(*board), (std::set<int>{tileOf(0, s3)}));
  StackInfo after;
  ASSERT_EQ(db.GetStackInfo(three, after), 0);
  EXPECT_EQ(after.PageCount, 2);
  EXPECT_EQ(after.CurPageNo, 2);
  EXPECT_EQ(after.LastAccessedDate, platform::todayYmd());
  EXPECT_EQ(board->Tile(tileOf(1, three))->pageCounter().currentPage(), 2);
  expectInStep();

  // One page out of two, the current page 2: the stack dissolves.
  const board::Point s20 = stackAt(two);
  ops->UnstackOne(tileOf(1, two));
  EXPECT_EQ(tileOf(1, two), -1);
  EXPECT_EQ(position(t1), s20);  // the stack's own place, free now
  EXPECT_TRUE(coversNone(tileOf(0, t1)));
  EXPECT_TRUE(coversNone(tileOf(0, t2)));
  EXPECT_EQ(selected(*board), (std::set<int>{tileOf(0, t2)}));
  expectInStep();

  // All pages: page 1 at the stack's place, the others where they cover
  // nothing; all selected.
  const board::Point s30 = stackAt(four);
  ops->UnstackAll(tileOf(1, four));
  EXPECT_EQ(position(u[1]), s30);
  for (int p = 1; p <= 4; ++p) EXPECT_TRUE(coversNone(tileOf(0, u[p]))) << p;
  std::set<int> pages;
  for (int p = 1; p <= 4; ++p) pages.insert(tileOf(0, u[p]));
  EXPECT_EQ(selected(*board), pages);
  expectInStep();

  // Both unstack requests leave a single item alone.
  const int count = board->tileCount();
  ops->UnstackOne(tileOf(0, single));
  ops->UnstackAll(tileOf(0, single));
  EXPECT_EQ(board->tileCount(), count);
}

TEST_F(BoardOperationsTest, UnstackingAllWithAutomaticArrangementKeepsPageOrder) {
  {
    cataloguetest::CatalogueRows rows(folder);
    rows.addItem({.itemNo = 40, .title = "before"});
    rows.addStack(30, "四頁", 1);
    for (int p = 1; p <= 4; ++p) rows.addItem({.itemNo = 20 + p, .title = "u" + std::to_string(p), .stackNo = 30, .pageNo = p});
    rows.addItem({.itemNo = 41, .title = "after"});
  }
  show();
  BoardSettings settings = board->settings();
  settings.autoSort = 1;
  board->ApplySettings(settings);
  board->ArrangeItems(ThumbnailPaneWnd::kSortVisual, 1, 0);
  std::vector<int> before;
  for (int i = 0; i < board->tileCount(); ++i) before.push_back(document.EntryList().GetAt(i)->number);
  const int four = stackNo("四頁");
  ops->UnstackAll(tileOf(1, four));
  std::vector<int> order;
  for (int i = 0; i < board->tileCount(); ++i) order.push_back(document.EntryList().GetAt(i)->number);
  std::vector<int> expected;
  for (int n : before) {
    if (n == four) {
      for (int p = 1; p <= 4; ++p) expected.push_back(itemNo("u" + std::to_string(p)));
    } else {
      expected.push_back(n);
    }
  }
  EXPECT_EQ(order, expected);
  expectInStep();
}

TEST_F(BoardOperationsTest, DeleteMovesToTheTrashAndShiftDeletesForGood) {
  {
    cataloguetest::CatalogueRows rows(folder);
    rows.addItem({.itemNo = 1, .title = "a", .ext = "doc"});
    rows.addItem({.itemNo = 2, .title = "b", .ext = "doc"});
    rows.addStack(10, "束", 1);
    rows.addItem({.itemNo = 3, .title = "p1", .ext = "bmp", .stackNo = 10, .pageNo = 1});
    rows.addItem({.itemNo = 4, .title = "p2", .ext = "bmp", .stackNo = 10, .pageNo = 2});
  }
  for (const char* f : {"a.doc", "a.doc.TXT", "b.doc", "p1.bmp", "p2.bmp"}) touch(f);
  show();
  const int aNo = itemNo("a", "doc"), bNo = itemNo("b", "doc"), p1 = itemNo("p1"), bundle = stackNo("束");
  ItemInfo a;
  ASSERT_EQ(document.Database().GetItemInfo(aNo, a), 0);
  a.TextExt = "TXT";
  ASSERT_EQ(document.Database().SetItemInfo(a, fieldmask::kItemTextExt), 0);
  const std::string trash = home.file("share") + "/Trash/files/";

  // Nothing selected: a notice, nothing else.
  board->SelectOnly(-1);
  ops->DeleteSelected(false);
  ASSERT_EQ(boxes.texts().size(), 1u);
  EXPECT_EQ(boxes.texts()[0], "文書が選択されていません。");
  // Cancel keeps everything.
  boxes.script({platform::Answer::Cancel});
  selectOnly({{0, aNo}, {1, bundle}});
  ops->DeleteSelected(false);
  EXPECT_EQ(boxes.texts().back(), "文書をごみ箱に移動します。\nよろしいですか？");
  EXPECT_EQ(board->tileCount(), 3);

  boxes.script({platform::Answer::Ok});
  ops->DeleteSelected(false);
  for (const char* f : {"a.doc", "a.doc.TXT", "p1.bmp", "p2.bmp"}) {
    EXPECT_FALSE(fs::exists(folder + "/" + f)) << f;
    EXPECT_TRUE(fs::exists(trash + f)) << f;
  }
  ItemInfo gone;
  EXPECT_NE(document.Database().GetItemInfo(aNo, gone), 0);
  EXPECT_NE(document.Database().GetItemInfo(p1, gone), 0);
  EXPECT_EQ(board->tileCount(), 1);
  expectInStep();

  // Shift: for good, not in the trash.
  boxes.script({platform::Answer::Ok});
  selectOnly({{0, bNo}});
  ops->DeleteSelected(true);
  EXPECT_EQ(boxes.texts().back(), "文書を削除します。\nよろしいですか？");
  EXPECT_FALSE(fs::exists(folder + "/b.doc"));
  EXPECT_FALSE(fs::exists(trash + "b.doc"));
  EXPECT_EQ(board->tileCount(), 0);
  expectInStep();
}

TEST_F(BoardOperationsTest, OpeningUsesTheViewerForImagesAndTheDesktopOtherwise) {
  {
    cataloguetest::CatalogueRows rows(folder);
    rows.addItem({.itemNo = 1, .title = "memo", .ext = "txt"});
    rows.addItem({.itemNo = 2, .title = "gone", .ext = "txt"});
    rows.addItem({.itemNo = 3, .title = "page", .ext = "bmp"});
    rows.addItem({.itemNo = 4, .title = "tool", .ext = "sh"});
  }
  touch("memo.txt");
  touch("page.bmp");
  std::ofstream(folder + "/tool.sh") << "#!/bin/sh\necho hi\n";
  show();
  const int memoNo = itemNo("memo", "txt"), goneNo = itemNo("gone", "txt"), pageNo = itemNo("page"),
            toolNo = itemNo("tool", "sh");
  for (int number : {memoNo, goneNo, toolNo}) {
    ItemInfo item;
    ASSERT_EQ(document.Database().GetItemInfo(number, item), 0);
    item.ImageLevel = 0;
    ASSERT_EQ(document.Database().SetItemInfo(item, fieldmask::kItemImageLevel), 0);
  }
  ItemInfo image;
  ASSERT_EQ(document.Database().GetItemInfo(pageNo, image), 0);
  image.ImageLevel = 1;
  ASSERT_EQ(document.Database().SetItemInfo(image, fieldmask::kItemImageLevel), 0);

  UrlRecorder urls;
  QDesktopServices::setUrlHandler(QStringLiteral("file"), &urls, "open");
  platform::setFixedNowForTests(QDateTime(QDate(2026, 12, 24), QTime(9, 0)));
  ops->OpenItem(tileOf(0, memoNo));
  ASSERT_EQ(urls.opened.size(), 1u);
  EXPECT_EQ(urls.opened[0].toLocalFile().toStdString(), folder + "/memo.txt");
  ItemInfo memo;
  ASSERT_EQ(document.Database().GetItemInfo(memoNo, memo), 0);
  EXPECT_EQ(memo.LastAccessedDate, 20261224);

  ops->OpenItem(tileOf(0, goneNo));
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.texts()[0], "ファイルを発見できません");
  EXPECT_EQ(boxes.shown()[0].caption, "アプリケーションの起動");
  ops->OpenItem(tileOf(0, toolNo));
  EXPECT_EQ(boxes.texts().back(), "このファイルは単独起動できません");
  EXPECT_EQ(urls.opened.size(), 1u) << "a script is never started";

  // An image goes to the viewer; without one nothing happens.
  ops->OpenItem(tileOf(0, pageNo));
  EXPECT_EQ(urls.opened.size(), 1u);
  std::vector<std::pair<int, int>> viewed;
  view->SetViewerOpener([&](int entry, int page) {
    viewed.emplace_back(entry, page);
    return true;
  });
  ops->OpenItem(tileOf(0, pageNo));
  EXPECT_EQ(viewed, (std::vector<std::pair<int, int>>{{tileOf(0, pageNo), 1}}));
  QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
  platform::setFixedNowForTests(std::nullopt);
}


// The browser's menu commands on the board, in the frame: each is enabled by
// its rule, and those without an operation yet stay disabled.
TEST_F(BoardOperationsTest, TheFramesCommandsFollowTheBoardsSelection) {
  {
    cataloguetest::CatalogueRows rows(folder);
    rows.addItem({.itemNo = 1, .title = "A"});
    rows.addItem({.itemNo = 2, .title = "B"});
    rows.addStack(10, "束", 1);
    rows.addItem({.itemNo = 3, .title = "p1", .stackNo = 10, .pageNo = 1});
    rows.addItem({.itemNo = 4, .title = "p2", .stackNo = 10, .pageNo = 2});
  }
  OpenAppProfile()->setValue(BrowserKey(QStringLiteral("DesktopHistory0")), QString::fromStdString(root));
  auto frame = std::make_unique<CMainFrame>();
  frame->PreCreateWindow();
  ASSERT_TRUE(frame->OnCreate());
  auto* v = new CFD3View(frame.get());
  frame->SetDocument(&document);
  v->AttachDocument(&document);
  v->AttachToFrame(frame.get());
  v->OnInitialUpdate();
  bool restored = false;
  QObject::connect(frame.get(), &CMainFrame::restoredAfterStart, [&restored] { restored = true; });
  frame->show();
  ASSERT_TRUE(waitUntil([&] { return restored; }));
  ASSERT_EQ(v->SelectFolderInTree(folder), 1);
  board = v->GetThumbnailPane();
  const auto enabled = [&](int id) { return frame->Action(id) && frame->Action(id)->isEnabled(); };

  board->SelectOnly(tileOf(0, itemNo("A")));
  board->Tile(tileOf(0, itemNo("B")))->SetSelected(true);
  emit board->selectionChanged();
  for (int id : {cmd::kDelete, cmd::kSelectAll, cmd::kStack}) EXPECT_TRUE(enabled(id)) << std::hex << id;
  EXPECT_TRUE(enabled(cmd::kDuplicate));
  for (int id : {cmd::kUnstackOne, cmd::kUnstackAll, cmd::kFileOpen, cmd::kRename, cmd::kReorderPages})
    EXPECT_FALSE(enabled(id)) << std::hex << id;
  auto menu = board->BuildTileMenu(tileOf(0, itemNo("A")));
  EXPECT_TRUE(MenuAction(*menu, tilecmd::kStack)->isEnabled());
  EXPECT_TRUE(MenuAction(*menu, tilecmd::kDuplicate)->isEnabled());

  board->SelectOnly(tileOf(1, stackNo("束")));
  for (int id : {cmd::kUnstackOne, cmd::kUnstackAll, cmd::kFileOpen, cmd::kReorderPages, cmd::kDuplicate})
    EXPECT_TRUE(enabled(id)) << std::hex << id;
  EXPECT_TRUE(enabled(cmd::kRename)) << "a stack's titles change in the title dialog";
  EXPECT_FALSE(enabled(cmd::kStack));
  menu = board->BuildTileMenu(tileOf(1, stackNo("束")));
  EXPECT_TRUE(MenuAction(*menu, tilecmd::kRenameDialog)->isEnabled());
  EXPECT_TRUE(MenuAction(*menu, tilecmd::kUnstackAll)->isEnabled());
  EXPECT_TRUE(MenuAction(*menu, tilecmd::kReorderPages)->isEnabled());
  EXPECT_TRUE(MenuAction(*menu, tilecmd::kDuplicatePage)->isEnabled());

  frame->RunCommand(cmd::kSelectAll);
  EXPECT_EQ(board->SelectedCount(), 3);
  // The tile menu's stack command goes through the frame, posted.
  board->OnTileCommand(tilecmd::kStack, 0);
  EXPECT_EQ(board->tileCount(), 3);
  ASSERT_TRUE(waitUntil([&] { return board->tileCount() == 1; }));
  EXPECT_EQ(document.EntryList().GetAt(0)->title, "束");
  frame->RunCommand(cmd::kUnstackAll);
  EXPECT_EQ(board->tileCount(), 4);
  EXPECT_EQ(board->SelectedCount(), 4);
  frame->close();
  frame.reset();
}

TEST_F(BoardOperationsTest, ADocumentWhoseRecordsCannotBeReadIsNotDeleted) {
  {
    cataloguetest::CatalogueRows rows(folder);
    rows.addItem({.itemNo = 1, .title = "a", .ext = "doc"});
  }
  touch("a.doc");
  show();
  // The row went away behind the board's back.
  DissolvedStack dissolved;
  ASSERT_EQ(document.Database().UnregisterItem(itemNo("a", "doc"), dissolved), 0);
  board->OnSelectAll();
  boxes.script({platform::Answer::Ok});
  ops->DeleteSelected(true);
  EXPECT_TRUE(fs::exists(folder + "/a.doc")) << "a file is never deleted without its record";
  EXPECT_EQ(board->tileCount(), 1);
  EXPECT_EQ(document.EntryList().GetCount(), 1);
}

}  // namespace

#include "board_interaction_test.moc"
