// The import of files into a folder: every kind of file the import meets,
// made in the test, through the document's own road (ImportFile,
// ImportFileBatch), with its refusals, the folder limit, a cancel half-way
// and a copy that fails.

#include "catalogue/file_utilities.h"
#include "platform/file_ops.h"
#include "platform/paths.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "shell/import_command.h"
#include "shell/import_dialogs.h"
#include "shell/import_file.h"
#include "shell/image_ctrl.h"
#include "shell/progress_dialogs.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/shell/import_fixtures.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using testsupport::fileExists;
using testsupport::writeFile;

namespace {

// Cancels at the n-th cancel test.
class CancellingProgress : public ImportProgressDlg {
 public:
  explicit CancellingProgress(int at) : at_(at) {}
  bool PumpAndCheckCancel() override { return ++pumps_ == at_; }
  int pumps() const { return pumps_; }

 private:
  int at_;
  int pumps_ = 0;
};

class ImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::ensureProgramFolder());
    folder = dir.path() + "/書類";
    source = dir.path() + "/持ち込み";
    QDir().mkpath(QString::fromStdString(folder));
    QDir().mkpath(QString::fromStdString(source));
    doc.SetMainWindow(&window);
    CFD3Doc::SetFatalExitHandler([](int code) { FAIL() << "program would end with " << code; });
  }
  void TearDown() override {
    SetImportCopyFunction(nullptr);
    doc.CloseFolderDatabase();
  }

  int import(const std::string& name, EntryRef* result = nullptr, bool messages = true,
             ImportProgressDlg* progress = nullptr) {
    return doc.ImportFile(progress, result, source + "/" + name, folder + "/", nullptr, std::nullopt, false,
                          messages);
  }

  // Every item of the catalogue, stacked or not, in number order.
  std::vector<ItemInfo> items() {
    std::vector<ItemInfo> all;
    FolderDatabase& db = doc.Database();
    if (!db.IsOpen() || db.GetFirstItem() != 0) return all;
    for (;;) {
      ItemInfo info;
      int end = 0;
      if (db.GetSingleItemNextInfo(info, end) != 0 || end) break;
      all.push_back(info);
    }
    db.PostSingleItem();
    std::sort(all.begin(), all.end(), [](const ItemInfo& a, const ItemInfo& b) { return a.ItemNo < b.ItemNo; });
    return all;
  }
  bool hasThumbnail(int itemNo) {
    ThumbInfo thumb;
    int found = 0;
    return doc.Database().GetThumbInfo(itemNo, thumb, found) == 0 && found == 1 && !thumb.ThumbData.empty();
  }
  // The document files of the folder (the catalogue's own files left out).
  std::vector<std::string> folderFiles() {
    std::vector<std::string> names;
    for (const QString& name : QDir(QString::fromStdString(folder)).entryList(QDir::Files))
      if (!IsDatabaseFileName(name.toStdString())) names.push_back(name.toStdString());
    std::sort(names.begin(), names.end());
    return names;
  }

  testsupport::TempDir dir;
  std::string folder;
  std::string source;
  platform::RecordingUserInteraction boxes;
  QMainWindow window;
  CFD3Doc doc;
};

struct KindCase {
  const char* name;
  std::function<bool(const std::string& path)> make;
  const char* storedAs;  // title.ext of the item
  int imageLevel;
  int fullTextLevel;
  int oleLevel;
  bool thumbnail;
};

