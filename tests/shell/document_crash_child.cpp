// The process that the crash tests kill: it runs one operation on folders
// and stops itself with SIGKILL just before its n-th change to a file, so
// that the kill points follow the operation's own steps whatever the load
// of the machine.
//
//   document_crash_child open FOLDER KILL_AT      the document loads FOLDER
//                                                (check, compaction, open, load)
//   document_crash_child move FROM TO KILL_AT     every entry of FROM is moved to TO
//   document_crash_child transfer FROM TO KILL_AT every document of FROM, files
//                                                 and rows, is moved to TO
//   document_crash_child import FROM TO KILL_AT   every file of FROM is imported into
//                                                TO by the import loop
//
// A step is a change the engine makes to a file (open, write, truncate,
// unlink, through the engine's own system-call table) or a file step of
// compaction and recovery (the catalogue's hook). KILL_AT 0 runs the whole
// operation and writes one line per step, its kind, to standard output.

#include "catalogue/folder_database.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "shell/entry_copy.h"
#include "shell/import_command.h"

#include <QApplication>
#include <QDir>

#include <sqlite3.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

long gSteps = 0;
long gKillAt = 0;

void step(char kind) {
  ++gSteps;
  if (gKillAt == 0) {
    std::printf("%c\n", kind);
    return;
  }
  if (gSteps == gKillAt) ::raise(SIGKILL);
}

using OpenCall = int (*)(const char*, int, int);
using WriteCall = ssize_t (*)(int, const void*, size_t);
using PwriteCall = ssize_t (*)(int, const void*, size_t, off_t);
using TruncateCall = int (*)(int, off_t);
using UnlinkCall = int (*)(const char*);

OpenCall gOpen;
WriteCall gWrite;
PwriteCall gPwrite, gPwrite64;
TruncateCall gTruncate;
UnlinkCall gUnlink;

int countedOpen(const char* path, int flags, int mode) {
  if (flags & O_CREAT) step('o');
  return gOpen(path, flags, mode);
}
ssize_t countedWrite(int fd, const void* data, size_t size) {
  step('w');
  return gWrite(fd, data, size);
}
ssize_t countedPwrite(int fd, const void* data, size_t size, off_t offset) {
  step('w');
  return gPwrite(fd, data, size, offset);
}
ssize_t countedPwrite64(int fd, const void* data, size_t size, off_t offset) {
  step('w');
  return gPwrite64(fd, data, size, offset);
}
int countedTruncate(int fd, off_t size) {
  step('t');
  return gTruncate(fd, size);
}
int countedUnlink(const char* path) {
  step('u');
  return gUnlink(path);
}

template <typename Call>
void replace(sqlite3_vfs* vfs, const char* name, Call& original, Call counted) {
  original = reinterpret_cast<Call>(vfs->xGetSystemCall(vfs, name));
  if (original) vfs->xSetSystemCall(vfs, name, reinterpret_cast<sqlite3_syscall_ptr>(counted));
}

void countEngineSteps() {
  sqlite3_initialize();
  sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
  replace(vfs, "open", gOpen, countedOpen);
  replace(vfs, "write", gWrite, countedWrite);
  replace(vfs, "pwrite", gPwrite, countedPwrite);
  replace(vfs, "pwrite64", gPwrite64, countedPwrite64);
  replace(vfs, "ftruncate", gTruncate, countedTruncate);
  replace(vfs, "unlink", gUnlink, countedUnlink);
  FolderDatabase::SetFileStepHook([] { step('f'); });
}

int openThroughTheDocument(const std::string& folder) {
  platform::RecordingUserInteraction answers;  // every box gets its first button
  CFD3Doc doc;
  doc.LoadFolder(folder + "/", 0);
  return doc.Database().IsOpen() ? 0 : 3;
}

int moveEverything(const std::string& source, const std::string& target) {
  FolderDatabase from, to;
  if (from.OpenFolder(source, false) != 0 || to.OpenFolder(target, false) != 0) return 3;
  std::vector<EntryRef> entries;
  {
    Statement rows(from.Engine(),
                   "SELECT 0, ItemNo FROM ItemMST WHERE StackNo IS NULL UNION ALL "
                   "SELECT 1, StackNo FROM StackMST");
    while (rows.step()) entries.push_back({rows.intAt(0), rows.intAt(1)});
  }
  for (const EntryRef& entry : entries) {
    EntryRef made;
    if (from.MoveTo(entry.Kind, entry.No, to, made) != 0) return 4;
  }
  return 0;
}

// Every document of FROM (files and rows) moved to TO as the browser moves
// documents between folders.
int transferEverything(const std::string& source, const std::string& target) {
  FolderDatabase from, to;
  if (from.OpenFolder(source, false) != 0 || to.OpenFolder(target, false) != 0) return 3;
  std::vector<EntryRef> entries;
  {
    Statement rows(from.Engine(),
                   "SELECT 0, ItemNo FROM ItemMST WHERE StackNo IS NULL UNION ALL "
                   "SELECT 1, StackNo FROM StackMST");
    while (rows.step()) entries.push_back({rows.intAt(0), rows.intAt(1)});
  }
  for (const EntryRef& entry : entries)
    if (entrycopy::TransferEntry(from, entry.Kind, entry.No, to, source, target, false).outcome !=
        entrycopy::Outcome::Done)
      return 4;
  return 0;
}

int importEverything(const std::string& source, const std::string& target) {
  platform::RecordingUserInteraction answers;
  CFD3Doc doc;
  std::vector<ImportLoopFile> files;
  for (const QString& name : QDir(QString::fromStdString(source)).entryList(QDir::Files, QDir::Name))
    files.push_back({source + "/" + name.toStdString(), std::nullopt});
  const int done = ImportFileLoop(doc, target, files, nullptr);
  return done == static_cast<int>(files.size()) ? 0 : 4;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 3 && args[0] == "open") {
    gKillAt = std::atol(args[2].c_str());
    countEngineSteps();
    return openThroughTheDocument(args[1]);
  }
  if (args.size() == 4 && args[0] == "move") {
    gKillAt = std::atol(args[3].c_str());
    countEngineSteps();
    return moveEverything(args[1], args[2]);
  }
  if (args.size() == 4 && args[0] == "transfer") {
    gKillAt = std::atol(args[3].c_str());
    countEngineSteps();
    entrycopy::SetFileStepHook([] { step('f'); });
    return transferEverything(args[1], args[2]);
  }
  if (args.size() == 4 && args[0] == "import") {
    gKillAt = std::atol(args[3].c_str());
    countEngineSteps();
    return importEverything(args[1], args[2]);
  }
  std::fprintf(stderr, "usage: %s open FOLDER KILL_AT | move FROM TO KILL_AT | transfer FROM TO KILL_AT | import FROM TO KILL_AT\n", argv[0]);
  return 2;
}
