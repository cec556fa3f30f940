// A program built with the exception logger for its tests: each scenario raises an error in a
// way of its own and leaves the report in ExlogTestProgram.rlf beside the program. The tests read
// the lines marked "LINE:" here to know where each error arises.
//
//   exlog_test_program main-thread [count]   an error handled by the program's error handler
//   exlog_test_program thread                an error that ends one of the program's threads
//   exlog_test_program escape                an error that nothing catches
//   exlog_test_program freeze                a main loop that stops answering for a while
//   exlog_test_program crash                 a write to an address that is not there
//   exlog_test_program restart MARKER        the dialog's terminate button, restarting once
// A last parameter holding "DEBUG" switches the logger's trace on.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include "core/Exception.h"
#include "exlog/EFreeze.h"
#include "exlog/EUi.h"
#include "exlog/ExceptionLog.h"

namespace tavrik {

TAVRIK_EXCEPTION(ETestFailure, Exception);

namespace {

__attribute__((noinline)) void ThrowInMainThread(int n) {
  throw ETestFailure("Main thread failure " + std::to_string(n));  // LINE:main-thread
}

__attribute__((noinline)) void ThrowInThread() {
  throw std::runtime_error("Thread failure");  // LINE:thread
}

__attribute__((noinline)) void LetErrorEscape() {
  throw std::logic_error("Nobody catches this");  // LINE:escape
}

volatile int* volatile g_nowhere = reinterpret_cast<int*>(16);

__attribute__((noinline)) void CrashHere() {
  *g_nowhere = 1;  // LINE:crash
}

// The main window of a console program: the watchdog's pings wait for the main loop to answer.
class LoopProbe : public exlog::TMainWindowProbe {
 public:
  bool HasMainWindow() override { return true; }
  bool Ping(int milliseconds) override {
    std::unique_lock<std::mutex> lock(mutex_);
    const long asked = ++asked_;
    return changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return answered_ >= asked; });
  }
  // One turn of the main loop: answers what was asked.
  void Answer() {
    std::lock_guard<std::mutex> lock(mutex_);
    answered_ = asked_;
    changed_.notify_all();
  }
  long Asked() {
    std::lock_guard<std::mutex> lock(mutex_);
    return asked_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  long asked_ = 0;
  long answered_ = 0;
};

// Busy until the watchdog has reported the freeze (false when it never does).
__attribute__((noinline)) bool FreezeHere(const exlog::TExceptionLog& log) {
  const int before = log.ExceptionCount();
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  // One line, so that wherever the watchdog finds the loop it is this line.
  while (log.ExceptionCount() == before && std::chrono::steady_clock::now() < give_up) {}  // LINE:freeze
  return log.ExceptionCount() != before;
}

int Freeze() {
  LoopProbe probe;
  exlog::SetMainWindowProbe(&probe);
  // Answer until the watchdog has seen the window answer, so the freeze is a change it notices.
  while (probe.Asked() < 3) probe.Answer();
  const bool reported = FreezeHere(*exlog::InstalledLog());
  probe.Answer();
  exlog::SetMainWindowProbe(nullptr);
  return reported ? 0 : 4;
}

// A user who presses the terminate button of every error dialog.
class TerminatingUi : public exlog::TRavlogUi {
 public:
  exlog::TDialogChoices ShowExceptionDialog(const exlog::TReport&, const exlog::TRavlogModuleOptions&) override {
    exlog::TDialogChoices choices;
    choices.terminate = true;
    return choices;
  }
  std::string AskReproduceSteps(const exlog::TCustomizedTexts&) override { return ""; }
  void ShowMessageBox(const std::string&, const std::string&) override {}
  void CopyToClipboard(const std::string&) override {}
  exlog::TScreenImage TakeScreenshot() override { throw Exception("no screen"); }
  exlog::TActiveControls ActiveControls() override { return {}; }
  std::unique_ptr<exlog::TSendProgress> ShowSendProgress(const exlog::TCustomizedTexts&) override { return nullptr; }
};

int Restart(const std::string& marker) {
  if (std::filesystem::exists(marker)) {
    std::ofstream(marker, std::ios::app) << "restarted in " << std::filesystem::current_path().string() << "\n";
    return 0;
  }
  std::ofstream(marker) << "first run\n";
  TerminatingUi ui;
  exlog::SetRavlogUi(&ui);
  try {
    ThrowInMainThread(0);
  } catch (...) {
    exlog::HandleApplicationException();
  }
  return 3;  // not reached: the terminate button ends the program
}

}  // namespace
}  // namespace tavrik

int main(int argc, char** argv) {
  tavrik::exlog::Install(argc, argv);
  const std::string scenario = argc > 1 ? argv[1] : "";
  if (scenario == "main-thread") {
    const int count = argc > 2 ? std::atoi(argv[2]) : 1;
    for (int i = 1; i <= count; ++i) {
      try {
        tavrik::ThrowInMainThread(i);
      } catch (...) {
        tavrik::exlog::HandleApplicationException();
      }
    }
    return 0;
  }
  if (scenario == "thread") {
    std::thread worker(tavrik::ThrowInThread);  // LINE:thread-start
    worker.join();
    return 0;
  }
  if (scenario == "escape") tavrik::LetErrorEscape();
  if (scenario == "freeze") return tavrik::Freeze();
  if (scenario == "crash") tavrik::CrashHere();
  if (scenario == "restart" && argc > 2) return tavrik::Restart(argv[2]);
  std::fprintf(stderr, "unknown scenario\n");
  return 2;
}
