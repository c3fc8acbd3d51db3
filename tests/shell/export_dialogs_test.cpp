// The export, file conversion and registration-information dialogs, driven
// offscreen without running them modally.

#include "platform/user_interaction.h"
#include "shell/convert_dlg.h"
#include "shell/export_dlg.h"
#include "shell/file_dialogs.h"
#include "shell/import_dialogs.h"
#include "shell/image_format_lists.h"
#include "shell/qt_translations.h"
#include "shell/registration_info_dlg.h"
#include "tests/shell/wait_until.h"
#include "tests/support/test_env.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QStandardPaths>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

std::vector<std::pair<QString, int>> entriesOf(const QComboBox* box) {
  std::vector<std::pair<QString, int>> out;
  for (int i = 0; i < box->count(); ++i) out.emplace_back(box->itemText(i), box->itemData(i).toInt());
  return out;
}

void chooseFormat(CDlgExport2& dialog, int code) {
  const int row = dialog.formatList()->findData(code);
  ASSERT_GE(row, 0) << code;
  dialog.formatList()->setCurrentIndex(row);
}

class ExportDialogTest : public ::testing::Test {
 protected:
  std::unique_ptr<CDlgExport2> make(const QString& name, int format = -1) {
    auto dialog = std::make_unique<CDlgExport2>(q(dir.path()), name);
    dialog->formatCode = format;
    dialog->sourceExtension = QStringLiteral("bmp");
    dialog->OnInitDialog();
    return dialog;
  }

  testsupport::TempDir dir;
  platform::RecordingUserInteraction boxes;
};

}  // namespace

TEST_F(ExportDialogTest, TargetChecksInTheirOrder) {
  ASSERT_TRUE(testsupport::writeFile(dir.file("taken.tif"), "x"));
  const struct {
    const char* name;
    QString path;
    const char* message;
  } cases[] = {
      {"empty", QString(), "ファイル名を入力して下さい。"},
      {"relative", QStringLiteral("page.tif"), "ファイル名はフルパスで入力して下さい。"},
      {"missing folder", q(dir.file("none/page.tif")), "入力されたパスが存在しません。\n入力し直して下さい。"},
      {"folder only", q(dir.path()) + "/", "ファイル名を入力して下さい。"},
      {"catalogue file", q(dir.file("INFO.MDB")), "このファイル名は使用できません。"},
      {"dot dot", q(dir.path()) + "/..", "ファイル名が不正です。"},
      {"too long", q(dir.path()) + "/" + QString(300, QLatin1Char('a')), "ファイル名が不正です。"},
      {"existing", q(dir.file("taken.tif")), "入力されたファイル名はすでに存在します。\n入力し直して下さい。"},
      {"free", q(dir.file("free.tif")), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CDlgExport2::CheckTarget(c.path).toStdString(), c.message);
  }
}

TEST_F(ExportDialogTest, ANameWithoutExtensionIsCheckedAgainWithTheFormatsExtension) {
  ASSERT_TRUE(testsupport::writeFile(dir.file("scan.tif"), "old"));
  auto dialog = make(QStringLiteral("scan"));
  chooseFormat(*dialog, 3);
  dialog->fileNameEdit()->setText(QStringLiteral("scan"));
  dialog->accept();
  EXPECT_NE(dialog->result(), QDialog::Accepted) << "scan.tif exists: never overwritten";
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].caption, "エクスポート");
  EXPECT_EQ(boxes.shown()[0].text, "入力されたファイル名はすでに存在します。\n入力し直して下さい。");
  EXPECT_EQ(dialog->fileNameEdit()->text(), QStringLiteral("scan.tif"));
  EXPECT_EQ(testsupport::readFile(dir.file("scan.tif")), "old");

  dialog->fileNameEdit()->setText(QStringLiteral("scan2"));
  dialog->accept();
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(dialog->fileName, q(dir.file("scan2.tif")));
  EXPECT_EQ(dialog->formatCode, 3);
}

