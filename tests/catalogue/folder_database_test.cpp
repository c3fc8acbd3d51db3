#include "catalogue/folder_database.h"

#include "catalogue/recordsets.h"
#include "platform/paths.h"
#include "platform/user_interaction.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/test_env.h"

#include <QDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sqlite3.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

using namespace cataloguetest;
using testsupport::TempDir;

namespace {

std::string sourceFile(const char* name) {
  return platform::joinPath(BRINDEL_CATALOGUE_TEST_DIR, name);
}

// Builds a catalogue file from a schema script, as an older release left it.
void buildFromScript(const std::string& script, const std::string& catalogue) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(catalogue.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr),
            SQLITE_OK);
  char* error = nullptr;
  const int rc = sqlite3_exec(db, testsupport::readFile(script).c_str(), nullptr, nullptr, &error);
  EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "");
  sqlite3_free(error);
  sqlite3_close(db);
}

class FolderDatabaseTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string folder = dir.file("folder");
  void SetUp() override { makeCatalogueFolder(folder); }
};

// ---- DoesFolderExist ------------------------------------------------------

// A FIFO or a device where the catalogue lies fails as an engine error at
// once instead of holding the program on its first read.
TEST(FolderDatabaseOutsideFiles, AFifoInTheCataloguesPlaceFailsAtOnce) {
  TempDir dir;
  const std::string folder = dir.file("folder");
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
  ASSERT_EQ(::mkfifo(FolderDatabase::CataloguePath(folder).c_str(), 0600), 0);
  const auto end = testsupport::runInChild([&] {
    FolderDatabase db;
    int exists = -1, version = 0;
    db.DoesFolderExist(folder, exists, version);
    FolderDatabase writer, reader;
    return exists != 1 && writer.OpenFolder(folder, false) == dbresult::kEngine &&
           reader.OpenFolder(folder, true) == dbresult::kEngine;
  });
  EXPECT_EQ(end, testsupport::ChildEnd::True);
}

TEST_F(FolderDatabaseTest, DoesFolderExistAcceptsTheTemplateCopy) {
  FolderDatabase db;
  int exists = -1, version = 0;
  EXPECT_EQ(db.DoesFolderExist(folder, exists, version), 0);
  EXPECT_EQ(exists, 1);
  EXPECT_EQ(version, kCatalogueDatabaseVersion);
  EXPECT_FALSE(db.IsOpen());
  // Closed again: the same object can open it now, and so can another.
  EXPECT_EQ(db.OpenFolder(folder, false), 0);
}

struct NoCatalogueCase {
  const char* name;
  const char* setup;  // what folder holds
  int result;
  const char* message;  // expected last message, or "" when the record stays empty
};

class DoesFolderExistCases : public ::testing::TestWithParam<NoCatalogueCase> {};

