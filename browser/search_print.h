#pragma once
// Printing the documents of the search dialog's selected hits: image pages
// are printed here, one page per sheet; other files listed in the print
// settings are handed to the print command.
//
//   HitPrintSettings   the frame's print settings that decide what prints
//   IsPagePrintable    one file under those settings
//   ShellPrintFile     a non-image file to the print command
//   PrintHitImage      one image file onto the next sheet
//   PrintHitPages      the page walk over a range (downwards when reversed)

#include <QStringList>

#include <functional>
#include <string>
#include <vector>

class CLead;
class QPainter;
class QPrinter;

struct HitPrintSettings {
  bool printImages = true;    // KankyoPrintImage
  bool printListed = false;   // KankyoPrintUserSelect
  QStringList patterns;       // "*.doc", ... built from KankyoPrintFileExt
  bool rotateToPaper = true;  // KankyoPrintRotate
  int bmpResolution = 400;    // KankyoBmpRes
};

struct HitPrintPage {
  std::string path;
  bool image = false;
};

bool IsPagePrintable(bool image, const std::string& ext, const HitPrintSettings& settings);

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
bool PrintHitImage(QPrinter& printer, QPainter& painter, CLead& ctrl, const std::string& path,
                   const HitPrintSettings& settings, const std::function<bool()>& startSheet);

// Walks pages from fromPage to toPage (1-based; downwards when from > to):
// image pages print when images are printed, other files go to the print
// command when listed files are printed. Returns the sheets printed.
int PrintHitPages(QPrinter& printer, const std::vector<HitPrintPage>& pages, int fromPage, int toPage,
                  const HitPrintSettings& settings, CLead& ctrl, const PrintCommandRunner& run);
