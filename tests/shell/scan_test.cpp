// Scanning: the page file writer, the title of a scan, the registration of
// the page files, and whole scans through the frame with the in-process
// scanner and with SANE's "test" backend.

#include "catalogue/file_utilities.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/program_folder.h"
#include "platform/scanner.h"
#include "platform/user_interaction.h"
#include "shell/app_profile.h"
#include "shell/busy_flag.h"
#include "shell/command_ids.h"
#include "shell/fd3_doc.h"
#include "shell/import_file.h"
#include "shell/kankyo_settings.h"
#include "shell/main_frame.h"
#include "shell/posted_message.h"
#include "shell/scan_controller.h"
#include "shell/scan_page_writer.h"
#include "shell/scan_registration.h"
#include "tests/shell/fresh_environment.h"
#include "tests/shell/wait_until.h"
#include "tests/support/test_env.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QThread>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using testsupport::readFile;

namespace {

const QDateTime kMay3 = QDateTime(QDate(2004, 5, 3), QTime(15, 7));

std::uint32_t get32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  std::memcpy(&v, s.data() + at, 4);
  return v;
}

// ---- the title ---------------------------------------------------------------

TEST(ScanTitle, FollowsTheNamingSettings) {
  struct Case {
    const char* base;
    int date, time;
    QTime at;
    const char* title;
  } cases[] = {
      {"", 1, 2, QTime(15, 7), "2004年5月3日／午後3時7分"},
      {"見積", 2, 1, QTime(15, 7), "見積／5月3日／15時7分"},
      {"", 1, 2, QTime(12, 5), "2004年5月3日／午後0時5分"},
      {"", 1, 2, QTime(0, 0), "2004年5月3日／午前0時0分"},
      {"", 0, 2, QTime(9, 30), "午前9時30分"},  // no separator before the first part
      {"見積", 0, 0, QTime(9, 30), "見積"},
      {"", 0, 0, QTime(9, 30), "スキャン"},  // nothing at all: the fallback
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    EXPECT_EQ(MakeScanTitle({QString::fromUtf8(c.base), c.date, c.time}, QDateTime(kMay3.date(), c.at)),
              QString::fromUtf8(c.title));
  }
}

// ---- the page file -----------------------------------------------------------

std::vector<std::uint8_t> header(int width, int height, int bits, std::uint32_t stated = 0, std::uint32_t used = 0) {
  std::vector<std::uint8_t> h(40, 0);
  const auto put = [&](std::size_t at, std::uint32_t v) { std::memcpy(h.data() + at, &v, 4); };
  put(0, 40);
  put(4, static_cast<std::uint32_t>(width));
  put(8, static_cast<std::uint32_t>(height));
  h[12] = 1;
  h[14] = static_cast<std::uint8_t>(bits);
  put(20, stated);
  put(32, used);
  return h;
}

class PageWriterTest : public ::testing::Test {
 protected:
  std::string path(const char* name) const { return dir.file(name); }
  static std::optional<std::uint64_t> plenty(const std::string&) { return std::uint64_t{1} << 40; }
  testsupport::TempDir dir;
};

TEST_F(PageWriterTest, RowsArePaddedToFourBytesAndTheHeadersAgree) {
  // 13 pixels of 24 bits: 39 bytes of pixels in rows of 40; the source rows
  // are 39 bytes long (the stated size over the height).
  std::vector<std::uint8_t> block = header(13, 2, 24, 78);
  for (int i = 0; i < 78; ++i) block.push_back(static_cast<std::uint8_t>(i + 1));
  ASSERT_EQ(WriteScannedPage(block, path("1.bmp"), false, plenty), ScanPageResult::Written);
  const std::string file = readFile(path("1.bmp"));
  ASSERT_EQ(file.size(), 54u + 80u);
  EXPECT_EQ(file.substr(0, 2), "BM");
  EXPECT_EQ(get32(file, 2), file.size());
  EXPECT_EQ(get32(file, 10), 54u);
  EXPECT_EQ(get32(file, 34), 80u);  // the image size of the written rows
  EXPECT_EQ(file[54 + 38], 39);     // last pixel byte of row 1
  EXPECT_EQ(file[54 + 39], 0);      // its padding
  EXPECT_EQ(file[54 + 40], 40);     // row 2 starts with source byte 40

  // NewTWAIN: the source rows are the padded length already.
  std::vector<std::uint8_t> padded = header(13, 2, 24);
  padded.resize(40 + 80, 7);
  ASSERT_EQ(WriteScannedPage(padded, path("2.bmp"), true, plenty), ScanPageResult::Written);
  EXPECT_EQ(readFile(path("2.bmp")).substr(54), std::string(80, '\7'));

  // A 1-bit page carries two palette entries; the pixels follow them.
  std::vector<std::uint8_t> mono = header(9, 1, 1);
  for (std::uint8_t b : {0, 0, 0, 0, 255, 255, 255, 0, 0xAB, 0xCD, 0, 0}) mono.push_back(b);
  ASSERT_EQ(WriteScannedPage(mono, path("3.bmp"), false, plenty), ScanPageResult::Written);
  const std::string m = readFile(path("3.bmp"));
  EXPECT_EQ(get32(m, 10), 62u);
  EXPECT_EQ(static_cast<unsigned char>(m[62]), 0xAB);
  EXPECT_TRUE(QImage(QString::fromStdString(path("3.bmp"))).width() == 9);
}

