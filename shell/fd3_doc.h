#pragma once
// CFD3Doc: the application's one document. While a folder is shown it owns
// that folder's open catalogue, the entry list the panes show, and its own
// imaging-control instance. The views never hold a catalogue of the current
// folder: they ask the document. Its state is its own: the views change it
// only through the operations below, and learn of every change through
// DocumentObserver (document_observer.h), each the same way.
//
//   AddObserver, RemoveObserver        who is told of changes
//   CheckFolderDatabase, OpenFolderDatabase, CloseFolderDatabase   the catalogue
//   LoadFolder                    rebuilds the entry list (observers see
//                                 EntriesCleared, EntryAdded..., DocumentChanged)
//   EntryList, AppendEntry, DeleteEntry, ReorderEntries, SetFolderPath   the entry list
//   GetEntryRecords, SelectEntry  entries for the views
//   NotifyEntryChanged, NotifyChanged   for code that changed the catalogue
//                                 behind an entry (a title, stored positions)
//   SetTitleEditing, GetDefaultAccelerator   in-place editors and shortcuts
//   MakeThumbnail, MakeStackCell, StoreThumbnail   thumbnails and cell sizes
//   CreateImageCtrl, DestroyImageCtrl              the document's imaging control
//   GetWorkFolder, DeleteTempFolder                the "tmp" work folder
//
// Observers are not owned; one that goes away first removes itself.

#include "catalogue/catalogue_records.h"
#include "catalogue/folder_database.h"
#include "shell/document_observer.h"
#include "shell/document_progress.h"
#include "shell/entry_holder.h"
#include "shell/import_file.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CImageCtrl;
class DocumentViews;

struct OcrPage;

class CFD3Doc : public QObject {
  Q_OBJECT
 public:
  static constexpr int kThumbnailMode = 1;
  static constexpr int kCatalogueVersion = 10000;
  static constexpr int kWrongVersion = -30;
  static constexpr int kProgressThreshold = 100;  // entries loaded without a dialog

  // The keyboard shortcuts in force in the main window.
  enum class AcceleratorTable {
    Browser = 100,       // the browser's own keys (Ctrl+N, Ctrl+C, ...)
    TitleEditing = 101,  // an in-place editor is open: plain keys reach it
    Viewer = 102,        // the viewer's keys
  };

  CFD3Doc();
  ~CFD3Doc() override;

  // The view side; not owned. May be null (nothing is shown then).
  void SetViews(DocumentViews* views) { views_ = views; }
  // What shows the progress of a large folder's load; not owned. May be
  // null (nothing is shown then).
  void SetProgressSink(ProgressSink* sink) { progressSink_ = sink; }
  void AddObserver(DocumentObserver* observer);
  void RemoveObserver(DocumentObserver* observer);
  // The window that owns message boxes, dialogs and the imaging control.
  void SetMainWindow(QWidget* window) { mainWindow_ = window; }
  QWidget* MainWindow() const { return mainWindow_; }
  // The resolution given to a BMP file that carries none (the BMP setting).
  void SetBmpResolution(int dpi) { bmpResolution_ = dpi; }
  // What ends the program when the imaging control cannot be made; tests
  // replace it. The default ends the process with the given code.
  static void SetFatalExitHandler(std::function<void(int)> handler);

  int CheckFolderDatabase(const std::string& path, int& exists);
  bool OpenFolderDatabase(const std::string& path);
  void CloseFolderDatabase();
  void LoadFolder(const std::string& pathWithTrailingSlash, int layoutFlag);

  // The open folder's catalogue, for operations on the entries' records.
  // A change made through it is announced with NotifyEntryChanged or
  // NotifyChanged.
  FolderDatabase& Database() { return db; }
  // The folder whose catalogue is open (without trailing slash).
  const std::string& FolderPath() const { return folderPath; }
  // The next OpenFolderDatabase of the same folder closes and reopens it.
  void RequestReopen() { reopenRequested = 1; }
  bool ReopenRequested() const { return reopenRequested != 0; }
  // 1 (kThumbnailMode) the board, anything else the list; the browser view
  // sets it.
  int PaneMode() const { return paneMode; }
  void SetPaneMode(int mode) { paneMode = mode; }

  const CEntryHolder& EntryList() const { return entries; }
  // Appends an entry (observers: EntryAdded with the given records); its index.
  int AppendEntry(std::unique_ptr<DisplayEntry> entry, const StackInfo* stack, const ItemInfo* item);
  // Removes entry i (observers: EntryRemoved).
  void DeleteEntry(int i);
  // Puts the entries in a new order: newOrder[k] is the old index of the
  // entry that becomes entry k (a permutation; anything else is refused).
  // Only the pane that sorted asks for it, its tiles already in that order:
  // observers see DocumentChanged with Positions.
  bool ReorderEntries(const std::vector<int>& newOrder);
  // The folder the entries belong to (no trailing slash), as when it was
  // renamed on disk (observers: DocumentChanged with Folder).
  void SetFolderPath(const std::string& path);
  void NotifyEntryChanged(int index, DocumentChanges changes);
  void NotifyChanged(DocumentChanges changes);

  bool GetEntryRecords(const DisplayEntry& entry, StackInfo& stack, ItemInfo& item);
  // Selects one entry and brings it into view (observers: EntryChanged with
  // Selection); nothing when no entry has that kind and number.
  void SelectEntry(int kind, int number);

