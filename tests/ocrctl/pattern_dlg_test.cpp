// The pattern-management dialog: its list, preview and buttons, when the
// engine and the file learn of a change, changing to another file, and what
// the control makes of a dialog that rewrote or switched its file.
#include "ocrctl/compound_file.h"
#include "ocrctl/ocr_dispatch.h"
#include "ocrctl/pattern_dlg.h"
#include "platform/global_memory.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <cstring>

using namespace ocrctl;

namespace {

// A 64 x 64 page with a filled 20 x 30 block, as a packed 1-bit DIB.
platform::GlobalHandle pageWithBlock() {
  std::vector<std::uint8_t> dib(40 + 8 + 64 * 4 * 64, 0);
  auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(dib.data() + at, &v, 4); };
  put32(0, 40);
  put32(4, 64);
  put32(8, 64);
  dib[12] = 1;
  dib[14] = 1;
  put32(40, 0xFFFFFF);
  for (int y = 10; y < 40; ++y)
    for (int x = 10; x < 30; ++x) dib[48 + static_cast<std::size_t>(63 - y) * 8 + x / 8] |= 0x80 >> (x % 8);
  return platform::globalAllocCopy(dib);
}

std::vector<PatternRecord> recordsIn(const std::string& path) {
  const std::string bytes = testsupport::readFile(path);
  Streams streams;
  if (!readCompound({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, streams)) return {};
  return parsePatternSection(streams[kStreamImage]);
}

struct EngineLog {
  std::vector<std::string> calls;
  PatternEngineCalls calls_() {
    return {[this](std::int16_t n) {
              calls.push_back("delete " + std::to_string(n));
              return 1;
            },
            [this](std::int16_t n, std::uint16_t v) {
              calls.push_back("valid " + std::to_string(n) + "=" + std::to_string(v));
              return 1;
            }};
  }
};

template <typename T>
T* child(QWidget& parent, const char* name) {
  T* widget = parent.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(widget, nullptr) << name;
  return widget;
}

QRgb previewCentre(QWidget& dialog, int dx = 0, int dy = 0) {
  auto* preview = child<QWidget>(dialog, "ctl1201");
  const QImage shot = preview->grab().toImage();
  return shot.pixel(shot.width() / 2 + dx, shot.height() / 2 + dy);
}

// Three registered patterns: Ａ, Ｂ and あ, all valid.
class PatternDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(control_.InitOcr(dir_.path()), 0);
    const platform::GlobalHandle page = pageWithBlock();
    ASSERT_EQ(control_.SetImageHandle(page), 0);
    platform::globalFree(page);
    for (short character : {short('A'), short('B'), static_cast<short>(0xA082)}) {
      const short number = control_.RegistPat(character, 10, 10, 29, 39);
      ASSERT_GE(number, 0);
      numbers_.push_back(number);
    }
  }
  std::string file() const { return control_.usrPatName(); }
  QTreeWidget& list(QWidget& dialog) { return *child<QTreeWidget>(dialog, "ctl1199"); }
  void select(QWidget& dialog, int row) { list(dialog).setCurrentItem(list(dialog).topLevelItem(row)); }
  QString cell(QWidget& dialog, int row, int column) { return list(dialog).topLevelItem(row)->text(column); }
  void click(QWidget& dialog, const char* button) { child<QPushButton>(dialog, button)->click(); }

  testsupport::TempDir dir_;
  OcrControl control_;
  std::vector<short> numbers_;
  EngineLog engine_;
};

}  // namespace