TEST_F(ImportTest, EachKindOfFileBecomesItsItemWithFileAndThumbnail) {
  const std::string src = source;
  const KindCase cases[] = {
      {"photo.jpg", [](const std::string& p) { return importtest::writeImage(p, "JPG", QColor(30, 90, 200)); },
       "photo.jpg", 1, 0, 0, true},
      {"chart.png", [](const std::string& p) { return importtest::writeImage(p, "PNG", QColor(200, 60, 40)); },
       "chart.jpg", 1, 0, 0, true},
      {"scan.bmp", [](const std::string& p) { return importtest::writeImage(p, "BMP", QColor(40, 150, 60)); },
       "scan.jpg", 1, 0, 0, true},
      {"fax.tif", [](const std::string& p) { return importtest::writeG4Tiff(p, 1, 400, 500); }, "fax.tif", 1, 0, 0,
       true},
      {"memo.txt", [](const std::string& p) { return writeFile(p, "覚え書き\n"); }, "memo.txt", 0, 3, 0, false},
      {"report.doc", [](const std::string& p) { return importtest::writeCompoundDoc(p); }, "report.doc", 0, 1, 2,
       false},
      {"mail.eml", [](const std::string& p) { return importtest::writeMail(p); }, "mail.eml", 2, 1, 0, true},
      {"page.htm", [src](const std::string&) { return importtest::writeHtmlPage(src); }, "page.mht", 2, 1, 0, true},
      {"data.xyz", [](const std::string& p) { return writeFile(p, "\x01\x02\x03 binary"); }, "data.xyz", 0, 0, 0,
       false},
  };
  for (const KindCase& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(c.make(source + "/" + c.name));
    EntryRef made;
    ASSERT_EQ(import(c.name, &made), 1) << (boxes.texts().empty() ? "" : boxes.texts().back());
    EXPECT_EQ(made.Kind, EntryRef::kItem);
    ItemInfo item;
    ASSERT_EQ(doc.Database().GetItemInfo(made.No, item), 0);
    EXPECT_EQ(item.Title + "." + item.Ext, c.storedAs);
    EXPECT_EQ(item.ImageLevel, c.imageLevel);
    EXPECT_EQ(item.FullTextLevel, c.fullTextLevel);
    EXPECT_EQ(item.OLELevel, c.oleLevel);
    EXPECT_EQ(item.Stacked, 0);
    EXPECT_TRUE(item.TextExt.empty());
    EXPECT_GT(item.OfficialDate, 20000000);
    EXPECT_TRUE(fileExists(folder + "/" + c.storedAs));
    EXPECT_EQ(hasThumbnail(made.No), c.thumbnail);
    std::string creator;
    EXPECT_EQ(doc.Database().GetAttribute(made.No, creator, "Creator"), 0);
    EXPECT_FALSE(creator.empty());
  }
  EXPECT_TRUE(boxes.shown().empty()) << boxes.texts().front();
  // The web page went in with its pictures, packed into one file.
  const std::string mht = testsupport::readFile(folder + "/page.mht");
  std::size_t parts = 0;
  for (std::size_t at = mht.find("Content-Location:"); at != std::string::npos;
       at = mht.find("Content-Location:", at + 1))
    ++parts;
  EXPECT_EQ(parts, 3u);
  // A file kept as it was keeps its time; the copy is the same bytes.
  EXPECT_EQ(testsupport::readFile(folder + "/memo.txt"), testsupport::readFile(source + "/memo.txt"));
  EXPECT_EQ(QFileInfo(QString::fromStdString(folder + "/memo.txt")).lastModified(),
            QFileInfo(QString::fromStdString(source + "/memo.txt")).lastModified());
}

TEST_F(ImportTest, AMultiPageG4TiffBecomesAStackOfSinglePages) {
  ASSERT_TRUE(importtest::writeG4Tiff(source + "/契約書.tif", 3, 600, 800));
  EntryRef made;
  ASSERT_EQ(import("契約書.tif", &made), 1);
  ASSERT_EQ(made.Kind, EntryRef::kStack);
  StackInfo stack;
  ASSERT_EQ(doc.Database().GetStackInfo(made.No, stack), 0);
  EXPECT_EQ(stack.Title, "契約書");
  EXPECT_EQ(stack.PageCount, 3);
  EXPECT_EQ(stack.CurPageNo, 1);
  const std::vector<ItemInfo> pages = items();
  ASSERT_EQ(pages.size(), 3u);
  for (int p = 1; p <= 3; ++p) {
    const ItemInfo& page = pages[static_cast<std::size_t>(p - 1)];
    SCOPED_TRACE(page.Title);
    EXPECT_EQ(page.Title, "契約書の" + std::to_string(p) + "頁目");
    EXPECT_EQ(page.Ext, "tif");
    EXPECT_EQ(page.PageNo, p);
    EXPECT_TRUE(hasThumbnail(page.ItemNo));
    // Each page file holds its one page, not the whole source.
    CImageCtrl probe;
    ASSERT_EQ(probe.GetFileInfo(folder + "/" + page.Title + ".tif", 1, 0), 0);
    EXPECT_EQ(probe.GetDispid39(), 1);
    EXPECT_EQ(probe.GetInfoFormat(), 29);  // G4
  }
  // The same file again: the stack's title is taken, so its pages too.
  ASSERT_EQ(import("契約書.tif", &made), 1);
  ASSERT_EQ(doc.Database().GetStackInfo(made.No, stack), 0);
  EXPECT_EQ(stack.Title, "契約書その2");
  EXPECT_TRUE(fileExists(folder + "/契約書その2の1頁目.tif"));
}

