// The OCR commands of the browser: the board's tile menu and the frame's
// command, the list's menu, and the launch of an application that wants the
// images as text; the real OCR control reads rendered pages.

#include "bench/page_pix.h"
#include "browser/board_menus.h"
#include "browser/list_pane.h"
#include "ocrctl/control_identity.h"
#include "platform/component_registry.h"
#include "platform/sjis_codec.h"
#include "platform/timer_source.h"
#include "shell/command_ids.h"
#include "shell/launch_program.h"
#include "shell/main_frame.h"
#include "shell/ocr_dialogs.h"
#include "tests/browser/view_fixture.h"
#include "tests/support/page_renderer.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <leptonica/allheaders.h>

namespace {

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

QAction* menuAction(QMenu& menu, int id) {
  for (QAction* a : menu.actions())
    if (a->data().toInt() == id) return a;
  return nullptr;
}

class OcrCommands : public BrowserViewFixture {
 protected:
  void SetUp() override {
    BrowserViewFixture::SetUp();
    ASSERT_TRUE(platform::registerComponent(
        {ocrctl::kControlClassId, ocrctl::kControlProgId, ocrctl::kControlTypeName, ZEQOCR30_PATH}));
    {
      cataloguetest::CatalogueRows rows(folder);
      rows.addItem({.itemNo = 1, .title = "a", .ext = "bmp"});
      rows.addItem({.itemNo = 2, .title = "b", .ext = "bmp"});
      rows.addItem({.itemNo = 3, .title = "memo", .ext = "doc"});
    }
    for (const char* name : {"a.bmp", "b.bmp"}) {
      testpages::PageBuilder builder(900, 200, 300);
      builder.addText({100, 60}, QStringLiteral("日本語の文書を読み取ります。"), 12, 14, 1);
      Pix* pix = PixOfPage(builder.render());
      ASSERT_EQ(pixWrite((folder + "/" + name).c_str(), pix, IFF_BMP), 0);
      pixDestroy(&pix);
    }
    touch("memo.doc");
    frame = std::make_unique<CMainFrame>();
    frame->PreCreateWindow();
    ASSERT_TRUE(frame->OnCreate());
    v = new CFD3View(frame.get());
    frame->SetDocument(&document);
    v->AttachDocument(&document);
    v->AttachToFrame(frame.get());
    v->OnInitialUpdate();
    // The frame's own start (restoring the last folder) is over before the
    // test chooses its folder; it would otherwise come in the run's pumping.
    QCoreApplication::sendPostedEvents();
    v->BuildFolderTreeForDesktop(root);
    ASSERT_EQ(v->SelectFolderInTree(folder), 1);
    ItemInfo memo;
    ASSERT_EQ(document.Database().GetItemInfo(3, memo), 0);
    memo.ImageLevel = 0;
    ASSERT_EQ(document.Database().SetItemInfo(memo, fieldmask::kItemImageLevel), 0);
  }
  void TearDown() override {
    frame.reset();
    BrowserViewFixture::TearDown();
  }
  int entry(const std::string& title) {
    for (int i = 0; i < document.EntryList().GetCount(); ++i)
      if (document.EntryList().GetAt(i)->title == title) return i;
    return -1;
  }
  // Runs the frame's command with the progress dialog's timer moved on and
  // the interactive OCR dialog answered by pressing `buttons` in turn.
  void runOcr(std::function<void()> command, QStringList buttons = {}) {
    QTimer pusher;
    QObject::connect(&pusher, &QTimer::timeout, [&] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible()) continue;
        if (w->objectName() == QStringLiteral("dlg10210")) timers.advance(500);
        if (w->objectName() == QStringLiteral("dlg10200")) {
          pusher.stop();  // the recognition lets events through
          for (const QString& id : buttons) w->findChild<QPushButton*>(id)->click();
          return;
        }
      }
    });
    pusher.start(0);
    command();
  }
  ItemInfo item(int n) {
    ItemInfo info;
    EXPECT_EQ(document.Database().GetItemInfo(n, info), 0);
    return info;
  }

  platform::ManualTimerSource timers;
  std::unique_ptr<CMainFrame> frame;
  CFD3View* v = nullptr;
};

}  // namespace

TEST_F(OcrCommands, TheBoardsOcrReadsTheSelectedImagesOnly) {
  ThumbnailPaneWnd* b = v->GetThumbnailPane();
  b->SelectOnly(entry("memo.doc"));
  v->UpdateCommandStates();
  EXPECT_FALSE(frame->Action(cmd::kOcr)->isEnabled()) << "no image selected";
  b->Tile(entry("a.bmp"))->SetSelected(true);
  v->UpdateCommandStates();
  EXPECT_TRUE(frame->Action(cmd::kOcr)->isEnabled());
  auto menu = b->BuildTileMenu(entry("a.bmp"));
  ASSERT_TRUE(menu);
  ASSERT_NE(menuAction(*menu, tilecmd::kOcr), nullptr);
  EXPECT_TRUE(menuAction(*menu, tilecmd::kOcr)->isEnabled());

  // The interactive OCR dialog: Cancel leaves the documents as they were.
  runOcr([&] { frame->RunCommand(cmd::kOcr); }, {QStringLiteral("ctl10203"), QStringLiteral("cancel")});
  EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
  EXPECT_FALSE(exists("a.bmp.TXT"));
  EXPECT_EQ(item(1).TextExt, "");

  runOcr([&] { frame->RunCommand(cmd::kOcr); }, {QStringLiteral("ctl10203"), QStringLiteral("ctl10202")});
  EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
  EXPECT_TRUE(exists("a.bmp.TXT"));
  EXPECT_FALSE(exists("b.bmp.TXT"));
  EXPECT_FALSE(exists("memo.doc.TXT"));
  EXPECT_NE(platform::fromCp932(readAll(folder + "/a.bmp.TXT")).find("文書"), std::string::npos);
  EXPECT_EQ(item(1).TextExt, "TXT");
  EXPECT_EQ(item(2).TextExt, "");
}

TEST_F(OcrCommands, TheListsMenuOffersOcrAndALaunchWantingTextReadsFirst) {
  frame->RunCommand(cmd::kViewList);
  CListPane* list = v->GetListPane();
  ASSERT_NE(list, nullptr);
  list->SelectOnlyRow(list->RowOfEntry(entry("b.bmp")));
  v->UpdateCommandStates();
  auto menu = std::unique_ptr<QMenu>(list->BuildContextMenu(list->RowOfEntry(entry("b.bmp")), nullptr));
  ASSERT_NE(menuAction(*menu, cmd::kOcr), nullptr);
  EXPECT_TRUE(menuAction(*menu, cmd::kOcr)->isEnabled());

  // An application whose kind asks for text: b has none, so it is read first
  // and its text goes to the application.
  RecordedProgramStarts starts;
  frame->SetRegisteredApplications({{"テキスト", QStringLiteral("/bin/true"), 2}});
  runOcr([&] { frame->RunCommand(cmd::kFirstApplicationMenuEntry); });
  EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
  ASSERT_EQ(starts.starts().size(), 1u);
  EXPECT_EQ(starts.starts().front().arguments, QStringList{QString::fromStdString(folder + "/b.bmp.TXT")});
  EXPECT_TRUE(exists("b.bmp.TXT"));
  EXPECT_EQ(item(2).TextExt, "TXT");
}
