// OCR of selected documents into their attached texts, with the real OCR
// control created through the component registry on rendered pages.

#include "bench/page_pix.h"
#include "catalogue/folder_database.h"
#include "catalogue/file_utilities.h"
#include "ocrctl/control_identity.h"
#include "platform/clock.h"
#include "platform/component_registry.h"
#include "platform/program_folder.h"
#include "platform/sjis_codec.h"
#include "platform/timer_source.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "shell/launch_documents.h"
#include "shell/ocr_batch.h"
#include "shell/ocr_dialogs.h"
#include "shell/ocr_interactive_dlg.h"
#include "shell/ocr_run.h"
#include "shell/ocr_sibling.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/shell/fresh_environment.h"
#include "tests/support/page_renderer.h"
#include "tests/support/edit_distance.h"
#include "tests/support/test_env.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <gtest/gtest.h>
#include <leptonica/allheaders.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool exists(const std::string& path) { return fs::exists(fs::u8path(path)); }

using testsupport::editDistance;

QString flat(const QString& s) {
  QString out = s.normalized(QString::NormalizationForm_KC);
  out.remove(QRegularExpression(QStringLiteral("\\s")));
  return out;
}

const QString kLine = QStringLiteral("日本語の文書を読み取ります。");

// A page of printed Japanese, `lines` lines of kLine, as a 1-bit BMP at 300 dpi.
void writePage(const std::string& path, int lines, int width = 1200) {
  testpages::PageBuilder builder(width, 150 + lines * 90, 300);
  builder.addText({100, 60}, kLine, 12, 14, lines);
  const testpages::RenderedPage page = builder.render();
  Pix* pix = PixOfPage(page);
  ASSERT_EQ(pixWrite(path.c_str(), pix, IFF_BMP), 0) << path;
  pixDestroy(&pix);
}

void registerControl() {
  platform::ComponentEntry entry{ocrctl::kControlClassId, ocrctl::kControlProgId, ocrctl::kControlTypeName,
                                 ZEQOCR30_PATH};
  ASSERT_TRUE(platform::registerComponent(entry));
}

// A recogniser that reads nothing from images: "text of <name>" for each.
class NamingRecogniser : public PageRecogniser {
 public:
  bool Start() override { return true; }
  bool Load(const std::string& path) override {
    current = path;
    return true;
  }
  bool Recognise(int, std::string* text) override {
    ++read;
    *text = "読んだ " + current.substr(current.rfind('/') + 1);
    return true;
  }
  std::string current;
  int read = 0;
};

class OcrRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ensureProgramFolder();
    InitModuleFolder();
    folder = desktop.path() + "/書類";
    cataloguetest::makeCatalogueFolder(folder);
    registerControl();
  }
  void TearDown() override { document.CloseFolderDatabase(); }

  // Single image items a.bmp, b.bmp, ... and a stack "束" of two image pages.
  void fill(int singles, bool stack, int lines = 1) {
    {
      cataloguetest::CatalogueRows rows(folder);
      for (int i = 0; i < singles; ++i)
        rows.addItem({.itemNo = i + 1, .title = name(i), .ext = "bmp", .date = 20200101});
      if (stack) {
        rows.addStack(500, "束", 1);
        rows.addItem({.itemNo = 501, .title = "p1", .ext = "bmp", .stackNo = 500, .pageNo = 1, .date = 20200101});
        rows.addItem({.itemNo = 502, .title = "p2", .ext = "bmp", .stackNo = 500, .pageNo = 2, .date = 20200101});
      }
    }
    for (int i = 0; i < singles; ++i) writePage(folder + "/" + name(i) + ".bmp", lines, 900);
    if (stack)
      for (const char* p : {"p1", "p2"}) writePage(folder + "/" + p + ".bmp", lines, 900);
    document.LoadFolder(folder + "/", 0);
    ASSERT_TRUE(document.OpenFolderDatabase(folder));
  }
  static std::string name(int i) { return i < 26 ? std::string(1, static_cast<char>('a' + i)) : "n" + std::to_string(i); }
  // An item, or page 1 or 2 of the stack (item numbers 501, 502).
  ItemInfo item(int itemNo) {
    ItemInfo info;
    if (itemNo > 500) EXPECT_EQ(document.Database().Stack2Item(stackNo(), itemNo - 500, info), 0);
    else EXPECT_EQ(document.Database().GetItemInfo(itemNo, info), 0);
    return info;
  }
  // The stack's number as the catalogue holds it now.
  int stackNo() {
    int found = 0, number = 0;
    EXPECT_EQ(document.Database().FindStack("束", found, number), 0);
    return number;
  }
  std::vector<int> allEntries() const {
    std::vector<int> out;
    for (int i = 0; i < document.EntryList().GetCount(); ++i) out.push_back(i);
    return out;
  }
  OcrRunResult run(std::vector<int> entries, OcrRunSettings settings = {}, OcrRunHooks hooks = {}) {
    FolderSelection selection(document, std::move(entries));
    FolderOcrStore store(document);
    settings.dictionaryFolder = dictionary.path();
    // The batch starts at the first tick of its dialog's timer.
    auto onDialog = hooks.onProgressDialog;
    hooks.onProgressDialog = [&, onDialog](OcrProgressDlg& dialog) {
      if (onDialog) onDialog(dialog);
      QTimer::singleShot(0, [&] { timers.advance(500); });
    };
    return RunOcr(selection, store, document, settings, OcrReading::Batch, nullptr, hooks);
  }

  FreshEnvironment env;
  testsupport::TempDir desktop;
  testsupport::TempDir dictionary;
  platform::RecordingUserInteraction boxes;
  platform::ManualTimerSource timers;
  std::string folder;
  CFD3Doc document;
};

}  // namespace

