#include "platform/scanner.h"

#include "platform/byte_order.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QMetaObject>

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <iterator>
#include <thread>

#include <csignal>
#include <signal.h>

namespace platform {

namespace {

Q_LOGGING_CATEGORY(lcScanner, "brindel.scanner")


bool lowerContains(std::string text, const char* word) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text.find(word) != std::string::npos;
}

// A feeder keeps delivering pages; a flatbed gives one per scan.
bool isFeeder(const std::string& source) {
  return lowerContains(source, "feeder") || lowerContains(source, "adf") || lowerContains(source, "duplex");
}

// ---- SANE --------------------------------------------------------------

// Backends may set process-wide signal dispositions for their reader
// threads or processes; the program's own handlers (the session end on
// SIGTERM) are put back when the session is over.
class SaneSession {
 public:
  SaneSession() {
    for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], nullptr, &saved_[i]);
    SANE_Int version = 0;
    ok_ = sane_init(&version, nullptr) == SANE_STATUS_GOOD;
  }
  ~SaneSession() {
    if (ok_) sane_exit();
    for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &saved_[i], nullptr);
  }
  SaneSession(const SaneSession&) = delete;
  SaneSession& operator=(const SaneSession&) = delete;
  bool ok() const { return ok_; }

 private:
  static constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGCHLD};
  struct sigaction saved_[std::size(kSignals)] {};
  bool ok_ = false;
};