TEST_F(ImportTest, ASecondImportOfTheSameNameIsNumberedその2Andその3) {
  ASSERT_TRUE(importtest::writeCompoundDoc(source + "/a.doc"));
  std::vector<std::string> titles;
  for (int i = 0; i < 3; ++i) {
    EntryRef made;
    ASSERT_EQ(import("a.doc", &made), 1);
    ItemInfo item;
    ASSERT_EQ(doc.Database().GetItemInfo(made.No, item), 0);
    titles.push_back(item.Title);
  }
  EXPECT_EQ(titles, (std::vector<std::string>{"a", "aその2", "aその3"}));
  // A file on disk that the catalogue does not know is not written over.
  ASSERT_TRUE(writeFile(folder + "/b.doc", "someone else's"));
  ASSERT_TRUE(importtest::writeCompoundDoc(source + "/b.doc"));
  EXPECT_EQ(import("b.doc"), 1);
  EXPECT_EQ(testsupport::readFile(folder + "/b.doc"), "someone else's");
  EXPECT_TRUE(fileExists(folder + "/bその2.doc"));
}

TEST_F(ImportTest, RefusedNamesAreSkippedWithTheirMessagesOrSilently) {
  struct Case {
    const char* name;
    bool messages;
    const char* told;  // start of the message, or nullptr for silence
  };
  const Case cases[] = {
      {"info.mdb", true, "このファイルはインポートできません。"},
      {"info.ini", false, nullptr},
      {"README", true, "拡張子のないファイルを"},
      {"README", false, nullptr},
      {".hidden.txt", true, "ファイル名が不正です。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + (c.messages ? " with messages" : " silent"));
    boxes.clear();
    ASSERT_TRUE(writeFile(source + "/" + c.name, "x"));
    EXPECT_EQ(import(c.name, nullptr, c.messages), 0);
    if (c.told) {
      ASSERT_EQ(boxes.shown().size(), 1u);
      EXPECT_EQ(boxes.texts()[0].rfind(c.told, 0), 0u) << boxes.texts()[0];
    } else {
      EXPECT_TRUE(boxes.shown().empty());
    }
  }
  // A title over 200 bytes is told even when messages are off.
  boxes.clear();
  const std::string longName = std::string(210, 'x') + ".txt";
  ASSERT_TRUE(writeFile(source + "/" + longName, "x"));
  EXPECT_EQ(import(longName, nullptr, false), 0);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.texts()[0], "ファイル名が長すぎます。\nこのファイルはインポートできません。");
  EXPECT_TRUE(folderFiles().empty());
}

TEST_F(ImportTest, TheFolderLimitRefusesATwoPageFileAt1999Items) {
  cataloguetest::makeCatalogueFolder(folder);
  {
    cataloguetest::CatalogueRows rows(folder);
    rows.db().executeScript("BEGIN;");
    for (int i = 1; i <= 1999; ++i) rows.addItem({.itemNo = i, .title = "p" + std::to_string(i), .ext = "txt"});
    rows.db().executeScript("COMMIT;");
  }
  ImportSettings settings;
  settings.folderMax = 2000;
  doc.SetImportSettings(settings);
  ASSERT_TRUE(importtest::writeG4Tiff(source + "/two.tif", 2, 200, 200));
  ASSERT_TRUE(importtest::writeG4Tiff(source + "/one.tif", 1, 200, 200));
  EXPECT_EQ(import("two.tif"), -2);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.texts()[0], folder + "\nこのフォルダは登録上限(2000件)を超えました。\n追加登録できません。");
  EXPECT_FALSE(fileExists(folder + "/twoの1頁目.tif"));
  EXPECT_EQ(import("one.tif"), 1);
  int count = 0;
  ASSERT_EQ(doc.Database().GetTotalItemCount(count), 0);
  EXPECT_EQ(count, 2000);
}

