#include "shell/rescan_folder.h"

#include "catalogue/catalogue_records.h"
#include "catalogue/catalogue_text.h"
#include "catalogue/file_utilities.h"
#include "catalogue/folder_database.h"
#include "catalogue/sjis_text.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/program_folder.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "shell/image_ctrl.h"
#include "shell/image_utilities.h"
#include "shell/import_file.h"
#include "shell/progress_reporter.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <memory>
#include <unordered_map>

namespace ic = importclass;

namespace {

constexpr const char* kNeverRegistered[] = {".DLL", ".SYS", ".VXD", ".386", ".DRV", ".PNF"};

bool cancelled(ProgressReporter* progress) { return progress && progress->PumpAndCheckCancel(); }

bool endsWithIgnoringCase(const std::string& name, const char* tail) {
  const std::size_t n = std::char_traits<char>::length(tail);
  if (name.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    char c = name[name.size() - n + i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != tail[i]) return false;
  }
  return true;
}

bool neverRegistered(const std::string& name) {
  return std::any_of(std::begin(kNeverRegistered), std::end(kNeverRegistered),
                     [&](const char* tail) { return endsWithIgnoringCase(name, tail); });
}

void report(FolderDatabase& db, int code) {
  SetActiveFolderDatabase(&db);
  ShowLastDbError(code, false);
}

// Regular files and folders of path (not hidden), in listing order.
void listFolder(const std::string& path, std::vector<std::string>* files, std::vector<std::string>* folders) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.c_str()), ::closedir);
  if (!dir) return;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name.empty() || name[0] == '.') continue;
    // The listing's own type spares a stat per file; links and file
    // systems that give no type are stat'ed (a link counts as what it names).
    bool isDir = entry->d_type == DT_DIR;
    bool isReg = entry->d_type == DT_REG;
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      struct stat st {};
      if (::stat((path + name).c_str(), &st) != 0) continue;
      isDir = S_ISDIR(st.st_mode);
      isReg = S_ISREG(st.st_mode);
    }
    if (isDir) {
      if (folders) folders->push_back(name);
    } else if (isReg) {
      if (files) files->push_back(name);
    }
  }
}

std::string readHead(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char bytes[16] = {};
  in.read(bytes, sizeof bytes);
  return std::string(bytes, static_cast<std::size_t>(in.gcount()));
}

// Paths are counted in Shift-JIS bytes against the limit the catalogue's
// other commands keep (a copy into a folder checks the same 260).
constexpr int kPathLimit = 260;
constexpr int kCatalogueNameBytes = 8;  // "info.mdb"

bool titleOk(const std::string& title, const std::string& ext) { return CheckTitle(title, ext, std::string()) == 0; }

// A transaction of the caller's over one folder's catalogue writes: a
// durable commit waits for the disk, so the folder's changes are committed
// once, when the scope ends, whichever way it ends (what was done stays, a
// cancel included). A crash loses at most that folder's changes, which the
// next rescan makes again.
class FolderWrites {
 public:
  explicit FolderWrites(FolderDatabase& db) : db_(db), transaction_(db) {}
  ~FolderWrites() {
    if (transaction_.result() == 0) report(db_, transaction_.Commit());
  }
  FolderWrites(const FolderWrites&) = delete;
  FolderWrites& operator=(const FolderWrites&) = delete;

 private:
  FolderDatabase& db_;
  CatalogueTransaction transaction_;
};

// The folder's items by their case-blind file name, read in one pass so that
// each file found on disk is looked up without a query. Kept in step with the
// registrations and renames the rescan makes.
class KnownItems {
 public:
  struct Entry {
    int itemNo = 0;
    std::string name;  // the registered file name, as cased in the catalogue
  };
  // false when the catalogue could not be read (reported).
  bool Load(FolderDatabase& db) {
    int code = db.GetFirstItem();
    report(db, code);
    while (code == 0) {
      ItemInfo item;
      int end = 0;
      code = db.GetSingleItemNextInfo(item, end);
      report(db, code);
      if (code != 0 || end) break;
      Add(item.ItemNo, item.Title + "." + item.Ext);
    }
    db.PostSingleItem();
    return code == 0;
  }
  // The first registration of a case-blind name wins, as a lookup by name finds it.
  void Add(int itemNo, const std::string& name) { items_.try_emplace(platform::asciiUpper(name), Entry{itemNo, name}); }
  void Remove(const std::string& name) { items_.erase(platform::asciiUpper(name)); }
  const Entry* Find(const std::string& title, const std::string& ext) const {
    const auto it = items_.find(platform::asciiUpper(title + "." + ext));
    return it == items_.end() ? nullptr : &it->second;
  }

 private:
  std::unordered_map<std::string, Entry> items_;
};

}  // namespace

