#pragma once
// CFD3App: the application object. It keeps the program to one running
// instance per user, hands the requests of a repeated start over to the
// running one, prepares the process-wide state, creates the main frame,
// opens the related-word dictionary and closes what it opened at exit.
//
//   InitInstance   true: run the event loop; false: end with ExitCode()
//   ExitInstance   closes the dictionary; returns the exit code
//   Frame          the main frame once created
//
// Switches: "/Scanning" (scan), "/DU2.Import" (earlier product's data),
// "/Import" (list of a sibling application), each with a request file. A
// switch is a whole argument, case as written; a path that holds the text of
// a switch is no switch.

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <string>

class CFD3Doc;
class CMainFrame;
class DialogProgressSink;
class QSocketNotifier;
class SingleInstance;

// The clipboard format of copied stacks and items.
inline constexpr const char* kEntryClipboardFormat = "application/x-zrvvaziri3cbformat";
// Section of the program's INI file (brindel.ini).
inline constexpr const char* kProductSection = "ブリンデル";
inline constexpr const char* kProgramVersion = "3.0";

class CFD3App : public QObject {
  Q_OBJECT

 public:
  CFD3App();
  ~CFD3App() override;

  // arguments: the program's arguments without the program name.
  bool InitInstance(const QStringList& arguments);
  // After the session ended (EndSession), first closes the frame, which
  // saves its state.
  int ExitInstance(int exitCode);
  int ExitCode() const { return exitCode_; }
  // What SIGTERM and SIGHUP do: every event loop ends, boxes answer as
  // closed without a choice, cancellable work is cancelled.
  static void EndSession();

  CMainFrame* Frame() const { return frame_.get(); }
  CFD3Doc* Document() const { return document_.get(); }
  const QString& CommandLine() const { return commandLine_; }
  // The program folder without a trailing separator.
  const QString& ProgramFolder() const { return programFolder_; }

  // Sibling applications, found through their INI files in the config
  // folder. The card application: 0 not installed, 1, or 2 for version 2.0
  // and later; its folder (with a trailing separator) goes to *folder, and
  // our launcher and animation are copied there when it lacks them.
  static int FindCardApplication(std::string* folder = nullptr);
  // The OCR application: 0 not installed, else its level (4 to 7 by
  // version, 1 below 4.0); its installation path goes to *path.
  static int FindOcrApplication(std::string* path = nullptr);

  // The command line as one string: arguments joined by spaces, quoted when
  // they hold a space.
  static QString JoinCommandLine(const QStringList& arguments);

 private:
  bool RepeatedStart();
  void MarkMainWindow();
  void InstallTerminationHandler();
  // Clears the document's work folder once per run.
  void DeleteDocumentTempFolder();

  std::unique_ptr<SingleInstance> instance_;
  std::unique_ptr<CMainFrame> frame_;
  std::unique_ptr<DialogProgressSink> progressSink_;
  std::unique_ptr<CFD3Doc> document_;
  std::unique_ptr<QSocketNotifier> terminationNotifier_;
  QString commandLine_;
  QStringList arguments_;
  QString programFolder_;
  int exitCode_ = 0;
};
