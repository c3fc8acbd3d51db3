#pragma once
// MigrationDlg (dialog 10540 "データ移行するフォルダ"): the user gathers the
// folders of the earlier product to migrate, by browsing or by dropping
// folders (or files, standing for their folder) on the list. The caller
// presets the candidates with SetFolders, runs the dialog and after OK reads
// the list back with GetFolders. A folder is listed once: paths compare with
// ASCII letters case-blind, every other character as it is.

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class FileDropListBox;
class QPushButton;

class MigrationDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kDialogId = 10540;
  // The folder browser: the chosen folder, empty when cancelled.
  using FolderChooser = std::function<QString(QWidget* parent, const QString& prompt)>;

  explicit MigrationDlg(QWidget* parent = nullptr);
  ~MigrationDlg() override;

  void SetFolders(const std::vector<std::string>& folders);
  std::vector<std::string> GetFolders() const { return folders_; }
  void SetFolderChooser(FolderChooser chooser) { chooser_ = std::move(chooser); }

  void AddFolder(const std::string& folder);
  void AddDroppedFolders(const std::vector<std::string>& folders);
  void OnBrowse();
  void OnDelete();
  void accept() override;

  FileDropListBox* List() const { return list_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* DeleteButton() const { return delete_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void updateButtons();

  FileDropListBox* list_;
  QPushButton* browse_;
  QPushButton* delete_;
  QPushButton* ok_;
  std::vector<std::string> folders_;
  FolderChooser chooser_;
  bool sized_ = false;
};
