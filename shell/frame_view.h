#pragma once
// What the main frame asks of its central view (the browser view): the frame
// knows the view only through this interface, since the view lives in a
// library above the frame's.

#include <string>

class FrameView {
 public:
  virtual ~FrameView() = default;
  // Shows the folder tree of a desktop (root folder path).
  virtual void BuildFolderTreeForDesktop(const std::string& desktopRoot) = 0;
  // Selects and opens a folder of the tree: 1 selected, -1 not found, 0 the
  // desktop itself.
  virtual int SelectFolderInTree(const std::string& folderPath) = 0;
  // Reads the subfolders of the folder selected in the tree again.
  virtual void RefreshSelectedFolder() {}
};
