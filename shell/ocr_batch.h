#pragma once
// The OCR road's core: which recogniser a run goes to and how many images
// it takes, the pages of a run, and how a recognised text becomes the
// attached text file of its document. No widgets here; the preparation of
// the images (ocr_preparation), the recognisers (ocr_control_host,
// ocr_sibling) and the dialogs (ocr_dialogs) build on it.
//
//   OcrRunFlags, OcrRunFlagsOf, OcrRunLimit      the road and its limit
//   OcrPage                                      one image of a run
//   OcrTextPathOf                                where a prepared image's text goes
//   EncodeOcrText, WriteOcrText                  the recogniser's text as a file
//   ToHalfWidth                                  the half-width output mode
//   TrimSiblingText                              the sibling's list-road text
//   AttachedOcrTextOf, InstallAttachedText       the document's attached text
//   StoreFolderOcrText, StoreHitOcrText          record it in the catalogue
//   PageRecogniser, RunOcrPages                  the batch over the prepared pages

#include "catalogue/catalogue_records.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class FolderDatabase;
class SearchDatabase;

struct OcrRunFlags {
  bool useSibling = false;  // the sibling OCR application reads the run
  bool keepGrey = true;     // grey and colour images are not reduced to black and white
  bool keepColour = true;   // colour images stay colour (as JPEG)
  int limit = 50;           // images in one run
};

// ocrLevel: what the sibling's lookup found (0 none, 1 too old, 4 to 7);
// ocrProgram: the setting KankyoOCRProgram (0 always the control).
OcrRunFlags OcrRunFlagsOf(int ocrLevel, int ocrProgram);
// The one limit of an OCR run: 100 images when the sibling application's
// level is 7 or more, else 50.
int OcrRunLimit(int ocrLevel);

// One image of a run, from the selection to its stored text.
struct OcrPage {
  std::string folder;  // the document's folder, without trailing slash
  int folderNo = 0;    // the search database's folder number (hits only)
  ItemInfo item;       // the page's record as read
  std::string source;  // the document's file: folder/Title.Ext
  std::string prepared;  // the converted copy in "ocrin"; empty until prepared
  int resolution = 0;    // dpi of the prepared copy, 200..400
};

// The file a recogniser writes a prepared image's text to: its whole name
// with ".TXT" added.
std::string OcrTextPathOf(const std::string& preparedPath);

// The recogniser's text (UTF-8) as the bytes of an attached text: Shift-JIS
// with CR LF line ends. Characters without a Shift-JIS code become "?".
std::string EncodeOcrText(std::string_view utf8);
// Writes the encoded text to path (replaced only once the new text is
// whole). False when it could not.
bool WriteOcrText(const std::string& path, std::string_view utf8);

// Full-width katakana, letters, digits and the usual marks to their
// half-width forms; everything else as it was.
std::string ToHalfWidth(std::string_view utf8);

// The text of one page as the sibling application's list road hands it
// over: only a trailing NUL, CR or LF is dropped, never a character.
std::string TrimSiblingText(std::string text);

// The attached text file of a page: folder/Title.Ext.TXT.
std::string AttachedOcrTextOf(const std::string& folder, const ItemInfo& item);

enum class InstallResult { Installed, BelongsToOtherDocument, Failed };
// Puts the text file `textFile` in place as the page's attached text. The
// old text is replaced only once the new one is whole (written beside it
// and renamed over it). A file of that name that is itself a document of
// the folder (Title "a.bmp", Ext "TXT") is never touched:
// otherDocumentNamed tells whether one is.
InstallResult InstallAttachedText(const std::string& textFile, const std::string& target,
                                  bool otherDocumentNamed);

// Records the page's attached text in the open folder's catalogue: TextExt
// "TXT" and today's last-modified date, and for a page of a stack the
// stack's last-modified date. Called once the file is in place. Errors are
// shown (ShowLastDbError); false then.
bool StoreFolderOcrText(FolderDatabase& db, const ItemInfo& item, int today);
// The same for a search hit, through the cross-folder search database.
bool StoreHitOcrText(SearchDatabase& db, int folderNo, const ItemInfo& item, int today);

// The batch's recogniser of one page.
class PageRecogniser {
 public:
  virtual ~PageRecogniser() = default;
  // Before the first page; false ends the batch (the recogniser told why).
  virtual bool Start() = 0;
  virtual bool Load(const std::string& path) = 0;
  // The page's text (UTF-8, half-width applied); false when it failed.
  virtual bool Recognise(int resolution, std::string* text) = 0;
  virtual void Finish() {}
};

// Runs the batch: each prepared page loaded and recognised; a text that is
// not empty goes to OcrTextPathOf(prepared). pump() runs between the steps
// and answers whether to stop; onPage(i) runs as page i (0-based) begins.
enum class OcrBatchOutcome { Done, Stopped, Failed, NotStarted };
OcrBatchOutcome RunOcrPages(PageRecogniser& recogniser, const std::vector<OcrPage>& pages,
                            const std::function<bool()>& pump, const std::function<void(int)>& onPage);
