#include "shell/app_bar_dlg.h"

#include "shell/fd3_app.h"

#include "platform/user_interaction.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

constexpr const char* kCaption = "アプリケーションの登録";

void refuse(const QString& text) {
  platform::messageBox(text.toStdString(), platform::Buttons::Ok, platform::Icon::Warning, kCaption);
}

QButtonGroup* radiosOf(QWidget* parent, QGroupBox* box, std::initializer_list<const char*> texts) {
  auto* group = new QButtonGroup(parent);
  auto* layout = new QVBoxLayout(box);
  int id = 0;
  for (const char* text : texts) {
    auto* button = new QRadioButton(QString::fromUtf8(text), box);
    layout->addWidget(button);
    group->addButton(button, id++);
  }
  return group;
}

}  // namespace

AppRegistrationDlg::AppRegistrationDlg(std::string iniPath, QString appRegPath, QWidget* parent,
                                       const QStringList& applicationFolders)
    : QDialog(parent),
      iniPath_(std::move(iniPath)),
      fileChooser_([](QWidget* owner) {
        return QFileDialog::getOpenFileName(owner, QStringLiteral("登録ファイルの選択"));
      }) {
  setObjectName(QStringLiteral("dlg10030"));
  setWindowTitle(QStringLiteral("起動アプリケーションの設定"));
  registeredList_ = new QListWidget(this);
  registeredList_->setObjectName(QStringLiteral("registeredList"));
  candidateList_ = new QListWidget(this);
  candidateList_->setObjectName(QStringLiteral("candidateList"));
  programEdit_ = new QLineEdit(this);
  programEdit_->setObjectName(QStringLiteral("ctl10033"));
  menuEdit_ = new QLineEdit(this);
  menuEdit_->setObjectName(QStringLiteral("ctl10034"));
  auto* modeBox = new QGroupBox(QStringLiteral("複数ファイルの起動"), this);
  modeGroup_ = radiosOf(this, modeBox, {"不可", "複数回に分けて起動", "一度に起動可能"});
  auto* prepBox = new QGroupBox(QStringLiteral("画像の変換"), this);
  preparationGroup_ =
      radiosOf(this, prepBox, {"変換なし", "BMP画像にする", "白黒BMP画像にする", "OCR処理  テキストファイルにする"});
  auto* browse = new QPushButton(QStringLiteral("参照..."), this);
  add_ = new QPushButton(QStringLiteral("追加"), this);
  update_ = new QPushButton(QStringLiteral("更新"), this);
  delete_ = new QPushButton(QStringLiteral("削除"), this);
  auto* done = new QPushButton(QStringLiteral("終了"), this);

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("登録済みアプリケーション"), this), 0, 0);
  grid->addWidget(new QLabel(QStringLiteral("登録候補"), this), 0, 1);
  grid->addWidget(registeredList_, 1, 0);
  grid->addWidget(candidateList_, 1, 1);
  auto* form = new QGridLayout;
  form->addWidget(new QLabel(QStringLiteral("ファイル名"), this), 0, 0);
  form->addWidget(programEdit_, 0, 1);
  form->addWidget(browse, 0, 2);
  form->addWidget(new QLabel(QStringLiteral("メニュー名"), this), 1, 0);
  form->addWidget(menuEdit_, 1, 1);
  grid->addLayout(form, 2, 0, 1, 2);
  grid->addWidget(modeBox, 3, 0);
  grid->addWidget(prepBox, 3, 1);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {add_, update_, delete_}) buttons->addWidget(b);
  buttons->addStretch();
  buttons->addWidget(done);
  grid->addLayout(buttons, 4, 0, 1, 2);

  registered_ = ReadRegistrations(iniPath_);
  candidates_ = ReadCandidates(appRegPath, registered_);
  std::vector<AppRegistration> taken = registered_;
  taken.insert(taken.end(), candidates_.begin(), candidates_.end());
  for (AppRegistration& offer : ReadDesktopApplications(applicationFolders, taken)) candidates_.push_back(std::move(offer));
  for (const auto& e : registered_) registeredList_->addItem(e.menuText);
  for (const auto& e : candidates_) candidateList_->addItem(e.menuText);
  for (QPushButton* b : {add_, update_, delete_}) b->setEnabled(false);

  connect(registeredList_, &QListWidget::currentRowChanged, this, &AppRegistrationDlg::OnRegisteredChosen);
  connect(candidateList_, &QListWidget::currentRowChanged, this, &AppRegistrationDlg::OnCandidateChosen);
  connect(browse, &QPushButton::clicked, this, &AppRegistrationDlg::OnBrowse);
  connect(add_, &QPushButton::clicked, this, &AppRegistrationDlg::OnAdd);
  connect(update_, &QPushButton::clicked, this, &AppRegistrationDlg::OnUpdate);
  connect(delete_, &QPushButton::clicked, this, &AppRegistrationDlg::OnDelete);
  connect(done, &QPushButton::clicked, this, &AppRegistrationDlg::accept);
  connect(programEdit_, &QLineEdit::textEdited, this, &AppRegistrationDlg::EnableAddForTexts);
  connect(menuEdit_, &QLineEdit::textEdited, this, &AppRegistrationDlg::EnableAddForTexts);
}

