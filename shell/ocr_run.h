#pragma once
// OCR of selected documents into their attached texts: the one road the
// folder board, the list, the search dialog's hits and the launch of an
// application that wants text all take.
//
//   OcrRunSettings      what the run reads of the program's settings
//   OcrTextStore        where the texts are recorded (folder or hits)
//   OcrPagesSelection   given pages of one folder as a selection
//   RunOcr              collect, limit, prepare, read (batch or in the
//                       interactive dialog), store

#include "shell/launch_documents.h"
#include "shell/ocr_batch.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CFD3Doc;
class PageRecogniser;
class QWidget;
class SearchDatabase;
class OcrProgressDlg;
class OcrDlg;

struct OcrRunSettings {
  int ocrLevel = 0;      // the sibling OCR application's level (0: not installed)
  int ocrProgram = -1;   // KankyoOCRProgram
  int language = 2;      // KankyoOCRLanguage (2: the OCR dialogs' own setting)
  int stringType = 2;    // KankyoOCRStringType (2: the OCR dialogs' own setting)
  int bmpResolution = 200;  // KankyoBmpRes
  // The program folder's "ocrocx" unless set.
  std::string dictionaryFolder;
  // Asks before an existing attached text is replaced (the views' and the
  // search dialog's OCR command); the launch's recognition does not.
  bool askBeforeReplacing = true;
};

struct KankyoSettings;
// The run's settings from the program's: the sibling application's level
// as its lookup finds it, and the OCR and BMP settings.
OcrRunSettings OcrRunSettingsOf(const KankyoSettings& kankyo);

// Where the recognised texts of a selection are recorded.
class OcrTextStore {
 public:
  virtual ~OcrTextStore() = default;
  // False when the catalogue cannot be opened (told).
  virtual bool Open() { return true; }
  // True when the folder holds a document whose own file is `fileName`.
  virtual bool DocumentNamed(const OcrPage& page, const std::string& fileName) = 0;
  virtual bool Record(const OcrPage& page, int today) = 0;
};

// The open folder's catalogue, through the document.
class FolderOcrStore final : public OcrTextStore {
 public:
  explicit FolderOcrStore(CFD3Doc& document) : document_(document) {}
  bool Open() override;
  bool DocumentNamed(const OcrPage& page, const std::string& fileName) override;
  bool Record(const OcrPage& page, int today) override;

 private:
  CFD3Doc& document_;
};

// Search hits, each in its own folder through the search database.
class HitOcrStore final : public OcrTextStore {
 public:
  explicit HitOcrStore(SearchDatabase& database) : database_(database) {}
  bool DocumentNamed(const OcrPage& page, const std::string& fileName) override;
  bool Record(const OcrPage& page, int today) override;

 private:
  SearchDatabase& database_;
};

struct OcrRunResult {
  bool givenUp = false;    // nothing was recognised (no images, refused, nothing prepared)
  int stored = 0;          // attached texts written
  bool ranToEnd = false;   // every page was read
  bool programSetToOne = false;  // KankyoOCRProgram -1 became 1 (the caller saves it)
};

// Given pages of one folder as a selection (the launch's images that want
// text); they are stamped by the launch itself, not here.
class OcrPagesSelection final : public DocumentSelection {
 public:
  OcrPagesSelection(std::string folder, std::vector<ItemInfo> pages)
      : folder_(std::move(folder)), pages_(std::move(pages)) {}
  int Count() const override { return static_cast<int>(pages_.size()); }
  bool Read(std::vector<SelectedDocument>& out) override;
  void StampAccessed(const std::vector<SelectedDocument>&) override {}

 private:
  std::string folder_;
  std::vector<ItemInfo> pages_;
};

// How the pages of a run are read.
enum class OcrReading {
  // One after another under the progress dialog, by the OCR control, the
  // sibling application or the hooks' recogniser; every text read is kept,
  // also those read before a stop.
  Batch,
  // In the interactive OCR dialog, where the user reads and corrects them;
  // its texts are kept only when it ends with OK. The selection is the open
  // folder's: an empty folder reads nothing and says nothing.
  Interactive,
};

// Hooks for tests and the benchmark: the recogniser to use instead of the
// control's, and a look at the progress or interactive dialog before it
// runs.
struct OcrRunHooks {
  std::function<std::unique_ptr<PageRecogniser>()> makeRecogniser;
  std::function<void(OcrProgressDlg&)> onProgressDialog;
  std::function<void(OcrDlg&)> onDialog;
};

// The one road of every OCR command: collects the selection's image pages
// (none: "画像データが選択されていません。"), asks when there are more than
// the limit, converts them into "ocrin", has them read (reading), and puts
// each text kept in place as the page's attached text file, recorded in
// the store's catalogue.
OcrRunResult RunOcr(DocumentSelection& selection, OcrTextStore& store, CFD3Doc& document,
                    const OcrRunSettings& settings, OcrReading reading, QWidget* parent,
                    const OcrRunHooks& hooks = {});
