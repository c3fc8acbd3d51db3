#include "browser/thumbnail_pane_wnd.h"

#include "browser/document_rename.h"
#include "browser/file_icon.h"
#include "browser/thumbnail_picture.h"
#include "browser/title_edit.h"
#include "catalogue/catalogue_records.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"
#include "shell/image_ctrl.h"
#include "tests/browser/fake_board_source.h"
#include "tests/support/test_env.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFocusEvent>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

const QColor kGrey(128, 128, 128);
const QColor kLightGrey(192, 192, 192);

QPoint client(const ThumbnailPaneWnd& board, QPoint boardPoint) {
  const board::Point s = board.scrollPosition();
  return boardPoint - QPoint(s.x, s.y);
}

class ThumbnailBoardTest : public ::testing::Test {
 protected:
  void SetUp() override { source.folder = folder.path(); }

  std::unique_ptr<ThumbnailPaneWnd> makeBoard(int mode = ThumbnailPaneWnd::kFolderBoard, QSize size = {600, 400}) {
    auto b = std::make_unique<ThumbnailPaneWnd>(nullptr, mode);
    b->SetSource(&source);
    b->ApplySettings(BoardSettings{});
    b->resize(size);
    b->show();
    QCoreApplication::processEvents();
    return b;
  }
  void addAllTiles(ThumbnailPaneWnd& b) {
    for (int i = 0; i < source.EntryCount(); ++i) b.AddTile(i, nullptr, nullptr);
  }
  std::string file(const std::string& name) const { return folder.file(name); }

  testsupport::TempDir folder;
  FakeBoardSource source;
  platform::RecordingUserInteraction boxes;
};

// ---- tiles -------------------------------------------------------------------------

TEST_F(ThumbnailBoardTest, TileZonesHangFromTheAnchor) {
  source.addItem(1, "見積書", "bmp");
  source.records[0].entry.cellWidth = 100;
  source.records[0].entry.cellHeight = 80;
  source.addStack(1, "請求書の束", 3, 1);
  auto board = makeBoard();
  addAllTiles(*board);

  ThumbnailItemWnd& single = *board->Tile(0);
  single.Layout({200, 100});
  EXPECT_EQ(single.PictureRect(), QRect(200 - 103 / 2, 144, 103, 83));
  EXPECT_EQ(single.lowerCaption().GetAnchorPoint(), QPoint(200, 122));
  EXPECT_FALSE(single.upperCaption().visible);
  EXPECT_EQ(single.GetCaptionRect(),
            (board::Size{std::max(103, single.lowerCaption().rect().width()), 44 + 83}));
  EXPECT_EQ(single.GetImageRect(), QRect(0, 0, 103, 83));

  ThumbnailItemWnd& stack = *board->Tile(1);
  stack.Layout({300, 50});
  // cell 77 + 7; the front sheet (80 wide) is centred on the anchor.
  EXPECT_EQ(stack.PictureRect(), QRect(300 - 40, 94, 84, 84));
  EXPECT_EQ(stack.GetImageRect(), QRect(0, 0, 80, 80));
  EXPECT_EQ(stack.pageCounter().rect, QRect(300 - 50, 94 + 84, 101, 20));
  EXPECT_EQ(stack.upperCaption().GetAnchorPoint(), QPoint(300, 50));
  EXPECT_EQ(stack.GetCaptionRect().h, 44 + 84 + 20);
  EXPECT_GE(stack.GetCaptionRect().w, 88);
}

TEST_F(ThumbnailBoardTest, ThePictureGrowsItsCellButNeverBelow77) {
  source.addItem(1, "a", "bmp");
  auto board = makeBoard();
  addAllTiles(*board);
  ThumbnailItemWnd& tile = *board->Tile(0);
  tile.Layout({200, 10});
  EXPECT_FALSE(tile.AdjustCell({40, 40}));
  EXPECT_EQ(tile.cell(), QSize(77, 77));
  EXPECT_TRUE(tile.AdjustCell({300, 60}));
  EXPECT_EQ(tile.cell(), QSize(300, 77));
  // Laid out again at the same anchor.
  EXPECT_EQ(tile.anchor(), (board::Point{200, 10}));
  EXPECT_EQ(tile.PictureRect(), QRect(200 - 303 / 2, 54, 303, 80));
}

