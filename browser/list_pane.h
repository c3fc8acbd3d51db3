#pragma once
// CListPane: the report-style list, the right pane in list mode. For now an
// empty list that keeps the row count the document asks for; the columns and
// rows come with the list's own code.

#include <QFrame>

struct ItemInfo;
struct StackInfo;

class CListPane : public QFrame {
  Q_OBJECT
 public:
  static constexpr int kControlId = 2004;

  explicit CListPane(QWidget* parent = nullptr);

  int rowCount() const { return rows_; }

  void DeleteAllRows() { rows_ = 0; }
  // Adds or updates the row of entry index.
  void UpdateEntry(int index, const StackInfo*, const ItemInfo*) {
    if (index >= rows_) rows_ = index + 1;
  }
  void DeleteRow(int) { --rows_; }
  // Refills the rows from the entry list (first = -1: all rows).
  void Fill(int, int) {}
  // Scrolls the row of entry index into view and selects only that row.
  void SelectOnlyRow(int) {}

 private:
  int rows_ = 0;
};
