// Handing documents to applications: registered programs, the program's own
// codes, mail, the sibling applications, and the list pane's opening, drags
// and dropped files.

#include "browser/fd3_view.h"
#include "browser/list_drag.h"
#include "browser/list_pane.h"
#include "browser/search_dlg.h"
#include "browser/thumbnail_item_wnd.h"
#include "browser/thumbnail_pane_wnd.h"
#include "catalogue/catalogue_records.h"
#include "catalogue/file_utilities.h"
#include "catalogue/folder_database.h"
#include "platform/clock.h"
#include "platform/file_ops.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"
#include "shell/app_profile.h"
#include "shell/command_ids.h"
#include "shell/fd3_doc.h"
#include "shell/handoff_documents.h"
#include "shell/launch_documents.h"
#include "shell/launch_program.h"
#include "shell/main_frame.h"
#include "tests/browser/view_fixture.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/shell/fresh_environment.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QTest>
#include <QToolBar>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeImage(const std::string& path, const char* format) {
  QImage image(8, 8, QImage::Format_RGB32);
  image.fill(Qt::white);
  ASSERT_TRUE(image.save(QString::fromStdString(path), format)) << path;
}

// A program that does nothing, registered the way the real one would be.
std::string makeStandIn(const std::string& path) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path) << "#!/bin/sh\nexit 0\n";
  fs::permissions(path, fs::perms::owner_all);
  return path;
}

QStringList qlist(std::initializer_list<std::string> items) {
  QStringList out;
  for (const std::string& s : items) out << QString::fromStdString(s);
  return out;
}

class LaunchTest : public BrowserViewFixture {
 protected:
  void SetUp() override {
    BrowserViewFixture::SetUp();
    {
      cataloguetest::CatalogueRows rows(folder);
      rows.addItem({.itemNo = 1, .title = "a", .ext = "doc"});
      rows.addItem({.itemNo = 2, .title = "b", .ext = "doc"});
      rows.addItem({.itemNo = 3, .title = "pic", .ext = "png"});
      rows.addItem({.itemNo = 4, .title = "scan", .ext = "bmp"});
      rows.addStack(10, "束", 2);
      rows.addItem({.itemNo = 5, .title = "p1", .ext = "bmp", .stackNo = 10, .pageNo = 1});
      rows.addItem({.itemNo = 6, .title = "p2", .ext = "bmp", .stackNo = 10, .pageNo = 2});
    }
    touch("a.doc", "a");
    touch("b.doc", "b");
    touch("a.doc.TXT", "text of a");
    writeImage(folder + "/pic.png", "PNG");
    for (const char* name : {"scan.bmp", "p1.bmp", "p2.bmp"}) writeImage(folder + "/" + name, "BMP");
    show();
    setItem(1, [](ItemInfo& i) {
      i.TextExt = "TXT";
      i.ImageLevel = 0;
    });
    setItem(2, [](ItemInfo& i) { i.ImageLevel = 0; });
    for (int n : {3, 4, 5, 6}) setItem(n, [](ItemInfo& i) { i.ImageLevel = 1; });
  }
  template <typename F>
  void setItem(int itemNo, F change) {
    ItemInfo item;
    ASSERT_EQ(document.Database().GetItemInfo(itemNo, item), 0);
    change(item);
    ASSERT_EQ(document.Database().SetItemInfo(item, fieldmask::kItemTextExt | fieldmask::kItemImageLevel), 0);
  }
  int entryOf(const std::string& title) {
    for (int i = 0; i < document.EntryList().GetCount(); ++i)
      if (document.EntryList().GetAt(i)->title == title) return i;
    ADD_FAILURE() << title;
    return -1;
  }
  std::vector<int> entries(std::initializer_list<std::string> titles) {
    std::vector<int> out;
    for (const std::string& t : titles) out.push_back(entryOf(t));
    return out;
  }
  int accessed(int itemNo) {
    ItemInfo item;
    document.Database().GetItemInfo(itemNo, item);
    return item.LastAccessedDate;
  }
  std::string path(const std::string& name) const { return folder + "/" + name; }
  LaunchServices svc() {
    LaunchServices services;
    services.document = &document;
    return services;
  }

