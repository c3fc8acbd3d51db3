#include "shell/fd3_doc.h"

#include "catalogue/file_utilities.h"
#include "platform/sjis_codec.h"
#include "platform/global_memory.h"
#include "platform/paths.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/document_views.h"
#include "shell/image_ctrl.h"
#include "shell/image_utilities.h"
#include "shell/imaging_control_startup.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

namespace {

constexpr int kImageCtrlChildId = 2000;
constexpr int kImageLevelImage = 1;
constexpr int kImageLevelDocument = 2;
constexpr int kDocumentCell = 103;
constexpr int kOtherCell = 32;
constexpr short kFormatBmp = 6;
constexpr int kBmpDefaultDpi = 150;
constexpr int kProgressRedrawMs = 100;
constexpr const char* kBackupName = "info.bk";
constexpr const char* kRecoveredMessage =
    "前回のデータベースの最適化が中断されていました。\nバックアップからデータベースを元に戻しました。";
constexpr const char* kCatalogueName = "info.mdb";
constexpr const char* kFolderInUseMessage =
    "指定されたフォルダは他のプログラムで使用中のため、開けませんでした。\n"
    "そのプログラムを終了してから、もう一度開いてください。";

std::function<void(int)>& fatalExit() {
  static std::function<void(int)> handler = [](int code) { std::exit(code); };
  return handler;
}

bool gWorkFolderFlag = false;

bool exists(const std::string& path) { return QFileInfo::exists(QString::fromStdString(path)); }

void raiseToCell(int& width, int& height) {
  width = std::max(width, DisplayEntry::kMinCell);
  height = std::max(height, DisplayEntry::kMinCell);
}

// Moves a damaged catalogue out of the way under a name that is free, so
// that reinitialising the folder never destroys what may still be rescued.
std::string keepDamagedCatalogue(const std::string& folder) {
  const std::string source = platform::joinPath(folder, kCatalogueName);
  if (!exists(source)) return {};
  std::string target = source + ".damaged";
  for (int n = 2; exists(target) || exists(target + "-journal"); ++n)
    target = source + ".damaged" + std::to_string(n);
  if (!QFile::rename(QString::fromStdString(source), QString::fromStdString(target))) return {};
  // A journal left beside it belongs to it, not to what takes its name.
  if (exists(source + "-journal"))
    QFile::rename(QString::fromStdString(source + "-journal"), QString::fromStdString(target + "-journal"));
  return target;
}

}  // namespace

void CFD3Doc::SetFatalExitHandler(std::function<void(int)> handler) {
  fatalExit() = handler ? std::move(handler) : [](int code) { std::exit(code); };
}

void CFD3Doc::SetWorkFolderFlag() { gWorkFolderFlag = true; }

CFD3Doc::CFD3Doc() = default;

CFD3Doc::~CFD3Doc() {
  DestroyImageCtrl();
  SetActiveFolderDatabase(nullptr);
}

// ------------------------------------------------------------------ observers

void CFD3Doc::AddObserver(DocumentObserver* observer) {
  if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
    observers_.push_back(observer);
}

void CFD3Doc::RemoveObserver(DocumentObserver* observer) { std::erase(observers_, observer); }

template <typename F>
void CFD3Doc::notify(F&& f) {
  // An observer may remove itself (or another) from inside a callback.
  const std::vector<DocumentObserver*> observers = observers_;
  for (DocumentObserver* observer : observers)
    if (std::find(observers_.begin(), observers_.end(), observer) != observers_.end()) f(*observer);
}

void CFD3Doc::changed(DocumentChanges changes) {
  if (loading_) {
    changesDuringLoad_ |= changes;
    return;
  }
  notify([changes](DocumentObserver& o) { o.DocumentChanged(changes); });
}

void CFD3Doc::NotifyChanged(DocumentChanges changes) { changed(changes); }

void CFD3Doc::NotifyEntryChanged(int index, DocumentChanges changes) {
  notify([index, changes](DocumentObserver& o) { o.EntryChanged(index, changes); });
}

// ------------------------------------------------------------------ entry list