TEST_F(OcrRoad, SelectedImagesBecomeAttachedTextsWithTheirRecords) {
  fill(1, true, 2);
  ASSERT_EQ(document.EntryList().GetCount(), 2);
  const OcrRunResult result = run(allEntries());
  EXPECT_TRUE(result.ranToEnd);
  EXPECT_EQ(result.stored, 3);
  EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
  QString truth = kLine + kLine;
  for (const char* name : {"a", "p1", "p2"}) {
    SCOPED_TRACE(name);
    const std::string text = folder + "/" + name + ".bmp.TXT";
    ASSERT_TRUE(exists(text)) << "the text goes to <title>.<ext>.TXT";
    EXPECT_FALSE(exists(folder + "/" + name + ".TXT"));
    const std::string bytes = readAll(text);
    const auto back = platform::toCp932(platform::fromCp932(bytes));
    ASSERT_TRUE(back && *back == bytes) << "Shift-JIS, as every reader of attached texts expects";
    const QString read = flat(QString::fromStdString(platform::fromCp932(bytes)));
    const int errors = editDistance(flat(truth), read);
    EXPECT_LE(errors * 1000, truth.size() * 15) << errors << " errors: " << read.toStdString();
  }
  for (int n : {1, 501, 502}) {
    EXPECT_EQ(item(n).TextExt, "TXT");
    EXPECT_EQ(item(n).LastModifiedDate, platform::todayYmd());
    EXPECT_EQ(item(n).LastAccessedDate, platform::todayYmd());
  }
  StackInfo stack;
  ASSERT_EQ(document.Database().GetStackInfo(stackNo(), stack), 0);
  EXPECT_EQ(stack.LastModifiedDate, platform::todayYmd());
  EXPECT_EQ(stack.LastAccessedDate, platform::todayYmd());
}

TEST_F(OcrRoad, ARunOverTheLimitAsksAndReadsOnlyTheLimit) {
  fill(101, false);
  OcrRunSettings settings;
  settings.ocrLevel = 7;  // the sibling application's level raises the limit
  settings.ocrProgram = 0;  // but the control reads
  const OcrRunResult result = run(allEntries(), settings);
  ASSERT_FALSE(boxes.shown().empty());
  EXPECT_EQ(boxes.shown().front().text, "一度には 100画像までしかOCRできません。\n100画像だけOCRしますか？");
  EXPECT_EQ(result.stored, 100);
  EXPECT_TRUE(exists(folder + "/" + name(99) + ".bmp.TXT"));
  EXPECT_FALSE(exists(folder + "/" + name(100) + ".bmp.TXT"));

  // Cancel at the question reads nothing.
  boxes.clear();
  boxes.script({platform::Answer::Cancel});
  settings.ocrLevel = 0;
  const OcrRunResult refused = run(allEntries(), settings);
  EXPECT_TRUE(refused.givenUp);
  EXPECT_EQ(boxes.shown().front().text, "一度には 50画像までしかOCRできません。\n50画像だけOCRしますか？");
}

