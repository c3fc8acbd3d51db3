#include "shell/entry_copy.h"

#include "catalogue/catalogue_records.h"
#include "catalogue/file_utilities.h"
#include "catalogue/folder_database.h"
#include "platform/file_ops.h"
#include "platform/sjis_codec.h"

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <cerrno>

namespace entrycopy {

namespace {

std::string fileNameOf(const ItemInfo& item) { return item.Ext.empty() ? item.Title : item.Title + "." + item.Ext; }

std::string join(const std::string& folder, const std::string& name) { return folder + "/" + name; }

bool isFile(const std::string& path) { return QFileInfo(QString::fromStdString(path)).isFile(); }

void removeAll(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) DeleteFileForce(path);
}

void releaseAll(std::vector<std::string>& partials) {
  for (const std::string& partial : partials) platform::releasePartialCopy(partial);
  partials.clear();
}

// The copies go before their partial names: a kill in between leaves only
// partial names, never a copy that is no longer known as ours.
void dropCopies(std::vector<std::string>& copied, std::vector<std::string>& partials) {
  removeAll(copied);
  copied.clear();
  releaseAll(partials);
}

}  // namespace

bool ReadEntryPages(FolderDatabase& source, int kind, int number, std::vector<ItemInfo>& pages) {
  pages.clear();
  if (kind == 0) {
    ItemInfo item;
    const int code = source.GetItemInfo(number, item);
    ShowLastDbError(code, false);
    if (code != 0) return false;
    pages.push_back(item);
    return true;
  }
  StackInfo stack;
  int code = source.GetStackInfo(number, stack);
  ShowLastDbError(code, false);
  if (code != 0) return false;
  code = source.GetFirstStackPage(number);
  ShowLastDbError(code, false);
  if (code != 0) return false;
  bool ok = true;
  for (;;) {
    ItemInfo page;
    int end = 0;
    code = source.GetSingleItemNextInfo(page, end);
    if (code != 0) {
      ShowLastDbError(code, false);
      ok = false;
      break;
    }
    if (end) break;
    pages.push_back(page);
  }
  source.PostSingleItem();
  return ok && !pages.empty();
}

std::vector<std::string> FileNamesOf(const ItemInfo& item) {
  std::vector<std::string> names{fileNameOf(item)};
  if (!item.TextExt.empty()) names.push_back(names.front() + "." + item.TextExt);
  return names;
}

bool FileExistsCaseBlind(const std::string& folder, const std::string& name) {
  if (QFileInfo::exists(QString::fromStdString(join(folder, name)))) return true;
  const QStringList entries =
      QDir(QString::fromStdString(folder)).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  for (const QString& entry : entries)
    if (platform::asciiEqualsIgnoreCase(entry.toStdString(), name)) return true;
  return false;
}

int CheckEntryCopy(FolderDatabase& source, int kind, int number, FolderDatabase& target, std::string& conflictName,
                   const std::string& sourceFolder, const std::string& targetFolder) {
  std::vector<ItemInfo> pages;
  if (kind != 0) {
    StackInfo stack;
    const int code = source.GetStackInfo(number, stack);
    ShowLastDbError(code, false);
    if (code != 0) return kUnreadable;
    int found = 0, stackNo = 0;
    ShowLastDbError(target.FindStack(stack.Title, found, stackNo), false);
    if (found) {
      conflictName = stack.Title;
      return kStackExists;
    }
  }
  if (!ReadEntryPages(source, kind, number, pages)) return kUnreadable;
  for (const ItemInfo& page : pages) {
    int found = 0, itemNo = 0;
    ShowLastDbError(target.FindItem(page.Title, page.Ext, found, itemNo), false);
    conflictName = fileNameOf(page);
    if (found) return kItemExists;
    if (targetFolder.size() + page.Title.size() + page.Ext.size() + 6 >= static_cast<std::size_t>(kMaxPath))
      return kPathTooLong;
  }
  for (const ItemInfo& page : pages) {
    for (const std::string& name : FileNamesOf(page)) {
      conflictName = name;
      if (!isFile(join(sourceFolder, name))) return kFileMissing;
      if (FileExistsCaseBlind(targetFolder, name)) return kFileExists;
    }
  }
  return kCanCopy;
}