bool RescanFolderTree(CFD3Doc& doc, ProgressReporter* progress, const std::string& path, int folderMax,
                      RescanReport& result) {
  if (cancelled(progress)) return true;
  const int reserved = ClassifyReservedPath(path);
  if (reserved == 1 || reserved == 3 || reserved == 4 || reserved == 6 || reserved == -1) return false;
  if (RescanFolder(doc, progress, path, folderMax, result)) return true;
  std::vector<std::string> folders;
  listFolder(path, nullptr, &folders);
  for (const std::string& name : folders) {
    const int inner = ClassifyReservedPath(path + name + "/");
    if (inner == 1 || inner == 3 || inner == 4 || inner == 6 || inner == -1) continue;
    if (RescanFolderTree(doc, progress, path + name + "/", folderMax, result)) return true;
  }
  return false;
}

bool RescanFolder(CFD3Doc& doc, ProgressReporter* progress, const std::string& path, int folderMax,
                  RescanReport& result) {
  if (cancelled(progress)) return true;
  if (progress) progress->SetProgressText("検索中...\n" + path);
  const std::string folder = platform::withoutTrailingSlash(path);
  // A folder whose catalogue path would pass the program's path limit is
  // left as it is, as the other folder commands leave it.
  if (platform::cp932Length(path) + kCatalogueNameBytes > kPathLimit) return false;
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  doc.CreateImageCtrl(true);
  FolderDatabase& db = doc.Database();

  // Items whose files are gone.
  int exists = 0;
  if (doc.CheckFolderDatabase(folder, exists) != 0) return false;
  if (exists) {
    if (!doc.OpenFolderDatabase(folder)) {
      platform::messageBox("パスが不正です。(DUFS:01)", platform::Buttons::Ok);
      return false;
    }
    int total = 0;
    report(db, db.GetTotalItemCount(total));
    if (total > 0) {
      std::vector<std::pair<int, std::string>> items;
      int code = db.GetFirstItem();
      report(db, code);
      bool stop = false;
      while (code == 0) {
        ItemInfo item;
        int end = 0;
        code = db.GetSingleItemNextInfo(item, end);
        report(db, code);
        if (code != 0 || end) break;
        items.emplace_back(item.ItemNo, path + item.Title + "." + item.Ext);
        if (cancelled(progress)) {
          stop = true;
          break;
        }
      }
      db.PostSingleItem();
      if (stop) return true;
      FolderWrites writes(db);
      for (const auto& [itemNo, file] : items) {
        struct stat fileStat {};
        // Only a file that is really gone: a file we may not read now stays.
        if (::lstat(file.c_str(), &fileStat) == 0 || errno != ENOENT) continue;
        DissolvedStack dissolved;
        const int removed = db.UnregisterItem(itemNo, dissolved);
        report(db, removed);
        if (removed == 0) ++result.unregistered;
      }
    }
    if (cancelled(progress)) return true;
  }

  // A folder without a catalogue gets one.
  if (doc.CheckFolderDatabase(folder, exists) != 0) return false;
  if (!exists) {
    doc.CloseFolderDatabase();
    report(db, db.InitFolder(platform::workFolder(platform::workfolder::kDb), folder));
  }
  if (!doc.OpenFolderDatabase(folder)) {
    platform::messageBox("パスが不正です。(DUFS:02)", platform::Buttons::Ok);
    return false;
  }
  std::vector<std::string> files;
  listFolder(path, &files, nullptr);
  files.erase(std::remove_if(files.begin(), files.end(), neverRegistered), files.end());
  std::sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
    const std::size_t pa = a.rfind('.');
    const std::size_t pb = b.rfind('.');
    const int byTitle = CompareTitles(a.substr(0, pa), b.substr(0, pb));
    if (byTitle != 0) return byTitle < 0;
    return CompareTitles(pa == std::string::npos ? std::string() : a.substr(pa + 1),
                         pb == std::string::npos ? std::string() : b.substr(pb + 1)) < 0;
  });
  if (cancelled(progress)) return true;
  return RegisterFoundFiles(doc, progress, path, files, folderMax, result);
}

