// The interactive OCR dialog with the real OCR control on rendered pages:
// reading one image or all of them with the overwrite question, the shown
// reduction, and what OK and Cancel leave behind.

#include "bench/page_pix.h"
#include "ocrctl/control_identity.h"
#include "platform/component_registry.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"
#include "shell/ocr_control_host.h"
#include "shell/ocr_dialogs.h"
#include "shell/ocr_interactive_dlg.h"
#include "tests/shell/fresh_environment.h"
#include "tests/support/page_renderer.h"
#include "tests/support/test_env.h"

#include <QComboBox>
#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <gtest/gtest.h>
#include <leptonica/allheaders.h>

#include <filesystem>
#include <fstream>

namespace {

using platform::Answer;
using platform::Buttons;

const QString kLine = QStringLiteral("日本語の文書を読み取ります。");
constexpr const char* kQuestion = "すでに認識結果が存在します。\n上書きしますか。";

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool exists(const std::string& path) { return std::filesystem::exists(std::filesystem::u8path(path)); }

class OcrInteractive : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::registerComponent(
        {ocrctl::kControlClassId, ocrctl::kControlProgId, ocrctl::kControlTypeName, ZEQOCR30_PATH}));
    control = CreateOcrControl();
    ASSERT_NE(control, nullptr);
  }
  // A prepared image: one line of printed Japanese (or a blank page) at 300 dpi.
  OcrPage page(const std::string& name, int width = 900, bool text = true) {
    testpages::PageBuilder builder(width, 200, 300);
    if (text) builder.addText({60, 60}, kLine, 12, 14, 1);
    Pix* pix = PixOfPage(builder.render());
    OcrPage p;
    p.prepared = dir.file(name);
    p.resolution = 300;
    EXPECT_EQ(pixWrite(p.prepared.c_str(), pix, IFF_BMP), 0);
    pixDestroy(&pix);
    return p;
  }
  std::vector<OcrPage> pages(int count) {
    std::vector<OcrPage> out;
    for (int i = 0; i < count; ++i) out.push_back(page(std::to_string(i) + ".bmp"));
    return out;
  }
  std::unique_ptr<OcrDlg> dialog(std::vector<OcrPage> images) {
    return std::make_unique<OcrDlg>(*control, dictionary.path(), std::move(images), 2, 2);
  }
  static QComboBox* combo(OcrDlg& d) { return d.findChild<QComboBox*>(QStringLiteral("ctl10207")); }
  static QString entry(OcrDlg& d, int n) { return combo(d)->itemText(n); }

  FreshEnvironment env;
  platform::RecordingUserInteraction boxes;
  testsupport::TempDir dir;
  testsupport::TempDir dictionary;
  std::unique_ptr<CZeqOcr3> control;
};

}  // namespace

// A PNG page is read from a BMP copy, but listed by its own name.
TEST_F(OcrInteractive, PagesAreListedByTheirDocumentsNames) {
  std::vector<OcrPage> images = pages(2);
  images[0].source = dir.file("請求書.png");
  auto d = dialog(images);
  EXPECT_EQ(entry(*d, 0), QStringLiteral("<未処理> 請求書.png"));
  EXPECT_EQ(entry(*d, 1), QStringLiteral("<未処理> 1.bmp"));
  d->findChild<QPushButton*>(QStringLiteral("ctl10201"))->click();
  EXPECT_EQ(entry(*d, 0), QStringLiteral("請求書.png"));
}

TEST_F(OcrInteractive, ReadsOneImageAndAsksBeforeReadingItAgain) {
  auto d = dialog(pages(2));
  EXPECT_EQ(d->objectName(), QStringLiteral("dlg10200"));
  EXPECT_EQ(entry(*d, 0), QStringLiteral("<未処理> 0.bmp"));
  EXPECT_EQ(entry(*d, 1), QStringLiteral("<未処理> 1.bmp"));
  auto* edit = d->findChild<QPlainTextEdit*>(QStringLiteral("ctl10206"));
  auto* ok = d->findChild<QPushButton*>(QStringLiteral("ctl10202"));
  EXPECT_FALSE(edit->isEnabled());
  EXPECT_FALSE(ok->isEnabled());

  d->findChild<QPushButton*>(QStringLiteral("ctl10201"))->click();
  EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
  EXPECT_EQ(entry(*d, 0), QStringLiteral("0.bmp"));
  EXPECT_EQ(entry(*d, 1), QStringLiteral("<未処理> 1.bmp"));
  EXPECT_TRUE(d->text(0).contains(QStringLiteral("文書"))) << d->text(0).toStdString();
  EXPECT_EQ(edit->toPlainText(), d->text(0));
  EXPECT_TRUE(edit->isEnabled());
  EXPECT_TRUE(ok->isEnabled());

  // Read again: Yes/No, and No keeps the text (and its correction).
  edit->setPlainText(QStringLiteral("直した文"));
  boxes.script({Answer::No});
  EXPECT_TRUE(d->RecogniseShown());
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, kQuestion);
  EXPECT_EQ(boxes.shown()[0].buttons, Buttons::YesNo);
  EXPECT_EQ(d->text(0), QStringLiteral("直した文"));

  // Showing the other image shows its (empty, unread) text; back again, the correction.
  combo(*d)->setCurrentIndex(1);
  EXPECT_EQ(d->current(), 1);
  EXPECT_TRUE(edit->toPlainText().isEmpty());
  EXPECT_FALSE(edit->isEnabled());
  combo(*d)->setCurrentIndex(0);
  EXPECT_EQ(edit->toPlainText(), QStringLiteral("直した文"));
}

