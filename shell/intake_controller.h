#pragma once
// IntakeController: documents handed over in bulk at a request of another
// program, for the main window. The migration of the earlier product's
// folders ("/DU2.Import <request>") and the list import of the sibling
// recognition application ("/Import <request>") each register into new
// folders below the open folder (or the desktop, before a folder is open)
// under an import progress window; the tree then shows the new folders.
//
//   MigrateEarlierProduct   the migration, after the user kept the folders
//   ImportList              the list import
//
// The window's pump decides when a request runs; this class only runs it.

#include <QObject>
#include <QPointer>

#include <functional>
#include <string>
#include <vector>

class CFD3Doc;
class QMainWindow;
struct KankyoSettings;

class IntakeController : public QObject {
  Q_OBJECT

 public:
  // The desktop shown in the window (its root folder).
  using CurrentDesktop = std::function<QString()>;
  // Brings the window to the front (and its modal dialog above it).
  using Activate = std::function<void()>;
  // window parents the dialogs and holds the view that shows the result;
  // settings give the folder limit. Both outlive the controller.
  IntakeController(QMainWindow& window, const KankyoSettings& settings, CurrentDesktop desktop, Activate activate);
  ~IntakeController() override;

  // The document whose open folder takes the new folders (not owned).
  void SetDocument(CFD3Doc* document);

  // The migration's folder choice: shows the candidates and gives the kept
  // folders, false on Cancel. The default runs the migration dialog; tests
  // replace it.
  using MigrationChooser = std::function<bool(std::vector<std::string>& folders)>;
  void SetMigrationChooser(MigrationChooser chooser) { migrationChooser_ = std::move(chooser); }

  void MigrateEarlierProduct(const QString& commandLine);
  void ImportList(const QString& commandLine);

 private:
  bool ChooseMigrationFolders(std::vector<std::string>& folders);
  // The open folder; before one is opened (a first start shows the desktop
  // alone), the desktop, whose tree then shows the new folders.
  std::string ParentFolder() const;
  // The tree shows the new folders and the first of them is opened (else
  // the open folder is loaded again).
  void ShowResult(const std::string& firstFolder);

  QMainWindow& window_;
  const KankyoSettings& settings_;
  CurrentDesktop currentDesktop_;
  Activate activate_;
  QPointer<CFD3Doc> document_;
  MigrationChooser migrationChooser_;
};
