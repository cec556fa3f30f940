// The program's handler of unhandled exceptions: an error that ends a window handler arrives
// here instead of unwinding through the toolkit.
#pragma once

#include <exception>
#include <functional>

namespace tavrik {

// Hands the error to the exception logger, which reports it; where none is installed (tests of
// the window), shows the error's message in an error box. Call inside the catch block.
void HandleException(const std::exception& error);
// Runs `handler`; an exception that leaves it goes to HandleException. Returns false then.
bool RunGuarded(const std::function<void()>& handler);

}  // namespace tavrik
