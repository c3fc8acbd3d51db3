#pragma once
// Import of files of the disk into a folder: the pieces around
// CFD3Doc::ImportFile, ImportFileBatch and StoreImportedFile (whose bodies
// live in import_file.cpp).
//
//   ClassifyImportFile    the file class word of a file (what kind of
//                         document it is, how it is searched, how it is shown)
//   ImportSettings        the frame's settings the import reads
//   ImportBatch           groups the catalogue writes of many imported files
//                         into a few commits
//   SetImportCopyFunction the copy that puts a file into the folder; tests
//                         replace it to play a copy that fails or comes short
//
// Fast registration. Every catalogue change is its own durable commit when
// nobody groups them, and a durable commit waits for the disk (about 55 a
// second here). An import of many files runs inside ImportBatch, which holds
// one transaction of the caller's and commits it once a second and at its
// end; each file still runs in a savepoint of its own, so a file that fails
// undoes only itself. A crash (kill -9, power loss) loses at most the
// entries of the files of the last second: their document files are
// then in the folder without an entry (the rescan of unregistered files
// finds them), never an entry without its file. The catalogue keeps its
// rollback journal, so a catalogue at rest opens on read-only media and the
// guarantees of compaction and restore are untouched (bench/import_bench
// measures this against a WAL journal).

#include "shell/image_utilities.h"

#include <QElapsedTimer>

#include <cstdint>
#include <functional>
#include <string>

class CFD3Doc;

namespace importclass {
inline constexpr std::uint32_t kStorageMask = 0x3000;
inline constexpr std::uint32_t kOleStorage = 0x2000;
inline constexpr std::uint32_t kPlainFile = 0x1000;
inline constexpr std::uint32_t kLevelMask = 0x700;
inline constexpr std::uint32_t kLevelDocument = 0x100;
inline constexpr std::uint32_t kLevelImage = 0x200;
inline constexpr std::uint32_t kLevelHtml = 0x400;
inline constexpr std::uint32_t kTextMask = 0x70000;
inline constexpr std::uint32_t kTextNone = 0x10000;
inline constexpr std::uint32_t kTextLibrary = 0x20000;
inline constexpr std::uint32_t kTextPlain = 0x40000;
inline constexpr std::uint32_t kKindMask = 0x3F000000;
inline constexpr std::uint32_t kKindImage = 0x01000000;
inline constexpr std::uint32_t kKindZrvUni = 0x02000000;
inline constexpr std::uint32_t kKindKpxDraw = 0x04000000;
inline constexpr std::uint32_t kKindHtml = 0x08000000;
inline constexpr std::uint32_t kImageKinds = 0x07000000;
inline constexpr std::uint32_t kFormatMask = 0x3F;

inline constexpr std::uint32_t kText = 0x10040120;
inline constexpr std::uint32_t kOffice = 0x20020110;
inline constexpr std::uint32_t kHtml = 0x08020408;
inline constexpr std::uint32_t kZrvUni = 0x02010202;
inline constexpr std::uint32_t kKpxDraw = 0x04010204;
inline constexpr std::uint32_t kImage = 0x01010201;
inline constexpr std::uint32_t kOther = 0x20011120;

// The item's levels as the class word gives them.
int ImageLevelOf(std::uint32_t classWord);
int FullTextLevelOf(std::uint32_t classWord);
int OleLevelOf(std::uint32_t classWord);
}  // namespace importclass

// The class word of the file at path, whose first bytes are head (at least
// the first 9 when the file has them): by extension first (text, office,
// web page and mail), then by signature ("$$ZRV Uni", "Kpx Draw"), then as
// an image that imageCtrl can examine (never a PDF), else "other". The
// storage bits (OLE compound file or plain file) are or-ed into the first
// five kinds.
std::uint32_t ClassifyImportFile(CLead& imageCtrl, const std::string& path, const std::string& head);

struct ImportSettings {
  int folderMax = 2000;  // KankyoShowFolderMax2000
  ImageStorageSettings storage;
  ScanCorrections corrections;
};

// Puts from into place as to; true when to is then a whole copy of from.
using ImportCopyFunction = std::function<bool(const std::string& from, const std::string& to)>;
// nullptr puts the program's copy back.
void SetImportCopyFunction(ImportCopyFunction copy);

// One transaction of the caller's over the document's catalogue while many
// files are imported into the folder that is open. Call BeforeFile before
// each ImportFile and AfterFile after it; the destructor commits.
class ImportBatch {
 public:
  static constexpr int kCommitIntervalMs = 1000;
  explicit ImportBatch(CFD3Doc& doc) : doc_(doc) {}
  ~ImportBatch() { Commit(); }
  ImportBatch(const ImportBatch&) = delete;
  ImportBatch& operator=(const ImportBatch&) = delete;
  // Commits what is pending when the next file goes into another folder
  // (the document closes this one then), and begins a transaction when the
  // catalogue of destFolder is open and none is running.
  void BeforeFile(const std::string& destFolder);
  void AfterFile();
  void Commit();

 private:
  CFD3Doc& doc_;
  bool open_ = false;
  QElapsedTimer sinceBegin_;  // monotonic; no test asserts on it
};
