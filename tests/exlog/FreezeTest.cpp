// The freeze watchdog: unanswered time adds up to FreezeTimeout, a frozen program is reported
// once until its window answers again, and nothing is asked before there is a main window.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "exlog/EFreeze.h"

namespace tavrik::exlog {
namespace {

TEST(FreezeCounter, OnceUntilAnsweredAgain) {
  TFreezeCounter counter(200);
  EXPECT_FALSE(counter.Unanswered(50));
  EXPECT_FALSE(counter.Unanswered(50));
  EXPECT_FALSE(counter.Unanswered(50));
  EXPECT_TRUE(counter.Unanswered(50));  // 200 ms without an answer
  for (int i = 0; i < 100; ++i) EXPECT_FALSE(counter.Unanswered(50));
  EXPECT_TRUE(counter.Frozen());
  counter.Answered();
  EXPECT_FALSE(counter.Frozen());
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(counter.Unanswered(50));
  counter.Answered();  // an answer in between starts the count again
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(counter.Unanswered(50));
  EXPECT_TRUE(counter.Unanswered(50));
}

// A main window under the test's control; every question is counted.
class FakeWindow : public TMainWindowProbe {
 public:
  FakeWindow() { previous_ = SetMainWindowProbe(this); }
  ~FakeWindow() override { SetMainWindowProbe(previous_); }

  bool HasMainWindow() override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_.window_questions;
    changed_.notify_all();
    return has_window_;
  }
  bool Ping(int) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_.pings;
    if (answering_) ++counts_.answered;
    changed_.notify_all();
    return answering_;
  }
  void Set(bool has_window, bool answering) {
    std::lock_guard<std::mutex> lock(mutex_);
    has_window_ = has_window;
    answering_ = answering;
  }
  void Frozen() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_.reports;
    changed_.notify_all();
  }
  struct Counts {
    int window_questions = 0;
    int pings = 0;
    int answered = 0;
    int reports = 0;
  };
  // Waits (bounded) until `done` holds of the counts; true when it did.
  bool WaitFor(const std::function<bool(const Counts&)>& done) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return done(counts_); });
  }
  Counts Now() {
    std::lock_guard<std::mutex> lock(mutex_);
    return counts_;
  }

 private:
  TMainWindowProbe* previous_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool has_window_ = false;
  bool answering_ = false;
  Counts counts_;
};

TEST(FreezeThread, AFrozenProgramIsReportedOnceUntilItAnswers) {
  using Counts = FakeWindow::Counts;
  FakeWindow window;
  TFreezeThread watchdog(1, [&] { window.Frozen(); });
  ASSERT_TRUE(window.WaitFor([](const Counts& c) { return c.window_questions >= 5; }));
  EXPECT_EQ(window.Now().pings, 0);  // no window yet: nothing asked

  window.Set(true, false);
  ASSERT_TRUE(window.WaitFor([](const Counts& c) { return c.reports == 1; }));
  const int pings_at_report = window.Now().pings;
  // Still frozen for ten more time-outs' worth of attempts: no second report.
  ASSERT_TRUE(window.WaitFor([&](const Counts& c) { return c.pings >= pings_at_report + 200; }));
  EXPECT_EQ(window.Now().reports, 1);

  window.Set(true, true);
  ASSERT_TRUE(window.WaitFor([](const Counts& c) { return c.answered >= 1; }));
  window.Set(true, false);
  ASSERT_TRUE(window.WaitFor([](const Counts& c) { return c.reports == 2; }));  // frozen again
}

}  // namespace
}  // namespace tavrik::exlog
