// libFuzzer target: "$$ZRV Uni" files into pages kept in memory. Every
// completed page must be exactly as long as its TIFF directory says.
#include "formats/zrv_uni_reader.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

class CheckedPages : public ZrvPageSink {
 public:
  bool beginPage(int) override {
    if (open_) __builtin_trap();
    open_ = true;
    page_.clear();
    return true;
  }
  bool write(std::string_view bytes) override {
    if (!open_) __builtin_trap();
    page_ += bytes;
    return true;
  }
  bool endPage() override {
    if (!open_ || page_.size() < 206) __builtin_trap();
    auto at = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(page_[i])); };
    // StripByteCounts is the tenth directory entry; its value sits at 126.
    std::uint32_t stripBytes = at(126) | (at(127) << 8) | (at(128) << 16) | (at(129) << 24);
    if (page_.size() != 206u + stripBytes) __builtin_trap();
    open_ = false;
    ++pages;
    return true;
  }
  void abandonPage() override {
    if (!open_) __builtin_trap();
    open_ = false;
  }
  int pages = 0;

 private:
  bool open_ = false;
  std::string page_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ZrvUniLimits limits;
  limits.maxSide = 4096;
  limits.maxPageBytes = 1u << 20;
  limits.maxTotalBytes = 8u << 20;
  limits.maxPages = 64;
  CheckedPages sink;
  int rc = readZrvUni(std::string_view(reinterpret_cast<const char*>(data), size), sink, limits);
  if ((rc > 0 && rc != sink.pages) || (rc < 0 && -rc != sink.pages + 1)) __builtin_trap();
  return 0;
}