int CFD3Doc::AppendEntry(std::unique_ptr<DisplayEntry> entry, const StackInfo* stack, const ItemInfo* item) {
  const int index = entries.Add(std::move(entry));
  notify([&](DocumentObserver& o) { o.EntryAdded(index, stack, item); });
  return index;
}

void CFD3Doc::DeleteEntry(int i) {
  if (i < 0 || i >= entries.GetCount()) return;
  entries.DeleteAt(i);
  notify([i](DocumentObserver& o) { o.EntryRemoved(i); });
}

bool CFD3Doc::ReorderEntries(const std::vector<int>& newOrder) {
  const int count = entries.GetCount();
  if (static_cast<int>(newOrder.size()) != count) return false;
  std::vector<bool> seen(static_cast<size_t>(count), false);
  for (int from : newOrder) {
    if (from < 0 || from >= count || seen[static_cast<size_t>(from)]) return false;
    seen[static_cast<size_t>(from)] = true;
  }
  std::vector<std::unique_ptr<DisplayEntry>> taken(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) taken[static_cast<size_t>(i)] = std::move(*entries.ElementAt(i));
  for (int k = 0; k < count; ++k)
    *entries.ElementAt(k) = std::move(taken[static_cast<size_t>(newOrder[static_cast<size_t>(k)])]);
  changed(DocumentChange::Positions);
  return true;
}

void CFD3Doc::SetFolderPath(const std::string& path) {
  if (path == entries.GetFolderPath()) return;
  entries.SetFolderPath(path);
  changed(DocumentChange::Folder);
}

// ------------------------------------------------------------------ editors and keys

void CFD3Doc::SetTitleEditing(bool editing) {
  if (TitleEditing() == editing) return;
  titleEditing = editing ? 1 : 0;
  changed(DocumentChange::Editing);
}

CFD3Doc::AcceleratorTable CFD3Doc::GetDefaultAccelerator() const {
  if (views_ && views_->ViewerShown()) return AcceleratorTable::Viewer;
  if (titleEditing != 0) return AcceleratorTable::TitleEditing;
  return AcceleratorTable::Browser;
}

void CFD3Doc::reportDb(int code) const {
  SetActiveFolderDatabase(&db);
  ShowLastDbError(code, false);
}

void CFD3Doc::bringMainWindowForward() {
  if (views_) views_->BringMainWindowForward();
  if (mainWindow_) {
    mainWindow_->raise();
    mainWindow_->activateWindow();
  }
}

// ------------------------------------------------------------------ catalogue

int CFD3Doc::CheckFolderDatabase(const std::string& path, int& existsOut) {
  if (db.IsOpen()) {
    // Exactly: Docs and docs are two folders on this file system.
    if (path == folderPath) {
      existsOut = 1;
      return 0;
    }
    CloseFolderDatabase();
  }
  const std::string work = path;
  if (work != "/" && !QFileInfo(QString::fromStdString(work)).isDir()) {
    existsOut = 0;
    return dbresult::kBadArgument;
  }

  int version = 0;
  int code = db.DoesFolderExist(work, existsOut, version);
  tellRecovery();
  // A catalogue that someone else holds open is in use, not damaged: no
  // backup is offered, and nothing is put over the holder's file.
  if (code != 0 && FolderDatabase::IsInUse(db.GetDbLastError())) {
    existsOut = 0;
    return code;
  }
  if (code != 0) {
    const DbLastError error = db.GetDbLastError();
    char text[1024];
    std::snprintf(text, sizeof text, "DAO エラー コード  %d\nエラー内容         %s\n", error.daoErrorCode,
                  error.description.c_str());
    platform::messageBox(text, platform::Buttons::Ok, platform::Icon::Error);
    if (platform::messageBox("データベースが壊れています。\nバックアップを使用しますか？",
                             platform::Buttons::YesNo, platform::Icon::Question) != platform::Answer::Yes)
      return code;
    // The damaged file is kept beside the backup that replaces it: what it
    // still holds may be rescued by hand.
    std::string keptBeforeRestore;
    if (exists(platform::joinPath(work, kBackupName))) keptBeforeRestore = keepDamagedCatalogue(work);
    if (db.RestoreFromBackup(work) != 0 && !keptBeforeRestore.empty()) {
      // No copy of the backup took its place: the damaged file is all the
      // folder has, and it goes back under its name.
      QFile::rename(QString::fromStdString(keptBeforeRestore),
                    QString::fromStdString(platform::joinPath(work, kCatalogueName)));
      keptBeforeRestore.clear();
    }
    code = db.DoesFolderExist(work, existsOut, version);
    if (code != 0) {
      // A backup as damaged as the catalogue is still info.bk: its copy is
      // not kept twice.
      const std::string kept = keptBeforeRestore.empty() ? keepDamagedCatalogue(work) : keptBeforeRestore;
      std::string message = "バックアップが使用できません\n初期化します。";
      if (!kept.empty()) message += "\n壊れたデータベースは次の名前で残しました:\n" + kept;
      platform::messageBox(message, platform::Buttons::Ok, platform::Icon::Warning);
      existsOut = 1;
      reportDb(db.InitFolder(platform::workFolder(platform::workfolder::kDb), work));
      return 0;
    }
  }
  if (existsOut == 1 && version != kCatalogueVersion) {
    bringMainWindowForward();
    platform::messageBox("データベースのバージョンが違います。\n処理を中断します。", platform::Buttons::Ok,
                         platform::Icon::Error);
    existsOut = 0;
    return kWrongVersion;
  }
  return 0;
}

