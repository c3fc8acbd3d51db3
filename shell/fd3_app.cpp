#include "shell/fd3_app.h"

#include "shell/folder_intake.h"

#include "shell/fd3_doc.h"
#include "shell/progress_dialogs.h"

#include "catalogue/file_utilities.h"
#include "catalogue/folder_settings.h"
#include "catalogue/related_word_dictionary.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/main_frame.h"
#include "shell/posted_message.h"
#include "shell/qt_translations.h"
#include "shell/shell_log.h"
#include "shell/single_instance.h"
#include "shell/splash_window.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSessionManager>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <ctime>

namespace {

constexpr const char* kScanSwitch = "/Scanning";
constexpr const char* kEarlierImportSwitch = "/DU2.Import";
constexpr const char* kListImportSwitch = "/Import";
constexpr std::size_t kIniBuffer = 261;
int gTerminationPipe[2] = {-1, -1};

// A switch is a whole argument, as written: a request path such as
// ".../Imports/req.ini" holds "/Import" but is no switch.
bool hasSwitch(const QStringList& arguments, const char* name) {
  return arguments.contains(QLatin1String(name), Qt::CaseSensitive);
}

// The key CmdLine of the program's INI file carries a repeated start's
// command line to the first instance.
bool storeCommandLine(const QString& commandLine) { return SetCmdLineSetting(commandLine.toStdString()) == 0; }

// The leading decimal number of a version text ("4.10a" is 4.1), 0 when it has none.
double versionValue(const std::string& text) {
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

bool isFile(const std::string& path) { return QFileInfo(QString::fromStdString(path)).isFile(); }

}  // namespace

CFD3App::CFD3App() = default;

CFD3App::~CFD3App() = default;

QString CFD3App::JoinCommandLine(const QStringList& arguments) {
  QStringList parts;
  for (const QString& a : arguments)
    parts << (a.contains(QLatin1Char(' ')) ? QLatin1Char('"') + a + QLatin1Char('"') : a);
  return parts.join(QLatin1Char(' '));
}

bool CFD3App::InitInstance(const QStringList& arguments) {
  exitCode_ = 0;
  commandLine_ = JoinCommandLine(arguments);
  // Before the first message box, which a repeated start may show too.
  if (!InstallQtTranslations()) qCWarning(lcStartup) << "Qt's Japanese translations are not installed";
  arguments_ = arguments;
  instance_ = std::make_unique<SingleInstance>();
  if (!instance_->TakeMutex()) return RepeatedStart();

  // Every local time and date of the program is Japan time.
  setenv("TZ", "JST-9", 1);
  tzset();

  // There is no automation server on Linux: such a start has nothing to do.
  for (const QString& a : arguments) {
    const QString s = a.mid(1);
    if ((a.startsWith(QLatin1Char('/')) || a.startsWith(QLatin1Char('-'))) &&
        (s.compare(QLatin1String("Embedding"), Qt::CaseInsensitive) == 0 ||
         s.compare(QLatin1String("Automation"), Qt::CaseInsensitive) == 0))
      return false;
  }

  CSplashWnd::EnableSplashScreen(true);

  std::string error;
  if (!platform::ensureProgramFolder(&error)) {
    platform::messageBox("初期化に失敗しました。\nプログラムを終了します。\n" + error, platform::Buttons::Ok,
                         platform::Icon::Error);
    exitCode_ = 1;
    return false;
  }
  InitModuleFolder();
  programFolder_ = QString::fromStdString(platform::withoutTrailingSlash(platform::programFolder()));

  document_ = std::make_unique<CFD3Doc>();
  frame_ = std::make_unique<CMainFrame>();
  frame_->SetDocument(document_.get());
  document_->SetMainWindow(frame_.get());
  setProgressMainWindow(frame_.get());
  progressSink_ = std::make_unique<DialogProgressSink>(frame_.get());
  document_->SetProgressSink(progressSink_.get());
  frame_->PreCreateWindow();
  if (!frame_->OnCreate()) {
    frame_.reset();
    exitCode_ = 1;
    return false;
  }
  document_->SetBmpResolution(frame_->Settings().KankyoBmpRes);
  frame_->show();
  qCInfo(lcStartup) << "main window shown";

  OpenRelatedWordDictionary(programFolder_.toStdString());
  if (!RelatedWordDictionaryOpened()) {
    frame_.reset();
    exitCode_ = 1;
    return false;
  }

  DeleteDocumentTempFolder();

  const std::string ini = platform::programIniPath();
  if (platform::getProfileString(ini, kProductSection, "VERSION", "", kIniBuffer).empty())
    platform::writeProfileString(ini, kProductSection, "VERSION", kProgramVersion);
  if (platform::getProfileString(ini, kProductSection, "INSTPATH", "", kIniBuffer).empty())
    platform::writeProfileString(ini, kProductSection, "INSTPATH",
                                 platform::parentPath(programFolder_.toStdString()));

  MarkMainWindow();
  frame_->SetCommandLine(commandLine_);
  if (hasSwitch(arguments_, kScanSwitch)) PostMessage(frame_.get(), kScanRequestMessage);
  if (hasSwitch(arguments_, kEarlierImportSwitch)) PostMessage(frame_.get(), kEarlierImportMessage);
  // The folder holds the request files and documents of a list import.
  const std::string dropFolder = platform::workFolder(platform::workfolder::kImport);
  if (hasSwitch(arguments_, kListImportSwitch)) {
    ForgetListImportCompletion(dropFolder);
    PostMessage(frame_.get(), kListImportMessage);
  } else {
    TidyListImportDropFolder(dropFolder);
  }
  InstallTerminationHandler();
  // A desktop session that ends asks the program to keep its state.
  connect(qApp, &QGuiApplication::commitDataRequest, frame_.get(), [this](QSessionManager& manager) {
    if (!frame_->QueryEndSession()) manager.cancel();
  });
  return true;
}

void CFD3App::DeleteDocumentTempFolder() {
  CFD3Doc::SetWorkFolderFlag();
  document_->DeleteTempFolder();
}

void CFD3App::MarkMainWindow() {
  connect(instance_.get(), &SingleInstance::activateRequested, frame_.get(),
          &CMainFrame::ActivateFromOtherInstance);
  connect(instance_.get(), &SingleInstance::messageReceived, frame_.get(),
          [frame = frame_.get()](QEvent::Type message, std::intptr_t wParam) { PostMessage(frame, message, wParam); });
  if (instance_->MarkMainWindow())
    qCInfo(lcStartup) << "main window marked";
  else
    qCWarning(lcStartup) << "cannot listen for further starts at" << SingleInstance::ServerPath();
}

bool CFD3App::RepeatedStart() {
  FirstInstanceConnection first;
  if (!first.Connect()) return false;  // the first instance is still starting
  first.Activate();
  if (hasSwitch(arguments_, kScanSwitch)) first.Post(kScanRequestMessage, 0);
  if (hasSwitch(arguments_, kEarlierImportSwitch)) {
    if (!storeCommandLine(commandLine_)) {
      platform::messageBox("コンバートに失敗しました。", platform::Buttons::Ok, platform::Icon::Error);
      first.Finish();
      return false;
    }
    first.Post(kEarlierImportMessage, 1);
  }
  if (hasSwitch(arguments_, kListImportSwitch)) {
    if (!storeCommandLine(commandLine_)) {
      platform::messageBox("インポートに失敗しました。", platform::Buttons::Ok, platform::Icon::Error);
      first.Finish();
      return false;
    }
    first.Post(kListImportMessage, 1);
  }
  first.Finish();
  return false;
}

// SIGTERM and SIGHUP end the session from any state: every event loop ends
// (modal boxes and dialogs included, which count as closed without a
// choice), no further box waits for an answer, and work that looks for a
// cancel is cancelled. Once the stack has unwound, ExitInstance closes the
// frame as usual, which saves its state. Asking the windows to close here
// instead would let any dialog that refuses to close (a progress dialog, a
// question without Cancel) keep the program up.
void CFD3App::InstallTerminationHandler() {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gTerminationPipe) != 0) return;
  terminationNotifier_ = std::make_unique<QSocketNotifier>(gTerminationPipe[1], QSocketNotifier::Read);
  connect(terminationNotifier_.get(), &QSocketNotifier::activated, this, [] {
    char byte;
    if (::read(gTerminationPipe[1], &byte, 1) < 0) return;
    qCInfo(lcStartup) << "session ends";
    EndSession();
  });
  struct sigaction action = {};
  action.sa_handler = [](int) {
    const char byte = 1;
    [[maybe_unused]] auto n = ::write(gTerminationPipe[0], &byte, 1);
  };
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGHUP, &action, nullptr);
}