TEST_F(OcrRoad, TheInteractiveRoadTakesTheLimitAndStoresOnlyWhatItsDialogKeeps) {
  fill(51, false);
  FolderOcrStore store(document);
  OcrRunSettings settings;
  settings.dictionaryFolder = dictionary.path();
  int shown = 0;
  // Image 0 read, then OK or Cancel.
  auto interactively = [&](std::vector<int> entries, const char* button) {
    FolderSelection selection(document, std::move(entries));
    OcrRunHooks hooks;
    hooks.onDialog = [&shown, button](OcrDlg& dialog) {
      shown = dialog.findChild<QComboBox*>(QStringLiteral("ctl10207"))->count();
      QTimer::singleShot(0, &dialog, [&dialog, button] {
        dialog.findChild<QPushButton*>(QStringLiteral("ctl10201"))->click();
        dialog.findChild<QPushButton*>(QString::fromLatin1(button))->click();
      });
    };
    return RunOcr(selection, store, document, settings, OcrReading::Interactive, nullptr, hooks);
  };
  OcrRunResult result = interactively(allEntries(), "cancel");
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"一度には 50画像までしかOCRできません。\n50画像だけOCRしますか？"});
  EXPECT_EQ(shown, 50);
  EXPECT_EQ(result.stored, 0);
  EXPECT_FALSE(exists(folder + "/a.bmp.TXT")) << "Cancel keeps nothing it read";
  EXPECT_EQ(item(1).TextExt, "");

  boxes.clear();
  result = interactively(allEntries(), "ctl10202");
  EXPECT_EQ(result.stored, 1);
  EXPECT_NE(platform::fromCp932(readAll(folder + "/a.bmp.TXT")).find("文書"), std::string::npos);
  EXPECT_EQ(item(1).TextExt, "TXT");
  EXPECT_FALSE(exists(folder + "/b.bmp.TXT")) << "an image not read has no text";

  boxes.clear();
  interactively({}, "cancel");
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"画像データが選択されていません。"});
}

TEST_F(OcrRoad, AStopHalfWayKeepsTheTextsRead) {
  fill(4, false);
  OcrRunHooks hooks;
  hooks.onProgressDialog = [](OcrProgressDlg& dialog) {
    QObject::connect(&dialog, &OcrProgressDlg::pageStarted, &dialog, [&dialog](int i) {
      if (i == 2) dialog.stopButton()->click();
    });
  };
  const OcrRunResult result = run(allEntries(), {}, hooks);
  EXPECT_FALSE(result.ranToEnd);
  EXPECT_EQ(result.stored, 2) << "the pages read before the stop keep their texts";
  EXPECT_TRUE(exists(folder + "/b.bmp.TXT"));
  EXPECT_EQ(item(2).TextExt, "TXT");
  EXPECT_FALSE(exists(folder + "/c.bmp.TXT"));
  EXPECT_EQ(item(3).TextExt, "");
}

TEST_F(OcrRoad, MissingControlAndEmptySelectionAreTold) {
  fill(1, false);
  ASSERT_TRUE(platform::unregisterComponent(ocrctl::kControlClassId));
  OcrRunResult result = run(allEntries());
  EXPECT_TRUE(result.givenUp);
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"OCRコントロールを作成できません。"});
  boxes.clear();
  result = run({});
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"画像データが選択されていません。"});
}

TEST_F(OcrRoad, TextsAreReplacedOnlyWhenAllowedAndNeverOverAnotherDocument) {
  fill(3, false);
  // a has a text already; b's text name is a document of its own; c's image is broken.
  std::ofstream(folder + "/a.bmp.TXT") << "old";
  ItemInfo a = item(1);
  a.TextExt = "TXT";
  ASSERT_EQ(document.Database().SetItemInfo(a, fieldmask::kItemTextExt), 0);
  {
    document.CloseFolderDatabase();
    cataloguetest::CatalogueRows rows(folder);
    rows.addItem({.itemNo = 9, .title = "b.bmp", .ext = "TXT"});
  }
  std::ofstream(folder + "/b.bmp.TXT") << "a document";
  std::ofstream(folder + "/c.bmp") << "not an image";
  ASSERT_TRUE(document.OpenFolderDatabase(folder));

  OcrRunHooks hooks;
  hooks.makeRecogniser = [] { return std::make_unique<NamingRecogniser>(); };
  boxes.script({platform::Answer::Cancel});
  const OcrRunResult result = run({0, 1, 2}, {}, hooks);
  EXPECT_EQ(result.stored, 0);
  ASSERT_EQ(boxes.shown().size(), 2u);
  EXPECT_EQ(boxes.shown()[0].text,
            "すでに 文書「 a.bmp 」にはテキストファイルが存在します。\n上書きしてもよろしいですか？");
  EXPECT_EQ(readAll(folder + "/a.bmp.TXT"), "old");
  EXPECT_EQ(readAll(folder + "/b.bmp.TXT"), "a document");
  EXPECT_EQ(item(2).TextExt, "");
  EXPECT_FALSE(exists(folder + "/c.bmp.TXT")) << "a broken image leaves the run";
  EXPECT_EQ(item(3).TextExt, "");

  // OK replaces the old text with the new one.
  boxes.clear();
  const OcrRunResult again = run({0}, {}, hooks);
  EXPECT_EQ(again.stored, 1);
  EXPECT_EQ(platform::fromCp932(readAll(folder + "/a.bmp.TXT")), "読んだ a.bmp");
}

