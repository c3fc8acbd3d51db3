// The image view: fits, zoom steps and their limits, zoom about a point,
// the load messages and states, the page formats, and painting at 100 %.

#include "viewer/image_view.h"

#include "platform/imaging/image.h"
#include "platform/user_interaction.h"
#include "shell/image_ctrl.h"
#include "tests/support/test_env.h"
#include "tests/viewer/viewer_fixture.h"
#include "viewer/grey_reduction.h"
#include "viewer/viewer_commands.h"

#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QScrollBar>
#include <QStyle>
#include <QTest>

#include <gtest/gtest.h>

namespace {

ItemInfo imageItem(const std::string& title, const std::string& ext) {
  return viewertest::pageItem(1, title.c_str(), ext.c_str());
}

class ImageViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view.resize(600, 400);
    view.show();
    QCoreApplication::processEvents();
  }
  // A plain page of w x h written as PNG and loaded.
  void loadBlank(int w, int h, const std::string& title = "page") {
    QImage page(w, h, QImage::Format_RGB32);
    page.fill(Qt::white);
    ASSERT_TRUE(viewertest::writeQtImage(page, dir.file(title + ".png"), "png", 300));
    view.LoadImage(dir.path(), imageItem(title, "png"));
    ASSERT_TRUE(view.hasImage());
  }

  platform::RecordingUserInteraction boxes;
  testsupport::TempDir dir;
  ImageView view;
};

TEST(ImageViewFit, WidthFitTakesTheLargestStepThatFitsAndMakesRoomForTheScrollBar) {
  struct Case {
    const char* name;
    int imageW, imageH, clientW, clientH, expected;
  } cases[] = {
      {"3000 px into 600 px, height fits: 20 %", 3000, 2000, 600, 500, 5},
      {"3000 px into 600 px, height needs a scroll bar: 16 %", 3000, 4000, 600, 500, 4},
      {"the scroll bar still leaves room", 2000, 4000, 600, 500, 6},
      {"never above 100 %", 300, 200, 600, 500, 12},
      {"nothing fits: step 1", 100000, 100, 600, 500, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ImageView::FitStep(c.imageW, c.imageH, c.clientW, c.clientH, 16), c.expected);
  }
}

TEST(GreyReduction, EveryPixelIsTheMeanOfItsBox) {
  // 10 x 4 (the row ends inside a byte): ink in the left half of each
  // 2 x 2 box of the first row of boxes, the last column all ink.
  QImage mono(10, 4, QImage::Format_Mono);
  mono.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
  mono.fill(0);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 10; x += 2) mono.setPixel(x, y, 1);
  for (int y = 0; y < 4; ++y) mono.setPixel(9, y, 1);
  const QImage grey = ReduceMonoToGrey(mono, QSize(5, 2));
  ASSERT_EQ(grey.size(), QSize(5, 2));
  EXPECT_EQ(grey.format(), QImage::Format_Grayscale8);
  EXPECT_EQ(qGray(grey.pixel(0, 0)), 127);  // half ink
  EXPECT_EQ(qGray(grey.pixel(0, 1)), 255);  // paper
  EXPECT_EQ(qGray(grey.pixel(4, 0)), 0);    // all ink
  EXPECT_EQ(qGray(grey.pixel(4, 1)), 127);
  // A palette with white at index 1 counts the zero bits as ink.
  QImage inverted = mono;
  inverted.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
  EXPECT_EQ(qGray(ReduceMonoToGrey(inverted, QSize(5, 2)).pixel(0, 1)), 0);
}

TEST_F(ImageViewTest, APageOpensAtTheWidthFitOfItsPane) {
  view.resize(600, 500);
  QCoreApplication::processEvents();
  const int bar = view.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  ASSERT_LT(600 - bar, 600);  // the case below depends on a bar of some width
  loadBlank(3000, 2000, "wide");
  EXPECT_EQ(view.zoomStep(), 5);
  EXPECT_EQ(ImageView::ZoomPercent(view.zoomStep()), 20);
  loadBlank(3000, 4000, "tall");
  EXPECT_EQ(view.zoomStep(), 4);
  EXPECT_EQ(view.ScrollPosition().y(), 0);  // the top of the page in view
}

