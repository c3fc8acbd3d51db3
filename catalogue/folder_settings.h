#pragma once
// The small settings files: a folder's info.ini (clean-up mark and icon
// colour) and the CmdLine key that carries a repeated start's command line
// to the running program.
//
//   WriteFolderIni, ReadFolderIni, GetFolderIconIndex
//   SetCmdLineSetting, GetCmdLineSetting
//
// info.ini holds exactly "[ブリンデル]" CR LF "CleanUp=<value>" CR LF in
// Shift-JIS. The value is a bit set: 0x1 marks a clean-up target, bits 8-11
// hold the colour index 0-15 of the folder's icon.

#include <string>

inline constexpr int kFolderCleanUpBit = 0x1;
inline constexpr int kFolderIniReadBytes = 1024;

// Replaces the file with the two lines (atomically). False when it cannot
// be written.
bool WriteFolderIni(const std::string& path, const std::string& value);
// The CleanUp value, or defaultValue when the file cannot be read or its
// first 1024 bytes lack the header or the key. Reading takes no lock and
// needs no write permission.
int ReadFolderIni(const std::string& path, int defaultValue);

// Tree image indexes: 16 colour groups of six icons.
void GetFolderIconIndex(bool otherState, int value, int& image, int& selectedImage);

// Writes the text as key CmdLine of section "ブリンデル" in brindel.ini in
// the config folder. 0 when written; -1 when the file could not be written
// or the text cannot be stored as it is (a character without a Shift-JIS
// code, a line break).
int SetCmdLineSetting(const std::string& text);
// The whole stored text (never cut), empty when missing.
std::string GetCmdLineSetting();
