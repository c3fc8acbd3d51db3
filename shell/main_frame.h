#pragma once
// CMainFrame: the program's one top-level window. It owns the tool bars, the
// application bar, the desktop bar and the status bar, the settings block,
// the three pending-work requests and the command line of this start; it
// places itself from the stored geometry, restores the last desktop and
// folder once it is shown, and saves its state when it closes.
//
//   OnCreate            builds everything, in order; false: the program ends
//   OnRestoreAfterStart the private restore message (desktops, schedule, pending work)
//   SaveState           writes all frame state
//   RunPendingWork      the pump of scan, earlier-product import and list import
//   Scanning            the scan controller (scanner, scans, page registration)
//   SetStatusPaneText, ShowDocumentCount, ShowApplicationHint   status bar
//   OnDesktopAddRemove, OnDesktopSelChange, OnMediaExchange     desktops and media
//   Action              the QAction of a command identifier
//
// The document, the browser view and the imaging control arrive later; the
// frame reaches them only through the seams below (see "Seams"). The frame
// observes the document for one thing: which keyboard shortcuts are in force
// (an open in-place editor suspends the browser's, so that Ctrl+N or Ctrl+C
// reach the editor).

#include "shell/app_bar.h"
#include "shell/desktop_drive.h"
#include "shell/document_observer.h"
#include "shell/fd3_doc.h"
#include "shell/intake_controller.h"
#include "shell/kankyo_settings.h"
#include "shell/scan_controller.h"
#include "shell/viewer_face.h"

#include <QKeySequence>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>
#include <map>

class DesktopRegisterDlg;
class SettingsSheet;
class AppRegistrationDlg;
class UpdateCheckController;
class QComboBox;
class QDialog;
class QLabel;
class QMenu;
class QPushButton;
class QToolBar;

class CMainFrame : public QMainWindow, public DocumentObserver {
  Q_OBJECT

 public:
  enum class Request { Scan, EarlierImport, ListImport };
  // Runs the desktop registration dialog modally; its result code.
  using DesktopDialogRunner = std::function<int(DesktopRegisterDlg& dialog)>;
  // Runs the settings sheet modally; its result code.
  using SettingsSheetRunner = std::function<int(SettingsSheet& sheet)>;
  using AppRegistrationRunner = std::function<int(AppRegistrationDlg& dialog)>;
  // Opens a URL in the desktop's browser; false when that fails.
  using UrlOpener = std::function<bool(const QUrl& url)>;

  explicit CMainFrame(QWidget* parent = nullptr);
  ~CMainFrame() override;

  // Places the window from the stored geometry (before it is shown).
  void PreCreateWindow();
  bool OnCreate();

  QToolBar* GetMainToolBar() const { return mainToolBar_; }
  QToolBar* GetApplicationBar() const { return applicationBar_; }
  QToolBar* GetDesktopBar() const { return desktopBar_; }
  QToolBar* GetViewerToolBar() const { return viewerToolBar_; }
  QToolBar* GetImageToolBar() const { return imageToolBar_; }
  QComboBox* DesktopCombo() const { return desktopCombo_; }
  QAction* Action(int commandId) const;
  // The hidden modeless confirmation before an outside program is started
  // for a file the viewer cannot show.
  QDialog* ConfirmLaunchDialog() const { return confirmLaunchDialog_; }

  // One registered application of the application bar (up to 14).
  using RegisteredApplication = AppRegistration;
  static constexpr int kMaxRegisteredApplications = ::kMaxRegisteredApplications;
  // The first 14 become the application bar's buttons and the Tools menu's
  // entries; the rest are dropped.
  void SetRegisteredApplications(std::vector<RegisteredApplication> applications);
  // Reads the registrations of brindel.ini and rebuilds the bar and menu.
  void BuildApplicationBar();
  const std::vector<RegisteredApplication>& RegisteredApplications() const { return applications_; }

  void SetStatusPaneText(int paneId, const QString& text);
  void ShowDocumentCount(int count);
  // The menu text of registered application `index` in the first pane; the
  // default prompt for -1 (or an index without an application).
  void ShowApplicationHint(int index);
  QString StatusPaneText(int paneId) const;

