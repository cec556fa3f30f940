// The timer port: a periodic callback on the thread that owns the timer, like a window timer.
// The program binds a factory making toolkit timers; without one, timers are ManualTimers that
// fire only when stepped by hand (tests and command-line tools do that).
#pragma once

#include <functional>
#include <memory>

namespace tavrik::platform {

class Timer {
 public:
  virtual ~Timer() = default;
  virtual void SetInterval(int milliseconds) = 0;
  virtual int Interval() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
  // The callback runs on each tick while the timer is enabled.
  virtual void SetOnTimer(std::function<void()> on_timer) = 0;
};

// A timer that ticks only when Fire() is called.
class ManualTimer : public Timer {
 public:
  void SetInterval(int milliseconds) override { interval_ = milliseconds; }
  int Interval() const override { return interval_; }
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  bool Enabled() const override { return enabled_; }
  void SetOnTimer(std::function<void()> on_timer) override { on_timer_ = std::move(on_timer); }
  // One tick: runs the callback when enabled; returns whether it ran.
  bool Fire();

 private:
  int interval_ = 1000;
  bool enabled_ = false;
  std::function<void()> on_timer_;
};

using TimerFactory = std::function<std::unique_ptr<Timer>()>;

// A new timer from the bound factory (a ManualTimer when none is bound).
std::unique_ptr<Timer> MakeTimer();
// Binds `factory` (empty restores ManualTimers); returns the previous one.
TimerFactory SetTimerFactory(TimerFactory factory);

}  // namespace tavrik::platform