TEST_F(PatternDialog, ListsPreviewsTogglesAndDeletesAndTellsTheEngineAtOk) {
  PatternDlg dialog(control_.patternStore(), engine_.calls_());
  EXPECT_EQ(dialog.objectName(), "dlg210");
  EXPECT_EQ(dialog.windowTitle(), "ﾕｰｻﾞ辞書の管理");
  EXPECT_EQ(child<QLineEdit>(dialog, "ctl1189")->text().toStdString(), file());
  EXPECT_EQ(child<QLabel>(dialog, "ctl1197")->text(), "3");
  ASSERT_EQ(list(dialog).topLevelItemCount(), 3);
  EXPECT_EQ(list(dialog).headerItem()->text(0), "文字");
  EXPECT_EQ(list(dialog).headerItem()->text(1), "有効無効");
  EXPECT_EQ(cell(dialog, 0, 0), "Ａ");
  EXPECT_EQ(cell(dialog, 2, 0), "あ");
  EXPECT_EQ(cell(dialog, 1, 1), "有");

  // Nothing selected: both buttons off, the preview all grey.
  EXPECT_FALSE(child<QPushButton>(dialog, "ctl1192")->isEnabled());
  EXPECT_FALSE(child<QPushButton>(dialog, "ctl1193")->isEnabled());
  EXPECT_EQ(previewCentre(dialog), qRgb(127, 127, 127));

  // The pattern (20 x 30 in the top-left of 64 x 64) centred in the box:
  // ink black on white while valid, mid-grey once invalid.
  select(dialog, 1);
  EXPECT_EQ(dialog.selectedRow(), 1);
  EXPECT_EQ(child<QPushButton>(dialog, "ctl1192")->text(), "無効");
  EXPECT_EQ(previewCentre(dialog, -32 + 5, -32 + 5), qRgb(0, 0, 0));
  EXPECT_EQ(previewCentre(dialog, 10, 10), qRgb(255, 255, 255));
  click(dialog, "ctl1192");
  EXPECT_EQ(cell(dialog, 1, 1), "無");
  EXPECT_EQ(child<QPushButton>(dialog, "ctl1192")->text(), "有効");
  EXPECT_EQ(previewCentre(dialog, -32 + 5, -32 + 5), qRgb(128, 128, 128));
  click(dialog, "ctl1192");
  EXPECT_EQ(cell(dialog, 1, 1), "有");
  EXPECT_EQ(child<QPushButton>(dialog, "ctl1192")->text(), "無効");

  // A double click switches its row.
  auto* first = list(dialog).topLevelItem(0);
  const QRect row = list(dialog).visualItemRect(first);
  QTest::mouseClick(list(dialog).viewport(), Qt::LeftButton, {}, row.center());
  QTest::mouseDClick(list(dialog).viewport(), Qt::LeftButton, {}, row.center());
  QTest::mouseRelease(list(dialog).viewport(), Qt::LeftButton, {}, row.center());  // a double click ends with the button up
  EXPECT_EQ(cell(dialog, 0, 1), "無");

  select(dialog, 2);
  click(dialog, "ctl1193");
  EXPECT_EQ(list(dialog).topLevelItemCount(), 2);
  EXPECT_EQ(child<QLabel>(dialog, "ctl1197")->text(), "2");
  EXPECT_EQ(dialog.selectedRow(), -1);
  EXPECT_FALSE(child<QPushButton>(dialog, "ctl1193")->isEnabled());

  QDir().mkpath(QStringLiteral(BRINDEL_SCREENSHOT_DIR));
  select(dialog, 0);
  dialog.show();
  EXPECT_TRUE(dialog.grab().toImage().save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/pattern_dialog.png")));

  // Nothing reached the engine or the file before OK; at OK only the net
  // changes do (the pattern switched twice costs no call).
  EXPECT_TRUE(engine_.calls.empty());
  EXPECT_EQ(recordsIn(file()).size(), 3u);
  click(dialog, "ctl1");
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(engine_.calls, (std::vector<std::string>{"valid " + std::to_string(numbers_[0]) + "=0",
                                                     "delete " + std::to_string(numbers_[2])}));
  const auto saved = recordsIn(file());
  ASSERT_EQ(saved.size(), 2u);
  EXPECT_FALSE(saved[0].valid());
  EXPECT_TRUE(saved[1].valid());
  EXPECT_EQ(saved[1].number, numbers_[1]);
}

TEST_F(PatternDialog, DeleteThenCancelLeavesEngineAndFileAsTheyWere) {
  PatternDlg dialog(control_.patternStore(), engine_.calls_());
  select(dialog, 0);
  click(dialog, "ctl1193");
  select(dialog, 0);
  click(dialog, "ctl1192");
  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_TRUE(engine_.calls.empty());
  EXPECT_EQ(recordsIn(file()).size(), 3u);

  // Deleting the last pattern empties the list and turns the buttons off.
  PatternDlg again(control_.patternStore(), engine_.calls_());
  for (int i = 0; i < 3; ++i) {
    select(again, 0);
    click(again, "ctl1193");
  }
  EXPECT_EQ(list(again).topLevelItemCount(), 0);
  EXPECT_EQ(child<QLabel>(again, "ctl1197")->text(), "0");
  EXPECT_FALSE(child<QPushButton>(again, "ctl1192")->isEnabled());
  click(again, "ctl1");
  EXPECT_EQ(engine_.calls.size(), 3u);
  EXPECT_TRUE(recordsIn(file()).empty());
}

TEST_F(PatternDialog, AFailedSaveKeepsTheDialogOpenAndCancelGivesTheEngineTheFileAgain) {
  PatternDlg dialog(control_.patternStore(), engine_.calls_());
  select(dialog, 0);
  click(dialog, "ctl1193");
  // The learning data the save copies into the file is gone.
  const std::string learning = control_.patternStore().learningFolder() + "/" + kLearningDataFile;
  ASSERT_EQ(std::remove(learning.c_str()), 0);
  click(dialog, "ctl1");
  click(dialog, "ctl1");
  EXPECT_EQ(dialog.result(), QDialog::Rejected) << "still open";
  EXPECT_EQ(engine_.calls.size(), 1u) << "a second OK does not tell the engine again";
  EXPECT_EQ(recordsIn(file()).size(), 3u);
  dialog.reject();
  // The engine learnt the file's patterns again: their learning files are back.
  EXPECT_TRUE(testsupport::fileExists(learning));
}

TEST_F(PatternDialog, ChangesToAnotherFileAndFallsBackWhenItCannotBeLoaded) {
  PatternDlg dialog(control_.patternStore(), engine_.calls_());
  const std::string original = file();
  QString asked;
  QString answer;
  dialog.chooseFile = [&](const QString& folder) {
    asked = folder;
    return answer;
  };
  // Cancelled: nothing happens.
  click(dialog, "ctl1190");
  EXPECT_EQ(asked.toStdString(), dir_.path());
  EXPECT_EQ(list(dialog).topLevelItemCount(), 3);

  // A pending change is saved into the file being left; a new name makes an
  // empty pattern file.
  select(dialog, 0);
  click(dialog, "ctl1192");
  answer = QString::fromStdString(dir_.file("new.upt"));
  click(dialog, "ctl1190");
  EXPECT_FALSE(recordsIn(original)[0].valid());
  EXPECT_EQ(engine_.calls.size(), 1u);
  EXPECT_TRUE(testsupport::fileExists(dir_.file("new.upt")));
  EXPECT_EQ(child<QLineEdit>(dialog, "ctl1189")->text().toStdString(), dir_.file("new.upt"));
  EXPECT_EQ(list(dialog).topLevelItemCount(), 0);
  EXPECT_EQ(child<QLabel>(dialog, "ctl1197")->text(), "0");

  // A plain file is no pattern file: the dialog stays with the previous one.
  testsupport::writeFile(dir_.file("notes.upt"), "plain text");
  answer = QString::fromStdString(dir_.file("notes.upt"));
  click(dialog, "ctl1190");
  EXPECT_EQ(child<QLineEdit>(dialog, "ctl1189")->text().toStdString(), dir_.file("new.upt"));
  EXPECT_EQ(testsupport::readFile(dir_.file("notes.upt")), "plain text");

  answer = QString::fromStdString(original);
  click(dialog, "ctl1190");
  ASSERT_EQ(list(dialog).topLevelItemCount(), 3);
  EXPECT_EQ(cell(dialog, 0, 1), "無");
  EXPECT_EQ(dialog.selectedRow(), -1);
}

TEST(PatternManagementByDispatch, TheControlFollowsTheFileTheDialogLeftItWith) {
  testsupport::TempDir dir;
  OcrDispatch dispatch;
  OcrControl& control = dispatch.control();
  ASSERT_EQ(control.InitOcr(dir.path()), 0);
  const platform::GlobalHandle page = pageWithBlock();
  ASSERT_EQ(control.SetImageHandle(page), 0);
  platform::globalFree(page);
  ASSERT_GE(control.RegistPat('A', 10, 10, 29, 39), 0);
  ASSERT_GE(control.RegistPat('B', 10, 10, 29, 39), 0);
  const std::string original = control.usrPatName();
  ASSERT_EQ(control.LoadPatImageSection(), 2);

  auto userPatMant = [&] {
    platform::Variant result;
    EXPECT_EQ(dispatch.invoke(ocrctl::dispid::kUserPatMant, platform::DispatchKind::Method, {}, &result),
              platform::kDispOk);
    std::int16_t value = 0;
    EXPECT_TRUE(result.toShort(&value));
    return value;
  };

  // Leaving without OK answers -1 and changes nothing.
  dispatch.setDialogRunner([](QDialog& dialog) {
    dialog.reject();
    return static_cast<int>(QDialog::Rejected);
  });
  EXPECT_EQ(userPatMant(), -1);
  EXPECT_EQ(control.patNum(), 2);

  // A deletion saved at OK reaches the control's loaded section.
  dispatch.setDialogRunner([](QDialog& dialog) {
    auto& patterns = static_cast<PatternDlg&>(dialog);
    auto* list = dialog.findChild<QTreeWidget*>(QStringLiteral("ctl1199"));
    list->setCurrentItem(list->topLevelItem(0));
    patterns.deleteSelected();
    patterns.accept();
    return patterns.result();
  });
  EXPECT_EQ(userPatMant(), 0);
  EXPECT_EQ(control.patNum(), 1);
  short character = 0, flag = 0, number = 0;
  ASSERT_EQ(control.GetPatInfo(1, &character, &flag, &number), 0);
  EXPECT_EQ(static_cast<std::uint16_t>(character), 0x6182) << "Ｂ is left";

  // Switched to another file: the control's path, count and section follow,
  // and its next save leaves both files as the dialog left them.
  dispatch.setDialogRunner([&](QDialog& dialog) {
    auto& patterns = static_cast<PatternDlg&>(dialog);
    patterns.chooseFile = [&](const QString&) { return QString::fromStdString(dir.file("other.upt")); };
    patterns.changeFile();
    patterns.accept();
    return patterns.result();
  });
  EXPECT_EQ(userPatMant(), 0);
  EXPECT_EQ(control.usrPatName(), dir.file("other.upt"));
  EXPECT_EQ(control.patNum(), 0);
  EXPECT_EQ(control.GetPatInfo(1, &character, &flag, &number), -1225);
  EXPECT_EQ(control.SavePatFile(), 0);
  EXPECT_TRUE(recordsIn(dir.file("other.upt")).empty());
  EXPECT_EQ(recordsIn(original).size(), 1u);
}