TEST_F(PageWriterTest, ABadHeaderIsRefusedAndAShortBlockIsNeverReadPastItsEnd) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> block;
  } cases[] = {
      {"shorter than a header", std::vector<std::uint8_t>(20, 0)},
      {"no width", header(0, 4, 8)},
      {"no height", header(4, 0, 8)},
      {"top-down height", header(4, -4, 8)},
      {"odd depth", header(4, 4, 3)},
      {"palette past the block", header(4, 4, 8)},  // 256 entries are not there
      {"too many colours", header(4, 4, 24, 0, 300)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(WriteScannedPage(c.block, path("bad.bmp"), false, plenty), ScanPageResult::BadHeader);
    EXPECT_FALSE(testsupport::fileExists(path("bad.bmp")));
  }
  // The header states 100 rows of 12 bytes; the block holds one and a half.
  std::vector<std::uint8_t> shortBlock = header(4, 100, 24, 1200);
  shortBlock.resize(40 + 18, 0x55);
  ASSERT_EQ(WriteScannedPage(shortBlock, path("short.bmp"), false, plenty), ScanPageResult::Written);
  const std::string file = readFile(path("short.bmp"));
  ASSERT_EQ(file.size(), 54u + 1200u);
  EXPECT_EQ(file.substr(54, 18), std::string(18, '\x55'));
  EXPECT_EQ(file.substr(54 + 18), std::string(1200 - 18, '\0'));
}

TEST_F(PageWriterTest, TwoMebibytesMustStayFreeBesideThePage) {
  std::vector<std::uint8_t> block = header(8, 8, 8);
  block.resize(40 + 1024 + 64, 1);
  const std::uint64_t need = block.size() + kScanSpaceReserve;
  const auto free = [](std::optional<std::uint64_t> bytes) {
    return [bytes](const std::string&) { return bytes; };
  };
  EXPECT_EQ(WriteScannedPage(block, path("1.bmp"), false, free(need)), ScanPageResult::Written);
  EXPECT_EQ(WriteScannedPage(block, path("2.bmp"), false, free(need - 1)), ScanPageResult::NoSpace);
  EXPECT_EQ(WriteScannedPage(block, path("3.bmp"), false, free(std::nullopt)), ScanPageResult::NoDriveInfo);
  EXPECT_FALSE(testsupport::fileExists(path("2.bmp")));
  EXPECT_EQ(WriteScannedPage(block, path("gone/4.bmp"), false, free(need)), ScanPageResult::CannotCreate);
}

// ---- registration ------------------------------------------------------------

// A folder open in a document, and a scan folder to fill with pages.
class ScanRegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ensureProgramFolder();
    platform::setFixedNowForTests(kMay3);
    folder = env.path("書類");
    QDir().mkpath(QString::fromStdString(folder));
    scanFolder = platform::workFolder(platform::workfolder::kScanOut);
    keepRoot = platform::workFolder("scankeep");
    doc.SetMainWindow(&window);
    CFD3Doc::SetFatalExitHandler([](int code) { FAIL() << "program would end with " << code; });
    doc.LoadFolder(folder + "/", 0);
  }
  void TearDown() override {
    SetImportCopyFunction(nullptr);
    doc.CloseFolderDatabase();
    platform::setFixedNowForTests(std::nullopt);
  }
  void page(const std::string& name, int shade = 0) {
    QDir().mkpath(QString::fromStdString(scanFolder));
    QImage image(40, 30, QImage::Format_Grayscale8);
    image.fill(shade);
    ASSERT_TRUE(image.save(QString::fromStdString(scanFolder + "/" + name), "BMP"));
  }
  ScanRegistrationResult registerPages() { return ImportScannedPages(doc, settings, scanFolder, keepRoot); }
  std::vector<std::string> itemTitles() {
    std::vector<std::string> titles;
    FolderDatabase& db = doc.Database();
    for (int no = 1; no < 50; ++no) {
      ItemInfo item;
      if (db.GetItemInfo(no, item) == 0) titles.push_back(item.Title);
    }
    return titles;
  }
  std::string stackTitle(int no) {
    StackInfo stack;
    return doc.Database().GetStackInfo(no, stack) == 0 ? stack.Title : std::string("<none>");
  }

  FreshEnvironment env;
  platform::RecordingUserInteraction boxes;
  QWidget window;
  CFD3Doc doc;
  KankyoSettings settings;
  std::string folder, scanFolder, keepRoot;
};

