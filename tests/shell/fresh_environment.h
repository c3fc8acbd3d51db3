#pragma once
// A private program folder, config folder, runtime folder and sample desktop
// for one test, so that starts of the program in one test see nothing of
// another's.

#include "platform/paths.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QFile>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

class FreshEnvironment {
 public:
  FreshEnvironment() {
    for (const char* sub : {"program", "config", "runtime"}) QDir().mkpath(QString::fromStdString(dir_.file(sub)));
    QFile::setPermissions(QString::fromStdString(dir_.file("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    set("BRINDEL_HOME", dir_.file("program"));
    set("XDG_CONFIG_HOME", dir_.file("config"));
    set("XDG_RUNTIME_DIR", dir_.file("runtime"));
    set("BRINDEL_SAMPLES", dir_.file("samples"));
  }
  ~FreshEnvironment() {
    for (const auto& [name, value] : saved_) {
      if (value) setenv(name.c_str(), value->c_str(), 1);
      else unsetenv(name.c_str());
    }
  }
  void set(const std::string& name, const std::string& value) {
    if (!saved_.count(name)) {
      const char* old = std::getenv(name.c_str());
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    setenv(name.c_str(), value.c_str(), 1);
  }
  std::string programFolder() const { return dir_.file("program"); }
  std::string configFolder() const { return platform::joinPath(dir_.file("config"), "Velnor"); }
  std::string runtimeFolder() const { return dir_.file("runtime"); }
  // The sample desktop of a first start (not made until the program makes it).
  std::string samplesFolder() const { return dir_.file("samples"); }
  std::string path(std::string_view name) const { return dir_.file(name); }

 private:
  testsupport::TempDir dir_;
  std::map<std::string, std::optional<std::string>> saved_;
};
