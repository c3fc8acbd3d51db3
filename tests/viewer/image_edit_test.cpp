// The image view's image commands, undo, the image save and the storage of
// the page's annotations in the catalogue.

#include "viewer/image_view.h"

#include "catalogue/folder_database.h"
#include "platform/user_interaction.h"
#include "shell/image_ctrl.h"
#include "shell/image_utilities.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/test_env.h"
#include "tests/viewer/viewer_fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <gtest/gtest.h>

#include <cmath>

namespace {

AnnBox box(int type, QRect r) {
  AnnBox b = viewertest::annBox(type, r);
  b.FontSize = 24;
  b.BackColor = 0xFFFF;
  return b;
}

QByteArray bytesOf(const std::string& path) {
  QFile f(QString::fromStdString(path));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ImageEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cataloguetest::makeCatalogueFolder(folder);
    cataloguetest::CatalogueRows rows(folder);
    rows.addItem(cataloguetest::ItemRow{1, "page"});
    ASSERT_EQ(db.OpenFolder(folder, false), 0);
    QDir().mkpath(QString::fromStdString(work));
    view.SetWorkFolder(work);
    view.SetFolderDatabase(&db);
    view.resize(600, 400);
    view.show();
    QCoreApplication::processEvents();
  }
  // A white page with a black square at (100, 100) - (199, 199), as PNG.
  void load(int w, int h, int dpi) {
    QImage page(w, h, QImage::Format_RGB32);
    page.fill(Qt::white);
    for (int y = 100; y < 200; ++y)
      for (int x = 100; x < 200; ++x) page.setPixel(x, y, qRgb(0, 0, 0));
    ASSERT_TRUE(viewertest::writeQtImage(page, path(), "png", dpi));
    view.LoadImage(folder, item());
    ASSERT_TRUE(view.hasImage());
  }
  ItemInfo item() const { return viewertest::pageItem(); }
  std::string path() const { return folder + "/page.png"; }
  QRgb pixel(int x, int y) const { return view.control()->heldImage().pixel(x, y); }

  platform::RecordingUserInteraction boxes;
  testsupport::TempDir temp;
  std::string folder = temp.file("folder");
  std::string work = temp.file("tmp");
  FolderDatabase db;
  ImageView view;
};

