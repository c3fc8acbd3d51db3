#pragma once
// ZrvUniReader: a multi-page "$$ZRV Uni" file as one uncompressed TIFF per
// page ("<base>-<n>.tif", n from 1).
//
// File: "$$ZRV Uni" and a zero byte in the first 12 bytes, then records
// "_" + tag. Header: _MU unit, _Rs "h,v" dpi, _Sz "w,h" in units, _Ro turned,
// _Co colour mode (1 black and white, else 24-bit), _BP/_BD skipped, _DS
// starts the page data. Values are zero-terminated decimal text. Page data:
// _DL n + n bytes of one row, _WL n blank rows, _EP end of page; a page may
// be introduced by _DS again.
//
// Every count is clamped to the page: rows longer than the row, rows past
// the page height and blank runs past it are dropped, missing rows are
// blank. Sizes are capped, so a small file cannot ask for gigabytes.
//
// Diagnostics go to standard output only; callers see the result.

#include <cstdint>
#include <string>
#include <string_view>

struct ZrvUniLimits {
  std::int64_t maxSide = 65535;                 // pixels
  std::uint64_t maxPageBytes = 256ull << 20;    // image bytes of one page
  std::uint64_t maxTotalBytes = 2048ull << 20;  // all pages together
  int maxPages = 9999;
};

// Where the pages go: files for the import, memory for tests and fuzzing.
class ZrvPageSink {
 public:
  virtual ~ZrvPageSink() = default;
  virtual bool beginPage(int pageNo) = 0;  // false: the page cannot be created
  virtual bool write(std::string_view bytes) = 0;
  virtual bool endPage() = 0;     // the page is complete
  virtual void abandonPage() = 0;  // the page is not: nothing of it may remain
};

// Reads a file image through `readSome` (returns the bytes read, 0 at the
// end) into `sink`. Result as ZrvUniReader's.
class ZrvByteSource {
 public:
  virtual ~ZrvByteSource() = default;
  virtual std::size_t readSome(char* buffer, std::size_t capacity) = 0;
};
int readZrvUni(ZrvByteSource& source, ZrvPageSink& sink, const ZrvUniLimits& limits = {});
int readZrvUni(std::string_view file, ZrvPageSink& sink, const ZrvUniLimits& limits = {});

// The number of pages written (>= 1); 0 when the file cannot be opened, is
// not a "$$ZRV Uni" file, or its header is incomplete, zero, negative or too
// large; -n when page n could not be completed (pages 1..n-1 stay written,
// nothing of page n remains).
int ZrvUniReader(const std::string& path, const std::string& basePath);