TEST_F(ThumbnailBoardTest, CaptionsAreCutAt210PixelsOfText) {
  const CaptionFonts fonts(120);
  ThumbnailCaptionWnd caption(ThumbnailItemWnd::kLowerCaptionId);
  caption.MoveCenteredTo({500, 0});
  caption.SetCaptionText(QStringLiteral("令和六年度第三四半期の取引先別売上集計表と請求書控えの一覧"), true, fonts);
  EXPECT_EQ(caption.rect().width(), 214);
  EXPECT_EQ(caption.rect().left(), 500 - 105 - 2);
  caption.SetCaptionText(QStringLiteral("見積"), true, fonts);
  EXPECT_EQ(caption.rect().width(), fonts.normalMetrics.horizontalAdvance(QStringLiteral("見積")) + 4);
  EXPECT_EQ(caption.rect().height(), fonts.normalMetrics.height() + 2);
}

TEST(PageNumberWnd, TheEndsRefuseToStepPast) {
  struct Case {
    int count, current, x, zone;
  } cases[] = {{3, 1, 5, PageNumberWnd::kNone},     {3, 2, 5, PageNumberWnd::kPrevious},
               {3, 3, 90, PageNumberWnd::kNone},    {3, 2, 81, PageNumberWnd::kNext},
               {3, 1, 20, PageNumberWnd::kChoose},  {3, 3, 80, PageNumberWnd::kChoose},
               {1, 1, 100, PageNumberWnd::kNone}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x * 100 + c.current);
    PageNumberWnd counter;
    counter.SetPages(c.count, c.current);
    EXPECT_EQ(counter.Press(c.x), c.zone);
    EXPECT_EQ(counter.Release(), c.zone);
  }
  PageNumberWnd counter;
  counter.SetPages(3, 2);
  counter.Press(90);
  counter.Track(50, 10);  // moved onto the middle: released there, nothing happens
  EXPECT_EQ(counter.Release(), PageNumberWnd::kNone);
}

TEST_F(ThumbnailBoardTest, ThePageCounterStepsThroughTheStackAndBeepsAtTheEnds) {
  source.addStack(4, "束", 3, 1);
  auto board = makeBoard();
  addAllTiles(*board);
  board->ArrangeItems(0, 1, 0);
  const QRect counter = board->Tile(0)->pageCounter().rect;
  QTest::mouseClick(board->viewport(), Qt::LeftButton, {}, client(*board, counter.topLeft() + QPoint(5, 10)));
  EXPECT_TRUE(source.stackWrites.empty());
  QTest::mouseClick(board->viewport(), Qt::LeftButton, {}, client(*board, counter.topLeft() + QPoint(95, 10)));
  ASSERT_EQ(source.stackWrites.size(), 1u);
  EXPECT_EQ(source.stackWrites[0].second, fieldmask::kStackCurPageNo);
  EXPECT_EQ(source.stackWrites[0].first.CurPageNo, 2);
  EXPECT_EQ(board->Tile(0)->pageCounter().currentPage(), 2);
  EXPECT_EQ(board->Tile(0)->lowerCaption().text(), QStringLiteral("束の2頁"));
  EXPECT_TRUE(board->Tile(0)->IsSelected());
  EXPECT_EQ(board->Tile(0)->pageCounter().rect, counter) << "paging keeps the tile where it stands";
}

TEST_F(ThumbnailBoardTest, RemovedTilesAreReused) {
  for (int i = 1; i <= 3; ++i) source.addItem(i, "t" + std::to_string(i), "bmp");
  auto board = makeBoard();
  addAllTiles(*board);
  ThumbnailItemWnd* second = board->Tile(1);
  board->RemoveAllItems();
  EXPECT_EQ(board->tileCount(), 0);
  board->AddTile(0, nullptr, nullptr);
  board->AddTile(1, nullptr, nullptr);
  EXPECT_EQ(board->poolSize(), 3);
  EXPECT_EQ(board->Tile(1), second) << "slot i gives back tile i";
  EXPECT_EQ(board->RemoveItemAt(0), 1);
  EXPECT_EQ(board->RemoveItemAt(5), 0);
  board->AddTile(1, nullptr, nullptr);
  board->AddTile(2, nullptr, nullptr);
  EXPECT_EQ(board->poolSize(), 3);
  EXPECT_EQ(board->tileCount(), 3);
}

