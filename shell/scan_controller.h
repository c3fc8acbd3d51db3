#pragma once
// ScanController: scanning for the main window. It owns the scanner driver,
// writes each page the driver delivers as the next numbered file of the
// scan folder, and registers the pages in the open folder when the scan
// returns. The window keeps the command routing and the busy flag; this
// class only scans.
//
//   Startup         starts the driver over the scanner work folder
//   SelectScanner   the device choice, remembered in the settings file
//   Scan            one scan, then registration of its pages
//   OnScannerPage   one page from the driver
//
// A failure is told to the user once; the pages that came before it stay
// and are registered (or kept, when there is no folder to take them).

#include "platform/scanner.h"
#include "shell/scan_page_writer.h"
#include "shell/scan_registration.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CFD3Doc;
class QMainWindow;
struct KankyoSettings;

class ScanController : public QObject {
  Q_OBJECT

 public:
  // window parents the dialogs and is brought to the front after a scan;
  // settings are the corrections applied to the registered pages. Both
  // outlive the controller (the window owns it through a unique_ptr).
  ScanController(QMainWindow& window, const KankyoSettings& settings);
  ~ScanController() override;

  // The document whose open folder takes the pages (not owned).
  void SetDocument(CFD3Doc* document);

  // The scanner driver; its source is SANE unless one was set.
  platform::CNewScanner& Scanner();
  void SetScannerSource(std::unique_ptr<platform::ScannerSource> source);
  // Picks a device from the list (its name, or empty to keep the current
  // one); the default asks the user in a list dialog.
  using ScannerChooser = std::function<std::string(const std::vector<platform::ScannerDeviceInfo>&)>;
  void SetScannerChooser(ScannerChooser chooser) { scannerChooser_ = std::move(chooser); }
  // Tests put a drive of their own under the scan folder.
  void SetFreeSpaceProbe(FreeSpaceProbe probe) { freeSpace_ = std::move(probe); }

  // Empties the scanner work folder and starts the driver over it.
  void Startup(const std::string& workFolder);
  void SelectScanner();
  // One scan: the driver under the scanner-start window, then the pages
  // are registered. A hot scan (a request from the scanner's button) uses
  // the driver's hot path and does not bring the window forward.
  void Scan(bool hot);
  // A page from the scanner driver: written as the next numbered file.
  void OnScannerPage(int kind, platform::GlobalHandle block);

  bool ScanIdle() const { return scanIdle_; }
  const std::string& ScanFolder() const { return scanFolder_; }
  const ScanRegistrationResult& LastScanRegistration() const { return lastScanRegistration_; }

 signals:
  // A scanned page was written as page file number.
  void scannedPageWritten(int number);
  // A scan is over and its pages were registered (or kept).
  void scanFinished();

 private:
  // Empties the scan folder, runs the driver under the scanner-start
  // window; false when the scan failed (the user was told).
  bool RunScan(bool hot);
  void RegisterScannedPages();
  platform::ScanSettings ReadScanSettings() const;
  void BringWindowForward();

  QMainWindow& window_;
  const KankyoSettings& settings_;
  QPointer<CFD3Doc> document_;
  std::unique_ptr<platform::CNewScanner> scanner_;
  ScannerChooser scannerChooser_;
  FreeSpaceProbe freeSpace_;
  std::string scanFolder_;
  int nextPageNumber_ = 1;
  bool scanIdle_ = true;
  ScanRegistrationResult lastScanRegistration_;
};
