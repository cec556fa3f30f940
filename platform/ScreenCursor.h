// The screen-cursor port: the cursor shown over every window of the program, like a screen-wide
// cursor setting (an hourglass while a long operation runs). The value is kept here; the program
// binds a display that shows it, and without a binding nothing is shown.
#pragma once

#include <functional>

namespace tavrik::platform {

enum class TCursor { crDefault, crHourGlass };

TCursor ScreenCursor();
// Keeps `cursor` and hands it to the bound display.
void SetScreenCursor(TCursor cursor);
// Binds `display` (an empty function unbinds); returns the previous binding.
std::function<void(TCursor)> SetScreenCursorDisplay(std::function<void(TCursor)> display);

}  // namespace tavrik::platform
