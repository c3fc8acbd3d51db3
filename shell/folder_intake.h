#pragma once
// Documents handed over from outside in bulk: the list import of a sibling
// recognition application (a request INI and files dropped into the
// program's "import" folder) and the migration of the earlier product's
// folders. Both register into new folders below the open folder and open a
// further numbered folder whenever one reaches the folder limit.
//
//   RequestFileOfCommandLine   the request file named after a switch
//   CleanImportName            the characters a title may not carry
//   CreateImportFolder         a free numbered folder, created
//   RefreshFolderBackup        info.mdb copied over info.bk
//   IntakeRun                  one run: target folders, limit, messages
//   RegisterIntakeGroup        one group of files into the targets
//   CheckListImportRequest, ImportRecognitionObject, RunListImport
//                              the list import
//   SplitEarlierName, ReadMigrationCandidates, KeepEarlierProductFolders,
//   MigrateEarlierFolder, RunEarlierMigration      the migration
//
// Files are always looked up by the names they have and registered under
// cleaned titles; nothing handed over is deleted unless it was registered.

#include <string>
#include <utility>
#include <vector>

class CFD3Doc;
class ImportProgressDlg;

inline constexpr const char* kListImportFolderName = "KPXからのインポート";
inline constexpr const char* kMigrationFolderName = "DU2からのデータ移行";

// The request path after switchName ("/Import", "/DU2.Import") and one
// blank: in double quotes up to the closing quote, else up to the next
// blank. The switch counts only as a word of its own. Empty when missing.
std::string RequestFileOfCommandLine(const std::string& commandLine, const std::string& switchName);

// Repeatedly turns the first "[" into "(", else the first "]" into ")",
// else drops the first apostrophe or "#"; an empty result becomes
// "NonTitle". When anything changed and messagePending is set, the user is
// told once and the flag cleared. True when the name changed.
bool CleanImportName(std::string& name, bool& messagePending);

// Makes path free by numbering (name2, name3, ...) when it exists and
// creates the folder; path becomes the name used. 0 done; 1 no free name;
// 2 the folder could not be made (each after its message).
int CreateImportFolder(std::string& path);

// Copies folder's info.mdb over its info.bk (the catalogue must be closed).
void RefreshFolderBackup(const std::string& folder);

struct IntakeRun {
  IntakeRun(CFD3Doc& d, ImportProgressDlg& p, std::string open, std::string name, std::string openFailure, int limit)
      : doc(d),
        progress(p),
        openFolder(std::move(open)),
        targetName(std::move(name)),
        openFailureMessage(std::move(openFailure)),
        folderLimit(limit) {}

  CFD3Doc& doc;
  ImportProgressDlg& progress;
  std::string openFolder;         // the folder below which targets are made, no trailing slash
  std::string targetName;         // kListImportFolderName or kMigrationFolderName
  std::string openFailureMessage; // shown when a target's catalogue cannot be opened
  int folderLimit = 2000;

  std::string targetFolder;       // current target; empty before the first
  std::string firstFolder;        // the first target made by the run
  bool renameMessagePending = true;
  int registered = 0;             // items registered by the run
  bool incomplete = false;        // a file was refused and left where it was
};

// Results of RegisterIntakeGroup and ImportRecognitionObject.
namespace intake {
inline constexpr int kDone = 0;
inline constexpr int kNoItems = 1;
inline constexpr int kCatalogueCheckFailed = 3;
inline constexpr int kCatalogueNotCreated = 4;
inline constexpr int kNothingToRegister = 5;
inline constexpr int kRegistrationAborted = 6;
inline constexpr int kFirstFolderNotMade = 7;
inline constexpr int kDiskShort = 9;
inline constexpr int kNextFolderNotMade = 10;
inline constexpr int kCatalogueNotOpened = 100;
// MigrateEarlierFolder
inline constexpr int kFolderNotListed = 5;
inline constexpr int kGroupFailed = 6;
}  // namespace intake

// Registers names (inside sourceFolder) with their attached texts and
// titles as stacks titled stackTitle, into run.targetFolder and as many
// further numbered folders as the limit asks for.
int RegisterIntakeGroup(IntakeRun& run, const std::string& stackTitle, const std::string& sourceFolder,
                        const std::vector<std::string>& names, const std::vector<std::string>& attached,
                        const std::vector<std::string>& titles);

// ---- the list import ----------------------------------------------------

int ImportRecognitionObject(IntakeRun& run, const std::string& importFolder, const std::string& requestFile,
                            int n);

// False after "インポート情報がありません。" when the request file is missing.
bool CheckListImportRequest(const std::string& requestFile);

struct ListImportOutcome {
  bool complete = false;  // every object registered whole
  bool dropFolderDeleted = false;
};
// The whole import of requestFile (inside importFolder, which exists) below
// run's open folder. The drop folder is deleted only when everything in it
// was registered; otherwise it stays, and the user is told.
ListImportOutcome RunListImport(IntakeRun& run, const std::string& importFolder, const std::string& requestFile);

// What a start without a list import does with the drop folder: deleted
// when its last request was registered whole (also when a kill cut that
// deletion short) or when it holds no file; otherwise the files were handed
// over and never registered (the program was killed during the import or
// before it), so they stay and the user is told where they lie. True when
// the folder was kept.
bool TidyListImportDropFolder(const std::string& importFolder);
// A start with a list import: the drop folder holds a new request, so an
// earlier request's completion no longer speaks for it.
void ForgetListImportCompletion(const std::string& importFolder);

// ---- the migration --------------------------------------------------------

// Splits a record file name ("請求001.TXT", "a.TXT.WRD"): extension "TXT" or
// "TXT.WRD" as written, stem without it, base without the stem's trailing
// ASCII digits. 1 when the name is no record file (the outputs untouched).
int SplitEarlierName(const std::string& name, std::string& base, std::string& stem, std::string& extension);

// RegFolder, FolderList and SubFolders of section "OCRFD", joined.
std::vector<std::string> ReadMigrationCandidates(const std::string& requestFile);

// The folders that are the earlier product's ("info.idd" and "info.sig"
// both there), in their order.
std::vector<std::string> KeepEarlierProductFolders(const std::vector<std::string>& folders);

int MigrateEarlierFolder(IntakeRun& run, const std::string& folder);

// Migrates the folders in order, stopping at the first failure; ends with
// the catalogue closed and the last target's backup refreshed. The source
// folders are never changed. The result of the last folder migrated.
int RunEarlierMigration(IntakeRun& run, const std::vector<std::string>& folders);
