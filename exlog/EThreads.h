// The program's own threads (TRavlogThreadsList): every thread started through pthread_create
// (std::thread too) begins in the logger's wrapper, which records the stack at its creation
// and reports an exception that ends it. Guarded by a lock.
#pragma once

#include <sys/types.h>

#include <mutex>
#include <vector>

#include "exlog/EStack.h"

namespace tavrik::exlog {

class TRavlogThreadsList {
 public:
  static TRavlogThreadsList& Instance();

  void Add(pid_t thread_id, std::vector<TFrame> creation_frames);
  void Remove(pid_t thread_id);
  // The stack at the creation of `thread_id`; empty for a thread the logger did not see start.
  std::vector<TFrame> CreationFrames(pid_t thread_id);

 private:
  struct Entry {
    pid_t thread_id;
    std::vector<TFrame> creation_frames;
  };
  std::mutex mutex_;
  std::vector<Entry> entries_;
};

// Switches the wrapping of new threads on or off (off by default).
void SetThreadWrapping(bool on);

}  // namespace tavrik::exlog
