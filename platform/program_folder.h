#pragma once
// Where the program keeps its files on Linux.
//
//   programFolder()   per-user program folder: $BRINDEL_HOME, else
//                     $XDG_DATA_HOME/brindel (~/.local/share/brindel)
//   configFolder()    the "Windows folder" of INI files: $XDG_CONFIG_HOME/Velnor
//   resourceFolder()  installed read-only resources: $BRINDEL_SHARE, else
//                     <executable>/../share/brindel
//   programIniPath()  brindel.ini in the config folder
//   samplesFolder()   the desktop of a first start: $BRINDEL_SAMPLES, else
//                     "ブリンデル" in the user's documents folder (XDG user dirs)
//   workFolder(name)  one of the work folders below the program folder
//   ensureProgramFolder()  creates the folders and seeds missing resources
//   makePrivateFolder(path)  a folder (and the missing ones above it) 0700

#include <string>
#include <string_view>

namespace platform {

namespace workfolder {
inline constexpr std::string_view kDb = "db";
inline constexpr std::string_view kTextLib = "textlib";
inline constexpr std::string_view kTmp = "tmp";
inline constexpr std::string_view kScanOut = "scanout";
inline constexpr std::string_view kScanTmp = "scantmp";
inline constexpr std::string_view kOcrIn = "ocrin";
inline constexpr std::string_view kOcrOcx = "ocrocx";
inline constexpr std::string_view kImport = "import";
}  // namespace workfolder

std::string programFolder();
std::string configFolder();
std::string resourceFolder();
std::string programIniPath();
std::string workFolder(std::string_view name);
std::string samplesFolder();

// Creates the program folder, its work folders and the config folder, and
// copies every resource file that the program folder lacks (existing files,
// such as a user's dictionary, are never overwritten). False with a message
// in *error when a folder cannot be made or a file cannot be copied.
bool ensureProgramFolder(std::string* error = nullptr);

// Makes the folder and every missing folder above it with mode 0700, and
// takes group and other access from the folder itself when it is ours.
// False when it is not a folder afterwards.
bool makePrivateFolder(const std::string& path);

}  // namespace platform
