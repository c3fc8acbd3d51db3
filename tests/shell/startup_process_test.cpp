// Starts the real program twice, as a user would.

#include "platform/paths.h"
#include "platform/profile.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>

#include <gtest/gtest.h>

#include <memory>

#include <signal.h>

namespace {

// A guard against a hang, not a speed check: a start on a loaded machine
// (the whole suite in parallel, sanitizers) can take many seconds.
constexpr int kTimeoutMs = 60000;

class ProgramRun {
 public:
  explicit ProgramRun(const QProcessEnvironment& env) { process_.setProcessEnvironment(env); }
  ~ProgramRun() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(kTimeoutMs);
    }
  }
  void start(const QStringList& arguments) { process_.start(QStringLiteral(BRINDEL_EXE), arguments); }
  // Waits until the program's log holds text.
  bool waitFor(const QString& text) {
    QElapsedTimer timer;
    timer.start();
    while (!log().contains(text)) {
      if (timer.elapsed() > kTimeoutMs || process_.state() == QProcess::NotRunning) return log().contains(text);
      process_.waitForReadyRead(100);
    }
    return true;
  }
  QString log() {
    log_ += QString::fromUtf8(process_.readAllStandardError());
    return log_;
  }
  QStringList requestLines() {
    QStringList lines;
    for (const QString& line : log().split(QLatin1Char('\n')))
      if (line.startsWith(QLatin1String("brindel.requests: received")) ||
          line.startsWith(QLatin1String("brindel.requests: serving")))
        lines << line.mid(static_cast<int>(qstrlen("brindel.requests: ")));
    return lines;
  }
  QProcess& process() { return process_; }

 private:
  QProcess process_;
  QString log_;
};

class TwoStarts : public ::testing::Test {
 protected:
  void SetUp() override {
    env = testsupport::programEnvironment(dir, "brindel.*.info=true");
  }
  std::string configFile(const char* name) const { return platform::joinPath(dir.file("config"), "Velnor", name); }

  testsupport::TempDir dir;
  QProcessEnvironment env;
};

TEST_F(TwoStarts, SecondStartForwardsItsRequestsAndEnds) {
  ProgramRun first(env);
  first.start({});
  ASSERT_TRUE(first.waitFor("main window marked")) << first.log().toStdString();

  ProgramRun second(env);
  second.start({"/Scanning", "/Import", "x.ini"});
  ASSERT_TRUE(second.process().waitForFinished(kTimeoutMs));
  EXPECT_EQ(second.process().exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.process().exitCode(), 0);
  EXPECT_FALSE(second.log().contains("main window shown"));  // no window of its own
  EXPECT_EQ(platform::getProfileString(configFile("brindel.ini"), "ブリンデル", "CmdLine", ""),
            "/Scanning /Import x.ini");

  ASSERT_TRUE(first.waitFor("serving list import")) << first.log().toStdString();
  const QStringList lines = first.requestLines();
  const auto at = [&lines](const char* text) { return lines.indexOf(QString::fromUtf8(text)); };
  const auto recvScan = at("received BRDLPOSTCOMTWAINHOTSCANMESSAGE wParam=0");
  const auto recvImport = at("received BRDLKPX70IMPORTMESSAGE wParam=1");
  const auto servedScan = at("serving scan request");
  const auto servedImport = at("serving list import: /Scanning /Import x.ini");
  EXPECT_EQ(lines.size(), 4) << lines.join('\n').toStdString();
  EXPECT_GE(recvScan, 0);
  EXPECT_LT(recvScan, recvImport);
  EXPECT_LT(recvScan, servedScan);
  EXPECT_LT(recvImport, servedImport);
  EXPECT_LT(servedScan, servedImport);

  // Ending the session closes the frame as usual, which saves its state.
  first.process().terminate();
  ASSERT_TRUE(first.process().waitForFinished(kTimeoutMs));
  EXPECT_EQ(first.process().exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(first.process().exitCode(), 0) << first.log().toStdString();
  QSettings profile(QString::fromStdString(configFile("ブリンデル.ini")), QSettings::IniFormat);
  EXPECT_GT(profile.value("Browser/MainFrameWidth").toInt(), 0);
}

// SIGTERM while a forwarded scan request is served (its progress dialog
// refuses to close, its box waits for an answer) still ends the program,
// with the settings saved; SIGHUP likewise.
TEST_F(TwoStarts, TheSessionEndsFromAScanRequestAndItsBox) {
  for (const int signal : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    QFile::remove(QString::fromStdString(configFile("ブリンデル.ini")));
    ProgramRun first(env);
    first.start({});
    ASSERT_TRUE(first.waitFor("main window marked")) << first.log().toStdString();
    ProgramRun second(env);
    second.start({"/Scanning"});
    ASSERT_TRUE(second.process().waitForFinished(kTimeoutMs));
    ASSERT_TRUE(first.waitFor("serving scan request")) << first.log().toStdString();
    ::kill(static_cast<pid_t>(first.process().processId()), signal);
    ASSERT_TRUE(first.process().waitForFinished(kTimeoutMs)) << "still up: " << first.log().toStdString();
    EXPECT_EQ(first.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.process().exitCode(), 0) << first.log().toStdString();
    QSettings profile(QString::fromStdString(configFile("ブリンデル.ini")), QSettings::IniFormat);
    EXPECT_GT(profile.value("Browser/MainFrameWidth").toInt(), 0);
  }
}

TEST_F(TwoStarts, CrashedInstanceDoesNotBlockTheNextStart) {
  {
    ProgramRun crashed(env);
    crashed.start({});
    ASSERT_TRUE(crashed.waitFor("main window marked"));
    crashed.process().kill();
    ASSERT_TRUE(crashed.process().waitForFinished(kTimeoutMs));
  }
  // The crash left its socket behind.
  const QStringList left = QDir(QString::fromStdString(dir.file("runtime")))
                               .entryList({"hPrevZRVVaziriInst-*"}, QDir::System | QDir::Files);
  ASSERT_EQ(left.size(), 2) << left.join(' ').toStdString();  // the lock file and the socket
  ProgramRun next(env);
  next.start({});
  ASSERT_TRUE(next.waitFor("main window marked")) << next.log().toStdString();
  ProgramRun repeated(env);
  repeated.start({"/Scanning"});
  ASSERT_TRUE(repeated.process().waitForFinished(kTimeoutMs));
  EXPECT_TRUE(next.waitFor("serving scan request"));
}

}  // namespace
