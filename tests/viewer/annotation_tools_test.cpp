// The annotation tools and the rules of annotation boxes.

#include "viewer/annotation_tools.h"

#include "platform/user_interaction.h"
#include "tests/support/test_env.h"
#include "tests/viewer/viewer_fixture.h"
#include "viewer/image_view.h"
#include "viewer/viewer_commands.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(AnnotationTools, EachToolMakesItsKindWithItsColours) {
  struct Case {
    int tool, type;
    std::int32_t fore, back;
    int underline;
    const char* text;
  } cases[] = {{anntool::kTextBox, 0, 0, 0xC0C0C0, 0, ""},
               {anntool::kHighlight, 1, 0x00FFFF, 0xFFFFFF, 0, ""},
               {anntool::kRedaction, 2, 0, 0xFFFFFF, 0, ""},
               {anntool::kLink, 4, 0xFF0000, 0xFFFFFF, 1, "http://"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tool);
    const auto box = AnnotationFromBand(c.tool, {50, 40}, {10, 20});
    ASSERT_TRUE(box);
    EXPECT_EQ(box->AnnType, c.type);
    EXPECT_EQ(box->ForeColor, c.fore);
    EXPECT_EQ(box->BackColor, c.back);
    EXPECT_EQ(box->FontUnderline, c.underline);
    EXPECT_EQ(box->BoxString, c.text);
    EXPECT_EQ(box->FontSize, 160);
    EXPECT_EQ(box->FontName, "ＭＳ 明朝");
    EXPECT_EQ(QRect(QPoint(box->BoxLeft, box->BoxTop), QPoint(box->BoxRight, box->BoxBottom)),
              QRect(QPoint(10, 20), QPoint(50, 40)));
    EXPECT_FALSE(AnnotationFromBand(c.tool, {10, 20}, {11, 60}));  // less than 2 wide
  }
}

TEST(AnnotationTools, ThePointerPointsFromTheDragsStartToItsEnd) {
  struct Case {
    QPoint end;
    int direction;
  } cases[] = {{{0, 0}, 1}, {{200, 0}, 2}, {{0, 200}, 3}, {{200, 200}, 4}, {{200, 100}, 4}, {{100, 0}, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.direction);
    const auto box = AnnotationFromBand(anntool::kPointer, {100, 100}, c.end);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->AnnType, 3);
    EXPECT_EQ(box->AnnParam1, c.direction);
    EXPECT_EQ(box->AnnParam2, 3);
  }
  const auto box = AnnotationFromBand(anntool::kPointer, {100, 100}, {200, 150});
  EXPECT_EQ(QRect(QPoint(box->BoxLeft, box->BoxTop), QPoint(box->BoxRight, box->BoxBottom)),
            QRect(QPoint(92, 92), QPoint(208, 158)));  // widened by 8 on each side
  EXPECT_FALSE(AnnotationFromBand(anntool::kPointer, {100, 100}, {100, 100}));
}

TEST(AnnotationTools, TextRulesAndTheSmallestBox) {
  EXPECT_EQ(StoredBoxText(QString()), "  ");
  EXPECT_EQ(StoredBoxText(QStringLiteral("メモ")), "メモ");
  EXPECT_EQ(OneLineLinkText(QStringLiteral("http://example.com/\r\npath")), QStringLiteral("http://example.com/path"));
  EXPECT_EQ(OneLineLinkText(QString(2000, QLatin1Char('a'))).size(), 1023);
  const QRect box(100, 100, 60, 40);
  EXPECT_EQ(ResizedBox(box, 3, {0, 0}).size(), QSize(17, 17));
  EXPECT_EQ(ResizedBox(box, 0, {500, 500}).size(), QSize(17, 17));
  EXPECT_EQ(ResizedBox(box, 0, {500, 500}).bottomRight(), box.bottomRight());
  EXPECT_EQ(ResizedBox(box, 1, {300, 50}), QRect(QPoint(100, 50), QPoint(300, 139)));
}

TEST(AnnotationTools, ALinkToAnythingButTheWebOrMailIsRefused) {
  platform::RecordingUserInteraction boxes;
  const char* refused[] = {"/etc/passwd", "file:///bin/sh", "C:\\windows\\notepad.exe", "javascript:alert(1)",
                           "http://", "ftp://example.com/", "  "};
  for (const char* address : refused) {
    SCOPED_TRACE(address);
    boxes.clear();
    const std::string before = QDir::currentPath().toStdString();
    EXPECT_FALSE(OpenLinkAddress(QString::fromUtf8(address)));
    EXPECT_EQ(boxes.texts().size(), 1u);
    EXPECT_EQ(QDir::currentPath().toStdString(), before);
  }
}

TEST(AnnotationTools, DrawingWithAToolInTheViewAddsTheBoxAndEndsTheUndoChain) {
  platform::RecordingUserInteraction boxes;
  testsupport::TempDir dir;
  ASSERT_TRUE(viewertest::writeQtImage(viewertest::japanesePage(400, 300), dir.file("page.png"), "png", 200));
  ImageView view;
  view.SetWorkFolder(dir.path());
  view.resize(500, 400);
  view.show();
  view.LoadImage(dir.path(), viewertest::pageItem());
  view.SetZoom(ImageView::kHundredPercentStep);
  ASSERT_TRUE(view.Despeckle());
  view.OnCommand(vcmd::kLinkButton);
  EXPECT_TRUE(view.CommandChecked(vcmd::kLinkTool));
  const QPoint a = view.ImageToClientRect(QRect(20, 30, 1, 1)).topLeft();
  const QPoint b = view.ImageToClientRect(QRect(120, 60, 1, 1)).topLeft();
  QTest::mousePress(view.viewport(), Qt::LeftButton, {}, a);
  QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, b);
  ASSERT_EQ(view.annotations().size(), 1u);
  EXPECT_EQ(view.annotations()[0].box.AnnType, 4);
  EXPECT_EQ(view.annotations()[0].rect(), QRect(QPoint(20, 30), QPoint(120, 60)));
  EXPECT_TRUE(view.annotationChanged());
  EXPECT_EQ(view.undoState(), ImageView::kNoUndo);
  EXPECT_EQ(view.tool(), anntool::kSelect);
}

}  // namespace
