#include "browser/folder_tree.h"

#include "browser/browser_document.h"
#include "browser/folder_icons.h"
#include "catalogue/file_utilities.h"
#include "catalogue/folder_settings.h"
#include "platform/file_ops.h"
#include "platform/paths.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"
#include "shell/color_choice_dlg.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTimer>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

namespace {

constexpr int kSortKeyRole = Qt::UserRole + 1;
// The longest folder path, in Shift-JIS bytes, that the program's other
// paths (documents, their attached texts, catalogues) can still be built on.
constexpr int kMaxFolderPathCp932 = 259;

const char kDesktopLabel[] = "デスクトップ";
const char kNewFolderName[] = "新しいフォルダ";
const char kForbiddenNameChars[] = "\\/:*?\"<>|";
const char kUnwritableNameMessage[] = "フォルダ名に、このプログラムでは保存できない文字（ハングル、絵文字など）が含まれています。";

// Answers of ClassifyReservedPath that keep a folder out of the tree.
bool isHiddenByReservation(int relation) {
  return relation == 1 || relation == 3 || relation == 4 || relation == 6 || relation == -1;
}

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};

bool isDirectoryEntry(const std::string& folder, const dirent* e) {
  if (e->d_type == DT_DIR) return true;
  if (e->d_type != DT_LNK && e->d_type != DT_UNKNOWN) return false;
  struct stat st {};
  return ::stat((folder + e->d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Calls f(name) for each visible subfolder of folder (with a trailing slash)
// until f returns false.
template <typename F>
void forEachVisibleSubfolder(const std::string& folder, F&& f) {
  std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
  if (!dir) return;
  while (const dirent* e = ::readdir(dir.get())) {
    const std::string_view name(e->d_name);
    if (name.empty() || name.front() == '.') continue;  // hidden, "." and ".."
    if (!platform::utf8IsValid(name)) continue;          // no path could name it back
    if (!isDirectoryEntry(folder, e)) continue;
    if (isHiddenByReservation(ClassifyReservedPath(folder + e->d_name))) continue;
    if (!f(std::string(name))) return;
  }
}

// The name of an entry of folder equal to name with ASCII case ignored,
// other than except.
std::optional<std::string> entryNamedCaseBlind(const std::string& folder, const std::string& name,
                                               const std::string& except) {
  std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
  if (!dir) return std::nullopt;
  while (const dirent* e = ::readdir(dir.get())) {
    const std::string_view entry(e->d_name);
    if (entry != except && platform::asciiEqualsIgnoreCase(entry, name)) return std::string(entry);
  }
  return std::nullopt;
}

QByteArray sortKey(const std::string& name) {
  return QByteArray::fromStdString(platform::toCp932Lossy(platform::asciiUpper(name)));
}

bool keyLess(const QByteArray& a, const QByteArray& b) {
  const int c = std::memcmp(a.constData(), b.constData(), static_cast<size_t>(std::min(a.size(), b.size())));
  return c != 0 ? c < 0 : a.size() < b.size();
}

bool pathExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool isDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void showMessage(const std::string& text, const char* caption, platform::Icon icon = platform::Icon::Warning) {
  platform::messageBox(text, platform::Buttons::Ok, icon, caption);
}

// Blanks off both ends, then the points at the end, then those at the start.
std::string normaliseFolderName(std::string name) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!name.empty() && blank(name.back())) name.pop_back();
  std::size_t first = 0;
  while (first < name.size() && blank(name[first])) ++first;
  name.erase(0, first);
  while (!name.empty() && name.back() == '.') name.pop_back();
  first = 0;
  while (first < name.size() && name[first] == '.') ++first;
  name.erase(0, first);
  return name;
}

// A character the name may not hold: the nine of the message or a control
// character.
bool hasForbiddenChar(const std::string& name) {
  for (const char c : name)
    if (std::strchr(kForbiddenNameChars, c) != nullptr || static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      return true;
  return false;
}

// A character that Shift-JIS cannot write (Hangul, emoji, ...): the
// folder's path is stored in Shift-JIS files.
bool hasUnwritableChar(const std::string& name) { return platform::cp932Length(name) < 0; }

// "/a/b/" with old "/a" → true and out "/x/b/" for new "/x".
bool rebasePath(const std::string& path, const std::string& oldFolder, const std::string& newFolder,
                std::string& out) {
  if (path == oldFolder) {
    out = newFolder;
    return true;
  }
  if (path.size() > oldFolder.size() && path.compare(0, oldFolder.size(), oldFolder) == 0 &&
      path[oldFolder.size()] == '/') {
    out = newFolder + path.substr(oldFolder.size());
    return true;
  }
  return false;
}

}  // namespace

// ---- label editor ----------------------------------------------------------

// The line edit of a label edit: it keeps the tab key (a tab never ends
// the edit or moves the focus away).
class FolderTreeEdit : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;

 protected:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
        event->accept();
        return true;
      }
    }
    return QLineEdit::event(event);
  }
};

