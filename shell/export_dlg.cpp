#include "shell/export_dlg.h"

#include "shell/file_dialogs.h"

#include "catalogue/file_utilities.h"
#include "platform/user_interaction.h"
#include "shell/image_format_lists.h"
#include "shell/image_utilities.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <sys/stat.h>

#include <climits>
#include <utility>

namespace {

const char* const kCaption = "エクスポート";
const char* const kNoName = "ファイル名を入力して下さい。";
const char* const kNotFullPath = "ファイル名はフルパスで入力して下さい。";
const char* const kNoFolder = "入力されたパスが存在しません。\n入力し直して下さい。";
const char* const kReservedName = "このファイル名は使用できません。";
const char* const kBadName = "ファイル名が不正です。";
const char* const kExists = "入力されたファイル名はすでに存在します。\n入力し直して下さい。";

bool pathExists(const QString& path) {
  struct stat st {};
  return ::lstat(QFile::encodeName(path).constData(), &st) == 0;  // a dangling link counts
}

}  // namespace

QString ReplaceExtension(const QString& name, const QString& extension) {
  const int slash = name.lastIndexOf(QLatin1Char('/'));
  const int point = name.lastIndexOf(QLatin1Char('.'));
  const QString stem = point > slash + 1 ? name.left(point) : name;
  return extension.isEmpty() ? stem : stem + QLatin1Char('.') + extension;
}

CDlgExport2::CDlgExport2(const QString& startFolder, const QString& fileName, QWidget* parent)
    : QFileDialog(parent) {
  setObjectName(QStringLiteral("dlg%1").arg(kPanelId));  // the template of the added controls
  setOption(QFileDialog::DontUseNativeDialog, true);
  setOption(QFileDialog::DontConfirmOverwrite, true);  // an existing name is refused, never overwritten
  setOption(QFileDialog::ReadOnly, false);
  setAcceptMode(QFileDialog::AcceptSave);
  setFileMode(QFileDialog::AnyFile);
  setDirectory(startFolder);
  if (QLineEdit* edit = fileNameEdit()) edit->setText(fileName);

  // The extra controls join the dialog's own grid below the file name and
  // type, labels in the label column and lists in the field column, so they
  // line up with the standard controls; "スキップ" stands under the buttons.
  format_ = new QComboBox(this);
  format_->setObjectName(QStringLiteral("formatList"));
  colour_ = new QComboBox(this);
  colour_->setObjectName(QStringLiteral("colourList"));
  compression_ = new QComboBox(this);
  compression_->setObjectName(QStringLiteral("compressionList"));
  multiPageBox_ = new QCheckBox(QStringLiteral("マルチページファイルにして出力する"), this);
  multiPageBox_->setObjectName(QStringLiteral("multiPageCheck"));
  skip_ = new QPushButton(QStringLiteral("スキップ"), this);
  skip_->setObjectName(QStringLiteral("skipButton"));
  const std::pair<const char*, QComboBox*> rows[] = {{"ファイル形式", format_}, {"色数", colour_}, {"圧縮率", compression_}};
  auto* own = qobject_cast<QGridLayout*>(layout());
  int row = own ? own->rowCount() : 0;
  for (const auto& [text, list] : rows) {
    auto* label = new QLabel(QString::fromUtf8(text), this);
    label->setBuddy(list);
    if (own) {
      own->addWidget(label, row, 0);
      own->addWidget(list, row++, 1);
    }
  }
  if (own) {
    own->addWidget(multiPageBox_, row, 1);
    own->addWidget(skip_, row, own->columnCount() - 1);
  }
  choices_ = std::make_unique<ImageFormatChoices>(format_, colour_, compression_);
  connect(format_, &QComboBox::currentIndexChanged, this, [this] {
    if (!initialising_) OnFormatChanged();
  });
  connect(skip_, &QPushButton::clicked, this, [this] { done(kSkipped); });
  FitFileDialog(*this);
}

CDlgExport2::~CDlgExport2() = default;

