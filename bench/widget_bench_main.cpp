// The main of the benchmarks that need widgets: an offscreen application in
// a private environment, so that no benchmark touches the user's files.
#include "tests/support/test_env.h"

#include <QApplication>

#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  testsupport::installPrivateEnvironment();
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
