// The settings sheet driven offscreen: each page's load, checks and store,
// the colour preview, and what a page never shown leaves alone.

#include "platform/user_interaction.h"
#include "shell/settings_sheet.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace {

enum Tab { kScan, kImage, kShow, kOcr, kPrint, kTidyUp, kViewer, kColor };

template <typename W>
W* ctl(const QWidget* root, int id) {
  W* w = root->findChild<W*>(QStringLiteral("ctl%1").arg(id));
  EXPECT_NE(w, nullptr) << id;
  return w;
}

// Shows a page (its load runs); false when the sheet kept the old one.
bool showTab(SettingsSheet& sheet, int tab) {
  sheet.Tabs()->setCurrentIndex(tab);
  return sheet.Tabs()->currentIndex() == tab;
}

TEST(SettingsSheet, PagesShowTheirKeysAndOkStoresOnlyShownPages) {
  KankyoSettings in;
  in.KankyoScanNameBase = QStringLiteral("  書類 ");
  in.KankyoScanSpin = 0;
  in.KankyoScanSpinR = 2;
  in.KankyoBmpRes = 300;
  in.KankyoAutoCmp3 = 2;
  in.KankyoShowFontSize = 105;
  in.KankyoViewerConfirm = 1;
  in.KankyoToriaezuScheduleFlg = 1;
  in.KankyoToriaezuScheduleDate = 9;
  SettingsSheet sheet(in, 0);
  ASSERT_EQ(sheet.Tabs()->count(), 8);
  const QStringList titles = {"スキャン", "画像登録", "表示", "OCR", "印刷", "文書整理", "ビューワー", "配色"};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(sheet.Tabs()->tabText(i), titles[i]);

  // Scan: the rotation choices follow the check box.
  auto* spinR = ctl<QAbstractButton>(sheet.Page(kScan), 10166);
  EXPECT_TRUE(spinR->isChecked());
  EXPECT_FALSE(spinR->isEnabled());
  ctl<QCheckBox>(sheet.Page(kScan), 10163)->setChecked(true);
  EXPECT_TRUE(spinR->isEnabled());

  // Image: the resolution's entry, and its number back.
  ASSERT_TRUE(showTab(sheet, kImage));
  auto* res = ctl<QComboBox>(sheet.Page(kImage), 10134);
  EXPECT_EQ(res->currentText(), "300 DPI");
  res->setCurrentIndex(1);
  EXPECT_EQ(ctl<QComboBox>(sheet.Page(kImage), 10132)->currentIndex(), 2);

  // Show: 105 tenths show as 10.
  ASSERT_TRUE(showTab(sheet, kShow));
  EXPECT_EQ(ctl<QLineEdit>(sheet.Page(kShow), 10172)->text(), "10");

  ASSERT_TRUE(showTab(sheet, kTidyUp));
  EXPECT_TRUE(ctl<QAbstractButton>(sheet.Page(kTidyUp), 1026)->isChecked());
  EXPECT_EQ(ctl<QComboBox>(sheet.Page(kTidyUp), 1027)->currentIndex(), 9);
  ctl<QAbstractButton>(sheet.Page(kTidyUp), 1025)->setChecked(true);

  sheet.accept();
  ASSERT_EQ(sheet.result(), QDialog::Accepted);
  const KankyoSettings& out = sheet.Values();
  EXPECT_EQ(out.KankyoScanNameBase, "  書類 ");  // stored as typed; the frame trims it
  EXPECT_EQ(out.KankyoScanSpin, 1);
  EXPECT_EQ(out.KankyoBmpRes, 150);
  EXPECT_EQ(out.KankyoShowFontSize, 105);  // left alone: not cut to 100
  EXPECT_EQ(out.KankyoToriaezuScheduleFlg, 0);
  EXPECT_EQ(out.KankyoViewerConfirm, 1);  // the viewer page was never shown
}

TEST(SettingsSheet, FontSizeTypedIsStoredInTenths) {
  KankyoSettings in;
  in.KankyoShowFontSize = 105;
  SettingsSheet sheet(in, 0);
  ASSERT_TRUE(showTab(sheet, kShow));
  ctl<QLineEdit>(sheet.Page(kShow), 10172)->setText(QStringLiteral("9"));
  sheet.accept();
  EXPECT_EQ(sheet.Values().KankyoShowFontSize, 90);
}

