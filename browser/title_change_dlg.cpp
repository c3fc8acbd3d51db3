#include "browser/title_change_dlg.h"

#include "shell/cp932_typing.h"
#include "browser/stack_titles.h"
#include "catalogue/catalogue_text.h"
#include "catalogue/folder_database.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr const char* kCaption = "タイトル変更";

std::string trimmed(const QString& text) { return text.trimmed().toStdString(); }

int sjisBytes(const std::string& text) {
  const auto encoded = platform::toCp932(text);
  return encoded ? static_cast<int>(encoded->size()) : static_cast<int>(text.size());
}

void addButtons(QDialog& dialog, QVBoxLayout& layout) {
  auto* buttons = new QDialogButtonBox(&dialog);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("ctl1"));
  QPushButton* cancel = buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
  cancel->setObjectName(QStringLiteral("ctl2"));
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout.addWidget(buttons);
}

class WaitCursor {
 public:
  WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

// ---- base title ------------------------------------------------------------------

BaseTitleDlg::BaseTitleDlg(int maxLength, QWidget* parent) : QDialog(parent), maxLength_(maxLength) {
  setObjectName(QStringLiteral("dlg10080"));
  setWindowTitle(QStringLiteral("一括変更"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(
      QStringLiteral("ベースとなるタイトルを入力してください。\n                    (拡張子は要りません。)"), this));
  edit_ = new QLineEdit(this);
  edit_->setObjectName(QStringLiteral("ctl10081"));
  KeepCp932FormsWhileTyping(edit_);
  layout->addWidget(edit_);
  addButtons(*this, *layout);
  edit_->setFocus();
  edit_->selectAll();
}

void BaseTitleDlg::accept() {
  const std::string base = trimmed(edit_->text());
  const char* caption = "一括変更";
  std::string message;
  if (base.empty())
    message = "タイトルが入力されていません。";
  else if (sjisBytes(base) > maxLength_ || sjisBytes(base) >= 181)
    message = "タイトルが長すぎます。";
  else if (catalogue::checkNameText(base, catalogue::kTitleMaxBytes, false) != 0)
    message = std::string(catalogue::kForbiddenSet1) + std::string(catalogue::kForbiddenSet2) + "はタイトルには使用できません。";
  if (!message.empty()) {
    platform::messageBox(message, platform::Buttons::Ok, platform::Icon::Warning, caption);
    return;  // the dialog stays open
  }
  base_ = base;
  QDialog::accept();
}

// ---- title change ----------------------------------------------------------------

TitleChangeDlg::TitleChangeDlg(FolderDatabase& db, const std::string& folder, int stackNo, QWidget* parent)
    : QDialog(parent), db_(db), folder_(folder) {
  setObjectName(QStringLiteral("dlg10520"));
  setWindowTitle(QString::fromUtf8(kCaption));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("文書タイトル"), this));
  stackEdit_ = new QLineEdit(this);
  KeepCp932FormsWhileTyping(stackEdit_);
  stackEdit_->setObjectName(QStringLiteral("ctl10081"));
  layout->addWidget(stackEdit_);
  layout->addWidget(new QLabel(QStringLiteral("頁タイトル"), this));
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("ctl10082"));
  layout->addWidget(list_);
  auto* bulk = new QPushButton(QStringLiteral("一括変更"), this);
  bulk->setObjectName(QStringLiteral("ctl10083"));
  layout->addWidget(bulk);
  addButtons(*this, *layout);
  connect(bulk, &QPushButton::clicked, this, &TitleChangeDlg::OnBulkChange);
  connect(list_, &QListWidget::itemChanged, this, &TitleChangeDlg::onRowEdited);
  connect(list_, &QListWidget::itemClicked, this, [this](QListWidgetItem* row) { list_->editItem(row); });
  connect(stackEdit_, &QLineEdit::editingFinished, this, [this] { checkStackTitle(); });
  baseTitleRunner = [this](int maxLength) -> std::optional<std::string> {
    BaseTitleDlg dialog(maxLength, this);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.baseTitle();
  };

  if (db_.GetStackInfo(stackNo, stack_) != 0) return;
  for (int p = 1; p <= stack_.PageCount; ++p) {
    ItemInfo page;
    if (db_.Stack2Item(stackNo, p, page) != 0) return;
    pages_.push_back(page);
  }
  stackEdit_->setText(QString::fromStdString(stack_.Title));
  settingRows_ = true;
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    auto* row = new QListWidgetItem(QString::fromStdString(pages_[i].Title), list_);
    row->setData(Qt::UserRole, static_cast<int>(i));
    row->setData(Qt::UserRole + 1, QString::fromStdString(pages_[i].Title));  // the accepted text
    row->setFlags(row->flags() | Qt::ItemIsEditable);
  }
  settingRows_ = false;
  loaded_ = true;
}