TEST_F(ScanRegistrationTest, PagesBecomeOneStackInNumberOrderAndGapsLoseNothing) {
  for (const char* name : {"1.BMP", "2.bmp", "4.bmp", "10.bmp"}) page(name);
  page("notes.bmp");  // not a page file
  const auto result = registerPages();
  EXPECT_EQ(result.pages, 4);
  ASSERT_TRUE(result.registered);
  ASSERT_EQ(result.entry.Kind, EntryRef::kStack);
  EXPECT_EQ(stackTitle(result.entry.No), "2004年5月3日／午後3時7分");
  EXPECT_EQ(itemTitles(), (std::vector<std::string>{"2004年5月3日／午後3時7分の1頁目", "2004年5月3日／午後3時7分の2頁目",
                                                     "2004年5月3日／午後3時7分の3頁目", "2004年5月3日／午後3時7分の4頁目"}));
  EXPECT_FALSE(QDir(QString::fromStdString(scanFolder)).exists());
  EXPECT_TRUE(result.keptFolder.empty());
  EXPECT_TRUE(boxes.shown().empty());

  // The same minute again: the stack title is taken.
  page("1.bmp");
  page("2.bmp");
  const auto again = registerPages();
  ASSERT_EQ(again.entry.Kind, EntryRef::kStack);
  EXPECT_EQ(stackTitle(again.entry.No), "2004年5月3日／午後3時7分その2");
}

TEST_F(ScanRegistrationTest, OnePageIsASingleItemAndNoPageRegistersNothing) {
  settings.KankyoScanNameDate = 0;
  settings.KankyoScanNameTime = 0;
  page("1.bmp");
  const auto one = registerPages();
  ASSERT_TRUE(one.registered);
  EXPECT_EQ(one.entry.Kind, EntryRef::kItem);
  EXPECT_EQ(itemTitles(), std::vector<std::string>{"スキャン"});

  QDir().mkpath(QString::fromStdString(scanFolder));
  const auto none = registerPages();
  EXPECT_EQ(none.pages, 0);
  EXPECT_FALSE(none.registered);
  EXPECT_FALSE(QDir(QString::fromStdString(scanFolder)).exists());
}

TEST_F(ScanRegistrationTest, CorrectionsAreAppliedToEachPage) {
  settings.KankyoScanSpin = 1;
  settings.KankyoScanSpinR = 1;  // a quarter turn
  page("1.bmp", 200);
  page("2.bmp", 200);
  ASSERT_TRUE(registerPages().registered);
  const QStringList files = QDir(QString::fromStdString(folder)).entryList({"*の1頁目*"}, QDir::Files);
  ASSERT_EQ(files.size(), 1) << files.join(' ').toStdString();
  const QImage stored(QDir(QString::fromStdString(folder)).filePath(files[0]));
  EXPECT_EQ(stored.size(), QSize(30, 40));  // 40 x 30 turned
}

TEST_F(ScanRegistrationTest, PagesThatCannotBeRegisteredAreKeptAndTheUserIsTold) {
  for (const char* name : {"1.bmp", "2.bmp", "3.bmp"}) page(name);
  settings.KankyoShowFolderMax2000 = 1;  // the folder is full after page 1
  const auto result = registerPages();
  // Page 1 is in the folder; pages 2 and 3 wait in a folder of their own.
  EXPECT_EQ(itemTitles().size(), 1u);
  ASSERT_FALSE(result.keptFolder.empty());
  EXPECT_EQ(QDir(QString::fromStdString(result.keptFolder)).entryList(QDir::Files),
            (QStringList{"2.bmp", "3.bmp"}));
  ASSERT_FALSE(boxes.shown().empty());
  EXPECT_NE(boxes.shown().back().text.find(result.keptFolder), std::string::npos);

  // No open folder: every page is kept.
  doc.CloseFolderDatabase();
  doc.LoadFolder({}, 1);
  page("1.bmp");
  const auto homeless = registerPages();
  EXPECT_FALSE(homeless.registered);
  EXPECT_NE(homeless.keptFolder, result.keptFolder);
  EXPECT_EQ(QDir(QString::fromStdString(homeless.keptFolder)).entryList(QDir::Files), QStringList{"1.bmp"});
}

