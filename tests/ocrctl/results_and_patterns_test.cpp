// What the control makes of a recognition result (text, positions,
// rectangles, confidences), and the user-pattern store behind it.
#include "ocrctl/compound_file.h"
#include "ocrctl/ocr_control.h"
#include "ocrctl/pattern_store.h"
#include "platform/global_memory.h"
#include "tests/support/test_env.h"

#include <QProcess>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>

using namespace ocrctl;

namespace {

struct Entry {
  std::uint8_t lead, trail;
  std::int16_t rect;
};

void adopt(OcrControl& control, const std::vector<Entry>& entries,
           const std::vector<std::array<std::int32_t, 4>>& rects) {
  std::vector<std::uint8_t> codes;
  for (const Entry& e : entries) {
    codes.insert(codes.end(), {e.lead, e.trail, static_cast<std::uint8_t>(e.rect),
                               static_cast<std::uint8_t>(static_cast<std::uint16_t>(e.rect) >> 8), 0, 0});
  }
  std::vector<std::int32_t> r(4, 0);  // rectangles are indexed from 1
  for (const auto& q : rects) r.insert(r.end(), q.begin(), q.end());
  control.adoptResult(codes, r, static_cast<int>(entries.size()));
}

std::vector<std::uint8_t> streamOf(const std::string& path, const char* name) {
  const std::string bytes = testsupport::readFile(path);
  Streams streams;
  EXPECT_TRUE(readCompound({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, streams)) << path;
  return streams[name];
}

}  // namespace

TEST(OcrResult, LineEndsCountTwoPositionsAndConfidencesStayAligned) {
  OcrControl control;
  short l = 0, t = 0, r = 0, b = 0;
  EXPECT_EQ(control.GetResultRect(1, &l, &t, &r, &b), -2);
  EXPECT_EQ(control.GetOcrResult(), "");
  // A, line end, B, a line marker, "あ" (no rectangle record), field end.
  adopt(control, {{0, 'A', 1}, {0, 10, 0}, {0, 'B', 2}, {0, 1, 0}, {0x82, 0xA0, 3}, {0, 2, 0}},
        {{10, 20, 30, 40}, {50, 20, 70, 40}, {80, 20, 100, 40}});
  EXPECT_EQ(control.GetOcrResult(), "A\r\nBあ");
  ASSERT_EQ(control.GetResultRect(4, &l, &t, &r, &b), 0);
  EXPECT_EQ(std::vector<short>({l, t, r, b}), std::vector<short>({50, 20, 70, 40}));
  EXPECT_EQ(control.GetResultRect(2, &l, &t, &r, &b), -1) << "the line end has no rectangle";
  ASSERT_EQ(control.GetResultRect(5, &l, &t, &r, &b), 0);
  EXPECT_EQ(l, 80);
  EXPECT_EQ(control.GetResultRect(6, &l, &t, &r, &b), -1);

  // One confidence per character shown, in text order.
  EXPECT_EQ(control.confidenceCount(), 3);
  EXPECT_EQ(control.GetConfLevel(2, 0), control.GetConfLevel(1, 1)) << "B: entry 2, confidence 1";
  EXPECT_EQ(control.GetConfLevel(3, 0), control.GetConfLevel(2, 1));
  EXPECT_EQ(control.GetConfLevel(4, 0), -1);
  EXPECT_EQ(control.GetConfLevel(3, 1), -1);

  short count = 0;
  const platform::GlobalHandle rects = control.GetResultRectHandle(&count);
  ASSERT_NE(rects, 0);
  EXPECT_EQ(count, 3) << "markers, tabs and line ends have no rectangle";
  std::int32_t first[4];
  std::memcpy(first, platform::globalLock(rects), sizeof first);
  EXPECT_EQ(first[0], 10);
  platform::globalFree(rects);
}

TEST(OcrResult, ConfidenceLevelsByDistance) {
  const std::pair<int, short> cases[] = {{0, 8}, {900, 8}, {901, 7}, {999, 7}, {1000, 6}, {1199, 5},
                                         {1250, 4}, {1399, 3}, {1499, 2}, {1500, 1}, {30000, 1}};
  for (auto [distance, level] : cases) EXPECT_EQ(confidenceLevel(distance), level) << distance;
}

TEST(OcrResult, SkewStatusesAndWhetherThePageIsPreparedAgain) {
  // Only a turn (2) prepares the page again; beyond the limit (4) nothing
  // was turned, so the page and its areas stay and the code says why.
  const std::pair<short, short> cases[] = {{-1, -1009}, {0, -1110}, {1, -1110}, {2, 0},
                                           {3, -1109}, {-2, -1106}, {4, -1108}};
  for (auto [status, expected] : cases) EXPECT_EQ(skewStatusCode(status), expected) << status;
}

class PatternStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(control_.InitOcr(dir_.path()), 0);
    // A page with a filled 20 x 30 block to register.
    std::vector<std::uint8_t> dib(40 + 8 + 64 * 4 * 64, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(dib.data() + at, &v, 4); };
    put32(0, 40);
    put32(4, 64);
    put32(8, 64);
    dib[12] = 1;
    dib[14] = 1;
    put32(40, 0xFFFFFF);  // entry 0 white, entry 1 black: a set bit is ink
    for (int y = 10; y < 40; ++y)
      for (int x = 10; x < 30; ++x) dib[48 + static_cast<std::size_t>(63 - y) * 8 + x / 8] |= 0x80 >> (x % 8);
    const platform::GlobalHandle h = platform::globalAllocCopy(dib);
    ASSERT_EQ(control_.SetImageHandle(h), 0);
    platform::globalFree(h);
  }
  std::string patternFile() const { return dir_.file(kDefaultPatternFile); }

  testsupport::TempDir dir_;
  OcrControl control_;
};