TEST_F(ExportDialogTest, ListsFollowTheChosenFormat) {
  auto dialog = make(QStringLiteral("page.bmp"));
  // "(同一形式)" first: one empty colour entry, no compression.
  EXPECT_EQ(dialog->formatList()->currentData().toInt(), 0);
  EXPECT_EQ(dialog->formatList()->currentText(), QStringLiteral("(同一形式)"));
  EXPECT_EQ(entriesOf(dialog->colourList()), (std::vector<std::pair<QString, int>>{{QString(), -1}}));
  EXPECT_EQ(entriesOf(dialog->compressionList()), (std::vector<std::pair<QString, int>>{{QString(), -1}}));

  chooseFormat(*dialog, 10);  // JPEG: three compressions, the low one preselected
  EXPECT_EQ(entriesOf(dialog->compressionList()),
            (std::vector<std::pair<QString, int>>{{QStringLiteral("高圧縮"), 255}, {QStringLiteral("中圧縮"), 120},
                                                  {QStringLiteral("低圧縮"), 2}}));
  EXPECT_EQ(dialog->compressionList()->currentData().toInt(), 2);
  EXPECT_EQ(dialog->colourList()->currentText(), QStringLiteral("24bit カラー"));
  EXPECT_EQ(dialog->fileNameEdit()->text(), QStringLiteral("page.jpg"));
  EXPECT_FALSE(dialog->multiPageBox()->isEnabled());

  chooseFormat(*dialog, 3);
  EXPECT_EQ(dialog->colourList()->currentText(), QStringLiteral("256色"));
  EXPECT_EQ(dialog->colourList()->count(), 10);
  EXPECT_TRUE(dialog->multiPageBox()->isEnabled());
  EXPECT_EQ(dialog->fileNameEdit()->text(), QStringLiteral("page.tif"));

  chooseFormat(*dialog, 0);
  EXPECT_EQ(dialog->fileNameEdit()->text(), QStringLiteral("page.bmp")) << "the source's extension comes back";
}

TEST_F(ExportDialogTest, PresetsSkipAndMultiPage) {
  auto dialog = std::make_unique<CDlgExport2>(q(dir.path()), QStringLiteral("p.tif"));
  dialog->formatCode = 3;
  dialog->colourBits = 1;
  dialog->skipAllowed = 0;
  dialog->OnInitDialog();
  EXPECT_EQ(dialog->colourList()->currentData().toInt(), 1);
  EXPECT_TRUE(dialog->skipButton()->isHidden());
  EXPECT_TRUE(dialog->multiPageBox()->isHidden());
  dialog->multiPageBox()->setChecked(true);
  dialog->accept();
  EXPECT_EQ(dialog->multiPage, 0) << "a hidden check box counts as unchecked";

  auto stackPage = std::make_unique<CDlgExport2>(q(dir.path()), QStringLiteral("p.tif"));
  stackPage->multiPageMode = CDlgExport2::kShowMultiPage;
  stackPage->formatCode = 29;
  stackPage->OnInitDialog();
  EXPECT_FALSE(stackPage->skipButton()->isHidden());
  EXPECT_FALSE(stackPage->multiPageBox()->isHidden());
  stackPage->multiPageBox()->setChecked(true);
  stackPage->accept();
  EXPECT_EQ(stackPage->multiPage, 1);
  EXPECT_EQ(stackPage->colourBits, 1);
}

TEST(ImageFormatLists, OnlyWritableFormatsAreOffered) {
  const std::vector<int> codes = imageformat::ExportFormatCodes(false);
  EXPECT_EQ(codes.front(), 0);
  // The vendor's own formats, FlashPix and the proprietary fax kinds stay out.
  for (int unwritable : {5, 15, 20, 26, 51, 52, 53, 54, 67, 69, 70, 71, 80})
    EXPECT_EQ(std::count(codes.begin(), codes.end(), unwritable), 0) << unwritable;
  for (int writable : {10, 2, 75, 6, 3, 29, 1, 4, 16, 50, 55, 56, 66, 68, 76})
    EXPECT_EQ(std::count(codes.begin(), codes.end(), writable), 1) << writable;
  EXPECT_EQ(imageformat::ExportFormatCodes(true), std::vector<int>{0});
  EXPECT_EQ(imageformat::ConvertFormatCodes(), (std::vector<int>{10, 6, 3, 27, 29}));
}

TEST(ConvertDialog, PresetsAndTheirFallbacks) {
  ConvertDlg dialog;
  dialog.formatCode = 29;
  dialog.colourBits = 1;
  dialog.OnInitDialog();
  EXPECT_EQ(dialog.formatList()->currentData().toInt(), 29);
  EXPECT_EQ(entriesOf(dialog.colourList()), (std::vector<std::pair<QString, int>>{{QStringLiteral("白黒"), 1}}));
  dialog.accept();
  EXPECT_EQ(dialog.formatCode, 29);
  EXPECT_EQ(dialog.colourBits, 1);
  EXPECT_EQ(dialog.quality, -1);

  ConvertDlg png;
  png.formatCode = 75;  // not offered: the first format, JPEG
  png.colourBits = 8;
  png.OnInitDialog();
  EXPECT_EQ(png.formatList()->currentData().toInt(), 10);
  EXPECT_EQ(png.windowTitle(), QStringLiteral("ファイルコンバート"));
  EXPECT_EQ(png.objectName(), QStringLiteral("dlg10533"));
}

// ---- registration information --------------------------------------------------------

namespace {

QLineEdit* edit(QWidget& dialog, int id) { return dialog.findChild<QLineEdit*>(QStringLiteral("ctl%1").arg(id)); }
QLabel* label(QWidget& dialog, int id) { return dialog.findChild<QLabel*>(QStringLiteral("ctl%1").arg(id)); }

}  // namespace

