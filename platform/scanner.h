#pragma once
// The scanner driver: the thin layer between the main frame and the
// scanners of the machine (SANE), with an in-process fake for tests.
//
//   ScannerSource     what acquires pages (SANE, or the fake); its acquire
//                     runs on the driver's worker thread
//   makeSaneSource    the source over libsane
//   FakeScannerSource a feeder of generated pages, in process
//   PackDibPage       one page as a packed device-independent bitmap
//   CNewScanner       the driver the frame owns: device list, source
//                     selection, the scan (a worker thread reads the pages
//                     and hands each to the user-interface thread), cancel
//
// A page crosses from the worker to the user-interface thread as a posted
// call carrying a global-memory block (global_memory.h) with the packed
// bitmap; the worker waits until the page handler has taken the block
// before it starts the next page, so a cancel given while a page is being
// written stops the feeder right after that page, and at most one page is
// held in memory.

#include "platform/global_memory.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

struct ScannerDeviceInfo {
  std::string name;  // what opens the device ("test:0")
  std::string vendor;
  std::string model;
  std::string type;
};

// The options of one acquisition; empty or 0 keeps the device's own value.
struct ScanSettings {
  std::string device;  // empty: the first device found
  std::string source;  // "Flatbed", "Automatic Document Feeder", ...
  std::string mode;    // "Lineart", "Gray", "Color"
  int depth = 0;       // bits per sample (1 with Gray gives line art)
  int resolution = 0;  // dots per inch
  double widthMm = 0;  // scan area from the top-left corner
  double heightMm = 0;
};

enum class ScanStatus {
  Done = 0,       // the feeder ran empty, or the flatbed page was read
  Cancelled = 1,  // stopped by Cancel; the pages so far were delivered
  NoDevice,       // no scanner (or the chosen one is gone)
  OpenFailed,     // the device would not open
  DeviceError,    // the device failed while scanning (jam, cover, I/O)
};

// Receives one page (a packed bitmap); false stops the acquisition.
using PageSink = std::function<bool(std::vector<std::uint8_t>&& dib)>;

class ScannerSource {
 public:
  virtual ~ScannerSource() = default;
  virtual std::vector<ScannerDeviceInfo> devices() = 0;
  // Acquires pages until the feeder is empty (one page from a flatbed),
  // each handed to sink in order. cancelled is read between the reads of a
  // page; a page cut short by it is not handed on.
  virtual ScanStatus acquire(const ScanSettings& settings, const PageSink& sink,
                             const std::atomic<bool>& cancelled) = 0;
  // Called on the user-interface thread to make a waiting read return.
  virtual void interrupt() {}
};

std::unique_ptr<ScannerSource> makeSaneSource();

// A 40-byte header, the palette (2 entries for 1 bit, 256 grey entries for
// 8 bits, none for 24) and the rows bottom-up, each padded to 4 bytes.
// topDownRows holds height rows of rowBytes bytes each, first row first;
// for 1 bit a set bit is black.
std::vector<std::uint8_t> PackDibPage(int width, int height, int bitCount, int dpi, const std::uint8_t* topDownRows,
                                      std::size_t rowBytes);

// A feeder of generated pages: `pages` pages of width x height pixels at
// bitCount (1, 8 or 24) bits, then empty. failAfter >= 0 makes the device
// fail after that many pages.
class FakeScannerSource : public ScannerSource {
 public:
  struct Options {
    int pages = 1;
    int width = 64;
    int height = 48;
    int bitCount = 1;
    int dpi = 200;
    int failAfter = -1;
    std::vector<ScannerDeviceInfo> devices{{"fake:0", "Fake", "Feeder", "sheetfed scanner"}};
  };
  explicit FakeScannerSource(Options options) : options_(std::move(options)) {}
  std::vector<ScannerDeviceInfo> devices() override { return options_.devices; }
  ScanStatus acquire(const ScanSettings& settings, const PageSink& sink, const std::atomic<bool>& cancelled) override;
  // The settings of the last acquisition.
  ScanSettings lastSettings() const;

 private:
  Options options_;
  mutable std::mutex mutex_;
  ScanSettings last_;
};

class CNewScanner : public QObject {
  Q_OBJECT
 public:
  // Runs on the user-interface thread for each page: kind 1 and the block
  // of the packed bitmap, which the handler frees.
  using PageHandler = std::function<void(int kind, GlobalHandle block)>;

  explicit CNewScanner(std::unique_ptr<ScannerSource> source, QObject* parent = nullptr);
  ~CNewScanner() override;

  int Startup();
  int SetScanFolder(const std::string& path);
  const std::string& ScanFolder() const { return scanFolder_; }
  void SetPageHandler(PageHandler handler) { pageHandler_ = std::move(handler); }
  void SetSettings(const ScanSettings& settings) { settings_ = settings; }
  const ScanSettings& Settings() const { return settings_; }
  std::vector<ScannerDeviceInfo> Devices();

  // Lets chooser pick one of the devices (the chosen name, or empty to keep
  // the current one); the choice goes into the settings. Always 0.
  int SelectSource(const std::function<std::string(const std::vector<ScannerDeviceInfo>&)>& chooser);

  // Runs one scan and returns when it is over; pages reach the page handler
  // meanwhile through the event loop. True when it ended normally or was
  // cancelled (LastStatus tells which), false on a failure.
  bool Scan();
  // The scan that a "/Scanning" request starts; the same acquisition.
  bool ScanHot() { return Scan(); }
  // Stops the running scan after the page in hand (from the page handler
  // or any slot on the user-interface thread).
  void Cancel();
  bool Scanning() const { return scanning_; }
  ScanStatus LastStatus() const { return lastStatus_; }

 private:
  std::unique_ptr<ScannerSource> source_;
  std::string scanFolder_;
  PageHandler pageHandler_;
  ScanSettings settings_;
  std::atomic<bool> cancelled_{false};
  bool scanning_ = false;
  ScanStatus lastStatus_ = ScanStatus::Done;
};

}  // namespace platform
