#pragma once
// AppRegistrationDlg: "起動アプリケーションの設定", the registrations of the
// application bar. Registered entries on one side, the offers of AppReg.dat
// and the desktop's installed applications on the other; "追加", "更新" and
// "削除" edit the registered list and "終了" writes the 14 slots. Every refusal is a message captioned
// "アプリケーションの登録" and changes nothing.

#include "shell/app_bar.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QButtonGroup;
class QLineEdit;
class QListWidget;
class QPushButton;

class AppRegistrationDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kDialogId = 10030;
  // The file chooser of "参照...": the chosen path, empty when cancelled.
  using FileChooser = std::function<QString(QWidget* parent)>;

  // The offers: those of appRegPath, then the installed applications of
  // the desktop entries in applicationFolders.
  AppRegistrationDlg(std::string iniPath, QString appRegPath, QWidget* parent = nullptr,
                     const QStringList& applicationFolders = DesktopApplicationFolders());

  void OnRegisteredChosen(int row);
  void OnCandidateChosen(int row);
  void OnBrowse();
  void OnAdd();
  void OnUpdate();
  void OnDelete();
  void accept() override;  // "終了": writes the slots

  const std::vector<AppRegistration>& Registered() const { return registered_; }
  QListWidget* RegisteredList() const { return registeredList_; }
  QListWidget* CandidateList() const { return candidateList_; }
  QLineEdit* ProgramEdit() const { return programEdit_; }
  QLineEdit* MenuEdit() const { return menuEdit_; }
  QButtonGroup* ModeGroup() const { return modeGroup_; }
  QButtonGroup* PreparationGroup() const { return preparationGroup_; }
  QPushButton* AddButton() const { return add_; }
  QPushButton* DeleteButton() const { return delete_; }

 private:
  void TakeEntry(const AppRegistration& entry);
  void EnableChoices(bool on);
  void EnableAddForTexts();
  // The code from the radio groups (or the entry's own negative code).
  int EditedCode() const;
  // Steps 2, 3 and 5 of adding (and of updating, which skips `self`).
  bool CheckEntry(int self, bool update, QString* program);
  void SetRadio(QButtonGroup* group, int id);

  std::string iniPath_;
  std::vector<AppRegistration> registered_;
  std::vector<AppRegistration> candidates_;
  int code_ = -1;
  // An entry of the program's own (negative code): its program is found by
  // the program, never typed; anything else needs a program that exists.
  bool ownEntry_ = false;
  FileChooser fileChooser_;

  QListWidget* registeredList_;
  QListWidget* candidateList_;
  QLineEdit* programEdit_;
  QLineEdit* menuEdit_;
  QButtonGroup* modeGroup_;
  QButtonGroup* preparationGroup_;
  QPushButton* add_;
  QPushButton* update_;
  QPushButton* delete_;
};