TEST_F(PatternStoreTest, RegisteredPatternsAreKeptAndTheImageStreamFollowsTheCount) {
  EXPECT_EQ(control_.RegistPat('A', 10, 10, 10, 39), -1229);
  EXPECT_EQ(control_.RegistPat(0x07, 10, 10, 29, 39), -1221);
  const short first = control_.RegistPat('A', 29, 39, 10, 10);  // reversed corners are put in order
  ASSERT_GE(first, 0);
  const short second = control_.RegistPat(static_cast<short>(0xA082), 10, 10, 29, 39);  // "あ", lead byte low
  ASSERT_GE(second, 0);
  ASSERT_EQ(control_.LoadPatImageSection(), 2);
  short character = 0, flag = 0, number = 0;
  ASSERT_EQ(control_.GetPatInfo(1, &character, &flag, &number), 0);
  EXPECT_EQ(static_cast<std::uint16_t>(character), 0x6082) << "full-width Ａ, lead byte first";
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(number, first);
  EXPECT_EQ(control_.GetPatInfo(0, &character, &flag, &number), -1225);
  EXPECT_EQ(control_.GetPatInfo(3, &character, &flag, &number), -1225);
  const platform::GlobalHandle image = control_.GetPatImage(1);
  ASSERT_NE(image, 0);
  EXPECT_EQ(platform::globalSize(image), 512u);
  EXPECT_EQ(platform::globalLock(image)[0], 0xFF) << "the rectangle sits in the top-left corner";
  platform::globalFree(image);

  // The flag given is the flag stored.
  ASSERT_EQ(control_.UpdatePat(second, 0), 0);
  ASSERT_EQ(control_.GetPatInfo(2, &character, &flag, &number), 0);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(control_.UpdatePat(999, 0), -1225);
  ASSERT_EQ(control_.DeletePat(first), 0);
  ASSERT_EQ(control_.SavePatFile(), 0);
  EXPECT_EQ(streamOf(patternFile(), kStreamImage).size(), 2u + 518u);
  ASSERT_EQ(control_.UnloadPatImageSection(), 0);
  EXPECT_EQ(control_.UnloadPatImageSection(), -1224);

  // Another reader of compound files sees the three streams.
  QProcess python;
  python.start("/usr/bin/python3",
               {"-c",
                "import olefile,sys\n"
                "o=olefile.OleFileIO(sys.argv[1])\n"
                "print(sorted('/'.join(e) for e in o.listdir()), o.get_size('Green Image'))",
                QString::fromStdString(patternFile())});
  // No limit of our own (a loaded machine is slow); CTest's timeout ends a hang.
  ASSERT_TRUE(python.waitForFinished(-1));
  if (python.exitCode() != 0) GTEST_SKIP() << "python3-olefile missing: " << python.readAllStandardError().data();
  EXPECT_EQ(python.readAllStandardOutput().trimmed().toStdString(),
            "['Green Data', 'Green Image', 'Green Index'] 520");
}

TEST_F(PatternStoreTest, ChangingThePatternFileBringsTheLoadedSectionAlong) {
  ASSERT_GE(control_.RegistPat('A', 10, 10, 29, 39), 0);
  ASSERT_EQ(control_.LoadPatImageSection(), 1);
  control_.setUsrPatName(dir_.file("other.upt"));
  EXPECT_EQ(control_.usrPatName(), dir_.file("other.upt"));
  EXPECT_EQ(control_.patNum(), 0);
  short character = 0, flag = 0, number = 0;
  EXPECT_EQ(control_.GetPatInfo(1, &character, &flag, &number), -1225);
  EXPECT_TRUE(testsupport::fileExists(dir_.file("other.upt")));

  // A name that cannot be a pattern file changes nothing, the store's file included.
  testsupport::writeFile(dir_.file("notes.upt"), "plain text");
  control_.setUsrPatName(dir_.file("notes.upt"));
  EXPECT_EQ(control_.usrPatName(), dir_.file("other.upt"));
  EXPECT_EQ(control_.SavePatFile(), 0);
  EXPECT_EQ(testsupport::readFile(dir_.file("notes.upt")), "plain text");
}

