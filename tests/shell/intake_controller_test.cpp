// The migration request as the main window runs it: where the new folders
// go when no folder is open yet, what the tree is asked to show, and that a
// declined choice makes nothing.

#include "shell/intake_controller.h"

#include "platform/profile.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "shell/folder_intake.h"
#include "shell/frame_view.h"
#include "shell/kankyo_settings.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QMainWindow>

#include <gtest/gtest.h>

namespace {

using testsupport::writeFile;

// The browser view as the window's central widget: records what it is asked.
class RecordingView : public QWidget, public FrameView {
 public:
  void BuildFolderTreeForDesktop(const std::string&) override {}
  int SelectFolderInTree(const std::string& folderPath) override {
    selected.push_back(folderPath);
    return 1;
  }
  void RefreshSelectedFolder() override { ++refreshed; }
  std::vector<std::string> selected;
  int refreshed = 0;
};

class IntakeControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::ensureProgramFolder());
    desktop = dir.path() + "/デスクトップ";
    QDir().mkpath(QString::fromStdString(desktop));
    view = new RecordingView;
    window.setCentralWidget(view);
    doc.SetMainWindow(&window);
    CFD3Doc::SetFatalExitHandler([](int code) { FAIL() << "program would end with " << code; });
    intake.SetDocument(&doc);
  }
  void TearDown() override { doc.CloseFolderDatabase(); }

  // An earlier product's folder (marked by its two files) with one
  // document, named in a request file.
  std::string migrationRequest() {
    const std::string earlier = dir.path() + "/旧データ";
    QDir().mkpath(QString::fromStdString(earlier));
    for (const char* name : {"info.idd", "info.sig"}) EXPECT_TRUE(writeFile(earlier + "/" + name, ""));
    EXPECT_TRUE(writeFile(earlier + "/メモ.TXT", "memo"));
    const std::string ini = dir.path() + "/du2.ini";
    platform::writeProfileString(ini, "OCRFD", "RegFolder", earlier + ";");
    return ini;
  }

  testsupport::TempDir dir;
  std::string desktop;
  platform::RecordingUserInteraction boxes;
  QMainWindow window;
  RecordingView* view = nullptr;  // owned by window
  CFD3Doc doc;
  KankyoSettings settings;
  int activations = 0;
  IntakeController intake{window, settings, [this] { return QString::fromStdString(desktop) + "/"; },
                          [this] { ++activations; }};
};

TEST_F(IntakeControllerTest, MigrationBeforeAFolderIsOpenGoesBelowTheDesktopAndOpensTheNewFolder) {
  const std::string ini = migrationRequest();
  std::vector<std::string> offered;
  intake.SetMigrationChooser([&offered](std::vector<std::string>& folders) {
    offered = folders;
    return true;
  });

  intake.MigrateEarlierProduct(QString::fromStdString("/DU2.Import \"" + ini + "\""));

  EXPECT_EQ(offered, std::vector<std::string>{dir.path() + "/旧データ"});
  const std::string made = desktop + "/" + kMigrationFolderName;
  EXPECT_TRUE(QDir(QString::fromStdString(made)).exists());
  EXPECT_EQ(view->refreshed, 1);
  EXPECT_EQ(view->selected, std::vector<std::string>{made});
  EXPECT_EQ(activations, 2);  // before the progress window and after it
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(IntakeControllerTest, ADeclinedChoiceOrAMissingRequestMakesNothing) {
  const std::string ini = migrationRequest();
  intake.SetMigrationChooser([](std::vector<std::string>&) { return false; });
  intake.MigrateEarlierProduct(QString::fromStdString("/DU2.Import " + ini));
  EXPECT_TRUE(boxes.shown().empty());

  intake.MigrateEarlierProduct(QStringLiteral("/DU2.Import"));
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"移行するデータがありません。"});

  EXPECT_FALSE(QDir(QString::fromStdString(desktop + "/" + kMigrationFolderName)).exists());
  EXPECT_TRUE(view->selected.empty());
  EXPECT_EQ(activations, 0);
}

}  // namespace
