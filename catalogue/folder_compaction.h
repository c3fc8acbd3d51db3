#pragma once
// Compaction, backup and restore of a folder's catalogue file, for the
// FolderDatabase that owns the connection (folder_compaction.cpp tells the
// order of the file steps that keeps a whole catalogue at every moment).
//
//   CompactFolder                 renumber, keep info.bk, put a compacted
//                                 info.mdb in its place
//   RestoreFromBackup             info.bk back as info.mdb
//   RecoverInterruptedCompaction  the backup back where a compaction was cut
//   TakeRecoveryNotice            whether the last look recovered a backup
//   SetFileStepHook               the crash tests' stop between file steps

#include "catalogue/folder_connection.h"

#include <string>
#include <utility>

class FolderDatabase;

class FolderCompaction {
 public:
  static constexpr const char* kBackupFileName = "info.bk";

  explicit FolderCompaction(FolderConnection& connection) : connection_(connection) {}

  // Opens and closes the folder through database (whose connection this
  // is), so that the open recovers and tidies the folder as any open does.
  int CompactFolder(FolderDatabase& database, const std::string& folder);
  int RestoreFromBackup(const std::string& folder);
  // A folder with info.bk and no info.mdb gets its backup back (and loses
  // the compaction's leftover work file) before anything looks at it.
  int RecoverInterruptedCompaction(const std::string& folder);
  bool TakeRecoveryNotice() { return std::exchange(recoveryNotice_, false); }
  static void SetFileStepHook(void (*hook)());

 private:
  FolderConnection& connection_;
  bool recoveryNotice_ = false;
};
