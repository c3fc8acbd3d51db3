// The import of one file (CFD3Doc::ImportFile), of a batch of pages
// (CFD3Doc::ImportFileBatch), and the storing of a document file into the
// folder (CFD3Doc::StoreImportedFile); the class word of a file and the
// batching of catalogue commits.
//
// Order of the steps that touch the folder: an item is registered, then its
// file is put into the folder and checked to be whole; when that fails the
// item is unregistered again. The rows of one file are committed together
// once its files are in place. A file of several pages that stops half-way
// (cancel or failure) takes its pages so far away again, files and entries,
// so that no loose page of a half-imported file is left.
//
// ImportFile runs its steps in this order (CFD3Doc::FileImport):
//   checkDestination   not cancelled, room on the disk, a folder to write
//   examineSource      a readable file with an extension, and its class word
//   countPages         pages of an image; "$$ZRV Uni" and "Kpx Draw" converted
//   openCatalogue      the folder's catalogue, and the file's transaction
//   checkRoom          the folder's item limit
//   nameStack          a free stack title for several pages; the name check
//   importPages        per page: loadPage, packWebPage, registerPage,
//                      storePage, thumbnailPage
//   stackPages         several pages become one stack
//   commit             the file's rows made durable

#include "shell/import_file.h"

#include "catalogue/file_utilities.h"
#include "catalogue/office_archive_text.h"
#include "formats/kpx_draw_reader.h"
#include "formats/mht_converter.h"
#include "formats/zrv_uni_reader.h"
#include "platform/clock.h"
#include "platform/file_ops.h"
#include "platform/paths.h"
#include "platform/program_folder.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "shell/image_ctrl.h"
#include "shell/import_dialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

namespace ic = importclass;

constexpr const char* kCaption = "インポート";
constexpr const char* kErrorStop = "エラーが発生しました。\n処理を中断します。";
constexpr const char* kDiskFull = "空き容量が不足しています。";
constexpr const char* kTooLong = "ファイル名が長すぎます。\nこのファイルはインポートできません。";
constexpr int kDiskFullCode = 20005;
constexpr short kHtmlThumbDpi = 97;
constexpr const char kOleSignature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";

bool pathExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

int sjisBytes(const std::string& text) { return static_cast<int>(platform::toCp932Lossy(text).size()); }

bool extensionIs(const std::string& path, std::initializer_list<const char*> extensions) {
  const std::string ext = platform::extensionOf(platform::fileNameOf(path));
  for (const char* e : extensions)
    if (platform::asciiEqualsIgnoreCase(ext, e)) return true;
  return false;
}

// The user's login name, what the creator of an imported item is.
std::string userName() {
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name) return pw->pw_name;
  return qEnvironmentVariable("USER").toStdString();
}

std::int64_t fileSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
}

// Copies beside the target and renames into place: the target is never a
// fragment, whatever stops the copy.
bool systemCopy(const std::string& from, const std::string& to) {
  return platform::copyFileReplacing(from, to) == 0;
}

ImportCopyFunction& copyFunction() {
  static ImportCopyFunction copy = systemCopy;
  return copy;
}

void splitAtLastPoint(const std::string& name, std::string& base, std::string& ext) {
  const std::size_t point = name.rfind('.');
  if (point == std::string::npos) {
    base = name;
    ext.clear();
  } else {
    base = name.substr(0, point);
    ext = name.substr(point + 1);
  }
}

std::string numbered(const std::string& base, int counter) { return base + "その" + std::to_string(counter); }

}  // namespace

// ------------------------------------------------------------------ class word

int importclass::ImageLevelOf(std::uint32_t w) {
  switch (w & kLevelMask) {
    case kLevelImage: return 1;
    case kLevelHtml: return 2;
    default: return 0;
  }
}

int importclass::FullTextLevelOf(std::uint32_t w) {
  switch (w & kTextMask) {
    case kTextLibrary: return 1;
    case kTextPlain: return 3;
    default: return 0;
  }
}

int importclass::OleLevelOf(std::uint32_t w) { return (w & kStorageMask) == kOleStorage ? 2 : 0; }

