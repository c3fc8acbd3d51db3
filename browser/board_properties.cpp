#include "browser/board_properties.h"

#include "browser/pending_work_scope.h"
#include "catalogue/folder_database.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "shell/fd3_doc.h"
#include "shell/image_ctrl.h"
#include "shell/main_frame.h"
#include "shell/registration_info_dlg.h"

namespace {

constexpr int kImageLevelImage = 1;
constexpr int kDefaultBmpResolution = 400;

PropertyDialogRunner gRunner;

int run(QDialog& dialog) { return gRunner ? gRunner(dialog) : dialog.exec(); }

std::string fileNameOf(const ItemInfo& item) { return item.Ext.empty() ? item.Title : item.Title + "." + item.Ext; }

int bmpResolutionOf(QWidget* parent) {
  auto* frame = qobject_cast<CMainFrame*>(parent ? parent->window() : nullptr);
  return frame ? frame->Settings().KankyoBmpRes : kDefaultBmpResolution;
}

// Reads the three attributes; false after a catalogue error (shown).
bool readAttributes(FolderDatabase& db, int itemNo, QString& creator, QString& keyword, QString& comment) {
  std::string texts[3];
  const char* kinds[3] = {"Creator", "Keyword", "Comment"};
  for (int i = 0; i < 3; ++i)
    if (ShowLastDbError(db.GetAttribute(itemNo, texts[i], kinds[i]), false) != 0) return false;
  creator = QString::fromStdString(texts[0]);
  keyword = QString::fromStdString(texts[1]);
  comment = QString::fromStdString(texts[2]);
  return true;
}

void writeAttributes(FolderDatabase& db, int itemNo, const QString& creator, const QString& keyword,
                     const QString& comment) {
  ShowLastDbError(db.SetCreator(itemNo, creator.toStdString()), false);
  ShowLastDbError(db.SetKeyword(itemNo, keyword.toStdString()), false);
  ShowLastDbError(db.SetComment(itemNo, comment.toStdString()), false);
}

// Where a document's records and files are: the browser's open folder, or
// a hit's folder reached through the search.
struct PropertyTarget {
  FolderDatabase& db;
  std::string folder;
  std::function<CImageCtrl*()> imagingControl;
};

ImageFacts factsOf(const PropertyTarget& target, const std::string& path, const ItemInfo& item, int bmpResolution) {
  if (item.ImageLevel != kImageLevelImage) return {};
  CImageCtrl* ctrl = target.imagingControl ? target.imagingControl() : nullptr;
  return ctrl ? ExamineImageFile(*ctrl, path, bmpResolution) : ImageFacts{};
}

void showItemProperties(const PropertyTarget& target, DisplayEntry& entry, QWidget* parent) {
  FolderDatabase& db = target.db;
  ItemInfo item;
  if (ShowLastDbError(db.GetItemInfo(entry.number, item), false) != 0) return;
  ItemPropertyDlg dialog(parent);
  if (!readAttributes(db, item.ItemNo, dialog.creator, dialog.keyword, dialog.comment)) return;
  const QString creator = dialog.creator, keyword = dialog.keyword, comment = dialog.comment;
  const std::string path = platform::joinPath(target.folder, fileNameOf(item));
  dialog.filePath = QString::fromStdString(path);
  dialog.officialDate = item.OfficialDate;
  dialog.modifiedDate = item.LastModifiedDate;
  dialog.accessedDate = item.LastAccessedDate;
  dialog.facts = factsOf(target, path, item, bmpResolutionOf(parent));
  dialog.OnInitDialog();
  const int today = platform::todayYmd();
  std::uint32_t mask = fieldmask::kItemLastAccessedDate;
  item.LastAccessedDate = today;
  if (run(dialog) == QDialog::Accepted) {
    writeAttributes(db, item.ItemNo, dialog.creator, dialog.keyword, dialog.comment);
    const bool changed = dialog.creator != creator || dialog.keyword != keyword || dialog.comment != comment ||
                         dialog.officialDate != item.OfficialDate;
    item.OfficialDate = dialog.officialDate;
    mask |= fieldmask::kItemOfficialDate;
    if (changed) {
      item.LastModifiedDate = today;
      mask |= fieldmask::kItemLastModifiedDate;
    }
  }
  if (ShowLastDbError(db.SetItemInfo(item, mask), false) != 0) return;
  entry.officialDate = item.OfficialDate;
  entry.lastModifiedDate = item.LastModifiedDate;
  entry.lastAccessedDate = item.LastAccessedDate;
}

void showStackProperties(const PropertyTarget& target, DisplayEntry& entry, QWidget* parent) {
  FolderDatabase& db = target.db;
  StackInfo stack;
  if (ShowLastDbError(db.GetStackInfo(entry.number, stack), false) != 0) return;
  DocumentPropertyDlg dialog(parent);
  if (ShowLastDbError(db.GetFirstStackPage(stack.StackNo), false) != 0) return;
  for (;;) {
    DocumentPropertyDlg::Page page;
    int end = 0;
    if (ShowLastDbError(db.GetSingleItemNextInfo(page.info, end), false) != 0) {
      db.PostSingleItem();
      return;
    }
    if (end) break;
    dialog.pages.push_back(std::move(page));
  }
  db.PostSingleItem();
  const std::string& folder = target.folder;
  for (DocumentPropertyDlg::Page& page : dialog.pages) {
    if (!readAttributes(db, page.info.ItemNo, page.creator, page.keyword, page.comment)) return;
    page.filePath = QString::fromStdString(platform::joinPath(folder, fileNameOf(page.info)));
    page.state = DocumentPropertyDlg::kRead;
  }
  const int bmpResolution = bmpResolutionOf(parent);
  dialog.examine = [&target, &folder, bmpResolution](const ItemInfo& page) {
    return factsOf(target, platform::joinPath(folder, fileNameOf(page)), page, bmpResolution);
  };
  dialog.stackTitle = QString::fromStdString(stack.Title);
  dialog.stackOfficialDate = stack.OfficialDate;
  dialog.stackModifiedDate = stack.LastModifiedDate;
  dialog.stackAccessedDate = stack.LastAccessedDate;
  dialog.currentPage = stack.CurPageNo;
  dialog.OnInitDialog();
  const int today = platform::todayYmd();
  std::uint32_t mask = fieldmask::kStackLastAccessedDate;
  stack.LastAccessedDate = today;
  const bool accepted = run(dialog) == QDialog::Accepted;
  bool pagesChanged = false;
  if (accepted) {
    for (const DocumentPropertyDlg::Page& page : dialog.pages)
      pagesChanged = pagesChanged || page.state == DocumentPropertyDlg::kChanged;
    const bool changed = pagesChanged || dialog.stackOfficialDate != stack.OfficialDate;
    stack.OfficialDate = dialog.stackOfficialDate;
    mask |= fieldmask::kStackOfficialDate;
    if (changed) {
      stack.LastModifiedDate = today;
      mask |= fieldmask::kStackLastModifiedDate;
    }
  }
  if (ShowLastDbError(db.SetStackInfo(stack, mask), false) != 0) return;
  entry.officialDate = stack.OfficialDate;
  entry.lastModifiedDate = stack.LastModifiedDate;
  entry.lastAccessedDate = stack.LastAccessedDate;
  if (!pagesChanged) return;
  for (DocumentPropertyDlg::Page& page : dialog.pages) {
    if (page.state != DocumentPropertyDlg::kChanged) continue;
    writeAttributes(db, page.info.ItemNo, page.creator, page.keyword, page.comment);
    page.info.LastModifiedDate = today;
    page.info.LastAccessedDate = today;
    ShowLastDbError(db.SetItemInfo(page.info, fieldmask::kItemOfficialDate | fieldmask::kItemLastModifiedDate |
                                                  fieldmask::kItemLastAccessedDate),
                    false);
  }
}

}  // namespace

void SetPropertyDialogRunner(PropertyDialogRunner runner) { gRunner = std::move(runner); }

void ShowEntryProperties(CFD3Doc& doc, const std::vector<int>& entryIndices, QWidget* parent) {
  if (entryIndices.size() != 1) return;
  DisplayEntry* entry = doc.EntryList().GetAt(entryIndices.front());
  if (!entry) return;
  PendingWorkScope busy(parent);
  if (!doc.OpenFolderDatabase(doc.EntryList().GetFolderPath())) return;
  const PropertyTarget target{doc.Database(), doc.EntryList().GetFolderPath(), [&doc] {
                                doc.CreateImageCtrl(true);
                                return doc.imageCtrl();
                              }};
  if (entry->isStack())
    showStackProperties(target, *entry, parent);
  else
    showItemProperties(target, *entry, parent);
}

void ShowHitProperties(FolderDatabase& db, const std::string& folder, DisplayEntry& entry, CImageCtrl* ctrl,
                       QWidget* parent) {
  const PropertyTarget target{db, folder, [ctrl] { return ctrl; }};
  if (entry.isStack())
    showStackProperties(target, entry, parent);
  else
    showItemProperties(target, entry, parent);
}
