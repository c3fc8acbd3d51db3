#pragma once
// Printing the pages of selected documents (the board's selection, the
// search dialog's hits): image pages are printed here, one page per sheet;
// other files listed in the print settings are handed to the print command.
//
//   PagePrintSettings  the frame's print settings that decide what prints
//   PrintSettingsFrom  those settings read from the frame's
//   IsPagePrintable    one file under those settings
//   ShellPrintFile     a non-image file to the print command
//   PrintImagePage     one image file onto the next sheet
//   PrintPageRange     the page walk over a range (downwards when reversed)
//   PrintList          the print dialog over a list, then the walk of its range

#include <QStringList>

#include <functional>
#include <string>
#include <vector>

class CLead;
class QPainter;
class QPrinter;

struct PagePrintSettings {
  bool printImages = true;    // KankyoPrintImage
  bool printListed = false;   // KankyoPrintUserSelect
  QStringList patterns;       // "*.doc", ... built from KankyoPrintFileExt
  bool rotateToPaper = true;  // KankyoPrintRotate
  int bmpResolution = 400;    // KankyoBmpRes
  int marginXMm = 0;          // KankyoPrintSpaceX
  int marginYMm = 0;          // KankyoPrintSpaceY
  // With rotateToPaper: turn a page lying across the paper even when it
  // fits (the board), rather than only when it does not (search hits).
  bool turnWheneverCrosswise = false;
};

struct KankyoSettings;
PagePrintSettings PrintSettingsFrom(const KankyoSettings& settings);

struct PrintListEntry {
  std::string path;
  bool image = false;
};

bool IsPagePrintable(bool image, const std::string& ext, const PagePrintSettings& settings);

// Starts program with arguments in folder; false when it could not start.
using PrintCommandRunner =
    std::function<bool(const QString& program, const QStringList& arguments, const QString& folder)>;
// The default: `lp` with the file, when it is installed.
PrintCommandRunner DefaultPrintCommand();

// A file whose extension is in patterns goes to the print command; one that
// the command cannot take is reported with its path. Anything else prints nothing.
void ShellPrintFile(const std::string& path, const QStringList& patterns, const PrintCommandRunner& run);

// Loads path into ctrl and prints it at its physical size on a sheet that
// startSheet makes ready (false: the printer failed). False, with no sheet
// used, for a missing or unreadable file.
bool PrintImagePage(QPrinter& printer, QPainter& painter, CLead& ctrl, const std::string& path,
                    const PagePrintSettings& settings, const std::function<bool()>& startSheet);

// Walks pages from fromPage to toPage (1-based; downwards when from > to):
// image pages print when images are printed, other files go to the print
// command when listed files are printed. Returns the sheets printed.
int PrintPageRange(QPrinter& printer, const std::vector<PrintListEntry>& pages, int fromPage, int toPage,
                   const PagePrintSettings& settings, CLead& ctrl, const PrintCommandRunner& run);

// Offers pages to the print dialog that setup runs (its last page the
// list's length) and walks the range chosen; the sheets printed, 0 after
// Cancel or for an empty list.
int PrintList(const std::vector<PrintListEntry>& pages, const PagePrintSettings& settings,
              const std::function<bool(QPrinter&)>& setup, const PrintCommandRunner& run);
