// Export, properties and in-place format conversion of board documents: a
// real document over a real folder, the dialogs answered by scripts.

#include "browser/board_export.h"
#include "browser/board_properties.h"
#include "browser/fd3_view.h"
#include "browser/format_conversion.h"
#include "browser/thumbnail_item_wnd.h"
#include "browser/thumbnail_pane_wnd.h"
#include "catalogue/file_utilities.h"
#include "catalogue/folder_database.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/busy_flag.h"
#include "shell/command_ids.h"
#include "shell/convert_dlg.h"
#include "shell/export_dlg.h"
#include "shell/fd3_doc.h"
#include "shell/image_ctrl.h"
#include "shell/main_frame.h"
#include "shell/registration_info_dlg.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/shell/fresh_environment.h"
#include "tests/shell/wait_until.h"
#include "tests/support/test_env.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QMainWindow>
#include <QAction>
#include <QStandardPaths>

#include <tiffio.h>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;
using cataloguetest::CatalogueRows;
using cataloguetest::ItemRow;

namespace {

constexpr int kToday = 20261224;
constexpr int kOld = 20261210;

// Pages and bits per sample of a TIFF file, read with libtiff.
std::vector<int> tiffPageBits(const std::string& path) {
  std::vector<int> bits;
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (!tif) return bits;
  do {
    uint16_t b = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &b);
    bits.push_back(b);
  } while (TIFFReadDirectory(tif));
  TIFFClose(tif);
  return bits;
}

QImage monoPage(int width, int height) {
  QImage page(width, height, QImage::Format_Mono);
  page.fill(1);
  for (int y = 10; y < 20; ++y)
    for (int x = 10; x < width - 10; ++x) page.setPixel(x, y, 0);
  return page;
}

QImage colourPage(int width, int height) {
  QImage page(width, height, QImage::Format_RGB888);
  page.fill(QColor(200, 40, 40));
  return page;
}

class BoardDocumentsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::ensureProgramFolder());
    folder = platform::joinPath(dir.path(), "書類");
    cataloguetest::makeCatalogueFolder(folder);
    doc.SetMainWindow(&window);
    CFD3Doc::SetFatalExitHandler([](int code) { FAIL() << "program would end with " << code; });
    platform::setFixedNowForTests(QDateTime(QDate(2026, 12, 24), QTime(10, 0)));
    SetLastExportPath("");
  }
  void TearDown() override {
    SetExportDialogRunner(nullptr);
    SetPropertyDialogRunner(nullptr);
    SetConvertDialogRunner(nullptr);
    platform::setFixedNowForTests(std::nullopt);
    doc.CloseFolderDatabase();
  }
  std::string file(const std::string& name) const { return platform::joinPath(folder, name); }
  void savePage(const std::string& name, const QImage& page) {
    ASSERT_TRUE(page.save(QString::fromStdString(file(name)), "BMP")) << name;
  }
  // The BMP writer always states a resolution; a scanner's BMP often states none.
  void clearBmpResolution(const std::string& name) {
    std::string bytes = testsupport::readFile(file(name));
    ASSERT_GT(bytes.size(), 46u);
    std::fill(bytes.begin() + 38, bytes.begin() + 46, '\0');
    ASSERT_TRUE(testsupport::writeFile(file(name), bytes));
  }
  void load() { doc.LoadFolder(folder + "/", 1); }
  int entryOf(int kind, int number) const { return doc.EntryList().Find(kind, number); }
  ItemInfo item(int itemNo) {
    ItemInfo info;
    EXPECT_EQ(doc.Database().GetItemInfo(itemNo, info), 0);
    return info;
  }
  StackInfo stack(int stackNo) {
    StackInfo info;
    EXPECT_EQ(doc.Database().GetStackInfo(stackNo, info), 0);
    return info;
  }
  std::string attribute(int itemNo, const char* kind) {
    std::string text;
    EXPECT_EQ(doc.Database().GetAttribute(itemNo, text, kind), 0);
    return text;
  }

  testsupport::TempDir dir;
  testsupport::TempDir out;
  std::string folder;
  QMainWindow window;
  CFD3Doc doc;
  platform::RecordingUserInteraction boxes;
};

