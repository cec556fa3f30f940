// The message-pump port: ProcessMessages lets pending window messages run, so a long transfer
// keeps the window responsive. The program binds the toolkit's event processing; without a
// binding it does nothing.
#pragma once

#include <functional>

namespace tavrik::platform {

void ProcessMessages();
// Binds `pump` (an empty function unbinds); returns the previous binding.
std::function<void()> SetProcessMessages(std::function<void()> pump);

}  // namespace tavrik::platform
