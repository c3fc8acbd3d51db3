#include "shell/fd3_app.h"

#include "catalogue/related_word_dictionary.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/main_frame.h"
#include "shell/single_instance.h"
#include "tests/shell/fresh_environment.h"
#include "tests/shell/wait_until.h"

#include <QComboBox>
#include <QDir>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QLocalServer>
#include <QLocalSocket>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

using testsupport::fileExists;
using testsupport::writeFile;

std::string ini(const std::string& key) {
  return platform::getProfileString(platform::programIniPath(), "ブリンデル", key, "<none>");
}

// What the frame did, in order.
struct FrameLog {
  std::vector<std::string> events;
  void attach(CMainFrame* frame) {
    QObject::connect(frame, &CMainFrame::restoredAfterStart, [this] { events.push_back("restored"); });
    QObject::connect(frame, &CMainFrame::pendingWorkServed, [this](CMainFrame::Request r, const QString& line) {
      const char* name = r == CMainFrame::Request::Scan ? "scan"
                         : r == CMainFrame::Request::EarlierImport ? "earlier import"
                                                                     : "list import";
      events.push_back(std::string(name) + ": " + line.toStdString());
    });
  }
};

class StartupTest : public ::testing::Test {
 protected:
  FreshEnvironment env;
  platform::RecordingUserInteraction recorder;
};

TEST_F(StartupTest, FirstStartPreparesEverythingAndServesItsOwnSwitchesAfterTheRestore) {
  const std::string importFolder = platform::workFolder("import");
  QDir().mkpath(QString::fromStdString(importFolder));
  writeFile(platform::joinPath(importFolder, "x.ini"),
            "[Command]\nImportObjCount=1\n[ImportObj1]\nItemCount=1\nItemTitle1=memo\nItemExt1=txt\n");
  writeFile(platform::joinPath(importFolder, "memo.txt"), "handed over");

  CFD3App app;
  ASSERT_TRUE(app.InitInstance({"/Scanning", "/Import", "x.ini"}));
  FrameLog log;
  log.attach(app.Frame());
  ASSERT_TRUE(app.Frame()->isVisible());
  EXPECT_EQ(app.Frame()->windowTitle(), "ブリンデル3");
  EXPECT_TRUE(RelatedWordDictionaryOpened());
  EXPECT_TRUE(fileExists(platform::joinPath(env.programFolder(), "Synonym.jf1")));
  EXPECT_EQ(ini("VERSION"), "3.0");
  EXPECT_EQ(ini("INSTPATH"), platform::parentPath(env.programFolder()));
  EXPECT_EQ(app.Frame()->CommandLine(), "/Scanning /Import x.ini");
  EXPECT_TRUE(fileExists(importFolder));  // kept for the list import
  EXPECT_TRUE(log.events.empty());        // requests are posted, not run

  ASSERT_TRUE(waitUntil([&] { return log.events.size() == 3; }));
  EXPECT_EQ(log.events, (std::vector<std::string>{"restored", "scan: /Scanning /Import x.ini",
                                                   "list import: /Scanning /Import x.ini"}));
  // The list import registered the handed-over file in a new folder below
  // the open folder, opened that folder and emptied the drop folder.
  const std::string open = app.Frame()->Document()->FolderPath();
  EXPECT_EQ(platform::fileNameOf(open), "KPXからのインポート");
  EXPECT_EQ(platform::parentPath(open), platform::withoutTrailingSlash(app.Frame()->DesktopCombo()->currentText().toStdString()));
  EXPECT_TRUE(fileExists(platform::joinPath(open, "memo.txt")));
  EXPECT_EQ(app.Frame()->Document()->EntryList().GetCount(), 1);
  EXPECT_FALSE(fileExists(importFolder));
  FirstInstanceConnection connection;
  EXPECT_TRUE(connection.Connect());  // the window is marked
  connection.Finish();
  EXPECT_EQ(app.ExitInstance(0), 0);
  EXPECT_FALSE(RelatedWordDictionaryOpened());
  EXPECT_TRUE(recorder.shown().empty());
}

