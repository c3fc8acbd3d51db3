// The property sheet over the control's dispatch interface: every property
// the two pages show goes there and back, the rules between the controls of
// the first page, the character-kind dialog, and ShowParamSet.
#include "ocrctl/char_kind_dlg.h"
#include "ocrctl/ocr_dispatch.h"
#include "ocrctl/property_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <gtest/gtest.h>

using namespace ocrctl;
using platform::DispatchKind;
using platform::Variant;

namespace {

std::int32_t get(OcrDispatch& d, const char* name) {
  Variant result;
  EXPECT_EQ(d.invoke(PropertyBinding::dispidOf(name), DispatchKind::PropertyGet, {}, &result), platform::kDispOk);
  std::int32_t value = 0;
  EXPECT_TRUE(result.toLong(&value)) << name;
  return value;
}

std::int32_t getById(OcrDispatch& d, int dispid) {
  Variant result;
  EXPECT_EQ(d.invoke(dispid, DispatchKind::PropertyGet, {}, &result), platform::kDispOk);
  std::int32_t value = -1;
  EXPECT_TRUE(result.toLong(&value)) << dispid;
  return value;
}

void put(OcrDispatch& d, const char* name, std::int32_t value) {
  PropertyBinding binding(d);
  EXPECT_TRUE(binding.put(name, value)) << name;
}

template <typename T>
T* child(QWidget& parent, int id) {
  T* widget = parent.findChild<T*>(QStringLiteral("ctl%1").arg(id));
  EXPECT_NE(widget, nullptr) << id;
  return widget;
}

ColourSwatch* swatch(QWidget& w, int id) { return static_cast<ColourSwatch*>(child<QWidget>(w, id)); }
bool checked(QWidget& w, int id) { return child<QAbstractButton>(w, id)->isChecked(); }
bool enabled(QWidget& w, int id) { return child<QWidget>(w, id)->isEnabled(); }
void click(QWidget& w, int id) { child<QAbstractButton>(w, id)->click(); }

void screenshot(QWidget& widget, const char* name) {
  QDir().mkpath(QStringLiteral(BRINDEL_SCREENSHOT_DIR));
  widget.show();
  EXPECT_TRUE(widget.grab().toImage().save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/%1.png").arg(name)));
}

// The control keeps its frame colours and pen widths in a settings file when
// it goes: a test that changes them takes the file away after the control.
struct SettingsFileRemoved {
  ~SettingsFileRemoved() { QFile::remove(QString::fromStdString(OcrControl::settingsPath())); }
};

}  // namespace

TEST(PropertySheet, EveryPropertyShownGoesThereAndBack) {
  const SettingsFileRemoved forget;
  OcrDispatch control;
  const std::pair<const char*, std::int32_t> start[] = {
      {"Form", 2},           {"Language", 0},          {"LetterDirection", 4}, {"InsertCRMode", 0},
      {"BlancOutMode", 1},   {"CharAttr", 5},          {"ActiveColor", 0x123456}, {"RcgFieldColor", 0x00FF00},
      {"CreateColor", 0x010203}, {"ActivePensize", 3}, {"RcgFieldPensize", 4},   {"CreatePensize", 5},
      {"RcgJpnColor", 0x0000FF}, {"RcgEngColor", 0xABCDEF}};
  for (auto [name, value] : start) put(control, name, value);

  OcrPropertySheet sheet(control, nullptr);
  EXPECT_EQ(sheet.findChild<QTabWidget*>()->tabText(0), "認識パラメータ");
  EXPECT_EQ(sheet.findChild<QTabWidget*>()->tabText(1), "環境設定");
  QWidget& p = sheet.parameters();
  QWidget& e = sheet.environment();
  EXPECT_TRUE(checked(p, 219));
  EXPECT_EQ(child<QComboBox>(p, 205)->currentText(), "縦多段");
  EXPECT_TRUE(checked(p, 210));
  EXPECT_TRUE(checked(p, 213));
  EXPECT_TRUE(enabled(p, 213)) << "Japanese, line by line: blanks may be output";
  EXPECT_TRUE(checked(p, 214));
  EXPECT_EQ(child<QLineEdit>(p, 216)->text(), "5");
  EXPECT_EQ(child<QSpinBox>(e, 236)->value(), 3);
  EXPECT_EQ(child<QSpinBox>(e, 237)->value(), 4);
  EXPECT_EQ(child<QSpinBox>(e, 238)->value(), 5);
  EXPECT_EQ(child<QLineEdit>(e, 246)->text(), QString::number(0x123456));
  EXPECT_FALSE(child<QLineEdit>(e, 246)->isVisibleTo(&e));
  EXPECT_EQ(swatch(e, 239)->colour(), 0xABCDEFu);
  EXPECT_FALSE(child<QPushButton>(sheet, 12321)->isEnabled()) << "nothing changed yet";

  // The swatches: an outlined frame, and a filled box for the progress colours.
  screenshot(sheet, "property_sheet_parameters");
  auto pixel = [](QWidget& swatch, int x, int y) {
    const QImage shot = swatch.grab().toImage();
    return QColor(shot.pixel(x < 0 ? shot.width() / 2 : x, y < 0 ? shot.height() / 2 : y));
  };
  QWidget& frame = *child<QWidget>(e, 232);
  QWidget& filled = *child<QWidget>(e, 233);
  const int inset = std::min(swatch(e, 232)->contentsRect().width() / 8,
                             swatch(e, 232)->contentsRect().height() / 8);
  const int edge = swatch(e, 232)->contentsRect().left() + inset;
  EXPECT_EQ(pixel(frame, -1, -1), QColor(Qt::white));
  EXPECT_EQ(pixel(frame, edge, -1), QColor(0, 255, 0));
  EXPECT_EQ(pixel(filled, -1, -1), QColor(255, 0, 0));

  // Every control changed, then OK.
  child<QComboBox>(p, 205)->setCurrentIndex(2);
  sheet.parameters().charKindRunner = [](CharKindDlg& dialog) {
    for (const CharKind& kind : kCharKinds) dialog.findChild<QCheckBox*>(QStringLiteral("ctl%1").arg(kind.id))->setChecked(false);
    return static_cast<int>(QDialog::Accepted);
  };
  click(p, 220);
  EXPECT_EQ(child<QLineEdit>(p, 216)->text(), "0");
  click(p, 202);
  click(p, 211);
  click(p, 215);
  child<QSpinBox>(e, 236)->setValue(7);
  child<QSpinBox>(e, 237)->setValue(8);
  child<QSpinBox>(e, 238)->setValue(9);
  sheet.tabs()->setCurrentIndex(1);
  screenshot(sheet, "property_sheet_environment");
  int next = 1;
  sheet.environment().pickColour = [&](const QColor&) { return std::optional<QColor>(QColor(next++, 2, 3)); };
  for (int button : {229, 230, 234, 240, 241}) click(e, button);
  EXPECT_TRUE(child<QPushButton>(sheet, 12321)->isEnabled());
  click(sheet, 1);
  EXPECT_EQ(sheet.result(), QDialog::Accepted);

  const std::pair<const char*, std::int32_t> end[] = {
      {"Form", 1},          {"Language", 1},          {"LetterDirection", 2},    {"InsertCRMode", 1},
      {"BlancOutMode", 0},  {"CharAttr", 63},         {"ActiveColor", 0x030201}, {"RcgFieldColor", 0x030202},
      {"CreateColor", 0x030203}, {"ActivePensize", 7}, {"RcgFieldPensize", 8},    {"CreatePensize", 9},
      {"RcgJpnColor", 0x030204}, {"RcgEngColor", 0x030205}};
  for (auto [name, value] : end) EXPECT_EQ(get(control, name), value) << name;
}

TEST(PropertySheet, LanguageAndLineBreaksGovernTheOtherControls) {
  const SettingsFileRemoved forget;
  OcrDispatch control;
  put(control, "Language", 0);
  put(control, "InsertCRMode", 0);
  put(control, "LetterDirection", 4);
  OcrPropertySheet sheet(control, nullptr);
  QWidget& p = sheet.parameters();
  auto* directions = child<QComboBox>(p, 205);
  EXPECT_EQ(directions->count(), 5);

  // English: three layouts, a vertical one becomes 自動判別, no kinds, no blanks.
  click(p, 215);
  EXPECT_EQ(directions->count(), 3);
  EXPECT_EQ(directions->currentText(), "自動判別");
  EXPECT_FALSE(enabled(p, 220));
  EXPECT_FALSE(enabled(p, 212));
  EXPECT_TRUE(checked(p, 212));

  // Japanese again while ブロック is checked: blanks stay off.
  directions->setCurrentIndex(2);
  click(p, 211);
  click(p, 214);
  EXPECT_EQ(directions->count(), 5);
  EXPECT_EQ(directions->currentText(), "横多段") << "a choice the list still has is kept";
  EXPECT_TRUE(enabled(p, 220));
  EXPECT_FALSE(enabled(p, 213));
  EXPECT_TRUE(checked(p, 212));

  // 毎行 with 日本語 lets them on; ブロック takes them off and checks なし.
  click(p, 210);
  EXPECT_TRUE(enabled(p, 212));
  EXPECT_TRUE(enabled(p, 213));
  click(p, 213);
  click(p, 211);
  EXPECT_FALSE(enabled(p, 213));
  EXPECT_TRUE(checked(p, 212));
  EXPECT_FALSE(checked(p, 213));
}

TEST(PropertySheet, LanguageChosenAutomaticallyChecksNoLanguageButton) {
  const SettingsFileRemoved forget;
  OcrDispatch control;
  put(control, "Language", -1);
  OcrPropertySheet sheet(control, nullptr);
  EXPECT_FALSE(checked(sheet.parameters(), 214));
  EXPECT_FALSE(checked(sheet.parameters(), 215));
  // Applied untouched, the automatic choice stays.
  click(sheet, 1);
  EXPECT_EQ(get(control, "Language"), -1);
}

TEST(CharKindDialog, BoxesFollowTheBitsAndCancelLeavesThePageAsItWas) {
  CharKindDlg dialog(1 + 4 + 32, nullptr);
  EXPECT_EQ(dialog.objectName(), "dlg202");
  EXPECT_EQ(dialog.windowTitle(), "認識字種設定");
  const std::pair<int, bool> boxes[] = {{223, true}, {224, false}, {225, true}, {227, false}, {226, false}, {228, true}};
  for (auto [id, on] : boxes) EXPECT_EQ(checked(dialog, id), on) << id;
  EXPECT_EQ(child<QPushButton>(dialog, 2)->text(), "ｷｬﾝｾﾙ");
  click(dialog, 227);
  EXPECT_EQ(dialog.value(), 1u + 4u + 8u + 32u);
  screenshot(dialog, "char_kind_dialog");

  const SettingsFileRemoved forget;
  OcrDispatch control;
  put(control, "CharAttr", 3);
  OcrPropertySheet sheet(control, nullptr);
  OcrPropPage& page = sheet.parameters();
  unsigned shown = 0;
  page.charKindRunner = [&](CharKindDlg& d) {
    shown = d.value();
    click(d, 228);
    return static_cast<int>(QDialog::Rejected);
  };
  click(page, 220);
  EXPECT_EQ(shown, 3u);
  EXPECT_EQ(child<QLineEdit>(page, 216)->text(), "3");
  EXPECT_FALSE(page.isModified());
  page.charKindRunner = [&](CharKindDlg& d) {
    click(d, 228);
    return static_cast<int>(QDialog::Accepted);
  };
  click(page, 220);
  EXPECT_EQ(child<QLineEdit>(page, 216)->text(), "35");
  EXPECT_TRUE(page.isModified());
}

TEST(PropertySheet, ShowParamSetAppliesAndAnUntouchedSheetWritesNothing) {
  const SettingsFileRemoved forget;
  OcrDispatch control;
  auto showParamSet = [&] {
    Variant result;
    EXPECT_EQ(control.invoke(ocrctl::dispid::kShowParamSet, DispatchKind::Method, {}, &result), platform::kDispOk);
    std::int16_t value = -99;
    EXPECT_TRUE(result.toShort(&value));
    return value;
  };
  control.setDialogRunner([](QDialog& dialog) {
    dialog.accept();
    return dialog.result();
  });
  EXPECT_EQ(showParamSet(), 0);
  EXPECT_FALSE(control.control().modified());

  // 適用 writes at once; a later キャンセル does not take it back.
  control.setDialogRunner([](QDialog& dialog) {
    auto& sheet = static_cast<OcrPropertySheet&>(dialog);
    child<QSpinBox>(sheet.environment(), 237)->setValue(6);
    click(sheet, 12321);
    EXPECT_FALSE(child<QPushButton>(sheet, 12321)->isEnabled());
    dialog.reject();
    return dialog.result();
  });
  EXPECT_EQ(showParamSet(), 0);
  EXPECT_EQ(get(control, "RcgFieldPensize"), 6);
  EXPECT_TRUE(control.control().modified());
}

TEST(ControlSettings, FrameColoursAndPenWidthsOutliveTheControl) {
  const SettingsFileRemoved forget;
  {
    OcrDispatch control;
    EXPECT_EQ(get(control, "ActiveColor"), 0x0000FF);
    put(control, "ActiveColor", 0x00FF00);
    put(control, "RcgFieldPensize", 4);
    put(control, "RcgEngColor", 0x123456);
  }
  {
    OcrDispatch control;
    EXPECT_EQ(get(control, "ActiveColor"), 0x00FF00);
    EXPECT_EQ(get(control, "RcgFieldPensize"), 4);
    EXPECT_EQ(get(control, "RcgEngColor"), 0x123456);
    EXPECT_EQ(get(control, "CreateColor"), 0x7F7F7F);
    EXPECT_FALSE(control.control().modified());
    // What was not persisted starts at its default every time.
    EXPECT_EQ(getById(control, 25), 1);  // ShowCancel
  }
  // A file of another version is not read.
  const std::string path = OcrControl::settingsPath();
  QFile file(QString::fromStdString(path));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("[ZeqOcr3]\r\nVersion=131072\r\nActiveColor=65280\r\n");
  file.close();
  OcrDispatch control;
  EXPECT_EQ(get(control, "ActiveColor"), 0x0000FF);
}

TEST(ControlSettings, StockBorderRefreshAndAboutBox) {
  OcrDispatch control;
  auto* window = qobject_cast<QFrame*>(control.window());
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(getById(control, ocrctl::dispid::kBorderStyle), 0);
  EXPECT_EQ(window->frameShape(), QFrame::NoFrame);
  Variant one(std::int16_t{1});
  EXPECT_EQ(control.invoke(ocrctl::dispid::kBorderStyle, DispatchKind::PropertyPut, {&one, 1}, nullptr),
            platform::kDispOk);
  EXPECT_EQ(getById(control, ocrctl::dispid::kBorderStyle), 1);
  EXPECT_EQ(window->frameShape(), QFrame::Box);
  EXPECT_GT(window->frameWidth(), 0);

  Variant result;
  EXPECT_EQ(control.invoke(ocrctl::dispid::kRefresh, DispatchKind::Method, {}, &result), platform::kDispOk);
  QString shown;
  control.setDialogRunner([&](QDialog& dialog) {
    shown = dialog.objectName() + " " + dialog.windowTitle();
    dialog.accept();
    return dialog.result();
  });
  EXPECT_EQ(control.invoke(ocrctl::dispid::kAboutBox, DispatchKind::Method, {}, &result), platform::kDispOk);
  EXPECT_EQ(shown, QStringLiteral("dlg1 ZEQOCR30 のバージョン情報"));
  EXPECT_EQ(control.invoke(ocrctl::dispid::kAboutBox, DispatchKind::PropertyGet, {}, &result),
            platform::kDispUnknownName);
  EXPECT_EQ(control.invoke(-505, DispatchKind::PropertyGet, {}, &result), platform::kDispUnknownName);
}