std::uint32_t ClassifyImportFile(CLead& imageCtrl, const std::string& path, const std::string& head) {
  const std::uint32_t storage =
      head.size() >= 8 && head.compare(0, 8, kOleSignature, 8) == 0 ? ic::kOleStorage : ic::kPlainFile;
  if (extensionIs(path, {"TXT"})) return ic::kText | storage;
  if (extensionIs(path, {"DOC", "XLS", "JSW", "JAW", "JBW", "JFW", "JTD", "PDF"}) ||
      officetext::IsOfficeArchiveExtension(platform::extensionOf(platform::fileNameOf(path))))
    return ic::kOffice | storage;
  if (extensionIs(path, {"MHT", "MHTML", "HTML", "HTM", "EML"})) return ic::kHtml | storage;
  if (head.size() >= 9 && head.compare(0, 9, "$$ZRV Uni") == 0) return ic::kZrvUni | storage;
  if (head.size() >= 9 && head.compare(0, 9, std::string("Kpx Draw\0", 9)) == 0) return ic::kKpxDraw | storage;
  if (IsImportableImage(imageCtrl, path) != 0) return ic::kImage;
  return ic::kOther;
}

void SetImportCopyFunction(ImportCopyFunction copy) { copyFunction() = copy ? std::move(copy) : systemCopy; }

// ------------------------------------------------------------------ batching

void ImportBatch::BeforeFile(const std::string& destFolder) {
  FolderDatabase& db = doc_.Database();
  const std::string folder = platform::withoutTrailingSlash(destFolder);
  // A reopen closes the catalogue, and a close rolls back what is pending.
  const bool here = db.IsOpen() && doc_.FolderPath() == folder && !doc_.ReopenRequested();
  if (open_ && !here) Commit();
  if (!open_ && here && db.CanUpdate() && db.TransactionDepth() == 0) {
    open_ = db.BeginTransaction() == dbresult::kOk;
    sinceBegin_.start();
  }
}

void ImportBatch::AfterFile() {
  if (open_ && sinceBegin_.elapsed() >= kCommitIntervalMs) Commit();
}

void ImportBatch::Commit() {
  if (!open_) return;
  open_ = false;
  FolderDatabase& db = doc_.Database();
  if (!db.IsOpen() || db.TransactionDepth() == 0) return;
  if (const int code = db.CommitTransaction(); code != dbresult::kOk) {
    SetActiveFolderDatabase(&db);
    ShowLastDbError(code, false);
  }
}

// ------------------------------------------------------------------ one file

void CFD3Doc::SetImportSettings(const ImportSettings& settings) { importSettings_ = settings; }

std::string CFD3Doc::uniqueImportTitle(const std::string& folderWithSlash, const std::string& base,
                                      std::string& suffix, const std::string& ext, int& counter,
                                      bool withCatalogue) {
  for (;;) {
    const std::string title = base + suffix;
    const std::string file = folderWithSlash + title + "." + ext;
    bool taken = pathExists(file) || pathExists(file + ".TXT");
    if (!taken && withCatalogue) {
      int found = 0, no = 0;
      db.FindItem(title, ext, found, no);
      if (found == 0) db.FindItem(title + "." + ext, "TXT", found, no);
      taken = found != 0;
    }
    if (!taken) return title;
    ++counter;
    suffix = "その" + std::to_string(counter);
  }
}

// One run of CFD3Doc::ImportFile, a step per responsibility, in the order
// the import takes them. Every step returns kGoOn to let the next one run,
// or the import's result (1 registered, 0 refused, -1 failed or cancelled,
// -2 the folder is full); a step that fails after pages were registered
// takes them away again (undo) before it returns.
class CFD3Doc::FileImport {
 public:
  FileImport(CFD3Doc& doc, ImportProgress* progress, const std::string& sourcePath, const std::string& destFolder,
             const std::string* title, std::optional<QPoint> position, bool adjustImage, bool showMessages)
      : doc_(doc),
        db_(doc.db),
        progress_(progress),
        sourcePath_(sourcePath),
        folder_(platform::withoutTrailingSlash(destFolder)),
        folderWithSlash_(platform::withTrailingSlash(folder_)),
        name_(title ? *title : platform::fileNameOf(sourcePath)),
        position_(position),
        adjustImage_(adjustImage),
        showMessages_(showMessages) {}