TEST_F(ImageViewTest, ZoomStopsAtItsEndsAndAbove32Pixels) {
  loadBlank(400, 400);
  view.OnCommand(vcmd::kToolZoom);
  EXPECT_EQ(view.tool(), ImageView::kToolZoom);
  view.SetZoom(18);
  const int before = view.beeps();
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(50, 50));
  EXPECT_EQ(view.zoomStep(), 18);
  EXPECT_EQ(view.beeps(), before + 1);

  // 400 px at 9 % is 36 px; at 6 % it would be 24 px: refused.
  EXPECT_EQ(view.SetZoom(2), 2);
  EXPECT_EQ(view.SetZoom(1), 2);
  EXPECT_EQ(view.beeps(), before + 2);
  QTest::mouseClick(view.viewport(), Qt::RightButton, {}, QPoint(10, 10));
  EXPECT_EQ(view.zoomStep(), 2);
  EXPECT_EQ(view.beeps(), before + 3);

  // Returning to 100 % is always allowed, even to 32 pixels or less.
  loadBlank(20, 20, "tiny");
  view.SetZoom(13);
  EXPECT_EQ(view.SetZoom(11), 13);
  EXPECT_EQ(view.SetZoom(12), 12);
}

TEST_F(ImageViewTest, ZoomAboutAPointKeepsThatImagePointUnderTheMouse) {
  loadBlank(2400, 3200);
  view.SetZoom(8);  // 40 %
  const QPoint mouse(420, 260);
  const QPoint before = view.ClientToImagePoint(mouse);
  view.OnCommand(vcmd::kToolZoom);
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, mouse);
  EXPECT_EQ(view.zoomStep(), 9);
  QPoint after = view.ClientToImagePoint(mouse);
  EXPECT_LE(std::abs(after.x() - before.x()), 2);
  EXPECT_LE(std::abs(after.y() - before.y()), 2);
  QTest::mouseClick(view.viewport(), Qt::RightButton, {}, mouse);
  EXPECT_EQ(view.zoomStep(), 8);
  after = view.ClientToImagePoint(mouse);
  EXPECT_LE(std::abs(after.x() - before.x()), 3);
  EXPECT_LE(std::abs(after.y() - before.y()), 3);

  // The context menu's 拡大 zooms about the point it opened at.
  view.OnCommand(vcmd::kToolDrag);
  std::unique_ptr<QMenu> menu(view.BuildImageContextMenu(mouse));
  menu->findChild<QAction*>(QStringLiteral("cmd%1").arg(vcmd::kZoomIn, 0, 16))->trigger();
  EXPECT_EQ(view.zoomStep(), 9);
  after = view.ClientToImagePoint(mouse);
  EXPECT_LE(std::abs(after.x() - before.x()), 3);

  // Conversions agree with each other.
  const QRect box(1000, 1200, 200, 100);
  const QRect onScreen = view.ImageToClientRect(box);
  const QPoint back = view.ClientToImagePoint(onScreen.topLeft());
  EXPECT_LE(std::abs(back.x() - box.x()), 2);
  EXPECT_LE(std::abs(back.y() - box.y()), 2);
}

