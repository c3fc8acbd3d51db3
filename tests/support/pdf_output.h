#pragma once
// Printing into a PDF file in tests, and counting the sheets printed.

#include "tests/support/test_env.h"

#include <QPrinter>
#include <QRegularExpression>
#include <QString>

#include <string>

namespace testsupport {

inline int pdfPages(const std::string& path) {
  const QByteArray bytes = QByteArray::fromStdString(readFile(path));
  return static_cast<int>(QString::fromLatin1(bytes).count(QRegularExpression(QStringLiteral("/Type\\s*/Page[^s]"))));
}

inline void pdfPrinter(QPrinter& printer, const std::string& path) {
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(path));
  printer.setResolution(300);
}

}  // namespace testsupport
