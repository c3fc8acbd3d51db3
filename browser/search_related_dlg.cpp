#include "browser/search_related_dlg.h"

#include "catalogue/related_word_dictionary.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr int kLineRole = Qt::UserRole + 1;  // a group line's Shift-JIS bytes

QString controlName(int id) { return QStringLiteral("ctl%1").arg(id); }

void tell(const char* text, const char* caption, platform::Icon icon = platform::Icon::Error) {
  platform::messageBox(text, platform::Buttons::Ok, icon, caption);
}

std::string sjis(const QString& text) { return platform::qToCp932(text).value_or(std::string()); }
QString shown(const std::string& sjisText) { return platform::qFromCp932(sjisText); }

// At most maxBytes of Shift-JIS, never cutting a double-byte character.
std::string cutBytes(const std::string& text, int maxBytes) {
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t step = platform::isSjisLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
    if (i + step > static_cast<std::size_t>(maxBytes)) break;
    i += step;
  }
  return text.substr(0, std::min(i, text.size()));
}

QPushButton* button(const char* text, int id, QWidget* parent) {
  auto* b = new QPushButton(QString::fromUtf8(text), parent);
  if (id) b->setObjectName(controlName(id));
  b->setAutoDefault(false);
  return b;
}

QListWidget* listBox(int id, QWidget* parent, bool multi) {
  auto* list = new QListWidget(parent);
  list->setObjectName(controlName(id));
  list->setSelectionMode(multi ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
  return list;
}

// Fills list with the headword's group lines, as the maintenance and the
// selection dialogs show them. The engine's count, or -1 after a failure.
int fillGroupLines(const std::string& headword, QListWidget& list, QLabel* count) {
  list.clear();
  list.setEnabled(true);
  const int found = LookupRelatedWords(headword);
  if (count) count->setText(found > 0 ? QString::number(found) : QStringLiteral("なし"));
  if (found < 0) {
    tell("関連語辞書は他のプロセスが使用中です", "エラー");
    return -1;
  }
  if (found == 0) {
    list.addItem(QStringLiteral("関連語はありません"));
    list.setEnabled(false);
    return 0;
  }
  for (int i = 0; i < found; ++i) {
    std::string line;
    if (!ReadRelatedGroupLine(i, line)) {
      tell("関連語リストを作成できませんでした", "エラー");
      list.clear();
      return -1;
    }
    auto* item = new QListWidgetItem(shown(line), &list);
    item->setData(kLineRole, QByteArray::fromStdString(line));
  }
  return found;
}

}  // namespace

// ---- search words ------------------------------------------------------------

QStringList SplitSearchWords(const QString& text) {
  QStringList words;
  QString word;
  bool quoted = false;
  for (const QChar c : text) {
    if (c == u'"') {
      quoted = !quoted;
      continue;
    }
    if (c == u',' && !quoted) {
      if (!word.trimmed().isEmpty()) words << word.trimmed();
      word.clear();
      continue;
    }
    word += c;
  }
  if (!word.trimmed().isEmpty()) words << word.trimmed();
  return words;
}

