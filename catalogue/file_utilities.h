#pragma once
// File, folder and path utilities that the rest of the program uses.
//
//   DeleteFolderTree, DeleteFileForce, ShellDelete     deleting
//   MakeUniqueFileName, SplitFileTitle, ResolveLongPath  names and paths
//   InitModuleFolder, GetModuleFolder, GetSamplesFolder,
//   ClassifyReservedPath                               the program's own folders
//   CheckDiskFree, CheckTargetFolder                   checks with a message
//   IsDatabaseFileName                                 the catalogue's own files
//   CanDrawTextInRect                                  a text-drawing guard
//
// Paths are POSIX paths in UTF-8. Messages go through platform::messageBox.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Deletes every file and subfolder below folder, but not folder itself.
// Names keep their case (the file system tells names apart by case).
// Symbolic links are deleted, never followed. True when the folder could be
// listed and every subfolder was emptied.
bool DeleteFolderTree(const std::string& folder);

// 0 when deleted or when nothing was there; -1 for a folder (nothing is
// deleted); otherwise the errno of the failed deletion.
int DeleteFileForce(const std::string& path);

// Deletes a file or folder without asking: into the user's trash, or for
// good. 0 on success, else an errno value (ENOENT when nothing is there).
int ShellDelete(const std::string& path, bool deleteForGood);

// The path with a counter between title and extension (photo.jpg →
// photo2.jpg, photo3.jpg, ...) that names no existing file; empty when all
// counters below 100003 are taken. The given path itself is not tried.
std::string MakeUniqueFileName(const std::string& path);

// The path without its extension (a point after the last slash), + suffix.
std::string SplitFileTitle(const std::string& path, const std::string& suffix);

// Replaces each component of an absolute path by the name the file system
// stores: the name itself when it exists, else the entry whose name matches
// it case-insensitively. 0 on success; 1 when the path is not absolute,
// ends with a slash or is the root, has an empty component, a component is
// missing, or the result would not fit in bufferSize bytes (with its
// terminator). Creates nothing; path is changed only on success.
int ResolveLongPath(std::string& path, std::size_t bufferSize);

// The program folder string: the per-user program folder with a trailing
// slash, empty until InitModuleFolder runs at start-up.
void InitModuleFolder();
const std::string& GetModuleFolder();
// The folder a first start offers as its desktop, with a trailing slash: a
// folder the user sees among their documents (platform::samplesFolder).
std::string GetSamplesFolder();

// How a path relates to the folders the program must not file documents
// in, the first that holds: 1 it is the program folder, 2 the program folder
// lies inside it, 3 it lies inside the program folder (the same three for
// the installation folder, the folder of the running executable); 4 it is
// the config folder (the INI files), 5 the config folder lies inside it, 6
// it lies inside the config folder; 0 none; -1 a path too long or no config
// folder.
int ClassifyReservedPath(const std::string& path);

inline constexpr std::uint64_t kMinDiskFreeBytes = 16ull * 1024 * 1024;

// True (after a message) when the file system of root has less than 16 MiB
// free for the user, or its free space cannot be read; false when there is
// enough.
bool CheckDiskFree(const std::string& root);
// The same rule for a measured amount (nullopt: could not be read).
bool CheckDiskFreeBytes(std::optional<std::uint64_t> freeBytes);

// True (after a message naming label) when the folder (with a trailing
// slash) is missing, is not a folder, or is hidden; false when usable.
bool CheckTargetFolder(const std::string& folder, const std::string& label);

// True for the catalogue's own files, ASCII case ignored: info.mdb,
// info.ldb, info.bk, infos.mdb, infos.ldb, search.mdb, search.ldb, info.ini,
// and the engine's journals info.mdb-journal and infos.mdb-journal.
bool IsDatabaseFileName(std::string_view name);

// False only when format holds both word-break (0x10) and edit-control
// (0x2000) and the rectangle is narrower than 30.
bool CanDrawTextInRect(int left, int top, int right, int bottom, unsigned format);