  int Run(EntryRef* result) {
    for (int (FileImport::*step)() : {&FileImport::checkDestination, &FileImport::examineSource,
                                      &FileImport::countPages, &FileImport::openCatalogue, &FileImport::checkRoom,
                                      &FileImport::nameStack, &FileImport::importPages, &FileImport::stackPages,
                                      &FileImport::commit})
      if (const int code = (this->*step)(); code != kGoOn) return code;
    if (result) *result = made_;
    return 1;
  }

 private:
  static constexpr int kGoOn = 2;

  // What one page becomes: its title's stem, its extension, how it is
  // stored and from which file.
  struct Page {
    std::string base;
    std::string ext;
    StorageChoice choice;
    bool copyUnchanged = true;
    std::string storeSource;
  };

  // Not cancelled, room on the disk, a folder that can be written.
  int checkDestination() {
    if (cancelled()) return -1;
    if (CheckDiskFree(folder_)) return -1;
    if (CheckTargetFolder(folderWithSlash_, kCaption)) return -1;
    return kGoOn;
  }

  // The imaging control, a name that is no catalogue's, a file that can be
  // read, what kind of document it is, and a name with an extension.
  int examineSource() {
    doc_.CreateImageCtrl(true);
    ctrl_ = doc_.imageCtrl();
    if (!ctrl_) return -1;
    if (IsDatabaseFileName(name_)) {
      refuse("このファイルはインポートできません。\n" + sourcePath_);
      return 0;
    }
    std::string head;
    {
      QFile file(QString::fromStdString(sourcePath_));
      if (QFileInfo(file).isDir() || !file.open(QIODevice::ReadOnly)) {
        tell("ファイルを開けませんでした。\nこのファイルは現在使用中です。\n" + sourcePath_);
        return 0;
      }
      const QByteArray bytes = file.read(16);
      if (bytes.isNull() && file.error() != QFileDevice::NoError) {
        tell("ファイルが不正です。\n" + sourcePath_);
        return 0;
      }
      head = bytes.toStdString();
    }
    classWord_ = ClassifyImportFile(*ctrl_, sourcePath_, head);
    kind_ = classWord_ & ic::kKindMask;
    if (name_.find('.') == std::string::npos) {
      refuse("拡張子のないファイルをインポートしようとしました。\nこのファイルはインポートできません。\n" +
             sourcePath_);
      return 0;
    }
    if (name_.front() == '.') {
      refuse("ファイル名が不正です。\nこのファイルはインポートできません。\n" + sourcePath_);
      return 0;
    }
    return kGoOn;
  }

  // How many pages the file gives: an image's own, the pages a "$$ZRV Uni"
  // file expands into, the one bitmap of a "Kpx Draw" file.
  int countPages() {
    if (kind_ == ic::kKindImage) {
      if (ctrl_->GetFileInfo(sourcePath_, 1, 0) == 0) pages_ = std::max(1, static_cast<int>(ctrl_->GetDispid39()));
    } else if (kind_ == ic::kKindZrvUni) {
      return expandZrvUni();
    } else if (kind_ == ic::kKindKpxDraw) {
      return convertKpxDraw();
    } else if (kind_ == ic::kKindHtml) {
      doc_.DeleteTempFolder();
    }
    return kGoOn;
  }

  int expandZrvUni() {
    if (progress_) progress_->ShowFileStage(name_, " の変換中です。");
    doc_.DeleteTempFolder();
    const std::string dir = platform::joinPath(doc_.GetWorkFolder(), "NTFORMAT");
    QDir().mkpath(QString::fromStdString(dir));
    zrvBase_ = platform::joinPath(dir, "NTFORMAT");
    const int expanded = ZrvUniReader(sourcePath_, zrvBase_);
    SetWorkFolderFlag();
    // A file that breaks off in a page is not imported in part.
    if (expanded < 1) {
      refuse("ファイルを展開できません。\n" + sourcePath_);
      return 0;
    }
    pages_ = expanded;
    storageSource_ = ImportSource::UniPage;
    return kGoOn;
  }