// Qt's own buttons read Japanese once the program has started, as every
// other text of it does.
TEST_F(StartupTest, QtsStandardButtonsSpeakJapanese) {
  if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_ja.qm")))
    GTEST_SKIP() << "Qt's Japanese translations are not installed";
  CFD3App app;
  ASSERT_TRUE(app.InitInstance({}));
  QMessageBox box;
  box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  EXPECT_EQ(box.button(QMessageBox::Yes)->text(), QStringLiteral("はい(&Y)"));
  EXPECT_EQ(box.button(QMessageBox::No)->text(), QStringLiteral("いいえ(&N)"));
  EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("キャンセル"));
  app.ExitInstance(0);
}

TEST_F(StartupTest, WithoutImportAnEmptyImportFolderGoesAndStoredValuesStay) {
  platform::ensureProgramFolder();
  platform::writeProfileString(platform::programIniPath(), "ブリンデル", "VERSION", "2.0");
  platform::writeProfileString(platform::programIniPath(), "ブリンデル", "INSTPATH", "/stale/place");
  const std::string importFolder = platform::workFolder("import");
  QDir().mkpath(QString::fromStdString(importFolder + "/sub"));

  CFD3App app;
  ASSERT_TRUE(app.InitInstance({}));
  EXPECT_FALSE(fileExists(importFolder));
  EXPECT_TRUE(recorder.shown().empty());
  EXPECT_EQ(ini("VERSION"), "2.0");
  EXPECT_EQ(ini("INSTPATH"), "/stale/place");
  app.ExitInstance(0);
}

// Files handed over for a list import that a kill cut short were deleted at
// the next start: they stay until a request registers them whole, and the
// user learns where they are.
TEST_F(StartupTest, HandedOverFilesOfAnImportCutShortStayAndTheUserIsTold) {
  platform::ensureProgramFolder();
  const std::string importFolder = platform::workFolder("import");
  QDir().mkpath(QString::fromStdString(importFolder));
  writeFile(platform::joinPath(importFolder, "x.ini"),
            "[Command]\nImportObjCount=1\n[ImportObj1]\nItemCount=1\nItemTitle1=memo\nItemExt1=txt\n");
  writeFile(platform::joinPath(importFolder, "memo.txt"), "handed over");
  {
    CFD3App app;
    ASSERT_TRUE(app.InitInstance({}));
    EXPECT_EQ(testsupport::readFile(platform::joinPath(importFolder, "memo.txt")), "handed over");
    ASSERT_EQ(recorder.shown().size(), 1u);
    EXPECT_NE(recorder.shown()[0].text.find(importFolder), std::string::npos) << recorder.shown()[0].text;
    app.ExitInstance(0);
  }
  // A request registered whole whose deletion of the folder was cut short:
  // the next start finishes the deletion without a word.
  recorder.clear();
  writeFile(importFolder + ".done", "");
  {
    CFD3App app;
    ASSERT_TRUE(app.InitInstance({}));
    EXPECT_FALSE(fileExists(importFolder));
    EXPECT_FALSE(fileExists(importFolder + ".done"));
    EXPECT_TRUE(recorder.shown().empty());
    app.ExitInstance(0);
  }
}

TEST_F(StartupTest, DictionaryThatCannotBeOpenedEndsTheStartBeforeTheIniFile) {
  struct Case {
    const char* name;
    std::function<void(FreshEnvironment&)> prepare;
    const char* message;
  };
  const Case cases[] = {
      {"missing",
       [](FreshEnvironment& e) { e.set("BRINDEL_SHARE", e.path("empty-share")); },
       "警告：関連語辞書が見つかりません"},
      {"damaged",
       [](FreshEnvironment& e) {
         platform::ensureProgramFolder();
         writeFile(platform::joinPath(e.programFolder(), "synonym.bdy"), "xy");
       },
       "警告：関連語辞書を開けません"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FreshEnvironment fresh;
    c.prepare(fresh);
    recorder.clear();
    CFD3App app;
    EXPECT_FALSE(app.InitInstance({"/Scanning"}));
    EXPECT_EQ(app.ExitCode(), 1);
    EXPECT_EQ(app.Frame(), nullptr);
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{c.message});
    EXPECT_EQ(ini("VERSION"), "<none>");
    FirstInstanceConnection connection;
    EXPECT_FALSE(connection.Connect());  // never marked
    EXPECT_EQ(app.ExitInstance(app.ExitCode()), 1);
  }
}