TEST(ImageFormats, OneBitAndGreyCapableFormats) {
  struct Case {
    int format;
    bool oneBit, grey;
  } cases[] = {{1, true, true}, {3, true, true}, {75, true, true}, {10, false, true},
               {83, false, true}, {12, false, false}, {0, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    EXPECT_EQ(ImageView::FormatHoldsOneBit(c.format), c.oneBit);
    EXPECT_EQ(ImageView::FormatHoldsGrey(c.format), c.grey);
  }
}

TEST_F(ImageEditTest, RotationByAnAngleEnlargesTheCanvasWithWhite) {
  load(400, 300, 200);
  ASSERT_TRUE(view.RotateBy(30));
  const QSize size = view.imageSize();
  EXPECT_GT(size.width(), 400);
  EXPECT_GT(size.height(), 300);
  EXPECT_EQ(qGray(pixel(0, 0)), 255);
  EXPECT_EQ(qGray(pixel(size.width() - 1, size.height() - 1)), 255);
  EXPECT_TRUE(view.imageChanged());
  EXPECT_EQ(view.undoState(), ImageView::kCanUndo);
}

// A quarter or half turn turns the annotations with the page: what a marker
// covered (the black square) it covers still, and an arrow's tip follows
// its corner. Undo brings rectangles and tips back.
TEST_F(ImageEditTest, QuarterAndHalfTurnsTurnTheAnnotationsWithThePage) {
  struct Case {
    const char* name;
    double degrees;
    QSize size;
    int tip;  // the arrow's tip corner after the turn (it starts upper left)
  } cases[] = {{"right 90", 90, {300, 400}, 2}, {"180", 180, {400, 300}, 4}, {"left 90", -90, {300, 400}, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    load(400, 300, 200);
    view.AddAnnotation(box(1, QRect(120, 110, 50, 40)));  // on the square, off its centre
    AnnBox arrow = box(3, QRect(20, 30, 60, 20));
    arrow.AnnParam1 = 1;
    view.AddAnnotation(arrow);
    ASSERT_TRUE(view.RotateBy(c.degrees));
    ASSERT_EQ(view.imageSize(), c.size);
    const QRect marker = view.annotations()[0].rect();
    EXPECT_EQ(marker.size(), std::abs(c.degrees) == 90 ? QSize(40, 50) : QSize(50, 40));
    for (const QPoint corner : {marker.topLeft(), marker.topRight(), marker.bottomLeft(), marker.bottomRight()})
      EXPECT_EQ(qGray(pixel(corner.x(), corner.y())), 0) << corner.x() << "," << corner.y();
    EXPECT_EQ(view.annotations()[1].box.AnnParam1, c.tip);
    EXPECT_TRUE(QRect(QPoint(0, 0), c.size).contains(view.annotations()[1].rect()));
    EXPECT_TRUE(view.annotationChanged());
    ASSERT_TRUE(view.Undo());
    EXPECT_EQ(view.annotations()[0].rect(), QRect(120, 110, 50, 40));
    EXPECT_EQ(view.annotations()[1].rect(), QRect(20, 30, 60, 20));
    EXPECT_EQ(view.annotations()[1].box.AnnParam1, 1);
  }
}

// Any other angle moves each annotation's centre with the page, keeps its
// size, and keeps it on the page even where its corner would leave it.
TEST_F(ImageEditTest, AnAngledTurnMovesTheAnnotationsCentresAndKeepsThemOnThePage) {
  load(400, 300, 200);
  view.AddAnnotation(box(0, QRect(130, 130, 40, 40)));  // centred on the square
  view.AddAnnotation(box(2, QRect(0, 0, 80, 30)));      // in the corner that turns off the canvas's edge
  ASSERT_TRUE(view.RotateBy(30));
  const QSize size = view.imageSize();
  const QRect memo = view.annotations()[0].rect();
  EXPECT_EQ(memo.size(), QSize(40, 40));
  EXPECT_EQ(qGray(pixel(memo.center().x(), memo.center().y())), 0);
  const QRect corner = view.annotations()[1].rect();
  EXPECT_EQ(corner.size(), QSize(80, 30));
  EXPECT_TRUE(QRect(QPoint(0, 0), size).contains(corner));
  // The corner's centre turned about the page's centre: right of where it was.
  EXPECT_GT(corner.center().x(), 40 + (size.width() - 400) / 2);
}

TEST_F(ImageEditTest, TrimKeepsTheRegionAndMovesAnnotationsByItsOrigin) {
  load(400, 300, 200);
  view.AddAnnotation(box(0, QRect(120, 110, 50, 40)));
  view.AddAnnotation(box(2, QRect(10, 10, 30, 30)));
  ASSERT_TRUE(view.Trim(QRect(100, 100, 150, 120)));
  EXPECT_EQ(view.imageSize(), QSize(150, 120));
  EXPECT_EQ(qGray(pixel(0, 0)), 0);      // the square's corner is now the origin
  EXPECT_EQ(qGray(pixel(120, 110)), 255);
  EXPECT_EQ(view.annotations()[0].rect(), QRect(20, 10, 50, 40));
  // Moved to (-90, -90), wholly off the page: brought to its centre, and told.
  EXPECT_EQ(view.annotations()[1].rect(), QRect(60, 45, 30, 30));
  EXPECT_TRUE(view.annotationChanged());
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].caption, "注釈");
}

TEST_F(ImageEditTest, HalvingTheResolutionHalvesPixelsAndAnnotations) {
  load(800, 600, 400);
  view.AddAnnotation(box(1, QRect(QPoint(100, 200), QPoint(299, 399))));
  ASSERT_TRUE(view.ChangeResolution(200));
  EXPECT_EQ(view.imageSize(), QSize(400, 300));
  EXPECT_EQ(view.xResolution(), 200);
  EXPECT_EQ(view.yResolution(), 200);
  EXPECT_EQ(view.annotations()[0].rect(), QRect(QPoint(50, 100), QPoint(149, 199)));
  EXPECT_EQ(view.zoomStep(), view.FitWholeStep());
}

