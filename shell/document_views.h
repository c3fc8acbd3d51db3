#pragma once
// What the document asks of the browser's panes. The panes implement these
// small interfaces; the document never includes a view header, and tests
// hand it recording fakes.
//
//   ThumbnailPaneSink  the board of tiles
//   ListPaneSink       the report-style list
//   FolderTreeSink     the folder tree
//   DocumentViews      the view side of one document: which pane is active
//                      and where the panes are

struct ItemInfo;
struct StackInfo;

class ThumbnailPaneSink {
 public:
  virtual ~ThumbnailPaneSink() = default;
  virtual void SetRedraw(bool on) = 0;
  // Invalidates, erases and repaints at once.
  virtual void RedrawNow() = 0;
  virtual void RemoveAllItems() = 0;
  // A tile for entry index of the document's entry list; stack is null for a
  // single item, item is the item or the stack's current page (may be null).
  virtual void AddItem(int index, const StackInfo* stack, const ItemInfo* item) = 0;
  virtual void PlaceNewItems() = 0;
  // The pane arranges its tiles itself after every load.
  virtual bool ArrangesAutomatically() const = 0;
  virtual void ArrangeItems(int arrangement, int layoutFlag, int redraw) = 0;
  virtual void UpdateScrollExtent(int layoutFlag, int redraw) = 0;
  // Scrolls so that the tile of entry index lies fully inside the pane.
  virtual void ScrollEntryIntoView(int index) = 0;
  // Marks only the tile of entry index selected.
  virtual void SelectOnly(int index) = 0;
};

class ListPaneSink {
 public:
  virtual ~ListPaneSink() = default;
  virtual void DeleteAllRows() = 0;
  virtual void UpdateEntry(int index, const StackInfo* stack, const ItemInfo* item) = 0;
  // Refills every row from the entry list (first = -1: all rows).
  virtual void Fill(int first, int redraw) = 0;
  // Scrolls the row of entry index into view and selects only that row.
  virtual void SelectOnlyRow(int index) = 0;
};

class FolderTreeSink {
 public:
  virtual ~FolderTreeSink() = default;
  virtual void ClearSelection() = 0;
};

class DocumentViews {
 public:
  virtual ~DocumentViews() = default;
  virtual ThumbnailPaneSink* thumbnailPane() = 0;
  virtual ListPaneSink* listPane() = 0;
  virtual FolderTreeSink* folderTree() = 0;
  // Brings the main window to the front before a message that concerns it.
  virtual void BringMainWindowForward() {}
};