// ---- arrangement and positions -------------------------------------------------------

TEST_F(ThumbnailBoardTest, ArrangingWritesOnlyTheTilesThatMoved) {
  source.addItem(1, "a", "bmp");
  source.addStack(1, "束", 2, 1);
  source.addItem(2, "b", "bmp");
  source.addStack(2, "束二", 2, 1);
  auto board = makeBoard();
  addAllTiles(*board);
  board->ArrangeItems(0, 1, 0);
  ASSERT_EQ(source.positionWrites.size(), 1u);
  EXPECT_EQ(source.positionWrites[0].first.size(), 2u);
  EXPECT_EQ(source.positionWrites[0].second.size(), 2u);
  EXPECT_EQ(source.positionWrites[0].first[0].SingleItemPosX, board->Tile(0)->anchor().x);
  EXPECT_EQ(source.positionWrites[0].first[0].SingleItemPosY, 10);

  board->Tile(2)->Layout({400, 300});
  board->Tile(3)->Layout({50, 500});
  source.positionWrites.clear();
  board->ArrangeItems(0, 0, 0);
  ASSERT_EQ(source.positionWrites.size(), 1u) << "one write for both kinds";
  ASSERT_EQ(source.positionWrites[0].first.size(), 1u);
  EXPECT_EQ(source.positionWrites[0].first[0].ItemNo, 2);
  ASSERT_EQ(source.positionWrites[0].second.size(), 1u);
  EXPECT_EQ(source.positionWrites[0].second[0].StackNo, 2);

  source.positionWrites.clear();
  board->ArrangeItems(0, 0, 0);
  EXPECT_TRUE(source.positionWrites.empty());
}

