#pragma once
// The registered applications: up to 14 outside programs to which documents
// are handed, kept in the section "ブリンデル" of brindel.ini, shown as
// buttons of the application bar and started with an argument list (never
// through a shell).
//
//   ReadRegistrations / WriteRegistrations   the 14 slots of brindel.ini
//   ReadCandidates                           "AppReg.dat": offers not yet registered
//   ReadDesktopApplications                  the desktop's installed applications as offers
//   LaunchMode, Preparation, MakeLaunchCode  the launch code
//   FindProgram                              a program file as written, on PATH or in desktop entries
//   IconOfRegistration                       the bar's icon of an entry
//   LaunchArgumentLists                      how many starts, with which files
//   StartRegisteredApplication               the starts themselves

#include <QIcon>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

struct AppRegistration {
  QString menuText;
  QString programPath;
  int code = 2000;
};

inline constexpr int kMaxRegisteredApplications = 14;
inline constexpr int kDefaultLaunchCode = 2000;  // one start with all files, nothing prepared
inline constexpr int kEmptySlotCode = -100;
inline constexpr int kOcrApplicationCode = -9001;
inline constexpr int kCardApplicationCode = -9002;
inline constexpr int kHandwritingApplicationCode = -9003;

// Launch mode (thousands digit): 0 one file only, 1 one start per file, 2 one start with all.
inline int LaunchMode(int code) { return code / 1000 % 10; }
// Preparation (units digit): 0 none, 1 BMP copy, 2 OCR text, 3 black-and-white BMP.
inline int Preparation(int code) { return code % 10; }
inline int MakeLaunchCode(int mode, int preparation) { return mode * 1000 + preparation; }
// The preparation radios list none, BMP, black-and-white BMP, OCR: positions
// 2 and 3 are digits 3 and 2 (the same swap both ways).
inline int SwapPreparation(int value) { return value == 2 ? 3 : value == 3 ? 2 : value; }

// Slots 0 to 13 up to the first empty menu text; a missing code reads as 2000.
std::vector<AppRegistration> ReadRegistrations(const std::string& iniPath);
// Every slot: the entries, then empty slots with code -100.
bool WriteRegistrations(const std::string& iniPath, const std::vector<AppRegistration>& entries);
// Lines "menu,program,code" ended by CR (an LF after it skipped); reading
// stops at the first line without a CR or without both commas. Entries
// whose menu text is registered are left out.
std::vector<AppRegistration> ReadCandidates(const QString& appRegPath, const std::vector<AppRegistration>& registered);

// The installed applications of the desktop (the ".desktop" files of the
// folders, by default the XDG applications folders) as further offers:
// the Japanese name where one is given, the program of Exec=, one start
// with all files (one per file when Exec= takes one file). Hidden entries,
// entries whose program cannot be found and menu texts already taken are
// left out; sorted by name.
std::vector<AppRegistration> ReadDesktopApplications(const QStringList& folders,
                                                     const std::vector<AppRegistration>& taken);
QStringList DesktopApplicationFolders();

// A program as written when it holds a folder; otherwise looked up on PATH
// and in the installed desktop entries (Exec= of <name>.desktop). Empty when
// not found or not executable.
QString FindProgram(const QString& program);

// The bar's icon: the desktop entry's icon of the program, else the file's
// icon; the generic icon for a program that cannot be found.
QIcon IconOfRegistration(const AppRegistration& entry);

// The argument lists of the starts for `files`: mode 0 takes one file (more
// give no start at all), mode 1 one start per file, mode 2 one start with all.
std::vector<QStringList> LaunchArgumentLists(int code, const QStringList& files);

// Starts the entry's program for `files` (already prepared). Only entries of
// the user's own choosing (code 0 or more) whose program is found are
// started. The starter defaults to StartProgram (launch_program.h) in the
// program's folder; false when any start fails.
using ProgramStarter = std::function<bool(const QString& program, const QStringList& arguments)>;
bool StartRegisteredApplication(const AppRegistration& entry, const QStringList& files,
                                const ProgramStarter& starter = {});
