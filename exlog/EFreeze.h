// The freeze watchdog (TFreezeThread): it asks the program's main window for an answer every
// 50 milliseconds; when none comes for FreezeTimeout seconds the program counts as frozen and
// is reported once, and not again until the window has answered.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace tavrik::exlog {

// The main window as the watchdog sees it. exlog/ui binds the Qt window; a console program with
// a loop of its own may bind one too.
class TMainWindowProbe {
 public:
  virtual ~TMainWindowProbe() = default;
  virtual bool HasMainWindow() = 0;
  // True when the window's thread answers within `milliseconds`.
  virtual bool Ping(int milliseconds) = 0;
};
TMainWindowProbe* CurrentMainWindowProbe();
TMainWindowProbe* SetMainWindowProbe(TMainWindowProbe* probe);

// The watchdog's count: unanswered time adds up, an answer resets it.
class TFreezeCounter {
 public:
  explicit TFreezeCounter(int timeout_milliseconds) : timeout_(timeout_milliseconds) {}
  // An attempt left unanswered for `waited` milliseconds; true when this one makes the program
  // count as frozen, which happens once until Answered().
  bool Unanswered(int waited);
  void Answered();
  bool Frozen() const { return reported_; }

 private:
  int timeout_;
  int counter_ = 0;
  bool reported_ = false;
};

class TFreezeThread {
 public:
  static constexpr int kAttemptMilliseconds = 50;

  // Starts watching; `on_frozen` runs on the watchdog's thread.
  TFreezeThread(int timeout_seconds, std::function<void()> on_frozen);
  // Stops the watchdog and waits for it.
  ~TFreezeThread();
  TFreezeThread(const TFreezeThread&) = delete;
  TFreezeThread& operator=(const TFreezeThread&) = delete;

 private:
  void Run();
  // Waits `milliseconds` or until stopped; false when stopped.
  bool Pause(int milliseconds);

  TFreezeCounter counter_;
  std::function<void()> on_frozen_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace tavrik::exlog
