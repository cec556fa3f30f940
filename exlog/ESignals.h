// Signals: the fatal ones (a fault, an abort) handed to a report thread while the failing thread
// waits, and the capture of another thread's registers and stack (the main thread's, for a
// frozen program) by interrupting it.
//
// A fatal signal cannot be survived, and its thread may hold any lock (the allocator's, the
// loader's); so the report runs on a thread of its own started beforehand, and the failing
// thread waits for it a bounded time before the signal takes its default course.
#pragma once

#include <pthread.h>
#include <sys/types.h>

#include <functional>
#include <string>

#include "exlog/ECapture.h"

namespace tavrik::exlog {

struct TFatalSignal {
  int signal = 0;
  int code = 0;
  uintptr_t fault_address = 0;
  pid_t thread_id = 0;
  TRaiseCapture capture;
};

// The class and message a report gives a fatal signal ("EAccessViolation", ...).
std::string FatalSignalClass(const TFatalSignal& fatal);
std::string FatalSignalMessage(const TFatalSignal& fatal, const std::string& module_name);

// Starts the report thread and handles SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT from now on;
// `report` runs on that thread for the first fatal signal. The failing thread waits for it at
// most `wait_milliseconds`. Returns false (and handles nothing) when the thread cannot start.
bool InstallFatalSignalHandlers(std::function<void(const TFatalSignal&)> report, int wait_milliseconds);
// Gives the signals back to their previous handlers and stops the report thread.
void UninstallFatalSignalHandlers();
// Gives the calling thread a stack of its own for signal handlers (a stack overflow leaves no
// room on the thread's stack); ReleaseSignalStack undoes it before the thread ends.
void EnsureSignalStack();
void ReleaseSignalStack();

// Interrupts `thread` and takes its registers and stack as they were at that instruction.
// False when the thread does not answer within `timeout_milliseconds`.
bool CaptureThreadContext(pthread_t thread, TRaiseCapture& out, int timeout_milliseconds);

}  // namespace tavrik::exlog
