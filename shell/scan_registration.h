#pragma once
// Registration of scanned pages: the numbered page files of the scan folder
// become entries of the folder open in the browser. One page becomes a
// single item, two or more one new stack whose pages follow the numbers.
//
//   ScanNaming           the scan-name settings (base, date, time)
//   MakeScanTitle        the entry title from the moment of the scan
//   CollectScannedPages  the page files ("<n>.bmp", any case) in number order
//   ImportScannedPages   registers them and empties the scan folder
//
// No page is dropped: pages after a gap in the numbering are registered in
// order with the rest, and whatever cannot be registered (no open folder,
// a catalogue that will not open, a batch that stops) is moved out of the
// scan folder into a folder of its own that the next scan does not empty,
// and the user is told where it is.

#include "catalogue/ann_box.h"

#include <QDateTime>
#include <QString>

#include <string>
#include <vector>

class CFD3Doc;
struct KankyoSettings;

struct ScanNaming {
  QString base;  // KankyoScanNameBase
  int date = 1;  // KankyoScanNameDate: 1 year, month and day; 2 month and day; else none
  int time = 2;  // KankyoScanNameTime: 1 24-hour; 2 12-hour with 午前/午後; else none
};
ScanNaming ScanNamingOf(const KankyoSettings& settings);

// The title used when base, date and time are all empty.
inline constexpr const char* kScanFallbackTitle = "スキャン";
QString MakeScanTitle(const ScanNaming& naming, const QDateTime& when);

// The file names (without folder) of the pages, by number.
std::vector<std::string> CollectScannedPages(const std::string& scanFolder);

struct ScanRegistrationResult {
  int pages = 0;             // page files found
  bool registered = false;   // an entry was made (entry says which)
  EntryRef entry;
  std::string keptFolder;    // where unregistered pages were put; empty when none
};

// Registers the pages of scanFolder in the open folder of doc, with the
// title of the clock's moment, the corrections of settings applied to every
// page; then deletes the scan folder. keepRoot is the folder under which
// pages that could not be registered are kept.
ScanRegistrationResult ImportScannedPages(CFD3Doc& doc, const KankyoSettings& settings, const std::string& scanFolder,
                                          const std::string& keepRoot);