  // Set by the views while an in-place editor is open (observers:
  // DocumentChanged with Editing when it changes).
  void SetTitleEditing(bool editing);
  bool TitleEditing() const { return titleEditing != 0; }
  AcceleratorTable GetDefaultAccelerator() const;

  void MakeThumbnail(const std::string& folderWithSlash, const ItemInfo& item, int& width, int& height);
  void MakeStackCell(const DisplayEntry& stackEntry, const std::string& folder, int& width, int& height);
  // Makes and stores the thumbnail of the image now held by ctrl. progress
  // may be null.
  void StoreThumbnail(ImportProgress* progress, CImageCtrl* ctrl, const ItemInfo& item);

  void CreateImageCtrl(bool recreate);
  void DestroyImageCtrl();
  CImageCtrl* imageCtrl() const;

  std::string GetWorkFolder();
  // The selected entries' image pages for an OCR run (shell/ocr_preparation.cpp):
  // "ocrin" emptied, the pages collected (stamped as accessed) and, unless
  // limitOn and there are more than limit, converted into it. The number of
  // pages collected; 0 with no entries or when the catalogue cannot be opened.
  int PrepareSelectionForOcr(const std::vector<int>& selectedEntries, std::vector<OcrPage>& pages, bool keepGrey,
                             bool keepColour, int limit, bool limitOn);
  void DeleteTempFolder();
  // Set once at start-up: the next DeleteTempFolder clears the work folder.
  static void SetWorkFolderFlag();

  // ---- import of files (import_file.cpp) ---------------------------------
  // Registers one file of the disk as an item or a stack of pages in
  // destFolder's catalogue and puts its document files into the folder.
  // 1 registered (result set); 0 refused (the caller goes on); -1 failed or
  // cancelled; -2 the folder's item limit would be passed.
  int ImportFile(ImportProgress* progress, EntryRef* result, const std::string& sourcePath,
                 const std::string& destFolder, const std::string* title, std::optional<QPoint> position,
                 bool adjustImage, bool showMessages);
  // Registers names (inside sourceFolder) as pages of one new stack titled
  // stackTitle (a free variant of it); 1 done, -1 when a file failed.
  // handled (may be null) receives how many names were dealt with before
  // the batch stopped (all of them when it did not).
  int ImportFileBatch(ImportProgress& progress, const std::string& stackTitle, const std::string& sourceFolder,
                      const std::vector<std::string>& names, const std::vector<std::string>& attachedFiles,
                      const std::string& destFolder, const std::vector<std::string>& titles, EntryRef* result,
                      std::optional<QPoint> position, bool adjustImage, bool showMessages,
                      std::size_t* handled = nullptr);
  // Puts the document file of an imported item into the folder; true when
  // it failed (the target is gone again, the user was told).
  bool StoreImportedFile(ImportProgress* progress, std::uint32_t classWord, const std::string& destFolder,
                         const std::string& title, const std::string& extension, int format, int bitsPerPixel,
                         int quality, const std::string& sourcePath, bool copyUnchanged);
  void SetImportSettings(const ImportSettings& settings);
  const ImportSettings& importSettings() const { return importSettings_; }

 private:
  // One run of ImportFile, a step per responsibility (import_file.cpp).
  class FileImport;
  std::string uniqueImportTitle(const std::string& folderWithSlash, const std::string& base, std::string& suffix,
                                const std::string& ext, int& counter, bool withCatalogue);
  bool storageSourceIsTemporary(std::uint32_t kind) const;
  int reportDbCode(int code) const;
  ImportSettings importSettings_;
  // ---- end of import -----------------------------------------------------

 private:
  void reportDb(int code) const;
  // Tells the user when the catalogue was put back from its backup after a
  // compaction that was cut short.
  void tellRecovery();
  // Entries of that folder are on show (their numbers must not change).
  bool ShowsEntriesOf(const std::string& path) const;
  void bringMainWindowForward();
  // Loads page 1 of file into the document's control and stores its
  // thumbnail; the image's size, or 77 x 77 when it cannot be loaded.
  void thumbnailFromFile(const std::string& file, const ItemInfo& item, int& width, int& height);
  // Calls f on every observer; an observer removed meanwhile is skipped.
  template <typename F>
  void notify(F&& f);
  // Changes found while a load runs are told with the load's end.
  void changed(DocumentChanges changes);

  CEntryHolder entries;
  FolderDatabase db;
  int paneMode = kThumbnailMode;
  // Import's progress while the imaging control loads a page or makes a
  // thumbnail: the dialog, the percentage window the control's progress is
  // mapped into, and whether a load runs or was cancelled.
  ImportProgress* thumbProgress = nullptr;
  int thumbProgressFrom = 0;
  int thumbProgressTo = 0;
  bool loadInProgress = false;
  bool loadCancelled = false;
  std::string folderPath;  // without trailing slash
  int reopenRequested = 0;
  int titleEditing = 0;

  DocumentViews* views_ = nullptr;
  ProgressSink* progressSink_ = nullptr;
  std::vector<DocumentObserver*> observers_;
  bool loading_ = false;
  DocumentChanges changesDuringLoad_;
  QPointer<QWidget> mainWindow_;
  QPointer<CImageCtrl> imageCtrl_;
  bool imageCtrlHasWindow_ = false;
  int bmpResolution_ = 400;
  std::string workFolder_;
  bool loadingFolder_ = false;
  bool thumbFailureReported_ = false;
};
