// Documents handed over in bulk: the list import of a sibling recognition
// application (request INI + drop folder) and the migration of the earlier
// product's folders, through the document's own registration, with the
// folder limit, cleaned names, failures that must keep what was handed
// over, and the migration dialog's folder list.

#include "catalogue/file_utilities.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "shell/file_drop_list_box.h"
#include "shell/folder_intake.h"
#include "shell/import_file.h"
#include "shell/migration_dlg.h"
#include "shell/progress_dialogs.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QMainWindow>
#include <QPushButton>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using testsupport::fileExists;
using testsupport::writeFile;

namespace {

constexpr const char* kRenameMessage =
    "ファイル名にブリンデルでは扱えない文字が使われています。\nファイル名を変更します。";

TEST(IntakeNames, RequestFileComesFromTheSwitchWord) {
  struct Case {
    const char* commandLine;
    const char* switchName;
    const char* expected;
  } cases[] = {
      {"brindel /Import req.ini", "/Import", "req.ini"},
      {"brindel /Import \"my req.ini\" /x", "/Import", "my req.ini"},
      {"brindel /Import req.ini /Scanning", "/Import", "req.ini"},
      {"brindel /DU2.Import /tmp/a.ini", "/Import", ""},
      {"brindel /DU2.Import /tmp/a.ini", "/DU2.Import", "/tmp/a.ini"},
      {"brindel /x/Imports/y /Import r.ini", "/Import", "r.ini"},
      {"brindel /Import", "/Import", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(RequestFileOfCommandLine(c.commandLine, c.switchName), c.expected) << c.commandLine;
}

TEST(IntakeNames, CleaningReplacesBracketsDropsMarksAndTellsOnce) {
  platform::RecordingUserInteraction boxes;
  bool pending = true;
  std::string name = "a[1]'#.bmp";
  EXPECT_TRUE(CleanImportName(name, pending));
  EXPECT_EQ(name, "a(1).bmp");
  std::string marks = "#''";
  EXPECT_TRUE(CleanImportName(marks, pending));
  EXPECT_EQ(marks, "NonTitle");
  std::string plain = "請求[書].txt";
  CleanImportName(plain, pending);
  EXPECT_EQ(plain, "請求(書).txt");
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{kRenameMessage});
}

TEST(IntakeNames, RecordFileNamesSplitIntoBaseStemAndExtension) {
  struct Case {
    const char* name;
    int result;
    const char* base;
    const char* stem;
    const char* extension;
  } cases[] = {
      {"請求001.TXT", 0, "請求", "請求001", "TXT"},
      {"memo12.txt.wrd", 0, "memo", "memo12", "txt.wrd"},
      {"001.TXT", 0, "", "001", "TXT"},
      {"メモ.TXT", 0, "メモ", "メモ", "TXT"},
      {"scan.BMP", 1, "-", "-", "-"},
      {"a.TXT.BAK", 1, "-", "-", "-"},
  };
  for (const Case& c : cases) {
    std::string base = "-", stem = "-", extension = "-";
    EXPECT_EQ(SplitEarlierName(c.name, base, stem, extension), c.result) << c.name;
    EXPECT_EQ(base, c.base) << c.name;
    EXPECT_EQ(stem, c.stem) << c.name;
    EXPECT_EQ(extension, c.extension) << c.name;
  }
}

class IntakeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::ensureProgramFolder());
    open = dir.path() + "/書類";
    drop = dir.path() + "/import";
    QDir().mkpath(QString::fromStdString(open));
    QDir().mkpath(QString::fromStdString(drop));
    doc.SetMainWindow(&window);
    CFD3Doc::SetFatalExitHandler([](int code) { FAIL() << "program would end with " << code; });
  }
  void TearDown() override {
    SetImportCopyFunction(nullptr);
    doc.CloseFolderDatabase();
  }

  IntakeRun run(const char* targetName, int limit) {
    ImportSettings settings;
    settings.folderMax = limit;
    doc.SetImportSettings(settings);
    return IntakeRun(doc, progress, open, targetName, "パスが不正です。(MWIO:01)", limit);
  }

  // Stack titles with their page counts, and the number of single items.
  struct Contents {
    std::map<std::string, int> stacks;
    int items = 0;
    int singles = 0;
  };
  Contents contentsOf(const std::string& folder) {
    Contents c;
    int exists = 0;
    if (doc.CheckFolderDatabase(folder, exists) != 0 || !exists || !doc.OpenFolderDatabase(folder)) return c;
    FolderDatabase& db = doc.Database();
    db.GetTotalItemCount(c.items);
    if (db.GetFirstStack() == 0) {
      for (;;) {
        StackInfo stack;
        int end = 0;
        if (db.GetNextStack(stack, end) != 0 || end) break;
        c.stacks[stack.Title] = stack.PageCount;
      }
      db.PostStack();
    }
    int stacked = 0;
    for (const auto& [title, pages] : c.stacks) stacked += pages;
    c.singles = c.items - stacked;
    doc.CloseFolderDatabase();
    return c;
  }

  std::string request(const std::vector<std::vector<std::string>>& objects, const std::string& stackTitle = "綴り") {
    const std::string ini = drop + "/req.ini";
    platform::writeProfileString(ini, "Command", "ImportObjCount", std::to_string(objects.size()));
    int n = 0;
    for (const auto& names : objects) {
      const std::string section = "ImportObj" + std::to_string(++n);
      platform::writeProfileString(ini, section, "ItemCount", std::to_string(names.size()));
      platform::writeProfileString(ini, section, "StackTitle", stackTitle);
      for (std::size_t k = 0; k < names.size(); ++k) {
        const std::string number = std::to_string(k + 1);
        platform::writeProfileString(ini, section, "ItemTitle" + number, platform::stemOf(names[k]));
        platform::writeProfileString(ini, section, "ItemExt" + number, platform::extensionOf(names[k]));
      }
    }
    return ini;
  }

  testsupport::TempDir dir;
  std::string open;
  std::string drop;
  platform::RecordingUserInteraction boxes;
  QMainWindow window;
  CFD3Doc doc;
  ImportProgressDlg progress;
};