TEST_F(ImportTest, ACancelHalfWayThroughAStackLeavesNoLoosePage) {
  ASSERT_TRUE(importtest::writeG4Tiff(source + "/three.tif", 3, 300, 300));
  // Counted: the start, the catalogue, then three tests per page; the sixth
  // is the first of page 2, after page 1 was registered and stored.
  CancellingProgress progress(6);
  EXPECT_EQ(import("three.tif", nullptr, true, &progress), -1);
  EXPECT_EQ(progress.pumps(), 6);
  EXPECT_TRUE(items().empty());
  EXPECT_TRUE(folderFiles().empty());
  int stacks = -1;
  ASSERT_EQ(doc.Database().GetStackCount(stacks), 0);
  EXPECT_EQ(stacks, 0);
}

TEST_F(ImportTest, ACopyThatFailsOrComesShortLeavesNoEntry) {
  ASSERT_TRUE(writeFile(source + "/memo.txt", std::string(5000, 'm')));
  for (const bool reportsFailure : {true, false}) {
    SCOPED_TRACE(reportsFailure ? "the copy says it failed" : "the copy comes short");
    boxes.clear();
    SetImportCopyFunction([reportsFailure](const std::string& from, const std::string& to) {
      writeFile(to, testsupport::readFile(from).substr(0, 100));
      return !reportsFailure;
    });
    EXPECT_EQ(import("memo.txt"), -1);
    EXPECT_TRUE(items().empty());
    EXPECT_TRUE(folderFiles().empty());
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.texts()[0], "エラーが発生しました。\n処理を中断します。");
  }
  SetImportCopyFunction(nullptr);
  EXPECT_EQ(import("memo.txt"), 1);
}

TEST_F(ImportTest, ABatchBuildsOneStackOnlyFromTwoOrMoreRegisteredPages) {
  for (const char* name : {"p1.txt", "p2.txt", "p3.txt"}) ASSERT_TRUE(writeFile(source + "/" + name, name));
  ASSERT_TRUE(writeFile(source + "/p1.ocr", "text of page 1"));
  ImportProgressDlg progress;
  EntryRef result;
  ASSERT_EQ(doc.ImportFileBatch(progress, "綴り", source, {"p1.txt", "p2.txt"}, {"p1.ocr", ""}, folder,
                                {"", ""}, &result, std::nullopt, false, true),
            1);
  ASSERT_EQ(result.Kind, EntryRef::kStack);
  StackInfo stack;
  ASSERT_EQ(doc.Database().GetStackInfo(result.No, stack), 0);
  EXPECT_EQ(stack.Title, "綴り");
  EXPECT_EQ(stack.PageCount, 2);
  // The attached text went beside page 1, named after it.
  EXPECT_EQ(testsupport::readFile(folder + "/p1.txt.ocr"), "text of page 1");
  EXPECT_EQ(items()[0].TextExt, "ocr");

  // A second batch of that title: "その2"; one page refused (no extension)
  // leaves one registered page, which stays an item, no stack.
  ASSERT_TRUE(writeFile(source + "/noext", "x"));
  ASSERT_EQ(doc.ImportFileBatch(progress, "綴り", source, {"p3.txt", "noext"}, {"", ""}, folder, {"", ""}, &result,
                                std::nullopt, false, false),
            1);
  EXPECT_EQ(result.Kind, EntryRef::kItem);
  int stacks = 0;
  ASSERT_EQ(doc.Database().GetStackCount(stacks), 0);
  EXPECT_EQ(stacks, 1);

  // The attached text is never written over a file that is there; the item
  // then names none.
  ASSERT_TRUE(writeFile(folder + "/p2その2.txt.ocr", "kept"));
  ASSERT_TRUE(writeFile(source + "/p2.ocr", "new"));
  ASSERT_EQ(doc.ImportFileBatch(progress, "x", source, {"p2.txt"}, {"p2.ocr"}, folder, {""}, &result,
                                std::nullopt, false, true),
            1);
  ItemInfo item;
  ASSERT_EQ(doc.Database().GetItemInfo(result.No, item), 0);
  EXPECT_EQ(item.Title, "p2その2");
  EXPECT_TRUE(item.TextExt.empty());
  EXPECT_EQ(testsupport::readFile(folder + "/p2その2.txt.ocr"), "kept");
}