bool CFD3Doc::OpenFolderDatabase(const std::string& path) {
  bool compact = true;
  if (db.IsOpen()) {
    if (path == folderPath && reopenRequested == 0) return true;
    compact = path != folderPath;
    CloseFolderDatabase();
  }
  folderPath = path;
  reopenRequested = 0;
  // Compaction renumbers items and stacks, so it waits for a load that makes
  // the entries afresh; entries of this folder that are shown keep their
  // numbers (a reopen after a rename closed the folder).
  if (compact && !ShowsEntriesOf(path)) {
    const int code = db.CompactFolder(path);
    // A catalogue held elsewhere fails the open below as well, which tells
    // the user; any other failure of the engine is news.
    if (code != dbresult::kEngine || !FolderDatabase::IsInUse(db.GetDbLastError())) reportDb(code);
    tellRecovery();
    // Damage the engine found while compacting is not opened for writing:
    // new rows would go into broken pages and the folder would look empty.
    if (code == dbresult::kEngine && FolderDatabase::IsDamaged(db.GetDbLastError())) return false;
  }
  // A compaction that failed between its renames is put right by the open,
  // which brings the backup back.
  const int code = db.OpenFolder(path, false);
  tellRecovery();
  reportDb(code);
  SetActiveFolderDatabase(&db);
  changed(DocumentChange::CatalogueReopened);
  return code == 0;
}

bool CFD3Doc::ShowsEntriesOf(const std::string& path) const {
  return entries.GetCount() > 0 && entries.GetFolderPath() == path;
}

void CFD3Doc::tellRecovery() {
  if (!db.TakeRecoveryNotice()) return;
  platform::messageBox(kRecoveredMessage, platform::Buttons::Ok, platform::Icon::Information);
}

void CFD3Doc::CloseFolderDatabase() {
  if (!db.IsOpen()) return;
  int stacks = -1;
  int items = -1;
  int stackCode = db.GetStackCount(stacks);
  reportDb(stackCode);
  int itemCode = 0;
  if (stackCode == 0 && stacks == 0) {
    itemCode = db.GetSingleItemCount(items);
    reportDb(itemCode);
  }
  // Only counts that were read may remove the catalogue: a failed count
  // says nothing about whether the folder is empty. Rows that are neither
  // items nor stacks make the catalogue inconsistent, not empty: it is
  // reported and kept.
  int empty = 0;
  if (stackCode == 0 && itemCode == 0 && stacks == 0 && items == 0) reportDb(db.IsEmptyCatalogue(empty));
  reportDb(db.CloseFolder());
  if (empty == 1) {
    DeleteFileForce(platform::joinPath(folderPath, kBackupName));
    DeleteFileForce(platform::joinPath(folderPath, kCatalogueName));
  }
}

