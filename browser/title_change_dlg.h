#pragma once
// TitleChangeDlg: the title of a stack and of its pages, edited in one
// dialog: the stack title in an edit field, each page title in place in the
// list, or all pages at once from a base title (BaseTitleDlg, "一括変更").
// Nothing is stored before OK; OK renames the pages' files first and stores
// each new title only once its files bear it.

#include "catalogue/catalogue_records.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class FolderDatabase;
class QLineEdit;
class QListWidget;
class QListWidgetItem;

// The base title of a bulk change (dialog 10080).
class BaseTitleDlg : public QDialog {
  Q_OBJECT
 public:
  BaseTitleDlg(int maxLength, QWidget* parent = nullptr);
  QLineEdit* edit() const { return edit_; }
  const std::string& baseTitle() const { return base_; }
  void accept() override;

 private:
  QLineEdit* edit_ = nullptr;
  int maxLength_;
  std::string base_;
};

class TitleChangeDlg : public QDialog {
  Q_OBJECT
 public:
  // folder without a trailing slash; db holds the folder's catalogue open.
  TitleChangeDlg(FolderDatabase& db, const std::string& folder, int stackNo, QWidget* parent = nullptr);

  // Stands in for the base-title dialog (tests): the base, or nothing for Cancel.
  std::function<std::optional<std::string>(int maxLength)> baseTitleRunner;

  QListWidget* pageList() const { return list_; }
  QLineEdit* stackTitleEdit() const { return stackEdit_; }
  bool loaded() const { return loaded_; }
  std::vector<std::string> rowTitles() const;

  void OnBulkChange();
  void accept() override;

 private:
  void onRowEdited(QListWidgetItem* row);
  bool checkStackTitle();
  void tell(const std::string& text, const char* caption = "タイトル変更");

  FolderDatabase& db_;
  std::string folder_;
  StackInfo stack_;
  std::vector<ItemInfo> pages_;
  QListWidget* list_ = nullptr;
  QLineEdit* stackEdit_ = nullptr;
  bool loaded_ = false;
  bool settingRows_ = false;
};
