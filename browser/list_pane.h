#pragma once
// CListPane: the report-style list of the open folder's documents, the
// right pane in list mode. One row per display entry of the document; a
// row carries its entry index, which every removal keeps true (the rows
// after a removed entry shift down with the entries).
//
//   UpdateEntry, DeleteRow, DeleteAllRows   rows from the document's entries
//   Fill                  sort by a column (the same column again reverses)
//   SelectOnlyRow, SelectItemById, SelectedEntryIndices   the selection
//   OnDelete, OnRenameItem, EndLabelEdit    editing
//
// Column widths are kept in the profile ("Browser", "ListPaneWidth0-5"):
// read when the pane is made, written when it goes.

#include "browser/list_rows.h"

#include <QStringList>
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CFD3Doc;
class EntrySource;
class QMenu;
struct ItemInfo;
struct StackInfo;

class CListPane : public QTreeWidget {
  Q_OBJECT
 public:
  static constexpr int kControlId = 2004;
  static constexpr int kDefaultWidths[listpane::kColumnCount] = {150, 50, 50, 70, 70, 70};
  // A column's width without a stored one: the default, widened so that its
  // heading (and a whole date) fits.
  int DefaultColumnWidth(int column) const;
  // The stack menu's "タイトルの変更 ...": the title change dialog of the row
  // (no menu command of the frame; the view runs it).
  static constexpr int kStackTitleCommand = 0x8079;

  explicit CListPane(QWidget* parent = nullptr);
  ~CListPane() override;

  void SetDocument(CFD3Doc* document);
  // The frame's hooks: the document count in the status bar, whether titles
  // show their extension, the label edit's start and end (the document's
  // shortcuts pause).
  std::function<void(int count)> onShowDocumentCount;
  std::function<bool()> showExtension;
  std::function<void(bool editing)> onLabelEditing;
  // The context menus' entries run as the frame's commands on the selection;
  // an entry is greyed while the frame's command is unavailable.
  std::function<void(int commandId)> runCommand;
  std::function<bool(int commandId)> commandAvailable;
  // Opening an entry (double click, Enter, the view's open command): the
  // viewer for an image, else the file's own application.
  std::function<void(int entryIndex)> openEntry;
  // The registered applications' menu texts, for the context menu's
  // application entries (commands kFirstApplicationMenuEntry + i).
  std::function<QStringList()> applicationNames;
  void OpenEntry(int entryIndex);

  // The selected rows' documents moved (or copied) into folder, a folder of
  // the tree; the view does the carrying (carryToFolder).
  std::function<void(const std::vector<int>& entryIndices, const std::string& folder, bool copy)> carryToFolder;
  void MoveOrCopyToFolder(const std::string& folder, bool copy);

  // The context menu of row (-1: the empty area), owned by parent.
  QMenu* BuildContextMenu(int row, QWidget* parent);

  int rowCount() const { return topLevelItemCount(); }
  int EntryOfRow(int row) const;
  int RowOfEntry(int entryIndex) const;
  std::string CellText(int row, int column) const;
  int sortColumn() const { return sortColumn_; }
  bool descending() const { return descending_; }

  void DeleteAllRows();
  // Writes the row of entry index, appending one when none carries it.
  void UpdateEntry(int index, const StackInfo* stack, const ItemInfo* item);
  // The entry index was removed: its row goes, later rows shift down.
  void DeleteRow(int index);
  // column -1 keeps the sort; showCount 1 shows the row count.
  void Fill(int column, int showCount);
  void SelectOnlyRow(int index);
  void SelectItemById(int kind, int number);
  std::vector<int> SelectedEntryIndices() const;
  int SelectedCount() const { return static_cast<int>(selectedItems().size()); }
  void SaveColumnWidths() const;

  // Asks, then deletes the selected documents through the entry commands
  // (forGood skips the trash).
  void OnDelete(bool forGood);
  // The in-place edit of the first selected row.
  void OnRenameItem();
  // Starts the in-place edit of row; false when it is refused.
  bool BeginRename(int row);
  // The end of an edit with text, through the entry commands: true when
  // renamed. A refused title shows its message and opens the edit on the
  // row again.
  bool EndLabelEdit(int row, const std::string& text);
  bool IsEditing() const { return state() == QAbstractItemView::EditingState; }

  // Title cell text for editing (the extension cut when titles show it);
  // false when the edit is refused.
  bool EditText(int row, std::string& text) const;

 protected:
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  friend class ListRowItem;
  void setEntryRow(int index, const StackInfo* stack, const ItemInfo* item);
  bool extensionsShown() const { return showExtension && showExtension(); }

  CFD3Doc* document_ = nullptr;
  std::unique_ptr<EntrySource> entries_;  // the document's entries, for the entry commands
  std::vector<QTreeWidgetItem*> rowOfEntry_;  // by entry index
  std::vector<listpane::PreparedKey> keys_;   // by entry index, during a sort
  int sortColumn_ = -1;
  bool descending_ = false;
};
