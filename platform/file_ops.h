#pragma once
// File operations that Linux lacks in the form the program needs.
//
//   renameNoReplace     rename that never replaces an existing target
//   copyFileReplacing   copy that replaces the target only when complete
//   makePartialCopy, placePartialCopy, releasePartialCopy, partialCopyTarget
//                       copies that never replace, with recognisable leftovers
//   writeFileReplacing  bytes that replace the target only when complete
//   readFileCapped      a whole regular file, refused above a size
//   readFileHead        the first bytes of a regular file
//   isRegularFile       a regular file (links followed)
//   freeDiskBytes       bytes free for the user on the file system of a path
//   moveToTrash         the user's trash, creating its folders when missing
//
// Failures come back as errno values (0 = done).

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform {

// EEXIST when the target exists. Where the file system knows the no-replace
// flag, the check and the rename are one step; where it refuses the flag, a
// hard link (which fails on an existing target just as atomically) and the
// removal of the old name take its place; where it has no hard links either
// (folders, network shares, FAT media), the target is checked to be absent
// and the source renamed: the only way left there, with a short window in
// which another program could create the target.
int renameNoReplace(const std::string& from, const std::string& to);

// The system calls renameNoReplace is made of, each giving 0 or an errno;
// tests replace them to play file systems that refuse one of them.
struct RenameCalls {
  std::function<int(const char* from, const char* to)> renameNoReplace;  // renameat2, no-replace flag
  std::function<int(const char* from, const char* to)> link;
  std::function<int(const char* path)> unlink;
  std::function<int(const char* path)> lstat;  // 0 when the path exists
  std::function<int(const char* from, const char* to)> rename;
};
// The calls of the running system.
const RenameCalls& systemRenameCalls();
// Installs other calls; nullptr puts the system's back. For tests.
void setRenameCalls(const RenameCalls* calls);

// Writes a temporary file beside the target and renames it over the target
// at the end, so the target is either the old file or the whole copy. The
// copy gets the default permissions of a new file, not the source's (the
// source may be a read-only installed template).
int copyFileReplacing(const std::string& from, const std::string& to);

// Copies that must never replace a file, and whose leftovers a later look
// at the folder can tell from the user's files.
//
// makePartialCopy copies from into a new hidden file beside to, named
// ".<name of to>.part.XXXXXX" (a pattern of this program's own), flushed to
// disk; partial gets its path. placePartialCopy gives the copy the name to
// (EEXIST when it exists): as a hard link where the file system has them,
// so that until releasePartialCopy drops the partial name, the placed file
// is known as this program's copy (same inode) should the process die
// before the copy is recorded. Without hard links the partial file is
// renamed and nothing is left to release.
int makePartialCopy(const std::string& from, const std::string& to, std::string& partial);
int placePartialCopy(const std::string& partial, const std::string& to);
void releasePartialCopy(const std::string& partial);
// The name a partial copy was made for: "x.doc" for ".x.doc.part.a1B2c3".
// Nothing for any name the pattern does not make.
std::optional<std::string> partialCopyTarget(const std::string& fileName);

// Writes the bytes to a temporary file beside the target and renames it over
// the target, so the target is the old file or the new one whole. Which step
// failed matters to the binary formats' callers, whose statuses tell a file
// that could not be made from one that could not be written or finished.
enum class ReplaceStage { Done, Create, Write, Finish };
ReplaceStage writeFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes);

// The guarded reader: every file that the program reads because of where
// it lies (INI files, attached texts, request files, pages and their
// pictures) is read through it. Only a regular file is opened, without
// waiting, so that a FIFO, a device or a socket under a file's name can
// neither block the program nor feed it without end; EISDIR for anything
// that is not a regular file.
//
// Reads a whole regular file into *out: 0, an errno, or EFBIG when it is
// larger than maxBytes (nothing of it is read then).
int readFileCapped(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>* out);
int readFileCapped(const std::string& path, std::size_t maxBytes, std::string* out);
// At most the first maxBytes of a regular file, whatever its size.
int readFileHead(const std::string& path, std::size_t maxBytes, std::string* out);
int readFileHead(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>* out);
bool isRegularFile(const std::string& path);

std::optional<std::uint64_t> freeDiskBytes(const std::string& path);

// Moves a file or folder to the freedesktop trash. The home trash folders
// ($XDG_DATA_HOME/Trash/files and info) are made first when missing, since
// a fresh account has none. False when the item stays where it was.
bool moveToTrash(const std::string& path);

}  // namespace platform
