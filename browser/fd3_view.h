#pragma once
// CFD3View: the browser, the main window's central widget. On the left the
// folder tree of the current desktop, on the right the thumbnail board or
// the list of the open folder, between them a separator the user drags. The
// viewer container covers the whole view while a page is viewed.
//
//   OnInitialUpdate / OnDestroy   read and write "SeparatePos" and "RightMode"
//   LayoutPanes                   the geometry rule of the panes
//   OnViewThumbnail, OnViewList   the right-pane mode
//   OnFileNewFolder, OnViewRefresh
//   OnApplicationStateChanged     a refresh when the user comes back to a
//                                 folder that changed on disk meanwhile
//   AttachToFrame                 becomes the frame's central widget and
//                                 takes the browser's commands
//   ShowImageInfoInStatusBar      size, format and depth of a hovered image
//   RefreshThumbnail              a tile's picture and captions read afresh
//   CommandEnabled, UpdateCommandStates   the enable rules of the pane commands
//   OnEditDelete, OnEditSelectAll, OnEditStack, OnEditUnstackOne,
//   OnEditUnstackAll, OnFileOpen          the board's document commands
//   SetViewerOpener, OpenInViewer         how a page image reaches the viewer
//
// Attached to the program's document, the view observes it: the document's
// changes reach the active pane (board or list) and the folder tree here.

#include "browser/page_print.h"
#include "browser/thumbnail_pane_wnd.h"
#include "shell/document_observer.h"
#include "shell/document_views.h"
#include "shell/frame_view.h"

#include <QPoint>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class BoardCopyMove;
class EntryClipboardCommands;
class BoardOperations;
class BrowserDocument;
class CFD3Doc;
class FolderBoardSource;
class CListPane;
struct DisplayEntry;
class QPrinter;
class CMainFrame;
class FolderTree;
class ThumbnailPaneWnd;

// The main window's application-bar button under a screen point (kind
// Application with its index), else no target.
ThumbnailPaneWnd::OutsideTarget ApplicationButtonAt(CMainFrame* frame, QPoint globalPos);

class CFD3View : public QWidget, public DocumentViews, public DocumentObserver, public FrameView {
  Q_OBJECT

 public:
  static constexpr int kDefaultSeparatorPos = 230;
  static constexpr int kMinPaneWidth = 176;  // pixels left to each side of the separator
  static constexpr int kMargin = 8;
  static constexpr int kHalfGap = 4;
  static constexpr int kViewerContainerId = 59454;
  static constexpr int kThumbnailMode = 1;
  static constexpr int kListMode = 2;

  explicit CFD3View(QWidget* parent = nullptr);
  ~CFD3View() override;

  void SetDocument(BrowserDocument* document);
  // Shows the program's document: the document's panes are this view's, and
  // the view reaches the document through an adapter of its own.
  void AttachDocument(CFD3Doc* document);
  // Becomes frame's central widget and handles the browser's commands.
  void AttachToFrame(CMainFrame* frame);

  void OnInitialUpdate();
  // Writes the layout settings; runs once (also from the destructor).
  void OnDestroy();
  void LayoutPanes(int width, int height);

  int separatorPosition() const { return separatorPos_; }
  bool isDraggingSeparator() const { return dragging_; }
  int trackX() const { return trackX_; }
  bool viewerShown() const { return viewerShown_; }
  int paneMode() const;

  FolderTree* GetFolderTree() const { return tree_; }
  ThumbnailPaneWnd* GetThumbnailPane() const { return board_; }
  CListPane* GetListPane() const { return list_; }
  QWidget* GetViewerContainer() const { return viewer_; }

  void OnViewThumbnail();
  void OnViewList();
  void OnFileNewFolder();
  void OnViewRefresh();
  // The program lost the user (inactive) or got them back (active). Coming
  // back, the open folder is refreshed when its modification stamp differs
  // from the one taken on leaving, so files added from outside appear.
  void OnApplicationStateChanged(Qt::ApplicationState state);
  // The program's view follows the application's state (the program sets
  // this up; tests call OnApplicationStateChanged themselves).
  void FollowApplicationState();
  // The folder's modification stamp, nullopt when it cannot be read; tests
  // give their own.
  using FolderStamp = std::function<std::optional<std::int64_t>(const std::string& folder)>;
  void SetFolderStamp(FolderStamp stamp) { folderStamp_ = std::move(stamp); }