class FolderTreeDelegate : public QStyledItemDelegate {
 public:
  explicit FolderTreeDelegate(FolderTree* tree) : QStyledItemDelegate(tree), tree_(tree) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override {
    tree_->BeginLabelEdit(tree_->itemFromIndex(index));
    auto* editor = new FolderTreeEdit(parent);
    editor->setObjectName(QStringLiteral("folderTreeEdit"));
    return editor;
  }
  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    auto* edit = static_cast<QLineEdit*>(editor);
    const std::optional<QString> pending = tree_->TakePendingEditText();
    edit->setText(pending ? *pending : index.data().toString());
    edit->selectAll();
  }
  // The model is not written here: the folder is renamed on disk first, and
  // only then does the item take the new name.
  void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
    const QString typed = static_cast<QLineEdit*>(editor)->text();
    const QPersistentModelIndex persistent(index);
    FolderTree* tree = tree_;
    // After the editor has closed: messages and a new edit must not run
    // inside the editor's own focus handling.
    QMetaObject::invokeMethod(
        tree, [tree, persistent, typed] { tree->OnLabelEditCommitted(persistent, typed); },
        Qt::QueuedConnection);
  }

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Tab || key == Qt::Key_Backtab) return false;
    }
    return QStyledItemDelegate::eventFilter(object, event);
  }

 private:
  FolderTree* tree_;
};

// ---- the tree ----------------------------------------------------------------

FolderTree::FolderTree(QWidget* parent) : QTreeWidget(parent) {
  setObjectName(QStringLiteral("ctl%1").arg(kControlId));
  setHeaderHidden(true);
  setColumnCount(1);
  setRootIsDecorated(false);  // the desktop item never collapses
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
  setIconSize(QSize(FolderIcons::kSize, FolderIcons::kSize));
  setUniformRowHeights(true);
  // One column as wide as the widest visible name, not as the pane: deep
  // folders scroll sideways instead of being cut off.
  header()->setStretchLastSection(false);
  header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setFrameShape(QFrame::StyledPanel);
  setItemDelegate(new FolderTreeDelegate(this));
  colourChooser_ = [](QWidget* owner, int) {
    ColorChoiceDlg dialog(owner);
    return dialog.exec();
  };
  connect(this, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current, QTreeWidgetItem*) { OnCurrentItemChanged(current); });
  connect(this, &QTreeWidget::itemExpanded, this, &FolderTree::OnItemExpanded);
  connect(this, &QTreeWidget::itemCollapsed, this, &FolderTree::OnItemCollapsed);
}

FolderTree::~FolderTree() = default;

QTreeWidgetItem* FolderTree::rootItem() const { return topLevelItemCount() > 0 ? topLevelItem(0) : nullptr; }

int FolderTree::BuildForDesktop(const std::string& desktopRoot) {
  desktopRoot_ = platform::withTrailingSlash(desktopRoot);
  currentPath_.clear();
  clearSelection();
  setCurrentItem(nullptr);
  clear();
  auto root = std::make_unique<QTreeWidgetItem>(QStringList{QString::fromUtf8(kDesktopLabel)});
  root->setData(0, kItemDataRole, kRootItemData);
  root->setFlags(root->flags() & ~Qt::ItemIsEditable);
  QTreeWidgetItem* item = root.release();
  addTopLevelItem(item);
  setItemIcon(item, ReadFolderIni(desktopRoot_ + "info.ini", 0));
  setChildrenFlag(item, HasSubfolders());
  expandItem(item);
  return 1;
}

