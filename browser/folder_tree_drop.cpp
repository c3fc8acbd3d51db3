#include "browser/folder_tree_drop.h"

#include "browser/board_file_drop.h"
#include "browser/folder_tree.h"
#include "catalogue/file_utilities.h"
#include "platform/paths.h"
#include "shell/entry_holder.h"
#include "shell/fd3_doc.h"
#include "shell/import_command.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTreeWidgetItem>
#include <QUrl>

FolderTreeDrop::FolderTreeDrop(FolderTree* tree, CFD3Doc& doc) : LocalFileDrop(tree), tree_(tree), doc_(doc) {}

void FolderTreeDrop::OnDropFiles(QPoint clientPoint, const std::vector<std::string>& names) {
  QTreeWidgetItem* item = tree_->itemAt(clientPoint);
  if (!item) item = tree_->currentItem();
  if (!item) return;
  const std::string folder = platform::withoutTrailingSlash(tree_->GetItemPath(item));
  const std::string shown = platform::withoutTrailingSlash(doc_.EntryList().GetFolderPath());
  if (folder.empty() || CheckDiskFree(platform::withTrailingSlash(folder))) return;
  std::vector<ImportLoopFile> files;
  for (const std::string& name : names) files.push_back({name, std::nullopt});
  bool folderTold = false;
  ImportFileLoop(doc_, folder, files, tree_->window(),
                 [&](const std::string& path) { return BoardFileDrop::AdmitDroppedName(doc_, path, folderTold); });
  // The import shows the folder it filled; the board goes back to the
  // folder selected in the tree.
  if (folder != shown && !shown.empty()) doc_.LoadFolder(platform::withTrailingSlash(shown), 0);
}