int findOption(SANE_Handle h, const char* name) {
  SANE_Int count = 0;
  if (sane_control_option(h, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD) return -1;
  for (SANE_Int i = 1; i < count; ++i) {
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(h, i);
    if (d && d->name && std::strcmp(d->name, name) == 0 && SANE_OPTION_IS_ACTIVE(d->cap) &&
        SANE_OPTION_IS_SETTABLE(d->cap))
      return i;
  }
  return -1;
}

void setStringOption(SANE_Handle h, const char* name, const std::string& wanted) {
  if (wanted.empty()) return;
  const int i = findOption(h, name);
  if (i < 0) return;
  const SANE_Option_Descriptor* d = sane_get_option_descriptor(h, i);
  if (d->type != SANE_TYPE_STRING) return;
  std::string value = wanted;
  // The device's own spelling of the same word.
  if (d->constraint_type == SANE_CONSTRAINT_STRING_LIST) {
    for (const SANE_String_Const* s = d->constraint.string_list; s && *s; ++s)
      if (strcasecmp(*s, wanted.c_str()) == 0) value = *s;
  }
  std::vector<char> buffer(static_cast<std::size_t>(std::max<SANE_Int>(d->size, 1)) + value.size() + 1, 0);
  std::memcpy(buffer.data(), value.c_str(), value.size());
  if (sane_control_option(h, i, SANE_ACTION_SET_VALUE, buffer.data(), nullptr) != SANE_STATUS_GOOD)
    qCWarning(lcScanner) << "the device refused" << name << "=" << value.c_str();
}

void setNumberOption(SANE_Handle h, const char* name, double wanted) {
  if (wanted <= 0) return;
  const int i = findOption(h, name);
  if (i < 0) return;
  const SANE_Option_Descriptor* d = sane_get_option_descriptor(h, i);
  SANE_Word value = 0;
  if (d->type == SANE_TYPE_INT) {
    value = static_cast<SANE_Word>(std::lround(wanted));
  } else if (d->type == SANE_TYPE_FIXED) {
    value = SANE_FIX(wanted);
  } else {
    return;
  }
  if (d->size != static_cast<SANE_Int>(sizeof(SANE_Word))) return;  // arrays are not ours to set
  if (sane_control_option(h, i, SANE_ACTION_SET_VALUE, &value, nullptr) != SANE_STATUS_GOOD)
    qCWarning(lcScanner) << "the device refused" << name << "=" << wanted;
}

std::string stringOption(SANE_Handle h, const char* name) {
  SANE_Int count = 0;
  if (sane_control_option(h, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD) return {};
  for (SANE_Int i = 1; i < count; ++i) {
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(h, i);
    if (!d || !d->name || std::strcmp(d->name, name) != 0 || d->type != SANE_TYPE_STRING) continue;
    std::vector<char> buffer(static_cast<std::size_t>(std::max<SANE_Int>(d->size, 1)) + 1, 0);
    if (sane_control_option(h, i, SANE_ACTION_GET_VALUE, buffer.data(), nullptr) != SANE_STATUS_GOOD) return {};
    return buffer.data();
  }
  return {};
}

int resolutionOf(SANE_Handle h) {
  const int i = findOption(h, SANE_NAME_SCAN_RESOLUTION);
  if (i < 0) return 0;
  const SANE_Option_Descriptor* d = sane_get_option_descriptor(h, i);
  SANE_Word value = 0;
  if (d->size != static_cast<SANE_Int>(sizeof(SANE_Word)) ||
      sane_control_option(h, i, SANE_ACTION_GET_VALUE, &value, nullptr) != SANE_STATUS_GOOD)
    return 0;
  return d->type == SANE_TYPE_FIXED ? static_cast<int>(std::lround(SANE_UNFIX(value))) : value;
}

// One frame's bytes as a packed bitmap; empty when the format is not one we
// take (three-pass colour, odd depths).
std::vector<std::uint8_t> toDib(const SANE_Parameters& p, const std::vector<std::uint8_t>& data, int dpi) {
  if (p.bytes_per_line <= 0 || p.pixels_per_line <= 0) return {};
  const std::size_t srcRow = static_cast<std::size_t>(p.bytes_per_line);
  const int lines = static_cast<int>(data.size() / srcRow);
  if (lines <= 0) return {};
  const int width = p.pixels_per_line;
  if (p.format == SANE_FRAME_GRAY && (p.depth == 1 || p.depth == 8))
    return PackDibPage(width, lines, p.depth, dpi, data.data(), srcRow);
  if (p.format == SANE_FRAME_GRAY && p.depth == 16) {
    std::vector<std::uint8_t> grey(static_cast<std::size_t>(width) * static_cast<std::size_t>(lines));
    for (int y = 0; y < lines; ++y)
      for (int x = 0; x < width; ++x)  // the high byte, in the machine's order as SANE gives it
        grey[static_cast<std::size_t>(y) * width + x] =
            static_cast<std::uint8_t>(reinterpret_cast<const std::uint16_t*>(data.data() + y * srcRow)[x] >> 8);
    return PackDibPage(width, lines, 8, dpi, grey.data(), static_cast<std::size_t>(width));
  }
  if (p.format == SANE_FRAME_RGB && (p.depth == 8 || p.depth == 16)) {
    const int step = p.depth / 8;
    std::vector<std::uint8_t> bgr(static_cast<std::size_t>(width) * 3 * static_cast<std::size_t>(lines));
    for (int y = 0; y < lines; ++y) {
      const std::uint8_t* row = data.data() + y * srcRow;
      std::uint8_t* out = bgr.data() + static_cast<std::size_t>(y) * width * 3;
      for (int x = 0; x < width; ++x) {
        for (int c = 0; c < 3; ++c) {
          const std::uint8_t* sample = row + (x * 3 + c) * step;
          std::uint8_t v = sample[0];
          if (step == 2) v = static_cast<std::uint8_t>(*reinterpret_cast<const std::uint16_t*>(sample) >> 8);
          out[x * 3 + (2 - c)] = v;
        }
      }
    }
    return PackDibPage(width, lines, 24, dpi, bgr.data(), static_cast<std::size_t>(width) * 3);
  }
  return {};
}

class SaneSource : public ScannerSource {
 public:
  std::vector<ScannerDeviceInfo> devices() override {
    SaneSession session;
    std::vector<ScannerDeviceInfo> result;
    if (!session.ok()) return result;
    const SANE_Device** list = nullptr;
    if (sane_get_devices(&list, SANE_TRUE) != SANE_STATUS_GOOD || !list) return result;
    for (; *list; ++list)
      result.push_back({(*list)->name ? (*list)->name : "", (*list)->vendor ? (*list)->vendor : "",
                        (*list)->model ? (*list)->model : "", (*list)->type ? (*list)->type : ""});
    return result;
  }

  ScanStatus acquire(const ScanSettings& settings, const PageSink& sink, const std::atomic<bool>& cancelled) override {
    SaneSession session;
    if (!session.ok()) return ScanStatus::NoDevice;
    std::string name = settings.device;
    if (name.empty()) {
      const SANE_Device** list = nullptr;
      if (sane_get_devices(&list, SANE_TRUE) != SANE_STATUS_GOOD || !list || !list[0]) return ScanStatus::NoDevice;
      name = list[0]->name;
    }
    SANE_Handle h = nullptr;
    const SANE_Status opened = sane_open(name.c_str(), &h);
    if (opened != SANE_STATUS_GOOD) {
      qCWarning(lcScanner) << "cannot open" << name.c_str() << sane_strstatus(opened);
      return opened == SANE_STATUS_INVAL ? ScanStatus::NoDevice : ScanStatus::OpenFailed;
    }
    setStringOption(h, SANE_NAME_SCAN_SOURCE, settings.source);
    setStringOption(h, SANE_NAME_SCAN_MODE, settings.mode);
    setNumberOption(h, SANE_NAME_BIT_DEPTH, settings.depth);
    setNumberOption(h, SANE_NAME_SCAN_RESOLUTION, settings.resolution);
    setNumberOption(h, SANE_NAME_SCAN_BR_X, settings.widthMm);
    setNumberOption(h, SANE_NAME_SCAN_BR_Y, settings.heightMm);
    const bool feeder = isFeeder(stringOption(h, SANE_NAME_SCAN_SOURCE));
    const int dpi = resolutionOf(h);
    {
      std::lock_guard lock(mutex_);
      handle_ = h;
    }
    ScanStatus status = ScanStatus::Done;
    for (int page = 0;; ++page) {
      if (cancelled) {
        status = ScanStatus::Cancelled;
        break;
      }
      const SANE_Status started = sane_start(h);
      if (started == SANE_STATUS_NO_DOCS && page > 0) break;  // the feeder ran empty
      if (started == SANE_STATUS_CANCELLED) {
        status = ScanStatus::Cancelled;
        break;
      }
      if (started != SANE_STATUS_GOOD) {
        qCWarning(lcScanner) << "sane_start:" << sane_strstatus(started);
        status = ScanStatus::DeviceError;
        break;
      }
      SANE_Parameters p{};
      if (sane_get_parameters(h, &p) != SANE_STATUS_GOOD || !p.last_frame) {
        status = ScanStatus::DeviceError;
        break;
      }
      std::vector<std::uint8_t> data;
      if (p.lines > 0 && p.bytes_per_line > 0)
        data.reserve(static_cast<std::size_t>(p.lines) * static_cast<std::size_t>(p.bytes_per_line));
      std::vector<SANE_Byte> buffer(256 * 1024);
      SANE_Status read = SANE_STATUS_GOOD;
      while (!cancelled) {
        SANE_Int got = 0;
        read = sane_read(h, buffer.data(), static_cast<SANE_Int>(buffer.size()), &got);
        if (read != SANE_STATUS_GOOD) break;
        data.insert(data.end(), buffer.begin(), buffer.begin() + got);
      }
      if (cancelled || read == SANE_STATUS_CANCELLED) {
        status = ScanStatus::Cancelled;
        break;
      }
      if (read != SANE_STATUS_EOF) {
        qCWarning(lcScanner) << "sane_read:" << sane_strstatus(read);
        status = ScanStatus::DeviceError;
        break;
      }
      std::vector<std::uint8_t> dib = toDib(p, data, dpi);
      if (dib.empty()) {
        status = ScanStatus::DeviceError;
        break;
      }
      if (!sink(std::move(dib))) {
        status = ScanStatus::Cancelled;
        break;
      }
      if (!feeder) break;
    }
    sane_cancel(h);
    {
      std::lock_guard lock(mutex_);
      handle_ = nullptr;
    }
    sane_close(h);
    return status;
  }

  void interrupt() override {
    // sane_cancel may be called from another thread while a read waits.
    std::lock_guard lock(mutex_);
    if (handle_) sane_cancel(handle_);
  }

 private:
  std::mutex mutex_;
  SANE_Handle handle_ = nullptr;
};

}  // namespace

std::unique_ptr<ScannerSource> makeSaneSource() { return std::make_unique<SaneSource>(); }

std::vector<std::uint8_t> PackDibPage(int width, int height, int bitCount, int dpi, const std::uint8_t* topDownRows,
                                      std::size_t rowBytes) {
  const int palette = bitCount == 1 ? 2 : bitCount == 8 ? 256 : 0;
  const std::size_t outRow = ((static_cast<std::size_t>(width) * bitCount + 31) / 32) * 4;
  const std::size_t header = 40 + 4 * static_cast<std::size_t>(palette);
  std::vector<std::uint8_t> dib(header + outRow * static_cast<std::size_t>(height), 0);
  std::uint8_t* h = dib.data();
  platform::storeLe32(h, 40);
  platform::storeLe32(h + 4, static_cast<std::uint32_t>(width));
  platform::storeLe32(h + 8, static_cast<std::uint32_t>(height));
  platform::storeLe16(h + 12, 1);
  platform::storeLe16(h + 14, static_cast<std::uint16_t>(bitCount));
  platform::storeLe32(h + 20, static_cast<std::uint32_t>(outRow * static_cast<std::size_t>(height)));
  const auto ppm = static_cast<std::uint32_t>(std::lround(dpi / 0.0254));
  platform::storeLe32(h + 24, ppm);
  platform::storeLe32(h + 28, ppm);
  platform::storeLe32(h + 32, static_cast<std::uint32_t>(palette));
  std::uint8_t* pal = h + 40;
  for (int i = 0; i < palette; ++i) {
    const auto v = static_cast<std::uint8_t>(palette == 2 ? i * 255 : i);
    pal[i * 4] = pal[i * 4 + 1] = pal[i * 4 + 2] = v;
  }
  const std::size_t copy = std::min(rowBytes, outRow);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* src = topDownRows + static_cast<std::size_t>(y) * rowBytes;
    std::uint8_t* dst = h + header + static_cast<std::size_t>(height - 1 - y) * outRow;
    std::memcpy(dst, src, copy);
    // Scanners mark black with a set bit; palette entry 0 is black here.
    if (bitCount == 1)
      for (std::size_t i = 0; i < copy; ++i) dst[i] = static_cast<std::uint8_t>(~dst[i]);
  }
  return dib;
}