  testsupport::TempDir apps;
  RecordedProgramStarts starts;
};

// ---- registered applications ---------------------------------------------------------

TEST_F(LaunchTest, TheThousandsDigitSaysHowTwoDocumentsAreStarted) {
  const std::string program = makeStandIn(apps.path() + "/bin/viewer");
  struct Case {
    int code;
    std::vector<QStringList> starts;
    std::vector<std::string> texts;
  };
  const std::vector<Case> cases = {
      {0, {}, {"このアプリケーションは複数のファイルに対応していません"}},
      {1000, {qlist({path("a.doc")}), qlist({path("b.doc")})}, {}},
      {2000, {qlist({path("a.doc"), path("b.doc")})}, {}},
      {12000, {qlist({path("a.doc"), path("b.doc")})}, {}},  // only the thousands digit counts
  };
  for (const Case& c : cases) {
    starts.clear();
    boxes.clear();
    FolderSelection selection(document, entries({"a.doc", "b.doc"}));
    LaunchApplication({"表示", QString::fromStdString(program), c.code}, selection, svc());
    std::vector<QStringList> got;
    for (const ProgramStart& s : starts.starts()) {
      got.push_back(s.arguments);
      EXPECT_EQ(s.program, QString::fromStdString(program));
      EXPECT_EQ(s.workingFolder, QString::fromStdString(apps.path() + "/bin"));
    }
    EXPECT_EQ(got, c.starts) << c.code;
    EXPECT_EQ(boxes.texts(), c.texts) << c.code;
  }
}

TEST_F(LaunchTest, DatesAreStampedOnlyAfterTheStartWentOut) {
  const std::string program = makeStandIn(apps.path() + "/viewer");
  FolderSelection selection(document, entries({"a.doc"}));
  starts.succeed = false;
  LaunchApplication({"表示", QString::fromStdString(program), 2000}, selection, svc());
  EXPECT_EQ(accessed(1), 20261210);
  starts.succeed = true;
  LaunchApplication({"表示", QString::fromStdString(program), 2000}, selection, svc());
  EXPECT_EQ(accessed(1), platform::todayYmd());
  EXPECT_EQ(accessed(2), 20261210);
}

TEST_F(LaunchTest, RefusalsStartNothing) {
  const std::string program = makeStandIn(apps.path() + "/viewer");
  FolderSelection none(document, {});
  FolderSelection two(document, entries({"a.doc", "b.doc"}));
  struct Case {
    AppRegistration application;
    FolderSelection* selection;
    std::vector<std::string> texts;
  };
  const std::vector<Case> cases = {
      {{"gone", QString::fromStdString(apps.path() + "/deleted"), 2000}, &two,
       {"登録されたアプリケーションを発見できません。\n処理を中断します。"}},
      {{"表示", QString::fromStdString(program), 2000}, &none, {"文書を選択してください"}},
      {{"印刷", {}, -2}, &two, {}},
      {{"未対応", {}, -10}, &two, {"未対応"}},
      {{"OCR", {}, -4}, &two, {"画像がありません。"}},
      {{"Cardello", {}, kCardApplicationCode}, &two, {"画像がありません。"}},
      {{"印刷", {}, -1}, &none, {"文書を選択してください"}},
  };
  for (const Case& c : cases) {
    boxes.clear();
    LaunchApplication(c.application, *c.selection, svc());
    EXPECT_EQ(boxes.texts(), c.texts) << c.application.menuText.toStdString();
  }
  EXPECT_TRUE(starts.starts().empty());
}

