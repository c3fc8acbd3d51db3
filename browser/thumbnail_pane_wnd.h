#pragma once
// ThumbnailPaneWnd: the thumbnail board. One scrolling widget paints every
// tile (ThumbnailItemWnd, light objects with zones) of its owner's entry
// list; tile i always shows entry i. The same class serves the folder board
// of the browser (mode 1: positions and sort orders live in the folder's
// catalogue) and the search dialog's hit board (mode 2: always arranged,
// nothing written back). The owner is reached through ThumbnailBoardSource.
//
//   AddItem, RemoveAllItems, RemoveItemAt   tiles, kept in a pool for reuse
//   SetFontSize                             the three caption fonts
//   SortItems, ArrangeItems                 orders and rows (board_geometry)
//   UpdateScrollExtent, UpdateScrollBars    the extent and the bars
//   PlaceNewItems, SavePositions            positions of new and dragged tiles
//   BeginTitleEdit, OnTitleEditEnd          renaming in place
//   OnPageStep                              a stack's page counter
//   RefreshThumbnail                        a document changed elsewhere
//
// Pictures are made lazily, when a tile is first painted, and kept while it
// is bound to its entry.

#include "browser/board_geometry.h"
#include "browser/thumbnail_caption_wnd.h"
#include "browser/thumbnail_item_wnd.h"
#include "browser/title_edit.h"

#include <QAbstractScrollArea>
#include <QPointer>

#include <memory>
#include <vector>

class ThumbnailBoardSource;
struct ItemInfo;
struct StackInfo;

// The board's settings of section "Browser", as the frame holds them.
struct BoardSettings {
  int autoSort = 0;        // AutoSort: non-zero arranges after every change
  int fontSize = 120;      // KankyoShowFontSize, tenths of a point
  int backColor = 0xFFFFFF;  // KankyoColorBackColor, 0x00BBGGRR
  int itemColor = 0xF0F0F0;  // KankyoColorItemColor, 0x00BBGGRR
  bool showExtension = false;  // KankyoShowExtMode
  int bmpResolution = 400;     // KankyoBmpRes
};

class ThumbnailPaneWnd : public QAbstractScrollArea {
  Q_OBJECT

 public:
  static constexpr int kControlId = 2002;
  static constexpr int kFolderBoard = 1;
  static constexpr int kHitBoard = 2;
  static constexpr int kSortNone = 0;
  static constexpr int kSortTitle = 1;
  static constexpr int kSortIssueDate = 7;
  static constexpr int kSortModified = 9;
  static constexpr int kSortAccessed = 11;
  static constexpr int kSortVisual = 13;
  static constexpr int kVisualOrder = kSortVisual;  // the arrangement after every load
  static constexpr int kUpperCaption = 1;
  static constexpr int kLowerCaption = 2;

  explicit ThumbnailPaneWnd(QWidget* parent = nullptr, int mode = kFolderBoard);
  ~ThumbnailPaneWnd() override;

  int mode() const { return mode_; }
  void SetSource(ThumbnailBoardSource* source) { source_ = source; }
  ThumbnailBoardSource* source() const { return source_; }
  // Mode 1 takes AutoSort from the settings; mode 2 always arranges.
  void ApplySettings(const BoardSettings& settings);
  const BoardSettings& settings() const { return settings_; }

  // Tiles.
  int AddTile(int index, const StackInfo* stack, const ItemInfo* item);
  int RemoveItemAt(int index);
  int tileCount() const { return static_cast<int>(tiles_.size()); }
  ThumbnailItemWnd* Tile(int index) const;
  int poolSize() const { return static_cast<int>(pool_.size()); }
  int SelectedCount() const;
  // Entry indices of the selected tiles, in tile order.
  std::vector<int> SelectedEntryIndices() const;
  // The topmost tile under a point of the client area, and its zone.
  ThumbnailItemWnd* TileAt(QPoint client, ThumbnailItemWnd::Zone* zone = nullptr) const;
  void BringToFront(ThumbnailItemWnd* tile);
  ThumbnailItemWnd* focusedTile() const { return focused_; }
  void SetDropTarget(int index);
  int dropTarget() const { return dropTarget_; }
  // Makes the picture of a tile now (painting does it for visible tiles).
  void EnsurePicture(ThumbnailItemWnd& tile);

