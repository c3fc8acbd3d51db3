#pragma once
// The application profile: the settings file of the user, in INI format,
// with the section "Browser" that holds nearly all settings.
//
//   AppProfilePath   $XDG_CONFIG_HOME/Velnor/ブリンデル.ini
//   OpenAppProfile   a QSettings over it
//   kBrowserSection  "Browser"; keys are read as "Browser/<key>"

#include <QSettings>
#include <QString>

#include <memory>

inline constexpr const char* kBrowserSection = "Browser";

QString AppProfilePath();
std::unique_ptr<QSettings> OpenAppProfile();

// "Browser/<key>"
QString BrowserKey(const QString& key);
