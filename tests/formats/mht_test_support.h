#pragma once
// Running Python's email package over a MIME HTML file: an independent
// reader of what the converter writes.

#include <QProcess>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace testsupport {

struct EmailPart {
  std::string type;
  std::string location;  // UTF-8
  std::string body;
};

// nullopt-like empty result with ok = false when python cannot parse it.
struct EmailParse {
  bool ok = false;
  std::vector<EmailPart> parts;
};

inline EmailParse parseWithPythonEmail(const std::string& path) {
  QProcess python;
  python.start("python3", {MHT_EMAIL_CHECK, QString::fromStdString(path)});
  EmailParse result;
  // No limit of our own: on a loaded machine python took longer than 30 s
  // and the parse was reported as failed; CTest's timeout ends a hang.
  if (!python.waitForFinished(-1) || python.exitCode() != 0) return result;
  const QStringList lines = QString::fromUtf8(python.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
  for (const QString& line : lines) {
    QStringList fields = line.split('\t');
    if (fields.size() != 3) return result;
    result.parts.push_back({fields[0].toStdString(), fields[1].toStdString(),
                            QByteArray::fromHex(fields[2].toLatin1()).toStdString()});
  }
  result.ok = true;
  return result;
}

}  // namespace testsupport