bool RegisterFoundFiles(CFD3Doc& doc, ProgressReporter* progress, const std::string& path,
                        const std::vector<std::string>& names, int folderMax, RescanReport& result) {
  FolderDatabase& db = doc.Database();
  const int today = platform::todayYmd();
  int count = 0;
  report(db, db.GetTotalItemCount(count));
  bool full = false;
  std::vector<std::string> deferred;
  if (!doc.imageCtrl()) doc.CreateImageCtrl(false);
  CImageCtrl* ctrl = doc.imageCtrl();
  KnownItems known;
  if (!known.Load(db)) return false;
  {
    FolderWrites writes(db);
    for (const std::string& name : names) {
      if (cancelled(progress)) return true;
      if (IsDatabaseFileName(name) || neverRegistered(name)) continue;
      const std::size_t point = name.rfind('.');
      if (point == std::string::npos) continue;
      const std::string title = name.substr(0, point);
      const std::string ext = name.substr(point + 1);
      if (title.empty() || ext.empty()) continue;
      const std::string file = path + name;
      if (!titleOk(title, ext) || platform::cp932Length(file) > kPathLimit) {
        result.skipped.push_back(file);
        continue;
      }
      if (!catalogue::isValidTitle(title) || !catalogue::isValidExtension(ext)) {
        // The catalogue refuses the name; its lookup says why.
        int found = 0, itemNo = 0;
        report(db, db.FindItem(title, ext, found, itemNo));
        continue;
      }
      if (const KnownItems::Entry* entry = known.Find(title, ext)) {
        // The catalogue is case-blind: a name that differs from the
        // registered one only in case is another file, kept and reported.
        if (entry->name != name) result.skipped.push_back(file);
        continue;
      }
      if (!ctrl) continue;
      std::uint32_t classWord = ClassifyImportFile(*ctrl, file, readHead(file));
      const std::uint32_t kind = classWord & ic::kKindMask;
      if (kind == ic::kKindZrvUni) {
        deferred.push_back(name);
        continue;
      }
      if (kind == ic::kKindKpxDraw) classWord = ic::kOther;

      // A text named after a document: its attached text.
      if (kind == (ic::kText & ic::kKindMask)) {
        const std::size_t inner = title.rfind('.');
        if (inner != std::string::npos && inner > 0 && inner + 1 < title.size()) {
          const std::string docTitle = title.substr(0, inner);
          const std::string docExt = title.substr(inner + 1);
          const KnownItems::Entry* docEntry = titleOk(docTitle, docExt) ? known.Find(docTitle, docExt) : nullptr;
          if (docEntry) {
            ItemInfo owner;
            if (db.GetItemInfo(docEntry->itemNo, owner) == 0 && owner.TextExt.empty() &&
                owner.Title + "." + owner.Ext == title) {
              owner.TextExt = ext;
              owner.LastModifiedDate = owner.LastAccessedDate = today;
              const int stored = db.SetItemInfo(owner, fieldmask::kItemTextExt | fieldmask::kItemLastModifiedDate |
                                                           fieldmask::kItemLastAccessedDate);
              report(db, stored);
              if (stored == 0) ++result.attached;
            }
            continue;
          }
        }
      }

      // An image whose text an earlier scan registered as an item of its own.
      if (kind == ic::kKindImage) {
        if (const KnownItems::Entry* textEntry = known.Find(name, "TXT")) {
          ItemInfo text;
          if (db.GetItemInfo(textEntry->itemNo, text) == 0 && text.FullTextLevel == 3) {
            const std::string textName = text.Title + "." + text.Ext;
            text.Title = title;
            text.Ext = ext;
            text.TextExt = "TXT";
            text.ImageLevel = 1;
            text.OLELevel = 0;
            text.FullTextLevel = 0;
            text.LastModifiedDate = text.LastAccessedDate = today;
            const int stored = db.SetItemInfo(
                text, fieldmask::kItemTitle | fieldmask::kItemImageLevel | fieldmask::kItemOLELevel |
                          fieldmask::kItemFullTextLevel | fieldmask::kItemTextExt | fieldmask::kItemLastModifiedDate |
                          fieldmask::kItemLastAccessedDate);
            report(db, stored);
            if (stored == 0) {
              known.Remove(textName);
              known.Add(text.ItemNo, name);
              doc.StoreThumbnail(nullptr, ctrl, text);
              ++result.attached;
            }
          }
          continue;
        }
      }

      if (!full && count + 1 > folderMax) {
        // Told once the walk is over, so that no message stands over the
        // progress box while it runs.
        full = true;
        result.full.push_back({path, {}});
      }
      if (full) {
        result.full.back().leftOut.push_back(name);
        continue;
      }
      ItemInfo item;
      item.Title = title;
      item.Ext = ext;
      item.ImageLevel = ic::ImageLevelOf(classWord);
      item.OLELevel = ic::OleLevelOf(classWord);
      item.FullTextLevel = ic::FullTextLevelOf(classWord);
      item.OfficialDate = item.LastModifiedDate = item.LastAccessedDate = today;
      const int code = db.RegisterItem(item);
      report(db, code);
      if (code == 0) {
        known.Add(item.ItemNo, name);
        ++count;
        ++result.registered;
      }
    }
  }
  // The imports commit by themselves; the registrations above are committed by now.
  if (!full) {
    for (const std::string& name : deferred) {
      const int imported = doc.ImportFile(nullptr, nullptr, path + name, path, nullptr,
                                          std::nullopt, false, false);
      if (imported == -1) return true;
      if (imported == -2) break;
      if (imported == 1) DeleteFileForce(path + name);
    }
  }
  return false;
}

std::string RescanReportMessage(const RescanReport& report) {
  std::string text;
  if (!report.skipped.empty()) {
    text = "次のファイルは名前のため登録しませんでした。";
    for (const std::string& file : report.skipped) text += "\n" + file;
  }
  for (const RescanReport::FullFolder& folder : report.full) {
    if (!text.empty()) text += "\n\n";
    text += folder.path + "\nこのフォルダは登録上限を超えました。\n追加登録できません。";
    const std::size_t count = folder.leftOut.size();
    text += "\n登録しなかったファイル: " + std::to_string(count) + " 件";
    for (std::size_t i = 0; i < count && i < kNamedLeftOutFiles; ++i) text += "\n  " + folder.leftOut[i];
    if (count > kNamedLeftOutFiles) text += "\n  ほか " + std::to_string(count - kNamedLeftOutFiles) + " 件";
  }
  return text;
}
