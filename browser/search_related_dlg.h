#pragma once
// The related-word dictionary dialogs.
//
//   RelatedWordsDlg            (10180) adds related words to the search words
//   RelatedWordMaintDlg        (10430) looks up a headword's groups; adds,
//                              modifies and deletes groups (each change also
//                              written to the work log); repairs the
//                              dictionary by replaying the cumulative log
//   RelatedWordGroupDlg        (10420) builds or changes one group
//   RelatedWordGroupSelectDlg  (10440) picks one group of a headword
//   DictRepairConfirmDlg       (10070) asks before the repair
//   DictRepairDlg              (10060) the repair's status line
//
// Texts are shown as QString; the engine is spoken to in Shift-JIS.

#include "catalogue/related_word_log.h"

#include <QDialog>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace relatedui {
inline constexpr int kMaxGroups = 32;
inline constexpr int kMaxGroupWords = 80;
inline constexpr int kMaxWordBytes = 60;
}  // namespace relatedui

// The search words text as its words: split at ",", a word in double quotes
// runs to the closing quote; each trimmed, empty ones left out.
QStringList SplitSearchWords(const QString& text);

class RelatedWordsDlg : public QDialog {
  Q_OBJECT
 public:
  explicit RelatedWordsDlg(const QString& searchWords, QWidget* parent = nullptr);
  // The listed words joined by ", " (valid after OK).
  QString SearchWords() const { return result_; }

  void OnLookup();
  void OnAdd();
  void OnDelete();
  void accept() override;

  QListWidget* searchList() const { return words_; }
  QListWidget* relatedList() const { return related_; }
  QPushButton* addButton() const { return add_; }
  QPushButton* deleteButton() const { return delete_; }

 private:
  QString result_;
  QListWidget* words_;
  QListWidget* related_;
  QPushButton* add_;
  QPushButton* delete_;
};

class RelatedWordGroupSelectDlg : public QDialog {
  Q_OBJECT
 public:
  // headword in Shift-JIS.
  explicit RelatedWordGroupSelectDlg(const std::string& headword, QWidget* parent = nullptr);
  // The chosen group line (Shift-JIS), valid after OK.
  const std::string& ChosenLine() const { return chosen_; }
  void accept() override;
  QListWidget* groupList() const { return list_; }
  QPushButton* selectButton() const { return select_; }

 private:
  std::string chosen_;
  QListWidget* list_;
  QPushButton* select_;
};

class RelatedWordGroupDlg : public QDialog {
  Q_OBJECT
 public:
  enum Mode { kCreate = 0, kModify = 1 };
  // headword and line in Shift-JIS; line is the group to modify.
  RelatedWordGroupDlg(const std::string& headword, Mode mode, const std::string& line, bool mayAddGroup,
                      QWidget* parent = nullptr);

  Mode mode() const { return mode_; }
  // The registration text (Shift-JIS), valid after OK.
  const std::string& RegistrationText() const { return registration_; }

  void OnAddWord();
  void OnDeleteWords();
  void OnReferGroup();
  void OnRegister(Mode mode);

  QLineEdit* wordEdit() const { return edit_; }
  QListWidget* wordList() const { return list_; }
  QPushButton* newButton() const { return new_; }
  QPushButton* overwriteButton() const { return overwrite_; }
  QPushButton* addButton() const { return add_; }
  // Runs the group selection dialog (tests answer it).
  std::function<int(RelatedWordGroupSelectDlg&)> selectRunner = [](RelatedWordGroupSelectDlg& d) { return d.exec(); };

 private:
  // Lists the words of a line, leaving out the headword and duplicates.
  void listLine(const std::string& line);
  bool listed(const std::string& word) const;
  void updateButtons();

  std::string headword_;
  Mode mode_;
  bool mayAddGroup_;
  std::string registration_;
  QLineEdit* edit_;
  QListWidget* list_;
  QPushButton* add_;
  QPushButton* delete_;
  QPushButton* new_;
  QPushButton* overwrite_;
};

class DictRepairConfirmDlg : public QDialog {
  Q_OBJECT
 public:
  explicit DictRepairConfirmDlg(QWidget* parent = nullptr);
};

class DictRepairDlg : public QDialog {
  Q_OBJECT
 public:
  explicit DictRepairDlg(QWidget* parent = nullptr);
  void SetStatus(const QString& text);
  QString status() const;

 protected:
  // The replay cannot be cancelled: OK, Cancel and Escape do nothing.
  void accept() override {}
  void reject() override {}

 private:
  QLabel* status_;
};

class RelatedWordMaintDlg : public QDialog {
  Q_OBJECT
 public:
  // log: the open work log (not owned; null: nothing is written);
  // archivePath: the cumulative log; firstRun: the frame's FirstRun flag.
  RelatedWordMaintDlg(std::FILE* log, const std::string& archivePath, bool firstRun, QWidget* parent = nullptr);

  // The FirstRun flag as the dialog leaves it.
  bool firstRun() const { return firstRun_; }

  void OnLookup();
  void OnAddGroup();
  void OnModifyGroup();
  void OnDeleteGroup();
  void OnRepair();

  QLineEdit* headwordEdit() const { return headword_; }
  QListWidget* groupList() const { return list_; }
  QLabel* countLabel() const { return count_; }
  QPushButton* lookupButton() const { return lookup_; }
  QPushButton* addButton() const { return add_; }
  QPushButton* modifyButton() const { return modify_; }
  QPushButton* deleteButton() const { return delete_; }
  QPushButton* repairButton() const { return repair_; }

  // How the nested dialogs run (tests answer them).
  std::function<int(RelatedWordGroupDlg&)> groupRunner = [](RelatedWordGroupDlg& d) { return d.exec(); };
  std::function<int(DictRepairConfirmDlg&)> confirmRunner = [](DictRepairConfirmDlg& d) { return d.exec(); };
  // Sees the repair's status dialog while the replay runs (tests).
  std::function<void(DictRepairDlg&)> repairWatcher;

 private:
  std::string headwordText() const;
  // Adds the registration text; true on success (records written, list renewed).
  bool addGroup(const std::string& text);
  // Before the first record of a run that could still repair: the
  // cumulative log is dropped and the repair is no longer offered.
  void beforeRecord();
  void endRepairOffer();

  RelatedWordLogWriter writer_;
  std::string archivePath_;
  bool firstRun_;
  int groupCount_ = 0;
  std::string lookedUp_;
  QLineEdit* headword_;
  QListWidget* list_;
  QLabel* count_;
  QPushButton* lookup_;
  QPushButton* add_;
  QPushButton* modify_;
  QPushButton* delete_;
  QPushButton* repair_;
  QPushButton* end_;
};
