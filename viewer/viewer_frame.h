#pragma once
// ViewerFrame: the main window's viewer face. It opens and closes the
// viewer, keeps the document list in the browser's order, shows a page in
// the three panes, asks whether to save a changed page when it is left, and
// carries the viewer's menus and commands.
//
//   OpenViewer, CloseViewer, QuerySaveDocument   the frame's viewer face
//   FillViewerLists, CompareBoardPositions       the document order
//   ShowViewerPage, ShowViewerImageInfo          one page in the panes
//   OnPreviousPage ... OnSelChangeDocument       navigation
//   SetViewerFrameMode                           the layout, bars and menus
//   BuildViewerMenus                             ファイル, 編集, 表示
//
// Settings of section "Browser" are read on every opening and written on
// every closing, never in between.

#include "catalogue/catalogue_records.h"
#include "shell/viewer_face.h"

#include <QObject>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class CMainFrame;
class FolderDatabase;
class QComboBox;
class QMenu;
class QPrinter;
class QWidget;
class ViewerPaneWnd;

class ViewerFrame : public QObject, public ViewerFace {
  Q_OBJECT

 public:
  static constexpr int kBoardRowTolerance = 16;  // pixels: positions this close are one row

  // The container is created inside host (the browser view's viewer slot),
  // filling it.
  ViewerFrame(CMainFrame* frame, QWidget* host);
  ~ViewerFrame() override;

  ViewerPaneWnd* container() const { return panes_; }
  // Called when a document is left or the viewer closes, with its kind and
  // number, so that the board reads its tile afresh.
  void SetRefreshThumbnail(std::function<void(int kind, int number)> refresh) { refresh_ = std::move(refresh); }

  // ViewerFace
  void OpenViewer(const ViewerRequest& request) override;
  bool CloseViewer(bool offerCancel) override;
  bool QuerySaveDocument(bool offerCancel) override;

  // a precedes b on the board: rows top to bottom, left to right in a row.
  static bool CompareBoardPositions(const ViewerRequest::BoardEntry& a, const ViewerRequest::BoardEntry& b);
  void FillViewerLists(const ViewerRequest& request);
  void ShowViewerPage();
  void ShowViewerImageInfo();
  void SetViewerFrameMode(int layout);

  void OnPreviousPage();
  void OnNextPage();
  void OnSelChangePage(int line);
  void OnPreviousDocument();
  void OnNextDocument();
  void OnSelChangeDocument(int line);
  void OnEditCommand(int commandId);
  bool EditCommandEnabled(int commandId) const;
  void UpdateCommandStates();

  // 0xc3b: the print dialog, then the page at its physical size.
  void OnPrint();
  // The shown page's file, with its attached text, by mail.
  void OnMail();
  // The shown page that the viewer cannot show, opened by the desktop's
  // application in its own folder (the launch confirmation's button).
  void OnLaunchShownFile();
  // How the printer is chosen (tests print into a PDF): false prints nothing.
  void SetPrinterSetup(std::function<bool(QPrinter&)> setup) { printerSetup_ = std::move(setup); }
  // 0xc3c / 0x81 and 0xc3d / 0x82, and what they run.
  void OnRenameDocumentCommand();
  void OnRenamePageCommand();
  bool RenamePage(const QString& caption);
  bool RenameDocument(const QString& caption);
  // How the new title is asked (tests answer instead): nullopt on Cancel.
  void SetTitleAsker(std::function<std::optional<std::string>(const std::string& current, const QString& caption)> ask) {
    askTitle_ = std::move(ask);
  }
  QMenu* imageMenu() const { return imageMenu_; }
  QMenu* annotationMenu() const { return annotationMenu_; }

  bool isOpen() const { return open_; }
  // (stack flag, number) of each document, in the combo's order.
  const std::vector<std::pair<int, int>>& documents() const { return documents_; }
  int documentIndex() const { return index_; }
  int pageNumber() const { return page_; }
  int pageCount() const;
  const ItemInfo& currentItem() const { return item_; }
  QComboBox* documentCombo() const { return documentCombo_; }
  QComboBox* pageCombo() const { return pageCombo_; }

 private:
  void createCommands();
  void fillPageCombo();
  void leaveDocument();
  void switchDocument(int index);
  bool pageShowsImagePane() const;
  void rememberImageToolBar();

  std::optional<std::string> askTitle(const std::string& current, const QString& caption);

  CMainFrame* frame_;
  QMenu* imageMenu_ = nullptr;
  QMenu* annotationMenu_ = nullptr;
  std::function<bool(QPrinter&)> printerSetup_;
  std::function<std::optional<std::string>(const std::string&, const QString&)> askTitle_;
  ViewerPaneWnd* panes_ = nullptr;
  QComboBox* documentCombo_ = nullptr;
  QComboBox* pageCombo_ = nullptr;
  std::function<void(int, int)> refresh_;
  FolderDatabase* db_ = nullptr;
  std::string folder_;
  std::vector<std::pair<int, int>> documents_;
  int index_ = 0;
  int page_ = 1;
  ItemInfo item_;
  bool pageShown_ = false;
  std::string creator_;
  std::string keyword_;
  std::string comment_;
  bool open_ = false;
  bool imageToolBarVisible_ = true;
  bool filling_ = false;
};
