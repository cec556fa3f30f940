#include "xbase/LockTable.h"

#include <atomic>

#include "xbase/LockRegion.h"

namespace tavrik::xbase {

TLockOwner NewLockOwner() {
  static std::atomic<TLockOwner> next{1};
  return next++;
}

bool TLockTable::Lock(uint32_t recno, TLockOwner owner, std::chrono::milliseconds wait) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + wait;
  std::unique_lock<std::mutex> guard(mutex_);
  for (;;) {
    auto it = owners_.find(recno);
    if (it != owners_.end() && it->second == owner) return true;
    const bool free_here = it == owners_.end();
    // Free inside the process; another process may still hold it. The byte-range attempt never
    // waits, so holding the mutex across it is brief.
    if (free_here && (fd_ < 0 || TryLockByte(fd_, RecordLockOffset(recno), TLockKind::exclusive))) {
      owners_.emplace(recno, owner);
      return true;
    }
    if (Clock::now() >= deadline) return false;
    ++waiting_;
    if (free_here)  // another process holds it and cannot signal us: look again shortly
      released_.wait_until(guard, std::min(deadline, Clock::now() + std::chrono::milliseconds(10)));
    else
      released_.wait_until(guard, deadline);
    --waiting_;
  }
}

int TLockTable::Waiting() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return waiting_;
}

void TLockTable::Unlock(uint32_t recno, TLockOwner owner) {
  std::lock_guard<std::mutex> guard(mutex_);
  auto it = owners_.find(recno);
  if (it == owners_.end() || it->second != owner) return;
  owners_.erase(it);
  if (fd_ >= 0) UnlockByte(fd_, RecordLockOffset(recno));
  released_.notify_all();
}

void TLockTable::UnlockAll(TLockOwner owner) {
  std::lock_guard<std::mutex> guard(mutex_);
  bool any = false;
  for (auto it = owners_.begin(); it != owners_.end();) {
    if (it->second == owner) {
      if (fd_ >= 0) UnlockByte(fd_, RecordLockOffset(it->first));
      it = owners_.erase(it);
      any = true;
    } else {
      ++it;
    }
  }
  if (any) released_.notify_all();
}

bool TLockTable::HeldBy(uint32_t recno, TLockOwner owner) const {
  std::lock_guard<std::mutex> guard(mutex_);
  auto it = owners_.find(recno);
  return it != owners_.end() && it->second == owner;
}

bool TLockTable::HeldByOther(uint32_t recno, TLockOwner owner) const {
  std::lock_guard<std::mutex> guard(mutex_);
  auto it = owners_.find(recno);
  if (it != owners_.end()) return it->second != owner;
  return fd_ >= 0 && ByteLockedElsewhere(fd_, RecordLockOffset(recno));
}

std::vector<uint32_t> TLockTable::LocksOf(TLockOwner owner) const {
  std::lock_guard<std::mutex> guard(mutex_);
  std::vector<uint32_t> held;
  for (const auto& [recno, who] : owners_)
    if (who == owner) held.push_back(recno);
  return held;
}

}  // namespace tavrik::xbase
