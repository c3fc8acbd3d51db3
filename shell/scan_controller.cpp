#include "shell/scan_controller.h"

#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/app_profile.h"
#include "shell/fd3_doc.h"
#include "shell/kankyo_settings.h"
#include "shell/progress_dialogs.h"
#include "shell/shell_log.h"

#include <QApplication>
#include <QDir>
#include <QInputDialog>
#include <QMainWindow>
#include <QStringList>

#include <span>

namespace {

// The scanner-start window; closing it (Escape, the close button) stops
// the scan after the page in hand.
class ScanWaitDlg : public ScannerStartDlg {
 public:
  explicit ScanWaitDlg(std::function<void()> cancel) : cancel_(std::move(cancel)) {}

 protected:
  void onCancel() override {
    ScannerStartDlg::onCancel();
    if (cancel_) cancel_();
  }

 private:
  std::function<void()> cancel_;
};

std::string chooseScannerInDialog(QWidget* parent, const std::vector<platform::ScannerDeviceInfo>& devices) {
  if (devices.empty()) {
    platform::messageBox("スキャナが見つかりませんでした。", platform::Buttons::Ok, platform::Icon::Warning);
    return {};
  }
  QStringList names;
  for (const auto& d : devices)
    names << QStringLiteral("%1 %2 (%3)").arg(QString::fromStdString(d.vendor), QString::fromStdString(d.model),
                                            QString::fromStdString(d.name));
  bool ok = false;
  const QString chosen = QInputDialog::getItem(parent, QStringLiteral("スキャナの選択"), QStringLiteral("スキャナ:"),
                                               names, 0, false, &ok);
  if (!ok) return {};
  const auto at = names.indexOf(chosen);
  return at >= 0 ? devices[static_cast<std::size_t>(at)].name : std::string();
}

}  // namespace

ScanController::ScanController(QMainWindow& window, const KankyoSettings& settings)
    : window_(window), settings_(settings) {}

ScanController::~ScanController() = default;

void ScanController::SetDocument(CFD3Doc* document) { document_ = document; }

platform::CNewScanner& ScanController::Scanner() {
  if (!scanner_) scanner_ = std::make_unique<platform::CNewScanner>(platform::makeSaneSource());
  return *scanner_;
}

void ScanController::SetScannerSource(std::unique_ptr<platform::ScannerSource> source) {
  const std::string folder = scanner_ ? scanner_->ScanFolder() : std::string();
  scanner_ = std::make_unique<platform::CNewScanner>(std::move(source));
  scanner_->SetScanFolder(folder);
}

void ScanController::Startup(const std::string& workFolder) {
  QDir(QString::fromStdString(workFolder)).removeRecursively();
  Scanner().Startup();
  Scanner().SetScanFolder(workFolder);
}

platform::ScanSettings ScanController::ReadScanSettings() const {
  auto profile = OpenAppProfile();
  const auto text = [&](const char* key) {
    return profile->value(BrowserKey(QString::fromLatin1(key))).toString().toStdString();
  };
  platform::ScanSettings s;
  s.device = text("ScannerDevice");
  s.source = text("ScanSource");
  s.mode = text("ScanMode");
  s.depth = profile->value(BrowserKey(QStringLiteral("ScanDepth")), 0).toInt();
  s.resolution = profile->value(BrowserKey(QStringLiteral("ScanResolution")), 300).toInt();
  s.widthMm = profile->value(BrowserKey(QStringLiteral("ScanWidthMm")), 0).toDouble();
  s.heightMm = profile->value(BrowserKey(QStringLiteral("ScanHeightMm")), 0).toDouble();
  return s;
}

void ScanController::SelectScanner() {
  Scanner().SetSettings(ReadScanSettings());
  Scanner().SelectSource([this](const std::vector<platform::ScannerDeviceInfo>& devices) {
    return scannerChooser_ ? scannerChooser_(devices) : chooseScannerInDialog(&window_, devices);
  });
  const std::string chosen = Scanner().Settings().device;
  if (!chosen.empty()) {
    auto profile = OpenAppProfile();
    profile->setValue(BrowserKey(QStringLiteral("ScannerDevice")), QString::fromStdString(chosen));
  }
}

