#pragma once
// The viewer face of the main window, as the frame and the browser view see
// it. The viewer library implements it; the frame forwards OpenViewer,
// CloseViewer and QuerySaveDocument to it, so that neither the shell nor the
// browser links the viewer.

#include <string>
#include <vector>

class FolderDatabase;

// What the browser view hands over when it switches to the viewer.
struct ViewerRequest {
  // One document of the open folder with its place on the thumbnail board
  // (board coordinates of its tile's top centre; 0, 0 when not placed).
  struct BoardEntry {
    int kind = 0;  // 1 stack, 0 single item
    int number = 0;
    int x = 0;
    int y = 0;
  };
  FolderDatabase* database = nullptr;  // the document's open catalogue
  std::string folderPath;              // without trailing slash
  int kind = 0;                        // the document to show
  int number = 0;
  int page = 0;  // 1-based; 0: a stack's current page, an item's only page
  // 1, 2, 7-12: the catalogue's sorted order; anything else (13): the order
  // of the board positions below.
  int sortKey = 13;
  std::vector<BoardEntry> boardEntries;
};

class ViewerFace {
 public:
  virtual ~ViewerFace() = default;
  virtual void OpenViewer(const ViewerRequest& request) = 0;
  // false: the user cancelled; the viewer stays.
  virtual bool CloseViewer(bool offerCancel) = 0;
  virtual bool QuerySaveDocument(bool offerCancel) = 0;
};
