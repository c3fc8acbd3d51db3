#include "shell/file_drop_list_box.h"

#include "platform/paths.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

std::vector<std::string> FoldersOfDroppedPaths(const std::vector<std::string>& paths) {
  std::vector<std::string> folders;
  for (const std::string& path : paths) {
    const QFileInfo info(QString::fromStdString(path));
    if (!info.exists()) continue;
    if (info.isDir()) {
      folders.push_back(path);
      continue;
    }
    const std::string parent = platform::parentPath(path);
    if (!parent.empty()) folders.push_back(parent);
  }
  return folders;
}

FileDropListBox::FileDropListBox(QWidget* parent) : QListWidget(parent) {
  setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);
  viewport()->setAcceptDrops(true);
}

void FileDropListBox::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void FileDropListBox::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void FileDropListBox::dropEvent(QDropEvent* event) {
  event->acceptProposedAction();
  DropUrls(event->mimeData()->urls());
}

void FileDropListBox::DropUrls(const QList<QUrl>& urls) {
  std::vector<std::string> paths;
  for (const QUrl& url : urls)
    if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
  if (onFoldersDropped) onFoldersDropped(FoldersOfDroppedPaths(paths));
}