void ScanController::Scan(bool hot) {
  scanIdle_ = false;
  RunScan(hot);
  if (!hot) BringWindowForward();
  RegisterScannedPages();
  scanIdle_ = true;
  emit scanFinished();
}

void ScanController::BringWindowForward() {
  window_.raise();
  window_.activateWindow();
}

bool ScanController::RunScan(bool hot) {
  platform::CNewScanner& scanner = Scanner();
  scanFolder_ = platform::workFolder(platform::workfolder::kScanOut);
  QDir(QString::fromStdString(scanFolder_)).removeRecursively();
  QDir().mkpath(QString::fromStdString(scanFolder_));
  scanner.SetScanFolder(scanFolder_);
  scanner.SetSettings(ReadScanSettings());
  scanner.SetPageHandler([this](int kind, platform::GlobalHandle block) { OnScannerPage(kind, block); });
  nextPageNumber_ = 1;
  bool ok = false;
  {
    ScanWaitDlg wait([&scanner] { scanner.Cancel(); });
    wait.Create(&window_);
    ok = hot ? scanner.ScanHot() : scanner.Scan();
    wait.Close();
  }
  window_.repaint();
  if (ok) return true;
  const char* text = "スキャン中にエラーが発生しました。";
  switch (scanner.LastStatus()) {
    case platform::ScanStatus::NoDevice: text = "スキャナが見つかりませんでした。"; break;
    case platform::ScanStatus::OpenFailed: text = "スキャナを開けませんでした。"; break;
    default: break;
  }
  BringWindowForward();
  platform::messageBox(text, platform::Buttons::Ok, platform::Icon::Warning, "スキャン");
  return false;
}

void ScanController::OnScannerPage(int kind, platform::GlobalHandle block) {
  if (kind != 1 || block == 0) {
    platform::globalFree(block);
    return;
  }
  const std::span<const std::uint8_t> bytes(platform::globalLock(block), platform::globalSize(block));
  const std::string path = platform::joinPath(scanFolder_, std::to_string(nextPageNumber_) + ".bmp");
  const bool newTwain = platform::getProfileInt(platform::programIniPath(), "ブリンデル", "NewTWAIN", 0) != 0;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const ScanPageResult written = WriteScannedPage(bytes, path, newTwain, freeSpace_);
  QApplication::restoreOverrideCursor();
  platform::globalUnlock(block);
  platform::globalFree(block);
  if (written == ScanPageResult::Written) {
    emit scannedPageWritten(nextPageNumber_++);
    return;
  }
  // The pages so far stay and are registered when the scan returns.
  std::string text;
  switch (written) {
    case ScanPageResult::NoDriveInfo: text = "ﾄﾞﾗｲﾌﾞ情報が取得できませんでした。"; break;
    case ScanPageResult::NoSpace: text = "tmpの空き容量が不足しています。\n画像を保存できません。"; break;
    case ScanPageResult::CannotCreate: text = "スキャンした画像を保存できませんでした。\n" + path; break;
    default: text = "スキャナから受け取った画像を読めませんでした。"; break;
  }
  Scanner().Cancel();
  BringWindowForward();
  platform::messageBox(text, platform::Buttons::Ok, platform::Icon::Warning);
}

void ScanController::RegisterScannedPages() {
  if (!document_) {
    qCWarning(lcRequests) << "no document: the scanned pages stay in" << scanFolder_.c_str();
    return;
  }
  lastScanRegistration_ = ImportScannedPages(*document_, settings_, scanFolder_, platform::workFolder("scankeep"));
  qCInfo(lcRequests) << "scanned pages:" << lastScanRegistration_.pages
                     << "registered:" << lastScanRegistration_.registered;
  if (QWidget* view = window_.centralWidget()) view->update();
}