void AppRegistrationDlg::SetRadio(QButtonGroup* group, int id) {
  if (QAbstractButton* b = group->button(id)) {
    b->setChecked(true);
    return;
  }
  group->setExclusive(false);
  for (QAbstractButton* b : group->buttons()) b->setChecked(false);
  group->setExclusive(true);
}

void AppRegistrationDlg::EnableChoices(bool on) {
  for (QButtonGroup* g : {modeGroup_, preparationGroup_})
    for (QAbstractButton* b : g->buttons()) b->setEnabled(on);
  programEdit_->setEnabled(on);
}

void AppRegistrationDlg::TakeEntry(const AppRegistration& entry) {
  menuEdit_->setText(entry.menuText);
  programEdit_->setText(entry.programPath);
  code_ = entry.code;
  ownEntry_ = code_ < 0;
  if (ownEntry_) {
    SetRadio(modeGroup_, -1);
    SetRadio(preparationGroup_, -1);
    EnableChoices(false);
  } else {
    SetRadio(modeGroup_, LaunchMode(code_));
    SetRadio(preparationGroup_, SwapPreparation(Preparation(code_)));
    EnableChoices(true);
  }
}

void AppRegistrationDlg::OnRegisteredChosen(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= registered_.size()) return;
  update_->setEnabled(true);
  delete_->setEnabled(true);
  add_->setEnabled(false);
  candidateList_->blockSignals(true);
  candidateList_->setCurrentRow(-1);
  candidateList_->blockSignals(false);
  TakeEntry(registered_[static_cast<std::size_t>(row)]);
}

void AppRegistrationDlg::OnCandidateChosen(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= candidates_.size()) return;
  add_->setEnabled(true);
  update_->setEnabled(false);
  delete_->setEnabled(false);
  registeredList_->blockSignals(true);
  registeredList_->setCurrentRow(-1);
  registeredList_->blockSignals(false);
  TakeEntry(candidates_[static_cast<std::size_t>(row)]);
}

void AppRegistrationDlg::EnableAddForTexts() {
  add_->setEnabled(!programEdit_->text().isEmpty() && !menuEdit_->text().isEmpty());
}

void AppRegistrationDlg::OnBrowse() {
  const QString path = fileChooser_(this);
  if (path.isEmpty()) return;
  programEdit_->setText(path);
  if (modeGroup_->checkedId() < 0) SetRadio(modeGroup_, 2);
  if (preparationGroup_->checkedId() < 0) SetRadio(preparationGroup_, 0);
  code_ = 0;
  ownEntry_ = false;
  EnableChoices(true);
  EnableAddForTexts();
  menuEdit_->setFocus();
  menuEdit_->selectAll();
}

int AppRegistrationDlg::EditedCode() const {
  if (ownEntry_) return code_;
  const int mode = std::max(0, modeGroup_->checkedId());
  const int preparation = std::max(0, preparationGroup_->checkedId());
  return MakeLaunchCode(mode, SwapPreparation(preparation));
}

