// The conversion question for tables of earlier versions, driven headless.
#include "layout/dialogs/convert_conf_dlg.h"
#include "layout/layout_status.h"
#include "platform/byte_order.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <vector>

namespace {

using layout::dialogs::confirm_conversion;

void onNextModal(std::function<void(QWidget*)> act) {
  QTimer::singleShot(0, [act] {
    QWidget* modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr);
    act(modal);
  });
}

// A header-less table of `count` templates whose "@@" files are missing.
void writeOldTable(const std::string& folder, int count) {
  std::vector<std::uint8_t> t(layout::kOldTemplateTableBytes, 0);
  platform::storeLe16(&t[0], 300);
  platform::storeLe16(&t[2], static_cast<std::uint16_t>(count));
  for (int s = 0; s < count; ++s) t[7028 + 16 * static_cast<std::size_t>(s)] = '0';
  std::ofstream(layout::template_table_path(folder), std::ios::binary)
      .write(reinterpret_cast<const char*>(t.data()), static_cast<std::streamsize>(t.size()));
}

void click(QWidget* modal, const char* name) {
  auto* button = modal->findChild<QAbstractButton*>(QString::fromLatin1(name));
  ASSERT_NE(button, nullptr) << name;
  button->click();
}

TEST(ConvertConf, ShowsTheFolderAndStartsAtThirtyTwoBitRecords) {
  layout::dialogs::ConvertConfDialog dialog("/home/u/forms");
  EXPECT_EQ(dialog.objectName(), QStringLiteral("ConvertConf"));
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("ﾃﾝﾌﾟﾚｰﾄの変換"));
  EXPECT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("ctl1040"))->text(), QStringLiteral("/home/u/forms"));
  EXPECT_FALSE(dialog.findChild<QRadioButton*>(QStringLiteral("ctl1038"))->isChecked());
  EXPECT_TRUE(dialog.findChild<QRadioButton*>(QStringLiteral("ctl1039"))->isChecked());
  EXPECT_EQ(dialog.mode(), 2);
  dialog.findChild<QRadioButton*>(QStringLiteral("ctl1038"))->click();
  EXPECT_EQ(dialog.mode(), 1);
}

TEST(ConvertConf, CheckReportsWhatTheUserChoseAndWhatTheConversionGave) {
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString();
  writeOldTable(folder, 1);
  onNextModal([](QWidget* modal) { click(modal, "ctl2"); });
  EXPECT_EQ(layout::check_template_table(folder, confirm_conversion(nullptr)), 1);

  // The one "@@" file is missing: OK does not make the table usable.
  onNextModal([](QWidget* modal) {
    click(modal, "ctl1038");
    click(modal, "ctl1");
  });
  EXPECT_EQ(layout::check_template_table(folder, confirm_conversion(nullptr)), layout::kStatusFileOpen);

  QTemporaryDir fresh;
  writeOldTable(fresh.path().toStdString(), 0);
  onNextModal([](QWidget* modal) { click(modal, "ctl1"); });
  EXPECT_EQ(layout::check_template_table(fresh.path().toStdString(), confirm_conversion(nullptr)), 0);
  EXPECT_EQ(layout::check_template_table(fresh.path().toStdString(), {}), 0);  // no question any more
}

}  // namespace
