#pragma once
// INI files with the private-profile semantics that other programs' files and
// our own brindel.ini rely on:
//   - the file's bytes are CP932; the API speaks UTF-8;
//   - sections and keys match ASCII-case-blind, the first match wins;
//   - values are trimmed, and a value in matching quotes loses them;
//   - a read with a buffer size returns at most bufferSize - 1 bytes
//     (never cutting a character), as a caller with a fixed buffer saw it;
//   - a missing file, section or key yields the default.
// Writes replace the file atomically (temporary file and rename), so a crash
// never leaves a half-written file; they report failure instead of hiding it.
//
//   getProfileString, getProfileInt, writeProfileString, deleteProfileKey,
//   deleteProfileSection, profileSectionNames, profileKeys

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace platform {

constexpr std::size_t kNoBufferLimit = 0;

std::string getProfileString(const std::string& path, const std::string& section,
                             const std::string& key, const std::string& defaultValue,
                             std::size_t bufferSize = kNoBufferLimit);
// Leading digits with an optional sign, as GetPrivateProfileInt reads them.
int getProfileInt(const std::string& path, const std::string& section, const std::string& key,
                  int defaultValue);
bool writeProfileString(const std::string& path, const std::string& section,
                        const std::string& key, const std::string& value);
bool deleteProfileKey(const std::string& path, const std::string& section, const std::string& key);
bool deleteProfileSection(const std::string& path, const std::string& section);
std::vector<std::string> profileSectionNames(const std::string& path);
std::vector<std::string> profileKeys(const std::string& path, const std::string& section);

}  // namespace platform
