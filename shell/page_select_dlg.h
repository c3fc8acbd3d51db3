#pragma once
// "表示頁の選択": picks the page of a stack to show.

#include <QDialog>

#include <vector>

class QTreeWidget;

class PageSelectDlg : public QDialog {
  Q_OBJECT
 public:
  struct Page {
    QString title;
    QString extension;
    int kind = 0;  // 0..5: which small icon the row shows
  };

  PageSelectDlg(const std::vector<Page>& pages, int selected, bool showExtension,
                QWidget* parent = nullptr);
  // The chosen row after OK, or -1.
  int selectedPage() const { return selected_; }
  QTreeWidget* list() const { return list_; }

  void accept() override;

 private:
  QTreeWidget* list_;
  int selected_;
};
