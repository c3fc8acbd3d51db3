// Desktops as a user meets them: the first start, choosing another desktop
// in the desktop bar, the registration dialog run from the frame, and the
// exchange of a removable medium. The frame, the browser view and the
// program's document work together here, as in the program.

#include "browser/fd3_view.h"
#include "browser/folder_tree.h"
#include "catalogue/file_utilities.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/app_profile.h"
#include "shell/busy_flag.h"
#include "shell/command_ids.h"
#include "shell/desktop_register_dlg.h"
#include "shell/fd3_doc.h"
#include "shell/main_frame.h"
#include "shell/posted_message.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/shell/fresh_environment.h"
#include "tests/shell/wait_until.h"
#include "tests/support/test_env.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

// Records every message box and runs a step of the test while it is shown
// (the user acts while the question waits).
class Boxes : public platform::UserInteraction {
 public:
  Boxes() : previous_(platform::setUserInteraction(this)) {}
  ~Boxes() override { platform::setUserInteraction(previous_); }
  platform::Answer messageBox(const std::string& text, const std::string& caption, platform::Buttons buttons,
                              platform::Icon) override {
    shown.push_back({text, caption});
    if (whileShown) whileShown();
    return platform::firstAnswerOf(buttons);
  }
  struct Box {
    std::string text, caption;
  };
  std::vector<Box> shown;
  std::function<void()> whileShown;

 private:
  platform::UserInteraction* previous_;
};

class DesktopsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ensureProgramFolder();
    InitModuleFolder();
  }
  void TearDown() override {
    if (frame) frame->close();
    frame.reset();
    doc.CloseFolderDatabase();
  }
  void store(const QString& key, const QVariant& value) { OpenAppProfile()->setValue(BrowserKey(key), value); }
  void storeDesktops(const std::vector<std::string>& desktops) {
    for (std::size_t i = 0; i < desktops.size(); ++i)
      store(QStringLiteral("DesktopHistory%1").arg(i), QString::fromStdString(desktops[i]));
  }
  // The program's start: frame, view and document, then the restore.
  void start() {
    frame = std::make_unique<CMainFrame>();
    frame->SetDriveProbe([this](const std::string& path) {
      for (const std::string& root : removable)
        if (path.starts_with(root)) return DesktopDrive{DriveKind::Removable, root};
      return DesktopDrive{DriveKind::Fixed, "/"};
    });
    frame->PreCreateWindow();
    ASSERT_TRUE(frame->OnCreate());
    auto* v = new CFD3View(frame.get());
    v->AttachDocument(&doc);
    v->AttachToFrame(frame.get());
    v->OnInitialUpdate();
    frame->SetDocument(&doc);
    doc.SetMainWindow(frame.get());
    bool restored = false;
    QObject::connect(frame.get(), &CMainFrame::restoredAfterStart, [&restored] { restored = true; });
    frame->show();
    ASSERT_TRUE(waitUntil([&] { return restored && !IsBusy(); }));
    tree = v->GetFolderTree();
  }
  std::vector<std::string> shownFolders() const {
    std::vector<std::string> names;
    for (int i = 0; i < tree->rootItem()->childCount(); ++i)
      names.push_back(tree->rootItem()->child(i)->text(0).toStdString());
    return names;
  }
  QComboBox* combo() const { return frame->DesktopCombo(); }
  QPushButton* barButton(const char* name) const { return frame->GetDesktopBar()->findChild<QPushButton*>(name); }
  static std::string folder(const testsupport::TempDir& d, const char* sub) {
    const std::string path = d.file(sub);
    QDir().mkpath(QString::fromStdString(path));
    return path;
  }

  // A folder with a catalogue of one item, which the document keeps open.
  static void fileOneDocument(const std::string& path) {
    cataloguetest::makeCatalogueFolder(path);
    cataloguetest::CatalogueRows rows(path);
    rows.addItem(cataloguetest::ItemRow{.itemNo = 1, .title = "見積"});
    QImage page(40, 30, QImage::Format_RGB32);
    page.fill(Qt::white);
    page.save(QString::fromStdString(path + "/見積.bmp"));
  }
  std::string loaded() const { return doc.EntryList().GetFolderPath(); }

  FreshEnvironment env;
  Boxes boxes;
  testsupport::TempDir d1, d2, d3;
  std::vector<std::string> removable;
  CFD3Doc doc;
  std::unique_ptr<CMainFrame> frame;
  FolderTree* tree = nullptr;
};