std::string FolderTree::GetItemPath(const QTreeWidgetItem* item) const {
  if (!item) return {};
  std::vector<const QTreeWidgetItem*> chain;
  for (const QTreeWidgetItem* i = item; i && i->parent(); i = i->parent()) chain.push_back(i);
  std::string path = desktopRoot_;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) path += (*it)->text(0).toStdString() + '/';
  return path;
}

bool FolderTree::HasSubfolders(const std::string& path) const {
  const std::string folder = path.empty() ? desktopRoot_ : platform::withTrailingSlash(path);
  bool found = false;
  forEachVisibleSubfolder(folder, [&found](const std::string&) {
    found = true;
    return false;
  });
  return found;
}

QTreeWidgetItem* FolderTree::makeFolderItem(const std::string& parentPath, const std::string& name) const {
  auto item = std::make_unique<QTreeWidgetItem>(QStringList{QString::fromStdString(name)});
  item->setData(0, kItemDataRole, 0);
  item->setData(0, kSortKeyRole, sortKey(name));
  item->setFlags(item->flags() | Qt::ItemIsEditable);
  const std::string folder = parentPath + name + '/';
  item->setIcon(0, FolderIcons::instance().iconForValue(false, ReadFolderIni(folder + "info.ini", 0)));
  item->setChildIndicatorPolicy(HasSubfolders(folder) ? QTreeWidgetItem::ShowIndicator
                                                      : QTreeWidgetItem::DontShowIndicator);
  return item.release();  // the caller inserts it at once
}

void FolderTree::insertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* child) {
  const QByteArray key = child->data(0, kSortKeyRole).toByteArray();
  int low = 0;
  int high = parent->childCount();
  while (low < high) {
    const int mid = (low + high) / 2;
    if (keyLess(key, parent->child(mid)->data(0, kSortKeyRole).toByteArray()))
      high = mid;
    else
      low = mid + 1;
  }
  parent->insertChild(low, child);
}

int FolderTree::FillSubfolders(QTreeWidgetItem* item) {
  if (!item) return 0;
  const std::string path = GetItemPath(item);
  std::vector<std::string> names;
  forEachVisibleSubfolder(path, [&names](const std::string& name) {
    names.push_back(name);
    return true;
  });
  if (item->childCount() == 0) {
    std::vector<std::pair<QByteArray, QTreeWidgetItem*>> made;
    made.reserve(names.size());
    for (const std::string& name : names) {
      QTreeWidgetItem* child = makeFolderItem(path, name);
      made.emplace_back(child->data(0, kSortKeyRole).toByteArray(), child);
    }
    std::stable_sort(made.begin(), made.end(), [](const auto& a, const auto& b) { return keyLess(a.first, b.first); });
    QList<QTreeWidgetItem*> children;
    children.reserve(static_cast<qsizetype>(made.size()));
    for (const auto& m : made) children.push_back(m.second);
    item->addChildren(children);
    return static_cast<int>(names.size());
  }
  // Names compare exactly: a folder whose name differs from a shown one only
  // in case is another folder.
  QSet<QString> present;
  for (int i = 0; i < item->childCount(); ++i) present.insert(item->child(i)->text(0));
  for (const std::string& name : names)
    if (!present.contains(QString::fromStdString(name))) insertSorted(item, makeFolderItem(path, name));
  return static_cast<int>(names.size());
}

int FolderTree::RefreshSelected(QTreeWidgetItem* item) {
  if (!item) item = currentItem();
  if (!item) return 0;
  const int count = FillSubfolders(item);
  setChildrenFlag(item, HasSubfolders(GetItemPath(item)));
  return count;
}

void FolderTree::Refresh() {
  QTreeWidgetItem* root = rootItem();
  if (!root) return;
  // 1: items of folders that vanished (top down, so a dropped branch is
  // not visited).
  std::vector<QTreeWidgetItem*> stack{root};
  while (!stack.empty()) {
    QTreeWidgetItem* item = stack.back();
    stack.pop_back();
    for (int i = item->childCount() - 1; i >= 0; --i) {
      QTreeWidgetItem* child = item->child(i);
      if (!isDirectory(platform::withoutTrailingSlash(GetItemPath(child)))) {
        if (currentItem() && isInside(currentItem(), child)) setCurrentItem(item);
        delete child;
      } else if (child->isExpanded()) {
        stack.push_back(child);
      }
    }
  }
  // 2: children flags from the disk, and folders that appeared.
  stack.push_back(root);
  while (!stack.empty()) {
    QTreeWidgetItem* item = stack.back();
    stack.pop_back();
    const std::string path = GetItemPath(item);
    setChildrenFlag(item, HasSubfolders(path));
    if (!item->isExpanded()) continue;
    FillSubfolders(item);
    for (int i = 0; i < item->childCount(); ++i) {
      QTreeWidgetItem* child = item->child(i);
      if (child->isExpanded())
        stack.push_back(child);
      else
        setChildrenFlag(child, HasSubfolders(GetItemPath(child)));
    }
  }
}

