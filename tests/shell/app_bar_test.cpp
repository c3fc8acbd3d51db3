// The registered applications: their slots in brindel.ini, the offers of
// AppReg.dat, the launch codes and the starts.

#include "shell/app_bar.h"

#include "platform/profile.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>

#include <gtest/gtest.h>

namespace {

const std::string kSection = "ブリンデル";

TEST(AppBar, SlotsStopAtTheFirstEmptyMenuTextAndWriteBackAllFourteen) {
  testsupport::TempDir dir;
  const std::string ini = dir.file("brindel.ini");
  for (int n : {0, 1, 2, 4}) {
    platform::writeProfileString(ini, kSection, "MenuString" + std::to_string(n), "app" + std::to_string(n));
    platform::writeProfileString(ini, kSection, "AppName" + std::to_string(n), "/usr/bin/app" + std::to_string(n));
  }
  platform::writeProfileString(ini, kSection, "DropImage0", "1003");
  platform::writeProfileString(ini, kSection, "DropImage2", "-9001");
  auto entries = ReadRegistrations(ini);
  ASSERT_EQ(entries.size(), 3u);  // slot 4 lies after the empty slot 3
  EXPECT_EQ(entries[0].code, 1003);
  EXPECT_EQ(entries[1].code, 2000);  // no DropImage key
  EXPECT_EQ(entries[2].code, -9001);
  EXPECT_EQ(entries[1].programPath, "/usr/bin/app1");

  entries.pop_back();
  ASSERT_TRUE(WriteRegistrations(ini, entries));
  for (int n = 2; n < 14; ++n) {
    EXPECT_EQ(platform::getProfileString(ini, kSection, "MenuString" + std::to_string(n), "x"), "") << n;
    EXPECT_EQ(platform::getProfileString(ini, kSection, "DropImage" + std::to_string(n), "x"), "-100") << n;
  }
  EXPECT_EQ(ReadRegistrations(ini).size(), 2u);
}

TEST(AppBar, LaunchCodesAndTheSwappedPreparationRadios) {
  EXPECT_EQ(MakeLaunchCode(1, SwapPreparation(2)), 1003);  // radio "白黒BMP画像にする"
  EXPECT_EQ(MakeLaunchCode(1, SwapPreparation(3)), 1002);  // radio "OCR処理  テキストファイルにする"
  EXPECT_EQ(SwapPreparation(Preparation(1003)), 2);
  EXPECT_EQ(LaunchMode(2000), 2);
  EXPECT_EQ(Preparation(2000), 0);

  const QStringList files = {"/tmp/a b.bmp", "/tmp/c;rm -rf.txt"};
  EXPECT_TRUE(LaunchArgumentLists(0, files).empty());  // several files may not be handed
  EXPECT_EQ(LaunchArgumentLists(0, {files[0]}), std::vector<QStringList>{{files[0]}});
  EXPECT_EQ(LaunchArgumentLists(1001, files), (std::vector<QStringList>{{files[0]}, {files[1]}}));
  EXPECT_EQ(LaunchArgumentLists(2000, files), std::vector<QStringList>{files});
}

TEST(AppBar, StartsOnlyFoundProgramsOfTheUsersChoosingWithArgumentLists) {
  testsupport::TempDir dir;
  const QString program = QString::fromStdString(dir.file("viewer.sh"));
  {
    QFile f(program);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n");
  }
  std::vector<std::pair<QString, QStringList>> started;
  const ProgramStarter record = [&](const QString& p, const QStringList& args) {
    started.emplace_back(p, args);
    return true;
  };
  const QStringList files = {"/tmp/x y.tif", "/tmp/$(z).tif"};
  // Not executable yet: not started.
  EXPECT_FALSE(StartRegisteredApplication({"v", program, 1000}, files, record));
  QFile(program).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  EXPECT_TRUE(StartRegisteredApplication({"v", program, 1000}, files, record));
  ASSERT_EQ(started.size(), 2u);
  EXPECT_EQ(started[1].second, QStringList{files[1]});  // handed as one argument, untouched
  started.clear();
  EXPECT_FALSE(StartRegisteredApplication({"own", program, -10}, files, record));
  EXPECT_FALSE(StartRegisteredApplication({"none", QStringLiteral("no-such-program-xyz"), 2000}, files, record));
  EXPECT_TRUE(started.empty());
  EXPECT_FALSE(FindProgram(QStringLiteral("sh")).isEmpty());  // on PATH
}

TEST(AppBar, CandidatesEndAtTheFirstBadLineAndSkipRegisteredNames) {
  testsupport::TempDir dir;
  const QString path = QString::fromStdString(dir.file("AppReg.dat"));
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Editor,gedit,2000\r\nPainter,gimp,1001\r\nBroken line\r\nLate,late,0\r\n");
  }
  const auto candidates = ReadCandidates(path, {{"Painter", "/usr/bin/gimp", 2000}});
  ASSERT_EQ(candidates.size(), 1u);
  EXPECT_EQ(candidates[0].menuText, "Editor");
  EXPECT_EQ(candidates[0].programPath, "gedit");
  EXPECT_EQ(candidates[0].code, 2000);
  EXPECT_TRUE(ReadCandidates(QString::fromStdString(dir.file("missing.dat")), {}).empty());
}

}  // namespace

#include "shell/app_bar_dlg.h"
#include "platform/user_interaction.h"

#include <QButtonGroup>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {

// Without an AppReg.dat the desktop's installed applications are offered:
// named in Japanese where they can be, hidden ones and ones whose program is
// missing left out, and none twice.
TEST(AppRegistrationDialog, TheDesktopsInstalledApplicationsAreOffered) {
  testsupport::TempDir dir;
  const std::string apps = dir.file("applications");
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(apps)));
  const auto entry = [&](const char* file, const std::string& body) {
    ASSERT_TRUE(testsupport::writeFile(apps + "/" + file, "[Desktop Entry]\nType=Application\n" + body));
  };
  entry("viewer.desktop", "Name=Image Viewer\nName[ja]=画像ビューアー\nExec=sh %f\n");
  entry("editor.desktop", "Name=Editor\nExec=sh %F\n");
  entry("hidden.desktop", "Name=Hidden\nNoDisplay=true\nExec=sh\n");
  entry("gone.desktop", "Name=Gone\nExec=/nonexistent/program %F\n");
  entry("again.desktop", "Name=Editor\nExec=sh\n");
  AppRegistrationDlg dialog(dir.file("brindel.ini"), QString::fromStdString(dir.file("AppReg.dat")), nullptr,
                            {QString::fromStdString(apps)});
  ASSERT_EQ(dialog.CandidateList()->count(), 2);
  EXPECT_EQ(dialog.CandidateList()->item(0)->text(), QStringLiteral("Editor"));
  EXPECT_EQ(dialog.CandidateList()->item(1)->text(), QStringLiteral("画像ビューアー"));
  dialog.CandidateList()->setCurrentRow(1);
  EXPECT_EQ(dialog.ProgramEdit()->text(), FindProgram(QStringLiteral("sh")));
  EXPECT_EQ(dialog.ModeGroup()->checkedId(), 1);  // one start per file
  dialog.CandidateList()->setCurrentRow(0);
  EXPECT_EQ(dialog.ModeGroup()->checkedId(), 2);  // all files at once
}

TEST(AppRegistrationDialog, RegistrationRulesAndStore) {
  testsupport::TempDir dir;
  const std::string ini = dir.file("brindel.ini");
  const QString appReg = QString::fromStdString(dir.file("AppReg.dat"));
  {
    QFile f(appReg);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Shell,sh,1001\r\nOwn,own,-10\r\n");
  }
  platform::RecordingUserInteraction boxes;
  AppRegistrationDlg dialog(ini, appReg, nullptr, QStringList());
  EXPECT_EQ(dialog.CandidateList()->count(), 2);
  EXPECT_FALSE(dialog.AddButton()->isEnabled());

  // A candidate: its code on the radios (preparation 1 is BMP).
  dialog.CandidateList()->setCurrentRow(0);
  EXPECT_TRUE(dialog.AddButton()->isEnabled());
  EXPECT_EQ(dialog.ModeGroup()->checkedId(), 1);
  EXPECT_EQ(dialog.PreparationGroup()->checkedId(), 1);
  dialog.PreparationGroup()->button(2)->setChecked(true);  // "白黒BMP画像にする"
  dialog.OnAdd();
  ASSERT_EQ(dialog.Registered().size(), 1u);
  EXPECT_EQ(dialog.Registered()[0].code, 1003);
  EXPECT_EQ(dialog.Registered()[0].programPath, FindProgram(QStringLiteral("sh")));
  EXPECT_EQ(dialog.CandidateList()->count(), 1);

  // Typed texts: the same name, a missing program.
  dialog.RegisteredList()->setCurrentRow(-1);
  struct Row {
    const char* menu;
    const char* program;
    const char* message;
  };
  const Row rows[] = {{"", "sh", "文字が入力されていません。"},
                      {"Shell", "sh", "同名の項目が登録されています。"},
                      {"Other", "", "ファイル名が入力されていません。"},
                      {"Other", "no-such-program-xyz", "ファイルが見つかりません。\nno-such-program-xyz"}};
  for (const Row& row : rows) {
    boxes.clear();
    dialog.MenuEdit()->setText(QString::fromUtf8(row.menu));
    dialog.ProgramEdit()->setText(QString::fromUtf8(row.program));
    dialog.OnAdd();
    ASSERT_EQ(boxes.shown().size(), 1u) << row.menu;
    EXPECT_EQ(boxes.shown()[0].text, row.message);
    EXPECT_EQ(boxes.shown()[0].caption, "アプリケーションの登録");
    EXPECT_EQ(dialog.Registered().size(), 1u);
  }

  // Fourteen entries: the fifteenth is refused before any other check.
  for (int i = 1; i < 14; ++i) {
    dialog.MenuEdit()->setText(QStringLiteral("app%1").arg(i));
    dialog.ProgramEdit()->setText(QStringLiteral("sh"));
    dialog.OnAdd();
  }
  ASSERT_EQ(dialog.Registered().size(), 14u);
  boxes.clear();
  dialog.MenuEdit()->setText(QString());
  dialog.OnAdd();
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"登録可能数を超えます。\n登録をキャンセルします。"});

  // Delete asks first; Cancel keeps the entry.
  dialog.RegisteredList()->setCurrentRow(13);
  boxes.script({platform::Answer::Cancel, platform::Answer::Ok});
  dialog.OnDelete();
  EXPECT_EQ(dialog.Registered().size(), 14u);
  dialog.OnDelete();
  EXPECT_EQ(dialog.Registered().size(), 13u);
  dialog.accept();
  EXPECT_EQ(ReadRegistrations(ini).size(), 13u);
  EXPECT_EQ(platform::getProfileString(ini, kSection, "DropImage13", ""), "-100");
}

}  // namespace
