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

#include <cerrno>
#include <cstdio>
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

int CFD3Doc::ImportFile(ImportProgress* progress, EntryRef* result, const std::string& sourcePath,
                        const std::string& destFolder, const std::string* title,
                        std::optional<QPoint> position, bool adjustImage, bool showMessages) {
  bool cancelled = false;
  auto cancelTest = [&] {
    if (progress && !cancelled && progress->PumpAndCheckCancel()) cancelled = true;
    return cancelled;
  };
  auto tell = [&](const std::string& text) {
    bringMainWindowForward();
    platform::messageBox(text, platform::Buttons::Ok, platform::Icon::Warning);
  };
  auto refuse = [&](const std::string& text) {
    if (showMessages) tell(text);
  };
  auto step = [&](int percent) {
    if (progress) progress->StepTo(percent);
  };

  // 1-2
  if (cancelTest()) return -1;
  const std::string folder = platform::withoutTrailingSlash(destFolder);
  const std::string folderWithSlash = platform::withTrailingSlash(folder);
  if (CheckDiskFree(folder)) return -1;
  if (CheckTargetFolder(folderWithSlash, kCaption)) return -1;
  // 3-5
  CreateImageCtrl(true);
  CImageCtrl* ctrl = imageCtrl();
  if (!ctrl) return -1;
  std::string name = title ? *title : platform::fileNameOf(sourcePath);
  if (IsDatabaseFileName(name)) {
    refuse("このファイルはインポートできません。\n" + sourcePath);
    return 0;
  }
  // 6: readable, and what it is
  std::string head;
  {
    QFile file(QString::fromStdString(sourcePath));
    if (QFileInfo(file).isDir() || !file.open(QIODevice::ReadOnly)) {
      tell("ファイルを開けませんでした。\nこのファイルは現在使用中です。\n" + sourcePath);
      return 0;
    }
    const QByteArray bytes = file.read(16);
    if (bytes.isNull() && file.error() != QFileDevice::NoError) {
      tell("ファイルが不正です。\n" + sourcePath);
      return 0;
    }
    head = bytes.toStdString();
  }
  const std::uint32_t classWord = ClassifyImportFile(*ctrl, sourcePath, head);
  const std::uint32_t kind = classWord & ic::kKindMask;
  // 7
  if (name.find('.') == std::string::npos) {
    refuse("拡張子のないファイルをインポートしようとしました。\nこのファイルはインポートできません。\n" +
           sourcePath);
    return 0;
  }
  if (name.front() == '.') {
    refuse("ファイル名が不正です。\nこのファイルはインポートできません。\n" + sourcePath);
    return 0;
  }
  // 8: pages
  int pages = 1;
  ImportSource storageSource = ImportSource::ImageFile;
  std::string zrvBase;
  if (kind == ic::kKindImage) {
    if (ctrl->GetFileInfo(sourcePath, 1, 0) == 0) pages = std::max(1, static_cast<int>(ctrl->GetDispid39()));
  } else if (kind == ic::kKindZrvUni) {
    if (progress) progress->ShowFileStage(name, " の変換中です。");
    DeleteTempFolder();
    const std::string dir = platform::joinPath(GetWorkFolder(), "NTFORMAT");
    QDir().mkpath(QString::fromStdString(dir));
    zrvBase = platform::joinPath(dir, "NTFORMAT");
    const int expanded = ZrvUniReader(sourcePath, zrvBase);
    SetWorkFolderFlag();
    // A file that breaks off in a page is not imported in part.
    if (expanded < 1) {
      refuse("ファイルを展開できません。\n" + sourcePath);
      return 0;
    }
    pages = expanded;
    storageSource = ImportSource::UniPage;
  } else if (kind == ic::kKindKpxDraw) {
    std::vector<std::uint8_t> bitmap;
    std::size_t size = 0;
    const std::string bmp = platform::joinPath(GetWorkFolder(), "kpxdraw.bmp");
    bool loaded = KpxDrawReader(bitmap, size, sourcePath) == kKpxDrawOk;
    if (loaded) {
      QDir().mkpath(QString::fromStdString(GetWorkFolder()));
      QFile out(QString::fromStdString(bmp));
      loaded = out.open(QIODevice::WriteOnly) &&
               out.write(reinterpret_cast<const char*>(bitmap.data()), static_cast<qint64>(size)) ==
                   static_cast<qint64>(size);
      out.close();
      loaded = loaded && ctrl->LoadFile(bmp, 0, 1, 1) == 0;
      QFile::remove(QString::fromStdString(bmp));
    }
    if (!loaded) {
      refuse("ファイルをコンバートできません。\n" + sourcePath);
      return 0;
    }
    std::string base, ext;
    splitAtLastPoint(name, base, ext);
    name = base + ".bmp";
    storageSource = ImportSource::KpxDraw;
  } else if (kind == ic::kKindHtml) {
    DeleteTempFolder();
  }
  // 9: the folder's catalogue
  if (cancelTest()) return -1;
  int exists = 0;
  if (CheckFolderDatabase(folder, exists) != 0) return -1;
  if (exists == 0) {
    const int code = db.InitFolder(platform::workFolder(platform::workfolder::kDb), folder);
    reportDb(code);
    if (code != 0) return -1;
  }
  if (!OpenFolderDatabase(folder)) return -1;
  // The file's rows become durable only together, after its files are in
  // place: a crash before the commit leaves files without entries, never an
  // entry without its file. Inside a caller's batch this is a savepoint.
  CatalogueTransaction fileTransaction(db);
  // 10
  int count = 0;
  reportDb(db.GetTotalItemCount(count));
  if (count + pages > importSettings_.folderMax) {
    if (showMessages) {
      char text[1024];
      std::snprintf(text, sizeof text, "%s\nこのフォルダは登録上限(%d件)を超えました。\n追加登録できません。",
                    folder.c_str(), importSettings_.folderMax);
      tell(text);
    }
    return -2;
  }
  // 11
  if (pages > 1) {
    std::string base, ext;
    splitAtLastPoint(name, base, ext);
    std::string stackTitle = base;
    for (int n = 2;; ++n) {
      int found = 0, no = 0;
      reportDb(db.FindStack(stackTitle, found, no));
      if (found == 0) break;
      stackTitle = numbered(base, n);
    }
    name = stackTitle + "." + ext;
  }
  // 12
  if (!CheckImportTitle(name, pages)) return 0;

  // 13-14
  std::vector<EntryRef> done;
  std::vector<std::string> doneFiles;
  // Takes the pages of this file imported so far away again, entries and files.
  auto undo = [&] {
    for (std::size_t i = done.size(); i-- > 0;) {
      DissolvedStack dissolved;
      reportDb(db.UnregisterItem(done[i].No, dissolved));
      DeleteFileForce(doneFiles[i]);
    }
    done.clear();
    doneFiles.clear();
  };
  const int today = platform::todayYmd();
  std::string drawSource = sourcePath;
  for (int p = 1; p <= pages; ++p) {
    // a-b
    if (cancelTest()) {
      undo();
      return -1;
    }
    std::string base, ext;
    splitAtLastPoint(name, base, ext);
    StorageChoice choice;
    bool copyUnchanged = true;
    std::string storeSource = sourcePath;
    // c: image kinds
    if ((kind & ic::kImageKinds) != 0) {
      if (pages > 1) {
        base += "の" + std::to_string(p) + "頁目";
        if (progress)
          progress->ShowFileStage(base + "." + ext, " をインポート中です。");
      }
      std::string loadPath = sourcePath;
      int loadPage = p;
      if (kind == ic::kKindZrvUni) {
        loadPath = zrvBase + "-" + std::to_string(p) + ".tif";
        loadPage = 1;
        ext = "tif";
      }
      step(0);
      if (kind != ic::kKindKpxDraw && ctrl->LoadFile(loadPath, 0, loadPage, 1) != 0) {
        tell(kErrorStop);
        undo();
        return -1;
      }
      step(40);
      if (adjustImage) ApplyScanCorrections(*ctrl, importSettings_.corrections);
      choice = ChooseImportStorage(*ctrl, loadPath, storageSource, importSettings_.storage);
      if (!choice.extension.empty()) ext = choice.extension;
      // The source file is kept as it is only when it is this very page:
      // one page of a file of several, or a corrected page, is saved.
      copyUnchanged = choice.keepSource && pages == 1 && !adjustImage;
      storeSource = loadPath;
    }
    // d: a web page and the local files it links, packed into one file
    if (kind == ic::kKindHtml && (platform::asciiEqualsIgnoreCase(ext, "HTM") ||
                                  platform::asciiEqualsIgnoreCase(ext, "HTML"))) {
      ext = "mht";
      QDir().mkpath(QString::fromStdString(GetWorkFolder()));
      storeSource = platform::joinPath(GetWorkFolder(), "import.mht");
      SetWorkFolderFlag();
      if (!MhtConverter().Convert(sourcePath, storeSource)) {
        tell(kErrorStop);
        undo();
        return -1;
      }
    }
    // e
    step(40);
    if (cancelTest()) {
      undo();
      return -1;
    }
    ItemInfo item;
    item.Ext = ext;
    item.ImageLevel = ic::ImageLevelOf(classWord);
    item.OLELevel = ic::OleLevelOf(classWord);
    item.FullTextLevel = ic::FullTextLevelOf(classWord);
    if (position && pages == 1) {
      item.SingleItemPosX = position->x();
      item.SingleItemPosY = position->y();
    }
    item.OfficialDate = item.LastModifiedDate = item.LastAccessedDate = today;
    // f: a title free on disk and in the catalogue
    if (cancelTest()) {
      undo();
      return -1;
    }
    int counter = 1;
    std::string suffix;
    item.Title = uniqueImportTitle(folderWithSlash, base, suffix, ext, counter, false);
    int code = 0;
    for (;;) {
      if (sjisBytes(item.Title) > kTitleMaxBytes) {
        tell(kTooLong);
        undo();
        return -1;
      }
      SetActiveFolderDatabase(&db);
      code = ShowLastDbError(db.RegisterItem(item), true);
      if (code != dbresult::kDuplicateItem) break;
      ++counter;
      suffix = "その" + std::to_string(counter);
      item.Title = uniqueImportTitle(folderWithSlash, base, suffix, ext, counter, true);
    }
    if (code != 0) {
      undo();
      return -1;
    }
    // g
    step(44);
    const std::string target = folderWithSlash + item.Title + "." + item.Ext;
    done.push_back(EntryRef{EntryRef::kItem, item.ItemNo});
    doneFiles.push_back(target);
    reportDb(db.SetCreator(item.ItemNo, userName()));
    // h
    if (StoreImportedFile(progress, classWord, folderWithSlash, item.Title, item.Ext, choice.format,
                          choice.bitsPerPixel, choice.quality, storeSource, copyUnchanged)) {
      DissolvedStack dissolved;
      reportDb(db.UnregisterItem(item.ItemNo, dissolved));
      done.pop_back();
      doneFiles.pop_back();
      undo();
      return -1;
    }
    // i: the thumbnail
    step(86);
    const std::uint32_t format = classWord & ic::kFormatMask;
    const std::uint32_t level = classWord & ic::kLevelMask;
    if (level == ic::kLevelImage && (format == 1 || format == 2 || format == 4)) {
      StoreThumbnail(progress, ctrl, item);
    } else if (level == ic::kLevelHtml && format == 8) {
      HtmlDrawDlg draw(mainWindow_);
      draw.SetSource(ctrl, drawSource);
      if (draw.DoModal() == QDialog::Accepted) {
        ctrl->SetXResolution(kHtmlThumbDpi);
        ctrl->SetYResolution(kHtmlThumbDpi);
        StoreThumbnail(progress, ctrl, item);
      } else {
        item.ImageLevel = 0;
        reportDb(db.SetItemInfo(item, fieldmask::kItemImageLevel));
      }
    }
    // j
    ctrl->SetImageHandle(0);
    step(100);
  }
  if (storageSourceIsTemporary(kind)) DeleteTempFolder();

  // 15
  EntryRef made = done.front();
  if (pages > 1) {
    if (progress) progress->ShowFileStage(name, " のスタック処理中です。");
    StackInfo stack;
    std::string base, ext;
    splitAtLastPoint(name, base, ext);
    stack.Title = base;
    if (position) {
      stack.StackPosX = position->x();
      stack.StackPosY = position->y();
    }
    stack.OfficialDate = stack.LastModifiedDate = stack.LastAccessedDate = today;
    std::vector<MergeElement> elements;
    for (const EntryRef& page : done) elements.push_back(MergeElement{0, page.No});
    const int merged = reportDbCode(db.MergeN(stack, elements));
    if (merged != 0) {
      // Pages that cannot become their stack are not left lying about.
      undo();
      return -1;
    }
    stack.CurPageNo = 1;
    reportDb(db.SetStackInfo(stack, fieldmask::kStackCurPageNo));
    made = EntryRef{EntryRef::kStack, stack.StackNo};
  }
  if (fileTransaction.result() == dbresult::kOk) {
    if (const int committed = fileTransaction.Commit(); committed != dbresult::kOk) {
      reportDb(committed);
      for (const std::string& file : doneFiles) DeleteFileForce(file);
      return -1;
    }
  }
  if (result) *result = made;
  return 1;
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