// ------------------------------------------------------------------ loading

void CFD3Doc::LoadFolder(const std::string& pathWithTrailingSlash, int layoutFlag) {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  struct LoadScope {
    CFD3Doc& doc;
    explicit LoadScope(CFD3Doc& d) : doc(d) {
      doc.loadingFolder_ = true;
      doc.thumbFailureReported_ = false;
    }
    ~LoadScope() {
      doc.loadingFolder_ = false;
      QGuiApplication::restoreOverrideCursor();
    }
  } scope(*this);

  // Observers see the rebuild bracketed: cleared now, one DocumentChanged at
  // the end of every road out of here, with what the load met on its way.
  const std::string folder =
      pathWithTrailingSlash.empty() ? std::string() : platform::withoutTrailingSlash(pathWithTrailingSlash);
  DocumentChanges changes = DocumentChange::Entries;
  if (layoutFlag != 0) changes |= DocumentChange::ScrollReset;
  if (folder != entries.GetFolderPath()) changes |= DocumentChange::Folder;
  entries.DeleteAll();
  entries.SetFolderPath(folder);
  loading_ = true;
  changesDuringLoad_ = {};
  struct LoadEnd {
    CFD3Doc& doc;
    DocumentChanges changes;
    ~LoadEnd() {
      doc.loading_ = false;
      doc.changed(changes | std::exchange(doc.changesDuringLoad_, {}));
    }
  } loadEnd{*this, changes};
  notify([changes](DocumentObserver& o) { o.EntriesCleared(changes); });
  if (folder.empty()) return;

  int catalogueExists = 0;
  if (CheckFolderDatabase(folder, catalogueExists) != 0) {
    bringMainWindowForward();
    // A catalogue held by another program (or another user) is no fault of
    // the folder's: the user learns to close it there and try again.
    platform::messageBox(FolderDatabase::IsInUse(db.GetDbLastError()) ? kFolderInUseMessage
                                                                       : "指定されたフォルダにアクセスできませんでした。",
                         platform::Buttons::Ok, platform::Icon::Warning);
    return;
  }
  if (catalogueExists == 0) return;
  if (!OpenFolderDatabase(folder)) {
    platform::messageBox("パスが不正です。(DMLFTV:01)", platform::Buttons::Ok, platform::Icon::Warning);
    return;
  }

  int stackCount = 0;
  int itemCount = 0;
  reportDb(db.GetStackCount(stackCount));
  reportDb(db.GetSingleItemCount(itemCount));
  const int total = stackCount + itemCount;
  std::unique_ptr<ProgressReporter> progress;
  if (total > kProgressThreshold && progressSink_) progress = progressSink_->BeginProgress("表示", "アイテムの表示中...");
  int done = 0;
  QElapsedTimer sinceShown;
  sinceShown.start();
  auto step = [&] {
    ++done;
    // Drawing the count for every entry would cost more than loading it:
    // the count moves on a few times a second, and at the last entry.
    if (!progress || (sinceShown.elapsed() < kProgressRedrawMs && done != total)) return;
    progress->SetProgressDetail(std::to_string(total) + " 件中 " + std::to_string(done) + " 件目");
    progress->PumpAndCheckCancel();
    sinceShown.restart();
  };

  reportDb(db.GetStackFirstInfoEx());
  bool brokenStackReported = false;
  for (;;) {
    StackInfo stack;
    ItemInfo cover;
    int thumbX = 0, thumbY = 0, end = 0;
    const int code = db.GetStackNextInfoEx(stack, cover, thumbX, thumbY, end);
    if (code == dbresult::kInconsistent) {
      // The enumeration has stepped past a stack it cannot read: one damaged
      // stack must not hide the others. Told once per load.
      if (!brokenStackReported) reportDb(code);
      brokenStackReported = true;
      continue;
    }
    reportDb(code);
    if (code != 0 || end) break;
    step();
    auto entry = std::make_unique<DisplayEntry>();
    entry->kind = 1;
    entry->number = stack.StackNo;
    entry->cellWidth = thumbX;
    entry->cellHeight = thumbY;
    raiseToCell(entry->cellWidth, entry->cellHeight);
    entry->title = stack.Title;
    entry->officialDate = stack.OfficialDate;
    entry->lastModifiedDate = stack.LastModifiedDate;
    entry->lastAccessedDate = stack.LastAccessedDate;
    AppendEntry(std::move(entry), &stack, &cover);
  }
  reportDb(db.GetStackPostInfoEx());

  reportDb(db.GetSingleItemFirstInfoEx());
  for (;;) {
    ItemInfo item;
    QDateTime thumbDate;
    int thumbX = 0, thumbY = 0, end = 0;
    const int code = db.GetSingleItemNextInfoEx(item, thumbDate, thumbX, thumbY, end);
    reportDb(code);
    if (code != 0 || end) break;
    step();
    auto entry = std::make_unique<DisplayEntry>();
    entry->kind = 0;
    entry->number = item.ItemNo;
    entry->title = item.Ext.empty() ? item.Title : item.Title + "." + item.Ext;
    entry->officialDate = item.OfficialDate;
    entry->lastModifiedDate = item.LastModifiedDate;
    entry->lastAccessedDate = item.LastAccessedDate;
    entry->cellWidth = thumbX;
    entry->cellHeight = thumbY;
    if (thumbX == 0 && item.ImageLevel == kImageLevelImage)
      MakeThumbnail(platform::withTrailingSlash(folder), item, entry->cellWidth, entry->cellHeight);
    raiseToCell(entry->cellWidth, entry->cellHeight);
    AppendEntry(std::move(entry), nullptr, &item);
  }
  reportDb(db.GetSingleItemPostInfoEx());
}

