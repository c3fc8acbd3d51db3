#pragma once
// The one way the program starts another program: detached, with an
// argument list (never a command line for a shell), in a working folder.
// The board, the list, the application bar, the hand-offs and mail all start
// through StartProgram, so that a test records every start in one place.
//
//   StartProgram           a detached start; false when it failed
//   SetProgramStartHook    replaces the start (tests)
//   RecordedProgramStarts  a hook that keeps the starts for a scope

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

struct ProgramStart {
  QString program;
  QStringList arguments;
  QString workingFolder;
};

using ProgramStartHook = std::function<bool(const ProgramStart& start)>;

bool StartProgram(const QString& program, const QStringList& arguments, const QString& workingFolder = {});

// Installs a hook in place of the real start; an empty hook restores it.
// Returns the previous hook.
ProgramStartHook SetProgramStartHook(ProgramStartHook hook);

// Records the starts for its lifetime; succeed says what a start answers.
class RecordedProgramStarts {
 public:
  RecordedProgramStarts();
  ~RecordedProgramStarts();
  RecordedProgramStarts(const RecordedProgramStarts&) = delete;
  RecordedProgramStarts& operator=(const RecordedProgramStarts&) = delete;

  const std::vector<ProgramStart>& starts() const { return starts_; }
  void clear() { starts_.clear(); }
  bool succeed = true;

 private:
  std::vector<ProgramStart> starts_;
  ProgramStartHook previous_;
};
