#include "browser/document_rename.h"

#include "platform/file_ops.h"
#include "platform/paths.h"
#include "platform/sjis_codec.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

namespace {

bool exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool isReadOnly(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0;
}

// Whether some entry of folder other than `own` is named `name`, ASCII case
// ignored.
bool nameTakenCaseBlind(const std::string& folder, const std::string& name, const std::string& own) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) return exists(platform::joinPath(folder, name)) && name != own;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string found = entry->d_name;
    if (found != own && platform::asciiEqualsIgnoreCase(found, name)) return true;
  }
  return false;
}

}  // namespace

DocumentRename RenameDocumentFiles(const std::string& folder, const std::string& oldName,
                                   const std::string& newName, const std::string& textExt) {
  const std::string oldPath = platform::joinPath(folder, oldName);
  if (!exists(oldPath)) return DocumentRename::Done;
  if (isReadOnly(oldPath)) return DocumentRename::ReadOnly;
  const std::string newPath = platform::joinPath(folder, newName);
  const bool hasText = !textExt.empty() && exists(oldPath + "." + textExt);
  const std::string oldTextName = oldName + "." + textExt;
  const std::string newTextName = newName + "." + textExt;

  if (nameTakenCaseBlind(folder, newName, oldName)) return DocumentRename::NameTaken;
  if (hasText && nameTakenCaseBlind(folder, newTextName, oldTextName)) return DocumentRename::TextNameTaken;

  if (platform::renameNoReplace(oldPath, newPath) != 0) return DocumentRename::Failed;
  if (hasText && platform::renameNoReplace(platform::joinPath(folder, oldTextName),
                                           platform::joinPath(folder, newTextName)) != 0) {
    platform::renameNoReplace(newPath, oldPath);
    return DocumentRename::TextFailed;
  }
  return DocumentRename::Done;
}