// ---- export ------------------------------------------------------------------------

class ExportTest : public BoardDocumentsTest {
 protected:
  // What each dialog was shown with.
  struct Seen {
    QString folder;
    QString name;
    int skipAllowed;
    bool multiPageShown;
  };
  // Each answer gets the dialog and returns its result.
  using Answer = std::function<int(CDlgExport2&)>;

  void answer(std::vector<Answer> answers) {
    answers_ = std::move(answers);
    SetExportDialogRunner([this](CDlgExport2& dialog) {
      seen.push_back({dialog.directory().absolutePath(), dialog.fileNameEdit()->text(), dialog.skipAllowed,
                      !dialog.multiPageBox()->isHidden()});
      const size_t at = seen.size() - 1;
      return at < answers_.size() ? answers_[at](dialog) : int(QDialog::Rejected);
    });
  }
  // Saves under the proposed name in `out`, in format `code` (0: copy).
  Answer saveAs(int code, bool multiPage = false, int bits = -1) {
    return [this, code, multiPage, bits](CDlgExport2& dialog) {
      dialog.formatList()->setCurrentIndex(dialog.formatList()->findData(code));
      dialog.fileNameEdit()->setText(QString::fromStdString(out.path()) + "/" + dialog.fileNameEdit()->text());
      dialog.multiPageBox()->setChecked(multiPage);
      dialog.accept();
      if (bits >= 0) dialog.colourBits = bits;  // the depth the dialog's list does not offer
      return dialog.result();
    };
  }
  static int cancel(CDlgExport2&) { return QDialog::Rejected; }

  void makeStackOfThreeMonoPages() {
    {
      CatalogueRows rows(folder);
      rows.addStackWithPages(1, 1, 3);
    }
    for (int p = 1; p <= 3; ++p) savePage("s1p" + std::to_string(p) + ".bmp", monoPage(100 + 20 * p, 80));
    load();
  }

  std::vector<Seen> seen;

 private:
  std::vector<Answer> answers_;
};

