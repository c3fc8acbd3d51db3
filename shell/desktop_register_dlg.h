#pragma once
// DesktopRegisterDlg (dialog 10020 "デスクトップの追加／削除"): edits the list
// of registered desktops, the root folders under which the user files
// documents. The owner fills `desktops`, runs the dialog and, after OK,
// reads `desktops` back (at least one, at most ten, in list order).
//
//   OnInitDialog          fills the list (runs when the dialog is first shown)
//   OnAdd                 checks the typed path and appends it (see Refusal)
//   OnDelete, OnBrowse    the other buttons
//   accept                refuses an empty list
//
// A desktop must be an absolute path to an existing folder on a writable
// medium, outside the program's own folders; on a removable medium only the
// medium's mount root. Two spellings of one folder (a trailing "/", a link,
// "..") are the same desktop: duplicates compare the real paths exactly,
// since the file system tells names apart by case.

#include "shell/desktop_drive.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>

class QLineEdit;
class QListWidget;
class QPushButton;

class DesktopRegisterDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kDialogId = 10020;
  static constexpr int kMaxDesktops = 10;

  // The folder browser of "参照": the chosen folder, empty when cancelled.
  using FolderChooser = std::function<QString(QWidget* parent, const QString& title)>;

  explicit DesktopRegisterDlg(QWidget* parent = nullptr);
  ~DesktopRegisterDlg() override;

  void SetDriveProbe(DriveProbe probe) { driveProbe_ = std::move(probe); }
  void SetFolderChooser(FolderChooser chooser) { folderChooser_ = std::move(chooser); }

  void OnInitDialog();
  void OnAdd();
  void OnDelete();
  void OnBrowse();
  void accept() override;

  QListWidget* List() const { return list_; }
  QLineEdit* PathEdit() const { return edit_; }
  QPushButton* AddButton() const { return add_; }
  QPushButton* DeleteButton() const { return delete_; }

  // In: the registered desktops; out (after OK): the list as edited.
  QStringList desktops;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // The message that refuses text as a new desktop; empty when it may be added.
  QString Refusal(const QString& text) const;
  QString DriveRefusal(const QString& folder) const;
  bool IsListedAsTyped(const QString& text) const;
  bool IsListedAsReal(const QString& real) const;

  QListWidget* list_ = nullptr;
  QLineEdit* edit_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* delete_ = nullptr;
  QPushButton* browse_ = nullptr;
  DriveProbe driveProbe_;
  FolderChooser folderChooser_;
  bool initialised_ = false;
};