RelatedWordsDlg::RelatedWordsDlg(const QString& searchWords, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlg10180"));
  setWindowTitle(QStringLiteral("関連語"));
  words_ = listBox(0x27c5, this, true);
  related_ = listBox(0x27c6, this, true);
  add_ = button("追加", 0x27c7, this);
  delete_ = button("削除", 0x27c8, this);
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("検索する単語")), 0, 0);
  grid->addWidget(new QLabel(QStringLiteral("関連語")), 0, 2);
  grid->addWidget(words_, 1, 0, 3, 1);
  grid->addWidget(add_, 1, 1);
  grid->addWidget(delete_, 2, 1);
  grid->addWidget(related_, 1, 2, 3, 1);
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  box->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
  grid->addWidget(box, 4, 0, 1, 3);
  connect(box, &QDialogButtonBox::accepted, this, &RelatedWordsDlg::accept);
  connect(box, &QDialogButtonBox::rejected, this, &RelatedWordsDlg::reject);

  for (const QString& word : SplitSearchWords(searchWords)) words_->addItem(word);
  delete_->setEnabled(words_->count() > 1);
  add_->setEnabled(false);
  connect(words_, &QListWidget::itemSelectionChanged, this, &RelatedWordsDlg::OnLookup);
  connect(related_, &QListWidget::itemSelectionChanged, this,
          [this] { add_->setEnabled(!related_->selectedItems().isEmpty()); });
  connect(related_, &QListWidget::itemDoubleClicked, this, &RelatedWordsDlg::OnAdd);
  connect(add_, &QPushButton::clicked, this, &RelatedWordsDlg::OnAdd);
  connect(delete_, &QPushButton::clicked, this, &RelatedWordsDlg::OnDelete);
  if (words_->count() > 0) words_->setCurrentRow(0);
}

void RelatedWordsDlg::OnLookup() {
  related_->clear();
  related_->setEnabled(true);
  add_->setEnabled(false);
  const auto selected = words_->selectedItems();
  if (selected.size() != 1) return;
  const std::string word = sjis(selected.front()->text());
  if (word.size() >= 65) return;
  const int found = LookupRelatedWords(word);
  if (found < 0) {
    tell("関連語辞書は他のプロセスが使用中です", "エラー");
    return;
  }
  if (found == 0) {
    related_->addItem(QStringLiteral("関連語はありません"));
    related_->setEnabled(false);
    return;
  }
  QStringList seen;
  for (int i = 0; i < found; ++i) {
    std::string line;
    if (!ReadRelatedGroupLine(i, line)) {
      tell("関連語リストを作成できませんでした", "エラー");
      related_->clear();
      return;
    }
    for (const std::string& w : SplitRelatedGroupLine(line)) {
      const QString text = shown(w);
      if (seen.contains(text)) continue;
      seen << text;
      related_->addItem(text);
    }
  }
}

void RelatedWordsDlg::OnAdd() {
  if (!related_->isEnabled()) return;
  for (QListWidgetItem* item : related_->selectedItems()) words_->addItem(item->text());
  delete_->setEnabled(words_->count() > 1);
}

void RelatedWordsDlg::OnDelete() {
  const auto selected = words_->selectedItems();
  if (selected.isEmpty() || words_->count() < 2) return;
  int lowest = words_->count();
  for (QListWidgetItem* item : selected) lowest = std::min(lowest, words_->row(item));
  for (QListWidgetItem* item : selected) {
    // One word always stays.
    if (words_->count() < 2) break;
    delete words_->takeItem(words_->row(item));
  }
  words_->clearSelection();
  words_->setCurrentRow(std::min(lowest, words_->count() - 1));
  delete_->setEnabled(words_->count() > 1);
}

void RelatedWordsDlg::accept() {
  QStringList words;
  for (int i = 0; i < words_->count(); ++i) words << words_->item(i)->text();
  result_ = words.join(QStringLiteral(", "));
  QDialog::accept();
}

// ---- group selection ---------------------------------------------------------

RelatedWordGroupSelectDlg::RelatedWordGroupSelectDlg(const std::string& headword, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("dlg10440"));
  setWindowTitle(QStringLiteral("関連語選択"));
  auto* head = new QLabel(shown(headword), this);
  head->setObjectName(controlName(0x28cb));
  auto* count = new QLabel(this);
  count->setObjectName(controlName(0x28ca));
  list_ = listBox(0x28c9, this, false);
  select_ = button("選択", 0, this);
  select_->setObjectName(QStringLiteral("ctlOK"));
  auto* cancel = button("キャンセル", 0, this);
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("見出し語")), 0, 0);
  grid->addWidget(head, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("グループ数")), 0, 2);
  grid->addWidget(count, 0, 3);
  grid->addWidget(list_, 1, 0, 1, 4);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(select_);
  row->addWidget(cancel);
  grid->addLayout(row, 2, 0, 1, 4);
  select_->setEnabled(false);
  fillGroupLines(headword, *list_, count);
  connect(list_, &QListWidget::itemSelectionChanged, this,
          [this] { select_->setEnabled(!list_->selectedItems().isEmpty()); });
  connect(list_, &QListWidget::itemDoubleClicked, this, &RelatedWordGroupSelectDlg::accept);
  connect(select_, &QPushButton::clicked, this, &RelatedWordGroupSelectDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &RelatedWordGroupSelectDlg::reject);
}

