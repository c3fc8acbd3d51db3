#pragma once
// PageReorderDlg: the stack's pages in a list whose rows the user drags into
// a new order. After OK, ResultOrder() gives, row by row from the top, the
// index of the page (in the order the dialog was given) shown there.

#include <QDialog>

#include <vector>

class SortDragListCtrl;
struct ItemInfo;

class PageReorderDlg : public QDialog {
  Q_OBJECT
 public:
  // showExtension: titles with their extension, as the settings ask.
  PageReorderDlg(const std::vector<ItemInfo>& pages, bool showExtension, QWidget* parent = nullptr);

  SortDragListCtrl* list() const { return list_; }
  const std::vector<int>& ResultOrder() const { return order_; }

  void accept() override;

 private:
  SortDragListCtrl* list_ = nullptr;
  std::vector<int> order_;
};