  int convertKpxDraw() {
    std::vector<std::uint8_t> bitmap;
    std::size_t size = 0;
    const std::string bmp = platform::joinPath(doc_.GetWorkFolder(), "kpxdraw.bmp");
    bool loaded = KpxDrawReader(bitmap, size, sourcePath_) == kKpxDrawOk;
    if (loaded) {
      QDir().mkpath(QString::fromStdString(doc_.GetWorkFolder()));
      QFile out(QString::fromStdString(bmp));
      loaded = out.open(QIODevice::WriteOnly) &&
               out.write(reinterpret_cast<const char*>(bitmap.data()), static_cast<qint64>(size)) ==
                   static_cast<qint64>(size);
      out.close();
      loaded = loaded && ctrl_->LoadFile(bmp, 0, 1, 1) == 0;
      QFile::remove(QString::fromStdString(bmp));
    }
    if (!loaded) {
      refuse("ファイルをコンバートできません。\n" + sourcePath_);
      return 0;
    }
    std::string base, ext;
    splitAtLastPoint(name_, base, ext);
    name_ = base + ".bmp";
    storageSource_ = ImportSource::KpxDraw;
    return kGoOn;
  }

  // The folder's catalogue, made when it has none, opened, and this file's
  // transaction begun.
  int openCatalogue() {
    if (cancelled()) return -1;
    int exists = 0;
    if (doc_.CheckFolderDatabase(folder_, exists) != 0) return -1;
    if (exists == 0) {
      const int code = db_.InitFolder(platform::workFolder(platform::workfolder::kDb), folder_);
      doc_.reportDb(code);
      if (code != 0) return -1;
    }
    if (!doc_.OpenFolderDatabase(folder_)) return -1;
    // The file's rows become durable only together, after its files are in
    // place: a crash before the commit leaves files without entries, never
    // an entry without its file. Inside a caller's batch this is a savepoint.
    transaction_.emplace(db_);
    return kGoOn;
  }

  // The folder's item limit.
  int checkRoom() {
    int count = 0;
    doc_.reportDb(db_.GetTotalItemCount(count));
    const int folderMax = doc_.importSettings_.folderMax;
    if (count + pages_ <= folderMax) return kGoOn;
    if (showMessages_) {
      char text[1024];
      std::snprintf(text, sizeof text, "%s\nこのフォルダは登録上限(%d件)を超えました。\n追加登録できません。",
                    folder_.c_str(), folderMax);
      tell(text);
    }
    return -2;
  }

  // A file of several pages becomes a stack under a title no stack has;
  // then the name is checked for that many pages.
  int nameStack() {
    if (pages_ > 1) {
      std::string base, ext;
      splitAtLastPoint(name_, base, ext);
      std::string stackTitle = base;
      for (int n = 2;; ++n) {
        int found = 0, no = 0;
        doc_.reportDb(db_.FindStack(stackTitle, found, no));
        if (found == 0) break;
        stackTitle = numbered(base, n);
      }
      name_ = stackTitle + "." + ext;
    }
    return CheckImportTitle(name_, pages_) ? kGoOn : 0;
  }

  int importPages() {
    today_ = platform::todayYmd();
    for (int p = 1; p <= pages_; ++p) {
      Page page;
      ItemInfo item;
      for (int (FileImport::*step)(int, Page&, ItemInfo&) :
           {&FileImport::loadPage, &FileImport::packWebPage, &FileImport::registerPage, &FileImport::storePage,
            &FileImport::thumbnailPage}) {
        if (const int code = (this->*step)(p, page, item); code != kGoOn) {
          undo();
          return code;
        }
      }
    }
    if (doc_.storageSourceIsTemporary(kind_)) doc_.DeleteTempFolder();
    return kGoOn;
  }