TEST_F(ImageViewTest, DraggingAndTheWheelKeepTheImageOverTheClientArea) {
  loadBlank(2400, 3200);
  view.SetZoom(12);
  QScrollBar* vertical = view.verticalScrollBar();
  QScrollBar* horizontal = view.horizontalScrollBar();
  horizontal->setValue(0);
  vertical->setValue(0);
  QTest::mousePress(view.viewport(), Qt::LeftButton, {}, QPoint(300, 200));
  QTest::mouseMove(view.viewport(), QPoint(100, 50));
  QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, QPoint(100, 50));
  EXPECT_EQ(horizontal->value(), 200);
  EXPECT_EQ(vertical->value(), 150);
  // Beyond the page's edge the image stays put at its edge.
  QTest::mousePress(view.viewport(), Qt::LeftButton, {}, QPoint(100, 50));
  QTest::mouseMove(view.viewport(), QPoint(590, 390));
  QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, QPoint(590, 390));
  EXPECT_EQ(horizontal->value(), 0);
  EXPECT_EQ(vertical->value(), 0);

  QWheelEvent back(QPointF(50, 50), view.mapToGlobal(QPointF(50, 50)), {}, QPoint(0, -360), Qt::NoButton, {},
                   Qt::NoScrollPhase, false);
  QApplication::sendEvent(view.viewport(), &back);
  EXPECT_EQ(vertical->value(), ImageView::kWheelStep);  // 30 px whatever the turn
  QWheelEvent forward(QPointF(50, 50), view.mapToGlobal(QPointF(50, 50)), {}, QPoint(0, 120), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
  QApplication::sendEvent(view.viewport(), &forward);
  EXPECT_EQ(vertical->value(), 0);
}

TEST_F(ImageViewTest, LoadMessagesAndStates) {
  // Missing file.
  view.LoadImage(dir.path(), imageItem("gone", "tif"));
  EXPECT_EQ(view.state(), ImageView::kNoImage);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, "画像ファイルが存在していません。");
  EXPECT_EQ(boxes.shown()[0].caption, "画像の読み込み");
  // A path over 260 bytes (Shift-JIS): the title's 90 kanji are 180 bytes.
  boxes.clear();
  std::string title;
  for (int i = 0; i < 90; ++i) title += "頁";
  view.LoadImage(dir.path() + "/" + std::string(80, 'x'), imageItem(title, "tif"));
  EXPECT_EQ(view.state(), ImageView::kNoImage);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, "画像ファイルのパスがが不正です。\n画像が読み込めません。");
  // Not an image.
  boxes.clear();
  ASSERT_TRUE(testsupport::writeFile(dir.file("broken.png"), "not a picture"));
  view.LoadImage(dir.path(), imageItem("broken", "png"));
  EXPECT_EQ(view.state(), ImageView::kNoImage);
  EXPECT_FALSE(view.hasImage());
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, "画像の読み込み中にエラーが発生しました。");
  // Read-only: told, shown, state 2.
  boxes.clear();
  loadBlank(400, 400, "locked");
  EXPECT_EQ(view.state(), ImageView::kEditable);
  QFile::setPermissions(QString::fromStdString(dir.file("locked.png")), QFileDevice::ReadOwner);
  view.LoadImage(dir.path(), imageItem("locked", "png"));
  EXPECT_EQ(view.state(), ImageView::kReadOnly);
  EXPECT_TRUE(view.hasImage());
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, "画像ファイルが書き込み禁止になっています。\n画像の編集は出来ません。");
  // A read-only page can still be zoomed.
  EXPECT_EQ(view.SetZoom(6), 6);
  // With no image every command does nothing.
  view.LoadImage(dir.path(), imageItem("gone", "tif"));
  view.OnCommand(vcmd::kToolZoom);
  EXPECT_EQ(view.tool(), ImageView::kToolDrag);
  EXPECT_FALSE(view.CommandEnabled(vcmd::kFitWhole));
}