TEST_F(LaunchTest, PreparationsHandTextsAndBmpCopies) {
  const std::string program = makeStandIn(apps.path() + "/viewer");
  // OCR text: a document with its text gives the text; an image without
  // text cannot go without the recognition step.
  FolderSelection withText(document, entries({"a.doc"}));
  LaunchApplication({"text", QString::fromStdString(program), 2002}, withText, svc());
  ASSERT_EQ(starts.starts().size(), 1u);
  EXPECT_EQ(starts.starts()[0].arguments, qlist({path("a.doc")}));  // not an image: as it is
  starts.clear();
  FolderSelection picture(document, entries({"pic.png"}));
  LaunchApplication({"bmp", QString::fromStdString(program), 2001}, picture, svc());
  ASSERT_EQ(starts.starts().size(), 1u);
  const QStringList args = starts.starts()[0].arguments;
  ASSERT_EQ(args.size(), 1);
  EXPECT_TRUE(args[0].endsWith(QStringLiteral("/pic.BMP"))) << args[0].toStdString();
  EXPECT_EQ(QImage(args[0]).size(), QSize(8, 8));
  starts.clear();
  boxes.clear();
  LaunchApplication({"ocr", QString::fromStdString(program), 2002}, picture, svc());
  EXPECT_TRUE(starts.starts().empty());
  EXPECT_EQ(boxes.texts().size(), 1u);
  // A stack given to a one-file application gives its current page only.
  starts.clear();
  FolderSelection stack(document, entries({"束"}));
  LaunchApplication({"one", QString::fromStdString(program), 0}, stack, svc());
  ASSERT_EQ(starts.starts().size(), 1u);
  EXPECT_EQ(starts.starts()[0].arguments, qlist({path("p2.bmp")}));
}

// ---- mail --------------------------------------------------------------------------------

TEST_F(LaunchTest, MailAttachesEachDocumentAndItsOwnText) {
  const std::string mailer = makeStandIn(apps.path() + "/mailer");
  OpenAppProfile()->setValue(BrowserKey(QStringLiteral("MailCommand")), QString::fromStdString(mailer));
  FolderSelection selection(document, entries({"a.doc", "b.doc"}));
  ASSERT_TRUE(MailSelection(selection, document));
  ASSERT_EQ(starts.starts().size(), 1u);
  EXPECT_EQ(starts.starts()[0].arguments, qlist({"--attach", path("a.doc"), "--attach", path("a.doc.TXT"), "--attach",
                                                path("b.doc")}));
  EXPECT_TRUE(boxes.texts().empty());
  EXPECT_EQ(accessed(2), platform::todayYmd());
  // The text gone: named in a message, the document alone goes.
  fs::remove(path("a.doc.TXT"));
  starts.clear();
  FolderSelection one(document, entries({"a.doc"}));
  ASSERT_TRUE(MailSelection(one, document));
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"ファイルが見つかりません。\n" + path("a.doc.TXT")});
  EXPECT_EQ(starts.starts()[0].arguments, qlist({"--attach", path("a.doc")}));
}

TEST_F(LaunchTest, MailWithoutTheCommandTellsAndSendsNothing) {
  OpenAppProfile()->setValue(BrowserKey(QStringLiteral("MailCommand")), QString::fromStdString(apps.path() + "/none"));
  FolderSelection selection(document, entries({"a.doc"}));
  EXPECT_FALSE(MailSelection(selection, document));
  EXPECT_EQ(boxes.texts().size(), 1u);
  EXPECT_TRUE(starts.starts().empty());
  EXPECT_EQ(accessed(1), 20261210);
  // Mail through the program's own code -3 takes the same road.
  boxes.clear();
  LaunchApplication({"メール", {}, -3}, selection, svc());
  EXPECT_EQ(boxes.texts().size(), 1u);
}

// ---- hand-offs -----------------------------------------------------------------------------

