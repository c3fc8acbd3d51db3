// The rescan of a folder tree on real folders: vanished files, files that
// cannot be read, attached texts in either order, files never registered,
// folders without a catalogue.

#include "catalogue/folder_database.h"
#include "platform/clock.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "shell/progress_reporter.h"
#include "shell/rescan_folder.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMainWindow>

#include <gtest/gtest.h>

#include <fstream>

#include <sys/stat.h>

namespace {

class RescanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::ensureProgramFolder());
    root = dir.path() + "/書類/";
    cataloguetest::makeCatalogueFolder(root.substr(0, root.size() - 1));
    doc.SetMainWindow(&window);
    CFD3Doc::SetFatalExitHandler([](int code) { FAIL() << "program would end with " << code; });
    platform::setFixedNowForTests(QDateTime(QDate(2026, 12, 24), QTime(10, 0)));
  }
  void TearDown() override {
    platform::setFixedNowForTests(std::nullopt);
    doc.CloseFolderDatabase();
  }
  void touch(const std::string& path, const std::string& text = "x") { std::ofstream(path) << text; }
  void image(const std::string& path) {
    QImage page(40, 30, QImage::Format_RGB888);
    page.fill(Qt::white);
    ASSERT_TRUE(page.save(QString::fromStdString(path), "JPG"));
  }
  std::vector<ItemInfo> items(const std::string& folder) {
    std::vector<ItemInfo> all;
    if (!doc.OpenFolderDatabase(folder)) return all;
    FolderDatabase& db = doc.Database();
    if (db.GetFirstItem() != 0) return all;
    for (;;) {
      ItemInfo info;
      int end = 0;
      if (db.GetSingleItemNextInfo(info, end) != 0 || end) break;
      all.push_back(info);
    }
    db.PostSingleItem();
    return all;
  }
  std::vector<std::string> names(const std::string& folder) {
    std::vector<std::string> out;
    for (const ItemInfo& item : items(folder)) out.push_back(item.Title + "." + item.Ext + "|" + item.TextExt);
    std::sort(out.begin(), out.end());
    return out;
  }
  std::string plain(const std::string& path) const { return path.substr(0, path.size() - 1); }

  testsupport::TempDir dir;
  std::string root;
  QMainWindow window;
  CFD3Doc doc;
  platform::RecordingUserInteraction boxes;
  RescanReport report;
};

TEST_F(RescanTest, VanishedFilesGoUnreadableOnesStayAndNewFilesAreRegistered) {
  {
    cataloguetest::CatalogueRows rows(plain(root));
    rows.addItem({.itemNo = 1, .title = "gone"});
    rows.addItem({.itemNo = 2, .title = "locked"});
    rows.addItem({.itemNo = 3, .title = "kept"});
  }
  touch(root + "kept.bmp");
  touch(root + "locked.bmp");
  ASSERT_EQ(::chmod((root + "locked.bmp").c_str(), 0), 0);
  touch(root + "x.dll");
  touch(root + "noextension");
  touch(root + "new.doc");
  // A path past 260 bytes is left out and reported; so is a folder whose
  // catalogue would lie past it.
  // (a title of 190 bytes passes the title rules; its path does not)
  const std::string shelf = root + std::string(60, 'p') + "/";
  QDir().mkpath(QString::fromStdString(shelf));
  const std::string longFile = shelf + std::string(190, 'l') + ".doc";
  touch(longFile);
  const std::string deep = root + std::string(262 - root.size(), 'd') + "/";
  QDir().mkpath(QString::fromStdString(deep));
  touch(deep + "in.doc");
  QDir().mkpath(QString::fromStdString(root + "sub"));
  touch(root + "sub/inner.doc");
  NullProgressReporter progress;
  EXPECT_FALSE(RescanFolderTree(doc, &progress, root, 2000, report));
  ::chmod((root + "locked.bmp").c_str(), 0644);
  EXPECT_EQ(names(plain(root)), (std::vector<std::string>{"kept.bmp|", "locked.bmp|", "new.doc|"}));
  EXPECT_EQ(report.unregistered, 1);
  EXPECT_EQ(names(root + "sub"), (std::vector<std::string>{"inner.doc|"})) << "a new subfolder gets a catalogue";
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_EQ(report.skipped, (std::vector<std::string>{longFile}));
  EXPECT_TRUE(names(plain(shelf)).empty());
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(FolderDatabase::CataloguePath(plain(deep)))));
}

// An item whose file cannot be looked at (a folder on the way we may not
// search) is not taken for a vanished one.
TEST_F(RescanTest, AnItemIsUnregisteredOnlyWhenItsFileIsReallyGone) {
  if (::geteuid() == 0) GTEST_SKIP() << "root searches every folder";
  {
    cataloguetest::CatalogueRows rows(plain(root));
    rows.addItem({.itemNo = 1, .title = "there"});
  }
  touch(root + "there.bmp");
  ASSERT_EQ(::chmod(plain(root).c_str(), 0600), 0);
  RescanFolder(doc, nullptr, root, 2000, report);
  ::chmod(plain(root).c_str(), 0755);
  EXPECT_EQ(names(plain(root)), (std::vector<std::string>{"there.bmp|"}));
}

