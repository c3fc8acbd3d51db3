#include "shell/desktop_register_dlg.h"

#include "catalogue/file_utilities.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "tests/shell/fresh_environment.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A folder tree to register from, with a removable medium mounted at
// "usb" and a read-only one at "cd" (the probe answers for them).
class DesktopRegisterDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ensureProgramFolder();
    InitModuleFolder();
    for (const char* sub : {"a", "A", "b", "usb/sub", "cd/disc", "gone"}) QDir().mkpath(path(sub));
    testsupport::writeFile(dir.file("f.txt"), "x");
    QFile::link(path("a"), path("link-to-a"));
    dialog.SetDriveProbe([this](const std::string& p) { return probe(p); });
  }
  QString path(const char* sub) const { return QString::fromStdString(dir.file(sub)); }
  DesktopDrive probe(const std::string& p) const {
    const QString q = QString::fromStdString(p);
    if (q.startsWith(path("usb"))) return {DriveKind::Removable, dir.file("usb")};
    if (q.startsWith(path("cd"))) return {DriveKind::ReadOnly, dir.file("cd")};
    if (q.startsWith(path("b"))) return {DriveKind::Unknown, {}};
    return {DriveKind::Fixed, "/"};
  }
  QStringList listed() const {
    QStringList out;
    for (int i = 0; i < dialog.List()->count(); ++i) out << dialog.List()->item(i)->text();
    return out;
  }
  // Types text and presses "追加"; the message shown, or "" when none.
  std::string add(const QString& text) {
    boxes.clear();
    dialog.PathEdit()->setText(text);
    if (dialog.AddButton()->isEnabled())
      QTest::mouseClick(dialog.AddButton(), Qt::LeftButton);
    else
      dialog.OnAdd();
    return boxes.shown().empty() ? std::string() : boxes.shown().back().text;
  }

  FreshEnvironment env;
  platform::RecordingUserInteraction boxes;
  testsupport::TempDir dir;
  DesktopRegisterDlg dialog;
};

TEST_F(DesktopRegisterDlgTest, ChecksANewDesktopInOrder) {
  const QString program = QString::fromStdString(platform::programFolder());
  const QString config = QString::fromStdString(platform::configFolder());
  struct Case {
    const char* name;
    QStringList before;
    QString typed;
    const char* message;  // "" when the text is added
  } cases[] = {
      {"eleventh entry, refused before the text is looked at",
       {"/1", "/2", "/3", "/4", "/5", "/6", "/7", "/8", "/9", "/10"}, "", "これ以上登録できません。"},
      {"blanks only", {}, "   ", "パスが入力されていません。"},
      {"relative path", {}, "docs/a", "フルパスで入力してください。"},
      {"home shorthand", {}, "~/a", "フルパスで入力してください。"},
      {"the program folder", {}, program, "このディレクトリはデスクトップとして登録できません。"},
      {"inside the program folder", {}, program + "/db", "このディレクトリはデスクトップとして登録できません。"},
      {"inside the config folder", {}, config + "/x", "このディレクトリはデスクトップとして登録できません。"},
      {"holding the program folder", {}, QString::fromStdString(env.programFolder()) + "/..", ""},
      {"missing path", {}, path("nowhere"), "パスが存在しません。"},
      {"a file", {}, path("f.txt"), "ディレクトリではありません。"},
      {"below a removable mount root", {}, path("usb/sub"), "リムーバブルメディアは、ルートディレクトリのみ登録できます。"},
      {"a removable mount root", {}, path("usb") + "/", ""},
      {"read-only medium", {}, path("cd/disc"), "パスが無効です。"},
      {"medium that cannot be told", {}, path("b"), "パスが無効です。"},
      {"the same text", {path("a")}, path("a"), "すでに登録済みです。"},
      {"a trailing slash", {path("a")}, path("a") + "/", "すでに登録済みです。"},
      {"listed with a trailing slash", {path("a") + "/"}, path("a"), "すでに登録済みです。"},
      {"through a link", {path("a")}, path("link-to-a"), "すでに登録済みです。"},
      {"through dots", {path("a")}, path("A") + "/../a", "すでに登録済みです。"},
      {"another case is another folder", {path("a")}, path("A"), ""},
      {"an entry that vanished is not compared", {path("gone")}, path("a"), ""},
  };
  QDir(path("gone")).removeRecursively();  // after the list knew it
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dialog.desktops = c.before;
    dialog.OnInitDialog();
    EXPECT_EQ(add(c.typed), c.message);
    QStringList expected = c.before;
    if (std::string(c.message).empty()) expected << c.typed;  // as typed
    EXPECT_EQ(listed(), expected);
  }
}

