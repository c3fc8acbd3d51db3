#include "shell/folder_intake.h"

#include "catalogue/file_utilities.h"
#include "catalogue/folder_database.h"
#include "catalogue/sjis_text.h"
#include "platform/file_ops.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "shell/import_file.h"
#include "shell/progress_dialogs.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

constexpr std::size_t kRequestStringBuffer = 260;
constexpr std::size_t kFolderListBuffer = 65535;
constexpr const char* kMigrationCaption = "データ移行";
constexpr const char* kUnexpected = "処理中に予期しないエラーが発生しました。";

bool exists(const std::string& path) { return QFileInfo::exists(QString::fromStdString(path)); }

void tell(const std::string& text, const std::string& caption = platform::kDefaultCaption) {
  platform::messageBox(text, platform::Buttons::Ok, platform::Icon::Warning, caption);
}

// A name from a request file is looked up inside the drop folder only.
bool isPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

std::vector<std::string> slice(const std::vector<std::string>& all, std::size_t from, std::size_t count) {
  std::vector<std::string> part;
  for (std::size_t i = from; i < from + count; ++i) part.push_back(i < all.size() ? all[i] : std::string());
  return part;
}

// Beside the drop folder, never in it: its presence says that the last
// request was registered whole.
std::string completionMarker(const std::string& importFolder) {
  return platform::withoutTrailingSlash(importFolder) + ".done";
}

int itemCount(CFD3Doc& doc) {
  int count = 0;
  if (doc.Database().GetTotalItemCount(count) != 0) return -1;
  return count;
}

}  // namespace

std::string RequestFileOfCommandLine(const std::string& commandLine, const std::string& switchName) {
  std::size_t at = 0;
  for (;; at += switchName.size()) {
    at = commandLine.find(switchName, at);
    if (at == std::string::npos) return {};
    const std::size_t end = at + switchName.size();
    const bool wordStart = at == 0 || commandLine[at - 1] == ' ';
    if (wordStart && end < commandLine.size() && commandLine[end] == ' ') break;
  }
  const std::size_t start = at + switchName.size() + 1;
  if (start < commandLine.size() && commandLine[start] == '"') {
    const std::size_t close = commandLine.find('"', start + 1);
    return commandLine.substr(start + 1, close == std::string::npos ? std::string::npos : close - start - 1);
  }
  const std::size_t blank = commandLine.find(' ', start);
  return commandLine.substr(start, blank == std::string::npos ? std::string::npos : blank - start);
}

bool CleanImportName(std::string& name, bool& messagePending) {
  bool changed = false;
  for (;;) {
    std::size_t at = name.find('[');
    if (at != std::string::npos) {
      name[at] = '(';
    } else if ((at = name.find(']')) != std::string::npos) {
      name[at] = ')';
    } else if ((at = name.find_first_of("'#")) != std::string::npos) {
      name.erase(at, 1);
    } else {
      break;
    }
    changed = true;
    if (messagePending) {
      messagePending = false;
      tell("ファイル名にブリンデルでは扱えない文字が使われています。\nファイル名を変更します。");
    }
  }
  if (name.empty()) name = "NonTitle";
  return changed;
}

int CreateImportFolder(std::string& path) {
  std::string free = path;
  if (exists(free)) {
    free = MakeUniqueFileName(path);
    if (free.empty()) {
      tell("フォルダの作成に失敗しました。(1)");
      return 1;
    }
  }
  if (!QDir().mkdir(QString::fromStdString(free))) {
    tell("フォルダの作成に失敗しました。(2)");
    return 2;
  }
  path = free;
  return 0;
}

void RefreshFolderBackup(const std::string& folder) {
  const std::string catalogue = platform::joinPath(folder, "info.mdb");
  if (!exists(catalogue)) return;
  platform::copyFileReplacing(catalogue, platform::joinPath(folder, "info.bk"));
}

