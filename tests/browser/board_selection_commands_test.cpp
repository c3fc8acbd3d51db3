// The browser view's commands on the whole selection: rotating the board's
// images and printing the selected documents.
#include "browser/page_print.h"
#include "platform/clock.h"
#include "platform/imaging/image_codec.h"
#include "platform/imaging/image_ops.h"
#include "shell/command_ids.h"
#include "tests/browser/view_fixture.h"
#include "tests/support/pdf_output.h"

#include <QFile>
#include <QImage>
#include <QPrinter>

namespace {

class SelectionCommands : public BrowserViewFixture {
 protected:
  // An item row with its image file of width x height (a white page with a
  // black bar along its top, so the turn can be seen in the pixels).
  void addImage(int itemNo, const std::string& title, int width, int height, int stackNo = 0, int pageNo = 0) {
    rows().db().execute(
        "INSERT INTO ItemMST (ItemNo, ItemTitle, ItemExt, ImageLevel, OLELevel, FullTextLevel, TextExt, "
        "OfficialDate, LastModifiedDate, LastAccessedDate, StackNo, PageNo, SingleItemPosX, SingleItemPosY) "
        "VALUES (?, ?, 'png', 1, 0, 0, '', 20260101, 20260101, 20260101, NULLIF(?, 0), NULLIF(?, 0), ?, 0)",
        itemNo, title, stackNo, pageNo, itemNo * 120);
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int x = 0; x < width; ++x) image.setPixel(x, 0, qRgb(0, 0, 0));
    ASSERT_TRUE(image.save(QString::fromStdString(folder + "/" + title + ".png")));
  }
  void addDocument(int itemNo, const std::string& title, const std::string& ext) {
    rows().db().execute(
        "INSERT INTO ItemMST (ItemNo, ItemTitle, ItemExt, ImageLevel, OLELevel, FullTextLevel, TextExt, "
        "OfficialDate, LastModifiedDate, LastAccessedDate, SingleItemPosX, SingleItemPosY) "
        "VALUES (?, ?, ?, 0, 0, 0, '', 20260101, 20260101, 20260101, ?, 0)",
        itemNo, title, ext, itemNo * 120);
    touch(title + "." + ext, "text");
  }
  cataloguetest::CatalogueRows& rows() {
    if (!rows_) rows_ = std::make_unique<cataloguetest::CatalogueRows>(folder);
    return *rows_;
  }
  void showBoard() {
    rows_.reset();
    show();
  }
  QSize sizeOf(const std::string& title) const { return QImage(QString::fromStdString(folder + "/" + title + ".png")).size(); }
  ItemInfo item(int itemNo) {
    ItemInfo info;
    EXPECT_EQ(document.Database().GetItemInfo(itemNo, info), 0);
    return info;
  }

  std::unique_ptr<cataloguetest::CatalogueRows> rows_;
};

TEST_F(SelectionCommands, RotatingTurnsEveryImagePageAndReportsAReadOnlyOneWhileTheOthersTurn) {
  addImage(1, "locked", 200, 100);
  addImage(2, "free", 200, 100);
  rows().addStack(10, "束", 2);
  addImage(3, "page1", 300, 100, 10, 1);
  addImage(4, "page2", 300, 100, 10, 2);
  addDocument(5, "memo", "txt");
  QFile::setPermissions(QString::fromStdString(folder + "/locked.png"), QFileDevice::ReadOwner);
  showBoard();
  ASSERT_EQ(board->tileCount(), 4);
  board->OnSelectAll();
  EXPECT_TRUE(view->CommandEnabled(cmd::kRotateRight));

  view->OnRotateRight();

  ASSERT_EQ(boxes.texts().size(), 1u);
  EXPECT_EQ(boxes.texts().front(), "ファイル locked.png は書込み禁止になっていますので、回転できません。");
  EXPECT_EQ(sizeOf("locked"), QSize(200, 100));
  EXPECT_EQ(sizeOf("free"), QSize(100, 200));
  EXPECT_EQ(sizeOf("page1"), QSize(100, 300));
  EXPECT_EQ(sizeOf("page2"), QSize(100, 300));
  // Clockwise: the bar along the top is now down the right-hand side.
  const QImage turned(QString::fromStdString(folder + "/free.png"));
  EXPECT_EQ(qGray(turned.pixel(99, 100)), 0);
  EXPECT_EQ(qGray(turned.pixel(0, 100)), 255);
  EXPECT_EQ(item(2).LastModifiedDate, platform::todayYmd());
  EXPECT_EQ(item(1).LastModifiedDate, 20260101);
  StackInfo stack;
  ASSERT_EQ(document.Database().GetStackInfo(stackNo("束"), stack), 0);
  EXPECT_EQ(stack.LastAccessedDate, platform::todayYmd());
}

