// The internal trace, switched on by a last command-line parameter that holds "DEBUG" (in any
// case): each line is the time "dd/mm/yy hh:nn:ss", two blanks, an indentation that grows with
// the call depth, and the traced routine with its arguments. The trace is saved to the
// program's path with the extension ".log", after every line when the parameter also holds
// "SAVE", else when the logger saves it. Guarded by a lock: any thread may trace.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace tavrik::exlog {

class TTrace {
 public:
  // Reads the switch from the last parameter of `args` (the program's arguments, without its name).
  void Configure(const std::vector<std::string>& args, std::string file_name);

  // One line for `routine(arguments)` at the current depth.
  void Line(const std::string& routine, const std::string& arguments = "");
  void Enter() { ++depth_; }
  void Leave() {
    if (depth_ > 0) --depth_;
  }
  // Writes the whole trace to its file (nothing when the trace is off).
  void Save();

 private:
  void SaveLocked();

  std::mutex mutex_;
  bool enabled_ = false;
  bool save_each_line_ = false;
  std::atomic<int> depth_{0};
  std::string file_name_;
  std::vector<std::string> lines_;
};

// Traces `routine(arguments)` and indents what it traces until it returns.
class TTraceScope {
 public:
  TTraceScope(TTrace& trace, const std::string& routine, const std::string& arguments = "") : trace_(trace) {
    trace_.Line(routine, arguments);
    trace_.Enter();
  }
  ~TTraceScope() { trace_.Leave(); }
  TTraceScope(const TTraceScope&) = delete;
  TTraceScope& operator=(const TTraceScope&) = delete;

 private:
  TTrace& trace_;
};

}  // namespace tavrik::exlog