TEST_F(RescanTest, AnImageAndItsTextBecomeOneItemInEitherOrder) {
  for (const bool textFirst : {true, false}) {
    SCOPED_TRACE(textFirst ? "text first" : "image first");
    const std::string folder = root + (textFirst ? "t/" : "i/");
    QDir().mkpath(QString::fromStdString(folder));
    cataloguetest::makeCatalogueFolder(plain(folder));
    image(folder + "a.jpg");
    touch(folder + "a.jpg.TXT", "words");
    ASSERT_TRUE(doc.OpenFolderDatabase(plain(folder)));
    const std::vector<std::string> order =
        textFirst ? std::vector<std::string>{"a.jpg.TXT", "a.jpg"} : std::vector<std::string>{"a.jpg", "a.jpg.TXT"};
    EXPECT_FALSE(RegisterFoundFiles(doc, nullptr, folder, order, 2000, report));
    EXPECT_EQ(names(plain(folder)), (std::vector<std::string>{"a.jpg|TXT"}));
    const std::vector<ItemInfo> all = items(plain(folder));
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].ImageLevel, 1);
  }
}

TEST_F(RescanTest, NamesTheCatalogueCannotHoldAreReportedNotRegistered) {
  touch(root + "Memo.doc");
  ASSERT_TRUE(doc.OpenFolderDatabase(plain(root)));
  EXPECT_FALSE(RegisterFoundFiles(doc, nullptr, root, {"Memo.doc"}, 2000, report));
  touch(root + "memo.doc");
  touch(root + "한국.doc");
  EXPECT_FALSE(RegisterFoundFiles(doc, nullptr, root, {"memo.doc", "한국.doc"}, 2000, report));
  EXPECT_EQ(names(plain(root)), (std::vector<std::string>{"Memo.doc|"}));
  EXPECT_EQ(report.skipped, (std::vector<std::string>{root + "memo.doc", root + "한국.doc"}));
  EXPECT_NE(RescanReportMessage(report).find("memo.doc"), std::string::npos);
}

TEST_F(RescanTest, AFullFolderIsToldOnceAndRegistersNoMore) {
  for (const char* name : {"a.doc", "b.doc", "c.doc"}) touch(root + name);
  ASSERT_TRUE(doc.OpenFolderDatabase(plain(root)));
  EXPECT_FALSE(RegisterFoundFiles(doc, nullptr, root, {"a.doc", "b.doc", "c.doc"}, 1, report));
  EXPECT_EQ(names(plain(root)), (std::vector<std::string>{"a.doc|"}));
  EXPECT_TRUE(boxes.texts().empty()) << "told by the caller, after the progress box";
  ASSERT_EQ(report.full.size(), 1u);
  EXPECT_EQ(report.full[0].leftOut, (std::vector<std::string>{"b.doc", "c.doc"}));
  EXPECT_EQ(RescanReportMessage(report), root + "\nこのフォルダは登録上限を超えました。\n追加登録できません。"
                                                "\n登録しなかったファイル: 2 件\n  b.doc\n  c.doc");
}

// Over the limit the first titles are registered, whatever order the disk
// lists them in, and the message names the first few left out and a count.
TEST_F(RescanTest, OverTheLimitTheFirstTitlesAreRegisteredAndTheRestNamed) {
  const std::vector<std::string> files = {"k.doc", "b.doc", "請求書.doc", "a.doc", "j.doc", "c.doc",
                                          "h.doc", "d.doc", "あ.doc", "e.doc", "f.doc", "g.doc"};
  for (const std::string& name : files) touch(root + name);
  EXPECT_FALSE(RescanFolder(doc, nullptr, root, 3, report));
  EXPECT_EQ(names(plain(root)), (std::vector<std::string>{"a.doc|", "b.doc|", "c.doc|"}));
  ASSERT_EQ(report.full.size(), 1u);
  EXPECT_EQ(report.full[0].leftOut, (std::vector<std::string>{"d.doc", "e.doc", "f.doc", "g.doc", "h.doc", "j.doc",
                                                               "k.doc", "あ.doc", "請求書.doc"}));
  const std::string message = RescanReportMessage(report);
  EXPECT_NE(message.find("登録しなかったファイル: 9 件\n  d.doc\n  e.doc\n  f.doc\n  g.doc\n  h.doc\n  ほか 4 件"),
            std::string::npos)
      << message;
  EXPECT_TRUE(boxes.texts().empty());
}

}  // namespace
