#include "platform/MessagePump.h"

namespace tavrik::platform {

namespace {
std::function<void()>& Pump() {
  static std::function<void()> pump;
  return pump;
}
}  // namespace

void ProcessMessages() {
  if (Pump()) Pump()();
}

std::function<void()> SetProcessMessages(std::function<void()> pump) {
  std::function<void()> previous = std::move(Pump());
  Pump() = std::move(pump);
  return previous;
}

}  // namespace tavrik::platform