TEST(PropertyDialogs, TheIssueDateMustBeADate) {
  const struct {
    const char *y, *m, *d;
    bool accepted;
    int ymd;
  } cases[] = {{"2026", "12", "24", true, 20261224}, {"2026", "13", "1", false, 0},  {"2026", "4", "31", false, 0},
               {"99", "1", "1", false, 0},           {"100", "1", "1", true, 1000101}, {"2024", "2", "29", true, 20240229},
               {"", "", "", true, 0},                {"2026", "", "1", false, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.y) + "-" + c.m + "-" + c.d);
    platform::RecordingUserInteraction boxes;
    ItemPropertyDlg dialog;
    dialog.officialDate = 20200101;
    dialog.OnInitDialog();
    edit(dialog, 10285)->setText(QString::fromUtf8(c.y));
    edit(dialog, 10286)->setText(QString::fromUtf8(c.m));
    edit(dialog, 10287)->setText(QString::fromUtf8(c.d));
    dialog.accept();
    EXPECT_EQ(dialog.result() == QDialog::Accepted, c.accepted);
    if (c.accepted) {
      EXPECT_EQ(dialog.officialDate, c.ymd);
      EXPECT_TRUE(boxes.shown().empty());
    } else {
      ASSERT_EQ(boxes.shown().size(), 1u);
      EXPECT_EQ(boxes.shown()[0].text, "日付が無効です。\n入力し直して下さい。");
      EXPECT_EQ(boxes.shown()[0].caption, "登録情報の変更");
    }
  }
}

TEST(PropertyDialogs, ItemDialogShowsItsFields) {
  ItemPropertyDlg dialog;
  dialog.filePath = QStringLiteral("/d/見積.bmp");
  dialog.creator = QStringLiteral("山田");
  dialog.modifiedDate = 20261201;
  dialog.accessedDate = 20261224;
  dialog.facts.size = QStringLiteral("不明");
  dialog.OnInitDialog();
  EXPECT_EQ(edit(dialog, 10295)->text(), QStringLiteral("/d/見積.bmp"));
  EXPECT_EQ(edit(dialog, 10282)->text(), QStringLiteral("山田"));
  EXPECT_EQ(label(dialog, 10290)->text(), QStringLiteral("2026年12月1日"));
  EXPECT_EQ(label(dialog, 10291)->text(), QStringLiteral("2026年12月24日"));
  EXPECT_EQ(label(dialog, 10292)->text(), QStringLiteral("不明"));
  // 50 bytes of Shift-JIS: 25 kanji fit, the 26th does not.
  edit(dialog, 10282)->clear();
  for (int i = 0; i < 26; ++i) {
    QString text = edit(dialog, 10282)->text() + QStringLiteral("漢");
    int pos = 0;
    if (edit(dialog, 10282)->validator()->validate(text, pos) == QValidator::Acceptable)
      edit(dialog, 10282)->setText(text);
  }
  EXPECT_EQ(edit(dialog, 10282)->text().size(), 25);
}

TEST(PropertyDialogs, StackPagesKeepWhatWasTypedAndOnlyChangedPagesAreMarked) {
  DocumentPropertyDlg dialog;
  for (int i = 1; i <= 3; ++i) {
    DocumentPropertyDlg::Page page;
    page.info.ItemNo = i;
    page.info.OfficialDate = 20260101;
    page.filePath = QStringLiteral("/d/p%1.bmp").arg(i);
    page.keyword = QStringLiteral("k%1").arg(i);
    page.state = DocumentPropertyDlg::kRead;
    dialog.pages.push_back(page);
  }
  dialog.currentPage = 2;
  dialog.stackOfficialDate = 20260101;
  int examined = 0;
  dialog.examine = [&](const ItemInfo&) {
    ++examined;
    return ImageFacts{};
  };
  dialog.OnInitDialog();
  EXPECT_EQ(dialog.shownPage(), 2);
  EXPECT_EQ(dialog.pageChooser()->count(), 3);
  EXPECT_EQ(dialog.pageChooser()->itemText(0), QStringLiteral("/d/p1.bmp"));
  EXPECT_EQ(edit(dialog, 10283)->text(), QStringLiteral("k2"));
  edit(dialog, 10283)->setText(QStringLiteral("typed"));
  dialog.pageChooser()->setCurrentIndex(0);
  EXPECT_EQ(edit(dialog, 10283)->text(), QStringLiteral("k1"));
  dialog.pageChooser()->setCurrentIndex(1);
  EXPECT_EQ(edit(dialog, 10283)->text(), QStringLiteral("typed")) << "what was typed, not what is stored";
  dialog.accept();
  ASSERT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.pages[0].state, DocumentPropertyDlg::kRead);
  EXPECT_EQ(dialog.pages[1].state, DocumentPropertyDlg::kChanged);
  EXPECT_EQ(dialog.pages[1].keyword, QStringLiteral("typed"));
  EXPECT_EQ(dialog.pages[2].state, DocumentPropertyDlg::kRead) << "never shown, never written";
  EXPECT_EQ(examined, 3);
}

