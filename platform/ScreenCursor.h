// The screen-cursor port: the one cursor the program shows over all its windows, as a program-wide
// setting that a busy action turns into the hourglass and puts back when done. The program binds
// the toolkit's override cursor; until then the setting is only remembered.
#pragma once

namespace tavrik::platform {

enum class TCursor { crDefault, crHourGlass };

class ScreenCursor {
 public:
  virtual ~ScreenCursor() = default;
  virtual TCursor Cursor() const = 0;
  virtual void SetCursor(TCursor cursor) = 0;
};

// The screen cursor in use; never null.
ScreenCursor& CurrentScreenCursor();
// Binds `cursor` (not owned; nullptr restores the remembering one). Returns the previous binding.
ScreenCursor* SetScreenCursor(ScreenCursor* cursor);

// Shows `cursor` for its lifetime and then puts back the cursor it found, also when an error
// leaves the scope.
class TCursorScope {
 public:
  explicit TCursorScope(TCursor cursor) : saved_(CurrentScreenCursor().Cursor()) {
    CurrentScreenCursor().SetCursor(cursor);
  }
  ~TCursorScope() { CurrentScreenCursor().SetCursor(saved_); }
  TCursorScope(const TCursorScope&) = delete;
  TCursorScope& operator=(const TCursorScope&) = delete;

 private:
  TCursor saved_;
};

}  // namespace tavrik::platform