TEST_F(DesktopsTest, FirstStartGivesASampleDesktopToFileInto) {
  start();
  const std::string sample = env.samplesFolder() + "/";
  ASSERT_EQ(combo()->count(), 1);
  EXPECT_EQ(combo()->currentText().toStdString(), sample);
  EXPECT_EQ(tree->desktopRoot(), sample);
  EXPECT_EQ(loaded(), env.samplesFolder());  // shown, no message
  EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front().text;

  frame->RunCommand(cmd::kFileNewFolder);
  QCoreApplication::processEvents();
  EXPECT_TRUE(QFileInfo(QString::fromStdString(sample + "新しいフォルダ")).isDir());
  EXPECT_EQ(shownFolders(), std::vector<std::string>{"新しいフォルダ"});
  EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front().text;

  EXPECT_TRUE(barButton("ctl10012")->isEnabled());
  EXPECT_TRUE(frame->Action(cmd::kDesktopAddRemove)->isEnabled());
  EXPECT_FALSE(barButton("ctl10013")->isEnabled());  // a fixed disk
  EXPECT_FALSE(frame->Action(cmd::kMediaExchange)->isEnabled());
}

TEST_F(DesktopsTest, ChoosingADesktopShowsItsTreeAtOnce) {
  folder(d1, "経理/請求書");
  cataloguetest::makeCatalogueFolder(d1.file("経理"));  // empty: it goes when the folder is closed
  folder(d2, "人事");
  storeDesktops({d1.path() + "/", d2.path() + "/"});
  store(QStringLiteral("CurrentFolderPath"), QString::fromStdString(d1.path() + "/経理/"));
  start();
  ASSERT_EQ(doc.FolderPath(), d1.file("経理"));
  ASSERT_TRUE(doc.Database().IsOpen());

  combo()->setFocus();
  QTest::keyClick(combo(), Qt::Key_Down);  // the user's choice
  EXPECT_EQ(tree->desktopRoot(), d2.path() + "/");
  EXPECT_EQ(shownFolders(), std::vector<std::string>{"人事"});
  EXPECT_EQ(loaded(), d2.path());
  // The folder that was open is closed: its empty catalogue is gone.
  EXPECT_FALSE(doc.Database().IsOpen());
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(d1.file("経理/info.mdb"))));
  EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front().text;

  // The frame's own switch message does the same for the combo's selection.
  combo()->setCurrentIndex(0);
  PostMessage(frame.get(), kSwitchDesktopMessage);
  QCoreApplication::processEvents();
  EXPECT_EQ(tree->desktopRoot(), d1.path() + "/");
  EXPECT_EQ(shownFolders(), std::vector<std::string>{"経理"});
  EXPECT_EQ(loaded(), d1.path());
}

TEST_F(DesktopsTest, ADesktopThatVanishedGivesWayToTheDefault) {
  folder(d1, "a");
  const std::string gone = folder(d2, "gone");
  struct Case {
    const char* name;
    std::vector<std::string> history;
    int chosen;
    int countAfter;
  } cases[] = {
      {"the default is added", {d1.path() + "/", gone + "/"}, 1, 3},
      {"the default is listed", {gone + "/", env.samplesFolder() + "/", d1.path() + "/"}, 0, 3},
      {"a full list: the default takes the vanished entry's place",
       {d1.path(), d1.path(), d1.path(), d1.path(), d1.path(), d1.path(), d1.path(), d1.path(), d1.path(), gone},
       9,
       10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QDir().mkpath(QString::fromStdString(gone));
    QDir(QString::fromStdString(env.samplesFolder())).removeRecursively();
    storeDesktops(c.history);
    store(QStringLiteral("CurrentDesktopIndex"), c.chosen == 0 ? 2 : 0);
    start();
    QDir(QString::fromStdString(gone)).removeRecursively();
    boxes.shown.clear();
    combo()->setCurrentIndex(c.chosen);
    emit combo()->activated(c.chosen);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "パスを発見できませんでした。\nデスクトップをデフォルトに変更します。");
    EXPECT_EQ(boxes.shown[0].caption, "デスクトップの変更");
    EXPECT_EQ(combo()->currentText().toStdString(), env.samplesFolder() + "/");
    EXPECT_EQ(combo()->count(), c.countAfter);
    EXPECT_EQ(tree->desktopRoot(), env.samplesFolder() + "/");
    EXPECT_TRUE(QFileInfo(QString::fromStdString(env.samplesFolder())).isDir());  // made again
    EXPECT_EQ(loaded(), env.samplesFolder());
    frame->close();
    frame.reset();
    doc.CloseFolderDatabase();
  }
}