  // Page p's name; for an image kind its picture loaded into the control,
  // corrected when asked, and the form it is stored in.
  int loadPage(int p, Page& page, ItemInfo&) {
    if (cancelled()) return -1;
    splitAtLastPoint(name_, page.base, page.ext);
    page.storeSource = sourcePath_;
    if ((kind_ & ic::kImageKinds) == 0) return kGoOn;
    if (pages_ > 1) {
      page.base += "の" + std::to_string(p) + "頁目";
      if (progress_) progress_->ShowFileStage(page.base + "." + page.ext, " をインポート中です。");
    }
    std::string loadPath = sourcePath_;
    int loadPage = p;
    if (kind_ == ic::kKindZrvUni) {
      loadPath = zrvBase_ + "-" + std::to_string(p) + ".tif";
      loadPage = 1;
      page.ext = "tif";
    }
    step(0);
    if (kind_ != ic::kKindKpxDraw && ctrl_->LoadFile(loadPath, 0, loadPage, 1) != 0) {
      tell(kErrorStop);
      return -1;
    }
    step(40);
    const ImportSettings& settings = doc_.importSettings_;
    if (adjustImage_) ApplyScanCorrections(*ctrl_, settings.corrections);
    page.choice = ChooseImportStorage(*ctrl_, loadPath, storageSource_, settings.storage);
    if (!page.choice.extension.empty()) page.ext = page.choice.extension;
    // The source file is kept as it is only when it is this very page: one
    // page of a file of several, or a corrected page, is saved.
    page.copyUnchanged = page.choice.keepSource && pages_ == 1 && !adjustImage_;
    page.storeSource = loadPath;
    return kGoOn;
  }

  // A web page and the local files it links, packed into one file.
  int packWebPage(int, Page& page, ItemInfo&) {
    if (kind_ != ic::kKindHtml ||
        !(platform::asciiEqualsIgnoreCase(page.ext, "HTM") || platform::asciiEqualsIgnoreCase(page.ext, "HTML")))
      return kGoOn;
    page.ext = "mht";
    QDir().mkpath(QString::fromStdString(doc_.GetWorkFolder()));
    page.storeSource = platform::joinPath(doc_.GetWorkFolder(), "import.mht");
    SetWorkFolderFlag();
    if (!MhtConverter().Convert(sourcePath_, page.storeSource)) {
      tell(kErrorStop);
      return -1;
    }
    return kGoOn;
  }

  // The page's item registered under a title free on disk and in the
  // catalogue.
  int registerPage(int, Page& page, ItemInfo& item) {
    step(40);
    if (cancelled()) return -1;
    item.Ext = page.ext;
    item.ImageLevel = ic::ImageLevelOf(classWord_);
    item.OLELevel = ic::OleLevelOf(classWord_);
    item.FullTextLevel = ic::FullTextLevelOf(classWord_);
    if (position_ && pages_ == 1) {
      item.SingleItemPosX = position_->x();
      item.SingleItemPosY = position_->y();
    }
    item.OfficialDate = item.LastModifiedDate = item.LastAccessedDate = today_;
    if (cancelled()) return -1;
    int counter = 1;
    std::string suffix;
    item.Title = doc_.uniqueImportTitle(folderWithSlash_, page.base, suffix, page.ext, counter, false);
    int code = 0;
    for (;;) {
      if (sjisBytes(item.Title) > kTitleMaxBytes) {
        tell(kTooLong);
        return -1;
      }
      SetActiveFolderDatabase(&db_);
      code = ShowLastDbError(db_.RegisterItem(item), true);
      if (code != dbresult::kDuplicateItem) break;
      ++counter;
      suffix = "その" + std::to_string(counter);
      item.Title = doc_.uniqueImportTitle(folderWithSlash_, page.base, suffix, page.ext, counter, true);
    }
    return code == 0 ? kGoOn : -1;
  }