int RegisterIntakeGroup(IntakeRun& run, const std::string& stackTitle, const std::string& sourceFolder,
                        const std::vector<std::string>& names, const std::vector<std::string>& attached,
                        const std::vector<std::string>& titles) {
  CFD3Doc& doc = run.doc;
  if (run.targetFolder.empty()) {
    // Without a folder to register below, nothing is made anywhere else.
    if (run.openFolder.empty() || run.openFolder.front() != '/') {
      tell(std::string(kUnexpected) + "(7)");
      return intake::kFirstFolderNotMade;
    }
    std::string first = platform::joinPath(run.openFolder, run.targetName);
    if (CreateImportFolder(first) != 0) {
      tell(std::string(kUnexpected) + "(7)");
      return intake::kFirstFolderNotMade;
    }
    run.targetFolder = first;
    if (run.firstFolder.empty()) run.firstFolder = first;
  }
  const std::size_t total = names.size();
  std::size_t done = 0;
  while (done < total) {
    const std::string& target = run.targetFolder;
    if (CheckDiskFree(target)) return intake::kDiskShort;
    int catalogueExists = 0;
    if (doc.CheckFolderDatabase(target, catalogueExists) != 0) return intake::kCatalogueCheckFailed;
    if (catalogueExists == 0) {
      const int code = doc.Database().InitFolder(platform::workFolder(platform::workfolder::kDb), target);
      if (code != 0) {
        ShowLastDbError(code, false);
        return intake::kCatalogueNotCreated;
      }
    }
    if (!doc.OpenFolderDatabase(target)) {
      tell(run.openFailureMessage);
      return intake::kCatalogueNotOpened;
    }
    const int count = itemCount(doc);
    if (count < 0) return intake::kCatalogueCheckFailed;
    const auto remaining = static_cast<int>(total - done);
    // A fresh folder that still takes nothing would make folders forever:
    // it falls through to the "nothing to register" answer below.
    if (count > 0 && (count >= run.folderLimit || count + remaining > run.folderLimit)) {
      doc.CloseFolderDatabase();
      RefreshFolderBackup(target);
      std::string next = platform::joinPath(run.openFolder, run.targetName);
      if (CreateImportFolder(next) != 0) {
        tell(std::string(kUnexpected) + "(10)");
        return intake::kNextFolderNotMade;
      }
      run.targetFolder = next;
      continue;
    }
    const int m = std::min(remaining, run.folderLimit - count);
    if (m < 1) {
      tell(kUnexpected);
      return intake::kNothingToRegister;
    }
    const auto size = static_cast<std::size_t>(m);
    const std::string targetWithSlash = platform::withTrailingSlash(target);
    int code = -1;
    {
      ImportBatch batch(doc);
      batch.BeforeFile(targetWithSlash);
      code = doc.ImportFileBatch(run.progress, stackTitle, sourceFolder, slice(names, done, size),
                                 slice(attached, done, size), targetWithSlash, slice(titles, done, size), nullptr,
                                 std::nullopt, false, true);
      batch.AfterFile();
      batch.Commit();
    }
    // A file the import refused was left where it was with its message;
    // the run must then keep what was handed over.
    const int added = doc.Database().IsOpen() ? itemCount(doc) - count : 0;
    if (added > 0) run.registered += added;
    if (added < m) run.incomplete = true;
    if (code == -1) return intake::kRegistrationAborted;
    done += size;
  }
  return intake::kDone;
}

// ---- the list import ------------------------------------------------------

int ImportRecognitionObject(IntakeRun& run, const std::string& importFolder, const std::string& requestFile,
                            int n) {
  const std::string section = "ImportObj" + std::to_string(n);
  const int count = platform::getProfileInt(requestFile, section, "ItemCount", 0);
  if (count <= 0) return intake::kNoItems;
  const std::string stackTitle = platform::getProfileString(requestFile, section, "StackTitle", "",
                                                            kRequestStringBuffer);
  std::vector<std::string> names, attached, titles;
  for (int k = 1; k <= count; ++k) {
    const std::string number = std::to_string(k);
    const std::string title =
        platform::getProfileString(requestFile, section, "ItemTitle" + number, "", kRequestStringBuffer);
    const std::string ext =
        platform::getProfileString(requestFile, section, "ItemExt" + number, "", kRequestStringBuffer);
    const std::string textExt =
        platform::getProfileString(requestFile, section, "ItemAttachedExt" + number, "", kRequestStringBuffer);
    // A title without extension names the file "title" (a trailing point
    // never belonged to a file name where these requests are written).
    const std::string name = ext.empty() ? title : title + "." + ext;
    const std::string text = textExt.empty() ? std::string() : name + "." + textExt;
    if (!isPlainFileName(name) || (!text.empty() && !isPlainFileName(text))) {
      tell("ファイル名が不正です。\n" + name);
      run.incomplete = true;
      continue;
    }
    std::string cleaned = name;
    CleanImportName(cleaned, run.renameMessagePending);
    names.push_back(name);
    attached.push_back(text);
    titles.push_back(cleaned);
  }
  if (names.empty()) return intake::kDone;
  return RegisterIntakeGroup(run, stackTitle, importFolder, names, attached, titles);
}

