#include "platform/ScreenCursor.h"

namespace tavrik::platform {

namespace {
TCursor current = TCursor::crDefault;

std::function<void(TCursor)>& Display() {
  static std::function<void(TCursor)> display;
  return display;
}
}  // namespace

TCursor ScreenCursor() { return current; }

void SetScreenCursor(TCursor cursor) {
  current = cursor;
  if (Display()) Display()(cursor);
}

std::function<void(TCursor)> SetScreenCursorDisplay(std::function<void(TCursor)> display) {
  std::function<void(TCursor)> previous = std::move(Display());
  Display() = std::move(display);
  return previous;
}

}  // namespace tavrik::platform