  // The page's document file put into the folder; the item is taken away
  // again when that fails.
  int storePage(int, Page& page, ItemInfo& item) {
    step(44);
    const std::string target = folderWithSlash_ + item.Title + "." + item.Ext;
    done_.push_back(EntryRef{EntryRef::kItem, item.ItemNo});
    doneFiles_.push_back(target);
    doc_.reportDb(db_.SetCreator(item.ItemNo, userName()));
    if (!doc_.StoreImportedFile(progress_, classWord_, folderWithSlash_, item.Title, item.Ext, page.choice.format,
                                page.choice.bitsPerPixel, page.choice.quality, page.storeSource,
                                page.copyUnchanged))
      return kGoOn;
    DissolvedStack dissolved;
    doc_.reportDb(db_.UnregisterItem(item.ItemNo, dissolved));
    done_.pop_back();
    doneFiles_.pop_back();
    return -1;
  }

  // The page's thumbnail: of the picture for an image, of the drawn page
  // for a web page (which stays without one when it cannot be drawn).
  int thumbnailPage(int, Page&, ItemInfo& item) {
    step(86);
    const std::uint32_t format = classWord_ & ic::kFormatMask;
    const std::uint32_t level = classWord_ & ic::kLevelMask;
    if (level == ic::kLevelImage && (format == 1 || format == 2 || format == 4)) {
      doc_.StoreThumbnail(progress_, ctrl_, item);
    } else if (level == ic::kLevelHtml && format == 8) {
      HtmlDrawDlg draw(doc_.mainWindow_);
      draw.SetSource(ctrl_, sourcePath_);
      if (draw.DoModal() == QDialog::Accepted) {
        ctrl_->SetXResolution(kHtmlThumbDpi);
        ctrl_->SetYResolution(kHtmlThumbDpi);
        doc_.StoreThumbnail(progress_, ctrl_, item);
      } else {
        item.ImageLevel = 0;
        doc_.reportDb(db_.SetItemInfo(item, fieldmask::kItemImageLevel));
      }
    }
    ctrl_->SetImageHandle(0);
    step(100);
    return kGoOn;
  }

  // The pages of a file of several become one stack.
  int stackPages() {
    made_ = done_.front();
    if (pages_ <= 1) return kGoOn;
    if (progress_) progress_->ShowFileStage(name_, " のスタック処理中です。");
    StackInfo stack;
    std::string base, ext;
    splitAtLastPoint(name_, base, ext);
    stack.Title = base;
    if (position_) {
      stack.StackPosX = position_->x();
      stack.StackPosY = position_->y();
    }
    stack.OfficialDate = stack.LastModifiedDate = stack.LastAccessedDate = today_;
    std::vector<MergeElement> elements;
    for (const EntryRef& page : done_) elements.push_back(MergeElement{0, page.No});
    const int merged = doc_.reportDbCode(db_.MergeN(stack, elements));
    if (merged != 0) {
      // Pages that cannot become their stack are not left lying about.
      undo();
      return -1;
    }
    stack.CurPageNo = 1;
    doc_.reportDb(db_.SetStackInfo(stack, fieldmask::kStackCurPageNo));
    made_ = EntryRef{EntryRef::kStack, stack.StackNo};
    return kGoOn;
  }

  // The file's rows made durable, now that its files are in place.
  int commit() {
    if (transaction_->result() != dbresult::kOk) return kGoOn;
    if (const int committed = transaction_->Commit(); committed != dbresult::kOk) {
      doc_.reportDb(committed);
      for (const std::string& file : doneFiles_) DeleteFileForce(file);
      return -1;
    }
    return kGoOn;
  }

  // Takes the pages of this file imported so far away again, entries and files.
  void undo() {
    for (std::size_t i = done_.size(); i-- > 0;) {
      DissolvedStack dissolved;
      doc_.reportDb(db_.UnregisterItem(done_[i].No, dissolved));
      DeleteFileForce(doneFiles_[i]);
    }
    done_.clear();
    doneFiles_.clear();
  }

  // A cancel, once seen, stays.
  bool cancelled() {
    if (progress_ && !cancelled_ && progress_->PumpAndCheckCancel()) cancelled_ = true;
    return cancelled_;
  }
  void tell(const std::string& text) {
    doc_.bringMainWindowForward();
    platform::messageBox(text, platform::Buttons::Ok, platform::Icon::Warning);
  }
  // Refusals of a file are told only when the caller wants messages.
  void refuse(const std::string& text) {
    if (showMessages_) tell(text);
  }
  void step(int percent) {
    if (progress_) progress_->StepTo(percent);
  }

