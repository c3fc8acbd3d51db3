#include "shell/main_frame.h"

#include "catalogue/file_utilities.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/timer_source.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/app_profile.h"
#include "shell/busy_flag.h"
#include "shell/command_ids.h"
#include "shell/posted_message.h"
#include "shell/settings_sheet.h"
#include "shell/app_bar_dlg.h"
#include <QListWidget>
#include "shell/splash_window.h"
#include "tests/shell/fresh_environment.h"
#include "tests/shell/wait_until.h"

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QTimer>
#include <QPushButton>
#include <QApplication>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

using Request = CMainFrame::Request;

class MainFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ensureProgramFolder();
    InitModuleFolder();  // start-up records the program folder before the frame exists
  }
  void TearDown() override { platform::setFixedNowForTests(std::nullopt); }

  // A created, shown frame whose restore after start has run.
  std::unique_ptr<CMainFrame> startFrame() {
    auto frame = std::make_unique<CMainFrame>();
    frame->PreCreateWindow();
    EXPECT_TRUE(frame->OnCreate());
    // No scanner of the machine is asked: a feeder without paper.
    frame->Scanning().SetScannerSource(std::make_unique<platform::FakeScannerSource>(platform::FakeScannerSource::Options{0}));
    bool restored = false;
    QObject::connect(frame.get(), &CMainFrame::restoredAfterStart, [&restored] { restored = true; });
    frame->show();
    EXPECT_TRUE(waitUntil([&] { return restored && !IsBusy(); }));
    return frame;
  }
  void store(const QString& key, const QVariant& value) { OpenAppProfile()->setValue(BrowserKey(key), value); }
  QVariant stored(const QString& key) { return OpenAppProfile()->value(BrowserKey(key)); }

  FreshEnvironment env;
  platform::RecordingUserInteraction recorder;
};

std::vector<int> actionIds(const QToolBar* bar) {
  std::vector<int> ids;
  for (const QAction* a : bar->actions()) ids.push_back(a->isSeparator() ? 0 : a->data().toInt());
  return ids;
}