TEST_F(ExportTest, AStackAsMultiPageTiffIsOneFileOfThreePages) {
  makeStackOfThreeMonoPages();
  answer({saveAs(3, true, 0)});
  ExportEntries(doc, {entryOf(1, 1)}, &window);
  ASSERT_EQ(seen.size(), 1u) << "later pages go into the first page's file without a dialog";
  EXPECT_TRUE(seen[0].multiPageShown);
  EXPECT_EQ(seen[0].skipAllowed, 1);
  const std::string tif = platform::joinPath(out.path(), "s1p1.tif");
  EXPECT_EQ(tiffPageBits(tif), (std::vector<int>{1, 1, 1})) << "three pages, each kept at 1 bit by depth 0";
  const mode_t mask = ::umask(0);
  ::umask(mask);
  struct stat st {};
  ASSERT_EQ(::stat(tif.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << "a new file of the user's, not a private temporary one";
  EXPECT_EQ(fs::directory_iterator(out.path()) == fs::directory_iterator(), false);
  EXPECT_EQ(std::distance(fs::directory_iterator(out.path()), fs::directory_iterator()), 1);
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_EQ(LastExportPath(), tif);
}

TEST_F(ExportTest, TheCopyChoiceGivesOneFilePerPage) {
  makeStackOfThreeMonoPages();
  answer({saveAs(0, true), saveAs(0), saveAs(0)});
  ExportEntries(doc, {entryOf(1, 1)}, &window);
  ASSERT_EQ(seen.size(), 3u);
  for (int p = 1; p <= 3; ++p) {
    const std::string name = "s1p" + std::to_string(p) + ".bmp";
    EXPECT_EQ(testsupport::readFile(platform::joinPath(out.path(), name)), testsupport::readFile(file(name))) << name;
  }
  EXPECT_EQ(seen[2].skipAllowed, 0) << "nothing follows the last page";
  EXPECT_EQ(seen[1].folder, QString::fromStdString(out.path())) << "the next file starts where the last went";
}

TEST_F(ExportTest, WithoutMultiPageEachPageHasItsDialog) {
  makeStackOfThreeMonoPages();
  answer({saveAs(3, false, 0), saveAs(3, false, 0), saveAs(3, false, 0)});
  ExportEntries(doc, {entryOf(1, 1)}, &window);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[1].name, QStringLiteral("s1p2.tif")) << "the chosen format's extension is proposed";
  for (int p = 1; p <= 3; ++p)
    EXPECT_EQ(tiffPageBits(platform::joinPath(out.path(), "s1p" + std::to_string(p) + ".tif")), std::vector<int>{1});
}

TEST_F(ExportTest, FirstExportStartsOnTheDesktopAndCancelKeepsWhatWasWritten) {
  {
    CatalogueRows rows(folder);
    for (int i = 1; i <= 3; ++i) rows.addItem({.itemNo = i, .title = "d" + std::to_string(i), .ext = "bmp"});
  }
  for (int i = 1; i <= 3; ++i) savePage("d" + std::to_string(i) + ".bmp", colourPage(40, 30));
  load();
  const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  ASSERT_TRUE(QDir().mkpath(desktop));
  answer({saveAs(0), cancel});
  ExportEntries(doc, {entryOf(0, 1), entryOf(0, 2), entryOf(0, 3)}, &window);
  ASSERT_EQ(seen.size(), 2u) << "cancel ends the export";
  EXPECT_EQ(seen[0].folder, QDir(desktop).absolutePath());
  EXPECT_EQ(seen[0].name, QStringLiteral("d1.bmp"));
  EXPECT_TRUE(fs::exists(platform::joinPath(out.path(), "d1.bmp")));
  EXPECT_FALSE(fs::exists(platform::joinPath(out.path(), "d2.bmp")));
  EXPECT_EQ(LastExportPath(), platform::joinPath(out.path(), "d1.bmp")) << "kept after a cancel";
}

TEST_F(ExportTest, OnlyTheLastFileOfTheLastDocumentIsToldNothingFollows) {
  {
    CatalogueRows rows(folder);
    rows.addStackWithPages(1, 1, 2);
    rows.addItem({.itemNo = 3, .title = "single", .ext = "bmp"});
    rows.addItem({.itemNo = 4, .title = "missing", .ext = "bmp"});
  }
  for (const char* name : {"s1p1.bmp", "s1p2.bmp", "single.bmp"}) savePage(name, colourPage(30, 30));
  load();
  answer({saveAs(0), saveAs(0), saveAs(0)});
  // The missing file is left out silently: the single item is the last file.
  ExportEntries(doc, {entryOf(1, 1), entryOf(0, 3), entryOf(0, 4)}, &window);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].skipAllowed, 1);
  EXPECT_EQ(seen[1].skipAllowed, 1);
  EXPECT_EQ(seen[2].skipAllowed, 0);
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(ExportTest, SkipLeavesOneFileOutAndGoesOn) {
  {
    CatalogueRows rows(folder);
    rows.addItem({.itemNo = 1, .title = "one", .ext = "bmp"});
    rows.addItem({.itemNo = 2, .title = "two", .ext = "bmp"});
  }
  savePage("one.bmp", colourPage(20, 20));
  savePage("two.bmp", colourPage(20, 20));
  load();
  answer({[](CDlgExport2& dialog) {
            dialog.skipButton()->click();
            return dialog.result();
          },
          saveAs(0)});
  ExportEntries(doc, {entryOf(0, 1), entryOf(0, 2)}, &window);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_FALSE(fs::exists(platform::joinPath(out.path(), "one.bmp")));
  EXPECT_TRUE(fs::exists(platform::joinPath(out.path(), "two.bmp")));
}