TEST_F(IntakeTest, ObjectLargerThanTheFolderLimitSpreadsOverNumberedFolders) {
  std::vector<std::string> names;
  for (int i = 1; i <= 25; ++i) {
    names.push_back("p" + std::to_string(100 + i) + ".txt");
    ASSERT_TRUE(writeFile(drop + "/" + names.back(), "page " + std::to_string(i)));
  }
  const std::string ini = request({names});
  IntakeRun r = run(kListImportFolderName, 10);
  const ListImportOutcome outcome = RunListImport(r, drop, ini);

  EXPECT_TRUE(outcome.complete);
  EXPECT_TRUE(outcome.dropFolderDeleted);
  EXPECT_FALSE(fileExists(drop));
  const std::string first = open + "/KPXからのインポート";
  EXPECT_EQ(r.firstFolder, first);
  EXPECT_EQ(r.registered, 25);
  const int expected[] = {10, 10, 5};
  const std::string folders[] = {first, first + "2", first + "3"};
  for (int i = 0; i < 3; ++i) {
    const Contents c = contentsOf(folders[i]);
    EXPECT_EQ(c.items, expected[i]) << folders[i];
    ASSERT_EQ(c.stacks.size(), 1u) << folders[i];
    EXPECT_EQ(c.stacks.begin()->first, "綴り") << folders[i];
  }
  EXPECT_FALSE(fileExists(first + "4"));
  EXPECT_TRUE(fileExists(folders[2] + "/info.bk"));
}

TEST_F(IntakeTest, NameThatNeedsCleaningIsFoundAndRegisteredUnderTheCleanedTitle) {
  ASSERT_TRUE(writeFile(drop + "/a[1]'.txt", "first"));
  ASSERT_TRUE(writeFile(drop + "/b#.txt", "second"));
  const std::string ini = request({{"a[1]'.txt", "b#.txt"}});
  IntakeRun r = run(kListImportFolderName, 2000);
  const ListImportOutcome outcome = RunListImport(r, drop, ini);

  EXPECT_TRUE(outcome.complete);
  const std::string target = open + "/KPXからのインポート";
  EXPECT_TRUE(fileExists(target + "/a(1).txt"));
  EXPECT_TRUE(fileExists(target + "/b.txt"));
  const std::vector<std::string> texts = boxes.texts();
  EXPECT_EQ(std::count(texts.begin(), texts.end(), kRenameMessage), 1);
}