TEST_F(ExportDialogTest, Screenshots) {
  QDir().mkpath(QStringLiteral(BRINDEL_SCREENSHOT_DIR));
  auto dialog = make(QStringLiteral("見積.bmp"));
  dialog->multiPageMode = CDlgExport2::kShowMultiPage;
  dialog->OnInitDialog();
  chooseFormat(*dialog, 3);
  dialog->resize(760, 520);
  dialog->show();
  QCoreApplication::processEvents();
  EXPECT_TRUE(dialog->grab().save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/export_dialog.png")));

  DocumentPropertyDlg properties;
  DocumentPropertyDlg::Page page;
  page.info.OfficialDate = 20261201;
  page.info.LastModifiedDate = 20261210;
  page.info.LastAccessedDate = 20261224;
  page.filePath = QStringLiteral("/home/user/書類/見積.bmp");
  page.creator = QStringLiteral("山田");
  page.state = DocumentPropertyDlg::kRead;
  properties.pages = {page, page};
  properties.stackTitle = QStringLiteral("見積一式");
  properties.stackOfficialDate = 20261201;
  properties.examine = [](const ItemInfo&) {
    return ImageFacts{QStringLiteral("400"), QStringLiteral("400"), QStringLiteral("幅 1700 ピクセル x 高さ 2200 ピクセル"),
                      QStringLiteral("TIFF G4圧縮"), QStringLiteral("白黒")};
  };
  properties.OnInitDialog();
  properties.show();
  QCoreApplication::processEvents();
  EXPECT_TRUE(properties.grab().save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/document_property_dialog.png")));
}

// The import dialog as a Japanese user meets it: Qt's texts in Japanese
// (a folder's type too), opened in the documents folder or the folder last
// used, its columns wide enough for what they show.
TEST(FileDialogs, JapaneseTextsTheRightFolderAndWholeColumns) {
  ASSERT_TRUE(InstallQtTranslations());
  testsupport::TempDir dir;
  ASSERT_TRUE(QDir().mkpath(q(dir.path() + "/請求書")));
  ASSERT_TRUE(testsupport::writeFile(dir.path() + "/見積書.txt", "x"));
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  EXPECT_EQ(StartFolder(FileDialogPurpose::Desktop), QFileInfo(documents).isDir() ? documents : QDir::homePath());

  RememberFolder(FileDialogPurpose::Import, q(dir.path()));
  CDlgImport dialog(nullptr, 10);
  EXPECT_EQ(dialog.directory().absolutePath(), q(dir.path()));
  dialog.setViewMode(QFileDialog::Detail);
  dialog.show();
  auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
  ASSERT_NE(details, nullptr);
  QAbstractItemModel* model = details->model();
  const auto rowOf = [&](const QString& name) {
    const QModelIndex root = details->rootIndex();
    for (int r = 0; r < model->rowCount(root); ++r)
      if (model->index(r, 0, root).data().toString() == name) return model->index(r, 0, root);
    return QModelIndex();
  };
  ASSERT_TRUE(waitUntil([&] { return rowOf(QStringLiteral("請求書")).isValid() && rowOf(QStringLiteral("見積書.txt")).isValid(); }));
  const QModelIndex folder = rowOf(QStringLiteral("請求書"));
  EXPECT_EQ(folder.siblingAtColumn(2).data().toString(), QStringLiteral("フォルダー"));
  const QModelIndex file = rowOf(QStringLiteral("見積書.txt"));
  const QFontMetrics metrics = details->fontMetrics();
  const auto* delegate = qobject_cast<const QStyledItemDelegate*>(details->itemDelegate());
  ASSERT_NE(delegate, nullptr);
  for (int column = 1; column <= 3; ++column) {
    SCOPED_TRACE(column);
    const QString shown = delegate->displayText(file.siblingAtColumn(column).data(), details->locale());
    EXPECT_GT(details->header()->sectionSize(column), metrics.horizontalAdvance(shown)) << shown.toStdString();
    EXPECT_GT(details->header()->sectionSize(column),
              metrics.horizontalAdvance(model->headerData(column, Qt::Horizontal).toString()));
  }
  EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("名前"));
  QCoreApplication::processEvents();
  QDir().mkpath(QStringLiteral(BRINDEL_SCREENSHOT_DIR));
  EXPECT_TRUE(dialog.grab().save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/import_dialog.png")));
  dialog.reject();
}
