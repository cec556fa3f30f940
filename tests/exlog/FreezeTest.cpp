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
    ++window_questions_;
    changed_.notify_all();
    return has_window_;
  }
  bool Ping(int) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++pings_;
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
    ++reports_;
    changed_.notify_all();
  }
  // Waits (bounded) until `done` holds; true when it did.
  bool WaitFor(const std::function<bool(int window_questions, int pings, int reports)>& done) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return done(window_questions_, pings_, reports_); });
  }
  int Reports() {
    std::lock_guard<std::mutex> lock(mutex_);
    return reports_;
  }

 private:
  TMainWindowProbe* previous_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool has_window_ = false;
  bool answering_ = false;
  int window_questions_ = 0;
  int pings_ = 0;
  int reports_ = 0;
};

TEST(FreezeThread, AFrozenProgramIsReportedOnceUntilItAnswers) {
  FakeWindow window;
  TFreezeThread watchdog(1, [&] { window.Frozen(); });
  ASSERT_TRUE(window.WaitFor([](int questions, int, int) { return questions >= 5; }));
  EXPECT_TRUE(window.WaitFor([](int, int pings, int) { return pings == 0; }));  // no window: nothing asked

  window.Set(true, false);
  ASSERT_TRUE(window.WaitFor([](int, int, int reports) { return reports == 1; }));
  int pings_at_report = 0;
  window.WaitFor([&](int, int pings, int) { return (pings_at_report = pings) > 0; });
  // Still frozen for ten more time-outs' worth of attempts: no second report.
  ASSERT_TRUE(window.WaitFor([&](int, int pings, int) { return pings >= pings_at_report + 200; }));
  EXPECT_EQ(window.Reports(), 1);

  window.Set(true, true);
  int pings_answered = 0;
  window.WaitFor([&](int, int pings, int) { return (pings_answered = pings) > pings_at_report + 202; });
  window.Set(true, false);
  ASSERT_TRUE(window.WaitFor([](int, int, int reports) { return reports == 2; }));  // frozen again
}

}  // namespace
}  // namespace tavrik::exlog