TEST_F(MainFrameTest, BarsMenusAndPanesCarryTheirIdentifiers) {
  auto frame = startFrame();
  struct Bar {
    QToolBar* bar;
    const char* title;
    Qt::ToolBarArea area;
    bool visible;
  };
  const Bar bars[] = {{frame->GetMainToolBar(), "メインツールバー", Qt::TopToolBarArea, true},
                      {frame->GetApplicationBar(), "アプリケーションバー", Qt::RightToolBarArea, true},
                      {frame->GetDesktopBar(), "デスクトップ", Qt::TopToolBarArea, true},
                      {frame->GetViewerToolBar(), "メインツールバー", Qt::TopToolBarArea, false},
                      {frame->GetImageToolBar(), "画像ツールバー", Qt::LeftToolBarArea, false}};
  for (const Bar& b : bars) {
    SCOPED_TRACE(b.title);
    ASSERT_NE(b.bar, nullptr);
    EXPECT_EQ(b.bar->windowTitle(), QString::fromUtf8(b.title));
    EXPECT_EQ(frame->toolBarArea(b.bar), b.area);
    EXPECT_EQ(b.bar->isVisible(), b.visible);
  }
  EXPECT_EQ(frame->GetDesktopBar()->allowedAreas(), Qt::TopToolBarArea | Qt::BottomToolBarArea);
  EXPECT_EQ(actionIds(frame->GetMainToolBar()),
            (std::vector<int>{0x8044, 0, 0x8046, 0, 0x804D, 0, 0x8050, 0x8052, 0x8051, 0, 0x8047}));
  EXPECT_EQ(actionIds(frame->GetViewerToolBar()), (std::vector<int>{10551, 0, 10552, 10553, 10554, 10555}));
  for (const char* name : {"ctl10011", "ctl10012", "ctl10013"})
    EXPECT_NE(frame->GetDesktopBar()->findChild<QWidget*>(name), nullptr) << name;

  // Later commands are present and disabled; the frame's own work.
  EXPECT_EQ(frame->Action(cmd::kSearch)->text(), "検索(&F)...");
  EXPECT_EQ(frame->Action(cmd::kSearch)->shortcut(), QKeySequence("Ctrl+F"));
  EXPECT_FALSE(frame->Action(cmd::kSearch)->isEnabled());
  EXPECT_TRUE(frame->Action(cmd::kScan)->isEnabled());
  EXPECT_EQ(frame->Action(cmd::kScan)->text(), "スキャン(&S)...");
  EXPECT_TRUE(frame->Action(cmd::kViewApplicationBar)->isEnabled());
  EXPECT_TRUE(frame->Action(cmd::kAppExit)->isEnabled());
  EXPECT_EQ(frame->findChild<QAction*>("cmd805f")->text(), "関連語辞書メンテナンス(&M)...");
  const QList<QAction*> menus = frame->menuBar()->actions();
  ASSERT_EQ(menus.size(), 5);
  EXPECT_EQ(menus[2]->text(), "表示(&V)");
  EXPECT_EQ(menus[2]->menu()->actions().at(8)->text(), "サムネイルの整列(&I)");

  for (const auto& [id, bar] : {std::pair{cmd::kViewApplicationBar, frame->GetApplicationBar()},
                                std::pair{cmd::kViewDesktopBar, frame->GetDesktopBar()}}) {
    QMenu* viewMenu = menus[2]->menu();
    frame->RunCommand(id);
    EXPECT_FALSE(bar->isVisible());
    emit viewMenu->aboutToShow();
    EXPECT_FALSE(frame->Action(id)->isChecked());
    frame->RunCommand(id);
    EXPECT_TRUE(bar->isVisible());
    emit viewMenu->aboutToShow();
    EXPECT_TRUE(frame->Action(id)->isChecked());
  }

  EXPECT_EQ(frame->StatusPaneText(0), "ヘルプを表示するには[F1]を押してください。");
  frame->SetRegisteredApplications({{"表計算", "/usr/bin/calc", 0}, {"お絵かき", "/usr/bin/paint", 1}});
  frame->ShowApplicationHint(1);
  EXPECT_EQ(frame->StatusPaneText(0), "お絵かき");
  frame->ShowApplicationHint(0);
  EXPECT_EQ(frame->StatusPaneText(0), "表計算");
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(frame->GetApplicationBar(), &leave);
  EXPECT_EQ(frame->StatusPaneText(0), "ヘルプを表示するには[F1]を押してください。");
  for (int index : {-1, 2}) {
    frame->ShowApplicationHint(index);
    EXPECT_EQ(frame->StatusPaneText(0), "ヘルプを表示するには[F1]を押してください。") << index;
  }
  frame->ShowDocumentCount(12);
  EXPECT_EQ(frame->StatusPaneText(pane::kDocumentCount), "12 個の文書");
  frame->ShowDocumentCount(-1);
  EXPECT_EQ(frame->StatusPaneText(pane::kDocumentCount), "");
  frame->SetStatusPaneText(pane::kPane2401, "x");
  EXPECT_EQ(frame->StatusPaneText(pane::kPane2401), "x");
  EXPECT_EQ(frame->minimumSize(), QSize(480, 380));
  ASSERT_NE(frame->ConfirmLaunchDialog(), nullptr);
  EXPECT_EQ(frame->ConfirmLaunchDialog()->windowTitle(), "外部プログラム起動確認ダイアログ");
  EXPECT_FALSE(frame->ConfirmLaunchDialog()->isVisible());
}

TEST_F(MainFrameTest, PlacementClampsTheSizeButNotThePosition) {
  const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
  store("MainFrameWidth", 99999);
  store("MainFrameHeight", 600);
  store("MainFrameLeft", 40);
  store("MainFrameTop", -5);
  CMainFrame frame;
  frame.PreCreateWindow();
  EXPECT_EQ(frame.geometry(), QRect(40, -5, screen.width(), 600));

  store("MainFrameLeft", QVariant());
  store("MainFrameTop", QVariant());
  OpenAppProfile()->remove(BrowserKey("MainFrameLeft"));
  OpenAppProfile()->remove(BrowserKey("MainFrameTop"));
  store("MainFrameWidth", 500);
  CMainFrame centred;
  centred.PreCreateWindow();
  EXPECT_EQ(centred.geometry().topLeft(), QPoint((screen.width() - 500) / 2, (screen.height() - 600) / 2));
}