QTreeWidgetItem* FolderTree::childNamed(QTreeWidgetItem* parent, const std::string& name) {
  // The file system tells Docs from docs. A name typed in another case
  // (a stored path, a search hit) still finds its folder when that is the
  // only one it can mean.
  QTreeWidgetItem* caseBlind = nullptr;
  int caseBlindCount = 0;
  for (int i = 0; i < parent->childCount(); ++i) {
    const std::string text = parent->child(i)->text(0).toStdString();
    if (text == name) return parent->child(i);
    if (platform::asciiEqualsIgnoreCase(text, name)) {
      caseBlind = parent->child(i);
      ++caseBlindCount;
    }
  }
  return caseBlindCount == 1 ? caseBlind : nullptr;
}

int FolderTree::SelectFolder(const std::string& folderPath) {
  QTreeWidgetItem* item = rootItem();
  if (!item) return -1;
  const std::string path = platform::withTrailingSlash(folderPath);
  // Only a path below the desktop's root has an item.
  if (!path.starts_with(desktopRoot_)) return -1;
  const std::string rest = path.substr(desktopRoot_.size());
  if (rest.empty()) {
    setCurrentItem(item);
    return 0;
  }
  std::size_t start = 0;
  while (start < rest.size()) {
    std::size_t slash = rest.find('/', start);
    if (slash == std::string::npos) slash = rest.size();
    const std::string component = rest.substr(start, slash - start);
    start = slash + 1;
    if (component.empty()) continue;
    expandItem(item);
    item = childNamed(item, component);
    if (!item) return -1;
  }
  setCurrentItem(item);
  scrollTo(indexFromItem(item));
  return 1;
}

void FolderTree::scrollTo(const QModelIndex& index, ScrollHint hint) {
  // The tree view scrolls to the start of the column whenever the column is
  // wider than the pane, which for a deep folder is where its name is not.
  // Sideways, the item itself (with its branch mark) is brought into view.
  // (QTreeWidget::scrollToItem bypasses this: the tree calls scrollTo.)
  // Items just inserted or expanded widen the column only later: take the
  // width they give now, so that the scroll range is the real one.
  executeDelayedItemsLayout();
  resizeColumnToContents(0);
  updateGeometries();
  QScrollBar* bar = horizontalScrollBar();
  const int before = bar->value();
  QTreeWidget::scrollTo(index, hint);
  bar->setValue(before);
  if (!index.isValid()) return;
  const QRect cell = visualRect(index);
  if (cell.isNull()) return;
  const int left = cell.left() - indentation();
  const int right = cell.left() + sizeHintForIndex(index).width();
  const int width = viewport()->width();
  if (left < 0)
    bar->setValue(bar->value() + left);
  else if (right > width)
    bar->setValue(bar->value() + std::min(right - width, left));
}

void FolderTree::ClearSelection() {
  clearSelection();
  setCurrentItem(nullptr);
}

void FolderTree::OnCurrentItemChanged(QTreeWidgetItem* current) {
  if (!current) return;  // no folder to go to: the change is not followed
  currentPath_ = GetItemPath(current);
  emit folderSelected();
}

void FolderTree::setItemIcon(QTreeWidgetItem* item, int cleanUpValue) {
  const bool root = item->data(0, kItemDataRole).toInt() == kRootItemData;
  item->setIcon(0, FolderIcons::instance().iconForValue(root, cleanUpValue));
}

