#include "platform/timer_source.h"
#include "platform/user_interaction.h"
#include "shell/centered_text_label.h"
#include "shell/no_select_all_edit.h"
#include "shell/page_select_dlg.h"
#include "shell/progress_dialogs.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

#include <functional>

#include <gtest/gtest.h>

TEST(ProgressDialogs, OwnerIsDisabledWhileShownAndEnabledAfterClose) {
  QMainWindow owner;
  owner.show();
  {
    ImportProgressDlg dlg;
    ASSERT_TRUE(dlg.Create(&owner));
    EXPECT_FALSE(owner.isEnabled());
    EXPECT_TRUE(dlg.isEnabled()) << "the dialog must stay usable while its owner is disabled";
    EXPECT_TRUE(dlg.isVisible());
    dlg.Close();
    EXPECT_TRUE(owner.isEnabled());
  }
  {
    CopyProgressDlg dlg(CopyProgressDlg::Copy);
    ASSERT_TRUE(dlg.Create(&owner));
    EXPECT_FALSE(owner.isEnabled());
  }  // destruction enables too
  EXPECT_TRUE(owner.isEnabled());
}

// Disabling the owner takes the keyboard focus from the widget that had it;
// without giving it back, the window's first control (in the program the
// desktop combo, where the next Down key switches the desktop) would get it.
TEST(ProgressDialogs, FocusReturnsToTheWidgetThatHadIt) {
  QMainWindow owner;
  auto* bar = owner.addToolBar(QStringLiteral("bar"));
  auto* combo = new QComboBox;
  combo->addItems({QStringLiteral("a"), QStringLiteral("b")});
  bar->addWidget(combo);
  auto* tree = new QTreeWidget;
  owner.setCentralWidget(tree);
  owner.show();
  owner.activateWindow();
  tree->setFocus();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&owner));
  ASSERT_TRUE(tree->hasFocus());

  const auto closes = [&](const char* name, const std::function<void()>& run) {
    tree->setFocus();
    run();
    EXPECT_TRUE(owner.isEnabled()) << name;
    EXPECT_TRUE(QTest::qWaitFor([&] { return tree->hasFocus(); })) << name << ": focus went to "
        << (QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className() : "nothing");
  };
  closes("closed", [&] {
    GeneralProgressDlg dlg;
    ASSERT_TRUE(dlg.Create(&owner));
    EXPECT_FALSE(tree->hasFocus());
    dlg.PumpAndCheckCancel();
    dlg.Close();
  });
  closes("destroyed", [&] {
    ImportProgressDlg dlg;
    ASSERT_TRUE(dlg.Create(tree));
    dlg.PumpAndCheckCancel();
  });
  setProgressMainWindow(&owner);
  closes("wait dialog", [&] {
    WaitDialog wait;
    ASSERT_TRUE(wait.Create());
    wait.PumpAndCheckCancel();
  });
  setProgressMainWindow(nullptr);
}

// The document reports through its interfaces; the dialogs show what it
// reports and go away with the reporter.
TEST(ProgressDialogs, DialogsShowWhatTheDocumentReports) {
  QMainWindow owner;
  owner.show();
  DialogProgressSink sink(&owner);
  {
    std::unique_ptr<ProgressReporter> progress = sink.BeginProgress("表示", "アイテムの表示中...");
    ASSERT_NE(progress, nullptr);
    auto* dlg = dynamic_cast<GeneralProgressDlg*>(progress.get());
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("表示"));
    EXPECT_FALSE(owner.isEnabled());
    progress->SetProgressDetail("101 件中 7 件目");
    auto* main = dlg->findChild<CenteredTextLabel*>("ctl1204");
    auto* sub = dlg->findChild<CenteredTextLabel*>("ctl1205");
    ASSERT_TRUE(main && sub);
    EXPECT_EQ(main->text(), QStringLiteral("アイテムの表示中..."));
    EXPECT_EQ(sub->text(), QStringLiteral("101 件中 7 件目"));
  }
  EXPECT_TRUE(owner.isEnabled());

  ImportProgressDlg dlg;
  ASSERT_TRUE(dlg.Create(&owner));
  ImportProgress& import = dlg;
  import.ShowFile("a.tif", 2, 3);
  EXPECT_TRUE(dlg.fileText().contains(QStringLiteral("a.tif をインポート中です。"))) << dlg.fileText().toStdString();
  import.ShowFileStage("b.zrv", " の変換中です。");
  EXPECT_EQ(dlg.fileText(), QStringLiteral("b.zrv の変換中です。"));
  import.StepTo(50);
  EXPECT_EQ(dlg.position(), 50);
}

TEST(ProgressDialogs, AlreadyDisabledOwnerStaysDisabled) {
  QMainWindow owner;
  owner.show();
  owner.setEnabled(false);
  SearchProgressDlg dlg;
  ASSERT_TRUE(dlg.Create(&owner));
  EXPECT_FALSE(dlg.ownerDisabledByUs());
  dlg.Close();
  EXPECT_FALSE(owner.isEnabled());
}