TEST_F(MainFrameTest, FirstRestoreMakesAndStoresTheSampleDesktopAndSaveCreatesNoFolders) {
  auto frame = startFrame();
  const QString sample = QString::fromStdString(env.samplesFolder()) + QStringLiteral("/");
  ASSERT_EQ(frame->DesktopCombo()->count(), 1);
  EXPECT_EQ(frame->DesktopCombo()->currentText(), sample);
  EXPECT_EQ(stored("DesktopHistory0").toString(), sample);  // stored at once
  EXPECT_EQ(stored("LastDate").toInt(), platform::todayYmd());
  EXPECT_TRUE(QFileInfo(sample).isDir());  // ready to file into

  const QString missing = QString::fromStdString(env.path("gone/desk"));
  frame->DesktopCombo()->addItem(missing + "/");
  frame->DesktopCombo()->addItem("/");
  frame->DesktopCombo()->setCurrentIndex(1);
  frame->resize(700, 500);
  frame->close();  // saves
  EXPECT_FALSE(QFileInfo::exists(missing));
  EXPECT_EQ(stored("DesktopHistory1").toString(), missing + "/");
  EXPECT_EQ(stored("DesktopHistory2").toString(), "/");
  EXPECT_EQ(stored("DesktopHistory3").toString(), "");
  EXPECT_EQ(stored("CurrentDesktopIndex").toInt(), 1);
  EXPECT_EQ(stored("MainFrameWidth").toInt(), 700);
  EXPECT_EQ(stored("KankyoShowFolderMax2000").toInt(), 2000);
  EXPECT_TRUE(stored("ToolBarState/State").toByteArray().size() > 0);

  // The next start restores the same desktops.
  auto again = startFrame();
  ASSERT_EQ(again->DesktopCombo()->count(), 3);
  EXPECT_EQ(again->DesktopCombo()->currentText(), missing + "/");
}

TEST_F(MainFrameTest, PendingWorkWaitsWhileBusyAndRunsInFixedOrder) {
  auto frame = startFrame();
  std::vector<std::pair<Request, QString>> served;
  QObject::connect(frame.get(), &CMainFrame::pendingWorkServed,
                   [&](Request r, const QString& line) { served.emplace_back(r, line); });
  frame->SetCommandLine("own");
  frame->Intake().SetMigrationChooser([](std::vector<std::string>&) { return false; });
  platform::writeProfileString(platform::programIniPath(), "ブリンデル", "CmdLine", "/Import second.ini");

  SetBusy(true);
  PostMessage(frame.get(), kListImportMessage, 0);
  PostMessage(frame.get(), kEarlierImportMessage, 0);
  PostMessage(frame.get(), kScanRequestMessage, 0);
  PostMessage(frame.get(), kListImportMessage, 1);  // the second list import reads CmdLine
  QCoreApplication::processEvents();
  EXPECT_TRUE(served.empty());

  frame->RunPendingWork();
  EXPECT_FALSE(IsBusy());
  ASSERT_EQ(served.size(), 3u);  // the list import once
  EXPECT_EQ(served[0].first, Request::Scan);
  EXPECT_EQ(served[1].first, Request::EarlierImport);
  EXPECT_EQ(served[2].first, Request::ListImport);
  EXPECT_EQ(served[2].second, "/Import second.ini");

  // Not busy: a request runs as it arrives.
  PostMessage(frame.get(), kScanRequestMessage, 0);
  QCoreApplication::processEvents();
  EXPECT_EQ(served.size(), 4u);
}

TEST_F(MainFrameTest, ScheduledTidyUpAsksAtTheFirstStartOfTheDay) {
  platform::setFixedNowForTests(QDateTime(QDate(2024, 3, 1), QTime(9, 0)));
  store("KankyoToriaezuScheduleFlg", 1);
  store("KankyoToriaezuScheduleDate", 9);  // monthly
  store("LastDate", 20240229);
  recorder.script({platform::Answer::Cancel});
  auto frame = startFrame();
  ASSERT_EQ(recorder.shown().size(), 1u);
  EXPECT_EQ(recorder.shown()[0].text, "文書整理の予定時間になりました。\n検索を開始しますか？");
  EXPECT_EQ(recorder.shown()[0].caption, "文書整理");
  EXPECT_EQ(recorder.shown()[0].buttons, platform::Buttons::OkCancel);
  EXPECT_FALSE(IsBusy());  // declined: the pending work ran
  EXPECT_EQ(stored("LastDate").toInt(), 20240301);

  frame.reset();
  auto sameDay = startFrame();
  EXPECT_EQ(recorder.shown().size(), 1u);
}