bool CheckListImportRequest(const std::string& requestFile) {
  if (QFileInfo(QString::fromStdString(requestFile)).isFile()) return true;
  tell("インポート情報がありません。");
  return false;
}

ListImportOutcome RunListImport(IntakeRun& run, const std::string& importFolder, const std::string& requestFile) {
  ListImportOutcome outcome;
  const int objects = platform::getProfileInt(requestFile, "Command", "ImportObjCount", 0);
  run.progress.StepTo(0);
  run.firstFolder.clear();
  run.renameMessagePending = true;
  bool whole = true;
  for (int n = 1; n <= objects; ++n) {
    if (ImportRecognitionObject(run, importFolder, requestFile, n) != intake::kDone) {
      whole = false;
      break;
    }
  }
  run.doc.CloseFolderDatabase();
  if (!run.targetFolder.empty()) RefreshFolderBackup(run.targetFolder);
  outcome.complete = whole && !run.incomplete;
  if (outcome.complete) {
    // Recorded outside the folder first: a deletion cut short leaves files
    // that were registered, and the next start finishes it.
    const std::string done = completionMarker(importFolder);
    const bool marked = platform::writeFileReplacing(done, {}) == platform::ReplaceStage::Done;
    outcome.dropFolderDeleted = QDir(QString::fromStdString(importFolder)).removeRecursively();
    if (marked && outcome.dropFolderDeleted) QFile::remove(QString::fromStdString(done));
  } else {
    tell("インポートできなかったファイルがあります。\nインポート用のフォルダはそのまま残しました。\n" + importFolder);
  }
  return outcome;
}

bool TidyListImportDropFolder(const std::string& importFolder) {
  const QString folder = QString::fromStdString(importFolder);
  const QString done = QString::fromStdString(completionMarker(importFolder));
  if (!QFileInfo(folder).isDir()) {
    QFile::remove(done);
    return false;
  }
  bool holdsFiles = false;
  for (QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
       it.hasNext() && !holdsFiles;) {
    it.next();
    holdsFiles = true;
  }
  if (QFile::exists(done) || !holdsFiles) {
    if (QDir(folder).removeRecursively()) QFile::remove(done);
    return false;
  }
  tell("前回のリスト インポートで渡されたファイルが、登録されないまま残っています。\n"
       "ファイルは次のフォルダにあります。必要なファイルは手動で登録してください。\n" +
       importFolder);
  return true;
}

void ForgetListImportCompletion(const std::string& importFolder) {
  QFile::remove(QString::fromStdString(completionMarker(importFolder)));
}

// ---- the migration --------------------------------------------------------

int SplitEarlierName(const std::string& name, std::string& base, std::string& stem, std::string& extension) {
  const std::string upper = platform::asciiUpper(name);
  std::size_t extensionSize = 0;
  auto endsWith = [&upper](std::string_view tail) {
    return upper.size() >= tail.size() && upper.compare(upper.size() - tail.size(), tail.size(), tail) == 0;
  };
  if (endsWith(".TXT.WRD")) {
    extensionSize = 7;
  } else if (endsWith(".TXT")) {
    extensionSize = 3;
  } else {
    return 1;
  }
  extension = name.substr(name.size() - extensionSize);
  stem = name.substr(0, name.size() - extensionSize - 1);
  // ASCII digits never occur inside a multibyte character, so the trailing
  // run never cuts one.
  std::size_t end = stem.size();
  while (end > 0 && stem[end - 1] >= '0' && stem[end - 1] <= '9') --end;
  base = stem.substr(0, end);
  return 0;
}

