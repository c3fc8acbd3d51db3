#pragma once
// Timers of the user interface, from one replaceable source. The program
// uses Qt's timers (the default source); a test installs a ManualTimerSource
// and moves its time on by hand, so that "after 1500 ms" and "not before
// 500 ms" are steps of the test, not waits on the wall clock.
//
//   Timer                  one timer: start (again), stop, isActive
//   createTimer            a timer of the source in use
//   ManualTimerSource      a test's source; advance(ms) fires what falls due
//
// All of it runs on the GUI thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace platform {

class Timer {
 public:
  virtual ~Timer() = default;
  // (Re)starts: the callback runs when ms have passed, then, for a repeating
  // timer, every ms again until stop().
  virtual void start(int ms) = 0;
  virtual void stop() = 0;
  virtual bool isActive() const = 0;
};

class TimerSource {
 public:
  virtual ~TimerSource() = default;
  // A stopped timer. Destroying it stops it; the callback never runs after.
  virtual std::unique_ptr<Timer> createTimer(std::function<void()> onTimeout, bool repeating) = 0;
};

std::unique_ptr<Timer> createTimer(std::function<void()> onTimeout, bool repeating = false);

// Installed for its lifetime (the source before it returns afterwards). Timers
// made while it is installed belong to it; time moves only through advance().
class ManualTimerSource : public TimerSource {
 public:
  ManualTimerSource();
  ~ManualTimerSource() override;
  ManualTimerSource(const ManualTimerSource&) = delete;
  ManualTimerSource& operator=(const ManualTimerSource&) = delete;

  std::unique_ptr<Timer> createTimer(std::function<void()> onTimeout, bool repeating) override;
  // Moves time on by ms, firing every timer that falls due on the way in the
  // order of its due time (timers due at the same moment in the order they
  // were started).
  void advance(int ms);
  std::int64_t now() const { return now_; }
  int activeTimers() const;

 private:
  class ManualTimer;
  friend class ManualTimer;
  std::int64_t now_ = 0;
  std::uint64_t nextSequence_ = 0;
  std::vector<ManualTimer*> timers_;
  TimerSource* previous_ = nullptr;
};

}  // namespace platform