void RelatedWordGroupSelectDlg::accept() {
  const auto selected = list_->selectedItems();
  if (selected.isEmpty() || !list_->isEnabled()) return;
  chosen_ = selected.front()->data(kLineRole).toByteArray().toStdString();
  QDialog::accept();
}

// ---- one group ---------------------------------------------------------------

RelatedWordGroupDlg::RelatedWordGroupDlg(const std::string& headword, Mode mode, const std::string& line,
                                         bool mayAddGroup, QWidget* parent)
    : QDialog(parent), headword_(headword), mode_(mode), mayAddGroup_(mayAddGroup) {
  setObjectName(QStringLiteral("dlg10420"));
  setWindowTitle(QStringLiteral("関連語辞書メンテナンス － グループの作成/修正"));
  auto* head = new QLabel(shown(headword), this);
  head->setObjectName(controlName(0x28b9));
  edit_ = new QLineEdit(this);
  edit_->setObjectName(controlName(0x28bb));
  add_ = button("追加", 0x28b7, this);
  list_ = listBox(0x28ba, this, true);
  delete_ = button("削除", 0x28b8, this);
  auto* refer = button("グループ参照", 0x28bc, this);
  new_ = button("新規登録", 0x28b5, this);
  overwrite_ = button("上書登録", 0x28b6, this);
  auto* cancel = button("キャンセル", 0, this);
  cancel->setObjectName(QStringLiteral("ctlCancel"));
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("見出し語")), 0, 0);
  grid->addWidget(head, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("新規登録語")), 1, 0);
  grid->addWidget(edit_, 1, 1);
  grid->addWidget(add_, 1, 2);
  grid->addWidget(list_, 2, 0, 3, 2);
  grid->addWidget(delete_, 2, 2);
  grid->addWidget(refer, 3, 2);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(new_);
  row->addWidget(overwrite_);
  row->addWidget(cancel);
  grid->addLayout(row, 5, 0, 1, 3);

  if (mode == kModify) {
    listLine(line);
  } else {
    // Creating: キャンセル takes the place of 上書登録.
    overwrite_->hide();
  }
  add_->setEnabled(false);
  updateButtons();
  connect(edit_, &QLineEdit::textChanged, this, [this](const QString& t) { add_->setEnabled(!t.isEmpty()); });
  connect(edit_, &QLineEdit::returnPressed, this, &RelatedWordGroupDlg::OnAddWord);
  connect(add_, &QPushButton::clicked, this, &RelatedWordGroupDlg::OnAddWord);
  connect(delete_, &QPushButton::clicked, this, &RelatedWordGroupDlg::OnDeleteWords);
  connect(refer, &QPushButton::clicked, this, &RelatedWordGroupDlg::OnReferGroup);
  connect(new_, &QPushButton::clicked, this, [this] { OnRegister(kCreate); });
  connect(overwrite_, &QPushButton::clicked, this, [this] { OnRegister(kModify); });
  connect(cancel, &QPushButton::clicked, this, &RelatedWordGroupDlg::reject);
}

bool RelatedWordGroupDlg::listed(const std::string& word) const {
  for (int i = 0; i < list_->count(); ++i)
    if (list_->item(i)->data(kLineRole).toByteArray().toStdString() == word) return true;
  return false;
}

