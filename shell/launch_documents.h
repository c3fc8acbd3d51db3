#pragma once
// Handing the selected documents of a pane to an application: the
// registered applications (started with the documents' files), the
// program's own actions behind negative codes (print, mail, OCR and the
// hand-offs to the sibling applications), and mail. The folder board, the
// list and the search dialog's hit board all come here, each with a
// DocumentSelection of its own.
//
//   DocumentSelection, FolderSelection, HitSelection   the selected documents of a pane
//   LaunchApplication                    a registered application on the selection
//   RunBuiltInApplication                the negative codes
//   MailSelection                        the documents and their attached texts by mail
//   HandOffSelection                     images to Lumora, Cardello or Penwise
//
// Dates of last access are stamped only after the start, the mail or the
// hand-off went out.

#include "catalogue/catalogue_records.h"
#include "shell/app_bar.h"
#include "shell/handoff_documents.h"

#include <functional>
#include <string>
#include <vector>

class CEntryHolder;
class CFD3Doc;
class SearchDatabase;

// One selected document: a single item (stackNo 0, one page) or a stack
// with its pages in page order.
struct SelectedDocument {
  std::string folder;  // without trailing slash
  int folderNo = 0;    // the search database's folder number (hits only)
  int stackNo = 0;
  int currentPage = 0;  // the stack's current page number
  std::vector<ItemInfo> pages;
};

// The document file of a page: folder/title.ext.
std::string DocumentFileOf(const std::string& folder, const ItemInfo& item);
// Its attached text file: the document file's whole name, a point and the
// text extension; empty when the page has none.
std::string AttachedTextOf(const std::string& folder, const ItemInfo& item);

class DocumentSelection {
 public:
  virtual ~DocumentSelection() = default;
  virtual int Count() const = 0;
  // The documents in the pane's order; false after a catalogue error (told).
  virtual bool Read(std::vector<SelectedDocument>& out) = 0;
  // Stamps the given pages (and their stacks) as accessed today.
  virtual void StampAccessed(const std::vector<SelectedDocument>& documents) = 0;
};

// The selected entries of the open folder (the folder board and the list).
class FolderSelection final : public DocumentSelection {
 public:
  FolderSelection(CFD3Doc& document, std::vector<int> entryIndices)
      : document_(document), entries_(std::move(entryIndices)) {}
  int Count() const override { return static_cast<int>(entries_.size()); }
  bool Read(std::vector<SelectedDocument>& out) override;
  void StampAccessed(const std::vector<SelectedDocument>& documents) override;

 private:
  CFD3Doc& document_;
  std::vector<int> entries_;
};

// The selected hits of the search dialog's board: each hit read from its
// own folder through the cross-folder search database (a hit entry's flags
// hold its folder number). Hits that cannot be read are left out.
class HitSelection final : public DocumentSelection {
 public:
  HitSelection(SearchDatabase& database, const CEntryHolder& hits, std::vector<int> hitIndices)
      : database_(database), hits_(hits), indices_(std::move(hitIndices)) {}
  int Count() const override { return static_cast<int>(indices_.size()); }
  bool Read(std::vector<SelectedDocument>& out) override;
  void StampAccessed(const std::vector<SelectedDocument>& documents) override;

 private:
  SearchDatabase& database_;
  const CEntryHolder& hits_;
  std::vector<int> indices_;
};

// What the pane lends to the program's own actions.
struct LaunchServices {
  CFD3Doc* document = nullptr;  // work folder and imaging control
  // The print settings: images, and the other files of the chosen kinds.
  bool printImages = false;
  bool printOthers = false;
  std::function<void()> print;         // the view's print command
  std::function<void()> ocrSelection;  // the view's OCR of the selected images
  // Recognises the images into their attached texts before a start (items
  // of the OCR-text preparation that have no text yet); true when that
  // failed. Without it such a launch is refused.
  std::function<bool(const std::vector<ItemInfo>& items)> recognise;
};

void LaunchApplication(const AppRegistration& application, DocumentSelection& selection,
                       const LaunchServices& services);
void RunBuiltInApplication(int code, const QString& programPath, DocumentSelection& selection,
                           const LaunchServices& services);
// True when the mail program was started.
bool MailSelection(DocumentSelection& selection, CFD3Doc& document);
// True when the launcher was started.
bool HandOffSelection(HandOffTarget target, DocumentSelection& selection, CFD3Doc& document,
                      const QString& programPath = {});
