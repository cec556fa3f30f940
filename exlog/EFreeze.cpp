#include "exlog/EFreeze.h"

#include <atomic>
#include <chrono>

namespace tavrik::exlog {

namespace {
std::atomic<TMainWindowProbe*> g_probe{nullptr};
}  // namespace

TMainWindowProbe* CurrentMainWindowProbe() { return g_probe; }
TMainWindowProbe* SetMainWindowProbe(TMainWindowProbe* probe) { return g_probe.exchange(probe); }

bool TFreezeCounter::Unanswered(int waited) {
  counter_ += waited;
  if (reported_ || counter_ < timeout_) return false;
  reported_ = true;
  return true;
}

void TFreezeCounter::Answered() {
  counter_ = 0;
  reported_ = false;
}

TFreezeThread::TFreezeThread(int timeout_seconds, std::function<void()> on_frozen)
    : counter_(timeout_seconds * 1000), on_frozen_(std::move(on_frozen)), thread_([this] { Run(); }) {}

TFreezeThread::~TFreezeThread() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

bool TFreezeThread::Pause(int milliseconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  return !wake_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return stopping_; });
}

void TFreezeThread::Run() {
  for (;;) {
    TMainWindowProbe* probe = CurrentMainWindowProbe();
    if (!probe || !probe->HasMainWindow()) {
      if (!Pause(kAttemptMilliseconds)) return;
      continue;
    }
    if (probe->Ping(kAttemptMilliseconds)) {
      counter_.Answered();
      if (!Pause(5 * kAttemptMilliseconds)) return;
    } else if (counter_.Unanswered(kAttemptMilliseconds)) {
      on_frozen_();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
  }
}

}  // namespace tavrik::exlog