TEST_F(IntakeTest, FailuresKeepTheDropFolderAndWhatWasRegisteredStays) {
  struct Case {
    const char* name;
    std::function<std::vector<std::vector<std::string>>()> prepare;
    int registered;
  };
  auto files = [this](std::initializer_list<const char*> names) {
    for (const char* name : names) EXPECT_TRUE(writeFile(drop + "/" + name, name));
  };
  const Case cases[] = {
      {"a file of the list is missing",
       [&] {
         files({"x1.txt", "x3.txt"});
         return std::vector<std::vector<std::string>>{{"x1.txt", "x2.txt", "x3.txt"}};
       },
       2},
      {"the copy into the folder fails",
       [&] {
         files({"y1.txt", "y2.txt"});
         SetImportCopyFunction([](const std::string&, const std::string&) { return false; });
         return std::vector<std::vector<std::string>>{{"y1.txt", "y2.txt"}};
       },
       0},
      {"a name reaches outside the drop folder",
       [&] {
         files({"z1.txt"});
         EXPECT_TRUE(writeFile(dir.path() + "/secret.txt", "outside"));
         return std::vector<std::vector<std::string>>{{"z1.txt", "../secret.txt"}};
       },
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QDir(QString::fromStdString(open)).removeRecursively();
    QDir().mkpath(QString::fromStdString(open));
    QDir(QString::fromStdString(drop)).removeRecursively();
    QDir().mkpath(QString::fromStdString(drop));
    const std::string ini = request(c.prepare());
    IntakeRun r = run(kListImportFolderName, 2000);
    const ListImportOutcome outcome = RunListImport(r, drop, ini);
    SetImportCopyFunction(nullptr);
    EXPECT_FALSE(outcome.complete);
    EXPECT_FALSE(outcome.dropFolderDeleted);
    EXPECT_TRUE(fileExists(ini));
    EXPECT_EQ(r.registered, c.registered);
    EXPECT_EQ(contentsOf(open + "/KPXからのインポート").items, c.registered);
    EXPECT_FALSE(fileExists(open + "/KPXからのインポート/secret.txt"));
  }
}

TEST_F(IntakeTest, ObjectWithoutItemsMakesNoFolderAndKeepsTheDrop) {
  const std::string ini = drop + "/req.ini";
  platform::writeProfileString(ini, "Command", "ImportObjCount", "2");
  platform::writeProfileString(ini, "ImportObj2", "ItemCount", "1");
  IntakeRun r = run(kListImportFolderName, 2000);
  const ListImportOutcome outcome = RunListImport(r, drop, ini);
  EXPECT_FALSE(fileExists(open + "/KPXからのインポート"));
  EXPECT_TRUE(r.firstFolder.empty());
  EXPECT_FALSE(outcome.dropFolderDeleted);
}

TEST_F(IntakeTest, WithoutAFolderToRegisterBelowNothingIsMadeAndTheDropStays) {
  ASSERT_TRUE(writeFile(drop + "/m.txt", "m"));
  const std::string ini = request({{"m.txt"}});
  IntakeRun r = run(kListImportFolderName, 2000);
  r.openFolder.clear();
  const ListImportOutcome outcome = RunListImport(r, drop, ini);
  EXPECT_FALSE(outcome.complete);
  EXPECT_TRUE(fileExists(drop + "/m.txt"));
  EXPECT_FALSE(QDir(QStringLiteral("KPXからのインポート")).exists());
}

TEST_F(IntakeTest, MissingRequestIsReported) {
  EXPECT_FALSE(CheckListImportRequest(drop + "/none.ini"));
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"インポート情報がありません。"});
}