QLineEdit* CDlgExport2::fileNameEdit() const { return findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); }

QString CDlgExport2::extensionFor(int code) const {
  return QString::fromStdString(GetImageFormatExtension(code, sourceExtension.toStdString()));
}

void CDlgExport2::OnInitDialog() {
  initialising_ = true;
  skip_->setVisible(skipAllowed == 1);
  multiPageBox_->setVisible(multiPageMode == kShowMultiPage);
  choices_->FillFormats(imageformat::ExportFormatCodes(sameFormatOnly != 0));
  ImageFormatChoices::SelectData(format_, formatCode);
  choices_->RefillForFormat();
  ImageFormatChoices::SelectData(colour_, colourBits);
  ImageFormatChoices::SelectData(compression_, quality);
  multiPageBox_->setEnabled(imageformat::FormatHoldsPages(choices_->FormatCode()));
  initialising_ = false;
}

void CDlgExport2::OnFormatChanged() {
  choices_->RefillForFormat();
  const int code = choices_->FormatCode();
  multiPageBox_->setEnabled(imageformat::FormatHoldsPages(code));
  if (QLineEdit* edit = fileNameEdit(); edit && !edit->text().isEmpty())
    edit->setText(ReplaceExtension(edit->text(), extensionFor(code)));
}

QString CDlgExport2::CheckTarget(const QString& path) {
  if (path.isEmpty()) return QString::fromUtf8(kNoName);
  const int slash = path.lastIndexOf(QLatin1Char('/'));
  if (slash < 0) return QString::fromUtf8(kNotFullPath);
  const QString folder = slash == 0 ? QStringLiteral("/") : path.left(slash);
  if (!QFileInfo(folder).isDir()) return QString::fromUtf8(kNoFolder);
  const QString name = path.mid(slash + 1);
  if (name.isEmpty()) return QString::fromUtf8(kNoName);
  if (IsDatabaseFileName(name.toStdString())) return QString::fromUtf8(kReservedName);
  if (name == QLatin1String(".") || name == QLatin1String("..") || QFile::encodeName(name).size() > NAME_MAX ||
      name.contains(QChar(0)))
    return QString::fromUtf8(kBadName);
  if (pathExists(path)) return QString::fromUtf8(kExists);
  return {};
}

void CDlgExport2::refuse(const QString& message) {
  platform::messageBox(message.toStdString(), platform::Buttons::Ok, platform::Icon::Warning, kCaption);
}

void CDlgExport2::accept() {
  QLineEdit* edit = fileNameEdit();
  const QString typed = edit ? edit->text().trimmed() : QString();
  QString path;
  if (!typed.isEmpty()) {
    path = QDir::isAbsolutePath(typed) ? typed : directory().absoluteFilePath(typed);
    if (QFileInfo(path).isDir()) {
      QFileDialog::accept();  // a folder typed or chosen: the dialog opens it
      return;
    }
  }
  if (const QString message = CheckTarget(path); !message.isEmpty()) {
    refuse(message);
    return;
  }
  const int code = choices_->FormatCode();
  const int slash = path.lastIndexOf(QLatin1Char('/'));
  if (!path.mid(slash + 1).contains(QLatin1Char('.'))) {
    const QString extension = extensionFor(code);
    if (!extension.isEmpty()) path += QLatin1Char('.') + extension;
    if (edit) edit->setText(path.mid(slash + 1));
    // The name with its extension is checked as well: "a" being free says
    // nothing of "a.tif".
    if (const QString message = CheckTarget(path); !message.isEmpty()) {
      refuse(message);
      return;
    }
  }
  formatCode = code;
  colourBits = choices_->ColourBits();
  quality = choices_->Quality();
  // A disabled or hidden check box counts as unchecked.
  multiPage = multiPageMode == kShowMultiPage && multiPageBox_->isEnabled() && multiPageBox_->isChecked() ? 1 : 0;
  fileName = path;
  QDialog::accept();
}