TEST(ProgressDialogs, CancelIsReportedOnceWhenRead) {
  QMainWindow owner;
  owner.show();
  CopyProgressDlg dlg(CopyProgressDlg::Rotate);
  ASSERT_TRUE(dlg.Create(&owner));
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("回転"));
  EXPECT_FALSE(dlg.PumpAndCheckCancel());
  auto* cancel = dlg.findChild<QPushButton*>("ctl2");
  ASSERT_NE(cancel, nullptr);
  QTest::mouseClick(cancel, Qt::LeftButton);
  EXPECT_TRUE(dlg.PumpAndCheckCancel());
  EXPECT_FALSE(dlg.PumpAndCheckCancel());
}

struct StepCase {
  const char* name;
  int position;
  const char* shown;
};

void PrintTo(const StepCase& c, std::ostream* os) { *os << c.name; }

class ImportStep : public ::testing::TestWithParam<StepCase> {};

TEST_P(ImportStep, ShowsPercentage) {
  ImportProgressDlg dlg;
  ASSERT_TRUE(dlg.Create(nullptr));
  EXPECT_EQ(dlg.percentText(), QStringLiteral(" 0 %"));
  EXPECT_EQ(dlg.StepTo(GetParam().position), 0) << "returns the previous position";
  EXPECT_EQ(dlg.percentText(), QString::fromUtf8(GetParam().shown));
  EXPECT_EQ(dlg.StepTo(7), GetParam().position);
}