TEST_F(SelectionCommands, RotatingTurnsTheStoredThumbnailWithItsPageAndKeepsEveryPageOfAMultiPageFile) {
  addImage(1, "free", 200, 100);
  showBoard();
  ThumbInfo thumb;
  thumb.ItemNo = 1;
  thumb.ThumbSizeX = 80;
  thumb.ThumbSizeY = 40;
  thumb.ThumbDateTime = platform::now();
  QImage small(80, 40, QImage::Format_Grayscale8);
  small.fill(255);
  std::vector<std::uint8_t> gif;
  {
    namespace img = platform::imaging;
    img::PixPtr pix = img::fromQImage(small);
    ASSERT_EQ(img::encodeImage(pix.get(), img::format::kGif, 8, 0, {}, gif), img::kOk);
  }
  thumb.ThumbData.assign(gif.begin(), gif.end());
  ASSERT_EQ(document.Database().SetThumbInfo(thumb), 0);
  board->OnSelectAll();

  view->OnRotateLeft();

  ThumbInfo stored;
  int found = 0;
  ASSERT_EQ(document.Database().GetThumbInfo(1, stored, found), 0);
  ASSERT_TRUE(found);
  EXPECT_EQ(stored.ThumbSizeX, 40);
  EXPECT_EQ(stored.ThumbSizeY, 80);
  EXPECT_EQ(sizeOf("free"), QSize(100, 200));
}

TEST_F(SelectionCommands, PrintingAThreePageStackGivesThreeSheets) {
  rows().addStack(10, "束", 1);
  for (int page = 1; page <= 3; ++page) addImage(page, "p" + std::to_string(page), 400, 300, 10, page);
  showBoard();
  board->OnSelectAll();
  ASSERT_TRUE(view->CommandEnabled(cmd::kPrint));
  const std::string pdf = home.path() + "/board.pdf";
  int lastPage = 0;
  view->printSetup = [&](QPrinter& printer) {
    lastPage = printer.toPage();
    testsupport::pdfPrinter(printer, pdf);
    return true;
  };
  view->OnFilePrint();
  EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
  EXPECT_EQ(lastPage, 3);
  EXPECT_EQ(testsupport::pdfPages(pdf), 3);
}

TEST_F(SelectionCommands, WhatPrintsFollowsTheTwoPrintSettings) {
  addImage(1, "pic", 400, 300);
  addDocument(2, "letter", "doc");
  showBoard();
  struct Case {
    const char* name;
    bool images, listed;
    int selectItem;  // the one selected document
    bool printable;
  } cases[] = {
      {"both off, an image", false, false, 1, false},
      {"both off, a listed document", false, false, 2, false},
      {"images only, an image", true, false, 1, true},
      {"images only, a listed document", true, false, 2, false},
      {"listed only, a listed document", false, true, 2, true},
      {"listed only, an image", false, true, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    view->printSettings = [&] {
      PagePrintSettings print;
      print.printImages = c.images;
      print.printListed = c.listed;
      print.patterns = {QStringLiteral("*.doc"), QStringLiteral("*.xls")};
      return print;
    };
    board->SelectOnly(entryOf(0, c.selectItem));
    EXPECT_EQ(view->CommandEnabled(cmd::kPrint), c.printable);
    boxes.clear();
    bool dialogShown = false;
    view->printSetup = [&](QPrinter&) {
      dialogShown = true;
      return false;
    };
    view->OnFilePrint();
    EXPECT_EQ(dialogShown, c.printable);
    if (!c.printable) {
      ASSERT_EQ(boxes.texts().size(), 1u);
      EXPECT_EQ(boxes.texts().front(), "文書を選択してください。");
    }
  }
  // Rotation asks for images only, and only on the board.
  board->SelectOnly(entryOf(0, 2));
  EXPECT_FALSE(view->CommandEnabled(cmd::kRotateRight));
  board->SelectOnly(entryOf(0, 1));
  EXPECT_TRUE(view->CommandEnabled(cmd::kRotate180));
}

}  // namespace