namespace {
std::function<void()>& fileStepHook() {
  static std::function<void()> hook;
  return hook;
}
void fileStep() {
  if (fileStepHook()) fileStepHook()();
}
}  // namespace

void SetFileStepHook(std::function<void()> hook) { fileStepHook() = std::move(hook); }

int CopyFileNoReplace(const std::string& from, const std::string& to, std::string& partial) {
  partial.clear();
  if (!isFile(from)) return ENOENT;
  // The whole copy is made under a hidden name of its own and only then
  // given the target name, which fails rather than replace a file that
  // appeared since. The hidden name stays linked to the copy until its rows
  // are committed: a copy left without rows by a killed process is known as
  // ours when the folder is next opened, and removed there.
  fileStep();
  int error = platform::makePartialCopy(from, to, partial);
  if (error == 0) {
    fileStep();
    error = platform::placePartialCopy(partial, to);
  }
  if (error != 0) {
    platform::releasePartialCopy(partial);
    partial.clear();
  }
  return error;
}

int CopyEntryDocuments(FolderDatabase& source, int kind, int number, const std::string& sourceFolder,
                       const std::string& targetFolder, std::vector<std::string>& copied, std::string& failedName,
                       std::vector<std::string>& partials) {
  copied.clear();
  partials.clear();
  std::vector<ItemInfo> pages;
  if (!ReadEntryPages(source, kind, number, pages)) return EIO;
  for (const ItemInfo& page : pages) {
    for (const std::string& name : FileNamesOf(page)) {
      const std::string to = join(targetFolder, name);
      std::string partial;
      const int error = CopyFileNoReplace(join(sourceFolder, name), to, partial);
      if (error != 0) {
        failedName = name;
        dropCopies(copied, partials);
        return error;
      }
      copied.push_back(to);
      partials.push_back(partial);
    }
  }
  return 0;
}

TransferResult TransferEntry(FolderDatabase& source, int kind, int number, FolderDatabase& target,
                             const std::string& sourceFolder, const std::string& targetFolder, bool copy) {
  TransferResult result;
  std::vector<ItemInfo> pages;
  if (!ReadEntryPages(source, kind, number, pages)) {
    result.outcome = Outcome::RowsFailed;
    result.error = -1;
    return result;
  }
  std::vector<std::string> copied;
  std::vector<std::string> partials;
  result.error =
      CopyEntryDocuments(source, kind, number, sourceFolder, targetFolder, copied, result.failedName, partials);
  if (result.error != 0) {
    result.outcome = Outcome::FilesFailed;
    return result;
  }
  // The rows follow the files: a committed row always names a file that is there.
  int code = source.DupTo(kind, number, target, result.target);
  ShowLastDbError(code, false);
  if (code != 0) {
    dropCopies(copied, partials);
    result.outcome = Outcome::RowsFailed;
    result.error = code;
    return result;
  }
  // Recorded: the copies are the folder's documents now.
  fileStep();
  releaseAll(partials);
  if (result.target.Kind == EntryRef::kStack) {
    StackInfo stack;
    stack.StackNo = result.target.No;
    ShowLastDbError(target.SetStackInfo(stack, fieldmask::kStackPosition), false);
  } else {
    ItemInfo item;
    item.ItemNo = result.target.No;
    ShowLastDbError(target.SetItemInfo(item, fieldmask::kItemPosition), false);
  }
  if (copy) return result;

  DissolvedStack dissolved;
  code = kind != 0 ? source.UnregisterStack(number) : source.UnregisterItem(number, dissolved);
  ShowLastDbError(code, false);
  if (code != 0) {
    // The source stays whole: the target's copy is taken back.
    const int undo = result.target.Kind == EntryRef::kStack ? target.UnregisterStack(result.target.No)
                                                            : target.UnregisterItem(result.target.No, dissolved);
    ShowLastDbError(undo, false);
    if (undo == 0) removeAll(copied);
    result.outcome = Outcome::SourceKept;
    result.error = code;
    return result;
  }
  for (const ItemInfo& page : pages)
    for (const std::string& name : FileNamesOf(page)) {
      fileStep();
      if (DeleteFileForce(join(sourceFolder, name)) != 0) result.sourceFilesLeft.push_back(name);
    }
  return result;
}

}  // namespace entrycopy
