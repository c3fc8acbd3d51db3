#pragma once
// BoardCopyMove: the selected documents of the folder board carried into
// another folder, for tiles dropped on a folder of the tree (copy with Ctrl,
// else move).
//
// The list pane carries its selected rows the same way (CopyMoveEntries).
//
// Each document goes whole or not at all (shell/entry_copy): a refused or
// failed document keeps its tile and its entry; a move removes only the
// documents that arrived in the target.

#include <functional>
#include <string>
#include <vector>

class CFD3Doc;
class ThumbnailPaneWnd;

class BoardCopyMove {
 public:
  BoardCopyMove(ThumbnailPaneWnd& board, CFD3Doc& document) : board_(board), document_(document) {}

  // The folder limit of the settings (documents per folder, pages counted).
  std::function<int()> folderLimit;

  // targetFolder: the tree item's full path; targetText: its display text.
  void CopyMoveToFolder(const std::string& targetFolder, const std::string& targetText, bool copy);
  // The same for the given entries in their order (the list's selected
  // rows); a moved entry leaves the entry list, and its row or tile with it.
  void CopyMoveEntries(const std::vector<int>& entryIndices, const std::string& targetFolder,
                       const std::string& targetText, bool copy);

 private:
  ThumbnailPaneWnd& board_;
  CFD3Doc& document_;
};