// ---- the scanner driver ------------------------------------------------------

TEST(ScannerDriver, PagesReachTheHandlerInOrderOnTheUserInterfaceThread) {
  platform::FakeScannerSource::Options options;
  options.pages = 4;
  platform::CNewScanner scanner(std::make_unique<platform::FakeScannerSource>(options));
  std::vector<int> heights;
  bool onUiThread = true;
  scanner.SetPageHandler([&](int kind, platform::GlobalHandle block) {
    EXPECT_EQ(kind, 1);
    onUiThread = onUiThread && QThread::currentThread() == QCoreApplication::instance()->thread();
    std::int32_t h = 0;
    std::memcpy(&h, platform::globalLock(block) + 8, 4);
    heights.push_back(h);
    EXPECT_TRUE(platform::globalFree(block));
    if (heights.size() == 2) scanner.Cancel();  // mid-feeder: page 3 is never read
  });
  EXPECT_TRUE(scanner.Scan());
  EXPECT_EQ(scanner.LastStatus(), platform::ScanStatus::Cancelled);
  EXPECT_EQ(heights, (std::vector<int>{48, 48}));
  EXPECT_TRUE(onUiThread);

  options.failAfter = 1;
  platform::CNewScanner failing(std::make_unique<platform::FakeScannerSource>(options));
  int pages = 0;
  failing.SetPageHandler([&](int, platform::GlobalHandle block) {
    ++pages;
    platform::globalFree(block);
  });
  EXPECT_FALSE(failing.Scan());
  EXPECT_EQ(failing.LastStatus(), platform::ScanStatus::DeviceError);
  EXPECT_EQ(pages, 1);
}

// ---- whole scans through the frame ------------------------------------------

class FrameScanTest : public ScanRegistrationTest {
 protected:
  void SetUp() override {
    ScanRegistrationTest::SetUp();
    InitModuleFolder();
    frame = std::make_unique<CMainFrame>();
    frame->PreCreateWindow();
    bool restored = false;
    QObject::connect(frame.get(), &CMainFrame::restoredAfterStart, [&restored] { restored = true; });
    ASSERT_TRUE(frame->OnCreate());
    frame->SetDocument(&doc);
    doc.SetMainWindow(frame.get());
    ASSERT_TRUE(waitUntil([&] { return restored && !IsBusy(); }));
  }
  void TearDown() override {
    frame.reset();
    ScanRegistrationTest::TearDown();
  }
  platform::FakeScannerSource& useFake(int pages, int failAfter = -1) {
    platform::FakeScannerSource::Options options;
    options.pages = pages;
    options.failAfter = failAfter;
    auto fake = std::make_unique<platform::FakeScannerSource>(options);
    auto& ref = *fake;
    frame->Scanning().SetScannerSource(std::move(fake));
    return ref;
  }
  std::unique_ptr<CMainFrame> frame;
};