TEST_F(ThumbnailBoardTest, ATileWiderThanTheBoardStandsAloneAndBringsAHorizontalBar) {
  source.addItem(1, "a", "bmp");
  source.addItem(2, "b", "bmp");
  source.records[1].entry.cellWidth = 800;
  source.addItem(3, "c", "bmp");
  auto board = makeBoard();
  addAllTiles(*board);
  board->ArrangeItems(0, 1, 0);
  EXPECT_EQ(board->Tile(1)->anchor().x, 10 + 803 / 2);
  EXPECT_GT(board->Tile(1)->anchor().y, 10);
  EXPECT_GT(board->Tile(2)->anchor().y, board->Tile(1)->anchor().y);
  EXPECT_EQ(board->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

TEST_F(ThumbnailBoardTest, NewTilesArePlacedBelowThePlacedOnes) {
  source.addItem(1, "placed", "bmp", {100, 300});
  source.addItem(2, "new1", "bmp");
  source.addStack(3, "new束", 2, 1);
  auto board = makeBoard();
  addAllTiles(*board);
  EXPECT_TRUE(board->Tile(0)->placed());
  EXPECT_FALSE(board->Tile(1)->placed());
  board->PlaceNewItems();
  const int start = 300 + board->Tile(0)->GetCaptionRect().h + 10;
  EXPECT_EQ(board->Tile(1)->anchor(), (board::Point{10 + board->Tile(1)->GetCaptionRect().w / 2, start}));
  EXPECT_EQ(board->Tile(2)->anchor().y, start);
  EXPECT_EQ(board->Tile(0)->anchor(), (board::Point{100, 300}));
  ASSERT_EQ(source.positionWrites.size(), 1u);
  EXPECT_EQ(source.positionWrites[0].first.size(), 1u);
  EXPECT_EQ(source.positionWrites[0].second.size(), 1u);
  EXPECT_TRUE(board->Tile(1)->placed());
  board->PlaceNewItems();
  EXPECT_EQ(source.positionWrites.size(), 1u) << "nothing left to place";
}

TEST_F(ThumbnailBoardTest, TheHitBoardPlacesNothing) {
  source.addItem(1, "hit", "bmp");
  auto board = makeBoard(ThumbnailPaneWnd::kHitBoard);
  addAllTiles(*board);
  board->PlaceNewItems();
  EXPECT_TRUE(source.positionWrites.empty());
  EXPECT_TRUE(board->autoArrange());
}

TEST_F(ThumbnailBoardTest, DraggedTilesStayOnTheBoard) {
  source.addItem(1, "a", "bmp", {300, 200});
  source.addItem(2, "b", "bmp", {100, 100});
  auto board = makeBoard();
  addAllTiles(*board);
  board->SelectOnly(0);
  board->Tile(1)->SetSelected(true);
  const QRect pictureA = board->Tile(0)->PictureRect();
  // A far to the left and above the board, B 30 px to the right.
  const QRect pictureB = board->Tile(1)->PictureRect();
  board->SetDragRectangles({QRect(-200, -200, 10, 10), pictureB.translated(30, 0)});
  board->SavePositions();
  EXPECT_EQ(board->Tile(0)->anchor(), (board::Point{board->Tile(0)->GetCaptionRect().w / 2, 0}));
  EXPECT_EQ(board->Tile(1)->anchor(), (board::Point{130, 100}));
  ASSERT_EQ(source.positionWrites.size(), 1u);
  EXPECT_EQ(source.positionWrites[0].first.size(), 2u);
  (void)pictureA;
}

TEST_F(ThumbnailBoardTest, SortOrdersKeepTilesAndEntriesInStep) {
  source.addItem(1, "b", "bmp", {300, 116});
  source.addItem(2, "a", "bmp", {100, 100});
  source.addItem(3, "c", "bmp", {200, 117});
  auto board = makeBoard();
  addAllTiles(*board);
  // Tops 16 apart share a row, 17 apart do not.
  board->SortItems(ThumbnailPaneWnd::kSortVisual);
  std::vector<int> numbers;
  for (int i = 0; i < 3; ++i) {
    numbers.push_back(source.records[static_cast<size_t>(i)].entry.number);
    EXPECT_EQ(board->Tile(i)->GetIndex(), i);
  }
  EXPECT_EQ(numbers, (std::vector<int>{2, 1, 3}));
  EXPECT_EQ(board->Tile(0)->anchor(), (board::Point{100, 100}));

  // The catalogue's order leaves item 1 out: it is kept, at the end.
  source.catalogueOrder = {{0, 3}, {0, 2}};
  board->SortItems(ThumbnailPaneWnd::kSortTitle);
  numbers.clear();
  for (const auto& r : source.records) numbers.push_back(r.entry.number);
  EXPECT_EQ(numbers, (std::vector<int>{3, 2, 1}));
  EXPECT_EQ(board->Tile(2)->anchor(), (board::Point{300, 116}));
}

TEST_F(ThumbnailBoardTest, TheHitBoardSortsTitlesUpperCasedInShiftJisOrder) {
  source.addItem(1, "b", "txt");
  source.addItem(2, "あ", "txt");
  source.addItem(3, "A", "txt");
  source.addItem(4, "ｱ", "txt");  // half-width katakana: one byte, before the double-byte あ
  auto board = makeBoard(ThumbnailPaneWnd::kHitBoard);
  addAllTiles(*board);
  board->SortItems(ThumbnailPaneWnd::kSortTitle);
  std::vector<int> numbers;
  for (const auto& r : source.records) numbers.push_back(r.entry.number);
  EXPECT_EQ(numbers, (std::vector<int>{3, 1, 4, 2}));
}

// ---- painting ---------------------------------------------------------------------

TEST_F(ThumbnailBoardTest, FramesShowSelectionAndDropTarget) {
  source.addItem(1, "selected", "txt");
  source.addItem(2, "target", "txt");
  source.addItem(3, "normal", "txt");
  auto board = makeBoard();
  addAllTiles(*board);
  board->ArrangeItems(0, 1, 0);
  board->SelectOnly(0);
  board->SetDropTarget(1);
  const QImage grab = board->viewport()->grab().toImage();
  const auto pixel = [&](int tile, QPoint inside) {
    return grab.pixelColor(client(*board, board->Tile(tile)->PictureRect().topLeft() + inside));
  };
  EXPECT_EQ(pixel(0, {0, 0}), QColor(Qt::red));
  EXPECT_EQ(pixel(0, {1, 1}), QColor(Qt::red));
  EXPECT_EQ(pixel(1, {0, 0}), QColor(Qt::blue));
  EXPECT_EQ(pixel(1, {1, 1}), QColor(Qt::blue));
  EXPECT_EQ(pixel(2, {0, 0}), kGrey);
  EXPECT_EQ(pixel(2, {1, 1}), kLightGrey);
}

TEST(ThumbnailPicture, StoredThumbnailsThatAreStaleOrSmallAreMadeAgain) {
  testsupport::TempDir dir;
  const std::string path = dir.file("page.bmp");
  ASSERT_TRUE(testsupport::writeFile(path, "x"));
  const QDateTime fileTime = QFileInfo(QString::fromStdString(path)).lastModified();
  struct Case {
    const char* name;
    int w, h;
    QDateTime made;
    bool usable;
  } cases[] = {{"fresh and large", 96, 128, fileTime.addSecs(60), true},
               {"older than the file", 96, 128, fileTime.addSecs(-60), false},
               {"small both ways", 76, 76, fileTime.addSecs(60), false},
               {"small one way only", 77, 40, fileTime.addSecs(60), true}};
  for (const Case& c : cases) {
    ThumbInfo thumb;
    thumb.ThumbSizeX = c.w;
    thumb.ThumbSizeY = c.h;
    thumb.ThumbDateTime = c.made;
    EXPECT_EQ(StoredThumbnailUsable(thumb, path), c.usable) << c.name;
  }
}

TEST(ThumbnailPicture, ABmpWithoutResolutionIsTakenAtTheBmpSetting) {
  testsupport::TempDir dir;
  QImage page(1000, 1400, QImage::Format_RGB32);
  page.fill(Qt::white);
  const std::string plain = dir.file("plain.bmp");
  ASSERT_TRUE(page.save(QString::fromStdString(plain), "BMP"));
  // Clear the header's resolution: the file says nothing about its dpi.
  std::string bytes = testsupport::readFile(plain);
  for (size_t i = 38; i < 46; ++i) bytes[i] = 0;
  ASSERT_TRUE(testsupport::writeFile(plain, bytes));

  CImageCtrl ctrl;
  // At 400 dpi the page is 2.5 x 3.5 inches: the smallest cell, 77 high.
  QImage picture = RenderThumbnailFromFile(ctrl, plain, 400);
  EXPECT_EQ(picture.height(), 77);
  EXPECT_EQ(picture.width(), 54);
  // At 150 dpi the same page is larger.
  picture = RenderThumbnailFromFile(ctrl, plain, 150);
  EXPECT_EQ(picture.size(), QSize(83, 116));
  EXPECT_TRUE(RenderThumbnailFromFile(ctrl, dir.file("missing.bmp"), 400).isNull());

  // The tile's picture: rendered from the file when no thumbnail is stored.
  FileIcon icon;
  PictureRequest request;
  request.path = plain;
  request.imageItem = true;
  MakeTilePicture(request, &ctrl, icon);
  EXPECT_TRUE(icon.HoldsBitmap());
  EXPECT_EQ(icon.GetHeight(), 77);
  request.path = dir.file("gone.bmp");
  MakeTilePicture(request, &ctrl, icon);
  EXPECT_FALSE(icon.IsHeld()) << "a missing page file has no picture";
  request.imageItem = false;
  request.path = dir.file("report.xyz-unknown");
  MakeTilePicture(request, &ctrl, icon);
  EXPECT_EQ(icon.GetWidth(), FileIcon::kIconSize);
}

TEST(FileIcon, BitmapsKeepTheirPaletteRule) {
  struct Case {
    QImage::Format format;
    int entries;
  } cases[] = {{QImage::Format_Mono, 2}, {QImage::Format_Indexed8, 256}, {QImage::Format_RGB888, 0}};
  for (const Case& c : cases) {
    QImage image(20, 10, c.format);
    if (c.format == QImage::Format_Indexed8) {
      image.setColorCount(256);
      for (int i = 0; i < 256; ++i) image.setColor(i, qRgb(i, i, i));
    } else if (c.format == QImage::Format_Mono) {
      image.setColorCount(2);
      image.setColor(0, qRgb(0, 0, 0));
      image.setColor(1, qRgb(255, 255, 255));
    }
    image.fill(0);
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(image.save(&buffer, "BMP"));
    FileIcon icon;
    ASSERT_TRUE(icon.LoadFromFile({reinterpret_cast<const std::uint8_t*>(bmp.data()), static_cast<size_t>(bmp.size())},
                                  true, {}));
    EXPECT_EQ(icon.PaletteEntryCount(), c.entries);
    QImage target(60, 60, QImage::Format_RGB32);
    target.fill(Qt::white);
    QPainter painter(&target);
    EXPECT_EQ(icon.Draw(painter, 0, 0, 20, 10), 1) << "a 24-bit bitmap draws without a palette";
  }
  FileIcon empty;
  QImage target(10, 10, QImage::Format_RGB32);
  QPainter painter(&target);
  EXPECT_EQ(empty.Draw(painter, 0, 0, 10, 10), 0);
  EXPECT_EQ(empty.GetWidth(), 0);
  EXPECT_FALSE(empty.LoadFromFile({}, false, {}));
}

// ---- renaming in place -------------------------------------------------------------

class TitleEditTest : public ThumbnailBoardTest {
 protected:
  void SetUp() override {
    ThumbnailBoardTest::SetUp();
    // A title of 200 bytes must fit the 260-byte path limit whatever TMPDIR
    // is: the folder lies at a short path of its own.
    ASSERT_TRUE(shortFolder.isValid());
    source.folder = shortFolder.path().toStdString();
    source.addItem(1, "見積", "bmp");
    source.records[0].item.TextExt = "TXT";
    source.addStack(2, "請求", 2, 1);
    source.addStack(3, "納品", 2, 1);
    ASSERT_TRUE(testsupport::writeFile(file("見積.bmp"), "picture"));
    ASSERT_TRUE(testsupport::writeFile(file("見積.bmp.TXT"), "text"));
    board = makeBoard();
    addAllTiles(*board);
    board->ArrangeItems(0, 1, 0);
  }
  TitleEdit* open(int tile, int which) {
    board->BeginTitleEdit(tile, which);
    return board->openTitleEdit();
  }
  void enter(TitleEdit* edit, const QString& text) {
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Return);
    QCoreApplication::processEvents();
  }

  std::string file(const std::string& name) const { return source.folder + "/" + name; }

  QTemporaryDir shortFolder{QStringLiteral("/tmp/te-XXXXXX")};
  std::unique_ptr<ThumbnailPaneWnd> board;
};

TEST_F(TitleEditTest, EnterRenamesTheFileItsTextAndTheCatalogue) {
  TitleEdit* edit = open(0, ThumbnailPaneWnd::kLowerCaption);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->text(), QStringLiteral("見積"));
  EXPECT_EQ(edit->selectedText(), QStringLiteral("見積"));
  EXPECT_EQ(source.titleEditing, std::vector<bool>{true});
  enter(edit, QStringLiteral("  見積書  "));
  EXPECT_TRUE(fs::exists(file("見積書.bmp")));
  EXPECT_TRUE(fs::exists(file("見積書.bmp.TXT")));
  EXPECT_FALSE(fs::exists(file("見積.bmp")));
  ASSERT_EQ(source.itemWrites.size(), 1u);
  EXPECT_EQ(source.itemWrites[0].second, 0x301u);
  EXPECT_EQ(source.itemWrites[0].first.Title, "見積書");
  EXPECT_EQ(board->Tile(0)->lowerCaption().text(), QStringLiteral("見積書"));
  EXPECT_EQ(source.records[0].entry.title, "見積書.bmp");
  EXPECT_EQ(board->openTitleEdit(), nullptr);
  EXPECT_EQ(source.titleEditing, (std::vector<bool>{true, false}));
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(TitleEditTest, ATitleOf201BytesIsRefusedAndTheEditorOpensAgain) {
  TitleEdit* edit = open(0, ThumbnailPaneWnd::kLowerCaption);
  // Typing stops at 200 bytes.
  edit->clear();
  QTest::keyClicks(edit, QString(201, QLatin1Char('a')));
  EXPECT_EQ(edit->text().size(), 200);
  // 100 double-byte characters and one more byte.
  enter(edit, QString(100, QChar(0x3042)) + QLatin1Char('a'));
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"タイトルが長すぎます。"});
  EXPECT_EQ(boxes.shown()[0].caption, "タイトルの変更");
  TitleEdit* again = board->openTitleEdit();
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again, edit);
  EXPECT_EQ(again->text(), QStringLiteral("見積"));
  EXPECT_TRUE(source.itemWrites.empty());
  EXPECT_TRUE(fs::exists(file("見積.bmp")));
  // Exactly 200 bytes are taken (in ASCII: 200 double-byte characters
  // would pass the file system's 255-byte name limit in UTF-8).
  enter(again, QString(200, QLatin1Char('b')));
  ASSERT_EQ(source.itemWrites.size(), 1u);
  EXPECT_EQ(platform::cp932Length(source.itemWrites[0].first.Title), 200);
}