TEST_F(PatternStoreTest, AFileThatIsNoPatternFileIsNeverReplaced) {
  testsupport::writeFile(dir_.file("user.upt"), "someone's notes");
  PatternStore store;
  store.setPatternPath(dir_.file("user.upt"));
  EXPECT_FALSE(store.savePatternFile(nullptr));
  std::vector<std::uint8_t> section;
  EXPECT_FALSE(store.loadPatternFile(&section, false));
  EXPECT_EQ(testsupport::readFile(dir_.file("user.upt")), "someone's notes");

  // A pattern file held by another opener is not read meanwhile.
  const int fd = ::open(patternFile().c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  EXPECT_EQ(control_.LoadPatImageSection(), -1223);
  EXPECT_EQ(control_.SavePatFile(), -1228);
  ::close(fd);
  EXPECT_EQ(control_.LoadPatImageSection(), 0);
}

TEST(PatternConversion, OldFlatFileBecomesACompoundFileAndStaysBeside) {
  testsupport::TempDir dir;
  OcrControl control;
  ASSERT_EQ(control.InitOcr(dir.path()), 0);
  std::vector<std::uint8_t> flat(22 + 728, 0);
  std::memcpy(flat.data(), "usrPattenV30\0junk", 17);
  flat[20] = 1;
  flat[22 + 0] = 1;  // valid
  flat[22 + 112] = 0x82;
  flat[22 + 113] = 0x60;
  for (int y = 2; y < 20; ++y) flat[22 + 214 + static_cast<std::size_t>(y) * 8] = 0x7E;
  const std::string path = dir.file("old.upt");
  testsupport::writeFile(path, {reinterpret_cast<const char*>(flat.data()), flat.size()});

  PatternStore store;
  ASSERT_TRUE(store.open("old.upt", dir.path(), dir.path(), dir.path()) == false)
      << "opening reads compound files only";
  std::vector<std::uint8_t> section;
  ASSERT_TRUE(store.readPatternImages(section));
  ASSERT_EQ(section.size(), 2u + 518u);
  EXPECT_EQ(section[0], 1);
  EXPECT_EQ(section[2 + 2], 0x82);
  EXPECT_EQ(section[2 + 3], 0x60);
  EXPECT_EQ(section[2 + 4], 1);
  EXPECT_EQ(section[2 + 6 + 2 * 8], 0x7E);
  EXPECT_TRUE(testsupport::fileExists(dir.file("old.UPB")));
  EXPECT_EQ(streamOf(path, kStreamImage), section);

  // Another signature, or no records, is not converted.
  const auto never = [](void*, std::uint16_t, const PatternImage&, const std::int32_t*, std::int16_t*) {
    return true;
  };
  std::vector<std::uint8_t> out;
  auto other = flat;
  other[3] = 'X';
  EXPECT_FALSE(convertFlatPatterns(other, never, nullptr, out));
  auto empty = flat;
  empty[20] = 0;
  EXPECT_FALSE(convertFlatPatterns(empty, never, nullptr, out));
  auto blank = flat;
  std::memset(blank.data() + 22 + 214, 0, 512);
  EXPECT_FALSE(convertFlatPatterns(blank, never, nullptr, out));
  flat.resize(flat.size() - 1);
  EXPECT_FALSE(convertFlatPatterns(flat, never, nullptr, out));
}

TEST(OcrInit, FailuresAreReportedAndARetryWorks) {
  testsupport::TempDir dir;
  OcrControl missingFolder;
  missingFolder.setPatTempDir(dir.file("nowhere"));
  EXPECT_EQ(missingFolder.InitOcr(dir.path()), -1003);

  testsupport::writeFile(dir.file("notes.upt"), "plain text");
  OcrControl control;
  control.setUsrPatName(dir.file("notes.upt"));
  EXPECT_EQ(control.InitOcr(dir.path()), -1001);
  EXPECT_EQ(control.DoRecognize(), -1002) << "not initialised";
  control.setUsrPatName("");
  ASSERT_EQ(control.InitOcr(dir.path()), 0);
  EXPECT_EQ(control.usrPatName(), dir.file(kDefaultPatternFile));
  EXPECT_EQ(control.InitOcr("/elsewhere"), 0) << "later calls do nothing";
}