void RelatedWordGroupDlg::listLine(const std::string& line) {
  for (const std::string& word : SplitRelatedGroupLine(line)) {
    if (word == headword_ || listed(word)) continue;
    if (list_->count() >= relatedui::kMaxGroupWords) {
      tell("1グループの登録語数は80語までです", "警告", platform::Icon::Warning);
      break;
    }
    auto* item = new QListWidgetItem(shown(word), list_);
    item->setData(kLineRole, QByteArray::fromStdString(word));
  }
}

void RelatedWordGroupDlg::updateButtons() {
  const bool any = list_->count() > 0;
  new_->setEnabled(any && (mode_ == kCreate || mayAddGroup_));
  overwrite_->setEnabled(any);
}

void RelatedWordGroupDlg::OnAddWord() {
  const std::string word = cutBytes(sjis(edit_->text().trimmed()), relatedui::kMaxWordBytes);
  if (word.empty()) return;
  if (list_->count() >= relatedui::kMaxGroupWords) {
    tell("1グループの登録語数は80語までです", "警告", platform::Icon::Warning);
    return;
  }
  if (word == headword_ || listed(word)) {
    tell("この単語は既に登録されています", "警告", platform::Icon::Warning);
    return;
  }
  auto* item = new QListWidgetItem(shown(word), list_);
  item->setData(kLineRole, QByteArray::fromStdString(word));
  edit_->clear();
  updateButtons();
}

void RelatedWordGroupDlg::OnDeleteWords() {
  for (QListWidgetItem* item : list_->selectedItems()) delete list_->takeItem(list_->row(item));
  updateButtons();
}

void RelatedWordGroupDlg::OnReferGroup() {
  RelatedWordGroupSelectDlg select(headword_, this);
  if (selectRunner(select) != QDialog::Accepted) return;
  listLine(select.ChosenLine());
  updateButtons();
}

void RelatedWordGroupDlg::OnRegister(Mode mode) {
  if (list_->count() == 0) return;
  std::vector<std::string> words;
  for (int i = 0; i < list_->count(); ++i) words.push_back(list_->item(i)->data(kLineRole).toByteArray().toStdString());
  registration_ = RelatedRegistrationText(words, headword_);
  mode_ = mode;
  QDialog::accept();
}

// ---- repair ------------------------------------------------------------------

DictRepairConfirmDlg::DictRepairConfirmDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlg10070"));
  setWindowTitle(QStringLiteral("関連語辞書の修復"));
  auto* layout = new QVBoxLayout(this);
  for (const char* line : {"関連語辞書の修復を行います", "", "関連語辞書の修復は、インストール時の状態の辞書に対して現在までの",
                           "辞書編集作業の記録をもとに変更を加えるもので、修復処理の中止はで", "きません", "",
                           "関連語辞書の修復を行いますか？"})
    layout->addWidget(new QLabel(QString::fromUtf8(line)));
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  box->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
  layout->addWidget(box);
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

DictRepairDlg::DictRepairDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlg10060"));
  setWindowTitle(QStringLiteral("関連語辞書の修復"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("関連語辞書を修復しています")));
  status_ = new QLabel(this);
  status_->setObjectName(controlName(0x274d));
  status_->setMinimumWidth(360);
  layout->addWidget(status_);
}

void DictRepairDlg::SetStatus(const QString& text) { status_->setText(text); }
QString DictRepairDlg::status() const { return status_->text(); }

// ---- maintenance -------------------------------------------------------------

