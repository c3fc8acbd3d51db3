#include "browser/board_operations.h"

#include "browser/document_duplicate.h"
#include "browser/entry_commands.h"
#include "browser/thumbnail_board_source.h"

#include "browser/thumbnail_pane_wnd.h"
#include "browser/title_change_dlg.h"
#include "browser/thumbnail_picture.h"
#include "catalogue/catalogue_records.h"
#include "catalogue/file_utilities.h"
#include "catalogue/folder_database.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/user_interaction.h"
#include "shell/entry_holder.h"
#include "shell/fd3_doc.h"
#include "shell/image_utilities.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeDatabase>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

namespace {

constexpr int kUnstackStep = 20;  // pixels right and down of the stack for a page taken out
constexpr const char* kLaunchCaption = "アプリケーションの起動";

std::string fileNameOf(const ItemInfo& item) { return item.Ext.empty() ? item.Title : item.Title + "." + item.Ext; }

// Programs and launchers are never started from the board: a document that
// is one is refused like a file without an application.
bool isProgram(const QString& path) {
  static const char* const kProgramTypes[] = {
      "application/x-executable",       "application/x-sharedlib",  "application/x-shellscript",
      "application/x-desktop",          "application/x-ms-dos-executable", "application/x-msdownload",
      "application/vnd.microsoft.portable-executable", "application/x-perl", "application/x-python-code",
      "text/x-python",                  "application/x-ruby",       "application/x-java-archive"};
  const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
  for (const char* name : kProgramTypes)
    if (type.inherits(QString::fromLatin1(name))) return true;
  return false;
}

class WaitCursor {
 public:
  WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

bool BoardOperations::openFolder() { return document_.OpenFolderDatabase(folder()); }

std::string BoardOperations::folder() const { return document_.EntryList().GetFolderPath(); }

const DisplayEntry* BoardOperations::entry(int index) const {
  return index >= 0 && index < document_.EntryList().GetCount() ? document_.EntryList().GetAt(index) : nullptr;
}

void BoardOperations::report(int code) {
  SetActiveFolderDatabase(&document_.Database());
  ShowLastDbError(code, false);
}

void BoardOperations::tidy() {
  if (board_.ArrangesAutomatically())
    board_.ArrangeItems(ThumbnailPaneWnd::kSortVisual, 0, 1);
  else
    board_.UpdateScrollExtent(0, 1);
}

int BoardOperations::appendItemEntry(const ItemInfo& item) {
  auto e = std::make_unique<DisplayEntry>();
  e->kind = 0;
  e->number = item.ItemNo;
  int width = 0, height = 0;
  document_.MakeThumbnail(platform::withTrailingSlash(folder()), item, width, height);
  e->cellWidth = std::max(width, DisplayEntry::kMinCell);
  e->cellHeight = std::max(height, DisplayEntry::kMinCell);
  e->title = fileNameOf(item);
  e->officialDate = item.OfficialDate;
  e->lastModifiedDate = item.LastModifiedDate;
  e->lastAccessedDate = item.LastAccessedDate;
  return document_.AppendEntry(std::move(e), nullptr, &item);
}

// ---- stacking --------------------------------------------------------------------

void BoardOperations::mergeEntries(const std::vector<int>& indices, const std::vector<MergeElement>& elements,
                                   StackInfo record, bool titleFromItem, int cellWidth, int cellHeight) {
  FolderDatabase& db = document_.Database();
  if (titleFromItem) {
    // A stack of that title exists: the first free "title(n)" from 2 on.
    const std::string base = record.Title;
    for (int n = 2; n < kTitleSuffixLimit; ++n) {
      int found = 0, stackNo = 0;
      const int code = db.FindStack(record.Title, found, stackNo);
      report(code);
      if (code != 0 || !found) break;
      record.Title = base + "(" + std::to_string(n) + ")";
    }
  }
  int code = db.MergeN(record, elements);
  report(code);
  // A refused merge changed no row: the board stays as it is.
  if (code != 0) return;
  record.CurPageNo = 1;
  report(db.SetStackInfo(record, fieldmask::kStackCurPageNo));
  StackInfo stored;
  if (db.GetStackInfo(record.StackNo, stored) == 0) record = stored;

  board_.SetRedraw(false);
  std::vector<int> gone = indices;
  std::sort(gone.rbegin(), gone.rend());
  for (int index : gone) document_.DeleteEntry(index);
  auto e = std::make_unique<DisplayEntry>();
  e->kind = 1;
  e->number = record.StackNo;
  e->cellWidth = std::max(cellWidth, DisplayEntry::kMinCell);
  e->cellHeight = std::max(cellHeight, DisplayEntry::kMinCell);
  e->title = record.Title;
  e->officialDate = record.OfficialDate;
  e->lastModifiedDate = record.LastModifiedDate;
  e->lastAccessedDate = record.LastAccessedDate;
  const int index = document_.AppendEntry(std::move(e), &record, nullptr);
  board_.SelectOnly(index);
  board_.SetRedraw(true);
}

void BoardOperations::MergeIntoStack(int targetTile) {
  const DisplayEntry* target = entry(targetTile);
  if (!target || !openFolder()) return;
  StackInfo stack;
  ItemInfo item;
  if (!document_.GetEntryRecords(*target, stack, item)) return;
  StackInfo record;
  const bool targetIsStack = target->isStack();
  if (targetIsStack) {
    record.Title = stack.Title;
    record.StackPosX = stack.StackPosX;
    record.StackPosY = stack.StackPosY;
    record.OfficialDate = stack.OfficialDate;
  } else {
    record.Title = item.Title;
    record.StackPosX = item.SingleItemPosX;
    record.StackPosY = item.SingleItemPosY;
    record.OfficialDate = item.OfficialDate;
  }
  record.LastModifiedDate = record.LastAccessedDate = platform::todayYmd();
  bool titleFromItem = !targetIsStack;
  int width = target->cellWidth;
  int height = target->cellHeight;
  std::vector<MergeElement> elements;
  std::vector<int> indices;
  for (int i : board_.SelectedEntryIndices()) {
    const DisplayEntry* e = entry(i);
    if (!e || i == targetTile) continue;
    elements.push_back({e->kind, e->number});
    indices.push_back(i);
    width = std::max(width, e->cellWidth);
    height = std::max(height, e->cellHeight);
    // Onto a single item, the first dragged stack names the new stack.
    if (!targetIsStack && titleFromItem && e->isStack()) {
      StackInfo dragged;
      const int code = document_.Database().GetStackInfo(e->number, dragged);
      report(code);
      if (code == 0) {
        record.Title = dragged.Title;
        record.OfficialDate = dragged.OfficialDate;
        titleFromItem = false;
      }
    }
  }
  if (elements.empty()) return;
  elements.push_back({target->kind, target->number});
  indices.push_back(targetTile);
  mergeEntries(indices, elements, record, titleFromItem, width, height);
}

void BoardOperations::StackSelection() {
  WaitCursor wait;
  if (!openFolder()) {
    platform::messageBox("パスが不正です。(VMS:01)", platform::Buttons::Ok);
    return;
  }
  std::vector<MergeElement> elements;
  std::vector<int> indices;
  int width = 0, height = 0;
  int leader = -1;
  constexpr int kRowTolerance = 16;  // pixels: tops this close count as one row
  for (int i : board_.SelectedEntryIndices()) {
    const DisplayEntry* e = entry(i);
    ThumbnailItemWnd* tile = board_.Tile(i);
    if (!e || !tile) continue;
    elements.push_back({e->kind, e->number});
    indices.push_back(i);
    width = std::max(width, e->cellWidth);
    height = std::max(height, e->cellHeight);
    if (leader < 0) {
      leader = i;
      continue;
    }
    const DisplayEntry* l = entry(leader);
    const board::Point a = tile->anchor();
    const board::Point b = board_.Tile(leader)->anchor();
    // Stacks lead before single items; within a rank the upper, then the
    // left one.
    if (e->isStack() != l->isStack()) {
      if (e->isStack()) leader = i;
    } else if (a.y < b.y - kRowTolerance || (std::abs(a.y - b.y) <= kRowTolerance && a.x < b.x)) {
      leader = i;
    }
  }
  if (elements.size() < 2) return;
  const DisplayEntry* l = entry(leader);
  StackInfo stack;
  ItemInfo item;
  if (!document_.GetEntryRecords(*l, stack, item)) return;
  StackInfo record;
  record.Title = l->isStack() ? stack.Title : item.Title;
  const board::Point at = board_.Tile(leader)->anchor();
  record.StackPosX = at.x;
  record.StackPosY = at.y;
  record.OfficialDate = record.LastModifiedDate = record.LastAccessedDate = platform::todayYmd();
  mergeEntries(indices, elements, record, !l->isStack(), width, height);
  board_.PlaceNewItems();
  tidy();
}

// ---- unstacking --------------------------------------------------------------------

void BoardOperations::UnstackOne(int tileIndex) {
  const DisplayEntry* e = entry(tileIndex);
  if (!e || !e->isStack() || !openFolder()) return;
  StackInfo stack;
  ItemInfo page;
  if (!document_.GetEntryRecords(*e, stack, page)) return;
  if (stack.PageCount == 2) {
    splitStack(tileIndex, true);
    return;
  }
  FolderDatabase& db = document_.Database();
  DissolvedStack dissolved;
  int code = db.Unstack1(stack.StackNo, dissolved);
  report(code);
  if (code != 0) return;
  stack.LastModifiedDate = stack.LastAccessedDate = platform::todayYmd();
  report(db.SetStackInfo(stack, fieldmask::kStackLastModifiedDate | fieldmask::kStackLastAccessedDate));
  // Beside the stack; with automatic arrangement one pixel right of it, so
  // that the visual order puts the page right after the stack.
  const bool arranged = board_.ArrangesAutomatically();
  page.SingleItemPosX = stack.StackPosX + (arranged ? 1 : kUnstackStep);
  page.SingleItemPosY = stack.StackPosY + (arranged ? 0 : kUnstackStep);
  report(db.SetItemInfo(page, fieldmask::kItemPosition));
  board_.SetRedraw(false);
  const int added = appendItemEntry(page);
  if (!arranged) board_.SettleNewTiles({added});

  // The stack shows its new current page.
  code = db.GetStackInfo(stack.StackNo, stack);
  report(code);
  if (DisplayEntry* stackEntry = document_.EntryList().GetAt(tileIndex); stackEntry && code == 0) {
    int width = 0, height = 0;
    document_.MakeStackCell(*stackEntry, folder(), width, height);
    stackEntry->cellWidth = std::max(width, DisplayEntry::kMinCell);
    stackEntry->cellHeight = std::max(height, DisplayEntry::kMinCell);
    board_.RebuildTile(tileIndex);
  }
  if (ThumbnailItemWnd* tile = board_.Tile(added)) board_.BringToFront(tile);
  board_.SelectOnly(added);
  board_.SetRedraw(true);
  tidy();
}

void BoardOperations::UnstackAll(int tileIndex) { splitStack(tileIndex, false); }

void BoardOperations::splitStack(int tileIndex, bool dissolveTwoPages) {
  const DisplayEntry* e = entry(tileIndex);
  if (!e || !e->isStack() || !openFolder()) return;
  FolderDatabase& db = document_.Database();
  StackInfo stack;
  int code = db.GetStackInfo(e->number, stack);
  report(code);
  if (code != 0) return;
  // Every page is read before anything changes.
  std::vector<ItemInfo> pages;
  for (int p = 1; p <= stack.PageCount; ++p) {
    ItemInfo page;
    code = db.Stack2Item(stack.StackNo, p, page);
    report(code);
    if (code != 0) return;
    pages.push_back(page);
  }
  code = db.UnstackAll(stack.StackNo);
  report(code);
  if (code != 0) return;

  board_.SetRedraw(false);
  document_.DeleteEntry(tileIndex);
  const bool arranged = board_.ArrangesAutomatically();
  const int x = stack.StackPosX;
  const int y = stack.StackPosY;
  std::vector<int> added;
  for (int p = 1; p <= static_cast<int>(pages.size()); ++p) {
    ItemInfo& page = pages[static_cast<size_t>(p - 1)];
    if (dissolveTwoPages) {
      const bool current = p == stack.CurPageNo;
      page.SingleItemPosX = current ? x + (arranged ? 1 : kUnstackStep) : x;
      page.SingleItemPosY = current && !arranged ? y + kUnstackStep : y;
    } else {
      page.SingleItemPosX = x + (arranged ? p - 1 : kUnstackStep * (p - 1));
      page.SingleItemPosY = y + (arranged ? 0 : kUnstackStep * (p - 1));
    }
    report(db.SetItemInfo(page, fieldmask::kItemPosition));
    added.push_back(appendItemEntry(page));
  }
  if (!arranged) board_.SettleNewTiles(added);
  board_.SelectOnly(-1);
  if (dissolveTwoPages) {
    // Both on top, the current page last and selected.
    const int current = std::clamp(stack.CurPageNo, 1, static_cast<int>(added.size())) - 1;
    for (size_t k = 0; k < added.size(); ++k)
      if (static_cast<int>(k) != current) board_.BringToFront(board_.Tile(added[k]));
    board_.BringToFront(board_.Tile(added[static_cast<size_t>(current)]));
    board_.SelectOnly(added[static_cast<size_t>(current)]);
  } else {
    // Every page selected, page 1 on top.
    for (auto it = added.rbegin(); it != added.rend(); ++it) {
      ThumbnailItemWnd* tile = board_.Tile(*it);
      if (!tile) continue;
      board_.BringToFront(tile);
      tile->SetSelected(true);
    }
    emit board_.selectionChanged();
  }
  board_.SetRedraw(true);
  tidy();
}

// ---- deleting ------------------------------------------------------------------------

void BoardOperations::DeleteSelected(bool forGood) {
  WaitCursor wait;
  const std::vector<int> selected = board_.SelectedEntryIndices();
  if (!board_.source() || !EntryCommands::ConfirmDelete(selected.size(), forGood)) return;
  board_.SetRedraw(false);
  const CommandResult result = EntryCommands(*board_.source()).DeleteEntries(selected, !forGood);
  board_.SetRedraw(true);
  if (!result.message.empty())
    platform::messageBox(result.message, platform::Buttons::Ok, platform::Icon::Warning, EntryCommands::kDeleteCaption);
  tidy();
}

// ---- opening -------------------------------------------------------------------------

void BoardOperations::OpenItem(int tileIndex) {
  const DisplayEntry* e = entry(tileIndex);
  if (!e || !openFolder()) return;
  StackInfo stack;
  ItemInfo item;
  if (!document_.GetEntryRecords(*e, stack, item)) return;
  if (item.ImageLevel == kImageLevelImage) {
    if (openInViewer) openInViewer(tileIndex, e->isStack() ? stack.CurPageNo : 1);
    return;
  }
  const QString path = QString::fromStdString(platform::withTrailingSlash(folder()) + fileNameOf(item));
  const auto refuse = [](const char* text) {
    platform::messageBox(text, platform::Buttons::Ok, platform::Icon::Warning, kLaunchCaption);
  };
  if (!QFileInfo::exists(path)) {
    refuse("ファイルを発見できません");
    return;
  }
  if (isProgram(path)) {
    refuse("このファイルは単独起動できません");
    return;
  }
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
    refuse("アプリケーションの起動に失敗しました");
    return;
  }
  FolderDatabase& db = document_.Database();
  const int today = platform::todayYmd();
  if (e->isStack()) {
    stack.LastAccessedDate = today;
    report(db.SetStackInfo(stack, fieldmask::kStackLastAccessedDate));
  }
  item.LastAccessedDate = today;
  report(db.SetItemInfo(item, fieldmask::kItemLastAccessedDate));
  if (DisplayEntry* shown = document_.EntryList().GetAt(tileIndex)) shown->lastAccessedDate = today;
}

// ---- duplicates ---------------------------------------------------------------

namespace {

constexpr const char* kDuplicateFailed = "複製に失敗しました。";
constexpr const char* kDuplicateNameTooLong = "複製するにはファイル名が長すぎます。";
constexpr const char* kDuplicateStackTitleTooLong = "複製するにはスタックタイトル名が長すぎます。";

void reportOf(FolderDatabase& db, int code) {
  SetActiveFolderDatabase(&db);
  ShowLastDbError(code, false);
}

void tell(const std::string& text, platform::Icon icon = platform::Icon::Warning) {
  platform::messageBox(text, platform::Buttons::Ok, icon);
}

// The message of a copy that was not made; the catalogue's own failures
// were reported when they happened.
void tellDuplicateResult(duplicate::Result result) {
  switch (result) {
    case duplicate::Result::NameTooLong: tell(kDuplicateNameTooLong); break;
    case duplicate::Result::NoFreeTitle:
    case duplicate::Result::FileCopyFailed: tell(kDuplicateFailed); break;
    default: break;
  }
}

}  // namespace

void BoardOperations::placeOf(int mode, int x, int y, int& outX, int& outY) {
  if (mode == kDuplicateUnplaced) {
    outX = outY = 0;
  } else if (mode == kDuplicateBesideAuto) {
    outX = x + 1;
    outY = y;
  } else {
    outX = x + kUnstackStep;
    outY = y + kUnstackStep;
  }
}

int BoardOperations::positionMode() const {
  return board_.ArrangesAutomatically() ? kDuplicateBesideAuto : kDuplicateOffset;
}

bool BoardOperations::duplicateRefused(int count) {
  return !RoomForCopies(document_.Database(), platform::withTrailingSlash(folder()), count, folderMax);
}

bool BoardOperations::RoomForCopies(FolderDatabase& db, const std::string& folderWithSlash, int count,
                                    int folderMax) {
  int total = 0;
  const int code = db.GetTotalItemCount(total);
  reportOf(db, code);
  if (code != 0) return false;
  if (total + count > folderMax) {
    tell("データの登録は、各フォルダ " + std::to_string(folderMax) + " 件までです", platform::Icon::Warning);
    return false;
  }
  return !CheckDiskFree(folderWithSlash);
}

void BoardOperations::DuplicateSelected() {
  DuplicateEntries(board_.SelectedEntryIndices(), positionMode());
  tidy();
}

void BoardOperations::DuplicateEntries(const std::vector<int>& indices, int mode) {
  const std::unique_ptr<Progress> progress = makeProgress ? makeProgress(ProgressKind::Copy) : nullptr;
  // Entries are appended behind the list, so the indices stay valid.
  for (int index : indices) {
    const DisplayEntry* e = entry(index);
    if (!e) break;
    const int result = e->isStack() ? DuplicateStack(index, mode, true, false, progress.get())
                                    : DuplicateItem(index, mode, true, false, progress.get());
    if (result != 0) break;
  }
}

int BoardOperations::CopyItem(FolderDatabase& db, const std::string& folderWithSlash, const ItemInfo& source, int x,
                              int y, int mode, ItemInfo& copy) {
  int posX = 0, posY = 0;
  placeOf(mode, x, y, posX, posY);
  int dbCode = 0;
  const duplicate::Result result =
      duplicate::DuplicateItemRecord(db, folderWithSlash, source, posX, posY, copy, dbCode);
  if (result == duplicate::Result::CatalogueFailed) reportOf(db, dbCode);
  if (result != duplicate::Result::Done) {
    tellDuplicateResult(result);
    return 1;
  }
  return 0;
}

int BoardOperations::DuplicateItem(int entryIndex, int mode, bool addEntry, bool relayout, Progress* progress) {
  const DisplayEntry* e = entry(entryIndex);
  if (!e) return 1;
  if (!openFolder()) {
    tell("パスが不正です。(DDI:01)");
    return 1;
  }
  FolderDatabase& db = document_.Database();
  ItemInfo source;
  int x = 0, y = 0;
  if (e->isStack()) {
    StackInfo stack;
    int code = db.GetStackInfo(e->number, stack);
    report(code);
    if (code != 0) return 1;
    code = db.Stack2Item(stack.StackNo, stack.CurPageNo, source);
    report(code);
    if (code != 0) return 1;
    x = stack.StackPosX;
    y = stack.StackPosY;
  } else {
    const int code = db.GetItemInfo(e->number, source);
    report(code);
    if (code != 0) return 1;
    x = source.SingleItemPosX;
    y = source.SingleItemPosY;
  }
  if (duplicateRefused(1)) return 1;
  if (progress) {
    progress->SetTexts(fileNameOf(source), "");
    if (progress->PumpAndCheckCancel()) return 1;
  }
  ItemInfo copy;
  if (CopyItem(db, platform::withTrailingSlash(folder()), source, x, y, mode, copy) != 0) return 1;
  if (addEntry) {
    auto added = std::make_unique<DisplayEntry>();
    added->kind = 0;
    added->number = copy.ItemNo;
    int width = e->cellWidth, height = e->cellHeight;
    if (e->isStack()) document_.MakeThumbnail(platform::withTrailingSlash(folder()), copy, width, height);
    added->cellWidth = std::max(width, DisplayEntry::kMinCell);
    added->cellHeight = std::max(height, DisplayEntry::kMinCell);
    added->title = fileNameOf(copy);
    added->officialDate = copy.OfficialDate;
    added->lastModifiedDate = copy.LastModifiedDate;
    added->lastAccessedDate = copy.LastAccessedDate;
    document_.AppendEntry(std::move(added), nullptr, &copy);
    if (mode == kDuplicateOffset) board_.SettleNewTiles({document_.EntryList().GetCount() - 1});
  }
  if (relayout) {
    board_.PlaceNewItems();
    tidy();
  }
  return 0;
}

BoardOperations::StackCopy BoardOperations::CopyStackPages(FolderDatabase& db, const std::string& folderWithSlash,
                                                           const StackInfo& stack, int mode, Progress* progress) {
  const std::string& dir = folderWithSlash;
  const auto report = [&db](int code) { reportOf(db, code); };
  int code = 0;
  std::vector<MergeElement> elements;
  std::vector<ItemInfo> copies;
  bool failed = false;
  bool cancelled = false;
  for (int p = 1; p <= stack.PageCount; ++p) {
    ItemInfo page;
    code = db.Stack2Item(stack.StackNo, p, page);
    report(code);
    if (code != 0) {
      failed = true;
      break;
    }
    if (progress) {
      progress->SetTexts(fileNameOf(page), "文書「 " + stack.Title + " 」：全 " + std::to_string(stack.PageCount) +
                                               " ファイル中 " + std::to_string(p) + " ファイル目");
      // A cancel keeps the pages copied so far; they are stacked below.
      if (progress->PumpAndCheckCancel()) {
        cancelled = true;
        break;
      }
    }
    ItemInfo copy;
    int dbCode = 0;
    const duplicate::Result result = duplicate::DuplicateItemRecord(db, dir, page, 0, 0, copy, dbCode);
    if (result == duplicate::Result::CatalogueFailed) report(dbCode);
    if (result != duplicate::Result::Done) {
      tellDuplicateResult(result);
      failed = true;
      break;
    }
    MergeElement element;
    element.Kind = 0;
    element.No = copy.ItemNo;
    elements.push_back(element);
    copies.push_back(copy);
  }
  bool stacked = false;
  StackInfo record = stack;
  if (elements.size() >= 2) {
    if (progress) progress->SetTexts(stack.Title, "スタック処理中");
    bool titleFound = false;
    for (int n = 1; n <= duplicate::kMaxAttempts; ++n) {
      const std::string candidate = stack.Title + duplicate::CopySuffix(n);
      int found = 0, stackNo = 0;
      report(db.FindStack(candidate, found, stackNo));
      if (found) continue;
      const int check = FindInvalidTitleChar(candidate);
      if (check == kTitleTooLong) {
        tell(kDuplicateStackTitleTooLong);
        failed = true;
        break;
      }
      if (check == kTitleValid) {
        record.Title = candidate;
        titleFound = true;
        break;
      }
    }
    if (!titleFound && !failed) {
      tell(kDuplicateFailed);
      failed = true;
    }
    if (titleFound) {
      placeOf(mode, stack.StackPosX, stack.StackPosY, record.StackPosX, record.StackPosY);
      code = db.MergeN(record, elements);
      report(code);
      if (code == 0) {
        record.CurPageNo = std::min(static_cast<int>(elements.size()), std::max(stack.CurPageNo, 1));
        report(db.SetStackInfo(record, fieldmask::kStackCurPageNo));
        StackInfo stored;
        if (db.GetStackInfo(record.StackNo, stored) == 0) record = stored;
        stacked = true;
      } else {
        failed = true;
      }
    }
  }
  StackCopy made;
  made.stacked = stacked;
  made.failed = failed;
  made.cancelled = cancelled;
  made.record = record;
  made.copies = std::move(copies);
  return made;
}

int BoardOperations::DuplicateStack(int entryIndex, int mode, bool addEntry, bool relayout, Progress* progress) {
  const DisplayEntry* e = entry(entryIndex);
  if (!e) return 1;
  if (!openFolder()) {
    tell("パスが不正です。(DDS:01)");
    return 1;
  }
  FolderDatabase& db = document_.Database();
  StackInfo stack;
  int code = db.GetStackInfo(e->number, stack);
  report(code);
  if (code != 0) return 1;
  if (duplicateRefused(stack.PageCount)) return 1;
  const StackCopy made = CopyStackPages(db, platform::withTrailingSlash(folder()), stack, mode, progress);
  const bool stacked = made.stacked;
  const bool failed = made.failed;
  const bool cancelled = made.cancelled;
  const StackInfo& record = made.record;
  const std::vector<ItemInfo>& copies = made.copies;
  if (addEntry) {
    if (progress) progress->SetTexts("", "表示更新処理中");
    if (stacked) {
      auto added = std::make_unique<DisplayEntry>();
      added->kind = 1;
      added->number = record.StackNo;
      added->cellWidth = std::max(e->cellWidth, DisplayEntry::kMinCell);
      added->cellHeight = std::max(e->cellHeight, DisplayEntry::kMinCell);
      added->title = record.Title;
      added->officialDate = record.OfficialDate;
      added->lastModifiedDate = record.LastModifiedDate;
      added->lastAccessedDate = record.LastAccessedDate;
      document_.AppendEntry(std::move(added), &record, nullptr);
      if (mode == kDuplicateOffset) board_.SettleNewTiles({document_.EntryList().GetCount() - 1});
    } else {
      // Copied pages left as single items get entries of their own.
      for (const ItemInfo& copy : copies) appendItemEntry(copy);
    }
  }
  if (relayout) {
    board_.PlaceNewItems();
    tidy();
  }
  return failed || cancelled ? 1 : 0;
}

// ---- page order ---------------------------------------------------------------

bool BoardOperations::ReorderPagesOf(FolderDatabase& db, int stackNo, const ReorderDialog& dialog) {
  const auto report = [&db](int code) {
    SetActiveFolderDatabase(&db);
    ShowLastDbError(code, false);
  };
  StackInfo stack;
  int code = db.GetStackInfo(stackNo, stack);
  report(code);
  if (code != 0) return false;
  std::vector<ItemInfo> pages;
  for (int p = 1; p <= stack.PageCount; ++p) {
    ItemInfo page;
    code = db.Stack2Item(stack.StackNo, p, page);
    report(code);
    if (code != 0) return false;
    pages.push_back(page);
  }
  if (!dialog) return false;
  const std::optional<std::vector<int>> rows = dialog(pages);
  if (!rows) return false;
  // rows[r] is the former index of the page left in row r; the catalogue
  // wants, for each page in its former order, its new page number.
  std::vector<std::int32_t> order(pages.size(), 0);
  bool whole = rows->size() == pages.size();
  for (std::size_t r = 0; whole && r < rows->size(); ++r) {
    const int former = (*rows)[r];
    if (former < 0 || former >= static_cast<int>(pages.size()) || order[static_cast<std::size_t>(former)] != 0)
      whole = false;
    else
      order[static_cast<std::size_t>(former)] = static_cast<std::int32_t>(r + 1);
  }
  if (!whole) return false;
  code = db.ReorderAll(stack.StackNo, order);
  report(code);
  // A refused order changed nothing: the dates stay as they were.
  if (code != 0) return false;
  stack.LastModifiedDate = stack.LastAccessedDate = platform::todayYmd();
  report(db.SetStackInfo(stack, fieldmask::kStackLastModifiedDate | fieldmask::kStackLastAccessedDate));
  return true;
}

void BoardOperations::ReorderStackPages(int entryIndex) {
  const DisplayEntry* e = entry(entryIndex);
  if (!e || !e->isStack()) return;
  if (!openFolder()) {
    tell("パスが不正です。(DRS:01)");
    return;
  }
  if (!ReorderPagesOf(document_.Database(), e->number, reorderDialog)) return;
  if (DisplayEntry* stackEntry = document_.EntryList().GetAt(entryIndex)) {
    stackEntry->lastModifiedDate = stackEntry->lastAccessedDate = platform::todayYmd();
    int width = 0, height = 0;
    document_.MakeStackCell(*stackEntry, folder(), width, height);
    stackEntry->cellWidth = std::max(width, DisplayEntry::kMinCell);
    stackEntry->cellHeight = std::max(height, DisplayEntry::kMinCell);
  }
  board_.RebuildTile(entryIndex);
  board_.SelectOnly(entryIndex);
}

// ---- titles -------------------------------------------------------------------

void BoardOperations::ChangeTitle(int entryIndex) {
  const DisplayEntry* e = entry(entryIndex);
  if (!e || !e->isStack()) return;
  if (!openFolder()) {
    tell("パスが不正です。(DReS:01)");
    return;
  }
  TitleChangeDlg dialog(document_.Database(), folder(), e->number, board_.window());
  const int result = titleDialogRunner ? titleDialogRunner(dialog) : dialog.exec();
  if (result != QDialog::Accepted) return;
  StackInfo stack;
  const int code = document_.Database().GetStackInfo(e->number, stack);
  report(code);
  if (DisplayEntry* stackEntry = document_.EntryList().GetAt(entryIndex); stackEntry && code == 0)
    stackEntry->title = stack.Title;
  board_.RebuildTile(entryIndex);
  board_.SelectOnly(entryIndex);
}