TEST_F(ImportTest, ABatchStopsAtAFailedFileAndBuildsNoStack) {
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) ASSERT_TRUE(writeFile(source + "/" + name, name));
  int copies = 0;
  SetImportCopyFunction([&copies](const std::string& from, const std::string& to) {
    return ++copies != 2 && platform::copyFileReplacing(from, to) == 0;
  });
  ImportProgressDlg progress;
  EntryRef result{EntryRef::kItem, -7};
  EXPECT_EQ(doc.ImportFileBatch(progress, "S", source, {"a.txt", "b.txt", "c.txt"}, {"", "", ""}, folder,
                                {"", "", ""}, &result, std::nullopt, false, true),
            -1);
  EXPECT_EQ(result.No, -7);
  const std::vector<ItemInfo> all = items();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].Title, "a");
  EXPECT_EQ(all[0].Stacked, 0);
  EXPECT_EQ(copies, 2);
}

// The sibling programs' drawing and page formats arrive as page images.
TEST_F(ImportTest, KpxDrawAndZrvUniFilesBecomePageImages) {
  auto le32 = [](std::int32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[static_cast<std::size_t>(i)] = static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
    return s;
  };
  std::string kpx(68, '\x55');
  kpx.replace(0, 9, std::string("Kpx Draw\0", 9));
  kpx.replace(24, 4, le32(64));
  kpx.replace(28, 4, le32(32));
  kpx.replace(32, 4, le32(200));
  for (int y = 0; y < 32; ++y) kpx += std::string(8, y % 4 == 0 ? '\x0F' : '\x01');
  ASSERT_TRUE(writeFile(source + "/図.kpx", kpx));
  EntryRef made;
  ASSERT_EQ(import("図.kpx", &made), 1) << (boxes.texts().empty() ? "" : boxes.texts().back());
  ItemInfo drawing;
  ASSERT_EQ(doc.Database().GetItemInfo(made.No, drawing), 0);
  EXPECT_EQ(drawing.Title, "図");
  EXPECT_EQ(drawing.ImageLevel, 1);
  EXPECT_TRUE(hasThumbnail(made.No));
  CImageCtrl probe;
  ASSERT_EQ(probe.GetFileInfo(folder + "/図." + drawing.Ext, 1, 0), 0);
  EXPECT_EQ(probe.GetBitsPerPixel(), 1);

  auto rec = [](const std::string& tag, const std::string& value) { return "_" + tag + value + std::string(1, '\0'); };
  auto page = [&](char ink) {
    std::string data = "_DS";
    for (int y = 0; y < 10; ++y) data += rec("DL", "3") + std::string(3, ink);
    return data + "_EP";
  };
  const std::string zrv = std::string("$$ZRV Uni\0\0\0", 12) + rec("MU", "1200") + rec("Rs", "200,200") +
                          rec("Sz", "120,60") + rec("Co", "1") + "_BP_BD" + page('\xF0') + page('\x0F');
  ASSERT_TRUE(writeFile(source + "/受信.zrv", zrv));
  ASSERT_EQ(import("受信.zrv", &made), 1) << (boxes.texts().empty() ? "" : boxes.texts().back());
  ASSERT_EQ(made.Kind, EntryRef::kStack);
  StackInfo stack;
  ASSERT_EQ(doc.Database().GetStackInfo(made.No, stack), 0);
  EXPECT_EQ(stack.Title, "受信");
  EXPECT_EQ(stack.PageCount, 2);
  EXPECT_TRUE(fileExists(folder + "/受信の1頁目.tif"));
  EXPECT_TRUE(fileExists(folder + "/受信の2頁目.tif"));
  // A file that is neither is refused as one that cannot be expanded.
  ASSERT_TRUE(writeFile(source + "/壊れ.zrv", std::string("$$ZRV Uni\0\0\0", 12) + "_MU"));
  EXPECT_EQ(import("壊れ.zrv"), 0);
  EXPECT_EQ(boxes.texts().back(), "ファイルを展開できません。\n" + source + "/壊れ.zrv");
}