TEST_F(ExportTest, ABrokenPageIsReportedAndSkipped) {
  {
    CatalogueRows rows(folder);
    rows.addItem({.itemNo = 1, .title = "broken", .ext = "bmp"});
  }
  ASSERT_TRUE(testsupport::writeFile(file("broken.bmp"), "BM not a picture"));
  load();
  answer({saveAs(3)});
  ExportEntries(doc, {entryOf(0, 1)}, &window);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, "エラーが発生しました。\nファイル「" + file("broken.bmp") + "」は壊れています。");
  EXPECT_EQ(std::distance(fs::directory_iterator(out.path()), fs::directory_iterator()), 0) << "no stray file";
}

// ---- properties ----------------------------------------------------------------------

class PropertiesTest : public BoardDocumentsTest {
 protected:
  void SetUp() override {
    BoardDocumentsTest::SetUp();
    {
      CatalogueRows rows(folder);
      rows.addItem({.itemNo = 1, .title = "見積", .ext = "bmp", .date = kOld});
      rows.addStackWithPages(1, 2, 3);  // items 2, 3, 4
    }
    savePage("見積.bmp", colourPage(64, 48));
    clearBmpResolution("見積.bmp");
    load();
    ASSERT_EQ(doc.Database().SetKeyword(1, "旧"), 0);
  }
  void answer(std::function<int(QDialog&)> answer) { SetPropertyDialogRunner(std::move(answer)); }
};

TEST_F(PropertiesTest, CancelChangesOnlyTheAccessedDate) {
  ItemInfo before = item(1);
  answer([](QDialog& dialog) {
    EXPECT_NE(qobject_cast<ItemPropertyDlg*>(&dialog), nullptr);
    return int(QDialog::Rejected);
  });
  ShowEntryProperties(doc, {entryOf(0, 1)}, &window);
  before.LastAccessedDate = kToday;
  EXPECT_EQ(item(1), before);
  EXPECT_EQ(attribute(1, "Keyword"), "旧");

  StackInfo stackBefore = stack(1);
  const ItemInfo pageBefore = item(3);
  answer([](QDialog&) { return int(QDialog::Rejected); });
  ShowEntryProperties(doc, {entryOf(1, 1)}, &window);
  stackBefore.LastAccessedDate = kToday;
  EXPECT_EQ(stack(1), stackBefore);
  EXPECT_EQ(item(3), pageBefore);
}

TEST_F(PropertiesTest, OkWithoutChangesWritesNoModification) {
  ItemInfo before = item(1);
  ImageFacts shown;
  answer([&](QDialog& dialog) {
    auto& d = dynamic_cast<ItemPropertyDlg&>(dialog);
    shown = d.facts;
    d.accept();
    return d.result();
  });
  ShowEntryProperties(doc, {entryOf(0, 1)}, &window);
  before.LastAccessedDate = kToday;
  EXPECT_EQ(item(1), before);
  EXPECT_EQ(shown.size, QStringLiteral("幅 64 ピクセル x 高さ 48 ピクセル"));
  EXPECT_EQ(shown.xResolution, QStringLiteral("400")) << "a BMP without resolution takes the BMP setting";
}

TEST_F(PropertiesTest, AChangedAttributeIsAModification) {
  answer([](QDialog& dialog) {
    dialog.findChild<QLineEdit*>(QStringLiteral("ctl10283"))->setText(QStringLiteral("新"));
    dialog.accept();
    return dialog.result();
  });
  ShowEntryProperties(doc, {entryOf(0, 1)}, &window);
  EXPECT_EQ(attribute(1, "Keyword"), "新");
  EXPECT_EQ(item(1).LastModifiedDate, kToday);
  EXPECT_EQ(item(1).LastAccessedDate, kToday);
}

