#include "shell/desktop_register_dlg.h"

#include "shell/file_dialogs.h"

#include "catalogue/file_utilities.h"
#include "platform/paths.h"
#include "platform/user_interaction.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kListId = 10021;
constexpr int kEditId = 10022;
constexpr int kAddId = 10023;
constexpr int kDeleteId = 10024;
constexpr int kBrowseId = 10025;

QString controlName(int id) { return QStringLiteral("ctl%1").arg(id); }

void tell(const char* text) { platform::messageBox(text, platform::Buttons::Ok, platform::Icon::Warning); }

// The folder a desktop text names: without its trailing "/" (the root stays "/").
QString withoutTrailingSlash(const QString& text) {
  return QString::fromStdString(platform::withoutTrailingSlash(text.toStdString()));
}

// The form two desktops are compared in: the real path of the folder, links
// and ".." resolved; empty when the folder cannot be reached.
QString normalised(const QString& text) {
  if (!text.startsWith(QLatin1Char('/'))) return {};
  return QFileInfo(withoutTrailingSlash(text)).canonicalFilePath();
}

bool refusedAsReserved(int classification) {
  switch (classification) {
    case -1:  // too long
    case 1:   // the program folder
    case 3:   // inside it
    case 4:   // the config folder
    case 6:   // inside it
      return true;
    default:
      return false;
  }
}

QString defaultFolderChooser(QWidget* parent, const QString& title) {
  return ChooseFolder(parent, title, FileDialogPurpose::Desktop);
}

}  // namespace

DesktopRegisterDlg::DesktopRegisterDlg(QWidget* parent)
    : QDialog(parent), driveProbe_(ProbeDesktopDrive), folderChooser_(defaultFolderChooser) {
  setObjectName(QStringLiteral("dlg%1").arg(kDialogId));
  setWindowTitle(QStringLiteral("デスクトップの追加／削除"));

  list_ = new QListWidget(this);
  list_->setObjectName(controlName(kListId));
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setMinimumSize(360, 170);
  edit_ = new QLineEdit(this);
  edit_->setObjectName(controlName(kEditId));
  add_ = new QPushButton(QStringLiteral("追加"), this);
  add_->setObjectName(controlName(kAddId));
  delete_ = new QPushButton(QStringLiteral("削除"), this);
  delete_->setObjectName(controlName(kDeleteId));
  browse_ = new QPushButton(QStringLiteral("参照"), this);
  browse_->setObjectName(controlName(kBrowseId));
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("IDOK"));
  auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
  cancel->setObjectName(QStringLiteral("IDCANCEL"));
  // Enter in the path edit must not close the dialog.
  for (QPushButton* b : {add_, delete_, browse_, ok, cancel}) b->setAutoDefault(false);

  auto* grid = new QGridLayout(this);
  grid->addWidget(list_, 0, 0);
  auto* listButtons = new QVBoxLayout;
  listButtons->addWidget(delete_);
  listButtons->addStretch(1);
  grid->addLayout(listButtons, 0, 1);
  grid->addWidget(edit_, 1, 0);
  auto* editButtons = new QHBoxLayout;
  editButtons->addWidget(browse_);
  editButtons->addWidget(add_);
  grid->addLayout(editButtons, 1, 1);
  auto* closing = new QHBoxLayout;
  closing->addStretch(1);
  closing->addWidget(ok);
  closing->addWidget(cancel);
  grid->addLayout(closing, 2, 0, 1, 2);

  add_->setEnabled(false);
  delete_->setEnabled(false);
  connect(edit_, &QLineEdit::textChanged, this, [this](const QString& text) { add_->setEnabled(!text.isEmpty()); });
  connect(list_, &QListWidget::itemSelectionChanged, this,
          [this] { delete_->setEnabled(!list_->selectedItems().isEmpty()); });
  connect(add_, &QPushButton::clicked, this, &DesktopRegisterDlg::OnAdd);
  connect(delete_, &QPushButton::clicked, this, &DesktopRegisterDlg::OnDelete);
  connect(browse_, &QPushButton::clicked, this, &DesktopRegisterDlg::OnBrowse);
  connect(ok, &QPushButton::clicked, this, &DesktopRegisterDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &DesktopRegisterDlg::reject);
}

