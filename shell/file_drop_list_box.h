#pragma once
// FileDropListBox: the folder list of the migration dialog. Files and
// folders dropped on it from the desktop are handed to its owner as folders
// (a file stands for the folder that holds it).
//
//   FoldersOfDroppedPaths   the rule: missing paths skipped, files -> folder

#include <QListWidget>
#include <QUrl>

#include <functional>
#include <string>
#include <vector>

// For each dropped path in order: a path that does not exist is skipped, a
// file gives the folder that holds it, a folder is taken as it is.
std::vector<std::string> FoldersOfDroppedPaths(const std::vector<std::string>& paths);

class FileDropListBox : public QListWidget {
  Q_OBJECT
 public:
  explicit FileDropListBox(QWidget* parent = nullptr);

  // The owner's handler of the dropped folders (the migration dialog's
  // AddDroppedFolders).
  std::function<void(const std::vector<std::string>& folders)> onFoldersDropped;
  // What a drop of these URLs does (local files only).
  void DropUrls(const QList<QUrl>& urls);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
};