void FolderTree::setChildrenFlag(QTreeWidgetItem* item, bool hasChildren) {
  item->setChildIndicatorPolicy(hasChildren ? QTreeWidgetItem::ShowIndicator
                                            : QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

bool FolderTree::isInside(const QTreeWidgetItem* item, const QTreeWidgetItem* ancestor) const {
  for (const QTreeWidgetItem* i = item; i; i = i->parent())
    if (i == ancestor) return true;
  return false;
}

// ---- expanding and collapsing -----------------------------------------------

void FolderTree::OnItemExpanded(QTreeWidgetItem* item) {
  if (keepRootChildren_) return;
  // Every expansion shows the disk as it is now.
  QList<QTreeWidgetItem*> old = item->takeChildren();
  qDeleteAll(old);
  FillSubfolders(item);
}

void FolderTree::OnItemCollapsed(QTreeWidgetItem* item) {
  if (item == rootItem()) {
    keepRootChildren_ = true;
    expandItem(item);
    keepRootChildren_ = false;
    return;
  }
  QTreeWidgetItem* selected = currentItem();
  // The selection leaves the dropped branch for the collapsed folder, which
  // the document then opens.
  if (selected && selected != item && isInside(selected, item)) setCurrentItem(item);
  collapseWithReset(item);
}

void FolderTree::collapseWithReset(QTreeWidgetItem* item) {
  QList<QTreeWidgetItem*> old = item->takeChildren();
  qDeleteAll(old);
  setChildrenFlag(item, HasSubfolders(GetItemPath(item)));
}

// ---- context item and commands ---------------------------------------------

void FolderTree::SetContextItem(QTreeWidgetItem* item) {
  contextIndex_ = item ? QPersistentModelIndex(indexFromItem(item)) : QPersistentModelIndex();
}

QTreeWidgetItem* FolderTree::contextItem() const {
  return contextIndex_.isValid() ? itemFromIndex(contextIndex_) : nullptr;
}

void FolderTree::RunCommand(int commandId) {
  switch (commandId) {
    case kCmdNewFolder:
      OnNewFolder();
      break;
    case kCmdDeleteFolder:
      OnDeleteFolder(QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier));
      break;
    case kCmdCleanUp:
      OnToggleCleanUp();
      break;
    case kCmdColour:
      OnChangeColour();
      break;
    default:
      break;
  }
}

std::unique_ptr<QMenu> FolderTree::CreateContextMenu(QTreeWidgetItem* item) {
  auto menu = std::make_unique<QMenu>(this);
  menu->setObjectName(QStringLiteral("menu149"));
  const auto add = [this, &menu](int id, const char* text) {
    QAction* action = menu->addAction(QString::fromUtf8(text));
    action->setObjectName(QStringLiteral("cmd%1").arg(id, 0, 16));
    connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
    return action;
  };
  add(kCmdNewFolder, "フォルダの新規作成");
  add(kCmdDeleteFolder, "フォルダの削除")->setEnabled(item != rootItem());
  menu->addSeparator();
  QAction* cleanUp = add(kCmdCleanUp, "文書整理の対象");
  cleanUp->setCheckable(true);
  cleanUp->setChecked((ReadFolderIni(GetItemPath(item) + "info.ini", 0) & kFolderCleanUpBit) != 0);
  add(kCmdColour, "色の変更...");
  return menu;
}

void FolderTree::contextMenuEvent(QContextMenuEvent* event) {
  QTreeWidgetItem* item = itemAt(event->pos());
  if (!item) {
    QTreeWidget::contextMenuEvent(event);
    return;
  }
  SetContextItem(item);
  const QBrush background = item->background(0);
  item->setBackground(0, palette().brush(QPalette::Inactive, QPalette::Highlight));
  std::unique_ptr<QMenu> menu = CreateContextMenu(item);
  const QPersistentModelIndex marked(indexFromItem(item));
  menu->exec(event->globalPos());
  if (marked.isValid()) itemFromIndex(marked)->setBackground(0, background);
}

void FolderTree::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete && !event->isAutoRepeat() && state() != DraggingState) {
    QTreeWidgetItem* item = currentItem();
    if (item) {
      SetContextItem(item);
      if (item == rootItem())
        showMessage("デスクトップは削除できません。", "フォルダの削除");
      else
        QMetaObject::invokeMethod(this, [this] { RunCommand(kCmdDeleteFolder); }, Qt::QueuedConnection);
    }
    event->accept();
    return;
  }
  QTreeWidget::keyReleaseEvent(event);
}