INSTANTIATE_TEST_SUITE_P(Positions, ImportStep,
                         ::testing::Values(StepCase{"Zero", 0, "0%"}, StepCase{"Half", 50, "50%"},
                                           StepCase{"Full", 100, "100%"},
                                           StepCase{"BeyondWrapsModulo100", 150, "50%"},
                                           StepCase{"TwoHundredIsZero", 200, "0%"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ProgressDialogs, ImportFileTextLeavesOutCountForOneFile) {
  ImportProgressDlg dlg;
  dlg.SetFile(QStringLiteral("請求書.pdf"));
  EXPECT_EQ(dlg.fileText(), QStringLiteral("請求書.pdf をインポート中です。"));
  dlg.SetFile(QStringLiteral("a.doc"), 2, 5);
  EXPECT_EQ(dlg.fileText(), QStringLiteral("5ファイル中の2ファイル目\na.doc をインポート中です。"));
  dlg.SetFileWithSuffix(QStringLiteral("b"), QStringLiteral("(1頁)"), 1, 1);
  EXPECT_EQ(dlg.fileText(), QStringLiteral("b(1頁) をインポート中です。"));
}

// Files of one import share the bar: it runs once from empty to full over
// the whole import, never back, while the text counts the files.
TEST(ProgressDialogs, ImportOfManyFilesFillsTheBarOnceOverTheWholeImport) {
  ImportProgressDlg dlg;
  ASSERT_TRUE(dlg.Create(nullptr));
  const int files = 4;
  int last = -1;
  std::vector<QString> shown;
  for (int file = 1; file <= files; ++file) {
    dlg.SetFile(QStringLiteral("p%1.png").arg(file), file, files);
    for (int position : {0, 50, 84, 100}) {
      dlg.StepTo(position);
      EXPECT_GE(dlg.barValue(), last) << "file " << file << " at " << position;
      last = dlg.barValue();
      shown.push_back(dlg.percentText());
    }
  }
  EXPECT_EQ(last, dlg.barMaximum());
  EXPECT_EQ(shown[1], QStringLiteral("12%"));   // half of the first file
  EXPECT_EQ(shown[4], QStringLiteral("25%"));   // the second file begins
  EXPECT_EQ(shown[14], QStringLiteral("96%"));  // the last file at 84
  EXPECT_EQ(shown.back(), QStringLiteral("100%"));
  EXPECT_EQ(dlg.fileText(), QStringLiteral("4ファイル中の4ファイル目\np4.png をインポート中です。"));
}

TEST(ProgressDialogs, SearchCountTexts) {
  SearchProgressDlg dlg;
  EXPECT_EQ(dlg.objectName(), QStringLiteral("dlg10270"));
  dlg.SetFound(12);
  EXPECT_EQ(dlg.countText(), QStringLiteral("12件発見"));
  dlg.SetProgress(3, 40);
  EXPECT_EQ(dlg.countText(), QStringLiteral("3 / 40"));
}

// Time moves by hand: the operation of 200 ms and the delay of 500 ms are
// steps of the test.
TEST(WaitDialog, DelayLongerThanTheOperationNeverShows) {
  platform::ManualTimerSource clock;
  QMainWindow main;
  main.show();
  setProgressMainWindow(&main);
  {
    WaitDialog wait(QStringLiteral("処理中"), {}, false, 500);
    ASSERT_TRUE(wait.Create());
    EXPECT_FALSE(main.isEnabled());
    clock.advance(200);
    EXPECT_FALSE(wait.isVisible());
    EXPECT_FALSE(wait.animating());
  }
  EXPECT_TRUE(main.isEnabled());
  EXPECT_EQ(clock.activeTimers(), 0) << "the delay ends with its dialog";
  {
    WaitDialog wait(QStringLiteral("処理中"), {}, false, 500);
    ASSERT_TRUE(wait.Create());
    clock.advance(499);
    EXPECT_FALSE(wait.isVisible());
    wait.Close();
    clock.advance(1000);
    EXPECT_FALSE(wait.isVisible()) << "a dialog closed before its delay never appears";
    EXPECT_FALSE(wait.animating());
    EXPECT_TRUE(main.isEnabled());
  }
  {
    WaitDialog wait(QStringLiteral("処理中"), {}, true, 50);
    ASSERT_TRUE(wait.Create());
    clock.advance(49);
    EXPECT_FALSE(wait.isVisible());
    clock.advance(1);
    EXPECT_TRUE(wait.isVisible());
    EXPECT_TRUE(wait.animating());
    QTest::mouseClick(wait.findChild<QPushButton*>("ctl2"), Qt::LeftButton);
    EXPECT_TRUE(wait.PumpAndCheckCancel());
    EXPECT_EQ(wait.findChild<QLabel*>("ctl10572")->text(), QStringLiteral("キャンセル処理中です。"));
    EXPECT_FALSE(wait.findChild<QPushButton*>("ctl2")->isEnabled());
  }
  setProgressMainWindow(nullptr);
}

TEST(DownloadProgress, CancelEndsTheDialogAndStaysReported) {
  QMainWindow main;
  main.show();
  setProgressMainWindow(&main);
  DownloadProgressDlg dlg;
  ASSERT_TRUE(dlg.Create());
  EXPECT_FALSE(main.isEnabled());
  QTest::mouseClick(dlg.findChild<QPushButton*>("ctl2"), Qt::LeftButton);
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_TRUE(dlg.PumpAndCheckCancel());
  EXPECT_TRUE(dlg.PumpAndCheckCancel()) << "a cancelled download must not read as going on";
  dlg.Close();
  EXPECT_TRUE(main.isEnabled());
  setProgressMainWindow(nullptr);
}

TEST(CenteredTextLabel, BreaksAtLineFeedsAndWidthKeepingCharactersWhole) {
  CenteredTextLabel label;
  label.resize(label.fontMetrics().horizontalAdvance(QStringLiteral("ああああ")) + 1, 100);
  label.setText(QStringLiteral("あいうえおか\r\nab"));
  EXPECT_EQ(label.layoutLines(), (QStringList{QStringLiteral("あいうえ"), QStringLiteral("おか"),
                                              QStringLiteral("ab")}));
  QString longText(400, QChar('x'));
  label.resize(10000, 100);
  label.setText(longText);
  EXPECT_EQ(label.layoutLines().join(QString()).size(), 310) << "only the first 310 bytes are drawn";
  label.setText(QString(200, QChar(0x3042)));  // 400 bytes in Shift-JIS
  EXPECT_EQ(label.layoutLines().join(QString()).size(), 155);
}

TEST(PageSelectDlg, RowsShowExtensionsAndOkNeedsASelection) {
  std::vector<PageSelectDlg::Page> pages = {{QStringLiteral("見積の1頁目"), "bmp", 1},
                                            {QStringLiteral("見積の2頁目"), "tif", 2}};
  {
    PageSelectDlg dlg(pages, 1, true);
    EXPECT_EQ(dlg.list()->topLevelItem(0)->text(0), QStringLiteral("見積の1頁目.bmp"));
    dlg.accept();
    EXPECT_EQ(dlg.selectedPage(), 1);
  }
  {
    platform::RecordingUserInteraction recorder;
    PageSelectDlg dlg(pages, -1, false);
    EXPECT_EQ(dlg.list()->topLevelItem(0)->text(0), QStringLiteral("見積の1頁目"));
    dlg.accept();
    EXPECT_EQ(dlg.selectedPage(), -1);
    ASSERT_EQ(recorder.shown().size(), 1u);
    EXPECT_EQ(recorder.shown()[0].text, "ページが選択されていません。");
    EXPECT_EQ(recorder.shown()[0].caption, "表示頁の選択");
  }
}

TEST(NoSelectAllEdit, CtrlADoesNotReachTheWindowNorSelect) {
  QMainWindow window;
  auto* edit = new NoSelectAllEdit(QStringLiteral("題名"), &window);
  window.setCentralWidget(edit);
  QAction selectAll(QStringLiteral("全てを選択(&A)"), &window);
  selectAll.setShortcut(QKeySequence::SelectAll);
  window.addAction(&selectAll);
  QSignalSpy fired(&selectAll, &QAction::triggered);
  window.show();
  window.activateWindow();
  edit->setFocus();
  edit->deselect();
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(fired.count(), 0);
  EXPECT_FALSE(edit->hasSelectedText());
}
