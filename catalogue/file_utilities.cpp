#include "catalogue/file_utilities.h"

#include "platform/file_ops.h"
#include "platform/paths.h"
#include "platform/program_folder.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QString>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>
#include <vector>

namespace {

std::string gModuleFolder;

bool lstatOf(const std::string& path, struct stat& st) { return ::lstat(path.c_str(), &st) == 0; }

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

std::string currentDirectory() {
  char buffer[PATH_MAX];
  return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

bool samePlace(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

}  // namespace

// ---- deleting -------------------------------------------------------------

int DeleteFileForce(const std::string& path) {
  struct stat st {};
  if (!lstatOf(path, st)) return 0;
  if (S_ISDIR(st.st_mode)) return -1;
  // Unlike a read-only attribute, a file's own permissions never stop its
  // deletion here, so no attribute is changed first.
  if (::unlink(path.c_str()) != 0) return errno == ENOENT ? 0 : errno;
  return 0;
}

bool DeleteFolderTree(const std::string& folder) {
  std::vector<std::string> files, folders;
  {
    DirHandle dir(::opendir(folder.c_str()));
    if (!dir) return false;
    while (const dirent* entry = ::readdir(dir.get())) {
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      struct stat st {};
      const std::string path = platform::joinPath(folder, name);
      // A link to a folder is deleted as a file: its target is not ours.
      if (lstatOf(path, st) && S_ISDIR(st.st_mode)) folders.push_back(path);
      else files.push_back(path);
    }
  }
  for (const std::string& file : files) DeleteFileForce(file);
  bool allEmptied = true;
  for (const std::string& sub : folders) {
    if (!DeleteFolderTree(sub)) {
      allEmptied = false;
      continue;
    }
    // The process must not keep the folder it removes as its working folder.
    if (samePlace(currentDirectory(), sub) && ::chdir(folder.c_str()) != 0) {
    }
    ::rmdir(sub.c_str());
  }
  return allEmptied;
}

int ShellDelete(const std::string& path, bool deleteForGood) {
  struct stat st {};
  if (path.empty() || !lstatOf(path, st)) return ENOENT;
  if (!deleteForGood) return platform::moveToTrash(path) ? 0 : EIO;
  if (!S_ISDIR(st.st_mode)) return ::unlink(path.c_str()) == 0 ? 0 : errno;
  if (!DeleteFolderTree(path)) return EIO;
  return ::rmdir(path.c_str()) == 0 ? 0 : errno;
}

// ---- names and paths ------------------------------------------------------

std::string MakeUniqueFileName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string title = hasExtension ? path.substr(0, dot) : path;
  const std::string extension = hasExtension ? path.substr(dot) : std::string();
  for (int counter = 2; counter < 100003; ++counter) {
    std::string candidate = title + std::to_string(counter) + extension;
    struct stat st {};
    if (!lstatOf(candidate, st)) return candidate;
  }
  return {};
}

std::string SplitFileTitle(const std::string& path, const std::string& suffix) {
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + suffix;
  return path.substr(0, dot) + suffix;
}

namespace {

// The stored name of one entry of dir: name itself when it exists, else the
// first (in byte order) whose name equals it ignoring case.
std::optional<std::string> storedName(const std::string& dir, const std::string& name) {
  const QString wanted = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
  std::vector<std::string> caseBlind;
  bool exact = false;
  if (DirHandle handle{::opendir(dir.c_str())}) {
    while (const dirent* entry = ::readdir(handle.get())) {
      const std::string candidate = entry->d_name;
      if (candidate == name) {
        exact = true;
        break;
      }
      if (QString::compare(QString::fromUtf8(candidate.data(),
                                              static_cast<qsizetype>(candidate.size())),
                           wanted, Qt::CaseInsensitive) == 0)
        caseBlind.push_back(candidate);
    }
  }
  struct stat st {};
  if (exact || (caseBlind.empty() && lstatOf(platform::joinPath(dir, name), st))) return name;
  if (caseBlind.empty()) return std::nullopt;
  return *std::min_element(caseBlind.begin(), caseBlind.end());
}

}  // namespace

int ResolveLongPath(std::string& path, std::size_t bufferSize) {
  if (path.size() < 2 || path.front() != '/' || path.back() == '/') return 1;
  std::string result = "/";
  std::size_t start = 1;
  for (;;) {
    const std::size_t slash = path.find('/', start);
    const std::string component =
        path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (component.empty()) return 1;
    const auto name = storedName(result, component);
    if (!name) return 1;
    result += *name;
    if (slash == std::string::npos) break;
    result += '/';
    if (result.size() >= bufferSize) return 1;
    start = slash + 1;
  }
  if (result.size() >= bufferSize) return 1;
  path = result;
  return 0;
}

// ---- the program's own folders --------------------------------------------

void InitModuleFolder() { gModuleFolder = platform::withTrailingSlash(platform::programFolder()); }

const std::string& GetModuleFolder() { return gModuleFolder; }

std::string GetSamplesFolder() { return platform::withTrailingSlash(platform::samplesFolder()); }

namespace {

// The form paths are compared in: absolute, cleaned, links resolved where
// the path exists, with a trailing slash. nullopt when too long.
std::optional<std::string> comparableForm(const std::string& path) {
  if (path.empty() || path.size() > platform::kMaxPathBytes) return std::nullopt;
  const QString qpath = QString::fromStdString(path);
  QString form = QFileInfo(qpath).canonicalFilePath();
  if (form.isEmpty()) form = QDir::cleanPath(QFileInfo(qpath).absoluteFilePath());
  std::string out = platform::withTrailingSlash(form.toStdString());
  if (out.size() > platform::kMaxPathBytes + 1) return std::nullopt;
  return out;
}

bool isInside(const std::string& inner, const std::string& outer) {
  return inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0;
}

// 1 same, 2 reserved inside path, 3 path inside reserved, 0 unrelated.
int relation(const std::string& path, const std::string& reserved) {
  if (path == reserved) return 1;
  if (isInside(reserved, path)) return 2;
  if (isInside(path, reserved)) return 3;
  return 0;
}

}  // namespace

int ClassifyReservedPath(const std::string& path) {
  const auto a = comparableForm(path);
  if (!a) return -1;
  std::vector<std::string> programFolders;
  if (!gModuleFolder.empty()) programFolders.push_back(gModuleFolder);
  if (QCoreApplication::instance())
    programFolders.push_back(QCoreApplication::applicationDirPath().toStdString());
  for (const std::string& folder : programFolders) {
    const auto b = comparableForm(folder);
    if (!b) return -1;
    if (const int r = relation(*a, *b)) return r;
  }
  const auto c = comparableForm(platform::configFolder());
  if (!c) return -1;
  if (const int r = relation(*a, *c)) return r + 3;
  return 0;
}

// ---- checks with a message ------------------------------------------------

bool CheckDiskFreeBytes(std::optional<std::uint64_t> freeBytes) {
  if (!freeBytes) {
    platform::messageBox("ドライブ情報が取得できませんでした。", platform::Buttons::Ok);
    return true;
  }
  if (*freeBytes < kMinDiskFreeBytes) {
    platform::messageBox("空き容量が不足しています。", platform::Buttons::Ok);
    return true;
  }
  return false;
}

bool CheckDiskFree(const std::string& root) { return CheckDiskFreeBytes(platform::freeDiskBytes(root)); }

bool CheckTargetFolder(const std::string& folder, const std::string& label) {
  if (folder.size() <= 1) return false;  // the root always passes
  const std::string path = platform::withoutTrailingSlash(folder);
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    platform::messageBox(label + "先のフォルダを発見できませんでした。\n処理を中断します。",
                         platform::Buttons::Ok);
    return true;
  }
  if (platform::fileNameOf(path).starts_with('.')) {
    platform::messageBox(label + "先のフォルダは扱えません。\n処理を中断します。",
                         platform::Buttons::Ok);
    return true;
  }
  return false;
}

bool IsDatabaseFileName(std::string_view name) {
  static constexpr std::string_view kNames[] = {
      "info.mdb",  "info.ldb",   "info.bk",    "infos.mdb",        "infos.ldb",
      "search.mdb", "search.ldb", "info.ini", "info.mdb-journal", "infos.mdb-journal"};
  return std::any_of(std::begin(kNames), std::end(kNames),
                     [&](std::string_view n) { return platform::asciiEqualsIgnoreCase(name, n); });
}

bool CanDrawTextInRect(int left, int top, int right, int bottom, unsigned format) {
  constexpr unsigned kWordBreak = 0x10, kEditControl = 0x2000;
  return !((format & kWordBreak) && (format & kEditControl) && right - left < 30);
}
