#include "tests/support/test_env.h"

// Tests of the libraries without widgets run under a QGuiApplication (fonts
// for rendered fixtures); tests of windows and dialogs under a QApplication.
#ifdef BRINDEL_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  testsupport::installPrivateEnvironment();
  TestApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