TEST_F(IntakeTest, EarlierFolderBecomesStacksByBaseAndItemsInTheMigrationFolder) {
  const std::string earlier = dir.path() + "/旧データ";
  const std::string unmarked = dir.path() + "/印なし";
  QDir().mkpath(QString::fromStdString(earlier));
  QDir().mkpath(QString::fromStdString(unmarked));
  for (const char* name : {"info.idd", "info.sig"}) ASSERT_TRUE(writeFile(earlier + "/" + name, ""));
  ASSERT_TRUE(writeFile(unmarked + "/info.idd", ""));
  for (const char* name : {"請求001.TXT", "請求002.TXT", "メモ.TXT", "写真.BMP"})
    ASSERT_TRUE(writeFile(earlier + "/" + name, name));

  const std::string ini = dir.path() + "/du2.ini";
  platform::writeProfileString(ini, "OCRFD", "RegFolder", earlier + ";");
  platform::writeProfileString(ini, "OCRFD", "FolderList", ";" + unmarked);
  platform::writeProfileString(ini, "OCRFD", "SubFolders", dir.path() + "/ない");
  const std::vector<std::string> candidates = ReadMigrationCandidates(ini);
  EXPECT_EQ(candidates, (std::vector<std::string>{earlier, unmarked, dir.path() + "/ない"}));
  const std::vector<std::string> kept = KeepEarlierProductFolders(candidates);
  EXPECT_EQ(kept, std::vector<std::string>{earlier});
  EXPECT_EQ(boxes.texts().size(), 1u);  // the missing folder is named, the unmarked one passed over

  IntakeRun r = run(kMigrationFolderName, 2000);
  EXPECT_EQ(RunEarlierMigration(r, kept), intake::kDone);
  const Contents c = contentsOf(open + "/DU2からのデータ移行");
  EXPECT_EQ(c.items, 3);
  EXPECT_EQ(c.stacks, (std::map<std::string, int>{{"請求", 2}}));
  EXPECT_EQ(c.singles, 1);
  // The earlier product's files stay as they were.
  for (const char* name : {"請求001.TXT", "請求002.TXT", "メモ.TXT", "写真.BMP", "info.idd", "info.sig"})
    EXPECT_TRUE(fileExists(earlier + "/" + name)) << name;
  EXPECT_TRUE(fileExists(open + "/DU2からのデータ移行/info.bk"));
}

TEST_F(IntakeTest, TakenTargetNameIsNumbered) {
  QDir().mkpath(QString::fromStdString(open + "/DU2からのデータ移行"));
  std::string path = open + "/DU2からのデータ移行";
  EXPECT_EQ(CreateImportFolder(path), 0);
  EXPECT_EQ(path, open + "/DU2からのデータ移行2");
  EXPECT_TRUE(QDir(QString::fromStdString(path)).exists());
}

TEST(MigrationDialog, ListsEachFolderOnceAndNeedsOneForOk) {
  testsupport::TempDir dir;
  const std::string folder = dir.path() + "/Data";
  QDir().mkpath(QString::fromStdString(folder));
  ASSERT_TRUE(writeFile(folder + "/a.TXT", "x"));
  MigrationDlg dialog;
  dialog.SetFolders({folder + "/", dir.path() + "/DATA"});
  EXPECT_EQ(dialog.List()->count(), 1);  // a trailing slash and ASCII case make no second folder

  dialog.List()->DropUrls({QUrl::fromLocalFile(QString::fromStdString(folder)),
                           QUrl::fromLocalFile(QString::fromStdString(folder + "/a.TXT")),
                           QUrl::fromLocalFile(QString::fromStdString(dir.path() + "/missing"))});
  EXPECT_EQ(dialog.List()->count(), 1);
  dialog.AddFolder(dir.path());
  EXPECT_EQ(dialog.List()->count(), 2);
  EXPECT_TRUE(dialog.OkButton()->isEnabled());

  dialog.List()->setCurrentRow(1);
  dialog.OnDelete();
  dialog.List()->setCurrentRow(0);
  dialog.OnDelete();
  EXPECT_EQ(dialog.List()->count(), 0);
  EXPECT_FALSE(dialog.OkButton()->isEnabled());
  EXPECT_FALSE(dialog.DeleteButton()->isEnabled());

  dialog.SetFolderChooser([&](QWidget*, const QString&) { return QString::fromStdString(folder); });
  dialog.OnBrowse();
  dialog.accept();
  EXPECT_EQ(dialog.GetFolders(), std::vector<std::string>{folder});
}

}  // namespace