void FolderTree::OnNewFolder() {
  QTreeWidgetItem* item = contextItem();
  if (!item) return;
  const std::string folder = GetItemPath(item);
  std::string name = kNewFolderName;
  for (int n = 2; pathExists(folder + name); ++n) name = std::string(kNewFolderName) + " (" + std::to_string(n) + ")";
  if (::mkdir((folder + name).c_str(), 0777) != 0) {
    showMessage("フォルダの作成に失敗しました。", "フォルダの新規作成");
    return;
  }
  setChildrenFlag(item, true);
  expandItem(item);
  FillSubfolders(item);
  const QString text = QString::fromStdString(name);
  for (int i = 0; i < item->childCount(); ++i) {
    if (item->child(i)->text(0) == text) {
      scrollTo(indexFromItem(item->child(i)));
      editItem(item->child(i));
      break;
    }
  }
}

void FolderTree::OnDeleteFolder(bool deleteForGood) {
  QTreeWidgetItem* item = contextItem();
  if (!item || item == rootItem()) return;
  const std::string path = GetItemPath(item);
  if (ClassifyReservedPath(platform::withoutTrailingSlash(path)) != 0) {
    showMessage("このフォルダは削除できません", "フォルダの削除");
    return;
  }
  const std::string question =
      "フォルダ '" + item->text(0).toStdString() + "' とフォルダ内の全てのファイルを削除してもよろしいですか？";
  if (platform::messageBox(question, platform::Buttons::OkCancel, platform::Icon::Question,
                           "フォルダの削除の確認") != platform::Answer::Ok)
    return;
  if (document_) {
    const std::string open = document_->GetFolderPath();
    if (!open.empty() && platform::withTrailingSlash(open).starts_with(path)) document_->CloseFolderDatabase();
  }
  QTreeWidgetItem* selectedBefore = currentItem();
  if (ShellDelete(platform::withoutTrailingSlash(path), deleteForGood) != 0) {
    showMessage("フォルダの削除に失敗しました。", "フォルダの削除");
    Refresh();
    if (document_ && currentItem() == selectedBefore && selectedBefore) document_->LoadFolder(currentPath_, 1);
    return;
  }
  QTreeWidgetItem* parent = item->parent();
  const bool hasSiblings = parent->childCount() > 1;
  if (selectedBefore && isInside(selectedBefore, item)) setCurrentItem(parent);
  delete item;
  if (!hasSiblings) {
    if (parent != rootItem()) {
      collapseItem(parent);  // drops nothing now, and sets the flag from the disk
      collapseWithReset(parent);
    }
    parent->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
  }
}

bool FolderTree::writeCleanUp(QTreeWidgetItem* item, int value) {
  if (!WriteFolderIni(GetItemPath(item) + "info.ini", std::to_string(value))) {
    showMessage("書き込みが出来ませんでした。\n処理を中断します。", "Error");
    return false;
  }
  setItemIcon(item, value);
  return true;
}

void FolderTree::OnToggleCleanUp() {
  QTreeWidgetItem* item = contextItem();
  if (!item) return;
  const int value = ReadFolderIni(GetItemPath(item) + "info.ini", 0);
  writeCleanUp(item, value ^ kFolderCleanUpBit);
}

void FolderTree::OnChangeColour() {
  QTreeWidgetItem* item = contextItem();
  if (!item || !colourChooser_) return;
  const int value = ReadFolderIni(GetItemPath(item) + "info.ini", 0);
  const int index = colourChooser_(this, value);
  if (index < 0) return;
  writeCleanUp(item, (index << 8) | (value & kFolderCleanUpBit));
}

// ---- renaming --------------------------------------------------------------

bool FolderTree::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
  if (itemFromIndex(index) == rootItem()) return false;  // the desktop keeps its label
  return QTreeWidget::edit(index, trigger, event);
}

bool FolderTree::BeginLabelEdit(QTreeWidgetItem* item) {
  if (!item || item == rootItem()) return false;
  if (document_) document_->SetLabelEditing(true);
  return true;
}

void FolderTree::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  if (document_) document_->SetLabelEditing(false);
  QTreeWidget::closeEditor(editor, hint);
}

std::optional<QString> FolderTree::TakePendingEditText() { return std::exchange(pendingEditText_, std::nullopt); }

void FolderTree::OnLabelEditCommitted(const QPersistentModelIndex& index, const QString& typed) {
  QTreeWidgetItem* item = index.isValid() ? itemFromIndex(index) : nullptr;
  if (!item || EndLabelEdit(item, typed)) return;
  pendingEditText_ = typed;
  editItem(item);
}

