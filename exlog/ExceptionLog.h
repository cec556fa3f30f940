// The exception logger: installed first thing in main, it watches every exception of the
// program and turns each that the program does not handle into a report (shown, logged beside
// the executable, mailed when configured). The program calls nothing else of it; its window
// actions hand their errors to HandleApplicationException.
//
// TExceptionLog runs the steps of one report, one report at a time. The installed logger is one
// instance of it, fed by the hooks: every C++ throw (recorded where raised), an exception that
// nothing catches (the terminate handler), the program's threads, fatal signals and the freeze
// watchdog.
#pragma once

#include <atomic>
#include <ctime>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "exlog/ECapture.h"
#include "exlog/ETrace.h"
#include "exlog/ETypes.h"

namespace tavrik::exlog {

// What the logger knows of the program it runs in.
struct TProgramFacts {
  std::string file;               // the executable
  std::vector<std::string> args;  // the parameters, without the program's name
  std::string start_dir;          // the working folder at start
  timespec start_date{};
  std::string description;  // from the version information, else the file name
  std::string version;      // from the version information, else "0.0.0.0"

  // The facts of the running program.
  static TProgramFacts Current(int argc, char** argv);
};

// What a report may do besides its steps: how the program ends after Terminate.
using TTerminateAction = std::function<void(bool restart)>;

class TExceptionLog {
 public:
  TExceptionLog(TRavlogModuleOptionsEx options, TProgramFacts program);

  // Reports `raised` through every step and returns when done. `unattended`: no dialog and no
  // question (the report goes to standard output), as for a fatal signal. A report asked for
  // while this thread is already making one is made right after it; other threads wait.
  void HandleException(TRaisedException raised, bool unattended = false);

  const TRavlogModuleOptionsEx& Options() const { return options_; }
  const TProgramFacts& Program() const { return program_; }
  int ExceptionCount() const { return count_; }
  TTrace& Trace() { return trace_; }
  // Internal warnings, as "Kind: text", oldest first.
  std::vector<std::string> Warnings();
  void Warn(const std::string& kind, const std::string& text);
  // By default the program ends with exit code 1, after starting itself again when asked.
  void SetTerminateAction(TTerminateAction action) { terminate_ = std::move(action); }
  // The settings for an exception at `address`: those of its module when it has its own.
  TRavlogModuleOptionsEx OptionsFor(uintptr_t address, std::string& module_file);

 private:
  void RunSteps(TRaisedException& raised, bool unattended);

  TRavlogModuleOptionsEx options_;
  TProgramFacts program_;
  TTrace trace_;
  TTerminateAction terminate_;
  std::atomic<int> count_{0};
  std::timed_mutex report_mutex_;
  std::atomic<pid_t> reporting_thread_{0};
  std::deque<std::pair<TRaisedException, bool>> deferred_;  // same-thread reports, guarded by report_mutex_
  std::mutex warnings_mutex_;
  std::vector<std::string> warnings_;
  std::mutex modules_mutex_;
  std::map<std::string, std::optional<TRavlogModuleOptionsEx>> module_options_;
};

// Ends the program at once with exit code 1; with `restart` a new instance is started first with
// the same command line in the folder the program was started from.
[[noreturn]] void TerminateProgram(const TProgramFacts& program, bool restart);

// --- the installed logger ---

// Installs the logger for this program: its settings from the executable's stored block, the
// hooks, the freeze watchdog when enabled. Call first in main, before anything else runs.
void Install(int argc, char** argv);
// Stops the watchdog and the signal handlers and saves the trace; runs at exit by itself.
void Uninstall();
// The installed logger, or nullptr.
TExceptionLog* InstalledLog();
// The handler of the exceptions that end the program's event handlers: reports the exception
// being handled. Call inside a catch block.
void HandleApplicationException();
// Reports the exception that ends one of the program's threads; the thread wrapper calls it
// inside its catch block.
void ReportThreadException();

}  // namespace tavrik::exlog
