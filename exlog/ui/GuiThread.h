// Running work on the GUI thread from any thread: a report may be made on a worker thread or on
// the freeze watchdog's, while Qt's widgets live on the GUI thread only.
#pragma once

#include <functional>

namespace tavrik::exlog::ui {

// Runs `work` on the GUI thread and waits until it has run; from the GUI thread itself it runs
// at once. From another thread the GUI thread gets `pickup_milliseconds` to start it (a frozen
// one never does): then the work is dropped and an Exception raised. An exception of `work` is
// raised again in the caller.
void RunOnGuiThread(const std::function<void()>& work, int pickup_milliseconds);
// Whether the caller is on the GUI thread (false without an application object).
bool OnGuiThread();

}  // namespace tavrik::exlog::ui