TEST_F(PropertiesTest, OnlyTheChangedPageOfAStackIsWritten) {
  const ItemInfo page1 = item(2), page3 = item(4);
  answer([](QDialog& dialog) {
    auto& d = dynamic_cast<DocumentPropertyDlg&>(dialog);
    d.pageChooser()->setCurrentIndex(1);
    d.findChild<QLineEdit*>(QStringLiteral("ctl10283"))->setText(QStringLiteral("二頁"));
    d.accept();
    return d.result();
  });
  ShowEntryProperties(doc, {entryOf(1, 1)}, &window);
  EXPECT_EQ(stack(1).LastModifiedDate, kToday);
  EXPECT_EQ(stack(1).LastAccessedDate, kToday);
  EXPECT_EQ(attribute(3, "Keyword"), "二頁");
  EXPECT_EQ(item(3).LastModifiedDate, kToday);
  EXPECT_EQ(item(3).LastAccessedDate, kToday);
  EXPECT_EQ(item(2), page1);
  EXPECT_EQ(item(4), page3);
}

TEST_F(PropertiesTest, AnImageThatCannotBeExaminedReadsUnknown) {
  ASSERT_TRUE(testsupport::writeFile(file("見積.bmp"), "garbage"));
  ImageFacts shown;
  answer([&](QDialog& dialog) {
    shown = dynamic_cast<ItemPropertyDlg&>(dialog).facts;
    return int(QDialog::Rejected);
  });
  ShowEntryProperties(doc, {entryOf(0, 1)}, &window);
  EXPECT_EQ(shown.format, QStringLiteral("不明"));
  EXPECT_EQ(shown.colours, QStringLiteral("不明"));
  EXPECT_TRUE(shown.xResolution.isEmpty());
}

// ---- format conversion ---------------------------------------------------------------

class ConversionTest : public BoardDocumentsTest {
 protected:
  void SetUp() override {
    BoardDocumentsTest::SetUp();
    {
      CatalogueRows rows(folder);
      rows.addItem({.itemNo = 1, .title = "page", .ext = "bmp"});
      rows.db().execute("UPDATE ItemMST SET TextExt = 'TXT' WHERE ItemNo = 1");
    }
    savePage("page.bmp", monoPage(120, 90));
    ASSERT_TRUE(testsupport::writeFile(file("page.bmp.TXT"), "本文"));
    load();
  }
  // Chooses format `code`; bits >= 0 stands for what the list gives.
  void choose(int code, int bits = -1) {
    SetConvertDialogRunner([this, code, bits](ConvertDlg& dialog) {
      presetFormat = dialog.formatCode;
      presetBits = dialog.colourBits;
      dialog.formatList()->setCurrentIndex(dialog.formatList()->findData(code));
      dialog.accept();
      if (bits >= 0) dialog.colourBits = bits;
      return dialog.result();
    });
  }
  bool thumbnailStored() {
    ThumbInfo thumb;
    int found = 0;
    EXPECT_EQ(doc.Database().GetThumbInfo(1, thumb, found), 0);
    return found != 0;
  }
  int presetFormat = -1;
  int presetBits = -1;
};

TEST_F(ConversionTest, ANewFormatRenamesFileTextRowAndThumbnailTogether) {
  choose(29);
  ASSERT_TRUE(ConvertEntryFormat(doc, {entryOf(0, 1)}, &window));
  EXPECT_EQ(presetFormat, 6) << "the dialog opens on the file's own format";
  EXPECT_EQ(presetBits, 1);
  EXPECT_FALSE(fs::exists(file("page.bmp")));
  EXPECT_FALSE(fs::exists(file("page.bmp.TXT")));
  EXPECT_EQ(testsupport::readFile(file("page.tif.TXT")), "本文");
  EXPECT_EQ(tiffPageBits(file("page.tif")), std::vector<int>{1});
  EXPECT_EQ(item(1).Ext, "tif");
  EXPECT_EQ(item(1).Title, "page");
  EXPECT_EQ(doc.EntryList().GetAt(entryOf(0, 1))->title, "page.tif");
  EXPECT_TRUE(thumbnailStored());
  EXPECT_TRUE(boxes.shown().empty());
  for (const auto& e : fs::directory_iterator(folder))
    EXPECT_NE(e.path().filename().string().front(), '.') << "no temporary file stays behind";
}

