#pragma once
// BoardOperations: what the folder board's drops and commands do to the
// documents. Each operation changes the folder's catalogue first and then
// brings the document's entry list into line in place (the folder is not
// reloaded); the board follows the entry list as the document's observer,
// so tile i keeps showing entry i.
//
//   MergeIntoStack           selected tiles dropped on another tile
//   StackSelection           the view's stack command
//   UnstackOne, UnstackAll   a stack's current page out; the stack split
//   DeleteSelected           to the trash or for good (EntryCommands)
//   OpenItem                 the viewer for a page image, else the desktop's
//                            application for the file
//   RotateSelection          the selected images turned on disk, with their
//                            stored thumbnails

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue_records.h"

class CFD3Doc;
class FolderDatabase;
class ProgressReporter;
class ThumbnailPaneWnd;
class TitleChangeDlg;
struct DisplayEntry;
struct MergeElement;

class BoardOperations {
 public:
  static constexpr int kTitleSuffixLimit = 10000;  // "(%d)" tried up to this number

  BoardOperations(ThumbnailPaneWnd& board, CFD3Doc& document) : board_(board), document_(document) {}

  // Opens a page image in the viewer (entry index, page from 1); false when
  // none is there.
  std::function<bool(int entryIndex, int page)> openInViewer;

  void MergeIntoStack(int targetTile);
  void StackSelection();
  void UnstackOne(int tileIndex);
  void UnstackAll(int tileIndex);
  // The delete request on the selected tiles (EntryCommands::Delete); the
  // board is tidied after.
  void DeleteSelected(bool forGood);
  void OpenItem(int tileIndex);

  // The most items a folder may hold (the main window's setting).
  int folderMax = 2000;
  // Position of a duplicate: 0 none (placed later), 1 the source's X + 1
  // (automatic arrangement), else 20 pixels right and down of the source.
  static constexpr int kDuplicateUnplaced = 0;
  static constexpr int kDuplicateBesideAuto = 1;
  static constexpr int kDuplicateOffset = 2;
  // What a duplicate shows while it runs: two lines of text (the file and
  // what is being done) and a cancel request read between files.
  class Progress {
   public:
    virtual ~Progress() = default;
    virtual void SetTexts(const std::string& file, const std::string& text) = 0;
    // True when the user asked to stop since the last call.
    virtual bool PumpAndCheckCancel() = 0;
  };
  // Makes the progress display of a duplicate or rotation (none: no display).
  enum class ProgressKind { Copy, Rotate };
  std::function<std::unique_ptr<Progress>(ProgressKind)> makeProgress;

  // Every selected image page (a stack: each of its pages) turned clockwise
  // by 90, 180 or 270 degrees; other angles do nothing. Pages that are
  // missing, read-only or cannot be written are reported and passed over.
  void RotateSelection(int degrees);
  // Resolution given to bitmaps that state none (the frame's setting).
  int bmpResolution = 400;

  // The duplicate command: each selected document in tile order, a stack
  // with all its pages, stopping at the first one that is not copied.
  void DuplicateSelected();
  // The same for the given entries (the list's rows), the copies placed by
  // positionMode; the pane is laid out by the caller.
  void DuplicateEntries(const std::vector<int>& entryIndices, int positionMode);
  // One single item, or the current page of a stack; 0 copied, 1 not
  // (refused, failed or cancelled).
  int DuplicateItem(int entryIndex, int positionMode, bool addEntry, bool relayout, Progress* progress = nullptr);
  // Every page of a stack, stacked again under a free copy title; 0, or 1
  // when refused, failed or cancelled (the pages copied before a cancel are
  // stacked all the same).
  int DuplicateStack(int entryIndex, int positionMode, bool addEntry, bool relayout, Progress* progress = nullptr);
  // The copy of a stack's pages in db, the catalogue of folderWithSlash
  // (any folder): stacked again under a free copy title placed by
  // positionMode when two or more pages were copied, else left as the
  // single items in copies. Failures are told to the user.
  struct StackCopy {
    bool stacked = false;
    bool failed = false;
    bool cancelled = false;
    StackInfo record;
    std::vector<ItemInfo> copies;
  };
  static StackCopy CopyStackPages(FolderDatabase& db, const std::string& folderWithSlash, const StackInfo& stack,
                                  int positionMode, Progress* progress);
  // One single item (or a stack's page) copied in db's folder at a place
  // beside (x, y) by positionMode; 0 copied, 1 not (told to the user).
  static int CopyItem(FolderDatabase& db, const std::string& folderWithSlash, const ItemInfo& source, int x, int y,
                      int positionMode, ItemInfo& copy);
  // The question before copies: false (and told) when count more items
  // would pass folderMax, or the disk is too full.
  static bool RoomForCopies(FolderDatabase& db, const std::string& folderWithSlash, int count, int folderMax);
  // The page reorder dialog for a stack; the new order is stored on OK.
  // runDialog (tests) stands in for the dialog: it gets the page titles and
  // returns the former indices in their new order, or nothing for Cancel.
  using ReorderDialog = std::function<std::optional<std::vector<int>>(const std::vector<ItemInfo>& pages)>;
  ReorderDialog reorderDialog;
  void ReorderStackPages(int entryIndex);
  // The reorder of stack stackNo in db (any folder's catalogue): true when
  // a new order was stored, with the stack's dates.
  static bool ReorderPagesOf(FolderDatabase& db, int stackNo, const ReorderDialog& dialog);
  // The title change dialog for a stack; its tile is rebuilt after OK.
  // titleDialogRunner (tests) runs the dialog in place of exec().
  std::function<int(TitleChangeDlg&)> titleDialogRunner;
  void ChangeTitle(int entryIndex);

 private:
  bool openFolder();
  std::string folder() const;
  const DisplayEntry* entry(int index) const;
  // Makes the stack of elements with record (title, position, dates set),
  // removes the entries at indices (and their tiles) and shows the new
  // stack selected. A title taken from a single item is made unique first.
  void mergeEntries(const std::vector<int>& indices, const std::vector<MergeElement>& elements, StackInfo record,
                    bool titleFromItem, int cellWidth, int cellHeight);
  // A stack's pages become single items at the positions given by place.
  void splitStack(int tileIndex, bool dissolveTwoPages);
  int appendItemEntry(const ItemInfo& item);
  int positionMode() const;
  static void placeOf(int positionMode, int x, int y, int& outX, int& outY);
  bool duplicateRefused(int count);
  void tidy();
  void report(int code);

  ThumbnailPaneWnd& board_;
  CFD3Doc& document_;
};
