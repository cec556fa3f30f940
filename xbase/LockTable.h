// The record locks of one table inside this process, by owner (a work area), joined to the
// byte-range locks that keep other processes out. One record has at most one owner; a request
// for a record another owner holds waits for it up to a time-out, then is refused.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

namespace tavrik::xbase {

// Identifies a lock owner (one per work area, never reused in a process).
using TLockOwner = uint64_t;
TLockOwner NewLockOwner();

class TLockTable {
 public:
  // `fd` is the table file's descriptor for the byte-range locks; < 0 for a table opened
  // exclusively, where no other process can be.
  explicit TLockTable(int fd) : fd_(fd) {}

  // True when `owner` holds record `recno` afterwards (also when it held it already); false when
  // another owner (here or in another process) still held it after `wait`.
  bool Lock(uint32_t recno, TLockOwner owner, std::chrono::milliseconds wait);
  // Releases one record of `owner` (nothing when it is not the owner's).
  void Unlock(uint32_t recno, TLockOwner owner);
  void UnlockAll(TLockOwner owner);

  bool HeldBy(uint32_t recno, TLockOwner owner) const;
  // True when anyone but `owner` holds `recno`, in this process or in another one.
  bool HeldByOther(uint32_t recno, TLockOwner owner) const;
  std::vector<uint32_t> LocksOf(TLockOwner owner) const;
  // How many Lock calls are waiting now (for tests that must know a request waits).
  int Waiting() const;

 private:
  const int fd_;
  mutable std::mutex mutex_;
  std::condition_variable released_;
  std::map<uint32_t, TLockOwner> owners_;
  int waiting_ = 0;
};

}  // namespace tavrik::xbase