// ---- the fake ------------------------------------------------------------

ScanStatus FakeScannerSource::acquire(const ScanSettings& settings, const PageSink& sink,
                                      const std::atomic<bool>& cancelled) {
  {
    std::lock_guard lock(mutex_);
    last_ = settings;
  }
  if (options_.devices.empty()) return ScanStatus::NoDevice;
  const std::size_t rowBytes = (static_cast<std::size_t>(options_.width) * options_.bitCount + 7) / 8;
  std::vector<std::uint8_t> rows(rowBytes * static_cast<std::size_t>(options_.height));
  for (int page = 0; page < options_.pages; ++page) {
    if (cancelled) return ScanStatus::Cancelled;
    if (page == options_.failAfter) return ScanStatus::DeviceError;
    // Each page differs: a band whose place follows the page number.
    for (std::size_t i = 0; i < rows.size(); ++i)
      rows[i] = static_cast<std::uint8_t>((i / rowBytes) % static_cast<std::size_t>(options_.pages + 1) ==
                                                  static_cast<std::size_t>(page)
                                              ? 0xFF
                                              : 0x00);
    if (!sink(PackDibPage(options_.width, options_.height, options_.bitCount, options_.dpi, rows.data(), rowBytes)))
      return ScanStatus::Cancelled;
  }
  return options_.failAfter >= 0 && options_.failAfter <= options_.pages ? ScanStatus::DeviceError
                                                                        : ScanStatus::Done;
}

