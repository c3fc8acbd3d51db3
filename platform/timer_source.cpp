#include "platform/timer_source.h"

#include <QTimer>

#include <algorithm>
#include <limits>

namespace platform {
namespace {

class QtTimer : public Timer {
 public:
  QtTimer(std::function<void()> onTimeout, bool repeating) {
    timer_.setSingleShot(!repeating);
    QObject::connect(&timer_, &QTimer::timeout, [callback = std::move(onTimeout)] { callback(); });
  }
  void start(int ms) override { timer_.start(ms); }
  void stop() override { timer_.stop(); }
  bool isActive() const override { return timer_.isActive(); }

 private:
  QTimer timer_;
};

class QtTimerSource : public TimerSource {
 public:
  std::unique_ptr<Timer> createTimer(std::function<void()> onTimeout, bool repeating) override {
    return std::make_unique<QtTimer>(std::move(onTimeout), repeating);
  }
};

QtTimerSource gQtSource;
TimerSource* gSource = &gQtSource;

}  // namespace

std::unique_ptr<Timer> createTimer(std::function<void()> onTimeout, bool repeating) {
  return gSource->createTimer(std::move(onTimeout), repeating);
}

// ---------------------------------------------------------------- manual source

class ManualTimerSource::ManualTimer : public Timer {
 public:
  ManualTimer(ManualTimerSource* source, std::function<void()> onTimeout, bool repeating)
      : source_(source), onTimeout_(std::move(onTimeout)), repeating_(repeating) {
    source_->timers_.push_back(this);
  }
  ~ManualTimer() override {
    if (source_) std::erase(source_->timers_, this);
  }
  void start(int ms) override {
    if (!source_) return;
    // A repeating timer of 0 ms would fall due for ever within one advance.
    interval_ = std::max(ms, repeating_ ? 1 : 0);
    due_ = source_->now_ + interval_;
    sequence_ = source_->nextSequence_++;
    active_ = true;
  }
  void stop() override { active_ = false; }
  bool isActive() const override { return active_; }

  ManualTimerSource* source_;
  std::function<void()> onTimeout_;
  bool repeating_;
  bool active_ = false;
  int interval_ = 0;
  std::int64_t due_ = 0;
  std::uint64_t sequence_ = 0;
};

ManualTimerSource::ManualTimerSource() : previous_(gSource) { gSource = this; }

ManualTimerSource::~ManualTimerSource() {
  // Timers that outlive the source stay stopped for good.
  for (ManualTimer* timer : timers_) {
    timer->active_ = false;
    timer->source_ = nullptr;
  }
  gSource = previous_;
}

std::unique_ptr<Timer> ManualTimerSource::createTimer(std::function<void()> onTimeout, bool repeating) {
  return std::make_unique<ManualTimer>(this, std::move(onTimeout), repeating);
}

int ManualTimerSource::activeTimers() const {
  return static_cast<int>(std::count_if(timers_.begin(), timers_.end(), [](const ManualTimer* t) { return t->active_; }));
}

void ManualTimerSource::advance(int ms) {
  const std::int64_t target = now_ + std::max(ms, 0);
  for (;;) {
    ManualTimer* next = nullptr;
    for (ManualTimer* timer : timers_) {
      if (!timer->active_ || timer->due_ > target) continue;
      if (!next || timer->due_ < next->due_ || (timer->due_ == next->due_ && timer->sequence_ < next->sequence_))
        next = timer;
    }
    if (!next) break;
    now_ = next->due_;
    if (next->repeating_) {
      next->due_ += next->interval_;
      next->sequence_ = nextSequence_++;
    } else {
      next->active_ = false;
    }
    // The callback may stop, restart or destroy any timer, this one too.
    const std::function<void()> callback = next->onTimeout_;
    callback();
  }
  now_ = target;
}

}  // namespace platform