bool CFD3Doc::GetEntryRecords(const DisplayEntry& entry, StackInfo& stack, ItemInfo& item) {
  stack = StackInfo{};
  item = ItemInfo{};
  if (entry.isStack()) {
    const int code = db.GetStackInfo(entry.number, stack);
    if (code != 0) {
      reportDb(code);
      return false;
    }
    reportDb(db.Stack2Item(entry.number, stack.CurPageNo, item));
    return true;
  }
  const int code = db.GetItemInfo(entry.number, item);
  reportDb(code);
  return code == 0;
}

void CFD3Doc::SelectEntry(int kind, int number) {
  const int index = entries.Find(kind, number);
  if (index >= 0) NotifyEntryChanged(index, DocumentChange::Selection);
}

// ------------------------------------------------------------------ thumbnails

void CFD3Doc::thumbnailFromFile(const std::string& file, const ItemInfo& item, int& width, int& height) {
  CreateImageCtrl(true);
  CImageCtrl* ctrl = imageCtrl();
  if (!ctrl || ctrl->LoadFile(file, 0, 1, 1) != 0) {
    width = height = DisplayEntry::kMinCell;
    return;
  }
  // The load examined the file already: no second read for its format.
  if (ctrl->GetInfoFormat() == kFormatBmp &&
      ctrl->GetXResolution() == kBmpDefaultDpi && GetBmpResolution(file) == 0) {
    ctrl->SetXResolution(static_cast<short>(bmpResolution_));
    ctrl->SetYResolution(static_cast<short>(bmpResolution_));
  }
  StoreThumbnail(nullptr, ctrl, item);
  const int w = static_cast<int>(ctrl->GetImageWidth());
  const int h = static_cast<int>(ctrl->GetImageHeight());
  if (w > 0) width = w;
  if (h > 0) height = h;
  ctrl->SetImageHandle(0);
}

void CFD3Doc::MakeThumbnail(const std::string& folderWithSlash, const ItemInfo& item, int& width,
                            int& height) {
  width = height = 0;
  if (item.ImageLevel == kImageLevelDocument) {
    width = height = kDocumentCell;
    return;
  }
  if (item.ImageLevel != kImageLevelImage) {
    width = height = kOtherCell;
    return;
  }
  int sizeX = 0, sizeY = 0, found = 0;
  QDateTime made;
  reportDb(db.GetThumbSizeDate(item.ItemNo, sizeX, sizeY, made, found));
  if (found) {
    if (sizeX > 0) width = sizeX;
    if (sizeY > 0) height = sizeY;
    return;
  }
  std::string file = folderWithSlash + item.Title;
  if (!item.Ext.empty()) file += "." + item.Ext;
  if (exists(file)) thumbnailFromFile(file, item, width, height);
}

