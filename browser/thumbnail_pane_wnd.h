#pragma once
// ThumbnailPaneWnd: the board of thumbnail tiles, the right pane in
// thumbnail mode. For now an empty board that counts the tiles the browser
// view adds for the document's entries; the tiles themselves come with the
// board's own code.

#include <QFrame>

struct ItemInfo;
struct StackInfo;

class ThumbnailPaneWnd : public QFrame {
  Q_OBJECT
 public:
  static constexpr int kControlId = 2002;
  // The arrangement key of the board's visual order (after every load).
  static constexpr int kVisualOrder = 13;

  explicit ThumbnailPaneWnd(QWidget* parent = nullptr);

  int tileCount() const { return tileCount_; }

  void SetRedraw(bool on) { setUpdatesEnabled(on); }
  // Invalidates, erases and repaints at once.
  void RedrawNow() { repaint(); }
  void RemoveAllItems() { tileCount_ = 0; }
  // A tile for entry index of the document's entry list; stack is null for a
  // single item, item is the item or the stack's current page (may be null).
  void AddItem(int, const StackInfo*, const ItemInfo*) { ++tileCount_; }
  void RemoveItemAt(int) { --tileCount_; }
  // Gives every tile without a place a place on the board.
  void PlaceNewItems() {}
  // The board arranges its tiles itself after every load.
  bool ArrangesAutomatically() const { return false; }
  void ArrangeItems(int, int, int) {}
  void UpdateScrollExtent(int, int) {}
  // Scrolls so that the tile of entry index lies fully inside the pane.
  void ScrollEntryIntoView(int) {}
  // Marks only the tile of entry index selected.
  void SelectOnly(int) {}

 private:
  int tileCount_ = 0;
};