TEST_F(FrameScanTest, CancelMidFeederKeepsThePagesAlreadyWritten) {
  useFake(6);
  QObject::connect(&frame->Scanning(), &ScanController::scannedPageWritten, [this](int n) {
    if (n == 2) frame->Scanning().Scanner().Cancel();
  });
  frame->RunCommand(cmd::kScan);
  EXPECT_FALSE(IsBusy());
  EXPECT_TRUE(frame->Scanning().ScanIdle());
  EXPECT_TRUE(frame->isEnabled());
  const auto& result = frame->Scanning().LastScanRegistration();
  EXPECT_EQ(result.pages, 2);
  ASSERT_EQ(result.entry.Kind, EntryRef::kStack);
  EXPECT_EQ(itemTitles().size(), 2u);
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(FrameScanTest, AFailureMidScanStopsWithAMessageAndRegistersWhatCame) {
  struct Case {
    const char* what;
    int failAfter;
    FreeSpaceProbe freeSpace;
    const char* message;
  } cases[] = {
      {"device fails after two pages", 2, {}, "スキャン中にエラーが発生しました。"},
      {"no room after two pages", -1,
       [n = std::make_shared<int>(0)](const std::string&) -> std::optional<std::uint64_t> {
         return ++*n <= 2 ? std::optional<std::uint64_t>(1ull << 40) : std::optional<std::uint64_t>(1000);
       },
       "tmpの空き容量が不足しています。\n画像を保存できません。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    boxes.clear();
    useFake(5, c.failAfter);
    frame->Scanning().SetFreeSpaceProbe(c.freeSpace);
    frame->RunCommand(cmd::kScan);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, c.message);
    EXPECT_EQ(frame->Scanning().LastScanRegistration().pages, 2);
    EXPECT_EQ(frame->Scanning().LastScanRegistration().entry.Kind, EntryRef::kStack);
  }
}

TEST_F(FrameScanTest, ScanRequestsAreServedOnceAndDroppedOverTheViewer) {
  useFake(1);
  int scans = 0;
  QObject::connect(&frame->Scanning(), &ScanController::scanFinished, [&scans] { ++scans; });
  SetBusy(true);
  PostMessage(frame.get(), kScanRequestMessage);
  PostMessage(frame.get(), kScanRequestMessage);
  QCoreApplication::processEvents();
  EXPECT_EQ(scans, 0);
  frame->RunPendingWork();
  EXPECT_EQ(scans, 1);
  EXPECT_EQ(frame->Scanning().LastScanRegistration().entry.Kind, EntryRef::kItem);

  frame->SetBrowserReturn([] { return true; }, [](bool) { return 0; });
  PostMessage(frame.get(), kScanRequestMessage);
  QCoreApplication::processEvents();
  EXPECT_EQ(scans, 1);
}

TEST_F(FrameScanTest, SelectingAScannerIsRememberedForTheNextScan) {
  platform::FakeScannerSource::Options options;
  options.devices = {{"fake:0", "A", "One", "flatbed"}, {"fake:1", "B", "Two", "sheetfed"}};
  auto fake = std::make_unique<platform::FakeScannerSource>(options);
  auto& source = *fake;
  frame->Scanning().SetScannerSource(std::move(fake));
  frame->Scanning().SetScannerChooser([](const std::vector<platform::ScannerDeviceInfo>& devices) {
    EXPECT_EQ(devices.size(), 2u);
    return devices[1].name;
  });
  frame->RunCommand(cmd::kSelectScanner);
  EXPECT_FALSE(IsBusy());
  frame->RunCommand(cmd::kScan);
  EXPECT_EQ(source.lastSettings().device, "fake:1");
  EXPECT_EQ(source.lastSettings().resolution, 300);
}

// ---- through SANE's test backend ---------------------------------------------

class SaneScanTest : public FrameScanTest {
 protected:
  void SetUp() override {
    FrameScanTest::SetUp();
    // FreshEnvironment points SANE at a configuration naming only "test".
    const auto devices = platform::makeSaneSource()->devices();
    if (devices.empty()) GTEST_SKIP() << "SANE's test backend is not installed (libsane1)";
    OpenAppProfile()->setValue(BrowserKey("ScanResolution"), 75);
    OpenAppProfile()->setValue(BrowserKey("ScanMode"), "Gray");
    OpenAppProfile()->setValue(BrowserKey("ScanDepth"), 1);
    frame->Scanning().SetScannerSource(platform::makeSaneSource());
  }
};

TEST_F(SaneScanTest, AFeederOfThreePagesBecomesAStackTitledFromTheClock) {
  OpenAppProfile()->setValue(BrowserKey("ScanSource"), "Automatic Document Feeder");
  QObject::connect(&frame->Scanning(), &ScanController::scannedPageWritten, [this](int n) {
    if (n == 3) frame->Scanning().Scanner().Cancel();  // the test feeder holds ten
  });
  frame->RunCommand(cmd::kScan);
  const auto& result = frame->Scanning().LastScanRegistration();
  EXPECT_EQ(result.pages, 3);
  ASSERT_EQ(result.entry.Kind, EntryRef::kStack);
  EXPECT_EQ(stackTitle(result.entry.No), "2004年5月3日／午後3時7分");
  EXPECT_EQ(itemTitles().size(), 3u);
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(SaneScanTest, AFlatbedPageBecomesASingleItem) {
  OpenAppProfile()->setValue(BrowserKey("ScanSource"), "Flatbed");
  frame->RunCommand(cmd::kScan);
  const auto& result = frame->Scanning().LastScanRegistration();
  EXPECT_EQ(result.pages, 1);
  EXPECT_EQ(result.entry.Kind, EntryRef::kItem);
  EXPECT_EQ(itemTitles(), std::vector<std::string>{"2004年5月3日／午後3時7分"});
}

}  // namespace
