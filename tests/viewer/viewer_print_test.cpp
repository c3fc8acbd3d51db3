// Printing an image in bands and the viewer's page at its physical size.

#include "viewer/viewer_print.h"

#include "platform/imaging/image.h"
#include "platform/user_interaction.h"
#include "shell/image_ctrl.h"
#include "tests/support/test_env.h"
#include "tests/viewer/viewer_fixture.h"

#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPrinter>

#include <gtest/gtest.h>

namespace {

// A control holding an all-black page of w x h at dpi.
void holdBlack(CImageCtrl& ctrl, testsupport::TempDir& dir, int w, int h, int dpi) {
  QImage page(w, h, QImage::Format_RGB32);
  page.fill(Qt::black);
  const std::string path = dir.file("black.png");
  ASSERT_TRUE(viewertest::writeQtImage(page, path, "png", dpi));
  ASSERT_EQ(ctrl.LoadFile(path, 0, 1, 1), 0);
}

// The bounding box of the black pixels.
QRect inked(const QImage& image) {
  QRect box;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 128) box |= QRect(x, y, 1, 1);
  return box;
}

TEST(PrintImage, BandsOf128LinesCoverTheTargetExactly) {
  const auto bands = PrintBands(300, 600);
  ASSERT_EQ(bands.size(), 3u);
  EXPECT_EQ(bands[0], std::make_pair(0, 256));
  EXPECT_EQ(bands[1], std::make_pair(256, 512));
  EXPECT_EQ(bands[2], std::make_pair(512, 600));
  const auto odd = PrintBands(300, 333);
  EXPECT_EQ(odd.front().first, 0);
  EXPECT_EQ(odd.back().second, 333);
  for (std::size_t i = 1; i < odd.size(); ++i) EXPECT_EQ(odd[i].first, odd[i - 1].second);
}

TEST(PrintImage, WithinFivePercentPrintsOneToOneElseStretches) {
  platform::RecordingUserInteraction boxes;
  testsupport::TempDir dir;
  CImageCtrl ctrl;
  holdBlack(ctrl, dir, 1000, 1000, 200);
  struct Case {
    int w, h;
    QSize expected;
  } cases[] = {{1040, 980, {1000, 1000}}, {1060, 1000, {1060, 1000}}, {500, 500, {500, 500}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.w);
    QImage sheet(1200, 1200, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    ASSERT_TRUE(PrintImage(painter, ctrl, 10, 20, c.w, c.h));
    painter.end();
    EXPECT_EQ(inked(sheet), QRect(QPoint(10, 20), c.expected));
  }
  EXPECT_TRUE(boxes.texts().empty());
}

TEST(PrintImage, NothingToPrintIsAFailureAndTold) {
  platform::RecordingUserInteraction boxes;
  CImageCtrl empty;
  QImage sheet(100, 100, QImage::Format_RGB32);
  QPainter painter(&sheet);
  EXPECT_FALSE(PrintImage(painter, empty, 0, 0, 50, 50));
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"印刷に失敗しました。"});
}

TEST(ViewerPrint, PhysicalSizeAndTheFallbackResolution) {
  EXPECT_EQ(PrintedSize({1700, 2200}, 200, 200, 600, 600, 150), QSize(5100, 6600));
  EXPECT_EQ(PrintedSize({1500, 300}, 0, 0, 300, 300, 150), QSize(3000, 600));  // never divides by 0
  EXPECT_EQ(PrintedSize({1500, 300}, 0, 0, 300, 300, 0), QSize(3000, 600));
}

TEST(ViewerPrint, A1700PixelPageAt200DpiPrints8AndAHalfInchesWideIntoAPdf) {
  platform::RecordingUserInteraction boxes;
  testsupport::TempDir dir;
  CImageCtrl ctrl;
  holdBlack(ctrl, dir, 1700, 1000, 200);
  for (bool rotate : {false, true}) {
    SCOPED_TRACE(rotate);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const std::string pdf = dir.file(rotate ? "turned.pdf" : "page.pdf");
    printer.setOutputFileName(QString::fromStdString(pdf));
    printer.setPageSize(QPageSize(QPageSize::A3));
    printer.setPageOrientation(QPageLayout::Portrait);
    ViewerPrintSettings settings;
    settings.leftMarginMm = 25.4;
    settings.rotateToPaper = rotate;
    QRect target;
    ASSERT_TRUE(PrintViewerPage(printer, ctrl, settings, &target));
    const int dpi = printer.logicalDpiX();
    EXPECT_EQ(target.left(), dpi);
    // Landscape page on portrait paper: turned only with the setting on.
    EXPECT_EQ(rotate ? target.height() : target.width(), static_cast<int>(8.5 * dpi + 0.5));
    EXPECT_EQ(rotate ? target.width() : target.height(), 5 * dpi);
    EXPECT_GT(QFileInfo(QString::fromStdString(pdf)).size(), 0);
  }
  EXPECT_EQ(ctrl.GetImageWidth(), 1700.0f);  // the shown page is not turned
}

}  // namespace