std::vector<std::string> TitleChangeDlg::rowTitles() const {
  std::vector<std::string> titles;
  for (int r = 0; r < list_->count(); ++r) titles.push_back(list_->item(r)->data(Qt::UserRole + 1).toString().toStdString());
  return titles;
}

void TitleChangeDlg::tell(const std::string& text, const char* caption) {
  platform::messageBox(text, platform::Buttons::Ok, platform::Icon::Warning, caption);
}

void TitleChangeDlg::onRowEdited(QListWidgetItem* row) {
  if (settingRows_ || !row) return;
  const int index = row->data(Qt::UserRole).toInt();
  const QString accepted = row->data(Qt::UserRole + 1).toString();
  const auto refuse = [&](const std::string& message) {
    settingRows_ = true;
    row->setText(accepted);
    settingRows_ = false;
    if (!message.empty()) tell(message);
  };
  const std::string title = trimmed(row->text());
  if (stacktitles::PageReadOnly(folder_, pages_[static_cast<std::size_t>(index)]))
    return refuse("この頁は書き込み禁止になっています。");
  if (const std::string message = stacktitles::PageTitleFormMessage(title, folder_); !message.empty())
    return refuse(message);
  if (title != accepted.toStdString() &&
      !stacktitles::PageTitleFree(db_, folder_, pages_, rowTitles(), index, title))
    return refuse("同名のタイトルが存在します。");
  settingRows_ = true;
  row->setText(QString::fromStdString(title));
  row->setData(Qt::UserRole + 1, QString::fromStdString(title));
  settingRows_ = false;
}

bool TitleChangeDlg::checkStackTitle() {
  const std::string title = stackEdit_->text().toStdString();
  const std::string message = stacktitles::StackTitleMessage(db_, stack_.StackNo, title);
  if (!message.empty()) {
    tell(message);
    stackEdit_->setText(QString::fromStdString(stack_.Title));
    return false;
  }
  stack_.Title = catalogue::cutToSjisBytes(title, catalogue::kTitleMaxBytes);
  return true;
}

void TitleChangeDlg::OnBulkChange() {
  if (!loaded_ || !baseTitleRunner) return;
  const std::optional<std::string> base = baseTitleRunner(240 - sjisBytes(folder_));
  if (!base) return;
  setWindowTitle(QStringLiteral("タイトル変更(競合チェック中････)"));
  {
    WaitCursor wait;
    stack_.Title = stacktitles::BulkStackTitle(db_, stack_.StackNo, *base);
    stackEdit_->setText(QString::fromStdString(stack_.Title));
    int leftAlone = 0;
    const std::vector<std::string> titles = stacktitles::BulkPageTitles(db_, folder_, pages_, *base, leftAlone);
    settingRows_ = true;
    for (int r = 0; r < list_->count() && r < static_cast<int>(titles.size()); ++r) {
      list_->item(r)->setText(QString::fromStdString(titles[static_cast<std::size_t>(r)]));
      list_->item(r)->setData(Qt::UserRole + 1, QString::fromStdString(titles[static_cast<std::size_t>(r)]));
    }
    settingRows_ = false;
    if (leftAlone > 0) tell("書き込み禁止により、\n変更できない頁がありました。");
  }
  setWindowTitle(QString::fromUtf8(kCaption));
}

void TitleChangeDlg::accept() {
  if (!loaded_) return QDialog::reject();
  if (!checkStackTitle()) return;
  setWindowTitle(QStringLiteral("タイトル変更(タイトル変更中････)"));
  std::vector<std::string> failed;
  {
    WaitCursor wait;
    const int code = stacktitles::StoreTitles(db_, folder_, stack_, pages_, rowTitles(), failed);
    if (code != 0) {
      SetActiveFolderDatabase(&db_);
      ShowLastDbError(code, false);
    }
  }
  setWindowTitle(QString::fromUtf8(kCaption));
  if (!failed.empty()) {
    std::string names;
    for (const std::string& name : failed) names += "\n" + name;
    tell("次の頁のタイトルを変更できませんでした。" + names);
  }
  QDialog::accept();
}
