#include "exlog/ui/GuiThread.h"

#include <QCoreApplication>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>

#include "core/Exception.h"

namespace tavrik::exlog::ui {

namespace {

struct Handover {
  enum Stage { kWaiting, kRunning, kDone, kDropped };
  std::mutex mutex;
  std::condition_variable changed;
  Stage stage = kWaiting;
  std::function<void()> work;
  std::exception_ptr error;
};

}  // namespace

bool OnGuiThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

void RunOnGuiThread(const std::function<void()>& work, int pickup_milliseconds) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) throw Exception("There is no user interface.");
  if (OnGuiThread()) return work();
  auto handover = std::make_shared<Handover>();
  handover->work = work;
  QMetaObject::invokeMethod(
      app,
      [handover] {
        {
          std::lock_guard<std::mutex> lock(handover->mutex);
          if (handover->stage == Handover::kDropped) return;
          handover->stage = Handover::kRunning;
        }
        try {
          handover->work();
        } catch (...) {
          handover->error = std::current_exception();
        }
        std::lock_guard<std::mutex> lock(handover->mutex);
        handover->stage = Handover::kDone;
        handover->changed.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock<std::mutex> lock(handover->mutex);
  if (!handover->changed.wait_for(lock, std::chrono::milliseconds(pickup_milliseconds),
                                  [&] { return handover->stage != Handover::kWaiting; })) {
    handover->stage = Handover::kDropped;
    throw Exception("The user interface does not answer.");
  }
  handover->changed.wait(lock, [&] { return handover->stage == Handover::kDone; });
  if (handover->error) std::rethrow_exception(handover->error);
}

}  // namespace tavrik::exlog::ui