TEST_F(ConversionTest, DepthZeroKeepsTheSourcesDepth) {
  choose(3, 0);
  ASSERT_TRUE(ConvertEntryFormat(doc, {entryOf(0, 1)}, &window));
  EXPECT_EQ(tiffPageBits(file("page.tif")), std::vector<int>{1}) << "never forced to 8 bits";
}

TEST_F(ConversionTest, TheSameFormatKeepsTheName) {
  choose(6, 24);
  ASSERT_TRUE(ConvertEntryFormat(doc, {entryOf(0, 1)}, &window));
  EXPECT_EQ(item(1).Ext, "bmp");
  EXPECT_TRUE(fs::exists(file("page.bmp.TXT")));
  const std::string bmp = testsupport::readFile(file("page.bmp"));
  ASSERT_GT(bmp.size(), 30u);
  EXPECT_EQ(static_cast<unsigned char>(bmp[28]), 24) << "the header's bits per pixel";
}

TEST_F(ConversionTest, ATakenNameRefusesTheConversionAndChangesNothing) {
  ASSERT_TRUE(testsupport::writeFile(file("PAGE.TIF"), "someone else's"));
  const std::string before = testsupport::readFile(file("page.bmp"));
  choose(3);
  EXPECT_FALSE(ConvertEntryFormat(doc, {entryOf(0, 1)}, &window));
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, "ファイル「page.tif」がすでに存在するため、変換できません。");
  EXPECT_EQ(testsupport::readFile(file("page.bmp")), before);
  EXPECT_EQ(testsupport::readFile(file("PAGE.TIF")), "someone else's");
  EXPECT_TRUE(fs::exists(file("page.bmp.TXT")));
  EXPECT_EQ(item(1).Ext, "bmp");
}

TEST_F(ConversionTest, EveryPageOfAMultiPageFileIsConvertedOrTheConversionRefused) {
  doc.LoadFolder("", 0);
  doc.CloseFolderDatabase();
  {
    CatalogueRows rows(folder);
    rows.addItem({.itemNo = 2, .title = "fax", .ext = "tif"});
  }
  {
    CImageCtrl ctrl;
    for (int page = 0; page < 2; ++page) {
      ASSERT_EQ(ctrl.LoadFile(file("page.bmp"), 0, 1, 1), 0);
      ASSERT_EQ(ctrl.SaveToFile(file("fax.tif"), 3, 0, 0, page), 0);
    }
  }
  ASSERT_EQ(tiffPageBits(file("fax.tif")).size(), 2u);
  load();
  choose(10);
  EXPECT_FALSE(ConvertEntryFormat(doc, {entryOf(0, 2)}, &window));
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, "ファイル「" + file("fax.tif") + "」は複数の頁を持つため、この形式には変換できません。");
  EXPECT_EQ(tiffPageBits(file("fax.tif")).size(), 2u);

  choose(29);
  ASSERT_TRUE(ConvertEntryFormat(doc, {entryOf(0, 2)}, &window));
  EXPECT_EQ(tiffPageBits(file("fax.tif")), (std::vector<int>{1, 1})) << "both pages, in the file's own name";
}

TEST_F(ConversionTest, ABrokenFileIsReportedBeforeTheDialog) {
  ASSERT_TRUE(testsupport::writeFile(file("page.bmp"), "not a picture"));
  bool asked = false;
  SetConvertDialogRunner([&](ConvertDlg&) {
    asked = true;
    return int(QDialog::Rejected);
  });
  EXPECT_FALSE(ConvertEntryFormat(doc, {entryOf(0, 1)}, &window));
  EXPECT_FALSE(asked);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, "エラーが発生しました。\nファイル「" + file("page.bmp") + "」は壊れています。");
}

// ---- the commands in the frame --------------------------------------------------------