TEST_F(TitleEditTest, EscapeAndUnchangedTitlesChangeNothing) {
  TitleEdit* edit = open(0, ThumbnailPaneWnd::kLowerCaption);
  edit->setText(QStringLiteral("別名"));
  QTest::keyClick(edit, Qt::Key_Escape);
  QCoreApplication::processEvents();
  enter(open(0, ThumbnailPaneWnd::kLowerCaption), QStringLiteral(" 見積 "));
  enter(open(1, ThumbnailPaneWnd::kUpperCaption), QStringLiteral("請求  "));
  EXPECT_TRUE(source.itemWrites.empty());
  EXPECT_TRUE(source.stackWrites.empty());
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_TRUE(fs::exists(file("見積.bmp")));
  EXPECT_EQ(board->openTitleEdit(), nullptr);
}

TEST_F(TitleEditTest, LosingTheFocusOrAClickElsewhereApplies) {
  TitleEdit* edit = open(0, ThumbnailPaneWnd::kLowerCaption);
  edit->setText(QStringLiteral("見積二"));
  QFocusEvent out(QEvent::FocusOut, Qt::OtherFocusReason);
  QCoreApplication::sendEvent(edit, &out);
  QCoreApplication::processEvents();
  EXPECT_TRUE(fs::exists(file("見積二.bmp")));

  edit = open(1, ThumbnailPaneWnd::kUpperCaption);
  edit->setText(QStringLiteral("請求まとめ"));
  QTest::mouseClick(board->viewport(), Qt::LeftButton, {}, QPoint(590, 390));
  QCoreApplication::processEvents();
  ASSERT_EQ(source.stackWrites.size(), 1u);
  EXPECT_EQ(source.stackWrites[0].second, 0xC400u);
  EXPECT_EQ(source.stackWrites[0].first.Title, "請求まとめ");
  EXPECT_EQ(board->Tile(1)->upperCaption().text(), QStringLiteral("請求まとめ"));
}

