#include "shell/migration_dlg.h"

#include "platform/paths.h"
#include "platform/sjis_codec.h"
#include "shell/file_drop_list_box.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

QString defaultChooser(QWidget* parent, const QString& prompt) {
  return QFileDialog::getExistingDirectory(parent, prompt, QString(), QFileDialog::ShowDirsOnly);
}

}  // namespace

MigrationDlg::MigrationDlg(QWidget* parent) : QDialog(parent), chooser_(defaultChooser) {
  setObjectName(QStringLiteral("dlg%1").arg(kDialogId));
  setWindowTitle(QStringLiteral("データ移行するフォルダ"));
  setSizeGripEnabled(true);

  list_ = new FileDropListBox(this);
  list_->setObjectName(QStringLiteral("folderList"));
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setMinimumSize(380, 180);
  list_->onFoldersDropped = [this](const std::vector<std::string>& folders) { AddDroppedFolders(folders); };
  browse_ = new QPushButton(QStringLiteral("参照..."), this);
  browse_->setObjectName(QStringLiteral("browseButton"));
  delete_ = new QPushButton(QStringLiteral("削除"), this);
  delete_->setObjectName(QStringLiteral("deleteButton"));
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setObjectName(QStringLiteral("IDOK"));
  ok_->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
  cancel->setObjectName(QStringLiteral("IDCANCEL"));

  // The list takes the dialog's growth; the buttons keep their distance to
  // the right and bottom edges.
  auto* side = new QVBoxLayout;
  side->addWidget(browse_);
  side->addWidget(delete_);
  side->addStretch(1);
  side->addWidget(ok_);
  side->addWidget(cancel);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(list_, 1);
  layout->addLayout(side);

  connect(browse_, &QPushButton::clicked, this, &MigrationDlg::OnBrowse);
  connect(delete_, &QPushButton::clicked, this, &MigrationDlg::OnDelete);
  connect(ok_, &QPushButton::clicked, this, &MigrationDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &MigrationDlg::reject);
  connect(list_, &QListWidget::currentRowChanged, this, [this] { updateButtons(); });
  updateButtons();
}

MigrationDlg::~MigrationDlg() = default;

void MigrationDlg::SetFolders(const std::vector<std::string>& folders) {
  list_->clear();
  for (const std::string& folder : folders) AddFolder(folder);
  folders_.clear();
  for (int row = 0; row < list_->count(); ++row) folders_.push_back(list_->item(row)->text().toStdString());
  updateButtons();
}

void MigrationDlg::AddFolder(const std::string& folder) {
  const std::string path = platform::withoutTrailingSlash(folder);
  if (path.empty()) return;
  const std::string key = platform::asciiUpper(path);
  for (int row = 0; row < list_->count(); ++row)
    if (platform::asciiUpper(list_->item(row)->text().toStdString()) == key) return;
  list_->addItem(QString::fromStdString(path));
  updateButtons();
}

void MigrationDlg::AddDroppedFolders(const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) AddFolder(folder);
}

void MigrationDlg::OnBrowse() {
  const QString chosen = chooser_(this, QStringLiteral("Folderia2のデータのあるフォルダを選択してください。"));
  if (!chosen.isEmpty()) AddFolder(chosen.toStdString());
}

void MigrationDlg::OnDelete() {
  const int row = list_->currentRow();
  if (row < 0) return;
  delete list_->takeItem(row);
  if (list_->count() > 0) list_->setCurrentRow(std::min(row, list_->count() - 1));
  updateButtons();
}

void MigrationDlg::accept() {
  folders_.clear();
  for (int row = 0; row < list_->count(); ++row) folders_.push_back(list_->item(row)->text().toStdString());
  QDialog::accept();
}

void MigrationDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // It cannot be made smaller than it opened.
  if (!sized_) {
    sized_ = true;
    setMinimumSize(size());
  }
}

void MigrationDlg::updateButtons() {
  ok_->setEnabled(list_->count() > 0);
  delete_->setEnabled(list_->currentRow() >= 0 && list_->count() > 0);
}