void CFD3Doc::MakeStackCell(const DisplayEntry& stackEntry, const std::string& folder, int& width,
                            int& height) {
  width = height = 0;
  const std::string folderWithSlash = platform::withTrailingSlash(folder);
  reportDb(db.GetFirstStackPage(stackEntry.number));
  for (;;) {
    ItemInfo page;
    int end = 0;
    const int code = db.GetSingleItemNextInfo(page, end);
    if (code != 0 || end) break;
    int w = 0, h = 0;
    if (page.ImageLevel == kImageLevelImage) {
      MakeThumbnail(folderWithSlash, page, w, h);
      if (w == 0 && h == 0) w = h = DisplayEntry::kMinCell;
    } else if (page.ImageLevel == kImageLevelDocument) {
      w = h = kDocumentCell;
    } else {
      w = h = kOtherCell;
    }
    width = std::max(width, w);
    height = std::max(height, h);
  }
  db.PostSingleItem();
}

void CFD3Doc::StoreThumbnail(ImportProgress* progress, CImageCtrl* ctrl, const ItemInfo& item) {
  if (!ctrl) return;
  if (progress) {
    thumbProgress = progress;
    loadInProgress = false;
    ctrl->SetDispid7(true);
  }
  ThumbInfo thumb;
  thumb.ItemNo = item.ItemNo;
  const bool made = ScaleToThumbnail(*ctrl, thumb, [this](int from, int to) {
    thumbProgressFrom = from;
    thumbProgressTo = to;
    if (thumbProgress) thumbProgress->StepTo(from);
  });
  if (progress) {
    ctrl->SetDispid7(false);
    thumbProgress = nullptr;
    progress->StepTo(99);
  }
  if (!made) return;
  const int code = db.SetThumbInfo(thumb);
  // A catalogue that refuses thumbnails (a read-only folder) refuses every
  // one: a load says so once.
  if (code != 0 && loadingFolder_) {
    if (thumbFailureReported_) return;
    thumbFailureReported_ = true;
  }
  reportDb(code);
}

// ------------------------------------------------------------------ imaging control

void CFD3Doc::CreateImageCtrl(bool recreate) {
  if (imageCtrl_ && !imageCtrlHasWindow_) {
    platform::messageBox(kImagingInitFailedMessage, platform::Buttons::Ok, platform::Icon::Error);
    fatalExit()(1);
    return;
  }
  if (imageCtrl_ && !recreate) return;
  try {
    DestroyImageCtrl();
    auto ctrl = MakeImageCtrl();
    if (CreateImagingControl(mainWindow_, ctrl.get(), kImageCtrlChildId) != 0) {
      fatalExit()(1);
      return;
    }
    imageCtrlHasWindow_ = true;
    imageCtrl_ = ctrl.release();  // owned by the main window when there is one, else by us
  } catch (...) {
    // Out of memory or a failure inside the control: the program cannot go on.
    platform::messageBox(kImagingInitExceptionMessage, platform::Buttons::Ok, platform::Icon::Error);
    fatalExit()(1);
  }
}

CImageCtrl* CFD3Doc::imageCtrl() const { return imageCtrl_.data(); }

void CFD3Doc::DestroyImageCtrl() {
  delete imageCtrl_.data();
  imageCtrl_ = nullptr;
  imageCtrlHasWindow_ = false;
}

// ------------------------------------------------------------------ work folder

std::string CFD3Doc::GetWorkFolder() {
  if (workFolder_.empty()) workFolder_ = platform::workFolder(platform::workfolder::kTmp);
  return workFolder_;
}

void CFD3Doc::DeleteTempFolder() {
  if (!gWorkFolderFlag) return;
  DeleteFolderTree(GetWorkFolder());
  gWorkFolderFlag = false;
}
