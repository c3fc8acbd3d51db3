#include "platform/timer_source.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using platform::ManualTimerSource;

TEST(ManualTimerSource, FiresWhatFallsDueInOrderOfDueTime) {
  ManualTimerSource clock;
  std::vector<std::string> fired;
  auto late = platform::createTimer([&] { fired.push_back("late@" + std::to_string(clock.now())); });
  auto early = platform::createTimer([&] { fired.push_back("early@" + std::to_string(clock.now())); });
  auto sameAsEarly = platform::createTimer([&] { fired.push_back("same@" + std::to_string(clock.now())); });
  auto tick = platform::createTimer([&] { fired.push_back("tick@" + std::to_string(clock.now())); }, true);
  late->start(500);
  early->start(200);
  sameAsEarly->start(200);
  tick->start(150);

  clock.advance(499);
  EXPECT_EQ(fired, (std::vector<std::string>{"tick@150", "early@200", "same@200", "tick@300", "tick@450"}));
  EXPECT_TRUE(late->isActive()) << "499 ms are not 500";
  EXPECT_FALSE(early->isActive()) << "a single-shot timer is done once it fired";
  fired.clear();
  clock.advance(1);
  EXPECT_EQ(fired, std::vector<std::string>{"late@500"});
  EXPECT_EQ(clock.activeTimers(), 1);
  tick->stop();
  clock.advance(1000);
  EXPECT_EQ(fired.size(), 1u);
}

// A callback may stop or destroy timers, its own too, and start new ones
// that fall due within the same advance.
TEST(ManualTimerSource, CallbacksMayChangeTheTimers) {
  ManualTimerSource clock;
  std::vector<std::string> fired;
  std::unique_ptr<platform::Timer> other = platform::createTimer([&] { fired.push_back("other"); });
  std::unique_ptr<platform::Timer> self;
  std::unique_ptr<platform::Timer> chained = platform::createTimer([&] { fired.push_back("chained"); });
  self = platform::createTimer(
      [&] {
        fired.push_back("self");
        other.reset();
        chained->start(10);
        self.reset();
      },
      true);
  self->start(100);
  other->start(150);
  clock.advance(200);
  EXPECT_EQ(fired, (std::vector<std::string>{"self", "chained"}));
}

TEST(ManualTimerSource, TheProgramsTimersReturnWhenItGoes) {
  std::unique_ptr<platform::Timer> leftOver;
  {
    ManualTimerSource clock;
    leftOver = platform::createTimer([] { FAIL() << "a timer of a source that is gone never fires"; });
    leftOver->start(10);
  }
  EXPECT_FALSE(leftOver->isActive());
  leftOver->start(0);
  EXPECT_FALSE(leftOver->isActive());

  // Qt's timers again: a 0 ms timer fires when the event loop runs.
  bool fired = false;
  auto real = platform::createTimer([&] { fired = true; });
  real->start(0);
  EXPECT_TRUE(real->isActive());
  for (int i = 0; i < 100 && !fired; ++i) QCoreApplication::processEvents();
  EXPECT_TRUE(fired);
}
