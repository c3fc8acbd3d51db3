#pragma once
// File operations that Linux lacks in the form the program needs.
//
//   renameNoReplace     rename that never replaces an existing target
//   copyFileReplacing   copy that replaces the target only when complete
//   freeDiskBytes       bytes free for the user on the file system of a path
//   moveToTrash         the user's trash, creating its folders when missing
//
// Failures come back as errno values (0 = done).

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// EEXIST when the target exists; the check and the rename are one step.
int renameNoReplace(const std::string& from, const std::string& to);

// Writes a temporary file beside the target and renames it over the target
// at the end, so the target is either the old file or the whole copy. The
// copy gets the default permissions of a new file, not the source's (the
// source may be a read-only installed template).
int copyFileReplacing(const std::string& from, const std::string& to);

std::optional<std::uint64_t> freeDiskBytes(const std::string& path);

// Moves a file or folder to the freedesktop trash. The home trash folders
// ($XDG_DATA_HOME/Trash/files and info) are made first when missing, since
// a fresh account has none. False when the item stays where it was.
bool moveToTrash(const std::string& path);

}  // namespace platform
