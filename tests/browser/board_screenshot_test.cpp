// The folder board as a user sees it: a folder with a stack, pictures,
// office files and Japanese titles, opened from the tree, one tile selected.

#include "browser/fd3_view.h"

#include "browser/board_operations.h"
#include "browser/thumbnail_pane_wnd.h"
#include "browser/title_edit.h"
#include "catalogue/catalogue_records.h"
#include "catalogue/file_utilities.h"
#include "catalogue/sjis_text.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/shell/fresh_environment.h"
#include "tests/shell/thumbnail_fixture.h"
#include "tests/support/test_env.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QFileInfo>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// A thumbnail as the document stores it: an 8-bit GIF of a drawn page.
DbBytes gifThumbnail(const std::string& work, QColor ink, int width, int height) {
  QImage page(width, height, QImage::Format_RGB32);
  page.fill(Qt::white);
  QPainter painter(&page);
  painter.fillRect(6, 6, width - 12, 12, ink);
  painter.setPen(ink.darker());
  for (int y = 26; y < height - 8; y += 7) painter.drawLine(8, y, width - 8 - (y % 23), y);
  painter.end();
  return thumbnailtest::gifThumbnail(page, work);
}

TEST(BoardScreenshot, StacksPicturesFileIconsAndJapaneseCaptions) {
  FreshEnvironment env;
  platform::RecordingUserInteraction boxes;
  platform::ensureProgramFolder();
  InitModuleFolder();
  testsupport::TempDir desktop;
  const std::string folder = desktop.path() + "/経理";
  cataloguetest::makeCatalogueFolder(folder);
  {
    cataloguetest::CatalogueRows rows(folder);
    rows.addStack(1, "請求書 2026年12月", 2);
    const char* pages[] = {"請求書_表紙", "請求書_明細", "請求書_控え"};
    for (int p = 1; p <= 3; ++p)
      rows.addItem({.itemNo = p, .title = pages[p - 1], .ext = "bmp", .stackNo = 1, .pageNo = p});
    rows.addItem({.itemNo = 4, .title = "見積書", .ext = "bmp"});
    rows.addItem({.itemNo = 5, .title = "納品書（控）", .ext = "bmp"});
    rows.addItem({.itemNo = 6, .title = "領収書", .ext = "bmp"});
    rows.addItem({.itemNo = 7, .title = "会議議事録", .ext = "docx"});
    rows.addItem({.itemNo = 8, .title = "売上集計表", .ext = "xlsx"});
    rows.addItem({.itemNo = 9, .title = "社内報 第十二号", .ext = "pdf"});
    rows.db().execute("UPDATE ItemMST SET ImageLevel = 0 WHERE ItemNo >= 7");
    rows.db().execute("UPDATE ItemMST SET TextExt = 'TXT' WHERE ItemNo = 5");
    const QColor inks[] = {QColor(30, 90, 200), QColor(200, 60, 40), QColor(40, 150, 60), QColor(120, 60, 160),
                           QColor(230, 140, 0), QColor(0, 130, 140)};
    const int sizes[][2] = {{96, 128}, {96, 128}, {96, 128}, {128, 96}, {96, 128}, {80, 110}};
    for (int i = 1; i <= 6; ++i)
      rows.db().execute(
          "INSERT INTO ThumbMST(ItemNo, ThumbDateTime, ThumbSizeX, ThumbSizeY, ThumbData) "
          "VALUES(?, '2099-12-10 10:00:00', ?, ?, ?)",
          i, sizes[i - 1][0], sizes[i - 1][1],
          gifThumbnail(desktop.path(), inks[i - 1], sizes[i - 1][0], sizes[i - 1][1]));
  }
  for (const char* name : {"請求書_表紙.bmp", "請求書_明細.bmp", "請求書_控え.bmp", "見積書.bmp", "納品書（控）.bmp",
                           "領収書.bmp", "会議議事録.docx", "売上集計表.xlsx", "社内報 第十二号.pdf"})
    ASSERT_TRUE(testsupport::writeFile(folder + "/" + name, "x"));

  CFD3Doc document;
  auto view = std::make_unique<CFD3View>();
  view->AttachDocument(&document);
  view->resize(900, 520);
  view->show();
  view->OnInitialUpdate();
  view->BuildFolderTreeForDesktop(desktop.path() + "/");
  ASSERT_EQ(view->SelectFolderInTree(folder), 1);
  ThumbnailPaneWnd* board = view->GetThumbnailPane();
  ASSERT_EQ(board->tileCount(), 7);
  board->SelectOnly(2);
  QCoreApplication::processEvents();

  const QImage shot = board->grab().toImage();
  QDir().mkpath(BRINDEL_SCREENSHOT_DIR);
  EXPECT_TRUE(shot.save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/thumbnail_board.png")));
  // Every tile has its picture (a thumbnail or a file icon) and a place.
  for (int i = 0; i < board->tileCount(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(board->Tile(i)->picture().IsHeld());
    EXPECT_TRUE(board->Tile(i)->placed());
  }
  EXPECT_TRUE(board->Tile(0)->isStack());
  EXPECT_EQ(board->Tile(0)->pageCounter().currentPage(), 2);
  EXPECT_EQ(board->Tile(0)->lowerCaption().text(), QStringLiteral("請求書_明細"));
  EXPECT_EQ(board->Tile(2)->lowerCaption().style(), ThumbnailCaptionWnd::kUnderlined);
  EXPECT_TRUE(boxes.shown().empty()) << boxes.texts().front();

  // The catalogue's title order reaches tiles and entries alike, and the
  // arrangement's places are stored.
  board->ArrangeItems(ThumbnailPaneWnd::kSortTitle, 1, 0);
  std::vector<std::string> titles;
  for (int i = 0; i < board->tileCount(); ++i) {
    EXPECT_EQ(board->Tile(i)->GetIndex(), i);
    titles.push_back(document.EntryList().GetAt(i)->title);
  }
  EXPECT_TRUE(std::is_sorted(titles.begin(), titles.end(),
                             [](const std::string& a, const std::string& b) { return CompareTitles(a, b) < 0; }));
  const int single = document.EntryList().GetAt(0)->isStack() ? 1 : 0;
  ItemInfo stored;
  ASSERT_EQ(document.Database().GetItemInfo(document.EntryList().GetAt(single)->number, stored), 0);
  EXPECT_EQ((board::Point{stored.SingleItemPosX, stored.SingleItemPosY}), board->Tile(single)->anchor());
  view.reset();
  document.CloseFolderDatabase();
}

// The board of a user who files by hand: a title longer than its tile is cut
// with an ellipsis (the tooltip shows it whole) and lies over no neighbour;
// a duplicate and a page taken out of a stack go to free places instead of
// onto other documents; the title editor is as wide as the title typed.
TEST(BoardScreenshot, LongTitlesNewDocumentsInFreePlacesAndAWideTitleEditor) {
  FreshEnvironment env;
  platform::RecordingUserInteraction boxes;
  platform::ensureProgramFolder();
  InitModuleFolder();
  testsupport::TempDir desktop;
  const std::string folder = desktop.path() + "/営業";
  const std::string longTitle = "二〇二六年度 第三四半期 営業部 売上報告書 最終版";
  cataloguetest::makeCatalogueFolder(folder);
  {
    cataloguetest::CatalogueRows rows(folder);
    rows.addStack(1, "打合せ資料", 1);
    const char* pages[] = {"議題", "資料A", "資料B"};
    for (int p = 1; p <= 3; ++p)
      rows.addItem({.itemNo = p, .title = pages[p - 1], .ext = "docx", .stackNo = 1, .pageNo = p});
    rows.addItem({.itemNo = 4, .title = longTitle, .ext = "xlsx"});
    rows.addItem({.itemNo = 5, .title = "見積書", .ext = "docx"});
    rows.addItem({.itemNo = 6, .title = "納品書", .ext = "pdf"});
    rows.db().execute("UPDATE ItemMST SET ImageLevel = 0");
  }
  for (const char* name : {"議題.docx", "資料A.docx", "資料B.docx", "見積書.docx", "納品書.pdf"})
    ASSERT_TRUE(testsupport::writeFile(folder + "/" + name, "x"));
  ASSERT_TRUE(testsupport::writeFile(folder + "/" + longTitle + ".xlsx", "x"));

  CFD3Doc document;
  auto view = std::make_unique<CFD3View>();
  view->AttachDocument(&document);
  view->resize(900, 520);
  view->show();
  view->OnInitialUpdate();
  view->BuildFolderTreeForDesktop(desktop.path() + "/");
  ASSERT_EQ(view->SelectFolderInTree(folder), 1);
  ThumbnailPaneWnd* board = view->GetThumbnailPane();
  ASSERT_FALSE(board->ArrangesAutomatically());
  ASSERT_EQ(board->tileCount(), 4);
  const auto tileOf = [&](int kind, int number) { return document.EntryList().Find(kind, number); };

  const ThumbnailItemWnd* longTile = board->Tile(tileOf(0, 4));
  EXPECT_TRUE(longTile->lowerCaption().elided());
  EXPECT_LE(longTile->lowerCaption().rect().width(), longTile->PictureRect().width());

  board->SelectOnly(tileOf(0, 5));
  view->boardOperations()->DuplicateSelected();
  view->boardOperations()->UnstackOne(tileOf(1, 1));
  ASSERT_EQ(board->tileCount(), 6);
  // No two tiles cover each other.
  const auto boxOf = [](const ThumbnailItemWnd& tile) {
    const board::Size box = tile.GetCaptionRect();
    return QRect(tile.anchor().x - box.w / 2, tile.anchor().y, box.w, box.h);
  };
  for (int a = 0; a < board->tileCount(); ++a)
    for (int b = a + 1; b < board->tileCount(); ++b)
      EXPECT_FALSE(boxOf(*board->Tile(a)).intersects(boxOf(*board->Tile(b))))
          << board->Tile(a)->lowerCaption().text().toStdString() << " / "
          << board->Tile(b)->lowerCaption().text().toStdString();
  QCoreApplication::processEvents();
  QDir().mkpath(BRINDEL_SCREENSHOT_DIR);
  EXPECT_TRUE(board->grab().toImage().save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/board_long_titles.png")));

  // The whole title over the cut caption, nothing over a caption that fits.
  const board::Point s = board->scrollPosition();
  const QPoint over = longTile->lowerCaption().rect().center() - QPoint(s.x, s.y);
  QHelpEvent help(QEvent::ToolTip, over, board->viewport()->mapToGlobal(over));
  QCoreApplication::sendEvent(board->viewport(), &help);
  EXPECT_EQ(QToolTip::text(), QString::fromStdString(longTitle));
  QToolTip::hideText();

  board->BeginTitleEdit(tileOf(0, 5), ThumbnailPaneWnd::kLowerCaption);
  QLineEdit* editor = board->openTitleEdit();
  ASSERT_NE(editor, nullptr);
  const int narrow = editor->width();
  editor->setText(QString::fromStdString(longTitle));
  EXPECT_GT(editor->width(), narrow);
  EXPECT_GE(editor->width(), editor->fontMetrics().horizontalAdvance(editor->text()));
  EXPECT_TRUE(board->viewport()->rect().contains(editor->geometry()));
  QCoreApplication::processEvents();
  EXPECT_TRUE(board->grab().toImage().save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/board_title_editor.png")));
  // The wave dash an input method gives (U+301C) is taken as the one
  // Shift-JIS stores (U+FF5E): the title is accepted and reads back as shown.
  editor->setText(QStringLiteral("見積書"));
  editor->end(false);
  QKeyEvent typed(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("〜"));
  QCoreApplication::sendEvent(editor, &typed);
  EXPECT_EQ(editor->text(), QStringLiteral("見積書～"));
  QTest::keyClick(editor, Qt::Key_Return);
  QCoreApplication::processEvents();
  EXPECT_TRUE(boxes.shown().empty()) << boxes.texts().front();
  ItemInfo renamed;
  ASSERT_EQ(document.Database().GetItemInfo(5, renamed), 0);
  EXPECT_EQ(renamed.Title, "見積書～");
  EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(folder + "/見積書～.docx")));
  view.reset();
  document.CloseFolderDatabase();
}

}  // namespace
