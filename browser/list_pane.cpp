#include "browser/list_pane.h"

#include "browser/entry_commands.h"
#include "browser/folder_board_source.h"
#include "catalogue/folder_database.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/user_interaction.h"
#include "shell/app_profile.h"
#include "shell/command_ids.h"
#include "shell/cp932_typing.h"
#include "shell/entry_holder.h"
#include "shell/fd3_doc.h"
#include "shell/image_utilities.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>

#include <algorithm>

using namespace listpane;

namespace {

constexpr int kEntryRole = Qt::UserRole;
constexpr int kImageLevelImage = 1;
constexpr int kImageLevelOther = 2;
constexpr int kFullTextLevelText = 3;
constexpr int kIconWidth = 19;  // the first column's text starts after the icon
constexpr int kMaxApplicationEntries = 14;

QString widthKey(int column) { return BrowserKey(QStringLiteral("ListPaneWidth%1").arg(column)); }

// Icons: 0 stack, 1 embedded object, 2 image, 3 text, 4 other file, 5 other image.
QIcon rowIcon(int image) {
  QStyle* style = QApplication::style();
  switch (image) {
    case 0: return style->standardIcon(QStyle::SP_DirIcon);
    case 1: return style->standardIcon(QStyle::SP_FileLinkIcon);
    case 2:
    case 5: return style->standardIcon(QStyle::SP_DesktopIcon);
    case 3: return style->standardIcon(QStyle::SP_FileDialogDetailedView);
    default: return style->standardIcon(QStyle::SP_FileIcon);
  }
}

}  // namespace

// A row sorts by the pane's prepared key of its entry.
class ListRowItem : public QTreeWidgetItem {
 public:
  explicit ListRowItem(CListPane* pane) : QTreeWidgetItem(UserType), pane_(pane) {}
  bool operator<(const QTreeWidgetItem& other) const override {
    const auto& keys = pane_->keys_;
    const auto a = static_cast<std::size_t>(data(0, kEntryRole).toInt());
    const auto b = static_cast<std::size_t>(other.data(0, kEntryRole).toInt());
    if (a >= keys.size() || b >= keys.size()) return a < b;
    return CompareSortKeys(keys[a], keys[b]) < 0;
  }

 private:
  CListPane* pane_;
};

namespace {

// Draws each cell cut with "..." at a whole character, and runs the title
// edit through the pane's rename.
class ListRowDelegate : public QStyledItemDelegate {
 public:
  explicit ListRowDelegate(CListPane* pane) : QStyledItemDelegate(pane), pane_(pane) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& palette = option.palette;
    painter->save();
    painter->fillRect(option.rect, selected ? palette.highlight() : palette.base());
    painter->setPen(selected ? palette.highlightedText().color() : palette.text().color());
    QRect text = option.rect.adjusted(2, 1, 0, 0);
    if (index.column() == 0) {
      const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
      icon.paint(painter, QRect(option.rect.left(), option.rect.top(), 16, 16),
                 Qt::AlignCenter, selected ? QIcon::Selected : QIcon::Normal);
      text.setLeft(option.rect.left() + kIconWidth + 2);
    }
    const QFontMetrics metrics(option.font);
    const int room = option.rect.width() - 4 - (index.column() == 0 ? kIconWidth : 0);
    const std::string cell = index.data(Qt::DisplayRole).toString().toStdString();
    const std::string shown = ElideCellText(
        cell, [&](const std::string& t) { return metrics.horizontalAdvance(QString::fromStdString(t)) < room; });
    painter->setFont(option.font);
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, QString::fromStdString(shown));
    if (option.state & QStyle::State_HasFocus && index.column() == 0) {
      painter->setPen(QPen(palette.text().color(), 1, Qt::DotLine));
      painter->drawRect(option.rect.adjusted(kIconWidth, 0, -1, -1));
    }
    painter->restore();
  }

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QStringLiteral("ListPaneEdit"));
    KeepCp932FormsWhileTyping(edit);
    return edit;
  }
  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    std::string text;
    pane_->EditText(index.row(), text);
    static_cast<QLineEdit*>(editor)->setText(QString::fromStdString(text));
  }
  void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
    const int row = index.row();
    const std::string text = static_cast<QLineEdit*>(editor)->text().toStdString();
    // The rename rewrites the cells itself; after the edit has closed.
    QMetaObject::invokeMethod(pane_, [pane = pane_, row, text] { pane->EndLabelEdit(row, text); },
                              Qt::QueuedConnection);
  }
  void destroyEditor(QWidget* editor, const QModelIndex& index) const override {
    if (pane_->onLabelEditing) pane_->onLabelEditing(false);
    QStyledItemDelegate::destroyEditor(editor, index);
  }

 private:
  CListPane* pane_;
};

}  // namespace

