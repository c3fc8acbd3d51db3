#include "shell/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

#include <memory>

bool InstallQtTranslations() {
  static QPointer<QTranslator> installed;  // gone with its application
  if (installed) return true;
  auto translator = std::make_unique<QTranslator>(QCoreApplication::instance());
  if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      !QCoreApplication::installTranslator(translator.get()))
    return false;
  installed = translator.release();  // the application owns it
  return true;
}