std::vector<std::string> ReadMigrationCandidates(const std::string& requestFile) {
  std::vector<std::string> folders;
  if (platform::profileSectionNames(requestFile).empty()) return folders;
  for (const char* key : {"RegFolder", "FolderList", "SubFolders"}) {
    const std::string list = platform::getProfileString(requestFile, "OCRFD", key, "", kFolderListBuffer);
    std::size_t from = 0;
    while (from <= list.size()) {
      std::size_t semicolon = list.find(';', from);
      if (semicolon == std::string::npos) semicolon = list.size();
      if (semicolon > from) folders.push_back(list.substr(from, semicolon - from));
      from = semicolon + 1;
    }
  }
  return folders;
}

std::vector<std::string> KeepEarlierProductFolders(const std::vector<std::string>& folders) {
  std::vector<std::string> kept;
  std::string missing;
  for (const std::string& folder : folders) {
    if (!QFileInfo(QString::fromStdString(folder)).isDir()) {
      missing += "\n" + folder;
      continue;
    }
    if (exists(platform::joinPath(folder, "info.idd")) && exists(platform::joinPath(folder, "info.sig")))
      kept.push_back(folder);
  }
  if (!missing.empty()) tell("次のフォルダが見つかりません。" + missing, kMigrationCaption);
  return kept;
}

namespace {

struct EarlierPage {
  std::string item;
  std::string attached;
  std::string base;
};

// The page image beside a record: "stem.BMP" as the folder spells it.
std::string imageFileOf(const std::string& stem, const std::vector<std::string>& files) {
  const std::string wanted = stem + ".BMP";
  if (std::find(files.begin(), files.end(), wanted) != files.end()) return wanted;
  for (const std::string& file : files)
    if (platform::asciiEqualsIgnoreCase(file, wanted)) return file;
  return wanted;
}

std::vector<EarlierPage> earlierPages(const std::vector<std::string>& files) {
  std::vector<std::string> records;
  for (const std::string& file : files) {
    std::string base, stem, extension;
    if (SplitEarlierName(file, base, stem, extension) == 0) records.push_back(file);
  }
  std::sort(records.begin(), records.end(),
            [](const std::string& a, const std::string& b) { return CompareTitles(a, b) < 0; });
  std::vector<EarlierPage> pages;
  for (std::size_t i = 0; i < records.size();) {
    std::string base, stem, extension;
    SplitEarlierName(records[i], base, stem, extension);
    std::string nextBase, nextStem, nextExtension;
    const bool pair =
        i + 1 < records.size() && SplitEarlierName(records[i + 1], nextBase, nextStem, nextExtension) == 0 &&
        nextStem == stem;
    if (pair) {
      pages.push_back({imageFileOf(stem, files), records[i], base});
      i += 2;
    } else {
      const bool text = platform::asciiEqualsIgnoreCase(extension, "TXT");
      pages.push_back({text ? records[i] : imageFileOf(stem, files), {}, base});
      i += 1;
    }
  }
  return pages;
}

}  // namespace

int MigrateEarlierFolder(IntakeRun& run, const std::string& folder) {
  const QDir dir(QString::fromStdString(folder));
  if (!dir.exists() || !dir.isReadable()) return intake::kFolderNotListed;
  std::vector<std::string> files;
  for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name)) files.push_back(name.toStdString());
  const std::vector<EarlierPage> pages = earlierPages(files);
  for (std::size_t i = 0; i < pages.size();) {
    std::vector<std::string> names, attached, titles;
    const std::string& base = pages[i].base;
    for (; i < pages.size() && pages[i].base == base; ++i) {
      std::string title = pages[i].item;
      CleanImportName(title, run.renameMessagePending);
      names.push_back(pages[i].item);
      attached.push_back(pages[i].attached);
      titles.push_back(title);
    }
    const int code = RegisterIntakeGroup(run, base.empty() ? "NonTitle" : base, folder, names, attached, titles);
    if (code == intake::kRegistrationAborted) return intake::kGroupFailed;
    if (code != intake::kDone) return code;
  }
  return intake::kDone;
}

int RunEarlierMigration(IntakeRun& run, const std::vector<std::string>& folders) {
  run.firstFolder.clear();
  run.renameMessagePending = true;
  int code = intake::kDone;
  for (const std::string& folder : folders) {
    code = MigrateEarlierFolder(run, folder);
    if (code != intake::kDone) break;
  }
  run.doc.CloseFolderDatabase();
  if (!run.targetFolder.empty()) RefreshFolderBackup(run.targetFolder);
  return code;
}
