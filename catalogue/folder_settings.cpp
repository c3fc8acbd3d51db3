#include "catalogue/folder_settings.h"

#include "platform/file_ops.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "platform/sjis_codec.h"

#include <QSaveFile>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

constexpr const char* kProductSection = "ブリンデル";
constexpr const char* kCmdLineKey = "CmdLine";

std::string header() { return "[" + *platform::toCp932(kProductSection) + "]\r\n"; }
constexpr std::string_view kKey = "\r\nCleanUp=";

}  // namespace

bool WriteFolderIni(const std::string& path, const std::string& value) {
  const std::string bytes = header() + "CleanUp=" + platform::toCp932Lossy(value) + "\r\n";
  QSaveFile file(QString::fromStdString(path));
  // A folder that lets us write the file but not create a file beside it
  // still gets the new value.
  file.setDirectWriteFallback(true);
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()))
    return false;
  return file.commit();
}

int ReadFolderIni(const std::string& path, int defaultValue) {
  // The file lies in a folder anyone may have filled: a FIFO or a device
  // under its name must not hold the program.
  std::string data;
  if (platform::readFileHead(path, kFolderIniReadBytes, &data) != 0) return defaultValue;
  const std::string_view text(data);
  const std::size_t head = text.find(header());
  const std::size_t key = text.find(kKey);
  if (head == std::string_view::npos || key == std::string_view::npos || head >= key)
    return defaultValue;
  std::string value(text.substr(key + kKey.size()));
  if (const std::size_t end = value.find("\r\n"); end != std::string::npos) value.resize(end);
  // The C library's reading: leading blanks, a sign, digits; 0 without any.
  errno = 0;
  const long number = std::strtol(value.c_str(), nullptr, 10);
  if (number > INT_MAX) return INT_MAX;
  if (number < INT_MIN) return INT_MIN;
  return static_cast<int>(number);
}

void GetFolderIconIndex(bool otherState, int value, int& image, int& selectedImage) {
  const int base = ((value >> 8) & 15) * 6;
  const bool cleanUp = (value & kFolderCleanUpBit) != 0;
  if (!otherState) {
    image = base + (cleanUp ? 2 : 0);
    selectedImage = image + 1;
  } else {
    image = base + (cleanUp ? 5 : 4);
    selectedImage = image;
  }
}

int SetCmdLineSetting(const std::string& text) {
  if (text.find_first_of("\r\n") != std::string::npos || !platform::toCp932(text)) return -1;
  // Quoted, so that the reader gets back exactly this text: a reader trims
  // blanks and drops one pair of enclosing quotes.
  return platform::writeProfileString(platform::programIniPath(), kProductSection, kCmdLineKey,
                                      "\"" + text + "\"")
             ? 0
             : -1;
}

std::string GetCmdLineSetting() {
  return platform::getProfileString(platform::programIniPath(), kProductSection, kCmdLineKey, "");
}
