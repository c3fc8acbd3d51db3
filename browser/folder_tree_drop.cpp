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

namespace {

bool hasLocalFiles(const QMimeData* data) {
  if (!data || !data->hasUrls()) return false;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) return true;
  return false;
}

}  // namespace

FolderTreeDrop::FolderTreeDrop(FolderTree* tree, CFD3Doc& doc) : QObject(tree), tree_(tree), viewport_(tree->viewport()), doc_(doc) {
  tree_->setAcceptDrops(true);
  tree_->viewport()->setAcceptDrops(true);
  tree_->viewport()->installEventFilter(this);
}

bool FolderTreeDrop::eventFilter(QObject* watched, QEvent* event) {
  if (watched != viewport_) return false;
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDropEvent*>(event);
      if (!hasLocalFiles(drag->mimeData())) return false;
      drag->setDropAction(Qt::CopyAction);
      drag->accept();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (!hasLocalFiles(drop->mimeData())) return false;
      std::vector<std::string> names;
      for (const QUrl& url : drop->mimeData()->urls())
        if (url.isLocalFile()) names.push_back(url.toLocalFile().toStdString());
      drop->setDropAction(Qt::CopyAction);
      drop->accept();
      OnDropFiles(drop->position().toPoint(), names);
      return true;
    }
    default:
      return false;
  }
}

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