CListPane::CListPane(QWidget* parent) : QTreeWidget(parent) {
  setObjectName(QStringLiteral("ctl%1").arg(kControlId));
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
  setItemDelegate(new ListRowDelegate(this));
  setHeaderLabels({QStringLiteral("タイトル"), QStringLiteral("表示頁のタイトル"), QStringLiteral("頁数"),
                   QStringLiteral("正式発行日"), QStringLiteral("最終更新日"), QStringLiteral("最終参照日")});
  header()->setSectionsClickable(true);
  header()->setSectionsMovable(false);
  header()->setStretchLastSection(false);
  auto profile = OpenAppProfile();
  for (int c = 0; c < kColumnCount; ++c) setColumnWidth(c, profile->value(widthKey(c), DefaultColumnWidth(c)).toInt());
  connect(header(), &QHeaderView::sectionClicked, this, [this](int column) { Fill(column, 0); });
  Fill(kTitle, 0);
}

void CListPane::OpenEntry(int entryIndex) {
  if (entryIndex >= 0 && openEntry) openEntry(entryIndex);
}

// A double click on a row opens its entry; on the empty area it does nothing.
void CListPane::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeWidgetItem* item = event->button() == Qt::LeftButton ? itemAt(event->position().toPoint()) : nullptr;
  if (!item) return;
  OpenEntry(EntryOfRow(indexOfTopLevelItem(item)));
}