TEST(HandOff, LimitsAndListFiles) {
  EXPECT_EQ(HandOffLimit(0), 50);
  EXPECT_EQ(HandOffLimit(6), 50);
  EXPECT_EQ(HandOffLimit(7), 100);
  EXPECT_EQ(HandOffLimitOf(HandOffTarget::Cardello, 1), 100);
  EXPECT_EQ(HandOffLimitOf(HandOffTarget::Penwise, 7), 0);
  testsupport::TempDir dir;
  const std::string list = dir.path() + "/list.nam";
  ASSERT_TRUE(WriteHandOffList(list, {"/tmp/画像.bmp", "/tmp/b.bmp"}));
  EXPECT_EQ(readAll(list), *platform::toCp932("/tmp/画像.bmp") + "\r\n/tmp/b.bmp\r\n");
  // A path without a Shift-JIS form and an unwritable place leave nothing.
  EXPECT_FALSE(WriteHandOffList(dir.path() + "/x.nam", {"/tmp/\xF0\x9F\x98\x80.bmp"}));
  EXPECT_FALSE(fs::exists(dir.path() + "/x.nam"));
  EXPECT_FALSE(WriteHandOffList(dir.path() + "/missing/x.nam", {"/a"}));
}

class HandOffTest : public LaunchTest {
 protected:
  void installLumora(const char* version) {
    const std::string inst = apps.path() + "/lumora";
    makeStandIn(inst + "/lumora.exe");
    const std::string ini = platform::joinPath(platform::configFolder(), "Lumora.ini");
    platform::writeProfileString(ini, "LUMORA", "INSTPATH", inst);
    platform::writeProfileString(ini, "LUMORA", "VERSION", version);
  }
  void installCardello() {
    const std::string inst = apps.path() + "/cardello/";
    makeStandIn(inst + "Cardello.exe");
    const std::string ini = platform::joinPath(platform::configFolder(), "Cardello.ini");
    platform::writeProfileString(ini, "Cardello", "DICPATH", inst + "dic");
    platform::writeProfileString(ini, "Cardello", "VERSION", "1.0");
  }
  // n image items more in the folder, selected with nothing else.
  std::vector<int> manyImages(int n) {
    document.CloseFolderDatabase();
    {
      cataloguetest::CatalogueRows rows(folder);
      for (int i = 0; i < n; ++i) rows.addItem({.itemNo = 100 + i, .title = "m" + std::to_string(i), .ext = "bmp"});
    }
    for (int i = 0; i < n; ++i) writeImage(folder + "/m" + std::to_string(i) + ".bmp", "BMP");
    document.RequestReopen();
    document.LoadFolder(folder + "/", 1);
    std::vector<int> out;
    for (int i = 0; i < document.EntryList().GetCount(); ++i)
      if (document.EntryList().GetAt(i)->title.rfind("m", 0) == 0) out.push_back(i);
    return out;
  }
  std::vector<std::string> listLines() {
    const ProgramStart& start = starts.starts().back();
    const std::string list = start.arguments.front().mid(1).toStdString();
    std::vector<std::string> lines;
    const std::string bytes = readAll(list);
    std::size_t pos = 0;
    while (pos < bytes.size()) {
      const std::size_t end = bytes.find("\r\n", pos);
      lines.push_back(platform::fromCp932(bytes.substr(pos, end - pos)));
      pos = end + 2;
    }
    return lines;
  }
};

TEST_F(HandOffTest, OcrApplicationLimitFollowsItsLevel) {
  const std::vector<int> images = manyImages(150);
  ASSERT_EQ(images.size(), 150u);
  struct Case {
    const char* version;
    int limit;
  };
  for (const Case c : {Case{"7.0", 100}, Case{"5.0", 50}}) {
    installLumora(c.version);
    starts.clear();
    boxes.clear();
    boxes.script({platform::Answer::Ok});
    FolderSelection selection(document, images);
    LaunchApplication({"Lumora", {}, kOcrApplicationCode}, selection, svc());
    const std::string n = std::to_string(c.limit);
    ASSERT_EQ(boxes.texts(), std::vector<std::string>{"一度には " + n + "画像までしか渡せません。\n" + n + "画像だけ実行しますか？"});
    ASSERT_EQ(starts.starts().size(), 1u);
    EXPECT_EQ(starts.starts()[0].program,
              QString::fromStdString(platform::withoutTrailingSlash(platform::programFolder())) + "/runhostch2.exe");
    EXPECT_EQ(listLines().size(), static_cast<std::size_t>(c.limit));
    if (c.limit == 100) {  // only the images handed over are stamped
      int stamped = 0;
      for (int index : images) stamped += accessed(document.EntryList().GetAt(index)->number) == platform::todayYmd();
      EXPECT_EQ(stamped, 100);
    }
  }
  // Cancel hands nothing over.
  starts.clear();
  boxes.script({platform::Answer::Cancel});
  FolderSelection selection(document, images);
  LaunchApplication({"Lumora", {}, kOcrApplicationCode}, selection, svc());
  EXPECT_TRUE(starts.starts().empty());
}

