#pragma once
// Running a call in a child process, for calls that, when broken, never
// return (a read that waits on a FIFO) or eat the memory (a read of
// /dev/zero).

#include <functional>

namespace testsupport {

// The alarm is no measure of time, only what ends a hang so that the run
// goes on: a call that returns at once is far inside it on any machine.
// Hung: ended by a signal (the alarm of a hang, or a crash).
enum class ChildEnd { True, False, Hung };
ChildEnd runInChild(const std::function<bool()>& work, unsigned safetySeconds = 30);

}  // namespace testsupport
