#include "exlog/EThreads.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <memory>

#include "exlog/ECapture.h"
#include "exlog/ESignals.h"
#include "exlog/ExceptionLog.h"

namespace tavrik::exlog {

namespace {

std::atomic<bool> g_wrapping{false};

using CreateFunction = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

CreateFunction RealCreate() {
  static const CreateFunction real = reinterpret_cast<CreateFunction>(::dlsym(RTLD_NEXT, "pthread_create"));
  return real;
}

struct Launch {
  void* (*start)(void*);
  void* argument;
  std::vector<TFrame> creation_frames;
};

void* ThreadEntry(void* data) {
  std::unique_ptr<Launch> launch(static_cast<Launch*>(data));
  const pid_t id = ::gettid();
  TRavlogThreadsList::Instance().Add(id, std::move(launch->creation_frames));
  EnsureSignalStack();
  struct Leave {
    pid_t id;
    ~Leave() {
      ReleaseSignalStack();
      TRavlogThreadsList::Instance().Remove(id);
    }
  } leave{id};
  try {
    return launch->start(launch->argument);
  } catch (abi::__forced_unwind&) {
    throw;  // a cancelled or exiting thread must finish unwinding
  } catch (...) {
    ReportThreadException();
    return nullptr;
  }
}

}  // namespace

TRavlogThreadsList& TRavlogThreadsList::Instance() {
  static TRavlogThreadsList* list = new TRavlogThreadsList;  // threads may outlive static destruction
  return *list;
}

void TRavlogThreadsList::Add(pid_t thread_id, std::vector<TFrame> creation_frames) {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.push_back(Entry{thread_id, std::move(creation_frames)});
}

void TRavlogThreadsList::Remove(pid_t thread_id) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].thread_id == thread_id) {
      entries_.erase(entries_.begin() + static_cast<long>(i));
      return;
    }
}

std::vector<TFrame> TRavlogThreadsList::CreationFrames(pid_t thread_id) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const Entry& e : entries_)
    if (e.thread_id == thread_id) return e.creation_frames;
  return {};
}

void SetThreadWrapping(bool on) { g_wrapping = on; }

}  // namespace tavrik::exlog

using tavrik::exlog::Launch;

// Every thread of the program starts here; the real routine runs inside the wrapper.
extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*start)(void*),
                              void* argument) noexcept {
  tavrik::exlog::CreateFunction real = tavrik::exlog::RealCreate();
  if (!real) std::abort();
  if (!tavrik::exlog::g_wrapping) return real(thread, attributes, start, argument);
  Launch* launch = new (std::nothrow) Launch{start, argument, {}};
  if (!launch) return real(thread, attributes, start, argument);
  tavrik::exlog::TFrame frames[tavrik::exlog::kMaxFrames];
  size_t count = tavrik::exlog::CaptureFrames(frames, tavrik::exlog::kMaxFrames, 1);
  launch->creation_frames.assign(frames, frames + count);
  int rc = real(thread, attributes, tavrik::exlog::ThreadEntry, launch);
  if (rc != 0) delete launch;
  return rc;
}
