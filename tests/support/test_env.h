#pragma once
// Helpers shared by the tests: a private environment per test process and
// small file utilities.

#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <string>
#include <string_view>

namespace testsupport {

// Points BRINDEL_HOME, XDG_CONFIG_HOME, XDG_DATA_HOME and HOME at fresh
// folders below one temporary folder that lives as long as the process, so
// no test touches the user's files. Called by the test main before any test.
void installPrivateEnvironment();
std::string privateRoot();

// A temporary folder removed with its contents at the end of the scope.
class TempDir {
 public:
  TempDir();
  const std::string& path() const { return path_; }
  std::string file(std::string_view name) const;

 private:
  QTemporaryDir dir_;
  std::string path_;
};

// The environment for starting the real program as a child process: its
// program, config and runtime folders and its sample desktop inside dir, no
// display, and the given logging rules.
QProcessEnvironment programEnvironment(const TempDir& dir, const QString& loggingRules);
// A SANE configuration folder in which only SANE's "test" backend exists,
// one device with a small grey page, so that no test asks the machine's
// scanners; returns folder. installPrivateEnvironment points SANE at one.
std::string writeSaneTestConfig(const std::string& folder);

bool writeFile(const std::string& path, std::string_view bytes);
std::string readFile(const std::string& path);
bool fileExists(const std::string& path);

}  // namespace testsupport
