// The resolution, rotation and trim dialogs, and the screenshots of the
// annotated page and of the trim dialog.

#include "viewer/viewer_dialogs.h"

#include "platform/imaging/image.h"
#include "platform/user_interaction.h"
#include "shell/image_ctrl.h"
#include "tests/support/test_env.h"
#include "tests/viewer/viewer_fixture.h"
#include "viewer/image_view.h"

#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace {

TEST(ViewerDialogs, ResolutionAndAngleChecks) {
  struct Res {
    const char* text;
    bool ok;
  } res[] = {{"10", true}, {"1200", true}, {"9", false}, {"1201", false}, {"12a", false}, {"", false}, {"+300", true}};
  for (const Res& c : res) {
    SCOPED_TRACE(c.text);
    int dpi = 0;
    EXPECT_EQ(ResolutionDialog::Check(QString::fromUtf8(c.text), dpi), c.ok);
  }
  struct Angle {
    const char* text;
    bool ok;
  } angles[] = {{"-360", true}, {"360", true}, {"12.5", true}, {"1.2.3", false}, {"360.1", false}, {"a", false}};
  for (const Angle& c : angles) {
    SCOPED_TRACE(c.text);
    double angle = 0;
    EXPECT_EQ(RotationDialog::CheckAngle(QString::fromUtf8(c.text), angle), c.ok);
  }
}

TEST(ViewerDialogs, RefusedValuesKeepTheDialogOpenWithTheMessage) {
  platform::RecordingUserInteraction boxes;
  ResolutionDialog resolution(200);
  EXPECT_EQ(resolution.findChild<QLineEdit*>(QStringLiteral("ctl10501"))->text(), QStringLiteral("200"));
  resolution.findChild<QLineEdit*>(QStringLiteral("ctl10501"))->setText(QStringLiteral("5000"));
  resolution.accept();
  EXPECT_EQ(resolution.result(), QDialog::Rejected);
  RotationDialog rotation;
  auto* angle = rotation.findChild<QLineEdit*>(QStringLiteral("ctl10516"));
  EXPECT_FALSE(angle->isEnabled());
  rotation.SetChoice(RotationDialog::kAny);
  EXPECT_TRUE(angle->isEnabled());
  angle->setText(QStringLiteral("1..5"));
  rotation.accept();
  EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"10～1200の間の値を入力してください。",
                                                      "-360～360の間の値を入力してください。"}));
  angle->setText(QStringLiteral("-12.5"));
  rotation.accept();
  EXPECT_EQ(rotation.result(), QDialog::Accepted);
  EXPECT_DOUBLE_EQ(rotation.degrees(), -12.5);
}

TEST(ViewerDialogs, TitleChecks) {
  const QString hundredKana(100, QChar(0x3042));  // 200 Shift-JIS bytes
  struct Case {
    QString title;
    int maxBytes;
    const char* message;  // nullptr: accepted
  } cases[] = {
      {QString(), 200, "タイトルを入力してください。"},
      {hundredKana, 200, nullptr},
      {hundredKana + QLatin1Char('a'), 255, "タイトルが長すぎます。"},  // 200 is the ceiling
      {QStringLiteral("abcdef"), 5, "タイトルが長すぎます。"},
      {QStringLiteral("請求書 2026年"), 200, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title.toStdString());
    std::string message;
    EXPECT_EQ(TitleDialog::CheckTitle(c.title, c.maxBytes, message), c.message == nullptr);
    if (c.message) {
      EXPECT_EQ(message, c.message);
    }
  }
  for (const QChar bad : QStringLiteral("\"\\/:<>'*?][#|")) {
    std::string message;
    EXPECT_FALSE(TitleDialog::CheckTitle(QStringLiteral("a") + bad, 200, message)) << bad.toLatin1();
    EXPECT_EQ(message, "\"\\/:<>'*?][#|はタイトルには使用できません。");
  }
  // A refused title keeps the dialog open under the caller's caption.
  platform::RecordingUserInteraction boxes;
  TitleDialog dialog(QStringLiteral("見積書"), QStringLiteral("頁タイトルの変更"), 200);
  EXPECT_EQ(dialog.objectName(), QStringLiteral("dlg10490"));
  dialog.edit()->setText(QStringLiteral("見積:書"));
  dialog.accept();
  EXPECT_EQ(dialog.result(), 0);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].caption, "頁タイトルの変更");
  dialog.edit()->setText(QStringLiteral("見積書（改）"));
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.newTitle(), QStringLiteral("見積書（改）"));
}

