#pragma once
// CListPane: the report-style list, the right pane in list mode. For now an
// empty list that keeps the row count the document asks for; the columns and
// rows come with the list's own code.

#include "shell/document_views.h"

#include <QFrame>

class CListPane : public QFrame, public ListPaneSink {
  Q_OBJECT
 public:
  static constexpr int kControlId = 2004;

  explicit CListPane(QWidget* parent = nullptr);

  int rowCount() const { return rows_; }

  // ListPaneSink
  void DeleteAllRows() override { rows_ = 0; }
  void UpdateEntry(int index, const StackInfo*, const ItemInfo*) override {
    if (index >= rows_) rows_ = index + 1;
  }
  void Fill(int, int) override {}
  void SelectOnlyRow(int) override {}

 private:
  int rows_ = 0;
};
