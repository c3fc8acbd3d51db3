// The registration tool an installation runs once: the OCR control entered
// in the component registry under its absolute path, and taken out again.
#include "ocrctl/control_identity.h"
#include "platform/component_registry.h"

#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

int runTool(const QStringList& arguments, const QString& folder = {}) {
  QProcess tool;
  if (!folder.isEmpty()) tool.setWorkingDirectory(folder);
  tool.start(QStringLiteral(REGCOMPONENT_PATH), arguments);
  // No limit of our own: on a loaded machine the tool may take long; CTest's
  // timeout ends a run that hangs.
  if (!tool.waitForFinished(-1)) return -1;
  return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

TEST(RegisterTool, EntersTheControlUnderItsAbsolutePathAndTakesItOutAgain) {
  const QFileInfo library(QStringLiteral(ZEQOCR30_PATH));
  // Given relative to the working folder, as a user types it.
  ASSERT_EQ(runTool({library.fileName()}, library.absolutePath()), 0);
  platform::ComponentEntry entry;
  ASSERT_TRUE(platform::findComponent(ocrctl::kControlProgId, &entry));
  EXPECT_EQ(QString::fromStdString(entry.libraryPath), library.canonicalFilePath());

  ASSERT_EQ(runTool({QStringLiteral("-u"), library.absoluteFilePath()}), 0);
  EXPECT_FALSE(platform::findComponent(ocrctl::kControlProgId, &entry));
}

TEST(RegisterTool, RefusesAMissingLibraryAndAWrongCall) {
  EXPECT_EQ(runTool({QStringLiteral("/nonexistent/libnothing.so")}), 2);
  EXPECT_EQ(runTool({}), 2);
  EXPECT_EQ(runTool({QStringLiteral("-x"), QStringLiteral("a.so")}), 2);
}

}  // namespace