// Alt and a letter reach one item of a menu: no two items of a menu share
// their underlined letter.
TEST_F(MainFrameTest, EveryMenuItemHasAMnemonicOfItsOwn) {
  auto frame = startFrame();
  for (QAction* entry : frame->menuBar()->actions()) {
    QMenu* menu = entry->menu();
    if (!menu) continue;
    std::map<QChar, QString> seen;
    for (QAction* item : menu->actions()) {
      const qsizetype amp = item->text().indexOf(QLatin1Char('&'));
      if (amp < 0 || amp + 1 >= item->text().size()) continue;
      const QChar key = item->text().at(amp + 1).toUpper();
      const auto [it, fresh] = seen.emplace(key, item->text());
      EXPECT_TRUE(fresh) << menu->title().toStdString() << ": " << it->second.toStdString() << " / "
                         << item->text().toStdString();
    }
  }
}

TEST_F(MainFrameTest, SplashClosesOnAKeyPressOrAfterItsTime) {
  auto frame = startFrame();
  platform::ManualTimerSource clock;
  CSplashWnd::EnableSplashScreen(true);
  CSplashWnd::ShowSplashScreen(frame.get());
  ASSERT_NE(CSplashWnd::Current(), nullptr);
  EXPECT_TRUE(CSplashWnd::Current()->fileBitmap().isNull());
  clock.advance(CSplashWnd::kCloseAfterMs - 1);
  ASSERT_NE(CSplashWnd::Current(), nullptr);
  QTest::keyClick(frame.get(), Qt::Key_A);
  QCoreApplication::processEvents();  // the press is handled first, then the splash closes
  EXPECT_EQ(CSplashWnd::Current(), nullptr);

  QImage own(64, 32, QImage::Format_RGB32);
  own.fill(Qt::red);
  ASSERT_TRUE(own.save(QString::fromStdString(platform::joinPath(env.programFolder(), "Splash40")), "BMP"));
  CSplashWnd::ShowSplashScreen(frame.get());
  ASSERT_NE(CSplashWnd::Current(), nullptr);
  EXPECT_EQ(CSplashWnd::Current()->fileBitmap().size(), QSize(64, 32));
  clock.advance(CSplashWnd::kCloseAfterMs - 1);
  EXPECT_NE(CSplashWnd::Current(), nullptr);
  clock.advance(1);
  EXPECT_EQ(CSplashWnd::Current(), nullptr);
  CSplashWnd::EnableSplashScreen(false);
}

// Writes the main window as a picture to look at.
TEST_F(MainFrameTest, ScreenshotOfTheMainWindow) {
  auto frame = startFrame();
  frame->resize(1100, 700);
  frame->ShowDocumentCount(0);
  QCoreApplication::processEvents();
  const QImage shot = frame->grab().toImage();
  ASSERT_FALSE(shot.isNull());
  QDir().mkpath(BRINDEL_SCREENSHOT_DIR);
  EXPECT_TRUE(shot.save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/main_frame.png")));
}

}  // namespace