int CFD3App::FindCardApplication(std::string* folder) {
  const std::string ini = platform::joinPath(platform::configFolder(), "Cardello.ini");
  const std::string dicPath = platform::getProfileString(ini, "Cardello", "DICPATH", "", 260);
  const auto slash = dicPath.rfind('/');
  if (dicPath.empty() || slash == std::string::npos) return 0;
  const std::string found = dicPath.substr(0, slash + 1);
  if (!isFile(found + "Cardello.exe")) return 0;
  for (const char* name : {"runhostcdl.exe", "filecopy.avi"}) {
    const std::string target = found + name;
    if (!isFile(target))
      QFile::copy(QString::fromStdString(platform::joinPath(platform::programFolder(), name)),
                  QString::fromStdString(target));
  }
  if (folder) *folder = found;
  const std::string version = platform::getProfileString(ini, "Cardello", "VERSION", "0");
  return !version.empty() && versionValue(version) >= 2.0 ? 2 : 1;
}

int CFD3App::FindOcrApplication(std::string* path) {
  const std::string ini = platform::joinPath(platform::configFolder(), "Lumora.ini");
  const std::string instPath = platform::getProfileString(ini, "LUMORA", "INSTPATH", "", 260);
  if (instPath.empty() || !isFile(platform::joinPath(instPath, "lumora.exe"))) return 0;
  if (path) *path = instPath;
  const double version = versionValue(platform::getProfileString(ini, "LUMORA", "VERSION", "0"));
  for (int level = 7; level >= 4; --level)
    if (version >= level) return level;
  return 1;
}

void CFD3App::EndSession() {
  platform::setSessionEnding(true);
  QCoreApplication::exit(0);
  // Before the main loop has started, exit() has no loop to end: the loop
  // ends as soon as it runs.
  QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

int CFD3App::ExitInstance(int exitCode) {
  if (platform::sessionEnding() && frame_ && frame_->isVisible()) {
    frame_->close();
    // A viewer that would not give way still leaves the settings written.
    if (frame_->isVisible()) frame_->SaveState();
  }
  if (terminationNotifier_) {
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGHUP, SIG_DFL);
    terminationNotifier_.reset();
    ::close(gTerminationPipe[0]);
    ::close(gTerminationPipe[1]);
  }
  if (frame_) frame_.reset();
  if (RelatedWordDictionaryOpened()) CloseRelatedWordDictionary();
  instance_.reset();
  return exitCode;
}
