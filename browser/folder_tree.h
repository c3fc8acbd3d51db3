#pragma once
// FolderTree: the left pane of the browser. One root item ("デスクトップ")
// stands for the desktop's root folder; below it the subfolders as they are
// on disk, read when an item expands and dropped when it collapses. Each
// folder's icon shows its colour and clean-up mark from its info.ini.
// Selecting an item makes its folder the document's open folder; the tree
// also creates, renames, deletes and marks folders.
//
//   BuildForDesktop, SelectFolder, Refresh, RefreshSelected   driven by the frame
//   GetCurrentPath, GetItemPath, HasSubfolders, FillSubfolders
//   OnNewFolder, OnDeleteFolder, OnToggleCleanUp, OnChangeColour   context commands
//   BeginLabelEdit / EndLabelEdit                             renaming
//   MoveFolder                                                a folder dragged onto another
//
// The tree is as wide as its widest visible name: a horizontal scroll bar
// appears when that is wider than the pane, and the current item is kept in
// view sideways as well as up and down.
//
// Paths are POSIX paths in UTF-8; a folder path ends with a slash. Hidden
// folders (a leading point), names that are not UTF-8 and the program's own
// folders are not shown. Renames never replace an existing folder or file.

#include <QPersistentModelIndex>
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class BrowserDocument;
class QMenu;

class FolderTree : public QTreeWidget {
  Q_OBJECT

 public:
  static constexpr int kControlId = 2001;
  static constexpr int kCmdNewFolder = 0x8059;
  static constexpr int kCmdDeleteFolder = 0x805A;
  static constexpr int kCmdCleanUp = 0x8092;
  static constexpr int kCmdColour = 0x809E;
  static constexpr int kRootItemData = 1;
  // Item data: 1 for the root item, 0 for every folder.
  static constexpr int kItemDataRole = Qt::UserRole;

  // Colour chooser: given the current CleanUp value, the chosen colour index
  // 0-8 or -1. The default runs ColorChoiceDlg.
  using ColourChooser = std::function<int(QWidget* parent, int cleanUpValue)>;

  explicit FolderTree(QWidget* parent = nullptr);
  ~FolderTree() override;

  void SetDocument(BrowserDocument* document) { document_ = document; }
  void SetColourChooser(ColourChooser chooser) { colourChooser_ = std::move(chooser); }

  int BuildForDesktop(const std::string& desktopRoot);
  // 1 selected, -1 a component not found, 0 nothing to search (the root is
  // then selected).
  int SelectFolder(const std::string& folderPath);
  std::string GetCurrentPath() const { return currentPath_; }
  const std::string& desktopRoot() const { return desktopRoot_; }
  QTreeWidgetItem* rootItem() const;
  std::string GetItemPath(const QTreeWidgetItem* item) const;
  // Whether the folder (the desktop root when empty) holds a visible subfolder.
  bool HasSubfolders(const std::string& path = {}) const;
  // Inserts the item's visible subfolders that it lacks; the number seen.
  int FillSubfolders(QTreeWidgetItem* item);
  int RefreshSelected(QTreeWidgetItem* item = nullptr);
  // Drops the items of vanished folders and adds those that appeared.
  void Refresh();

  // The item that the context commands and the Delete key work on.
  void SetContextItem(QTreeWidgetItem* item);
  QTreeWidgetItem* contextItem() const;
  void RunCommand(int commandId);
  void OnNewFolder();
  void OnDeleteFolder(bool deleteForGood);
  void OnToggleCleanUp();
  void OnChangeColour();
  // The context menu of an item (its actions run RunCommand).
  std::unique_ptr<QMenu> CreateContextMenu(QTreeWidgetItem* item);

  // Renaming. EndLabelEdit: false when the user must edit again (after a
  // message); the typed text is then offered in the next edit.
  bool BeginLabelEdit(QTreeWidgetItem* item);
  bool EndLabelEdit(QTreeWidgetItem* item, const QString& typed);
  // Text for the next label editor (the text typed into a refused edit).
  std::optional<QString> TakePendingEditText();
  bool isEditingLabel() const { return state() == EditingState; }

  // Moves dragged's folder below target's on disk (the drag of a folder
  // onto another); false when it stayed. Onto itself or its own parent it
  // stays without a word; onto its own subfolder, or where a folder of its
  // name exists, it is refused with a message. Open paths inside it follow.
  bool MoveFolder(QTreeWidgetItem* dragged, QTreeWidgetItem* target);
  bool isDraggingFolder() const { return dragItem_ != nullptr && folderDragging_; }

  // Every open path at or below oldFolder (no trailing slash) moves below
  // newFolder: the tree's current path and the document's folder.
  void RebaseOpenPaths(const std::string& oldFolder, const std::string& newFolder);

  // No item selected (the document shows no folder).
  void ClearSelection();

 signals:
  // The selection moved to another folder; GetCurrentPath() is its path.
  void folderSelected();

 protected:
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  friend class FolderTreeDelegate;
  void OnCurrentItemChanged(QTreeWidgetItem* current);
  void OnItemExpanded(QTreeWidgetItem* item);
  void OnItemCollapsed(QTreeWidgetItem* item);
  void OnLabelEditCommitted(const QPersistentModelIndex& index, const QString& typed);
  QTreeWidgetItem* makeFolderItem(const std::string& parentPath, const std::string& name) const;
  void insertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* child);
  void moveToSortedPlace(QTreeWidgetItem* item);
  // The child of that name: the exact one, else the one child whose name
  // differs only in ASCII case; nullptr when none or several do.
  static QTreeWidgetItem* childNamed(QTreeWidgetItem* parent, const std::string& name);
  void setItemIcon(QTreeWidgetItem* item, int cleanUpValue);
  void setChildrenFlag(QTreeWidgetItem* item, bool hasChildren);
  void collapseWithReset(QTreeWidgetItem* item);
  bool isInside(const QTreeWidgetItem* item, const QTreeWidgetItem* ancestor) const;
  bool writeCleanUp(QTreeWidgetItem* item, int value);

  BrowserDocument* document_ = nullptr;
  ColourChooser colourChooser_;
  std::string desktopRoot_;  // with a trailing slash
  std::string currentPath_;
  QPersistentModelIndex contextIndex_;
  std::optional<QString> pendingEditText_;
  bool keepRootChildren_ = false;
  // A folder drag: the pressed item and point; dragging once past the
  // system's drag distance.
  QTreeWidgetItem* dragItem_ = nullptr;
  QPoint dragStart_;
  bool folderDragging_ = false;
};