TEST(SettingsSheet, ShowPageRangesKeepThePage) {
  platform::RecordingUserInteraction boxes;
  SettingsSheet sheet(KankyoSettings{}, 0);
  ASSERT_TRUE(showTab(sheet, kShow));
  auto* font = ctl<QLineEdit>(sheet.Page(kShow), 10172);
  for (const char* bad : {"1", "13", ""}) {
    font->setText(QString::fromUtf8(bad));
    EXPECT_FALSE(showTab(sheet, kOcr)) << bad;
  }
  font->setText(QStringLiteral("12"));
  auto* limit = ctl<QLineEdit>(sheet.Page(kShow), 10173);
  EXPECT_TRUE(limit->isHidden());
  limit->setText(QStringLiteral("9"));
  sheet.accept();
  EXPECT_NE(sheet.result(), QDialog::Accepted);
  EXPECT_EQ(boxes.shown().size(), 4u);
  limit->setText(QStringLiteral("2000"));
  EXPECT_TRUE(showTab(sheet, kOcr));

  // Both buttons, Shift and Ctrl with a right double click show the limit.
  QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(5, 5), Qt::RightButton,
                  Qt::LeftButton | Qt::RightButton, Qt::ShiftModifier | Qt::ControlModifier);
  QCoreApplication::sendEvent(sheet.Page(kShow), &dbl);
  EXPECT_FALSE(limit->isHidden());
}

TEST(SettingsSheet, ScanTitleChecks) {
  struct Row {
    QString base;
    int date, time;
    const char* message;  // empty: accepted
  };
  const Row rows[] = {
      {QString(), 0, 0, "画像のタイトル名を入力してください。"},
      {QString(), 1, 0, ""},
      {QString(), 0, 2, ""},
      {QString(100, QLatin1Char('a')), 0, 0, ""},
      {QString(101, QLatin1Char('a')), 0, 0, "画像のタイトル名が長すぎます。\n半角１００文字以内にして下さい。"},
      {QString(51, QChar(0x3042)), 0, 0, "画像のタイトル名が長すぎます。\n半角１００文字以内にして下さい。"},
      {QStringLiteral("a:b"), 1, 1, "画像のタイトル名に  '*?][#|\"\\/:<>  は使えません。"},
      {QStringLiteral("a#b"), 1, 1, "画像のタイトル名に  '*?][#|\"\\/:<>  は使えません。"},
  };
  for (const Row& row : rows) EXPECT_EQ(CheckTitleBase(row.base, row.date, row.time), QString::fromUtf8(row.message)) << row.base.toStdString();

  platform::RecordingUserInteraction boxes;
  KankyoSettings in;
  in.KankyoScanNameDate = 0;
  in.KankyoScanNameTime = 0;
  SettingsSheet sheet(in, 0);
  EXPECT_FALSE(showTab(sheet, kImage));
  ASSERT_EQ(boxes.texts().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].caption, platform::kDefaultCaption);
}

TEST(SettingsSheet, PrintExtensionChecks) {
  struct Row {
    const char* list;
    bool ok;
  };
  const Row rows[] = {{"doc, .xls", true}, {"*.doc", true},   {"*.d*c", false}, {"", false},
                      {"*.", false},       {"abcdefghi", false}, {"abcdefg", true}, {"a.b", false}};
  for (const Row& row : rows) EXPECT_EQ(CheckExtensionList(QString::fromUtf8(row.list)).isEmpty(), row.ok) << row.list;
  EXPECT_EQ(BuildPrintPatterns(1, QStringLiteral("doc, .xls")), QStringList({"*.doc", "*.xls"}));

  platform::RecordingUserInteraction boxes;
  KankyoSettings in;
  in.KankyoPrintUserSelect = 0;
  in.KankyoPrintFileExt = QStringLiteral("*.d*c");
  SettingsSheet sheet(in, 0);
  ASSERT_TRUE(showTab(sheet, kPrint));
  auto* ext = ctl<QLineEdit>(sheet.Page(kPrint), 1073);
  EXPECT_FALSE(ext->isEnabled());
  EXPECT_TRUE(showTab(sheet, kScan));  // unchecked: the list is not looked at
  ASSERT_TRUE(showTab(sheet, kPrint));
  ctl<QCheckBox>(sheet.Page(kPrint), 1071)->setChecked(true);
  EXPECT_TRUE(ext->isEnabled());
  EXPECT_TRUE(ctl<QPushButton>(sheet.Page(kPrint), 1072)->isEnabled());
  EXPECT_FALSE(showTab(sheet, kScan));
  EXPECT_EQ(boxes.texts().back(), "対象ファイルの拡張子が不正です。");
  ext->setText(QStringLiteral("  doc, .xls "));
  sheet.accept();
  ASSERT_EQ(sheet.result(), QDialog::Accepted);
  EXPECT_EQ(sheet.Values().KankyoPrintFileExt, "doc, .xls");
  EXPECT_EQ(sheet.Values().KankyoPrintUserSelect, 1);
}