DesktopRegisterDlg::~DesktopRegisterDlg() = default;

void DesktopRegisterDlg::showEvent(QShowEvent* event) {
  if (!initialised_) OnInitDialog();
  QDialog::showEvent(event);
}

void DesktopRegisterDlg::OnInitDialog() {
  initialised_ = true;
  list_->clear();
  list_->addItems(desktops);
  edit_->setFocus();
}

void DesktopRegisterDlg::OnBrowse() {
  const QString chosen = folderChooser_(this, QStringLiteral("新しいデスクトップフォルダを選択してください。"));
  if (!chosen.isEmpty()) edit_->setText(chosen);
}

void DesktopRegisterDlg::OnDelete() {
  const QList<QListWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty()) {
    tell("削除出来ません。");
    return;
  }
  delete list_->takeItem(list_->row(selected.front()));
  list_->clearSelection();
  delete_->setEnabled(false);
}

void DesktopRegisterDlg::OnAdd() {
  const QString text = edit_->text();
  const QString refusal = Refusal(text);
  if (!refusal.isEmpty()) {
    tell(refusal.toUtf8().constData());
    edit_->setFocus();
    return;
  }
  list_->addItem(text);
}

void DesktopRegisterDlg::accept() {
  if (list_->count() == 0) {
    tell("デスクトップが登録されていません。");
    return;
  }
  desktops.clear();
  for (int i = 0; i < list_->count(); ++i) desktops.push_back(list_->item(i)->text());
  QDialog::accept();
}

QString DesktopRegisterDlg::Refusal(const QString& text) const {
  if (list_->count() >= kMaxDesktops) return QStringLiteral("これ以上登録できません。");
  if (text.trimmed().isEmpty()) return QStringLiteral("パスが入力されていません。");
  if (!text.startsWith(QLatin1Char('/'))) return QStringLiteral("フルパスで入力してください。");
  if (refusedAsReserved(ClassifyReservedPath(text.toStdString())))
    return QStringLiteral("このディレクトリはデスクトップとして登録できません。");
  const QString folder = withoutTrailingSlash(text);
  const QFileInfo info(folder);
  if (!info.exists()) return QStringLiteral("パスが存在しません。");
  if (!info.isDir()) return QStringLiteral("ディレクトリではありません。");
  if (const QString refusal = DriveRefusal(folder); !refusal.isEmpty()) return refusal;
  if (IsListedAsTyped(text)) return QStringLiteral("すでに登録済みです。");
  const QString real = normalised(text);
  if (real.isEmpty()) return QStringLiteral("パスが無効です。");
  if (IsListedAsReal(real)) return QStringLiteral("すでに登録済みです。");
  return {};
}

QString DesktopRegisterDlg::DriveRefusal(const QString& folder) const {
  const DesktopDrive drive = driveProbe_(folder.toStdString());
  switch (drive.kind) {
    case DriveKind::Fixed:
      return {};
    case DriveKind::Removable:
      // A medium is exchanged as a whole: only its root can be a desktop.
      if (QFileInfo(folder).canonicalFilePath() == QString::fromStdString(drive.mountRoot)) return {};
      return QStringLiteral("リムーバブルメディアは、ルートディレクトリのみ登録できます。");
    case DriveKind::ReadOnly:
    case DriveKind::Unknown:
      break;
  }
  return QStringLiteral("パスが無効です。");
}

bool DesktopRegisterDlg::IsListedAsTyped(const QString& text) const {
  for (int i = 0; i < list_->count(); ++i)
    if (list_->item(i)->text() == text) return true;
  return false;
}

bool DesktopRegisterDlg::IsListedAsReal(const QString& real) const {
  // An entry whose folder cannot be reached now is not compared.
  for (int i = 0; i < list_->count(); ++i)
    if (normalised(list_->item(i)->text()) == real) return true;
  return false;
}
