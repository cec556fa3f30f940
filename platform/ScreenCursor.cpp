#include "platform/ScreenCursor.h"

namespace tavrik::platform {

namespace {
class RememberedCursor : public ScreenCursor {
 public:
  TCursor Cursor() const override { return cursor_; }
  void SetCursor(TCursor cursor) override { cursor_ = cursor; }

 private:
  TCursor cursor_ = TCursor::crDefault;
};

RememberedCursor remembered;
ScreenCursor* current = nullptr;
}  // namespace

ScreenCursor& CurrentScreenCursor() { return current ? *current : remembered; }

ScreenCursor* SetScreenCursor(ScreenCursor* cursor) {
  ScreenCursor* previous = current;
  current = cursor;
  return previous;
}

}  // namespace tavrik::platform