// The loop's files share a few commits; a file that fails undoes only itself
// and what came before it is kept, on disk and in the catalogue.
TEST_F(ImportTest, TheImportLoopKeepsTheFilesBeforeAFailure) {
  cataloguetest::makeCatalogueFolder(folder);
  ASSERT_TRUE(doc.OpenFolderDatabase(folder));
  std::vector<ImportLoopFile> files;
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
    ASSERT_TRUE(writeFile(source + "/" + name, name));
    files.push_back({source + "/" + name, std::nullopt});
  }
  int copies = 0;
  SetImportCopyFunction([&copies](const std::string& from, const std::string& to) {
    return ++copies != 2 && platform::copyFileReplacing(from, to) == 0;
  });
  EXPECT_EQ(ImportFileLoop(doc, folder, files, &window), 1);
  EXPECT_EQ(doc.Database().TransactionDepth(), 0);
  doc.CloseFolderDatabase();
  ASSERT_TRUE(doc.OpenFolderDatabase(folder));
  const std::vector<ItemInfo> all = items();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].Title, "a");
  EXPECT_EQ(folderFiles(), std::vector<std::string>{"a.txt"});
}

TEST(ImportDialogs, TheImportDialogRefusesMoreFilesThanTheFolderTakes) {
  platform::RecordingUserInteraction boxes;
  CDlgImport dialog(nullptr, 2);
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("ファイルのインポート"));
  EXPECT_TRUE(dialog.CheckSelection({"/a", "/b"}));
  EXPECT_TRUE(dialog.CheckSelection({"/a"}));
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_FALSE(dialog.CheckSelection({"/a", "/b", "/c"}));
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text,
            "インポートできるファイル数を超えています。\nこのフォルダにインポートできるファイル数は 2件です。");
  EXPECT_EQ(boxes.shown()[0].caption, "インポート");
}

TEST(ImportDialogs, TheExtensionFilterAddsDeletesAndJoinsPatterns) {
  ExtensionFilterDlg dialog(nullptr, 1);
  EXPECT_EQ(dialog.objectName(), QStringLiteral("dlg10110"));
  ASSERT_EQ(dialog.candidates()->count(), 8);
  dialog.SetResult(QStringLiteral("*.bmp, *.tif"));
  EXPECT_EQ(dialog.chosen()->count(), 2);
  EXPECT_FALSE(dialog.deleteButton()->isEnabled());
  dialog.candidates()->setCurrentRow(6);  // the word processor's five patterns in one row
  dialog.OnAdd();
  EXPECT_TRUE(dialog.deleteButton()->isEnabled());
  EXPECT_EQ(dialog.chosen()->currentItem()->text(), QStringLiteral("*.jsw, *.jaw, *.jbw, *.jfw, *.jtd"));
  dialog.chosen()->setCurrentRow(2);
  dialog.OnDelete();  // the last: the one before takes its place
  EXPECT_EQ(dialog.chosen()->currentRow(), 1);
  dialog.accept();
  EXPECT_EQ(dialog.Result(), QStringLiteral("*.bmp, *.tif"));
  for (int i = 0; i < 2; ++i) {
    dialog.chosen()->setCurrentRow(0);
    dialog.OnDelete();
  }
  EXPECT_FALSE(dialog.deleteButton()->isEnabled());
  dialog.accept();
  EXPECT_EQ(dialog.Result(), QString());
}

TEST(ImportDialogs, AWebPageIsDrawnWithItsTextAndPictures) {
  testsupport::TempDir dir;
  ASSERT_TRUE(importtest::writeHtmlPage(dir.path()));
  CImageCtrl ctrl;
  HtmlDrawDlg draw;
  draw.SetSource(&ctrl, dir.path() + "/page.htm");
  ASSERT_EQ(draw.DoModal(), QDialog::Accepted);
  const QImage drawn = ctrl.heldImage();
  ASSERT_EQ(drawn.size(), QSize(800, 800));
  // Both pictures reached the drawing: red and blue pixels below the text.
  int red = 0, blue = 0;
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 400; ++x) {
      const QColor c = drawn.pixelColor(x, y);
      if (c.red() > 150 && c.green() < 80 && c.blue() < 80) ++red;
      if (c.blue() > 150 && c.red() < 80 && c.green() < 80) ++blue;
    }
  EXPECT_GT(red, 50);
  EXPECT_GT(blue, 50);
  draw.SetSource(&ctrl, dir.path() + "/missing.htm");
  EXPECT_EQ(draw.DoModal(), QDialog::Rejected);
}

}  // namespace
