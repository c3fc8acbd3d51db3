#include "shell/desktop_drive.h"

#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QString>

namespace {

// The block device's "removable" flag; a partition carries none of its own,
// its disk does.
bool blockDeviceRemovable(const QString& device) {
  const QString name = QFileInfo(QFileInfo(device).canonicalFilePath()).fileName();
  for (const QString& file : {QStringLiteral("/sys/class/block/%1/removable").arg(name),
                              QStringLiteral("/sys/class/block/%1/../removable").arg(name)}) {
    QFile f(file);
    if (f.open(QIODevice::ReadOnly)) return f.readAll().trimmed() == "1";
  }
  return false;
}

}  // namespace

DesktopDrive ProbeDesktopDrive(const std::string& path) {
  const QStorageInfo storage(QString::fromStdString(path));
  if (!storage.isValid() || !storage.isReady()) return {};
  DesktopDrive drive;
  drive.mountRoot = storage.rootPath().toStdString();
  if (storage.isReadOnly()) {
    drive.kind = DriveKind::ReadOnly;
    return drive;
  }
  const QString device = QString::fromLocal8Bit(storage.device());
  // Network, memory and virtual file systems have no block device: fixed.
  drive.kind = device.startsWith(QLatin1String("/dev/")) && blockDeviceRemovable(device) ? DriveKind::Removable
                                                                                         : DriveKind::Fixed;
  return drive;
}