  KankyoSettings& Settings() { return settings_; }
  int SearchHitMax() const { return searchHitMax_; }
  void SetSearchHitMax(int count) { searchHitMax_ = count; }
  int FirstRun() const { return firstRun_; }
  void SetFirstRun(int value) { firstRun_ = value; }
  const QString& CommandLine() const { return commandLine_; }
  void SetCommandLine(const QString& commandLine) { commandLine_ = commandLine; }
  // The migration of the earlier product and the list import that requests
  // of other programs start.
  IntakeController& Intake() { return *intake_; }
  bool IsRemovableDesktop() const { return removableDesktop_; }
  // Tests put a medium of their own under a desktop, and answer the dialog.
  void SetDriveProbe(DriveProbe probe) { driveProbe_ = std::move(probe); }
  void SetDesktopDialogRunner(DesktopDialogRunner runner) { desktopDialogRunner_ = std::move(runner); }
  void SetSettingsSheetRunner(SettingsSheetRunner runner) { settingsSheetRunner_ = std::move(runner); }
  void SetUrlOpener(UrlOpener opener) { urlOpener_ = std::move(opener); }
  void SetAppRegistrationRunner(AppRegistrationRunner runner) { appRegistrationRunner_ = std::move(runner); }
  // The registrations dialog; then the bar and the Tools menu are rebuilt.
  void OnApplicationSettings();
  // The update check (UpdateCheckController), then the pump of what waited.
  void OnUpdateCheck();

  // The settings sheet over the settings block; OK applies and writes the
  // block, Cancel undoes the colour preview.
  void OnSettings();
  // The home page and the HTML help in the desktop's browser.
  void OnHomePage();
  void OnHelp();

  // The desktop registration dialog; on OK the combo box is refilled.
  void OnDesktopAddRemove();
  // Switches to the desktop selected in the combo box; one that cannot be
  // found gives way to the default desktop (the sample folder).
  void OnDesktopSelChange();
  // Closes the open folder while the user exchanges the medium of the
  // current desktop, then shows the medium's tree and reopens the folder.
  void OnMediaExchange();

  // The central widget slot: the browser view, once it exists.
  void SetView(QWidget* view);
  void SetDocument(CFD3Doc* document);
  CFD3Doc* Document() const { return document_; }
  // Binds the keys of one table to their commands and unbinds the others.
  void ApplyAccelerators(CFD3Doc::AcceleratorTable table);
  CFD3Doc::AcceleratorTable accelerators() const { return accelerators_; }

  // DocumentObserver
  void DocumentChanged(DocumentChanges changes) override;

  // A handler for a command; the command's action is enabled with it.
  void SetCommandHandler(int commandId, std::function<void()> handler);
  void RunCommand(int commandId);

  // ---- the viewer face ----------------------------------------------------
  // The viewer (not owned); without one OpenViewer does nothing and the
  // questions answer true.
  void SetViewerFace(ViewerFace* face) { viewerFace_ = face; }
  void OpenViewer(const ViewerRequest& request);
  bool CloseViewer(bool offerCancel);
  bool QuerySaveDocument(bool offerCancel);
  // How the frame learns whether the viewer covers the browser, and how it
  // returns to the browser (0: back, 1: the viewer stays open).
  void SetBrowserReturn(std::function<bool()> viewerShown, std::function<int(bool offerCancel)> toBrowser);
  // An action for a command of the viewer's menus and bars (made once).
  QAction* AddCommand(int commandId, const QString& text);
  // A menu of the viewer's face; hidden until the viewer's menus are shown.
  void AddViewerMenu(QMenu* menu);
  // The browser's menus (false) or the viewer's (true) in the menu bar.
  void ShowViewerMenus(bool viewer);
  bool ViewerMenusShown() const { return viewerMenusShown_; }

  void SaveState();
  // The desktop session ends: false refuses (the viewer stays open),
  // otherwise the state is saved.
  bool QueryEndSession();
  void RunPendingWork();

  // ---- scanning -------------------------------------------------------------
  // The scanner, its driver and the pages of a scan; the scan command
  // (0x8044) and the scanner selection (0x8043) run through it.
  ScanController& Scanning() { return *scanning_; }

  // Brings the window to the front, restoring it when minimised.
  void ActivateFromOtherInstance();