TEST_F(ImageEditTest, UndoTwiceIsRedoAndRestoresAnnotationsToo) {
  load(400, 300, 200);
  boxes.script({platform::Answer::Yes});
  ASSERT_TRUE(view.FillRegion(QRect(0, 0, 50, 50), false));
  EXPECT_EQ(qGray(pixel(10, 10)), 0);
  ASSERT_TRUE(view.Undo());
  EXPECT_EQ(qGray(pixel(10, 10)), 255);
  EXPECT_EQ(view.undoState(), ImageView::kCanRedo);
  ASSERT_TRUE(view.Undo());
  EXPECT_EQ(qGray(pixel(10, 10)), 0);
  EXPECT_EQ(view.undoState(), ImageView::kCanUndo);

  // A trim and its undo: the image and the annotations come back.
  view.AddAnnotation(box(0, QRect(120, 110, 50, 40)));
  EXPECT_EQ(view.undoState(), ImageView::kNoUndo);  // an annotation ends the undo chain
  EXPECT_FALSE(view.Undo());
  ASSERT_TRUE(view.Trim(QRect(100, 100, 150, 120)));
  ASSERT_TRUE(view.Undo());
  EXPECT_EQ(view.imageSize(), QSize(400, 300));
  EXPECT_EQ(view.annotations()[0].rect(), QRect(120, 110, 50, 40));
}

TEST_F(ImageEditTest, QuestionsAndFormatChecksChangeNothingWhenRefused) {
  load(400, 300, 200);
  boxes.script({platform::Answer::No, platform::Answer::No});
  EXPECT_FALSE(view.InvertRegion(QRect(0, 0, 50, 50)));
  EXPECT_FALSE(view.FillRegion(QRect(0, 0, 50, 50), false));
  EXPECT_EQ(qGray(pixel(10, 10)), 255);
  EXPECT_FALSE(view.imageChanged());
  EXPECT_EQ(view.undoState(), ImageView::kNoUndo);
  // PNG holds one bit: binarising makes a 1-bit image with its ink in place.
  ASSERT_TRUE(view.Binarise());
  EXPECT_EQ(view.control()->GetDispid12(), 1);
  EXPECT_EQ(qGray(pixel(150, 150)), 0);
  EXPECT_EQ(qGray(pixel(10, 10)), 255);
}

TEST_F(ImageEditTest, TheStatusBarTellsTheWorkUnderWayAndThenTheIdleText) {
  load(400, 300, 200);
  QStringList texts;
  QObject::connect(&view, &ImageView::prompt, [&texts](const QString& t) { texts << t; });
  const QString idle = QStringLiteral("ヘルプを表示するには[F1]を押してください");
  ASSERT_TRUE(view.Despeckle());
  EXPECT_EQ(texts, QStringList({QStringLiteral("ノイズ除去中です。(0％)"), idle}));
  texts.clear();
  boxes.script({platform::Answer::Yes});
  ASSERT_TRUE(view.FillRegion(QRect(0, 0, 50, 50), false));
  EXPECT_EQ(texts, QStringList({QStringLiteral("黒く塗りつぶしています。(0％)"), idle}));
  // Outside a command a progress report shows nothing; a refused change starts no text.
  texts.clear();
  view.OnImageProgress(50);
  boxes.script({platform::Answer::No});
  EXPECT_FALSE(view.InvertRegion(QRect(0, 0, 50, 50)));
  EXPECT_TRUE(texts.isEmpty());
}

TEST_F(ImageEditTest, AFailedUndoCopyLeavesTheImageAlone) {
  load(400, 300, 200);
  // The work folder lies below a plain file: nothing can be written there.
  QFile blocker(QString::fromStdString(temp.file("blocker")));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  view.SetWorkFolder(temp.file("blocker") + "/tmp");
  EXPECT_FALSE(view.Despeckle());
  EXPECT_FALSE(view.RotateBy(90));
  EXPECT_EQ(view.imageSize(), QSize(400, 300));
  EXPECT_FALSE(view.imageChanged());
  EXPECT_EQ(boxes.texts().size(), 2u);
}