TEST_F(ImageViewTest, PagesOfEveryKindLoadWithTheirResolution) {
  const QImage page = viewertest::japanesePage(620, 877);
  ASSERT_TRUE(viewertest::writeTiff({page}, dir.file("g4.tif"), 300, true));
  ASSERT_TRUE(viewertest::writeTiff({page, page.mirrored()}, dir.file("lzw.tif"), 200, false));
  ASSERT_TRUE(viewertest::writeQtImage(page, dir.file("png.png"), "png", 72));
  ASSERT_TRUE(viewertest::writeQtImage(page, dir.file("jpg.jpg"), "jpg", 96));
  ASSERT_TRUE(viewertest::writeQtImage(page, dir.file("bmp.bmp"), "bmp", 400));
  ASSERT_TRUE(viewertest::writeQtImage(page, dir.file("plain.bmp"), "bmp", 0));
  {
    // Qt always states a resolution; clear biXPelsPerMeter and biYPelsPerMeter.
    QFile plain(QString::fromStdString(dir.file("plain.bmp")));
    ASSERT_TRUE(plain.open(QIODevice::ReadWrite));
    ASSERT_TRUE(plain.seek(38));
    ASSERT_EQ(plain.write(QByteArray(8, '\0')), 8);
  }
  struct Case {
    const char* title;
    const char* ext;
    int bits;
    int dpi;
  } cases[] = {{"g4", "tif", 1, 300},   {"lzw", "tif", 1, 200}, {"png", "png", 32, 72},
               {"jpg", "jpg", 24, 96},  {"bmp", "bmp", 32, 400},
               // A BMP that states no resolution gets the engine's default.
               {"plain", "bmp", 32, platform::imaging::kDefaultDpi}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    view.LoadImage(dir.path(), imageItem(c.title, c.ext));
    ASSERT_TRUE(view.hasImage());
    EXPECT_EQ(view.imageSize(), QSize(620, 877));
    EXPECT_EQ(view.xResolution(), c.dpi);
    EXPECT_EQ(view.yResolution(), c.dpi);
    if (c.bits == 1) {
      EXPECT_EQ(view.bitsPerPixel(), 1);
    }
    EXPECT_NE(view.formatCode(), 0);
  }
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(ImageViewTest, AGrabAtOneHundredPercentIsThePagesPixels) {
  const QImage page = viewertest::japanesePage(500, 700);
  ASSERT_TRUE(viewertest::writeTiff({page}, dir.file("p.tif"), 300, true));
  view.LoadImage(dir.path(), imageItem("p", "tif"));
  ASSERT_TRUE(view.hasImage());
  view.SetZoom(ImageView::kHundredPercentStep);
  view.verticalScrollBar()->setValue(100);
  const QImage shot = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QImage held = view.control()->heldImage().convertToFormat(QImage::Format_RGB32);
  const QPoint scroll = view.ScrollPosition();
  const QRect shown = QRect(-scroll, held.size()).intersected(shot.rect());
  ASSERT_GT(shown.width(), 300);
  int differing = 0;
  for (int y = shown.top(); y <= shown.bottom(); ++y)
    for (int x = shown.left(); x <= shown.right(); ++x)
      differing += shot.pixel(x, y) != held.pixel(x + scroll.x(), y + scroll.y());
  EXPECT_EQ(differing, 0);

  // Zoomed out, a 1-bit page is shown in grey levels; without the grey
  // display only black and white remain.
  view.SetZoom(6);
  const auto greyLevels = [&] {
    const QImage small = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint s = view.ScrollPosition();
    int grey = 0;
    const QRect area = QRect(-s, QSize(held.width() / 4, held.height() / 4)).intersected(small.rect());
    for (int y = area.top() + 2; y < area.bottom() - 2; ++y)
      for (int x = area.left() + 2; x < area.right() - 2; ++x) {
        const int v = qGray(small.pixel(x, y));
        grey += v > 10 && v < 245;
      }
    return grey;
  };
  EXPECT_GT(greyLevels(), 100);
  view.OnCommand(vcmd::kGrayDisplay);
  EXPECT_EQ(view.grayScaling(), 0);
  EXPECT_EQ(greyLevels(), 0);
}

}  // namespace