TEST_F(TitleEditTest, ADuplicateStackTitleIsRefused) {
  enter(open(1, ThumbnailPaneWnd::kUpperCaption), QStringLiteral("納品"));
  EXPECT_EQ(boxes.texts(),
            std::vector<std::string>{"フォルダ内に同名のタイトル「 納品 」が存在します。\n別のタイトルを指定してください。"});
  EXPECT_TRUE(source.stackWrites.empty());
  ASSERT_NE(board->openTitleEdit(), nullptr);
  EXPECT_EQ(board->openTitleEdit()->text(), QStringLiteral("請求"));
}

TEST_F(TitleEditTest, AnAttachedTextNameTakenOnDiskStopsBothRenames) {
  // Not the document's: a file that only matches the new text's name case-blind.
  ASSERT_TRUE(testsupport::writeFile(file("新.BMP.txt"), "someone else's"));
  enter(open(0, ThumbnailPaneWnd::kLowerCaption), QStringLiteral("新"));
  ASSERT_EQ(boxes.texts().size(), 1u);
  EXPECT_NE(boxes.texts()[0].find("新.bmp.TXT"), std::string::npos);
  EXPECT_TRUE(fs::exists(file("見積.bmp")));
  EXPECT_TRUE(fs::exists(file("見積.bmp.TXT")));
  EXPECT_EQ(testsupport::readFile(file("新.BMP.txt")), "someone else's");
  EXPECT_TRUE(source.itemWrites.empty());
}

