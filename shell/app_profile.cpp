#include "shell/app_profile.h"

#include "platform/paths.h"
#include "platform/program_folder.h"

QString AppProfilePath() {
  return QString::fromStdString(platform::joinPath(platform::configFolder(), "ブリンデル.ini"));
}

std::unique_ptr<QSettings> OpenAppProfile() {
  return std::make_unique<QSettings>(AppProfilePath(), QSettings::IniFormat);
}

QString BrowserKey(const QString& key) { return QLatin1String(kBrowserSection) + QLatin1Char('/') + key; }