TEST_F(HandOffTest, CardApplicationGetsBlackAndWhiteBmpsAndANewListEachTime) {
  FolderSelection selection(document, entries({"pic.png", "scan.bmp", "a.doc"}));
  LaunchApplication({"Cardello", {}, kCardApplicationCode}, selection, svc());
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"Cardello を発見できませんでした。"});
  EXPECT_TRUE(starts.starts().empty());
  installCardello();
  boxes.clear();
  LaunchApplication({"Cardello", {}, kCardApplicationCode}, selection, svc());
  EXPECT_TRUE(boxes.texts().empty());
  ASSERT_EQ(starts.starts().size(), 1u);
  const ProgramStart first = starts.starts()[0];
  EXPECT_EQ(first.program, QString::fromStdString(apps.path() + "/cardello/runhostcdl.exe"));
  ASSERT_EQ(first.arguments.size(), 1);
  EXPECT_TRUE(first.arguments[0].startsWith(QStringLiteral("@/")));
  EXPECT_TRUE(first.arguments[0].endsWith(QStringLiteral("/CarFile.nam")));
  const std::vector<std::string> lines = listLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(platform::fileNameOf(lines[0]), "pic.BMP");
  EXPECT_EQ(platform::fileNameOf(lines[1]), "scan.bmp");
  EXPECT_EQ(QImage(QString::fromStdString(lines[0])).depth(), 1);
  EXPECT_EQ(accessed(3), platform::todayYmd());
  EXPECT_EQ(accessed(1), 20261210);  // no image: not handed over, not stamped
  LaunchApplication({"Cardello", {}, kCardApplicationCode}, selection, svc());
  ASSERT_EQ(starts.starts().size(), 2u);
  EXPECT_NE(starts.starts()[1].arguments[0], first.arguments[0]);
  EXPECT_TRUE(fs::exists(first.arguments[0].mid(1).toStdString()));
}

TEST_F(HandOffTest, HandwritingApplicationIsFoundByItsProgramPath) {
  FolderSelection selection(document, entries({"scan.bmp"}));
  LaunchApplication({"Penwise", QString::fromStdString(apps.path() + "/pw/missing"), kHandwritingApplicationCode},
                    selection, svc());
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"Penwise を発見できませんでした。"});
  const std::string program = makeStandIn(apps.path() + "/pw/pw_hand");
  makeStandIn(apps.path() + "/pw/runhostpnw.exe");
  boxes.clear();
  LaunchApplication({"Penwise", QString::fromStdString(program), kHandwritingApplicationCode}, selection, svc());
  ASSERT_EQ(starts.starts().size(), 1u);
  EXPECT_EQ(starts.starts()[0].program, QString::fromStdString(apps.path() + "/pw/runhostpnw.exe"));
  EXPECT_EQ(starts.starts()[0].workingFolder, QString::fromStdString(apps.path() + "/pw"));
  EXPECT_TRUE(starts.starts()[0].arguments[0].endsWith(QStringLiteral("/PNWFile.nam")));
}

// ---- the list pane ---------------------------------------------------------------------------