TEST_F(DesktopRegisterDlgTest, ButtonsFollowTheEditAndTheSelection) {
  dialog.desktops = {path("a"), path("b")};
  dialog.show();
  EXPECT_EQ(listed(), (QStringList{path("a"), path("b")}));
  EXPECT_FALSE(dialog.AddButton()->isEnabled());
  EXPECT_FALSE(dialog.DeleteButton()->isEnabled());
  dialog.PathEdit()->setText(" ");
  EXPECT_TRUE(dialog.AddButton()->isEnabled());  // any text, checked on the click
  dialog.PathEdit()->clear();
  EXPECT_FALSE(dialog.AddButton()->isEnabled());

  dialog.OnDelete();
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"削除出来ません。"});
  dialog.List()->setCurrentRow(0);
  EXPECT_TRUE(dialog.DeleteButton()->isEnabled());
  QTest::mouseClick(dialog.DeleteButton(), Qt::LeftButton);
  EXPECT_EQ(listed(), QStringList{path("b")});
  EXPECT_TRUE(dialog.List()->selectedItems().isEmpty());
  EXPECT_FALSE(dialog.DeleteButton()->isEnabled());

  // "参照": a chosen folder goes into the edit box; a cancel changes nothing.
  QString title;
  QString answer = path("usb");
  dialog.SetFolderChooser([&](QWidget*, const QString& t) {
    title = t;
    return answer;
  });
  dialog.OnBrowse();
  EXPECT_EQ(title, "新しいデスクトップフォルダを選択してください。");
  EXPECT_EQ(dialog.PathEdit()->text(), path("usb"));
  answer.clear();
  dialog.OnBrowse();
  EXPECT_EQ(dialog.PathEdit()->text(), path("usb"));
}

TEST_F(DesktopRegisterDlgTest, OkNeedsOneDesktopAndGivesTheListInOrder) {
  dialog.desktops = {path("a")};
  dialog.show();
  dialog.List()->setCurrentRow(0);
  dialog.OnDelete();
  dialog.accept();
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"デスクトップが登録されていません。"});
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_NE(dialog.result(), QDialog::Accepted);

  EXPECT_EQ(add(path("A")), "");
  EXPECT_EQ(add(path("usb")), "");
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.desktops, (QStringList{path("A"), path("usb")}));
}

// Writes the dialog as a picture to look at.
TEST_F(DesktopRegisterDlgTest, ScreenshotOfTheDialog) {
  dialog.desktops = {path("a") + "/", path("usb"), QStringLiteral("/home/yamada/ドキュメント/ブリンデル/")};
  dialog.show();
  dialog.List()->setCurrentRow(1);
  dialog.PathEdit()->setText(QStringLiteral("/media/yamada/USBメモリ"));
  QCoreApplication::processEvents();
  const QImage shot = dialog.grab().toImage();
  ASSERT_FALSE(shot.isNull());
  QDir().mkpath(BRINDEL_SCREENSHOT_DIR);
  EXPECT_TRUE(shot.save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/desktop_register_dlg.png")));
}

}  // namespace

namespace {

// The probe of the running system: a folder of ours lies on a writable
// medium below its mount root; a path that is not there cannot be told.
TEST(DesktopDrive, TellsTheMediumOfAFolder) {
  testsupport::TempDir here;
  const DesktopDrive drive = ProbeDesktopDrive(here.path());
  EXPECT_TRUE(drive.kind == DriveKind::Fixed || drive.kind == DriveKind::Removable);
  ASSERT_FALSE(drive.mountRoot.empty());
  EXPECT_TRUE(here.path().starts_with(drive.mountRoot)) << drive.mountRoot;
  EXPECT_EQ(ProbeDesktopDrive(here.file("not/there")).kind, DriveKind::Unknown);
}

}  // namespace
