#pragma once
// FolderTreeDrop: files dragged from another program and dropped on a folder
// of the tree are imported into that folder (on empty space: the selected
// folder). It watches the tree's viewport as an event filter.

#include "browser/local_file_drop.h"

#include <QPoint>

#include <string>
#include <vector>

class CFD3Doc;
class FolderTree;

class FolderTreeDrop : public LocalFileDrop {
  Q_OBJECT
 public:
  // Installs itself on tree (which owns it).
  FolderTreeDrop(FolderTree* tree, CFD3Doc& doc);
  // Imports names into the folder under clientPoint (viewport coordinates).
  void OnDropFiles(QPoint clientPoint, const std::vector<std::string>& names) override;

 private:
  FolderTree* tree_;
  CFD3Doc& doc_;
};