RelatedWordMaintDlg::RelatedWordMaintDlg(std::FILE* log, const std::string& archivePath, bool firstRun,
                                         QWidget* parent)
    : QDialog(parent), writer_(log), archivePath_(archivePath), firstRun_(firstRun) {
  setObjectName(QStringLiteral("dlg10430"));
  setWindowTitle(QStringLiteral("関連語辞書メンテナンス"));
  headword_ = new QLineEdit(this);
  headword_->setObjectName(controlName(0x28c4));
  lookup_ = button("関連語参照", 0, this);
  lookup_->setObjectName(QStringLiteral("ctlOK"));
  list_ = listBox(0x28c5, this, false);
  count_ = new QLabel(this);
  count_->setObjectName(controlName(0x28c2));
  add_ = button("グループ追加", 0x28bf, this);
  modify_ = button("グループ修正", 0x28c3, this);
  delete_ = button("削除", 0x28c0, this);
  repair_ = button("辞書の修復", 0x28c6, this);
  end_ = button("終了", 0x28c1, this);
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("見出し語")), 0, 0);
  grid->addWidget(headword_, 0, 1);
  grid->addWidget(lookup_, 0, 2);
  grid->addWidget(new QLabel(QStringLiteral("グループ数")), 1, 0);
  grid->addWidget(count_, 1, 1);
  grid->addWidget(list_, 2, 0, 5, 2);
  grid->addWidget(add_, 2, 2);
  grid->addWidget(modify_, 3, 2);
  grid->addWidget(delete_, 4, 2);
  grid->addWidget(repair_, 5, 2);
  grid->addWidget(end_, 6, 2);
  list_->setMinimumWidth(380);

  // The repair is offered only on a first run with a cumulative log to replay.
  bool offer = false;
  if (firstRun_ && !archivePath_.empty()) {
    const int fd = ::open(archivePath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) {
      offer = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lseek(fd, 0, SEEK_END) > 0;
      ::close(fd);
    }
  }
  repair_->setEnabled(offer);
  if (!offer) firstRun_ = false;
  lookup_->setEnabled(false);
  add_->setEnabled(false);
  modify_->setEnabled(false);
  delete_->setEnabled(false);

  connect(headword_, &QLineEdit::textChanged, this, [this](const QString& t) {
    lookup_->setEnabled(!t.isEmpty());
    if (t.isEmpty()) add_->setEnabled(false);
  });
  connect(headword_, &QLineEdit::returnPressed, this, &RelatedWordMaintDlg::OnLookup);
  connect(lookup_, &QPushButton::clicked, this, &RelatedWordMaintDlg::OnLookup);
  connect(list_, &QListWidget::itemSelectionChanged, this, [this] {
    const bool line = !list_->selectedItems().isEmpty() && list_->isEnabled();
    modify_->setEnabled(line);
    delete_->setEnabled(line);
  });
  connect(add_, &QPushButton::clicked, this, &RelatedWordMaintDlg::OnAddGroup);
  connect(modify_, &QPushButton::clicked, this, &RelatedWordMaintDlg::OnModifyGroup);
  connect(delete_, &QPushButton::clicked, this, &RelatedWordMaintDlg::OnDeleteGroup);
  connect(repair_, &QPushButton::clicked, this, &RelatedWordMaintDlg::OnRepair);
  connect(end_, &QPushButton::clicked, this, &RelatedWordMaintDlg::accept);
}

std::string RelatedWordMaintDlg::headwordText() const {
  return cutBytes(sjis(headword_->text().trimmed()), relatedui::kMaxWordBytes);
}

void RelatedWordMaintDlg::OnLookup() {
  lookedUp_ = headwordText();
  if (lookedUp_.empty()) return;
  const int found = fillGroupLines(lookedUp_, *list_, count_);
  groupCount_ = std::max(0, found);
  modify_->setEnabled(false);
  delete_->setEnabled(false);
  add_->setEnabled(found >= 0);
}

void RelatedWordMaintDlg::endRepairOffer() {
  repair_->setEnabled(false);
  firstRun_ = false;
}

void RelatedWordMaintDlg::beforeRecord() {
  if (!repair_->isEnabled()) return;
  // From the first change on the log of this run no longer continues the
  // cumulative one as installed, so that one cannot be replayed any more.
  QFile::remove(QString::fromStdString(archivePath_));
  endRepairOffer();
}