TEST_F(ImageEditTest, SavingWritesThroughATemporaryFileAndAFailureKeepsTheOldFile) {
  load(400, 300, 200);
  const QByteArray before = bytesOf(path());
  ASSERT_TRUE(view.RotateBy(90));
  // The temporary file's place is taken by a folder: the write fails.
  const QString temp = QString::fromStdString(folder + "/.page.png.saving");
  ASSERT_TRUE(QDir().mkpath(temp));
  EXPECT_FALSE(view.SaveDocument());
  EXPECT_EQ(bytesOf(path()), before);
  EXPECT_TRUE(view.imageChanged());
  ASSERT_EQ(boxes.texts().size(), 1u);
  EXPECT_NE(boxes.texts()[0].find("書き込めません"), std::string::npos);

  ASSERT_TRUE(QDir(temp).removeRecursively());
  EXPECT_TRUE(view.SaveDocument());
  EXPECT_FALSE(view.imageChanged());
  EXPECT_FALSE(QFile::exists(temp));
  CImageCtrl reread;
  ASSERT_EQ(reread.LoadFile(path(), 0, 1, 1), 0);
  EXPECT_EQ(reread.GetImageWidth(), 300.0f);
  EXPECT_EQ(reread.GetImageHeight(), 400.0f);
}

TEST_F(ImageEditTest, ASavedImageGetsItsThumbnailMadeAgain) {
  load(400, 300, 200);
  ThumbInfo stale;
  stale.ItemNo = 1;
  stale.ThumbDateTime = QDateTime(QDate(2020, 1, 1), QTime(0, 0));
  stale.ThumbSizeX = 150;
  stale.ThumbSizeY = 112;
  stale.ThumbData = {1, 2, 3};
  ASSERT_EQ(db.SetThumbInfo(stale), 0);
  ASSERT_TRUE(view.RotateBy(90));
  ASSERT_TRUE(view.SaveDocument());
  ItemInfo item;
  ThumbInfo thumb;
  ASSERT_EQ(db.GetThumbInfoFromItemNo(1, item, thumb), 0);
  int cellWidth = 0;
  int cellHeight = 0;
  ComputeThumbnailCell(300, 400, cellWidth, cellHeight, 200, 200);  // the page as saved: turned upright
  EXPECT_EQ(thumb.ThumbSizeX, cellWidth);
  EXPECT_EQ(thumb.ThumbSizeY, cellHeight);
  EXPECT_GT(thumb.ThumbData.size(), 3u);
  EXPECT_GE(thumb.ThumbDateTime, QFileInfo(QString::fromStdString(path())).lastModified().addSecs(-1));
}

TEST_F(ImageEditTest, AnnotationsAreStoredInImagePixelsAndBarelyOverlappingOnesDropped) {
  load(400, 300, 200);
  view.AddAnnotation(box(0, QRect(10, 20, 100, 50)));
  view.AddAnnotation(box(1, QRect(-92, 10, 100, 50)));   // overlaps by 8 px: dropped
  view.AddAnnotation(box(2, QRect(-91, 10, 100, 50)));   // overlaps by 9 px: kept
  view.AddAnnotation(box(3, QRect(200, 295, 50, 50)));   // 5 px high on the page: dropped
  const int deleted = view.AddAnnotation(box(4, QRect(50, 50, 60, 20)));
  view.DeleteAnnotation(deleted);
  ASSERT_TRUE(view.SaveDocument());
  EXPECT_FALSE(view.annotationChanged());

  // Opened again at another size and zoom: the same rectangles.
  view.resize(300, 200);
  view.LoadImage(folder, item());
  ASSERT_EQ(view.annotations().size(), 2u);
  EXPECT_EQ(view.annotations()[0].rect(), QRect(10, 20, 100, 50));
  EXPECT_EQ(view.annotations()[0].box.BoxString, "メモ");
  EXPECT_EQ(view.annotations()[1].box.AnnType, 2);
  EXPECT_EQ(view.annotations()[1].rect(), QRect(-91, 10, 100, 50));

  // Deleting every box leaves the item without rows.
  view.DeleteAnnotation(0);
  view.DeleteAnnotation(1);
  ASSERT_TRUE(view.SaveDocument());
  view.LoadImage(folder, item());
  EXPECT_TRUE(view.annotations().empty());
}

}  // namespace