bool FolderTree::EndLabelEdit(QTreeWidgetItem* item, const QString& typed) {
  if (!item || item == rootItem()) return true;
  const std::string name = normaliseFolderName(typed.toStdString());
  if (name.empty()) {
    showMessage("フォルダ名を入力して下さい。", "名前の変更", platform::Icon::Error);
    return false;
  }
  // As the title rules: a character the program cannot store is named
  // before the forbidden ones.
  if (hasUnwritableChar(name)) {
    showMessage(kUnwritableNameMessage, "名前の変更");
    return false;
  }
  if (hasForbiddenChar(name)) {
    showMessage("フォルダ名には次の文字は使えません。\n\t\\ / : * ? \" < > |", "名前の変更");
    return false;
  }
  const std::string oldName = item->text(0).toStdString();
  if (name == oldName) return true;

  const std::string parent = GetItemPath(item->parent());
  const std::string from = parent + oldName;
  const std::string to = parent + name;
  const auto tooLong = [] { showMessage("フォルダ名が長すぎます。", "名前の変更", platform::Icon::Error); };
  if (!platform::isNameLengthValid(name) || platform::cp932Length(to) > kMaxFolderPathCp932) {
    tooLong();
    return false;
  }
  if (document_) document_->CloseFolderDatabase();
  // Another entry whose name differs only in case counts as taken: the
  // program looks folders up with case ignored.
  std::string existing = to;
  int error = 0;
  if (const auto other = entryNamedCaseBlind(parent, name, oldName)) {
    existing = parent + *other;
    error = EEXIST;
  } else {
    error = platform::renameNoReplace(from, to);
  }
  if (error != 0) {
    if (error == EEXIST || error == ENOTEMPTY)
      showMessage(isDirectory(existing)
                      ? "指定された名前のフォルダがすでに存在します。別の名前を指定してください。"
                      : "指定された名前のファイルがすでに存在します。別の名前を指定してください。",
                  "名前の変更", platform::Icon::Error);
    else if (error == ENAMETOOLONG)
      tooLong();
    else
      showMessage("名前の変更に失敗しました。", "名前の変更", platform::Icon::Error);
    return false;
  }
  item->setText(0, QString::fromStdString(name));
  item->setData(0, kSortKeyRole, sortKey(name));
  RebaseOpenPaths(from, to);
  moveToSortedPlace(item);
  return true;
}

// The item leaves its place and comes back where its new name sorts, with
// what was open below it; the current folder stays current, and nothing is
// loaded again.
void FolderTree::moveToSortedPlace(QTreeWidgetItem* item) {
  QTreeWidgetItem* parent = item->parent();
  if (!parent) return;
  std::vector<QTreeWidgetItem*> expanded;
  std::vector<QTreeWidgetItem*> pending = {item};
  while (!pending.empty()) {
    QTreeWidgetItem* next = pending.back();
    pending.pop_back();
    if (next->isExpanded()) expanded.push_back(next);
    for (int i = 0; i < next->childCount(); ++i) pending.push_back(next->child(i));
  }
  QTreeWidgetItem* current = currentItem();
  const QSignalBlocker quiet(this);
  parent->takeChild(parent->indexOfChild(item));
  insertSorted(parent, item);
  for (QTreeWidgetItem* open : expanded) open->setExpanded(true);
  if (current) setCurrentItem(current);
  scrollToItem(item);
}

// ---- moving a folder by dragging it -----------------------------------------------

void FolderTree::mousePressEvent(QMouseEvent* event) {
  QTreeWidget::mousePressEvent(event);
  dragItem_ = nullptr;
  folderDragging_ = false;
  if (event->button() != Qt::LeftButton) return;
  QTreeWidgetItem* item = itemAt(event->position().toPoint());
  // The desktop is never dragged.
  if (!item || item == rootItem() || state() == EditingState) return;
  dragItem_ = item;
  dragStart_ = event->position().toPoint();
}

