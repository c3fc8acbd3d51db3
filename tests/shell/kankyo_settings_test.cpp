#include "shell/kankyo_settings.h"

#include "tests/support/test_env.h"

#include <QSettings>

#include <gtest/gtest.h>

namespace {

class KankyoSettingsTest : public ::testing::Test {
 protected:
  QSettings profile() { return QSettings(QString::fromStdString(dir.file("profile.ini")), QSettings::IniFormat); }
  testsupport::TempDir dir;
  static constexpr int kFace = 0x00C0C0C0;
};

TEST_F(KankyoSettingsTest, MissingKeysReadAsDefaults) {
  auto p = profile();
  KankyoSettings s;
  s.KankyoBmpRes = 1;  // loading starts from the defaults
  s.LoadSettings(p, kFace);
  EXPECT_EQ(s.KankyoAutoCmp1, 2);
  EXPECT_EQ(s.KankyoBmpRes, 400);
  EXPECT_EQ(s.KankyoPrintFileExt, "*.doc, *.xls");
  EXPECT_EQ(s.KankyoShowFolderMax2000, 2000);
  EXPECT_EQ(s.KankyoOCRProgram, -1);
  EXPECT_EQ(s.KankyoToriaezuScheduleDate, 2);
  EXPECT_EQ(s.KankyoColorBackColor, 0xFFFFFF);
  EXPECT_EQ(s.KankyoColorItemColor, kFace);  // missing item colour: the face colour...
  EXPECT_TRUE(s.printPatterns.isEmpty());    // user selection off
  s.SaveSettings(p);
  p.sync();
  EXPECT_EQ(p.value("Browser/KankyoColorItemColor").toInt(), kFace);  // ...written back as that colour
}

TEST_F(KankyoSettingsTest, RoundTripKeepsValuesAndAppliesReadingRules) {
  struct Row {
    int stored;
    int read;
  };
  for (const Row& row : {Row{5, 2000}, Row{5000, 2000}, Row{9, 2000}, Row{10, 10}, Row{2000, 2000}, Row{2001, 2000}, Row{777, 777}}) {
    auto p = profile();
    p.setValue("Browser/KankyoShowFolderMax2000", row.stored);
    KankyoSettings s;
    s.LoadSettings(p, kFace);
    EXPECT_EQ(s.KankyoShowFolderMax2000, row.read) << row.stored;
  }

  KankyoSettings written;
  written.KankyoScanNameBase = QStringLiteral("請求書");
  written.KankyoOCRProgram = 0;
  written.KankyoColorItemColor = 0x123456;
  written.KankyoToriaezuScheduleFlg = 1;
  written.KankyoPrintUserSelect = 1;
  written.KankyoPrintFileExt = QStringLiteral("doc, .xls");
  written.KankyoShowFolderMax2000 = 5;  // written as stored, no rule applied
  {
    auto p = profile();
    written.SaveSettings(p);
  }
  auto p = profile();
  EXPECT_EQ(p.value("Browser/KankyoShowFolderMax2000").toInt(), 5);
  KankyoSettings read;
  read.LoadSettings(p, kFace);
  EXPECT_EQ(read.KankyoScanNameBase, QStringLiteral("請求書"));
  EXPECT_EQ(read.KankyoOCRProgram, 0);
  EXPECT_EQ(read.KankyoColorItemColor, 0x123456);
  EXPECT_EQ(read.KankyoToriaezuScheduleFlg, 1);
  EXPECT_EQ(read.KankyoShowFolderMax2000, 2000);
  EXPECT_EQ(read.printPatterns, QStringList({"*.doc", "*.xls"}));
}

TEST(PrintPatterns, BuildsFromTheUserList) {
  struct Row {
    const char* ext;
    QStringList expected;
  };
  const Row rows[] = {
      {"doc, .xls, *.txt", {"*.doc", "*.xls", "*.txt"}},
      {"\"doc\" , xls", {"*.doc", "*.xls"}},
      {"doc,,xls", {"*.doc", "*.xls"}},
      {"doc, a.b", {}},          // a second point in the extension
      {"doc, *.", {}},           // two characters only
      {"doc, *.t*t", {}},        // a star after the first two
      {"abcdefghi", {}},         // longer than 10 with its "*."
      {"abcdefghijk", {}},       // over the splitter's 10 characters
      {"a,b,c,d,e,f,g,h,i,j,k,l,m,n,o,p", {"*.a", "*.b", "*.c", "*.d", "*.e", "*.f", "*.g", "*.h", "*.i", "*.j",
                                          "*.k", "*.l", "*.m", "*.n", "*.o", "*.p"}},
      {"a,b,c,d,e,f,g,h,i,j,k,l,m,n,o,p,q", {"*.a", "*.b", "*.c", "*.d", "*.e", "*.f", "*.g", "*.h", "*.i",
                                            "*.j", "*.k", "*.l", "*.m", "*.n", "*.o", "*.p"}},  // the first 16
  };
  for (const Row& row : rows) EXPECT_EQ(BuildPrintPatterns(1, QString::fromUtf8(row.ext)), row.expected) << row.ext;
  EXPECT_TRUE(BuildPrintPatterns(0, "doc").isEmpty());
}

}  // namespace
