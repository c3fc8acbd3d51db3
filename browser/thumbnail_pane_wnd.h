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
//   OnHScroll, OnVScroll, NewScrollPosition scroll codes (bars and wheel)
//   OnSelectAll, SelectedEntryIndices       the selection
//   BeginItemDrag, DragItems, DropItems,
//   HitTestDropTarget                       dragging tiles
//   BuildPaneMenu, BuildTileMenu,
//   OnPaneCommand, OnTileCommand            context menus and their commands
//
// Drags are followed with the mouse (press, threshold, moves, release); a
// drop outside the board is placed with findOutsideTarget. What the drops
// and commands do to the documents is asked of the owner by signals
// (mergeRequested, deleteRequested, unstackRequested, openRequested,
// viewCommandRequested, ...), which it answers before the signal returns.
//
// Pictures are made lazily, when a tile is first painted, and kept while it
// is bound to its entry.

#include "browser/board_geometry.h"
#include "browser/thumbnail_caption_wnd.h"
#include "browser/thumbnail_item_wnd.h"
#include "browser/title_edit.h"

#include <QAbstractScrollArea>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class PageSelectDlg;
class QMenu;
struct PaneMenuState;
struct TileMenuState;

class ThumbnailBoardSource;
struct CommandResult;
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

  static constexpr int kScrollLine = 30;  // pixels per line step, and per band move past an edge
  static constexpr int kWheelUp = 16;     // scroll codes the wheel posts
  static constexpr int kWheelDown = 17;
  // Requests for the owner that have no command of the view's menus: one
  // page of a stack duplicated, a stack's title dialog.
  static constexpr int kDuplicatePageCommand = 0x8029;
  static constexpr int kStackRenameCommand = 0x8078;

  // Where a drag outside the board is (found by the owner).
  struct OutsideTarget {
    enum Kind { None, Application, Tree };
    Kind kind = None;
    int button = -1;     // application-bar button
    std::string folder;  // tree item's folder
  };

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
  // The selected tiles' entry indices, in board order.
  std::vector<int> SelectedEntryIndices() const;
  void OnSelectAll();
  // Tile index becomes tile.GetIndex() again after tiles left the board.
  void RenumberTiles();
  // The topmost tile under a point of the client area, and its zone.
  ThumbnailItemWnd* TileAt(QPoint client, ThumbnailItemWnd::Zone* zone = nullptr) const;
  void BringToFront(ThumbnailItemWnd* tile);
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
  const std::vector<QRect>& dragRectangles() const { return dragRects_; }
  void SavePositions();

  // Dragging tiles (folder board).
  int BeginItemDrag();
  void DragItems(bool copy, QPoint movement, QPoint globalPos);
  // True when a drag had passed its threshold.
  bool DropItems(bool copy, QPoint client, QPoint globalPos);
  int HitTestDropTarget(QPoint client) const;
  bool isDragging() const { return dragging_; }
  QRect bandRect() const { return bandRect_; }
  std::function<OutsideTarget(QPoint globalPos)> findOutsideTarget;

  // Scrolling: bar codes 0 (line up) to 7 (end), 16 and 17 for the wheel
  // with its amount; thumb codes 4 and 5 take the thumb's position as amount.
  // lastPosition is the bar's maximum (the last position a page can take).
  static int NewScrollPosition(int code, int position, int minimum, int lastPosition, int page, int amount);
  void OnHScroll(int code, int amount);
  void OnVScroll(int code, int amount);

  // Context menus.
  std::unique_ptr<QMenu> BuildPaneMenu();
  std::unique_ptr<QMenu> BuildTileMenu(int tileIndex);
  std::unique_ptr<QMenu> BuildMaintenanceMenu();
  void OnPaneCommand(int commandId);
  void OnTileCommand(int commandId, int tileIndex);
  // Shows a menu at a screen point; the chosen action or null. Tests
  // replace it (the default runs the menu modally).
  std::function<QAction*(QMenu& menu, QPoint globalPos)> menuRunner;
  // Whether a command of the owner's can run now (unset: every command).
  std::function<bool(int commandId)> commandAvailable;
  // The registered applications' menu texts.
  std::function<QStringList()> applicationNames;
  // Runs the page choice dialog modally; its result code (tests answer it).
  std::function<int(PageSelectDlg& dialog)> pageDialogRunner;

  // Titles and pages.
  void BeginTitleEdit(int tileIndex, int which);
  TitleEdit* openTitleEdit() const { return titleEdit_; }
  void OnTitleEditEnd(int controlId, bool cancelled);
  void OnPageStep(int tileIndex, int step);
  // Reads the entry's records again and rebuilds its tile where it stands.
  void RebuildTile(int tileIndex);
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
  // New documents' tiles (a drop, a duplicate, pages taken out of a stack):
  // each stays where it was put when that place is free, else goes to the
  // first free place of the board, so no tile covers another. A large batch
  // goes in rows below the others instead (folder board).
  void SettleNewTiles(const std::vector<int>& indices);
  static constexpr std::size_t kMostTilesSettledOneByOne = 100;
  // Pixels of the title editor beyond its text: frame, margins and cursor.
  static constexpr int kTitleEditSlack = 16;
  // The board arranges its tiles itself after every load.
  bool ArrangesAutomatically() const { return autoArrange_; }
  void ArrangeItems(int key, int resetScroll, int showCount);
  void UpdateScrollExtent(int resetScroll, int showCount);
  // Scrolls so that the tile of entry index lies fully inside the pane.
  void ScrollEntryIntoView(int index);
  // Selects only the tile of that document and scrolls it into view (folder
  // board); nothing when the document is not on the board.
  void SelectItemById(int kind, int number);
  // Marks only the tile of entry index selected.
  void SelectOnly(int index);
  void UpdateScrollBars(int resetScroll, board::Size extent, int showCount);

 signals:
  // The requests a tile makes of the board's owner (the document
  // operations): opening a document.
  void openRequested(int tileIndex);
  // Delete the selected documents (forGood: not to the trash).
  void deleteRequested(bool forGood);
  // Merge the selected documents into the tile's document.
  void mergeRequested(int targetTile);
  // Take the current page out of a stack, or split it into single items.
  void unstackRequested(int tileIndex, bool allPages);
  // Hit board: show the tile's hit in the viewer (2) or its folder (3).
  void hitChosen(int tileIndex, int result);
  // A command of the owner's view (menu and tool-bar id).
  void viewCommandRequested(int commandId);
  // The tiles were dropped on a registered application's button, or on a
  // folder of the tree.
  void applicationDropRequested(int button);
  void folderDropRequested(const std::string& folder, bool copy);
  // The wheel asks for a scroll step (posted to the board itself).
  void scrollRequested(Qt::Orientation orientation, int code, int amount);
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
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  struct Press {
    ThumbnailItemWnd* tile = nullptr;
    ThumbnailItemWnd::Zone zone = ThumbnailItemWnd::Zone::None;
    bool modifiers = false;  // Shift or Ctrl at the press
    bool selectedBefore = false;
    Qt::MouseButton button = Qt::NoButton;
  };
  enum class DragState { Outside, Board, Tree, Application };

  void bandMove(QPoint client);
  void bandEnd();
  void tidyAfterChange();
  DragState dragStateAt(QPoint globalPos, OutsideTarget& outside) const;
  void setDragCursor(DragState state, bool copy);
  void runMenu(std::unique_ptr<QMenu> menu, QPoint globalPos, int tileIndex);
  bool available(int commandId) const { return !commandAvailable || commandAvailable(commandId); }
  bool anySelectedImage();
  void scrollBy(QScrollBar* bar, bool shown, int code, int amount);

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
  // Tells a rename's message, edits a title that may be corrected again and
  // shows a new one on its caption.
  void showRenameResult(ThumbnailItemWnd& tile, int which, const CommandResult& result);

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
  // Drag and band.
  bool dragBegun_ = false;  // rectangles exist: the first move after a press was seen
  bool dragging_ = false;   // the threshold was passed
  QPoint lastDragPoint_;
  DragState dragState_ = DragState::Outside;
  OutsideTarget outside_;
  bool band_ = false;
  QPoint bandAnchor_;
  QRect bandRect_;
  bool rightOnBackground_ = false;
  bool deletePressed_ = false;
  int hoverIndex_ = -2;
  QPointer<TitleEdit> titleEdit_;
  ThumbnailItemWnd* titleEditTile_ = nullptr;
  int titleEditWhich_ = 0;
};