// Enter opens the current row's entry (not while a title is edited).
void CListPane::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !IsEditing()) {
    if (QTreeWidgetItem* item = currentItem()) OpenEntry(EntryOfRow(indexOfTopLevelItem(item)));
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

CListPane::~CListPane() { SaveColumnWidths(); }

void CListPane::SetDocument(CFD3Doc* document) {
  document_ = document;
  entries_ = document ? std::make_unique<FolderBoardSource>(*document) : nullptr;
}

int CListPane::DefaultColumnWidth(int column) const {
  if (column < 0 || column >= kColumnCount) return 0;
  // The widths were chosen for a narrower face than the Japanese one the
  // program draws with: a heading, and a whole date in the date columns,
  // must fit without being cut.
  constexpr int kMargins = 16;  // pixels of the header's and the cell's padding
  int width = std::max(kDefaultWidths[column],
                       header()->fontMetrics().horizontalAdvance(headerItem()->text(column)) + kMargins);
  if (column >= kIssueDate)
    width = std::max(width, fontMetrics().horizontalAdvance(QString::fromStdString(FormatListDate(20261231))) + kMargins);
  return width;
}

void CListPane::SaveColumnWidths() const {
  auto profile = OpenAppProfile();
  for (int c = 0; c < kColumnCount; ++c) profile->setValue(widthKey(c), columnWidth(c));
  profile->sync();
}

int CListPane::EntryOfRow(int row) const {
  const QTreeWidgetItem* item = topLevelItem(row);
  return item ? item->data(0, kEntryRole).toInt() : -1;
}

int CListPane::RowOfEntry(int entryIndex) const {
  if (entryIndex < 0 || entryIndex >= static_cast<int>(rowOfEntry_.size()) || !rowOfEntry_[entryIndex]) return -1;
  return indexOfTopLevelItem(rowOfEntry_[entryIndex]);
}

std::string CListPane::CellText(int row, int column) const {
  const QTreeWidgetItem* item = topLevelItem(row);
  return item ? item->text(column).toStdString() : std::string();
}

void CListPane::DeleteAllRows() {
  clear();
  rowOfEntry_.clear();
}

void CListPane::UpdateEntry(int index, const StackInfo* stack, const ItemInfo* item) { setEntryRow(index, stack, item); }

void CListPane::DeleteRow(int index) {
  if (index < 0 || index >= static_cast<int>(rowOfEntry_.size())) return;
  delete rowOfEntry_[index];
  rowOfEntry_.erase(rowOfEntry_.begin() + index);
  for (std::size_t i = index; i < rowOfEntry_.size(); ++i)
    if (rowOfEntry_[i]) rowOfEntry_[i]->setData(0, kEntryRole, static_cast<int>(i));
}

void CListPane::setEntryRow(int index, const StackInfo* givenStack, const ItemInfo* givenItem) {
  if (!document_ || index < 0) return;
  const DisplayEntry* entry = document_->EntryList().GetAt(index);
  if (!entry) return;
  StackInfo stack;
  ItemInfo item;
  bool pageRead = true;
  if (!entry->isStack()) {
    if (givenItem)
      item = *givenItem;
    else if (!document_->GetEntryRecords(*entry, stack, item))
      return;
  } else if (!givenStack) {
    if (!document_->GetEntryRecords(*entry, stack, item)) return;
  } else {
    stack = *givenStack;
    if (givenItem) {
      item = *givenItem;
    } else {
      const int code = document_->Database().Stack2Item(stack.StackNo, stack.CurPageNo, item);
      if (code != 0) {
        SetActiveFolderDatabase(&document_->Database());
        ShowLastDbError(code, false);
        pageRead = false;
      }
    }
  }
  if (index >= static_cast<int>(rowOfEntry_.size())) rowOfEntry_.resize(static_cast<std::size_t>(index) + 1, nullptr);
  QTreeWidgetItem* row = rowOfEntry_[index];
  if (!row) {
    row = new ListRowItem(this);
    addTopLevelItem(row);
    rowOfEntry_[index] = row;
  }
  const bool extensions = extensionsShown();
  const auto shownTitle = [extensions](const ItemInfo& i) {
    return QString::fromStdString(extensions && !i.Ext.empty() ? i.Title + "." + i.Ext : i.Title);
  };
  const auto date = [](int ymd) { return QString::fromStdString(FormatListDate(ymd)); };
  int image = 0;
  if (entry->isStack()) {
    row->setText(kTitle, QString::fromStdString(stack.Title));
    // A page that cannot be read leaves its title empty.
    row->setText(kPageTitle, pageRead ? shownTitle(item) : QString());
    row->setText(kPages, QString::number(stack.PageCount));
    row->setText(kIssueDate, date(stack.OfficialDate));
    row->setText(kModifiedDate, date(stack.LastModifiedDate));
    row->setText(kAccessedDate, date(stack.LastAccessedDate));
  } else {
    image = item.OLELevel != 0                      ? 1
            : item.ImageLevel == kImageLevelImage   ? 2
            : item.ImageLevel == kImageLevelOther   ? 5
            : item.FullTextLevel == kFullTextLevelText ? 3
                                                    : 4;
    row->setText(kTitle, shownTitle(item));
    row->setText(kPageTitle, QString());
    row->setText(kPages, QString());
    row->setText(kIssueDate, date(item.OfficialDate));
    row->setText(kModifiedDate, date(item.LastModifiedDate));
    row->setText(kAccessedDate, date(item.LastAccessedDate));
  }
  row->setIcon(kTitle, rowIcon(image));
  row->setFlags(row->flags() | Qt::ItemIsEditable);
  row->setData(0, kEntryRole, index);
}

void CListPane::Fill(int column, int showCount) {
  if (column != -1) {
    descending_ = column == sortColumn_ ? !descending_ : false;
    sortColumn_ = column;
  }
  if (sortColumn_ >= 0 && sortColumn_ < kColumnCount) {
    keys_.assign(rowOfEntry_.size(), {});
    for (std::size_t i = 0; i < rowOfEntry_.size(); ++i)
      if (rowOfEntry_[i])
        keys_[i] = PrepareSortKey(ListSortKey(sortColumn_, rowOfEntry_[i]->text(sortColumn_).toStdString()));
    sortItems(sortColumn_, descending_ ? Qt::DescendingOrder : Qt::AscendingOrder);
    keys_.clear();
  }
  if (showCount == 1 && onShowDocumentCount) onShowDocumentCount(rowCount());
}

void CListPane::SelectOnlyRow(int index) {
  const int row = RowOfEntry(index);
  if (row < 0) return;
  QTreeWidgetItem* item = topLevelItem(row);
  scrollToItem(item);
  clearSelection();
  setCurrentItem(item);
  item->setSelected(true);
}

void CListPane::SelectItemById(int kind, int number) {
  if (!document_) return;
  const int index = document_->EntryList().Find(kind, number);
  if (index >= 0) SelectOnlyRow(index);
}

std::vector<int> CListPane::SelectedEntryIndices() const {
  std::vector<int> indices;
  for (int row = 0; row < rowCount(); ++row)
    if (topLevelItem(row)->isSelected()) indices.push_back(EntryOfRow(row));
  return indices;
}

// ---- deleting ----------------------------------------------------------------------

void CListPane::OnDelete(bool forGood) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  struct Restore {
    ~Restore() { QApplication::restoreOverrideCursor(); }
  } restore;
  const std::vector<int> selected = SelectedEntryIndices();
  if (!entries_ || !EntryCommands::ConfirmDelete(selected.size(), forGood)) return;
  // The rows go with their entries, through the document's notice.
  setUpdatesEnabled(false);
  const CommandResult result = EntryCommands(*entries_).DeleteEntries(selected, !forGood);
  setUpdatesEnabled(true);
  if (!result.message.empty())
    platform::messageBox(result.message, platform::Buttons::Ok, platform::Icon::Warning,
                         EntryCommands::kDeleteCaption);
}