TEST_F(LaunchTest, ListOpensRowsAndOffersTheApplications) {
  CListPane* list = view->GetListPane();
  std::vector<int> opened;
  list->openEntry = [&](int entryIndex) { opened.push_back(entryIndex); };
  list->applicationNames = [] { return QStringList{QStringLiteral("表示"), QStringLiteral("メール")}; };
  std::vector<int> commands;
  list->runCommand = [&](int id) { commands.push_back(id); };
  list->DeleteAllRows();
  for (int i = 0; i < document.EntryList().GetCount(); ++i) list->UpdateEntry(i, nullptr, nullptr);
  list->show();
  list->resize(600, 400);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(list));
  const int row = list->RowOfEntry(entryOf("a.doc"));
  const QRect rect = list->visualItemRect(list->topLevelItem(row));
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
  QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, rect.center());  // a double click ends with the button up
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, QPoint(5, list->viewport()->height() - 3));  // empty area
  QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, QPoint(5, list->viewport()->height() - 3));  // a double click ends with the button up
  EXPECT_EQ(opened, std::vector<int>{entryOf("a.doc")});
  list->SelectOnlyRow(entryOf("b.doc"));
  list->setCurrentItem(list->topLevelItem(list->RowOfEntry(entryOf("b.doc"))));
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(opened.back(), entryOf("b.doc"));
  std::unique_ptr<QMenu> menu(list->BuildContextMenu(row, nullptr));
  auto* launch = menu->findChild<QMenu*>(QStringLiteral("applicationMenu"));
  ASSERT_NE(launch, nullptr);
  ASSERT_EQ(launch->actions().size(), 2);
  EXPECT_EQ(launch->actions()[1]->text(), QStringLiteral("メール"));
  launch->actions()[1]->trigger();
  EXPECT_EQ(commands, std::vector<int>{cmd::kFirstApplicationMenuEntry + 1});
}

TEST_F(LaunchTest, RowsDraggedOntoAFolderOrAnApplicationButton) {
  CListPane* list = view->GetListPane();
  list->DeleteAllRows();
  for (int i = 0; i < document.EntryList().GetCount(); ++i) list->UpdateEntry(i, nullptr, nullptr);
  list->show();
  list->resize(600, 400);
  auto* drag = list->findChild<ListRowDrag*>();
  ASSERT_NE(drag, nullptr);
  ListRowDrag::Target target;
  drag->findTarget = [&](QPoint) { return target; };
  std::vector<std::pair<std::string, bool>> folders;
  std::vector<int> buttons;
  QObject::connect(drag, &ListRowDrag::folderDropRequested, [&](const std::string& f, bool copy) { folders.push_back({f, copy}); });
  QObject::connect(drag, &ListRowDrag::applicationDropRequested, [&](int b) { buttons.push_back(b); });
  // Two selected rows stay selected when the drag starts on one of them.
  list->SelectOnlyRow(entryOf("a.doc"));
  list->topLevelItem(list->RowOfEntry(entryOf("b.doc")))->setSelected(true);
  const QPoint start = list->visualItemRect(list->topLevelItem(list->RowOfEntry(entryOf("a.doc")))).center();
  const auto dragTo = [&](ListRowDrag::Target t, Qt::KeyboardModifiers modifiers) {
    target = t;
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, start);
    QMouseEvent move(QEvent::MouseMove, QPointF(start + QPoint(0, 40)), list->viewport()->mapToGlobal(QPointF(start + QPoint(0, 40))),
                     Qt::NoButton, Qt::LeftButton, modifiers);
    QApplication::sendEvent(list->viewport(), &move);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, modifiers, start + QPoint(0, 40));
  };
  dragTo({ListRowDrag::Target::Tree, -1, root + "移動先"}, Qt::ControlModifier);
  EXPECT_EQ(list->SelectedCount(), 2);
  dragTo({ListRowDrag::Target::Tree, -1, root + "移動先"}, {});
  dragTo({ListRowDrag::Target::Application, 3, {}}, {});
  dragTo({}, {});  // released elsewhere: nothing
  EXPECT_EQ(folders, (std::vector<std::pair<std::string, bool>>{{root + "移動先", true}, {root + "移動先", false}}));
  EXPECT_EQ(buttons, std::vector<int>{3});
  EXPECT_EQ(list->SelectedCount(), 2);
}