  // Fonts, orders and rows.
  void SetFontSize(int tenthsOfPoint);
  const CaptionFonts& fonts() const { return *fonts_; }
  int SortItems(int key);
  board::Point scrollPosition() const;
  board::Size extent() const { return extent_; }
  bool autoArrange() const { return autoArrange_; }

  // Positions.
  // The drag leaves one rectangle per selected tile, in client coordinates
  // of the board, in the order of the selected tiles.
  void SetDragRectangles(std::vector<QRect> rectangles) { dragRects_ = std::move(rectangles); }
  void SavePositions();

  // Titles and pages.
  void BeginTitleEdit(int tileIndex, int which);
  TitleEdit* openTitleEdit() const { return titleEdit_; }
  void OnTitleEditEnd(int controlId, bool cancelled);
  void OnPageStep(int tileIndex, int step);
  void RefreshThumbnail(int kind, int number);

  // What the browser view asks of the board while it shows the document.
  void SetRedraw(bool on);
  // Invalidates, erases and repaints at once.
  void RedrawNow();
  void RemoveAllItems();
  // A tile for entry index of the owner's entry list; stack is null for a
  // single item, item is the item or the stack's current page (may be null).
  void AddItem(int index, const StackInfo* stack, const ItemInfo* item) { AddTile(index, stack, item); }
  // Gives every tile without a place a place on the board (folder board).
  void PlaceNewItems();
  // The board arranges its tiles itself after every load.
  bool ArrangesAutomatically() const { return autoArrange_; }
  void ArrangeItems(int key, int resetScroll, int showCount);
  void UpdateScrollExtent(int resetScroll, int showCount);
  // Scrolls so that the tile of entry index lies fully inside the pane.
  void ScrollEntryIntoView(int index);
  // Marks only the tile of entry index selected.
  void SelectOnly(int index);
  void UpdateScrollBars(int resetScroll, board::Size extent, int showCount);

 signals:
  // The requests a tile makes of the board's owner (the document
  // operations): opening a document.
  void openRequested(int tileIndex);
  // Tiles were selected or deselected, or the tiles changed.
  void selectionChanged();

 protected:
  bool viewportEvent(QEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  struct Press {
    ThumbnailItemWnd* tile = nullptr;
    ThumbnailItemWnd::Zone zone = ThumbnailItemWnd::Zone::None;
    bool modifiers = false;  // Shift or Ctrl at the press
    bool selectedBefore = false;
  };

  void paintBoard(QPaintEvent* event);
  TileContent contentFor(int index, const StackInfo* stack, const ItemInfo* item);
  void rebuildTile(ThumbnailItemWnd& tile, int index, const StackInfo* stack, const ItemInfo* item);
  void pushTile(ThumbnailItemWnd& tile, int index);
  void invalidateTile(const ThumbnailItemWnd& tile);
  void writeMovedPositions(const std::vector<ThumbnailItemWnd*>& moved);
  void sortEntriesOfHits(int key, std::vector<int>& order) const;
  void applyOrder(const std::vector<int>& order);
  QString documentTitle(const ItemInfo& item) const;
  int scrollBarExtent() const;
  void closeTitleEdit();
  void titleEditFailed(int tileIndex, int which, const std::string& message, bool reopen);
  void endTitleEditOnStack(ThumbnailItemWnd& tile, const std::string& title);
  void endTitleEditOnDocument(ThumbnailItemWnd& tile, const std::string& title);

  int mode_;
  ThumbnailBoardSource* source_ = nullptr;
  BoardSettings settings_;
  std::unique_ptr<CaptionFonts> fonts_;
  std::vector<std::unique_ptr<ThumbnailItemWnd>> tiles_;
  // One slot per tile ever made: slots below the tile count are empty, the
  // others hold hidden tiles ready for reuse.
  std::vector<std::unique_ptr<ThumbnailItemWnd>> pool_;
  std::vector<ThumbnailItemWnd*> zOrder_;  // bottom first
  std::vector<QRect> dragRects_;
  board::Size extent_;
  bool autoArrange_ = false;
  bool verticalShown_ = false;
  bool horizontalShown_ = false;
  bool inScrollUpdate_ = false;
  int dropTarget_ = -1;
  ThumbnailItemWnd* focused_ = nullptr;
  Press press_;
  int hoverIndex_ = -2;
  QPointer<TitleEdit> titleEdit_;
  ThumbnailItemWnd* titleEditTile_ = nullptr;
  int titleEditWhich_ = 0;
};
