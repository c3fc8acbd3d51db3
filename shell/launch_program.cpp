#include "shell/launch_program.h"

#include <QProcess>

namespace {

ProgramStartHook& hook() {
  static ProgramStartHook installed;
  return installed;
}

}  // namespace

bool StartProgram(const QString& program, const QStringList& arguments, const QString& workingFolder) {
  if (hook()) return hook()({program, arguments, workingFolder});
  return QProcess::startDetached(program, arguments, workingFolder);
}

ProgramStartHook SetProgramStartHook(ProgramStartHook newHook) {
  ProgramStartHook previous = std::move(hook());
  hook() = std::move(newHook);
  return previous;
}

RecordedProgramStarts::RecordedProgramStarts()
    : previous_(SetProgramStartHook([this](const ProgramStart& start) {
        starts_.push_back(start);
        return succeed;
      })) {}

RecordedProgramStarts::~RecordedProgramStarts() { SetProgramStartHook(std::move(previous_)); }