TEST_F(LaunchTest, FilesDroppedOnTheListAreImported) {
  testsupport::TempDir outside;
  std::vector<std::string> names;
  for (const char* n : {"x.txt", "y.txt", "z.txt"}) {
    std::ofstream(outside.path() + "/" + n) << n;
    names.push_back(outside.path() + "/" + n);
  }
  fs::create_directories(outside.path() + "/sub");
  names.insert(names.begin() + 1, outside.path() + "/sub");
  auto* drop = view->GetListPane()->findChild<ListFileDrop*>();
  ASSERT_NE(drop, nullptr);
  drop->OnDropFiles({}, names);
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"「 " + outside.path() + "/sub" + " 」をインポートしようとしました。\nフォルダはインポートできません。"});
  for (const char* n : {"x.txt", "y.txt", "z.txt"}) EXPECT_TRUE(fs::exists(path(n))) << n;
  EXPECT_GE(entryOf("x.txt"), 0);
}

// ---- through the frame ---------------------------------------------------------------------

TEST_F(LaunchTest, FrameButtonsMenuEntriesAndDropsLaunchOnTheActivePane) {
  view.reset();
  auto frame = std::make_unique<CMainFrame>();
  frame->PreCreateWindow();
  ASSERT_TRUE(frame->OnCreate());
  auto* v = new CFD3View(frame.get());
  frame->SetDocument(&document);
  v->AttachDocument(&document);
  v->AttachToFrame(frame.get());
  v->OnInitialUpdate();
  v->BuildFolderTreeForDesktop(root);
  ASSERT_EQ(v->SelectFolderInTree(folder), 1);
  const std::string program = makeStandIn(apps.path() + "/viewer");
  frame->SetRegisteredApplications({{"表示", QString::fromStdString(program), 2000}});
  ThumbnailPaneWnd* board = v->GetThumbnailPane();
  board->SelectOnly(-1);
  board->Tile(entryOf("a.doc"))->SetSelected(true);
  emit frame->applicationLaunchRequested(0);                // the bar's button
  frame->RunCommand(cmd::kFirstApplicationMenuEntry);        // the tile menu's entry
  emit board->applicationDropRequested(0);                  // tiles dropped on the button
  ASSERT_EQ(starts.starts().size(), 3u);
  for (const ProgramStart& s : starts.starts()) EXPECT_EQ(s.arguments, qlist({path("a.doc")}));
  frame.reset();
}

// ---- the search dialog's hits -----------------------------------------------------------

// Two folders A and B under root, each with one document "report<name>.doc",
// both found by a search for "report".
std::unique_ptr<CSearchDlg> searchTwoFolders(const std::string& root, CSearchDlg::Setup setup) {
  QDir().mkpath(QString::fromStdString(platform::programFolder()));
  EXPECT_EQ(platform::copyFileReplacing(cataloguetest::templateDbFolder() + "/infos.mdb",
                                        platform::joinPath(platform::programFolder(), "infos.mdb")),
            0);
  for (const char* name : {"A", "B"}) {
    const std::string folder = root + "/" + name;
    cataloguetest::makeCatalogueFolder(folder);
    cataloguetest::CatalogueRows rows(folder);
    rows.addItem({.itemNo = 1, .title = std::string("report") + name, .ext = "doc"});
    std::ofstream(folder + "/report" + name + ".doc") << name;
  }
  setup.desktopRoot = root;
  setup.currentFolder = root;
  auto dlg = std::make_unique<CSearchDlg>(setup);
  EXPECT_TRUE(dlg->OpenSearchDatabase()) << dlg->database().LastError();
  dlg->ResetConditions();
  dlg->Conditions().words = "report";
  dlg->Conditions().fullText = false;
  dlg->LoadPages();
  dlg->OnSearch();
  EXPECT_EQ(dlg->hits().GetCount(), 2);
  return dlg;
}

