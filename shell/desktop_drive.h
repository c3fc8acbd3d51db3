#pragma once
// What kind of medium a desktop folder lies on. The desktop checks and the
// media exchange ask this through a DriveProbe, which tests replace.
//
//   DesktopDrive, DriveKind   the answer: kind and the medium's mount root
//   ProbeDesktopDrive         the answer from the mounted file systems
//   DriveProbe                a replaceable probe
//
// Kinds: a removable disk (USB stick, card), a read-only medium (an optical
// disc or anything mounted read-only), any other disk or network file
// system (fixed), or unknown (no file system can be told for the path).

#include <functional>
#include <string>

enum class DriveKind { Unknown, Fixed, Removable, ReadOnly };

struct DesktopDrive {
  DriveKind kind = DriveKind::Unknown;
  std::string mountRoot;  // the root of the file system, without a trailing slash ("/" for the root)
};

DesktopDrive ProbeDesktopDrive(const std::string& path);

using DriveProbe = std::function<DesktopDrive(const std::string& path)>;