bool RelatedWordMaintDlg::addGroup(const std::string& text) {
  switch (AddRelatedGroup(text)) {
    case relatedword::kDone:
      if (writer_.IsOpen()) {
        beforeRecord();
        writer_.WriteAdded(lookedUp_, text);
      }
      OnLookup();
      return true;
    case relatedword::kFailed: tell("新規グループの登録に失敗しました", "エラー"); return false;
    case relatedword::kDictionaryFull: tell("登録可能件数は10万件までです", "警告", platform::Icon::Warning); return false;
    default: tell("関連語辞書は他のプロセスで使用中のため、登録できません", "エラー"); return false;
  }
}

void RelatedWordMaintDlg::OnAddGroup() {
  if (lookedUp_.empty()) return;
  if (groupCount_ >= relatedui::kMaxGroups) {
    tell("グループ数は 32 までです", "警告", platform::Icon::Warning);
    return;
  }
  RelatedWordGroupDlg group(lookedUp_, RelatedWordGroupDlg::kCreate, {}, true, this);
  if (groupRunner(group) != QDialog::Accepted) return;
  addGroup(group.RegistrationText());
}

void RelatedWordMaintDlg::OnModifyGroup() {
  const auto selected = list_->selectedItems();
  if (selected.isEmpty() || lookedUp_.empty()) return;
  const int index = list_->row(selected.front());
  const std::string line = selected.front()->data(kLineRole).toByteArray().toStdString();
  RelatedWordGroupDlg group(lookedUp_, RelatedWordGroupDlg::kModify, line, groupCount_ < relatedui::kMaxGroups,
                            this);
  if (groupRunner(group) != QDialog::Accepted) return;
  if (group.mode() == RelatedWordGroupDlg::kModify) {
    const int deleted = DeleteRelatedGroup(index);
    if (deleted == relatedword::kFailed) {
      tell("グループの変更に失敗しました", "エラー");
      return;
    }
    if (deleted < 0) {
      tell("関連語辞書は他のプロセスで使用中のため、変更できません", "エラー");
      return;
    }
    if (writer_.IsOpen()) {
      beforeRecord();
      writer_.WriteDeleted(lookedUp_, index);
    }
  }
  addGroup(group.RegistrationText());
}

void RelatedWordMaintDlg::OnDeleteGroup() {
  const auto selected = list_->selectedItems();
  if (selected.isEmpty() || lookedUp_.empty()) return;
  const int index = list_->row(selected.front());
  const int result = DeleteRelatedGroup(index);
  if (result == relatedword::kDone) {
    if (writer_.IsOpen()) {
      beforeRecord();
      writer_.WriteDeleted(lookedUp_, index);
    }
    OnLookup();
  } else if (result == relatedword::kFailed) {
    tell("関連語グループの削除ができませんでした", "エラー");
  } else {
    tell("関連語辞書は他のプロセスが使用中のため、削除できません", "エラー");
  }
}

void RelatedWordMaintDlg::OnRepair() {
  DictRepairConfirmDlg confirm(this);
  if (confirmRunner(confirm) != QDialog::Accepted) return;
  setEnabled(false);
  {
    DictRepairDlg progress(this);
    progress.show();
    const RelatedReplayResult result = ReplayRelatedWordLog(archivePath_, [&](const std::string& status) {
      progress.SetStatus(QString::fromStdString(status));
      if (repairWatcher) repairWatcher(progress);
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    if (result == RelatedReplayResult::kCannotOpen)
      tell("関連語バックアップ用のファイルを開けません\n辞書修復はできませんでした", "エラー");
    else if (result == RelatedReplayResult::kFailed)
      tell("辞書の修復でエラーが発生しました\n辞書修復はできませんでした", "エラー");
  }
  setEnabled(true);
  endRepairOffer();
}