  // -1 empties the three image panes of the status bar.
  void ShowImageInfoInStatusBar(int entryIndex);
  // The image information of the one selected entry, read afresh (a rotation
  // may have changed it); with no or several entries selected, none.
  void ShowSelectionImageInfo();
  void RefreshThumbnail(int kind, int number);
  // Whether a browser command may run now (its update rule); the commands
  // this view handles are enabled and disabled by it.
  bool CommandEnabled(int commandId) const;
  void UpdateCommandStates();
  void OnArrange(int commandId);
  void OnFileRename();
  void OnEditDelete();
  void OnEditSelectAll();
  void OnEditStack();
  void OnEditUnstackOne();
  void OnEditUnstackAll();
  void OnEditDuplicate();
  void OnEditReorderPages();
  // The list's stack title entry: the title change dialog for its row.
  void OnListStackTitle();
  void OnFileOpen();
  // ---- launching and mail (browser/fd3_view_launch.cpp) -------------------
  // Registered application `index` on the active pane's selected documents
  // (menu entry, application-bar button, tiles or rows dropped on a button).
  void OnLaunchApplication(int index);
  // The mail command: the active pane's selected documents by mail.
  void OnSendMail();
  // The folder tree or application-bar button under a global point.
  ThumbnailPaneWnd::OutsideTarget outsideTargetAt(QPoint globalPos) const;
  // ---- end of launching ----------------------------------------------------
  // ---- rotation and printing of the selection (browser/fd3_view_print.cpp) --
  // Whether the entry prints under the two flags: an image when images
  // print, another file when its extension is listed; a stack when one of
  // its pages does.
  bool EntryQualifies(const DisplayEntry& entry, bool images, bool listed) const;
  // Whether some selected entry of the active pane qualifies; false when
  // both flags are off or the folder's catalogue does not open.
  bool AnySelectedPrintable(bool images, bool listed) const;
  void OnRotateRight();
  void OnRotate180();
  void OnRotateLeft();
  void OnFilePrint();
  // The frame's print settings (defaults without a frame); tests replace it.
  std::function<PagePrintSettings()> printSettings;
  // Runs the print dialog on the printer; false for Cancel. Tests replace it.
  std::function<bool(QPrinter&)> printSetup;
  PrintCommandRunner printCommand = DefaultPrintCommand();
  // The print list of the selection: board order, a stack's pages in order.
  std::vector<PrintListEntry> CollectPrintList() const;
  // ---- end of rotation and printing -----------------------------------------
  // ---- OCR (browser/fd3_view_ocr.cpp) ---------------------------------------
  // The board's and the list's OCR command: the selected images read into
  // their attached texts.
  void OcrSelectionToText();
  // The board's document operations (null while no document is attached).
  BoardOperations* boardOperations() const { return operations_.get(); }
  BoardCopyMove* boardCopyMove() const { return copyMove_.get(); }
  EntryClipboardCommands* entryClipboard() const { return clipboard_.get(); }

  // The viewer shows page `page` (from 1) of entry entryIndex; set by the
  // program where the viewer is made. OpenInViewer is false when no opener
  // is set or the opener refused.
  void SetViewerOpener(std::function<bool(int entryIndex, int page)> opener) { viewerOpener_ = std::move(opener); }
  bool OpenInViewer(int entryIndex, int page);

  // DocumentViews
  bool ViewerShown() const override { return viewerShown_; }
  void BringMainWindowForward() override;

  // DocumentObserver
  void EntriesCleared(DocumentChanges changes) override;
  void EntryAdded(int index, const StackInfo* stack, const ItemInfo* item) override;
  void EntryRemoved(int index) override;
  void EntryChanged(int index, DocumentChanges changes) override;
  void DocumentChanged(DocumentChanges changes) override;

  // FrameView
  void BuildFolderTreeForDesktop(const std::string& desktopRoot) override;
  int SelectFolderInTree(const std::string& folderPath) override;
  void RefreshSelectedFolder() override;

  // ---- viewer mode (browser/fd3_view_viewer.cpp) -------------------------
  // Covers the view with the viewer on entry i (page 0: the stack's current
  // page); the browser's bars and menus give way to the viewer's.
  void SwitchToViewerMode(int entryIndex, int page = 0);
  // 0: the browser is back; 1: the viewer stays (the user cancelled).
  int SwitchToBrowserMode(bool offerCancel);
  // The frame's return to the browser (its command, closing the window, the
  // end of the session) goes through SwitchToBrowserMode.
  void AttachViewerToFrame();
  // ---- end of viewer mode --------------------------------------------------

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void installPrintDefaults();
  void rotateSelection(int degrees);
  bool inGripZone(int x, int y) const;
  void showPanesForMode(int mode);
  void setPaneMode(int mode);
  void moveTrackLine(int x);
  void OnFolderTreeSelChanged();
  void connectBoard();
  // The first selected tile's index on the board, or -1.
  int firstSelectedTile() const;
  // The list's opening, drags and dropped files (with the document), and
  // the launch and mail commands (with the frame).
  void attachListLaunching(CFD3Doc& document);
  void attachLaunchCommands(CMainFrame& frame);
  std::vector<int> activeSelection() const;
  // Whether the frame would run a command now.
  bool frameCommandAvailable(int commandId) const;

  BrowserDocument* document_ = nullptr;
  CFD3Doc* attachedDocument_ = nullptr;
  std::unique_ptr<BrowserDocument> documentAdapter_;
  std::unique_ptr<FolderBoardSource> boardSource_;
  std::unique_ptr<BoardOperations> operations_;
  std::unique_ptr<BoardCopyMove> copyMove_;
  std::unique_ptr<EntryClipboardCommands> clipboard_;
  std::function<bool(int, int)> viewerOpener_;
  std::vector<int> handledCommands_;
  int lastInfoIndex_ = -1;
  FolderStamp folderStamp_;
  std::string leftFolder_;  // the open folder when the user left, and its stamp
  std::optional<std::int64_t> leftStamp_;
  CMainFrame* frame_ = nullptr;
  FolderTree* tree_ = nullptr;
  ThumbnailPaneWnd* board_ = nullptr;
  CListPane* list_ = nullptr;
  QWidget* viewer_ = nullptr;
  QWidget* trackLine_ = nullptr;
  int separatorPos_ = kDefaultSeparatorPos;
  int ownPaneMode_ = kThumbnailMode;  // while no document is attached
  bool dragging_ = false;
  int trackX_ = 0;
  bool viewerShown_ = false;
  bool destroyed_ = false;
  // ---- viewer mode state ----
  bool mainToolBarWasShown_ = true;
  bool applicationBarWasShown_ = true;
  bool desktopBarWasShown_ = true;
  QPoint savedScroll_;
  // ---- end of viewer mode state ----
};
