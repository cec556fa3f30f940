#include "platform/Timer.h"

namespace tavrik::platform {

namespace {
TimerFactory& Factory() {
  static TimerFactory factory;
  return factory;
}
}  // namespace

bool ManualTimer::Fire() {
  if (!enabled_ || !on_timer_) return false;
  on_timer_();
  return true;
}

std::unique_ptr<Timer> MakeTimer() {
  if (Factory()) return Factory()();
  return std::make_unique<ManualTimer>();
}

TimerFactory SetTimerFactory(TimerFactory factory) {
  TimerFactory previous = std::move(Factory());
  Factory() = std::move(factory);
  return previous;
}

}  // namespace tavrik::platform