  CFD3Doc& doc_;
  FolderDatabase& db_;
  ImportProgress* progress_;
  const std::string sourcePath_;
  const std::string folder_;
  const std::string folderWithSlash_;
  std::string name_;
  const std::optional<QPoint> position_;
  const bool adjustImage_;
  const bool showMessages_;
  bool cancelled_ = false;
  CImageCtrl* ctrl_ = nullptr;
  std::uint32_t classWord_ = 0;
  std::uint32_t kind_ = 0;
  int pages_ = 1;
  ImportSource storageSource_ = ImportSource::ImageFile;
  std::string zrvBase_;
  std::optional<CatalogueTransaction> transaction_;
  int today_ = 0;
  std::vector<EntryRef> done_;
  std::vector<std::string> doneFiles_;
  EntryRef made_;
};

int CFD3Doc::ImportFile(ImportProgress* progress, EntryRef* result, const std::string& sourcePath,
                        const std::string& destFolder, const std::string* title,
                        std::optional<QPoint> position, bool adjustImage, bool showMessages) {
  return FileImport(*this, progress, sourcePath, destFolder, title, position, adjustImage, showMessages).Run(result);
}

bool CFD3Doc::storageSourceIsTemporary(std::uint32_t kind) const {
  return kind == importclass::kKindZrvUni || kind == importclass::kKindHtml;
}

int CFD3Doc::reportDbCode(int code) const {
  reportDb(code);
  return code;
}

// ------------------------------------------------------------------ storing the file

bool CFD3Doc::StoreImportedFile(ImportProgress* progress, std::uint32_t classWord,
                                const std::string& destFolder, const std::string& title,
                                const std::string& extension, int format, int bitsPerPixel, int quality,
                                const std::string& sourcePath, bool copyUnchanged) {
  const std::string folderWithSlash = platform::withTrailingSlash(destFolder);
  const std::string target = folderWithSlash + title + "." + extension;
  auto fail = [&](const char* text) {
    DeleteFileForce(target);
    if (text) {
      bringMainWindowForward();
      platform::messageBox(text, platform::Buttons::Ok, platform::Icon::Warning);
    }
    return true;
  };
  CImageCtrl* ctrl = imageCtrl();
  if ((classWord & importclass::kImageKinds) != 0 && !copyUnchanged) {
    if (!ctrl) return fail(kErrorStop);
    thumbProgress = progress;
    thumbProgressFrom = 44;
    thumbProgressTo = 84;
    loadInProgress = true;
    loadCancelled = false;
    const short saved = ctrl->SaveToFile(target, static_cast<short>(format), static_cast<short>(bitsPerPixel),
                                         static_cast<short>(quality), 0);
    loadInProgress = false;
    thumbProgress = nullptr;
    if (loadCancelled) return fail(nullptr);
    if (saved == kDiskFullCode) return fail(kDiskFull);
    if (saved != 0 || fileSize(target) <= 0) return fail(kErrorStop);
    if (CheckDiskFree(platform::withoutTrailingSlash(destFolder))) {
      DeleteFileForce(target);
      return true;
    }
  } else {
    errno = 0;
    const bool copied = copyFunction()(sourcePath, target);
    const int error = errno;
    // A copy that says it succeeded is still checked: a short file would be
    // an entry whose document is damaged.
    if (!copied || fileSize(target) != fileSize(sourcePath))
      return fail(error == ENOSPC ? kDiskFull : kErrorStop);
  }
  if (progress) progress->StepTo(84);
  QFile source(QString::fromStdString(sourcePath));
  QFile stored(QString::fromStdString(target));
  if (stored.open(QIODevice::ReadWrite)) {
    stored.setFileTime(QFileInfo(source).lastModified(), QFileDevice::FileModificationTime);
    stored.close();
  }
  stored.setPermissions(stored.permissions() | QFileDevice::WriteOwner);
  return false;
}