TEST_F(StartupTest, WorkLogHeldElsewhereWarnsAndStarts) {
  platform::ensureProgramFolder();
  const std::string jf1 = platform::joinPath(env.programFolder(), "Synonym.jf1");
  writeFile(jf1, "");
  const int fd = ::open(jf1.c_str(), O_RDWR);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  CFD3App app;
  EXPECT_TRUE(app.InitInstance({}));
  ::close(fd);
  EXPECT_EQ(recorder.texts(), std::vector<std::string>{"エラー：関連語バックアップ用のファイルを作成できません\n"
                                                       "辞書編集に関する作業記録の保管は行いません"});
  EXPECT_EQ(ini("VERSION"), "3.0");
  app.ExitInstance(0);
}

TEST_F(StartupTest, RepeatedStartForwardsOrEndsSilently) {
  CFD3App first;
  ASSERT_TRUE(first.InitInstance({}));
  FrameLog log;
  log.attach(first.Frame());
  ASSERT_TRUE(waitUntil([&] { return log.events.size() == 1; }));  // restored

  CFD3App second;
  EXPECT_FALSE(second.InitInstance({"/DU2.Import", "c:/req.ini"}));
  EXPECT_EQ(second.ExitCode(), 0);
  EXPECT_EQ(second.Frame(), nullptr);
  EXPECT_EQ(ini("CmdLine"), "/DU2.Import c:/req.ini");
  ASSERT_TRUE(waitUntil([&] { return log.events.size() == 2; }));
  EXPECT_EQ(log.events[1], "earlier import: /DU2.Import c:/req.ini");
  first.ExitInstance(0);
}

// The command line cannot be stored: the running instance is brought to the
// front, but the request is not forwarded. The test plays the running
// instance and reads all that the repeated start sends, to its end.
TEST_F(StartupTest, RequestThatCannotBeStoredIsNotForwarded) {
  SingleInstance running;
  ASSERT_TRUE(running.TakeMutex());
  QLocalServer::removeServer(SingleInstance::ServerPath());
  QLocalServer server;
  ASSERT_TRUE(server.listen(SingleInstance::ServerPath()));
  const QString iniPath = QString::fromStdString(platform::programIniPath());
  QFile::remove(iniPath);
  QDir().mkpath(iniPath);
  for (const auto& [args, message] : {std::pair{QStringList{"/DU2.Import", "a"}, "コンバートに失敗しました。"},
                                      std::pair{QStringList{"/Import", "b"}, "インポートに失敗しました。"}}) {
    recorder.clear();
    CFD3App again;
    EXPECT_FALSE(again.InitInstance(args));
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{message});
    ASSERT_TRUE(server.waitForNewConnection(5000));
    std::unique_ptr<QLocalSocket> connection(server.nextPendingConnection());
    QByteArray sent = connection->readAll();
    while (connection->state() == QLocalSocket::ConnectedState && connection->waitForReadyRead(5000))
      sent += connection->readAll();
    sent += connection->readAll();
    EXPECT_EQ(sent, "ACTIVATE\n") << args.join(' ').toStdString();
  }
}

// A request path may hold the text of a switch; only whole arguments are
// switches, at the first start and in a repeated start's hand-over.
TEST_F(StartupTest, PathsThatHoldASwitchAreNoSwitches) {
  const std::string importFolder = platform::workFolder("import");
  QDir().mkpath(QString::fromStdString(importFolder));
  CFD3App first;
  ASSERT_TRUE(first.InitInstance({"/DU2.Import", "/home/u/Imports/req.ini"}));
  FrameLog log;
  log.attach(first.Frame());
  EXPECT_FALSE(fileExists(importFolder)) << "no list import was asked for";
  ASSERT_TRUE(waitUntil([&] { return log.events.size() == 2; }));
  EXPECT_EQ(log.events[1], "earlier import: /DU2.Import /home/u/Imports/req.ini");

  CFD3App second;
  EXPECT_FALSE(second.InitInstance({"/DU2.Import", "/mnt/Scanning/Imports/b.ini"}));
  ASSERT_TRUE(waitUntil([&] { return log.events.size() == 3; }));
  EXPECT_EQ(log.events[2], "earlier import: /DU2.Import /mnt/Scanning/Imports/b.ini");
  EXPECT_EQ(ini("CmdLine"), "/DU2.Import /mnt/Scanning/Imports/b.ini");
  // A request of another kind after them shows that nothing else was queued.
  CFD3App third;
  EXPECT_FALSE(third.InitInstance({"/Scanning"}));
  ASSERT_TRUE(waitUntil([&] { return log.events.size() == 4; }));
  EXPECT_EQ(log.events[3].rfind("scan: ", 0), 0u) << log.events[3];
  first.ExitInstance(0);
}