namespace {

// The settings command: OK applies and writes the block, Cancel undoes the
// colour preview; the home page's failure is reported.
TEST_F(MainFrameTest, SettingsSheetAppliesOnOkAndUndoesThePreviewOnCancel) {
  store(QStringLiteral("KankyoShowFontSize"), 105);
  auto frame = startFrame();
  const int backBefore = frame->Settings().KankyoColorBackColor;
  int applied = 0;
  QObject::connect(frame.get(), &CMainFrame::settingsApplied, [&applied] { ++applied; });
  std::vector<int> backsSeen;
  QObject::connect(frame.get(), &CMainFrame::settingsApplied,
                   [&] { backsSeen.push_back(frame->Settings().KankyoColorBackColor); });

  // Cancel after a colour preview: the old colour is back.
  frame->SetSettingsSheetRunner([](SettingsSheet& sheet) {
    sheet.MutableValues().KankyoColorBackColor = 0x123456;
    sheet.PreviewColors();
    return int(QDialog::Rejected);
  });
  frame->RunCommand(cmd::kSettings);
  ASSERT_EQ(backsSeen.size(), 2u);
  EXPECT_EQ(backsSeen[0], 0x123456);
  EXPECT_EQ(frame->Settings().KankyoColorBackColor, backBefore);

  // OK: the trimmed title, the rebuilt pattern list, the untouched font size, written.
  frame->SetSettingsSheetRunner([](SettingsSheet& sheet) {
    sheet.MutableValues().KankyoScanNameBase = QStringLiteral("  title ");
    sheet.MutableValues().KankyoPrintUserSelect = 1;
    sheet.MutableValues().KankyoPrintFileExt = QStringLiteral("doc, .xls");
    sheet.MutableValues().KankyoViewerGoFromSearch = 1;
    return int(QDialog::Accepted);
  });
  frame->RunCommand(cmd::kSettings);
  EXPECT_EQ(frame->Settings().KankyoScanNameBase, "title");
  EXPECT_EQ(frame->Settings().printPatterns, QStringList({"*.doc", "*.xls"}));
  EXPECT_EQ(stored(QStringLiteral("KankyoViewerGoFromSearch")).toInt(), 1);
  EXPECT_EQ(stored(QStringLiteral("KankyoShowFontSize")).toInt(), 105);
  EXPECT_EQ(applied, 3);
  EXPECT_FALSE(IsBusy());

  frame->SetUrlOpener([](const QUrl&) { return false; });
  recorder.clear();
  frame->RunCommand(cmd::kHomePage);
  ASSERT_EQ(recorder.shown().size(), 1u);
  EXPECT_EQ(recorder.shown()[0].text, "Webページが開けませんでした。\nWebブラウザがインストールされているか確認してください。");
  EXPECT_EQ(recorder.shown()[0].icon, platform::Icon::Error);
  QUrl opened;
  frame->SetUrlOpener([&opened](const QUrl& url) {
    opened = url;
    return true;
  });
  frame->RunCommand(cmd::kHomePage);
  EXPECT_EQ(opened.toString(), kHomePageUrl);
  // The user's guide is shipped with the program: the help menu and the
  // viewer's F1 open it in the desktop's browser.
  const QUrl guide = QUrl::fromLocalFile(QString::fromStdString(platform::resourceFolder()) + "/help/index.html");
  ASSERT_TRUE(QFileInfo::exists(guide.toLocalFile()));
  const std::size_t told = recorder.shown().size();
  for (int help : {cmd::kHelp, cmd::kViewerHelp}) {
    opened.clear();
    frame->RunCommand(help);
    EXPECT_EQ(opened, guide);
  }
  EXPECT_EQ(recorder.shown().size(), told);
  QFile page(guide.toLocalFile());
  ASSERT_TRUE(page.open(QIODevice::ReadOnly));
  const QString html = QString::fromUtf8(page.readAll());
  for (const char* topic : {"デスクトップ", "フォルダ", "スタック", "サムネイル表示", "ビューワー", "検索", "OCR", "info.mdb"})
    EXPECT_TRUE(html.contains(QString::fromUtf8(topic))) << topic;
}

}  // namespace