TEST(HitLaunch, HitsAreReadFromTheirOwnFoldersAndStampedThere) {
  FreshEnvironment env;
  testsupport::TempDir dir;
  platform::RecordingUserInteraction boxes;
  RecordedProgramStarts starts;
  const std::string root = dir.path() + "/desk";
  auto owned = searchTwoFolders(root, {});
  CSearchDlg& dlg = *owned;
  ASSERT_EQ(dlg.hits().GetCount(), 2);
  const std::string program = makeStandIn(dir.path() + "/bin/viewer");
  HitSelection selection(dlg.database(), dlg.hits(), {0, 1});
  CFD3Doc document;
  LaunchServices services;
  services.document = &document;
  LaunchApplication({"表示", QString::fromStdString(program), 2000}, selection, services);
  ASSERT_EQ(starts.starts().size(), 1u);
  QStringList got = starts.starts()[0].arguments;
  got.sort();
  EXPECT_EQ(got, qlist({root + "/A/reportA.doc", root + "/B/reportB.doc"}));
  for (int i = 0; i < 2; ++i) {
    ItemInfo item;
    ASSERT_TRUE(dlg.database().GetFolderItemInfo(dlg.hits().GetAt(i)->flags, 1, item));
    EXPECT_EQ(item.LastAccessedDate, platform::todayYmd()) << item.Title;
    EXPECT_EQ(dlg.hits().GetAt(i)->lastAccessedDate, platform::todayYmd());
  }
}

// The hit board's application menu: a registered program gets the selected
// hit's file, and the built-in print code reaches the hit printing.
TEST(HitLaunch, TheHitBoardMenuStartsAnApplicationAndPrints) {
  FreshEnvironment env;
  testsupport::TempDir dir;
  platform::RecordingUserInteraction boxes;
  RecordedProgramStarts starts;
  const std::string root = dir.path() + "/desk";
  const std::string program = makeStandIn(dir.path() + "/bin/viewer");
  CSearchDlg::Setup setup;
  setup.applications = {{"表示", QString::fromStdString(program), 2000}, {"印刷", QString(), -1}};
  setup.print.printImages = true;  // the rows are registered as images
  auto dlg = searchTwoFolders(root, setup);
  ASSERT_EQ(dlg->hits().GetCount(), 2);
  int printAsked = 0;
  dlg->printSetup = [&](QPrinter&) { ++printAsked; return false; };
  ThumbnailPaneWnd* pane = dlg->hitPane();
  pane->SelectOnly(1);
  auto menu = pane->BuildTileMenu(1);
  ASSERT_TRUE(menu);
  auto* launch = menu->findChild<QMenu*>(QStringLiteral("applicationMenu"));
  ASSERT_NE(launch, nullptr);
  ASSERT_EQ(launch->actions().size(), 2);
  EXPECT_TRUE(launch->isEnabled());
  EXPECT_EQ(launch->actions()[0]->text(), QStringLiteral("表示"));
  pane->OnTileCommand(launch->actions()[0]->data().toInt(), 1);
  ASSERT_EQ(starts.starts().size(), 1u);
  std::string folder;
  ASSERT_TRUE(dlg->database().GetFolderPath(dlg->hits().GetAt(1)->flags, folder));
  const std::string name = platform::fileNameOf(platform::withoutTrailingSlash(folder));
  EXPECT_EQ(starts.starts()[0].arguments, qlist({root + "/" + name + "/report" + name + ".doc"}));
  EXPECT_EQ(printAsked, 0);
  pane->OnTileCommand(launch->actions()[1]->data().toInt(), 1);
  EXPECT_EQ(printAsked, 1);
  EXPECT_EQ(starts.starts().size(), 1u);
  EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
}

}  // namespace
