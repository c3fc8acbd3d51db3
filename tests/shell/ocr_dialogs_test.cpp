// The OCR dialogs: parameters, the viewer's recognition of one image, the
// progress of a batch, and the sibling application's absence.

#include "ocrctl/control_identity.h"
#include "platform/component_registry.h"
#include "platform/sjis_codec.h"
#include "platform/timer_source.h"
#include "platform/user_interaction.h"
#include "shell/ocr_dialogs.h"
#include "shell/ocr_sibling.h"
#include "tests/shell/fresh_environment.h"
#include "tests/support/test_env.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

#include <fstream>

namespace {

template <typename T>
T* child(QWidget& w, int id) {
  return w.findChild<T*>(QStringLiteral("ctl%1").arg(id));
}

}  // namespace

TEST(OcrDialogs, ParameterChoicesFollowTheLanguage) {
  platform::RecordingUserInteraction boxes;
  OcrParams start;
  start.letterDirection = 3;
  OcrParamDlg dialog(start);
  QComboBox* direction = child<QComboBox>(dialog, 10221);
  ASSERT_EQ(direction->count(), 5);
  EXPECT_EQ(direction->currentIndex(), 3);
  child<QRadioButton>(dialog, 10236)->click();  // English
  EXPECT_EQ(direction->count(), 3);
  EXPECT_EQ(direction->currentText(), QStringLiteral("自動判別"));
  EXPECT_FALSE(child<QCheckBox>(dialog, 10229)->isEnabled());
  EXPECT_FALSE(child<QRadioButton>(dialog, 10227)->isEnabled());
  for (int id = 10229; id <= 10234; ++id) child<QCheckBox>(dialog, id)->setChecked(false);
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted) << "no character kind is fine in English";
  EXPECT_EQ(dialog.params().language, 1);

  OcrParamDlg japanese(OcrParams{});
  for (int id = 10229; id <= 10234; ++id) child<QCheckBox>(japanese, id)->setChecked(false);
  japanese.accept();
  EXPECT_EQ(japanese.result(), QDialog::Rejected);
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"認識字種が一つも設定されていません。"});
  child<QRadioButton>(japanese, 10226)->click();  // one line end per block: no blanks
  EXPECT_FALSE(child<QRadioButton>(japanese, 10228)->isEnabled());
}

TEST(OcrDialogs, TheViewersRecognitionFailsWithoutStoringAnything) {
  FreshEnvironment env;
  platform::RecordingUserInteraction boxes;
  testsupport::TempDir dir;
  platform::registerComponent({ocrctl::kControlClassId, ocrctl::kControlProgId, ocrctl::kControlTypeName, ZEQOCR30_PATH});
  // An image that cannot be read: the recognition fails.
  std::ofstream(dir.file("bad.bmp")) << "no image";
  OcrSettingsDlg dialog(dir.path(), dir.file("bad.bmp"), 600);
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Rejected) << "a failure is no result to store";
  EXPECT_FALSE(dialog.succeeded());
  EXPECT_TRUE(dialog.resultText().empty());
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"OCR中にエラーが発生しました、。"});
}

TEST(OcrDialogs, TheSiblingApplicationIsAbsentOrReadsTheListWhole) {
  FreshEnvironment env;
  platform::RecordingUserInteraction boxes;
  LumoraPageRecogniser batch{OcrParams{}};
  EXPECT_FALSE(batch.Start());
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"Lumoraが登録されていません"});

  // A stand-in application object: two pages, texts ending in a full-width
  // character and in a line end.
  class StandIn : public platform::DispatchObject {
   public:
    std::int32_t invoke(int dispid, platform::DispatchKind kind, std::span<const platform::Variant> args,
                        platform::Variant* result) noexcept override {
      if (kind == platform::DispatchKind::PropertyPut && dispid == 7) args[0].toShort(&page);
      if (kind == platform::DispatchKind::PropertyGet && dispid == 8 && result) *result = platform::Variant(std::int16_t{2});
      if (kind == platform::DispatchKind::Method && dispid == 34 && result)
        *result = platform::Variant(std::string(page == 1 ? "一頁目の文書" : "二頁目\r\n"));
      else if (kind == platform::DispatchKind::Method && result)
        *result = platform::Variant(std::int16_t{0});
      return platform::kDispOk;
    }
    void setEventSink(platform::EventSink*) override {}
    QWidget* window() override { return nullptr; }
    std::int16_t page = 0;
  };
  SetLumoraFactory([](platform::ComponentPtr* out) {
    out->reset(new StandIn);
    out->get_deleter().destroy = [](platform::DispatchObject* o) { delete o; };
    return 0;
  });
  testsupport::TempDir dir;
  ASSERT_TRUE(LumoraRecognizeList({dir.file("1.bmp"), dir.file("2.bmp")}, OcrParams{}));
  SetLumoraFactory({});
  std::ifstream first(dir.file("1.bmp.TXT"), std::ios::binary), second(dir.file("2.bmp.TXT"), std::ios::binary);
  const std::string a{std::istreambuf_iterator<char>(first), {}}, b{std::istreambuf_iterator<char>(second), {}};
  EXPECT_EQ(platform::fromCp932(a), "一頁目の文書") << "the last character stays";
  EXPECT_EQ(platform::fromCp932(b), "二頁目");
}

TEST(OcrDialogs, ProgressShowsThePageAndItsStopEndsTheBatch) {
  platform::ManualTimerSource timers;
  platform::RecordingUserInteraction boxes;
  class Slow : public PageRecogniser {
   public:
    bool Start() override { return true; }
    bool Load(const std::string&) override { return true; }
    bool Recognise(int, std::string* text) override {
      *text = "文";
      return true;
    }
  } recogniser;
  testsupport::TempDir dir;
  std::vector<OcrPage> pages(5);
  for (std::size_t i = 0; i < pages.size(); ++i) pages[i].prepared = dir.file(std::to_string(i) + ".bmp");
  OcrProgressDlg dialog(recogniser, pages);
  EXPECT_EQ(dialog.objectName(), QStringLiteral("dlg10210"));
  EXPECT_EQ(dialog.pageText(), QStringLiteral("0/5 ページ目"));
  QObject::connect(&dialog, &OcrProgressDlg::pageStarted, &dialog, [&](int i) {
    if (i != 1) return;
    QDir().mkpath(QStringLiteral(BRINDEL_SCREENSHOT_DIR));
    dialog.grab().save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/ocr_progress.png"));
    dialog.stopButton()->click();
  });
  dialog.show();
  timers.advance(499);
  EXPECT_EQ(dialog.outcome(), OcrBatchOutcome::NotStarted) << "the batch waits for the timer";
  timers.advance(1);
  EXPECT_EQ(dialog.outcome(), OcrBatchOutcome::Stopped);
  EXPECT_EQ(dialog.result(), 0);
  EXPECT_EQ(dialog.pageText(), QStringLiteral("2/5 ページ目"));
  EXPECT_TRUE(std::ifstream(dir.file("0.bmp.TXT")).good()) << "the page read before the stop keeps its text";
  EXPECT_FALSE(std::ifstream(dir.file("1.bmp.TXT")).good());
}