namespace {

// Registrations of brindel.ini become the bar's buttons and the Tools
// menu's entries; a button asks for the launch of its index.
TEST_F(MainFrameTest, ApplicationBarShowsTheRegisteredApplications) {
  const std::string ini = platform::programIniPath();
  platform::writeProfileString(ini, "ブリンデル", "MenuString0", "シェル");
  platform::writeProfileString(ini, "ブリンデル", "AppName0", "/bin/sh");
  platform::writeProfileString(ini, "ブリンデル", "DropImage0", "2000");
  platform::writeProfileString(ini, "ブリンデル", "MenuString1", "見つからない");
  platform::writeProfileString(ini, "ブリンデル", "AppName1", "/no/such/program");
  auto frame = startFrame();
  QToolBar* bar = frame->GetApplicationBar();
  ASSERT_EQ(bar->actions().size(), 2);
  EXPECT_EQ(bar->actions()[1]->data().toInt(), cmd::kFirstApplicationButton + 1);
  EXPECT_FALSE(bar->actions()[0]->icon().isNull());
  auto* tools = frame->findChild<QMenu*>(QStringLiteral("toolsMenu"));
  ASSERT_NE(tools, nullptr);
  EXPECT_EQ(tools->actions().back()->text(), "見つからない");
  std::vector<int> launched;
  QObject::connect(frame.get(), &CMainFrame::applicationLaunchRequested, [&](int i) { launched.push_back(i); });
  bar->actions()[1]->trigger();
  tools->actions().back()->trigger();
  EXPECT_EQ(launched, (std::vector<int>{1, 1}));

  frame->resize(900, 500);
  QCoreApplication::processEvents();
  QDir().mkpath(BRINDEL_SCREENSHOT_DIR);
  EXPECT_TRUE(frame->grab().save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/application_bar.png")));

  // The registrations dialog rebuilds the bar after it closes.
  frame->SetAppRegistrationRunner([](AppRegistrationDlg& dialog) {
    dialog.RegisteredList()->setCurrentRow(1);
    platform::RecordingUserInteraction answers;
    dialog.OnDelete();
    dialog.accept();
    return int(QDialog::Accepted);
  });
  frame->RunCommand(cmd::kApplicationSettings);
  EXPECT_EQ(bar->actions().size(), 1);
}

}  // namespace

namespace {

TEST_F(MainFrameTest, UpdateCheckWithoutAServerSaysSo) {
  auto frame = startFrame();
  recorder.clear();
  recorder.script({platform::Answer::Cancel});
  frame->RunCommand(cmd::kUpdateCheck);
  EXPECT_EQ(recorder.shown().size(), 1u);  // cancelled at the first question
  recorder.clear();
  frame->RunCommand(cmd::kUpdateCheck);
  ASSERT_EQ(recorder.shown().size(), 2u);
  EXPECT_EQ(recorder.shown()[1].text, "アップデートサーバが設定されていません。");
  // A plain-HTTP server elsewhere than the loopback address is never asked.
  store(QStringLiteral("UpdateServer"), QStringLiteral("http://updates.example.invalid"));
  recorder.clear();
  frame->RunCommand(cmd::kUpdateCheck);
  ASSERT_EQ(recorder.shown().size(), 2u);
  EXPECT_EQ(recorder.shown()[1].text.rfind("ヴェルノアサーバーに接続できませんでした。", 0), 0u);
  EXPECT_FALSE(IsBusy());
}

// A server that takes the connection and never answers: the wait dialog
// stays live (it is shown and takes its Cancel) and the check ends there.
TEST_F(MainFrameTest, UpdateCheckWaitsLiveAndEndsAtCancel) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  socklen_t len = sizeof addr;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
  ASSERT_EQ(::listen(listener, 4), 0);

  auto frame = startFrame();
  store(QStringLiteral("UpdateServer"), QStringLiteral("http://127.0.0.1:%1").arg(ntohs(addr.sin_port)));
  recorder.clear();
  recorder.script({platform::Answer::Ok});
  bool sawDialog = false;
  // Looks whenever the window turns to its events, which it must keep doing
  // while it waits for the server.
  QTimer look;
  look.setInterval(0);
  QObject::connect(&look, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->objectName() != QStringLiteral("dlg10570") || !w->isVisible()) continue;
      auto* cancel = w->findChild<QPushButton*>(QStringLiteral("ctl2"));
      if (!cancel || !cancel->isVisible() || !cancel->isEnabled()) continue;
      sawDialog = true;
      look.stop();
      cancel->click();
    }
  });
  look.start();
  frame->RunCommand(cmd::kUpdateCheck);
  look.stop();
  EXPECT_TRUE(sawDialog);
  EXPECT_EQ(recorder.shown().size(), 1u) << "a cancelled check says nothing more";
  EXPECT_FALSE(IsBusy());
  ::close(listener);
}

}  // namespace