ScanSettings FakeScannerSource::lastSettings() const {
  std::lock_guard lock(mutex_);
  return last_;
}

// ---- the driver ----------------------------------------------------------

CNewScanner::CNewScanner(std::unique_ptr<ScannerSource> source, QObject* parent)
    : QObject(parent), source_(std::move(source)) {}

CNewScanner::~CNewScanner() = default;

int CNewScanner::Startup() { return source_ ? 0 : -1; }

int CNewScanner::SetScanFolder(const std::string& path) {
  scanFolder_ = path;
  return 0;
}

std::vector<ScannerDeviceInfo> CNewScanner::Devices() { return source_ ? source_->devices() : std::vector<ScannerDeviceInfo>{}; }

int CNewScanner::SelectSource(const std::function<std::string(const std::vector<ScannerDeviceInfo>&)>& chooser) {
  const std::string chosen = chooser ? chooser(Devices()) : std::string();
  if (!chosen.empty()) settings_.device = chosen;
  return 0;
}

void CNewScanner::Cancel() {
  if (!scanning_) return;
  cancelled_ = true;
  if (source_) source_->interrupt();
}

bool CNewScanner::Scan() {
  if (!source_ || scanning_) return false;
  scanning_ = true;
  cancelled_ = false;
  QEventLoop loop;
  std::atomic<bool> finished{false};
  ScanStatus status = ScanStatus::Done;
  const ScanSettings settings = settings_;
  std::thread worker([&] {
    const PageSink sink = [&](std::vector<std::uint8_t>&& dib) {
      if (cancelled_) return false;
      const GlobalHandle block = globalAllocCopy(dib);
      dib.clear();
      dib.shrink_to_fit();
      if (block == 0) return false;
      std::mutex m;
      std::condition_variable taken;
      bool done = false;
      // The handler runs on the user-interface thread; the next page waits
      // until it is through.
      QMetaObject::invokeMethod(
          this,
          [&, block] {
            if (pageHandler_) {
              pageHandler_(1, block);
            } else {
              globalFree(block);
            }
            std::lock_guard lock(m);
            done = true;
            taken.notify_one();
          },
          Qt::QueuedConnection);
      std::unique_lock lock(m);
      taken.wait(lock, [&] { return done; });
      return !cancelled_.load();
    };
    status = source_->acquire(settings, sink, cancelled_);
    finished = true;
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  if (!finished) {
    // The loop was ended from outside (the session ends): the scan is
    // cancelled, and events are still served until the worker is through,
    // since a page on its way waits for its handler here.
    Cancel();
    while (!finished) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  worker.join();
  // A cancel that came after the last page still ends the scan as cancelled.
  if (status == ScanStatus::Done && cancelled_) status = ScanStatus::Cancelled;
  lastStatus_ = status;
  scanning_ = false;
  qCInfo(lcScanner) << "scan over, status" << static_cast<int>(status);
  return status == ScanStatus::Done || status == ScanStatus::Cancelled;
}

}  // namespace platform