// ------------------------------------------------------------------ a batch of pages

int CFD3Doc::ImportFileBatch(ImportProgress& progress, const std::string& stackTitle,
                             const std::string& sourceFolder, const std::vector<std::string>& names,
                             const std::vector<std::string>& attachedFiles, const std::string& destFolder,
                             const std::vector<std::string>& titles, EntryRef* result,
                             std::optional<QPoint> position, bool adjustImage, bool showMessages,
                             std::size_t* handled) {
  const std::size_t n = names.size();
  if (handled) *handled = n;
  const std::string sourceWithSlash = platform::withTrailingSlash(sourceFolder);
  const std::string destWithSlash = platform::withTrailingSlash(destFolder);
  std::vector<int> items;
  for (std::size_t i = 0; i < n; ++i) {
    progress.ShowFile(names[i], static_cast<int>(i) + 1, static_cast<int>(n));
    progress.StepTo(0);
    EntryRef pair;
    pair.No = 0;
    const std::string* title = i < titles.size() && !titles[i].empty() ? &titles[i] : nullptr;
    int code = -1;
    try {
      code = ImportFile(&progress, &pair, sourceWithSlash + names[i], destFolder, title,
                        n == 1 ? position : std::nullopt, adjustImage, showMessages);
    } catch (...) {
      platform::messageBox("インポート中にエラーが発生しました。\n処理を中断します。", platform::Buttons::Ok,
                           platform::Icon::Warning, kCaption);
      code = -1;
    }
    if (code == -1 || code == -2) {
      if (handled) *handled = i;
      return -1;
    }
    if (code != 1) continue;
    const std::string attached = i < attachedFiles.size() ? attachedFiles[i] : std::string();
    if (pair.Kind == EntryRef::kItem && !attached.empty()) {
      std::string base, textExt;
      splitAtLastPoint(attached, base, textExt);
      if (attached.find('.') == std::string::npos) textExt = "TXT";
      ItemInfo item;
      const int read = reportDbCode(db.GetItemInfo(pair.No, item));
      if (read != 0) {
        if (handled) *handled = i + 1;
        return -1;
      }
      textExt = platform::utf8Truncate(textExt, kExtensionMaxBytes);
      const std::string textTarget = destWithSlash + item.Title + "." + item.Ext + "." + textExt;
      // The text goes beside the document only where nothing is yet, and the
      // item names it only once it is there.
      const std::string temporary = textTarget + ".part";
      if (!pathExists(textTarget) && platform::copyFileReplacing(sourceWithSlash + attached, temporary) == 0) {
        if (platform::renameNoReplace(temporary, textTarget) == 0) {
          item.TextExt = textExt;
          reportDb(db.SetItemInfo(item, fieldmask::kItemTextExt));
        } else {
          DeleteFileForce(temporary);
        }
      }
    }
    if (n == 1 && result) *result = pair;
    if (pair.Kind == EntryRef::kItem) items.push_back(pair.No);
  }
  // A stack needs two pages: one registered page stays the item it is.
  if (n >= 2 && items.size() >= 2) {
    std::string title = stackTitle;
    for (int k = 2;; ++k) {
      int found = 0, no = 0;
      reportDb(db.FindStack(title, found, no));
      if (found == 0) break;
      title = numbered(stackTitle, k);
    }
    StackInfo stack;
    stack.Title = title;
    if (position) {
      stack.StackPosX = position->x();
      stack.StackPosY = position->y();
    }
    stack.OfficialDate = stack.LastModifiedDate = stack.LastAccessedDate = platform::todayYmd();
    std::vector<MergeElement> elements;
    for (int no : items) elements.push_back(MergeElement{0, no});
    if (reportDbCode(db.MergeN(stack, elements)) == 0) {
      stack.CurPageNo = 1;
      reportDb(db.SetStackInfo(stack, fieldmask::kStackCurPageNo));
      if (result) *result = EntryRef{EntryRef::kStack, stack.StackNo};
    }
  } else if (n >= 2 && items.size() == 1 && result) {
    *result = EntryRef{EntryRef::kItem, items.front()};
  }
  return 1;
}