TEST_F(OcrInteractive, ReadingAllAsksYesNoCancelForImagesAlreadyRead) {
  auto d = dialog(pages(3));
  d->ShowImage(1);
  ASSERT_TRUE(d->RecogniseShown());
  const QString first = d->text(1);

  // Cancel at image 1 stops there: image 0 was read, image 2 is still unread.
  boxes.script({Answer::Cancel});
  EXPECT_FALSE(d->RecogniseAll());
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, kQuestion);
  EXPECT_EQ(boxes.shown()[0].buttons, Buttons::YesNoCancel);
  EXPECT_EQ(entry(*d, 0), QStringLiteral("0.bmp"));
  EXPECT_EQ(entry(*d, 2), QStringLiteral("<未処理> 2.bmp"));

  // No skips the image (its text stays), Yes reads it again; the rest are read.
  d->ShowImage(1);
  d->findChild<QPlainTextEdit*>(QStringLiteral("ctl10206"))->setPlainText(QStringLiteral("直した文"));
  boxes.clear();
  boxes.script({Answer::Yes, Answer::No});
  EXPECT_TRUE(d->RecogniseAll());
  EXPECT_EQ(boxes.shown().size(), 2u) << "asked for images 0 and 1 only";
  EXPECT_EQ(d->text(1), QStringLiteral("直した文"));
  EXPECT_EQ(entry(*d, 2), QStringLiteral("2.bmp"));
  EXPECT_TRUE(d->text(2).contains(QStringLiteral("文書")));
  EXPECT_TRUE(first.contains(QStringLiteral("文書")));
}

TEST_F(OcrInteractive, AWidePageIsShownReduced) {
  struct Case {
    int width;
    short scale;
  } cases[] = {{400, 1}, {800, 2}, {1700, 4}, {3400, 8}};
  std::vector<OcrPage> images;
  for (const Case& c : cases) images.push_back(page("w" + std::to_string(c.width) + ".bmp", c.width, false));
  auto d = dialog(images);
  for (int n = 0; n < static_cast<int>(std::size(cases)); ++n) {
    d->ShowImage(n);
    EXPECT_EQ(d->displayScale(), cases[n].scale) << cases[n].width;
  }
}

TEST_F(OcrInteractive, OkWritesTheCorrectedTextsAndCancelWritesNone) {
  {
    auto d = dialog(pages(2));
    // The parameter button's choice (English) becomes the current one and is kept on Cancel.
    QTimer::singleShot(0, d.get(), [&] {
      auto* params = d->findChild<OcrParamDlg*>();
      ASSERT_NE(params, nullptr);
      params->findChild<QRadioButton*>(QStringLiteral("ctl10236"))->click();
      params->accept();
    });
    d->findChild<QPushButton*>(QStringLiteral("ctl10204"))->click();
    EXPECT_EQ(d->params().language, 1);
    d->findChild<QPushButton*>(QStringLiteral("ctl10203"))->click();
    d->findChild<QPushButton*>(QStringLiteral("cancel"))->click();
    EXPECT_EQ(d->result(), QDialog::Rejected);
  }
  EXPECT_FALSE(exists(dir.file("0.bmp.TXT")));
  EXPECT_FALSE(exists(dir.file("1.bmp.TXT")));
  EXPECT_EQ(ReadOcrParams().language, 1);

  OcrParams japanese = ReadOcrParams();
  japanese.language = 0;
  SaveOcrParams(japanese);
  auto d = dialog(pages(2));
  d->show();
  d->RecogniseShown();
  d->findChild<QPlainTextEdit*>(QStringLiteral("ctl10206"))->setPlainText(QStringLiteral("請求書\n直した文"));
  QDir().mkpath(QStringLiteral(BRINDEL_SCREENSHOT_DIR));
  d->grab().save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/ocr_interactive.png"));
  d->findChild<QPushButton*>(QStringLiteral("ctl10202"))->click();
  EXPECT_EQ(d->result(), QDialog::Accepted);
  EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
  EXPECT_EQ(readAll(dir.file("0.bmp.TXT")), platform::toCp932("請求書\r\n直した文").value());
  EXPECT_FALSE(exists(dir.file("1.bmp.TXT"))) << "an image not read has no text";
}