TEST_F(StartupTest, RepeatedStartBeforeTheWindowIsMarkedEndsWithoutAWord) {
  SingleInstance starting;  // a first instance that holds the lock, no window yet
  ASSERT_TRUE(starting.TakeMutex());
  CFD3App app;
  EXPECT_FALSE(app.InitInstance({"/Scanning"}));
  EXPECT_EQ(app.ExitCode(), 0);
  EXPECT_TRUE(recorder.shown().empty());
}

TEST_F(StartupTest, LeftOverSocketFileDoesNotBlockTheStart) {
  writeFile(SingleInstance::ServerPath().toStdString(), "stale");
  CFD3App app;
  ASSERT_TRUE(app.InitInstance({}));
  FirstInstanceConnection connection;
  EXPECT_TRUE(connection.Connect());
  connection.Finish();
  app.ExitInstance(0);
}

}  // namespace

namespace {

TEST_F(StartupTest, SiblingApplicationsAreFoundThroughTheirIniFiles) {
  platform::ensureProgramFolder();
  const std::string config = platform::configFolder();
  const std::string card = env.path("card"), ocr = env.path("ocr");
  QDir().mkpath(QString::fromStdString(card));
  QDir().mkpath(QString::fromStdString(ocr));
  writeFile(platform::joinPath(env.programFolder(), "runhostcdl.exe"), "launcher");
  const std::string cardIni = platform::joinPath(config, "Cardello.ini");
  const std::string ocrIni = platform::joinPath(config, "Lumora.ini");

  std::string folder = "untouched";
  EXPECT_EQ(CFD3App::FindCardApplication(&folder), 0);  // no INI file
  platform::writeProfileString(cardIni, "Cardello", "DICPATH", card + "/dic");
  EXPECT_EQ(CFD3App::FindCardApplication(&folder), 0);  // no Cardello.exe
  EXPECT_EQ(folder, "untouched");
  writeFile(platform::joinPath(card, "Cardello.exe"), "");
  writeFile(platform::joinPath(card, "filecopy.avi"), "theirs");
  EXPECT_EQ(CFD3App::FindCardApplication(&folder), 1);  // VERSION missing
  EXPECT_EQ(folder, card + "/");
  EXPECT_EQ(testsupport::readFile(platform::joinPath(card, "runhostcdl.exe")), "launcher");
  EXPECT_EQ(testsupport::readFile(platform::joinPath(card, "filecopy.avi")), "theirs");  // never overwritten
  platform::writeProfileString(cardIni, "Cardello", "VERSION", "2.0");
  EXPECT_EQ(CFD3App::FindCardApplication(), 2);
  platform::writeProfileString(cardIni, "Cardello", "DICPATH", "nodir");
  EXPECT_EQ(CFD3App::FindCardApplication(), 0);

  std::string path;
  platform::writeProfileString(ocrIni, "LUMORA", "INSTPATH", ocr);
  EXPECT_EQ(CFD3App::FindOcrApplication(&path), 0);  // no lumora.exe
  writeFile(platform::joinPath(ocr, "lumora.exe"), "");
  for (const auto& [version, level] : {std::pair{"", 1}, std::pair{"3.9", 1}, std::pair{"4.0", 4},
                                       std::pair{"5.5", 5}, std::pair{"6", 6}, std::pair{"7.01", 7},
                                       std::pair{"10", 7}}) {
    platform::writeProfileString(ocrIni, "LUMORA", "VERSION", version);
    EXPECT_EQ(CFD3App::FindOcrApplication(&path), level) << version;
  }
  EXPECT_EQ(path, ocr);
}

}  // namespace