TEST_F(TitleEditTest, AFailedCatalogueWriteGivesTheFilesTheirNamesBack) {
  source.itemWriteResult = 120;
  enter(open(0, ThumbnailPaneWnd::kLowerCaption), QStringLiteral("新"));
  EXPECT_TRUE(fs::exists(file("見積.bmp")));
  EXPECT_TRUE(fs::exists(file("見積.bmp.TXT")));
  EXPECT_FALSE(fs::exists(file("新.bmp")));
  EXPECT_EQ(board->Tile(0)->lowerCaption().text(), QStringLiteral("見積"));
}

TEST_F(TitleEditTest, AReadOnlyFileIsNotRenamedAndTheEditorStaysClosed) {
  ::chmod(file("見積.bmp").c_str(), 0444);
  enter(open(0, ThumbnailPaneWnd::kLowerCaption), QStringLiteral("新"));
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"このファイルは書き込み禁止です。"});
  EXPECT_EQ(board->openTitleEdit(), nullptr);
  EXPECT_TRUE(fs::exists(file("見積.bmp")));
  EXPECT_TRUE(source.itemWrites.empty());
}

TEST_F(TitleEditTest, AClickOnTheCaptionOfASelectedTileOpensTheEditor) {
  const QPoint caption = client(*board, board->Tile(0)->lowerCaption().rect().center());
  QTest::mouseClick(board->viewport(), Qt::LeftButton, {}, caption);
  EXPECT_TRUE(board->Tile(0)->IsSelected());
  EXPECT_EQ(board->openTitleEdit(), nullptr) << "the first click selects";
  QTest::mouseClick(board->viewport(), Qt::LeftButton, {}, caption);
  ASSERT_NE(board->openTitleEdit(), nullptr);
  EXPECT_EQ(board->openTitleEdit()->controlId(), TitleEdit::kLowerCaptionId);
}

TEST(DocumentRename, RenamesBothOrNeither) {
  testsupport::TempDir dir;
  const std::string folder = dir.path();
  ASSERT_TRUE(testsupport::writeFile(dir.file("a.bmp"), "doc"));
  ASSERT_TRUE(testsupport::writeFile(dir.file("a.bmp.TXT"), "text"));
  ASSERT_TRUE(testsupport::writeFile(dir.file("Taken.BMP"), "other"));
  EXPECT_EQ(RenameDocumentFiles(folder, "a.bmp", "taken.bmp", "TXT"), DocumentRename::NameTaken);
  EXPECT_EQ(RenameDocumentFiles(folder, "a.bmp", "A.bmp", "TXT"), DocumentRename::Done) << "only the case changes";
  EXPECT_TRUE(fs::exists(dir.file("A.bmp")));
  EXPECT_TRUE(fs::exists(dir.file("A.bmp.TXT")));
  EXPECT_EQ(RenameDocumentFiles(folder, "missing.bmp", "x.bmp", "TXT"), DocumentRename::Done);
  EXPECT_EQ(testsupport::readFile(dir.file("Taken.BMP")), "other");
}

}  // namespace