TEST_F(DesktopsTest, TheRegistrationDialogRefillsTheDesktopBar) {
  folder(d1, "a");
  folder(d2, "b");
  folder(d3, "c");
  storeDesktops({d1.path() + "/", d2.path() + "/"});
  start();
  const QTreeWidgetItem* rootBefore = tree->rootItem();

  // OK after adding a third desktop: the tree stays as it was.
  int runs = 0;
  frame->SetDesktopDialogRunner([&](DesktopRegisterDlg& dialog) {
    ++runs;
    EXPECT_TRUE(IsBusy());
    EXPECT_EQ(dialog.desktops, (QStringList{QString::fromStdString(d1.path() + "/"),
                                           QString::fromStdString(d2.path() + "/")}));
    dialog.show();
    dialog.PathEdit()->setText(QString::fromStdString(d3.path()));
    dialog.OnAdd();
    dialog.accept();
    return dialog.result();
  });
  frame->RunCommand(cmd::kDesktopAddRemove);  // posts the bar button's command
  EXPECT_EQ(runs, 0);
  QCoreApplication::processEvents();
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(IsBusy());
  ASSERT_EQ(combo()->count(), 3);
  EXPECT_EQ(combo()->itemText(2).toStdString(), d3.path() + "/");  // one spelling for every desktop
  EXPECT_EQ(combo()->currentIndex(), 0);
  EXPECT_EQ(tree->rootItem(), rootBefore);

  // Removing the current desktop shows the first one left.
  frame->SetDesktopDialogRunner([&](DesktopRegisterDlg& dialog) {
    dialog.show();
    dialog.List()->setCurrentRow(0);
    dialog.OnDelete();
    dialog.accept();
    return dialog.result();
  });
  QTest::mouseClick(barButton("ctl10012"), Qt::LeftButton);
  ASSERT_EQ(combo()->count(), 2);
  EXPECT_EQ(combo()->currentText().toStdString(), d2.path() + "/");
  EXPECT_EQ(tree->desktopRoot(), d2.path() + "/");
  EXPECT_EQ(shownFolders(), std::vector<std::string>{"b"});
  EXPECT_EQ(loaded(), d2.path());

  // Cancel changes nothing.
  frame->SetDesktopDialogRunner([](DesktopRegisterDlg& dialog) {
    dialog.show();
    dialog.List()->clear();
    dialog.reject();
    return dialog.result();
  });
  frame->RunCommand(cmd::kDesktopButton);
  EXPECT_EQ(combo()->count(), 2);
  EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front().text;
}

TEST_F(DesktopsTest, MediaExchangeClosesTheFolderWhileTheMediumIsChanged) {
  fileOneDocument(folder(d1, "書類"));
  folder(d2, "x");
  removable = {d1.path()};
  storeDesktops({d1.path() + "/", d2.path() + "/"});
  store(QStringLiteral("CurrentFolderPath"), QString::fromStdString(d1.path() + "/書類/"));
  start();
  ASSERT_EQ(doc.FolderPath(), d1.file("書類"));
  EXPECT_TRUE(frame->IsRemovableDesktop());
  EXPECT_TRUE(barButton("ctl10013")->isEnabled());
  EXPECT_TRUE(frame->Action(cmd::kMediaExchange)->isEnabled());

  bool openDuringQuestion = true;
  boxes.whileShown = [&] {
    openDuringQuestion = doc.Database().IsOpen();
    folder(d1, "新しい媒体の書類");  // what the other medium holds
  };
  QTest::mouseClick(barButton("ctl10013"), Qt::LeftButton);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "メディアの交換ができます。\n交換後、「ＯＫ」をクリックして下さい。");
  EXPECT_EQ(boxes.shown[0].caption, "メディアの交換");
  EXPECT_FALSE(openDuringQuestion);
  EXPECT_EQ(shownFolders(), (std::vector<std::string>{"書類", "新しい媒体の書類"}));
  EXPECT_EQ(doc.FolderPath(), d1.file("書類"));  // reopened
  EXPECT_TRUE(doc.Database().IsOpen());
  EXPECT_EQ(doc.EntryList().GetCount(), 1);
  EXPECT_FALSE(IsBusy());

  // On a fixed disk the command is off.
  boxes.whileShown = nullptr;
  combo()->setCurrentIndex(1);
  emit combo()->activated(1);
  EXPECT_FALSE(frame->IsRemovableDesktop());
  EXPECT_FALSE(barButton("ctl10013")->isEnabled());
  EXPECT_FALSE(frame->Action(cmd::kMediaExchange)->isEnabled());
  frame->RunCommand(cmd::kMediaExchange);
  EXPECT_EQ(boxes.shown.size(), 1u);
}

// Writes the main window with the desktop bar as a picture to look at.
TEST_F(DesktopsTest, ScreenshotOfTheFrameWithTheSampleDesktop) {
  start();
  folder(d1, "x");
  QDir().mkpath(QString::fromStdString(env.samplesFolder() + "/請求書"));
  QDir().mkpath(QString::fromStdString(env.samplesFolder() + "/見積書"));
  tree->Refresh();
  frame->resize(1000, 600);
  QCoreApplication::processEvents();
  const QImage shot = frame->grab().toImage();
  ASSERT_FALSE(shot.isNull());
  QDir().mkpath(BRINDEL_SCREENSHOT_DIR);
  EXPECT_TRUE(shot.save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/desktops_frame.png")));
}

}  // namespace
