#pragma once
// CFD3Doc: the application's one document. While a folder is shown it owns
// that folder's open catalogue, the entry list the panes show, and its own
// imaging-control instance. The views never hold a catalogue of the current
// folder: they ask the document, and the document drives them only through
// the pane interfaces of document_views.h.
//
//   CheckFolderDatabase, OpenFolderDatabase, CloseFolderDatabase   the catalogue
//   LoadFolder                    refills the entry list and the active pane
//   GetEntryRecords, SelectEntry  entries for the views
//   MakeThumbnail, MakeStackCell, StoreThumbnail   thumbnails and cell sizes
//   CreateImageCtrl, DestroyImageCtrl              the document's imaging control
//   GetWorkFolder, DeleteTempFolder                the "tmp" work folder

#include "catalogue/catalogue_records.h"
#include "catalogue/folder_database.h"
#include "shell/entry_holder.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <string>

class CImageCtrl;
class DocumentViews;
class ImportProgressDlg;

class CFD3Doc : public QObject {
  Q_OBJECT
 public:
  static constexpr int kThumbnailMode = 1;
  static constexpr int kCatalogueVersion = 10000;
  static constexpr int kWrongVersion = -30;
  static constexpr int kProgressThreshold = 100;  // entries loaded without a dialog

  CFD3Doc();
  ~CFD3Doc() override;

  // The view side; not owned. May be null (nothing is shown then).
  void SetViews(DocumentViews* views) { views_ = views; }
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

  bool GetEntryRecords(const DisplayEntry& entry, StackInfo& stack, ItemInfo& item);
  void SelectEntry(int kind, int number);

  void MakeThumbnail(const std::string& folderWithSlash, const ItemInfo& item, int& width, int& height);
  void MakeStackCell(const DisplayEntry& stackEntry, const std::string& folder, int& width, int& height);
  // Makes and stores the thumbnail of the image now held by ctrl. progress
  // may be null.
  void StoreThumbnail(ImportProgressDlg* progress, CImageCtrl* ctrl, const ItemInfo& item);

  void CreateImageCtrl(bool recreate);
  void DestroyImageCtrl();
  CImageCtrl* imageCtrl() const;

  std::string GetWorkFolder();
  void DeleteTempFolder();
  // Set once at start-up: the next DeleteTempFolder clears the work folder.
  static void SetWorkFolderFlag();

  CEntryHolder entries;
  FolderDatabase db;
  int paneMode = kThumbnailMode;
  ImportProgressDlg* thumbProgress = nullptr;
  int thumbProgressFrom = 0;
  int thumbProgressTo = 0;
  bool loadInProgress = false;
  bool loadCancelled = false;
  std::string folderPath;  // without trailing slash
  int reopenRequested = 0;

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
  void onImageProgress(int percent);
  void addToPane(int index, const StackInfo* stack, const ItemInfo* item);

  DocumentViews* views_ = nullptr;
  QPointer<QWidget> mainWindow_;
  QPointer<CImageCtrl> imageCtrl_;
  bool imageCtrlHasWindow_ = false;
  int bmpResolution_ = 400;
  std::string workFolder_;
  bool loadingFolder_ = false;
  bool thumbFailureReported_ = false;
};