TEST_P(DoesFolderExistCases, ReportsWhatTheFolderHolds) {
  const NoCatalogueCase& c = GetParam();
  TempDir dir;
  std::string folder = dir.file("f");
  const std::string setup = c.setup;
  if (setup == "empty path") folder.clear();
  if (setup != "missing folder" && setup != "empty path") QDir().mkpath(QString::fromStdString(folder));
  if (setup == "file instead of folder") {
    QDir().rmdir(QString::fromStdString(folder));
    testsupport::writeFile(folder, "x");
  }
  if (setup == "info.mdb is a folder") QDir().mkpath(QString::fromStdString(folder + "/info.mdb"));
  if (setup == "not a database") testsupport::writeFile(folder + "/info.mdb", std::string(4096, 'x'));
  if (setup == "empty SysEnv") {
    makeCatalogueFolder(folder);
    CatalogueRows(folder).db().execute("DELETE FROM SysEnv");
  }
  if (setup == "damaged inside") {
    makeCatalogueFolder(folder);
    {
      CatalogueRows rows(folder);
      for (int no = 1; no <= 20; ++no) rows.addItem({.itemNo = no, .title = "書類" + std::to_string(no)});
    }
    damageTableInside(folder, "ItemMST");
  }
  if (setup == "column missing") {
    makeCatalogueFolder(folder);
    CatalogueRows(folder).db().execute("ALTER TABLE ItemMST DROP COLUMN SearchHit");
  }
  if (setup == "table missing") {
    makeCatalogueFolder(folder);
    CatalogueRows(folder).db().execute("DROP TABLE AnnBoxMST");
  }

  FolderDatabase db;
  int exists = -1, version = 0;
  EXPECT_EQ(db.DoesFolderExist(folder, exists, version), c.result);
  EXPECT_EQ(exists, 0);
  EXPECT_EQ(db.GetDbLastError().message, c.message);
  EXPECT_EQ(db.GetDbLastError().code, c.result);
  EXPECT_FALSE(db.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Folders, DoesFolderExistCases,
    ::testing::Values(
        NoCatalogueCase{"EmptyPath", "empty path", 10, "文字列が、空文字列です。:DoesFolderExist"},
        NoCatalogueCase{"MissingFolder", "missing folder", 10,
                        "指定されたディレクトリが在りません。:DoesFolderExist"},
        NoCatalogueCase{"FileInsteadOfFolder", "file instead of folder", 10,
                        "指定されたディレクトリが在りません。:DoesFolderExist"},
        NoCatalogueCase{"FolderWithoutCatalogue", "plain folder", 0, ""},
        NoCatalogueCase{"CatalogueNameIsAFolder", "info.mdb is a folder", 0, ""},
        NoCatalogueCase{"EmptySysEnv", "empty SysEnv", 10,
                        "FDDBのデータベースではありません。:DoesFolderExist"},
        NoCatalogueCase{"NotADatabase", "not a database", 120,
                        "DAOのエラーです。:DoesFolderExist"},
        // A whole header over broken pages or a schema the program cannot
        // use is damage, not an empty folder.
        NoCatalogueCase{"DamagedInside", "damaged inside", 120, "DAOのエラーです。:DoesFolderExist"},
        NoCatalogueCase{"ColumnMissing", "column missing", 120, "DAOのエラーです。:DoesFolderExist"},
        NoCatalogueCase{"TableMissing", "table missing", 120, "DAOのエラーです。:DoesFolderExist"}),
    [](const auto& info) { return info.param.name; });

TEST(FolderDatabaseUpgrade, FirstFormatIsUpgradedOnceOnFirstTest) {
  TempDir dir;
  const std::string folder = dir.path();
  buildFromScript(sourceFile("fixtures/first_format_catalogue.sql"),
                  FolderDatabase::CataloguePath(folder));
  auto levels = [&] {
    SqliteDatabase raw;
    raw.openShared(FolderDatabase::CataloguePath(folder));
    ItemListRecordset items(raw);
    items.open(OpenType::Snapshot, "SELECT * FROM ItemMST ORDER BY ItemNo");
    std::string out;
    for (; !items.isEOF(); items.moveNext()) out += std::to_string(items->FullTextLevel);
    VersionRecordset version(raw);
    version.open(OpenType::Snapshot, "SELECT * FROM SysEnv");
    return out + " " + version->ApplicationVersion;
  };
  ASSERT_EQ(levels(), "00000000 1.0");

  FolderDatabase db;
  int exists = 0, version = 0;
  ASSERT_EQ(db.DoesFolderExist(folder, exists, version), 0);
  EXPECT_EQ(exists, 1);
  EXPECT_EQ(version, 10000);
  // html, htm, mht, mhtml and eml gain the full-text level; the rest keep theirs.
  EXPECT_EQ(levels(), "11111000 3.0");

  // A second test finds a current catalogue and changes nothing.
  CatalogueRows(folder).db().execute("UPDATE ItemMST SET FullTextLevel = 0 WHERE ItemNo = 1");
  ASSERT_EQ(db.DoesFolderExist(folder, exists, version), 0);
  EXPECT_EQ(levels(), "01111000 3.0");
}

TEST_F(FolderDatabaseTest, DoesFolderExistRefusesAnOpenObject) {
  FolderDatabase db;
  ASSERT_EQ(db.OpenFolder(folder, false), 0);
  int exists = -1, version = 0;
  EXPECT_EQ(db.DoesFolderExist(folder, exists, version), 30);
  EXPECT_EQ(exists, 0);
  EXPECT_EQ(db.GetDbLastError().message, "すでにデータベースがオープンされています。:DoesFolderExist");
  EXPECT_TRUE(db.IsOpen());
}

// ---- InitFolder -----------------------------------------------------------

TEST_F(FolderDatabaseTest, InitFolderCopiesTheTemplateAndReplacesACatalogue) {
  const std::string target = dir.file("target");
  QDir().mkpath(QString::fromStdString(target));
  testsupport::writeFile(FolderDatabase::CataloguePath(target), "damaged");
  FolderDatabase db;
  ASSERT_EQ(db.InitFolder(templateDbFolder(), target + "/"), 0);
  int exists = 0, version = 0;
  EXPECT_EQ(db.DoesFolderExist(target, exists, version), 0);
  EXPECT_EQ(exists, 1);
  // No temporary file is left beside it.
  EXPECT_EQ(QDir(QString::fromStdString(target)).entryList(QDir::AllEntries | QDir::Hidden |
                                                             QDir::NoDotAndDotDot),
            QStringList{"info.mdb"});
}

TEST_F(FolderDatabaseTest, InitFolderRefusesBadArguments) {
  const std::string missing = dir.file("missing");
  const std::string plain = dir.file("plain");
  QDir().mkpath(QString::fromStdString(plain));
  struct Case {
    std::string source, target;
    int code;
    std::string message;
  } cases[] = {
      {"", folder, 10, "指定されたFolderが空文字列か、または一致しています:InitFolder"},
      {folder, "", 10, "指定されたFolderが空文字列か、または一致しています:InitFolder"},
      {folder, folder, 10, "指定されたFolderが空文字列か、または一致しています:InitFolder"},
      {folder, folder + "/", 10, "指定されたFolderが空文字列か、または一致しています:InitFolder"},
      {plain, folder, 10, "コピー元 (" + plain + ") が在りません:InitFolder"},
      {missing, folder, 10, "指定されたディレクトリが在りません。:DoesFolderExist:InitFolder"},
      {folder, missing, 10, "コピー先 (" + missing + ") が在りません: InitFolder"},
  };
  for (const Case& c : cases) {
    FolderDatabase db;
    EXPECT_EQ(db.InitFolder(c.source, c.target), c.code) << c.source << " → " << c.target;
    EXPECT_EQ(db.GetDbLastError().message, c.message);
  }
  EXPECT_FALSE(testsupport::fileExists(FolderDatabase::CataloguePath(missing)));
}

TEST_F(FolderDatabaseTest, InitFolderDoesNotReplaceACatalogueThatIsOpen) {
  const std::string target = dir.file("target");
  makeCatalogueFolder(target);
  CatalogueRows(target).addItem(ItemRow{.itemNo = 1});
  FolderDatabase holder;
  ASSERT_EQ(holder.OpenFolder(target, false), 0);

  FolderDatabase db;
  EXPECT_EQ(db.InitFolder(templateDbFolder(), target), 140);
  EXPECT_EQ(db.GetDbLastError().message, "コピーに失敗");
  EXPECT_EQ(db.GetDbLastError().systemError, static_cast<std::uint32_t>(EBUSY));
  CountRecordset count(holder.Engine());
  count.open(OpenType::Snapshot, "SELECT Count(*) AS Count FROM ItemMST");
  EXPECT_EQ(count->Count, 1);
}

TEST_F(FolderDatabaseTest, InitFolderReportsAFailedCopyWithTheSystemError) {
  const std::string target = dir.file("target");
  // A folder under the catalogue's name cannot be replaced by the copy.
  QDir().mkpath(QString::fromStdString(target + "/info.mdb/keep"));
  FolderDatabase db;
  EXPECT_EQ(db.InitFolder(templateDbFolder(), target), 140);
  EXPECT_EQ(db.GetDbLastError().message, "コピーに失敗");
  EXPECT_EQ(db.GetDbLastError().systemError, static_cast<std::uint32_t>(EISDIR));
  EXPECT_EQ(QDir(QString::fromStdString(target)).entryList(QDir::AllEntries | QDir::Hidden |
                                                             QDir::NoDotAndDotDot),
            QStringList{"info.mdb"});
}

// ---- OpenFolder / CloseFolder ---------------------------------------------

TEST_F(FolderDatabaseTest, OpenAndCloseFollowTheLifeCycle) {
  FolderDatabase db;
  EXPECT_EQ(db.OpenFolder("", false), 10);
  EXPECT_EQ(db.GetDbLastError().message, "空文字列が指定されました :OpenFolder");
  ASSERT_EQ(db.OpenFolder(folder + "/", false), 0);
  EXPECT_EQ(db.FolderPath(), folder);
  EXPECT_TRUE(db.CanUpdate());
  EXPECT_EQ(db.OpenFolder(folder, false), 30);
  EXPECT_EQ(db.GetDbLastError().message, "すでにDBがオープンされています。:OpenFolder");
  EXPECT_EQ(db.CloseFolder(), 0);
  EXPECT_EQ(db.FolderPath(), "");
  EXPECT_EQ(db.CloseFolder(), 40);
  EXPECT_EQ(db.GetDbLastError().message, "すでにDBがクローズされています: CloseFolder");
  // Only the catalogue is left in the folder: no lock or journal file.
  EXPECT_EQ(QDir(QString::fromStdString(folder)).entryList(QDir::AllEntries | QDir::Hidden |
                                                             QDir::NoDotAndDotDot),
            QStringList{"info.mdb"});
}

TEST_F(FolderDatabaseTest, AFailedOpenKeepsTheEngineFieldsAndThePath) {
  const std::string empty = dir.file("empty");
  QDir().mkpath(QString::fromStdString(empty));
  FolderDatabase db;
  EXPECT_EQ(db.OpenFolder(empty, false), 120);
  const DbLastError error = db.GetDbLastError();
  EXPECT_EQ(error.message, "DAOのエラーです。:OpenFolder");
  EXPECT_NE(error.daoErrorCode, 0);
  EXPECT_EQ(error.source, "SQLite");
  EXPECT_FALSE(error.description.empty());
  EXPECT_FALSE(db.IsOpen());
  EXPECT_EQ(db.FolderPath(), empty);
  // The engine never makes a catalogue of its own.
  EXPECT_FALSE(testsupport::fileExists(FolderDatabase::CataloguePath(empty)));
}

TEST_F(FolderDatabaseTest, ASecondOpenOfTheSameCatalogueFails) {
  for (bool firstReadOnly : {false, true}) {
    FolderDatabase first;
    ASSERT_EQ(first.OpenFolder(folder, firstReadOnly), 0);
    for (const std::string& path : {folder, folder + "/"}) {
      for (bool secondReadOnly : {false, true}) {
        FolderDatabase second;
        EXPECT_EQ(second.OpenFolder(path, secondReadOnly), 120)
            << firstReadOnly << secondReadOnly << path;
        EXPECT_EQ(second.GetDbLastError().message, "DAOのエラーです。:OpenFolder");
        int exists = -1, version = 0;
        EXPECT_EQ(second.DoesFolderExist(path, exists, version), 120);
      }
    }
  }
  // Once the holder is gone the catalogue opens again.
  FolderDatabase later;
  EXPECT_EQ(later.OpenFolder(folder, false), 0);
}

TEST_F(FolderDatabaseTest, AnotherProcessCannotOpenAnOpenCatalogue) {
  FolderDatabase db;
  ASSERT_EQ(db.OpenFolder(folder, true), 0);
  const std::string path = FolderDatabase::CataloguePath(folder);
  // The child reads the catalogue with plain SQLite, as any other program
  // would; exit status 0 means it could read.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    sqlite3* other = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &other, SQLITE_OPEN_READONLY, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_exec(other, "SELECT * FROM SysEnv", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    _exit(rc == SQLITE_OK ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1) << "another process read an open catalogue";
}

TEST_F(FolderDatabaseTest, AReadOnlyOpenRefusesChanges) {
  FolderDatabase db;
  ASSERT_EQ(db.OpenFolder(folder, true), 0);
  EXPECT_FALSE(db.CanUpdate());
  EXPECT_THROW(db.Engine().execute("UPDATE SysEnv SET Platform = 'x'"), DbException);
  VersionRecordset version(db.Engine());
  version.open(OpenType::Snapshot, "SELECT * FROM SysEnv");
  EXPECT_EQ(version->ApplicationVersion, "3.0");
}

TEST_F(FolderDatabaseTest, TheDestructorClosesAnOpenCatalogue) {
  {
    FolderDatabase db;
    ASSERT_EQ(db.OpenFolder(folder, false), 0);
  }
  FolderDatabase again;
  EXPECT_EQ(again.OpenFolder(folder, false), 0);
}

// ---- what a killed copy into the folder left -------------------------------

// A copy into the folder killed before its rows were committed left its
// hidden partial copy and, placed under its name, a copy without a row that
// made a retry fail. Opening the folder removes exactly those: files still
// linked to a partial copy that no row names. A user's file of the same name
// and a copy whose row was committed stay.
TEST_F(FolderDatabaseTest, OpeningRemovesWhatAKilledCopyLeftAndNothingElse) {
  CatalogueRows(folder).addItem({.itemNo = 1, .title = "recorded", .ext = "doc"});
  auto placeLinked = [&](const std::string& name) {
    testsupport::writeFile(platform::joinPath(folder, "." + name + ".part.Ab12Cd"), name);
    ASSERT_EQ(::link(platform::joinPath(folder, "." + name + ".part.Ab12Cd").c_str(),
                     platform::joinPath(folder, name).c_str()),
              0);
  };
  placeLinked("stray.doc");     // placed, no row: the killed copy's
  placeLinked("recorded.doc");  // placed and recorded: the folder's document
  testsupport::writeFile(platform::joinPath(folder, ".mine.doc.part.Zz99zz"), "partial");
  testsupport::writeFile(platform::joinPath(folder, "mine.doc"), "the user's own file");
  testsupport::writeFile(platform::joinPath(folder, ".lost.doc.part.Qq11qq"), "half a copy");
  testsupport::writeFile(platform::joinPath(folder, "notes.part"), "the user's");

  FolderDatabase readOnly;
  ASSERT_EQ(readOnly.OpenFolder(folder, true), 0);
  ASSERT_EQ(readOnly.CloseFolder(), 0);
  EXPECT_TRUE(testsupport::fileExists(platform::joinPath(folder, "stray.doc"))) << "a read-only open changes nothing";

  FolderDatabase db;
  ASSERT_EQ(db.OpenFolder(folder, false), 0);
  std::vector<std::string> left;
  for (const QString& name : QDir(QString::fromStdString(folder)).entryList(QDir::Files | QDir::Hidden, QDir::Name))
    left.push_back(name.toStdString());
  EXPECT_EQ(left, (std::vector<std::string>{"info.mdb", "mine.doc", "notes.part", "recorded.doc"}));
  EXPECT_EQ(testsupport::readFile(platform::joinPath(folder, "mine.doc")), "the user's own file");
}

// ---- ShowLastDbError ------------------------------------------------------

TEST_F(FolderDatabaseTest, ShowLastDbErrorShowsTheDocumentCatalogueMessage) {
  platform::RecordingUserInteraction boxes;
  FolderDatabase document, other;
  SetActiveFolderDatabase(&document);
  document.CloseFolder();  // "すでにDBがクローズされています: CloseFolder"
  other.OpenFolder("", false);

  EXPECT_EQ(ShowLastDbError(0, false), 0);
  EXPECT_EQ(ShowLastDbError(-20, true), -20);
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_EQ(ShowLastDbError(-20, false), -20);
  EXPECT_EQ(ShowLastDbError(10, true), 10);
  ASSERT_EQ(boxes.shown().size(), 2u);
  // Always the document's own message, whichever object failed, without
  // the operation's name.
  EXPECT_EQ(boxes.shown()[1].text, "すでにDBがクローズされています");
  EXPECT_EQ(boxes.shown()[1].buttons, platform::Buttons::Ok);
  SetActiveFolderDatabase(nullptr);
}

TEST(DbMessageForUser, LeavesOutTheOperationNames) {
  const std::pair<const char*, const char*> cases[] = {
      {"データベースファイルのコピーまたは削除に失敗しました。 : CompactFolder",
       "データベースファイルのコピーまたは削除に失敗しました。"},
      {"DAOのエラーです。:OpenFolder:CompactFolder", "DAOのエラーです。"},
      {"リードオンリーです。 : RegisterItem", "リードオンリーです。"},
      {"GetFirst..(),GetNext..()のループ中です。: RegisterItem", "GetFirst..(),GetNext..()のループ中です。"},
      {"コピー先 (/home/a:b) が在りません: InitFolder", "コピー先 (/home/a:b) が在りません"},
      {"コピーに失敗", "コピーに失敗"},
      // Nothing but a name: better the name than an empty box.
      {": CloseFolder", ": CloseFolder"},
  };
  for (const auto& [message, shown] : cases) EXPECT_EQ(DbMessageForUser(message), shown) << message;
}

TEST(FolderDatabaseTemplate, HoldsTheTenTablesAndOneCurrentSysEnvRow) {
  SqliteDatabase raw;
  raw.openShared(platform::joinPath(templateDbFolder(), "info.mdb"));
  Statement tables(raw, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
  std::string names;
  while (tables.step()) names += tables.textAt(0) + " ";
  EXPECT_EQ(names,
            "AnnBoxMST CommentMST CreatorMST ItemMST ItemTRN KeywordMST SortTRN StackMST SysEnv "
            "ThumbMST ");
  VersionRecordset version(raw);
  version.open(OpenType::Snapshot, "SELECT * FROM SysEnv");
  ASSERT_EQ(version.recordCount(), 1u);
  EXPECT_EQ(version->ApplicationVersion, "3.0");
  EXPECT_EQ(version->DatabaseVersion, 10000);
}

}  // namespace