bool AppRegistrationDlg::CheckEntry(int self, bool update, QString* program) {
  const QString menu = menuEdit_->text();
  if (menu.isEmpty()) {
    refuse(QStringLiteral("文字が入力されていません。"));
    return false;
  }
  for (std::size_t i = 0; i < registered_.size(); ++i)
    if (static_cast<int>(i) != self && registered_[i].menuText == menu) {
      refuse(QStringLiteral("同名の項目が登録されています。"));
      return false;
    }
  *program = programEdit_->text();
  if (ownEntry_) {
    if (code_ == kOcrApplicationCode && CFD3App::FindOcrApplication() <= 0) {
      refuse(QStringLiteral("Lumora を発見できませんでした。"));
      return false;
    }
    if (code_ == kCardApplicationCode && CFD3App::FindCardApplication() <= 0) {
      refuse(QStringLiteral("Cardello を発見できませんでした。"));
      return false;
    }
    if (code_ == kHandwritingApplicationCode) {
      const QString found = FindProgram(QStringLiteral("pw_hand"));
      if (found.isEmpty()) {
        refuse(QStringLiteral("Penwise を発見できませんでした。"));
        return false;
      }
      *program = found;
    }
    return true;
  }
  if (program->isEmpty()) {
    refuse(QStringLiteral("ファイル名が入力されていません。"));
    return false;
  }
  const QString found = FindProgram(*program);
  if (found.isEmpty()) {
    refuse((update ? QStringLiteral("ファイルが見つかりません\n") : QStringLiteral("ファイルが見つかりません。\n")) + *program);
    return false;
  }
  *program = found;
  return true;
}

void AppRegistrationDlg::OnAdd() {
  if (registered_.size() >= static_cast<std::size_t>(kMaxRegisteredApplications)) {
    refuse(QStringLiteral("登録可能数を超えます。\n登録をキャンセルします。"));
    return;
  }
  QString program;
  if (!CheckEntry(-1, false, &program)) return;
  registered_.push_back({menuEdit_->text(), program, EditedCode()});
  registeredList_->addItem(menuEdit_->text());
  const int candidate = candidateList_->currentRow();
  if (candidate >= 0) {
    candidates_.erase(candidates_.begin() + candidate);
    candidateList_->blockSignals(true);
    delete candidateList_->takeItem(candidate);
    candidateList_->setCurrentRow(-1);
    candidateList_->blockSignals(false);
  }
  add_->setEnabled(false);
  update_->setEnabled(true);
  delete_->setEnabled(true);
}

void AppRegistrationDlg::OnUpdate() {
  const int row = registeredList_->currentRow();
  if (row < 0) return;
  QString program;
  if (!CheckEntry(row, true, &program)) return;
  registered_[static_cast<std::size_t>(row)] = {menuEdit_->text(), program, EditedCode()};
  registeredList_->item(row)->setText(menuEdit_->text());
  for (QPushButton* b : {add_, update_, delete_}) b->setEnabled(false);
}

void AppRegistrationDlg::OnDelete() {
  const int row = registeredList_->currentRow();
  if (row < 0) return;
  if (platform::messageBox("登録を削除します。\nよろしいですか？", platform::Buttons::OkCancel, platform::Icon::Question,
                           kCaption) != platform::Answer::Ok)
    return;
  registered_.erase(registered_.begin() + row);
  registeredList_->blockSignals(true);
  delete registeredList_->takeItem(row);
  registeredList_->setCurrentRow(-1);
  registeredList_->blockSignals(false);
  for (QPushButton* b : {add_, update_, delete_}) b->setEnabled(false);
  if (modeGroup_->checkedId() < 0) SetRadio(modeGroup_, 2);
  if (preparationGroup_->checkedId() < 0) SetRadio(preparationGroup_, 0);
  EnableChoices(true);
  programEdit_->clear();
  menuEdit_->clear();
  code_ = -1;
  ownEntry_ = false;
}

void AppRegistrationDlg::accept() {
  if (!WriteRegistrations(iniPath_, registered_))
    platform::messageBox("アプリケーションの登録を保存できませんでした。", platform::Buttons::Ok, platform::Icon::Error, kCaption);
  QDialog::accept();
}