TEST(SettingsSheet, OcrProgramFollowsTheSiblingApplication) {
  KankyoSettings in;
  in.KankyoOCRProgram = 0;
  in.KankyoOCRLanguage = 1;
  {
    SettingsSheet sheet(in, 3);
    ASSERT_TRUE(showTab(sheet, kOcr));
    EXPECT_FALSE(ctl<QAbstractButton>(sheet.Page(kOcr), 10140)->isEnabled());
    // What runs without the sibling is shown chosen, though the value stays unset.
    EXPECT_TRUE(ctl<QAbstractButton>(sheet.Page(kOcr), 10140)->isChecked());
    EXPECT_FALSE(ctl<QAbstractButton>(sheet.Page(kOcr), 10141)->isChecked());
    EXPECT_FALSE(ctl<QAbstractButton>(sheet.Page(kOcr), 10145)->isEnabled());  // English: no output choice
    ctl<QAbstractButton>(sheet.Page(kOcr), 10142)->click();
    EXPECT_TRUE(ctl<QAbstractButton>(sheet.Page(kOcr), 10145)->isEnabled());
    sheet.accept();
    EXPECT_EQ(sheet.Values().KankyoOCRProgram, -1);
    EXPECT_EQ(sheet.Values().KankyoOCRLanguage, 0);
  }
  in.KankyoOCRProgram = -1;
  SettingsSheet sheet(in, 4);
  ASSERT_TRUE(showTab(sheet, kOcr));
  EXPECT_TRUE(ctl<QAbstractButton>(sheet.Page(kOcr), 10141)->isChecked());
  sheet.accept();
  EXPECT_EQ(sheet.Values().KankyoOCRProgram, 1);
}

TEST(SettingsSheet, ColourPagePreviewsAndResets) {
  KankyoSettings in;
  in.KankyoColorBackColor = 0x0000FF;  // red
  in.KankyoColorItemColor = 0x00FF00;
  SettingsSheet sheet(in, 0);
  std::vector<std::pair<int, int>> previews;
  sheet.SetColorPreview([&](int back, int item) { previews.emplace_back(back, item); });
  std::vector<QColor> custom;
  std::optional<QColor> answer = QColor(0, 0, 255);
  sheet.SetColorPicker([&](const QColor& current, const std::vector<QColor>& c) {
    EXPECT_EQ(current, QColor(255, 0, 0));
    custom = c;
    return answer;
  });
  ASSERT_TRUE(showTab(sheet, kColor));
  auto* back = ctl<ColorButton>(sheet.Page(kColor), 1201);
  answer.reset();  // cancelled in the colour dialog: nothing changes
  back->click();
  EXPECT_TRUE(previews.empty());
  answer = QColor(0, 0, 255);
  back->click();
  ASSERT_EQ(custom.size(), 16u);
  EXPECT_EQ(custom[0], QColor(255, 0, 0));
  EXPECT_EQ(custom[1], QColor(0x86, 0x86, 0x86));
  EXPECT_EQ(custom[7], QColor(0xB6, 0xB6, 0xB6));
  EXPECT_EQ(custom[8], QColor(0, 255, 0));
  EXPECT_EQ(custom[15], QColor(0xF6, 0xF6, 0xF6));
  ASSERT_EQ(previews.size(), 1u);
  EXPECT_EQ(previews[0], std::make_pair(0xFF0000, 0x00FF00));
  ctl<QPushButton>(sheet.Page(kColor), 1203)->click();
  EXPECT_EQ(previews.back(), std::make_pair(0xFFFFFF, SystemFaceColor()));
}

TEST(SettingsSheet, Screenshot) {
  KankyoSettings in;
  in.KankyoScanNameBase = QStringLiteral("スキャン画像");
  SettingsSheet sheet(in, 0);
  sheet.resize(600, 440);
  sheet.show();
  // All eight tabs are seen whole, however small the sheet was asked to be.
  auto* tabs = sheet.findChild<QTabWidget*>();
  ASSERT_NE(tabs, nullptr);
  ASSERT_EQ(tabs->count(), 8);
  for (int i = 0; i < tabs->count(); ++i)
    EXPECT_LE(tabs->tabBar()->tabRect(i).right(), tabs->tabBar()->width()) << tabs->tabText(i).toStdString();
  EXPECT_LE(tabs->tabBar()->tabRect(7).right(), tabs->width());
  QDir().mkpath(QStringLiteral(BRINDEL_SCREENSHOT_DIR));
  EXPECT_TRUE(sheet.grab().save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/settings_sheet.png")));
  ASSERT_TRUE(showTab(sheet, kColor));
  EXPECT_TRUE(sheet.grab().save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/settings_sheet_colour.png")));
}

}  // namespace
