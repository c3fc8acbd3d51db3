#pragma once
// FulltextSearch: whether one catalogue item contains the search words.
// The item is turned into Shift-JIS text (its attached OCR text, the
// document itself, the text of a web page or mail, or the text an outside
// program extracts) and the full-text engine scans it.
//
//   Init, Post               one search database's life
//   RegisterString, JoinWords  the words as one expression
//   SetParameter             width and case variants, similarity
//   SearchItemFile           one item
//   SetExtractorPrograms     the programs of the text-extraction adapter
//
// Text extraction: ".doc" through catdoc, ".xls" through xls2csv, ".pdf"
// through pdftotext, started with an argument list and an absolute path and
// stopped after kExtractorTimeoutMs; the office formats that are zip
// archives of XML (".docx", ".xlsx", ".pptx", OpenDocument) are read in the
// process (office_archive_text.h). The UTF-8 text is written as the
// Shift-JIS work file tmp/swork.TXT of the program folder. A missing
// program, a failed run or a format without an extractor yields no text:
// the item is no hit and is counted in NoTextCount with its reason.
// Web pages (".htm", ".html") and MIME HTML archives and mails (".mht",
// ".mhtml", ".eml") are searched in their text without tags. A plain text
// (a document of level 3, an attached text) in UTF-8 or EUC-JP is read as
// such; the charset of a text that names none is told by one rule for
// texts, pages and mail parts (mime::plainTextToShiftJis). Only the work
// file is deleted after a scan, never a document or its attached text.
//
// Speed: texts, pages and mails are read whole and scanned in memory, and
// SearchItems spreads the items of a folder over the machine's cores while
// the caller receives the results in item order on its own thread; only
// the extraction programs run one at a time, on the caller's thread.

#include "catalogue/catalogue_records.h"
#include "catalogue/fulltext_engine.h"

#include <QStringList>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace fulltextmode {
inline constexpr int kExact = 0;
inline constexpr int kPrefix = 10;
inline constexpr int kSuffix = 20;
inline constexpr int kContains = 30;
}  // namespace fulltextmode

class FulltextSearch {
 public:
  static constexpr const char* kWorkFileName = "swork.TXT";
  static constexpr std::size_t kMaxLibraryFolderBytes = 260;
  static constexpr int kExtractorTimeoutMs = 120000;

  FulltextSearch();
  ~FulltextSearch();
  FulltextSearch(const FulltextSearch&) = delete;
  FulltextSearch& operator=(const FulltextSearch&) = delete;

  bool Init(const std::string& libraryFolder);
  bool Post();
  // The words (UTF-8) joined by mode and registered; false when a word has
  // no Shift-JIS form or the expression does not parse.
  bool RegisterString(const std::vector<std::string>& words, int mode);
  // "abc", "de" → mode 0: "abc" #or# "de"; 10: abc* #or# de*; 20: *abc
  // #or# *de; 30: *abc* #or# *de*. A quotation mark inside a word of mode 0
  // is doubled, so the phrase stays one term.
  static std::string JoinWords(const std::vector<std::string>& words, int mode);
  // widthVariants, caseFolding, similarity (percent).
  bool SetParameter(int a, int widthVariants, int caseFolding, int similarity);
  // hit = 1 when the item contains the expression. False only on an engine
  // error, with LastError set.
  bool SearchItemFile(const std::string& folderPath, const ItemInfo& item, int& hit);

  // Searches the items in parallel; onResult(index, hit) runs on the
  // calling thread in item order and returns false to stop (a cancel).
  // False only on an engine error, with LastError set.
  bool SearchItems(const std::string& folderPath, const std::vector<ItemInfo>& items,
                   const std::function<bool(std::size_t index, int hit)>& onResult);
  // The most threads SearchItems uses; 0 means the machine's cores.
  void SetThreadLimit(unsigned limit) { threadLimit_ = limit; }

  void SetExtractorPrograms(std::string catdoc, std::string xls2csv);
  void SetPdfExtractorProgram(std::string pdftotext);
  const std::string& LastError() const { return lastError_; }
  // Items that had no text to search (and why, for the last one).
  int NoTextCount() const { return noTextCount_; }
  const std::string& LastNoTextReason() const { return lastNoTextReason_; }
  void ResetNoTextCount() {
    noTextCount_ = 0;
    lastNoTextReason_.clear();
  }
  const std::string& WorkTextPath() const { return workTextPath_; }
  fulltext::FulltextEngine& Engine() { return engine_; }

 private:
  // What an item gives to search, found without touching shared state.
  struct ItemText {
    enum Kind { kNone, kText, kNoText, kOnCallerThread } kind = kNone;
    std::string bytes;   // Shift-JIS text (kText)
    std::string path;    // the file (kNoText, kOnCallerThread)
    std::string reason;  // kNoText
  };
  // scratch: a buffer whose capacity a plain text is read into.
  ItemText ReadItemText(const std::string& folderPath, const ItemInfo& item, std::string& scratch) const;
  // Searches what ReadItemText gave, on the caller's thread.
  bool Finish(const ItemText& text, int& hit);
  bool Scan(const std::string& path, bool isWorkFile, int& hit);
  void NoText(const std::string& path, const std::string& reason);
  // Runs an extractor with arguments before the document's absolute path
  // (and after it, when the program wants an output there); true with the
  // work file written.
  bool Extract(const std::string& program, const std::string& name, const std::string& document,
               const QStringList& before, const QStringList& after = {});
  bool WriteWorkText(const std::string& document, std::string_view utf8);

  std::string libraryFolder_;
  std::string workTextPath_;
  std::string workFolder_;
  std::string lastError_;
  std::string catdoc_ = "catdoc";
  std::string xls2csv_ = "xls2csv";
  unsigned threadLimit_ = 0;
  std::string pdftotext_ = "pdftotext";
  int noTextCount_ = 0;
  std::string lastNoTextReason_;
  bool initialised_ = false;
  fulltext::FulltextEngine engine_;
};