void FolderTree::mouseMoveEvent(QMouseEvent* event) {
  if (!dragItem_ || !(event->buttons() & Qt::LeftButton)) {
    QTreeWidget::mouseMoveEvent(event);
    return;
  }
  const QPoint pos = event->position().toPoint();
  if (!folderDragging_ && (pos - dragStart_).manhattanLength() < QApplication::startDragDistance()) return;
  folderDragging_ = true;
  QTreeWidgetItem* under = itemAt(pos);
  viewport()->setCursor(under ? Qt::ArrowCursor : Qt::ForbiddenCursor);
  if (under) {
    // The neighbours come into view, so that the tree scrolls under a drag.
    if (QTreeWidgetItem* above = itemAbove(under)) scrollToItem(above);
    if (QTreeWidgetItem* below = itemBelow(under)) scrollToItem(below);
  }
}

void FolderTree::mouseReleaseEvent(QMouseEvent* event) {
  QTreeWidgetItem* dragged = std::exchange(dragItem_, nullptr);
  if (!std::exchange(folderDragging_, false)) {
    QTreeWidget::mouseReleaseEvent(event);
    return;
  }
  viewport()->unsetCursor();
  if (QTreeWidgetItem* target = itemAt(event->position().toPoint())) MoveFolder(dragged, target);
}

bool FolderTree::MoveFolder(QTreeWidgetItem* dragged, QTreeWidgetItem* target) {
  if (!dragged || !target || dragged == rootItem() || target == dragged || target == dragged->parent()) return false;
  constexpr const char* kCaption = "フォルダの移動";
  const std::string name = dragged->text(0).toStdString();
  if (isInside(target, dragged)) {
    showMessage(name + " を移動できません。受け側のフォルダは送り側フォルダのサブフォルダです。", kCaption);
    return false;
  }
  const std::string from = platform::withoutTrailingSlash(GetItemPath(dragged));
  const std::string targetPath = GetItemPath(target);
  const std::string to = targetPath + name;
  // Folders are looked up with case ignored, as for a rename.
  if (pathExists(to) || entryNamedCaseBlind(targetPath, name, {})) {
    showMessage("このフォルダにはすでに '" + name + "' フォルダが存在します。", kCaption);
    return false;
  }
  const std::string open = document_ ? document_->GetFolderPath() : std::string();
  if (!open.empty() && platform::withTrailingSlash(open).starts_with(from + "/")) document_->CloseFolderDatabase();
  const int error = platform::cp932Length(to) > kMaxFolderPathCp932 ? ENAMETOOLONG : platform::renameNoReplace(from, to);
  if (error != 0) {
    if (error == ENOENT && !isDirectory(targetPath))
      showMessage("移動先のフォルダを発見できませんでした。\n処理を中断します。", kCaption);
    else if (error == ENOENT)
      showMessage("移動元のフォルダを発見できませんでした。\n処理を中断します。", kCaption);
    else
      showMessage("フォルダの移動に失敗しました。\n処理を中断します。", kCaption);
    // A closed catalogue is opened again where it still is.
    if (!open.empty() && document_->GetFolderPath() == open) document_->LoadFolder(platform::withTrailingSlash(open), 0);
    return false;
  }
  // The tree and the document follow the folder to its new place before its
  // old item goes, so that the selection never falls on another folder.
  const bool selectionInside = currentItem() && isInside(currentItem(), dragged);
  QTreeWidgetItem* oldParent = dragged->parent();
  const bool hadSiblings = oldParent->childCount() > 1;
  if (target->isExpanded()) {
    insertSorted(target, makeFolderItem(targetPath, name));
  } else {
    setChildrenFlag(target, true);
  }
  RebaseOpenPaths(from, to);
  if (selectionInside) SelectFolder(currentPath_);
  delete dragged;
  if (!hadSiblings && oldParent != rootItem()) oldParent->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
  return true;
}

void FolderTree::RebaseOpenPaths(const std::string& oldFolder, const std::string& newFolder) {
  std::string rebased;
  if (rebasePath(platform::withoutTrailingSlash(currentPath_), oldFolder, newFolder, rebased))
    currentPath_ = platform::withTrailingSlash(rebased);
  if (!document_) return;
  if (rebasePath(document_->GetFolderPath(), oldFolder, newFolder, rebased)) {
    document_->SetFolderPath(rebased);
    // The entries were numbered by the catalogue at its old place; they are
    // read again from the catalogue at the new one.
    document_->SetReopenRequested();
    document_->LoadFolder(platform::withTrailingSlash(rebased), 0);
  }
}
