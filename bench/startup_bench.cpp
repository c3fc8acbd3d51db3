// Time from starting the program to its main window: the real executable,
// started fresh for every iteration on a private program and config folder,
// timed until it reports the window shown and until it is ready for a
// second start (window marked). The splash closes on its own timer and
// delays nothing. Run on one core: taskset -c 0 build/bin/startup_bench

#include "tests/support/test_env.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <benchmark/benchmark.h>

namespace {

QProcessEnvironment privateEnvironment(const testsupport::TempDir& dir) {
  return testsupport::programEnvironment(dir, "brindel.startup.info=true");
}

// Seconds from start until the program logs milestone.
double timeTo(const QProcessEnvironment& env, const char* milestone) {
  QProcess process;
  process.setProcessEnvironment(env);
  QElapsedTimer timer;
  timer.start();
  process.start(QStringLiteral(BRINDEL_EXE), {});
  QByteArray log;
  while (!log.contains(milestone) && timer.elapsed() < 20000) {
    process.waitForReadyRead(5);
    log += process.readAllStandardError();
  }
  const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
  process.terminate();
  process.waitForFinished(5000);
  return seconds;
}

void run(benchmark::State& state, const char* milestone) {
  testsupport::TempDir dir;
  const QProcessEnvironment env = privateEnvironment(dir);
  timeTo(env, milestone);  // the first start seeds the program folder
  for (auto _ : state) state.SetIterationTime(timeTo(env, milestone));
}

void BM_StartToMainWindowShown(benchmark::State& state) { run(state, "main window shown"); }
void BM_StartToReadyForSecondStart(benchmark::State& state) { run(state, "main window marked"); }
BENCHMARK(BM_StartToMainWindowShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_StartToReadyForSecondStart)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