TEST(BoardCommandsInTheFrame, PropertiesAndConversionWorkOnTheSelectedTile) {
  FreshEnvironment env;
  ASSERT_TRUE(platform::ensureProgramFolder());
  InitModuleFolder();
  platform::RecordingUserInteraction boxes;
  platform::setFixedNowForTests(QDateTime(QDate(2026, 12, 24), QTime(10, 0)));
  testsupport::TempDir desktop;
  const std::string folder = platform::joinPath(desktop.path(), "書類");
  cataloguetest::makeCatalogueFolder(folder);
  {
    CatalogueRows rows(folder);
    rows.addItem({.itemNo = 1, .title = "見積", .ext = "bmp", .date = kOld});
  }
  ASSERT_TRUE(monoPage(90, 60).save(QString::fromStdString(platform::joinPath(folder, "見積.bmp")), "BMP"));

  CFD3Doc document;
  auto frame = std::make_unique<CMainFrame>();
  frame->PreCreateWindow();
  ASSERT_TRUE(frame->OnCreate());
  auto* view = new CFD3View(frame.get());
  frame->SetDocument(&document);
  view->AttachDocument(&document);
  view->AttachToFrame(frame.get());
  view->OnInitialUpdate();
  bool restored = false;
  QObject::connect(frame.get(), &CMainFrame::restoredAfterStart, [&restored] { restored = true; });
  frame->show();
  ASSERT_TRUE(waitUntil([&] { return restored && !IsBusy(); }));
  view->BuildFolderTreeForDesktop(desktop.path() + "/");
  ASSERT_EQ(view->SelectFolderInTree(folder), 1);
  ThumbnailPaneWnd* board = view->GetThumbnailPane();
  ASSERT_EQ(board->tileCount(), 1);
  EXPECT_FALSE(frame->Action(cmd::kProperties)->isEnabled());
  EXPECT_FALSE(frame->Action(cmd::kExport)->isEnabled());
  board->SelectOnly(0);
  EXPECT_TRUE(frame->Action(cmd::kProperties)->isEnabled());
  EXPECT_TRUE(frame->Action(cmd::kExport)->isEnabled());
  EXPECT_TRUE(view->CommandEnabled(cmd::kConvertImageFormat));

  SetPropertyDialogRunner([](QDialog&) { return int(QDialog::Rejected); });
  frame->RunCommand(cmd::kProperties);
  EXPECT_FALSE(IsBusy());
  ItemInfo item;
  ASSERT_EQ(document.Database().GetItemInfo(1, item), 0);
  EXPECT_EQ(item.LastAccessedDate, kToday);
  EXPECT_EQ(item.LastModifiedDate, kOld);

  SetConvertDialogRunner([](ConvertDlg& dialog) {
    dialog.formatList()->setCurrentIndex(dialog.formatList()->findData(29));
    dialog.accept();
    return dialog.result();
  });
  frame->RunCommand(cmd::kConvertImageFormat);
  EXPECT_FALSE(IsBusy());
  ASSERT_EQ(document.Database().GetItemInfo(1, item), 0);
  EXPECT_EQ(item.Ext, "tif");
  EXPECT_TRUE(fs::exists(platform::joinPath(folder, "見積.tif")));
  EXPECT_EQ(board->Tile(0)->GetIndex(), 0);
  EXPECT_EQ(document.EntryList().GetAt(0)->cellWidth, 0) << "the tile's cell is measured again from the new picture";
  EXPECT_TRUE(boxes.shown().empty());

  SetPropertyDialogRunner(nullptr);
  SetConvertDialogRunner(nullptr);
  platform::setFixedNowForTests(std::nullopt);
  frame->close();
  frame.reset();
  document.CloseFolderDatabase();
}

TEST(ExtensionOfAFormat, OtherSpellingsCount) {
  EXPECT_TRUE(ExtensionDenotesFormat("TIFF", 29));
  EXPECT_TRUE(ExtensionDenotesFormat("tif", 3));
  EXPECT_TRUE(ExtensionDenotesFormat("JPEG", 10));
  EXPECT_FALSE(ExtensionDenotesFormat("bmp", 3));
  EXPECT_FALSE(ExtensionDenotesFormat("tif", 10));
}

}  // namespace