TEST(OcrText, InstallLeavesTheOldTextWhenTheNewCannotBeHad) {
  testsupport::TempDir dir;
  const std::string target = dir.file("a.bmp.TXT");
  std::ofstream(target) << "old";
  EXPECT_EQ(InstallAttachedText(dir.file("missing.TXT"), target, false), InstallResult::Failed);
  EXPECT_EQ(readAll(target), "old");
  std::ofstream(dir.file("new.TXT")) << "new";
  fs::permissions(target, fs::perms::owner_read);
  EXPECT_EQ(InstallAttachedText(dir.file("new.TXT"), target, false), InstallResult::Installed);
  EXPECT_EQ(readAll(target), "new");
  EXPECT_EQ(InstallAttachedText(dir.file("new.TXT"), target, true), InstallResult::BelongsToOtherDocument);
}

TEST(OcrText, ConversionsOfTheRecognisedText) {
  EXPECT_EQ(EncodeOcrText("一\n二\r\n三"), *platform::toCp932("一\r\n二\r\n三"));
  const struct {
    const char* in;
    const char* half;
  } cases[] = {
      {"カタカナ", "ｶﾀｶﾅ"}, {"ガッコウ", "ｶﾞｯｺｳ"}, {"パン", "ﾊﾟﾝ"},   {"ヴ", "ｳﾞ"},
      {"ヶ月", "ヶ月"},      {"ＡＢｃ１２", "ABc12"}, {"「テ」。", "｢ﾃ｣｡"}, {"漢字　ひら", "漢字 ひら"},
  };
  for (const auto& c : cases) EXPECT_EQ(ToHalfWidth(c.in), c.half) << c.in;
  // The sibling's text keeps its last character; only line ends and NULs go.
  EXPECT_EQ(TrimSiblingText("文書"), "文書");
  EXPECT_EQ(TrimSiblingText(std::string("文書\r\n\0", 9)), "文書");
}

TEST(OcrText, RunFlagsAndLimits) {
  const struct {
    int level, program;
    bool sibling, grey, colour;
    int limit;
  } cases[] = {
      {0, -1, false, true, true, 50},  {4, 1, true, false, false, 50}, {5, -1, true, true, false, 50},
      {7, 1, true, true, true, 100},   {7, 0, false, true, true, 100}, {6, 1, true, true, false, 50},
  };
  for (const auto& c : cases) {
    const OcrRunFlags f = OcrRunFlagsOf(c.level, c.program);
    EXPECT_EQ(f.useSibling, c.sibling) << c.level << "/" << c.program;
    EXPECT_EQ(f.keepGrey, c.grey) << c.level;
    EXPECT_EQ(f.keepColour, c.colour) << c.level;
    EXPECT_EQ(f.limit, c.limit) << c.level;
  }
}

TEST_F(OcrRoad, TheDocumentPreparesItsSelectionUnlessItIsOverTheLimit) {
  fill(3, false);
  std::vector<OcrPage> pages;
  const std::string ocrIn = platform::workFolder(platform::workfolder::kOcrIn);
  EXPECT_EQ(document.PrepareSelectionForOcr({0, 1, 2}, pages, true, true, 2, true), 3);
  EXPECT_TRUE(QDir(QString::fromStdString(ocrIn)).isEmpty()) << "over the limit nothing is converted";
  std::ofstream(folder + "/b.bmp") << "broken";
  EXPECT_EQ(document.PrepareSelectionForOcr({0, 1, 2}, pages, true, true, 2, false), 3);
  ASSERT_EQ(pages.size(), 2u) << "the broken image leaves the run";
  EXPECT_EQ(pages[0].prepared, ocrIn + "/a.bmp");
  EXPECT_EQ(pages[1].prepared, ocrIn + "/c.bmp");
  EXPECT_EQ(pages[1].resolution, 300);
  EXPECT_TRUE(exists(pages[1].prepared));
  CFD3Doc empty;
  EXPECT_EQ(empty.PrepareSelectionForOcr({}, pages, true, true, 50, true), 0);
}
