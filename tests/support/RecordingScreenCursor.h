// A screen cursor for tests: bound for its lifetime, it records every cursor set.
#pragma once

#include <vector>

#include "platform/ScreenCursor.h"

namespace tavrik::testing {

class RecordingScreenCursor : public platform::ScreenCursor {
 public:
  RecordingScreenCursor() { previous_ = platform::SetScreenCursor(this); }
  ~RecordingScreenCursor() override { platform::SetScreenCursor(previous_); }
  RecordingScreenCursor(const RecordingScreenCursor&) = delete;
  RecordingScreenCursor& operator=(const RecordingScreenCursor&) = delete;

  platform::TCursor Cursor() const override { return cursor_; }
  void SetCursor(platform::TCursor cursor) override {
    cursor_ = cursor;
    history.push_back(cursor);
  }

  std::vector<platform::TCursor> history;

 private:
  platform::ScreenCursor* previous_;
  platform::TCursor cursor_ = platform::TCursor::crDefault;
};

}  // namespace tavrik::testing