void CListPane::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete && !event->isAutoRepeat()) {
    const bool forGood = event->modifiers() & Qt::ShiftModifier;
    QMetaObject::invokeMethod(this, [this, forGood] { OnDelete(forGood); }, Qt::QueuedConnection);
    return;
  }
  QTreeWidget::keyReleaseEvent(event);
}

// ---- renaming ----------------------------------------------------------------------

bool CListPane::EditText(int row, std::string& text) const {
  text = CellText(row, kTitle);
  const DisplayEntry* entry = document_ ? document_->EntryList().GetAt(EntryOfRow(row)) : nullptr;
  if (!entry || entry->isStack() || !extensionsShown()) return entry != nullptr;
  const std::size_t point = text.rfind('.');
  if (point == std::string::npos) return false;
  text.erase(point);
  return true;
}

bool CListPane::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
  if (trigger != QAbstractItemView::NoEditTriggers && state() != EditingState) {
    if (index.column() != kTitle) {
      if (trigger & (SelectedClicked | EditKeyPressed))
        return QTreeWidget::edit(model()->index(index.row(), kTitle), trigger, event);
      return false;
    }
    std::string text;
    if (!EditText(index.row(), text)) return false;
    const bool opened = QTreeWidget::edit(index, trigger, event);
    if (opened && onLabelEditing) onLabelEditing(true);
    return opened;
  }
  return QTreeWidget::edit(index, trigger, event);
}

bool CListPane::BeginRename(int row) {
  QTreeWidgetItem* item = topLevelItem(row);
  if (!item) return false;
  setFocus();
  setCurrentItem(item);
  return edit(indexFromItem(item, kTitle), AllEditTriggers, nullptr);
}

void CListPane::OnRenameItem() {
  const std::vector<int> selected = SelectedEntryIndices();
  if (!selected.empty()) BeginRename(RowOfEntry(selected.front()));
}

bool CListPane::EndLabelEdit(int row, const std::string& text) {
  const int entryIndex = EntryOfRow(row);
  const DisplayEntry* entry = document_ ? document_->EntryList().GetAt(entryIndex) : nullptr;
  if (!entry || !entries_) return false;
  EntryCommands commands(*entries_);
  const CommandResult result =
      entry->isStack() ? commands.RenameStack(entryIndex, text) : commands.RenameDocument(entryIndex, text);
  if (!result.message.empty())
    platform::messageBox(result.message, platform::Buttons::Ok, platform::Icon::Warning,
                         EntryCommands::kRenameCaption);
  // A title that may be corrected is edited again; nothing else is.
  if (result.status == CommandStatus::Refused)
    QMetaObject::invokeMethod(this, [this, row] { BeginRename(row); }, Qt::QueuedConnection);
  if (!result.done()) return false;
  std::string shown = entry->title;
  if (!entry->isStack() && !extensionsShown()) {
    StackInfo stack;
    ItemInfo item;
    if (entries_->ReadRecords(entryIndex, stack, item)) shown = item.Title;
  }
  QTreeWidgetItem* item = topLevelItem(row);
  item->setText(kTitle, QString::fromStdString(shown));
  item->setText(kModifiedDate, QString::fromStdString(FormatListDate(entry->lastModifiedDate)));
  item->setText(kAccessedDate, QString::fromStdString(FormatListDate(entry->lastAccessedDate)));
  return true;
}