 signals:
  // A request message arrived (before the pump decides to run or wait).
  void requestReceived(CMainFrame::Request request, std::intptr_t wParam);
  // The pump runs the operation of a request.
  void pendingWorkServed(CMainFrame::Request request, const QString& commandLine);
  void restoredAfterStart();
  // The settings block changed (the sheet's OK, or its colour preview and
  // the undoing of it): the views take the new values.
  void settingsApplied();
  // A registered application's button or menu entry: the active pane
  // prepares its selected documents and starts the application.
  void applicationLaunchRequested(int index);

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void OnRestoreAfterStart();
  void OnRequestMessage(Request request, std::intptr_t wParam);
  void OnScheduledTidyUp();
  void OnAppAbout();

  bool CreateMainToolBar();
  bool CreateApplicationBar();
  bool CreateDesktopBar();
  bool CreateStatusBar();
  bool CreateViewerToolBar();
  bool CreateImageToolBar();
  void CreateMenus();
  void CreateConfirmLaunchDialog();
  QAction* MakeAction(int commandId, const QString& text, const QString& prompt = {});
  void CreateTitleEditingKeys();

  bool ProbeImagingControl();
  // Seams: the steps that need the scanner library, the registered
  // applications, the document or the browser view. Each does what it can
  // without them and names what it will call.
  void RestoreFolderTree(const QString& desktop, const QString& folderPath, bool openFolder);
  QString DocumentFolderPath() const;
  void CloseDocumentFolder();
  // Closes the open folder and empties the panes, before another tree is shown.
  void ReleaseOpenFolder();
  // The default desktop, made when missing and selected in the combo box.
  QString SelectDefaultDesktop();
  void NoteDesktopDrive(const QString& desktop);
  void RefillDesktops(const QStringList& desktops);
  bool ViewerShown() const;
  bool SwitchViewerToBrowser();
  void RunHotScan();
  void ImportFromEarlierProduct();
  void ImportFromRecognitionApp();
  void OnScan();
  void OnSelectScanner();
  void RunTidyUp();

  KankyoSettings settings_;
  std::vector<RegisteredApplication> applications_;
  QMenu* toolsMenu_ = nullptr;
  std::vector<QAction*> toolsApplicationEntries_;
  int searchHitMax_ = 100;
  int firstRun_ = 1;
  bool scanRequested_ = false;
  bool earlierImportRequested_ = false;
  bool listImportRequested_ = false;
  QString commandLine_;
  bool removableDesktop_ = false;
  QString currentFolderPath_;  // kept for SaveState until the document exists

  QToolBar* mainToolBar_ = nullptr;
  QToolBar* applicationBar_ = nullptr;
  QToolBar* desktopBar_ = nullptr;
  QToolBar* viewerToolBar_ = nullptr;
  QToolBar* imageToolBar_ = nullptr;
  QComboBox* desktopCombo_ = nullptr;
  QPushButton* mediaButton_ = nullptr;
  DriveProbe driveProbe_;
  DesktopDialogRunner desktopDialogRunner_;
  SettingsSheetRunner settingsSheetRunner_;
  UrlOpener urlOpener_;
  AppRegistrationRunner appRegistrationRunner_;
  QDialog* confirmLaunchDialog_ = nullptr;
  QLabel* promptPane_ = nullptr;
  std::map<int, QLabel*> panes_;
  std::map<int, QAction*> actions_;
  std::map<int, std::function<void()>> handlers_;
  CFD3Doc::AcceleratorTable accelerators_ = CFD3Doc::AcceleratorTable::Browser;
  QPointer<CFD3Doc> document_;
  ViewerFace* viewerFace_ = nullptr;
  std::function<bool()> viewerShown_;
  std::function<int(bool)> toBrowser_;
  std::vector<QMenu*> viewerMenus_;
  bool viewerMenusShown_ = false;
  // Last, so that they go before the bars and settings they use.
  std::unique_ptr<ScanController> scanning_;
  std::unique_ptr<UpdateCheckController> updateCheck_;
  std::unique_ptr<IntakeController> intake_;
};

// The maker's home page, opened by its command.
inline constexpr const char* kHomePageUrl = "https://www.velnor.example/";

// The default prompt of the first status pane.
inline constexpr const char* kDefaultPrompt = "ヘルプを表示するには[F1]を押してください。";