TEST(ViewerDialogs, TrimDialogShowsTheRegionWithItsProportionsAndLetsItGo) {
  testsupport::TempDir dir;
  CImageCtrl source;
  const QImage page = viewertest::japanesePage(600, 300);
  ASSERT_TRUE(viewertest::writeQtImage(page, dir.file("region.png"), "png", 200));
  ASSERT_EQ(source.LoadFile(dir.file("region.png"), 0, 1, 1), 0);
  {
    TrimDialog dialog(source.GetImageHandle());
    dialog.resize(420, 360);
    dialog.show();
    QCoreApplication::processEvents();
    CImageCtrl* shown = dialog.control();
    EXPECT_EQ(shown->objectName(), QStringLiteral("ctl10451"));
    EXPECT_FLOAT_EQ(shown->GetDispid23(), static_cast<float>(shown->width()));
    EXPECT_NEAR(shown->GetDispid24(), shown->width() / 2.0, 1.0);  // 2:1 kept
    QDir().mkpath(BRINDEL_SCREENSHOT_DIR);
    EXPECT_TRUE(dialog.grab().toImage().save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/trim_dialog.png")));
    dialog.reject();
    EXPECT_FALSE(shown->holdsImage());
  }
  EXPECT_TRUE(source.holdsImage());
}

TEST(ViewerDialogs, ScreenshotOfThePageWithAllFiveAnnotationKinds) {
  platform::RecordingUserInteraction boxes;
  testsupport::TempDir dir;
  ASSERT_TRUE(viewertest::writeQtImage(viewertest::japanesePage(800, 600), dir.file("page.png"), "png", 200));
  ImageView view;
  view.resize(820, 620);
  view.show();
  view.LoadImage(dir.path(), viewertest::pageItem());
  ASSERT_TRUE(view.hasImage());
  view.SetZoom(ImageView::kHundredPercentStep);
  const auto make = [](int type, QRect r, std::int32_t fore, std::int32_t back, const char* text) {
    AnnBox b = viewertest::annBox(type, r);
    b.FontSize = 100;
    b.ForeColor = fore;
    b.BackColor = back;
    b.BoxString = text;
    return b;
  };
  view.AddAnnotation(make(0, QRect(480, 40, 260, 60), 0x000000, 0xC0FFFF, "確認してください"));
  view.AddAnnotation(make(1, QRect(40, 150, 500, 40), 0x00FFFF, 0xFFFFFF, ""));
  view.AddAnnotation(make(2, QRect(60, 260, 300, 30), 0, 0xFFFFFF, ""));
  AnnBox pointer = make(3, QRect(420, 330, 200, 120), 0x0000FF, 0, "");
  pointer.AnnParam1 = 1;
  pointer.AnnParam2 = 4;
  view.AddAnnotation(pointer);
  view.AddAnnotation(make(4, QRect(480, 480, 280, 36), 0xFF0000, 0xFFFFFF, "http://example.com/"));
  QCoreApplication::processEvents();
  const QImage shot = view.grab().toImage();
  // The redaction hides the text under it; the highlight keeps the ink.
  EXPECT_EQ(qGray(shot.pixel(view.ImageToClientRect(QRect(200, 275, 1, 1)).topLeft())), 0);
  const QRgb lit = shot.pixel(view.ImageToClientRect(QRect(45, 152, 1, 1)).topLeft());
  EXPECT_EQ(QColor(lit).name(), QStringLiteral("#ffff00"));  // white paper under yellow
  QDir().mkpath(BRINDEL_SCREENSHOT_DIR);
  EXPECT_TRUE(shot.save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/viewer_annotations.png")));
}

}  // namespace