// ---- context menus -------------------------------------------------------------------

void CListPane::MoveOrCopyToFolder(const std::string& folder, bool copy) {
  if (carryToFolder) carryToFolder(SelectedEntryIndices(), folder, copy);
}

QMenu* CListPane::BuildContextMenu(int row, QWidget* parent) {
  auto* menu = new QMenu(parent);
  const auto add = [this, menu](const char* text, int id, bool enabled) {
    QAction* action = menu->addAction(QString::fromUtf8(text));
    action->setData(id);
    action->setEnabled(enabled && (!commandAvailable || commandAvailable(id)));
    connect(action, &QAction::triggered, this, [this, id] {
      if (runCommand) runCommand(id);
    });
  };
  if (row < 0) {
    menu->setObjectName(QStringLiteral("ListRightClick View"));
    const bool sortable = rowCount() >= 2;
    add("タイトル順", cmd::kSortTitle, sortable);
    add("正式発行日順", cmd::kSortIssueDate, sortable);
    add("最終更新日順", cmd::kSortModified, sortable);
    add("最終参照日順", cmd::kSortAccessed, sortable);
    menu->addSeparator();
    add("全てを選択", cmd::kSelectAll, rowCount() > 0);
    const QMimeData* clip = QApplication::clipboard()->mimeData();
    add("貼り付け", cmd::kPaste, clip && clip->hasFormat(QStringLiteral("application/x-ZRVVaziri3CBFormat")));
    return menu;
  }
  const DisplayEntry* entry = document_ ? document_->EntryList().GetAt(EntryOfRow(row)) : nullptr;
  const bool one = SelectedCount() == 1;
  const bool stack = entry && entry->isStack();
  menu->setObjectName(stack ? QStringLiteral("ListRightClick Stack") : QStringLiteral("ListRightClick SingleItem"));
  add("OCR ...", cmd::kOcr, true);
  QMenu* launch = menu->addMenu(QStringLiteral("アプリケーションの起動"));
  launch->setObjectName(QStringLiteral("applicationMenu"));
  const QStringList applications = applicationNames ? applicationNames() : QStringList();
  for (int i = 0; i < applications.size() && i < kMaxApplicationEntries; ++i) {
    QAction* action = launch->addAction(applications[i]);
    const int id = cmd::kFirstApplicationMenuEntry + i;
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] {
      if (runCommand) runCommand(id);
    });
  }
  launch->menuAction()->setEnabled(!applications.isEmpty());
  add("削除", cmd::kDelete, true);
  add("全てを選択", cmd::kSelectAll, true);
  add("エクスポート...", cmd::kExport, true);
  add(stack ? "全頁複製" : "複製", cmd::kDuplicate, true);
  add("プロパティ", cmd::kProperties, one);
  if (stack) {
    add("頁並べ替え ...", cmd::kReorderPages, one);
    add("タイトルの変更 ...", kStackTitleCommand, one);
  } else {
    add("タイトルの変更", cmd::kRename, one);
  }
  add("コピー", cmd::kCopy, true);
  return menu;
}

void CListPane::contextMenuEvent(QContextMenuEvent* event) {
  QTreeWidgetItem* item = itemAt(viewport()->mapFromGlobal(event->globalPos()));
  int row = -1;
  if (item) {
    row = indexOfTopLevelItem(item);
    if (!item->isSelected()) {
      clearSelection();
      item->setSelected(true);
    }
    setCurrentItem(item);
    // A folder that cannot be opened shows no menu.
    if (!document_ || !document_->OpenFolderDatabase(document_->EntryList().GetFolderPath())) return;
  }
  std::unique_ptr<QMenu> menu(BuildContextMenu(row, nullptr));
  menu->exec(event->globalPos());
}
